// The sampled run: arguments from every part of the domain, exact results
// once per row, then each flavour's kernel and the peers against them.
#include "measure.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <utility>

#include "orvu_kex.h"

namespace kex_acc {

const char* slot_name(int slot) { return slot == kLA ? "LA" : slot == kHA ? "HA" : "EP"; }

Bound bound_of(char type, int slot, double scale) {
    if (slot == kEP) return {true, false, (type == 's' || type == 'c' ? 0x1p-11 : 0x1p-26) * scale};
    return slot == kHA ? Bound{false, true, 1.0 * scale} : Bound{false, false, 4.0 * scale};
}

// ---- status capture ------------------------------------------------------------

namespace {
thread_local uint8_t* t_codes;
thread_local size_t t_count;
thread_local uint64_t t_stray;
int32_t capture(KexErrorContext* c) {
    if (c->index < 0 || static_cast<size_t>(c->index) >= t_count) return ++t_stray, 1;
    uint8_t& slot = t_codes[c->index];
    slot = slot ? 0xFF : (c->code >= 1 && c->code <= 7 ? static_cast<uint8_t>(c->code) : 0xFE);
    return 1;  // keep the special-value path's result, no handler
}
}  // namespace

void begin_capture() {
    _kexSetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_FTZDAZ_OFF | KEX_MODE_HA);  // denormals kept
    _kexSetErrorCallBack(capture);
}
void set_capture(uint8_t* codes, size_t n) { t_codes = codes, t_count = n; }
uint64_t stray_reports() { return std::exchange(t_stray, 0); }

// ---- peers ---------------------------------------------------------------------

void* peer_symbol(bool sleef, const std::string& name) {
#ifdef ORVU_ACC_SLEEF_PATH
    static void* const s = dlopen(ORVU_ACC_SLEEF_PATH, RTLD_NOW);
#else
    static void* const s = nullptr;
#endif
    static void* const m = dlopen("libm.so.6", RTLD_NOW);
    void* h = sleef ? s : m;
    return h ? dlsym(h, name.c_str()) : nullptr;
}
bool peers_available() { return peer_symbol(true, "Sleef_exp_u10") && peer_symbol(false, "exp"); }

// ---- sampling --------------------------------------------------------------------

