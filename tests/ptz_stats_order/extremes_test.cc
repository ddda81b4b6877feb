// Minimum and maximum, absolute deviations and the weighted quantile.
#include <xmmintrin.h>

#include <cstring>
#include <thread>

#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

// The platform pool's workers are born in its first parallel call: make it here,
// from a thread under round-down and flush-to-zero, as another caller might.
const bool g_pool_born_skewed = [] {
    std::thread([] {
        _mm_setcsr(_mm_getcsr() | 0x2000 | 0x8040);
        orvu_serv_threading_table()->parallel_for(64, 4, nullptr, [](int32_t, int32_t, int32_t, void*) {});
    }).join();
    return true;
}();

TYPED_TEST(OrderTest, MinmaxOverTwoPortionsGivesTheWholeRange) {
    using T = TypeParam;
    for (bool columns : {false, true})
        for (bool indexed : {false, true}) {
            const int32_t p = 4, n = 300;
            const std::vector<T> all = tied_data<T>(2 * n * p, 5 + columns);
            Task<T> task(p, n, columns, std::vector<T>(all.begin(), all.begin() + n * p));
            task.x[7] = T(NAN);   // ignored, as fmin/fmax ignore it in the reference
            int32_t sel[p] = {1, 1, 0, 1};
            if (indexed) task.t->indices = sel;
            std::vector<T> mn(p, T(INFINITY)), mx(p, -T(INFINITY)), lo(p, T(INFINITY)), hi(p, -T(INFINITY));
            task.t->min = mn.data(), task.t->max = mx.data();
            for (int half = 0; half < 2; ++half) {
                if (half) task.x.assign(all.begin() + n * p, all.end()), task.t->x = task.x.data();
                ASSERT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN | ORVU_SS_MAX, 0, half ? 2 : 1), 0);
                for (int j = 0; j < p; ++j)
                    for (T v : task.column(j)) lo[j] = std::fmin(lo[j], v), hi[j] = std::fmax(hi[j], v);
            }
            for (int j = 0; j < p; ++j)
                EXPECT_TRUE(indexed && j == 2 ? mn[j] == T(INFINITY) && mx[j] == -T(INFINITY)
                                              : mn[j] == lo[j] && mx[j] == hi[j]) << columns << indexed << j;
        }
}

// Median deviations of values on a quarter grid are exact, mean deviations
// sums rounded once to T. The platform pool, born under other floating-point
// settings, gives the bits of the serial call.
TYPED_TEST(OrderTest, AbsoluteDeviationsMatchPlainLoops) {
    using T = TypeParam;
    ASSERT_TRUE(g_pool_born_skewed);
    for (bool columns : {false, true}) {
        const int32_t p = 8, n = 20001;
        Task<T> task(p, n, columns, tied_data<T>(n * p, 11 + columns));
        std::vector<T> md(p), mnd(p), given(p), pool_md(p), pool_mnd(p);
        task.t->medianAbsDev = md.data(), task.t->meanAbsDev = mnd.data();
        const uint32_t both = uint32_t((ORVU_SS_MDAD | ORVU_SS_MNAD) >> 32);
        ASSERT_EQ(Api<T>::mad(task.t, 0, both, ORVU_SS_METHOD_FAST, 0, nullptr), 0);
        auto mean_dev = [&](const std::vector<T>& col, long double centre) {
            long double s = 0;
            for (T v : col) s += std::fabs(v - centre);
            return double(s / n);
        };
        for (int j = 0; j < p; ++j) {
            const auto col = task.column(j);
            const long double med = ref_quantile(col, 0.5);
            std::vector<long double> dev(col.begin(), col.end());
            long double mean = 0;
            for (long double& d : dev) mean += d, d = std::fabs(d - med);
            mean /= n;
            EXPECT_EQ(double(md[j]), double(ref_quantile(dev, 0.5)));
            EXPECT_NEAR(double(mnd[j]), mean_dev(col, mean), Api<T>::tol * mean_dev(col, mean));
            given[j] = T(mean + 1);   // mean absolute deviation about a given centre
        }
        task.t->medianAbsDev = pool_md.data(), task.t->meanAbsDev = pool_mnd.data();
        ASSERT_EQ(Api<T>::mad(task.t, 0, both, ORVU_SS_METHOD_FAST, 0, orvu_serv_threading_table()), 0);
        EXPECT_EQ(0, std::memcmp(pool_md.data(), md.data(), p * sizeof(T)));
        EXPECT_EQ(0, std::memcmp(pool_mnd.data(), mnd.data(), p * sizeof(T)));
        task.t->mean = given.data();
        ASSERT_EQ(Api<T>::mad(task.t, 0, both, ORVU_SS_METHOD_2PASS | 1, 0, &sstest::kSevenThreads), 0);
        for (int j = 0; j < p; ++j) {
            const double want = mean_dev(task.column(j), given[j]);
            EXPECT_NEAR(double(pool_mnd[j]), want, Api<T>::tol * want);
        }
    }
}

