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
                    int32_t sel[p] = {1, 0, 1, 1, 0};   // components 0, 2, 3
                    ASSERT_EQ(__ptziSSEditTask(task.t, 5, sel), 0);
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
                    }
                    for (int64_t j = 0; j < p && with_stats; ++j) {
                        std::vector<T> col = task.column(j);
                        std::sort(col.begin(), col.end());
                        for (int64_t i = 0; i < n; ++i) {
                            const T got = columns ? stats[j * n + i] : stats[i * p + j];
                            ASSERT_EQ(got, j != 1 && j != 4 ? col[i] : T(-99)) << j << " " << i;
                        }
                    }
                    EXPECT_TRUE(with_stats || stats[0] == T(-99));
                }
}

// Exact ranks come through untouched (no inf - inf); a positive NaN sorts last.
TYPED_TEST(QuantilesTest, ExactCasesInfinitiesAndNaNs) {
    using T = TypeParam;
    const T inf = T(INFINITY);
    struct Case { std::vector<T> x; std::vector<T> orders, want; };
    const Case cases[] = {
        {{inf, 1, -inf, 2, inf}, {0, T(0.5), T(0.75), 1}, {-inf, 2, inf, inf}},
        {{inf, T(NAN), -inf, 2, inf}, {0, 1}, {-inf, T(NAN)}},
    };
    for (const Case& c : cases) {
        Task<T> task(1, int32_t(c.x.size()), false, c.x);
        int32_t k = int32_t(c.orders.size());
        std::vector<T> orders = c.orders, out(k);
        ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, orders.data(), out.data(), nullptr, nullptr), 0);
        ASSERT_EQ(Api<T>::quantiles(task.t, ORVU_SS_QUANTS, 0, ORVU_SS_METHOD_FAST, 0, nullptr), 0);
        for (int32_t o = 0; o < k; ++o)
            EXPECT_TRUE(out[o] == c.want[o] || (std::isnan(out[o]) && std::isnan(c.want[o]))) << o;
    }
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
    const std::function<void()> steps[] = {
        [&] { task.t->quantiles = out; },        [&] { task.t->quantOrders = orders; },
        [&] { task.t->quantOrderN = &neg; },     [&] { task.t->quantOrderN = &k; },
        [&] { task.t->quantOrders = good; },     [&] { task.t->orderStats = stats; },
        [&] { task.t->orderStatsStorage = &bad_storage; }, [&] { task.t->orderStatsStorage = &rows; },
    };
    // the status before each step (the fifth: order 1.0000001)
    const int32_t want[] = {-4023, -4021, -4022, -4022, -4022, -4024, -4044, -4003, -4029};
    for (int s = 0; s < 9; ++s) {
        EXPECT_EQ(run(s < 5 ? ORVU_SS_QUANTS : both, s < 8 ? 1 : 2), want[s]) << s;
        if (s < 8) steps[s]();
    }
    EXPECT_EQ(out[0], T(-1));   // nothing written so far
    EXPECT_EQ(run(both, 1), 0);
    task.storage = 5;   // p, n and storage are read again at every call
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

// Counts from a careless caller (64-bit integers) whose scratch no block can
// hold: the memory status, without touching the arrays those counts promise.
TEST(OrderStatistics, UnrepresentableSizesGiveTheMemoryStatus) {
    const int64_t huge = int64_t(1) << 61;
    struct Case { int64_t p, n; int routine; };
    const Case cases[] = {{1, huge, 0}, {1, huge, 1}, {1, huge, 2}, {huge, 1, 3}, {huge, 1, 4}};
    for (const Case& c : cases) {
        int64_t p = c.p, n = c.n, rows = ORVU_SS_X_ROWS, k = 1, one = 1, sel[1] = {1};
        double x[1] = {1}, order = 0.5, eps = 0.1, out[1], stats[1];
        const int marker = 1;
        SSTask* t = nullptr;
        ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, &n, &rows, x, nullptr, nullptr, &marker));
        __ptzdSSEditQuantiles(t, &k, &order, out, stats, &rows);
        __ptzdSSEditStreamQuantiles(t, &k, &order, out, &one, &eps);
        t->medianAbsDev = out;
        t->min = out;
        if (c.routine == 4) t->indices = sel;
        const int32_t s = c.routine == 0   ? _ptzdSSQuantiles(t, ORVU_SS_QUANTS, 0, 1, 0, nullptr)
                          : c.routine == 1 ? _ptzdSSWMedian(t)
                          : c.routine == 2 ? _ptzdSSMAD(t, 0, uint32_t(ORVU_SS_MDAD >> 32), 1, 0, nullptr)
                          : c.routine == 3 ? _ptzdSSStreamQuantiles(t, 0, 0, ORVU_SS_METHOD_SQUANTS_CHUNK, 0, nullptr)
                                           : _ptzdSSMinmax(t, ORVU_SS_MIN, 0, 1);
        EXPECT_EQ(-4000, s) << "routine " << c.routine;
        __ptzSSDeleteTask(&t);
    }
}

}  // namespace
