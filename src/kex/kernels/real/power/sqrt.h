// Sqrt and InvSqrt.
//   Sqrt HA: the square-root instruction (IEEE results for every argument).
//   Sqrt single LA/EP: x * r with r the reciprocal square-root estimate (EP)
//       or the estimate refined by the series below (LA); zero arguments use
//       0 for the estimate. An 8-element block with a result that is not a
//       normal number goes element by element through sqrt_scalar.
//   InvSqrt single: HA refines the estimate in double, where e = 1 - x r^2
//       is exact to 2^-53: 1/sqrt(x) = r (1 - e)^-1/2 = r (1 + e/2 + 3e^2/8
//       + 5e^3/16 + ...); LA takes two terms of the series in float, EP the
//       estimate itself. Special lanes: HA vsinvsqrt_cout_rare (statuses),
//       LA/EP the block routines _kexsInvSqrt4 / _kexsInvSqrtSpec (none).
//   InvSqrt double: x = 4^k m with m in [1, 4); the estimate of m refined
//       by the series up to e^5 (truncation below 2^-65); HA forms e from
//       Dekker's product of m and r^2 (exact, as r has 24 bits), LA from the
//       rounded product. Lanes that are not positive normal numbers go to
//       invsqrt_scalar. Neither precision's LA/EP nor double HA reports.
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/real/power/common.h"
#include "kex/kernels/tags.h"

extern "C" {
// (argument, result) -> status; sqrt_scalar and invsqrt_scalar never report.
__attribute__((visibility("hidden"))) int32_t sqrt_scalar(const float* a, float* r);
__attribute__((visibility("hidden"))) int32_t invsqrt_scalar(const double* a, double* r);
// +-0: +-inf and status 2; negative: NaN and status 1; otherwise 1/sqrt(x), 0.
__attribute__((visibility("hidden"))) int32_t vsinvsqrt_cout_rare(const float* a, float* r);
// 1/sqrt of 4 consecutive elements / of one element, IEEE results, no reports.
ORVU_API void _kexsInvSqrt4(const float* a, float* r);
ORVU_API int32_t _kexsInvSqrtSpec(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace psqrt {

// r (1 + e/2 + 3e^2/8 + ...): coefficients of (1 - e)^(-1/2).
inline constexpr double kSeries[6] = {0.5, 0.375, 0.3125, 0.2734375, 0.24609375, 0.2255859375};
// Up to e^4, for single precision (the next term is below 2^-55).
inline constexpr double kSeries4[4] = {0.5, 0.375, 0.3125, 0.2734375};

// Lanes whose float result is not a normal number (sign bit ignored).
template <class V>
[[gnu::always_inline]] inline typename V::mask not_normal(V y) {
    const V t = bit_and(y, splat_bits<V>(0x7FFFFFFFu));
    return bits_gt(splat_bits<V>(0x00800000u), t) | bits_gt(t, splat_bits<V>(0x7F7FFFFFu));
}
// Float lanes that are not positive normal numbers.
template <class V>
[[gnu::always_inline]] inline typename V::mask not_positive_normal(V x) {
    return bits_gt(splat_bits<V>(0x00800000u), x) | bits_gt(x, splat_bits<V>(0x7F7FFFFFu));
}

// The estimate refined to about 2^-24 in float: e = 1 - x r^2 rounded, and
// two terms of the series (the third would be below 2^-34).
template <class V>
[[gnu::always_inline]] inline V refine_float(V x, V r) {
    const V e = V::splat(1.0f) - (x * r) * r;
    return r + r * (e * (V::splat(0.5f) + e * V::splat(0.375f)));
}

template <class T>
struct SqrtHaOp : PolicyBase<T, 1, 1> {
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = sqrt(x[0]);
        return V::mask::none();
    }
};

template <Flavour F>
struct SqrtLowOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = true;  // blocks of 8
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        V r = select(x[0] == V::splat(0.0f), V::splat(0.0f), rsqrt_estimate(x[0]));
        if constexpr (F == Flavour::LA) r = refine_float(x[0], r);
        y[0] = x[0] * r;
        return not_normal(y[0]);
    }
    int rare(const float* x, float* y) const { return sqrt_scalar(x, y); }
};

template <Flavour F>
struct InvSqrtSingleOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = F != Flavour::HA;
    static constexpr int kBlockRoutine = F != Flavour::HA ? 4 : 0;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V r = rsqrt_estimate(x[0]);
        if constexpr (F == Flavour::HA) {
            using Wd = Widened<V>;
            using W = typename Wd::type;
            W out[Wd::parts];
            for (int k = 0; k < Wd::parts; ++k) {
                const W rd = Wd::part(r, k);
                const W e = W::splat(1.0) - (Wd::part(x[0], k) * rd) * rd;  // x r exact
                out[k] = rd + rd * (e * horner(e, kSeries4));
            }
            y[0] = Wd::join(out);
        } else if constexpr (F == Flavour::LA) {
            y[0] = refine_float(x[0], r);
        } else {
            y[0] = r;
        }
        return not_positive_normal(x[0]);
    }
    int rare(const float* x, float* y) const {
        return F == Flavour::HA ? vsinvsqrt_cout_rare(x, y) : _kexsInvSqrtSpec(x, y);
    }
    void rare_block(const float* x, float* y) const { _kexsInvSqrt4(x, y); }
};

