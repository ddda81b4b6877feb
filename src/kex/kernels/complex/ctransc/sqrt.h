// Complex Sqrt by Kahan's scaled formula, no reports:
//   t = sqrt((|x| + |z|) / 2),  x >= 0: (t, y / (2t)),  x < 0: (|y| / (2t), t with the sign of y).
// |x| is added to |z|, never subtracted, so nothing cancels next to the
// negative real axis, and y = +-0 gives the C99 zeros (sqrt(-4 - i0) = 0 - 2i).
// Complex single works in double (the squares are exact, no float can
// overflow them) and rounds once: 0.5 ulp and a little, in both flavours.
// Complex double keeps every step as a pair: |z|^2 as the exact-sum dot2,
// its root corrected by the exact remainder, |x| + |z| as a two-sum, its root
// t corrected the same way, and y / (2t) corrected by its remainder through
// Dekker's product; each component is rounded once from about 2^-100.
// Components outside [2^-470, 2^500] (not zero), both zero, infinities and
// NaN go to _kex_internal_csqrt (_kex_csqrtf_scalar for complex single): C99's
// special values, and Kahan's formula in x87 extended precision, whose range
// holds every square of a double.
#pragma once

#include "kex/kernels/complex/ctransc/classify.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t _kex_internal_csqrt(const OrvuComplex16* a, OrvuComplex16* r);
[[gnu::visibility("hidden")]] int32_t _kex_csqrtf_scalar(const OrvuComplex8* a, OrvuComplex8* r);
}

namespace kex {
namespace KEX_LVL {
namespace ctransc {

// The sign bit of v.
template <class V> [[gnu::always_inline]] inline V sign_of(V v) { return bit_and(v, V::splat(typename V::elem(-0.0))); }

// Places t and q = |y| / (2t) as Kahan's formula does.
template <class V> [[gnu::always_inline]] inline void place(V x, V y, V t, V q, V (&r)[2]) {
    const auto neg = x < V::splat(typename V::elem(0));
    r[0] = select(neg, q, t);
    r[1] = bit_or(select(neg, t, q), sign_of(y));
}

template <class T>
struct SqrtOp : CxPolicy<T, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[2], V (&y)[2]) const {
        if constexpr (std::is_same_v<T, float>) {
            using Wd = Widened<V>;
            typename Wd::type t[Wd::parts], q[Wd::parts];
            for (int p = 0; p < Wd::parts; ++p) {
                const auto a = abs(Wd::part(x[0], p)), b = abs(Wd::part(x[1], p));
                t[p] = sqrt((a + sqrt(a * a + b * b)) * decltype(a)::splat(0.5));
                q[p] = b / (t[p] + t[p]);
            }
            place(x[0], x[1], Wd::join(t), Wd::join(q), y);
            const V zero = V::splat(0.0f);
            return carith::not_finite(x[0], x[1]) | ((x[0] == zero) & (x[1] == zero));
        } else {
            const V a = abs(x[0]), b = abs(x[1]), half = V::splat(0.5);
            // |z| = m + ml
            V sh, sl, p, pe;
            carith::dot2(x[0], x[0], x[1], x[1], sh, sl);
            const V m = sqrt(sh);
            carith::two_prod(m, m, p, pe);
            // The root's correction needs only a few bits of 1/(2m): the
            // exponent-field estimate of 1/m (within 12.5 %) and two Newton
            // steps (2^-12) leave 2^-65 of |z|, and spare a division.
            V rm = bits_sub(splat_bits<V>(0x7FDE623822FC16E6ull), m);
            rm = rm * (V::splat(2.0) - m * rm), rm = rm * (V::splat(2.0) - m * rm);
            const V ml = (((sh - p) - pe) + sl) * half * rm;
            // (|x| + |z|) / 2 = wh + wl
            V wh, wl;
            carith::two_sum(a, m, wh, wl);
            wl = (wl + ml) * half, wh = wh * half;
            // t = th + tl; one division serves both corrections below.
            const V th = sqrt(wh), t2 = th + th, inv = V::splat(1.0) / t2;
            carith::two_prod(th, th, p, pe);
            const V tl = (((wh - p) - pe) + wl) * inv;
            const V t = th + tl;
            // |y| / (2t): q0 = |y| / (2th) within two ulps, so |y| - q0 2th is
            // exact (Dekker), and the remainder, also less q0 2tl, corrects it.
            const V q0 = b * inv;
            carith::two_prod(q0, t2, p, pe);
            const V q = q0 + (((b - p) - pe) - q0 * (tl + tl)) * inv;
            place(x[0], x[1], t, q, y);
            const V lo = V::splat(0x1p-470), hi = V::splat(0x1p500), zero = V::splat(0.0);
            const auto out = [&](V v) { return (v > hi) | ((v < lo) & (v > zero)) | unordered(v, v); };
            return out(a) | out(b) | ((a == zero) & (b == zero));
        }
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 4)
            _kex_csqrtf_scalar(reinterpret_cast<const OrvuComplex8*>(x), reinterpret_cast<OrvuComplex8*>(y));
        else _kex_internal_csqrt(reinterpret_cast<const OrvuComplex16*>(x), reinterpret_cast<OrvuComplex16*>(y));
        return KEX_STATUS_OK;
    }
};

}  // namespace ctransc

