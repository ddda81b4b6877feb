// Selection and sorting against the radix order, on data with ties, signed
// zeros, infinities and NaNs of both signs; exact quantiles and order
// statistics against a sorted-array reference.
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

// The radix sort's total order: by sign and bit pattern.
template <class T>
uint64_t order_key(T v) {
    using U = std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>;
    constexpr U sign = U(1) << (8 * sizeof(U) - 1);
    U b;
    std::memcpy(&b, &v, sizeof b);
    return (b & sign) ? U(~b) : U(b | sign);
}

template <class T>
std::vector<T> awkward_data(int64_t n, uint64_t seed) {
    std::vector<T> v = tied_data<T>(n, seed);
    const T specials[] = {T(0), -T(0), T(INFINITY), -T(INFINITY), T(NAN), -T(NAN)};
    for (int64_t i = 0; i < n; i += 7) v[i] = specials[(i / 7) % 6];
    return v;
}

// Equal in the radix order, NaNs compared by sign only.
template <class T>
bool same_place(T a, T b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    return order_key(a) == order_key(b);
}

TYPED_TEST(OrderTest, SortAndSelectionFollowTheRadixOrder) {
    using T = TypeParam;
    for (int64_t n : {1, 2, 5, 16, 17, 40, 1000, 100003}) {
        std::vector<T> data = awkward_data<T>(n, n), ref;
        if (n == 100003) std::sort(data.begin(), data.end() - n / 2);   // half already in order
        ref = data;
        std::stable_sort(ref.begin(), ref.end(), [](T x, T y) { return order_key(x) < order_key(y); });
        for (int64_t stride : {1, 3}) {
            std::vector<T> a(n * stride, T(7));
            for (int64_t i = 0; i < n; ++i) a[i * stride] = data[i];
            ASSERT_EQ(Api<T>::sort_step(n, a.data(), stride), 0);
            for (int64_t i = 0; i < n * stride; ++i)   // the gaps are untouched
                ASSERT_TRUE(i % stride ? a[i] == T(7) : same_place(a[i], ref[i / stride]))
                    << n << " " << stride << " " << i;
        }
        for (int64_t k : {int64_t(0), n / 3, n / 2, n - 1}) {
            std::vector<T> a = data;
            const T v = Api<T>::select(n, a.data(), k);
            ASSERT_TRUE(same_place(v, ref[k]) || (v == 0 && ref[k] == 0)) << n << " " << k;
            for (int64_t i = 0; i < n; ++i)   // no larger value before k, no smaller after
                ASSERT_TRUE(std::isnan(v) || std::isnan(a[i]) || (i < k ? !(a[i] > v) : !(i > k && a[i] < v)))
                    << n << " " << k << " " << i;
        }
    }
}

