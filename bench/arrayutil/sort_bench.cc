// Radix sorts against std::sort and std::stable_sort on uniformly random keys.
// Every variant copies the unsorted input into place first, so each time
// includes the same copy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "orvu_arrayutil.h"

namespace {

template <class T>
std::vector<T> random_keys(size_t n) {
    std::mt19937_64 g(42);
    std::vector<T> v(n);
    if constexpr (std::is_floating_point_v<T>) {
        std::uniform_real_distribution<T> u(-1e6, 1e6);
        for (auto& x : v) x = u(g);
    } else {
        for (auto& x : v) x = static_cast<T>(g());
    }
    return v;
}

enum class Algo { radix, std_sort, std_stable };

template <class T, Algo A>
void BM_Sort(benchmark::State& st, int32_t (*radix)(T*, T*, int32_t)) {
    const size_t n = static_cast<size_t>(st.range(0));
    const auto input = random_keys<T>(n);
    std::vector<T> a(n), work(n);
    for (auto _ : st) {
        std::memcpy(a.data(), input.data(), n * sizeof(T));
        if constexpr (A == Algo::radix) radix(a.data(), work.data(), static_cast<int32_t>(n));
        else if constexpr (A == Algo::std_sort) std::sort(a.begin(), a.end());
        else std::stable_sort(a.begin(), a.end());
        benchmark::DoNotOptimize(a.data());
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(n));
}

template <Algo A>
void BM_Index32f(benchmark::State& st) {
    const size_t n = static_cast<size_t>(st.range(0));
    const auto input = random_keys<float>(n);
    std::vector<int32_t> idx(n), work(n);
    for (auto _ : st) {
        if constexpr (A == Algo::radix) {
            orvu_dft_c5h2_yobsSortRadixIndexAscend_32f(input.data(), 4, idx.data(), work.data(),
                                                        static_cast<int32_t>(n));
        } else {
            std::iota(idx.begin(), idx.end(), 0);
            std::stable_sort(idx.begin(), idx.end(), [&](int32_t x, int32_t y) { return input[x] < input[y]; });
        }
        benchmark::DoNotOptimize(idx.data());
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(n));
}

// Registered at start-up: one radix, std::sort and std::stable_sort
// benchmark per key type, each at 10^3, 10^5 and 10^7 keys.
template <class T>
void register_type(const char* sfx, int32_t (*radix)(T*, T*, int32_t)) {
    auto add = [&](const char* what, void (*fn)(benchmark::State&, int32_t (*)(T*, T*, int32_t))) {
        std::string name = std::string(what) + "_" + sfx;
        benchmark::RegisterBenchmark(name.c_str(), fn, radix)
            ->Arg(1000)->Arg(100000)->Arg(10000000)->Unit(benchmark::kMicrosecond);
    };
    add("radix", BM_Sort<T, Algo::radix>);
    add("std_sort", BM_Sort<T, Algo::std_sort>);
    add("stable_sort", BM_Sort<T, Algo::std_stable>);
}

const bool kRegistered = [] {
#define AU_SORT_BENCH(sfx, T) register_type<T>(#sfx, orvu_dft_c5h2_yobsSortRadixAscend_##sfx##_I);
    ORVU_ARRAYUTIL_SORT_TYPES(AU_SORT_BENCH)
#undef AU_SORT_BENCH
    return true;
}();

BENCHMARK(BM_Index32f<Algo::radix>)->Arg(1000)->Arg(100000)->Arg(10000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Index32f<Algo::std_stable>)->Arg(1000)->Arg(100000)->Arg(10000000)->Unit(benchmark::kMicrosecond);

}  // namespace
