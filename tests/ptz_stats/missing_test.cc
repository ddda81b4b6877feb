// Missing values: entry checks in their order, EM against the full-data
// estimates under MCAR and MAR patterns, multiple imputation under Rubin's
// combining rules, reproducibility by seed, and single precision.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "stats_test_util.h"

namespace {
using namespace sstest;

const int kSet = 9;   // (q + 3) q / 2 values per estimate set, q = 3

// n observations of gaussian_data(.., 3, ..); entries of components 1 and 2
// go missing with probability `frac` (MCAR), or component 1 whenever
// x0 > 0.5 (MAR: its missingness follows an observed value).
struct Miss {
    int32_t p = 3, n, storage = ORVU_SS_X_COLUMNS, np = 5, na = 2, nb, nc;
    std::vector<std::vector<double>> full;
    std::vector<double> x, prm, a = {12345, 678}, b, c;
    SSTask* task = nullptr;
    Miss(int32_t n_, double frac, bool mar, int m, uint64_t seed = 7)
        : n(n_), full(gaussian_data(n_, 3, 0.0, seed)), prm{500, 1e-12, 20, double(m), NAN} {
        std::mt19937_64 g(seed + 1);
        std::uniform_real_distribution<double> u(0, 1);
        x = store<double>(full, true);
        int64_t missing = 0;
        for (int32_t i = 0; i < n; ++i)
            for (int j = 1; j < 3; ++j)
                if (mar ? (j == 1 && full[i][0] > 0.5) : u(g) < frac) x[i * 3 + j] = NAN, ++missing;
        nb = (m + 1) * kSet, nc = int32_t(m * missing);
        b.assign(nb, -777), c.assign(nc + 1, -777);
        __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
        __ptzdSSEditMissingVals(task, &np, prm.data(), nullptr, nullptr, &na, a.data(), &nb, b.data(), &nc, c.data());
    }
    ~Miss() { __ptzSSDeleteTask(&task); }
    int32_t run(int32_t method = ORVU_SS_METHOD_MI) { return _ptzdSSMissingValues(task, 0, 0, method, 0, &kSerial); }
    double mean(int set, int a) const { return b[set * kSet + a]; }
    double var(int set, int a) const { return b[set * kSet + 3 + (a == 0 ? 0 : a == 1 ? 3 : 5)]; }
};

TEST(MissingValues, ChecksInOrder) {
    Miss r(40, 0.2, false, 2);
    const auto x = r.task->x;
    int32_t bad = 0x30000, four = 4, zero = 0;
    struct Step { const char* what; std::function<void()> fix; int32_t status; };
    const int32_t live = orvu_serv_test_live_allocations();
    int32_t method = 0x8;
    for (const Step& s : std::vector<Step>{
             {"p", [&] { r.p = 0; }, -4001},
             {"xStorage", [&] { r.p = 3, r.task->xStorage = nullptr; }, -4003},
             {"bad xStorage", [&] { r.task->xStorage = &bad; }, -4003},
             {"params", [&] { r.task->xStorage = &r.storage, r.task->missingParams = nullptr; }, -4048},
             {"count", [&] { r.task->missingParams = r.prm.data(), r.task->missingParamsN = nullptr; }, -4049},
             {"count 4", [&] { r.task->missingParamsN = &four; }, -4050},
             {"B count", [&] { r.task->missingParamsN = &r.np, r.task->miCountB = nullptr; }, -4055},
             {"B array", [&] { r.task->miCountB = &r.nb, r.task->miArrayB = nullptr; }, -4054},
             {"no output", [&] { r.task->miArrayB = r.b.data(), r.task->miCountB = &zero, r.task->miArrayC = nullptr; }, -4060},
             {"method", [&] { r.task->miCountB = &r.nb; }, -4029},
             {"n", [&] { method = ORVU_SS_METHOD_MI, r.n = 0; }, -4002},
             {"x", [&] { r.n = 40, r.task->x = nullptr; }, -4032},
             {"EM limit", [&] { r.task->x = x, r.prm[0] = 0.5; }, -4058},
             {"seed", [&] { r.prm[0] = 10, r.a[1] = -1; }, -4058},
             {"short B", [&] { r.a[1] = 1, r.nb -= 1; }, -4059},
             {"short C", [&] { r.nb += 1, r.task->miArrayC = r.c.data(), r.nc -= 1; }, -4059},
             {"n < q + 2", [&] { r.nc += 1, r.n = 4; }, -4002},
             {"memory", [&] { r.n = 40, orvu_serv_test_fail_allocation(1); }, -4000},
             {"stream memory", [&] { orvu_serv_test_fail_allocation(2); }, -4000},
             {"singular", [&] { for (auto& e : r.x) e = std::isnan(e) ? e : 1.0; }, -5010},
         }) {
        s.fix();
        EXPECT_EQ(s.status, r.run(method)) << s.what;
        EXPECT_EQ(-777, r.b[0]) << s.what;   // nothing written on any failure
    }
    orvu_serv_test_fail_allocation(0);
    EXPECT_EQ(live, orvu_serv_test_live_allocations());
    EXPECT_EQ(-4031, _ptzsSSMissingValues(nullptr, 0, 0, ORVU_SS_METHOD_MI, 0, nullptr));
}

// Full-data means and (divisor n) covariances of the generated data.
void full_estimates(const Miss& r, double mu[3], double cov[3][3]) {
    for (int a = 0; a < 3; ++a) {
        mu[a] = 0;
        for (const auto& o : r.full) mu[a] += o[a] / r.n;
    }
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            cov[a][b] = 0;
            for (const auto& o : r.full) cov[a][b] += (o[a] - mu[a]) * (o[b] - mu[b]) / r.n;
        }
}

