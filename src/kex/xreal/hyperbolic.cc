// Extended-precision hyperbolic functions and their inverses.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

namespace orvu_xreal {
namespace {

// sinh and cosh of 0 <= a < 1 by their Taylor series; the first terms left
// out, a^23/23! and a^22/22!, are below 2^-74 and 2^-70. The coefficients
// whose terms can reach 2^-15 of the result are long doubles, the later ones
// doubles (error below 2^-53 2^-15 = 2^-68 relative); Estrin's form below.
[[gnu::always_inline]] inline DD sinh_small(ld a, ld z) {
    const ld z2 = z * z, z4 = z2 * z2;
    const ld rest = (1.0 / 362880 + z * (1.0 / 39916800)) + z2 * (1.0 / 6227020800 + z * (1.0 / 1307674368000)) +
                    z4 * ((1.0 / 355687428096000 + z * (1.0 / 121645100408832000)) + z2 * (1.0 / 51090942171709440000.0));
    const ld ps = 1.0L / 6 + z * (1.0L / 120 + z * (1.0L / 5040 + z * rest));
    return fast_two_sum(a, a * z * ps);
}
[[gnu::always_inline]] inline DD cosh_small(ld z) {
    const ld z2 = z * z, z4 = z2 * z2;
    const ld rest = (1.0 / 40320 + z * (1.0 / 3628800)) + z2 * (1.0 / 479001600 + z * (1.0 / 87178291200)) +
                    z4 * ((1.0 / 20922789888000 + z * (1.0 / 6402373705728000)) + z2 * (1.0 / 2432902008176640000.0));
    const ld pc = 1.0L / 24 + z * (1.0L / 720 + z * rest);
    const DD w = fast_two_sum(1, 0.5 * z);
    return fast_two_sum(w.hi, w.lo + z2 * pc);
}

// sinh (kWhich 1), cosh (2) or both (3) of a >= 0 (a may be +inf).
template <int kWhich> [[gnu::always_inline]] inline void sinhcosh_pos(ld a, ld* sh, ld* ch) {
    if (a < 0x1p-33) {  // sinh a = a (1 + a^2/6), cosh a = 1 + a^2/2
        *sh = a, *ch = 1;
    } else if (a < 1) {
        const ld z = a * a;
        if (kWhich & 1) *sh = sinh_small(a, z).hi;
        if (kWhich & 2) *ch = cosh_small(z).hi;
    } else if (a < 24) {
        // (e^a +- e^-a)/2 with e^a as hi + lo: the rounding of 1/e^a weighs
        // at most 0.37/2.35 of an ulp of the result.
        int32_t n;
        const DD y = exp_dd(a, &n);
        const ld f = pow2d(n - 1), eh = y.hi * f, el = y.lo * f, ei = 0.25 / eh;
        if (kWhich & 1) *sh = eh + (el - ei);
        if (kWhich & 2) *ch = eh + (el + ei);
    } else if (a < 11400) {
        // e^-a/2 < 2^-69 e^a/2: both are e^a/2, scaled past the overflow
        // threshold of e^a itself.
        int32_t n;
        const DD y = exp_dd(a, &n);
        *sh = *ch = scale(y.hi + y.lo, n - 1);
    } else {
        *sh = *ch = a * 0x1p16383L;  // +inf, overflow raised for finite a
    }
}

// log(1 + v + v_lo), v >= 0, |v_lo| <= 2^-63 |v|. Inline: arguments and
// result of a call would go through 80-bit memory.
[[gnu::always_inline]] inline ld log1p_dd(ld v, ld v_lo) {
    const DD u = two_sum(1, v);
    return log_sum(u.hi, u.lo + v_lo);
}

// log(2a) for a > 2^33 up to the largest long double.
ld log2x(ld a) { return a < 0x1p16000L ? log_core(2 * a, 0) : log_core(a, 0) + (kXrLn2[0] + kXrLn2[1]); }

}  // namespace
}  // namespace orvu_xreal

using namespace orvu_xreal;

extern "C" {

ORVU_API void orvu_kex_kernel_sinhcoshl_scalar(long double x, long double* sh, long double* ch) {
    if (is_nan(x)) {
        *sh = *ch = x + x;
        return;
    }
    sinhcosh_pos<3>(__builtin_fabsl(x), sh, ch);
    if (!(x > 0)) *sh = x < 0 ? -*sh : x;  // sinh(-0) = -0
}

ORVU_API long double orvu_kex_kernel_sinhl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    ld s, c;
    sinhcosh_pos<1>(__builtin_fabsl(x), &s, &c);
    return x < 0 ? -s : x == 0 ? x : s;  // sinh(-0) = -0
}

ORVU_API long double orvu_kex_kernel_coshl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    ld s, c;
    sinhcosh_pos<2>(__builtin_fabsl(x), &s, &c);
    return c;
}

