// Erf, Erfc and CdfNorm in single and double precision, three flavours each.
//
// Two pieces serve all of them (erf_table.inc, tools/kex_tables/erf_double.cc):
//   |y| <= 1/2:  erf(y) = y + y q(y^2), q a polynomial in y^2.
//   |y| >= 1/2:  erfc(y) = e^(-y^2) g(y), g(y) = erfc(y) e^(y^2) a polynomial
//     in y - m on the eighth of a binade that holds y (48 intervals over
//     [1/2, 32), picked by the exponent and three fraction bits of y).
// The other forms follow: erf = 1 - erfc, erfc = 1 - erf, erfc(-y) =
// 2 - erfc(y), CdfNorm(x) = erfc(-x/sqrt 2)/2; a block mixing the two
// regions evaluates both.
//
// e^(-y^2) is the double exponential's e^z = 2^(k>>6) (Th + lo) at
// z = -hi, where hi + lo = y^2 exactly (Dekker's square), the low part
// entering as the factor 1 - lo: without it y^2's rounding alone would cost
// up to 2^-43 relative at y = 27.
//   HA: g to 2^-57.9 with its constant term split in two; the product
//     (Th + lo)(g + e) is formed as Th gh + (Th gl + lo g) with gh the
//     leading 12 bits of g, so Th gh (41 + 12 bits) is exact and the sum is
//     rounded once; 1 - erfc and 2 - erfc keep the rounding error of the
//     difference (fast two-sum), so each result is rounded about once.
//   LA: g of degree 10 (2^-55), every step rounded (within 3 ulp).
//   EP: g of degree 5 (2^-29.6), y^2 rounded.
// CdfNorm computes y = -x/sqrt 2 as yh + yl (exact product with a two-part
// constant); yl enters e^(-y^2) as 2 yh yl (HA, LA) and g as yl g'(yh) (HA;
// LA as yl c1).
// The halving goes into the power of two, so a result is rounded once also
// where it is denormal.
// Single precision runs the EP double evaluation on each half of the vector
// (relative error 2^-28, so HA is within 0.53 ulp) and rounds once.
//
// Special lanes: Erf has none (NaN comes back as x + x; ±inf and |x| >= 6
// give ±1 through the clamp at 6). Double Erfc sends x >= 26.5 (e^(-y^2)
// leaves the normal range) and NaN to vderfc_cout_rare, which scales in two
// steps. Double CdfNorm sends x < -37.3 (results near and below 2^-1022,
// reported with status 4 below it) and NaN to vdcdfnorm_cout_rare; single
// CdfNorm sends x < -12.9 (the same about 2^-126) and NaN to
// vscdfnorm_cout_rare.
#pragma once

#include <cstdint>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

// The double exponential's reduction and table (dexp::exp_parts); its scalar
// routines are defined in the SSE2 unit of its own family only.
#include "kex/kernels/real/explog/exp_double.h"

extern "C" {
// erfc(x) for NaN and x >= 26.5 (denormal and zero results), status 0.
[[gnu::visibility("hidden")]] int32_t vderfc_cout_rare(const double* a, double* r);
// CdfNorm of NaN, -inf and x < -37.3; status 4 where the result is below
// 2^-1022.
[[gnu::visibility("hidden")]] int32_t vdcdfnorm_cout_rare(const double* a, double* r);
// The single-precision routine: NaN and x < -12.9, status 4 below 2^-126.
[[gnu::visibility("hidden")]] int32_t vscdfnorm_cout_rare(const float* a, float* r);
}

