// Missing values: a quarter of the entries of two of three correlated
// components deleted; EM recovers the mean and covariance of the full data,
// and five imputations fill the gaps with draws whose spread reflects what
// the deletion lost.
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "orvu_ptz_stats.h"
#include "orvu_serv.h"

extern "C" void orvu_demo_ptz_stats_missing() {
    int32_t p = 3, n = 4000, storage = ORVU_SS_X_COLUMNS, np = 5, nb = 6 * 9, nc;
    std::mt19937_64 g(11);
    std::normal_distribution<double> z;
    std::uniform_real_distribution<double> u;
    std::vector<double> full(size_t(n) * p), x;
    for (int32_t i = 0; i < n; ++i) {
        double* o = &full[size_t(i) * p];
        o[0] = 10 + z(g), o[1] = 5 + 0.8 * (o[0] - 10) + 0.6 * z(g), o[2] = -2 + 0.5 * (o[1] - 5) + z(g);
    }
    x = full;
    int32_t missing = 0;
    for (int32_t i = 0; i < n; ++i)
        for (int j = 1; j < 3; ++j)
            if (u(g) < 0.25) x[size_t(i) * p + j] = NAN, ++missing;
    nc = 5 * missing;
    std::vector<double> prm = {200, 1e-10, 10, 5, NAN}, b(nb), c(nc);
    SSTask* task = nullptr;
    __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
    __ptzdSSEditMissingVals(task, &np, prm.data(), nullptr, nullptr, nullptr, nullptr, &nb, b.data(), &nc, c.data());
    const int32_t st = _ptzdSSMissingValues(task, 0, 0, ORVU_SS_METHOD_MI, 0, orvu_serv_threading_table());
    double fm[3] = {0, 0, 0};
    for (int32_t i = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j) fm[j] += full[size_t(i) * p + j] / n;
    std::printf("%d of %d entries missing; EM (status %d): mean (%.3f, %.3f, %.3f), full data (%.3f, %.3f, %.3f)\n",
                missing, n * p, st, b[0], b[1], b[2], fm[0], fm[1], fm[2]);
    std::printf("  EM covariance row 1: %.3f %.3f %.3f (model 1, 0.8, 0.4)\n", b[3], b[4], b[5]);
    std::printf("  five imputations' means of component 2:");
    for (int j = 1; j <= 5; ++j) std::printf(" %.3f", b[j * 9 + 1]);
    double err = 0;   // the first imputation's values against the deleted ones
    for (int32_t i = 0, e = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::isnan(x[size_t(i) * p + j])) err += std::pow(c[e++] - full[size_t(i) * p + j], 2) / missing;
    std::printf("\n  imputed against deleted values: rms difference %.3f (expected about 1.15: two draws of one conditional law)\n",
                std::sqrt(err));
    __ptzSSDeleteTask(&task);
}
