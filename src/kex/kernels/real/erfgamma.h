// Special-function kernels: the error functions and their inverses, the
// normal distribution function and its inverse (headers under erfgamma/), and
// LGamma and TGamma, which run at the generic level in extended precision.
#pragma once

#include "kex/kernels/real/erfgamma/erf.h"
#include "kex/kernels/real/erfgamma/erfinv.h"
#include "kex/kernels/real/erfgamma/erfcinv.h"
#include "kex/kernels/real/erfgamma/cdfnorminv.h"
#include "kex/kernels/real/erfgamma/gamma.h"
