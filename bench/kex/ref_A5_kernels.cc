// Plain -O3 loops at the SSE4.1 level: the peers of the rounding kernels and
// LinearFrac (the compiler turns floor, ceil, trunc, rint and nearbyint into
// the rounding instruction).
#include <cmath>
#include <cstdint>

#define REF_UNARY(name, T, expr) \
    void name(int32_t n, const T* a, T* r) { for (int32_t i = 0; i < n; ++i) { const T x = a[i]; r[i] = (expr); } }
REF_UNARY(ref_dFloor, double, std::floor(x))
REF_UNARY(ref_dCeil, double, std::ceil(x))
REF_UNARY(ref_dTrunc, double, std::trunc(x))
REF_UNARY(ref_dRint, double, std::rint(x))
REF_UNARY(ref_dNearbyInt, double, std::nearbyint(x))
REF_UNARY(ref_dRound, double, std::round(x))
REF_UNARY(ref_dFrac, double, x - std::trunc(x))
REF_UNARY(ref_sFloor, float, std::floor(x))
REF_UNARY(ref_sRound, float, std::round(x))
void ref_dLinearFrac(int32_t n, const double* a, const double* b, double sa, double oa, double sb, double ob,
                     double* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = (sa * a[i] + oa) / (sb * b[i] + ob);
}
void ref_sLinearFrac(int32_t n, const float* a, const float* b, float sa, float oa, float sb, float ob, float* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = (sa * a[i] + oa) / (sb * b[i] + ob);
}
