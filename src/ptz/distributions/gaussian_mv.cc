// Multivariate normal vectors: standard normals drawn as n vectors of dimen
// values, then mapped through the caller's triangular factor T (full, packed
// or diagonal storage) and shifted by the mean.
#include <cstdint>

#include "orvu_linalg.h"
#include "ptz/distributions/common.h"

namespace ptz::dist {
namespace {

// Factors up to this order go to the platform's single-threaded product,
// larger ones to the library product.
constexpr int32_t kSmallOrder = 10;

void trmm_full(int32_t small, const int32_t* m, const int32_t* n, const double* t, double* r) {
    const double one = 1.0;
    (small ? orvu_blas_xdtrmm_4kex : orvu_blas4kex_dtrmm)("L", "U", "T", "N", m, n, &one, t, m, r, m);
}
void trmm_full(int32_t small, const int32_t* m, const int32_t* n, const float* t, float* r) {
    const float one = 1.0f;
    (small ? orvu_blas_xstrmm_4kex : orvu_blas4kex_strmm)("L", "U", "T", "N", m, n, &one, t, m, r, m);
}
void trmm_packed(const int32_t* m, const int32_t* n, const double* t, double* r) {
    const double one = 1.0;
    orvu_blas4kex_dptrmm("L", "L", "N", "N", m, n, &one, t, r, m);
}
void trmm_packed(const int32_t* m, const int32_t* n, const float* t, float* r) {
    const float one = 1.0f;
    orvu_blas4kex_sptrmm("L", "L", "N", "N", m, n, &one, t, r, m);
}

template <class T>
int32_t gaussian_mv(int32_t method, RngStream* s, int32_t n, T* r, int32_t dimen, int32_t mstorage,
                    const T* mean, const T* t) {
    if (dimen == 1) return gaussian(method, s, n, r, mean[0], t[0]);
    // n·dimen values must be one count of the Gaussian generator.
    const int64_t total = int64_t(n) * dimen;
    if (total > INT32_MAX) return PTZ_ERROR_BAD_ARGUMENT;
    const int32_t st = gaussian(method, s, int32_t(total), r, T(0), T(1));
    if (st < 0 || n <= 0 || dimen <= 0) return st;
    switch (mstorage) {
        case PTZ_MATRIX_STORAGE_FULL:
            trmm_full(dimen <= kSmallOrder, &dimen, &n, t, r);
            break;
        case PTZ_MATRIX_STORAGE_PACKED:
            trmm_packed(&dimen, &n, t, r);
            break;
        case PTZ_MATRIX_STORAGE_DIAGONAL:
            for (int32_t k = 0; k < n; ++k) {
                T* v = r + int64_t(k) * dimen;
                for (int32_t j = 0; j < dimen; ++j) v[j] = v[j] * t[j] + mean[j];
            }
            return st;
        default:
            return st;  // the standard normals stay as drawn
    }
    for (int32_t k = 0; k < n; ++k) {
        T* v = r + int64_t(k) * dimen;
        for (int32_t j = 0; j < dimen; ++j) v[j] = v[j] + mean[j];
    }
    return st;
}

}  // namespace
}  // namespace ptz::dist

extern "C" {
ORVU_API int32_t _ptzdRngGaussianMV(int32_t method, RngStream* s, int32_t n, double* r, int32_t dimen,
                                    int32_t mstorage, const double* mean, const double* t) {
    return ptz::dist::gaussian_mv(method, s, n, r, dimen, mstorage, mean, t);
}
ORVU_API int32_t _ptzsRngGaussianMV(int32_t method, RngStream* s, int32_t n, float* r, int32_t dimen,
                                    int32_t mstorage, const float* mean, const float* t) {
    return ptz::dist::gaussian_mv(method, s, n, r, dimen, mstorage, mean, t);
}
}
