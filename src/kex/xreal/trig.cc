// Extended-precision reduction by pi/4 and the sine, cosine and tangent.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

#include <utility>

namespace orvu_xreal {
namespace {

// Bits [top - 32, top) of the little-endian multiword integer p (zero
// outside; top <= 32 * 10).
inline uint32_t window(const uint32_t* p, int32_t top) {
    const int32_t lo = top - 32;
    if (lo < 0) return lo <= -32 ? 0 : p[0] << -lo;
    const int32_t w = lo >> 5, sh = lo & 31;
    return sh == 0 ? p[w] : (p[w] >> sh) | (p[w + 1] << (32 - sh));
}

// a > pi/8 finite: a = k pi/4 + y, |y| <= pi/8, k mod 8 returned.
//
// a = M 2^E with the 64-bit significand M; a/(2 pi) mod 1 needs only the
// words of 1/(2 pi) from i0 = floor(E/32) on (the earlier ones give whole
// numbers). Eight words times M is a 320-bit product whose binary point sits
// s = 32 (i0 + 8) - E > 224 bits from the bottom; the words left out add less
// than 2^(64 - s) <= 2^-160, so the fraction is good to about 2^-155 absolute
// in units of pi/4: y keeps its 64 bits unless it is below about 2^-90 pi/4,
// much closer to a multiple of pi/4 than any double comes (about 2^-61).
int32_t reduce_big(ld a, DD* y) {
    const Bits b = bits_of(a);
    const int32_t E = (b.se & 0x7FFF) - 16383 - 63;
    const int32_t i0 = E > 0 ? E >> 5 : 0;
    const uint32_t m0 = static_cast<uint32_t>(b.m), m1 = static_cast<uint32_t>(b.m >> 32);
    uint32_t p[11] = {};
    for (int32_t t = 0; t < 8; ++t) {
        const uint64_t w = kXrInv2Pi[i0 + t];
        const int32_t at = 7 - t;  // limb of this word's least significant bit
        const uint64_t lo = w * m0, hi = w * m1;
        uint64_t acc = uint64_t{p[at]} + static_cast<uint32_t>(lo);
        p[at] = static_cast<uint32_t>(acc);
        acc = (acc >> 32) + uint64_t{p[at + 1]} + (lo >> 32) + static_cast<uint32_t>(hi);
        p[at + 1] = static_cast<uint32_t>(acc);
        acc = (acc >> 32) + uint64_t{p[at + 2]} + (hi >> 32);
        p[at + 2] = static_cast<uint32_t>(acc);
        for (int32_t l = at + 3; (acc >>= 32) != 0 && l < 11; ++l) {
            acc += p[l];
            p[l] = static_cast<uint32_t>(acc);
        }
    }
    const int32_t s = 32 * (i0 + 8) - E;
    // 8 a/(2 pi) mod 8: three bits above the point s - 3, fraction g below.
    int32_t k = static_cast<int32_t>(window(p, s) >> 29);
    uint32_t g[6];
    for (int32_t i = 0; i < 6; ++i) g[i] = window(p, s - 3 - 32 * i);
    ld sign = 1;
    if (g[0] >> 31) {  // g >= 1/2: round k up, y = -(1 - g)
        k = (k + 1) & 7;
        sign = -1;
        uint64_t c = 1;
        for (int32_t i = 5; i >= 0; --i) {
            c += static_cast<uint32_t>(~g[i]);
            g[i] = static_cast<uint32_t>(c);
            c >>= 32;
        }
    }
    int32_t t0 = 0;
    while (t0 < 5 && g[t0] == 0) ++t0;
    if (g[t0] == 0) {  // g < 2^-192: nothing of it is known; y = 0 is as good as any
        y->hi = y->lo = 0;
        return k;
    }
    const int32_t lz = __builtin_clz(g[t0]);
    auto word = [&](int32_t i) -> uint64_t { return i < 6 ? g[i] : 0; };
    auto bits64 = [&](int32_t i) {  // 64 bits from word i on, shifted left by lz
        const uint64_t v = word(i) << 32 | word(i + 1);
        return lz == 0 ? v : v << lz | word(i + 2) >> (32 - lz);
    };
    const int32_t e = -32 * t0 - lz;  // g = (A 2^-64 + B 2^-128) 2^e
    const DD f = fast_two_sum(static_cast<ld>(bits64(t0)) * pow2(e - 64), static_cast<ld>(bits64(t0 + 2)) * pow2(e - 128));
    *y = dd_mul(f, DD{kXrPiBy4[0] * sign, kXrPiBy4[1] * sign});
    return k;
}

// pi/8 < a < 2^19: a = k pi/4 + y by the three parts of pi/4 (40, 40 and 64
// bits): k < 2^20, so k times the first two parts is exact, a minus the
// first is exact (the two are within a factor 2), and the second is taken
// off by an exact two-sum; the error left is below 2^20 2^-145 = 2^-125.
// Declines (false) when |y| < 2^-40, where that is not enough relative to y.
bool reduce_medium(ld a, DD* y, int32_t* k) {
    const ld shifted = a * 0x1.45f306dc9c882a54p+0L + 0x3p62L;  // round(4a/pi) in the low bits
    const ld kf = shifted - 0x3p62L;
    const DD r = two_sum(a - kf * kXrPiBy4Cut[0], -(kf * kXrPiBy4Cut[1]));
    *y = fast_two_sum(r.hi, r.lo - kf * kXrPiBy4Cut[2]);
    *k = static_cast<int32_t>(bits_of(shifted).m & 7);
    return __builtin_fabsl(y->hi) > 0x1p-40L;
}

// sin and cos of hi + lo, |hi + lo| <= pi/4 (1 + 2^-60). Taylor series: the
// first term left out is below y^21/21! < 2^-73 (sine) and y^20/20! < 2^-68
// (cosine); the leading terms are summed so that each result carries at most
// one rounding of its size plus a few 2^-66 relative.
void sincos_core(DD y, DD* s, DD* c) {
    const ld x = y.hi, z = x * x;
    const ld ps =
        -1.0L / 6 +
        z * (1.0L / 120 +
             z * (-1.0L / 5040 +
                  z * (1.0L / 362880 +
                       z * (-1.0L / 39916800 +
                            z * (1.0L / 6227020800 +
                                 z * (-1.0L / 1307674368000 + z * (1.0L / 355687428096000 + z * (-1.0L / 121645100408832000))))))));
    const ld pc =
        1.0L / 24 +
        z * (-1.0L / 720 +
             z * (1.0L / 40320 +
                  z * (-1.0L / 3628800 +
                       z * (1.0L / 479001600 + z * (-1.0L / 87178291200 + z * (1.0L / 20922789888000 + z * (-1.0L / 6402373705728000)))))));
    const ld hz = 0.5L * z, w = 1 - hz;
    *s = fast_two_sum(x, x * z * ps + y.lo * (1 - hz));
    *c = fast_two_sum(w, (((1 - w) - hz) + z * z * pc) - x * y.lo);
}

// x = 2 q pi/4 + y with |y| <= pi/4; returns q mod 4.
int32_t reduce_half_pi(ld x, DD* y) {
    if (__builtin_fabsl(x) <= 0.785398163397448309615L) {
        *y = {x, 0};
        return 0;
    }
    long double hi, lo;
    int32_t k = orvu_kex_kernel_reduce_pi04l(x, &hi, &lo);
    if (k & 1) {  // move to the even neighbour: y -/+ pi/4 lies in [pi/8, pi/4]
        const ld d = hi >= 0 ? -1 : 1;
        const DD t = two_sum(hi, d * kXrPiBy4[0]);
        *y = fast_two_sum(t.hi, t.lo + (lo + d * kXrPiBy4[1]));
        k -= static_cast<int32_t>(d);
    } else {
        *y = {hi, lo};
    }
    return (k >> 1) & 3;
}

void sincos(ld x, ld* s, ld* c) {
    if (__builtin_fabsl(x) < 0x1p-33L) {  // sin x = x (1 - x^2/6), cos x = 1 - x^2/2
        *s = x, *c = 1;
        return;
    }
    DD y;
    const int32_t q = reduce_half_pi(x, &y);
    DD sd, cd;
    sincos_core(y, &sd, &cd);
    const ld sy = sd.hi, cy = cd.hi;
    switch (q) {
        case 0: *s = sy, *c = cy; break;
        case 1: *s = cy, *c = -sy; break;
        case 2: *s = -sy, *c = -cy; break;
        default: *s = -cy, *c = sy; break;
    }
}

}  // namespace
}  // namespace orvu_xreal

