// Thin vector types over the SSE registers, one set of definitions per level:
// F32x4 (4 floats) and F64x2 (2 doubles), their lane masks, and the one-lane
// scalar types F32x1 / F64x1 with the same interface, so an algorithm written
// once runs on full blocks and on the tail. Operations whose best instruction
// depends on the level (blend, rounding) pick it at compile time. The units of
// the wide levels add 256- and 512-bit types with the same interface
// (simd_avx2.h, simd_avx512.h); Vec<T> is then the widest of them.
#pragma once

#include <emmintrin.h>
#if defined(__SSE3__)
#include <pmmintrin.h>
#endif
#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif
#if defined(__SSE4_1__)
#include <smmintrin.h>
#endif

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "kex/simd/level.h"

namespace kex {
namespace KEX_LVL {

// ---- masks ------------------------------------------------------------------
struct M32x4 {
    __m128 v;
    static M32x4 none() { return {_mm_setzero_ps()}; }
    int bits() const { return _mm_movemask_ps(v); }
    friend M32x4 operator|(M32x4 a, M32x4 b) { return {_mm_or_ps(a.v, b.v)}; }
    friend M32x4 operator&(M32x4 a, M32x4 b) { return {_mm_and_ps(a.v, b.v)}; }
};
struct M64x2 {
    __m128d v;
    static M64x2 none() { return {_mm_setzero_pd()}; }
    int bits() const { return _mm_movemask_pd(v); }
    friend M64x2 operator|(M64x2 a, M64x2 b) { return {_mm_or_pd(a.v, b.v)}; }
    friend M64x2 operator&(M64x2 a, M64x2 b) { return {_mm_and_pd(a.v, b.v)}; }
};
struct M1 {
    bool v;
    static M1 none() { return {false}; }
    int bits() const { return v ? 1 : 0; }
    friend M1 operator|(M1 a, M1 b) { return {a.v || b.v}; }
    friend M1 operator&(M1 a, M1 b) { return {a.v && b.v}; }
};

// ---- 4 x float ----------------------------------------------------------------
struct F32x4 {
    using elem = float;
    using mask = M32x4;
    static constexpr int lanes = 4;
    __m128 v;

    static F32x4 load(const float* p) { return {_mm_loadu_ps(p)}; }
    static F32x4 splat(float x) { return {_mm_set1_ps(x)}; }
    void store(float* p) const { _mm_storeu_ps(p, v); }

