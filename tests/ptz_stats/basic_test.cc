// Basic statistics against a compensated two-pass long-double reference:
// every estimate, both layouts, weights, the three data methods, both
// precisions; streaming, threads, statuses and allocation failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "basic_fixture.h"

namespace {
using namespace sstest;

// Largest error of all estimates, each scaled by the size of the terms it is
// made of (so that a central sum close to zero is not judged relatively).
template <class T>
double worst_error(const BasicTask<T>& t, const Ref& r, std::string* where) {
    const int64_t p = t.p;
    const long double W = r.W, W2 = r.W2;
    double worst = 0;
    auto check = [&](const char* what, int64_t j, double got, long double want, long double scale) {
        const double e = double(std::fabs((long double)got - want) / scale);
        if (!(e <= worst)) {   // NaN counts as worst
            worst = std::isnan(e) ? 1e300 : e;
            *where = std::string(what) + "[" + std::to_string(j) + "]";
        }
    };
    for (int64_t j = 0; j < p; ++j) {
        const long double s2 = r.s2[j], sd = std::sqrt(s2 / W), m = r.mean[j];
        const long double c2 = s2 * W / (W * W - W2), c3 = r.s3[j] / W, c4 = r.s4[j] / W;
        check("mean", j, t.out[0][j], m, sd + std::fabs(m));
        check("raw2", j, t.out[1][j], r.r2[j], r.r2[j]);
        check("raw3", j, t.out[2][j], r.r3[j], std::pow(r.r2[j], 1.5L));
        check("raw4", j, t.out[3][j], r.r4[j], r.r4[j]);
        check("cen2", j, t.out[4][j], c2, c2);
        check("cen3", j, t.out[5][j], c3, std::pow(c2, 1.5L));
        check("cen4", j, t.out[6][j], c4, c4);
        check("kurtosis", j, t.out[9][j], c4 / (c2 * c2) - 3, 1);
        check("skewness", j, t.out[10][j], c3 / std::sqrt(c2 * c2 * c2), 1);
        check("variation", j, t.out[11][j], std::sqrt(c2) / m, std::fabs(std::sqrt(c2) / m));
        check("sum", j, t.out[12][j], m * W, (sd + std::fabs(m)) * W);
        check("rawsum2", j, t.out[13][j], r.r2[j] * W, r.r2[j] * W);
        check("rawsum3", j, t.out[14][j], r.r3[j] * W, std::pow(r.r2[j], 1.5L) * W);
        check("rawsum4", j, t.out[15][j], r.r4[j] * W, r.r4[j] * W);
        check("censum2", j, t.out[16][j], s2, s2);
        check("censum3", j, t.out[17][j], r.s3[j], std::pow(c2, 1.5L) * W);
        check("censum4", j, t.out[18][j], r.s4[j], r.s4[j]);
        for (int64_t k = 0; k < p; ++k) {
            const long double cp = r.cp[j * p + k], scale = std::sqrt(r.cp[j * p + j] * r.cp[k * p + k]);
            const long double f = 1 / (W - W2 / W);
            check("cp", j * p + k, t.out[19][j * p + k], cp, scale);
            check("cov", j * p + k, t.out[7][j * p + k], cp * f, scale * f);
            check("cor", j * p + k, t.out[8][j * p + k], j == k ? cp * f : cp / scale, j == k ? scale * f : 1);
        }
    }
    return worst;
}

struct AccuracyCase { int method; bool columns, weighted; };
constexpr AccuracyCase kAccuracyCases[] = {
    {ORVU_SS_METHOD_1PASS, false, false}, {ORVU_SS_METHOD_1PASS, true, false},
    {ORVU_SS_METHOD_1PASS, false, true},  {ORVU_SS_METHOD_1PASS, true, true},
    {ORVU_SS_METHOD_FAST, false, false},  {ORVU_SS_METHOD_FAST, true, true},
    {ORVU_SS_METHOD_2PASS, false, true},  {ORVU_SS_METHOD_2PASS, true, false},
};

std::vector<double> weights_for(int64_t n) {
    std::vector<double> w(n);
    for (int64_t i = 0; i < n; ++i) w[i] = i < 3 ? 0.0 : 0.25 + double((i * 7919) % 13) / 4;   // leading zeros
    return w;
}

// Bound: the error of each estimate, scaled as above, stays below
// 1e-12 * kappa (one pass) or 256 eps kappa^4 (fast: the fourth raw power sum
// cancels) in double, with kappa = 1 + |mean| / sd. Single-precision tasks
// accumulate in double, so their results are the exact values rounded (bound
// 4 ulp of float); with given means (second pass) the means themselves are
// rounded to float, which moves the centre by up to kappa ulp (bound 4 kappa
// ulp).
template <class T>
void accuracy_cases() {
    const auto v = gaussian_data(3000, 4, 20.0, 42);
    const auto w = weights_for(3000);
    for (const AccuracyCase& c : kAccuracyCases) {
        SCOPED_TRACE(::testing::Message() << "method " << c.method << " columns " << c.columns << " w " << c.weighted);
        BasicTask<T> t(v, c.columns, c.weighted ? &w : nullptr);
        const Ref r = reference<T>(v, c.weighted ? &w : nullptr);
        if (c.method == ORVU_SS_METHOD_2PASS)
            for (int j = 0; j < t.p; ++j) t.out[0][j] = T(r.mean[j]);
        ASSERT_EQ(0, t.run(kAllBasic, c.method));
        EXPECT_EQ(T(r.W), t.acc[0]);
        std::string where;
        const double kappa = 1 + 20.0 / 1.0;
        const double bound = sizeof(T) == 4 ? 4 * 6e-8 * (c.method == ORVU_SS_METHOD_2PASS ? kappa : 1)
                           : (c.method == ORVU_SS_METHOD_FAST ? 256 * 1.1e-16 * std::pow(kappa, 4) : 1e-12 * kappa);
        EXPECT_LE(worst_error(t, r, &where), bound) << where;
    }
}
TEST(BasicAccuracy, DoubleAgainstReference) { accuracy_cases<double>(); }
TEST(BasicAccuracy, SingleAgainstReference) { accuracy_cases<float>(); }

// 1e9 + N(0, 1), n = 10^6: the one-pass variance keeps its digits; the fast
// method's raw power sums cancel (it may lose all of them).
TEST(BasicAccuracy, LargeMeanSmallSpread) {
    const int64_t n = 1000000;
    std::vector<std::vector<double>> v(n, std::vector<double>(1));
    std::mt19937_64 g(7);
    std::normal_distribution<double> nd(0, 1);
    for (auto& row : v) row[0] = 1e9 + nd(g);
    const Ref r = reference<double>(v, nullptr);
    const long double c2 = r.s2[0] / (r.W - 1);
    double err[2];
    const int methods[2] = {ORVU_SS_METHOD_1PASS, ORVU_SS_METHOD_FAST};
    for (int k = 0; k < 2; ++k) {
        BasicTask<double> t(v, true, nullptr);
        ASSERT_EQ(0, t.run(ORVU_SS_MEAN | ORVU_SS_CEN2, methods[k], &kSevenThreads));
        err[k] = double(std::fabs(t.out[4][0] - c2) / c2);
    }
    RecordProperty("one_pass_rel_error", std::to_string(err[0]));
    RecordProperty("fast_rel_error", std::to_string(err[1]));
    std::printf("variance of 1e9 + N(0,1), n = 1e6: one-pass rel. error %.2e, fast %.2e\n", err[0], err[1]);
    // The one-pass kernels keep the running mean relative to the block's first
    // observation, so the offset costs no digits (measured: 2e-10).
    EXPECT_LT(err[0], 1e-8);
    EXPECT_GT(err[1], 100 * err[0]);
}

// Feeding the data in 2, 3 and 7 portions gives what one call gives.
template <class T>
void streaming_cases(int method, bool weighted) {
    const auto v = gaussian_data(701, 3, 3.0, 9);
    const auto w = weights_for(701);
    BasicTask<T> whole(v, false, weighted ? &w : nullptr);
    const Ref r = reference<T>(v, weighted ? &w : nullptr);
    if (method == ORVU_SS_METHOD_2PASS)
        for (int j = 0; j < 3; ++j) whole.out[0][j] = T(r.mean[j]);
    ASSERT_EQ(0, whole.run(kAllBasic, method));
    for (int parts : {2, 3, 7}) {
        SCOPED_TRACE(parts);
        BasicTask<T> t(v, false, weighted ? &w : nullptr);
        if (method == ORVU_SS_METHOD_2PASS) t.out[0] = whole.out[0];
        for (int k = 0; k < parts; ++k) {
            const size_t a = v.size() * k / parts, b = v.size() * (k + 1) / parts;
            std::vector<std::vector<double>> part(v.begin() + a, v.begin() + b);
            std::vector<double> pw(w.begin() + a, w.begin() + b);
            t.portion(part, weighted ? &pw : nullptr);
            ASSERT_EQ(0, t.run(kAllBasic, method));
        }
        const double tol = sizeof(T) == 4 ? 2e-6 : 1e-11;
        for (int s = 0; s < 20; ++s)
            for (size_t j = 0; j < t.out[s].size(); ++j)
                EXPECT_NEAR(t.out[s][j], whole.out[s][j], tol * (1 + std::fabs(double(whole.out[s][j]))))
                    << "slot " << s << " element " << j;
        EXPECT_EQ(whole.acc[0], t.acc[0]);
    }
}
TEST(BasicStreaming, PortionsEqualOneCall) {
    for (int m : {ORVU_SS_METHOD_1PASS, ORVU_SS_METHOD_FAST, ORVU_SS_METHOD_2PASS}) {
        SCOPED_TRACE(m);
        streaming_cases<double>(m, false);
        streaming_cases<double>(m, true);
        streaming_cases<float>(m, true);
    }
}

// A continuing call rebuilds lower-order sums from whatever holds them: here
// the third central moment alone carries the state of S3, the raw moments
// that of S2.
TEST(BasicStreaming, StateFromMomentsOnly) {
    const auto v = gaussian_data(400, 2, 1.0, 5);
    BasicTask<double> whole(v, true, nullptr), t(v, true, nullptr);
    const uint64_t mask = ORVU_SS_CEN3 | ORVU_SS_COV;
    ASSERT_EQ(0, whole.run(mask, ORVU_SS_METHOD_1PASS));
    for (int k = 0; k < 2; ++k) {
        std::vector<std::vector<double>> part(v.begin() + 200 * k, v.begin() + 200 * (k + 1));
        t.portion(part, nullptr);
        ASSERT_EQ(0, t.run(mask, ORVU_SS_METHOD_1PASS));
    }
    for (int s : {5, 7})
        for (size_t j = 0; j < t.out[s].size(); ++j) EXPECT_NEAR(t.out[s][j], whole.out[s][j], 1e-10);
    // The third central sum with only the mean attached cannot be carried on.
    BasicTask<double> u(v, true, nullptr);
    for (int id : {8, 9, 10, 11, 12, 13, 68, 69, 70, 71, 73}) u.edit(id, nullptr);
    u.task->rawMom2 = u.task->rawMom3 = u.task->rawMom4 = u.task->cenMom2 = u.task->cenMom3 = nullptr;
    u.task->cenMom4 = u.task->rawSum2 = u.task->rawSum3 = u.task->rawSum4 = u.task->cenSum2 = nullptr;
    ASSERT_EQ(0, u.run(ORVU_SS_CEN_SUM3, ORVU_SS_METHOD_1PASS));
    EXPECT_EQ(-4029, u.run(ORVU_SS_CEN_SUM3, ORVU_SS_METHOD_1PASS));
}

TEST(BasicThreads, OneAndSevenThreadsAgree) {
    const auto v = gaussian_data(20000, 5, 2.0, 11);
    const auto w = weights_for(20000);
    for (int m : {ORVU_SS_METHOD_1PASS, ORVU_SS_METHOD_FAST}) {
        BasicTask<double> a(v, false, &w), b(v, false, &w);
        ASSERT_EQ(0, a.run(kAllBasic, m, &kSerial));
        ASSERT_EQ(0, b.run(kAllBasic, m, &kSevenThreads));
        ASSERT_EQ(0, b.run(kAllBasic, m, nullptr));   // null table: serial (continues)
        BasicTask<double> c(v, false, &w);
        ASSERT_EQ(0, c.run(kAllBasic, m, &kSevenThreads));
        for (int s = 0; s < 20; ++s)
            for (size_t j = 0; j < a.out[s].size(); ++j)
                EXPECT_NEAR(a.out[s][j], c.out[s][j], (m == ORVU_SS_METHOD_FAST ? 1e-9 : 1e-11) * (1 + std::fabs(a.out[s][j])))
                    << s << " " << j;
    }
}

TEST(BasicStorage, PackedMatricesHoldTheFullOnes) {
    const auto v = gaussian_data(300, 4, 0.0, 3);
    BasicTask<double> full(v, true, nullptr);
    ASSERT_EQ(0, full.run(ORVU_SS_COV | ORVU_SS_COR | ORVU_SS_CP, ORVU_SS_METHOD_1PASS));
    for (int code : {1, 2, 3}) {
        BasicTask<double> t(v, true, nullptr);
        t.cov_st = t.cor_st = t.cp_st = code;
        ASSERT_EQ(0, t.run(ORVU_SS_COV | ORVU_SS_COR | ORVU_SS_CP, ORVU_SS_METHOD_1PASS));
        const bool upper = code & 2;
        int k = 0;   // row by row through the stored triangle
        for (int i = 0; i < 4; ++i)
            for (int j = upper ? i : 0; j <= (upper ? 3 : i); ++j, ++k)
                for (int s : {7, 8, 19}) EXPECT_DOUBLE_EQ(full.out[s][i * 4 + j], t.out[s][k]) << code;
        EXPECT_EQ(-777, t.out[7][10]);   // past the 10 packed elements nothing is written
    }
}

TEST(BasicIndices, SkippedComponentsAreUntouched) {
    const auto v = gaussian_data(200, 3, 1.0, 8);
    BasicTask<double> all(v, false, nullptr), some(v, false, nullptr);
    int32_t idx[3] = {1, 0, 1};
    __ptziSSEditTask(some.task, 5, idx);
    ASSERT_EQ(0, all.run(kAllBasic, ORVU_SS_METHOD_1PASS));
    ASSERT_EQ(0, some.run(kAllBasic, ORVU_SS_METHOD_1PASS));
    EXPECT_EQ(-777, some.out[0][1]);
    EXPECT_DOUBLE_EQ(all.out[0][2], some.out[0][2]);
    EXPECT_EQ(-777, some.out[7][1 * 3 + 2]);
    EXPECT_DOUBLE_EQ(all.out[7][0 * 3 + 2], some.out[7][0 * 3 + 2]);
}

TEST(BasicEdges, SingleObservationWritesWhatTheFormulaGives) {
    std::vector<std::vector<double>> v = {{2.0}};
    BasicTask<double> t(v, false, nullptr);
    ASSERT_EQ(0, t.run(ORVU_SS_MEAN | ORVU_SS_CEN2, ORVU_SS_METHOD_1PASS));
    EXPECT_EQ(2.0, t.out[0][0]);
    EXPECT_FALSE(std::isfinite(t.out[4][0]));
}

struct StatusCase { uint64_t mask; int method; int null_id; int32_t status; };
constexpr StatusCase kStatusCases[] = {
    {ORVU_SS_MEAN, 0x1 | 0x2, 0, -4029},          {ORVU_SS_MEAN, 0x2 | 0x100, 0, -4029},
    {ORVU_SS_MEAN, 0, 0, -4029},                  {ORVU_SS_MEAN, 0x8, 0, -4029},
    {ORVU_SS_SKEWNESS, 0x2, 12, -4011},           {ORVU_SS_KURTOSIS, 0x2, 8, -4007},   // lowest missing slot
    {ORVU_SS_KURTOSIS, 0x2, 14, -4013},           {ORVU_SS_VARIATION, 0x1, 18, -4017},
    {ORVU_SS_COV, 0x2, 19, -4018},                {ORVU_SS_COR, 0x2, 21, -4019},
    {ORVU_SS_CP, 0x2, 74, -4081},                 {ORVU_SS_CEN_SUM4, 0x1, 10, -4009},
    {ORVU_SS_SUM, 0x400, 0, -4029},               {ORVU_SS_CP, 0x200, 0, -4029},
    {ORVU_SS_COV, 0x200, 74, -4081},              {ORVU_SS_MEAN, 0x2, 3, -4032},
    {ORVU_SS_MEAN, 0x2, 1, -4001},                {ORVU_SS_MEAN, 0x2, 2, -4002},
    {ORVU_SS_MEAN, 0x2, 4, -4044},                {ORVU_SS_COV, 0x2, 20, -4044},
    {ORVU_SS_RAW2, 0x100, 7, -4006},
};

TEST(BasicStatus, ChecksRunBeforeAnyWrite) {
    const auto v = gaussian_data(50, 2, 1.0, 1);
    for (const StatusCase& c : kStatusCases) {
        SCOPED_TRACE(::testing::Message() << "mask " << c.mask << " method " << c.method << " id " << c.null_id);
        BasicTask<double> t(v, false, nullptr);
        if (c.null_id == 1) t.task->p = nullptr;
        else if (c.null_id == 2) t.task->n = nullptr;
        else if (c.null_id == 3) t.task->x = nullptr;
        else if (c.null_id == 4) t.task->xStorage = nullptr;
        else if (c.null_id == 20) t.task->covStorage = nullptr;
        else if (c.null_id) {
            // the field of that id, cleared through the record
            static const struct { int id; size_t off; } offs[] = {
                {7, offsetof(SSTask, mean)}, {8, offsetof(SSTask, rawMom2)}, {10, offsetof(SSTask, rawMom4)},
                {12, offsetof(SSTask, cenMom3)}, {14, offsetof(SSTask, kurtosis)},
                {18, offsetof(SSTask, variation)}, {19, offsetof(SSTask, cov)}, {21, offsetof(SSTask, cor)},
                {74, offsetof(SSTask, cp)}};
            for (auto& o : offs)
                if (o.id == c.null_id) *reinterpret_cast<void**>(reinterpret_cast<char*>(t.task) + o.off) = nullptr;
        }
        EXPECT_EQ(c.status, t.run(c.mask, c.method));
        for (int s = 0; s < 20; ++s) EXPECT_EQ(-777, t.out[s][0]);
    }
}

TEST(BasicStatus, ConversionWithoutAccumulatedWeights) {
    const auto v = gaussian_data(50, 2, 1.0, 1);
    const auto w = weights_for(50);
    BasicTask<double> t(v, false, &w);
    t.task->accumWeight = nullptr;
    EXPECT_EQ(-4020, t.run(ORVU_SS_COV, ORVU_SS_METHOD_CP_TO_COVCOR));   // weights present
    BasicTask<double> u(v, false, nullptr);
    u.task->accumWeight = nullptr;
    u.task->n = nullptr;
    EXPECT_EQ(-4020, u.run(ORVU_SS_COV, ORVU_SS_METHOD_CP_TO_COVCOR));
}

// The conversion-only methods turn sums and cross-products from an earlier
// call into the moments, covariance and correlation that call would give.
TEST(BasicConversion, SumsAndCrossProductIntoEstimates) {
    const auto v = gaussian_data(500, 3, 2.0, 4);
    const auto w = weights_for(500);
    BasicTask<double> direct(v, true, &w), conv(v, true, &w);
    ASSERT_EQ(0, direct.run(kAllBasic, ORVU_SS_METHOD_1PASS));
    const uint64_t sums = ORVU_SS_SUM | ORVU_SS_RAW_SUM2 | ORVU_SS_RAW_SUM3 | ORVU_SS_RAW_SUM4 | ORVU_SS_CEN_SUM2 |
                          ORVU_SS_CEN_SUM3 | ORVU_SS_CEN_SUM4 | ORVU_SS_CP;
    ASSERT_EQ(0, conv.run(sums, ORVU_SS_METHOD_1PASS));
    const uint64_t derived = kAllBasic & ~sums;
    ASSERT_EQ(0, conv.run(derived, ORVU_SS_METHOD_SUM_TO_MOM | ORVU_SS_METHOD_CP_TO_COVCOR));
    for (int s = 0; s < 12; ++s)
        for (size_t j = 0; j < direct.out[s].size(); ++j)
            EXPECT_NEAR(direct.out[s][j], conv.out[s][j], 1e-12 * (1 + std::fabs(direct.out[s][j]))) << s;
}

TEST(BasicMemory, EveryAllocationFailureIsReported) {
    const auto v = gaussian_data(100, 3, 1.0, 2);
    for (int k = 1; k <= 2; ++k) {
        BasicTask<double> t(v, false, nullptr);
        orvu_serv_test_fail_allocation(k);
        const int32_t st = t.run(kAllBasic, ORVU_SS_METHOD_FAST);
        orvu_serv_test_fail_allocation(0);
        if (k == 1) {
            EXPECT_EQ(-4000, st);
            EXPECT_EQ(-777, t.out[0][0]);
        } else {
            EXPECT_EQ(0, st);   // one allocation per call
        }
    }
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

// A task with 64-bit integers: p, n, storage codes and indices are read as
// int64_t; the results equal those of the 32-bit task.
TEST(BasicIntegers, SixtyFourBitTask) {
    const auto v = gaussian_data(300, 3, 1.0, 12);
    BasicTask<double> ref(v, true, nullptr);
    int32_t idx32[3] = {1, 1, 0};
    __ptziSSEditTask(ref.task, 5, idx32);
    ASSERT_EQ(0, ref.run(ORVU_SS_MEAN | ORVU_SS_COV, ORVU_SS_METHOD_1PASS));
    int64_t p = 3, n = 300, storage = ORVU_SS_X_COLUMNS, cov_st = 0, idx[3] = {1, 1, 0};
    const int marker = 1;
    std::vector<double> mean(3, -777), cov(9, -777);
    SSTask* t = nullptr;
    ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, &n, &storage, ref.x.data(), nullptr, idx, &marker));
    __ptzdSSEditCovCor(t, mean.data(), cov.data(), &cov_st, nullptr, nullptr);
    ASSERT_EQ(0, _ptzdSSBasic(t, ORVU_SS_MEAN | ORVU_SS_COV, 0, ORVU_SS_METHOD_1PASS, 0, &kSerial));
    for (int j = 0; j < 3; ++j) EXPECT_EQ(ref.out[0][j], mean[j]);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(ref.out[7][k], cov[k]);
    EXPECT_EQ(-777, mean[2]);
    __ptzSSDeleteTask(&t);
}

}  // namespace
