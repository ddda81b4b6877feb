// Discrete distributions: the fixed small cases, the regime switch of the
// binomial seen through the uniforms it uses, the set-up caches (hit, rebuilt,
// copied, saved and loaded), chunk allocation failure and the failing draw.
// The laws themselves are checked by the goodness-of-fit tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "orvu_kex.h"
#include "orvu_ptz_rng.h"
#include "stream_helpers.h"
#include "orvu_serv.h"

namespace {

using Vec = std::vector<int32_t>;
using Gen = std::function<int32_t(RngStream*, int32_t, int32_t*)>;

Vec run(const Gen& g, RngStream* s, int32_t n) {
    Vec r(static_cast<size_t>(n), -7);
    EXPECT_EQ(g(s, n, r.data()), 0);
    return r;
}
std::vector<float> floats(RngStream* s, int32_t n) {
    std::vector<float> u(static_cast<size_t>(n));
    EXPECT_EQ(_ptzsRngUniform(0, s, n, u.data(), 0.0f, 1.0f), 0);
    return u;
}

Gen binomial(int32_t t, double p) { return [=](RngStream* s, int32_t n, int32_t* r) { return _ptziRngBinomial(0, s, n, r, t, p); }; }
Gen hyper(int32_t l, int32_t k, int32_t m) { return [=](RngStream* s, int32_t n, int32_t* r) { return _ptziRngHypergeometric(0, s, n, r, l, k, m); }; }
Gen negbin(double a, double p) { return [=](RngStream* s, int32_t n, int32_t* r) { return _ptziRngNegbinomial(0, s, n, r, a, p); }; }
Gen bernoulli(double p) { return [=](RngStream* s, int32_t n, int32_t* r) { return _ptziRngBernoulli(0, s, n, r, p); }; }
Gen geometric(double p) { return [=](RngStream* s, int32_t n, int32_t* r) { return _ptziRngGeometric(0, s, n, r, p); }; }
Gen uniform(int32_t a, int32_t b) { return [=](RngStream* s, int32_t n, int32_t* r) { return _ptziRngUniform(0, s, n, r, a, b); }; }

// Every generator and regime; `chunk` is the id of its cache, 0 for none, and
// `other` the same generator with a changed parameter; `dbl` marks those
// whose first draw is of doubles.
struct Case {
    const char* name;
    Gen g, other;
    int32_t chunk;
    bool dbl = false;
};
const std::vector<Case>& cases() {
    static const std::vector<Case> c = {
        {"uniform", uniform(-5, 7), uniform(-5, 9), 0, true},
        {"bernoulli", bernoulli(0.3), bernoulli(0.6), 0},
        {"geometric", geometric(0.2), geometric(0.02), 0},
        {"binomial inversion", binomial(40, 0.25), binomial(40, 0.5), 0},
        {"binomial btpe", binomial(200, 0.4), binomial(200, 0.45), 5},
        {"binomial btpe p>1/2", binomial(5000, 0.9), binomial(5000, 0.93), 5},
        {"hypergeometric inversion", hyper(100, 30, 20), hyper(100, 60, 20), 0},
        {"hypergeometric h2pe", hyper(1000, 400, 300), hyper(1000, 700, 300), 6},
        {"hypergeometric h2pe large", hyper(100000, 40000, 30000), hyper(100000, 40000, 70000), 6},
        {"negbinomial table", negbin(5, 0.3), negbin(5, 0.35), 4},
        {"negbinomial mixture", negbin(1000, 0.1), negbin(0.5, 0.01), 4, true},
    };
    return c;
}

TEST(Discrete, FixedCases) {
    Stream s(11);
    struct Fixed { Gen g; int32_t value; } fixed[] = {
        {bernoulli(0.0), 0}, {bernoulli(1.0), 1}, {hyper(50, 0, 20), 0}, {hyper(50, 20, 0), 0},
        {hyper(50, 50, 20), 20}, {hyper(50, 20, 50), 20},
        {binomial(0, 0.4), 0}, {binomial(9, 0.0), 0}, {binomial(9, 1.0), 9}, {binomial(300, 1.0), 300},
        {geometric(1.0), 0}, {negbin(3, 1.0), 0},
    };
    for (const Fixed& f : fixed)
        for (int32_t x : run(f.g, s.s, 3000)) ASSERT_EQ(x, f.value);
}

// Small cases whose arithmetic is fixed, recomputed from a copy's uniforms.
TEST(Discrete, ValuesFromTheUniforms) {
    Stream s(5);
    const int32_t n = 2000;
    for (auto [a, b] : {std::pair{-5, 7}, {-2147483647 - 1, 2147483647}, {1000, 1001}}) {
        Stream c = s.copy();
        std::vector<double> u(static_cast<size_t>(n));
        ASSERT_EQ(_ptzdRngUniform(0, c.s, n, u.data(), a, b), 0);
        const Vec r = run(uniform(a, b), s.s, n);
        for (int32_t i = 0; i < n; ++i) {
            ASSERT_EQ(r[i], int32_t(std::floor(u[i])));
            ASSERT_TRUE(r[i] >= a && r[i] < b);
        }
    }
    for (double p : {0.37, 0.001}) {  // floor(ln u / ln(1 - p)), Ln's low-accuracy kernel
        Stream c = s.copy();
        std::vector<float> u = floats(c.s, n), l(static_cast<size_t>(n));
        _kexsLn_21(n, u.data(), l.data());
        const float k = float(1.0 / std::log(1.0 - p));
        const Vec r = run(geometric(p), s.s, n);
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(r[i], int32_t(std::floor(l[i] * k)));
    }
    for (double p : {0.3, 0.7}) {  // two trials: thresholds q0² and q0² + 2·q0·(1 - q0) of the law of q0 = 0.3
        Stream c = s.copy();
        const std::vector<float> u = floats(c.s, n);
        const Vec r = run(binomial(2, p), s.s, n);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t x = u[i] < 0.49f ? 0 : u[i] < 0.91f ? 1 : 2;
            ASSERT_EQ(r[i], p < 0.5 ? x : 2 - x);
        }
    }
}

