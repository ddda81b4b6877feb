// Robust covariance (TBS) and outlier detection (BACON) for n = 10^4 and
// 10^5, p = 5 and 20, on one and two threads, against scikit-learn's
// MinCovDet and EllipticEnvelope on data of the same shape (run by
// /usr/bin/python3 through sklearn_robust.py, best of its repeats reported
// as this benchmark's time). Data: correlated Gaussian components, the
// first 10 % moved to a far cluster. The EM step of the missing-values
// routine against a straightforward numpy EM (numpy_em.py), per step, on
// the same shapes with 20 % of the entries of components 1.. missing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "orvu_ptz_stats.h"

namespace {

// Observation-major n x p data.
const std::vector<double>& data(int32_t n, int32_t p) {
    static std::map<std::pair<int32_t, int32_t>, std::vector<double>> cache;
    std::vector<double>& d = cache[{n, p}];
    if (d.empty()) {
        std::mt19937_64 g(1);
        std::normal_distribution<double> nd;
        d.resize(size_t(n) * p);
        for (int32_t i = 0; i < n; ++i) {
            double* r = &d[size_t(i) * p];
            for (int32_t j = 0; j < p; ++j) r[j] = nd(g) + (j ? 0.5 * r[0] : 0.0) + (i < n / 10 ? 20.0 : 0.0);
        }
    }
    return d;
}

const OrvuThreadingTable* table(int threads) {
    static OrvuThreadingTable t1, t2;
    t1 = t2 = *orvu_serv_threading_table();
    t1.max_threads = [] { return int32_t(1); };
    t2.max_threads = [] { return int32_t(2); };
    return threads == 1 ? &t1 : &t2;
}

// args: n, p, threads; method 0x8 (TBS) or 0x20 (BACON)
template <int Method>
void BM_Orvu(benchmark::State& st) {
    int32_t n = int32_t(st.range(0)), p = int32_t(st.range(1)), storage = ORVU_SS_X_COLUMNS, full = 0, none = 0;
    const std::vector<double>& x = data(n, p);
    std::vector<double> mean(p), cov(size_t(p) * p), w(n);
    SSTask* task = nullptr;
    __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
    __ptzdSSEditRCov(task, &full, &none, nullptr, mean.data(), cov.data());
    __ptzdSSEditOutDetect(task, &none, nullptr, w.data());
    const OrvuThreadingTable* thr = table(int(st.range(2)));
    for (auto _ : st) {
        const int32_t s = Method == ORVU_SS_METHOD_TBS ? _ptzdSSRobustCovariance(task, 0, 0, Method, 0, thr)
                                                       : _ptzdSSOutliersDetection(task, 0, 0, Method, 0, thr);
        if (s != 0) st.SkipWithError("status");
        benchmark::DoNotOptimize(w.data());
        benchmark::DoNotOptimize(cov.data());
    }
    __ptzSSDeleteTask(&task);
}

// args: n, p. Twenty EM steps (accuracy 0: never converged), no imputation;
// the time reported is that of one step.
void BM_MissingEm(benchmark::State& st) {
    int32_t n = int32_t(st.range(0)), p = int32_t(st.range(1)), storage = ORVU_SS_X_COLUMNS, np = 5, nb = (p + 3) * p / 2;
    std::vector<double> x = data(n, p), prm = {20, 0, 1, 0, NAN}, b(nb);
    std::mt19937_64 g(2);
    std::uniform_real_distribution<double> u;
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 1; j < p; ++j)
            if (u(g) < 0.2) x[size_t(i) * p + j] = NAN;
    SSTask* task = nullptr;
    __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), nullptr, nullptr, nullptr);
    __ptzdSSEditMissingVals(task, &np, prm.data(), nullptr, nullptr, nullptr, nullptr, &nb, b.data(), nullptr, nullptr);
    for (auto _ : st) {
        const auto t0 = std::chrono::steady_clock::now();
        if (_ptzdSSMissingValues(task, 0, 0, ORVU_SS_METHOD_MI, 0, orvu_serv_threading_table()) != 0)
            st.SkipWithError("status");
        st.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / 20);
        benchmark::DoNotOptimize(b.data());
    }
    __ptzSSDeleteTask(&task);
}

// A peer script's best time, in milliseconds, as this benchmark's time.
void python_peer(benchmark::State& st, const std::string& args) {
    const std::string cmd = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 " ORVU_BENCH_DIR "/" + args;
    for (auto _ : st) {
        FILE* f = popen(cmd.c_str(), "r");
        char line[256] = {}, info[256] = {};
        const bool ok = f && std::fgets(line, sizeof line, f) && std::fgets(info, sizeof info, f);
        if (f) pclose(f);
        if (!ok) {
            st.SkipWithError("the peer script did not run");
            break;
        }
        st.SetIterationTime(std::atof(line) / 1e3);
        st.SetLabel(std::string(info, std::string(info).find_last_not_of("\n") + 1));
    }
}
// The per-pattern loop in Python is slow with p = 20 (almost every
// observation has a pattern of its own): one step there.
void BM_NumpyEm(benchmark::State& st) {
    python_peer(st, "numpy_em.py " + std::to_string(st.range(0)) + " " + std::to_string(st.range(1)) +
                        (st.range(1) > 5 ? " 1 1" : " 20 2"));
}
// args: n, p; which: "mcd" or "envelope"
void sklearn(benchmark::State& st, const char* which) {
    python_peer(st, "sklearn_robust.py " + std::to_string(st.range(0)) + " " + std::to_string(st.range(1)) + " " +
                        which + " 2");
}
void BM_SklearnMinCovDet(benchmark::State& st) { sklearn(st, "mcd"); }
void BM_SklearnEllipticEnvelope(benchmark::State& st) { sklearn(st, "envelope"); }

void orvu_shapes(benchmark::internal::Benchmark* b) {
    for (int n : {10000, 100000})
        for (int p : {5, 20})
            for (int threads : {1, 2}) b->Args({n, p, threads});
    b->Unit(benchmark::kMillisecond)->Repetitions(3)->UseRealTime();
}
void peer_shapes(benchmark::internal::Benchmark* b) {
    for (int n : {10000, 100000})
        for (int p : {5, 20}) b->Args({n, p});
    b->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
}

}  // namespace

BENCHMARK(BM_Orvu<ORVU_SS_METHOD_TBS>)->Name("BM_Tbs")->Apply(orvu_shapes);
BENCHMARK(BM_Orvu<ORVU_SS_METHOD_BACON>)->Name("BM_Bacon")->Apply(orvu_shapes);
BENCHMARK(BM_SklearnMinCovDet)->Apply(peer_shapes);
BENCHMARK(BM_SklearnEllipticEnvelope)->Apply(peer_shapes);
BENCHMARK(BM_MissingEm)->Apply(peer_shapes)->Iterations(3);
BENCHMARK(BM_NumpyEm)->Apply(peer_shapes);
