// Each flavour of a vector-math function against its outside peers on the
// same arrays, at the vector level the library runs in this process (the
// widest the machine has, capped by ORVU_KEXLEVEL, read as the library reads
// it). At the SSE level the peers are SLEEF's vector routine for the
// instruction-set level of the slot's kernel and the C library's scalar
// routine called per element; at the AVX2 and AVX-512 levels they are SLEEF's
// and glibc's libmvec routines of that vector width.
//
// Everything is found by name at start-up, so a row of the function table that
// is off (no entry points) simply registers nothing. Benchmark names are
//   Peers/<family>/<t><Fn>/<contender>/<n>
// with contender ours.<level>.<LA|HA|EP> (level sse, avx2 or avx512),
// sleef.<entry name>, libmvec.<entry name> or libm.<name>; our runs carry the
// name of the SLEEF routine of their width as their label. Three argument
// shapes are measured: unary (n, a, r),
// binary (n, a, b, r) and powx (n, a, scalar b, r), whose peers get the
// scalar as a constant second argument. Every run reports the counters cyc_per_elem and
// elem_per_s (see run()); perf_report.py turns the JSON output into
// docs/performance.md.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <emmintrin.h>
#include <x86intrin.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/erf.hpp>

#include "call_timer.h"
#include "cpu_features.h"
#include "orvu_kex.h"

#if defined(__x86_64__)
// ref_W2_peers.cc, ref_W3_peers.cc: array loops over a vector routine of 256
// or 512 bits; shape 0 unary, 1 binary, 2 powx.
template <class T, int shape> void peer_loop_w2(void* fn, int32_t n, const T* a, const T* b, T s, T* r);
template <class T, int shape> void peer_loop_w3(void* fn, int32_t n, const T* a, const T* b, T s, T* r);
#endif

