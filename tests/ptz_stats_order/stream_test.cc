// Streaming quantiles: the rank error of the summary over a million values
// fed in portions, the state's lifetime, and every status.
#include <cstdio>

#include "ptz/stats/order/stream_summary.h"
#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

template <class T>
class StreamTest : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(StreamTest, Precisions);

// Distance from the target rank 1 + q(N - 1) to the ranks v holds in the
// sorted data (an interval when v repeats).
template <class T>
double rank_error(const std::vector<T>& sorted, T v, double q) {
    const double lo = double(std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin()) + 1;
    const double hi = double(std::upper_bound(sorted.begin(), sorted.end(), v) - sorted.begin());
    const double r = 1 + q * double(sorted.size() - 1);
    return r < lo ? lo - r : r > hi ? r - hi : 0;
}

struct StreamCase {
    double eps;
    int32_t method;
    bool columns;
};
constexpr StreamCase kCases[] = {
    {0.01, ORVU_SS_METHOD_SQUANTS_CHUNK, false},
    {0.001, ORVU_SS_METHOD_SQUANTS_CHUNK, true},
    {0.001, ORVU_SS_METHOD_SQUANTS_LEVEL, false},
    {0.05, ORVU_SS_METHOD_SQUANTS_LEVEL, true},
};

TYPED_TEST(StreamTest, RankErrorStaysWithinEpsilonN) {
    using T = TypeParam;
    const int32_t p = 2;
    const int64_t total = 1000000;
    const int64_t portions[] = {1, 999, 250000, 7, 333333, 415660};   // sums to total
    for (const StreamCase& sc : kCases) {
        // component 0: ties on a grid; component 1: distinct values, ascending
        // within each portion (a hard order for a summary)
        std::vector<T> c0 = tied_data<T>(total, 77), c1(total);
        std::mt19937_64 g(5);
        std::uniform_real_distribution<double> u(0, 1);
        for (auto& v : c1) v = T(u(g));
        Task<T> task(p, 1, sc.columns, std::vector<T>(portions[4] * p));
        int32_t k = 7, one = 1;
        T orders[] = {0, T(0.001), T(0.1), T(0.5), T(0.9), T(0.999), 1}, eps = T(sc.eps), out[2 * 7];
        ASSERT_EQ(Api<T>::edit_stream(task.t, &k, orders, out, &one, &eps), 0);
        int64_t at = 0;
        for (int64_t len : portions) {
            std::sort(c1.begin() + at, c1.begin() + at + len);
            task.x.assign(len * p, T(0));
            for (int64_t i = 0; i < len; ++i)
                for (int j = 0; j < p; ++j)
                    (sc.columns ? task.x[i * p + j] : task.x[j * len + i]) = (j ? c1 : c0)[at + i];
            task.t->x = task.x.data();
            task.n = int32_t(len);
            ASSERT_EQ(Api<T>::stream(task.t, 0, 0, sc.method, 0, &sstest::kSevenThreads), 0);
            at += len;
        }
        auto* st = static_cast<orvu::ss::order::StreamState*>(task.t->streamQuantState);
        for (int j = 0; j < p; ++j) {
            std::vector<T> sorted(j ? c1 : c0);
            std::sort(sorted.begin(), sorted.end());
            double worst = 0;
            for (int o = 0; o < k; ++o) worst = std::max(worst, rank_error(sorted, out[j * k + o], double(orders[o])));
            EXPECT_LE(worst, double(eps) * total) << "eps " << sc.eps << " component " << j;
            EXPECT_EQ(out[j * k], sorted.front());
            EXPECT_EQ(out[j * k + k - 1], sorted.back());
            const auto* s = static_cast<orvu::ss::order::Summary<T>*>(st->record()[j].summary);
            EXPECT_EQ(st->record()[j].count, total);
            std::printf("[ measure  ] %s eps %g method 0x%x comp %d: worst rank error %.0f (bound %.0f), %lld tuples\n",
                        sizeof(T) == 8 ? "d" : "s", sc.eps, sc.method, j, worst, double(eps) * total,
                        (long long)s->size);
        }
    }
}

