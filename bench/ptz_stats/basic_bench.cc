// Covariance and correlation of basic statistics (one-pass and fast
// methods, rows and columns storage, 1 and 2 threads) for p = 10, 100 and
// 500, against a one-thread dsyrk of the system BLAS on the already centred
// data, numpy.cov (run by /usr/bin/python3 on data of the same shape with
// both cores, its best time reported as this benchmark's time) and a plain
// two-pass loop.
// n = 10^6; for p = 500, n = 10^5 (10^6 would be 4 GB in one array).
// bench/ptz_stats/ratios.py runs this program and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "orvu_ptz_stats.h"

extern "C" {
void dsyrk_(const char*, const char*, const int32_t*, const int32_t*, const double*, const double*, const int32_t*,
            const double*, double*, const int32_t*, size_t, size_t);
void openblas_set_num_threads(int);
}

namespace {

int32_t rows_of(int p) { return p >= 500 ? 100000 : 1000000; }

// The same numbers serve both storages: the layout only changes their meaning.
const std::vector<double>& data(int p) {
    static std::map<int, std::vector<double>> cache;
    std::vector<double>& d = cache[p];
    if (d.empty()) {
        std::mt19937_64 g(1);
        std::normal_distribution<double> nd(3.0, 1.0);
        d.resize(size_t(rows_of(p)) * p);
        for (auto& v : d) v = nd(g);
    }
    return d;
}

// The layer's thread pool, limited to one or two threads.
const OrvuThreadingTable* table(int threads) {
    static OrvuThreadingTable t1, t2;
    const OrvuThreadingTable* s = orvu_serv_threading_table();
    t1 = t2 = *s;
    t1.max_threads = [] { return int32_t(1); };
    t2.max_threads = [] { return int32_t(2); };
    return threads == 1 ? &t1 : &t2;
}

// args: p, columns (1) or rows (0), correlation (1) or covariance (0), method, threads
void BM_Orvu(benchmark::State& st) {
    int32_t p = int32_t(st.range(0)), n = rows_of(p), full = 0;
    int32_t storage = st.range(1) ? ORVU_SS_X_COLUMNS : ORVU_SS_X_ROWS;
    const uint64_t mask = ORVU_SS_MEAN | (st.range(2) ? ORVU_SS_COR : ORVU_SS_COV);
    const int method = int(st.range(3));
    const OrvuThreadingTable* thr = table(int(st.range(4)));
    const std::vector<double>& x = data(p);
    std::vector<double> mean(p), c(size_t(p) * p);
    double acc[2];
    SSTask* task = nullptr;
    __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
    if (st.range(2)) __ptzdSSEditCovCor(task, mean.data(), nullptr, nullptr, c.data(), &full);
    else __ptzdSSEditCovCor(task, mean.data(), c.data(), &full, nullptr, nullptr);
    __ptzdSSEditTask(task, 23, acc);
    for (auto _ : st) {
        acc[0] = acc[1] = 0;
        if (_ptzdSSBasic(task, uint32_t(mask), 0, method, 0, thr) != 0) st.SkipWithError("status");
        benchmark::DoNotOptimize(c.data());
    }
    __ptzSSDeleteTask(&task);
}

// args: p, columns. The system BLAS's rank-k update on one thread over the
// centred data (centring not timed): the product the covariance is made of.
void BM_Dsyrk(benchmark::State& st) {
    const int32_t p = int32_t(st.range(0)), n = rows_of(p);
    const bool cols = st.range(1);
    std::vector<double> x = data(p), c(size_t(p) * p);
    for (int32_t j = 0; j < p; ++j) {
        double m = 0;
        for (int32_t i = 0; i < n; ++i) m += cols ? x[size_t(i) * p + j] : x[size_t(j) * n + i];
        m /= n;
        for (int32_t i = 0; i < n; ++i) (cols ? x[size_t(i) * p + j] : x[size_t(j) * n + i]) -= m;
    }
    openblas_set_num_threads(1);
    const double one = 1, zero = 0;
    for (auto _ : st) {
        // Columns: p x n with one observation per column; rows: n x p.
        if (cols) dsyrk_("L", "N", &p, &n, &one, x.data(), &p, &zero, c.data(), &p, 1, 1);
        else dsyrk_("L", "T", &p, &n, &one, x.data(), &n, &zero, c.data(), &p, 1, 1);
        benchmark::DoNotOptimize(c.data());
    }
}

// args: p, columns. numpy.cov's best of three, measured by the script.
void BM_NumpyCov(benchmark::State& st) {
    const int p = int(st.range(0));
    // The kernel-selection overrides some machines set for old BLAS builds
    // slow a current numpy: unset for this command alone (its label names
    // the kernel it then runs).
    const std::string cmd = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 " ORVU_BENCH_DIR "/numpy_cov.py " + std::to_string(p) + " " +
                            std::to_string(rows_of(p)) + " " + std::to_string(st.range(1)) + " 3";
    for (auto _ : st) {
        FILE* f = popen(cmd.c_str(), "r");
        char line[256] = {}, info[512] = {};
        const bool ok = f && std::fgets(line, sizeof line, f) && std::fgets(info, sizeof info, f);
        if (f) pclose(f);
        if (!ok) {
            st.SkipWithError("numpy_cov.py did not run");
            break;
        }
        st.SetIterationTime(std::atof(line) / 1e3);
        st.SetLabel(std::string(info, std::string(info).find_last_not_of("\n") + 1));
    }
}

// args: p, columns. The straightforward two-pass loop over the same layout.
void BM_TwoPass(benchmark::State& st) {
    const int p = int(st.range(0));
    const int64_t n = rows_of(p);
    const bool cols = st.range(1);
    const std::vector<double>& x = data(p);
    auto at = [&](int64_t i, int64_t j) { return cols ? x[i * p + j] : x[j * n + i]; };
    std::vector<double> m(p), v(size_t(p) * p), d(p);
    for (auto _ : st) {
        std::fill(m.begin(), m.end(), 0.0);
        std::fill(v.begin(), v.end(), 0.0);
        for (int64_t i = 0; i < n; ++i)
            for (int j = 0; j < p; ++j) m[j] += at(i, j);
        for (auto& e : m) e /= double(n);
        for (int64_t i = 0; i < n; ++i) {
            for (int j = 0; j < p; ++j) d[j] = at(i, j) - m[j];
            for (int j = 0; j < p; ++j)
                for (int k = j; k < p; ++k) v[j * p + k] += d[j] * d[k];
        }
        benchmark::DoNotOptimize(v.data());
    }
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int p : {10, 100, 500})
        for (int cols : {0, 1}) b->Args({p, cols});
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(false);
}

void orvu_shapes(benchmark::internal::Benchmark* b) {
    for (int p : {10, 100, 500})
        for (int cols : {0, 1})
            for (int cor : {0, 1})
                for (int method : {ORVU_SS_METHOD_1PASS, ORVU_SS_METHOD_FAST})
                    for (int threads : {1, 2}) b->Args({p, cols, cor, method, threads});
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_Orvu)->Apply(orvu_shapes);
BENCHMARK(BM_Dsyrk)->Apply(shapes);
BENCHMARK(BM_TwoPass)->Apply(shapes);
BENCHMARK(BM_NumpyCov)->Apply([](benchmark::internal::Benchmark* b) {
    shapes(b);
    b->Repetitions(1)->UseManualTime();
});
