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

// (n.hi + n.lo) / (d.hi + d.lo): the first quotient's remainder, exact by
// the two-product, corrects it to a few 2^-66 relative.
[[gnu::always_inline]] inline ld dd_div(DD n, DD d) {
    const ld t = n.hi / d.hi;
    const DD p = two_prod(t, d.hi);
    return t + (((n.hi - p.hi) - p.lo) + (n.lo - t * d.lo)) / d.hi;
}

inline ld hw_sqrt(ld x) {
    // fsqrt rounds correctly; no call into the C library for negative x.
    __asm__("fsqrt" : "+t"(x));
    return x;
}

// Internal kernels shared between the routine files.
// e^x = 2^n * (hi + lo) for |x| <= 11400, hi + lo in [0.99, 2.01]; the
// pair is within 2^-76 relative of the exact value.
DD exp_dd(ld x, int32_t* n);
// y * 2^n with one rounding also when the result is denormal or overflows.
ld scale(ld y, int32_t n);
// log(x * (1 + d)) for finite x > 0 and |d| < 2^-60, within about 1 ulp.
ld log_core(ld x, ld d);
// atan(t) for t >= 0 (t may be +inf) as hi + lo.
DD atan_dd(ld t);

}  // namespace orvu_xreal