namespace {

// ---- what is compared ---------------------------------------------------------

// Arguments are drawn from a mix of up to three pieces, each taking its share
// of the elements at random positions: uniform in [lo, hi], or 2^u with u
// uniform in [lo, hi] (Pow2; SignedPow2 gives either sign), with separate
// bounds for float and double. Every mix stays inside the fast path.
enum class Dist { Uniform, Pow2, SignedPow2 };
struct Piece {
    double share;
    Dist dist;
    double lo_s, hi_s, lo_d, hi_d;
};
using Mix = Piece[3];

// One line per function: name as in the function table, the C library's name
// of the double routine (float adds 'f'; a name from kLocalScalars instead
// means a routine of this file; libmvec's entries carry the same name), SLEEF's
// stem (the entry name is Sleef_<stem><f4|d2|f8|d4|f16|d8>_<ulp class><isa>;
// null: none), the argument mix,
// for binary rows the mix of the second argument and for powx rows the
// exponent passed to every contender.
struct PeerRow {
    const char* name;
    const char* libm;
    const char* sleef;
    Mix args;
    Mix args_b = {};
    double powx_b = 0;
    const char* range = "";  // appended to the function's name when a row is measured on several ranges
};
constexpr Piece kExpArgs = {1, Dist::Uniform, -80, 80, -700, 700};
constexpr Piece kLogArgs = {1, Dist::Pow2, -125, 127.9, -1021, 1023.9};  // every normal exponent
constexpr Piece kRootArgs = {1, Dist::SignedPow2, -125, 127.9, -1021, 1023.9};
constexpr Piece kHypotArgs = {1, Dist::SignedPow2, -60, 60, -500, 500};
constexpr Piece kTrigSmall = {1, Dist::Uniform, -3.14159265, 3.14159265, -3.14159265, 3.14159265};
constexpr Piece kTrigWide = {1, Dist::Uniform, -1e5, 1e5, -1e5, 1e5};
constexpr PeerRow kPeerRows[] = {
    {"Exp", "exp", "exp", {kExpArgs}},
    {"Expm1", "expm1", "expm1",
     {{0.75, Dist::Uniform, -80, 80, -700, 700}, {0.25, Dist::SignedPow2, -20, 0, -40, 0}}},
    {"Ln", "log", "log", {kLogArgs}},
    {"Log10", "log10", "log10", {kLogArgs}},
    {"Log1p", "log1p", "log1p",
     {{0.5, Dist::SignedPow2, -30, -1, -30, -1}, {0.25, Dist::Uniform, -0.999, 0, -0.999, 0}, {0.25, Dist::Pow2, 0, 60, 0, 60}}},
    {"Sqrt", "sqrt", "sqrt", {kLogArgs}},
    {"InvSqrt", "invsqrt", nullptr, {kLogArgs}},
    {"Cbrt", "cbrt", "cbrt", {kRootArgs}},
    {"InvCbrt", "invcbrt", nullptr, {kRootArgs}},
    {"Pow2o3", "pow2o3", nullptr, {kRootArgs}},
    {"Pow3o2", "pow3o2", nullptr, {{1, Dist::Pow2, -80, 80, -680, 680}}},
    // x^y with |y log2 x| below 100 (float) or 800 (double).
    {"Pow", "pow", "pow", {{1, Dist::Pow2, -5, 5, -20, 20}}, {{1, Dist::Uniform, -20, 20, -40, 40}}},
    {"Powx", "pow", "pow", {{1, Dist::Pow2, -40, 40, -300, 300}}, {}, 2.375},
    {"Hypot", "hypot", "hypot", {kHypotArgs}, {kHypotArgs}},
    {"Sinh", "sinh", "sinh", {{0.5, Dist::Uniform, -88, 88, -700, 700}, {0.5, Dist::SignedPow2, -20, 2, -40, 2}}},
    {"Cosh", "cosh", "cosh", {{0.5, Dist::Uniform, -88, 88, -700, 700}, {0.5, Dist::SignedPow2, -20, 2, -40, 2}}},
    {"Tanh", "tanh", "tanh", {{0.5, Dist::Uniform, -10, 10, -20, 20}, {0.5, Dist::SignedPow2, -20, 0, -40, 0}}},
    {"Asinh", "asinh", "asinh", {{1, Dist::SignedPow2, -30, 60, -60, 600}}},
    {"Acosh", "acosh", "acosh", {{0.5, Dist::Uniform, 1, 2, 1, 2}, {0.5, Dist::Pow2, 1, 60, 1, 600}}},
    {"Atanh", "atanh", "atanh", {{0.75, Dist::Uniform, -0.999, 0.999, -0.999, 0.999}, {0.25, Dist::SignedPow2, -30, -1, -60, -1}}},
    {"LGamma", "lgamma", "lgamma", {{0.75, Dist::Uniform, -20, 30, -20, 170}, {0.25, Dist::Pow2, -20, 100, -20, 1000}}},
    {"TGamma", "tgamma", "tgamma", {{1, Dist::Uniform, -30, 34, -160, 170}}},
    // [-pi, pi] and [-1e5, 1e5] (single and double lanes beyond 90112 take the scalar path)
    {"Sin", "sin", "sin", {kTrigSmall}, {}, 0, ".pi"},
    {"Sin", "sin", "sin", {kTrigWide}, {}, 0, ".1e5"},
    {"Cos", "cos", "cos", {kTrigSmall}, {}, 0, ".pi"},
    {"Cos", "cos", "cos", {kTrigWide}, {}, 0, ".1e5"},
    {"Tan", "tan", "tan", {kTrigSmall}, {}, 0, ".pi"},
    {"Tan", "tan", "tan", {kTrigWide}, {}, 0, ".1e5"},
    // inverse functions: the whole domain; Atan also every magnitude up to 2^+-40
    {"Asin", "asin", "asin", {{1, Dist::Uniform, -1, 1, -1, 1}}},
    {"Acos", "acos", "acos", {{1, Dist::Uniform, -1, 1, -1, 1}}},
    {"Atan", "atan", "atan", {{0.5, Dist::Uniform, -4, 4, -4, 4}, {0.5, Dist::SignedPow2, -20, 20, -40, 40}}},
    {"Atan2", "atan2", "atan2", {{1, Dist::Uniform, -10, 10, -10, 10}}, {{1, Dist::Uniform, -10, 10, -10, 10}}},
    // erf, erfc: both regions of the kernels (|x| <= 1/2 and the exponential form)
    {"Erf", "erf", "erf", {{0.75, Dist::Uniform, -5, 5, -6, 6}, {0.25, Dist::SignedPow2, -20, -1, -40, -1}}},
    {"Erfc", "erfc", "erfc", {{0.75, Dist::Uniform, -3, 10, -5, 26}, {0.25, Dist::SignedPow2, -20, -1, -40, -1}}},
    {"CdfNorm", "cdfnorm", nullptr, {{1, Dist::Uniform, -12, 6, -37, 8}}},
    {"ErfInv", "erfinv", nullptr, {{1, Dist::Uniform, -0.999999, 0.999999, -0.999999, 0.999999}}},
    // inverse complementary and normal quantile: the whole domain, and a quarter by exponent in the lower tail
    {"ErfcInv", "erfcinv", nullptr, {{0.75, Dist::Uniform, 1e-6, 1.999999, 1e-6, 1.999999}, {0.25, Dist::Pow2, -120, -2, -1000, -2}}},
    {"CdfNormInv", "cdfnorminv", nullptr, {{0.75, Dist::Uniform, 1e-6, 0.999999, 1e-6, 0.999999}, {0.25, Dist::Pow2, -120, -2, -1000, -2}}},
};

constexpr int32_t kSizes[] = {1000, 100000};

// The function table, every row whether on or off: family, name, type and the
// level and accuracy tag of the kernel in each slot.
struct Slot {
    const char* isa;
    const char* tag;
};
struct TableRow {
    const char* family;
    const char* type;
    const char* name;
    const char* shape;
    Slot la, ha, ep;
};
#define PEER_SLOT(isa, tag, cost) Slot{#isa, #tag}
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) \
    TableRow{#family, #t, #fn, #shape, PEER_SLOT la, PEER_SLOT ha, PEER_SLOT ep},
constexpr TableRow kTable[] = {
#include "orvu_kex_functions.def"
};
#undef KEX_FN
#undef PEER_SLOT

// ---- inputs -------------------------------------------------------------------

// The same seed for every contender, so all three see the same arrays (the
// second argument of a binary function has a seed of its own).
template <class T> std::vector<T> make_args(const Mix& mix, int32_t n, uint64_t seed = 0x5eed) {
    constexpr bool dbl = sizeof(T) == 8;
    std::mt19937_64 gen(seed);
    auto uni = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen); };
    std::vector<T> v(n);
    for (auto& x : v) {
        double u = uni(0, 1);
        const Piece* p = &mix[0];
        while (u >= p->share && p + 1 < std::end(mix) && p[1].share > 0) u -= (p++)->share;
        const double lo = dbl ? p->lo_d : p->lo_s, hi = dbl ? p->hi_d : p->hi_s;
        double y = p->dist == Dist::Uniform ? uni(lo, hi) : std::exp2(uni(lo, hi));
        if (p->dist == Dist::SignedPow2 && (gen() & 1)) y = -y;
        x = static_cast<T>(y);
    }
    return v;
}

