// Component classes for the special-element routines of complex Exp, Ln and
// Sqrt (each returns 1 or 0), and the pieces those routines share.
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/complex/carith/common.h"
#include "kex/kernels/fpenv.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t _kex_internal_isnan(double x);
[[gnu::visibility("hidden")]] int32_t _kex_internal_isinf(double x);
[[gnu::visibility("hidden")]] int32_t _kex_internal_ispinf(double x);
[[gnu::visibility("hidden")]] int32_t _kex_internal_isninf(double x);
[[gnu::visibility("hidden")]] int32_t _kex_internal_iszero(double x);
[[gnu::visibility("hidden")]] int32_t _kex_internal_isnegzero(double x);
}

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_ctransc)
extern "C" {
int32_t _kex_internal_isnan(double x) { return x != x; }
int32_t _kex_internal_isinf(double x) { return std::fabs(x) == INFINITY; }
int32_t _kex_internal_ispinf(double x) { return x == INFINITY; }
int32_t _kex_internal_isninf(double x) { return x == -INFINITY; }
int32_t _kex_internal_iszero(double x) { return x == 0; }
int32_t _kex_internal_isnegzero(double x) { return x == 0 && std::signbit(x); }
}
#endif

namespace kex {
namespace KEX_LVL {
namespace ctransc {

using carith::CxPolicy;
using carith::kInf;

// A complex single element through the complex double routine: both
// components are exact in double, and the routine's result is rounded once more.
template <class T>
[[gnu::always_inline]] inline void via_double(int32_t (*f)(const OrvuComplex16*, OrvuComplex16*), const T* x, T* y) {
    // The widening quiets a signalling NaN. The fences keep it: without them
    // the compiler may fold a component the double routine passes through
    // back to the float it came from, in some inlining contexts and not others.
    OrvuComplex16 a{x[0], x[1]};
    fence_scalar(a.re), fence_scalar(a.im);
    OrvuComplex16 r;
    f(&a, &r);
    y[0] = static_cast<T>(r.re), y[1] = static_cast<T>(r.im);
}

}  // namespace ctransc
}  // namespace KEX_LVL
}  // namespace kex
