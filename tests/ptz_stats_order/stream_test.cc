// Streaming quantiles: the rank error of the summary over a million values
// fed in portions, the state's lifetime, and every status.
#include "ptz/stats/order/stream_summary.h"
#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

// Distance from the target rank 1 + q(N - 1) to the ranks v holds in the
// sorted data (an interval when v repeats).
template <class T>
double rank_error(const std::vector<T>& sorted, T v, double q) {
    const double lo = double(std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin()) + 1;
    const double hi = double(std::upper_bound(sorted.begin(), sorted.end(), v) - sorted.begin());
    const double r = 1 + q * double(sorted.size() - 1);
    return r < lo ? lo - r : r > hi ? r - hi : 0;
}

TYPED_TEST(OrderTest, StreamRankErrorStaysWithinEpsilonN) {
    using T = TypeParam;
    const int64_t p = 2, total = 1000000;
    const int64_t portions[] = {1, 999, 250000, 7, 333333, 415660};   // sums to total
    struct Case { double eps; int32_t method; bool columns; };
    for (const Case sc : {Case{0.01, ORVU_SS_METHOD_SQUANTS_CHUNK, false}, {0.001, ORVU_SS_METHOD_SQUANTS_CHUNK, true},
                          {0.001, ORVU_SS_METHOD_SQUANTS_LEVEL, false}, {0.05, ORVU_SS_METHOD_SQUANTS_LEVEL, true}}) {
        // component 0: ties on a grid; component 1: distinct values, ascending
        // within each portion (a hard order for a summary)
        std::vector<T> c[2] = {tied_data<T>(total, 77), std::vector<T>(total)};
        for (int64_t i = 0; i < total; ++i) c[1][i] = T(i * 7919 % total);   // a permutation of 0 .. total - 1
        Task<T> task(p, 1, sc.columns, std::vector<T>(p));
        int32_t k = 7, one = 1;
        T orders[] = {0, T(0.001), T(0.1), T(0.5), T(0.9), T(0.999), 1}, eps = T(sc.eps), out[2 * 7];
        ASSERT_EQ(Api<T>::edit_stream(task.t, &k, orders, out, &one, &eps), 0);
        int64_t at = 0;
        for (int64_t len : portions) {
            std::sort(c[1].begin() + at, c[1].begin() + at + len);
            task.x.assign(len * p, T(0));
            for (int64_t i = 0; i < len; ++i)
                for (int j = 0; j < p; ++j) (sc.columns ? task.x[i * p + j] : task.x[j * len + i]) = c[j][at + i];
            task.t->x = task.x.data(), task.n = int32_t(len);
            ASSERT_EQ(Api<T>::stream(task.t, 0, 0, sc.method, 0, &sstest::kSevenThreads), 0);
            at += len;
        }
        auto* st = static_cast<orvu::ss::order::StreamState*>(task.t->streamQuantState);
        for (int j = 0; j < p; ++j) {
            std::sort(c[j].begin(), c[j].end());
            double worst = 0;
            for (int o = 0; o < k; ++o) worst = std::max(worst, rank_error(c[j], out[j * k + o], double(orders[o])));
            EXPECT_LE(worst, double(eps) * total) << "eps " << sc.eps << " component " << j;
            EXPECT_TRUE(out[j * k] == c[j].front() && out[j * k + k - 1] == c[j].back()) << j;
            EXPECT_EQ(st->record()[j].count, total);
        }
    }
}

TYPED_TEST(OrderTest, StreamStateBelongsToTheTask) {
    using T = TypeParam;
    Task<T> task(3, 100, false, tied_data<T>(300, 3));
    int32_t k = 1, one = 1, sel[3] = {1, 0, 1};
    T order = T(0.5), eps = T(0.1), out[3] = {-1, -1, -1};
    task.t->indices = sel;
    ASSERT_EQ(Api<T>::edit_stream(task.t, &k, &order, out, &one, &eps), 0);
    auto run = [&] { return Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr); };
    ASSERT_EQ(run(), 0);
    sel[1] = 1;   // component 1 was not in the first call: it has no state
    EXPECT_EQ(run(), -4004);
    sel[1] = 0;
    task.n = 0;   // no new observations: the summaries are only read
    out[0] = -1;
    ASSERT_EQ(run(), 0);
    EXPECT_NE(out[0], T(-1));
}

TYPED_TEST(OrderTest, StreamValidationOrder) {
    using T = TypeParam;
    Task<T> task(1, 3, false, {1, 2, 3});
    int32_t k = 1, neg = -1, two = 2, one = 1, bad = 3;
    T order = T(1.0000001), good = T(0.5), eps = 0, out = -1;
    EXPECT_EQ(Api<T>::stream(nullptr, 0, 0, 0x40, 0, nullptr), -4031);
    SSTask* t = task.t;
    // Each step repairs the check that failed before it.
    const std::pair<std::function<void()>, int32_t> steps[] = {
        {[&] { task.n = -1; }, -4002},                {[&] { task.n = 3, t->x = nullptr; }, -4032},
        {[&] { t->x = task.x.data(), t->xStorage = &bad; }, -4003}, {[&] { t->xStorage = nullptr; }, -4044},
        {[&] { t->xStorage = &task.storage; }, -4070}, {[&] { t->streamQuantiles = &out; }, -4068},
        {[&] { t->streamQuantOrders = &order; }, -4069}, {[&] { t->streamQuantOrderN = &neg; }, -4069},
        {[&] { t->streamQuantOrderN = &k; }, -4064},  {[&] { t->streamQuantParamsN = &two; }, -4066},
        {[&] { t->streamQuantParamsN = &one; }, -4069},   // order 1.0000001
        {[&] { t->streamQuantOrders = &good; }, -4065}, {[&] { t->streamQuantParams = &eps; }, -4067},
        {[&] { eps = T(1.5); }, -4067},               {[&] { eps = T(NAN); }, -4067},
        {[&] { eps = 1; }, -4029},   // the widest accuracy allowed, but no streaming method
    };
    for (const auto& [step, status] : steps) {
        step();
        EXPECT_EQ(Api<T>::stream(t, 0, 0, status == -4029 ? 0x1 : ORVU_SS_METHOD_SQUANTS_CHUNK, 0, nullptr), status);
    }
    EXPECT_TRUE(out == T(-1) && t->streamQuantState == nullptr);
    EXPECT_EQ(Api<T>::stream(t, 0, 0, ORVU_SS_METHOD_SQUANTS_CHUNK, 0, nullptr), 0);
    EXPECT_TRUE(out == T(1) || out == T(2) || out == T(3));   // eps = 1: any of the values will do
}

// Component list, state, scratch, then one summary block per component
// inside the merge: a failing merge leaves the other component merged, and
// the task's hook frees whatever state it holds.
TYPED_TEST(OrderTest, StreamAllocationFailures) {
    using T = TypeParam;
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t fail = 1; fail <= 6; ++fail) {
        Task<T> task(2, 5, false, {5, 1, 4, 2, 3, 9, 7, 8, 6, 10});
        int32_t k = 1, one = 1;
        T order = T(0.5), eps = T(0.1), out[2] = {-1, -1};
        ASSERT_EQ(Api<T>::edit_stream(task.t, &k, &order, out, &one, &eps), 0);
        orvu_serv_test_fail_allocation(fail);
        EXPECT_EQ(Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr), fail < 6 ? -4000 : 0);
        orvu_serv_test_fail_allocation(0);
        EXPECT_TRUE(out[0] == (fail >= 5 ? T(3) : T(-1)) && out[1] == (fail == 4 || fail == 6 ? T(8) : T(-1))) << fail;
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

}  // namespace
