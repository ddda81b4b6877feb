// Pieces shared by the hyperbolic kernels: exact sums and products of
// doubles, e^|x|/2 and e^-|x|/2 from one reduction (hyperbolic sine and
// cosine as a head and a tail), and the logarithm of a head-and-tail number
// built on the double logarithm's reduction.
#pragma once

#include <cstdint>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

// Inline building blocks only: the exponential and logarithm headers define
// their scalar routines in the SSE2 unit of their own family.
#include "kex/kernels/real/explog/exp_double.h"
#include "kex/kernels/real/explog/log_double.h"

namespace kex {
namespace hyp_data {
#include "kex/kernels/real/hyperbolic/exp2_j64_table.inc"
}  // namespace hyp_data

namespace KEX_LVL {
namespace hyp {

template <class V> [[gnu::always_inline]] inline V c(double v) { return V::splat(v); }

// ---- exact arithmetic ---------------------------------------------------------
// s + e = a + b exactly; fast form for |a| >= |b| (or a = 0).
template <class V> [[gnu::always_inline]] inline V fast_two_sum(V a, V b, V& e) {
    const V s = a + b;
    e = (a - s) + b;
    return s;
}
template <class V> [[gnu::always_inline]] inline V two_sum(V a, V b, V& e) {
    const V s = a + b;
    const V bb = s - a;
    e = (a - (s - bb)) + (b - bb);
    return s;
}
// p + e = a * b exactly (Veltkamp split, no fused multiply-add at these
// levels) while the factors stay below 2^995 in magnitude.
template <class V> [[gnu::always_inline]] inline void split(V a, V& hi, V& lo) {
    const V t = a * c<V>(134217729.0);  // 2^27 + 1
    hi = t - (t - a);
    lo = a - hi;
}
template <class V> [[gnu::always_inline]] inline V two_prod(V a, V b, V& e) {
    const V p = a * b;
    V ah, al, bh, bl;
    split(a, ah, al), split(b, bh, bl);
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
    return p;
}

// ---- e^t / 2 and e^-t / 2, t >= 0 ----------------------------------------------
// t = (k/64) ln 2 + r, j = k & 63, m = k >> 6:
//   e^t/2  = A e^r,  A = 2^(m-1) 2^(j/64)
//   e^-t/2 = B e^-r, B = 2^(-m-2) 2^((64-j)/64)
// and with e^(+-r) = 1 + E +- O (E even, O odd):
//   sinh t = (A - B)(1 + E) + (A + B) O,  cosh t = (A + B)(1 + E) + (A - B) O.
// A and B come as table heads and tails; B is dropped (0) from
// t >= 21.487562597358306, where e^-t/2 is below 2^-63 of e^t/2.
// The polynomial is e^r to degree 6 (error 2^-70 on |r| <= ln2/128).
constexpr double kOneSided = 21.487562597358306;
constexpr double kP2 = 0.5, kP3 = 0.1666666666665788, kP4 = 0.04166666666677052;
constexpr double kP5 = 0.008333341995140497, kP6 = 0.0013888870459233254;

template <class V> struct TwoSided { V ah, al, bh, bl, e, o; };

// From a reduction: kt holds k in its low bits (t 64/ln2 + 1.5 2^52) and r
// the reduced argument. m <= 1021 (t < 708.4): both scale factors are
// normal or 0.
template <class V> [[gnu::always_inline]] inline TwoSided<V> two_sided_at(V t, V kt, V r) {
    const V r2 = r * r;
    TwoSided<V> s;
    s.o = r * (r2 * (c<V>(kP5) * r2 + c<V>(kP3))) + r;
    s.e = r2 * (r2 * (c<V>(kP6) * r2 + c<V>(kP4)) + c<V>(kP2));
    const V sm = dexp::scale_of(kt);                                // 2^m
    const V sa = bits_sub(sm, splat_bits<V>(uint64_t{1} << 52));    // 2^(m-1)
    const V sb = select(t < c<V>(kOneSided), bits_sub(splat_bits<V>(uint64_t{2044} << 52), sm), c<V>(0.0));  // 2^(-m-2)
    const V ij = bit_and(bits_shl<1>(kt), splat_bits<V>(126));
    V th, tl, uh, ul;
    gather_pairs(&hyp_data::kExp2J64Pair[0][0], ij, th, tl);
    gather_pairs(&hyp_data::kExp2J64Pair[0][0], bits_sub(splat_bits<V>(128), ij), uh, ul);
    s.ah = th * sa, s.al = tl * sa, s.bh = uh * sb, s.bl = ul * sb;
    return s;
}
// With the double Exp reduction (its ln2/64 high part has 33 bits).
template <class V> [[gnu::always_inline]] inline TwoSided<V> two_sided(V t) {
    const dexp::Reduced<V> red = dexp::reduce(t);
    return two_sided_at(t, red.t, red.rh - red.nl);
}

// sinh t and cosh t as head + tail: the head A_h -+ B_h exact through the
// two-sum, everything else in the tail (A_h >= B_h always). Cosh's error is
// about 2^-60 relative before the final rounding; Sinh's as well for
// t >= 0.25, where coth t |r| keeps the O term within 2% of the result.
template <class V> [[gnu::always_inline]] inline V sinh_parts(const TwoSided<V>& s, V& lo) {
    V err;
    const V d = fast_two_sum(s.ah, c<V>(0.0) - s.bh, err);
    lo = ((err + (s.al - s.bl)) + d * s.e) + (s.ah + s.bh) * s.o;
    return d;
}
template <class V> [[gnu::always_inline]] inline V cosh_parts(const TwoSided<V>& s, V& lo) {
    V err;
    const V h = fast_two_sum(s.ah, s.bh, err);
    lo = ((err + (s.al + s.bl)) + h * s.e) + (s.ah - s.bh) * s.o;
    return h;
}

// sinh x = x + x^3 P(x^2) on |x| <= 0.25, relative error 2^-63
// (tools/sollya/hyperbolic.sollya): x is the head, x^3 P the tail.
template <class V> [[gnu::always_inline]] inline V sinh_small_tail(V x) {
    const V z = x * x;
    const V p = (((c<V>(0x1.ae845cf7cf707p-26) * z + c<V>(0x1.71de444c3599ep-19)) * z + c<V>(0x1.a01a019d0c4f9p-13)) * z +
                 c<V>(0x1.111111111151ep-7)) * z + c<V>(0x1.5555555555555p-3);
    return x * z * p;
}

// ---- ln of a head-and-tail number ---------------------------------------------
// ln(2^s (h + l)) for positive normal h, |l| <= 2^-50 h and a small integer
// s: the double Ln reduction of h with s added to its exponent, and l / h
// carried into the reduced argument the way Log1p carries the rounding
// error of 1 + x (l 2^-e rcp joins the low part of r). Where the result is
// small (h next to 1) r = h - 1 is exact, so the relative accuracy holds.
template <Flavour F, class V> [[gnu::always_inline]] inline V ln_dd(V h, V l, V s) {
    dlog::Reduced<V> a = dlog::reduce<F>(h);
    const V field = bit_and(h, splat_bits<V>(0x7FF0000000000000ull));
    const V scale = bits_sub(splat_bits<V>(0x7FE0000000000000ull), field);  // 2^-e
    const V cl = l * scale * a.rcp;
    if constexpr (F == Flavour::EP) a.rh = a.rh + cl;
    else a.rl = a.rl + cl;
    a.e = a.e + s;
    return dlog::finish<dlog::Kind::Ln, F>(a);
}

}  // namespace hyp
}  // namespace KEX_LVL
}  // namespace kex