// ---- contenders -------------------------------------------------------------

enum class Shape { Unary, Binary, Powx };  // the shape numbers of peer_loop_w2/w3

// The inputs of one call: a, and b (binary) or the scalar s (powx).
template <class T> struct Inputs {
    const T* a;
    const T* b;
    T s;
};
template <class T> using Loop = void (*)(void*, int32_t, const Inputs<T>&, T*);

template <class T> struct Lanes;
template <> struct Lanes<float> {
    using V = __m128;
    static constexpr int n = 4;
    static V load(const float* p) { return _mm_loadu_ps(p); }
    static V splat(float x) { return _mm_set1_ps(x); }
    static void store(float* p, V v) { _mm_storeu_ps(p, v); }
};
template <> struct Lanes<double> {
    using V = __m128d;
    static constexpr int n = 2;
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static V splat(double x) { return _mm_set1_pd(x); }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
};

// A SLEEF routine over the arrays in vector steps; a partial last vector goes
// through a padded copy. The powx shape passes the scalar as a splat vector.
template <class T, Shape S> void sleef_loop(void* fn, int32_t n, const Inputs<T>& in, T* r) {
    using L = Lanes<T>;
    using V = typename L::V;
    const V s = L::splat(in.s);
    auto call = [=](const T* a, const T* b) {
        if constexpr (S == Shape::Unary) return reinterpret_cast<V (*)(V)>(fn)(L::load(a));
        else if constexpr (S == Shape::Binary) return reinterpret_cast<V (*)(V, V)>(fn)(L::load(a), L::load(b));
        else return reinterpret_cast<V (*)(V, V)>(fn)(L::load(a), s);
    };
    int32_t i = 0;
    for (; i + L::n <= n; i += L::n) L::store(r + i, call(in.a + i, S == Shape::Binary ? in.b + i : nullptr));
    if (i < n) {
        T ba[L::n], bb[L::n];
        for (int k = 0; k < L::n; ++k) {
            ba[k] = i + k < n ? in.a[i + k] : T(1);
            bb[k] = S == Shape::Binary && i + k < n ? in.b[i + k] : T(1);
        }
        L::store(ba, call(ba, bb));
        for (int k = 0; i + k < n; ++k) r[i + k] = ba[k];
    }
}

