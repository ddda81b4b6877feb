// Mul, MulByConj and Div. Special elements (overflowing or vanishing
// intermediate products, zero divisors, infinities, NaNs) go to the scalar
// routines v<t>mul_cout_rare, v<t>mulbyconj_cout_rare, v<t>div_cout_rare,
// which compute in a wider type (double for c, x87 extended for z: no product
// or quotient of the components overflows there), recover infinities as C99
// complex arithmetic does, and report status 3 when finite arguments give an
// infinite component. The EP kernels report nothing.
//
// HA: complex single widens to double, where the component products are
// exact and one rounding to float follows a relative 2^-51 or better. Complex
// double splits each component once and sums exact (Dekker) products; Div
// corrects the quotient by its remainder. Every component is within half an
// ulp plus 2^-100 of its terms. EP: the plain formulas in the element type,
// the quotient through one reciprocal of the divisor's norm. All of them
// test lanes on the results or with one comparison per component, and have
// special blocks computed again out of line (kRecomputeSpecial).
#pragma once

#include "kex/kernels/complex/carith/common.h"

namespace kex {
namespace KEX_LVL {
namespace carith {

// C99 complex multiplication and division of (a, b) by (c, d) in W: the plain
// formulas, and where both components come out NaN the infinities that an
// infinite operand (or a zero divisor) implies.
template <class W> void box(W& v) { v = std::copysign(std::isinf(v) ? W(1) : W(0), v); }
template <class W> void unnan(W& v) {
    if (std::isnan(v)) v = std::copysign(W(0), v);
}
template <class W> void cmul_c99(W a, W b, W c, W d, W& x, W& y) {
    x = a * c - b * d, y = a * d + b * c;
    if (!std::isnan(x) || !std::isnan(y)) return;
    bool again = false;
    if (std::isinf(a) || std::isinf(b)) box(a), box(b), unnan(c), unnan(d), again = true;
    if (std::isinf(c) || std::isinf(d)) box(c), box(d), unnan(a), unnan(b), again = true;
    if (again) x = kInf<W> * (a * c - b * d), y = kInf<W> * (a * d + b * c);
}
template <class W> void cdiv_c99(W a, W b, W c, W d, W& x, W& y) {
    const W den = c * c + d * d;
    x = (a * c + b * d) / den, y = (b * c - a * d) / den;
    if (!std::isnan(x) || !std::isnan(y)) return;
    if (den == 0 && (!std::isnan(a) || !std::isnan(b))) {
        x = std::copysign(kInf<W>, c) * a, y = std::copysign(kInf<W>, c) * b;
    } else if ((std::isinf(a) || std::isinf(b)) && std::isfinite(c) && std::isfinite(d)) {
        box(a), box(b);
        x = kInf<W> * (a * c + b * d), y = kInf<W> * (b * c - a * d);
    } else if ((std::isinf(c) || std::isinf(d)) && std::isfinite(a) && std::isfinite(b)) {
        box(c), box(d);
        x = W(0) * (a * c + b * d), y = W(0) * (b * c - a * d);
    }
}

enum class Op3 { Mul, MulByConj, Div };

// One element: a = (x[0], x[1]), b = (x[2], x[3]); status 3 for an infinite
// component from finite arguments (a zero divisor is not an overflow).
template <Op3 K, class T> int32_t rare_element(const T* x, T* r) {
    using W = Wide<T>;
    W re, im;
    const W d = K == Op3::MulByConj ? -W(x[3]) : W(x[3]);
    if constexpr (sizeof(T) == 8) {
        X87PrecisionGuard env;
        if (K == Op3::Div) cdiv_c99<W>(x[0], x[1], x[2], d, re, im);
        else cmul_c99<W>(x[0], x[1], x[2], d, re, im);
        r[0] = static_cast<T>(re), r[1] = static_cast<T>(im);
    } else {
        if (K == Op3::Div) cdiv_c99<W>(x[0], x[1], x[2], d, re, im);
        else cmul_c99<W>(x[0], x[1], x[2], d, re, im);
        r[0] = static_cast<T>(re), r[1] = static_cast<T>(im);
    }
    const bool from_finite = finite(x[0]) && finite(x[1]) && finite(x[2]) && finite(x[3]);
    const bool zero_divisor = K == Op3::Div && x[2] == 0 && x[3] == 0;
    return from_finite && !zero_divisor && (std::isinf(r[0]) || std::isinf(r[1])) ? KEX_STATUS_OVERFLOW : KEX_STATUS_OK;
}

}  // namespace carith
}  // namespace KEX_LVL
}  // namespace kex