    friend F32x4 operator+(F32x4 a, F32x4 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend F32x4 operator-(F32x4 a, F32x4 b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend F32x4 operator*(F32x4 a, F32x4 b) { return {_mm_mul_ps(a.v, b.v)}; }
    friend F32x4 operator/(F32x4 a, F32x4 b) { return {_mm_div_ps(a.v, b.v)}; }
    friend M32x4 operator==(F32x4 a, F32x4 b) { return {_mm_cmpeq_ps(a.v, b.v)}; }
    friend M32x4 operator<(F32x4 a, F32x4 b) { return {_mm_cmplt_ps(a.v, b.v)}; }
    friend M32x4 operator<=(F32x4 a, F32x4 b) { return {_mm_cmple_ps(a.v, b.v)}; }
    friend M32x4 operator>(F32x4 a, F32x4 b) { return {_mm_cmpgt_ps(a.v, b.v)}; }
    friend M32x4 operator>=(F32x4 a, F32x4 b) { return {_mm_cmpge_ps(a.v, b.v)}; }
};
inline F32x4 bit_and(F32x4 a, F32x4 b) { return {_mm_and_ps(a.v, b.v)}; }
inline F32x4 bit_or(F32x4 a, F32x4 b) { return {_mm_or_ps(a.v, b.v)}; }
inline F32x4 bit_xor(F32x4 a, F32x4 b) { return {_mm_xor_ps(a.v, b.v)}; }
inline F32x4 bit_andnot(F32x4 a, F32x4 b) { return {_mm_andnot_ps(a.v, b.v)}; }  // ~a & b
inline F32x4 sqrt(F32x4 a) { return {_mm_sqrt_ps(a.v)}; }
inline F32x4 abs(F32x4 a) { return bit_andnot(F32x4::splat(-0.0f), a); }
inline M32x4 unordered(F32x4 a, F32x4 b) { return {_mm_cmpunord_ps(a.v, b.v)}; }
inline F32x4 select(M32x4 m, F32x4 yes, F32x4 no) {
#if defined(__SSE4_1__)
    return {_mm_blendv_ps(no.v, yes.v, m.v)};
#else
    return {_mm_or_ps(_mm_and_ps(m.v, yes.v), _mm_andnot_ps(m.v, no.v))};
#endif
}

// ---- 2 x double ---------------------------------------------------------------
struct F64x2 {
    using elem = double;
    using mask = M64x2;
    static constexpr int lanes = 2;
    __m128d v;

    static F64x2 load(const double* p) { return {_mm_loadu_pd(p)}; }
    static F64x2 splat(double x) { return {_mm_set1_pd(x)}; }
    void store(double* p) const { _mm_storeu_pd(p, v); }

    friend F64x2 operator+(F64x2 a, F64x2 b) { return {_mm_add_pd(a.v, b.v)}; }
    friend F64x2 operator-(F64x2 a, F64x2 b) { return {_mm_sub_pd(a.v, b.v)}; }
    friend F64x2 operator*(F64x2 a, F64x2 b) { return {_mm_mul_pd(a.v, b.v)}; }
    friend F64x2 operator/(F64x2 a, F64x2 b) { return {_mm_div_pd(a.v, b.v)}; }
    friend M64x2 operator==(F64x2 a, F64x2 b) { return {_mm_cmpeq_pd(a.v, b.v)}; }
    friend M64x2 operator<(F64x2 a, F64x2 b) { return {_mm_cmplt_pd(a.v, b.v)}; }
    friend M64x2 operator<=(F64x2 a, F64x2 b) { return {_mm_cmple_pd(a.v, b.v)}; }
    friend M64x2 operator>(F64x2 a, F64x2 b) { return {_mm_cmpgt_pd(a.v, b.v)}; }
    friend M64x2 operator>=(F64x2 a, F64x2 b) { return {_mm_cmpge_pd(a.v, b.v)}; }
};
inline F64x2 bit_and(F64x2 a, F64x2 b) { return {_mm_and_pd(a.v, b.v)}; }
inline F64x2 bit_or(F64x2 a, F64x2 b) { return {_mm_or_pd(a.v, b.v)}; }
inline F64x2 bit_xor(F64x2 a, F64x2 b) { return {_mm_xor_pd(a.v, b.v)}; }
inline F64x2 bit_andnot(F64x2 a, F64x2 b) { return {_mm_andnot_pd(a.v, b.v)}; }
inline F64x2 sqrt(F64x2 a) { return {_mm_sqrt_pd(a.v)}; }
inline F64x2 abs(F64x2 a) { return bit_andnot(F64x2::splat(-0.0), a); }
inline M64x2 unordered(F64x2 a, F64x2 b) { return {_mm_cmpunord_pd(a.v, b.v)}; }
inline F64x2 select(M64x2 m, F64x2 yes, F64x2 no) {
#if defined(__SSE4_1__)
    return {_mm_blendv_pd(no.v, yes.v, m.v)};
#else
    return {_mm_or_pd(_mm_and_pd(m.v, yes.v), _mm_andnot_pd(m.v, no.v))};
#endif
}

// ---- one lane (tails and scalar paths) ----------------------------------------
template <class T>
struct X1 {
    using elem = T;
    using mask = M1;
    static constexpr int lanes = 1;
    T v;

    static X1 load(const T* p) { return {*p}; }
    static X1 splat(T x) { return {x}; }
    void store(T* p) const { *p = v; }

    friend X1 operator+(X1 a, X1 b) { return {a.v + b.v}; }
    friend X1 operator-(X1 a, X1 b) { return {a.v - b.v}; }
    friend X1 operator*(X1 a, X1 b) { return {a.v * b.v}; }
    friend X1 operator/(X1 a, X1 b) { return {a.v / b.v}; }
    friend M1 operator==(X1 a, X1 b) { return {a.v == b.v}; }
    friend M1 operator<(X1 a, X1 b) { return {a.v < b.v}; }
    friend M1 operator<=(X1 a, X1 b) { return {a.v <= b.v}; }
    friend M1 operator>(X1 a, X1 b) { return {a.v > b.v}; }
    friend M1 operator>=(X1 a, X1 b) { return {a.v >= b.v}; }
};
using F32x1 = X1<float>;
using F64x1 = X1<double>;
template <class T> X1<T> sqrt(X1<T> a) { return {std::sqrt(a.v)}; }
template <class T> X1<T> abs(X1<T> a) { return {std::fabs(a.v)}; }
template <class T> M1 unordered(X1<T> a, X1<T> b) { return {a.v != a.v || b.v != b.v}; }
template <class T> X1<T> select(M1 m, X1<T> yes, X1<T> no) { return m.v ? yes : no; }

template <class T> using UintOf = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
template <class T> using IntOf = std::conditional_t<sizeof(T) == 4, int32_t, int64_t>;
template <class T> UintOf<T> bits_of(T x) { return std::bit_cast<UintOf<T>>(x); }
template <class T> T from_bits(UintOf<T> u) { return std::bit_cast<T>(u); }
template <class T> X1<T> bit_and(X1<T> a, X1<T> b) { return {from_bits<T>(bits_of(a.v) & bits_of(b.v))}; }
template <class T> X1<T> bit_or(X1<T> a, X1<T> b) { return {from_bits<T>(bits_of(a.v) | bits_of(b.v))}; }
template <class T> X1<T> bit_xor(X1<T> a, X1<T> b) { return {from_bits<T>(bits_of(a.v) ^ bits_of(b.v))}; }
template <class T> X1<T> bit_andnot(X1<T> a, X1<T> b) { return {from_bits<T>(~bits_of(a.v) & bits_of(b.v))}; }

// Keep the compiler from moving arithmetic on a value across a
// control-register access (it assumes the default environment otherwise).
template <class T> inline void fence_scalar(T& v) { __asm__ __volatile__("" : "+x"(v) : : "memory"); }
template <class V> inline void fence_value(V& v) { fence_scalar(v.v); }

// ---- integer arithmetic on the bit patterns -------------------------------------
// Lane-wise integer subtraction and signed greater-than on the raw bits of
// the elements (exponent arithmetic and range tests without conversions).
inline F32x4 bits_sub(F32x4 a, F32x4 b) {
    return {_mm_castsi128_ps(_mm_sub_epi32(_mm_castps_si128(a.v), _mm_castps_si128(b.v)))};
}
inline M32x4 bits_gt(F32x4 a, F32x4 b) {
    return {_mm_castsi128_ps(_mm_cmpgt_epi32(_mm_castps_si128(a.v), _mm_castps_si128(b.v)))};
}
inline F64x2 bits_sub(F64x2 a, F64x2 b) {
    return {_mm_castsi128_pd(_mm_sub_epi64(_mm_castpd_si128(a.v), _mm_castpd_si128(b.v)))};
}
template <class T> X1<T> bits_sub(X1<T> a, X1<T> b) { return {from_bits<T>(bits_of(a.v) - bits_of(b.v))}; }
template <class T> M1 bits_gt(X1<T> a, X1<T> b) {
    return {static_cast<IntOf<T>>(bits_of(a.v)) > static_cast<IntOf<T>>(bits_of(b.v))};
}
inline F32x4 bits_add(F32x4 a, F32x4 b) {
    return {_mm_castsi128_ps(_mm_add_epi32(_mm_castps_si128(a.v), _mm_castps_si128(b.v)))};
}
inline F64x2 bits_add(F64x2 a, F64x2 b) {
    return {_mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(a.v), _mm_castpd_si128(b.v)))};
}
template <class T> X1<T> bits_add(X1<T> a, X1<T> b) { return {from_bits<T>(bits_of(a.v) + bits_of(b.v))}; }

// Shifts of the lane patterns by a constant: logical left and right, and
// (float lanes only: SSE has no 64-bit arithmetic shift) arithmetic right.
template <int N> F32x4 bits_shl(F32x4 a) { return {_mm_castsi128_ps(_mm_slli_epi32(_mm_castps_si128(a.v), N))}; }
template <int N> F64x2 bits_shl(F64x2 a) { return {_mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(a.v), N))}; }
template <int N, class T> X1<T> bits_shl(X1<T> a) { return {from_bits<T>(bits_of(a.v) << N)}; }
template <int N> F32x4 bits_shr(F32x4 a) { return {_mm_castsi128_ps(_mm_srli_epi32(_mm_castps_si128(a.v), N))}; }
template <int N> F64x2 bits_shr(F64x2 a) { return {_mm_castsi128_pd(_mm_srli_epi64(_mm_castpd_si128(a.v), N))}; }
template <int N, class T> X1<T> bits_shr(X1<T> a) { return {from_bits<T>(bits_of(a.v) >> N)}; }
template <int N> F32x4 bits_sra(F32x4 a) { return {_mm_castsi128_ps(_mm_srai_epi32(_mm_castps_si128(a.v), N))}; }
template <int N> X1<float> bits_sra(X1<float> a) {
    return {from_bits<float>(static_cast<uint32_t>(static_cast<int32_t>(bits_of(a.v)) >> N))};
}

