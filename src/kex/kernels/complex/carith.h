// Complex arithmetic kernels: Add, Sub, Conj, Mul, MulByConj, Div, Abs, Arg
// and CIS for complex single (c) and double (z) elements. The kernels work on
// vectors of real parts and of imaginary parts (the skeleton's complex
// slots); the scalar special-element routines they share between the levels
// are defined once, in the SSE2 unit.
#pragma once
#include "kex/kernels/complex/carith/add_conj.h"
#include "kex/kernels/complex/carith/mul_div.h"
#include "kex/kernels/complex/carith/abs_arg.h"
#include "kex/kernels/complex/carith/cis.h"
