// Atan and Atan2 in single and double precision (the evaluation is
// atan_core.h). Double: HA with the Full evaluation (LA shares it), LA of
// Atan2 with Mid, EP with Low. Single precision: Atan and Atan2 HA widen to
// double and use Low, which is good to 2^-31 before the final rounding;
// Atan2 LA and EP stay in float (SAtan2FloatOp).
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

// Single-precision Atan2 LA and EP in float: q = min(|y|, |x|) / max(...)
// in [0, 1] and atan q = q + q z P(z), z = q^2 (tools/sollya/atan.sollya:
// degree 8, 2^-26.4 relative, LA; degree 3, 2^-12.7, EP), placed in its
// quadrant as in atan2_eval (the base pi/2 or pi as a float pair).
// The division and the series need no range limits in float.
struct Atan2FloatRows {
    SplatRow<float> minus, tiny, inf, pio2_hi, pio2_lo, pi_hi, pi_lo, la[9], ep[4];
};
inline constexpr Atan2FloatRows kAtan2Float = {
    splat_row(-0.0f), splat_row(0x1p-126f), splat_row(std::numeric_limits<float>::infinity()), splat_row(ArcPi<float>::pio2_hi), splat_row(ArcPi<float>::pio2_lo),
    splat_row(ArcPi<float>::pi_hi), splat_row(ArcPi<float>::pi_lo),
    {splat_row(-0x1.555554p-2f), splat_row(0x1.999832p-3f), splat_row(-0x1.246ce4p-3f), splat_row(0x1.c3f7fep-4f),
     splat_row(-0x1.62baf8p-4f), splat_row(0x1.005ebp-4f), splat_row(-0x1.26cceep-5f), splat_row(0x1.bd14p-7f),
     splat_row(-0x1.3b6c6ap-9f)},
    {splat_row(-0x1.55260cp-2f), splat_row(0x1.8d02b2p-3f), splat_row(-0x1.b6f4dp-4f), splat_row(0x1.05fe1ep-5f)}};

template <Flavour F>
struct SAtan2FloatOp : PolicyBase<float, 2, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        const Atan2FloatRows& k = *opaque(&kAtan2Float);
        const auto c = [](const SplatRow<float>& r) { return row_value<V>(r); };
        const V minus = c(k.minus), zero = V::splat(0.0f);
        const V ay = bit_andnot(minus, x[0]), ax = bit_andnot(minus, x[1]);
        const auto swap = ay > ax;
        const V mx = select(swap, ay, ax);
        const V q = select(swap, ax, ay) / mx;
        const V z = q * q;
        V p;
        if constexpr (F == Flavour::EP) {
            p = c(k.ep[3]);
            for (int i = 2; i >= 0; --i) p = p * z + c(k.ep[i]);
        } else {
            p = c(k.la[8]);
            for (int i = 7; i >= 0; --i) p = p * z + c(k.la[i]);
        }
        const V a = q + q * (z * p);
        const auto xneg = x[1] < zero;
        const V base_hi = select(swap, c(k.pio2_hi), select(xneg, c(k.pi_hi), zero));
        const V base_lo = select(swap, c(k.pio2_lo), select(xneg, c(k.pi_lo), zero));
        const V neg = bit_xor(select(swap, minus, zero), bit_and(x[1], minus));
        y[0] = bit_xor(base_hi + (base_lo + bit_xor(a, neg)), bit_and(x[0], minus));
        // A zero or infinite argument alone gives its limit here (q = 0) and
        // NaN propagates; only 0/0, inf/inf and pairs of denormals (zero
        // under the denormals-are-zero mode) need the special-value routine.
        return (mx < c(k.tiny)) | ((ay == ax) & (ax == c(k.inf)));
    }
    int rare(const float* x, float* y) const { return vsatan2_cout_rare(x, x + 1, y); }
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
template <> struct OpFor<fn_Atan2, acc_HA, float> { using type = atan_core::SAtan2Op; };
template <> struct OpFor<fn_Atan2, acc_LA, float> { using type = atan_core::SAtan2FloatOp<Flavour::LA>; };
template <> struct OpFor<fn_Atan2, acc_EP, float> { using type = atan_core::SAtan2FloatOp<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

// The special-value routines, shared by every level, live in the SSE2 unit.
#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_trig)
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
