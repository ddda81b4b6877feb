// Spline construction plus interpolation against GSL, and each cell-search
// method against std::upper_bound.
#include <benchmark/benchmark.h>
#include <gsl/gsl_spline.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "orvu_df.h"

namespace {

constexpr int64_t kSites = 1000000;

struct Data {
    std::vector<double> x, y, sites;
    explicit Data(int64_t nx) {
        std::mt19937 gen(1);
        std::uniform_real_distribution<double> u(0.5, 1.5);
        double acc = 0;
        for (int64_t i = 0; i < nx; ++i) {
            x.push_back(acc);
            y.push_back(std::sin(0.01 * acc));
            acc += u(gen);
        }
        std::uniform_real_distribution<double> s(x.front(), x.back());
        for (int64_t k = 0; k < kSites; ++k) sites.push_back(s(gen));
        std::sort(sites.begin(), sites.end());
    }
};

void Orvu(benchmark::State& st, bool akima) {
    Data d(st.range(0));
    const int64_t nx = d.x.size();
    std::vector<double> c(4 * (nx - 1)), r(kSites);
    const int32_t dorder[1] = {1};
    for (auto _ : st) {
        OrvuDFTaskPtr t = nullptr;
        orvu_df_kernel_dNewTask1D(&t, nx, d.x.data(), 1, 1, d.y.data(), 16, 0);
        orvu_df_kernel_dEditPPSpline1D(t, 4, 2, akima ? 0 : 2, nullptr, 0, nullptr, c.data(), 0);
        if (akima) orvu_df_kernel_dDFAkimaCubicSpline1D(t, 0, 0, nullptr);
        else orvu_df_kernel_dDFNaturalCubicSpline1D(t, 0, 0, nullptr);
        orvu_df_kernel_dDFInterpolate1D(t, 1, 0, kSites, d.sites.data(), 64, 1, dorder, nullptr, r.data(), 16, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        orvu_df_kernel_DeleteTask(&t);
        benchmark::DoNotOptimize(r.data());
    }
}

void Gsl(benchmark::State& st, bool akima) {
    Data d(st.range(0));
    const int64_t nx = d.x.size();
    std::vector<double> r(kSites);
    for (auto _ : st) {
        gsl_interp_accel* acc = gsl_interp_accel_alloc();
        gsl_spline* s = gsl_spline_alloc(akima ? gsl_interp_akima : gsl_interp_cspline, nx);
        gsl_spline_init(s, d.x.data(), d.y.data(), nx);
        for (int64_t k = 0; k < kSites; ++k) r[k] = gsl_spline_eval(s, d.sites[k], acc);
        gsl_spline_free(s);
        gsl_interp_accel_free(acc);
        benchmark::DoNotOptimize(r.data());
    }
}

void BM_OrvuNatural(benchmark::State& st) { Orvu(st, false); }
void BM_GslNatural(benchmark::State& st) { Gsl(st, false); }
void BM_OrvuAkima(benchmark::State& st) { Orvu(st, true); }
void BM_GslAkima(benchmark::State& st) { Gsl(st, true); }
BENCHMARK(BM_OrvuNatural)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GslNatural)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrvuAkima)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GslAkima)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Search: arg 0 = method (0 hybrid, 1 quasi-uniform, 2 sorted, 3 peak), arg 1 = sorted sites.
// (The peak search scans from one cell; it is meant for clustered sites and
// is left out of this uniform-site comparison.)
void BM_Search(benchmark::State& st) {
    Data d(100000);
    std::vector<double> sites = d.sites;
    if (!st.range(1)) std::shuffle(sites.begin(), sites.end(), std::mt19937(4));
    const int64_t method = st.range(0);
    OrvuDFTaskPtr t = nullptr;
    orvu_df_kernel_dNewTask1D(&t, d.x.size(), d.x.data(), method == 1 ? 2 : 1, 0, nullptr, 0, 0);
    const double peak[5] = {0, 1, 0, 0, 50000};
    std::vector<int32_t> cell(kSites);
    for (auto _ : st) {
        orvu_df_kernel_dDFSearch1D(t, 0, kSites, sites.data(), method == 2 ? 64 : 0, method == 3 ? peak : nullptr,
                                   cell.data(), nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(cell.data());
    }
    orvu_df_kernel_DeleteTask(&t);
}
void BM_UpperBound(benchmark::State& st) {
    Data d(100000);
    std::vector<double> sites = d.sites;
    if (!st.range(0)) std::shuffle(sites.begin(), sites.end(), std::mt19937(4));
    std::vector<int32_t> cell(kSites);
    for (auto _ : st) {
        for (int64_t k = 0; k < kSites; ++k)
            cell[k] = static_cast<int32_t>(std::upper_bound(d.x.begin(), d.x.end(), sites[k]) - d.x.begin());
        benchmark::DoNotOptimize(cell.data());
    }
}
BENCHMARK(BM_Search)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpperBound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
