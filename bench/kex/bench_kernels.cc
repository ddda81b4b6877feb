// The arithmetic, rounding and pack kernels against plain -O3 loops for the
// same level (ref_A2_kernels.cc, ref_A5_kernels.cc) and, where the C library
// has the function, its scalar routine called per element.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "orvu_kex.h"

#define REF_U(T, name) void ref_##name(int32_t, const T*, T*);
REF_U(float, sAbs) REF_U(double, dAbs) REF_U(float, sInv) REF_U(double, dInv)
REF_U(double, dFloor) REF_U(double, dCeil) REF_U(double, dTrunc) REF_U(double, dRint)
REF_U(double, dNearbyInt) REF_U(double, dRound) REF_U(double, dFrac) REF_U(float, sFloor) REF_U(float, sRound)
#undef REF_U
void ref_sDiv(int32_t, const float*, const float*, float*);
void ref_dDiv(int32_t, const double*, const double*, double*);
void ref_dModf(int32_t, const double*, double*, double*);
void ref_sModf(int32_t, const float*, float*, float*);
void ref_dPackI(int32_t, const double*, int32_t, double*);
void ref_dLinearFrac(int32_t, const double*, const double*, double, double, double, double, double*);
void ref_sLinearFrac(int32_t, const float*, const float*, float, float, float, float, float*);

namespace {

// Values with fractions and both signs, divisors away from zero.
template <class T> std::vector<T> data(int32_t n, T base) {
    std::vector<T> v(n);
    for (int32_t i = 0; i < n; ++i) v[i] = (i & 1 ? -1 : 1) * (base + T(i % 97) * T(0.37));
    return v;
}

template <class T, class F> void unary(benchmark::State& st, F f) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    auto a = data<T>(n, T(1.3));
    std::vector<T> r(n);
    for (auto _ : st) f(n, a.data(), r.data()), benchmark::ClobberMemory();
    st.SetItemsProcessed(st.iterations() * n);
}
template <class T, class F> void binary(benchmark::State& st, F f) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    auto a = data<T>(n, T(1.3)), b = data<T>(n, T(0.7));
    std::vector<T> r(n);
    for (auto _ : st) f(n, a.data(), b.data(), r.data()), benchmark::ClobberMemory();
    st.SetItemsProcessed(st.iterations() * n);
}
template <class T, class F> void two(benchmark::State& st, F f) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    auto a = data<T>(n, T(1.3));
    std::vector<T> r1(n), r2(n);
    for (auto _ : st) f(n, a.data(), r1.data(), r2.data()), benchmark::ClobberMemory();
    st.SetItemsProcessed(st.iterations() * n);
}
template <class T, class F> void linfrac(benchmark::State& st, F f) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    auto a = data<T>(n, T(1.3)), b = data<T>(n, T(0.7));
    std::vector<T> r(n);
    for (auto _ : st) f(n, a.data(), b.data(), T(1.5), T(-2), T(0.25), T(3), r.data()), benchmark::ClobberMemory();
    st.SetItemsProcessed(st.iterations() * n);
}
void packI(benchmark::State& st, void (*f)(int32_t, const double*, int32_t, double*)) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    auto a = data<double>(2 * n, 1.0);
    std::vector<double> y(n);
    for (auto _ : st) f(n, a.data(), 2, y.data()), benchmark::ClobberMemory();
    st.SetItemsProcessed(st.iterations() * n);
}

// The C library per element, through a pointer so the loop is not vectorised.
double (*volatile g_libm_d)(double);
template <double (*F)(double)> void libm_d(int32_t n, const double* a, double* r) {
    g_libm_d = F;
    double (*f)(double) = g_libm_d;
    for (int32_t i = 0; i < n; ++i) r[i] = f(a[i]);
}
double libm_floor(double x) { return std::floor(x); }
double libm_rint(double x) { return std::rint(x); }
double libm_nearbyint(double x) { return std::nearbyint(x); }
double libm_round(double x) { return std::round(x); }
double libm_trunc(double x) { return std::trunc(x); }
void libm_modf(int32_t n, const double* a, double* r1, double* r2) {
    double (*volatile f)(double, double*) = std::modf;
    for (int32_t i = 0; i < n; ++i) r2[i] = f(a[i], &r1[i]);
}