namespace {

template <class T> using Bits = typename Num<T>::Bits;
constexpr int32_t kBlock = 4096;  // elements per kernel call: the vector paths, not just the tails

// Keys that order floating-point numbers as integers (NaNs at both ends), so a
// uniform key between two numbers is a uniform pick among the numbers between.
template <class T> Bits<T> key(T x) {
    const Bits<T> u = bits(x), sign = Bits<T>(1) << (sizeof(T) * 8 - 1);
    return (u & sign) ? Bits<T>(~u) : Bits<T>(u | sign);
}
template <class T> T from_key(Bits<T> k) {
    const Bits<T> sign = Bits<T>(1) << (sizeof(T) * 8 - 1);
    return from_bits<T>((k & sign) ? Bits<T>(k & ~sign) : Bits<T>(~k));
}
template <class T> T clamp_to(double x) {
    const double m = std::numeric_limits<T>::max();
    return static_cast<T>(std::clamp(x, -m, m));
}

template <class T> std::vector<T> special_values() {
    using L = std::numeric_limits<T>;
    const T one[] = {0, L::infinity(), L::quiet_NaN(), 1, 2, 0.5, L::denorm_min(), L::min() - L::denorm_min(),
                     L::min(), L::max(), L::epsilon(), 1 + L::epsilon(), 1 - L::epsilon() / 2, 10, T(0.1), 3};
    std::vector<T> v;
    for (T x : one) v.push_back(x), v.push_back(-x);
    v.push_back(from_bits<T>(bits(L::quiet_NaN()) | 1));  // a NaN with a payload
    return v;
}

// The argument of T where f crosses the target, by bisection over the
// ordered keys; NaN when [lo, hi] does not bracket it.
template <class T> T crossing(const FnInfo& f, const Crossing& c) {
    using L = std::numeric_limits<T>;
    Big x(Num<T>::prec), y(Num<T>::prec), t(Num<T>::prec);
    switch (c.target) {
    case Target::root: mpfr_set_zero(t, 1); break;
    case Target::overflow:  // max + half an ulp
        mpfr_set_ui_2exp(t, 1, L::max_exponent, MPFR_RNDN);
        mpfr_sub_d(t, t, std::ldexp(1.0, L::max_exponent - L::digits - 1), MPFR_RNDN);
        break;
    case Target::min_normal: mpfr_set_ui_2exp(t, 1, L::min_exponent - 1, MPFR_RNDN); break;
    case Target::to_zero: mpfr_set_ui_2exp(t, 1, L::min_exponent - L::digits - 1, MPFR_RNDN); break;
    }
    auto side = [&](Bits<T> k) {
        Num<T>::set(x, from_key<T>(k));
        f.ref1(y, x, MPFR_RNDN);
        return mpfr_nan_p(y) ? 2 : mpfr_cmp(y, t) > 0;
    };
    Bits<T> lo = key(clamp_to<T>(c.lo)), hi = key(clamp_to<T>(c.hi));
    const int s_lo = side(lo), s_hi = side(hi);
    if (s_lo == 2 || s_hi == 2 || s_lo == s_hi) return L::quiet_NaN();
    while (hi - lo > 1) {
        const Bits<T> mid = lo + (hi - lo) / 2;
        (side(mid) == s_lo ? lo : hi) = mid;
    }
    return from_key<T>(hi);
}

template <class T> struct Samples {
    std::vector<T> a, b;
    void add(T x, T y = 1) { a.push_back(x), b.push_back(y); }
};

// About n arguments from the intervals (3/8 uniform over the numbers between
// the ends, 3/8 uniform in value), the rest random bit patterns, and n/16
// random denormals on top.
template <class T> void sample_line(const std::vector<Interval>& iv, size_t n, std::mt19937_64& g,
                                    std::vector<T>& out) {
    using L = std::numeric_limits<T>;
    std::vector<const Interval*> mine;
    for (const Interval& i : iv)
        if (std::strchr(i.types, Num<T>::type)) mine.push_back(&i);
    const size_t per = mine.empty() ? 0 : 3 * n / (8 * mine.size());  // a quarter left for random bit patterns
    for (const Interval* i : mine) {
        const T lo = clamp_to<T>(i->lo), hi = clamp_to<T>(i->hi);
        std::uniform_int_distribution<Bits<T>> k(key(lo), key(hi));
        std::uniform_real_distribution<double> v(lo, hi);
        for (size_t j = 0; j < per; ++j) out.push_back(from_key<T>(k(g)));
        for (size_t j = 0; j < per; ++j) out.push_back(clamp_to<T>(v(g)));
    }
    const size_t rest = n - 2 * per * mine.size();
    std::uniform_int_distribution<Bits<T>> any;
    for (size_t j = 0; j < rest; ++j) out.push_back(from_bits<T>(any(g)));
    std::uniform_int_distribution<Bits<T>> den(1, bits(L::min()) - 1);
    for (size_t j = 0; j < n / 16 + 1; ++j) out.push_back(from_bits<T>(den(g) | (j & 1 ? bits(T(-0.0)) : 0)));
}

// The arguments of one row, in runs: the special values, the neighbourhoods
// of the function's crossings and points, then its sampled lines. Binary
// rows pair the lines; scalar-power rows repeat one line for each of 48
// exponents (the special values first).
template <class T> Samples<T> make_samples(const FnInfo& f, Shape shape, size_t n) {
    std::mt19937_64 g(n * 31 + static_cast<unsigned char>(f.name[0]));
    Samples<T> s;
    const std::vector<T> sp = special_values<T>();
    if (shape == Shape::binary || shape == Shape::powx) {
        std::vector<T> a, b;
        sample_line<T>(f.a, shape == Shape::powx ? n / 48 : n, g, a);
        sample_line<T>(f.b, shape == Shape::powx ? 32 : n, g, b);
        if (shape == Shape::powx) {  // one exponent per run, so the kernel sees whole blocks of it
            b.insert(b.begin(), sp.begin(), sp.end());
            b.resize(48);
            for (T y : b) {
                for (T x : sp) s.add(x, y);
                for (T x : a) s.add(x, y);
            }
            return s;
        }
        for (T x : sp)
            for (T y : sp) s.add(x, y);
        std::shuffle(b.begin(), b.end(), g);
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) s.add(a[i], b[i]);
        return s;
    }
    for (T x : sp) s.add(x);
    const Bits<T> k = static_cast<Bits<T>>(std::clamp<size_t>(n / 64, 16, 4096));
    auto around = [&](T c, Bits<T> w) {
        if (std::isnan(c)) return;
        for (Bits<T> j = key(c) - w; j != key(c) + w; ++j) s.add(from_key<T>(j));
    };
    if (f.ref1)
        for (const Crossing& c : f.crossings) around(crossing<T>(f, c), k);
    for (double p : f.points) around(clamp_to<T>(p), 3);
    sample_line<T>(f.a, n, g, s.a);
    s.b.resize(s.a.size(), 1);
    return s;
}

