// Extended-precision exponential, logarithms, square root and absolute value.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

namespace orvu_xreal {

// x = (256 n + j) ln2/256 + r, |r| <= ln2/512 (2^-9.5); e^x = 2^n 2^(j/256) e^r.
// The Taylor polynomial of e^r - 1 through r^6 leaves r^7/7! < 2^-78.
DD exp_dd(ld x, int32_t* n) {
    // Round x 256/ln2 to an integer: adding 1.5 2^63 leaves k in the low
    // significand bits (|k| < 2^23 here).
    const ld shifted = x * 0x1.71547652b82fe178p+8L + 0x3p62L;
    const int32_t k = static_cast<int32_t>(static_cast<uint32_t>(bits_of(shifted).m));
    const ld kf = shifted - 0x3p62L;
    // k kXrLn2By256[0] is exact (23 + 40 bits) and so is its difference from
    // x; the second product leaves an error below 2^-80 in r.
    const ld r = (x - kf * kXrLn2By256[0]) - kf * kXrLn2By256[1];
    const ld p =
        r + r * r * (0.5L + r * (1.0L / 6 + r * (1.0L / 24 + r * (1.0L / 120 + r * (1.0L / 720 + r * (1.0L / 5040))))));
    const ld* t = kXrExp2[k & 255];
    *n = k >> 8;
    return fast_two_sum(t[0], t[1] + t[0] * p);
}

ld scale(ld y, int32_t n) {
    if (n > 16000) return y * pow2(n - 1000) * pow2(1000);
    // Bring the value to the bottom of the normal range first, so that only
    // the final multiplication rounds (into the denormals).
    if (n < -16000) return y * pow2(n + 1000) * pow2(-1000);
    return y * pow2(n);
}

// m in [0.75, 1.5), j = floor(256 m), c = kXrLog[j - 192][0] a 12-bit
// approximation of 1/m: r = m c - 1 is exact when m is cut into two 32-bit
// halves (each product with c fits 64 bits), |r| < 2^-8, and
// log x = e ln2 - log c + log(1 + r). The Taylor polynomial of log(1 + r)
// through r^8 leaves r^9/9 < 2^-67 |r|.
ld log_core(ld x, ld d) {
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
    const ld* t = kXrLog[j - 192];
    const ld m_hi = from_bits(mb & 0xFFFFFFFF00000000u, me);
    const ld m_lo = from_bits(mb, me) - m_hi;
    const ld r_hi = m_hi * t[0] - 1;
    const ld r_lo = m_lo * t[0];
    // r_hi and r_lo cancel for m just below 1 (c = 1 there): take their
    // sum exactly before anything else is added.
    const DD rr = two_sum(r_hi, r_lo);
    const ld r = rr.hi;
    const ld q =
        r * r *
        (-0.5L +
         r * (1.0L / 3 + r * (-0.25L + r * (0.2L + r * (-1.0L / 6 + r * (1.0L / 7 + r * -0.125L))))));
    const ld ef = static_cast<ld>(e);
    const DD a = two_sum(ef * kXrLn2[0], t[1]);  // e ln2_hi is exact (15 + 48 bits)
    const DD b = two_sum(a.hi, r);
    return b.hi + (((rr.lo + d) + q) + (a.lo + b.lo + (ef * kXrLn2[1] + t[2])));
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
    if (is_nan(x)) return x + x;
    if (x <= 0) return x == 0 ? -1 / (x * x) : (x - x) / (x - x);
    if (is_inf(x)) return x;
    return log_core(x, 0);
}

ORVU_API long double orvu_kex_kernel_log1pl_scalar(long double x) {
    if (is_nan(x)) return x + x;
    if (x <= -1) return x == -1 ? -1 / (x - x) : (x - x) / (x - x);
    if (is_inf(x)) return x;
    // log(1 + x) = x - x^2/2 + ...: x alone is within 2^-66 relative.
    if (__builtin_fabsl(x) < 0x1p-65L) return x;
    // 1 + x = u + c exactly; log(u + c) = log(u (1 + c/u)), |c/u| <= 2^-64.
    const DD u = two_sum(1, x);
    return log_core(u.hi, u.lo / u.hi);
}

}  // extern "C"