extern "C" {
__attribute__((visibility("hidden"))) int32_t vcmul_cout_rare(const OrvuComplex8* a, const OrvuComplex8* b, OrvuComplex8* r);
__attribute__((visibility("hidden"))) int32_t vcmulbyconj_cout_rare(const OrvuComplex8* a, const OrvuComplex8* b, OrvuComplex8* r);
__attribute__((visibility("hidden"))) int32_t vcdiv_cout_rare(const OrvuComplex8* a, const OrvuComplex8* b, OrvuComplex8* r);
__attribute__((visibility("hidden"))) int32_t vzmul_cout_rare(const OrvuComplex16* a, const OrvuComplex16* b, OrvuComplex16* r);
__attribute__((visibility("hidden"))) int32_t vzmulbyconj_cout_rare(const OrvuComplex16* a, const OrvuComplex16* b, OrvuComplex16* r);
__attribute__((visibility("hidden"))) int32_t vzdiv_cout_rare(const OrvuComplex16* a, const OrvuComplex16* b, OrvuComplex16* r);
}

namespace kex {
namespace KEX_LVL {
namespace carith {

template <Op3 K, class T> int32_t call_rare(const T* x, T* y) {
    if constexpr (sizeof(T) == 4) {
        const auto* a = reinterpret_cast<const OrvuComplex8*>(x);
        auto* r = reinterpret_cast<OrvuComplex8*>(y);
        if constexpr (K == Op3::Mul) return vcmul_cout_rare(a, a + 1, r);
        else if constexpr (K == Op3::MulByConj) return vcmulbyconj_cout_rare(a, a + 1, r);
        else return vcdiv_cout_rare(a, a + 1, r);
    } else {
        const auto* a = reinterpret_cast<const OrvuComplex16*>(x);
        auto* r = reinterpret_cast<OrvuComplex16*>(y);
        if constexpr (K == Op3::Mul) return vzmul_cout_rare(a, a + 1, r);
        else if constexpr (K == Op3::MulByConj) return vzmulbyconj_cout_rare(a, a + 1, r);
        else return vzdiv_cout_rare(a, a + 1, r);
    }
}

// Product or quotient of lanes (a, b) and (c, d), MulByConj as Mul with -d;
// the quotient through one reciprocal of the divisor's norm.
template <Op3 K, class V> [[gnu::always_inline]] inline void plain(V a, V b, V c, V d, V& re, V& im) {
    if constexpr (K == Op3::Div) {
        const V inv = V::splat(1.0) / (c * c + d * d);
        re = (a * c + b * d) * inv, im = (b * c - a * d) * inv;
    } else {
        re = a * c - b * d, im = a * d + b * c;
    }
}

// Lanes with an infinite or NaN component: (a + b) * 0 is NaN exactly there
// (and where a finite a + b overflows, which the scalar routine then
// computes anyway).
template <class V> [[gnu::always_inline]] inline typename V::mask any_not_finite(V a, V b) {
    const V z = (a + b) * V::splat(typename V::elem(0));
    return unordered(z, z);
}

// Complex double HA product. Each input is split once and the two products
// of a component are summed by dot_split: the component is rounded once from
// a value within 2^-105 (|ac| + |bd|) of it, so it is within half an ulp
// unless cancellation leaves it below 2^-50 of |ac| + |bd|, and within
// 2^-104.5 |a| |c| in any case.
template <class V> [[gnu::always_inline]] inline void exact_mul(V a, V b, V c, V d, V& re, V& im) {
    V ah, al, bh, bl, ch, cl, dh, dl, h, t;
    split(a, ah, al), split(b, bh, bl), split(c, ch, cl), split(d, dh, dl);
    const V nb = neg(b), nbh = neg(bh), nbl = neg(bl);
    dot_split(a, ah, al, c, ch, cl, nb, nbh, nbl, d, dh, dl, h, t);
    re = add_keep_zero(h, t);
    dot_split(a, ah, al, d, dh, dl, b, bh, bl, c, ch, cl, h, t);
    im = add_keep_zero(h, t);
}

// Complex double HA quotient: numerators n and the divisor's norm w = c^2 + d^2
// as pairs from dot_split (within 2^-105 of their terms), q0 = nh / wh through
// the shared reciprocal (|q0 - n / w| <= 3u |n| / w, u = 2^-53), and the
// remainder r = n - q0 w: nh - fl(q0 wh) is exact (Sterbenz), the exact error
// of q0 wh comes from Dekker's product, the rest is of size 4u |n| and
// rounds to u^2 |n|. q = q0 + r / wh is then within 2^-100 (|x1 y1| + |x2 y2|) / w
// of the component before its final rounding: half an ulp plus that, which is
// below one ulp unless the numerator cancels, and 2^-99.5 |q| in any case.
template <class V> [[gnu::always_inline]] inline void exact_div(V a, V b, V c, V d, V& re, V& im) {
    V ah, al, bh, bl, ch, cl, dh, dl, wh, wl, whh, whl;
    split(a, ah, al), split(b, bh, bl), split(c, ch, cl), split(d, dh, dl);
    dot_split(c, ch, cl, c, ch, cl, d, dh, dl, d, dh, dl, wh, wl);
    split(wh, whh, whl);
    const V inv = V::splat(1.0) / wh;
    auto quotient = [&](V nh, V nl) {
        const V q0 = nh * inv, m = q0 * wh;
        V qh, ql;
        split(q0, qh, ql);
        const V r = (((nh - m) - prod_err(qh, ql, whh, whl, m)) + nl) - q0 * wl;
        return add_keep_zero(q0, r * inv);
    };
    V nh, nl;
    dot_split(a, ah, al, c, ch, cl, b, bh, bl, d, dh, dl, nh, nl);
    re = quotient(nh, nl);
    const V na = neg(a), nah = neg(ah), nal = neg(al);
    dot_split(b, bh, bl, c, ch, cl, na, nah, nal, d, dh, dl, nh, nl);
    im = quotient(nh, nl);
}

// Lanes with a component of magnitude in (0, lo), or (Upper) above hi. The
// pattern of |x| less one is NaN for a zero and the next double down
// otherwise, so one ordered comparison finds the small non-zero ones. (NaN
// components are left to the caller, which sees them in the result.)
template <bool Upper, class V> [[gnu::always_inline]] inline typename V::mask out_of_range(const V (&x)[4], double lo, double hi) {
    auto one = [&](V c) {
        const V m = abs(c);
        const auto small = bits_sub(m, splat_bits<V>(1)) < V::splat(lo);
        if constexpr (Upper) return small | (m > V::splat(hi));
        else return small;
    };
    return one(x[0]) | one(x[1]) | one(x[2]) | one(x[3]);
}

template <Op3 K, class T, Flavour F>
struct MulDivOp : CxPolicy<T, 2, 3> {
    static constexpr bool kHasSpecial = true;
    static constexpr bool kRecomputeSpecial = true;
    // The double HA paths fill the sixteen registers with one vector.
    static constexpr int unroll = sizeof(T) == 8 && F == Flavour::HA ? 1 : 2;
    template <class V> typename V::mask fast(const V (&x)[4], V (&y)[2]) const {
        const V d = K == Op3::MulByConj ? neg(x[3]) : x[3];
        if constexpr (std::is_same_v<T, float> && F == Flavour::HA) {
            // In double, the products of floats are exact and neither they
            // nor the divisor's norm overflow or underflow: Mul rounds once
            // (2^-53 relative, then to float: 0.5 + 2^-29 ulp); Div rounds the
            // norm, its reciprocal, the numerator and the product once each
            // (4 * 2^-53 relative, then 0.5 + 2^-27 ulp), cancellation or not.
            // What is left for the scalar routine: results that overflow in
            // float, and infinite, NaN or zero-divisor arguments, all of which
            // leave a non-finite result.
            using Wd = Widened<V>;
            typename Wd::type re[Wd::parts], im[Wd::parts];
            for (int p = 0; p < Wd::parts; ++p)
                plain<K>(Wd::part(x[0], p), Wd::part(x[1], p), Wd::part(x[2], p), Wd::part(d, p), re[p], im[p]);
            y[0] = Wd::join(re), y[1] = Wd::join(im);
            return any_not_finite(y[0], y[1]);
        } else if constexpr (F == Flavour::HA) {
            if constexpr (K == Op3::Div) exact_div(x[0], x[1], x[2], d, y[0], y[1]);
            else exact_mul(x[0], x[1], x[2], d, y[0], y[1]);
            // Non-zero components at least 2^-460 (Div: in [2^-400, 2^400]):
            // every product and error term that is not zero stays normal.
            // An overflow anywhere in the product (a split, a head or error
            // term) propagates to an infinite or NaN component, as do zero
            // divisors, infinities and NaN, and the scalar routine takes
            // those; the quotient bounds its divisor to keep the reciprocal
            // and the remainder's terms normal.
            if constexpr (K == Op3::Div) return out_of_range<true>(x, 0x1p-400, 0x1p400) | any_not_finite(y[0], y[1]);
            else return out_of_range<false>(x, 0x1p-460, 0) | any_not_finite(y[0], y[1]);
        } else if constexpr (K == Op3::Div) {
            // EP quotient through one reciprocal of the norm w. With w in
            // [2^-100, 2^100] ([2^-900, 2^900] for double) and |a| + |b| at
            // least 2^-80 (2^-500), the reciprocal is normal and what the
            // numerator's products lose to underflow is below 2^-19 (2^-120)
            // of |a| |c|; overflow, zero divisors, infinities and NaN leave a
            // non-finite result.
            constexpr bool s = std::is_same_v<T, float>;
            const V w = x[2] * x[2] + d * d, inv = V::splat(T(1)) / w;
            y[0] = (x[0] * x[2] + x[1] * d) * inv, y[1] = (x[1] * x[2] - x[0] * d) * inv;
            const V ta = abs(x[0]) + abs(x[1]);
            return (w < V::splat(s ? T(0x1p-100) : T(0x1p-900))) | (w > V::splat(s ? T(0x1p100) : T(0x1p900))) |
                   (ta < V::splat(s ? T(0x1p-80) : T(0x1p-500))) | any_not_finite(y[0], y[1]);
        } else {
            // EP products: overflow, infinities and NaN leave a non-finite
            // component; a product lost to underflow costs at most the
            // smallest denormal, within the bound next to the smallest
            // normal number, which is what EP's relative error is measured at.
            plain<K>(x[0], x[1], x[2], d, y[0], y[1]);
            return any_not_finite(y[0], y[1]);
        }
    }
    int rare(const T* x, T* y) const {
        const int32_t st = call_rare<K>(x, y);
        return F == Flavour::EP ? KEX_STATUS_OK : st;
    }
};

template <class T> using MulHA = MulDivOp<Op3::Mul, T, Flavour::HA>;
template <class T> using MulEP = MulDivOp<Op3::Mul, T, Flavour::EP>;
template <class T> using MulByConjHA = MulDivOp<Op3::MulByConj, T, Flavour::HA>;
template <class T> using MulByConjEP = MulDivOp<Op3::MulByConj, T, Flavour::EP>;
template <class T> using DivHA = MulDivOp<Op3::Div, T, Flavour::HA>;
template <class T> using DivEP = MulDivOp<Op3::Div, T, Flavour::EP>;

}  // namespace carith

KEX_CARITH_OPS(Mul, HA, MulHA)
KEX_CARITH_OPS(Mul, EP, MulEP)
KEX_CARITH_OPS(MulByConj, HA, MulByConjHA)
KEX_CARITH_OPS(MulByConj, EP, MulByConjEP)
KEX_CARITH_OPS(Div, HA, DivHA)
KEX_CARITH_OPS(Div, EP, DivEP)

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_carith)
#define KEX_CARITH_RARE(t, C, fn, K)                                                                   \
    __attribute__((visibility("hidden"))) int32_t v##t##fn##_cout_rare(const C* a, const C* b, C* r) { \
        using E = decltype(a->re);                                                                     \
        const E x[4] = {a->re, a->im, b->re, b->im};                                                   \
        E y[2];                                                                                        \
        const int32_t st = kex::KEX_LVL::carith::rare_element<kex::KEX_LVL::carith::Op3::K>(x, y);      \
        r->re = y[0], r->im = y[1];                                                                    \
        return st;                                                                                     \
    }
extern "C" {
KEX_CARITH_RARE(c, OrvuComplex8, mul, Mul)
KEX_CARITH_RARE(c, OrvuComplex8, mulbyconj, MulByConj)
KEX_CARITH_RARE(c, OrvuComplex8, div, Div)
KEX_CARITH_RARE(z, OrvuComplex16, mul, Mul)
KEX_CARITH_RARE(z, OrvuComplex16, mulbyconj, MulByConj)
KEX_CARITH_RARE(z, OrvuComplex16, div, Div)
}
#undef KEX_CARITH_RARE
#endif