namespace kex {
namespace erf_data {
#include "kex/kernels/real/erfgamma/erf_table.inc"
}  // namespace erf_data

namespace KEX_LVL {
namespace erfk {

template <class V> V c(double v) { return V::splat(v); }

constexpr double kTwoOverSqrtPi = 0x1.20dd750429b6dp+0;
constexpr double kSplit = 0x1.0000002p+27;  // 2^27 + 1: Veltkamp's split into 26 + 27 bits
// 1/sqrt 2 = kRs + kRsLo, and kRs = kRsH + kRsL with 26-bit kRsH.
constexpr double kRs = 0x1.6a09e667f3bcdp-1, kRsLo = -0x1.bdd3413b26456p-55;
constexpr double kRsH = 0x1.6a09e68p-1, kRsL = -0x1.80c433p-29;
constexpr double kTailFrom = 0.5;      // erfc form from here on
constexpr double kFastTop = 26.5;      // y^2 < 702.25: 2^(k>>6 - 1) is still normal

// The flavour's tables.
template <Flavour F> struct Tab;
template <> struct Tab<Flavour::HA> {
    static constexpr int kDeg = 13, kStrideLog = 4, kSmallDeg = 10;
    static const double* g() { return &erf_data::kErfcx13[0][0]; }
    static const double* q() { return erf_data::kErfSmall10; }
};
template <> struct Tab<Flavour::LA> {
    static constexpr int kDeg = 10, kStrideLog = 4, kSmallDeg = 9;
    static const double* g() { return &erf_data::kErfcx10[0][0]; }
    static const double* q() { return erf_data::kErfSmall9; }
};
template <> struct Tab<Flavour::EP> {
    static constexpr int kDeg = 5, kStrideLog = 3, kSmallDeg = 4;
    static const double* g() { return &erf_data::kErfcx5[0][0]; }
    static const double* q() { return erf_data::kErfSmall4; }
};

// q(s) by Horner.
template <Flavour F, class V> [[gnu::always_inline]] inline V small_q(V s) {
    const double* q = Tab<F>::q();
    V p = c<V>(q[Tab<F>::kSmallDeg]);
    for (int k = Tab<F>::kSmallDeg - 1; k >= 0; --k) p = p * s + c<V>(q[k]);
    return p;
}

// x = h + l with h holding the leading 26 bits.
template <class V> [[gnu::always_inline]] inline void split(V x, V& h, V& l) {
    const V g = x * c<V>(kSplit);
    h = g - (g - x);
    l = x - h;
}

// erfc(y) = (p + corr) 2^(k>>6), k from t, for 1/2 <= y < 27.3 (lanes
// outside are clamped into it by the caller); yl the low part of the
// argument (0 when it has none).
template <class V> struct TailParts { V p, corr, t; };

template <Flavour F, class V> [[gnu::always_inline]] inline TailParts<V> erfc_tail(V y, V yl) {
    using T = Tab<F>;
    // Row of y's interval: 0.5 has the pattern 0x3FE0... and (pattern >> 49)
    // = 0x1FF0 + 8 e + (three fraction bits).
    const V row = bits_shl<T::kStrideLog>(bits_sub(bits_shr<49>(y), splat_bits<V>(0x1FF0u)));
    const double* g = T::g();
    V m, c0l, a, b;
    gather_pairs(g, row, m, c0l);
    const V t = y - m;  // exact: y and m lie in one binade
    // Horner in t^2 over the pairs c_k + c_(k+1) t (k = 2, 4, ...): half the
    // dependent steps of plain Horner, the pairs formed off the chain.
    constexpr int top = T::kDeg & ~1;
    const V u = t * t;
    gather_pairs(g + 2 + top, row, a, b);
    V p = b * t + a;
    for (int k = top - 2; k >= 2; k -= 2) {
        gather_pairs(g + 2 + k, row, a, b);
        p = p * u + (b * t + a);
    }
    gather_pairs(g + 2, row, a, b);  // c0, c1
    const V tp = (p * t + b) * t;
    // LA adds c0's low part and yl g'(y) ~ yl c1 before the one rounding.
    const V s = F == Flavour::LA ? a + (tp + (c0l + yl * b)) : a + tp;

    // -y^2 = -(hi + lo); EP keeps hi alone.
    const V hi = y * y;
    V lo = c<V>(0.0);
    if constexpr (F != Flavour::EP) {
        V yh, yr;
        split(y, yh, yr);
        lo = ((yh * yh - hi) + c<V>(2.0) * yh * yr) + yr * yr + c<V>(2.0) * y * yl;
    }
    const dexp::ExpParts<V> e = dexp::exp_parts(c<V>(0.0) - hi);
    if constexpr (F == Flavour::HA) {
        // g = s + err: the constant's low part, the sum's rounding, and yl g'(y)
        // with g' = 2 y g - 2/sqrt pi.
        const V err = ((a - s) + tp) + c0l + yl * (c<V>(2.0) * y * s - c<V>(kTwoOverSqrtPi));
        const V gh = bit_and(s, splat_bits<V>(0xFFFFFE0000000000ull));
        const V gl = (s - gh) + err;
        const V elo = e.lo - (e.th + e.lo) * lo;  // lo reaches 2^-44 and e.lo 2^-7.5 of Th
        return {e.th * gh, e.th * gl + elo * s, e.t};
    } else {
        const V ev = e.th + e.lo;
        return {(ev - ev * lo) * s, c<V>(0.0), e.t};
    }
}

// 2^(k>>6 - d) for the fast range (d = 0 or 1).
template <class V> [[gnu::always_inline]] inline V scale_of(V t, int d) {
    V s = dexp::scale_of(t);
    if (d) s = bits_sub(s, splat_bits<V>(0x0010000000000000ull));
    return s;
}

// w - (p + corr) s for w = 1 or 2 (erf = 1 - erfc, erfc(-y) = 2 - erfc(y),
// CdfNorm = 1 - erfc/2), the difference's rounding error kept (fast
// two-sum: (p + corr) s <= w).
template <class V> [[gnu::always_inline]] inline V minus_from(V w, const TailParts<V>& tp, V s) {
    const V p = tp.p * s, corr = tp.corr * s;
    const V d = w - p;
    return d + (((w - d) - p) - corr);
}

// erf(x) for |x| <= 1/2: x q(x^2) is below 0.13 x, so the sum is rounded
// about once and keeps relative accuracy down to the denormals.
template <Flavour F, class V> [[gnu::always_inline]] inline V erf_small(V x) {
    return x + x * small_q<F>(x * x);
}

// ---- double ------------------------------------------------------------------

template <class V> V sign_of(V x) { return bit_and(x, c<V>(-0.0)); }
template <class V> V clamp_below(V x, double b) { return select(x < c<V>(b), x, c<V>(b)); }  // NaN -> b

template <Flavour F, class V> [[gnu::always_inline]] inline V erf_d(V x) {
    const V ax = abs(x);
    const typename V::mask small = ax <= c<V>(kTailFrom);
    V r = x;
    if (small.bits() != 0) r = erf_small<F>(x);
    if ((~small.bits() & ((1 << V::lanes) - 1)) != 0) {
        const V y = select(small, c<V>(kTailFrom), clamp_below(ax, 6.0));
        const TailParts<V> tp = erfc_tail<F>(y, c<V>(0.0));
        const V big = bit_or(minus_from(c<V>(1.0), tp, scale_of(tp.t, 0)), sign_of(x));
        r = small.bits() == 0 ? big : select(small, r, big);
    }
    return select(unordered(x, x), x + x, r);
}

// erfc(x) for x < kFastTop (NaN and larger lanes give garbage, sent to the
// special path).
template <Flavour F, class V> [[gnu::always_inline]] inline V erfc_d(V x) {
    const V ax = abs(x);
    const typename V::mask small = ax <= c<V>(kTailFrom);
    V r = x;
    if (small.bits() != 0) {  // 1 - x - x q(x^2), the first difference's error kept
        const V d = c<V>(1.0) - x;
        r = d + (((c<V>(1.0) - d) - x) - x * small_q<F>(x * x));
    }
    if ((~small.bits() & ((1 << V::lanes) - 1)) != 0) {
        const V y = select(small, c<V>(kTailFrom), clamp_below(ax, kFastTop));
        const TailParts<V> tp = erfc_tail<F>(y, c<V>(0.0));
        const V s = scale_of(tp.t, 0);
        const V pos = (tp.p + tp.corr) * s;
        const V neg = minus_from(c<V>(2.0), tp, s);
        const V big = select(x < c<V>(0.0), neg, pos);
        r = small.bits() == 0 ? big : select(small, r, big);
    }
    return r;
}

// CdfNorm(x) = erfc(y)/2 with y = -x/sqrt 2 = yh + yl, for x >= -37.3.
template <Flavour F, class V> [[gnu::always_inline]] inline V cdfnorm_d(V x) {
    const V xc = select(x < c<V>(40.0), x, c<V>(40.0));
    V yh = c<V>(0.0) - xc * c<V>(kRs), yl = c<V>(0.0);
    if constexpr (F != Flavour::EP) {
        V xh, xl;
        split(xc, xh, xl);
        // -(x kRs) - yh exactly, plus x kRsLo.
        const V err = (((xh * c<V>(kRsH) + yh) + xh * c<V>(kRsL)) + xl * c<V>(kRsH)) + xl * c<V>(kRsL);
        yl = c<V>(0.0) - (err + xc * c<V>(kRsLo));
    }
    const V ay = abs(yh);
    const typename V::mask small = ay <= c<V>(kTailFrom);
    V r = x;
    if (small.bits() != 0) {
        // 1/2 - erf(y)/2, erf(y + yl) ~ y + (y q + yl (1 + q)).
        const V q = small_q<F>(yh * yh);
        const V h = c<V>(0.5) * yh;
        const V d = c<V>(0.5) - h;
        r = d + (((c<V>(0.5) - d) - h) - c<V>(0.5) * (yh * q + yl * (c<V>(1.0) + q)));
    }
    if ((~small.bits() & ((1 << V::lanes) - 1)) != 0) {
        const typename V::mask neg = yh < c<V>(0.0);
        const V y = select(small, c<V>(kTailFrom), clamp_below(ay, kFastTop));
        const TailParts<V> tp = erfc_tail<F>(y, select(neg, c<V>(0.0) - yl, yl));
        const V s = scale_of(tp.t, 1);
        const V big = select(neg, minus_from(c<V>(1.0), tp, s), (tp.p + tp.corr) * s);
        r = small.bits() == 0 ? big : select(small, r, big);
    }
    return r;
}

// ---- single: the EP double evaluation on each half ----------------------------

template <class V, class Fn> [[gnu::always_inline]] inline V widened(V x, Fn fn) {
    using W = Widened<V>;
    typename W::type d[W::parts];
    for (int h = 0; h < W::parts; ++h) d[h] = fn(W::part(x, h));
    return W::join(d);
}

// ---- policies ----------------------------------------------------------------

template <Flavour F> struct ErfDOp : PolicyBase<double, 1, 1> {
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = erf_d<F>(x[0]);
        return V::mask::none();
    }
};
template <Flavour F> struct ErfcDOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = erfc_d<F>(x[0]);
        return unordered(x[0], x[0]) | (x[0] >= c<V>(kFastTop));
    }
    int rare(const double* x, double* y) const { return vderfc_cout_rare(x, y); }
};
template <Flavour F> struct CdfNormDOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = cdfnorm_d<F>(x[0]);
        return unordered(x[0], x[0]) | (x[0] < c<V>(-37.3));
    }
    int rare(const double* x, double* y) const { return vdcdfnorm_cout_rare(x, y); }
};