using namespace orvu_xreal;

extern "C" {

ORVU_API int32_t orvu_kex_kernel_reduce_pi04l(long double x, long double* hi, long double* lo) {
    const ld a = __builtin_fabsl(x);
    if (!(a > 0.392699081698724154808L)) {  // |x| <= pi/8, or NaN
        *hi = x, *lo = 0;
        return 0;
    }
    if (is_inf(x)) {
        *hi = x - x, *lo = 0;
        return 0;
    }
    DD y;
    int32_t k;
    if (!(a < 0x1p19L && reduce_medium(a, &y, &k))) k = reduce_big(a, &y);
    if (x < 0) {
        *hi = -y.hi, *lo = -y.lo;
        return (8 - k) & 7;
    }
    *hi = y.hi, *lo = y.lo;
    return k;
}

ORVU_API void orvu_kex_kernel_sincosl_scalar(long double x, long double* s, long double* c) {
    if (!(__builtin_fabsl(x) < __builtin_infl())) {  // NaN stays, inf gives NaN
        *s = *c = x - x;
        return;
    }
    sincos(x, s, c);
}

ORVU_API long double orvu_kex_kernel_sinl_scalar(long double x) {
    long double s, c;
    orvu_kex_kernel_sincosl_scalar(x, &s, &c);
    return s;
}

ORVU_API long double orvu_kex_kernel_cosl_scalar(long double x) {
    long double s, c;
    orvu_kex_kernel_sincosl_scalar(x, &s, &c);
    return c;
}

ORVU_API long double orvu_kex_kernel_tanl_scalar(long double x) {
    if (!(__builtin_fabsl(x) < __builtin_infl())) return x - x;
    if (__builtin_fabsl(x) < 0x1p-33L) return x;  // tan x = x (1 + x^2/3)
    DD y;
    const int32_t q = reduce_half_pi(x, &y);
    DD s, c;
    sincos_core(y, &s, &c);
    if (q & 1) s = {-s.hi, -s.lo}, std::swap(s, c);  // tan(y + pi/2) = -cos y / sin y
    return dd_div(s, c);
}

}  // extern "C"
