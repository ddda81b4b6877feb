// Discrete distributions against GSL (over gsl_rng_mt19937) and libstdc++ (over
// std::mt19937_64) in the same run; ours on MCG59, n = 10^6, small and large
// parameters of each regime. Names are <case>/<implementation>/<n>; numpy's
// Generator is timed by discrete_numpy.py and all are compared by
// discrete_report.py.
#include <benchmark/benchmark.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <random>
#include <string>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

constexpr int64_t kN = 1000000;

template <class F>
void ours(benchmark::State& st, F gen) {
    RngStream* s = nullptr;
    const uint32_t seed = 5489;
    __ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 1, &seed);
    std::vector<int32_t> r(static_cast<size_t>(kN));
    for (auto _ : st) {
        if (gen(s, int32_t(kN), r.data()) != 0) st.SkipWithError("status");
        benchmark::DoNotOptimize(r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kN);
    __ptzDeleteStream(&s);
}

// One peer loop: draw(generator, i) gives variate i.
template <class G, class F>
void peer(benchmark::State& st, G& g, F draw) {
    std::vector<int32_t> r(static_cast<size_t>(kN));
    for (auto _ : st) {
        for (size_t i = 0; i < r.size(); ++i) r[i] = int32_t(draw(g, i));
        benchmark::DoNotOptimize(r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * kN);
}

template <class F>
void gsl(benchmark::State& st, F draw) {
    gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
    peer(st, g, draw);
    gsl_rng_free(g);
}

template <class F>
void stdlib(benchmark::State& st, F draw) {
    std::mt19937_64 g(5489);
    peer(st, g, draw);
}

void reg(const std::string& name, auto f) {
    benchmark::RegisterBenchmark((name + "/" + std::to_string(kN)).c_str(), f)->Unit(benchmark::kMicrosecond);
}

// A case: ours, then the peers that have the distribution (nullptr: none).
template <class O, class G, class S>
void add(const std::string& what, O o, G g, S d) {
    reg(what + "/MCG59", [=](benchmark::State& st) { ours(st, o); });
    if constexpr (!std::is_same_v<G, std::nullptr_t>)
        reg(what + "/gsl_mt19937", [=](benchmark::State& st) { gsl(st, g); });
    if constexpr (!std::is_same_v<S, std::nullptr_t>)
        reg(what + "/std_mt19937_64", [=](benchmark::State& st) { stdlib(st, d); });
}

#define OURS(call) [=](RngStream* s, int32_t n, int32_t* r) { return call; }
#define GSL(expr) [=](gsl_rng* g, size_t) { return expr; }
#define STD(dist) [=](std::mt19937_64& g, size_t) mutable { return dist(g); }

const std::vector<double>& mixed_means() {
    static const std::vector<double> m = [] {
        std::vector<double> v(static_cast<size_t>(kN));
        const double pattern[] = {0.5, 5.0, 40.0, 150.0};
        for (size_t i = 0; i < v.size(); ++i) v[i] = pattern[i % 4];
        return v;
    }();
    return m;
}

int register_all() {
    add("Uniform_0_1000", OURS(_ptziRngUniform(0, s, n, r, 0, 1000)), GSL(gsl_rng_uniform_int(g, 1000)),
        STD(std::uniform_int_distribution<int32_t>(0, 999)));
    add("Bernoulli_0.3", OURS(_ptziRngBernoulli(0, s, n, r, 0.3)), GSL(gsl_ran_bernoulli(g, 0.3)),
        STD(std::bernoulli_distribution(0.3)));
    // GSL counts trials, ours and libstdc++ failures: the same cost.
    for (double p : {0.3, 0.01})
        add("Geometric_" + std::to_string(p).substr(0, 4), OURS(_ptziRngGeometric(0, s, n, r, p)),
            GSL(gsl_ran_geometric(g, p)), STD(std::geometric_distribution<int32_t>(p)));
    // Inversion (ntrial·p below 30), then BTPE.
    const std::pair<int32_t, double> binom[] = {{10, 0.3}, {100, 0.2}, {100, 0.4}, {100000, 0.4}};
    for (const auto& np : binom) {
        const int32_t nt = np.first;
        const double p = np.second;
        add("Binomial_" + std::to_string(nt) + "_" + std::to_string(p).substr(0, 3),
            OURS(_ptziRngBinomial(0, s, n, r, nt, p)), GSL(gsl_ran_binomial(g, p, unsigned(nt))),
            STD(std::binomial_distribution<int32_t>(nt, p)));
    }
    // (l, s, m): inversion, then H2PE. GSL draws the sample one element at a
    // time (800 steps a variate in the third case); the population of 10^6 is
    // left to numpy.
    const int32_t hyper[][3] = {{30, 7, 12}, {200, 79, 99}, {2000, 800, 990}};
    for (const auto& h : hyper) {
        const int32_t l = h[0], sz = h[1], m = h[2];
        add("Hypergeometric_" + std::to_string(l) + "_" + std::to_string(sz) + "_" + std::to_string(m),
            OURS(_ptziRngHypergeometric(0, s, n, r, l, sz, m)),
            GSL(gsl_ran_hypergeometric(g, unsigned(m), unsigned(l - m), unsigned(sz))), nullptr);
    }
    add("Hypergeometric_1000000_400000_300000", OURS(_ptziRngHypergeometric(0, s, n, r, 1000000, 400000, 300000)),
        nullptr, nullptr);
    // Method 0: the table (small and near 27), PTPE; method 1: each range.
    for (double lambda : {2.0, 26.0, 30.0, 10000.0})
        add("Poisson_" + std::to_string(lambda).substr(0, 5), OURS(_ptziRngPoisson(0, s, n, r, lambda)),
            GSL(gsl_ran_poisson(g, lambda)), STD(std::poisson_distribution<int32_t>(lambda)));
    for (double lambda : {0.5, 50.0, 10000.0})
        add("PoisNorm_" + std::to_string(lambda).substr(0, 5), OURS(_ptziRngPoisson(1, s, n, r, lambda)),
            GSL(gsl_ran_poisson(g, lambda)), STD(std::poisson_distribution<int32_t>(lambda)));
    const double* means = mixed_means().data();
    add("PoissonV_mixed", OURS(_ptziRngPoissonV(0, s, n, r, means)),
        [=](gsl_rng* g, size_t i) { return gsl_ran_poisson(g, means[i]); },
        [=](std::mt19937_64& g, size_t i) { return std::poisson_distribution<int32_t>(means[i])(g); });
    // libstdc++'s negative binomial takes an integer a.
    add("Negbinomial_0.5_0.3", OURS(_ptziRngNegbinomial(0, s, n, r, 0.5, 0.3)),
        GSL(gsl_ran_negative_binomial(g, 0.3, 0.5)), nullptr);
    for (int32_t a : {3, 100})
        add("Negbinomial_" + std::to_string(a) + "_0.3", OURS(_ptziRngNegbinomial(0, s, n, r, double(a), 0.3)),
            GSL(gsl_ran_negative_binomial(g, 0.3, double(a))), STD(std::negative_binomial_distribution<int32_t>(a, 0.3)));
    return 0;
}
[[maybe_unused]] const int registered = register_all();

}  // namespace
