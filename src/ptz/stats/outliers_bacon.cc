// Outlier detection by BACON, the blocked adaptive computationally efficient
// outlier nominator of Billor, Hadi and Velleman (2000), their algorithm 3:
//
// 1. An initial basic subset of m = 4 q observations: those with the
//    smallest Mahalanobis distances under the classical estimates (version
//    1), or the smallest Euclidean distances from the coordinate-wise median
//    (version 2, robust to a larger share of outliers). While its covariance
//    is singular the subset grows by q observations in the same order.
// 2. Distances of all observations under the subset's mean and covariance.
// 3. The new subset: the observations with distance below
//    c_npr chi_{q, alpha/n}, where chi is the square root of the chi-square
//    quantile with upper tail alpha / n and the correction
//    c_npr = 1 + (q + 1) / (n - q) + 2 / (n - 1 - 3 q) + max(0, (h - r) / (h + r)),
//    h = (n + q + 1) / 2, r the current subset's size.
// 4. Repeat 2-3 until the subset changes by no more than the stopping share
//    of the observations. Observations outside the final subset are the
//    outliers: weight 0; the others weight 1.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ptz/stats/robust_start.h"

namespace orvu::ss::robust {
namespace {

constexpr int64_t kMaxIterations = 100;

struct BaconParams {
    double start = 2, alpha = 0.05, stop = 0;
};

template <class T>
int32_t bacon_params(const SSTask* t, BaconParams* o) {
    double v[3];
    int64_t k = 0;
    if (const int32_t st = read_params<T>(t, t->outlierParamsN, t->outlierParams, 3, kBadOutlierParamsN,
                                          kBadOutlierParams, v, &k))
        return st;
    double* field[3] = {&o->start, &o->alpha, &o->stop};
    for (int64_t e = 0; e < k; ++e) *field[e] = v[e];
    const bool ok = (o->start == 1 || o->start == 2) && o->alpha > 0 && o->alpha < 1 && o->stop >= 0 && o->stop < 1;
    return ok ? int32_t(kOk) : int32_t(kBadOutlierParams);
}

// Sample covariance (divisor weight - 1) of the flagged observations.
bool subset_estimates(const WorkSet& w, const double* centre, const double* u, double* mu, double* cov) {
    const double s0 = moments(w, centre, u, mu, cov);
    if (!(s0 > 1)) return false;
    for (int64_t e = 0; e < w.q * w.q; ++e) cov[e] *= s0 / (s0 - 1);
    return true;
}

template <class T>
int32_t bacon(SSTask* t, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    int64_t p, n;
    if (!t->p || (p = read_int(t, t->p)) < 1) return kBadDimension;
    if (!t->n || (n = read_int(t, t->n)) < 5 * p) return kBadObsCount;
    const int64_t xs = t->xStorage ? read_int(t, t->xStorage) : 0;
    if (xs != ORVU_SS_X_ROWS && xs != ORVU_SS_X_COLUMNS) return kBadStorage;
    if (!t->outlierWeights) return kNoOutlierWeights;
    if (method != ORVU_SS_METHOD_BACON) return kBadMethod;
    if (!t->x) return kNoX;
    BaconParams prm;
    if (const int32_t st = bacon_params<T>(t, &prm)) return st;
    Dims d{p, n, xs == ORVU_SS_X_COLUMNS, xs == ORVU_SS_X_COLUMNS ? p : n};

    // Component list, z (n x p), weights, distances, two subset flags and an
    // ordering scratch (n each), the subset's estimates, the chunks' scratch.
    WorkSet w;
    int64_t* comp;
    double* weights;
    const BlockSize extra = BlockSize().add(n, 5, sizeof(double)).add(4 * p + 2, p, sizeof(double));
    void* block = open_work(w, t, n, p, thr, extra, &comp, &weights);
    if (!block) return kNoMemory;
    const int64_t q = w.q;
    double* dist = weights + n;
    double* u = dist + n;
    double* un = u + n;
    double* tmp = un + n;
    double* mu = tmp + n;
    double* cov = mu + p;
    double* fac = cov + p * p;
    double* linv = fac + p * p;
    double* centre = linv + p * p;

    int32_t st = kOk;
    if (q > 0) {
        gather<T>(t, d, comp, w, weights);
        // Step 1: the ordering distances of the chosen version. The
        // coordinate-wise median is also the centre the subset's moments are
        // summed about (a far-away first observation would make them cancel).
        for (int64_t a = 0; a < q; ++a) {
            std::memcpy(tmp, w.z + a * n, sizeof(double) * n);
            centre[a] = median_of(tmp, n);
        }
        if (prm.start == 1) {
            moments(w, centre, nullptr, mu, cov);
            if (!distances_under(w, mu, cov, fac, linv, dist, nullptr)) st = kPotrfFailed;
        } else {
            std::fill(dist, dist + n, 0.0);
            for (int64_t a = 0; a < q; ++a)
                for (int64_t i = 0; i < n; ++i) dist[i] += (w.z[a * n + i] - centre[a]) * (w.z[a * n + i] - centre[a]);
        }
        // The m smallest, m growing by q while the subset is singular.
        for (int64_t m = std::min(4 * q, n); st == kOk; m = std::min(m + q, n)) {
            std::memcpy(tmp, dist, sizeof(double) * n);
            for (int64_t i = 0; i < n; ++i)
                if (std::isnan(tmp[i])) tmp[i] = HUGE_VAL;
            std::nth_element(tmp, tmp + (m - 1), tmp + n);
            for (int64_t i = 0; i < n; ++i) u[i] = dist[i] <= tmp[m - 1] ? 1.0 : 0.0;
            if (subset_estimates(w, centre, u, mu, cov) && distances_under(w, mu, cov, fac, linv, tmp, nullptr)) break;
            if (m == n) st = kPotrfFailed;
        }
    }
    if (q > 0 && st == kOk) {
        const double nn = double(n), qq = double(q), h = std::floor((nn + qq + 1) / 2);
        const double cnp = 1 + (qq + 1) / (nn - qq) + 2 / (nn - 1 - 3 * qq);
        const double chi = std::sqrt(chi2_upper_quantile(qq, prm.alpha / nn));
        for (int64_t it = 0; it < kMaxIterations && st == kOk; ++it) {
            // Steps 2-3 (tmp holds the distances of the current subset).
            double r = 0;
            for (int64_t i = 0; i < n; ++i) r += u[i];
            const double cut = (cnp + std::max(0.0, (h - r) / (h + r))) * chi, cut2 = cut * cut;
            int64_t changed = 0;
            for (int64_t i = 0; i < n; ++i) {
                un[i] = tmp[i] < cut2 ? 1.0 : 0.0;
                changed += un[i] != u[i];
            }
            std::memcpy(u, un, sizeof(double) * n);
            if (double(changed) <= prm.stop * nn) break;
            std::memcpy(centre, mu, sizeof(double) * q);
            if (!subset_estimates(w, centre, u, mu, cov) || !distances_under(w, mu, cov, fac, linv, tmp, nullptr))
                st = kPotrfFailed;
        }
    }
    if (q > 0 && st == kOk) {
        T* out = static_cast<T*>(t->outlierWeights);
        for (int64_t i = 0; i < n; ++i) out[i] = T(u[i]);
    }
    orvu_serv_deallocate(block);
    return st;
}

}  // namespace
}  // namespace orvu::ss::robust

extern "C" {
ORVU_API int32_t _ptzdSSOutliersDetection(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                          const OrvuThreadingTable* thr) {
    return orvu::ss::robust::bacon<double>(task, method, thr);
}
ORVU_API int32_t _ptzsSSOutliersDetection(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                          const OrvuThreadingTable* thr) {
    return orvu::ss::robust::bacon<float>(task, method, thr);
}
}