// EM estimates within 3 standard errors of the full-data ones; under MAR the
// complete-case mean of component 1 is biased by several standard errors.
TEST(MissingValues, EmMatchesFullData) {
    for (auto [frac, mar] : {std::pair{0.05, false}, {0.2, false}, {0.4, false}, {0.0, true}}) {
        Miss r(5000, frac, mar, 0);
        ASSERT_EQ(0, r.run());
        double mu[3], cov[3][3];
        full_estimates(r, mu, cov);
        const int up[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(mu[a], r.mean(0, a), 3 * std::sqrt(cov[a][a] / r.n)) << frac << mar << a;
            for (int b = 0; b < 3; ++b)
                EXPECT_NEAR(cov[a][b], r.b[3 + up[a][b]],
                            3 * std::sqrt((cov[a][a] * cov[b][b] + cov[a][b] * cov[a][b]) / r.n)) << a << b;
        }
        if (mar) {
            double s = 0, k = 0;
            for (int32_t i = 0; i < r.n; ++i)
                if (!std::isnan(r.x[i * 3 + 1])) s += r.x[i * 3 + 1], k += 1;
            EXPECT_GT(std::fabs(s / k - mu[1]), 5 * std::sqrt(cov[1][1] / k));
        }
    }
}

// Rubin's rules over m = 10 imputations: the combined mean lies within three
// total standard errors of the full-data mean, the fraction of missing
// information is positive where data are missing and below the missing
// share's bound; the imputed values fill exactly the missing entries.
TEST(MissingValues, MultipleImputationFollowsRubin) {
    const int m = 10;
    Miss r(3000, 0.3, false, m);
    ASSERT_EQ(0, r.run());
    double mu[3], cov[3][3];
    full_estimates(r, mu, cov);
    for (int a = 0; a < 3; ++a) {
        double q = 0, u = 0, bv = 0;
        for (int j = 1; j <= m; ++j) q += r.mean(j, a) / m, u += r.var(j, a) / r.n / m;
        for (int j = 1; j <= m; ++j) bv += (r.mean(j, a) - q) * (r.mean(j, a) - q) / (m - 1);
        const double t = u + (1 + 1.0 / m) * bv, lambda = (1 + 1.0 / m) * bv / t;
        EXPECT_LT(std::fabs(q - mu[a]), 3 * std::sqrt(t)) << a;
        if (a == 0) {
            EXPECT_LT(lambda, 1e-9);   // never missing: the same in every completed data set
        } else {
            EXPECT_GT(lambda, 0.05);
            EXPECT_LT(lambda, 0.5);
        }
    }
    const int64_t per = r.nc / m;
    for (int j = 0; j < m; ++j) {
        double s = 0;
        for (int64_t e = 0; e < per; ++e) s += r.c[j * per + e];
        EXPECT_TRUE(std::isfinite(s));
    }
    EXPECT_EQ(-777, r.c[r.nc]);   // nothing past the imputed values
    const std::vector<double> first = r.b, imputed = r.c;
    ASSERT_EQ(0, r.run());
    EXPECT_EQ(first, r.b);   // the same seed: the same chain
    EXPECT_EQ(imputed, r.c);
    r.a[0] = 1;
    ASSERT_EQ(0, r.run());
    EXPECT_NE(first[kSet], r.b[kSet]);
    EXPECT_EQ(first[0], r.b[0]);   // EM does not depend on the seed
}

// Single precision: marker 0 instead of NaN, results close to double's.
TEST(MissingValues, SinglePrecisionWithMarker) {
    Miss d(2000, 0.2, false, 1);
    ASSERT_EQ(0, d.run());
    int32_t p = 3, n = 2000, st = ORVU_SS_X_COLUMNS, np = 5, nb = 2 * kSet;
    std::vector<float> x(d.x.begin(), d.x.end()), prm = {500, 1e-6f, 5, 1, 0}, b(nb);
    for (auto& e : x) e = std::isnan(e) ? 0.0f : e;
    SSTask* t = nullptr;
    __ptzsSSNewTask(&t, &p, &n, &st, x.data(), nullptr, nullptr, nullptr);
    __ptzsSSEditMissingVals(t, &np, prm.data(), nullptr, nullptr, nullptr, nullptr, &nb, b.data(), nullptr, nullptr);
    ASSERT_EQ(0, _ptzsSSMissingValues(t, 0, 0, ORVU_SS_METHOD_MI, 0, &kSerial));
    for (int e = 0; e < kSet; ++e) EXPECT_NEAR(d.b[e], b[e], 1e-4 * (1 + std::fabs(d.b[e])));
    __ptzSSDeleteTask(&t);
}

}  // namespace
