// Complex transcendental kernels: Exp, Ln and Sqrt at the SSE levels, and the
// generic-level kernels of every other complex function, which call the
// extended-precision complex scalar routines element by element.
#pragma once
#include "kex/kernels/complex/ctransc/generic.h"
#include "kex/kernels/complex/ctransc/exp.h"
#include "kex/kernels/complex/ctransc/ln.h"
#include "kex/kernels/complex/ctransc/sqrt.h"