TYPED_TEST(OrderTest, EveryOrderMatchesTheSortedReference) {
    using T = TypeParam;
    std::vector<T> orders = {0, T(0.01), T(0.25), T(1) / 3, T(0.5), T(0.9), T(0.999), 1};
    int32_t k = int32_t(orders.size()), other = 0;
    const OrvuThreadingTable* const tables[] = {nullptr, &sstest::kSerial, &sstest::kSevenThreads};
    for (int32_t n : {1, 2, 4, 1001})
        for (bool columns : {false, true})
            for (bool with_stats : {false, true})
                for (const OrvuThreadingTable* thr : tables) {
                    const int32_t p = 5;
                    Task<T> task(p, n, columns, tied_data<T>(int64_t(n) * p, n + columns));
                    int32_t sel[p] = {1, 0, 1, 1, 0};   // components 0, 2, 3
                    ASSERT_EQ(__ptziSSEditTask(task.t, 5, sel), 0);
                    std::vector<T> q(3 * k, T(-99)), stats(int64_t(n) * p, T(-99));
                    other = columns ? ORVU_SS_X_ROWS : ORVU_SS_X_COLUMNS;   // the other layout
                    ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, orders.data(), q.data(), stats.data(), &other), 0);
                    const uint32_t mask = ORVU_SS_QUANTS | (with_stats ? ORVU_SS_ORDER_STATS : 0);
                    ASSERT_EQ(Api<T>::quantiles(task.t, mask, 0, ORVU_SS_METHOD_FAST, 0, thr), 0);
                    for (int64_t c : {0, 2, 3})   // at rows 0, 1, 2 of q
                        for (int32_t o = 0; o < k; ++o) {
                            const double ref = double(ref_quantile(task.column(c), double(orders[o])));
                            ASSERT_NEAR(double(q[(c - (c > 0)) * k + o]), ref, Api<T>::tol * (1 + std::fabs(ref)))
                                << "n " << n << " cols " << columns << " stats " << with_stats << " q " << orders[o];
                        }
                    for (int64_t j = 0; j < p; ++j) {
                        std::vector<T> col = task.column(j);
                        std::sort(col.begin(), col.end());
                        for (int64_t i = 0; i < n; ++i)   // unlisted components and a plain call: untouched
                            ASSERT_EQ(columns ? stats[j * n + i] : stats[i * p + j],
                                      with_stats && j != 1 && j != 4 ? col[i] : T(-99)) << j << " " << i;
                    }
                }
    // Exact ranks come through untouched (no inf - inf); a positive NaN sorts last.
    const T inf = T(INFINITY);
    Task<T> task(1, 5, false, {inf, 1, -inf, 2, inf});
    T exact[] = {0, T(0.5), T(0.75), 1}, out[4];
    k = 4;
    ASSERT_EQ(Api<T>::edit_quantiles(task.t, &k, exact, out, nullptr, nullptr), 0);
    for (const T second : {T(1), T(NAN)}) {
        task.x[1] = second;
        ASSERT_EQ(Api<T>::quantiles(task.t, ORVU_SS_QUANTS, 0, ORVU_SS_METHOD_FAST, 0, nullptr), 0);
        EXPECT_TRUE(out[0] == -inf && out[2] == inf);
        EXPECT_TRUE(std::isnan(second) ? std::isnan(out[3]) : out[1] == 2 && out[3] == inf);
    }
}

// Each check of the routine, in its order: the first failing one decides. The
// valid task then sweeps its allocations: the component list, working copies.
TYPED_TEST(OrderTest, ValidationOrderAndAllocationFailures) {
    using T = TypeParam;
    Task<T> task(2, 3, false, {1, 2, 3, 4, 5, 6});
    int32_t k = 2, neg = -1, bad_storage = 7, rows = ORVU_SS_X_ROWS;
    T orders[] = {T(0.5), T(1.0000001)}, good[] = {0, 1}, out[4] = {-1, -1, -1, -1}, stats[6];
    const uint32_t both = ORVU_SS_QUANTS | ORVU_SS_ORDER_STATS;
    auto run = [&](uint32_t mask, int32_t method, const OrvuThreadingTable* thr = nullptr) {
        return Api<T>::quantiles(task.t, mask, 0, method, 0, thr);
    };
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
    EXPECT_EQ(sweep_allocation_failures([&] { return run(both, 1, &sstest::kSevenThreads); }), 2);
    // p, n and storage are read again at every call
    for (auto [field, v, status] : {std::tuple{&task.storage, 5, -4003}, {&task.n, 0, -4002}, {&task.p, 0, -4001}}) {
        const int32_t kept = std::exchange(*field, v);
        EXPECT_EQ(run(both, 1), status);
        *field = kept;
    }
}

// Counts from a careless caller (64-bit integers) whose scratch no block can
// hold: the memory status, without touching the arrays those counts promise.
TEST(OrderStatistics, UnrepresentableSizesGiveTheMemoryStatus) {
    const int64_t huge = int64_t(1) << 61;
    struct Case { int64_t p, n; int routine; };
    for (const Case c : {Case{1, huge, 0}, {1, huge, 1}, {1, huge, 2}, {huge, 1, 3}, {huge, 1, 4}}) {
        int64_t p = c.p, n = c.n, rows = ORVU_SS_X_ROWS, k = 1, one = 1, sel[1] = {1};
        double x[1] = {1}, order = 0.5, eps = 0.1, out[1], stats[1];
        const int marker = 1;
        SSTask* t = nullptr;
        ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, &n, &rows, x, nullptr, nullptr, &marker));
        __ptzdSSEditQuantiles(t, &k, &order, out, stats, &rows);
        __ptzdSSEditStreamQuantiles(t, &k, &order, out, &one, &eps);
        t->medianAbsDev = t->min = out;
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
