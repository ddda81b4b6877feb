// Extended-precision sine, cosine and tangent, and the reduction by pi/4:
// x = k pi/64 + r, and sin x from the table's sine and cosine of k pi/64
// and short series in r.
#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

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

// Parts of pi/64 (kXrPi64Cut, doubles: 80-bit memory loads are slow).
constexpr ld kPi64Cut0 = kXrPi64Cut[0], kPi64Cut1 = kXrPi64Cut[1], kPi64Cut2 = kXrPi64Cut[2],
             kPi64Cut3 = kXrPi64Cut[3];
constexpr ld kInvPi64 = 0x1.45f306dc9c883p+4;  // 64/pi, only chooses k

// x = k pi/64 + r with |r| <= pi/128 (1 + 2^-60), r as hi + lo; k is taken
// mod 2^32 (only k mod 128 is used).
struct Pi64 {
    DD r;
    uint32_t k;
};

// y - m pi/64 with m = round(64 y/pi), |m| < 2^24, |y| < 2^19, and pi/64 in
// parts of 30, 30, 40 and 53 bits. m times each of the first three is exact;
// y minus the first is exact (the two are within a factor 2, or m = 0), and
// so is the second difference (its operands' last bits are at or above
// 2^-69 and it is below 2^-5, 64 bits). The third product goes off by an
// exact sum (a fast two-sum when |y - m pi/64| > 2^-40 is known, as it is
// then larger than that product, below 2^-42); the error left is the fourth
// product's rounding and the rest of pi/64, below 2^-145 absolute.
template <bool kFast = true> [[gnu::always_inline]] inline Pi64 cut_pi64(ld y, ld y_lo) {
    const ld mf = (y * kInvPi64 + 0x3p62L) - 0x3p62L;  // adding 1.5 2^63 rounds to an integer
    const ld t = (y - mf * kPi64Cut0) - mf * kPi64Cut1;
    const DD s = kFast ? fast_two_sum(t, -(mf * kPi64Cut2)) : two_sum(t, -(mf * kPi64Cut2));
    return {fast_two_sum(s.hi, s.lo + (y_lo - mf * kPi64Cut3)), static_cast<uint32_t>(to_int(mf))};
}

// Finite x. Below 2^19 one cut suffices unless |r| < 2^-40 (and k > 8: for
// the few multiples of pi/64 below pi/8 nothing more exact is at hand);
// then, and above 2^19, x = k8 pi/4 + y, |y| <= pi/8, from the full
// reduction (good to 2^-155 absolute), and y is cut by pi/64 (16 of which
// make pi/4).
[[gnu::noinline]] Pi64 reduce_pi64_full(ld x) {
    if (__builtin_fabsl(x) < 0.4) return cut_pi64<false>(x, 0);
    DD y;
    uint32_t k8 = static_cast<uint32_t>(reduce_big(__builtin_fabsl(x), &y));
    if (x < 0) y = {-y.hi, -y.lo}, k8 = 0u - k8;
    Pi64 p = cut_pi64<false>(y.hi, y.lo);
    p.k += 16 * k8;
    return p;
}
template <class F> [[gnu::noinline]] auto reduced_full(ld x, F f) { return f(reduce_pi64_full(x)); }
// f(reduction of x): inlined for the common case, so that its values stay in
// registers (a reduction merged from two paths would go through memory).
template <class F> [[gnu::always_inline]] inline auto with_reduced(ld x, F f) {
    const ld a = __builtin_fabsl(x);
    if (a < 0x1p19L) {
        const Pi64 p = cut_pi64(x, 0);
        if (__builtin_fabsl(p.r.hi) > 0x1p-40L) return f(p);
    }
    return reduced_full(x, f);
}

