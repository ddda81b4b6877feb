// Plain -O3 loops at the SSE2 level: the peers of Abs, Div, Inv and Modf.
#include <cmath>
#include <cstdint>

#define REF_UNARY(name, T, expr) \
    void name(int32_t n, const T* a, T* r) { for (int32_t i = 0; i < n; ++i) { const T x = a[i]; r[i] = (expr); } }
#define REF_BINARY(name, T, expr) \
    void name(int32_t n, const T* a, const T* b, T* r) { for (int32_t i = 0; i < n; ++i) r[i] = (expr); }
REF_UNARY(ref_sAbs, float, std::fabs(x))
REF_UNARY(ref_dAbs, double, std::fabs(x))
REF_UNARY(ref_sInv, float, 1.0f / x)
REF_UNARY(ref_dInv, double, 1.0 / x)
REF_BINARY(ref_sDiv, float, a[i] / b[i])
REF_BINARY(ref_dDiv, double, a[i] / b[i])
void ref_dModf(int32_t n, const double* a, double* r1, double* r2) {
    for (int32_t i = 0; i < n; ++i) r2[i] = std::modf(a[i], &r1[i]);
}
void ref_sModf(int32_t n, const float* a, float* r1, float* r2) {
    for (int32_t i = 0; i < n; ++i) r2[i] = std::modf(a[i], &r1[i]);
}
void ref_dPackI(int32_t n, const double* a, int32_t inc, double* y) {
    for (int32_t i = 0; i < n; ++i) y[i] = a[i * inc];
}
