// Hyperbolic kernels: Sinh, Cosh, Tanh, Asinh, Acosh and Atanh in single and
// double precision, one header per kind under hyperbolic/; the scalar routines
// they share between the levels are defined once, in the SSE2 unit.
#pragma once


#include "kex/kernels/real/hyperbolic/sinh_cosh.h"
#include "kex/kernels/real/hyperbolic/tanh.h"
#include "kex/kernels/real/hyperbolic/inverse.h"
