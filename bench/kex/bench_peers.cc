// Each flavour of a vector-math function against its two outside peers on the
// same arrays: SLEEF's vector routine for the instruction-set level of the
// slot's kernel, and the C library's scalar routine called per element.
//
// Everything is found by name at start-up, so a row of the function table that
// is off (no entry points) simply registers nothing. Benchmark names are
//   Peers/<family>/<t><Fn>/<contender>/<n>
// with contender ours.LA / ours.HA / ours.EP, sleef.<entry name> or
// libm.<name>; our runs carry the name of the SLEEF routine they are compared
// with as their label. Every run reports the counters cyc_per_elem and
// elem_per_s (see run()); perf_report.py turns the JSON output into
// docs/performance.md.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <emmintrin.h>
#include <x86intrin.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "orvu_kex.h"

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
// of the double routine (float adds 'f'), SLEEF's stem (the entry name is
// Sleef_<stem><f4|d2>_<ulp class><sse2|sse4>) and the argument mix.
struct PeerRow {
    const char* name;
    const char* libm;
    const char* sleef;
    Mix args;
};
constexpr Piece kExpArgs = {1, Dist::Uniform, -80, 80, -700, 700};
constexpr Piece kLogArgs = {1, Dist::Pow2, -125, 127.9, -1021, 1023.9};  // every normal exponent
constexpr PeerRow kPeerRows[] = {
    {"Exp", "exp", "exp", {kExpArgs}},
    {"Expm1", "expm1", "expm1",
     {{0.75, Dist::Uniform, -80, 80, -700, 700}, {0.25, Dist::SignedPow2, -20, 0, -40, 0}}},
    {"Ln", "log", "log", {kLogArgs}},
    {"Log10", "log10", "log10", {kLogArgs}},
    {"Log1p", "log1p", "log1p",
     {{0.5, Dist::SignedPow2, -30, -1, -30, -1}, {0.25, Dist::Uniform, -0.999, 0, -0.999, 0}, {0.25, Dist::Pow2, 0, 60, 0, 60}}},
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
    Slot la, ha, ep;
};
#define PEER_SLOT(isa, tag, cost) Slot{#isa, #tag}
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) TableRow{#family, #t, #fn, PEER_SLOT la, PEER_SLOT ha, PEER_SLOT ep},
constexpr TableRow kTable[] = {
#include "orvu_kex_functions.def"
};
#undef KEX_FN
#undef PEER_SLOT

// ---- inputs -------------------------------------------------------------------

// The same seed for every contender, so all three see the same arrays.
template <class T> std::vector<T> make_args(const Mix& mix, int32_t n) {
    constexpr bool dbl = sizeof(T) == 8;
    std::mt19937_64 gen(0x5eed);
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

template <class T> using Unary = void (*)(int32_t, const T*, T*);
template <class T> struct Lanes;
template <> struct Lanes<float> {
    using V = __m128;
    static constexpr int n = 4;
    static V load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, V v) { _mm_storeu_ps(p, v); }
};
template <> struct Lanes<double> {
    using V = __m128d;
    static constexpr int n = 2;
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
};

// A SLEEF routine over the arrays in vector steps; a partial last vector goes
// through a padded copy.
template <class T> void sleef_loop(void* fn, int32_t n, const T* a, T* r) {
    using L = Lanes<T>;
    auto f = reinterpret_cast<typename L::V (*)(typename L::V)>(fn);
    int32_t i = 0;
    for (; i + L::n <= n; i += L::n) L::store(r + i, f(L::load(a + i)));
    if (i < n) {
        T buf[L::n];
        for (int k = 0; k < L::n; ++k) buf[k] = i + k < n ? a[i + k] : T(1);
        L::store(buf, f(L::load(buf)));
        for (int k = 0; i + k < n; ++k) r[i + k] = buf[k];
    }
}

// The C library's routine per element. The call goes through a pointer found
// at run time, so the compiler cannot turn the loop into vector library calls.
template <class T> void libm_loop(void* fn, int32_t n, const T* a, T* r) {
    auto f = reinterpret_cast<T (*)(T)>(fn);
    for (int32_t i = 0; i < n; ++i) r[i] = f(a[i]);
}

template <class T> void ours_loop(void* fn, int32_t n, const T* a, T* r) {
    reinterpret_cast<Unary<T>>(fn)(n, a, r);
}

// Time-stamp-counter ticks are read around every call and the median call
// gives cyc_per_elem, so calls during which the thread lost the processor to
// other work do not count. The counter's rate, from the ticks and the wall
// clock over the whole loop, turns the median into elements per second.
template <class T>
void run(benchmark::State& st, void (*loop)(void*, int32_t, const T*, T*), void* fn, const Mix& args) {
    const int32_t n = static_cast<int32_t>(st.range(0));
    const std::vector<T> a = make_args<T>(args, n);
    std::vector<T> r(n);
    std::vector<uint64_t> calls;
    calls.reserve(1 << 16);
    const auto w0 = std::chrono::steady_clock::now();
    const uint64_t t0 = __rdtsc();
    for (auto _ : st) {
        const uint64_t c0 = __rdtsc();
        loop(fn, n, a.data(), r.data());
        benchmark::ClobberMemory();
        calls.push_back(__rdtsc() - c0);
    }
    const double ticks = static_cast<double>(__rdtsc() - t0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    std::nth_element(calls.begin(), calls.begin() + calls.size() / 2, calls.end());
    const double cyc = static_cast<double>(calls[calls.size() / 2]) / n;
    st.SetItemsProcessed(st.iterations() * n);
    st.counters["cyc_per_elem"] = cyc;
    st.counters["elem_per_s"] = ticks / seconds / cyc;
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

// SLEEF's routine for a kernel: the SSE2 build for level A2 (and below), the
// SSE4.1 build for A3 to A5; the 1-ulp class for an HA kernel, the 3.5-ulp
// class for LA and EP where SLEEF has one; routines that are exact have none.
std::string find_sleef(const char* stem, char type, const Slot& slot, void** fn) {
    void* lib = sleef_library();
    if (!lib) return {};
    const bool ha = std::strcmp(slot.tag, "HA") == 0;
    const std::string level = slot.isa[1] <= '2' ? "sse2" : "sse4";
    for (const char* ulp : {"u35", "u10", "u05", ""}) {
        if (ha && std::strcmp(ulp, "u35") == 0) continue;
        std::string name = std::string("Sleef_") + stem + (type == 's' ? "f4_" : "d2_") + ulp + level;
        if ((*fn = dlsym(lib, name.c_str()))) return name;
    }
    return {};
}

template <class T>
void add(const std::string& name, void (*loop)(void*, int32_t, const T*, T*), void* fn, const Mix& args,
         const std::string& label = {}) {
    auto* b = benchmark::RegisterBenchmark(name.c_str(), [=, &args](benchmark::State& st) {
        // Only our kernels set the status: a special element means the arguments
        // left the fast path, and the run would not measure what it claims to.
        _kexClearErrStatus();
        run<T>(st, loop, fn, args);
        if (const int32_t status = _kexGetErrStatus())
            st.SkipWithError(("arguments reached the special-value path, status " + std::to_string(status)).c_str());
        if (!label.empty()) st.SetLabel(label);
    });
    for (int32_t n : kSizes) b->Arg(n);
    b->MinTime(0.1)->Repetitions(5);
}

template <class T> void register_row(const PeerRow& p, const TableRow& t) {
    const char type = t.type[0];
    const std::string base = std::string("Peers/") + t.family + "/" + t.type + t.name + "/";
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
        const std::string sleef_name = find_sleef(p.sleef, type, f.slot, &sleef);
        add<T>(base + "ours." + f.name, ours_loop<T>, ours, p.args, sleef_name);
        bool seen = sleef_name.empty();
        for (const auto& s : sleef_done) seen = seen || s == sleef_name;
        if (!seen) {
            sleef_done.push_back(sleef_name);
            add<T>(base + "sleef." + sleef_name, sleef_loop<T>, sleef, p.args);
        }
    }
    const std::string libm_name = std::string(p.libm) + (type == 's' ? "f" : "");
    if (void* libm = any ? dlsym(RTLD_DEFAULT, libm_name.c_str()) : nullptr)
        add<T>(base + "libm." + libm_name, libm_loop<T>, libm, p.args);
}

const bool registered = [] {
    for (const PeerRow& p : kPeerRows)
        for (const TableRow& t : kTable) {
            if (std::strcmp(p.name, t.name) != 0) continue;
            if (t.type[0] == 's') register_row<float>(p, t);
            if (t.type[0] == 'd') register_row<double>(p, t);
        }
    return true;
}();

}  // namespace
