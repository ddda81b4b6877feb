// Complex Ln: ln|z| + i atan2(y, x), no reports.
//
// The real part is half the logarithm of |z|^2 = h + t + e1 + e2, exact:
// both squares by Dekker's product (p + e), h + t the exact sum of p1 and p2.
// The real logarithm's reduction of h (dlog::reduce) takes the tails in as
// the Log1p kernel takes its rounding error: the mantissa of h + tails is
// m + tails 2^-e, so tails 2^-e rcp joins the reduced argument r. Next to |z| = 1 that makes r the
// whole of |z|^2 - 1, with nothing lost to cancellation; elsewhere it is the
// usual reduction. ln_parts gives the logarithm as hi + lo and both halve
// exactly, so the real part is rounded once (HA: 0.5 ulp and a little; LA
// and EP use the degree-5 polynomial, 2^-54.7). Complex single runs the same
// double code on widened components (their squares are exact in double).
// The imaginary part is the real family's Atan2 policy of the same flavour,
// as Arg uses it.
// Lanes that Atan2 sends to its special path, components outside
// [2^-470, 2^500] (not zero), both zero, infinities and NaN go to staticvzLn:
// C99's clog special values, and for finite elements the same method after
// scaling by a power of two (added to the reduction's exponent).
#pragma once

#include "kex/kernels/complex/ctransc/classify.h"
#include "kex/kernels/real/explog/log_double.h"
#include "kex/kernels/real/trig/atan.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t staticvzLn(const OrvuComplex16* a, OrvuComplex16* r);
}

namespace kex {
namespace KEX_LVL {
namespace ctransc {

constexpr double kLnLow = 0x1p-470, kLnHigh = 0x1p500;  // squares and their low parts stay normal and finite

// ln(a^2 + b^2) / 2 for a, b in range or zero (and |z|^2 a positive normal
// number: other lanes are flagged in special); extra_e adds to the exponent
// of |z|^2 (a scaling by 2^extra_e taken out beforehand).
template <Flavour F, class V>
[[gnu::always_inline]] inline V half_log_norm(V a, V b, V extra_e, typename V::mask& special) {
    V p1, e1, p2, e2, h, t;
    carith::two_prod(a, a, p1, e1), carith::two_prod(b, b, p2, e2);
    carith::two_sum(p1, p2, h, t);
    dlog::Reduced<V> r = dlog::reduce<F>(h);
    // 2^-e from h's exponent field, times the node's reciprocal.
    const V field = bit_and(h, splat_bits<V>(0x7FF0000000000000ull));
    const V k = bits_sub(splat_bits<V>(0x7FE0000000000000ull), field) * r.rcp;
    // rh + (t + e1 + e2) k by exact sums, largest first: next to |z| = 1 the
    // three cancel to |z|^2 - 1 (the products with k are exact at the nodes
    // 1 and 2 there).
    V s1, s2, s3, d1, d2, d3;
    carith::two_sum(r.rh, t * k, s1, d1);
    carith::two_sum(s1, e1 * k, s2, d2);
    carith::two_sum(s2, e2 * k, s3, d3);
    r.rl = r.rl + ((d1 + d2) + d3);
    r.rh = s3;
    r.e = r.e + extra_e;
    special = dlog::outside(r);
    V hi, lo;
    dlog::ln_parts<F>(r, hi, lo);
    return hi * V::splat(0.5) + lo * V::splat(0.5);
}

template <class T, class Acc>
struct LnOp : CxPolicy<T, 1, 1> {
    using Atan2 = typename OpFor<fn_Atan2, Acc, T>::type;
    // ln_parts serves HA and LA; EP takes the LA polynomial (the cost is in the reduction).
    static constexpr Flavour kLog = std::is_same_v<Acc, acc_HA> && sizeof(T) == 8 ? Flavour::HA : Flavour::LA;
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[2], V (&y)[2]) const {
        const V yx[2] = {x[1], x[0]};
        V at[1];
        const auto angle_special = Atan2{}.fast(yx, at);
        y[1] = at[0];
        if constexpr (std::is_same_v<T, float>) {
            using Wd = Widened<V>;
            using W = typename Wd::type;
            W re[Wd::parts];
            typename W::mask sp[Wd::parts];
            for (int p = 0; p < Wd::parts; ++p)
                re[p] = half_log_norm<kLog>(abs(Wd::part(x[0], p)), abs(Wd::part(x[1], p)), W::splat(0.0), sp[p]);
            y[0] = Wd::join(re);
            // Only zero, infinite and NaN |z|^2 leave the double range.
            const V zero = V::splat(0.0f);
            return angle_special | carith::not_finite(x[0], x[1]) | ((x[0] == zero) & (x[1] == zero));
        } else {
            typename V::mask sp;
            y[0] = half_log_norm<kLog>(abs(x[0]), abs(x[1]), V::splat(0.0), sp);
            const V zero = V::splat(0.0), lo = V::splat(kLnLow), hi = V::splat(kLnHigh);
            const auto out = [&](V v) { return (v > hi) | ((v < lo) & (v > zero)) | unordered(v, v); };
            return angle_special | sp | out(abs(x[0])) | out(abs(x[1]));
        }
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 4) via_double(staticvzLn, x, y);
        else staticvzLn(reinterpret_cast<const OrvuComplex16*>(x), reinterpret_cast<OrvuComplex16*>(y));
        return KEX_STATUS_OK;
    }
};

}  // namespace ctransc

