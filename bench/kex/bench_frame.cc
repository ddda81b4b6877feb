// The arithmetic kernels of the frame against plain -O3 loops for the same
// instruction-set level. Report: items/s of each; the ratio kernel/loop is
// what matters.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "orvu_kex.h"

void ref_sAdd(int32_t, const float*, const float*, float*);
void ref_sSub(int32_t, const float*, const float*, float*);
void ref_sMul(int32_t, const float*, const float*, float*);
void ref_dAdd(int32_t, const double*, const double*, double*);
void ref_dSub(int32_t, const double*, const double*, double*);
void ref_dMul(int32_t, const double*, const double*, double*);
void ref_sSqr(int32_t, const float*, float*);
void ref_dSqr(int32_t, const double*, double*);

namespace {

template <class T, class F>
void binary(benchmark::State& st, F f) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    std::vector<T> a(n, T(1.25)), b(n, T(0.75)), r(n);
    for (auto _ : st) {
        f(n, a.data(), b.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
template <class T, class F>
void unary(benchmark::State& st, F f) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    std::vector<T> a(n, T(1.25)), r(n);
    for (auto _ : st) {
        f(n, a.data(), r.data());
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * n);
}

void binary_f(benchmark::State& st, KexKernel_sbinary f) { binary<float>(st, f); }
void binary_d(benchmark::State& st, KexKernel_dbinary f) { binary<double>(st, f); }
void unary_f(benchmark::State& st, KexKernel_sunary f) { unary<float>(st, f); }
void unary_d(benchmark::State& st, KexKernel_dunary f) { unary<double>(st, f); }

#define PAIR(kind, fn)                                                         \
    BENCHMARK_CAPTURE(kind, kex_##fn, _kex##fn)->Arg(1000)->Arg(100000);       \
    BENCHMARK_CAPTURE(kind, loop_##fn, ref_##fn)->Arg(1000)->Arg(100000);
PAIR(binary_f, sAdd)
PAIR(binary_f, sSub)
PAIR(binary_f, sMul)
PAIR(unary_f, sSqr)
PAIR(binary_d, dAdd)
PAIR(binary_d, dSub)
PAIR(binary_d, dMul)
PAIR(unary_d, dSqr)

}  // namespace

BENCHMARK_MAIN();
