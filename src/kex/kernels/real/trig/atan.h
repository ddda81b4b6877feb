// Atan and Atan2 in single and double precision (the evaluation is
// atan_core.h). Double: HA with the Full evaluation (LA shares it), LA of
// Atan2 with Mid, EP with Low. Single precision: every flavour widens to
// double and uses Low, which is good to 2^-31 before the final rounding.
//
// Lanes sent to the special-value routines (which never report):
//   dAtan  +-inf and NaN;
//   Atan2  zeros, infinities and NaNs of either argument, and pairs whose
//          larger magnitude lies outside [2^-125, 2^125] or whose smaller is
//          below 2^-600 (the double kernels); the routine scales the pair by a
//          power of two, or returns the limit of atan2 when the ratio is
//          beyond 2^-600.
// sAtan has no such lanes: its kernels return +-pi/2 for +-inf in place.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "kex/kernels/real/trig/atan_core.h"
#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

extern "C" {
__attribute__((visibility("hidden"))) int32_t vdatan_cout_rare(const double* a, double* r);
__attribute__((visibility("hidden"))) int32_t vdatan2_cout_rare(const double* a, const double* b, double* r);
__attribute__((visibility("hidden"))) int32_t vsatan2_cout_rare(const float* a, const float* b, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace atan_core {

template <Prec P>
struct DAtanOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = atan_eval<P>(x[0]);
        const V a = abs(x[0]);
        return (a > V::splat(std::numeric_limits<double>::max())) | unordered(a, a);
    }
    int rare(const double* x, double* y) const { return vdatan_cout_rare(x, y); }
};

struct SAtanOp : PolicyBase<float, 1, 1> {
    static constexpr int unroll = 2;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V r = widened(x[0], [](auto w) { return atan_eval<Prec::Low>(w); });
        const V inf = V::splat(std::numeric_limits<float>::infinity());
        y[0] = select(abs(x[0]) == inf, bit_or(V::splat(static_cast<float>(kPio2Hi)), sign_of(x[0])), r);
        return V::mask::none();
    }
};

// Lanes of Atan2 outside the fast range (see above), for both precisions.
template <class V>
[[gnu::always_inline]] inline typename V::mask atan2_special(V y, V x) {
    using T = typename V::elem;
    // Below 2^-600 (zero for floats, whose smaller magnitude is never that small).
    constexpr T kSmallest = sizeof(T) == 4 ? T(0) : T(0x1p-600);
    const V ay = abs(y), ax = abs(x);
    const auto swap = ay > ax;
    const V mx = select(swap, ay, ax), mn = select(swap, ax, ay);
    return (mx < V::splat(T(0x1p-125))) | (mx > V::splat(T(0x1p125))) | (mn < V::splat(kSmallest)) |
           (mn == V::splat(T(0))) | unordered(ay, ax);
}

template <Prec P>
struct DAtan2Op : PolicyBase<double, 2, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        y[0] = atan2_eval<P>(x[0], x[1]);
        return atan2_special(x[0], x[1]);
    }
    int rare(const double* x, double* y) const { return vdatan2_cout_rare(x, x + 1, y); }
};

struct SAtan2Op : PolicyBase<float, 2, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        y[0] = widened(x[0], x[1], [](auto a, auto b) { return atan2_eval<Prec::Low>(a, b); });
        return atan2_special(x[0], x[1]);
    }
    int rare(const float* x, float* y) const { return vsatan2_cout_rare(x, x + 1, y); }
};

}  // namespace atan_core

template <> struct OpFor<fn_Atan, acc_HA, double> { using type = atan_core::DAtanOp<atan_core::Prec::Full>; };
template <> struct OpFor<fn_Atan, acc_EP, double> { using type = atan_core::DAtanOp<atan_core::Prec::Low>; };
template <class Acc> struct OpFor<fn_Atan, Acc, float> { using type = atan_core::SAtanOp; };
template <> struct OpFor<fn_Atan2, acc_HA, double> { using type = atan_core::DAtan2Op<atan_core::Prec::Full>; };
template <> struct OpFor<fn_Atan2, acc_LA, double> { using type = atan_core::DAtan2Op<atan_core::Prec::Mid>; };
template <> struct OpFor<fn_Atan2, acc_EP, double> { using type = atan_core::DAtan2Op<atan_core::Prec::Low>; };
template <class Acc> struct OpFor<fn_Atan2, Acc, float> { using type = atan_core::SAtan2Op; };

}  // namespace KEX_LVL
}  // namespace kex

// The special-value routines, shared by every level, live in the SSE2 unit.
#if defined(ORVU_LEVEL_A2)
namespace {

using kex::KEX_LVL::X1;
namespace ac = kex::KEX_LVL::atan_core;

// atan2 of any pair in double, to the HA bound.
double atan2_scalar(double y, double x) {
    if (y != y || x != x) return y + x;
    if (y == 0) return std::signbit(x) ? std::copysign(ac::kPiHi, y) : y;
    if (std::isinf(y)) {
        if (std::isinf(x)) return std::copysign(x > 0 ? ac::kPio4 : ac::k3Pio4, y);
        return std::copysign(ac::kPio2Hi, y);
    }
    if (std::isinf(x)) return x > 0 ? std::copysign(0.0, y) : std::copysign(ac::kPiHi, y);
    if (x == 0) return std::copysign(ac::kPio2Hi, y);
    // Scale the larger magnitude into [1, 2); atan2 does not change.
    const double ay = std::fabs(y), ax = std::fabs(x);
    const int k = std::ilogb(ay > ax ? ay : ax);
    const double ys = std::ldexp(y, -k), xs = std::ldexp(x, -k);
    if (std::fabs(ay > ax ? xs : ys) < 0x1p-600) {
        // The ratio is below 2^-600: atan2 is the quotient itself (its cube
        // is far below half an ulp), pi, or pi/2 to the last bit.
        if (ay < ax) return x > 0 ? y / x : std::copysign(ac::kPiHi, y);
        return std::copysign(ac::kPio2Hi, y);
    }
    return ac::atan2_eval<ac::Prec::Full>(X1<double>{ys}, X1<double>{xs}).v;
}

}  // namespace

extern "C" {

__attribute__((visibility("hidden"))) int32_t vdatan_cout_rare(const double* a, double* r) {
    const double x = *a;
    if (x != x) *r = x + x;
    else if (std::isinf(x)) *r = std::copysign(ac::kPio2Hi, x);
    else *r = ac::atan_eval<ac::Prec::Full>(X1<double>{x}).v;
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vdatan2_cout_rare(const double* a, const double* b, double* r) {
    *r = atan2_scalar(*a, *b);
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vsatan2_cout_rare(const float* a, const float* b, float* r) {
    *r = static_cast<float>(atan2_scalar(*a, *b));
    return KEX_STATUS_OK;
}

}  // extern "C"
#endif
