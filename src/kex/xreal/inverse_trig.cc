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
DD atan_core(ld t, ld t_lo, bool inv) {
    const ld shifted = t * 16 + 0x3p62L;  // low significand bits: round(16 t)
    const int32_t i = static_cast<int32_t>(bits_of(shifted).m & 31);
    const ld c = (shifted - 0x3p62L) * 0.0625L;
    const ld u = (t - c) / (1 + t * c);
    const ld z = u * u;
    const ld tail =
        u * z *
        (-1.0L / 3 + z * (0.2L + z * (-1.0L / 7 + z * (1.0L / 9 + z * (-1.0L / 11 + z * (1.0L / 13))))));
    // The low part of the argument times the slope at c (within 1/32 of the
    // slope at t, and t_lo <= 2^-63 t).
    const ld corr = tail + t_lo * kXrAtanSlope[i];
    const ld* a = kXrAtan[i] + (inv ? 2 : 0);
    const ld sg = inv ? -1 : 1;
    const DD h = two_sum(a[0], sg * u);
    return fast_two_sum(h.hi, h.lo + (a[1] + sg * corr));
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

// sqrt(1 - a^2) for 0 <= a <= 1 as hi + lo: (1 - a)(1 + a) is formed
// exactly and its square root corrected by one Newton step in pair arithmetic.
DD sqrt_one_minus_sq(ld a) {
    const DD m = two_sum(1, -a), p = two_sum(1, a);
    const DD w = dd_mul(m, p);
    if (w.hi == 0) return {0, 0};
    const ld s = hw_sqrt(w.hi);
    const DD ss = two_prod(s, s);
    return fast_two_sum(s, (((w.hi - ss.hi) - ss.lo) + w.lo) / (2 * s));
}

ld sum_with_pi(DD r) {  // pi - r
    const DD h = two_sum(kXrPi[0], -r.hi);
    return h.hi + (h.lo + (kXrPi[1] - r.lo));
}

}  // namespace
}  // namespace orvu_xreal

using namespace orvu_xreal;

extern "C" {

ORVU_API long double orvu_kex_kernel_atanl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a < 0x1p-33L) return x;  // atan x = x (1 - x^2/3)
    // For a > 1, 1/a carries 2^-65 relative, below a quarter ulp of the
    // result (>= pi/4) after the factor 1/(1 + t^2).
    const DD r = a > 1 ? atan_core(1 / a, 0, true) : atan_core(a, 0, false);
    const ld v = r.hi + r.lo;
    return x < 0 ? -v : v;
}

ORVU_API long double orvu_kex_kernel_atan2l_scalar(long double y, long double x) {
    if (is_nan(x) || is_nan(y)) return x + y;
    const ld ay = __builtin_fabsl(y), ax = __builtin_fabsl(x);
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

ORVU_API long double orvu_kex_kernel_asinl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a > 1) return (x - x) / (x - x);
    if (a < 0x1p-33L) return x;  // asin x = x (1 + x^2/6)
    // asin a = atan2(a, sqrt(1 - a^2)).
    const DD r = atan2_pos_dd({a, 0}, sqrt_one_minus_sq(a));
    const ld v = r.hi + r.lo;
    return x < 0 ? -v : v;
}

ORVU_API long double orvu_kex_kernel_acosl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a > 1) return (x - x) / (x - x);
    // acos x = atan2(sqrt(1 - x^2), x); pi minus the angle for x < 0.
    const DD r = atan2_pos_dd(sqrt_one_minus_sq(a), {a, 0});
    return x < 0 ? sum_with_pi(r) : r.hi + r.lo;
}

}  // extern "C"