ORVU_API long double orvu_kex_kernel_tanhl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    ld t;
    if (a < 0x1p-33L) {
        return x;  // tanh x = x (1 - x^2/3)
    } else if (a < 0.5) {
        const ld z = a * a;
        t = dd_div(sinh_small(a, z), cosh_small(z));
    } else if (a < 23) {
        // 1 - 2/(e^2a + 1). Above 1.2 the quotient q is below 0.17 and its
        // few roundings weigh below 0.1 ulp of the result; below, q <= 0.54
        // is carried as a pair: 1 - q.hi is exact while q.hi >= 1/2, and
        // rounds once below that.
        int32_t n;
        const DD y = exp_dd(2 * a, &n);
        const ld f = pow2d(n), eh = y.hi * f, el = y.lo * f;
        if (a > 1.2) return copysign_ld(1 - 2 / ((eh + 1) + el), x);
        const DD d = fast_two_sum(eh, 1);
        const DD den = fast_two_sum(d.hi, d.lo + el);
        // One reciprocal: 2/den.hi is 2 times it, and the remainder of
        // that quotient (exact by the two-product) is scaled by it too.
        const ld rcp = 1 / den.hi, qh = 2 * rcp;
        const DD p = two_prod(qh, den.hi);
        const ld ql = (((2 - p.hi) - p.lo) - qh * den.lo) * rcp;
        t = (1 - qh) - ql;
    } else {
        t = 1 - 0x1p-100L;  // 1 - 2 e^-2a with 2 e^-2a < 2^-65: rounds to 1
    }
    return x < 0 ? -t : t;
}

ORVU_API long double orvu_kex_kernel_asinhl_scalar(long double x) {
    if (is_nan(x) || is_inf(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    const bool neg = bits_of(x).se >> 15;  // as an integer: x needs no register
    ld r;
    if (a < 0x1p-33L) {
        return x;  // asinh x = x (1 - x^2/6)
    } else if (a < 2) {
        // log1p(a + a^2/(1 + sqrt(1 + a^2))): the added quotient is smaller
        // than a, so its roundings weigh less than one ulp of a.
        const ld z = a * a;
        const DD v = two_sum(a, z / (1 + hw_sqrt(1 + z)));
        r = log1p_dd(v.hi, v.lo);
    } else if (a < 0x1p33L) {
        // log(a + s), s = sqrt(a^2 + 1) as s + s_lo: a^2 + 1 = w + w_lo
        // exactly (a^2 >= 4 > 1, so the fast two-sum), the root's remainder
        // exact by the two-product, and s_lo = rem/(2s) with a reciprocal in
        // double (it needs only a few bits: s_lo is below an ulp of s); a + s
        // is summed exactly. No x87 division on the way.
        // Low parts pinned as they are formed (few values live).
        const DD p = two_prod(a, a);
        const DD w = fast_two_sum(p.hi, 1);
        const ld w_lo = pin(w.lo + p.lo);
        const ld sq = hw_sqrt(w.hi);
        const double half_rs = 0.5 / static_cast<double>(sq);
        const DD ss = two_prod(sq, sq);
        const ld rem = pin(((w.hi - ss.hi) - ss.lo) + w_lo);
        const DD x2 = fast_two_sum(sq, a);
        r = log_sum(x2.hi, pin(x2.lo + rem * half_rs));
    } else {
        r = log2x(a);  // sqrt(a^2 + 1) = a (1 + 2^-68)
    }
    return neg ? -r : r;
}

ORVU_API long double orvu_kex_kernel_acoshl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    if (x < 1) return (x - x) / (x - x);
    if (is_inf(x)) return x;
    if (x < 2) {
        // t = x - 1 is exact; log1p(t + sqrt(t (2 + t))) with the square
        // root carried to about 2^-120 so that small t keeps full accuracy.
        const ld t = x - 1;
        const DD two = two_sum(2, t);
        const DD p = two_prod(t, two.hi);
        const ld wl = p.lo + t * two.lo;
        const ld s = hw_sqrt(p.hi);
        const DD ss = two_prod(s, s);
        const ld sl = s == 0 ? 0 : (((p.hi - ss.hi) - ss.lo) + wl) / (2 * s);
        const DD v = two_sum(t, s);
        return log1p_dd(v.hi, v.lo + sl);
    }
    if (x < 0x1p33L) return log_core(2 * x - 1 / (x + hw_sqrt(x * x - 1)), 0);
    return log2x(x);  // sqrt(x^2 - 1) = x (1 - 2^-68)
}

ORVU_API long double orvu_kex_kernel_atanhl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    if (a >= 1) return a == 1 ? x / (x - x) : (x - x) / (x - x);
    if (a < 0x1p-33L) return x;  // atanh x = x (1 + x^2/3)
    const bool neg = bits_of(x).se >> 15;
    ld r;
    if (a < 0.5L) {
        // 1/2 log1p(2a + 2a^2/(1 - a)): the exact 2a carries the result.
        const DD v = two_sum(2 * a, 2 * a * a / (1 - a));
        r = 0.5L * log1p_dd(v.hi, v.lo);
    } else {
        // 1 - a is exact; the quotient is at least 2 and its rounding
        // weighs below half an ulp of a logarithm above 1.
        r = 0.5L * log1p_dd(2 * a / (1 - a), 0);
    }
    return neg ? -r : r;
}

}  // extern "C"
