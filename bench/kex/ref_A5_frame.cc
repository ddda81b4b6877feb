// Plain loops the compiler vectorises on its own, as the peer of the
// arithmetic kernels (compiled at -O3 for the same level).
#include <cstdint>

#define REF_BINARY(name, T, op)                                                   \
    void name(int32_t n, const T* a, const T* b, T* r) {                          \
        for (int32_t i = 0; i < n; ++i) r[i] = a[i] op b[i];                      \
    }
REF_BINARY(ref_sAdd, float, +)
REF_BINARY(ref_sSub, float, -)
REF_BINARY(ref_sMul, float, *)
REF_BINARY(ref_dAdd, double, +)
REF_BINARY(ref_dSub, double, -)
REF_BINARY(ref_dMul, double, *)
void ref_sSqr(int32_t n, const float* a, float* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = a[i] * a[i];
}
void ref_dSqr(int32_t n, const double* a, double* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = a[i] * a[i];
}
