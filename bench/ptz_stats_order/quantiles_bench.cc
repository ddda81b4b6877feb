// Quantiles of 10^7 values: the library routine (copy into its buffer, then
// selection) against copying and std::nth_element, for one order (the
// median) and for three (0.1, 0.5, 0.9), on one thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "orvu_ptz_order.h"

namespace {

constexpr int32_t kN = 10000000;

template <class T>
const std::vector<T>& data() {
    static const std::vector<T> v = [] {
        std::mt19937_64 g(1);
        std::normal_distribution<double> nd(0, 1);
        std::vector<T> out(kN);
        for (auto& e : out) e = T(nd(g));
        return out;
    }();
    return v;
}

template <class T> struct Fns;
template <> struct Fns<double> {
    static constexpr auto new_task = __ptzdSSNewTask;
    static constexpr auto edit = __ptzdSSEditQuantiles;
    static constexpr auto run = _ptzdSSQuantiles;
};
template <> struct Fns<float> {
    static constexpr auto new_task = __ptzsSSNewTask;
    static constexpr auto edit = __ptzsSSEditQuantiles;
    static constexpr auto run = _ptzsSSQuantiles;
};

template <class T>
void BM_Library(benchmark::State& state) {
    int32_t p = 1, n = kN, storage = ORVU_SS_X_ROWS, k = int32_t(state.range(0));
    const T orders[] = {T(0.5), T(0.1), T(0.9)};
    T out[3];
    SSTask* task = nullptr;
    Fns<T>::new_task(&task, &p, &n, &storage, data<T>().data(), nullptr, nullptr, nullptr);
    Fns<T>::edit(task, &k, orders, out, nullptr, nullptr);
    for (auto _ : state) {
        Fns<T>::run(task, ORVU_SS_QUANTS, 0, ORVU_SS_METHOD_FAST, 0, nullptr);
        benchmark::DoNotOptimize(out);
    }
    __ptzSSDeleteTask(&task);
}

// The same work by hand: copy, then nth_element for each needed rank (the
// lower neighbour of each order and the smallest value above it).
template <class T>
void BM_NthElement(benchmark::State& state) {
    const int64_t k = state.range(0);
    const double orders[] = {0.5, 0.1, 0.9};
    std::vector<T> buf(kN);
    T out[3];
    for (auto _ : state) {
        std::copy(data<T>().begin(), data<T>().end(), buf.begin());
        for (int64_t o = 0; o < k; ++o) {
            const double h = orders[o] * (kN - 1);
            const int64_t i = int64_t(h);
            std::nth_element(buf.begin(), buf.begin() + i, buf.end());
            const T b = *std::min_element(buf.begin() + i + 1, buf.end());
            out[o] = T(buf[i] * (1 - (h - i)) + (h - i) * b);
        }
        benchmark::DoNotOptimize(out);
    }
}

BENCHMARK(BM_Library<double>)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NthElement<double>)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library<float>)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NthElement<float>)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