// 1/sqrt of positive normal doubles.
template <Flavour F, class W>
[[gnu::always_inline]] inline W inv_sqrt_double(W x) {
    // x = 4^k m: the scale 2^-k with k = round(q/2 - 1/4), q the exponent.
    const W s = pw::pow2i(W::splat(0.25) - pw::exponent_of(x) * W::splat(0.5));
    const W m = x * (s * s);
    const W r = rsqrt_estimate(m);
    const W r2 = r * r;  // exact: r has 24 bits
    W e;
    if constexpr (F == Flavour::HA) {
        W p, q;
        pw::two_prod(m, r2, p, q);
        e = (W::splat(1.0) - p) - q;  // 1 - p is exact: p is within 2^-10 of 1
    } else {
        e = W::splat(1.0) - m * r2;
    }
    return (r + r * (e * horner(e, kSeries))) * s;
}

template <Flavour F>
struct InvSqrtDoubleOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = inv_sqrt_double<F>(x[0]);
        return pw::outside(x[0], 0x1p-1022, 0x1.fffffffffffffp1023);
    }
    int rare(const double* x, double* y) const { return invsqrt_scalar(x, y); }
};

}  // namespace psqrt

template <class T> struct OpFor<fn_Sqrt, acc_HA, T> { using type = psqrt::SqrtHaOp<T>; };
template <> struct OpFor<fn_Sqrt, acc_LA, float> { using type = psqrt::SqrtLowOp<Flavour::LA>; };
template <> struct OpFor<fn_Sqrt, acc_EP, float> { using type = psqrt::SqrtLowOp<Flavour::EP>; };
template <> struct OpFor<fn_InvSqrt, acc_HA, float> { using type = psqrt::InvSqrtSingleOp<Flavour::HA>; };
template <> struct OpFor<fn_InvSqrt, acc_LA, float> { using type = psqrt::InvSqrtSingleOp<Flavour::LA>; };
template <> struct OpFor<fn_InvSqrt, acc_EP, float> { using type = psqrt::InvSqrtSingleOp<Flavour::EP>; };
template <> struct OpFor<fn_InvSqrt, acc_HA, double> { using type = psqrt::InvSqrtDoubleOp<Flavour::HA>; };
template <> struct OpFor<fn_InvSqrt, acc_LA, double> { using type = psqrt::InvSqrtDoubleOp<Flavour::LA>; };

}  // namespace KEX_LVL
}  // namespace kex

// The scalar routines, shared by every level, live in the SSE2 unit.
#if defined(ORVU_LEVEL_A2)
extern "C" {

__attribute__((visibility("hidden"))) int32_t sqrt_scalar(const float* a, float* r) {
    *r = std::sqrt(*a);
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t invsqrt_scalar(const double* a, double* r) {
    const double x = *a;
    if (!(x > 0) || x == INFINITY) {
        *r = 1.0 / std::sqrt(x);  // +-0: +-inf, +inf: 0, negative or NaN: NaN
        return KEX_STATUS_OK;
    }
    // A denormal is scaled by 2^54 into the normal range.
    const bool tiny = x < 0x1p-1022;
    using U = kex::KEX_LVL::X1<double>;
    const double y = kex::KEX_LVL::psqrt::inv_sqrt_double<kex::KEX_LVL::Flavour::HA>(U{tiny ? x * 0x1p54 : x}).v;
    *r = tiny ? y * 0x1p27 : y;
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vsinvsqrt_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (x == 0) {
        *r = 1.0f / x;
        return KEX_STATUS_SING;
    }
    if (x < 0) {
        *r = (x - x) / (x - x);
        return KEX_STATUS_ERRDOM;
    }
    *r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(x)));  // +inf, NaN, denormals
    return KEX_STATUS_OK;
}

ORVU_API int32_t _kexsInvSqrtSpec(const float* a, float* r) {
    // In double: 1/sqrt rounded twice in double, then to float (error below
    // 2^-51 before the final rounding).
    *r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(*a)));
    return KEX_STATUS_OK;
}

ORVU_API void _kexsInvSqrt4(const float* a, float* r) {
    for (int k = 0; k < 4; ++k) _kexsInvSqrtSpec(a + k, r + k);
}

}  // extern "C"
#endif
