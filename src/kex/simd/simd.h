// Thin vector types over the SSE registers, one set of definitions per level:
// F32x4 (4 floats) and F64x2 (2 doubles), their lane masks, and the one-lane
// scalar types F32x1 / F64x1 with the same interface, so an algorithm written
// once runs on full blocks and on the tail. Operations whose best instruction
// depends on the level (blend, rounding) pick it at compile time.
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

#include <cmath>
#include <cstdint>
#include <cstring>

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

// Vector and one-lane types of an element type.
template <class T> struct VecOf;
template <> struct VecOf<float> { using type = F32x4; };
template <> struct VecOf<double> { using type = F64x2; };
template <class T> using Vec = typename VecOf<T>::type;
template <class T> using Lane = X1<T>;

}  // namespace KEX_LVL
}  // namespace kex
