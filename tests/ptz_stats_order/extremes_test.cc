// Minimum and maximum, absolute deviations and the weighted quantile.
#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

template <class T>
class ExtremesTest : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(ExtremesTest, Precisions);

TYPED_TEST(ExtremesTest, MinmaxOverTwoPortionsGivesTheWholeRange) {
    using T = TypeParam;
    for (bool columns : {false, true})
        for (bool indexed : {false, true}) {
            const int32_t p = 4, n = 300;
            const std::vector<T> all = tied_data<T>(2 * n * p, 5 + columns);
            Task<T> task(p, n, columns, std::vector<T>(all.begin(), all.begin() + n * p));
            std::vector<T> second(all.begin() + n * p, all.end());
            task.x[7] = T(NAN);   // ignored, as fmin/fmax ignore it in the reference
            task.indices = {1, 1, 0, 1};
            if (indexed) {
                ASSERT_EQ(__ptziSSEditTask(task.t, 5, task.indices.data()), 0);
            }
            std::vector<T> mn(p, T(INFINITY)), mx(p, -T(INFINITY)), lo(p, T(INFINITY)), hi(p, -T(INFINITY));
            task.t->min = mn.data();
            task.t->max = mx.data();
            ASSERT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN | ORVU_SS_MAX, 0, ORVU_SS_METHOD_FAST), 0);
            for (int j = 0; j < p; ++j)
                for (T v : task.column(j)) lo[j] = std::fmin(lo[j], v), hi[j] = std::fmax(hi[j], v);
            task.x = second;   // same storage, now the other half
            task.t->x = task.x.data();
            ASSERT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN | ORVU_SS_MAX, 0, ORVU_SS_METHOD_1PASS), 0);
            for (int j = 0; j < p; ++j) {
                for (T v : task.column(j)) lo[j] = std::fmin(lo[j], v), hi[j] = std::fmax(hi[j], v);
                const bool skipped = indexed && j == 2;
                EXPECT_EQ(mn[j], skipped ? T(INFINITY) : lo[j]) << columns << indexed << j;
                EXPECT_EQ(mx[j], skipped ? -T(INFINITY) : hi[j]) << columns << indexed << j;
            }
        }
}

TYPED_TEST(ExtremesTest, MinmaxStatuses) {
    using T = TypeParam;
    Task<T> task(2, 3, false, {1, 2, 3, 4, 5, 6});
    T mn[2] = {9, 9}, mx[2] = {0, 0};
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN, 0, 1), -4015);
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MAX, 0, 1), -4016);
    task.t->min = mn;
    task.t->max = mx;
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN, 0, 4), -4029);
    task.t->x = nullptr;
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN, 0, 1), -4032);
    task.t->x = task.x.data();
    int32_t idx[2] = {0, 1};
    task.t->indices = idx;
    EXPECT_EQ(sweep_allocation_failures([&] { return Api<T>::minmax(task.t, ORVU_SS_MIN | ORVU_SS_MAX, 0, 1); }), 1);
    EXPECT_EQ(mn[0], T(9));
    EXPECT_EQ(mn[1], T(4));
    EXPECT_EQ(mx[1], T(6));
}

TYPED_TEST(ExtremesTest, AbsoluteDeviationsMatchPlainLoops) {
    using T = TypeParam;
    for (bool columns : {false, true})
        for (const OrvuThreadingTable* thr : {(const OrvuThreadingTable*)nullptr, &sstest::kSevenThreads}) {
            const int32_t p = 3, n = 501;
            Task<T> task(p, n, columns, tied_data<T>(n * p, 11 + columns));
            std::vector<T> md(p), mnd(p), given(p);
            task.t->medianAbsDev = md.data();
            task.t->meanAbsDev = mnd.data();
            ASSERT_EQ(Api<T>::mad(task.t, 0, (ORVU_SS_MDAD | ORVU_SS_MNAD) >> 32, ORVU_SS_METHOD_FAST, 0, thr), 0);
            for (int j = 0; j < p; ++j) {
                const auto col = task.column(j);
                const long double med = ref_quantile(col, 0.5);
                std::vector<long double> dev(n);
                long double mean = 0, mad_mean = 0;
                for (int i = 0; i < n; ++i) {
                    dev[i] = std::fabs(col[i] - med);
                    mean += col[i];
                }
                mean /= n;
                for (int i = 0; i < n; ++i) mad_mean += std::fabs(col[i] - mean);
                EXPECT_NEAR(double(md[j]), double(ref_quantile(dev, 0.5)), 1e-5);
                EXPECT_NEAR(double(mnd[j]), double(mad_mean / n), 1e-5 * double(mad_mean / n));
                given[j] = T(mean + 1);   // mean absolute deviation about a given centre
            }
            task.t->mean = given.data();
            ASSERT_EQ(Api<T>::mad(task.t, 0, ORVU_SS_MNAD >> 32, ORVU_SS_METHOD_2PASS, 0, thr), 0);
            for (int j = 0; j < p; ++j) {
                const auto col = task.column(j);
                long double s = 0;
                for (int i = 0; i < n; ++i) s += std::fabs(col[i] - (long double)given[j]);
                EXPECT_NEAR(double(mnd[j]), double(s / n), 1e-5 * double(s / n));
            }
        }
}