#define B(kind, T, name, fn)                                                                     \
    const bool reg_##name = (benchmark::RegisterBenchmark(#kind "/" #name,                           \
                                                          [](benchmark::State& st) { kind<T>(st, fn); }) \
                                 ->Arg(1000)                                                            \
                                 ->Arg(100000),                                                         \
                             true);
// Abs, Div, Inv (SSE2 peers)
B(unary, float, kex_sAbs, _kexsAbs) B(unary, float, loop_sAbs, ref_sAbs)
B(unary, double, kex_dAbs, _kexdAbs) B(unary, double, loop_dAbs, ref_dAbs)
B(binary, float, kex_sDiv_HA, _kexsDiv) B(binary, float, kex_sDiv_LA, _kexsDiv_21)
B(binary, float, kex_sDiv_EP, _kexsDiv_11) B(binary, float, loop_sDiv, ref_sDiv)
B(binary, double, kex_dDiv_HA, _kexdDiv) B(binary, double, kex_dDiv_LA, _kexdDiv_50)
B(binary, double, kex_dDiv_EP, _kexdDiv_26) B(binary, double, loop_dDiv, ref_dDiv)
B(unary, float, kex_sInv_HA, _kexsInv) B(unary, float, kex_sInv_LA, _kexsInv_21)
B(unary, float, kex_sInv_EP, _kexsInv_11) B(unary, float, loop_sInv, ref_sInv)
B(unary, double, kex_dInv_HA, _kexdInv) B(unary, double, kex_dInv_LA, _kexdInv_50)
B(unary, double, kex_dInv_EP, _kexdInv_26) B(unary, double, loop_dInv, ref_dInv)
// LinearFrac (SSE4.1 peers)
B(linfrac, float, kex_sLinearFrac, _kexsLinearFrac) B(linfrac, float, loop_sLinearFrac, ref_sLinearFrac)
B(linfrac, double, kex_dLinearFrac, _kexdLinearFrac) B(linfrac, double, loop_dLinearFrac, ref_dLinearFrac)
// Rounding (SSE4.1 peers, and the C library)
B(unary, double, kex_dFloor, _kexdFloor) B(unary, double, loop_dFloor, ref_dFloor)
B(unary, double, libm_dFloor, libm_d<libm_floor>)
B(unary, double, kex_dCeil, _kexdCeil) B(unary, double, loop_dCeil, ref_dCeil)
B(unary, double, kex_dTrunc, _kexdTrunc) B(unary, double, loop_dTrunc, ref_dTrunc)
B(unary, double, libm_dTrunc, libm_d<libm_trunc>)
B(unary, double, kex_dRint, _kexdRint) B(unary, double, loop_dRint, ref_dRint)
B(unary, double, libm_dRint, libm_d<libm_rint>)
B(unary, double, kex_dNearbyInt, _kexdNearbyInt) B(unary, double, loop_dNearbyInt, ref_dNearbyInt)
B(unary, double, libm_dNearbyInt, libm_d<libm_nearbyint>)
B(unary, double, kex_dRound, _kexdRound) B(unary, double, loop_dRound, ref_dRound)
B(unary, double, libm_dRound, libm_d<libm_round>)
B(unary, double, kex_dFrac, _kexdFrac) B(unary, double, loop_dFrac, ref_dFrac)
B(unary, float, kex_sFloor, _kexsFloor) B(unary, float, loop_sFloor, ref_sFloor)
B(unary, float, kex_sRound, _kexsRound) B(unary, float, loop_sRound, ref_sRound)
// Modf (SSE2 peers and the C library)
B(two, double, kex_dModf, _kexdModf) B(two, double, loop_dModf, ref_dModf) B(two, double, libm_dModf, libm_modf)
B(two, float, kex_sModf, _kexsModf) B(two, float, loop_sModf, ref_sModf)
#undef B
BENCHMARK_CAPTURE(packI, kex_dPackI, _kexdPackI)->Arg(1000)->Arg(100000);
BENCHMARK_CAPTURE(packI, loop_dPackI, ref_dPackI)->Arg(1000)->Arg(100000);

}  // namespace
