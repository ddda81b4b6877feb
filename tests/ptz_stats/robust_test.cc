// Robust covariance (TBS), outlier detection (BACON) and Mahalanobis
// distances: entry checks in their order, planted contamination, the
// long-double distance reference, storage, components and threads, and
// allocation failure.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "stats_test_util.h"

namespace {
using namespace sstest;

// n observations of a correlated 3-component Gaussian (mean 1, 2, 3), the
// first `bad` of them moved to a tight cluster about 12 standard deviations
// away.
std::vector<std::vector<double>> planted(int64_t n, int64_t bad, uint64_t seed) {
    auto v = gaussian_data(n, 3, 0.0, seed);
    for (int64_t i = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j) v[i][j] = i < bad ? 12.0 * (1 + j) + 0.1 * v[i][j] : v[i][j] + 1 + j;
    return v;
}

// The clean model of gaussian_data(.., 3, 0, ..): x0 = z0, xj = (1 + j/2) zj + 0.3 x0.
const double kCov[3][3] = {{1, 0.3, 0.3}, {0.3, 2.25 + 0.09, 0.09}, {0.3, 0.09, 4 + 0.09}};

template <class T>
struct Robust {
    int32_t p = 3, n, storage, cov_st = 0, k = 0;
    std::vector<T> x, mean = std::vector<T>(3, -777), cov = std::vector<T>(9, -777), w, prm = std::vector<T>(6);
    SSTask* task = nullptr;
    Robust(const std::vector<std::vector<double>>& v, bool cols = true)
        : n(int32_t(v.size())), storage(cols ? ORVU_SS_X_COLUMNS : ORVU_SS_X_ROWS), x(store<T>(v, cols)), w(n, -777) {
        if constexpr (sizeof(T) == 8) {
            __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
            __ptzdSSEditRCov(task, &cov_st, &k, prm.data(), mean.data(), cov.data());
            __ptzdSSEditOutDetect(task, &k, prm.data(), w.data());
        } else {
            __ptzsSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
            __ptzsSSEditRCov(task, &cov_st, &k, prm.data(), mean.data(), cov.data());
            __ptzsSSEditOutDetect(task, &k, prm.data(), w.data());
        }
    }
    ~Robust() { __ptzSSDeleteTask(&task); }
    using Fn = int32_t (*)(SSTask*, uint32_t, uint32_t, int32_t, int32_t, const OrvuThreadingTable*);
    int32_t run(Fn d, Fn s, int32_t method, const OrvuThreadingTable* thr = &kSerial) {
        return (sizeof(T) == 8 ? d : s)(task, 0, 0, method, 0, thr);
    }
    int32_t tbs(const OrvuThreadingTable* thr = &kSerial) {
        return run(_ptzdSSRobustCovariance, _ptzsSSRobustCovariance, ORVU_SS_METHOD_TBS, thr);
    }
    int32_t bacon() { return run(_ptzdSSOutliersDetection, _ptzsSSOutliersDetection, ORVU_SS_METHOD_BACON); }
    int32_t mahal() { return run(_ptzdSSMahDistance, _ptzsSSMahDistance, 0); }
    bool untouched() const { return mean[0] == -777 && cov[0] == -777 && w[0] == -777; }
};

// Each step repairs the fault that the previous status reported; the status
// of a step is that of the first fault left. The last steps make the data
// impossible (no memory, a singular covariance) and nothing may be written.
// Every failing call must also have freed what it allocated.
struct Step { const char* what; std::function<void(Robust<double>&)> fix; int32_t status; };

void walk(Robust<double>& r, std::function<int32_t()> run, const std::vector<Step>& steps) {
    const int32_t live = orvu_serv_test_live_allocations();
    for (const Step& s : steps) {
        s.fix(r);
        EXPECT_EQ(s.status, run()) << s.what;
        EXPECT_TRUE(r.untouched()) << s.what;
    }
    EXPECT_EQ(live, orvu_serv_test_live_allocations());
    EXPECT_EQ(-4031, _ptzdSSRobustCovariance(nullptr, 0, 0, 8, 0, nullptr));
    EXPECT_EQ(-4031, _ptzdSSOutliersDetection(nullptr, 0, 0, 32, 0, nullptr));
    EXPECT_EQ(-4031, _ptzsSSMahDistance(nullptr, 0, 0, 0, 0, nullptr));
}

int32_t bad_storage = 0x30000, three = 3, seven = 7;

void put(std::vector<double>& v, std::initializer_list<double> e) { std::copy(e.begin(), e.end(), v.begin()); }

TEST(RobustEntry, TbsChecksInOrder) {
    Robust<double> r(planted(40, 4, 1));
    const auto x = r.task->x;
    int32_t st = r.storage, method = 0x4;
    walk(r, [&] { return r.run(_ptzdSSRobustCovariance, nullptr, method); }, {
        {"p", [](auto& r) { r.p = 0; }, -4001},
        {"n <= 2p", [](auto& r) { r.p = 3, r.n = 6; }, -4002},
        {"xStorage", [](auto& r) { r.n = 40, r.task->xStorage = nullptr; }, -4044},
        {"bad xStorage", [&](auto& r) { r.task->xStorage = &bad_storage; }, -4003},
        {"robustMean", [&](auto& r) { r.task->xStorage = &st, r.task->robustMean = nullptr; }, -4028},
        {"robustCov", [](auto& r) { r.task->robustMean = r.mean.data(), r.task->robustCov = nullptr; }, -4027},
        {"cov storage", [](auto& r) { r.task->robustCov = r.cov.data(), r.task->robustCovStorage = nullptr; }, -4044},
        {"bad cov storage", [](auto& r) { r.task->robustCovStorage = &three; }, -4003},
        {"method", [](auto& r) { r.task->robustCovStorage = &r.cov_st; }, -4029},
        {"x", [&](auto& r) { method = ORVU_SS_METHOD_TBS, r.task->x = nullptr; }, -4032},
        {"count", [&](auto& r) { r.task->x = x, r.k = 7; }, -4043},
        {"params", [](auto& r) { r.k = 1, r.task->robustParams = nullptr; }, -4042},
        {"breakdown", [](auto& r) { r.task->robustParams = r.prm.data(), r.prm[0] = 0.6; }, -4042},
        {"unreachable", [](auto& r) { r.k = 2, put(r.prm, {0.5, 1e-9}); }, -4042},
        {"iterations", [](auto& r) { r.k = 4, put(r.prm, {0.5, 0.2, 0, 2.5}); }, -4042},
        {"memory", [](auto& r) { r.k = 0, orvu_serv_test_fail_allocation(1); }, -4000},
        {"singular", [](auto& r) { for (auto& e : r.x) e = 1; }, -5010},
    });
}

TEST(RobustEntry, BaconAndDistanceChecksInOrder) {
    Robust<double> r(planted(40, 4, 2));
    const auto x = r.task->x;
    int32_t st = r.storage, method = 0x4;
    walk(r, [&] { return r.run(_ptzdSSOutliersDetection, nullptr, method); }, {
        {"p", [](auto& r) { r.task->p = nullptr; }, -4001},
        {"n < 5p", [](auto& r) { r.task->p = &r.p, r.n = 14; }, -4002},
        {"xStorage", [](auto& r) { r.n = 40, r.task->xStorage = nullptr; }, -4003},
        {"bad xStorage", [&](auto& r) { r.task->xStorage = &bad_storage; }, -4003},
        {"weights", [&](auto& r) { r.task->xStorage = &st, r.task->outlierWeights = nullptr; }, -4041},
        {"method", [](auto& r) { r.task->outlierWeights = r.w.data(); }, -4029},
        {"x", [&](auto& r) { method = ORVU_SS_METHOD_BACON, r.task->x = nullptr; }, -4032},
        {"count", [&](auto& r) { r.task->x = x, r.k = 4; }, -4040},
        {"params", [](auto& r) { r.k = 1, r.task->outlierParams = nullptr; }, -4039},
        {"version", [](auto& r) { r.task->outlierParams = r.prm.data(), r.prm[0] = 3; }, -4039},
        {"alpha", [](auto& r) { r.k = 2, put(r.prm, {1, 1.5}); }, -4039},
        {"memory", [](auto& r) { r.k = 0, orvu_serv_test_fail_allocation(1); }, -4000},
        {"singular", [](auto& r) { for (auto& e : r.x) e = 1; }, -5010},
    });
    Robust<double> m(planted(40, 4, 3));
    double mean[3] = {1, 2, 3}, cov[9] = {1, 0, 0, 0, 1, 0, 0, 0, 0};
    walk(m, [&] { return m.mahal(); }, {
        {"n", [](auto& r) { r.n = 0; }, -4002},
        {"x", [](auto& r) { r.n = 40, r.task->x = nullptr; }, -4032},
        {"xStorage", [&](auto& r) { r.task->x = r.x.data(), r.task->xStorage = &bad_storage; }, -4003},
        {"mean", [&](auto& r) { r.task->xStorage = &r.storage; }, -4006},
        {"cov", [&](auto& r) { r.task->mean = mean; }, -4018},
        {"cov storage", [&](auto& r) { r.task->cov = cov; }, -4044},
        {"bad cov storage", [&](auto& r) { r.task->covStorage = &seven; }, -4003},
        {"distances", [&](auto& r) { r.task->covStorage = &r.cov_st, r.task->outlierWeights = nullptr; }, -4041},
        {"memory", [](auto& r) { r.task->outlierWeights = r.w.data(), orvu_serv_test_fail_allocation(1); }, -4000},
        {"singular", [](auto&) {}, -5010},
    });
}

// 30 % in one tight far cluster: TBS keeps to the clean model (n = 3000:
// standard errors of the mean about 0.02-0.04, of the variances 0.03-0.1),
// the same in float, in rows storage and over seven threads; BACON flags
// exactly the cluster with both initial subsets.
template <class T>
void planted_cluster(double tol) {
    const auto v = planted(3000, 900, 4);
    Robust<T> r(v), rows(v, false), thr(v);
    ASSERT_EQ(0, r.tbs());
    ASSERT_EQ(0, rows.tbs());
    ASSERT_EQ(0, thr.tbs(&kSevenThreads));
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(1 + a, r.mean[a], 0.15);
        for (int b = 0; b < 3; ++b) EXPECT_NEAR(kCov[a][b], r.cov[a * 3 + b], 0.12 * (1 + a + b));
        EXPECT_EQ(r.mean[a], rows.mean[a]);   // the same working copy
        EXPECT_NEAR(r.mean[a], thr.mean[a], tol);
        EXPECT_NEAR(r.cov[a * 4], thr.cov[a * 4], tol * 10);
    }
    for (int version : {1, 2}) {
        r.k = 1, r.prm[0] = T(version);
        ASSERT_EQ(0, r.bacon());
        int miss = 0, false_alarm = 0;
        for (int i = 0; i < 3000; ++i) (i < 900 ? miss : false_alarm) += r.w[i] != (i < 900 ? 0 : 1);
        EXPECT_EQ(0, miss) << version;
        EXPECT_LT(false_alarm, 21) << version;   // below 1 % of the clean observations
    }
}
TEST(Robust, PlantedClusterDouble) { planted_cluster<double>(1e-6); }
TEST(Robust, PlantedClusterFloat) { planted_cluster<float>(1e-4); }

