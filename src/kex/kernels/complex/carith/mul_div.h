// Mul, MulByConj and Div. Special elements (overflowing or vanishing
// intermediate products, zero divisors, infinities, NaNs) go to the scalar
// routines v<t>mul_cout_rare, v<t>mulbyconj_cout_rare, v<t>div_cout_rare,
// which compute in a wider type (double for c, x87 extended for z: no product
// or quotient of the components overflows there), recover infinities as C99
// complex arithmetic does, and report status 3 when finite arguments give an
// infinite component. The EP kernels report nothing.
//
// HA: complex single widens to double, where the component products are
// exact and one rounding to float follows a relative 2^-52 or better. Complex
// double sums the exact products (dot2) and corrects the quotient by its
// remainder, which keeps every component within half an ulp plus 2^-100 of
// the larger term. EP: the plain formulas in the element type.
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

// Lanes whose four components are not all within [lo, hi] or zero.
template <class V> [[gnu::always_inline]] inline typename V::mask outside4(const V (&x)[4], double lo, double hi) {
    using T = typename V::elem;
    const T l = static_cast<T>(lo), h = static_cast<T>(hi);
    return outside(x[0], l, h) | outside(x[1], l, h) | outside(x[2], l, h) | outside(x[3], l, h);
}

// Product or quotient of lanes (a, b) and (c, d), MulByConj as Mul with -d.
template <Op3 K, class V> [[gnu::always_inline]] inline void plain(V a, V b, V c, V d, V& re, V& im) {
    if constexpr (K == Op3::Div) {
        const V den = c * c + d * d;
        re = (a * c + b * d) / den, im = (b * c - a * d) / den;
    } else {
        re = a * c - b * d, im = a * d + b * c;
    }
}

// Complex double HA, within the ranges the mask of fast() admits.
template <Op3 K, class V> [[gnu::always_inline]] inline void exact(V a, V b, V c, V d, V& re, V& im) {
    V h, t;
    if constexpr (K == Op3::Div) {
        V dh, dl, nh, nl;
        dot2(c, c, d, d, dh, dl);
        const V inv = V::splat(1.0) / dh;
        auto quotient = [&](V n) {
            const V q0 = n * inv;
            V m, me;
            two_prod(q0, dh, m, me);
            const V r = (((nh - m) - me) + nl) - q0 * dl;  // n - q0*den to 2^-104 of n
            return select(r == V::splat(0.0), q0, q0 + r * inv);
        };
        const V n0 = dot2(a, c, b, d, nh, nl);
        re = quotient(n0);
        const V n1 = dot2(b, c, neg(a), d, nh, nl);
        im = quotient(n1);
    } else {
        re = dot2(a, c, neg(b), d, h, t);
        im = dot2(a, d, b, c, h, t);
    }
}

template <Op3 K, class T, Flavour F>
struct MulDivOp : CxPolicy<T, 2, 3> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[4], V (&y)[2]) const {
        const V d = K == Op3::MulByConj ? neg(x[3]) : x[3];
        if constexpr (std::is_same_v<T, float> && F == Flavour::HA) {
            // Products of floats are exact in double; neither they nor the
            // squares of the divisor overflow or underflow there.
            using Wd = Widened<V>;
            typename Wd::type re[Wd::parts], im[Wd::parts];
            for (int p = 0; p < Wd::parts; ++p)
                plain<K>(Wd::part(x[0], p), Wd::part(x[1], p), Wd::part(x[2], p), Wd::part(d, p), re[p], im[p]);
            y[0] = Wd::join(re), y[1] = Wd::join(im);
            return not_finite(y[0], y[1]);
        } else if constexpr (F == Flavour::HA) {
            exact<K>(x[0], x[1], x[2], d, y[0], y[1]);
            if constexpr (K == Op3::Div) return outside4(x, 0x1p-400, 0x1p400) | not_finite(y[0], y[1]);
            else return outside4(x, 0x1p-460, 0x1p460);
        } else {
            plain<K>(x[0], x[1], x[2], d, y[0], y[1]);
            constexpr bool s = std::is_same_v<T, float>;
            if constexpr (K == Op3::Div) {
                // The divisor's norm and the products stay normal and finite
                // in this range; a zero divisor shows in the result.
                return outside4(x, s ? 0x1p-30 : 0x1p-250, s ? 0x1p30 : 0x1p250) | not_finite(y[0], y[1]);
            } else {
                // A product can lose bits to underflow only where the result
                // is as small; overflow, infinities and NaN leave a non-finite
                // sum of the magnitudes (which also takes a few huge finite ones).
                const V t = abs(y[0]) + abs(y[1]);
                return (t < V::splat(s ? T(0x1p-100) : T(0x1p-900))) | (t == V::splat(kInf<T>)) | unordered(t, t);
            }
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
