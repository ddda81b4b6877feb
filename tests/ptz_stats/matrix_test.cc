// Partial covariance, correlation parametrization and pooled covariance
// against direct formulas, with their statuses and allocation failures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stats_test_util.h"

namespace {
using namespace sstest;

struct MtxTask {
    int32_t p, cov_st = 0, pc_st = 0, pr_st = 0;
    std::vector<int32_t> idx;
    std::vector<double> cov, pcov, pcor;
    SSTask* task = nullptr;
    MtxTask(int32_t dim, std::vector<double> c, std::vector<int32_t> ids) : p(dim), idx(ids), cov(c) {
        pcov.assign(p * p, -777);
        pcor.assign(p * p, -777);
        __ptzdSSNewTask(&task, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        __ptzdSSEditPartialCovCor(task, idx.data(), cov.data(), &cov_st, nullptr, nullptr, pcov.data(), &pc_st,
                                  pcor.data(), &pr_st);
    }
    ~MtxTask() { __ptzSSDeleteTask(&task); }
    int32_t run(uint64_t mask = ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, int method = 1) {
        return _ptzdSSPartialCovariance(task, mask, method);
    }
};

TEST(PartialCovariance, TwoByTwo) {
    const double a = 4, b = 2.5, c = 1.2;
    MtxTask t(2, {a, c, c, b}, {1, -1});
    ASSERT_EQ(0, t.run());
    EXPECT_NEAR(a - c * c / b, t.pcov[0], 1e-15);
    EXPECT_NEAR(1.0, t.pcor[0], 1e-15);
    EXPECT_EQ(-777, t.pcov[1]);   // the result is k x k = 1 x 1
}

// Random SPD matrices: P against S_YY - S_YZ S_ZZ^-1 S_ZY computed with a
// long-double Gauss-Jordan inverse; also through the correlation input and
// through packed storages.
TEST(PartialCovariance, RandomSpdAgainstDirectFormula) {
    std::mt19937_64 g(3);
    std::normal_distribution<double> nd;
    for (int trial = 0; trial < 4; ++trial) {
        const int p = 6;
        std::vector<double> b(p * p), s(p * p, 0);
        for (auto& v : b) v = nd(g);
        for (int i = 0; i < p; ++i)
            for (int j = 0; j < p; ++j) {
                for (int k = 0; k < p; ++k) s[i * p + j] += b[i * p + k] * b[j * p + k];
                if (i == j) s[i * p + j] += 0.5;
            }
        const std::vector<int32_t> ids = {1, -1, 0, 1, -1, 1};
        std::vector<int> Y = {0, 3, 5}, Z = {1, 4};
        // direct formula
        const int m = 2, k = 3;
        long double zz[2][4];
        for (int r = 0; r < m; ++r)
            for (int c = 0; c < m; ++c) { zz[r][c] = s[Z[r] * p + Z[c]]; zz[r][c + 2] = r == c; }
        for (int c = 0; c < m; ++c) {
            const long double piv = zz[c][c];
            for (int j = 0; j < 4; ++j) zz[c][j] /= piv;
            for (int r = 0; r < m; ++r)
                if (r != c) {
                    const long double f = zz[r][c];
                    for (int j = 0; j < 4; ++j) zz[r][j] -= f * zz[c][j];
                }
        }
        std::vector<long double> P(k * k);
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < k; ++j) {
                long double v = s[Y[i] * p + Y[j]];
                for (int r = 0; r < m; ++r)
                    for (int c = 0; c < m; ++c) v -= s[Y[i] * p + Z[r]] * zz[r][c + 2] * s[Z[c] * p + Y[j]];
                P[i * k + j] = v;
            }
        MtxTask t(p, s, ids);
        t.pc_st = 1;   // lower packed
        ASSERT_EQ(0, t.run());
        for (int i = 0, e = 0; i < k; ++i)
            for (int j = 0; j <= i; ++j, ++e) {
                EXPECT_NEAR(double(P[i * k + j]), t.pcov[e], 1e-12 * (1 + std::fabs(double(P[i * k + j]))));
                EXPECT_NEAR(double(P[i * k + j] / std::sqrt(P[i * k + i] * P[j * k + j])), t.pcor[i * k + j], 1e-12);
            }
        // the same matrix given as cor (no cov attached), in upper packed storage
        std::vector<double> up;
        for (int i = 0; i < p; ++i)
            for (int j = i; j < p; ++j) up.push_back(s[i * p + j]);
        int32_t up_code = 2;
        MtxTask u(p, s, ids);
        u.task->cov = nullptr;
        __ptzdSSEditCovCor(u.task, nullptr, nullptr, nullptr, up.data(), &up_code);
        ASSERT_EQ(0, u.run());
        for (int i = 0; i < k * k; ++i) EXPECT_NEAR(t.pcor[i], u.pcor[i], 1e-13);
    }
}

TEST(PartialCovariance, Statuses) {
    const std::vector<double> spd = {2, 0.5, 0.5, 1};
    struct Case { std::vector<int32_t> ids; std::vector<double> m; int method; int clear; int32_t status; };
    const Case cases[] = {
        {{1, 1}, spd, 1, 0, -4073},   {{-1, -1}, spd, 1, 0, -4073},  {{0, 0}, spd, 1, 0, -4073},
        {{1, -1}, spd, 2, 0, -4029},  {{1, -1}, {1, 0, 0, -1}, 1, 0, -5010},
        {{1, -1}, spd, 1, 1, -4018},  {{1, -1}, spd, 1, 2, -4045},   {{1, -1}, spd, 1, 3, -4046},
        {{1, -1}, spd, 1, 4, -4047},  {{1, -1}, spd, 1, 5, -4044},   {{1, -1}, spd, 1, 6, -4044},
        {{1, -1}, spd, 1, 7, -4073},
    };
    for (const Case& c : cases) {
        MtxTask t(2, c.m, c.ids);
        switch (c.clear) {
        case 1: t.task->cov = nullptr; break;
        case 2: t.task->partialCovIndices = nullptr; break;
        case 3: t.task->partialCov = nullptr; break;
        case 4: t.task->partialCor = nullptr; break;
        case 5: t.task->covStorage = nullptr; break;
        case 6: t.task->partialCorStorage = nullptr; break;
        case 7: t.p = 0; break;
        }
        EXPECT_EQ(c.status, t.run(ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, c.method)) << c.clear;
        EXPECT_EQ(-777, t.pcov[0]);
    }
    MtxTask t(2, spd, {1, -1});
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(-4000, t.run());
    EXPECT_EQ(-4031, _ptzdSSPartialCovariance(nullptr, 0x100000, 1));
}

TEST(PartialCovariance, SinglePrecision) {
    int32_t p = 2, st = 0, idx[2] = {1, -1};
    float cov[4] = {4, 1.2f, 1.2f, 2.5f}, pc[1] = {0}, pr[1] = {0};
    SSTask* t = nullptr;
    __ptzsSSNewTask(&t, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    __ptzsSSEditPartialCovCor(t, idx, cov, &st, nullptr, nullptr, pc, &st, pr, &st);
    ASSERT_EQ(0, _ptzsSSPartialCovariance(t, ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, 1));
    EXPECT_NEAR(4 - 1.44 / 2.5, pc[0], 1e-6);
    EXPECT_NEAR(1.0f, pr[0], 1e-6);
    __ptzSSDeleteTask(&t);
}

// ---- correlation parametrization -----------------------------------------

struct ParamTask {
    int32_t p, in_st = 0, out_st = 0;
    std::vector<double> cor, out;
    SSTask* task = nullptr;
    ParamTask(int32_t dim, std::vector<double> c) : p(dim), cor(c), out(dim * dim, -777) {
        __ptzdSSNewTask(&task, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        __ptzdSSEditMtxParametrz(task, cor.data(), &in_st, out.data(), &out_st);
    }
    ~ParamTask() { __ptzSSDeleteTask(&task); }
    int32_t run(int method = 4) { return _ptzdSSCorParametrization(task, 0, 0, method); }
};

TEST(CorParametrization, PositiveDefiniteComesBackUnchanged) {
    ParamTask t(3, {1, 0.3, 0.2, 0.3, 1, 0.1, 0.2, 0.1, 1});
    ASSERT_EQ(0, t.run());
    for (int i = 0; i < 9; ++i) EXPECT_EQ(t.cor[i], t.out[i]);
}

// An indefinite "correlation" matrix becomes positive semi-definite with a
// unit diagonal, symmetric, and close to the input.
TEST(CorParametrization, IndefiniteIsRepaired) {
    for (int code : {0, 1, 2}) {
        ParamTask t(3, {1, 0.9, -0.9, 0.9, 1, 0.9, -0.9, 0.9, 1});
        t.out_st = code;
        ASSERT_EQ(0, t.run());
        double full[9];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const int a = std::max(i, j), b = std::min(i, j);
                full[i * 3 + j] = code == 0 ? t.out[i * 3 + j] : code == 1 ? t.out[a * (a + 1) / 2 + b]
                                                                             : t.out[b * 3 - b * (b - 1) / 2 + (a - b)];
            }
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(1.0, full[i * 4], 1e-12);
        // determinant and leading minors non-negative
        const double m2 = full[0] * full[4] - full[1] * full[3];
        const double det = full[0] * (full[4] * full[8] - full[5] * full[7]) -
                           full[1] * (full[3] * full[8] - full[5] * full[6]) +
                           full[2] * (full[3] * full[7] - full[4] * full[6]);
        EXPECT_GE(m2, 0);
        EXPECT_GE(det, -1e-12);
        EXPECT_NEAR(full[1], full[3], 1e-14);
        EXPECT_LT(std::fabs(full[1] - 0.9), 0.5);
    }
}

TEST(CorParametrization, Statuses) {
    const std::vector<double> zero(4, 0.0), good = {1, 0.5, 0.5, 1};
    struct Case { std::vector<double> m; int method, in_st, out_st, clear; int32_t status; };
    const Case cases[] = {
        {zero, 4, 0, 0, 0, -4072},  // every eigenvalue raised
        {good, 1, 0, 0, 0, -4029}, {good, 4, 5, 0, 0, -4003}, {good, 4, 0, 3, 0, -4003},
        {good, 4, 0, 0, 1, -4001}, {good, 4, 0, 0, 2, -4019}, {good, 4, 0, 0, 3, -4044},
        {good, 4, 0, 0, 4, -4071}, {good, 4, 0, 0, 5, -4044}, {good, 4, 0, 1, 6, -4003},   // in place, storages differ
        {good, 4, 1, 1, 6, 0},
    };
    for (const Case& c : cases) {
        ParamTask t(2, c.m);
        t.in_st = c.in_st;
        t.out_st = c.out_st;
        switch (c.clear) {
        case 1: t.p = 0; break;
        case 2: t.task->cor = nullptr; break;
        case 3: t.task->corStorage = nullptr; break;
        case 4: t.task->paramCor = nullptr; break;
        case 5: t.task->paramCorStorage = nullptr; break;
        case 6: t.task->paramCor = t.cor.data(); break;
        }
        EXPECT_EQ(c.status, t.run(c.method)) << c.clear << " " << c.status;
        if (c.status) {
            EXPECT_EQ(-777, t.out[0]);
        }
    }
    ParamTask t(2, good);
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(-4000, t.run());
    EXPECT_EQ(live, orvu_serv_test_live_allocations());
}

// ---- pooled covariance ------------------------------------------------------

template <class T>
struct PooledTask {
    int32_t p, n, storage = ORVU_SS_X_COLUMNS, pst = 0, gst = 0;
    std::vector<T> x, pmean, pcov, gmeans, gcov;
    std::vector<int32_t> groups, req;
    SSTask* task = nullptr;
    PooledTask(const std::vector<std::vector<double>>& v, std::vector<int32_t> g, std::vector<int32_t> r)
        : p(int32_t(v[0].size())), n(int32_t(v.size())), x(store<T>(v, true)), groups(g), req(r) {
        pmean.assign(p, -777); pcov.assign(p * p, -777);
        gmeans.assign(p * r.size(), -777); gcov.assign(p * p * r.size(), -777);
        if constexpr (sizeof(T) == 8) {
            __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
            __ptzdSSEditPooledCovariance(task, groups.data(), pmean.data(), pcov.data(), req.data(), gmeans.data(), gcov.data());
        } else {
            __ptzsSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
            __ptzsSSEditPooledCovariance(task, groups.data(), pmean.data(), pcov.data(), req.data(), gmeans.data(), gcov.data());
        }
        __ptziSSEditTask(task, 29, &pst);
        __ptziSSEditTask(task, 34, &gst);
    }
    ~PooledTask() { __ptzSSDeleteTask(&task); }
    int32_t run(uint64_t mask, int method = 2, const OrvuThreadingTable* thr = &kSerial) {
        if constexpr (sizeof(T) == 8) return _ptzdSSPooledCovariance(task, uint32_t(mask), uint32_t(mask >> 32), method, 0, thr);
        else return _ptzsSSPooledCovariance(task, uint32_t(mask), uint32_t(mask >> 32), method, 0, thr);
    }
};

constexpr uint64_t kAllPooled = ORVU_SS_POOLED_COV | ORVU_SS_GROUP_COV | ORVU_SS_POOLED_MEAN | ORVU_SS_GROUP_MEANS;

template <class T>
void pooled_against_reference(const OrvuThreadingTable* thr) {
    const int n = 6000, G = 3;
    const auto v = gaussian_data(n, 3, 1.0, 21);
    std::vector<int32_t> g(n);
    for (int i = 0; i < n; ++i) g[i] = (i * 7) % G;
    PooledTask<T> t(v, g, {1, 0, 1});
    ASSERT_EQ(0, t.run(kAllPooled, 2, thr));
    const double tol = sizeof(T) == 4 ? 1e-5 : 1e-12;
    // reference per group, long double two-pass
    std::vector<long double> pooled(9, 0);
    int req_index = 0;
    for (int gg = 0; gg < G; ++gg) {
        std::vector<std::vector<double>> sub;
        for (int i = 0; i < n; ++i)
            if (g[i] == gg) sub.push_back(v[i]);
        const Ref r = reference<T>(sub, nullptr);
        for (int k = 0; k < 9; ++k) pooled[k] += r.cp[k];
        if (gg == 1) continue;
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(double(r.mean[j]), t.gmeans[req_index * 3 + j], tol * 3);
        for (int k = 0; k < 9; ++k) EXPECT_NEAR(double(r.cp[k] / (r.W - 1)), t.gcov[req_index * 9 + k], tol * 10);
        ++req_index;
    }
    const Ref all = reference<T>(v, nullptr);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(double(all.mean[j]), t.pmean[j], tol * 3);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(double(pooled[k] / (n - G)), t.pcov[k], tol * 10);
    EXPECT_EQ(-777, t.gmeans[6]);   // only two groups were requested
}
TEST(PooledCovariance, AgainstReference) {
    pooled_against_reference<double>(&kSerial);
    pooled_against_reference<double>(&kSevenThreads);
    pooled_against_reference<float>(&kSevenThreads);
}

TEST(PooledCovariance, Statuses) {
    const auto v = gaussian_data(40, 2, 0.0, 2);
    struct Case { uint64_t mask; int method, bad, clear; int32_t status; };
    const Case cases[] = {
        {kAllPooled, 2, 1, 0, -4038}, {kAllPooled, 2, 2, 0, -4038}, {kAllPooled, 1, 0, 0, -4029},
        {kAllPooled, 2, 0, 1, -4030}, {ORVU_SS_POOLED_MEAN, 2, 0, 2, -4035}, {ORVU_SS_POOLED_COV, 2, 0, 3, -4044},
        {ORVU_SS_POOLED_COV, 2, 0, 4, -4034}, {ORVU_SS_GROUP_MEANS, 2, 0, 5, -4030},
        {ORVU_SS_GROUP_MEANS, 2, 0, 6, -4037}, {ORVU_SS_GROUP_COV, 2, 0, 7, -4044},
        {ORVU_SS_GROUP_COV, 2, 0, 8, -4036}, {ORVU_SS_POOLED_COV, 2, 0, 2, -4035},   // pooled cov implies the mean
        {kAllPooled, 2, 0, 9, -4003},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> g(40, 0);
        g[5] = 1;
        if (c.bad == 1) g[7] = -1;
        PooledTask<double> t(v, g, {1, c.bad == 2 ? 2 : 1});
        switch (c.clear) {
        case 1: t.task->groupIndices = nullptr; break;
        case 2: t.task->pooledMean = nullptr; break;
        case 3: t.task->pooledCovStorage = nullptr; break;
        case 4: t.task->pooledCov = nullptr; break;
        case 5: t.task->reqGroupIndices = nullptr; break;
        case 6: t.task->groupMeans = nullptr; break;
        case 7: t.task->groupCovStorage = nullptr; break;
        case 8: t.task->groupCov = nullptr; break;
        case 9: t.storage = 5; break;
        }
        EXPECT_EQ(c.status, t.run(c.mask, c.method)) << c.clear;
        EXPECT_EQ(-777, t.pmean[0]);
    }
    std::vector<int32_t> g(40, 0);
    PooledTask<double> t(v, g, {1});
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(-4000, t.run(kAllPooled));
    EXPECT_EQ(live, orvu_serv_test_live_allocations());
}

// Equal weights w change no estimate: W = w n_g, W2 = w^2 n_g, and the
// divisors W - W2 / W = w (n_g - 1) scale with the cross-products.
TEST(PooledCovariance, EqualWeightsChangeNothing) {
    const auto v = gaussian_data(900, 2, 3.0, 13);
    std::vector<int32_t> g(900);
    for (int i = 0; i < 900; ++i) g[i] = i % 4 == 0 ? 1 : 0;
    PooledTask<double> plain(v, g, {1, 1}), weighted(v, g, {1, 1});
    std::vector<double> w(900, 2.5);
    __ptzdSSEditTask(weighted.task, 6, w.data());
    ASSERT_EQ(0, plain.run(kAllPooled));
    ASSERT_EQ(0, weighted.run(kAllPooled, 2, &kSevenThreads));
    for (size_t k = 0; k < plain.gcov.size(); ++k) EXPECT_NEAR(plain.gcov[k], weighted.gcov[k], 1e-12);
    for (size_t k = 0; k < plain.pcov.size(); ++k) EXPECT_NEAR(plain.pcov[k], weighted.pcov[k], 1e-12);
    for (size_t k = 0; k < plain.gmeans.size(); ++k) EXPECT_NEAR(plain.gmeans[k], weighted.gmeans[k], 1e-12);
}

}  // namespace