// Without contamination TBS (with its final reweighting) stays close to the
// classical estimates; without the reweighting, within the S-estimator's
// larger spread. Packed storage and a start from the caller's estimates.
TEST(Robust, CleanDataAndOptions) {
    const auto v = planted(4000, 0, 5);
    const Ref ref = reference<double>(v, nullptr);
    Robust<double> r(v);
    r.cov_st = ORVU_SS_MTX_U_PACKED;
    ASSERT_EQ(0, r.tbs());
    const int up[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(double(ref.mean[a]), r.mean[a], 0.01);
        for (int b = 0; b < 3; ++b) EXPECT_NEAR(double(ref.cp[a * 3 + b] / 3999), r.cov[up[a][b]], 0.04 * (1 + a + b));
    }
    const std::vector<double> first(r.cov.begin(), r.cov.begin() + 6), m0(r.mean.begin(), r.mean.end());
    r.k = 6, put(r.prm, {0.5, 0.05, 1e-9, 200, 1, 0});   // from the last result, no reweighting
    ASSERT_EQ(0, r.tbs());
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(m0[a], r.mean[a], 0.05);
    for (int e = 0; e < 6; ++e) EXPECT_NEAR(first[e], r.cov[e], 0.15 * std::fabs(first[e]) + 0.05);
}

