// Complex power through a logarithm carried in pairs of extended values.
//
// e^(w log z) loses to the exponential whatever absolute error the product
// p = w log z carries: an error d in Re p is a relative error d in both
// components, and one in Im p turns the result by d. With |p| up to 2^25 an
// extended product (2^-64 relative) would leave errors up to 2^-39, so here
// log|z| and arg z are computed to about 2^-100 (relative for log|z|, absolute
// for arg z), the product in pairs, and only the final exponential, sine and
// cosine in single extended values.
#include "kex/cscalar/pow.h"

#include "kex/xreal/xreal_common.h"

namespace kex::cscalar {
namespace {

using orvu_xreal::DD;
using orvu_xreal::dd_mul;
using orvu_xreal::fast_two_sum;
using orvu_xreal::two_prod;
using orvu_xreal::two_sum;

// Constants as pairs: the value rounded to 64 bits and the rounded rest.
constexpr DD kLn2 = {0xb.17217f7d1cf79acp-4L, -0xd.871319ff0342543p-70L};
constexpr DD kPi2 = {0xc.90fdaa22168c235p-3L, -0xe.ce675d1fc8f8cbbp-69L};  // pi/2
constexpr DD kThird = {0xa.aaaaaaaaaaaaaabp-5L, -0xa.aaaaaaaaaaaaaabp-70L};
constexpr DD kFifth = {0xc.ccccccccccccccdp-6L, -0xc.ccccccccccccccdp-72L};
constexpr DD kSixth = {0xa.aaaaaaaaaaaaaabp-6L, -0xa.aaaaaaaaaaaaaabp-71L};
constexpr DD k1o24 = {0xa.aaaaaaaaaaaaaabp-8L, -0xa.aaaaaaaaaaaaaabp-73L};
constexpr DD k1o120 = {0x8.888888888888889p-10L, -0xe.eeeeeeeeeeeeeefp-75L};

inline DD add(DD a, DD b) {
    const DD s = two_sum(a.hi, b.hi);
    return two_sum(s.hi, s.lo + (a.lo + b.lo));
}
inline DD add(DD a, LD b) {
    const DD s = two_sum(a.hi, b);
    return two_sum(s.hi, s.lo + a.lo);
}
inline DD mul(DD a, LD b) {
    const DD p = two_prod(a.hi, b);
    return fast_two_sum(p.hi, p.lo + a.lo * b);
}
inline DD scaled(DD a, LD f) { return {a.hi * f, a.lo * f}; }  // f +-2^k
inline DD neg(DD a) { return {-a.hi, -a.lo}; }

// n / d: the quotient's remainder, exact through the two-product, gives the
// low part.
inline DD div(DD n, DD d) {
    const LD q = n.hi / d.hi;
    const DD p = two_prod(q, d.hi);
    return fast_two_sum(q, (((n.hi - p.hi) - p.lo) + (n.lo - q * d.lo)) / d.hi);
}

// sqrt m for m near 1: one Newton step from the rounded root.
inline DD sqrt_pair(DD m) {
    const LD s = orvu_xreal::hw_sqrt(m.hi);
    const DD ss = two_prod(s, s);
    return fast_two_sum(s, (((m.hi - ss.hi) - ss.lo) + m.lo) / (2 * s));
}

// log|z|. x^2 + y^2 = n is exact as a pair up to its last rounding
// (2^-126 relative); n = 2^e m with m in [sqrt(1/2), sqrt(2)), and
// log m = 2^k log m^(2^-k) with k square roots (at most 4) bringing
// d = m^(2^-k) - 1 below 2^-5. m - 1 is exact (m within a factor 2 of 1),
// so near |z| = 1 (k = 0) d keeps an absolute error near 2^-126 and the
// result its relative accuracy. Then log(1 + d) = 2 atanh s, s = d/(2 + d),
// |s| < 2^-6: the series s + s^3/3 + ... + s^17/17 leaves s^19/19 < 2^-112 s;
// its terms past s^5 are below 2^-38 s and need only one extended value.
DD log_abs_pair(LD x, LD y) {
    const DD px = two_prod(x, x), py = two_prod(y, y);
    const DD s0 = two_sum(px.hi, py.hi);
    DD n = fast_two_sum(s0.hi, s0.lo + (px.lo + py.lo));
    int32_t e = orvu_xreal::biased_exp(n.hi) - 16383;
    if (n.hi * orvu_xreal::pow2(-e) > 1.41421356237309504880L) ++e;
    n = scaled(n, orvu_xreal::pow2(-e));
    DD d = two_sum(n.hi - 1, n.lo);
    LD k2 = 2;  // 2^(k+1)
    while (__builtin_fabsl(d.hi) > 0x1p-5L) {
        n = sqrt_pair(n);
        d = two_sum(n.hi - 1, n.lo);
        k2 *= 2;
    }
    const DD s = div(d, add(DD{2, 0}, d));
    const DD z = dd_mul(s, s);
    const LD zh = z.hi;
    const LD tail = 1.0L / 7 + zh * (1.0L / 9 + zh * (1.0L / 11 + zh * (1.0L / 13 + zh * (1.0L / 15 + zh * (1.0L / 17)))));
    const DD p = add(kThird, dd_mul(z, add(kFifth, zh * tail)));
    const DD log1p = scaled(add(s, dd_mul(dd_mul(s, z), p)), k2);
    return scaled(add(mul(kLn2, static_cast<LD>(e)), log1p), 0.5L);
}

// sin t and cos t for |t| <= pi + 2^-60 as pairs, to about 2^-100 absolute.
// t = q pi/2 + r, |r| <= pi/4 (q pi/2 is exact for |q| <= 2); h = r/16 has
// |h| < 2^-4.3, where the Taylor series through h^15 leave less than
// 2^-101 |h|. Four doublings, keeping cos - 1 (cos 2h - 1 = -2 sin^2 h) so
// nothing cancels, give sin r and cos r.
void sincos_pair(LD t, DD& sin_t, DD& cos_t) {
    const int q = static_cast<int>(t * 0.636619772367581343076L + (t < 0 ? -0.5L : 0.5L));
    const DD r0 = two_sum(t, -q * kPi2.hi);
    const DD h = scaled(fast_two_sum(r0.hi, r0.lo - q * kPi2.lo), 0.0625L);
    const DD z = dd_mul(h, h);
    const LD zh = z.hi;
    const LD ts = -1.0L / 5040 +
                  zh * (1.0L / 362880 + zh * (-1.0L / 39916800 + zh * (1.0L / 6227020800 + zh * (-1.0L / 1307674368000))));
    const LD tc = -1.0L / 720 +
                  zh * (1.0L / 40320 + zh * (-1.0L / 3628800 + zh * (1.0L / 479001600 + zh * (-1.0L / 87178291200))));
    DD s = add(h, dd_mul(dd_mul(h, z), add(neg(kSixth), dd_mul(z, add(k1o120, zh * ts)))));
    DD cm1 = dd_mul(z, add(DD{-0.5L, 0}, dd_mul(z, add(k1o24, zh * tc))));
    for (int i = 0; i < 4; ++i) {
        const DD s2 = scaled(add(s, dd_mul(s, cm1)), 2);  // 2 sin h cos h
        cm1 = scaled(dd_mul(s, s), -2);
        s = s2;
    }
    const DD c = add(cm1, 1.0L);
    switch (q) {
        case 0: sin_t = s, cos_t = c; break;
        case 1: sin_t = c, cos_t = neg(s); break;
        case -1: sin_t = neg(c), cos_t = s; break;
        default: sin_t = neg(s), cos_t = neg(c); break;
    }
}

// arg z for finite z != 0 from its extended value t (about 2^-63 relative):
// z e^(-it) = u + iv with v/u = tan(arg z - t) below 2^-61, so arg z = t + v/u
// as exactly as sin t and cos t are known; v = y cos t - x sin t cancels to
// its last bits and is formed from the exact products of the high parts.
DD arg_pair(LD x, LD y, LD t) {
    // On the axes: 0, +-pi/2 or +-pi with the sign of y (of a zero y too).
    if (y == 0) return x > 0 ? DD{t, 0} : scaled(kPi2, copy_sign(2, y));
    if (x == 0) return scaled(kPi2, copy_sign(1, y));
    DD s, c;
    sincos_pair(t, s, c);
    const DD p = two_prod(y, c.hi), q = two_prod(x, s.hi);
    const LD v = (p.hi - q.hi) + ((p.lo - q.lo) + (y * c.lo - x * s.lo));
    const LD u = x * c.hi + y * s.hi;
    return two_sum(t, v / u);
}

// sin and cos of t.hi + t.lo (extended results): those of t.hi, reduced
// exactly by the extended routine, turned by t.lo (|t.lo| <= 2^-64 |t.hi|)
// to second order. Where sin or cos of the sum cancels, the angle is within
// 2^-63 |t| of a multiple of pi/2 and that component is tiny next to the other.
void sincos_of(DD t, LD& s, LD& c) {
    LD s1, c1;
    orvu_kex_kernel_sincosl_scalar(t.hi, &s1, &c1);
    if (!(__builtin_fabsl(t.lo) < 0x1p-20L)) {  // |t| beyond 2^43: sum of two angles
        LD s2, c2;
        orvu_kex_kernel_sincosl_scalar(t.lo, &s2, &c2);
        s = s1 * c2 + c1 * s2, c = c1 * c2 - s1 * s2;
        return;
    }
    const LD c2 = 1 - 0.5L * t.lo * t.lo;
    s = s1 * c2 + c1 * t.lo, c = c1 * c2 - s1 * t.lo;
}

}  // namespace

CLD pow_finite(double x, double y, double a, double b, LD l, LD t) {
    // l and t are within 3 2^-64 (1/2 + |l|) and 3 2^-64 |t| of log|z| and
    // arg z. With B = (|a| + |b|)(1/2 + |l| + |t|), p = w log z formed from
    // them is off by at most 3 2^-64 B with exact products, and by 5 2^-64 B
    // when the two products and their sum round once each in extended
    // precision. Below 2^-55 (a quarter of an ulp of the result) is kept:
    // plain extended arithmetic to B = 96, exact products to B = 160, beyond
    // that log z recomputed as pairs.
    const LD bound = (__builtin_fabsl(a) + __builtin_fabsl(b)) * (0.5L + __builtin_fabsl(l) + __builtin_fabsl(t));
    DD re, im;
    if (bound <= 96) {
        re = {l * a - t * b, 0}, im = {t * a + l * b, 0};
    } else {
        DD lp = {l, 0}, tp = {t, 0};
        if (bound > 160) lp = log_abs_pair(x, y), tp = arg_pair(x, y, t);
        // The products of the doubles a and b with the pairs are exact to
        // 2^-126, and Re p may cancel, so the sums keep pairs.
        re = add(mul(lp, a), neg(mul(tp, b)));
        im = add(mul(tp, a), mul(lp, b));
    }
    // e^(re.hi + re.lo) = e^re.hi (1 + re.lo): |re.lo| < 2^-50 wherever the
    // extended exponential is finite and nonzero.
    LD e = orvu_kex_kernel_expl_scalar(re.hi);
    if (is_finite(e)) e += e * re.lo;
    // A real result (no inf * 0); its zero takes the sign the plain product
    // gives, as in the special-value path.
    if (im.hi == 0) return {e, l * b + t * a};
    LD s, c;
    sincos_of(im, s, c);
    return {e * c, e * s};
}

}  // namespace kex::cscalar
