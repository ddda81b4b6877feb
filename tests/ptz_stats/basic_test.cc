// Basic statistics against a compensated two-pass long-double reference:
// accuracy over mean/spread ratios, streaming, threads, storage, statuses and
// allocation failure.
#include <gtest/gtest.h>

#include <cmath>

#include "basic_fixture.h"

namespace {
using namespace sstest;

std::vector<double> weights_for(int64_t n) {
    std::vector<double> w(n);
    for (int64_t i = 0; i < n; ++i) w[i] = i < 3 ? 0.0 : 0.25 + double((i * 7919) % 13) / 4;   // leading zeros
    return w;
}

// Every estimate within 1e-11 of the reference, scaled as in worst_error, for
// mean/sd up to 1e4, in double, in one call or in three portions (the result
// arrays and the accumulated weights carry the state; the middle call has a
// null table: serial), split over threads; given means (second pass) are the
// reference's. Single-precision tasks accumulate in double: one call gives
// the exact results rounded (4 ulp), portions round the state between calls
// (which at large offsets costs the mean its low digits: not tested); given
// means rounded to float move the centre by up to 1 + mean/sd ulp. 30000
// observations on one thread cross several blocks of the cross-product.
template <class T>
void accuracy_cases(double ratio, const OrvuThreadingTable* thr, int64_t n = 3000) {
    const auto v = gaussian_data(n, 3, ratio, 42);
    const auto w = weights_for(n);
    for (int method : {ORVU_SS_METHOD_1PASS, ORVU_SS_METHOD_FAST, ORVU_SS_METHOD_2PASS})
        for (int cw = 0; cw < 4; ++cw) {   // columns, weights
            const Ref r = reference<T>(v, cw & 2 ? &w : nullptr);
            for (int parts : {1, 3}) {
                if (sizeof(T) == 4 && parts > 1 && ratio > 33) continue;
                SCOPED_TRACE(::testing::Message() << "mean/sd " << ratio << " method " << method << " cols|2w " << cw
                                                  << " parts " << parts);
                BasicTask<T> t(v, cw & 1, cw & 2 ? &w : nullptr);
                for (int j = 0; j < t.p && method == ORVU_SS_METHOD_2PASS; ++j) t.out[0][j] = T(r.mean[j]);
                for (int k = 0; k < parts; ++k) {
                    const size_t a = v.size() * k / parts, b = v.size() * (k + 1) / parts;
                    const std::vector<double> pw(w.begin() + a, w.begin() + b);
                    t.portion(std::vector<std::vector<double>>(v.begin() + a, v.begin() + b), cw & 2 ? &pw : nullptr);
                    ASSERT_EQ(0, t.run(kAllBasic, method, k == 1 ? nullptr : thr));
                }
                EXPECT_EQ(T(r.W), t.acc[0]);
                std::string where;
                const double bound = sizeof(T) == 8 ? 1e-11
                                   : (parts > 1 ? 2e-6 : 2.4e-7) * (method == ORVU_SS_METHOD_2PASS ? 1 + ratio : 1);
                EXPECT_LE(worst_error(t, r, &where), bound) << where;
            }
        }
}
TEST(BasicAccuracy, WithinBoundForLargeMeansInOneCallOrPortions) {
    for (double ratio : {0.0, 33.0, 1e4}) {
        accuracy_cases<double>(ratio, &kSevenThreads);
        accuracy_cases<float>(ratio, &kSevenThreads);
    }
    accuracy_cases<double>(1e4, &kSerial, 30000);
}

// A continuing call rebuilds lower-order sums from whatever holds them: here
// the third central moment alone carries S3, the raw moments S2. The third
// central sum with only the mean attached cannot be carried on.
TEST(BasicStreaming, StateFromMomentsOnly) {
    const auto v = gaussian_data(400, 2, 1.0, 5);
    BasicTask<double> whole(v, true, nullptr), t(v, true, nullptr), u(v, true, nullptr);
    const uint64_t mask = ORVU_SS_CEN3 | ORVU_SS_COV;
    ASSERT_EQ(0, whole.run(mask, ORVU_SS_METHOD_1PASS));
    for (int k = 0; k < 2; ++k) {
        t.portion(std::vector<std::vector<double>>(v.begin() + 200 * k, v.begin() + 200 * (k + 1)), nullptr);
        ASSERT_EQ(0, t.run(mask, ORVU_SS_METHOD_1PASS));
    }
    for (int s : {5, 7})
        for (size_t j = 0; j < t.out[s].size(); ++j) EXPECT_NEAR(t.out[s][j], whole.out[s][j], 1e-10);
    u.task->rawMom2 = u.task->rawMom3 = u.task->rawMom4 = u.task->cenMom2 = u.task->cenMom3 = nullptr;
    u.task->cenMom4 = u.task->rawSum2 = u.task->rawSum3 = u.task->rawSum4 = u.task->cenSum2 = nullptr;
    ASSERT_EQ(0, u.run(ORVU_SS_CEN_SUM3, ORVU_SS_METHOD_1PASS));
    EXPECT_EQ(-4029, u.run(ORVU_SS_CEN_SUM3, ORVU_SS_METHOD_1PASS));
}

// Packed storage holds the full matrices' triangles, row by row; skipped
// components (indices 0) are untouched; n = 1 writes what the formula gives.
TEST(BasicStorage, PackedMatricesSkippedComponentsAndOneObservation) {
    const auto v = gaussian_data(300, 4, 0.0, 3);
    BasicTask<double> full(v, true, nullptr);
    ASSERT_EQ(0, full.run(kAllBasic, ORVU_SS_METHOD_1PASS));
    for (int code : {1, 2, 3}) {
        BasicTask<double> t(v, true, nullptr);
        t.cov_st = t.cor_st = t.cp_st = code;
        ASSERT_EQ(0, t.run(ORVU_SS_COV | ORVU_SS_COR | ORVU_SS_CP, ORVU_SS_METHOD_1PASS));
        const bool upper = code & 2;
        int k = 0;
        for (int i = 0; i < 4; ++i)
            for (int j = upper ? i : 0; j <= (upper ? 3 : i); ++j, ++k)
                for (int s : {7, 8, 19}) EXPECT_DOUBLE_EQ(full.out[s][i * 4 + j], t.out[s][k]) << code;
        EXPECT_EQ(-777, t.out[7][10]);   // past the 10 packed elements nothing is written
    }
    BasicTask<double> some(v, true, nullptr);
    int32_t idx[4] = {1, 0, 1, 1};
    __ptziSSEditTask(some.task, 5, idx);
    ASSERT_EQ(0, some.run(kAllBasic, ORVU_SS_METHOD_FAST));
    EXPECT_TRUE(some.out[0][1] == -777 && some.out[7][1 * 4 + 2] == -777);
    EXPECT_NEAR(full.out[7][0 * 4 + 2], some.out[7][0 * 4 + 2], 1e-12);
    BasicTask<double> one({{2.0}}, false, nullptr);
    ASSERT_EQ(0, one.run(ORVU_SS_MEAN | ORVU_SS_CEN2, ORVU_SS_METHOD_1PASS));
    EXPECT_TRUE(one.out[0][0] == 2.0 && !std::isfinite(one.out[4][0]));
}

// null_field: offset + 1 of the task field cleared before the call (0: none).
struct StatusCase { uint64_t mask; int method; size_t null_field; int32_t status; };
#define F(name) offsetof(SSTask, name) + 1
constexpr StatusCase kStatusCases[] = {
    {ORVU_SS_MEAN, 0x1 | 0x2, 0, -4029},       {ORVU_SS_MEAN, 0x2 | 0x100, 0, -4029},
    {ORVU_SS_MEAN, 0, 0, -4029},               {ORVU_SS_MEAN, 0x8, 0, -4029},
    {ORVU_SS_SKEWNESS, 0x2, F(cenMom3), -4011}, {ORVU_SS_KURTOSIS, 0x2, F(rawMom2), -4007},   // lowest missing slot
    {ORVU_SS_KURTOSIS, 0x2, F(kurtosis), -4013}, {ORVU_SS_VARIATION, 0x1, F(variation), -4017},
    {ORVU_SS_COV, 0x2, F(cov), -4018},         {ORVU_SS_COR, 0x2, F(cor), -4019},
    {ORVU_SS_CP, 0x2, F(cp), -4081},           {ORVU_SS_CEN_SUM4, 0x1, F(rawMom4), -4009},
    {ORVU_SS_SUM, 0x400, 0, -4029},            {ORVU_SS_CP, 0x200, 0, -4029},
    {ORVU_SS_COV, 0x200, F(cp), -4081},        {ORVU_SS_MEAN, 0x2, F(x), -4032},
    {ORVU_SS_MEAN, 0x2, F(p), -4001},          {ORVU_SS_MEAN, 0x2, F(n), -4002},
    {ORVU_SS_MEAN, 0x2, F(xStorage), -4044},   {ORVU_SS_COV, 0x2, F(covStorage), -4044},
    {ORVU_SS_RAW2, 0x100, F(mean), -4006},     {ORVU_SS_COV, 0x200, F(accumWeight), -4020},   // weights present
};
#undef F
TEST(BasicStatus, ChecksRunBeforeAnyWrite) {
    const auto v = gaussian_data(50, 2, 1.0, 1);
    const auto w = weights_for(50);
    for (const StatusCase& c : kStatusCases) {
        SCOPED_TRACE(::testing::Message() << "mask " << c.mask << " method " << c.method << " field " << c.null_field);
        BasicTask<double> t(v, false, &w);
        if (c.null_field) *reinterpret_cast<void**>(reinterpret_cast<char*>(t.task) + c.null_field - 1) = nullptr;
        EXPECT_EQ(c.status, t.run(c.mask, c.method));
        for (int s = 0; s < 20; ++s) EXPECT_EQ(-777, t.out[s][0]);
    }
    BasicTask<double> u(v, false, nullptr);   // no weights, no n: nothing gives W
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
    ASSERT_EQ(0, conv.run(kAllBasic & ~sums, ORVU_SS_METHOD_SUM_TO_MOM | ORVU_SS_METHOD_CP_TO_COVCOR));
    for (int s = 0; s < 12; ++s)
        for (size_t j = 0; j < direct.out[s].size(); ++j)
            EXPECT_NEAR(direct.out[s][j], conv.out[s][j], 1e-12 * (1 + std::fabs(direct.out[s][j]))) << s;
}

TEST(BasicMemory, AllocationFailureIsReported) {
    {
        BasicTask<double> t(gaussian_data(100, 3, 1.0, 2), false, nullptr);
        orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(-4000, t.run(kAllBasic, ORVU_SS_METHOD_FAST));
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(-777, t.out[0][0]);
        EXPECT_EQ(0, t.run(kAllBasic, ORVU_SS_METHOD_FAST));   // one allocation per call
    }
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

// A task with 64-bit integers: p, n, storage codes and indices are read as
// int64_t; the results equal those of the 32-bit task.
TEST(BasicIntegers, SixtyFourBitTask) {
    BasicTask<double> ref(gaussian_data(300, 3, 1.0, 12), true, nullptr);
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
    EXPECT_EQ(std::vector<double>(ref.out[0]), mean);
    EXPECT_EQ(std::vector<double>(ref.out[7]), cov);
    __ptzSSDeleteTask(&t);
}

}  // namespace