TYPED_TEST(StreamTest, StateBelongsToTheTask) {
    using T = TypeParam;
    const int32_t live = orvu_serv_test_live_allocations();
    {
        Task<T> task(3, 100, false, tied_data<T>(300, 3));
        int32_t k = 1, one = 1, sel[3] = {1, 0, 1};
        T order = T(0.5), eps = T(0.1), out[3] = {-1, -1, -1};
        task.t->indices = sel;
        ASSERT_EQ(Api<T>::edit_stream(task.t, &k, &order, out, &one, &eps), 0);
        ASSERT_EQ(Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr), 0);
        EXPECT_EQ(task.t->hooks, &__ptzSQuantilesFreeBuffers);
        sel[1] = 1;   // component 1 was not in the first call: it has no state
        EXPECT_EQ(Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr), -4004);
        sel[0] = sel[1] = sel[2] = 0;
        EXPECT_EQ(Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr), -4004);
        sel[0] = sel[2] = 1;
        task.n = 0;   // no new observations: the summaries are only read
        out[0] = -1;
        ASSERT_EQ(Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr), 0);
        EXPECT_NE(out[0], T(-1));
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);   // the hook freed it all
}

TYPED_TEST(StreamTest, ValidationOrder) {
    using T = TypeParam;
    Task<T> task(1, 3, false, {1, 2, 3});
    int32_t k = 1, neg = -1, two = 2, one = 1, bad = 3;
    T order = T(1.0000001), good = T(0.5), eps = 0, out = -1;
    auto run = [&](int32_t method = ORVU_SS_METHOD_SQUANTS_CHUNK) {
        return Api<T>::stream(task.t, 0, 0, method, 0, nullptr);
    };
    EXPECT_EQ(Api<T>::stream(nullptr, 0, 0, 0x40, 0, nullptr), -4031);
    task.n = -1;
    EXPECT_EQ(run(), -4002);
    task.n = 3;
    task.t->x = nullptr;
    EXPECT_EQ(run(), -4032);
    task.t->x = task.x.data();
    task.t->xStorage = &bad;
    EXPECT_EQ(run(), -4003);
    task.t->xStorage = nullptr;
    EXPECT_EQ(run(), -4044);
    task.t->xStorage = &task.storage;
    EXPECT_EQ(run(), -4070);
    task.t->streamQuantiles = &out;
    EXPECT_EQ(run(), -4068);
    task.t->streamQuantOrders = &order;
    EXPECT_EQ(run(), -4069);
    task.t->streamQuantOrderN = &neg;
    EXPECT_EQ(run(), -4069);
    task.t->streamQuantOrderN = &k;
    EXPECT_EQ(run(), -4064);
    task.t->streamQuantParamsN = &two;
    EXPECT_EQ(run(), -4066);
    task.t->streamQuantParamsN = &one;
    EXPECT_EQ(run(), -4069);   // order 1.0000001
    task.t->streamQuantOrders = &good;
    EXPECT_EQ(run(), -4065);
    task.t->streamQuantParams = &eps;
    EXPECT_EQ(run(0x1), -4029);
    for (T e : {T(0), T(1.5), T(NAN)}) {
        eps = e;
        EXPECT_EQ(run(), -4067);
    }
    EXPECT_EQ(out, T(-1));
    EXPECT_EQ(task.t->streamQuantState, nullptr);
    eps = 1;   // the widest accuracy allowed: any of the values will do
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(out == T(1) || out == T(2) || out == T(3));
}

TYPED_TEST(StreamTest, AllocationFailures) {
    using T = TypeParam;
    // First call, one portion per component: component list, state, scratch,
    // then one summary block per component inside the merge. A failing merge
    // leaves the other components merged.
    for (int32_t fail = 1;; ++fail) {
        Task<T> task(2, 5, false, {5, 1, 4, 2, 3, 9, 7, 8, 6, 10});
        int32_t k = 1, one = 1;
        T order = T(0.5), eps = T(0.1), out[2] = {-1, -1};
        ASSERT_EQ(Api<T>::edit_stream(task.t, &k, &order, out, &one, &eps), 0);
        orvu_serv_test_fail_allocation(fail);
        const int32_t s = Api<T>::stream(task.t, 0, 0, ORVU_SS_METHOD_SQUANTS_LEVEL, 0, nullptr);
        orvu_serv_test_fail_allocation(0);
        if (s == 0) {
            EXPECT_EQ(fail, 6);
            EXPECT_EQ(out[0], T(3));
            EXPECT_EQ(out[1], T(8));
            break;
        }
        EXPECT_EQ(s, -4000) << fail;
        EXPECT_EQ(out[0], fail == 5 ? T(3) : T(-1)) << fail;
        EXPECT_EQ(out[1], fail == 4 ? T(8) : T(-1)) << fail;
        ASSERT_LT(fail, 10);
    }
}

}  // namespace