template <> struct OpFor<fn_Ln, acc_HA, OrvuComplex8> { using type = ctransc::LnOp<float, acc_HA>; };
template <> struct OpFor<fn_Ln, acc_LA, OrvuComplex8> { using type = ctransc::LnOp<float, acc_LA>; };
template <> struct OpFor<fn_Ln, acc_EP, OrvuComplex8> { using type = ctransc::LnOp<float, acc_EP>; };
template <> struct OpFor<fn_Ln, acc_HA, OrvuComplex16> { using type = ctransc::LnOp<double, acc_HA>; };
template <> struct OpFor<fn_Ln, acc_LA, OrvuComplex16> { using type = ctransc::LnOp<double, acc_LA>; };
template <> struct OpFor<fn_Ln, acc_EP, OrvuComplex16> { using type = ctransc::LnOp<double, acc_EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_ctransc)
extern "C" {
// C99's clog: the imaginary part is atan2(y, x) in every case (the real
// family's scalar routine); the real part is +inf for an infinite component
// (even beside a NaN), NaN for a NaN, -inf for +-0 + i(+-0) (with the
// division-by-zero flag). Finite elements: both magnitudes are scaled by the
// power of two that brings the larger one, a, into [1, 2); a smaller one, b,
// below 2^-470 after that only counts when a is exactly 1 and unscaled
// (|z|^2 - 1 = b^2, the real part b^2/2), and is dropped otherwise
// (ln(1 + b^2/a^2) < 2^-940 against ln a^2 >= 2^-52, or against k ln 2).
int32_t staticvzLn(const OrvuComplex16* a, OrvuComplex16* r) {
    using namespace kex::KEX_LVL;
    const double x = a->re, y = a->im;
    vdatan2_cout_rare(&y, &x, &r->im);
    if (_kex_internal_isinf(x) || _kex_internal_isinf(y)) {
        r->re = INFINITY;
    } else if (_kex_internal_isnan(x) || _kex_internal_isnan(y)) {
        r->re = x + y;
    } else if (_kex_internal_iszero(x) && _kex_internal_iszero(y)) {
        r->re = -1.0 / std::fabs(x);
    } else {
        double big = std::fmax(std::fabs(x), std::fabs(y)), small = std::fmin(std::fabs(x), std::fabs(y));
        const int k = std::ilogb(big);
        big = std::ldexp(big, -k), small = std::ldexp(small, -k);
        if (small < ctransc::kLnLow) {
            if (big == 1 && k == 0) {
                kex::X87PrecisionGuard env;
                r->re = static_cast<double>(0.5L * small * small);
                return KEX_STATUS_OK;
            }
            small = 0;
        }
        M1 unused;
        r->re = ctransc::half_log_norm<Flavour::HA>(X1<double>{big}, X1<double>{small}, X1<double>{2.0 * k}, unused).v;
    }
    return KEX_STATUS_OK;
}
}
#endif
