// Shared pieces of the extended-precision scalar routines: bit access to the
// x87 80-bit format, error-free sums and products, the constant tables and
// the internal kernels one routine lends another (hidden, not exported).
//
// Everything assumes x87 precision control at 64 bits (0x300): the two-sum
// and split identities below are exact only when each operation rounds once
// to the 64-bit significand.
#pragma once

#include <cstdint>
#include <cstring>

namespace orvu_xreal {

#include "kex/xreal/xreal_table.inc"

using ld = long double;

// The 80-bit value as significand (explicit leading bit) and sign/exponent.
struct Bits {
    uint64_t m;
    uint16_t se;
};
inline Bits bits_of(ld x) {
    Bits b;
    std::memcpy(&b.m, &x, 8);
    std::memcpy(&b.se, reinterpret_cast<const char*>(&x) + 8, 2);
    return b;
}
inline ld from_bits(uint64_t m, uint16_t se) {
    ld x = 0;
    std::memcpy(&x, &m, 8);
    std::memcpy(reinterpret_cast<char*>(&x) + 8, &se, 2);
    return x;
}
// 2^e for e in the normal range [-16382, 16383].
inline ld pow2(int32_t e) { return from_bits(uint64_t{1} << 63, static_cast<uint16_t>(e + 16383)); }
// Biased exponent of |x| (0 for zeros and denormals, 0x7FFF for inf/NaN).
inline int32_t biased_exp(ld x) { return bits_of(x).se & 0x7FFF; }

inline bool is_nan(ld x) { return x != x; }
inline bool is_inf(ld x) { return __builtin_fabsl(x) == __builtin_inff(); }
// |v| with the sign of s, for s nonzero.
inline ld copysign_ld(ld v, ld s) { return s < 0 ? -v : v; }
// Without an 80-bit constant (x - x is NaN for infinities and NaN).
inline bool is_finite(ld x) { return x - x == 0; }

// 1/3 and 1/6 as pairs of doubles (to 2^-106 relative): leading series
// coefficients that need more than 53 bits, without 80-bit memory loads.
constexpr ld kThird0 = 0x1.5555555555555p-2, kThird1 = 0x1.5555555555555p-56;
constexpr ld kSixth0 = 0x1.5555555555555p-3, kSixth1 = 0x1.5555555555555p-57;

// Unevaluated sum hi + lo with |lo| <= ulp(hi)/2 (about 128 bits).
struct DD {
    ld hi, lo;
};

// Knuth's two-sum: s + e == a + b exactly.
[[gnu::always_inline]] inline DD two_sum(ld a, ld b) {
    const ld s = a + b;
    const ld bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}
// Dekker's fast two-sum, for |a| >= |b| (or a == 0).
[[gnu::always_inline]] inline DD fast_two_sum(ld a, ld b) {
    const ld s = a + b;
    return {s, b - (s - a)};
}
// Veltkamp split into two 32-bit halves (2^32 + 1 for the 64-bit significand).
[[gnu::always_inline]] inline DD split(ld a) {
    const ld t = a * 4294967297.0L;
    const ld h = t - (t - a);
    return {h, a - h};
}
// Dekker's exact product: p + e == a * b (no overflow, no underflow).
[[gnu::always_inline]] inline DD two_prod(ld a, ld b) {
    const ld p = a * b;
    const DD x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}
// (a.hi + a.lo) * (b.hi + b.lo) to about 2^-125 relative.
[[gnu::always_inline]] inline DD dd_mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// (n.hi + n.lo) / (d.hi + d.lo) with one division: the quotient by the
// reciprocal, whose remainder (exact by the two-product) scaled by the same
// reciprocal corrects it to a few 2^-66 relative.
[[gnu::always_inline]] inline ld dd_div(DD n, DD d) {
    const ld rcp = 1 / d.hi, t = n.hi * rcp;
    const DD p = two_prod(t, d.hi);
    return t + (((n.hi - p.hi) - p.lo) + (n.lo - t * d.lo)) * rcp;
}

inline ld hw_sqrt(ld x) {
    // fsqrt rounds correctly; no call into the C library for negative x.
    __asm__("fsqrt" : "+t"(x));
    return x;
}

// An integer-valued x (|x| < 2^31) as int32_t: one integer store, which a
// following load can take directly (a load from an 80-bit store waits).
inline int32_t to_int(ld x) {
    int32_t r;
    __asm__("fistpl %0" : "=m"(r) : "t"(x) : "st");
    return r;
}
// Makes v a value computed at this point: the compiler otherwise sinks each
// single-use low part to its one use at the end of a kernel, where the many
// values then live at once no longer fit the eight x87 registers and are
// spilled as 80-bit stores and reloads.
[[gnu::always_inline]] inline ld pin(ld v) {
    __asm__("" : "+t"(v));
    return v;
}
// 2^e for e in [-1022, 1023] through a double: no 80-bit memory load.
inline ld pow2d(int32_t e) {
    const uint64_t b = static_cast<uint64_t>(e + 1023) << 52;
    double d;
    std::memcpy(&d, &b, 8);
    return d;
}

// ln2/256 and ln2 cut after 40 and 48 bits, and their rests to 53 bits (as
// long double values that are doubles, they load as such).
constexpr ld kLn2By256Hi = static_cast<double>(kXrLn2By256[0]);
constexpr ld kLn2By256Lo = static_cast<double>(kXrLn2By256[1]);
constexpr ld kLn2Hi = static_cast<double>(kXrLn2[0]);
constexpr ld kLn2Lo = static_cast<double>(kXrLn2[1]);

// Internal kernels shared between the routine files; the two hot ones are
// inline, so that their arguments and results stay in registers.

// e^x = 2^n * (hi + lo) for |x| <= 11400, hi + lo in [0.99, 2.01]; the
// pair is within 2^-76 relative of the exact value.
//
// x = (256 n + j) ln2/256 + r, |r| <= ln2/512 (2^-9.5); e^x = 2^n 2^(j/256) e^r.
// The Taylor polynomial of e^r - 1 through r^6 leaves r^7/7! < 2^-78; its
// coefficients as doubles err by less than 2^-53 r^3/6 < 2^-84.
[[gnu::always_inline]] inline DD exp_dd(ld x, int32_t* n) {
    // round(x 256/ln2): adding 1.5 2^63 rounds to an integer (|k| < 2^23).
    const ld kf = (x * 0x1.71547652b82fep+8 + 0x3p62L) - 0x3p62L;
    const int32_t k = to_int(kf);
    // k ln2/256 in two parts: the first (40 bits) times k is exact, and so
    // is its difference from x; the second, to 53 bits, leaves 2^-78 in r.
    const ld r = (x - kf * kLn2By256Hi) - kf * kLn2By256Lo;
    const ld r2 = r * r;
    const ld p = r + r2 * ((0.5 + r * (1.0 / 6)) + r2 * ((1.0 / 24 + r * (1.0 / 120)) + r2 * (1.0 / 720 + r * (1.0 / 5040))));
    const double* t = kXrExp2[k & 255];
    const ld hi = static_cast<ld>(t[0]) + t[1];
    *n = k >> 8;
    return fast_two_sum(hi, t[2] + hi * p);
}

// y * 2^n with one rounding also when the result is denormal or overflows.
ld scale_wide(ld y, int32_t n);
[[gnu::always_inline]] inline ld scale(ld y, int32_t n) {
    return n > -1000 && n < 1000 ? y * pow2d(n) : scale_wide(y, n);
}

// log_core for any finite x > 0 (also outside the range of doubles).
ld log_core_wide(ld x, ld d);

// log(x * (1 + d)) for finite x > 0 and |d| < 2^-60, within about 1 ulp.
//
// x = 2^e m, m in [0.75, 1.5), j = floor(256 m), c = kXrLog[j - 192][0] a
// 12-bit approximation of 1/m: r = m c - 1 is exact when m is cut into two
// 32-bit halves (each product with c fits 64 bits), |r| < 2^-8, and
// log x = e ln2 - log c + log(1 + r). The Taylor polynomial of log(1 + r)
// through r^8 leaves r^9/9 < 2^-67 |r|; its coefficients after 1/3 as
// doubles err by less than 2^-53 r^4/4 < 2^-85 |r|.
//
// e and j come from the bits of the double nearest x (its rounding moves m
// by 2^-53 at most, which the bound on r absorbs), m = x 2^-e exactly.
//
// With kSum the second argument is an absolute low part: log(x + d), |d| <=
// 2^-60 x, its relative size taken as d c 2^-e (1 - r), without a division.
template <bool kSum> [[gnu::always_inline]] inline ld log_impl(ld x, ld d) {
    const double xd = static_cast<double>(x);
    uint64_t b;
    std::memcpy(&b, &xd, 8);
    const uint32_t be = static_cast<uint32_t>(b >> 52) & 0x7FF;
    // Exponents within [-1021, 1021] keep 2^-e a normal double below.
    if (be - 2 >= 0x7FB) return log_core_wide(x, kSum ? d / x : d);
    int32_t e = static_cast<int32_t>(be) - 1023;
    int32_t j;
    if (b >> 51 & 1) {  // significand >= 1.5: halve it
        ++e;
        j = 128 + static_cast<int32_t>(b >> 45 & 0x7F);
    } else {
        j = 256 + static_cast<int32_t>(b >> 44 & 0xFF);
    }
    const double* t = kXrLog[j - 192];
    // The terms are formed (and pinned) in an order that keeps few values
    // live, so that none of them is spilled.
    const ld c = t[0], inv_e = pow2d(-e);
    // With kSum, d c 2^-e is d relative to x up to a factor (1 - r).
    if (kSum) d *= c * inv_e;
    const DD m = split(x * inv_e);
    // r_hi and r_lo cancel for m just below 1 (c = 1 there): take their
    // sum exactly before anything else is added.
    const DD rr = two_sum(m.hi * c - 1, m.lo * c);
    const ld r = rr.hi;
    // 1/x to r^2 relative: below 2^-8 of an ulp of log(1 + r).
    const ld lo = pin(kSum ? rr.lo + (d - d * r) : rr.lo);
    // Constant part e ln2 - log c: e ln2_hi is exact (11 + 48 bits).
    const ld ef = static_cast<ld>(e);
    const DD a = two_sum(ef * kLn2Hi, static_cast<ld>(t[1]) + t[2]);
    const ld a_lo = pin(a.lo + (ef * kLn2Lo + t[3]));
    const DD s = two_sum(a.hi, r);
    const ld s_lo = pin((a_lo + s.lo) + lo);
    const ld r2 = r * r;
    const ld q = r2 * ((-0.5 + r * kThird0) +
                       r2 * ((-0.25 + r * 0.2) + r2 * ((-1.0 / 6 + r * (1.0 / 7)) + r2 * -0.125)));
    return s.hi + ((q + r2 * r * kThird1) + s_lo);
}

[[gnu::always_inline]] inline ld log_core(ld x, ld d) { return log_impl<false>(x, d); }
// log(x + lo) for finite x > 0, |lo| <= 2^-60 x.
[[gnu::always_inline]] inline ld log_sum(ld x, ld lo) { return log_impl<true>(x, lo); }

// atan(t) for t >= 0 (t may be +inf) as hi + lo.
DD atan_dd(ld t);

}  // namespace orvu_xreal
