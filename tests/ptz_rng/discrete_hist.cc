// Histograms of the discrete generators over a parameter grid, for
// discrete_fit.py, which compares them with the exact probabilities. Each row
// draws N variates (default 10^6) with a fixed seed on MCG59 and, unless
// --quick, on PHILOX4X32X10, and prints one line:
//   row <TAB> label <TAB> distribution <TAB> parameters <TAB> generator <TAB> N <TAB> kmin <TAB> counts...
// PoissonV draws vectors over repeating patterns of means and prints one row
// per position of the pattern. A generator that the library does not export prints
// "absent <TAB> label" instead, so the grid runs while some are being built.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

using Draw = std::function<int32_t(RngStream*, int32_t, int32_t*)>;

struct Row {
    std::string label, dist, params;
    std::function<Draw(void*)> bind;  // the call, given the entry point
    const char* entry;
};

template <class... P>
Row row(std::string label, const char* dist, std::string params, const char* entry, int32_t method, P... p) {
    return {std::move(label), dist, std::move(params),
            [method, p...](void* f) -> Draw {
                auto fn = reinterpret_cast<int32_t (*)(int32_t, RngStream*, int32_t, int32_t*, P...)>(f);
                return [fn, method, p...](RngStream* s, int32_t n, int32_t* r) { return fn(method, s, n, r, p...); };
            },
            entry};
}

std::string fmt(double x, int digits = 17) {
    char b[32];
    std::snprintf(b, sizeof b, "%.*g", digits, x);
    return b;
}

std::vector<Row> grid() {
    std::vector<Row> g;
    g.push_back(row("uniform -3..7", "randint", "-3,7", "_ptziRngUniform", 0, int32_t(-3), int32_t(7)));
    g.push_back(row("uniform 0..1000", "randint", "0,1000", "_ptziRngUniform", 0, int32_t(0), int32_t(1000)));
    for (double p : {0.0, 0.3, 1.0})
        g.push_back(row("bernoulli p=" + fmt(p, 6), "bernoulli", fmt(p), "_ptziRngBernoulli", 0, p));
    for (double p : {0.3, 0.01})
        g.push_back(row("geometric p=" + fmt(p, 6), "geom", fmt(p), "_ptziRngGeometric", 0, p));
    // ntrial·min(p, 1-p) on both sides of 30, mirrored above 1/2, small and large.
    const std::pair<int32_t, double> binom[] = {{100, 0.2999}, {100, 0.3},   {100, 0.7001}, {100, 0.7},
                                                {10, 0.3},     {20, 0.9},    {1000000, 0.4}, {5000, 0.01}};
    for (const auto& [nt, p] : binom)
        g.push_back(row("binomial n=" + std::to_string(nt) + " p=" + fmt(p, 6), "binom",
                        std::to_string(nt) + "," + fmt(p), "_ptziRngBinomial", 0, nt, p));
    // (l, s, m): the mode 39 resp. 40 above minjx = 0, reflections of both,
    // the degenerate cases and a large population.
    const int32_t hyper[][3] = {{200, 79, 99},   {200, 80, 99},   {200, 121, 101}, {200, 120, 101}, {50, 0, 20},
                                {50, 10, 0},     {50, 50, 20},    {50, 10, 50},    {30, 7, 12},     {1000000, 400000, 300000}};
    for (const auto& h : hyper)
        g.push_back(row("hypergeometric l=" + std::to_string(h[0]) + " s=" + std::to_string(h[1]) +
                            " m=" + std::to_string(h[2]),
                        "hypergeom", std::to_string(h[0]) + "," + std::to_string(h[1]) + "," + std::to_string(h[2]),
                        "_ptziRngHypergeometric", 0, h[0], h[1], h[2]));
    for (int32_t method : {0, 1})
        for (double l : {0.5, 1.0, 26.999, 27.0, 99.9, 100.0, 10000.0})
            g.push_back(row("poisson method " + std::to_string(method) + " lambda=" + fmt(l, 6), "poisson", fmt(l),
                            "_ptziRngPoisson", method, l));
    const std::pair<double, double> negbin[] = {{0.5, 0.3}, {3.0, 0.5}, {100.0, 0.3}, {1000.5, 0.9}};
    for (const auto& [a, p] : negbin)
        g.push_back(row("negbinomial a=" + fmt(a, 6) + " p=" + fmt(p, 6), "nbinom", fmt(a) + "," + fmt(p),
                        "_ptziRngNegbinomial", 0, a, p));
    return g;
}

void print(const std::string& label, const char* dist, const std::string& params, const char* brng, int32_t n,
           const std::vector<int32_t>& x) {
    std::map<int32_t, int64_t> h;
    for (int32_t v : x) ++h[v];
    const int32_t lo = h.begin()->first, hi = h.rbegin()->first;
    std::printf("row\t%s\t%s\t%s\t%s\t%d\t%d\t", label.c_str(), dist, params.c_str(), brng, n, lo);
    for (int32_t k = lo; k <= hi; ++k) {
        auto it = h.find(k);
        std::printf(k == lo ? "%lld" : " %lld", static_cast<long long>(it == h.end() ? 0 : it->second));
    }
    std::printf("\n");
}

bool poisson_v(int32_t id, const char* name, int32_t n, const std::vector<double>& means, const char* kind) {
    const size_t w = means.size();
    std::vector<double> lambda(w * size_t(n));
    for (size_t i = 0; i < lambda.size(); ++i) lambda[i] = means[i % w];
    std::vector<int32_t> v(lambda.size()), part(static_cast<size_t>(n));
    RngStream* s = nullptr;
    const uint32_t seed = 20261207;
    if (__ptzNewStreamEx(&s, id, 1, &seed) != 0 ||
        _ptziRngPoissonV(0, s, int32_t(v.size()), v.data(), lambda.data()) != 0)
        return false;
    __ptzDeleteStream(&s);
    for (size_t j = 0; j < w; ++j) {
        for (size_t i = 0; i < part.size(); ++i) part[i] = v[w * i + j];
        print(std::string("poissonV ") + kind + " lambda=" + fmt(means[j], 6), "poisson", fmt(means[j]), name, n,
              part);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int32_t n = 1000000;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--quick")) quick = true;
        if (!std::strcmp(argv[i], "--n") && i + 1 < argc) n = std::atoi(argv[++i]);
    }
    std::vector<std::pair<int32_t, const char*>> brngs = {{PTZ_BRNG_MCG59, "MCG59"}};
    if (!quick) brngs.push_back({PTZ_BRNG_PHILOX4X32X10, "PHILOX4X32X10"});
    std::vector<int32_t> x(static_cast<size_t>(n));
    for (const auto& [id, name] : brngs) {
        const uint32_t seed = 20261206;
        for (const Row& r : grid()) {
            void* f = dlsym(RTLD_DEFAULT, r.entry);
            if (!f) {
                std::printf("absent\t%s\n", r.label.c_str());
                continue;
            }
            RngStream* s = nullptr;
            if (__ptzNewStreamEx(&s, id, 1, &seed) != 0 || r.bind(f)(s, n, x.data()) != 0) return 1;
            __ptzDeleteStream(&s);
            print(r.label, r.dist.c_str(), r.params, name, n, x);
        }
        // PoissonV over repeating patterns of means: equal neighbours within a
        // regime (a run's table), then alternating ones (per-element methods).
        if (!poisson_v(id, name, n, {0.5, 5.0, 40.0, 150.0}, "run") ||
            !poisson_v(id, name, n, {0.5, 5.0, 40.0, 150.0, 0.7, 6.0, 41.0, 160.0}, "alternating"))
            return 1;
    }
    return 0;
}
