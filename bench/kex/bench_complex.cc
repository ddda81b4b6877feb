// The complex rows against their peers on the same arrays: the C library's
// cabs, carg, cexp(i a) (for CIS), cexp, clog and csqrt (cexpf, ... for
// complex single) called per element, and plain SSE4.1 loops of the Mul,
// MulByConj, Div and Abs formulas (ref_A5_complex.cc). Names:
// Peers/<family>/<t><Fn>/<contender>/<n>, with
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

// cexp / clog / csqrt (cexpf, ... for complex single) by K = 0, 1, 2.
template <class T, int K> void libm_cx(int32_t n, const Cx<T>* a, Cx<T>* r) {
    for (int32_t i = 0; i < n; ++i) {
        const std::complex<T> z(a[i].re, a[i].im);
        const std::complex<T> w = K == 0 ? std::exp(z) : K == 1 ? std::log(z) : std::sqrt(z);
        r[i] = {w.real(), w.imag()};
    }
}

// The C library's complex functions of the generic kernels per element:
// LIBM_CX(sin) gives the csinf and csin loops, LIBM_CX2(pow) cpowf and cpow.
extern "C" __complex__ float clog10f(__complex__ float);
extern "C" __complex__ double clog10(__complex__ double);
#define LIBM_BODY(T, call)                                                      \
    for (int32_t i = 0; i < n; ++i) {                                           \
        const __complex__ T z = std::complex<T>(a[i].re, a[i].im).__rep();      \
        const __complex__ T y = call;                                           \
        r[i] = {__real__ y, __imag__ y};                                        \
    }
#define LIBM_LOOP(T, call) \
    reinterpret_cast<void*>(+[](int32_t n, const Cx<T>* a, Cx<T>* r) { LIBM_BODY(T, call) })
#define LIBM_LOOP2(T, call)                                                                            \
    reinterpret_cast<void*>(+[](int32_t n, const Cx<T>* a, const Cx<T>* b, Cx<T>* r) {                 \
        LIBM_BODY(T, (call)(std::complex<T>(b[i].re, b[i].im).__rep()))                                \
    })
#define LIBM_CX(fn) LIBM_LOOP(float, __builtin_c##fn##f(z)), LIBM_LOOP(double, __builtin_c##fn(z)), "libm.c" #fn, "ctransc"
#define LIBM_CX2(fn)                                                                                   \
    LIBM_LOOP2(float, [z](__complex__ float w) { return __builtin_c##fn##f(z, w); }),                  \
        LIBM_LOOP2(double, [z](__complex__ double w) { return __builtin_c##fn(z, w); }), "libm.c" #fn, "ctransc"

// Powx: ours takes the one exponent b[0]; its peer loop reads b, all b[0].
enum class Shape { binary, unary, c2r, r2c, powx, powx_peer };

template <class T> void bench(benchmark::State& st, Shape shape, void* fn) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    std::mt19937 g(3);
    std::uniform_real_distribution<T> u(-10, 10), t(-3.14159265f, 3.14159265f);
    std::vector<Cx<T>> a(n), b(n), r(n);
    std::vector<T> x(n), y(n);
    for (int32_t i = 0; i < n; ++i) a[i] = {u(g), u(g)}, b[i] = {u(g), u(g)}, x[i] = t(g);
    if (shape == Shape::powx || shape == Shape::powx_peer) std::fill(b.begin(), b.end(), b[0]);
    time_calls(st, n, [&] {
        switch (shape) {
        case Shape::binary: reinterpret_cast<Bin<T>>(fn)(n, a.data(), b.data(), r.data()); break;
        case Shape::unary: reinterpret_cast<Un<T>>(fn)(n, a.data(), r.data()); break;
        case Shape::c2r: reinterpret_cast<C2R<T>>(fn)(n, a.data(), y.data()); break;
        case Shape::r2c: reinterpret_cast<R2C<T>>(fn)(n, x.data(), r.data()); break;
        case Shape::powx: reinterpret_cast<void (*)(int32_t, const Cx<T>*, Cx<T>, Cx<T>*)>(fn)(n, a.data(), b[0], r.data()); break;
        case Shape::powx_peer: reinterpret_cast<Bin<T>>(fn)(n, a.data(), b.data(), r.data()); break;
        }
    });
}

struct Row {
    const char* name;
    Shape shape;
    void *peer_c, *peer_z;
    const char* peer_name;
    const char* family = "carith";
};

template <class T> void add(const std::string& name, Shape shape, void* fn) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) { bench<T>(st, shape, fn); })
        ->Arg(1000)->Arg(100000)->MinTime(0.05)->Repetitions(3);
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
        {"Exp", Shape::unary, (void*)libm_cx<float, 0>, (void*)libm_cx<double, 0>, "libm.cexp", "ctransc"},
        {"Ln", Shape::unary, (void*)libm_cx<float, 1>, (void*)libm_cx<double, 1>, "libm.clog", "ctransc"},
        {"Sqrt", Shape::unary, (void*)libm_cx<float, 2>, (void*)libm_cx<double, 2>, "libm.csqrt", "ctransc"},
        {"Sin", Shape::unary, LIBM_CX(sin)},
        {"Cos", Shape::unary, LIBM_CX(cos)},
        {"Tan", Shape::unary, LIBM_CX(tan)},
        {"Sinh", Shape::unary, LIBM_CX(sinh)},
        {"Cosh", Shape::unary, LIBM_CX(cosh)},
        {"Tanh", Shape::unary, LIBM_CX(tanh)},
        {"Asin", Shape::unary, LIBM_CX(asin)},
        {"Acos", Shape::unary, LIBM_CX(acos)},
        {"Atan", Shape::unary, LIBM_CX(atan)},
        {"Asinh", Shape::unary, LIBM_CX(asinh)},
        {"Acosh", Shape::unary, LIBM_CX(acosh)},
        {"Atanh", Shape::unary, LIBM_CX(atanh)},
        {"Log10", Shape::unary, LIBM_LOOP(float, clog10f(z)), LIBM_LOOP(double, clog10(z)), "libm.clog10", "ctransc"},
        {"Pow", Shape::binary, LIBM_CX2(pow)},
        {"Powx", Shape::powx, LIBM_CX2(pow)},
    };
    for (const Row& row : rows)
        for (char t : {'c', 'z'}) {
            const std::string base = std::string("Peers/") + row.family + "/" + t + row.name + "/";
            const auto reg = [&](const std::string& name, void* fn) {
                if (t == 'c') add<float>(base + name, row.shape, fn);
                else add<double>(base + name, row.shape, fn);
            };
            if (row.peer_name) {
                void* peer = t == 'c' ? row.peer_c : row.peer_z;
                if (row.shape == Shape::powx) t == 'c' ? add<float>(base + row.peer_name, Shape::powx_peer, peer)
                                                       : add<double>(base + row.peer_name, Shape::powx_peer, peer);
                else reg(row.peer_name, peer);
            }
            if (row.peer_name && std::string(row.peer_name) == "libm.cabs") continue;  // ours once per function
            const char* suffix[3][2] = {{"LA", t == 'c' ? "_21" : "_50"}, {"HA", "_HA"}, {"EP", t == 'c' ? "_11" : "_26"}};
            for (auto& s : suffix)
                if (void* fn = dlsym(RTLD_DEFAULT, (std::string("_kex") + t + row.name + s[1]).c_str()))
                    reg(std::string("ours.") + s[0], fn);
        }
    return true;
}();

}  // namespace
