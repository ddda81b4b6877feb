// Exact quantiles and order statistics against a sorted-array reference.
#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

template <class T>
class QuantilesTest : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(QuantilesTest, Precisions);

const OrvuThreadingTable* const kTables[] = {nullptr, &sstest::kSerial, &sstest::kSevenThreads};

TYPED_TEST(QuantilesTest, EveryOrderMatchesTheSortedReference) {
    using T = TypeParam;
    std::vector<T> orders = {0, T(0.01), T(0.25), T(1) / 3, T(0.5), T(0.9), T(0.999), 1};
    int32_t k = int32_t(orders.size()), os_storage = 0;
    for (int32_t n : {1, 2, 4, 1001})
        for (bool columns : {false, true})
            for (bool with_stats : {false, true})
                for (const OrvuThreadingTable* thr : kTables) {
                    const int32_t p = 5;
                    Task<T> task(p, n, columns, tied_data<T>(int64_t(n) * p, n + columns));
                    task.indices = {1, 0, 1, 1, 0};   // components 0, 2, 3
                    ASSERT_EQ(__ptziSSEditTask(task.t, 5, task.indices.data()), 0);
                    std::vector<T> q(3 * k, T(-99)), stats(int64_t(n) * p, T(-99));
                    os_storage = columns ? ORVU_SS_X_ROWS : ORVU_SS_X_COLUMNS;   // the other layout
                    ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, orders.data(), q.data(), stats.data(), &os_storage), 0);
                    const uint32_t mask = ORVU_SS_QUANTS | (with_stats ? ORVU_SS_ORDER_STATS : 0);
                    ASSERT_EQ(Api<T>::quantiles(task.t, mask, 0, ORVU_SS_METHOD_FAST, 0, thr), 0);
                    const int64_t listed[] = {0, 2, 3};
                    for (int64_t c = 0; c < 3; ++c) {
                        const std::vector<T> col = task.column(listed[c]);
                        for (int32_t o = 0; o < k; ++o) {
                            const long double ref = ref_quantile(col, double(orders[o]));
                            ASSERT_NEAR(double(q[c * k + o]), double(ref), Api<T>::tol * (1 + std::fabs(double(ref))))
                                << "n " << n << " cols " << columns << " stats " << with_stats << " order " << orders[o];
                        }
                        EXPECT_EQ(q[c * k], *std::min_element(col.begin(), col.end()));
                        EXPECT_EQ(q[c * k + k - 1], *std::max_element(col.begin(), col.end()));
                    }
                    if (!with_stats) {
                        EXPECT_EQ(stats[0], T(-99));
                        continue;
                    }
                    for (int64_t j = 0; j < p; ++j) {
                        std::vector<T> col = task.column(j);
                        std::sort(col.begin(), col.end());
                        const bool listed_j = j != 1 && j != 4;
                        for (int64_t i = 0; i < n; ++i) {
                            const T got = columns ? stats[j * n + i] : stats[i * p + j];
                            ASSERT_EQ(got, listed_j ? col[i] : T(-99)) << j << " " << i;
                        }
                    }
                }
}

TYPED_TEST(QuantilesTest, MedianOfFourInterpolates) {
    using T = TypeParam;
    Task<T> task(1, 4, false, {4, 1, 3, 2});
    int32_t k = 1;
    T order = T(0.5), out = 0;
    ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, &order, &out, nullptr, nullptr), 0);
    ASSERT_EQ(Api<T>::quantiles(task.t, ORVU_SS_QUANTS, 0, ORVU_SS_METHOD_FAST, 0, nullptr), 0);
    EXPECT_EQ(out, T(2.5));
}

