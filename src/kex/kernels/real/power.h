// Power and root kernels: Sqrt, InvSqrt, Cbrt, InvCbrt, Pow2o3, Pow3o2, Pow,
// Powx and Hypot in single and double precision, one header per kind under
// power/; the scalar routines they share between the levels are defined once,
// in the SSE2 unit.
#pragma once

#include "kex/kernels/real/power/sqrt.h"
#include "kex/kernels/real/power/cbrt.h"
#include "kex/kernels/real/power/pow3o2.h"
#include "kex/kernels/real/power/pow.h"
#include "kex/kernels/real/power/hypot.h"