// The C library's routine per element. The call goes through a pointer found
// at run time, so the compiler cannot turn the loop into vector library calls.
template <class T, Shape S> void libm_loop(void* fn, int32_t n, const Inputs<T>& in, T* r) {
    if constexpr (S == Shape::Unary) {
        auto f = reinterpret_cast<T (*)(T)>(fn);
        for (int32_t i = 0; i < n; ++i) r[i] = f(in.a[i]);
    } else {
        auto f = reinterpret_cast<T (*)(T, T)>(fn);
        for (int32_t i = 0; i < n; ++i) r[i] = f(in.a[i], S == Shape::Binary ? in.b[i] : in.s);
    }
}

#if defined(__x86_64__)
template <class T, Shape S, int W> void wide_loop(void* fn, int32_t n, const Inputs<T>& in, T* r) {
    if constexpr (W == 2) peer_loop_w2<T, static_cast<int>(S)>(fn, n, in.a, in.b, in.s, r);
    else peer_loop_w3<T, static_cast<int>(S)>(fn, n, in.a, in.b, in.s, r);
}
#endif

template <class T, Shape S> void ours_loop(void* fn, int32_t n, const Inputs<T>& in, T* r) {
    if constexpr (S == Shape::Unary) reinterpret_cast<void (*)(int32_t, const T*, T*)>(fn)(n, in.a, r);
    else if constexpr (S == Shape::Binary)
        reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(fn)(n, in.a, in.b, r);
    else reinterpret_cast<void (*)(int32_t, const T*, T, T*)>(fn)(n, in.a, in.s, r);
}

// Scalar peers the C library lacks, written the way a caller would write them
// with it (noinline, so they are called per element like the library's).
template <class T> [[gnu::noinline]] T inv_sqrt(T x) { return T(1) / std::sqrt(x); }
template <class T> [[gnu::noinline]] T inv_cbrt(T x) { return T(1) / std::cbrt(x); }
template <class T> [[gnu::noinline]] T pow2o3(T x) { const T c = std::cbrt(x); return c * c; }
template <class T> [[gnu::noinline]] T pow3o2(T x) { return x * std::sqrt(x); }
template <class T> [[gnu::noinline]] T cdfnorm(T x) {  // Boost.Math's normal distribution
    return boost::math::cdf(boost::math::normal_distribution<T>(), x);
}
template <class T> [[gnu::noinline]] T erfinv(T x) { return boost::math::erf_inv(x); }
template <class T> [[gnu::noinline]] T erfcinv(T x) { return boost::math::erfc_inv(x); }
template <class T> [[gnu::noinline]] T cdfnorminv(T p) {  // Boost.Math's normal quantile, itself through erfc_inv
    return boost::math::quantile(boost::math::normal_distribution<T>(), p);
}
struct LocalScalar {
    const char* name;
    void* d;
    void* s;
};
const LocalScalar kLocalScalars[] = {
    {"invsqrt", reinterpret_cast<void*>(&inv_sqrt<double>), reinterpret_cast<void*>(&inv_sqrt<float>)},
    {"invcbrt", reinterpret_cast<void*>(&inv_cbrt<double>), reinterpret_cast<void*>(&inv_cbrt<float>)},
    {"pow2o3", reinterpret_cast<void*>(&pow2o3<double>), reinterpret_cast<void*>(&pow2o3<float>)},
    {"pow3o2", reinterpret_cast<void*>(&pow3o2<double>), reinterpret_cast<void*>(&pow3o2<float>)},
    {"cdfnorm", reinterpret_cast<void*>(&cdfnorm<double>), reinterpret_cast<void*>(&cdfnorm<float>)},
    {"erfinv", reinterpret_cast<void*>(&erfinv<double>), reinterpret_cast<void*>(&erfinv<float>)},
    {"erfcinv", reinterpret_cast<void*>(&erfcinv<double>), reinterpret_cast<void*>(&erfcinv<float>)},
    {"cdfnorminv", reinterpret_cast<void*>(&cdfnorminv<double>), reinterpret_cast<void*>(&cdfnorminv<float>)},
};