TYPED_TEST(QuantilesTest, InfinitiesAndNaNsKeepTheirPlaces) {
    using T = TypeParam;
    Task<T> task(1, 5, false, {T(INFINITY), T(1), -T(INFINITY), T(2), T(INFINITY)});
    int32_t k = 4;
    T orders[] = {0, T(0.5), T(0.75), 1}, out[4];
    ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, orders, out, nullptr, nullptr), 0);
    ASSERT_EQ(Api<T>::quantiles(task.t, ORVU_SS_QUANTS, 0, ORVU_SS_METHOD_FAST, 0, nullptr), 0);
    EXPECT_EQ(out[0], -T(INFINITY));
    EXPECT_EQ(out[1], T(2));
    EXPECT_EQ(out[2], T(INFINITY));   // exact rank: no inf - inf
    EXPECT_EQ(out[3], T(INFINITY));
    task.x[1] = T(NAN);
    ASSERT_EQ(Api<T>::quantiles(task.t, ORVU_SS_QUANTS, 0, ORVU_SS_METHOD_FAST, 0, nullptr), 0);
    EXPECT_EQ(out[0], -T(INFINITY));
    EXPECT_TRUE(std::isnan(out[3]));   // a positive NaN sorts last
}

// Each check of the routine, in its order: the first failing one decides.
TYPED_TEST(QuantilesTest, ValidationOrder) {
    using T = TypeParam;
    Task<T> task(2, 3, false, {1, 2, 3, 4, 5, 6});
    int32_t k = 2, neg = -1, bad_storage = 7, rows = ORVU_SS_X_ROWS;
    T orders[] = {T(0.5), T(1.0000001)}, good[] = {0, 1}, out[4] = {-1, -1, -1, -1}, stats[6];
    const uint32_t both = ORVU_SS_QUANTS | ORVU_SS_ORDER_STATS;
    auto run = [&](uint32_t mask, int32_t method) { return Api<T>::quantiles(task.t, mask, 0, method, 0, nullptr); };
    EXPECT_EQ(Api<T>::quantiles(nullptr, both, 0, 1, 0, nullptr), -4031);
    EXPECT_EQ(run(ORVU_SS_QUANTS, 1), -4023);
    task.t->quantiles = out;
    EXPECT_EQ(run(ORVU_SS_QUANTS, 1), -4021);
    task.t->quantOrders = orders;
    EXPECT_EQ(run(ORVU_SS_QUANTS, 1), -4022);   // no count
    task.t->quantOrderN = &neg;
    EXPECT_EQ(run(ORVU_SS_QUANTS, 1), -4022);
    task.t->quantOrderN = &k;
    EXPECT_EQ(run(ORVU_SS_QUANTS, 1), -4022);   // 1.0000001
    EXPECT_EQ(out[0], T(-1));                    // nothing written
    task.t->quantOrders = good;
    EXPECT_EQ(run(both, 1), -4024);
    task.t->orderStats = stats;
    EXPECT_EQ(run(both, 1), -4044);
    task.t->orderStatsStorage = &bad_storage;
    EXPECT_EQ(run(both, 1), -4003);
    task.t->orderStatsStorage = &rows;
    EXPECT_EQ(run(both, 2), -4029);
    EXPECT_EQ(run(both, 1), 0);
    task.storage = 5;   // read again at every call
    EXPECT_EQ(run(both, 1), -4003);
    task.storage = ORVU_SS_X_ROWS;
    task.n = 0;
    EXPECT_EQ(run(both, 1), -4002);
    task.n = 3;
    task.p = 0;
    EXPECT_EQ(run(both, 1), -4001);
}

TYPED_TEST(QuantilesTest, AllocationFailuresLeakNothing) {
    using T = TypeParam;
    Task<T> task(3, 50, true, tied_data<T>(150, 1));
    int32_t k = 1, rows = ORVU_SS_X_ROWS;
    T order = T(0.3), out[3], stats[150];
    ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, &order, out, stats, &rows), 0);
    const int failed = sweep_allocation_failures([&] {
        return Api<T>::quantiles(task.t, ORVU_SS_QUANTS | ORVU_SS_ORDER_STATS, 0, 1, 0, &sstest::kSevenThreads);
    });
    EXPECT_EQ(failed, 2);   // the component list and the working copies
}

}  // namespace