// Distances against a long-double reference (Cholesky by hand), over the
// components 0 and 2 of a lower-packed 3 x 3 covariance, on seven threads.
TEST(Robust, MahalanobisAgainstLongDouble) {
    const auto v = planted(1000, 10, 6);
    Robust<double> r(v);
    int32_t idx[3] = {1, 0, 1}, lower = ORVU_SS_MTX_L_PACKED;
    double mean[3] = {0.9, -5, 3.2}, cov[6] = {1.3, 99, 99, 0.4, 99, 2.1};   // (0,0), (2,0), (2,2) used
    r.task->indices = idx;
    __ptzdSSEditCovCor(r.task, mean, cov, &lower, nullptr, nullptr);
    ASSERT_EQ(0, r.run(_ptzdSSMahDistance, nullptr, 0, &kSevenThreads));
    const long double a = 1.3L, b = 0.4L, c = 2.1L, l00 = sqrtl(a), l10 = b / l00, l11 = sqrtl(c - l10 * l10);
    for (int i = 0; i < 1000; ++i) {
        const long double y0 = (v[i][0] - 0.9L) / l00, y1 = ((v[i][2] - 3.2L) - l10 * y0) / l11;
        const long double d = sqrtl(y0 * y0 + y1 * y1);
        ASSERT_NEAR(1.0, double(r.w[i] / d), 1e-12) << i;
    }
}

}  // namespace
