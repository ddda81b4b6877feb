// Extended-precision arctangents, arcsine and arccosine.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

#include <utility>

namespace orvu_xreal {
namespace {

// atan(t + t_lo) for 0 <= t <= 1 (or pi/2 minus it when inv), as hi + lo.
// With c = i/16 nearest t, atan t = atan c + atan u, u = (t - c)/(1 + t c),
// |u| <= 1/32: t - c is exact, and u's roundings (about 1.5 2^-64 |u|) weigh
// below 0.75 ulp of atan c >= 1/16; for i = 0, u = t exactly. The Taylor
// series of atan u through u^13 leaves u^15/15 < 2^-70 |u|.
[[gnu::always_inline]] inline DD atan_core(ld t, ld t_lo, bool inv) {
    const ld c16 = (t * 16 + 0x3p62L) - 0x3p62L;  // round(16 t)
    const int32_t i = to_int(c16);
    const ld c = c16 * 0.0625;
    const ld u = (t - c) / (1 + t * c);
    const ld z = u * u, z2 = z * z;
    // -1/3 as a pair of doubles; the later coefficients as doubles err by
    // less than 2^-53 u^4/5 < 2^-75 |u|.
    const ld tail = u * z *
                    ((-kThird0 + (-kThird1 + z * 0.2)) + z2 * (-1.0 / 7 + z * (1.0 / 9)) +
                     z2 * z2 * (-1.0 / 11 + z * (1.0 / 13)));
    // The low part of the argument times the slope at c (within 1/32 of the
    // slope at t, and t_lo <= 2^-63 t).
    const ld corr = tail + t_lo * kXrAtanSlope[i];
    const double* a = kXrAtan[i] + (inv ? 3 : 0);
    const ld sg = inv ? -1 : 1;
    const DD h = two_sum(static_cast<ld>(a[0]) + a[1], sg * u);
    return fast_two_sum(h.hi, h.lo + (a[2] + sg * corr));
}

// atan2(y, x) for y, x >= 0 not both zero, y/x = (n.hi + n.lo)/(d.hi + d.lo)
// carried to about 2^-120 (values at most 2 and their quotient well inside
// the normal range, so the products stay exact).
DD atan2_pos_dd(DD y, DD x) {
    const bool inv = y.hi > x.hi;
    if (inv) std::swap(y, x);
    const ld q = y.hi / x.hi;
    const DD p = two_prod(q, x.hi);
    return atan_core(q, (((y.hi - p.hi) - p.lo) + (y.lo - q * x.lo)) / x.hi, inv);
}

// asin s = s + s z P(z), z = s^2 <= 1/4 (tools/sollya/xreal_asin.sollya,
// relative error 2^-70): the first four coefficients are pairs of doubles,
// the rest doubles; s z P(z) as hi + lo would add nothing (it is at most
// 0.05 s). Horner's form for the pairs, Estrin's below them.
[[gnu::always_inline]] inline ld asin_tail(ld s, ld z) {
    const ld z2 = z * z, z4 = z2 * z2;
    const ld q = ((0x1.6e8ba2e2b4689p-6 + z * 0x1.1c4ec5e9c66a9p-6) + z2 * (0x1.c99963081179p-7 + z * 0x1.7a8b9334c1eeap-7)) +
                 z4 * (((0x1.3fa7bced8b8a4p-7 + z * 0x1.15041c41bd8e8p-7) + z2 * (0x1.c19dd7af249dbp-8 + z * 0x1.1fafbcf935e26p-7)) +
                       z4 * ((-0x1.7352105880a67p-9 + z * 0x1.b5d8ecff6897cp-6) + z2 * (-0x1.e461fbe79a8d3p-6 + z * 0x1.07f5709f63898p-5)));
    const ld p3 = 0x1.f1c71c71dd384p-6 + (-0x1.5aba1cf076b8cp-61 + z * q);
    const ld p2 = 0x1.6db6db6db6c62p-5 + (0x1.b0e9e9c5c228p-59 + z * p3);
    const ld p1 = 0x1.3333333333334p-4 + (-0x1.2dc44fdb951cap-58 + z * p2);
    const ld p0 = 0x1.5555555555555p-3 + (0x1.5534b95c5731ap-57 + z * p1);
    return s * z * p0;
}

// asin of s = sqrt(w) for w = (1 - a)/2 (exact), 1/2 < a <= 1, as hi + lo:
// the square root's remainder, exact by the two-product, gives its low part
// (the division runs while the polynomial does).
[[gnu::always_inline]] inline DD asin_sqrt(ld w) {
    const ld s = hw_sqrt(w);
    const DD ss = two_prod(s, s);
    const ld s_lo = s == 0 ? 0 : ((w - ss.hi) - ss.lo) / (2 * s);
    return {s, s_lo + asin_tail(s, w)};
}

[[gnu::always_inline]] inline ld sum_with_pi(DD r) {  // pi - r
    const DD h = two_sum(kXrPi[0], -r.hi);
    return h.hi + (h.lo + (kXrPi[1] - r.lo));
}

}  // namespace

DD atan_dd(ld t) { return t > 1 ? atan_core(1 / t, 0, true) : atan_core(t, 0, false); }

}  // namespace orvu_xreal

