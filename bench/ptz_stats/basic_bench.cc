// Basic statistics, n = 10^6: mean and variance, and covariance, for p = 10
// and p = 100 in both storages, against a plain two-pass loop and GSL's
// per-component routines; one thread and the layer's default threads.
#include <benchmark/benchmark.h>
#include <gsl/gsl_statistics_double.h>

#include <random>
#include <vector>

#include "orvu_ptz_stats.h"

namespace {

constexpr int32_t kN = 1000000;

int32_t one() { return 1; }
void team1(int32_t threads, void* ctx, orvu_thr_team_body body) {
    for (int32_t t = 0; t < threads; ++t) body(t, threads, ctx);
}
const OrvuThreadingTable kOneThread = {nullptr, nullptr, team1, nullptr, one};

const std::vector<double>& data(int p) {
    static std::vector<double> d10, d100;
    std::vector<double>& d = p == 10 ? d10 : d100;
    if (d.empty()) {
        std::mt19937_64 g(1);
        std::normal_distribution<double> nd(3.0, 1.0);
        d.resize(size_t(kN) * p);
        for (auto& v : d) v = nd(g);
    }
    return d;
}

// args: p, columns (1) or rows (0), covariance (1) or mean+variance (0),
// method, threads (1 or 0 = the layer's default)
void BM_Orvu(benchmark::State& st) {
    int32_t p = int32_t(st.range(0)), n = kN, storage = st.range(1) ? ORVU_SS_X_COLUMNS : ORVU_SS_X_ROWS, full = 0;
    const bool cov = st.range(2);
    const int method = int(st.range(3));
    const OrvuThreadingTable* thr = st.range(4) ? &kOneThread : orvu_serv_threading_table();
    const std::vector<double>& x = data(p);   // same numbers; the layout only changes the meaning
    std::vector<double> mean(p), var(p), raw2(p), c(size_t(p) * p);
    double acc[2];
    SSTask* task = nullptr;
    __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
    __ptzdSSEditCovCor(task, mean.data(), c.data(), &full, nullptr, nullptr);
    __ptzdSSEditTask(task, 11, var.data());
    __ptzdSSEditTask(task, 8, raw2.data());   // raw moment 2: part of the variance's requirement
    __ptzdSSEditTask(task, 23, acc);
    const uint64_t mask = cov ? ORVU_SS_MEAN | ORVU_SS_COV : ORVU_SS_MEAN | ORVU_SS_CEN2;
    for (auto _ : st) {
        acc[0] = acc[1] = 0;
        if (_ptzdSSBasic(task, uint32_t(mask), 0, method, 0, thr) != 0) st.SkipWithError("status");
        benchmark::DoNotOptimize(c.data());
    }
    __ptzSSDeleteTask(&task);
}

// The straightforward two-pass loop over the same layout.
void BM_TwoPass(benchmark::State& st) {
    const int p = int(st.range(0));
    const bool cols = st.range(1), cov = st.range(2);
    const std::vector<double>& x = data(p);
    auto at = [&](int64_t i, int64_t j) { return cols ? x[i * p + j] : x[j * int64_t(kN) + i]; };
    std::vector<double> m(p), v(size_t(p) * p), d(p);
    for (auto _ : st) {
        std::fill(m.begin(), m.end(), 0.0);
        std::fill(v.begin(), v.end(), 0.0);
        for (int64_t i = 0; i < kN; ++i)
            for (int j = 0; j < p; ++j) m[j] += at(i, j);
        for (auto& e : m) e /= kN;
        for (int64_t i = 0; i < kN; ++i) {
            for (int j = 0; j < p; ++j) d[j] = at(i, j) - m[j];
            if (cov) {
                for (int j = 0; j < p; ++j)
                    for (int k = j; k < p; ++k) v[j * p + k] += d[j] * d[k];
            } else {
                for (int j = 0; j < p; ++j) v[j] += d[j] * d[j];
            }
        }
        benchmark::DoNotOptimize(v.data());
    }
}

void BM_Gsl(benchmark::State& st) {
    const int p = int(st.range(0));
    const bool cols = st.range(1), cov = st.range(2);
    const std::vector<double>& x = data(p);
    const size_t stride = cols ? p : 1;
    auto base = [&](int j) { return x.data() + (cols ? j : size_t(j) * kN); };
    std::vector<double> out(size_t(p) * p);
    for (auto _ : st) {
        for (int j = 0; j < p; ++j) {
            if (!cov) {
                const double m = gsl_stats_mean(base(j), stride, kN);
                out[j] = gsl_stats_variance_m(base(j), stride, kN, m);
            } else {
                for (int k = j; k < p; ++k) out[j * p + k] = gsl_stats_covariance(base(j), stride, base(k), stride, kN);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
}

void args(benchmark::internal::Benchmark* b, bool orvu, bool gsl = false) {
    for (int p : {10, 100})
        for (int cols : {0, 1})
            for (int cov : {0, 1}) {
                if (!orvu) {
                    // GSL's pairwise covariance at p = 100 is 5050 passes over
                    // 10^6 pairs (minutes); its cost is 5050 / 55 times p = 10's.
                    if (!(gsl && p == 100 && cov)) b->Args({p, cols, cov});
                    continue;
                }
                for (int method : {ORVU_SS_METHOD_1PASS, ORVU_SS_METHOD_FAST})
                    for (int one_thread : {1, 0}) b->Args({p, cols, cov, method, one_thread});
            }
    b->Unit(benchmark::kMillisecond)->Iterations(2);
}

}  // namespace

BENCHMARK(BM_Orvu)->Apply([](benchmark::internal::Benchmark* b) { args(b, true); });
BENCHMARK(BM_TwoPass)->Apply([](benchmark::internal::Benchmark* b) { args(b, false); });
BENCHMARK(BM_Gsl)->Apply([](benchmark::internal::Benchmark* b) { args(b, false, true); });
