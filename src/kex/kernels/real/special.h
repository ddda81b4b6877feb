// Special-function kernels: the error functions and their inverses, the
// normal distribution function and its inverse (headers under special/), and
// LGamma and TGamma, which run at the generic level in extended precision.
#pragma once

#include "kex/kernels/real/special/erf.h"
#include "kex/kernels/real/special/erfinv.h"
#include "kex/kernels/real/special/gamma.h"
