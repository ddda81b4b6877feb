// Output rates of the basic generators (integer and double forms) against a
// plain one-step-at-a-time loop of the same recurrence, and MCG31M1 against
// std::minstd_rand.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

// ---- plain loops ---------------------------------------------------------------
struct PlainMcg31 {
    uint64_t x = 1;
    uint32_t next() {
        const uint32_t out = uint32_t(x);
        x = x * 1132489760u % 2147483647u;
        return out;
    }
    double unit(uint32_t v) { return v * (1.0 / 2147483647.0); }
};
struct PlainMcg59 {
    uint64_t x = 1;
    uint64_t next() {
        const uint64_t out = x;
        x = (x * 302875106592253ull) & ((uint64_t(1) << 59) - 1);
        return out;
    }
    double unit(uint64_t v) { return double(v) * (1.0 / 576460752303423488.0); }
};
struct PlainWh {
    struct Word {
        uint32_t x[4];
    };
    uint64_t x[4] = {1, 1, 1, 1};
    Word next() {
        Word w;
        for (int k = 0; k < 4; ++k) {
            w.x[k] = uint32_t(x[k]);
            x[k] = x[k] * _ptz_WH_A[0][k] % _ptz_WH_M[0][k];
        }
        return w;
    }
    double unit(const Word& w) {
        double s = 0;
        for (int k = 0; k < 4; ++k) s += double(w.x[k]) * _ptzdWH_IM_Tab[0][k];
        return s - double(int32_t(s));
    }
};
struct PlainMrg {
    int64_t a[3] = {1, 1, 1}, b[3] = {1, 1, 1};
    uint32_t next() {
        const int64_t m1 = 4294967087, m2 = 4294944443;
        const int64_t p1 = ((1403580 * a[1] - 810728 * a[0]) % m1 + m1) % m1;
        const int64_t p2 = ((527612 * b[2] - 1370589 * b[0]) % m2 + m2) % m2;
        a[0] = a[1], a[1] = a[2], a[2] = p1;
        b[0] = b[1], b[1] = b[2], b[2] = p2;
        return uint32_t(((p1 - p2) % m1 + m1) % m1);
    }
    double unit(uint32_t v) { return v * (1.0 / 4294967087.0); }
};
struct PlainR250 {
    uint32_t reg[250];
    int i = 0, j = 103;
    PlainR250() {
        uint32_t t = 1;
        for (uint32_t& w : reg) w = t *= 69069u;
    }
    uint32_t next() {
        const uint32_t v = reg[i] ^= reg[j];
        i = i == 249 ? 0 : i + 1;
        j = j == 249 ? 0 : j + 1;
        return v;
    }
    double unit(uint32_t v) { return v * (1.0 / 4294967296.0); }
};

template <class P>
void BM_PlainInt(benchmark::State& state) {
    P gen;
    const int n = int(state.range(0));
    std::vector<decltype(gen.next())> r(static_cast<size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) r[size_t(i)] = gen.next();
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
template <class P>
void BM_PlainDouble(benchmark::State& state) {
    P gen;
    const int n = int(state.range(0));
    std::vector<double> r(static_cast<size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) r[size_t(i)] = gen.unit(gen.next());
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_MinstdRand(benchmark::State& state) {
    std::minstd_rand gen(1);
    const int n = int(state.range(0));
    std::vector<uint32_t> r(static_cast<size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) r[size_t(i)] = uint32_t(gen());
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// ---- the library -----------------------------------------------------------------
void BM_LibInt(benchmark::State& state, int32_t id) {
    RngStream* s = nullptr;
    __ptzNewStreamEx(&s, id, 0, nullptr);
    BrngProperties p{};
    __ptzGetBrngProperties(id, &p);
    const int n = int(state.range(0));
    std::vector<uint8_t> r(static_cast<size_t>(n) * size_t(p.wordSize));
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
    for (auto _ : state) {
        p.dBRng(s, n, r.data(), 0.0, 1.0);
        benchmark::DoNotOptimize(r.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
    __ptzDeleteStream(&s);
}

#define PTZ_BENCH_PAIR(NAME, ID, PLAIN)                                                      \
    BENCHMARK_CAPTURE(BM_LibInt, NAME, ID)->Arg(1000)->Arg(1000000);                         \
    BENCHMARK_TEMPLATE(BM_PlainInt, PLAIN)->Name("BM_PlainInt/" #NAME)->Arg(1000)->Arg(1000000); \
    BENCHMARK_CAPTURE(BM_LibDouble, NAME, ID)->Arg(1000)->Arg(1000000);                      \
    BENCHMARK_TEMPLATE(BM_PlainDouble, PLAIN)->Name("BM_PlainDouble/" #NAME)->Arg(1000)->Arg(1000000);

PTZ_BENCH_PAIR(MCG31M1, PTZ_BRNG_MCG31, PlainMcg31)
PTZ_BENCH_PAIR(MCG59, PTZ_BRNG_MCG59, PlainMcg59)
PTZ_BENCH_PAIR(WH, PTZ_BRNG_WH, PlainWh)
PTZ_BENCH_PAIR(MRG32K3A, PTZ_BRNG_MRG32K3A, PlainMrg)
PTZ_BENCH_PAIR(R250, PTZ_BRNG_R250, PlainR250)
BENCHMARK(BM_MinstdRand)->Arg(1000)->Arg(1000000);

}  // namespace