// Single precision: the arguments are clamped where the float result no
// longer changes (erf: 1 from 4, erfc: 0 from 10.1, CdfNorm: 1 from 5.8),
// and NaN comes back as x + x.
struct ErfSOp : PolicyBase<float, 1, 1> {
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = widened(x[0], [](auto d) { return erf_d<Flavour::EP>(d); });
        return V::mask::none();
    }
};
struct ErfcSOp : PolicyBase<float, 1, 1> {
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V xc = select(x[0] < V::splat(10.1f), x[0], V::splat(10.1f));
        const V r = widened(xc, [](auto d) { return erfc_d<Flavour::EP>(d); });
        y[0] = select(unordered(x[0], x[0]), x[0] + x[0], r);
        return V::mask::none();
    }
};
struct CdfNormSOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = widened(x[0], [](auto d) { return cdfnorm_d<Flavour::EP>(d); });
        return unordered(x[0], x[0]) | (x[0] < V::splat(-12.9f));
    }
    int rare(const float* x, float* y) const { return vscdfnorm_cout_rare(x, y); }
};

}  // namespace erfk

template <> struct OpFor<fn_Erf, acc_HA, double> { using type = erfk::ErfDOp<Flavour::HA>; };
template <> struct OpFor<fn_Erf, acc_LA, double> { using type = erfk::ErfDOp<Flavour::LA>; };
template <> struct OpFor<fn_Erf, acc_EP, double> { using type = erfk::ErfDOp<Flavour::EP>; };
template <> struct OpFor<fn_Erfc, acc_HA, double> { using type = erfk::ErfcDOp<Flavour::HA>; };
template <> struct OpFor<fn_Erfc, acc_LA, double> { using type = erfk::ErfcDOp<Flavour::LA>; };
template <> struct OpFor<fn_Erfc, acc_EP, double> { using type = erfk::ErfcDOp<Flavour::EP>; };
template <> struct OpFor<fn_CdfNorm, acc_HA, double> { using type = erfk::CdfNormDOp<Flavour::HA>; };
template <> struct OpFor<fn_CdfNorm, acc_LA, double> { using type = erfk::CdfNormDOp<Flavour::LA>; };
template <> struct OpFor<fn_CdfNorm, acc_EP, double> { using type = erfk::CdfNormDOp<Flavour::EP>; };
template <class A> struct OpFor<fn_Erf, A, float> { using type = erfk::ErfSOp; };
template <class A> struct OpFor<fn_Erfc, A, float> { using type = erfk::ErfcSOp; };
template <class A> struct OpFor<fn_CdfNorm, A, float> { using type = erfk::CdfNormSOp; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
#include "kex/kernels/real/erfgamma/erf_scalar.inc"
#endif