template <class T> void run(benchmark::State& st, Loop<T> loop, void* fn, const PeerRow& p) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    const std::vector<T> a = make_args<T>(p.args, n);
    const std::vector<T> b = make_args<T>(p.args_b, p.args_b[0].share > 0 ? n : 0, 0xb5eed);
    const Inputs<T> in{a.data(), b.data(), static_cast<T>(p.powx_b)};
    std::vector<T> r(n);
    time_calls(st, n, [&] { loop(fn, n, in, r.data()); });
}

// ---- levels -------------------------------------------------------------------

// What a vector level names its peers by: SLEEF's vector suffixes and
// instruction set (the SSE level picks sse2 or sse4 by the slot's kernel),
// libmvec's vector-ABI prefixes (_ZGV<isa>N<lanes>, then v or vv).
struct Level {
    const char* name;
    const char* sleef_f;
    const char* sleef_d;
    const char* sleef_isa;
    const char* mvec_f;
    const char* mvec_d;
};
constexpr Level kLevels[] = {
    {"sse", "f4_", "d2_", nullptr, nullptr, nullptr},
    {"avx2", "f8_", "d4_", "avx2", "_ZGVdN8", "_ZGVdN4"},
    {"avx512", "f16_", "d8_", "avx512f", "_ZGVeN16", "_ZGVeN8"},
};

// The level the entry points run: the processor's widest, capped by
// ORVU_KEXLEVEL (sse, avx2, avx512, any case) as the library does at load.
int run_level() {
    int level = 0;
    switch (orvu::cpu::vector_support()) {
        case orvu::cpu::Vectors::avx512: level = 2; break;
        case orvu::cpu::Vectors::avx2: level = 1; break;
        default: break;
    }
    std::string cap = std::getenv("ORVU_KEXLEVEL") ? std::getenv("ORVU_KEXLEVEL") : "";
    for (char& c : cap) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (cap == "sse") level = 0;
    if (cap == "avx2") level = std::min(level, 1);
    return level;
}

template <class T, Shape S> Loop<T> vector_loop(int level) {
#if defined(__x86_64__)
    if (level == 1) return wide_loop<T, S, 2>;
    if (level == 2) return wide_loop<T, S, 3>;
#endif
    return level == 0 ? sleef_loop<T, S> : nullptr;
}

// ---- registration -------------------------------------------------------------