// ---- running ---------------------------------------------------------------------

template <class T> void run(void* fn, Shape shape, const Samples<T>& s, T* r0, T* r1, uint8_t* codes) {
    using U = void (*)(int32_t, const T*, T*);
    using B = void (*)(int32_t, const T*, const T*, T*);
    using P = void (*)(int32_t, const T*, T, T*);
    using W = void (*)(int32_t, const T*, T*, T*);
    const size_t n = s.a.size();
    for (size_t i = 0; i < n;) {
        size_t m = std::min<size_t>(kBlock, n - i);
        if (shape == Shape::powx)
            for (size_t j = i + 1; j < i + m; ++j)
                if (!same(s.b[j], s.b[i])) {
                    m = j - i;
                    break;
                }
        const int32_t c = static_cast<int32_t>(m);
        set_capture(codes + i, m);
        switch (shape) {
        case Shape::unary: reinterpret_cast<U>(fn)(c, &s.a[i], r0 + i); break;
        case Shape::binary: reinterpret_cast<B>(fn)(c, &s.a[i], &s.b[i], r0 + i); break;
        case Shape::powx: reinterpret_cast<P>(fn)(c, &s.a[i], s.b[i], r0 + i); break;
        case Shape::two: reinterpret_cast<W>(fn)(c, &s.a[i], r0 + i, r1 + i); break;
        case Shape::other: break;
        }
        i += m;
    }
}

template <class T> void run_peer(void* fn, Shape shape, const Samples<T>& s, T* r) {
    for (size_t i = 0; i < s.a.size(); ++i)
        r[i] = shape == Shape::unary ? reinterpret_cast<T (*)(T)>(fn)(s.a[i])
                                     : reinterpret_cast<T (*)(T, T)>(fn)(s.a[i], s.b[i]);
}

// Exact results of a whole sample set, kept for every flavour and peer.
struct Exacts {
    std::vector<__mpfr_struct> v;
    Exacts(size_t n, mpfr_prec_t p) : v(n) {
        for (auto& x : v) mpfr_init2(&x, p);
    }
    ~Exacts() {
        for (auto& x : v) mpfr_clear(&x);
    }
};

