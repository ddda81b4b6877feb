// 256-bit vector types (8 floats, 4 doubles) with exactly the interface of
// F32x4 / F64x2, for the units of the wide levels. Every operation gives the
// bits of its 128-bit counterpart lane by lane: the same IEEE operations,
// compare predicates equal to the SSE compares, the same reciprocal tables
// (vrcpps / vrsqrtps read the table of rcpps / rsqrtps), and shuffles that
// keep element k in lane k across the two 128-bit halves.
// Included by simd.h (after its own types) in the units of the wide levels.
#pragma once

// GCC 12 reports the deliberately undefined registers its 512-bit intrinsics
// start from as uninitialised once they are inlined; nothing reads them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif

namespace kex {
namespace KEX_LVL {

// ---- masks ------------------------------------------------------------------
struct M32x8 {
    __m256 v;
    static M32x8 none() { return {_mm256_setzero_ps()}; }
    int bits() const { return _mm256_movemask_ps(v); }
    friend M32x8 operator|(M32x8 a, M32x8 b) { return {_mm256_or_ps(a.v, b.v)}; }
    friend M32x8 operator&(M32x8 a, M32x8 b) { return {_mm256_and_ps(a.v, b.v)}; }
};
struct M64x4 {
    __m256d v;
    static M64x4 none() { return {_mm256_setzero_pd()}; }
    int bits() const { return _mm256_movemask_pd(v); }
    friend M64x4 operator|(M64x4 a, M64x4 b) { return {_mm256_or_pd(a.v, b.v)}; }
    friend M64x4 operator&(M64x4 a, M64x4 b) { return {_mm256_and_pd(a.v, b.v)}; }
};

// ---- floating-point lanes -------------------------------------------------------
// One definition of a wide type and its lane-wise floating-point operations:
// register type reg, intrinsic prefix pre (_mm256 / _mm512), element suffix
// sfx (ps / pd) and the suffix of the compares (empty: the compare gives a
// vector of all-ones / all-zeros lanes; _mask: a mask register). cmpltps /
// cmpleps signal on quiet NaNs, cmpeqps does not: the predicates are the SSE
// compares' own, so the flags match as well as the masks.
#define KEX_WIDE_VECTOR(Name, Mask, elem_t, n, reg, pre, sfx, cmpsfx)                                  \
    struct Name {                                                                                        \
        using elem = elem_t;                                                                             \
        using mask = Mask;                                                                               \
        static constexpr int lanes = n;                                                                  \
        reg v;                                                                                           \
        static Name load(const elem_t* p) { return {pre##_loadu_##sfx(p)}; }                             \
        static Name splat(elem_t x) { return {pre##_set1_##sfx(x)}; }                                    \
        void store(elem_t* p) const { pre##_storeu_##sfx(p, v); }                                        \
        friend Name operator+(Name a, Name b) { return {pre##_add_##sfx(a.v, b.v)}; }                    \
        friend Name operator-(Name a, Name b) { return {pre##_sub_##sfx(a.v, b.v)}; }                    \
        friend Name operator*(Name a, Name b) { return {pre##_mul_##sfx(a.v, b.v)}; }                    \
        friend Name operator/(Name a, Name b) { return {pre##_div_##sfx(a.v, b.v)}; }                    \
        friend Mask operator==(Name a, Name b) { return {pre##_cmp_##sfx##cmpsfx(a.v, b.v, _CMP_EQ_OQ)}; } \
        friend Mask operator<(Name a, Name b) { return {pre##_cmp_##sfx##cmpsfx(a.v, b.v, _CMP_LT_OS)}; }  \
        friend Mask operator<=(Name a, Name b) { return {pre##_cmp_##sfx##cmpsfx(a.v, b.v, _CMP_LE_OS)}; } \
        friend Mask operator>(Name a, Name b) { return {pre##_cmp_##sfx##cmpsfx(a.v, b.v, _CMP_GT_OS)}; }  \
        friend Mask operator>=(Name a, Name b) { return {pre##_cmp_##sfx##cmpsfx(a.v, b.v, _CMP_GE_OS)}; } \
    };                                                                                                   \
    inline Name bit_and(Name a, Name b) { return {pre##_and_##sfx(a.v, b.v)}; }                          \
    inline Name bit_or(Name a, Name b) { return {pre##_or_##sfx(a.v, b.v)}; }                            \
    inline Name bit_xor(Name a, Name b) { return {pre##_xor_##sfx(a.v, b.v)}; }                          \
    inline Name bit_andnot(Name a, Name b) { return {pre##_andnot_##sfx(a.v, b.v)}; } /* ~a & b */       \
    inline Name sqrt(Name a) { return {pre##_sqrt_##sfx(a.v)}; }                                         \
    inline Name abs(Name a) { return bit_andnot(Name::splat(elem_t(-0.0)), a); }                         \
    inline Mask unordered(Name a, Name b) { return {pre##_cmp_##sfx##cmpsfx(a.v, b.v, _CMP_UNORD_Q)}; }

KEX_WIDE_VECTOR(F32x8, M32x8, float, 8, __m256, _mm256, ps, )
KEX_WIDE_VECTOR(F64x4, M64x4, double, 4, __m256d, _mm256, pd, )
inline F32x8 select(M32x8 m, F32x8 yes, F32x8 no) { return {_mm256_blendv_ps(no.v, yes.v, m.v)}; }
inline F64x4 select(M64x4 m, F64x4 yes, F64x4 no) { return {_mm256_blendv_pd(no.v, yes.v, m.v)}; }

// ---- integer arithmetic on the bit patterns -------------------------------------
// The same set as at 128 bits (no 64-bit compare or arithmetic shift), per
// wide type: ireg the integer register, isfx its cast suffix (si256 / si512),
// w the lane width of the integer intrinsics (epi32 / epi64).
#define KEX_WIDE_BITS(Name, ireg, pre, sfx, isfx, w)                                                     \
    inline ireg ibits(Name a) { return pre##_cast##sfx##_##isfx(a.v); }                                  \
    inline Name from_ibits(Name, ireg a) { return {pre##_cast##isfx##_##sfx(a)}; }                       \
    inline Name bits_sub(Name a, Name b) { return from_ibits(a, pre##_sub_##w(ibits(a), ibits(b))); }    \
    inline Name bits_add(Name a, Name b) { return from_ibits(a, pre##_add_##w(ibits(a), ibits(b))); }    \
    template <int N> Name bits_shl(Name a) { return from_ibits(a, pre##_slli_##w(ibits(a), N)); }         \
    template <int N> Name bits_shr(Name a) { return from_ibits(a, pre##_srli_##w(ibits(a), N)); }

KEX_WIDE_BITS(F32x8, __m256i, _mm256, ps, si256, epi32)
KEX_WIDE_BITS(F64x4, __m256i, _mm256, pd, si256, epi64)
inline M32x8 bits_gt(F32x8 a, F32x8 b) { return {_mm256_castsi256_ps(_mm256_cmpgt_epi32(ibits(a), ibits(b)))}; }
template <int N> F32x8 bits_sra(F32x8 a) { return {_mm256_castsi256_ps(_mm256_srai_epi32(ibits(a), N))}; }

// The low dwords of the four 64-bit lanes, in lane order.
inline __m128i low_dwords(F64x4 a) {
    const __m256 f = _mm256_castpd_ps(a.v);
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm256_castps256_ps128(f), _mm256_extractf128_ps(f, 1), _MM_SHUFFLE(2, 0, 2, 0)));
}
inline F32x8 int_to_float(F32x8 a) { return {_mm256_cvtepi32_ps(ibits(a))}; }
inline F64x4 int_to_float(F64x4 a) { return {_mm256_cvtepi32_pd(low_dwords(a))}; }

// ---- table lookups ------------------------------------------------------------
// The index of a lane is the low 32 bits of its pattern, read as unsigned, as
// at 128 bits: the indices are stored and the entries loaded lane by lane. On
// the AMD EPYC (family 1Ah) development machine the gather instructions made
// the kernels of double tables (Ln, Pow, Erf) up to 2.4x slower and the
// float-table ones at most 1.25x faster (they also read the index as signed,
// which agrees below 2^31 only).

inline F32x8 gather(const float* base, F32x8 idx) {
    alignas(32) uint32_t k[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(k), ibits(idx));
    return {_mm256_setr_ps(base[k[0]], base[k[1]], base[k[2]], base[k[3]], base[k[4]], base[k[5]], base[k[6]], base[k[7]])};
}
inline F64x4 gather(const double* base, F64x4 idx) {
    alignas(32) uint32_t k[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(k), ibits(idx));
    return {_mm256_setr_pd(base[k[0]], base[k[2]], base[k[4]], base[k[6]])};
}
// The 16-byte rows at p and q as the two halves of one vector; unpacking two
// such vectors collects the first and the second elements of four rows.
inline __m256d rows2(const double* p, const double* q) { return _mm256_loadu2_m128d(q, p); }

// Double pairs by float lanes: a[h] / b[h] hold base[k] / base[k + 1] for the
// four lanes of half h (Widened<F32x8>::part order).
inline void gather_pairs(const double* base, F32x8 idx, F64x4 (&a)[2], F64x4 (&b)[2]) {
    alignas(32) uint32_t k[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(k), ibits(idx));
    for (int h = 0; h < 2; ++h) {
        const uint32_t* kh = k + 4 * h;
        const __m256d p02 = rows2(base + kh[0], base + kh[2]), p13 = rows2(base + kh[1], base + kh[3]);
        a[h] = {_mm256_unpacklo_pd(p02, p13)}, b[h] = {_mm256_unpackhi_pd(p02, p13)};
    }
}
// Pairs of the lanes' own type: a / b hold base[k] / base[k + 1].
inline void gather_pairs(const float* base, F32x8 idx, F32x8& a, F32x8& b) {
    alignas(32) uint32_t k[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(k), ibits(idx));
    __asm__("" : "+m"(k));  // read the indices back as loads, not as lane extractions
    auto pair = [base](uint32_t i) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + i)); };
    auto two = [&](int i) { return _mm_castsi128_ps(_mm_unpacklo_epi64(pair(k[i]), pair(k[i + 1]))); };
    // (k0 k1 | k4 k5) and (k2 k3 | k6 k7) as pairs; the even / odd floats of
    // each 128-bit half then land in lane order.
    const __m256 p0 = _mm256_set_m128(two(4), two(0)), p1 = _mm256_set_m128(two(6), two(2));
    a = {_mm256_shuffle_ps(p0, p1, _MM_SHUFFLE(2, 0, 2, 0))}, b = {_mm256_shuffle_ps(p0, p1, _MM_SHUFFLE(3, 1, 3, 1))};
}
inline void gather_pairs(const double* base, F64x4 idx, F64x4& a, F64x4& b) {
    alignas(32) uint32_t k[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(k), ibits(idx));
    const __m256d p02 = rows2(base + k[0], base + k[4]), p13 = rows2(base + k[2], base + k[6]);
    a = {_mm256_unpacklo_pd(p02, p13)}, b = {_mm256_unpackhi_pd(p02, p13)};
}

// ---- constants read from memory ----------------------------------------------------
template <> inline F32x8 row_value<F32x8>(const SplatRow<float>& s) { return {_mm256_broadcast_ss(s.v)}; }
template <> inline F64x4 row_value<F64x4>(const SplatRow<double>& s) { return {_mm256_broadcast_sd(s.v)}; }

// ---- reciprocal estimates -------------------------------------------------------
// vrcpps / vrsqrtps: the values of rcpps / rsqrtps on the same core.
inline F32x8 rcp_estimate(F32x8 a) { return {_mm256_rcp_ps(a.v)}; }
inline F64x4 rcp_estimate(F64x4 a) { return {_mm256_cvtps_pd(_mm_rcp_ps(_mm256_cvtpd_ps(a.v)))}; }
inline F32x8 rsqrt_estimate(F32x8 a) { return {_mm256_rsqrt_ps(a.v)}; }
inline F64x4 rsqrt_estimate(F64x4 a) { return {_mm256_cvtps_pd(_mm_rsqrt_ps(_mm256_cvtpd_ps(a.v)))}; }

// ---- float <-> double ---------------------------------------------------------------
template <> struct Widened<F32x8> {
    using type = F64x4;
    static constexpr int parts = 2;
    static F64x4 part(F32x8 v, int k) {
        return {_mm256_cvtps_pd(k == 0 ? _mm256_castps256_ps128(v.v) : _mm256_extractf128_ps(v.v, 1))};
    }
    static F32x8 join(const F64x4 (&p)[2]) { return {_mm256_set_m128(_mm256_cvtpd_ps(p[1].v), _mm256_cvtpd_ps(p[0].v))}; }
};

// ---- rounding to integral values ----------------------------------------------------
template <Rnd R> F32x8 round_int(F32x8 x) { return {_mm256_round_ps(x.v, round_imm<R>())}; }
template <Rnd R> F64x4 round_int(F64x4 x) { return {_mm256_round_pd(x.v, round_imm<R>())}; }

// ---- complex elements ----------------------------------------------------------
// The in-half shuffles of the 128-bit code leave the 64-bit quarters in the
// order 0 2 1 3 (floats) or pair up halves 0/2 and 1/3 (doubles); one
// cross-half permute restores element k in lane k.
inline void deinterleave(F32x8 lo, F32x8 hi, F32x8& re, F32x8& im) {
    auto fix = [](__m256 x) { return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(x), 0xD8)); };
    re = {fix(_mm256_shuffle_ps(lo.v, hi.v, _MM_SHUFFLE(2, 0, 2, 0)))};
    im = {fix(_mm256_shuffle_ps(lo.v, hi.v, _MM_SHUFFLE(3, 1, 3, 1)))};
}
inline void interleave(F32x8 re, F32x8 im, F32x8& lo, F32x8& hi) {
    const __m256 l = _mm256_unpacklo_ps(re.v, im.v), h = _mm256_unpackhi_ps(re.v, im.v);
    lo = {_mm256_permute2f128_ps(l, h, 0x20)}, hi = {_mm256_permute2f128_ps(l, h, 0x31)};
}
inline void deinterleave(F64x4 lo, F64x4 hi, F64x4& re, F64x4& im) {
    re = {_mm256_permute4x64_pd(_mm256_unpacklo_pd(lo.v, hi.v), 0xD8)};
    im = {_mm256_permute4x64_pd(_mm256_unpackhi_pd(lo.v, hi.v), 0xD8)};
}
inline void interleave(F64x4 re, F64x4 im, F64x4& lo, F64x4& hi) {
    const __m256d l = _mm256_unpacklo_pd(re.v, im.v), h = _mm256_unpackhi_pd(re.v, im.v);
    lo = {_mm256_permute2f128_pd(l, h, 0x20)}, hi = {_mm256_permute2f128_pd(l, h, 0x31)};
}

}  // namespace KEX_LVL
}  // namespace kex
