// The five basic generators against plain references (raw words, float and
// double outputs, request sizes, alignments), published values, seeding,
// skip-ahead, leapfrog, the WH tables; the registry and sizes from integers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <set>

#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"
#include "ptz_rng/reference.h"
#include "ptz_rng/stream_helpers.h"

namespace {

// The reference's next n words as bytes (returns the byte count) and units.
using RefFn = std::function<size_t(int32_t n, uint8_t* words, double* units)>;

template <class R, int... Set>
RefFn make_ref(const ref::Seed& seed) {
    auto r = std::make_shared<R>(Set..., seed);
    return [r](int32_t n, uint8_t* words, double* units) {
        size_t at = 0;
        for (int32_t i = 0; i < n; ++i) {
            const auto w = r->next();
            std::memcpy(words + at, &w, sizeof w);
            at += sizeof w, units[i] = r->unit(w);
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

const std::vector<GenCase> kCases = [] {
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

// Raw words for request sizes around the block widths (8 lanes, 250-word
// register, 256 block) into a buffer that is only 4-byte aligned; float and
// double outputs a + (b - a) u, evaluated in double, over three intervals.
TEST(Generators, OutputsFollowTheRecurrenceForEverySizeAlignmentAndInterval) {
    constexpr int32_t kSizes[] = {1, 3, 7, 8, 9, 16, 249, 250, 251, 255, 256, 257, 499, 500, 1001, 2053};
    std::vector<uint8_t> got(16 * 2053 + 4), want(16 * 2053);
    std::vector<double> u(2053), d(2053);
    std::vector<float> f(2053);
    for (const GenCase& c : kCases) {
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
                    ASSERT_EQ(d[i], a + (b - a) * u[i]) << c.name << " i=" << i;
                    ASSERT_EQ(f[i], float(fa + (fb - fa) * u[i])) << c.name << " i=" << i;
                }
            }
        }
    }
}

// Powers with exponents above 32 bits: a^(k (p - 1)) = 1 for prime p (Fermat),
// the multiplier's order mod 2^59 divides 2^57 (a dropped high word breaks
// both). Skipping d equals drawing d and discarding them (2^40 + 5 cannot be
// drawn: skipping 2^40, then drawing 5); stream k of 5 after leapfrog takes
// outputs k, k + 5, ...; unsupported methods give their codes.
TEST(Generators, PowersSkipAheadAndLeapfrog) {
    EXPECT_EQ(__ptziPowMod(125, uint64_t(16770646) << 20, 16770647), 1u);
    EXPECT_NE(__ptziPowMod(125, (uint64_t(16770646) << 20) + 1, 16770647), 1u);
    EXPECT_EQ(__ptziPowMod2P31M1(1132489760, uint64_t(2147483646) << 9), 1u);
    EXPECT_NE(__ptziPowMod2P31M1(1132489760, (uint64_t(2147483646) << 9) - 1), 1u);
    EXPECT_EQ(__ptziPowMod2P59(302875106592253ull, uint64_t(1) << 57), 1u);
    const int64_t big = int64_t(1) << 40;
    for (const GenCase& c : kCases) {
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
    constexpr uint64_t a1p76[3][3] = {{82758667, 1871391091, 4127413238}, {3672831523, 69195019, 1871391091},
                                      {3672091415, 3528743235, 69195019}};
    constexpr uint64_t a2p76[3][3] = {{1511326704, 3759209742, 1610795712}, {4292754251, 1511326704, 3889917532},
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

TEST(Registry, IdentifierValidityAndBuiltInRows) {
    struct IdCase { int32_t id; bool valid; };
    constexpr IdCase kIds[] = {
        {0x100000, true}, {0x100001, false}, {0x500000, true}, {0x500110, true}, {0x500111, false}, {0x400000, true},
        {0xA00000, true}, {0xB00000, true}, {0xC00000, true}, {0x600000, true}, {0x600001, false},  // SOBOL has one
        {0x800000, true}, {0x900000, true}, {0x901787, true}, {0x901788, false}, {0x1100000, false},  // not registered
        {0x7FFFFFFF, false},
        {0, true}, {3, true}, {4, true}, {276, true}, {277, true}, {278, true}, {279, false}, {280, false},
        {281, false}, {-1, false}, {INT32_MIN, false},
    };
    BrngProperties p{}, foreign[1] = {};
    for (const IdCase& c : kIds) EXPECT_EQ(__ptzGetBrngProperties(c.id, &p), c.valid ? 0 : -1000) << std::hex << c.id;
    EXPECT_EQ(__ptzIsBrngValid(foreign, 0, 0), -1000);
    struct RowCase { int32_t id, state, seeds, zero, word, bits; };
    constexpr RowCase kRows[] = {
        {0x100000, 24, 1, 0, 4, 31}, {0x200000, 1024, 252, 1, 4, 32}, {0x300000, 40, 6, 1, 4, 32},
        {0x400000, 32, 1, 0, 8, 59}, {0x500000, 48, 4, 1, 16, 24},
    };
    for (const RowCase& r : kRows) {
        ASSERT_EQ(__ptzGetBrngProperties(r.id, &p), 0);
        EXPECT_EQ(std::vector<int32_t>({p.stateSize, p.seedWords, p.includesZero, p.wordSize, p.nBits}),
                  std::vector<int32_t>({r.state, r.seeds, r.zero, r.word, r.bits})) << std::hex << r.id;
    }
    for (auto [id, size] : {std::pair{0xA00000, 36}, {0xB00000, 52}, {0xC00000, 44}})  // records holding pointers
        EXPECT_TRUE(__ptzGetBrngProperties(id, &p) == 0 && (sizeof(void*) != 4 || p.stateSize == size)) << id;
}

// MCG59 bits, the top 32 of each 59: 5000 32-bit results (blocks 2048, 2048, 904),
// 3000 64-bit ones pairing outputs low half first. Four generators have none.
TEST(Registry, UniformBits) {
    StreamHolder s{new_stream(PTZ_BRNG_MCG59)}, t{new_stream(PTZ_BRNG_MCG59)};
    std::vector<uint32_t> bits(5000);
    std::vector<uint64_t> wide(3000), raw(11000);
    ASSERT_EQ(_ptziRngUniformBits32(0, s.s, 5000, bits.data()), 0);
    ASSERT_EQ(_ptziRngUniformBits64(0, s.s, 3000, wide.data()), 0);
    ASSERT_EQ(_ptziRngUniformBits(0, t.s, 11000, raw.data()), 0);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(bits[i], uint32_t(raw[i] >> 27)) << i;
    for (int k = 0; k < 3000; ++k)
        ASSERT_EQ(wide[k], (raw[5000 + 2 * k] >> 27) | ((raw[5001 + 2 * k] >> 27) << 32)) << k;
    for (int32_t id : {PTZ_BRNG_MCG31, PTZ_BRNG_R250, PTZ_BRNG_MRG32K3A, PTZ_BRNG_WH}) {
        StreamHolder h{new_stream(id)};
        EXPECT_TRUE(_ptziRngUniformBits32(0, h.s, 4, bits.data()) == -1014 &&
                    _ptziRngUniformBits64(0, h.s, 4, wide.data()) == -1014) << id;
    }
}

// Registration changes the process-wide table for good: one test covers it
// all, with a user generator that counts from 100.
TEST(Registry, RegistrationChecksInOrderThenAppendsUntilFull) {
    PtzInitStreamFn init = [](int32_t method, RngStream* s, int32_t, const void*) {
        if (method == 0) *ptz::state_as<uint32_t>(s) = 100;
        return method == 0 ? 0 : -2;
    };
    PtzIBRngFn ints = [](RngStream* s, int32_t n, void* r) {
        for (int32_t i = 0; i < n; ++i) static_cast<uint32_t*>(r)[i] = (*ptz::state_as<uint32_t>(s))++;
        return 0;
    };
    PtzSBRngFn sf = [](RngStream*, int32_t, float*, float, float) { return 0; };
    PtzDBRngFn df = [](RngStream*, int32_t, double*, double, double) { return 0; };
    const BrngProperties good{20, 1, 1, 4, 32, init, sf, df, ints};
    struct Bad { BrngProperties p; int32_t status; };
    const Bad kBad[] = {
        {{-1, 0, 0, 12, 0, nullptr, nullptr, nullptr, nullptr}, -1008}, {{20, 0, 1, 12, 32, init, sf, df, ints}, -1009},
        {{20, 0, 1, 4, 32, init, sf, df, ints}, -1010}, {{20, 1, 1, 8, 0, init, sf, df, ints}, -1011},
        {{20, 1, 1, 16, 32, init, sf, nullptr, ints}, -5}, {{20, 1, 1, 4, 32, nullptr, sf, df, ints}, -5},
    };
    for (const Bad& b : kBad) EXPECT_EQ(__ptzRegisterBrng(&b.p), b.status);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 16);
    ASSERT_EQ(__ptzRegisterBrng(&good), 0x1100000);
    StreamHolder h{new_stream(0x1100000)}, w;
    uint32_t bits[3];
    ASSERT_EQ(_ptziRngUniformBits32(0, h.s, 3, bits), 0);  // a full 32-bit word serves as bits
    EXPECT_EQ(bits[2], 102u);
    EXPECT_EQ(__ptzNewStreamEx(&w.s, 0x1100001, 0, nullptr), -1000);
    BrngProperties other = good;
    other.stateSize = 0;  // accepted
    ASSERT_EQ(__ptzRegisterBrng(&other), 0x1200000);
    other = good;
    other.wordSize = 8;
    ASSERT_EQ(__ptzNewStreamEx(&w.s, __ptzRegisterBrng(&other), 0, nullptr), 0);
    EXPECT_EQ(_ptziRngUniformBits32(0, w.s, 3, bits), -1014);  // not a full 32-bit word
    while (__ptzGetNumRegBrngs() < 512) ASSERT_GT(__ptzRegisterBrng(&good), 0);
    EXPECT_EQ(__ptzRegisterBrng(&good), -4);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 512);
    BrngProperties p{};
    EXPECT_EQ(__ptzGetBrngProperties(512 * 0x100000, &p), 0);
    EXPECT_EQ(__ptzGetBrngProperties(513 * 0x100000, &p), -1000);
}

// count * unit + extra from caller integers is checked against the type the
// size goes to: a service-layer block (uint32), a reported size (int32) or an
// extent of the caller's memory (size_t, 32 bits on i386).
TEST(Registry, StreamRecordAndSizesFromCallerIntegers) {
    struct SizeCase { int64_t count, unit, extra; bool u32, i32, wide; };
    constexpr SizeCase kSizes[] = {
        {0x7FFFFFFF, 2, 1, true, false, true}, {0x7FFFFFFF, 2, 2, false, false, sizeof(size_t) > 4},
        {0x7FFFFFFF, 1, 0, true, true, true},  {0x10000000, 16, 0, false, false, sizeof(size_t) > 4},
        {-1, 1, 0, false, false, false},       {1, 1, -1, false, false, false},
    };
    for (const SizeCase& c : kSizes) {
        uint32_t u = 0;
        int32_t i = 0;
        size_t z = 0;
        EXPECT_EQ(std::vector<bool>({ptz::checked_size(c.count, c.unit, c.extra, &u),
                                     ptz::checked_size(c.count, c.unit, c.extra, &i),
                                     ptz::checked_size(c.count, c.unit, c.extra, &z)}),
                  std::vector<bool>({c.u32, c.i32, c.wide})) << c.count << " " << c.unit << " " << c.extra;
        EXPECT_EQ(u, c.u32 ? uint32_t(c.count * c.unit + c.extra) : 0u);
    }
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t id : {0xA00000, 0xB00000, 0xC00000, 0x600001, 280, -5}) {
        RngStream* s = nullptr;
        EXPECT_EQ(__ptzNewStreamEx(&s, id, 0, nullptr), -1000) << std::hex << id;
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);  // refused before allocating
    StreamHolder h{new_stream(0x500007)};
    EXPECT_EQ(reinterpret_cast<uintptr_t>(h.s) % 128, 0u);
    EXPECT_TRUE(__ptzGetStreamStateBrng(h.s) == 0x500007 && h.s->created == 1 && h.s->chunks == nullptr);
    EXPECT_EQ(__ptzGetStreamSize(h.s), 48);
    ASSERT_EQ(__ptzAddChunk(h.s, 3, nullptr, block_of(100, 0), 100), 0);
    EXPECT_EQ(__ptzGetStreamSize(h.s), 48 + 100 + 24);
    EXPECT_EQ(__ptzAddChunk(h.s, 1, nullptr, nullptr, -1), -3);
    for (int k = 0; k < 2; ++k) ASSERT_EQ(__ptzAddChunk(h.s, 1, nullptr, nullptr, 0x7FFFFFF0), 0);
    EXPECT_EQ(__ptzGetStreamSize(h.s), -4);  // the image would pass INT32_MAX bytes
    __ptzDeleteChunks(h.s);
    if (sizeof(size_t) == 4) {  // requests whose results could not fit in memory: nothing written
        uint32_t guard[4] = {};
        EXPECT_EQ(__ptziBRngWH(h.s, 1 << 28, guard), -3);
        EXPECT_EQ(__ptzdBRngWH(h.s, 1 << 29, reinterpret_cast<double*>(guard), 0, 1), -3);
        EXPECT_EQ(_ptziRngUniformBits64(0, h.s, 1 << 29, reinterpret_cast<uint64_t*>(guard)), -3);
        RngStream* a = nullptr;
        auto none = [](RngStream*, int32_t*, double*, int32_t*, int32_t*, int32_t*) { return 0; };
        EXPECT_EQ(__ptzdNewAbstractStream(&a, 1 << 29, reinterpret_cast<double*>(guard), 0, 1, none), -3);
        EXPECT_EQ(guard[0], 0u);
    }
}

}  // namespace
