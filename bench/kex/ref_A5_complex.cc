// Plain loops of the complex arithmetic formulas at the SSE4.1 level, the
// peers of the Mul, MulByConj, Div and Abs kernels (no special-value or
// range handling: what the compiler makes of the textbook formula).
#include <cmath>
#include <cstdint>

#include "orvu_kex_shapes.h"

#define REF_CX(T, C, s)                                                                            \
    void ref_##s##Mul(int32_t n, const C* a, const C* b, C* r) {                                   \
        for (int32_t i = 0; i < n; ++i)                                                            \
            r[i] = {a[i].re * b[i].re - a[i].im * b[i].im, a[i].re * b[i].im + a[i].im * b[i].re}; \
    }                                                                                              \
    void ref_##s##MulByConj(int32_t n, const C* a, const C* b, C* r) {                             \
        for (int32_t i = 0; i < n; ++i)                                                            \
            r[i] = {a[i].re * b[i].re + a[i].im * b[i].im, a[i].im * b[i].re - a[i].re * b[i].im}; \
    }                                                                                              \
    void ref_##s##Div(int32_t n, const C* a, const C* b, C* r) {                                   \
        for (int32_t i = 0; i < n; ++i) {                                                          \
            const T d = b[i].re * b[i].re + b[i].im * b[i].im;                                     \
            r[i] = {(a[i].re * b[i].re + a[i].im * b[i].im) / d, (a[i].im * b[i].re - a[i].re * b[i].im) / d}; \
        }                                                                                          \
    }                                                                                              \
    void ref_##s##Abs(int32_t n, const C* a, T* r) {                                               \
        for (int32_t i = 0; i < n; ++i) r[i] = std::sqrt(a[i].re * a[i].re + a[i].im * a[i].im);   \
    }
REF_CX(float, OrvuComplex8, c)
REF_CX(double, OrvuComplex16, z)
