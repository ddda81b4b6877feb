// Exponential and logarithm kernels: Exp, Expm1, Ln, Log10, Log1p in single
// and double precision. Each precision and kind lives in its own header under
// explog/; the scalar special-value routines they share between the levels
// are defined once, in the SSE2 unit.
#pragma once

#include "kex/kernels/real/explog/exp_single.h"
#include "kex/kernels/real/explog/exp_double.h"
#include "kex/kernels/real/explog/log_single.h"
#include "kex/kernels/real/explog/log_double.h"