// The lane pattern read as a signed integer and converted to the element
// type; double lanes convert their low 32 bits (exponents, table indices).
inline F32x4 int_to_float(F32x4 a) { return {_mm_cvtepi32_ps(_mm_castps_si128(a.v))}; }
inline X1<float> int_to_float(X1<float> a) { return {static_cast<float>(static_cast<int32_t>(bits_of(a.v)))}; }
inline F64x2 int_to_float(F64x2 a) {
    return {_mm_cvtepi32_pd(_mm_shuffle_epi32(_mm_castpd_si128(a.v), _MM_SHUFFLE(3, 1, 2, 0)))};
}
inline X1<double> int_to_float(X1<double> a) {
    return {static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(bits_of(a.v))))};
}

// Table lookup: lane i gets base[k], k the low 32 bits of lane i's pattern
// read as an unsigned index (SSE has no gather: the indices go through memory).
inline F32x4 gather(const float* base, F32x4 idx) {
    alignas(16) uint32_t k[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_castps_si128(idx.v));
    return {_mm_setr_ps(base[k[0]], base[k[1]], base[k[2]], base[k[3]])};
}
inline F64x2 gather(const double* base, F64x2 idx) {
    alignas(16) uint32_t k[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_castpd_si128(idx.v));
    return {_mm_setr_pd(base[k[0]], base[k[2]])};
}
template <class T> X1<T> gather(const T* base, X1<T> idx) { return {base[static_cast<uint32_t>(bits_of(idx.v))]}; }
// Adjacent pairs of a table of doubles looked up by float lanes: lane i's
// pattern k selects base[k] (into a) and base[k + 1] (into b), one 16-byte
// load per lane; a[p], b[p] hold the lanes of half p, in the order of the
// float-to-double widening (Widened<V>::part).
inline void gather_pairs(const double* base, F32x4 idx, F64x2 (&a)[2], F64x2 (&b)[2]) {
    alignas(16) uint32_t k[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_castps_si128(idx.v));
    const __m128d p0 = _mm_loadu_pd(base + k[0]), p1 = _mm_loadu_pd(base + k[1]);
    const __m128d p2 = _mm_loadu_pd(base + k[2]), p3 = _mm_loadu_pd(base + k[3]);
    a[0] = {_mm_unpacklo_pd(p0, p1)}, b[0] = {_mm_unpackhi_pd(p0, p1)};
    a[1] = {_mm_unpacklo_pd(p2, p3)}, b[1] = {_mm_unpackhi_pd(p2, p3)};
}
inline void gather_pairs(const double* base, X1<float> idx, X1<double> (&a)[1], X1<double> (&b)[1]) {
    const uint32_t k = bits_of(idx.v);
    a[0] = {base[k]}, b[0] = {base[k + 1]};
}
// Adjacent pairs of a table of the lanes' own type: lane i's pattern k
// selects base[k] (into a) and base[k + 1] (into b), one 8-byte (floats) or
// 16-byte (doubles) load per lane.
inline void gather_pairs(const float* base, F32x4 idx, F32x4& a, F32x4& b) {
    alignas(16) uint32_t k[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_castps_si128(idx.v));
    __asm__("" : "+m"(k));  // read the indices back as loads, not as lane extractions
    auto pair = [base](uint32_t i) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + i)); };
    const __m128 p01 = _mm_castsi128_ps(_mm_unpacklo_epi64(pair(k[0]), pair(k[1])));
    const __m128 p23 = _mm_castsi128_ps(_mm_unpacklo_epi64(pair(k[2]), pair(k[3])));
    a = {_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0))}, b = {_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1))};
}
inline void gather_pairs(const double* base, F64x2 idx, F64x2& a, F64x2& b) {
    alignas(16) uint32_t k[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm_castpd_si128(idx.v));
    const __m128d p0 = _mm_loadu_pd(base + k[0]), p1 = _mm_loadu_pd(base + k[2]);
    a = {_mm_unpacklo_pd(p0, p1)}, b = {_mm_unpackhi_pd(p0, p1)};
}
template <class T> void gather_pairs(const T* base, X1<T> idx, X1<T>& a, X1<T>& b) {
    const auto k = static_cast<uint32_t>(bits_of(idx.v));
    a = {base[k]}, b = {base[k + 1]};
}
// A vector whose every lane holds the bit pattern u.
template <class V> V splat_bits(UintOf<typename V::elem> u) { return V::splat(from_bits<typename V::elem>(u)); }