// Inversion takes one uniform per result; BTPE two per candidate. The next
// uniform after n results shows which one ran.
TEST(Discrete, BinomialRegimeByUniformsUsed) {
    const int32_t n = 100;
    struct { int32_t t; double p; bool btpe; } rows[] = {
        {120, 0.25, true}, {120, 0.75, true}, {2999, 0.01, false}, {120, 0.2499, false}, {120, 0.7501, false}};
    for (const auto& row : rows) {
        Stream s(21), c = s.copy();
        run(binomial(row.t, row.p), s.s, n);
        const float next = floats(s.s, 1)[0];
        const std::vector<float> u = floats(c.s, 8 * n);
        if (row.btpe) {
            EXPECT_NE(u[n], next) << row.t << " " << row.p;
            EXPECT_EQ(std::count(u.begin(), u.begin() + 2 * n, next), 0);
        } else {
            EXPECT_EQ(u[n], next) << row.t << " " << row.p;
        }
    }
}

// Results never depend on the cache: each call matches the same call on a
// copy without the cache chunk, through hits, rebuilds, copies and images.
TEST(Discrete, CacheNeverChangesResults) {
    for (const Case& c : cases()) {
        Stream s(31);
        for (const Gen* g : {&c.g, &c.g, &c.other, &c.g}) {
            Stream fresh = s.copy();
            __ptzDeleteChunksById(fresh.s, c.chunk);
            Stream copied = s.copy(), loaded = s.image();
            const Vec want = run(*g, fresh.s, 700);
            EXPECT_EQ(run(*g, copied.s, 700), want) << c.name;
            EXPECT_EQ(run(*g, loaded.s, 700), want) << c.name;
            EXPECT_EQ(run(*g, s.s, 700), want) << c.name;
            EXPECT_EQ(__ptzSearchChunk(s.s, c.chunk) != nullptr, c.chunk != 0) << c.name;
        }
    }
}