// Centres of 1, 2, 3 with weights 1, 2, 1 are 0.5, 2, 3.5 (orders 0, 0.5,
// 1); the weightless 100 plays no part. Equal weights give the quantile.
TYPED_TEST(OrderTest, WeightedQuantileRuleAndStatuses) {
    using T = TypeParam;
    Task<T> task(1, 4, false, {3, 100, 1, 2});
    T order = T(1.5), out[2] = {-1, -1};
    EXPECT_EQ(Api<T>::wmedian(nullptr), -4031);
    EXPECT_EQ(Api<T>::wmedian(task.t), -4023);
    task.t->quantiles = out;
    EXPECT_EQ(Api<T>::wmedian(task.t), -4021);
    task.t->quantOrders = &order;
    EXPECT_EQ(Api<T>::wmedian(task.t), -4022);
    order = T(0.5);
    for (auto w : {std::vector<T>{1, 0, -1, 2}, {0, 0, 0, 0}, {1, 0, T(NAN), 2}, {1, 0, 1, 2}}) {
        const bool valid = w[2] == 1;
        task.t->weights = (task.w = w).data();
        EXPECT_EQ(Api<T>::wmedian(task.t), valid ? 0 : -4005);
        EXPECT_EQ(out[0], valid ? T(2) : T(-1));
    }
    EXPECT_EQ(sweep_allocation_failures([&] { return Api<T>::wmedian(task.t); }), 1);
    for (auto [q, want] : {std::pair<T, T>{0, 1}, {T(0.25), T(1.5)}, {T(0.5), 2}, {T(0.75), T(2.5)}, {1, 3}}) {
        order = q;
        ASSERT_EQ(Api<T>::wmedian(task.t), 0);
        EXPECT_EQ(out[0], want) << q;
    }
    Task<T> equal(2, 333, true, tied_data<T>(666, 21));
    equal.w.assign(333, T(2.5));
    equal.t->quantOrders = &order, equal.t->quantiles = out;
    for (T q : {T(0), T(0.1), T(0.5), T(0.77), T(1)})
        for (bool weighted : {false, true}) {
            equal.t->weights = weighted ? equal.w.data() : nullptr;
            order = q;
            ASSERT_EQ(Api<T>::wmedian(equal.t), 0);
            for (int j = 0; j < 2; ++j)
                EXPECT_NEAR(out[j], ref_quantile(equal.column(j), double(q)), Api<T>::tol * (1 + std::fabs(out[j])));
        }
}

TYPED_TEST(OrderTest, MinmaxAndMadStatuses) {
    using T = TypeParam;
    Task<T> task(2, 3, true, {1, 2, 3, 4, 5, 7});
    T mn[2] = {9, 9}, mx[2] = {0, 0}, md[2], mnd[2];
    const uint32_t MD = ORVU_SS_MDAD >> 32, MN = ORVU_SS_MNAD >> 32;
    auto mad = [&](uint32_t hi, int32_t method) { return Api<T>::mad(task.t, 0, hi, method, 0, nullptr); };
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN, 0, 1), -4015);
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MAX, 0, 1), -4016);
    EXPECT_EQ(mad(MD, 1), -4082);
    EXPECT_EQ(mad(MN, 1), -4083);
    task.t->min = mn, task.t->max = mx, task.t->medianAbsDev = md, task.t->meanAbsDev = mnd;
    EXPECT_EQ(Api<T>::minmax(task.t, ORVU_SS_MIN, 0, 4), -4029);
    EXPECT_EQ(mad(MD, ORVU_SS_METHOD_2PASS), -4029);
    EXPECT_EQ(mad(MN, ORVU_SS_METHOD_1PASS), -4029);
    EXPECT_EQ(mad(MN, ORVU_SS_METHOD_2PASS), -4006);
    EXPECT_EQ(sweep_allocation_failures([&] { return mad(MD | MN, 1); }), 2);
    EXPECT_TRUE(md[0] == T(2) && md[1] == T(2));   // 1, 3, 5 and 2, 4, 7: deviations 2, 0, 2 and 2, 0, 3
    int32_t idx[2] = {0, 1};
    task.t->indices = idx;
    EXPECT_EQ(sweep_allocation_failures([&] { return Api<T>::minmax(task.t, ORVU_SS_MIN | ORVU_SS_MAX, 0, 1); }), 1);
    EXPECT_TRUE(mn[0] == T(9) && mn[1] == T(2) && mx[1] == T(7));
}

}  // namespace
