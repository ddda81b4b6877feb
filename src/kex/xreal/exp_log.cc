// Extended-precision exponential, logarithms, square root and absolute value.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

namespace orvu_xreal {

ld scale_wide(ld y, int32_t n) {
    if (n > 16000) return y * pow2(n - 1000) * pow2(1000);
    // Bring the value to the bottom of the normal range first, so that only
    // the final multiplication rounds (into the denormals).
    if (n < -16000) return y * pow2(n + 1000) * pow2(-1000);
    return y * pow2(n);
}

// The same steps as log_core with x taken apart by its own bits (any
// exponent, denormals normalized first).
ld log_core_wide(ld x, ld d) {
    int32_t e = biased_exp(x);
    if (e == 0) {  // denormal: normalize
        x *= 0x1p64L;
        e = biased_exp(x) - 64;
    }
    const uint64_t mb = bits_of(x).m;
    e -= 16383;
    int32_t j;
    uint16_t me = 16383;  // exponent field of m
    if (mb >> 62 & 1) {   // significand >= 1.5: halve it
        ++e;
        --me;
        j = 128 + static_cast<int32_t>(mb >> 56 & 0x7F);
    } else {
        j = 256 + static_cast<int32_t>(mb >> 55 & 0xFF);
    }
    const double* t = kXrLog[j - 192];
    const ld m_hi = from_bits(mb & 0xFFFFFFFF00000000u, me);
    const ld m_lo = from_bits(mb, me) - m_hi;
    const ld c = t[0];
    const ld r_hi = m_hi * c - 1;
    const ld r_lo = m_lo * c;
    // r_hi and r_lo cancel for m just below 1 (c = 1 there): take their
    // sum exactly before anything else is added.
    const DD rr = two_sum(r_hi, r_lo);
    const ld r = rr.hi, r2 = r * r;
    const ld q = r2 * ((-0.5 + r * kThird0) +
                       r2 * ((-0.25 + r * 0.2) + r2 * ((-1.0 / 6 + r * (1.0 / 7)) + r2 * -0.125)));
    const ld ef = static_cast<ld>(e);
    const DD a = two_sum(ef * kLn2Hi, static_cast<ld>(t[1]) + t[2]);  // e ln2_hi is exact (15 + 48 bits)
    const DD b = two_sum(a.hi, r);
    return b.hi + (((rr.lo + d) + (q + r2 * r * kThird1)) + (a.lo + b.lo + (ef * kLn2Lo + t[3])));
}

}  // namespace orvu_xreal

using namespace orvu_xreal;

extern "C" {

ORVU_API long double orvu_kex_kernel_fabsl_scalar(long double x) { return __builtin_fabsl(x); }

ORVU_API long double orvu_kex_kernel_sqrtl_scalar(long double x) { return hw_sqrt(x); }

ORVU_API long double orvu_kex_kernel_expl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    // e^x overflows above 16384 ln2 = 11356.52 and is below half the least
    // denormal under -(16382 + 64) ln2 = -11399.5; the products raise the flags.
    if (x > 11357) return 0x1p16383L * 2;
    if (x < -11400) return 0x1p-16382L * 0x1p-16382L;
    int32_t n;
    const DD y = exp_dd(x, &n);
    return scale(y.hi + y.lo, n);
}

ORVU_API long double orvu_kex_kernel_logl_scalar(long double x) {
    if (!(x > 0 && x < __builtin_inff())) {  // one test on the common path
        if (is_nan(x)) return x + x;
        if (x <= 0) return x == 0 ? -1 / (x * x) : (x - x) / (x - x);
        return x;  // +inf
    }
    return log_core(x, 0);
}

ORVU_API long double orvu_kex_kernel_log1pl_scalar(long double x) {
    if (!(x > -1 && x < __builtin_inff())) {  // one test on the common path
        if (is_nan(x)) return x + x;
        if (x <= -1) return x == -1 ? -1 / (x - x) : (x - x) / (x - x);
        return x;  // +inf
    }
    // log(1 + x) = x - x^2/2 + ...: x alone is within 2^-66 relative.
    if (__builtin_fabsl(x) < 0x1p-65L) return x;
    // 1 + x = u + c exactly, |c| <= 2^-64 u.
    const DD u = two_sum(1, x);
    return log_sum(u.hi, u.lo);
}

}  // extern "C"
