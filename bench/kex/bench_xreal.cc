// The extended-precision scalar routines (orvu_kex_kernel_*l_scalar) against
// the C library's long double functions on the same arrays: arguments are
// doubles widened to long double, drawn uniformly from the range the generic
// complex kernels typically pass (components in [-10, 10]) plus a few wider
// ones. Names: Xreal/<routine>/<contender>/<range>, contender ours or
// libm; counters as in call_timer.h.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "call_timer.h"
#include "orvu_kex.h"

namespace {

using ld = long double;
using Fn1 = ld (*)(ld);
using Fn2 = ld (*)(ld, ld);

// Pairs of results fold into one sum so that neither call can be dropped.
ld ours_sincos(ld x) {
    ld s, c;
    orvu_kex_kernel_sincosl_scalar(x, &s, &c);
    return s + c;
}
ld libm_sincos(ld x) {
    ld s, c;
    sincosl(x, &s, &c);
    return s + c;
}
ld ours_sinhcosh(ld x) {
    ld s, c;
    orvu_kex_kernel_sinhcoshl_scalar(x, &s, &c);
    return s + c;
}
ld libm_sinhcosh(ld x) { return sinhl(x) + coshl(x); }

struct Row {
    const char* name;
    Fn1 ours, libm;
    double lo, hi;
    const char* range;
};

const Row kRows[] = {
    {"expl", orvu_kex_kernel_expl_scalar, expl, -20, 20, "20"},
    {"logl", orvu_kex_kernel_logl_scalar, logl, 0.01, 200, "200"},
    {"log1pl", orvu_kex_kernel_log1pl_scalar, log1pl, -0.5, 10, "10"},
    {"sinl", orvu_kex_kernel_sinl_scalar, sinl, -10, 10, "10"},
    {"sinl", orvu_kex_kernel_sinl_scalar, sinl, 1e6, 1e300, "1e300"},
    {"cosl", orvu_kex_kernel_cosl_scalar, cosl, -10, 10, "10"},
    {"sincosl", ours_sincos, libm_sincos, -10, 10, "10"},
    {"tanl", orvu_kex_kernel_tanl_scalar, tanl, -10, 10, "10"},
    {"sinhl", orvu_kex_kernel_sinhl_scalar, sinhl, -10, 10, "10"},
    {"coshl", orvu_kex_kernel_coshl_scalar, coshl, -10, 10, "10"},
    {"sinhcoshl", ours_sinhcosh, libm_sinhcosh, -10, 10, "10"},
    {"tanhl", orvu_kex_kernel_tanhl_scalar, tanhl, -10, 10, "10"},
    {"atanl", orvu_kex_kernel_atanl_scalar, atanl, -10, 10, "10"},
    {"atanhl", orvu_kex_kernel_atanhl_scalar, atanhl, -1, 1, "1"},
    {"asinl", orvu_kex_kernel_asinl_scalar, asinl, -1, 1, "1"},
    {"acosl", orvu_kex_kernel_acosl_scalar, acosl, -1, 1, "1"},
    {"asinhl", orvu_kex_kernel_asinhl_scalar, asinhl, -10, 10, "10"},
    {"acoshl", orvu_kex_kernel_acoshl_scalar, acoshl, 1, 20, "20"},
};

std::vector<ld> draw(double lo, double hi, int32_t n, unsigned seed) {
    std::mt19937_64 g(seed);
    std::vector<ld> v(n);
    // Wide positive ranges are drawn log-uniformly.
    const bool log = lo > 0 && hi / lo > 1e3;
    std::uniform_real_distribution<double> u(log ? std::log(lo) : lo, log ? std::log(hi) : hi);
    for (ld& x : v) x = log ? std::exp(u(g)) : u(g);
    return v;
}

void bench1(benchmark::State& st, Fn1 fn, double lo, double hi) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    const std::vector<ld> x = draw(lo, hi, n, 1);
    std::vector<ld> r(n);
    time_calls(st, n, [&] {
        for (int32_t i = 0; i < n; ++i) r[i] = fn(x[i]);
    });
}

void bench2(benchmark::State& st, Fn2 fn) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    const std::vector<ld> y = draw(-10, 10, n, 1), x = draw(-10, 10, n, 2);
    std::vector<ld> r(n);
    time_calls(st, n, [&] {
        for (int32_t i = 0; i < n; ++i) r[i] = fn(y[i], x[i]);
    });
}

const bool registered = [] {
    for (const Row& row : kRows)
        for (int k = 0; k < 2; ++k) {
            const std::string name = std::string("Xreal/") + row.name + (k ? "/libm/" : "/ours/") + row.range;
            const Fn1 fn = k ? row.libm : row.ours;
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) { bench1(st, fn, row.lo, row.hi); })
                ->Arg(1000)->MinTime(0.05);
        }
    for (int k = 0; k < 2; ++k)
        benchmark::RegisterBenchmark(k ? "Xreal/atan2l/libm/10" : "Xreal/atan2l/ours/10",
                                     [=](benchmark::State& st) { bench2(st, k ? atan2l : orvu_kex_kernel_atan2l_scalar); })
            ->Arg(1000)->MinTime(0.05);
    return true;
}();

}  // namespace
