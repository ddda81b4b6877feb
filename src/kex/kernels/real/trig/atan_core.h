// The one evaluation behind Atan, Atan2, Asin and Acos: base ± atan(y/x) for
// 0 <= y <= x, written once over the vector type (F64x2, one-lane X1<double>;
// the single-precision kernels widen to double and use it too).
//
// Method: c = y/x estimated (reciprocal estimate, 2^-11) and rounded to 6
// significant bits, a node of atan_nodes.h or a number below 2^-8. Then
//   atan(y/x) = atan(c) + atan(r),  r = (y - c x) / (x + c y),  |r| < 2^-6.9,
// atan(r) = r + r^3 P(r^2) (tools/sollya/atan.sollya), atan(c) from the table
// or, for c < 2^-8, as c + c^3 P(c^2). Because c ~ y/x whatever the size of
// y/x, r is at most 2^-6 of the result, so the rounding of the quotient costs
// only a few hundredths of an ulp.
//
// Three precisions:
//   Full (double HA): x is split into 26- and 27-bit halves, so c x_hi and
//     c x_lo are exact and y - c x_hi is exact (Sterbenz): r carries only the
//     roundings of one subtraction, x + c y and the quotient. Low parts of y
//     and x (the square root of Asin/Acos) enter the numerator. atan(c) in two
//     parts, P of degree 2; base + atan summed with an exact two-sum.
//   Mid (double LA): no splitting, no low parts of the arguments.
//   Low (double EP, single precision): P of degree 0, high parts only.
#pragma once

#include <cstdint>

#include "kex/kernels/real/trig/atan_nodes.h"
#include "kex/simd/simd.h"