template <> struct OpFor<fn_Sqrt, acc_HA, OrvuComplex8> { using type = ctransc::SqrtOp<float>; };
template <> struct OpFor<fn_Sqrt, acc_LA, OrvuComplex8> { using type = ctransc::SqrtOp<float>; };
template <> struct OpFor<fn_Sqrt, acc_HA, OrvuComplex16> { using type = ctransc::SqrtOp<double>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_ctransc)
extern "C" {
// C99's csqrt: an infinite y gives (+inf, y) whatever x is; x = -inf gives
// (+0, inf with the sign of y), NaN for the real part beside a NaN y; x = +inf
// gives (+inf, zero with the sign of y), NaN for the imaginary part beside a
// NaN y; any other NaN gives NaN in both parts. Finite elements: Kahan's
// formula in x87 extended precision (|x| + |z| cannot cancel, squares of
// doubles neither overflow nor underflow there), rounded once to double.
int32_t _kex_internal_csqrt(const OrvuComplex16* a, OrvuComplex16* r) {
    const double x = a->re, y = a->im;
    if (_kex_internal_isinf(y)) {
        r->re = INFINITY, r->im = y;
    } else if (_kex_internal_isninf(x)) {
        r->re = _kex_internal_isnan(y) ? y : 0.0, r->im = std::copysign(INFINITY, y);
    } else if (_kex_internal_ispinf(x)) {
        r->re = x, r->im = _kex_internal_isnan(y) ? y : std::copysign(0.0, y);
    } else if (_kex_internal_isnan(x) || _kex_internal_isnan(y)) {
        r->re = r->im = x + y;
    } else if (_kex_internal_iszero(x) && _kex_internal_iszero(y)) {
        r->re = 0.0, r->im = y;
    } else {
        kex::X87PrecisionGuard env;
        const long double ax = std::fabs(x), ay = std::fabs(y);
        const long double t = std::sqrt((ax + std::sqrt(ax * ax + ay * ay)) * 0.5L);
        const double q = static_cast<double>(ay / (t + t)), td = static_cast<double>(t);
        r->re = x < 0 ? q : td;
        r->im = std::copysign(x < 0 ? td : q, y);
    }
    return KEX_STATUS_OK;
}
int32_t _kex_csqrtf_scalar(const OrvuComplex8* a, OrvuComplex8* r) {
    kex::KEX_LVL::ctransc::via_double(_kex_internal_csqrt, &a->re, &r->re);
    return KEX_STATUS_OK;
}
}
#endif