template <class T> void measure_typed(const Row& row, const FnInfo& f, const Options& opt, std::vector<Result>& out) {
    const std::string base = std::string("_kex") + row.type + row.name;
    const char* suffix[3] = {row.type == 's' ? "_21" : "_50", "_HA", row.type == 's' ? "_11" : "_26"};
    void* entry[3];
    for (int k = 0; k < 3; ++k) entry[k] = dlsym(RTLD_DEFAULT, (base + suffix[k]).c_str());
    if (!entry[kHA]) return;
    auto* tab = static_cast<void**>(dlsym(RTLD_DEFAULT, (std::string("orvu_kex_kernel_") + row.type + row.name + "_ttab").c_str()));
    const uint8_t listed = row.type == 's' ? f.status_s : f.status_d;
    const int outs = row.shape == Shape::two ? 2 : 1;

    const Samples<T> s = make_samples<T>(f, row.shape, opt.samples);
    const size_t n = s.a.size();
    Exacts ex(n * outs, Num<T>::prec);
    std::vector<Expect<T>> want(n);
    Big xa(Num<T>::prec), xb(Num<T>::prec), tmp(Num<T>::prec);
    for (size_t i = 0; i < n; ++i) {
        mpfr_ptr y[2] = {&ex.v[i * outs], &ex.v[i * outs + outs - 1]};
        want[i] = expect<T>(f, listed, s.a[i], s.b[i], y, xa, xb);
    }
    auto score_all = [&](const std::vector<T>& r0, const std::vector<T>& r1, const uint8_t* codes) {
        Stats st;
        for (size_t i = 0; i < n; ++i) {
            mpfr_ptr y[2] = {&ex.v[i * outs], &ex.v[i * outs + outs - 1]};
            const T got[2] = {r0[i], r1[i]};
            score(st, want[i], y, outs, got, codes ? codes[i] : 0, codes != nullptr, s.a[i], s.b[i], tmp);
        }
        return st;
    };

    const bool exhaustive = opt.exhaustive && row.type == 's' &&
                            ((row.shape == Shape::unary && f.fast) || (row.shape == Shape::two && f.parts[0]));
    std::vector<T> r0(n), r1(n);
    std::vector<uint8_t> codes(n);
    std::map<void*, Stats> peer_cache;
    auto peer = [&](bool sleef, int slot, std::string& name, double& ulp, uint64_t& bad) {
        if ((row.shape != Shape::unary && row.shape != Shape::binary) || !f.peer) return;
        const std::string stem = (sleef ? std::string("Sleef_") : std::string()) + f.peer + (row.type == 's' ? "f" : "");
        std::vector<std::string> names = {stem};
        if (sleef) {
            names = {stem + "_u05", stem + "_u10", stem + "_u15"};
            if (slot != kHA) names.insert(names.begin(), stem + "_u35");
        }
        for (const std::string& nm : names)
            if (void* fn = peer_symbol(sleef, nm)) {
                auto it = peer_cache.find(fn);
                if (it == peer_cache.end()) {
                    run_peer<T>(fn, row.shape, s, r0.data());
                    it = peer_cache.emplace(fn, score_all(r0, r1, nullptr)).first;
                }
                name = nm, ulp = it->second.max_ulp, bad = it->second.bad_special;
                return;
            }
    };

    for (int slot : {kHA, kLA, kEP}) {  // a slot that shares an earlier slot's kernel takes its measure
        if (!entry[slot]) continue;
        Result r;
        r.row = &row, r.slot = slot;
        for (const Result& m : out)
            if (m.row == &row && m.same_as < 0 && tab && tab[m.slot] == tab[slot] && r.same_as < 0)
                r.st = m.st, r.same_as = m.slot, r.exhaustive = m.exhaustive, r.arguments = m.arguments;
        if (r.same_as < 0 && exhaustive) {
            r.exhaustive = true, r.arguments = uint64_t(1) << 32;
            r.st = exhaustive_float(f, (f.quiet_slots >> slot & 1) ? 0 : listed, entry[slot], opt.threads);
        } else if (r.same_as < 0) {
            run<T>(entry[slot], row.shape, s, r0.data(), r1.data(), codes.data());
            // A quiet slot returns the same values without any report.
            const bool quiet = f.quiet_slots >> slot & 1;
            r.st = score_all(r0, r1, quiet ? nullptr : codes.data()), r.arguments = n;
            if (quiet) r.st.bad_status += static_cast<uint64_t>(std::count_if(codes.begin(), codes.end(), [](uint8_t c) { return c != 0; }));
            r.st.bad_status += stray_reports();
            std::fill(codes.begin(), codes.end(), 0);
        }
        if (opt.peers) {
            peer(true, slot, r.sleef_name, r.sleef, r.sleef_bad);
            peer(false, slot, r.glibc_name, r.glibc, r.glibc_bad);
        }
        out.push_back(std::move(r));
    }
}

}  // namespace

void Stats::bad(const char* what, double a, double b, double got, int code) {
    if (!first_bad.empty()) return;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s at (%a, %a): got %a, status %d", what, a, b, got, code);
    first_bad = buf;
}

void measure_row(const Row& row, const FnInfo& f, const Options& opt, std::vector<Result>& out) {
    if (row.type == 's') measure_typed<float>(row, f, opt, out);
    if (row.type == 'd') measure_typed<double>(row, f, opt, out);
}

}  // namespace kex_acc
