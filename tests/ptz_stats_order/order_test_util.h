// Shared helpers of the order-statistics tests: both precisions behind one
// traits type, a self-deleting task, tied data, a plain reference quantile.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "orvu_ptz_order.h"
#include "ptz_stats/stats_test_util.h"

namespace ordtest {

// tol: relative error of a result computed in double and rounded to T.
template <class T> struct Api;
#define ORDTEST_API(T, t)                                                                                  \
    template <> struct Api<T> {                                                                            \
        static constexpr auto new_task = __ptz##t##SSNewTask;                                              \
        static constexpr auto edit_quantiles = __ptz##t##SSEditQuantiles;                                  \
        static constexpr auto edit_stream = __ptz##t##SSEditStreamQuantiles;                               \
        static constexpr auto quantiles = _ptz##t##SSQuantiles;                                            \
        static constexpr auto minmax = _ptz##t##SSMinmax;                                                  \
        static constexpr auto mad = _ptz##t##SSMAD;                                                        \
        static constexpr auto wmedian = _ptz##t##SSWMedian;                                                \
        static constexpr auto stream = _ptz##t##SSStreamQuantiles;                                         \
        static constexpr auto select = __ptz##t##QSortSelect;                                              \
        static constexpr auto sort_step = __ptz##t##QSortStep;                                             \
        static constexpr double tol = sizeof(T) == 8 ? 1e-13 : 1.2e-7;                                     \
    };
ORDTEST_API(double, d)
ORDTEST_API(float, s)

template <class T> struct OrderTest : ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(OrderTest, Precisions);

// A task over caller-owned p, n, storage, x and weights; deleted with the test.
template <class T>
struct Task {
    int32_t p, n, storage;
    std::vector<T> x, w;
    SSTask* t = nullptr;
    Task(int32_t p_, int32_t n_, bool columns, std::vector<T> data)
        : p(p_), n(n_), storage(columns ? ORVU_SS_X_COLUMNS : ORVU_SS_X_ROWS), x(std::move(data)) {
        EXPECT_EQ(Api<T>::new_task(&t, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr), 0);
    }
    ~Task() { __ptzSSDeleteTask(&t); }
    std::vector<T> column(int64_t j) const {
        std::vector<T> v(n);
        for (int64_t i = 0; i < n; ++i) v[i] = storage == ORVU_SS_X_COLUMNS ? x[i * p + j] : x[j * n + i];
        return v;
    }
};

// Values on a quarter grid, so that about n/40 distinct values repeat.
template <class T>
std::vector<T> tied_data(int64_t count, uint64_t seed) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> nd(0.0, 5.0);
    std::vector<T> v(count);
    for (auto& e : v) e = T(std::round(nd(g) * 4) / 4);
    return v;
}

// h = q(n - 1) on the sorted values, in long double.
template <class T>
long double ref_quantile(std::vector<T> v, double q) {
    std::sort(v.begin(), v.end());
    const int64_t n = v.size();
    const long double h = (long double)q * (n - 1);
    const int64_t i = std::min<int64_t>(int64_t(h), n - 1);
    const long double f = h - i, a = v[i], b = v[std::min<int64_t>(i + 1, n - 1)];
    return f == 0 ? a : a * (1 - f) + f * b;
}

// Makes the 1st, 2nd, ... allocation of `call` fail until it succeeds: every
// failure must give -4000 and leak nothing. Returns how many sites failed.
inline int sweep_allocation_failures(const std::function<int32_t()>& call) {
    for (int32_t k = 1; k < 64; ++k) {
        const int32_t live = orvu_serv_test_live_allocations();
        orvu_serv_test_fail_allocation(k);
        const int32_t s = call();
        orvu_serv_test_fail_allocation(0);
        if (s == 0) return k - 1;
        EXPECT_EQ(s, -4000) << "allocation " << k;
        EXPECT_EQ(orvu_serv_test_live_allocations(), live) << "allocation " << k;
    }
    ADD_FAILURE() << "never succeeded";
    return -1;
}

}  // namespace ordtest
