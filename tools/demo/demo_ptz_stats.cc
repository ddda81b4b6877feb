// Summary statistics of generated data: three correlated components, the
// same observations in row and in column storage, with the one-pass method,
// streamed in two portions, then a partial correlation and a pooled
// covariance.
#include <cmath>
#include <cstdio>
#include <vector>

#include "orvu_ptz_stats.h"

namespace {

// A small deterministic generator: a 64-bit LCG and Box-Muller.
struct Gen {
    uint64_t s = 12345;
    double uniform() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return (double((s >> 11)) + 0.5) / 9007199254740992.0;
    }
    double normal() { return std::sqrt(-2 * std::log(uniform())) * std::cos(6.283185307179586 * uniform()); }
};

void print_vec(const char* name, const double* v, int p) {
    std::printf("  %-10s", name);
    for (int j = 0; j < p; ++j) std::printf(" %12.6f", v[j]);
    std::printf("\n");
}

}  // namespace

extern "C" void orvu_demo_ptz_stats() {
    const int32_t p = 3, n_all = 10000;
    Gen g;
    std::vector<double> obs(n_all * p);
    for (int i = 0; i < n_all; ++i) {
        const double a = g.normal(), b = g.normal(), c = g.normal();
        obs[i * p + 0] = 10 + a;
        obs[i * p + 1] = -5 + 2 * (0.6 * a + 0.8 * b);
        obs[i * p + 2] = 0.5 * c * c;   // skewed
    }
    for (int32_t storage : {ORVU_SS_X_COLUMNS, ORVU_SS_X_ROWS}) {
        // Two portions of n_all / 2 observations in the chosen layout.
        int32_t n = n_all / 2, cov_st = ORVU_SS_MTX_FULL, cor_st = ORVU_SS_MTX_L_PACKED;
        std::vector<double> x(n * p);
        double mean[3], var[3], skew[3], kurt[3], cov[9], cor[6], acc[2] = {0, 0};
        SSTask* task = nullptr;
        __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
        __ptzdSSEditMoments(task, mean, nullptr, nullptr, nullptr, var, nullptr, nullptr);
        __ptzdSSEditCovCor(task, nullptr, cov, &cov_st, cor, &cor_st);
        __ptzdSSEditTask(task, 14, kurt);
        __ptzdSSEditTask(task, 15, skew);
        __ptzdSSEditTask(task, 23, acc);
        // Skewness and kurtosis need the third and fourth raw and central moments.
        double r2[3], r3[3], r4[3], c3[3], c4[3];
        __ptzdSSEditMoments(task, nullptr, r2, r3, r4, nullptr, c3, c4);
        const uint64_t mask = ORVU_SS_MEAN | ORVU_SS_CEN2 | ORVU_SS_SKEWNESS | ORVU_SS_KURTOSIS | ORVU_SS_COV | ORVU_SS_COR;
        int32_t st = 0;
        for (int part = 0; part < 2; ++part) {
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < p; ++j) {
                    const double v = obs[(part * n + i) * p + j];
                    (storage == ORVU_SS_X_COLUMNS ? x[i * p + j] : x[j * n + i]) = v;
                }
            st |= _ptzdSSBasic(task, uint32_t(mask), uint32_t(mask >> 32), ORVU_SS_METHOD_1PASS, 0,
                               orvu_serv_threading_table());
        }
        std::printf("%s storage, %d observations in two portions (status %d, W = %.0f):\n",
                    storage == ORVU_SS_X_COLUMNS ? "column" : "row", n_all, st, acc[0]);
        print_vec("mean", mean, p);
        print_vec("variance", var, p);
        print_vec("skewness", skew, p);
        print_vec("kurtosis", kurt, p);
        std::printf("  covariance (full):         %9.5f %9.5f %9.5f / %9.5f %9.5f / %9.5f\n", cov[0], cov[1], cov[2],
                    cov[4], cov[5], cov[8]);
        std::printf("  correlation (lower packed, variances on the diagonal): r10 = %.5f  r20 = %.5f  r21 = %.5f\n",
                    cor[1], cor[3], cor[4]);
        __ptzSSDeleteTask(&task);
    }

    // Partial correlation of components 1 and 2 given component 0.
    {
        int32_t q = 3, st = 0, idx[3] = {-1, 1, 1};
        double cov[9] = {1.0, 1.2, 0.1, 1.2, 4.0, 0.3, 0.1, 0.3, 0.5}, pc[4], pr[4];
        SSTask* task = nullptr;
        __ptzdSSNewTask(&task, &q, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        __ptzdSSEditPartialCovCor(task, idx, cov, &st, nullptr, nullptr, pc, &st, pr, &st);
        const int32_t s = _ptzdSSPartialCovariance(task, ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, 1);
        std::printf("partial covariance of (1, 2) given 0 (status %d): [%.4f %.4f; %.4f %.4f], partial r = %.4f\n", s,
                    pc[0], pc[1], pc[2], pc[3], pr[1]);
        __ptzSSDeleteTask(&task);
    }
    // Pooled covariance of two groups with different means.
    {
        int32_t q = 2, n = 2000, storage = ORVU_SS_X_COLUMNS, st = 0;
        std::vector<double> x(n * q);
        std::vector<int32_t> grp(n);
        for (int i = 0; i < n; ++i) {
            grp[i] = i % 2;
            x[i * q] = (grp[i] ? 5 : 0) + g.normal();
            x[i * q + 1] = (grp[i] ? -3 : 0) + 0.5 * x[i * q] + g.normal();
        }
        int32_t req[2] = {1, 1};
        double pm[2], pcov[4], gm[4], gcov[8];
        SSTask* task = nullptr;
        __ptzdSSNewTask(&task, &q, &n, &storage, x.data(), nullptr, nullptr, nullptr);
        __ptzdSSEditPooledCovariance(task, grp.data(), pm, pcov, req, gm, gcov);
        __ptziSSEditTask(task, 29, &st);
        __ptziSSEditTask(task, 34, &st);
        const uint64_t mask = ORVU_SS_POOLED_COV | ORVU_SS_GROUP_COV | ORVU_SS_POOLED_MEAN | ORVU_SS_GROUP_MEANS;
        const int32_t s = _ptzdSSPooledCovariance(task, uint32_t(mask), uint32_t(mask >> 32), 2, 0,
                                                  orvu_serv_threading_table());
        std::printf("pooled covariance (status %d): group means (%.3f, %.3f) and (%.3f, %.3f); pooled mean (%.3f, %.3f)\n",
                    s, gm[0], gm[1], gm[2], gm[3], pm[0], pm[1]);
        std::printf("  pooled covariance [%.4f %.4f; %.4f %.4f]\n", pcov[0], pcov[1], pcov[2], pcov[3]);
        __ptzSSDeleteTask(&task);
    }
    // Planted outliers: 100 of 2000 observations moved to a cluster near
    // (6, 6, 6); BACON flags them, TBS estimates the clean part's mean and
    // covariance, and the distances under that estimate show how far out the
    // flagged observations lie.
    {
        int32_t q = 3, n = 2000, storage = ORVU_SS_X_COLUMNS, full = ORVU_SS_MTX_FULL, none = 0;
        std::vector<double> x(n * q), w(n), dist(n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < q; ++j) x[i * q + j] = (i % 20 == 7 ? 6 : 0) + g.normal() + (j ? 0.5 * x[i * q] : 0);
        double rmean[3], rcov[9];
        SSTask* task = nullptr;
        __ptzdSSNewTask(&task, &q, &n, &storage, x.data(), nullptr, nullptr, nullptr);
        __ptzdSSEditOutDetect(task, &none, nullptr, w.data());
        __ptzdSSEditRCov(task, &full, &none, nullptr, rmean, rcov);
        const int32_t sb = _ptzdSSOutliersDetection(task, 0, 0, ORVU_SS_METHOD_BACON, 0, orvu_serv_threading_table());
        int flagged = 0, planted_found = 0;
        for (int i = 0; i < n; ++i) {
            flagged += w[i] == 0;
            planted_found += w[i] == 0 && i % 20 == 7;
        }
        std::printf("planted outliers: BACON (status %d) flags %d of %d observations, %d of the 100 planted\n", sb,
                    flagged, n, planted_found);
        const int32_t st = _ptzdSSRobustCovariance(task, 0, 0, ORVU_SS_METHOD_TBS, 0, orvu_serv_threading_table());
        std::printf("  TBS (status %d): mean (%.3f, %.3f, %.3f), variances %.3f %.3f %.3f (clean model: 0, 1, 1.25, 1.25)\n",
                    st, rmean[0], rmean[1], rmean[2], rcov[0], rcov[4], rcov[8]);
        __ptzdSSEditCovCor(task, rmean, rcov, &full, nullptr, nullptr);
        __ptzdSSEditTask(task, 43, dist.data());
        const int32_t sd = _ptzdSSMahDistance(task, 0, 0, 0, 0, orvu_serv_threading_table());
        double in = 0, out = 0;
        for (int i = 0; i < n; ++i) (w[i] == 0 ? out : in) += dist[i] / (w[i] == 0 ? flagged : n - flagged);
        std::printf("  distances under the TBS estimate (status %d): mean %.2f over the kept, %.2f over the flagged\n",
                    sd, in, out);
        __ptzSSDeleteTask(&task);
    }
}
