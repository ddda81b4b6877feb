// Mahalanobis distances of the observations from the task's `mean` under its
// `cov` (the processed components' sub-matrix), one per observation into the
// task's `outlierWeights` array: d_i = |L^-1 (x_i - mean)| with cov = L L^T.
// The distances are whitened deviations' lengths, sums of squares, so their
// relative error stays near the factor's condition number times the rounding
// unit instead of the covariance's.
#include <cmath>

#include "ptz/stats/mtx_storage.h"
#include "ptz/stats/robust_common.h"

namespace orvu::ss::robust {
namespace {

template <class T>
int32_t mah_distance(SSTask* t, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    Dims d;
    if (const int32_t st = common_checks(t, true, &d)) return st;
    if (!t->mean) return kNoMean;
    if (!t->cov) return kNoCov;
    if (!t->covStorage) return kNoStorageOrCount;
    const int64_t code = read_int(t, t->covStorage);
    if (code < 0 || code > 2) return kBadStorage;
    if (!t->outlierWeights) return kNoOutlierWeights;

    const int64_t p = d.p, n = d.n;
    WorkSet w;
    int64_t* comp;
    double* d2;
    const BlockSize extra = BlockSize().add(n, sizeof(double)).add(2, p, p, sizeof(double)).add(p, sizeof(double));
    void* block = open_work(w, t, n, p, thr, extra, &comp, &d2);
    if (!block) return kNoMemory;
    const int64_t q = w.q;
    double* mu = d2 + n;
    double* cov = mu + q;
    double* linv = cov + q * q;
    int32_t st = kOk;
    if (q > 0) {
        gather<T>(t, d, comp, w, nullptr);
        w.v = nullptr;
        const int layout = mtx_layout(code);
        for (int64_t a = 0; a < q; ++a) {
            mu[a] = double(static_cast<const T*>(t->mean)[comp[a]]);
            for (int64_t b = 0; b < q; ++b)
                cov[a + b * q] = get_sym(static_cast<const T*>(t->cov), layout, p, comp[a], comp[b]);
        }
        if (!factor_inverse(cov, q, linv, nullptr)) {
            st = kPotrfFailed;
        } else {
            distances(w, mu, linv, d2);
            T* out = static_cast<T*>(t->outlierWeights);
            for (int64_t i = 0; i < n; ++i) out[i] = T(std::sqrt(d2[i]));
        }
    }
    orvu_serv_deallocate(block);
    return st;
}

}  // namespace
}  // namespace orvu::ss::robust

extern "C" {
ORVU_API int32_t _ptzdSSMahDistance(SSTask* task, uint32_t, uint32_t, int32_t, int32_t,
                                    const OrvuThreadingTable* thr) {
    return orvu::ss::robust::mah_distance<double>(task, thr);
}
ORVU_API int32_t _ptzsSSMahDistance(SSTask* task, uint32_t, uint32_t, int32_t, int32_t,
                                    const OrvuThreadingTable* thr) {
    return orvu::ss::robust::mah_distance<float>(task, thr);
}
}
