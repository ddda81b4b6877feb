// The complex arithmetic rows against their peers on the same arrays:
// the C library's cabs, carg and cexp(i a) (for CIS) called per element, and
// plain SSE4.1 loops of the Mul, MulByConj, Div and Abs formulas
// (ref_A5_complex.cc). Names: Peers/carith/<t><Fn>/<contender>/<n>, with
// contender ours.LA / ours.HA / ours.EP, libm.<name> or loop.plain; the
// counters cyc_per_elem (median call) and elem_per_s as in bench_peers.cc.
// Components are uniform in [-10, 10], CIS arguments in [-pi, pi].
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <x86intrin.h>

#include <algorithm>
#include <chrono>

#include <complex>
#include <random>
#include <string>
#include <vector>

#include "call_timer.h"
#include "orvu_kex.h"

#define REF_DECL(T, C, s)                                           \
    void ref_##s##Mul(int32_t, const C*, const C*, C*);             \
    void ref_##s##MulByConj(int32_t, const C*, const C*, C*);       \
    void ref_##s##Div(int32_t, const C*, const C*, C*);             \
    void ref_##s##Abs(int32_t, const C*, T*);
REF_DECL(float, OrvuComplex8, c)
REF_DECL(double, OrvuComplex16, z)

namespace {

template <class T> using Cx = std::conditional_t<sizeof(T) == 4, OrvuComplex8, OrvuComplex16>;
template <class T> using Bin = void (*)(int32_t, const Cx<T>*, const Cx<T>*, Cx<T>*);
template <class T> using C2R = void (*)(int32_t, const Cx<T>*, T*);
template <class T> using R2C = void (*)(int32_t, const T*, Cx<T>*);
template <class T> using Un = void (*)(int32_t, const Cx<T>*, Cx<T>*);

// Per-element C library peers (libstdc++ forwards std::abs, std::arg and
// std::exp of complex values to the C library's cabs, carg and cexp).
template <class T> void libm_abs(int32_t n, const Cx<T>* a, T* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = std::abs(std::complex<T>(a[i].re, a[i].im));
}
template <class T> void libm_arg(int32_t n, const Cx<T>* a, T* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = std::arg(std::complex<T>(a[i].re, a[i].im));
}
template <class T> void libm_cis(int32_t n, const T* a, Cx<T>* r) {
    for (int32_t i = 0; i < n; ++i) {
        const std::complex<T> e = std::exp(std::complex<T>(0, a[i]));
        r[i] = {e.real(), e.imag()};
    }
}

enum class Shape { binary, unary, c2r, r2c };

template <class T> void bench(benchmark::State& st, Shape shape, void* fn) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    std::mt19937 g(3);
    std::uniform_real_distribution<T> u(-10, 10), t(-3.14159265f, 3.14159265f);
    std::vector<Cx<T>> a(n), b(n), r(n);
    std::vector<T> x(n), y(n);
    for (int32_t i = 0; i < n; ++i) a[i] = {u(g), u(g)}, b[i] = {u(g), u(g)}, x[i] = t(g);
    time_calls(st, n, [&] {
        switch (shape) {
        case Shape::binary: reinterpret_cast<Bin<T>>(fn)(n, a.data(), b.data(), r.data()); break;
        case Shape::unary: reinterpret_cast<Un<T>>(fn)(n, a.data(), r.data()); break;
        case Shape::c2r: reinterpret_cast<C2R<T>>(fn)(n, a.data(), y.data()); break;
        case Shape::r2c: reinterpret_cast<R2C<T>>(fn)(n, x.data(), r.data()); break;
        }
    });
}

struct Row {
    const char* name;
    Shape shape;
    void *peer_c, *peer_z;
    const char* peer_name;
};

template <class T> void add(const std::string& name, Shape shape, void* fn) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) { bench<T>(st, shape, fn); })
        ->Arg(1000)->Arg(100000)->MinTime(0.1)->Repetitions(5);
}

const bool registered = [] {
    const Row rows[] = {
        {"Add", Shape::binary, nullptr, nullptr, nullptr},
        {"Sub", Shape::binary, nullptr, nullptr, nullptr},
        {"Conj", Shape::unary, nullptr, nullptr, nullptr},
        {"Mul", Shape::binary, (void*)ref_cMul, (void*)ref_zMul, "loop.plain"},
        {"MulByConj", Shape::binary, (void*)ref_cMulByConj, (void*)ref_zMulByConj, "loop.plain"},
        {"Div", Shape::binary, (void*)ref_cDiv, (void*)ref_zDiv, "loop.plain"},
        {"Abs", Shape::c2r, (void*)ref_cAbs, (void*)ref_zAbs, "loop.plain"},
        {"Abs", Shape::c2r, (void*)libm_abs<float>, (void*)libm_abs<double>, "libm.cabs"},
        {"Arg", Shape::c2r, (void*)libm_arg<float>, (void*)libm_arg<double>, "libm.carg"},
        {"CIS", Shape::r2c, (void*)libm_cis<float>, (void*)libm_cis<double>, "libm.cexp"},
    };
    for (const Row& row : rows)
        for (char t : {'c', 'z'}) {
            const std::string base = std::string("Peers/carith/") + t + row.name + "/";
            const auto reg = [&](const std::string& name, void* fn) {
                if (t == 'c') add<float>(base + name, row.shape, fn);
                else add<double>(base + name, row.shape, fn);
            };
            if (row.peer_name) reg(row.peer_name, t == 'c' ? row.peer_c : row.peer_z);
            if (row.peer_name && std::string(row.peer_name) == "libm.cabs") continue;  // ours once per function
            const char* suffix[3][2] = {{"LA", t == 'c' ? "_21" : "_50"}, {"HA", "_HA"}, {"EP", t == 'c' ? "_11" : "_26"}};
            for (auto& s : suffix)
                if (void* fn = dlsym(RTLD_DEFAULT, (std::string("_kex") + t + row.name + s[1]).c_str()))
                    reg(std::string("ours.") + s[0], fn);
        }
    return true;
}();

}  // namespace
