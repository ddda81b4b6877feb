// Partial covariance, correlation parametrization and pooled covariance
// against direct formulas, with their statuses and allocation failures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stats_test_util.h"

namespace {
using namespace sstest;

// Element (i, j) of a symmetric p x p matrix in storage 0 (full), 1 (lower
// packed by rows) or 2 (upper packed by rows).
double sym(const std::vector<double>& m, int code, int p, int i, int j) {
    const int a = std::max(i, j), b = std::min(i, j);
    return code == 0 ? m[i * p + j] : code == 1 ? m[a * (a + 1) / 2 + b] : m[b * p - b * (b - 1) / 2 + (a - b)];
}

struct MtxTask {
    int32_t p, cov_st = 0, pc_st = 0, pr_st = 0;
    std::vector<int32_t> idx;
    std::vector<double> cov, pcov, pcor;
    SSTask* task = nullptr;
    MtxTask(int32_t dim, std::vector<double> c, std::vector<int32_t> ids)
        : p(dim), idx(ids), cov(c), pcov(dim * dim, -777), pcor(dim * dim, -777) {
        __ptzdSSNewTask(&task, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        __ptzdSSEditPartialCovCor(task, idx.data(), cov.data(), &cov_st, nullptr, nullptr, pcov.data(), &pc_st,
                                  pcor.data(), &pr_st);
    }
    ~MtxTask() { __ptzSSDeleteTask(&task); }
    int32_t run(int method = 1) {
        return _ptzdSSPartialCovariance(task, ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, method);
    }
};

// P = S_YY - S_YZ S_ZZ^-1 S_ZY with Y = {0, 3, 5} and Z = {1, 4}, the 2 x 2
// inverse written out; the same matrix given as cor in upper packed storage.
TEST(PartialCovariance, AgainstTheDirectFormula) {
    const int p = 6, k = 3, Y[3] = {0, 3, 5}, Z[2] = {1, 4};
    std::mt19937_64 g(3);
    std::normal_distribution<double> nd;
    std::vector<double> b(p * p), s(p * p, 0), up;
    for (auto& v : b) v = nd(g);
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j)
            for (int e = 0; e < p; ++e) s[i * p + j] += b[i * p + e] * b[j * p + e] + (i == j && e == 0 ? 0.5 : 0);
    const long double z00 = s[Z[0] * p + Z[0]], z01 = s[Z[0] * p + Z[1]], z11 = s[Z[1] * p + Z[1]];
    const long double det = z00 * z11 - z01 * z01, inv[2][2] = {{z11 / det, -z01 / det}, {-z01 / det, z00 / det}};
    MtxTask t(p, s, {1, -1, 0, 1, -1, 1});
    t.pc_st = 1;
    ASSERT_EQ(0, t.run());
    long double P[3][3];
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
            P[i][j] = s[Y[i] * p + Y[j]];
            for (int r = 0; r < 2; ++r)
                for (int c = 0; c < 2; ++c) P[i][j] -= s[Y[i] * p + Z[r]] * inv[r][c] * s[Z[c] * p + Y[j]];
        }
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
            EXPECT_NEAR(double(P[i][j]), sym(t.pcov, 1, k, i, j), 1e-12 * (1 + std::fabs(double(P[i][j]))));
            EXPECT_NEAR(double(P[i][j] / std::sqrt(P[i][i] * P[j][j])), t.pcor[i * k + j], 1e-12);
        }
    for (int i = 0; i < p; ++i)
        for (int j = i; j < p; ++j) up.push_back(s[i * p + j]);
    int32_t up_code = 2;
    MtxTask u(p, s, {1, -1, 0, 1, -1, 1});
    u.task->cov = nullptr;
    __ptzdSSEditCovCor(u.task, nullptr, nullptr, nullptr, up.data(), &up_code);
    ASSERT_EQ(0, u.run());
    for (int i = 0; i < k * k; ++i) EXPECT_NEAR(t.pcor[i], u.pcor[i], 1e-13);

    int32_t two = 2, st = 0, ids[2] = {1, -1};   // the single-precision twin on [[a, c], [c, b]]
    float fc[4] = {4, 1.2f, 1.2f, 2.5f}, pc = 0, pr = 0;
    SSTask* f = nullptr;
    __ptzsSSNewTask(&f, &two, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    __ptzsSSEditPartialCovCor(f, ids, fc, &st, nullptr, nullptr, &pc, &st, &pr, &st);
    ASSERT_EQ(0, _ptzsSSPartialCovariance(f, ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, 1));
    EXPECT_NEAR(4 - 1.44 / 2.5, pc, 1e-6);
    EXPECT_NEAR(1.0, pr, 1e-7);
    __ptzSSDeleteTask(&f);
}

