// 512-bit vector types (16 floats, 8 doubles) with exactly the interface of
// F32x4 / F64x2; their masks are the processor's mask registers, so a mask
// is already the bit word bits() returns. Every operation gives the bits of
// its 128-bit counterpart lane by lane. The one exception to a direct
// mapping: the 512-bit reciprocal estimates (vrcp14 / vrsqrt14) are more
// accurate than rcpps / rsqrtps and so give other bits; the estimates are
// taken as 256-bit vrcpps / vrsqrtps halves instead.
// Included by simd.h (after the 256-bit types) in the units of the AVX-512 level.
#pragma once

#include "kex/simd/simd_avx2.h"

namespace kex {
namespace KEX_LVL {

// ---- masks ------------------------------------------------------------------
struct M32x16 {
    __mmask16 v;
    static M32x16 none() { return {0}; }
    int bits() const { return v; }
    friend M32x16 operator|(M32x16 a, M32x16 b) { return {static_cast<__mmask16>(a.v | b.v)}; }
    friend M32x16 operator&(M32x16 a, M32x16 b) { return {static_cast<__mmask16>(a.v & b.v)}; }
};
struct M64x8 {
    __mmask8 v;
    static M64x8 none() { return {0}; }
    int bits() const { return v; }
    friend M64x8 operator|(M64x8 a, M64x8 b) { return {static_cast<__mmask8>(a.v | b.v)}; }
    friend M64x8 operator&(M64x8 a, M64x8 b) { return {static_cast<__mmask8>(a.v & b.v)}; }
};

// ---- floating-point lanes (compares into mask registers) ----------------------------
KEX_WIDE_VECTOR(F32x16, M32x16, float, 16, __m512, _mm512, ps, _mask)
KEX_WIDE_VECTOR(F64x8, M64x8, double, 8, __m512d, _mm512, pd, _mask)
inline F32x16 select(M32x16 m, F32x16 yes, F32x16 no) { return {_mm512_mask_blend_ps(m.v, no.v, yes.v)}; }
inline F64x8 select(M64x8 m, F64x8 yes, F64x8 no) { return {_mm512_mask_blend_pd(m.v, no.v, yes.v)}; }

// ---- integer arithmetic on the bit patterns -------------------------------------
KEX_WIDE_BITS(F32x16, __m512i, _mm512, ps, si512, epi32)
KEX_WIDE_BITS(F64x8, __m512i, _mm512, pd, si512, epi64)
inline M32x16 bits_gt(F32x16 a, F32x16 b) { return {_mm512_cmpgt_epi32_mask(ibits(a), ibits(b))}; }
template <int N> F32x16 bits_sra(F32x16 a) { return {_mm512_castsi512_ps(_mm512_srai_epi32(ibits(a), N))}; }

// The low dwords of the eight 64-bit lanes, in lane order (vpmovqd truncates).
inline __m256i low_dwords(F64x8 a) { return _mm512_cvtepi64_epi32(ibits(a)); }
inline F32x16 int_to_float(F32x16 a) { return {_mm512_cvtepi32_ps(ibits(a))}; }
inline F64x8 int_to_float(F64x8 a) { return {_mm512_cvtepi32_pd(low_dwords(a))}; }

// ---- table lookups ------------------------------------------------------------
// Index semantics as at 256 bits; each half goes through the 256-bit lookup
// (the 512-bit gather instructions measured as slow, relative to it, as the
// 256-bit ones).

inline F32x8 half(F32x16 a, int h) {
    return {h == 0 ? _mm512_castps512_ps256(a.v) : _mm512_extractf32x8_ps(a.v, 1)};
}
inline F64x4 half(F64x8 a, int h) { return {h == 0 ? _mm512_castpd512_pd256(a.v) : _mm512_extractf64x4_pd(a.v, 1)}; }
inline F32x16 join(F32x8 lo, F32x8 hi) { return {_mm512_insertf32x8(_mm512_castps256_ps512(lo.v), hi.v, 1)}; }
inline F64x8 join(F64x4 lo, F64x4 hi) { return {_mm512_insertf64x4(_mm512_castpd256_pd512(lo.v), hi.v, 1)}; }

inline F32x16 gather(const float* base, F32x16 idx) {
    return join(gather(base, half(idx, 0)), gather(base, half(idx, 1)));
}
inline F64x8 gather(const double* base, F64x8 idx) {
    return join(gather(base, half(idx, 0)), gather(base, half(idx, 1)));
}
// Double pairs by float lanes: a[h] / b[h] hold base[k] / base[k + 1] for the
// eight lanes of half h (Widened<F32x16>::part order).
inline void gather_pairs(const double* base, F32x16 idx, F64x8 (&a)[2], F64x8 (&b)[2]) {
    for (int h = 0; h < 2; ++h) {
        F64x4 p[2], q[2];
        gather_pairs(base, half(idx, h), p, q);
        a[h] = join(p[0], p[1]), b[h] = join(q[0], q[1]);
    }
}
inline void gather_pairs(const float* base, F32x16 idx, F32x16& a, F32x16& b) {
    F32x8 p[2], q[2];
    for (int h = 0; h < 2; ++h) gather_pairs(base, half(idx, h), p[h], q[h]);
    a = join(p[0], p[1]), b = join(q[0], q[1]);
}
inline void gather_pairs(const double* base, F64x8 idx, F64x8& a, F64x8& b) {
    F64x4 p[2], q[2];
    for (int h = 0; h < 2; ++h) gather_pairs(base, half(idx, h), p[h], q[h]);
    a = join(p[0], p[1]), b = join(q[0], q[1]);
}

// ---- constants read from memory ----------------------------------------------------
template <> inline F32x16 row_value<F32x16>(const SplatRow<float>& s) { return {_mm512_set1_ps(s.v[0])}; }
template <> inline F64x8 row_value<F64x8>(const SplatRow<double>& s) { return {_mm512_set1_pd(s.v[0])}; }

// ---- reciprocal estimates -------------------------------------------------------
// Two 256-bit estimates (the table of rcpps / rsqrtps), never vrcp14 / vrsqrt14.
inline F32x16 rcp_estimate(F32x16 a) { return join(rcp_estimate(half(a, 0)), rcp_estimate(half(a, 1))); }
inline F64x8 rcp_estimate(F64x8 a) { return {_mm512_cvtps_pd(_mm256_rcp_ps(_mm512_cvtpd_ps(a.v)))}; }
inline F32x16 rsqrt_estimate(F32x16 a) { return join(rsqrt_estimate(half(a, 0)), rsqrt_estimate(half(a, 1))); }
inline F64x8 rsqrt_estimate(F64x8 a) { return {_mm512_cvtps_pd(_mm256_rsqrt_ps(_mm512_cvtpd_ps(a.v)))}; }

// ---- float <-> double ---------------------------------------------------------------
template <> struct Widened<F32x16> {
    using type = F64x8;
    static constexpr int parts = 2;
    static F64x8 part(F32x16 v, int k) { return {_mm512_cvtps_pd(half(v, k).v)}; }
    static F32x16 join(const F64x8 (&p)[2]) {
        return KEX_LVL::join(F32x8{_mm512_cvtpd_ps(p[0].v)}, F32x8{_mm512_cvtpd_ps(p[1].v)});
    }
};

// ---- rounding to integral values ----------------------------------------------------
// vrndscale with scale 0 takes the rounding immediates of roundps unchanged.
template <Rnd R> F32x16 round_int(F32x16 x) { return {_mm512_roundscale_ps(x.v, round_imm<R>())}; }
template <Rnd R> F64x8 round_int(F64x8 x) { return {_mm512_roundscale_pd(x.v, round_imm<R>())}; }

// ---- complex elements ----------------------------------------------------------
// Two-source permutes: element k of the pair (lo, hi) to lane k and back.
inline __m512i evens16() { return _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30); }
inline __m512i zip16(int from) {
    const int f = from;
    return _mm512_setr_epi32(f, f + 16, f + 1, f + 17, f + 2, f + 18, f + 3, f + 19, f + 4, f + 20, f + 5, f + 21, f + 6,
                             f + 22, f + 7, f + 23);
}
inline void deinterleave(F32x16 lo, F32x16 hi, F32x16& re, F32x16& im) {
    const __m512i e = evens16();
    re = {_mm512_permutex2var_ps(lo.v, e, hi.v)};
    im = {_mm512_permutex2var_ps(lo.v, _mm512_add_epi32(e, _mm512_set1_epi32(1)), hi.v)};
}
inline void interleave(F32x16 re, F32x16 im, F32x16& lo, F32x16& hi) {
    lo = {_mm512_permutex2var_ps(re.v, zip16(0), im.v)}, hi = {_mm512_permutex2var_ps(re.v, zip16(8), im.v)};
}
inline void deinterleave(F64x8 lo, F64x8 hi, F64x8& re, F64x8& im) {
    const __m512i e = _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14);
    re = {_mm512_permutex2var_pd(lo.v, e, hi.v)};
    im = {_mm512_permutex2var_pd(lo.v, _mm512_add_epi64(e, _mm512_set1_epi64(1)), hi.v)};
}
inline void interleave(F64x8 re, F64x8 im, F64x8& lo, F64x8& hi) {
    lo = {_mm512_permutex2var_pd(re.v, _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11), im.v)};
    hi = {_mm512_permutex2var_pd(re.v, _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15), im.v)};
}

}  // namespace KEX_LVL
}  // namespace kex
