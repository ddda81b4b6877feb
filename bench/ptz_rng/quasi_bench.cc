// Quasi-random coordinates per second: SOBOL and NIEDERREITER double output
// against GSL's gsl_qrng_sobol and gsl_qrng_niederreiter_2 (which stop at 40
// and 12 dimensions), for requests of 1000 and 10^6 coordinates.
#include <benchmark/benchmark.h>
#include <gsl/gsl_qrng.h>

#include <vector>

#include "orvu_ptz_rng.h"

namespace {

// Restarts well before either library's period ends.
constexpr int64_t kRestartCoordinates = int64_t(1) << 28;

void ours(benchmark::State& state, int32_t id) {
    const int32_t n = int32_t(state.range(0));
    const uint32_t d = uint32_t(state.range(1));
    std::vector<double> r(size_t(n) + 1);
    RngStream* s = nullptr;
    BrngProperties p{};
    __ptzGetBrngProperties(id, &p);
    int64_t drawn = 0;
    for (auto _ : state) {
        if (!s || drawn > kRestartCoordinates) {
            __ptzDeleteStream(&s);
            __ptzNewStreamEx(&s, id, 1, &d);
            drawn = 0;
        }
        p.dBRng(s, n, r.data(), 0.0, 1.0);
        drawn += n;
        benchmark::DoNotOptimize(r.data());
    }
    __ptzDeleteStream(&s);
    state.SetItemsProcessed(state.iterations() * n);
}

// Whole points only: GSL has no partial points; n is rounded down to a
// multiple of d.
void gsl(benchmark::State& state, const gsl_qrng_type* type) {
    const uint32_t d = uint32_t(state.range(1));
    const int32_t points = int32_t(state.range(0) / d);
    std::vector<double> r(size_t(points) * d + 1);
    gsl_qrng* q = gsl_qrng_alloc(type, d);
    int64_t drawn = 0;
    for (auto _ : state) {
        if (drawn > kRestartCoordinates) gsl_qrng_init(q), drawn = 0;
        for (int32_t i = 0; i < points; ++i) gsl_qrng_get(q, r.data() + size_t(i) * d);
        drawn += int64_t(points) * d;
        benchmark::DoNotOptimize(r.data());
    }
    gsl_qrng_free(q);
    state.SetItemsProcessed(state.iterations() * points * d);
}

void sizes(benchmark::internal::Benchmark* b, std::initializer_list<int64_t> dims) {
    for (int64_t d : dims)
        for (int64_t n : {1000, 1000000}) b->Args({n, d});
}

void Sobol(benchmark::State& s) { ours(s, PTZ_BRNG_SOBOL); }
void GslSobol(benchmark::State& s) { gsl(s, gsl_qrng_sobol); }
void Niederreiter(benchmark::State& s) { ours(s, PTZ_BRNG_NIEDERR); }
void GslNiederreiter(benchmark::State& s) { gsl(s, gsl_qrng_niederreiter_2); }

BENCHMARK(Sobol)->Apply([](auto* b) { sizes(b, {1, 10, 40}); });
BENCHMARK(GslSobol)->Apply([](auto* b) { sizes(b, {1, 10, 40}); });
BENCHMARK(Niederreiter)->Apply([](auto* b) { sizes(b, {1, 10, 12, 100, 318}); });
BENCHMARK(GslNiederreiter)->Apply([](auto* b) { sizes(b, {1, 10, 12}); });

}  // namespace