TYPED_TEST(ExtremesTest, MadStatuses) {
    using T = TypeParam;
    Task<T> task(2, 3, true, {1, 2, 3, 4, 5, 7});
    T md[2], mnd[2];
    const uint32_t MD = ORVU_SS_MDAD >> 32, MN = ORVU_SS_MNAD >> 32;
    auto run = [&](uint32_t hi, int32_t method) { return Api<T>::mad(task.t, 0, hi, method, 0, nullptr); };
    EXPECT_EQ(run(MD, 1), -4082);
    task.t->medianAbsDev = md;
    EXPECT_EQ(run(MD, ORVU_SS_METHOD_2PASS), -4029);
    EXPECT_EQ(run(MN, 1), -4083);
    task.t->meanAbsDev = mnd;
    EXPECT_EQ(run(MN, ORVU_SS_METHOD_1PASS), -4029);
    EXPECT_EQ(run(MN, ORVU_SS_METHOD_2PASS), -4006);
    EXPECT_EQ(sweep_allocation_failures([&] { return run(MD | MN, 1); }), 2);
    EXPECT_EQ(md[0], T(2));   // 1, 3, 5: median 3, deviations 2, 0, 2
    EXPECT_EQ(md[1], T(2));   // 2, 4, 7: median 4, deviations 2, 0, 3
}

TYPED_TEST(ExtremesTest, WeightedQuantileRule) {
    using T = TypeParam;
    // centres of 1, 2, 3 with weights 1, 2, 1: 0.5, 2, 3.5 (orders 0, 0.5, 1);
    // the weightless 100 plays no part
    Task<T> task(1, 4, false, {3, 100, 1, 2});
    task.w = {1, 0, 1, 2};
    task.t->weights = task.w.data();
    T order = 0, out = 0;
    task.t->quantOrders = &order;
    task.t->quantiles = &out;
    const std::pair<T, T> cases[] = {{0, 1}, {T(0.25), T(1.5)}, {T(0.5), 2}, {T(0.75), T(2.5)}, {1, 3}};
    for (auto [q, want] : cases) {
        order = q;
        ASSERT_EQ(Api<T>::wmedian(task.t), 0);
        EXPECT_EQ(out, want) << q;
    }
}

TYPED_TEST(ExtremesTest, WeightedQuantileWithEqualWeightsIsTheQuantile) {
    using T = TypeParam;
    const int32_t p = 2, n = 333;
    Task<T> task(p, n, true, tied_data<T>(n * p, 21));
    task.w.assign(n, T(2.5));
    T order = 0, out[p];
    task.t->quantOrders = &order;
    task.t->quantiles = out;
    for (T q : {T(0), T(0.1), T(0.5), T(0.77), T(1)})
        for (bool weighted : {false, true}) {
            task.t->weights = weighted ? task.w.data() : nullptr;
            order = q;
            ASSERT_EQ(Api<T>::wmedian(task.t), 0);
            for (int j = 0; j < p; ++j)
                EXPECT_NEAR(double(out[j]), double(ref_quantile(task.column(j), double(q))), 1e-4) << q;
        }
}

TYPED_TEST(ExtremesTest, WeightedQuantileStatuses) {
    using T = TypeParam;
    Task<T> task(1, 3, false, {1, 2, 3});
    T order = T(1.5), out = -1;
    EXPECT_EQ(Api<T>::wmedian(nullptr), -4031);
    EXPECT_EQ(Api<T>::wmedian(task.t), -4023);
    task.t->quantiles = &out;
    EXPECT_EQ(Api<T>::wmedian(task.t), -4021);
    task.t->quantOrders = &order;
    EXPECT_EQ(Api<T>::wmedian(task.t), -4022);
    order = T(0.5);
    for (auto w : {std::vector<T>{1, -1, 1}, std::vector<T>{0, 0, 0}, std::vector<T>{1, T(NAN), 1}}) {
        task.w = w;
        task.t->weights = task.w.data();
        EXPECT_EQ(Api<T>::wmedian(task.t), -4005);
    }
    EXPECT_EQ(out, T(-1));
    task.w = {1, 1, 1};
    EXPECT_EQ(sweep_allocation_failures([&] { return Api<T>::wmedian(task.t); }), 1);
    EXPECT_EQ(out, T(2));
}

}  // namespace