// sin r - r.hi and cos r - 1 for |r| <= pi/128 (1 + 2^-60) by Taylor
// polynomials: the first terms left out are r^11/11! < 2^-78 |r| and
// r^10/10! < 2^-75.
struct SinCosR {
    ld s_rest, c_m1;
};
[[gnu::always_inline]] inline SinCosR sincos_r(DD r) {
    // -1/6 is the pair of doubles -(kSixth0 + kSixth1); the later
    // coefficients, taken as doubles, err by less than 2^-53 z/120 < 2^-80.
    // Horner's form keeps few values live (x87 spills cost 80-bit stores
    // and loads).
    const ld x = r.hi, z = x * x;
    const ld ps = -kSixth0 + (-kSixth1 + z * (1.0 / 120 + z * (-1.0 / 5040 + z * (1.0 / 362880))));
    const ld pc = -0.5 + z * (1.0 / 24 + z * (-1.0 / 720 + z * (1.0 / 40320)));
    return {x * z * ps + r.lo, z * pc};
}

// sin(k pi/64 + r) = S cos r + C sin r, S and C the table's sine and cosine
// of k pi/64, as hi + lo. S + C r.hi is summed exactly (|C r| < |S| unless
// S = 0); its rounded product and the final rounding make at most about one
// ulp, at the bottom of the intervals next to a zero of the sine, where
// |C r| approaches the result. cos(k pi/64 + r) is sin((k + 32) pi/64 + r).
[[gnu::always_inline]] inline DD sin_at(uint32_t k, DD r, SinCosR p) {
    const double* S = kXrSinPi64[k & 127];
    const double* C = kXrSinPi64[(k + 32) & 127];
    const ld s_hi = static_cast<ld>(S[0]) + S[1], c_hi = static_cast<ld>(C[0]) + C[1];
    const DD u = fast_two_sum(s_hi, c_hi * r.hi);
    return fast_two_sum(u.hi, u.lo + ((S[2] + s_hi * p.c_m1) + c_hi * p.s_rest));
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
    if (!is_finite(x)) {  // NaN stays, inf gives NaN
        *s = *c = x - x;
        return;
    }
    if (__builtin_fabsl(x) < 0x1p-33L) {  // sin x = x (1 - x^2/6), cos x = 1 - x^2/2
        *s = x, *c = 1;
        return;
    }
    const DD r = with_reduced(x, [](const Pi64& p) {
        const SinCosR q = sincos_r(p.r);
        // The sine finished before the cosine starts: fewer values live.
        const ld sv = pin(sin_at(p.k, p.r, q).hi);
        return DD{sv, sin_at(p.k + 32, p.r, q).hi};
    });
    *s = r.hi, *c = r.lo;
}

ORVU_API long double orvu_kex_kernel_sinl_scalar(long double x) {
    if (!is_finite(x)) return x - x;
    if (__builtin_fabsl(x) < 0x1p-33L) return x;
    return with_reduced(x, [](const Pi64& p) { return sin_at(p.k, p.r, sincos_r(p.r)).hi; });
}

ORVU_API long double orvu_kex_kernel_cosl_scalar(long double x) {
    if (!is_finite(x)) return x - x;
    if (__builtin_fabsl(x) < 0x1p-33L) return 1;
    return with_reduced(x, [](const Pi64& p) { return sin_at(p.k + 32, p.r, sincos_r(p.r)).hi; });
}

// sin/cos of the reduced argument, each as hi + lo, with one division: the
// quotient's remainder, exact by the two-product, is scaled by the same
// reciprocal.
ORVU_API long double orvu_kex_kernel_tanl_scalar(long double x) {
    if (!is_finite(x)) return x - x;
    if (__builtin_fabsl(x) < 0x1p-33L) return x;  // tan x = x (1 + x^2/3)
    return with_reduced(x, [](const Pi64& p) {
        const SinCosR q = sincos_r(p.r);
        // Each low part pinned where it is formed (few values live).
        const DD n = sin_at(p.k, p.r, q);
        const ld n_lo = pin(n.lo);
        const DD d = sin_at(p.k + 32, p.r, q);
        const ld d_lo = pin(d.lo);
        const ld inv = 1 / d.hi, t = n.hi * inv;
        const DD e = two_prod(t, d.hi);
        return t + (((n.hi - e.hi) - e.lo) + (n_lo - t * d_lo)) * inv;
    });
}

}  // extern "C"
