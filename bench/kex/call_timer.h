// Cycles per element of a call over n elements, shared by the vector-math
// benchmarks. Time-stamp-counter ticks are read around every call and the
// median call gives cyc_per_elem, so calls during which the thread lost the
// processor to other work do not count. The counter's rate, from the ticks
// and the wall clock over the whole loop, turns the median into elements per
// second.
#pragma once

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

template <class Call> void time_calls(benchmark::State& st, int32_t n, Call call) {
    std::vector<uint64_t> calls;
    calls.reserve(1 << 16);
    const auto w0 = std::chrono::steady_clock::now();
    const uint64_t t0 = __rdtsc();
    for (auto _ : st) {
        const uint64_t c0 = __rdtsc();
        call();
        benchmark::ClobberMemory();
        calls.push_back(__rdtsc() - c0);
    }
    const double ticks = static_cast<double>(__rdtsc() - t0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    std::nth_element(calls.begin(), calls.begin() + calls.size() / 2, calls.end());
    const double cyc = static_cast<double>(calls[calls.size() / 2]) / n;
    st.SetItemsProcessed(st.iterations() * n);
    st.counters["cyc_per_elem"] = cyc;
    st.counters["elem_per_s"] = ticks / seconds / cyc;
}
