// The five basic generators against their plain references: raw words, float
// and double outputs, for many request sizes and output alignments, seeding
// rules, skip-ahead and leapfrog.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "ptz_rng/reference.h"

namespace {

// A reference generator seen through raw bytes, whatever its word type.
struct AnyRef {
    int word;
    std::function<void(uint8_t*)> next;           // writes one word
    std::function<double(const uint8_t*)> unit;   // unit value of a word
};

template <class R, class... Args>
AnyRef make_ref(Args... args) {
    auto r = std::make_shared<R>(args...);
    using W = decltype(r->next());
    return {int(sizeof(W)),
            [r](uint8_t* out) {
                const W w = r->next();
                std::memcpy(out, &w, sizeof w);
            },
            [r](const uint8_t* in) {
                W w;
                std::memcpy(&w, in, sizeof w);
                return r->unit(w);
            }};
}

using Seed = std::vector<uint32_t>;

struct GenCase {
    const char* name;
    int32_t id;
    Seed seed;
    AnyRef (*ref)(const Seed&);  // the reference generator seeded alike
};

Seed many_seeds(int n) {
    Seed s;
    for (int i = 0; i < n; ++i) s.push_back(0x9E3779B9u * uint32_t(i + 1));
    return s;
}

const std::vector<GenCase>& cases() {
    static const std::vector<GenCase> all = {
        {"MCG31M1", PTZ_BRNG_MCG31, {12345}, [](const Seed& s) { return make_ref<ref::Mcg31>(s); }},
        {"MCG59", PTZ_BRNG_MCG59, {0xDEADBEEF, 0x1234567}, [](const Seed& s) { return make_ref<ref::Mcg59>(s); }},
        {"WH0", PTZ_BRNG_WH, {7, 8, 9, 10}, [](const Seed& s) { return make_ref<ref::Wh>(0, s); }},
        {"WH272", PTZ_BRNG_WH + 272, {99}, [](const Seed& s) { return make_ref<ref::Wh>(272, s); }},
        {"WH-legacy-100", 104, {}, [](const Seed& s) { return make_ref<ref::Wh>(100, s); }},
        {"MRG32K3A", PTZ_BRNG_MRG32K3A, {1, 2, 3, 4, 5, 6}, [](const Seed& s) { return make_ref<ref::Mrg32k3a>(s); }},
        // State words just below the moduli: the block's sums at their bounds.
        {"MRG32K3A-near-moduli", PTZ_BRNG_MRG32K3A,
         {4294967086u, 4294967085u, 4294967084u, 4294944442u, 4294944441u, 4294944440u},
         [](const Seed& s) { return make_ref<ref::Mrg32k3a>(s); }},
        {"R250", PTZ_BRNG_R250, {777}, [](const Seed& s) { return make_ref<ref::R250>(s); }},
        {"R250-full-seed", PTZ_BRNG_R250, many_seeds(250), [](const Seed& s) { return make_ref<ref::R250>(s); }},
    };
    return all;
}

struct StreamHolder {
    RngStream* s = nullptr;
    ~StreamHolder() { __ptzDeleteStream(&s); }
};

RngStream* make_stream(StreamHolder& h, const GenCase& c) {
    EXPECT_EQ(__ptzNewStreamEx(&h.s, c.id, int32_t(c.seed.size()), c.seed.data()), 0) << c.name;
    return h.s;
}

// Request sizes around the block widths (8 lanes, 250-word register, 256 block).
constexpr int32_t kSizes[] = {1, 3, 7, 8, 9, 16, 249, 250, 251, 255, 256, 257, 499, 500, 1001, 2053};

TEST(Generators, RawWordsFollowTheRecurrenceForEverySizeAndAlignment) {
    for (const GenCase& c : cases()) {
        for (int offset : {0, 4}) {  // a word buffer that is only 4-byte aligned
            StreamHolder h;
            RngStream* s = make_stream(h, c);
            AnyRef r = c.ref(c.seed);
            std::vector<uint8_t> got(size_t(r.word) * 2053 + 16), want(size_t(r.word));
            for (int32_t n : kSizes) {
                uint8_t* out = got.data() + offset;
                BrngProperties p;
                ASSERT_EQ(__ptzGetBrngProperties(c.id, &p), 0);
                ASSERT_EQ(p.iBRng(s, n, out), 0);
                for (int32_t i = 0; i < n; ++i) {
                    r.next(want.data());
                    ASSERT_EQ(std::memcmp(out + size_t(i) * r.word, want.data(), size_t(r.word)), 0)
                        << c.name << " n=" << n << " i=" << i << " offset=" << offset;
                }
            }
        }
    }
}

TEST(Generators, RealOutputsScaleTheUnitValueInDouble) {
    struct Interval { double a, b; };
    constexpr Interval kIntervals[] = {{0, 1}, {-3, 5}, {1e6, 1e6 + 0.5}};
    for (const GenCase& c : cases()) {
        for (const Interval& iv : kIntervals) {
            StreamHolder hd, hs;
            RngStream* sd = make_stream(hd, c);
            RngStream* ss = make_stream(hs, c);
            BrngProperties p;
            ASSERT_EQ(__ptzGetBrngProperties(c.id, &p), 0);
            AnyRef r = c.ref(c.seed);
            std::vector<uint8_t> w(size_t(r.word));
            std::vector<double> d(600);
            std::vector<float> f(600);
            for (int32_t n : {5, 8, 251, 600}) {
                ASSERT_EQ(p.dBRng(sd, n, d.data(), iv.a, iv.b), 0);
                ASSERT_EQ(p.sBRng(ss, n, f.data(), float(iv.a), float(iv.b)), 0);
                for (int32_t i = 0; i < n; ++i) {
                    r.next(w.data());
                    const double u = r.unit(w.data());
                    ASSERT_GE(u, 0.0);
                    ASSERT_LE(u, 1.0);
                    ASSERT_EQ(d[i], iv.a + (iv.b - iv.a) * u) << c.name << " i=" << i;
                    const double fa = float(iv.a), fb = float(iv.b);
                    ASSERT_EQ(f[i], float(fa + (fb - fa) * u)) << c.name << " i=" << i;
                }
            }
        }
    }
}

TEST(Generators, SkipAheadEqualsDrawingAndDiscarding) {
    for (const GenCase& c : cases()) {
        if (c.id == PTZ_BRNG_R250) continue;
        for (int64_t d : {0, 1, 7, 8, 1000, 123457}) {
            StreamHolder a, b;
            make_stream(a, c);
            make_stream(b, c);
            BrngProperties p;
            ASSERT_EQ(__ptzGetBrngProperties(c.id, &p), 0);
            std::vector<uint8_t> skipped(size_t(p.wordSize) * size_t(d + 1));
            ASSERT_EQ(p.iBRng(a.s, int32_t(d), skipped.data()), 0);
            ASSERT_EQ(__ptzSkipAheadStream(b.s, d), 0);
            std::vector<uint8_t> x(size_t(p.wordSize) * 40), y(x.size());
            ASSERT_EQ(p.iBRng(a.s, 40, x.data()), 0);
            ASSERT_EQ(p.iBRng(b.s, 40, y.data()), 0);
            ASSERT_EQ(x, y) << c.name << " d=" << d;
        }
    }
}

// 2^40 outputs cannot be drawn: skipping 2^40 + 5 must equal skipping 2^40 and
// drawing 5 (the closed form of one generator is checked below).
TEST(Generators, LargeSkipAheadComposes) {
    const int64_t big = int64_t(1) << 40;
    for (const GenCase& c : cases()) {
        if (c.id == PTZ_BRNG_R250) continue;
        StreamHolder a, b;
        make_stream(a, c);
        make_stream(b, c);
        BrngProperties p;
        ASSERT_EQ(__ptzGetBrngProperties(c.id, &p), 0);
        ASSERT_EQ(__ptzSkipAheadStream(a.s, big + 5), 0);
        ASSERT_EQ(__ptzSkipAheadStream(b.s, big), 0);
        std::vector<uint8_t> x(size_t(p.wordSize) * 20), y(size_t(p.wordSize) * 25);
        ASSERT_EQ(p.iBRng(a.s, 20, x.data()), 0);
        ASSERT_EQ(p.iBRng(b.s, 25, y.data()), 0);
        ASSERT_EQ(0, std::memcmp(x.data(), y.data() + 5 * p.wordSize, x.size())) << c.name;
    }
}

TEST(Generators, LargeSkipAheadMatchesClosedFormForMcg31) {
    // x_d = x_0 * a^d mod m, with the power taken by a plain loop over bits.
    const uint64_t m = 2147483647, d = uint64_t(1) << 40;
    uint64_t pw = 1, base = 1132489760;
    for (uint64_t e = d; e; e >>= 1, base = base * base % m)
        if (e & 1) pw = pw * base % m;
    StreamHolder h;
    const uint32_t seed = 12345;
    ASSERT_EQ(__ptzNewStreamEx(&h.s, PTZ_BRNG_MCG31, 1, &seed), 0);
    ASSERT_EQ(__ptzSkipAheadStream(h.s, int64_t(d)), 0);
    uint32_t out = 0;
    ASSERT_EQ(__ptziBRngMCG31M1(h.s, 1, &out), 0);
    EXPECT_EQ(out, uint32_t(seed * pw % m));
}

TEST(Generators, LeapfrogStreamKOfNTakesEveryNthOutput) {
    for (const GenCase& c : cases()) {
        if (c.id == PTZ_BRNG_R250 || c.id == PTZ_BRNG_MRG32K3A) continue;
        BrngProperties p;
        ASSERT_EQ(__ptzGetBrngProperties(c.id, &p), 0);
        const int32_t nstreams = 5, per = 40;
        StreamHolder whole;
        make_stream(whole, c);
        std::vector<uint8_t> all(size_t(p.wordSize) * nstreams * per);
        ASSERT_EQ(p.iBRng(whole.s, nstreams * per, all.data()), 0);
        for (int32_t k = 0; k < nstreams; ++k) {
            StreamHolder h;
            make_stream(h, c);
            ASSERT_EQ(__ptzLeapfrogStream(h.s, k, nstreams), 0);
            std::vector<uint8_t> part(size_t(p.wordSize) * per);
            ASSERT_EQ(p.iBRng(h.s, per, part.data()), 0);
            for (int32_t i = 0; i < per; ++i)
                ASSERT_EQ(0, std::memcmp(part.data() + i * p.wordSize,
                                         all.data() + size_t(i * nstreams + k) * p.wordSize, size_t(p.wordSize)))
                    << c.name << " k=" << k << " i=" << i;
        }
    }
}

TEST(Generators, MethodSupport) {
    struct Support { int32_t id, leapfrog, skip; };
    constexpr Support kSupport[] = {
        {PTZ_BRNG_MCG31, 0, 0}, {PTZ_BRNG_MCG59, 0, 0}, {PTZ_BRNG_WH, 0, 0},
        {PTZ_BRNG_MRG32K3A, -1002, 0}, {PTZ_BRNG_R250, -1002, -1003},
    };
    for (const Support& s : kSupport) {
        StreamHolder h;
        ASSERT_EQ(__ptzNewStreamEx(&h.s, s.id, 0, nullptr), 0);
        EXPECT_EQ(__ptzLeapfrogStream(h.s, 0, 1), s.leapfrog) << std::hex << s.id;
        EXPECT_EQ(__ptzSkipAheadStream(h.s, 3), s.skip) << std::hex << s.id;
        BrngProperties p;
        ASSERT_EQ(__ptzGetBrngProperties(s.id, &p), 0);
        EXPECT_EQ(p.initStream(3, h.s, 0, nullptr), -2);
        EXPECT_EQ(p.initStream(-1, h.s, 0, nullptr), -2);
    }
}

TEST(Generators, SeedingEdgeCases) {
    uint32_t out[2];
    for (std::vector<uint32_t> seed : {std::vector<uint32_t>{0}, {2147483647u}, {}}) {
        StreamHolder h;
        ASSERT_EQ(__ptzNewStreamEx(&h.s, PTZ_BRNG_MCG31, int32_t(seed.size()), seed.data()), 0);
        ASSERT_EQ(__ptziBRngMCG31M1(h.s, 2, out), 0);
        EXPECT_EQ(out[0], 1u);
        EXPECT_EQ(out[1], 1132489760u);
    }
    {
        StreamHolder h;
        const uint32_t seed[2] = {0, 0x08000000};  // the high word keeps 27 bits: x = 0 -> 1
        ASSERT_EQ(__ptzNewStreamEx(&h.s, PTZ_BRNG_MCG59, 2, seed), 0);
        uint64_t x;
        ASSERT_EQ(__ptziBRngMCG59(h.s, 1, &x), 0);
        EXPECT_EQ(x, 1u);
    }
    {
        StreamHolder h;
        ASSERT_EQ(__ptzNewStreamEx(&h.s, PTZ_BRNG_WH, 0, nullptr), 0);
        uint32_t w[8];
        ASSERT_EQ(__ptziBRngWH(h.s, 2, w), 0);
        const uint32_t want[8] = {1, 1, 1, 1, 125, 117, 127, 126};
        EXPECT_EQ(0, std::memcmp(w, want, sizeof w));
    }
    {
        StreamHolder h;
        const std::vector<uint32_t> seed(6, 4294967087u);
        ASSERT_EQ(__ptzNewStreamEx(&h.s, PTZ_BRNG_MRG32K3A, 6, seed.data()), 0);
        const uint32_t want[6] = {1, 0, 0, 22644, 22644, 22644};
        EXPECT_EQ(0, std::memcmp(reinterpret_cast<uint8_t*>(h.s) + 16, want, sizeof want));
    }
    {
        StreamHolder h;  // 250 zero seeds are used unchanged: only zeros follow
        const std::vector<uint32_t> zeros(260, 0);
        ASSERT_EQ(__ptzNewStreamEx(&h.s, PTZ_BRNG_R250, 260, zeros.data()), 0);
        std::vector<uint32_t> r(600, 1);
        ASSERT_EQ(__ptziBRngR250(h.s, 600, r.data()), 0);
        EXPECT_EQ(r, std::vector<uint32_t>(600, 0));
    }
}

TEST(Generators, ModularPowers) {
    EXPECT_EQ(__ptziPowMod(5, 0, 13), 1u);
    EXPECT_EQ(__ptziPowMod(3, 200, 1000003), [] {
        uint64_t r = 1;
        for (int i = 0; i < 200; ++i) r = r * 3 % 1000003;
        return uint32_t(r);
    }());
    EXPECT_EQ(__ptziPowMod2P31M1(1132489760, 2147483646), 1u);  // Fermat: a^(m-1) = 1
    EXPECT_EQ(__ptziPowMod2P59(302875106592253ull, uint64_t(1) << 57), 1u);  // order divides 2^57
    uint32_t v[3] = {1, 2, 3};
    const uint32_t row[3] = {1, 1, 0};  // next = v[2] + v[1]: Fibonacci-like
    __ptziVect3PowMod(v, row, 1000, 3);
    EXPECT_EQ(v[0], 5u);
    EXPECT_EQ(v[1], 8u);
    EXPECT_EQ(v[2], 13u);
}

}  // namespace