namespace kex {
namespace KEX_LVL {
namespace atan_core {

enum class Prec { Full, Mid, Low };

// atan(r) - r = r^3 (a3 + a5 r^2 + a7 r^4), relative error 2^-63.6 on
// |r| <= 2^-6.9; the degree-0 form r^3 b3 has 2^-31.
inline constexpr double kA3 = -0x1.555555555554p-2, kA5 = 0x1.9999998f11a6cp-3, kA7 = -0x1.248c29f6d8a3p-3;
inline constexpr double kB3 = -0x1.55537ed71443ap-2;
// pi/2 and pi as a double and the double nearest to the rest; 3pi/4, pi/4.
inline constexpr double kPio2Hi = 0x1.921fb54442d18p0, kPio2Lo = 0x1.1a62633145c07p-54;
inline constexpr double kPiHi = 0x1.921fb54442d18p1, kPiLo = 0x1.1a62633145c07p-53;
inline constexpr double kPio4 = 0x1.921fb54442d18p-1, k3Pio4 = 0x1.2d97c7f3321d2p1;
// pi/2 and pi in the lanes' precision as a high part and the nearest value
// to the rest.
template <class T> struct ArcPi;
template <> struct ArcPi<double> {
    static constexpr double pio2_hi = kPio2Hi, pio2_lo = kPio2Lo, pi_hi = kPiHi, pi_lo = kPiLo;
};
template <> struct ArcPi<float> {
    static constexpr float pio2_hi = 0x1.921fb6p0f, pio2_lo = -0x1.777a5cp-25f;
    static constexpr float pi_hi = 0x1.921fb6p1f, pi_lo = -0x1.777a5cp-24f;
};

template <Prec P, class V>
[[gnu::always_inline]] inline V odd_tail(V r) {
    const V z = r * r;
    if constexpr (P == Prec::Low) return r * z * V::splat(kB3);
    else return r * z * ((V::splat(kA7) * z + V::splat(kA5)) * z + V::splat(kA3));
}

// base + atan((y + yl) / (x + xl)) with the sign of the arctangent flipped in
// the lanes where neg is -0.0; 0 <= y <= x, x a normal number in float range
// (the reciprocal estimate), y/x not below 2^-900. yl and xl are read by Full.
template <Prec P, class V>
[[gnu::always_inline]] inline V atan_quot(V y, V yl, V x, V xl, V base_hi, V base_lo, V neg) {
    const V c = bit_and(bits_add(y * rcp_estimate(x), splat_bits<V>(atan_nodes::kRoundHalf)),
                        splat_bits<V>(atan_nodes::kNodeMask));
    V num;
    if constexpr (P == Prec::Full) {
        const V xh = bit_and(x, splat_bits<V>(0xFFFFFFFFF8000000u));
        num = ((y - c * xh) - c * (x - xh)) + (yl - c * xl);
    } else {
        num = y - c * x;
    }
    const V r = num / (x + c * y);

    // The node's row (2 * row as the pattern, for the pair lookup); lanes
    // without a node (c < 2^-8, and NaN) read row 0 and do not use it.
    const V first = V::splat(atan_nodes::kFirst);
    const auto has_node = (c >= first) & (c <= V::splat(1.0));
    const V off = select(has_node, bits_shr<46>(bits_sub(c, first)), V::splat(0.0));
    const auto small = c < first;
    V th, tl;
    if constexpr (P == Prec::Low) th = gather(&atan_nodes::kTable[0][0], off);
    else gather_pairs(&atan_nodes::kTable[0][0], off, th, tl);
    const V hi = select(small, c, th);
    if constexpr (P == Prec::Low) {
        const V lo = select(small, odd_tail<P>(c), V::splat(0.0));
        return base_hi + bit_xor(hi + (r + (lo + odd_tail<P>(r))), neg);
    } else {
        const V lo = select(small, odd_tail<P>(c), tl);
        const V tail = r + (lo + odd_tail<P>(r));
        // base + hi exactly as s + e (|base| >= |hi| or base = 0).
        const V sh = bit_xor(hi, neg);
        const V s = base_hi + sh;
        const V e = (base_hi - s) + sh;
        return s + ((e + base_lo) + bit_xor(tail, neg));
    }
}

template <class V> [[gnu::always_inline]] inline V sign_of(V x) { return bit_and(x, V::splat(-0.0)); }
template <class V, class M> [[gnu::always_inline]] inline V when(M m, double v) {
    return select(m, V::splat(v), V::splat(0.0));
}

// atan x for every x but +-inf (which the callers take elsewhere): for
// |x| > 1, pi/2 - atan(1/|x|), with 1/|x| as the quotient 1/|x|.
template <Prec P, class V>
[[gnu::always_inline]] inline V atan_eval(V x) {
    const V a = abs(x), one = V::splat(1.0), zero = V::splat(0.0);
    const auto big = a > one;
    const V r = atan_quot<P>(select(big, one, a), zero, select(big, a, one), zero, when<V>(big, kPio2Hi),
                             when<V>(big, kPio2Lo), when<V>(big, -0.0));
    return bit_xor(r, sign_of(x));
}

// atan2(y, x) for finite non-zero y and x whose larger magnitude is a normal
// float-range number and whose smaller is not below 2^-900 of it.
template <Prec P, class V>
[[gnu::always_inline]] inline V atan2_eval(V y, V x) {
    const V ay = abs(y), ax = abs(x), zero = V::splat(0.0);
    const auto swap = ay > ax;
    const auto xneg = x < zero;
    // Quadrant: base 0, pi/2 or pi; the arctangent enters negated when
    // exactly one of "swapped" and "x < 0" holds.
    const V base_hi = select(swap, V::splat(kPio2Hi), when<V>(xneg, kPiHi));
    const V base_lo = select(swap, V::splat(kPio2Lo), when<V>(xneg, kPiLo));
    const V neg = bit_xor(when<V>(swap, -0.0), sign_of(x));
    const V r = atan_quot<P>(select(swap, ax, ay), zero, select(swap, ay, ax), zero, base_hi, base_lo, neg);
    return bit_xor(r, sign_of(y));
}

// sqrt(1 - a^2) for 0 <= a < 1 as s + sl: Full forms 1 - a^2 exactly as a
// double pair (Dekker's product with Veltkamp's split) and corrects the
// square root by the residual; the others take sqrt((1 - a)(1 + a)), sl = 0.
template <Prec P, class V>
[[gnu::always_inline]] inline void sqrt_one_minus_sq(V a, V& s, V& sl) {
    const V one = V::splat(1.0);
    if constexpr (P == Prec::Full) {
        const V split = V::splat(134217729.0);  // 2^27 + 1
        const V ga = a * split, ah = ga - (ga - a), al = a - ah;
        const V ph = a * a, pl = ((ah * ah - ph) + (ah * al + ah * al)) + al * al;
        const V wh = one - ph, wl = ((one - wh) - ph) - pl;
        s = sqrt(wh);
        const V gs = s * split, sh = gs - (gs - s), slo = s - sh;
        const V q = s * s, qe = ((sh * sh - q) + (sh * slo + sh * slo)) + slo * slo;
        // (wh + wl - s^2) / (2 s). Near |a| = 1, wl is up to 2^-28 of wh and
        // the correction 2^-29 of s, which acos returns almost unchanged: the
        // reciprocal estimate takes two Newton steps (relative error 2^-44).
        const V two = V::splat(2.0), e0 = rcp_estimate(s);
        const V e1 = e0 * (two - s * e0);
        const V e2 = e1 * (two - s * e1);
        sl = (((wh - q) - qe) + wl) * (V::splat(0.5) * e2);
    } else {
        s = sqrt((one - a) * (one + a));
        sl = V::splat(0.0);
    }
}

// asin x = atan2(x, sqrt(1 - x^2)) and acos x = atan2(sqrt(1 - x^2), x)
// for |x| < 1. Below 2^-26, asin x rounds to x itself (a denormal x would
// otherwise meet denormal products).
template <Prec P, class V>
[[gnu::always_inline]] inline V asin_eval(V x) {
    const V a = abs(x), zero = V::splat(0.0);
    V s, sl;
    sqrt_one_minus_sq<P>(a, s, sl);
    const auto swap = a > s;
    const V r = atan_quot<P>(select(swap, s, a), select(swap, sl, zero), select(swap, a, s), select(swap, zero, sl),
                             when<V>(swap, kPio2Hi), when<V>(swap, kPio2Lo),
                             when<V>(swap, -0.0));
    return bit_xor(select(a < V::splat(0x1p-26), a, r), sign_of(x));
}

template <Prec P, class V>
[[gnu::always_inline]] inline V acos_eval(V x) {
    const V a = abs(x), zero = V::splat(0.0);
    V s, sl;
    sqrt_one_minus_sq<P>(a, s, sl);
    const auto swap = s > a;
    const auto xneg = x < zero;
    const V base_hi = select(swap, V::splat(kPio2Hi), when<V>(xneg, kPiHi));
    const V base_lo = select(swap, V::splat(kPio2Lo), when<V>(xneg, kPiLo));
    const V neg = bit_xor(when<V>(swap, -0.0), sign_of(x));
    return atan_quot<P>(select(swap, a, s), select(swap, zero, sl), select(swap, s, a), select(swap, sl, zero),
                        base_hi, base_lo, neg);
}

}  // namespace atan_core
}  // namespace KEX_LVL
}  // namespace kex

namespace kex {
namespace KEX_LVL {
namespace atan_core {

// Single precision: the lanes widened to double, evaluated there and rounded
// once to float.
template <class V, class F>
[[gnu::always_inline]] inline V widened(V x, F f) {
    using Wd = Widened<V>;
    typename Wd::type out[Wd::parts];
    for (int k = 0; k < Wd::parts; ++k) out[k] = f(Wd::part(x, k));
    return Wd::join(out);
}
template <class V, class F>
[[gnu::always_inline]] inline V widened(V y, V x, F f) {
    using Wd = Widened<V>;
    typename Wd::type out[Wd::parts];
    for (int k = 0; k < Wd::parts; ++k) out[k] = f(Wd::part(y, k), Wd::part(x, k));
    return Wd::join(out);
}

}  // namespace atan_core
}  // namespace KEX_LVL
}  // namespace kex