// ---- constants read from memory ----------------------------------------------------
// A kernel loop that may call out (the special-lane path) keeps no constant in
// a register across the call, and GCC rebuilds each splat in every iteration
// as a scalar load and a shuffle. A constant stored as a 16-byte row and read
// through a pointer the compiler does not see through (opaque) enters the
// arithmetic as a memory operand instead.
template <class T> struct alignas(16) SplatRow { T v[16 / sizeof(T)]; };
template <class T> constexpr SplatRow<T> splat_row(T x) {
    SplatRow<T> s{};
    for (T& e : s.v) e = x;
    return s;
}
template <class T> const T* opaque(const T* p) {
    __asm__("" : "+r"(p));
    return p;
}
template <class V> V row_value(const SplatRow<typename V::elem>& s);
template <> inline F32x4 row_value<F32x4>(const SplatRow<float>& s) { return {_mm_load_ps(s.v)}; }
template <> inline F64x2 row_value<F64x2>(const SplatRow<double>& s) { return {_mm_load_pd(s.v)}; }
template <> inline X1<float> row_value<X1<float>>(const SplatRow<float>& s) { return {s.v[0]}; }
template <> inline X1<double> row_value<X1<double>>(const SplatRow<double>& s) { return {s.v[0]}; }

// ---- reciprocal estimates -------------------------------------------------------
// The processor's reciprocal estimate: relative error at most 1.5 * 2^-12.
inline F32x4 rcp_estimate(F32x4 a) { return {_mm_rcp_ps(a.v)}; }
inline X1<float> rcp_estimate(X1<float> a) { return {_mm_cvtss_f32(_mm_rcp_ss(_mm_set_ss(a.v)))}; }
// The same estimate for doubles in float range, taken on the value rounded
// to single precision and widened back (accuracy as above plus 2^-24).
inline F64x2 rcp_estimate(F64x2 a) { return {_mm_cvtps_pd(_mm_rcp_ps(_mm_cvtpd_ps(a.v)))}; }
inline X1<double> rcp_estimate(X1<double> a) {
    const __m128 f = _mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(a.v));
    return {_mm_cvtsd_f64(_mm_cvtss_sd(_mm_setzero_pd(), _mm_rcp_ss(f)))};
}

