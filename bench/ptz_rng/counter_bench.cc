// Counter-based and hardware generators against their peers in the same run:
// PHILOX4X32X10 and ARS5 words against a plain loop over Random123's scalar
// philox4x32 and ars4x32 (5 rounds, the same block), NONDETERM against
// std::random_device. This file is compiled with AES enabled for Random123's
// ARS; its ARS benchmarks run only where the processor has AES.
#include <benchmark/benchmark.h>

#include <Random123/ars.h>
#include <Random123/philox.h>

#include <cstdint>
#include <random>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

// The Random123 loop: one block per counter value, four words stored.
template <class Block>
void BM_Random123(benchmark::State& state, Block block) {
    const int n = int(state.range(0));
    std::vector<uint32_t> r(static_cast<size_t>(n));
    uint32_t ctr = 0;
    for (auto _ : state) {
        for (int i = 0; i + 4 <= n; i += 4) block(ctr++, &r[size_t(i)]);  // n is a multiple of 4
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void philox_r123(uint32_t c0, uint32_t* w) {
    const philox4x32_key_t k = {{0x12345678, 0x9ABCDEF0}};
    const philox4x32_ctr_t c = {{c0, 0, 0, 0}};
    const philox4x32_ctr_t x = philox4x32_R(10, c, k);
    for (int k2 = 0; k2 < 4; ++k2) w[k2] = x.v[k2];
}
void ars_r123(uint32_t c0, uint32_t* w) {
    const ars4x32_key_t k = {{1, 2, 3, 4}};
    const ars4x32_ctr_t c = {{c0, 0, 0, 0}};
    const ars4x32_ctr_t x = ars4x32_R(5, c, k);
    for (int k2 = 0; k2 < 4; ++k2) w[k2] = x.v[k2];
}

void BM_LibWords(benchmark::State& state, int32_t id) {
    RngStream* s = nullptr;
    __ptzNewStreamEx(&s, id, 0, nullptr);
    BrngProperties p{};
    __ptzGetBrngProperties(id, &p);
    const int n = int(state.range(0));
    std::vector<uint32_t> r(static_cast<size_t>(n));
    if (p.iBRng(s, 1, r.data()) != 0) state.SkipWithError("instruction not available");
    for (auto _ : state) {
        p.iBRng(s, n, r.data());
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
    __ptzDeleteStream(&s);
}
void BM_LibDouble(benchmark::State& state, int32_t id) {
    RngStream* s = nullptr;
    __ptzNewStreamEx(&s, id, 0, nullptr);
    BrngProperties p{};
    __ptzGetBrngProperties(id, &p);
    const int n = int(state.range(0));
    std::vector<double> r(static_cast<size_t>(n));
    if (p.dBRng(s, 1, r.data(), 0.0, 1.0) != 0) state.SkipWithError("instruction not available");
    for (auto _ : state) {
        p.dBRng(s, n, r.data(), 0.0, 1.0);
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
    __ptzDeleteStream(&s);
}

void BM_RandomDevice(benchmark::State& state) {
    std::random_device dev;
    const int n = int(state.range(0));
    std::vector<uint32_t> r(static_cast<size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) r[size_t(i)] = dev();
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Random123Philox(benchmark::State& state) { BM_Random123(state, philox_r123); }
void BM_Random123Ars5(benchmark::State& state) {
    if (!__ptzCPUisAES()) {
        state.SkipWithError("no AES");
        return;
    }
    BM_Random123(state, ars_r123);
}

BENCHMARK_CAPTURE(BM_LibWords, PHILOX4X32X10, PTZ_BRNG_PHILOX4X32X10)->Arg(1000)->Arg(1000000);
BENCHMARK_CAPTURE(BM_LibDouble, PHILOX4X32X10, PTZ_BRNG_PHILOX4X32X10)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Random123Philox)->Arg(1000)->Arg(1000000);
BENCHMARK_CAPTURE(BM_LibWords, ARS5, PTZ_BRNG_ARS5)->Arg(1000)->Arg(1000000);
BENCHMARK_CAPTURE(BM_LibDouble, ARS5, PTZ_BRNG_ARS5)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_Random123Ars5)->Arg(1000)->Arg(1000000);
BENCHMARK_CAPTURE(BM_LibWords, NONDETERM, PTZ_BRNG_NONDETERM)->Arg(1000)->Arg(1000000);
BENCHMARK_CAPTURE(BM_LibDouble, NONDETERM, PTZ_BRNG_NONDETERM)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_RandomDevice)->Arg(1000)->Arg(1000000);

}  // namespace