TEST(PartialCovariance, Statuses) {
    const std::vector<double> spd = {2, 0.5, 0.5, 1};
    struct Case { std::vector<int32_t> ids; std::vector<double> m; int method; int clear; int32_t status; };
    const Case cases[] = {
        {{1, 1}, spd, 1, 0, -4073},   {{-1, 0}, spd, 1, 0, -4073},   {{1, -1}, spd, 2, 0, -4029},
        {{1, -1}, {1, 0, 0, -1}, 1, 0, -5010},                       {{1, -1}, spd, 1, 1, -4018},
        {{1, -1}, spd, 1, 2, -4045},  {{1, -1}, spd, 1, 3, -4046},   {{1, -1}, spd, 1, 4, -4047},
        {{1, -1}, spd, 1, 5, -4044},  {{1, -1}, spd, 1, 6, -4073},   {{1, -1}, spd, 1, 7, -4000},
    };
    for (const Case& c : cases) {
        MtxTask t(2, c.m, c.ids);
        if (c.clear == 1) t.task->cov = nullptr;
        if (c.clear == 2) t.task->partialCovIndices = nullptr;
        if (c.clear == 3) t.task->partialCov = nullptr;
        if (c.clear == 4) t.task->partialCor = nullptr;
        if (c.clear == 5) t.task->covStorage = nullptr;
        if (c.clear == 6) t.p = 0;
        if (c.clear == 7) orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(c.status, t.run(c.method)) << c.clear;
        EXPECT_EQ(-777, t.pcov[0]);
    }
    EXPECT_EQ(-4031, _ptzdSSPartialCovariance(nullptr, ORVU_SS_PARTIAL_COV, 1));
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

// C = [1 a -a; a 1 a; -a a 1], a = 0.9, has the eigenvalue 1 - 2a = -0.8 on
// u = (1, -1, 1)/sqrt(3) and 1 + a twice. Raising -0.8 to 1e-14 adds
// (0.8 + 1e-14) u u^T; rescaling to a unit diagonal then gives off-diagonal
// entries of magnitude (1.9 - 1e-14)/(3.8 + 1e-14), about 0.5.
TEST(CorParametrization, IndefiniteIsRepairedExactly) {
    const long double a = 0.9L, shift = (0.8L + 1e-14L) / 3, d = 1 + shift;
    const int sign[3][3] = {{1, -1, 1}, {-1, 1, -1}, {1, -1, 1}};
    for (int code : {0, 1, 2}) {
        ParamTask t(3, {1, 0.9, -0.9, 0.9, 1, 0.9, -0.9, 0.9, 1});
        t.out_st = code;
        ASSERT_EQ(0, t.run());
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const long double c = i == j ? 1 : (i + j == 2 && i != j ? -a : a);
                EXPECT_NEAR(double((c + sign[i][j] * shift) / d), sym(t.out, code, 3, i, j), 1e-12) << code;
            }
    }
    ParamTask pd(3, {1, 0.3, 0.2, 0.3, 1, 0.1, 0.2, 0.1, 1});   // positive definite: copied as is
    ASSERT_EQ(0, pd.run());
    EXPECT_EQ(pd.cor, pd.out);
}