// The processor's reciprocal square-root estimate: relative error at most
// 1.5 * 2^-12; doubles in float range go through the float estimate as above.
inline F32x4 rsqrt_estimate(F32x4 a) { return {_mm_rsqrt_ps(a.v)}; }
inline X1<float> rsqrt_estimate(X1<float> a) { return {_mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(a.v)))}; }
inline F64x2 rsqrt_estimate(F64x2 a) { return {_mm_cvtps_pd(_mm_rsqrt_ps(_mm_cvtpd_ps(a.v)))}; }
inline X1<double> rsqrt_estimate(X1<double> a) {
    const __m128 f = _mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(a.v));
    return {_mm_cvtsd_f64(_mm_cvtss_sd(_mm_setzero_pd(), _mm_rsqrt_ss(f)))};
}

// ---- float <-> double ---------------------------------------------------------------
// A float vector as its double halves and back (single-precision kernels that
// refine a quotient in double precision).
template <class V> struct Widened;
template <> struct Widened<F32x4> {
    using type = F64x2;
    static constexpr int parts = 2;
    static F64x2 part(F32x4 v, int k) { return {_mm_cvtps_pd(k == 0 ? v.v : _mm_movehl_ps(v.v, v.v))}; }
    static F32x4 join(const F64x2 (&p)[2]) { return {_mm_movelh_ps(_mm_cvtpd_ps(p[0].v), _mm_cvtpd_ps(p[1].v))}; }
};
template <> struct Widened<X1<float>> {
    using type = X1<double>;
    static constexpr int parts = 1;
    static X1<double> part(X1<float> v, int) { return {static_cast<double>(v.v)}; }
    static X1<float> join(const X1<double> (&p)[1]) { return {static_cast<float>(p[0].v)}; }
};

