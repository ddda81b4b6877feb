// The five basic generators against their plain references (raw words, float
// and double outputs, many request sizes and alignments), published values,
// seeding rules, skip-ahead and leapfrog; the WH parameter tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <set>

#include "ptz/streams/stream.h"
#include "ptz_rng/reference.h"
#include "ptz_rng/stream_helpers.h"

namespace {

// The reference's next n words, written as bytes (the byte count is
// returned), and their unit values.
using RefFn = std::function<size_t(int32_t n, uint8_t* words, double* units)>;

template <class R, int... Set>
RefFn make_ref(const ref::Seed& seed) {
    auto r = std::make_shared<R>(Set..., seed);
    return [r](int32_t n, uint8_t* words, double* units) {
        size_t at = 0;
        for (int32_t i = 0; i < n; ++i) {
            const auto w = r->next();
            std::memcpy(words + at, &w, sizeof w);
            at += sizeof w;
            units[i] = r->unit(w);
        }
        return at;
    };
}

struct GenCase {
    const char* name;
    int32_t id;
    ref::Seed seed;
    RefFn (*ref)(const ref::Seed&);  // the reference generator seeded alike
    RngStream* make(StreamHolder& h) const { return h.s = new_stream(id, seed); }
};

const std::vector<GenCase>& cases() {
    static const std::vector<GenCase> all = [] {
        ref::Seed full;  // a whole register's worth
        for (uint32_t i = 1; i <= 250; ++i) full.push_back(0x9E3779B9u * i);
        return std::vector<GenCase>{
            {"MCG31M1", PTZ_BRNG_MCG31, {12345}, make_ref<ref::Mcg31>},
            {"MCG59", PTZ_BRNG_MCG59, {0xDEADBEEF, 0x1234567}, make_ref<ref::Mcg59>},
            {"WH0", PTZ_BRNG_WH, {7, 8, 9, 10}, make_ref<ref::Wh, 0>},
            {"WH272", PTZ_BRNG_WH + 272, {99}, make_ref<ref::Wh, 272>},
            {"WH-legacy-100", 104, {}, make_ref<ref::Wh, 100>},
            {"MRG32K3A", PTZ_BRNG_MRG32K3A, {1, 2, 3, 4, 5, 6}, make_ref<ref::Mrg32k3a>},
            // State words just below the moduli: the block's sums at their bounds.
            {"MRG32K3A-near-moduli", PTZ_BRNG_MRG32K3A,
             {4294967086u, 4294967085u, 4294967084u, 4294944442u, 4294944441u, 4294944440u}, make_ref<ref::Mrg32k3a>},
            {"R250", PTZ_BRNG_R250, {777}, make_ref<ref::R250>},
            {"R250-full-seed", PTZ_BRNG_R250, full, make_ref<ref::R250>},
        };
    }();
    return all;
}

// Raw words for request sizes around the block widths (8 lanes, 250-word
// register, 256 block) into a buffer that is only 4-byte aligned; float and
// double outputs a + (b - a) u, evaluated in double, over three intervals.
TEST(Generators, OutputsFollowTheRecurrenceForEverySizeAlignmentAndInterval) {
    constexpr int32_t kSizes[] = {1, 3, 7, 8, 9, 16, 249, 250, 251, 255, 256, 257, 499, 500, 1001, 2053};
    std::vector<uint8_t> got(16 * 2053 + 4), want(16 * 2053);
    std::vector<double> u(2053), d(2053);
    std::vector<float> f(2053);
    for (const GenCase& c : cases()) {
        for (int offset : {0, 4}) {
            StreamHolder h;
            RngStream* s = c.make(h);
            const RefFn r = c.ref(c.seed);
            for (int32_t n : kSizes) {
                ASSERT_EQ(props(s).iBRng(s, n, got.data() + offset), 0);
                const size_t bytes = r(n, want.data(), u.data());
                ASSERT_EQ(0, std::memcmp(got.data() + offset, want.data(), bytes)) << c.name << " n=" << n;
            }
        }
        for (auto [a, b] : {std::pair{0.0, 1.0}, {-3.0, 5.0}, {1e6, 1e6 + 0.5}}) {
            StreamHolder hd, hs;
            RngStream *sd = c.make(hd), *ss = c.make(hs);
            const RefFn r = c.ref(c.seed);
            const double fa = float(a), fb = float(b);
            for (int32_t n : {5, 8, 251, 600}) {
                ASSERT_EQ(props(sd).dBRng(sd, n, d.data(), a, b), 0);
                ASSERT_EQ(props(ss).sBRng(ss, n, f.data(), float(a), float(b)), 0);
                r(n, want.data(), u.data());
                for (int32_t i = 0; i < n; ++i) {
                    ASSERT_TRUE(u[i] >= 0.0 && u[i] <= 1.0);
                    ASSERT_EQ(d[i], a + (b - a) * u[i]) << c.name << " i=" << i;
                    ASSERT_EQ(f[i], float(fa + (fb - fa) * u[i])) << c.name << " i=" << i;
                }
            }
        }
    }
}

// Skipping d equals drawing d and discarding them (2^40 + 5 cannot be drawn:
// skipping 2^40, then drawing 5); stream k of 5 after leapfrog takes outputs
// k, k + 5, ...; unsupported methods give their codes.
TEST(Generators, SkipAheadAndLeapfrog) {
    const int64_t big = int64_t(1) << 40;
    for (const GenCase& c : cases()) {
        StreamHolder h;
        c.make(h);
        for (int32_t method : {3, -1}) EXPECT_EQ(props(h.s).initStream(method, h.s, 0, nullptr), -2);
        const bool skips = c.id != PTZ_BRNG_R250, leaps = skips && c.id != PTZ_BRNG_MRG32K3A;
        EXPECT_TRUE(skips || __ptzSkipAheadStream(h.s, 3) == -1003) << c.name;
        EXPECT_TRUE(leaps || __ptzLeapfrogStream(h.s, 0, 0) == -1002) << c.name;  // N = 0 reaches the generator
        for (int64_t d : std::initializer_list<int64_t>{0, 1, 7, 8, 1000, 123457, big + 5}) {
            if (!skips) break;
            StreamHolder a, b;
            ASSERT_EQ(__ptzSkipAheadStream(c.make(b), d), 0);
            ASSERT_EQ(__ptzSkipAheadStream(c.make(a), d > big ? big : 0), 0);
            words(a.s, int32_t(d % big));
            ASSERT_EQ(words(a.s, 40), words(b.s, 40)) << c.name << " d=" << d;
        }
        const std::vector<uint8_t> all = words(h.s, 5 * 40);
        const size_t w = all.size() / (5 * 40);
        for (int32_t k = 0; leaps && k < 5; ++k) {
            StreamHolder part;
            ASSERT_EQ(__ptzLeapfrogStream(c.make(part), k, 5), 0);
            EXPECT_EQ(__ptzLeapfrogStream(part.s, 0, -1), -1013);  // refused before the generator sees it
            const std::vector<uint8_t> got = words(part.s, 40);
            for (int32_t i = 0; i < 40; ++i)
                ASSERT_EQ(0, std::memcmp(got.data() + i * w, all.data() + (i * 5 + k) * w, w)) << c.name << " k=" << k;
        }
    }
}

// Published values of the combined recursive generator. Its reference
// implementation, seeded with 12345 six times, first returns
// 0.12701112204657714, which it forms as z / (m1 + 1): so z = 545508589 (this
// library's unit value is z / m1). The stream package built on it publishes
// the jump matrices A1^(2^76) and A2^(2^76); 8192 skips of 2^63 make 2^76.
TEST(Generators, Mrg32k3aMatchesPublishedValues) {
    const ref::Seed seed(6, 12345);
    StreamHolder h{new_stream(PTZ_BRNG_MRG32K3A, seed)}, j{new_stream(PTZ_BRNG_MRG32K3A, seed)};
    uint32_t z = 0;
    ASSERT_EQ(__ptziBRngMRG32K3A(h.s, 1, &z), 0);
    EXPECT_EQ(z, 545508589u);
    EXPECT_EQ(double(z) * 2.328306549295727688e-10, 0.12701112204657714);

    constexpr uint64_t m1 = 4294967087, m2 = 4294944443;
    constexpr uint64_t a1p76[3][3] = {{82758667, 1871391091, 4127413238},
                                      {3672831523, 69195019, 1871391091},
                                      {3672091415, 3528743235, 69195019}};
    constexpr uint64_t a2p76[3][3] = {{1511326704, 3759209742, 1610795712},
                                      {4292754251, 1511326704, 3889917532},
                                      {3859662829, 4292754251, 3708466080}};
    for (int i = 0; i < 8192; ++i) ASSERT_EQ(__ptzSkipAheadStream(j.s, int64_t(uint64_t(1) << 63)), 0);
    const uint32_t* st = ptz::state_as<uint32_t>(j.s);
    for (int i = 0; i < 3; ++i) {  // every seed word is 12345: row sum times 12345
        EXPECT_EQ(st[i], (a1p76[i][0] + a1p76[i][1] + a1p76[i][2]) % m1 * 12345 % m1) << i;
        EXPECT_EQ(st[3 + i], (a2p76[i][0] + a2p76[i][1] + a2p76[i][2]) % m2 * 12345 % m2) << i;
    }
}

// Seeds that the rules repair or reduce, and the state they give.
TEST(Generators, SeedingEdgeCases) {
    struct SeedCase { int32_t id; ref::Seed seed; std::vector<uint32_t> state; };
    const std::vector<uint32_t> mcg31_one = {1, 1132489760};
    const SeedCase kSeeds[] = {
        {PTZ_BRNG_MCG31, {0}, mcg31_one}, {PTZ_BRNG_MCG31, {2147483647u}, mcg31_one}, {PTZ_BRNG_MCG31, {}, mcg31_one},
        {PTZ_BRNG_MCG59, {0, 0x08000000}, {1, 0}},  // the high word keeps 27 bits: x = 0 -> 1
        {PTZ_BRNG_WH, {}, {1, 1, 1, 1, 125, 117, 127, 126}},
        {PTZ_BRNG_MRG32K3A, ref::Seed(6, 4294967087u), {1, 0, 0, 22644, 22644, 22644}},
    };
    for (const SeedCase& c : kSeeds) {
        StreamHolder h{new_stream(c.id, c.seed)};
        const uint32_t* st = ptz::state_as<uint32_t>(h.s);
        EXPECT_EQ(std::vector<uint32_t>(st, st + c.state.size()), c.state) << std::hex << c.id;
    }
    StreamHolder h{new_stream(PTZ_BRNG_R250, ref::Seed(260, 0))};  // 250 zero seeds are used unchanged: only zeros
    EXPECT_EQ(words(h.s, 600), std::vector<uint8_t>(2400, 0));
}

// Exponents above 32 bits: a^(k (p - 1)) = 1 for a prime p (Fermat), and the
// multiplier's order mod 2^59 divides 2^57; a dropped high word breaks both.
TEST(Generators, ModularPowers) {
    EXPECT_EQ(__ptziPowMod(125, uint64_t(16770646) << 20, 16770647), 1u);
    EXPECT_NE(__ptziPowMod(125, (uint64_t(16770646) << 20) + 1, 16770647), 1u);
    EXPECT_EQ(__ptziPowMod2P31M1(1132489760, uint64_t(2147483646) << 9), 1u);
    EXPECT_NE(__ptziPowMod2P31M1(1132489760, (uint64_t(2147483646) << 9) - 1), 1u);
    EXPECT_EQ(__ptziPowMod2P59(302875106592253ull, uint64_t(1) << 57), 1u);
}

uint64_t pow_mod(uint64_t b, uint64_t e, uint64_t m) {
    uint64_t r = 1;
    for (b %= m; e; e >>= 1, b = b * b % m)
        if (e & 1) r = r * b % m;
    return r;
}

// Lucas: a^(p-1) = 1 and a^((p-1)/q) != 1 for every prime q dividing p - 1
// proves p prime and a a generator of the whole group mod p.
bool is_prime_with_primitive_root(uint64_t a, uint64_t p) {
    uint64_t rest = p - 1;
    for (uint64_t q = 2; q * q <= rest; ++q) {
        if (rest % q) continue;
        if (pow_mod(a, (p - 1) / q, p) == 1) return false;
        while (rest % q == 0) rest /= q;
    }
    return pow_mod(a, p - 1, p) == 1 && (rest == 1 || pow_mod(a, (p - 1) / rest, p) != 1);
}

// The WH parameter sets: the published rows as published; every row four
// distinct primes in the published range, each multiplier a primitive root of
// its modulus, reciprocals correctly rounded, no two rows alike.
TEST(WhTables, PublishedRowsAndTheirProperties) {
    struct Row { int index; std::array<uint32_t, 4> a, m; };
    const Row kPublished[] = {
        {0, {125, 117, 127, 126}, {16770647, 16770643, 16770623, 16770617}},
        {1, {127, 126, 125, 123}, {16770311, 16770283, 16770263, 16770209}},
        {272, {126, 127, 125, 124}, {16766363, 16766359, 16766327, 16766231}},
    };
    for (const Row& r : kPublished) {
        const uint8_t* a = _ptz_WH_A[r.index];
        EXPECT_EQ((std::array<uint32_t, 4>{a[0], a[1], a[2], a[3]}), r.a) << r.index;
        EXPECT_EQ(0, std::memcmp(_ptz_WH_M[r.index], r.m.data(), sizeof r.m)) << r.index;
    }
    std::set<std::array<uint32_t, 4>> rows;
    for (int s = 0; s < 273; ++s) {
        std::array<uint32_t, 4> m;
        for (int k = 0; k < 4; ++k) {
            m[k] = _ptz_WH_M[s][k];
            ASSERT_TRUE(m[k] >= 16766231u && m[k] <= 16770647u && _ptz_WH_A[s][k] < 128) << s;
            ASSERT_TRUE(is_prime_with_primitive_root(_ptz_WH_A[s][k], m[k])) << s << " " << k;
            ASSERT_EQ(_ptzdWH_IM_Tab[s][k], 1.0 / double(m[k])) << s;
        }
        std::sort(m.begin(), m.end());
        ASSERT_TRUE(std::adjacent_find(m.begin(), m.end()) == m.end()) << s;
        ASSERT_TRUE(rows.insert(m).second) << "row " << s << " repeats an earlier one";
    }
}

}  // namespace
