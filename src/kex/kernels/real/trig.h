// Trigonometric kernels: Sin, Cos, SinCos, Tan and the inverse functions Asin,
// Acos, Atan, Atan2 in single and double precision. Each kind lives in its own
// header under trig/; the scalar routines they share between the levels are
// defined once, in the SSE2 unit.
#pragma once
#include "kex/kernels/real/trig/sincos_double.h"
#include "kex/kernels/real/trig/sincos_single.h"
#include "kex/kernels/real/trig/tan.h"
#include "kex/kernels/real/trig/atan.h"
#include "kex/kernels/real/trig/asin_acos.h"