using namespace orvu_xreal;

extern "C" {

ORVU_API long double orvu_kex_kernel_atanl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a < 0x1p-33L) return x;  // atan x = x (1 - x^2/3)
    // For a > 1, 1/a carries 2^-65 relative, below a quarter ulp of the
    // result (>= pi/4) after the factor 1/(1 + t^2).
    const DD r = atan_dd(a);
    const ld v = r.hi + r.lo;
    return x < 0 ? -v : v;
}

ORVU_API long double orvu_kex_kernel_atan2l_scalar(long double y, long double x) {
    const ld ay = __builtin_fabsl(y), ax = __builtin_fabsl(x);
    // Both in [2^-1000, 2^1000] (NaN is not): no scaling. One reciprocal
    // gives the quotient and, from its remainder (exact by the two-product),
    // the quotient's low part to about 2^-125.
    if (ay > 0x1p-1000 && ay < 0x1p1000 && ax > 0x1p-1000 && ax < 0x1p1000) {
        // The signs as integers, so that x and y need no registers.
        const bool xneg = bits_of(x).se >> 15, yneg = bits_of(y).se >> 15;
        const bool inv = ay > ax;
        const ld num = inv ? ax : ay, den = inv ? ay : ax;
        const ld rcp = 1 / den, q = num * rcp;
        const DD p = two_prod(q, den);
        const DD r = atan_core(q, pin(((num - p.hi) - p.lo) * rcp), inv);
        const ld v = xneg ? sum_with_pi(r) : r.hi + r.lo;
        return yneg ? -v : v;
    }
    if (is_nan(x) || is_nan(y)) return x + y;
    const bool xneg = __builtin_signbit(x);
    ld v;
    if (ay == 0) {
        v = xneg ? kXrPi[0] + kXrPi[1] : 0;  // atan2(+-0, -0) = +-pi, atan2(+-0, +0) = +-0
    } else if (is_inf(ay) || is_inf(ax)) {
        // Infinities: the angle of the limiting direction.
        const ld q = is_inf(ay) ? (is_inf(ax) ? 1 : 2) : 0;  // in units of pi/4
        v = xneg ? (4 - q) * kXrPiBy4[0] : q * kXrPiBy4[0];
    } else {
        // Both scaled by one power of 2 that brings the larger near 1, the
        // quotient is carried in pair arithmetic; when the smaller is then
        // below 2^-8000 the one rounded quotient is far below any ulp that
        // matters (or the angle underflows, x > 0).
        ld sy = ay, sx = ax;
        if (sy < 0x1p-16000L && sx < 0x1p-16000L) sy *= 0x1p128L, sx *= 0x1p128L;
        const ld f = pow2(16383 - biased_exp(sy > sx ? sy : sx));
        sy *= f, sx *= f;
        DD r;
        if (sy > 0x1p-8000L && sx > 0x1p-8000L)
            r = atan2_pos_dd({sy, 0}, {sx, 0});
        else
            r = sy > sx ? atan_core(sx / sy, 0, true) : atan_core(sy / sx, 0, false);
        v = xneg ? sum_with_pi(r) : r.hi + r.lo;
    }
    return __builtin_signbit(y) ? -v : v;
}

// |x| <= 1/2: the series; beyond, asin a = pi/2 - 2 asin(sqrt((1 - a)/2))
// and acos a = 2 asin(sqrt((1 - a)/2)), pi minus that for x < 0. Where pi/2
// or pi is involved its difference with the first term is exact.
ORVU_API long double orvu_kex_kernel_asinl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a > 1) return (x - x) / (x - x);
    if (a < 0x1p-33L) return x;  // asin x = x (1 + x^2/6)
    ld v;
    if (a <= 0.5) {
        v = a + asin_tail(a, a * a);
    } else {
        const DD r = asin_sqrt(0.5 * (1 - a));
        const DD h = two_sum(kXrPiBy2[0], -2 * r.hi);
        v = h.hi + (h.lo + (kXrPiBy2[1] - 2 * r.lo));
    }
    return x < 0 ? -v : v;
}

ORVU_API long double orvu_kex_kernel_acosl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a > 1) return (x - x) / (x - x);
    if (a <= 0.5) {  // pi/2 - asin x
        const DD h = two_sum(kXrPiBy2[0], -x);
        return h.hi + (h.lo + (kXrPiBy2[1] - asin_tail(x, x * x)));
    }
    const DD r = asin_sqrt(0.5 * (1 - a));
    if (x > 0) return 2 * r.hi + 2 * r.lo;
    const DD h = two_sum(kXrPi[0], -2 * r.hi);
    return h.hi + (h.lo + (kXrPi[1] - 2 * r.lo));
}

}  // extern "C"