// ---- rounding to integral values ----------------------------------------------------
// 2^52 for doubles, 2^23 for floats: from there on every value is integral.
template <class T> constexpr T kIntegralFrom = T(1) / std::numeric_limits<T>::epsilon();

enum class Rnd {
    Floor,         // toward -inf
    Ceil,          // toward +inf
    Trunc,         // toward zero
    Nearest,       // to nearest, ties to even
    Current,       // the control register's direction
    CurrentQuiet,  // the same without the inexact flag
};

#if defined(__SSE4_1__)
// One rounding instruction per vector.
template <Rnd R> constexpr int round_imm() {
    switch (R) {
        case Rnd::Floor: return _MM_FROUND_TO_NEG_INF | _MM_FROUND_RAISE_EXC;
        case Rnd::Ceil: return _MM_FROUND_TO_POS_INF | _MM_FROUND_RAISE_EXC;
        case Rnd::Trunc: return _MM_FROUND_TO_ZERO | _MM_FROUND_RAISE_EXC;
        case Rnd::Nearest: return _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_RAISE_EXC;
        case Rnd::Current: return _MM_FROUND_CUR_DIRECTION | _MM_FROUND_RAISE_EXC;
        case Rnd::CurrentQuiet: return _MM_FROUND_CUR_DIRECTION | _MM_FROUND_NO_EXC;
    }
    return 0;
}
template <Rnd R> F32x4 round_int(F32x4 x) { return {_mm_round_ps(x.v, round_imm<R>())}; }
template <Rnd R> F64x2 round_int(F64x2 x) { return {_mm_round_pd(x.v, round_imm<R>())}; }
template <Rnd R> X1<float> round_int(X1<float> x) {
    return {_mm_cvtss_f32(_mm_round_ss(_mm_setzero_ps(), _mm_set_ss(x.v), round_imm<R>()))};
}
template <Rnd R> X1<double> round_int(X1<double> x) {
    return {_mm_cvtsd_f64(_mm_round_sd(_mm_setzero_pd(), _mm_set_sd(x.v), round_imm<R>()))};
}
#else
// Without a rounding instruction: adding and subtracting 2^52 (2^23 for
// floats), with the sign of x, lands on an integer next to x in the current
// direction (exact for |x| below that power, which is already integral
// above it). Floor, Ceil and Trunc then step by one where the neighbour lies
// on the wrong side; the sign of x is OR-ed back so that zero results keep it.

