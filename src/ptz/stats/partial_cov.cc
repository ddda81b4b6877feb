// Partial covariance and correlation of the components Y given the
// components Z: P = S_YY - S_YZ S_ZZ^-1 S_ZY, R_ij = P_ij / sqrt(P_ii P_jj).
#include <cmath>

#include "ptz/stats/block_size.h"
#include "ptz/stats/la.h"
#include "ptz/stats/mtx_storage.h"
#include "ptz/stats/task.h"

namespace orvu::ss {
namespace {

template <class T>
int32_t partial_cov(SSTask* t, uint64_t mask, int32_t method) {
    if (!t) return kNullTask;
    // The input: cov when attached, otherwise cor.
    const bool use_cov = t->cov != nullptr;
    const T* in = static_cast<const T*>(use_cov ? t->cov : t->cor);
    const void* in_code = use_cov ? t->covStorage : t->corStorage;
    if (!in) return -4018;
    if (!in_code) return kNoStorageOrCount;
    if (!t->partialCovIndices) return -4045;
    const bool want_cov = mask & ORVU_SS_PARTIAL_COV, want_cor = mask & ORVU_SS_PARTIAL_COR;
    if (want_cov && !t->partialCov) return -4046;
    if (want_cov && !t->partialCovStorage) return kNoStorageOrCount;
    if (want_cor && !t->partialCor) return -4047;
    if (want_cor && !t->partialCorStorage) return kNoStorageOrCount;
    if (!(method & ORVU_SS_METHOD_PARTIAL)) return kBadMethod;
    int64_t p;
    if (!t->p || (p = read_int(t, t->p)) < 1) return kBadPartialIndices;
    int64_t k = 0, m = 0;
    for (int64_t j = 0; j < p; ++j) {
        const int64_t v = read_int_at(t, t->partialCovIndices, j);
        k += v == 1;
        m += v == -1;
    }
    if (k == 0 || m == 0) return kBadPartialIndices;

    // S_ZZ (m x m), S_YZ (k x m), A (k x m), P (k x k), all column-major, and
    // the Y and Z component lists.
    T* zz = static_cast<T*>(BlockSize()
                                .add(m, m, sizeof(T))
                                .add(2, k, m, sizeof(T))
                                .add(k, k, sizeof(T))
                                .add(k + m, sizeof(int64_t))
                                .allocate());
    if (!zz) return kNoMemory;
    T* yz = zz + m * m;
    T* a = yz + k * m;
    T* pc = a + k * m;
    int64_t* ys = reinterpret_cast<int64_t*>(pc + k * k);
    int64_t* zs = ys + k;
    for (int64_t j = 0, iy = 0, iz = 0; j < p; ++j) {
        const int64_t v = read_int_at(t, t->partialCovIndices, j);
        if (v == 1) ys[iy++] = j;
        if (v == -1) zs[iz++] = j;
    }
    const int lin = mtx_layout(read_int(t, in_code));
    for (int64_t b = 0; b < m; ++b) {
        for (int64_t r = 0; r < m; ++r) zz[r + b * m] = T(get_sym(in, lin, p, zs[r], zs[b]));
        for (int64_t r = 0; r < k; ++r) yz[r + b * k] = T(get_sym(in, lin, p, ys[r], zs[b]));
    }
    for (int64_t b = 0; b < k; ++b)
        for (int64_t r = 0; r < k; ++r) pc[r + b * k] = T(get_sym(in, lin, p, ys[r], ys[b]));

    const int32_t mm = int32_t(m), kk = int32_t(k);
    int32_t info = 0;
    int32_t st = kOk;
    la::potrf("U", &mm, zz, &mm, &info);
    if (info != 0) st = kPotrfFailed;
    if (st == kOk) {
        la::potri("U", &mm, zz, &mm, &info);
        if (info != 0) st = kPotriFailed;
    }
    if (st == kOk) {
        for (int64_t b = 0; b < m; ++b)   // complete the lower triangle of the inverse
            for (int64_t r = b + 1; r < m; ++r) zz[r + b * m] = zz[b + r * m];
        const T one = 1, zero = 0, minus = -1;
        la::gemm("N", "N", &kk, &mm, &mm, &one, yz, &kk, zz, &mm, &zero, a, &kk);      // A = S_YZ S_ZZ^-1
        la::gemm("N", "T", &kk, &kk, &mm, &minus, a, &kk, yz, &kk, &one, pc, &kk);    // P = S_YY - A S_ZY
        const int lc = want_cov ? mtx_layout(read_int(t, t->partialCovStorage)) : 0;
        const int lr = want_cor ? mtx_layout(read_int(t, t->partialCorStorage)) : 0;
        for (int64_t i = 0; i < k; ++i)
            for (int64_t j = i; j < k; ++j) {
                const double v = pc[i + j * k];
                if (want_cov) put_sym(static_cast<T*>(t->partialCov), lc, k, i, j, v);
                if (want_cor)
                    put_sym(static_cast<T*>(t->partialCor), lr, k, i, j,
                            v / std::sqrt(double(pc[i + i * k]) * double(pc[j + j * k])));
            }
    }
    orvu_serv_deallocate(zz);
    return st;
}

}  // namespace
}  // namespace orvu::ss

extern "C" {
ORVU_API int32_t _ptzdSSPartialCovariance(SSTask* task, uint64_t mask, int32_t method) {
    return orvu::ss::partial_cov<double>(task, mask, method);
}
ORVU_API int32_t _ptzsSSPartialCovariance(SSTask* task, uint64_t mask, int32_t method) {
    return orvu::ss::partial_cov<float>(task, mask, method);
}
}