// The chunk's buffer (allocation 1) or its record (2) failing: -4, nothing
// leaked or attached; the next call creates the chunk.
TEST(Discrete, ChunkAllocationFailure) {
    for (const Case& c : cases()) {
        if (!c.chunk) continue;
        Stream s(3);
        int32_t r[4];
        const int32_t live = orvu_serv_test_live_allocations();
        for (int32_t nth : {1, 2}) {
            orvu_serv_test_fail_allocation(nth);
            EXPECT_EQ(c.g(s.s, 4, r), PTZ_ERROR_MEM_FAILURE) << c.name << " allocation " << nth;
            orvu_serv_test_fail_allocation(0);
            EXPECT_EQ(orvu_serv_test_live_allocations(), live) << c.name;
            EXPECT_EQ(__ptzGetNumChunks(s.s), 0) << c.name;
        }
        EXPECT_EQ(c.g(s.s, 4, r), 0) << c.name;
    }
}

// A stream whose refill fails: the draw's status comes back at once, with the
// caller's mode and error callback as they were.
int32_t no_refill_s(RngStream*, int32_t*, float*, int32_t*, int32_t*, int32_t*) { return 0; }
int32_t no_refill_d(RngStream*, int32_t*, double*, int32_t*, int32_t*, int32_t*) { return 0; }
int32_t user_callback(KexErrorContext*) { return 0; }
TEST(Discrete, FailingDrawEndsTheCall) {
    const uint32_t saved = _kexSetMode(KEX_MODE_LA | KEX_MODE_ERRMODE_ERRNO | KEX_MODE_FTZDAZ_ON);
    const KexErrorCallBack saved_cb = _kexSetErrorCallBack(user_callback);
    const uint32_t mode = _kexGetMode();
    for (const Case& c : cases()) {
        std::vector<float> fs(4, 0.5f);
        std::vector<double> ds(4, 0.5);
        RngStream* p = nullptr;
        ASSERT_EQ(c.dbl ? __ptzdNewAbstractStream(&p, 4, ds.data(), 0, 1, no_refill_d)
                        : __ptzsNewAbstractStream(&p, 4, fs.data(), 0, 1, no_refill_s), 0);
        Stream s(p);
        Vec r(64);
        EXPECT_EQ(c.g(s.s, 64, r.data()), PTZ_ERROR_ABSTRACT_NO_NUMBERS) << c.name;
        EXPECT_EQ(_kexGetMode(), mode) << c.name;
        EXPECT_EQ(_kexGetErrorCallBack(), user_callback) << c.name;
    }
    _kexSetErrorCallBack(saved_cb);
    _kexSetMode(saved);
}

// A float uniform may round up to 1: every inversion must still end, at the
// last value its sums can tell apart (the walk of a negative binomial with
// q > 1/2 once ran on forever on the smallest denormal term).
int32_t ones(RngStream*, int32_t* n, float* buf, int32_t*, int32_t*, int32_t*) {
    std::fill(buf, buf + *n, 1.0f);
    return *n;
}
TEST(Discrete, UniformOfOneEndsTheWalk) {
    for (const Case& c : cases()) {
        if (!std::strstr(c.name, "inversion") && !std::strstr(c.name, "table")) continue;
        std::vector<float> fs(64, 1.0f);
        RngStream* p = nullptr;
        ASSERT_EQ(__ptzsNewAbstractStream(&p, 64, fs.data(), 0, 1, ones), 0);
        Stream s(p);
        for (int32_t v : run(c.g, s.s, 8)) EXPECT_GE(v, 0) << c.name;
    }
}

}  // namespace