template <Rnd R, class V> V round_int(V x) {
    using T = typename V::elem;
    const V sign = V::splat(T(-0.0));
    const V one = V::splat(T(1));
    const V big = V::splat(kIntegralFrom<T>);
    const V s = bit_and(x, sign);
    V m = abs(x);
    V shift = bit_or(big, s);
    uint32_t csr = 0;
    if constexpr (R == Rnd::CurrentQuiet) {
        csr = _mm_getcsr();
        fence_value(shift);
    }
    V y;
    if constexpr (R == Rnd::Nearest) {
        // Ties to even whatever the caller's direction: round the magnitude
        // with the direction forced to nearest.
        const uint32_t saved = _mm_getcsr();
        _mm_setcsr(saved & ~0x6000u);
        fence_value(m);
        y = (m + big) - big;
        fence_value(y);
        _mm_setcsr(saved);
        y = bit_or(y, s);
    } else {
        y = bit_or((x + shift) - shift, s);
    }
    if constexpr (R == Rnd::Floor) y = bit_or(y - select(y > x, one, V::splat(T(0))), s);
    if constexpr (R == Rnd::Ceil) y = bit_or(y + select(y < x, one, V::splat(T(0))), s);
    if constexpr (R == Rnd::Trunc) {
        const V t = abs(y);
        y = bit_or(t - select(t > m, one, V::splat(T(0))), s);
    }
    if constexpr (R == Rnd::CurrentQuiet) {
        fence_value(y);
        _mm_setcsr(csr);  // drop the inexact flag the additions raised
    }
    // Integral already (or inf/NaN): x itself, a NaN quieted by the multiply.
    return select(m < big, y, x * one);
}
#endif

// ---- complex elements ----------------------------------------------------------
// Two consecutive vectors of (re, im) pairs as one vector of real parts and one
// of imaginary parts, and back; the one-lane type holds one element as (re, im).
inline void deinterleave(F32x4 lo, F32x4 hi, F32x4& re, F32x4& im) {
    re = {_mm_shuffle_ps(lo.v, hi.v, _MM_SHUFFLE(2, 0, 2, 0))}, im = {_mm_shuffle_ps(lo.v, hi.v, _MM_SHUFFLE(3, 1, 3, 1))};
}
inline void interleave(F32x4 re, F32x4 im, F32x4& lo, F32x4& hi) {
    lo = {_mm_unpacklo_ps(re.v, im.v)}, hi = {_mm_unpackhi_ps(re.v, im.v)};
}
inline void deinterleave(F64x2 lo, F64x2 hi, F64x2& re, F64x2& im) {
    re = {_mm_unpacklo_pd(lo.v, hi.v)}, im = {_mm_unpackhi_pd(lo.v, hi.v)};
}
inline void interleave(F64x2 re, F64x2 im, F64x2& lo, F64x2& hi) {
    lo = {_mm_unpacklo_pd(re.v, im.v)}, hi = {_mm_unpackhi_pd(re.v, im.v)};
}
template <class T> void deinterleave(X1<T> lo, X1<T> hi, X1<T>& re, X1<T>& im) { re = lo, im = hi; }
template <class T> void interleave(X1<T> re, X1<T> im, X1<T>& lo, X1<T>& hi) { lo = re, hi = im; }

}  // namespace KEX_LVL
}  // namespace kex

#if defined(KEX_LEVEL_WIDE)
#include "kex/simd/simd_avx2.h"
#endif
#if defined(ORVU_LEVEL_W3)
#include "kex/simd/simd_avx512.h"
#endif

namespace kex {
namespace KEX_LVL {

// Vector and one-lane types of an element type. Narrow is the 128-bit type at
// every level; Vec is the widest type of the unit's level.
template <class T> using Narrow = std::conditional_t<sizeof(T) == 4, F32x4, F64x2>;
template <class T> struct VecOf;
#if defined(ORVU_LEVEL_W3)
template <> struct VecOf<float> { using type = F32x16; };
template <> struct VecOf<double> { using type = F64x8; };
#elif defined(ORVU_LEVEL_W2)
template <> struct VecOf<float> { using type = F32x8; };
template <> struct VecOf<double> { using type = F64x4; };
#else
template <> struct VecOf<float> { using type = F32x4; };
template <> struct VecOf<double> { using type = F64x2; };
#endif
template <class T> using Vec = typename VecOf<T>::type;
template <class T> using Lane = X1<T>;

}  // namespace KEX_LVL
}  // namespace kex
