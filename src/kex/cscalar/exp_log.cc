// Complex exponential, logarithms, square root and power.
#include <bit>

#include "kex/cscalar/common.h"
#include "kex/cscalar/pow.h"

namespace kex::cscalar {
namespace {

// e^(x+iy) for extended components (cpow feeds its product in unrounded).
CLD cexp_ld(LD x, LD y) {
    if (is_nan(x)) return {x, y == 0 ? y : nan_of(x)};
    if (!is_finite(y)) {
        if (is_inf(x)) return x > 0 ? CLD{x, nan_of(y)} : CLD{0.0L, copy_sign(0.0L, y)};
        return {nan_of(y), nan_of(y)};
    }
    if (y == 0) return {orvu_kex_kernel_expl_scalar(x), y};
    if (is_inf(x)) {
        // +inf or +0 along the direction of y.
        LD s, c;
        orvu_kex_kernel_sincosl_scalar(y, &s, &c);
        const LD m = x > 0 ? kInfL : 0.0L;
        return {copy_sign(m, c), copy_sign(m, s)};
    }
    // The extended range holds e^x for every double x that can give a finite
    // double result, and |cos y|, |sin y| >= 2^-70 or so for a nonzero y.
    const LD e = orvu_kex_kernel_expl_scalar(x);
    LD s, c;
    orvu_kex_kernel_sincosl_scalar(y, &s, &c);
    return {e * c, e * s};
}

// x^2 + y^2 - 1 for doubles with x^2 + y^2 near 1. Each double is split into
// a 32-bit head and a 21-bit tail (masking the low significand bits), so every
// partial square and cross product is exact in 64 bits; the seven terms are
// summed with a compensated sum, which keeps the relative error near 2^-64
// even when x^2 + y^2 is within a few ulps of 1.
LD norm_minus_one(double x, double y) {
    auto head = [](double v) { return std::bit_cast<double>(std::bit_cast<uint64_t>(v) & ~uint64_t{0x1FFFFF}); };
    const LD xh = head(x), xl = static_cast<LD>(x) - xh;
    const LD yh = head(y), yl = static_cast<LD>(y) - yh;
    const LD terms[] = {xh * xh, yh * yh, 2 * xh * xl, 2 * yh * yl, xl * xl, yl * yl};
    LD s = -1.0L, err = 0.0L;
    for (LD t : terms) {
        const orvu_xreal::DD d = orvu_xreal::two_sum(s, t);
        s = d.hi, err += d.lo;
    }
    return s + err;
}

// log|z| for finite z != 0. The squares fit the extended range, so no
// scaling; near |z| = 1 the logarithm is taken of 1 + (|z|^2 - 1) with the
// difference computed exactly, as the result there is tiny.
LD log_abs(double x, double y) {
    const LD n = static_cast<LD>(x) * x + static_cast<LD>(y) * y;
    if (n > 0.5L && n < 2.0L) return 0.5L * orvu_kex_kernel_log1pl_scalar(norm_minus_one(x, y));
    return 0.5L * orvu_kex_kernel_logl_scalar(n);
}

CLD clog_ld(double x, double y) {
    if (is_nan(x) || is_nan(y)) {
        if (is_inf(x) || is_inf(y)) return {kInfL, kNaNL};
        return {kNaNL, kNaNL};
    }
    if (is_inf(x) || is_inf(y)) {
        LD arg;
        if (is_inf(x) && is_inf(y)) arg = x > 0 ? kPi4L : k3Pi4L;
        else if (is_inf(y)) arg = kPi2L;
        else arg = x > 0 ? 0.0L : kPiL;
        return {kInfL, copy_sign(arg, y)};
    }
    if (x == 0 && y == 0) {
        // log 0: the pole (divide-by-zero raised), the argument from the signs.
        const LD re = -1.0L / fabs_ld(x);
        return {re, __builtin_signbit(x) ? copy_sign(kPiL, y) : static_cast<LD>(y)};
    }
    return {log_abs(x, y), orvu_kex_kernel_atan2l_scalar(y, x)};
}

}  // namespace
}  // namespace kex::cscalar

using namespace kex::cscalar;

extern "C" {

OrvuComplex16 orvu_kex_kernel_cexp_scalar(OrvuComplex16 z) { return apply(cexp_ld, z); }

OrvuComplex16 orvu_kex_kernel_clog_scalar(OrvuComplex16 z) {
    const CLD r = clog_ld(z.re, z.im);
    return narrow(r.re, r.im);
}

OrvuComplex16 orvu_kex_kernel_clog10_scalar(OrvuComplex16 z) {
    const CLD r = clog_ld(z.re, z.im);
    return narrow(r.re * kLog10eL, r.im * kLog10eL);
}

// sqrt z = t + i y/(2t) with t = sqrt((|x| + |z|)/2) for x >= 0, and the
// components exchanged for x < 0, so nothing cancels. |z| needs no scaling in
// the extended range.
OrvuComplex16 orvu_kex_kernel_csqrt_scalar(OrvuComplex16 z) {
    const LD x = z.re, y = z.im;
    if (is_inf(y)) return narrow(kInfL, y);
    if (is_nan(x)) return narrow(x, nan_of(x));
    if (is_inf(x)) {
        if (is_nan(y)) return x > 0 ? narrow(x, y) : narrow(y, copy_sign(kInfL, y));
        return x > 0 ? narrow(x, copy_sign(0.0L, y)) : narrow(0.0L, copy_sign(kInfL, y));
    }
    if (is_nan(y)) return narrow(y, y);
    if (x == 0 && y == 0) return narrow(0.0L, y);
    const LD ax = fabs_ld(x), ay = fabs_ld(y);
    const LD m = hw_sqrt(ax * ax + ay * ay);
    const LD t = hw_sqrt(0.5L * (ax + m));
    if (x >= 0) return narrow(t, y / (2 * t));
    return narrow(ay / (2 * t), copy_sign(t, y));
}

// z^w = e^(w log z). A zero exponent gives 1 for every base, NaN and zero
// included; finite bases other than 0 with finite exponents go to
// pow_finite (pow.cc), which keeps w log z exact enough for large exponents,
// the special values through the steps below.
OrvuComplex16 orvu_kex_kernel_cpow_scalar(OrvuComplex16 z, OrvuComplex16 w) {
    if (w.re == 0 && w.im == 0) return {1.0, 0.0};
    const CLD l = clog_ld(z.re, z.im);
    if (is_finite(l.re) && is_finite(w.re) && is_finite(w.im)) {
        const CLD r = pow_finite(z.re, z.im, w.re, w.im, l.re, l.im);
        return narrow(r.re, r.im);
    }
    // The compiler's complex product recovers infinities as C99 asks.
    __complex__ long double lc, wc;
    __real__ lc = l.re, __imag__ lc = l.im;
    __real__ wc = w.re, __imag__ wc = w.im;
    const __complex__ long double p = lc * wc;
    const CLD r = cexp_ld(__real__ p, __imag__ p);
    return narrow(r.re, r.im);
}

}  // extern "C"
