// Extended-precision hyperbolic functions and their inverses.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

namespace orvu_xreal {
namespace {

// sinh and cosh of 0 <= a < 1 by their Taylor series; the first terms left
// out, a^23/23! and a^22/22!, are below 2^-74 and 2^-70.
void sinhcosh_small(ld a, DD* sh, DD* ch) {
    const ld z = a * a;
    const ld ps =
        1.0L / 6 +
        z * (1.0L / 120 +
             z * (1.0L / 5040 +
                  z * (1.0L / 362880 +
                       z * (1.0L / 39916800 +
                            z * (1.0L / 6227020800 +
                                 z * (1.0L / 1307674368000 +
                                      z * (1.0L / 355687428096000 +
                                           z * (1.0L / 121645100408832000 + z * (1.0L / 51090942171709440000.0L)))))))));
    const ld pc =
        1.0L / 24 +
        z * (1.0L / 720 +
             z * (1.0L / 40320 +
                  z * (1.0L / 3628800 +
                       z * (1.0L / 479001600 +
                            z * (1.0L / 87178291200 +
                                 z * (1.0L / 20922789888000 + z * (1.0L / 6402373705728000 + z * (1.0L / 2432902008176640000.0L))))))));
    const DD w = fast_two_sum(1, 0.5L * z);
    *sh = fast_two_sum(a, a * z * ps);
    *ch = fast_two_sum(w.hi, w.lo + z * z * pc);
}

// sinh and cosh of a >= 0 (a may be +inf).
void sinhcosh_pos(ld a, ld* sh, ld* ch) {
    if (a < 0x1p-33L) {  // sinh a = a (1 + a^2/6), cosh a = 1 + a^2/2
        *sh = a, *ch = 1;
    } else if (a < 1) {
        DD s, c;
        sinhcosh_small(a, &s, &c);
        *sh = s.hi, *ch = c.hi;
    } else if (a < 24) {
        // (e^a +- e^-a)/2 with e^a as hi + lo: the rounding of 1/e^a weighs
        // at most 0.37/2.35 of an ulp of the result.
        int32_t n;
        const DD y = exp_dd(a, &n);
        const ld eh = y.hi * pow2(n - 1), el = y.lo * pow2(n - 1), ei = 0.25L / eh;
        *sh = eh + (el - ei);
        *ch = eh + (el + ei);
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

// log(1 + v + v_lo), v >= 0, |v_lo| <= 2^-63 |v|.
ld log1p_dd(ld v, ld v_lo) {
    const DD u = two_sum(1, v);
    return log_core(u.hi, (u.lo + v_lo) / u.hi);
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
    sinhcosh_pos(__builtin_fabsl(x), sh, ch);
    if (__builtin_signbit(x)) *sh = -*sh;
}

ORVU_API long double orvu_kex_kernel_sinhl_scalar(long double x) {
    long double s, c;
    orvu_kex_kernel_sinhcoshl_scalar(x, &s, &c);
    return s;
}

ORVU_API long double orvu_kex_kernel_coshl_scalar(long double x) {
    long double s, c;
    orvu_kex_kernel_sinhcoshl_scalar(x, &s, &c);
    return c;
}

ORVU_API long double orvu_kex_kernel_tanhl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    const ld a = __builtin_fabsl(x);
    ld t;
    if (a < 0x1p-33L) {
        return x;  // tanh x = x (1 - x^2/3)
    } else if (a < 0.5L) {
        DD sh, ch;
        sinhcosh_small(a, &sh, &ch);
        t = dd_div(sh, ch);
    } else if (a < 23) {
        // 1 - 2/(e^2a + 1) with the quotient q <= 0.54 carried as a pair:
        // 1 - q.hi is exact while q.hi >= 1/2, and rounds once below that.
        int32_t n;
        const DD y = exp_dd(2 * a, &n);
        const ld eh = y.hi * pow2(n), el = y.lo * pow2(n);
        const DD d = fast_two_sum(eh, 1);
        const DD den = fast_two_sum(d.hi, d.lo + el);
        const ld qh = 2 / den.hi;
        const DD p = two_prod(qh, den.hi);
        const ld ql = (((2 - p.hi) - p.lo) - qh * den.lo) / den.hi;
        t = (1 - qh) - ql;
    } else {
        t = 1 - 0x1p-100L;  // 1 - 2 e^-2a with 2 e^-2a < 2^-65: rounds to 1
    }
    return x < 0 ? -t : t;
}

ORVU_API long double orvu_kex_kernel_asinhl_scalar(long double x) {
    if (is_nan(x) || is_inf(x)) return x + x;
    const ld a = __builtin_fabsl(x);
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
        r = log_core(2 * a + 1 / (a + hw_sqrt(a * a + 1)), 0);
    } else {
        r = log2x(a);  // sqrt(a^2 + 1) = a (1 + 2^-68)
    }
    return x < 0 ? -r : r;
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
    return x < 0 ? -r : r;
}

}  // extern "C"
