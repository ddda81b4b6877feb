// MT19937, SFMT19937 and MT2203 against std::mt19937 (libstdc++) and GSL's
// mt19937: 32-bit words and unit doubles (against
// std::uniform_real_distribution over std::mt19937), n = 1000 and 10^6;
// skip-ahead by 2^64 - 1.
#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <random>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

RngStream* make(int32_t id) {
    RngStream* s = nullptr;
    const uint32_t seed[1] = {5489};
    __ptzNewStreamEx(&s, id, 1, seed);
    return s;
}

BrngProperties row(int32_t id) {
    BrngProperties p{};
    __ptzGetBrngProperties(id, &p);
    return p;
}

template <int32_t Id>
void words(benchmark::State& st) {
    RngStream* s = make(Id);
    const int32_t n = int32_t(st.range(0));
    std::vector<uint32_t> r(static_cast<size_t>(n));
    const PtzIBRngFn gen = row(Id).iBRng;
    for (auto _ : st) {
        gen(s, n, r.data());
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * n);
    __ptzDeleteStream(&s);
}

template <int32_t Id>
void doubles(benchmark::State& st) {
    RngStream* s = make(Id);
    const int32_t n = int32_t(st.range(0));
    std::vector<double> r(static_cast<size_t>(n));
    const PtzDBRngFn gen = row(Id).dBRng;
    for (auto _ : st) {
        gen(s, n, r.data(), 0.0, 1.0);
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(st.iterations() * n);
    __ptzDeleteStream(&s);
}

void std_words(benchmark::State& st) {
    std::mt19937 g(5489);
    const size_t n = size_t(st.range(0));
    std::vector<uint32_t> r(n);
    for (auto _ : st) {
        for (size_t i = 0; i < n; ++i) r[i] = uint32_t(g());
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(n));
}

void std_doubles(benchmark::State& st) {
    std::mt19937 g(5489);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const size_t n = size_t(st.range(0));
    std::vector<double> r(n);
    for (auto _ : st) {
        for (size_t i = 0; i < n; ++i) r[i] = u(g);
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(n));
}

void gsl_words(benchmark::State& st) {
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    const size_t n = size_t(st.range(0));
    std::vector<uint32_t> r(n);
    for (auto _ : st) {
        for (size_t i = 0; i < n; ++i) r[i] = uint32_t(gsl_rng_get(g));
        benchmark::DoNotOptimize(r.data());
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(n));
    gsl_rng_free(g);
}

template <int32_t Id>
void skip_max(benchmark::State& st) {
    RngStream* s = make(Id);
    for (auto _ : st) benchmark::DoNotOptimize(__ptzSkipAheadStream(s, -1));  // 2^64 - 1
    __ptzDeleteStream(&s);
}

BENCHMARK(words<PTZ_BRNG_MT19937>)->Name("words/MT19937")->Arg(1000)->Arg(1000000);
BENCHMARK(words<PTZ_BRNG_SFMT19937>)->Name("words/SFMT19937")->Arg(1000)->Arg(1000000);
BENCHMARK(words<PTZ_BRNG_MT2203>)->Name("words/MT2203")->Arg(1000)->Arg(1000000);
BENCHMARK(std_words)->Name("words/std::mt19937")->Arg(1000)->Arg(1000000);
BENCHMARK(gsl_words)->Name("words/gsl_rng_mt19937")->Arg(1000)->Arg(1000000);
BENCHMARK(doubles<PTZ_BRNG_MT19937>)->Name("doubles/MT19937")->Arg(1000)->Arg(1000000);
BENCHMARK(doubles<PTZ_BRNG_SFMT19937>)->Name("doubles/SFMT19937")->Arg(1000)->Arg(1000000);
BENCHMARK(doubles<PTZ_BRNG_MT2203>)->Name("doubles/MT2203")->Arg(1000)->Arg(1000000);
BENCHMARK(std_doubles)->Name("doubles/std::uniform_real_distribution")->Arg(1000)->Arg(1000000);
BENCHMARK(skip_max<PTZ_BRNG_MT19937>)->Name("skip_2^64-1/MT19937")->Unit(benchmark::kMillisecond);
BENCHMARK(skip_max<PTZ_BRNG_SFMT19937>)->Name("skip_2^64-1/SFMT19937")->Unit(benchmark::kMillisecond);

}  // namespace