void* sleef_library() {
#ifdef ORVU_SLEEF_LIBRARY
    static void* h = dlopen(ORVU_SLEEF_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return h;
#else
    return nullptr;
#endif
}

// SLEEF's routine for a kernel: at the SSE level the SSE2 build for level A2
// (and below), the SSE4.1 build for A3 to A5, at the wide levels the build of
// that width; the 1-ulp class for an HA kernel, the 3.5-ulp class for LA and
// EP where SLEEF has one (else the closest: erfc has only the 1.5-ulp class);
// routines that are exact have none.
std::string find_sleef(const char* stem, char type, const Slot& slot, const Level& lv, void** fn) {
    void* lib = sleef_library();
    if (!lib || !stem) return {};
    const bool ha = std::strcmp(slot.tag, "HA") == 0;
    const std::string isa = lv.sleef_isa ? lv.sleef_isa : slot.isa[1] <= '2' ? "sse2" : "sse4";
    for (const char* ulp : {"u35", "u10", "u15", "u05", ""}) {
        if (ha && std::strcmp(ulp, "u35") == 0) continue;
        std::string name = std::string("Sleef_") + stem + (type == 's' ? lv.sleef_f : lv.sleef_d) + ulp + isa;
        if ((*fn = dlsym(lib, name.c_str()))) return name;
    }
    return {};
}

template <class T>
void add(const std::string& name, Loop<T> loop, void* fn, const PeerRow& p, const std::string& label = {}) {
    auto* b = benchmark::RegisterBenchmark(name.c_str(), [=, &p](benchmark::State& st) {
        // Only our kernels set the status: a special element means the arguments
        // left the fast path, and the run would not measure what it claims to.
        _kexClearErrStatus();
        run<T>(st, loop, fn, p);
        if (const int32_t status = _kexGetErrStatus())
            st.SkipWithError(("arguments reached the special-value path, status " + std::to_string(status)).c_str());
        if (!label.empty()) st.SetLabel(label);
    });
    for (int32_t n : kSizes) b->Arg(n);
    b->MinTime(0.05)->Repetitions(3);
}

// glibc's libmvec, opened by its soname; null where it is missing.
void* libmvec_library() {
    static void* h = dlopen("libmvec.so.1", RTLD_NOW | RTLD_LOCAL);
    return h;
}

template <class T, Shape S> void register_row(const PeerRow& p, const TableRow& t, int level) {
    const char type = t.type[0];
    const Level& lv = kLevels[level];
    const Loop<T> vloop = vector_loop<T, S>(level);
    const std::string base = std::string("Peers/") + t.family + "/" + t.type + t.name + p.range + "/";
    struct Flavour {
        const char* name;
        const char* suffix;
        const Slot& slot;
    };
    const Flavour flavours[] = {{"LA", type == 's' ? "_21" : "_50", t.la},
                                {"HA", "_HA", t.ha},
                                {"EP", type == 's' ? "_11" : "_26", t.ep}};
    std::vector<std::string> sleef_done;
    bool any = false;
    for (const Flavour& f : flavours) {
        void* ours = dlsym(RTLD_DEFAULT, (std::string("_kex") + t.type + t.name + f.suffix).c_str());
        if (!ours) continue;
        any = true;
        void* sleef = nullptr;
        const std::string sleef_name = vloop ? find_sleef(p.sleef, type, f.slot, lv, &sleef) : "";
        add<T>(base + "ours." + lv.name + "." + f.name, ours_loop<T, S>, ours, p, sleef_name);
        bool seen = sleef_name.empty();
        for (const auto& s : sleef_done) seen = seen || s == sleef_name;
        if (!seen) {
            sleef_done.push_back(sleef_name);
            add<T>(base + "sleef." + sleef_name, vloop, sleef, p);
        }
    }
    if (level > 0) {  // the wide levels: libmvec of the same width instead of the scalar loop
        const std::string mvec = std::string(type == 's' ? lv.mvec_f : lv.mvec_d) + (S == Shape::Unary ? "v_" : "vv_") +
                                 p.libm + (type == 's' ? "f" : "");
        void* fn = any && vloop && libmvec_library() ? dlsym(libmvec_library(), mvec.c_str()) : nullptr;
        if (fn) add<T>(base + "libmvec." + mvec, vloop, fn, p);
        return;
    }
    const std::string libm_name = std::string(p.libm) + (type == 's' ? "f" : "");
    void* libm = any ? dlsym(RTLD_DEFAULT, libm_name.c_str()) : nullptr;
    for (const LocalScalar& l : kLocalScalars)
        if (any && std::strcmp(l.name, p.libm) == 0) libm = type == 's' ? l.s : l.d;
    if (libm) add<T>(base + "libm." + libm_name, libm_loop<T, S>, libm, p);
}

template <class T> void register_shape(const PeerRow& p, const TableRow& t, int level) {
    if (std::strcmp(t.shape, "unary") == 0) register_row<T, Shape::Unary>(p, t, level);
    if (std::strcmp(t.shape, "binary") == 0) register_row<T, Shape::Binary>(p, t, level);
    if (std::strcmp(t.shape, "powx") == 0) register_row<T, Shape::Powx>(p, t, level);
}

const bool registered = [] {
    const int level = run_level();
    for (const PeerRow& p : kPeerRows)
        for (const TableRow& t : kTable) {
            if (std::strcmp(p.name, t.name) != 0) continue;
            if (t.type[0] == 's') register_shape<float>(p, t, level);
            if (t.type[0] == 'd') register_shape<double>(p, t, level);
        }
    return true;
}();

}  // namespace
