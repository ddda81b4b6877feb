// Continuous distributions, double precision, against GSL (over
// gsl_rng_mt19937) and libstdc++ (over std::mt19937_64) in the same run; ours
// on MCG59 and PHILOX4X32X10. Names are <distribution>/<implementation>/<n>;
// numpy's Generator is timed separately by distributions_numpy.py and both are
// compared by distributions_report.py.
#include <benchmark/benchmark.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <random>
#include <string>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

template <class F>
void ours(benchmark::State& st, int32_t brng, F gen) {
    RngStream* s = nullptr;
    const uint32_t seed = 5489;
    __ptzNewStreamEx(&s, brng, 1, &seed);
    const int32_t n = int32_t(st.range(0));
    std::vector<double> r(static_cast<size_t>(n));
    for (auto _ : st) {
        if (gen(s, n, r.data()) != 0) st.SkipWithError("status");
        benchmark::DoNotOptimize(r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * n);
    __ptzDeleteStream(&s);
}

template <class F>
void gsl(benchmark::State& st, F draw) {
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    const size_t n = size_t(st.range(0));
    std::vector<double> r(n);
    for (auto _ : st) {
        for (size_t i = 0; i < n; ++i) r[i] = draw(g);
        benchmark::DoNotOptimize(r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(n));
    gsl_rng_free(g);
}

template <class D>
void stdlib(benchmark::State& st, D dist) {
    std::mt19937_64 g(5489);
    const size_t n = size_t(st.range(0));
    std::vector<double> r(n);
    for (auto _ : st) {
        for (size_t i = 0; i < n; ++i) r[i] = dist(g);
        benchmark::DoNotOptimize(r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * int64_t(n));
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond); }

// One distribution: ours on both generators, then whichever peers have it.
template <class Ours, class Gsl, class Std>
void add(const std::string& what, Ours o, Gsl g, Std d) {
    for (const auto& gen : {std::pair{PTZ_BRNG_MCG59, "MCG59"}, {PTZ_BRNG_PHILOX4X32X10, "PHILOX4X32X10"}}) {
        const int32_t id = gen.first;
        benchmark::RegisterBenchmark((what + "/" + gen.second).c_str(), [=](benchmark::State& st) { ours(st, id, o); })
            ->Apply(sizes);
    }
    if constexpr (!std::is_same_v<Gsl, std::nullptr_t>)
        benchmark::RegisterBenchmark((what + "/gsl_mt19937").c_str(), [=](benchmark::State& st) { gsl(st, g); })
            ->Apply(sizes);
    if constexpr (!std::is_same_v<Std, std::nullptr_t>)
        benchmark::RegisterBenchmark((what + "/std_mt19937_64").c_str(), [=](benchmark::State& st) { stdlib(st, d); })
            ->Apply(sizes);
}

// Gsl and libstdc++ peers as lambdas / distribution objects.
#define GSL(expr) [](gsl_rng* r) { return expr; }
#define OURS(call) [](RngStream* s, int32_t n, double* r) { return call; }

int register_all() {
    add("Uniform", OURS(_ptzdRngUniform(0, s, n, r, 0.0, 1.0)), GSL(gsl_ran_flat(r, 0.0, 1.0)),
        std::uniform_real_distribution<double>(0.0, 1.0));
    // Each Gaussian method against the fastest normal of each peer.
    const char* methods[] = {"Gaussian_BoxMuller", "Gaussian_BoxMuller2", "Gaussian_ICDF"};
    for (int32_t m = 0; m < 3; ++m)
        add(methods[m], [m](RngStream* s, int32_t n, double* r) { return _ptzdRngGaussian(m, s, n, r, 0.0, 1.0); },
            GSL(gsl_ran_gaussian_ziggurat(r, 1.0)), std::normal_distribution<double>(0.0, 1.0));
    add("Exponential", OURS(_ptzdRngExponential(0, s, n, r, 0.0, 1.0)), GSL(gsl_ran_exponential(r, 1.0)),
        std::exponential_distribution<double>(1.0));
    for (double alpha : {0.5, 1.0, 5.0}) {
        const std::string name = "Gamma_" + std::to_string(alpha).substr(0, 3);
        auto o = [alpha](RngStream* s, int32_t n, double* r) { return _ptzdRngGamma(0, s, n, r, alpha, 0.0, 1.0); };
        auto g = [alpha](gsl_rng* r) { return gsl_ran_gamma(r, alpha, 1.0); };
        add(name, o, g, std::gamma_distribution<double>(alpha, 1.0));
    }
    // One shape pair per regime: Johnk, switching (both below 1, one below 1),
    // power function, ratio method.
    const std::pair<double, double> shapes[] = {{0.5, 0.5}, {0.3, 0.9}, {0.5, 3.0}, {1.0, 3.0}, {2.0, 3.0}};
    for (const auto& pq : shapes) {
        const double p = pq.first, q = pq.second;
        const std::string name = "Beta_" + std::to_string(p).substr(0, 3) + "_" + std::to_string(q).substr(0, 3);
        auto o = [p, q](RngStream* s, int32_t n, double* r) { return _ptzdRngBeta(0, s, n, r, p, q, 0.0, 1.0); };
        auto g = [p, q](gsl_rng* r) { return gsl_ran_beta(r, p, q); };
        add(name, o, g, nullptr);
    }
    add("Lognormal", OURS(_ptzdRngLognormal(0, s, n, r, 0.0, 1.0, 0.0, 1.0)), GSL(gsl_ran_lognormal(r, 0.0, 1.0)),
        std::lognormal_distribution<double>(0.0, 1.0));
    add("Cauchy", OURS(_ptzdRngCauchy(0, s, n, r, 0.0, 1.0)), GSL(gsl_ran_cauchy(r, 1.0)),
        std::cauchy_distribution<double>(0.0, 1.0));
    add("Weibull", OURS(_ptzdRngWeibull(0, s, n, r, 1.5, 0.0, 1.0)), GSL(gsl_ran_weibull(r, 1.0, 1.5)),
        std::weibull_distribution<double>(1.5, 1.0));
    return 0;
}
[[maybe_unused]] const int registered = register_all();

}  // namespace