TEST(CorParametrization, Statuses) {
    const std::vector<double> zero(4, 0.0), good = {1, 0.5, 0.5, 1};
    struct Case { std::vector<double> m; int method, in_st, out_st, clear; int32_t status; };
    const Case cases[] = {
        {zero, 4, 0, 0, 0, -4072},  // every eigenvalue raised
        {good, 1, 0, 0, 0, -4029}, {good, 4, 5, 0, 0, -4003}, {good, 4, 0, 3, 0, -4003},
        {good, 4, 0, 0, 1, -4001}, {good, 4, 0, 0, 2, -4019}, {good, 4, 0, 0, 3, -4044},
        {good, 4, 0, 0, 4, -4071}, {good, 4, 0, 0, 5, -4044}, {good, 4, 0, 1, 6, -4003},   // in place, storages differ
        {good, 4, 1, 1, 6, 0},     {good, 4, 0, 0, 7, -4000},
    };
    for (const Case& c : cases) {
        ParamTask t(2, c.m);
        t.in_st = c.in_st;
        t.out_st = c.out_st;
        if (c.clear == 1) t.p = 0;
        if (c.clear == 2) t.task->cor = nullptr;
        if (c.clear == 3) t.task->corStorage = nullptr;
        if (c.clear == 4) t.task->paramCor = nullptr;
        if (c.clear == 5) t.task->paramCorStorage = nullptr;
        if (c.clear == 6) t.task->paramCor = t.cor.data();
        if (c.clear == 7) orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(c.status, t.run(c.method)) << c.clear << " " << c.status;
        if (c.status) {
            EXPECT_EQ(-777, t.out[0]);
        }
    }
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

// ---- pooled covariance ------------------------------------------------------

template <class T>
struct PooledTask {
    int32_t p, n, storage = ORVU_SS_X_COLUMNS, pst = 0, gst = 0;
    std::vector<T> x, pmean, pcov, gmeans, gcov, w;
    std::vector<int32_t> groups, req;
    SSTask* task = nullptr;
    PooledTask(const std::vector<std::vector<double>>& v, std::vector<int32_t> g, std::vector<int32_t> r)
        : p(int32_t(v[0].size())), n(int32_t(v.size())), x(store<T>(v, true)), pmean(p, -777), pcov(p * p, -777),
          gmeans(p * r.size(), -777), gcov(p * p * r.size(), -777), groups(g), req(r) {
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

// Per-group long-double two-pass references; equal weights w change nothing
// (W = w n_g, W2 = w^2 n_g: the divisors scale with the cross-products).
template <class T>
void pooled_against_reference(const OrvuThreadingTable* thr, bool weighted) {
    const int n = 6000, G = 3;
    const auto v = gaussian_data(n, 3, 1.0, 21);
    std::vector<int32_t> g(n);
    for (int i = 0; i < n; ++i) g[i] = (i * 7) % G;
    PooledTask<T> t(v, g, {1, 0, 1});
    t.w.assign(n, T(2.5));
    if (weighted) t.task->weights = t.w.data();
    ASSERT_EQ(0, t.run(kAllPooled, 2, thr));
    const double tol = sizeof(T) == 4 ? 1e-5 : 1e-12;
    std::vector<long double> pooled(9, 0);
    for (int gg = 0, c = 0; gg < G; ++gg) {
        std::vector<std::vector<double>> sub;
        for (int i = 0; i < n; ++i)
            if (g[i] == gg) sub.push_back(v[i]);
        const Ref r = reference<T>(sub, nullptr);
        for (int k = 0; k < 9; ++k) pooled[k] += r.cp[k];
        if (gg == 1) continue;
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(double(r.mean[j]), t.gmeans[c * 3 + j], tol * 3);
        for (int k = 0; k < 9; ++k) EXPECT_NEAR(double(r.cp[k] / (r.W - 1)), t.gcov[c * 9 + k], tol * 10);
        ++c;
    }
    const Ref all = reference<T>(v, nullptr);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(double(all.mean[j]), t.pmean[j], tol * 3);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(double(pooled[k] / (n - G)), t.pcov[k], tol * 10);
    EXPECT_EQ(-777, t.gmeans[6]);   // only two groups were requested
}
TEST(PooledCovariance, AgainstReference) {
    pooled_against_reference<double>(&kSerial, false);
    pooled_against_reference<double>(&kSevenThreads, true);
    pooled_against_reference<float>(&kSevenThreads, false);
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
        {kAllPooled, 2, 0, 9, -4003}, {kAllPooled, 2, 0, 10, -4032}, {kAllPooled, 2, 0, 11, -4000},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> g(40, 0);
        g[5] = 1;
        if (c.bad == 1) g[7] = -1;
        PooledTask<double> t(v, g, {1, c.bad == 2 ? 2 : 1});
        SSTask* k = t.task;
        switch (c.clear) {
        case 1: k->groupIndices = nullptr; break;    case 2: k->pooledMean = nullptr; break;
        case 3: k->pooledCovStorage = nullptr; break; case 4: k->pooledCov = nullptr; break;
        case 5: k->reqGroupIndices = nullptr; break;  case 6: k->groupMeans = nullptr; break;
        case 7: k->groupCovStorage = nullptr; break;  case 8: k->groupCov = nullptr; break;
        case 9: t.storage = 5; break;                 case 10: k->x = nullptr; break;
        }
        if (c.clear == 11) orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(c.status, t.run(c.mask, c.method)) << c.clear;
        EXPECT_EQ(-777, t.pmean[0]);
    }
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

// Sizes computed from caller integers that no block can hold: the memory
// status, before any array of that size is read or written.
TEST(MatrixEstimates, UnrepresentableSizesGiveTheMemoryStatus) {
    int64_t p = int64_t(1) << 40, n = 1, cols = ORVU_SS_X_COLUMNS, st = 0, groups[1] = {int64_t(1) << 62};
    double x[1] = {1}, out[4], mean[1];
    const int marker = 1;
    SSTask* t = nullptr;
    ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, &n, &cols, x, nullptr, nullptr, &marker));
    __ptzdSSEditMtxParametrz(t, out, &st, out, &st);
    EXPECT_EQ(-4000, _ptzdSSCorParametrization(t, 0, 0, 4));                 // 2 p^2 doubles
    p = 1;
    __ptzdSSEditPooledCovariance(t, groups, mean, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(-4000, _ptzdSSPooledCovariance(t, 0, uint32_t(ORVU_SS_POOLED_MEAN >> 32), 2, 0, nullptr));   // 2^62 groups
    groups[0] = INT64_MAX;
    EXPECT_EQ(-4000, _ptzdSSPooledCovariance(t, 0, uint32_t(ORVU_SS_POOLED_MEAN >> 32), 2, 0, &kSevenThreads));
    __ptzSSDeleteTask(&t);
}

}  // namespace
