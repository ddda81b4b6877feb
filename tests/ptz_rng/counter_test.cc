// Counter-based generators against Random123's blocks (random keys and counters,
// carries, request sizes, skip-ahead to any word), their images, and the statuses
// of the AES and hardware-random rows, forced through the platform's hooks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "ptz_rng/stream_helpers.h"

void philox_oracle(const uint32_t key[2], const uint32_t ctr[4], uint32_t out[4]);
void ars5_oracle(const uint32_t key[4], const uint32_t ctr[4], uint32_t out[4]);

namespace {

constexpr uint32_t kAesBit = 1u << 25, kRdrandBit = 1u << 30;

struct CounterCase {
    int32_t id, key_words;
    void (*oracle)(const uint32_t*, const uint32_t*, uint32_t*);
};
const CounterCase kCases[] = {{PTZ_BRNG_PHILOX4X32X10, 2, philox_oracle}, {PTZ_BRNG_ARS5, 4, ars5_oracle}};
bool runnable(const CounterCase& c) { return c.id != PTZ_BRNG_ARS5 || __ptzCPUisAES(); }

// Word i of the stream seeded with key and counter words (missing ones 0):
// word i % 4 of the block at counter + i / 4, carried over 128 bits.
uint32_t oracle_word(const CounterCase& c, const std::vector<uint32_t>& seed, uint64_t i) {
    uint32_t w[8] = {};
    std::copy(seed.begin(), seed.end(), w);
    uint32_t* ctr = w + c.key_words;
    const uint64_t lo = (ctr[0] | uint64_t(ctr[1]) << 32) + i / 4;
    const uint64_t hi = (ctr[2] | uint64_t(ctr[3]) << 32) + (lo < i / 4);
    for (int k = 0; k < 2; ++k) ctr[k] = uint32_t(lo >> (32 * k)), ctr[k + 2] = uint32_t(hi >> (32 * k));
    uint32_t out[4];
    c.oracle(w, ctr, out);
    return out[i % 4];
}

// No seed, a short one, random keys and counters, then counters a few blocks
// below a carry out of word 0, out of the low 64 bits and out of all 128.
std::vector<std::vector<uint32_t>> seeds_for(const CounterCase& c) {
    std::mt19937 rng(c.id);
    std::vector<std::vector<uint32_t>> seeds = {{}, {0x12345678}};
    const uint32_t m = 0xFFFFFFFF, carries[3][4] = {{m - 5, 7, 9, 11}, {m - 2, m, 3, 0}, {m - 9, m, m, m}};
    for (int k = 0; k < 9; ++k) {
        std::vector<uint32_t> s(size_t(c.key_words) + 4);
        for (uint32_t& w : s) w = rng();
        if (k >= 6) std::copy(carries[k - 6], carries[k - 6] + 4, s.end() - 4);
        seeds.push_back(s);
    }
    return seeds;
}

// Integer words in requests of many sizes (word 0 of a block, partial blocks,
// whole SIMD groups), and the float and double forms, a + (b - a) w 2^-32.
TEST(CounterBased, BlocksEqualRandom123AcrossCarriesAndRequestSizes) {
    constexpr int32_t kSizes[] = {1, 3, 2, 4, 7, 8, 13, 24, 25, 50, 101, 255, 256, 257};
    std::vector<uint32_t> got(257);
    std::vector<double> d(300);
    for (const CounterCase& c : kCases) {
        if (!runnable(c)) continue;
        for (const std::vector<uint32_t>& seed : seeds_for(c)) {
            StreamHolder h{new_stream(c.id, seed)}, hs{new_stream(c.id, seed)};
            uint64_t at = 0;
            for (int32_t n : kSizes) {
                ASSERT_EQ(props(h.s).iBRng(h.s, n, got.data()), 0);
                for (int32_t i = 0; i < n; ++i, ++at) ASSERT_EQ(got[i], oracle_word(c, seed, at)) << c.id << ' ' << at;
            }
            ASSERT_EQ(props(h.s).initStream(0, h.s, int32_t(seed.size()), seed.data()), 0);  // from the start
            std::vector<float> fs(300);
            ASSERT_TRUE(props(h.s).dBRng(h.s, 300, d.data(), -3.0, 5.0) == 0 &&
                        props(hs.s).sBRng(hs.s, 300, fs.data(), -3.0f, 5.0f) == 0);
            for (int i = 0; i < 300; ++i) {
                const double u = oracle_word(c, seed, uint64_t(i)) * 0x1p-32;
                ASSERT_TRUE(d[i] == -3.0 + 8.0 * u && fs[i] == float(-3.0 + 8.0 * u)) << c.id << ' ' << i;
            }
        }
    }
}

// After k words drawn, skipping d makes the next word number k + d; without a
// seed key and counter are 0 (so skipping 5 and drawing 3 gives words 5..7).
TEST(CounterBased, SkipAheadReachesAnyWordAndLeapfrogIsRefused) {
    constexpr uint64_t kSkips[] = {0, 1, 2, 3, 4, 5, 7, 1000, (uint64_t(1) << 40) + 5, (uint64_t(1) << 62) + 3};
    for (const CounterCase& c : kCases) {
        if (!runnable(c)) continue;
        for (const std::vector<uint32_t>& seed : {std::vector<uint32_t>{}, seeds_for(c)[4], seeds_for(c)[9]}) {
            for (int32_t k : {0, 1, 3, 4}) {
                for (uint64_t d : kSkips) {
                    StreamHolder h{new_stream(c.id, seed)};
                    uint32_t w[9];
                    ASSERT_EQ(k ? props(h.s).iBRng(h.s, k, w) : 0, 0);
                    ASSERT_EQ(__ptzSkipAheadStream(h.s, int64_t(d)), 0);
                    ASSERT_EQ(props(h.s).iBRng(h.s, 9, w), 0);
                    for (int i = 0; i < 9; ++i)
                        ASSERT_EQ(w[i], oracle_word(c, seed, uint64_t(k) + d + i)) << c.id << ' ' << k << " " << d;
                }
            }
        }
    }
}

std::vector<uint8_t> save_m(const RngStream* s) {
    std::vector<uint8_t> image(size_t(__ptzGetStreamSize(s)));
    EXPECT_EQ(__ptzSaveStreamM(s, image.data()), 0);
    return image;
}

// Rows and images: a stream stopped inside a block continues in its copy and
// in its loaded image; the image's state field is stateSize - 16.
TEST(CounterBased, RowsCopiesAndImagesContinueInsideABlock) {
    using Row = std::array<int32_t, 4>;
    for (auto [id, state, seeds, zero] : {Row{PTZ_BRNG_NONDETERM, 24, 1, 0}, {PTZ_BRNG_ARS5, 68, 8, 1},
                                          {PTZ_BRNG_PHILOX4X32X10, 60, 8, 1}}) {
        BrngProperties p{};
        EXPECT_TRUE(__ptzGetBrngProperties(id, &p) == 0 && __ptzGetBrngProperties(id + 1, &p) == -1000);
        EXPECT_EQ(std::vector<int32_t>({p.stateSize, p.seedWords, p.includesZero, p.wordSize, p.nBits}),
                  std::vector<int32_t>({state, seeds, zero, 4, 32})) << std::hex << id;
    }
    for (const CounterCase& c : kCases) {
        if (!runnable(c)) continue;
        StreamHolder h{new_stream(c.id, seeds_for(c)[3])}, copy, loaded;
        words(h.s, 3);
        EXPECT_EQ(__ptzLeapfrogStream(h.s, 0, 2), -1002);
        const std::vector<uint8_t> image = save_m(h.s);
        ASSERT_EQ(__ptzCopyStream(&copy.s, h.s), 0);
        ASSERT_EQ(__ptzLoadStreamM(&loaded.s, image.data()), 0);
        const std::vector<uint8_t> next = words(h.s, 11);
        EXPECT_TRUE(words(copy.s, 11) == next && words(loaded.s, 11) == next) << c.id;
    }
}

// Each output form, skip-ahead where the row has it, uniform bits and loading
// an image fail with the row's status when the instruction is absent;
// creation and leapfrog's refusal do not depend on it.
TEST(CounterBased, MissingInstructionsGiveTheirStatuses) {
    const bool aes = __CPUisAES();
    using Row = std::tuple<int32_t, uint32_t, int32_t>;
    for (auto [id, bit, status] : {Row{PTZ_BRNG_ARS5, kAesBit, -1140}, {PTZ_BRNG_NONDETERM, kRdrandBit, -1130}}) {
        StreamHolder h{new_stream(id)}, loaded;
        const std::vector<uint8_t> image = save_m(h.s);
        orvu_serv_test_withhold_cpu_features(bit);
        EXPECT_EQ(id == PTZ_BRNG_ARS5 ? __ptzCPUisAES() : __ptzCPUisRDRAND(), 0);
        EXPECT_EQ(__CPUisAES(), aes);  // the raw bit stays
        uint32_t w[4];
        double d[4];
        float f[4];
        EXPECT_EQ(props(h.s).iBRng(h.s, 4, w), status);
        EXPECT_EQ(props(h.s).dBRng(h.s, 4, d, 0.0, 1.0), status);
        EXPECT_EQ(props(h.s).sBRng(h.s, 4, f, 0.0f, 1.0f), status);
        EXPECT_EQ(_ptziRngUniformBits32(0, h.s, 4, w), status);
        EXPECT_EQ(__ptzSkipAheadStream(h.s, 4), id == PTZ_BRNG_ARS5 ? status : -1003);
        EXPECT_EQ(__ptzLeapfrogStream(h.s, 0, 2), -1002);
        EXPECT_EQ(__ptzLoadStreamM(&loaded.s, image.data()), status);
        EXPECT_EQ(loaded.s, nullptr);
        StreamHolder fresh;
        EXPECT_EQ(__ptzNewStreamEx(&fresh.s, id, 0, nullptr), 0);
        orvu_serv_test_withhold_cpu_features(0);
    }
}

// The retry limit is seed word 1 when given and not 0, else 10: that many
// failed requests of a pair (or of an odd last word) are survived, one more
// ends the output with -1131. Doubles take 64 bits each, u = bits 2^-64.
TEST(Nondeterm, RetryLimitAndOutputs) {
    if (!__ptzCPUisRDRAND()) GTEST_SKIP() << "no hardware random instruction";
    struct Case { std::vector<uint32_t> seed; uint32_t limit; };
    for (const Case& c : {Case{{}, 10}, Case{{1, 0}, 10}, Case{{1, 3}, 3}, Case{{9, 25, 4}, 25}}) {
        StreamHolder h{new_stream(PTZ_BRNG_NONDETERM, c.seed)};
        for (int32_t n : {1, 2, 5}) {
            uint32_t w[5];
            orvu_serv_test_fail_hw_random(int32_t(c.limit));
            EXPECT_EQ(__ptziBRngTRNG(h.s, n, w), 0) << c.limit;
            orvu_serv_test_fail_hw_random(int32_t(c.limit) + 1);
            EXPECT_EQ(__ptziBRngTRNG(h.s, n, w), -1131) << c.limit;
        }
    }
    StreamHolder h{new_stream(PTZ_BRNG_NONDETERM)};
    std::vector<double> d(4000);
    std::vector<float> f(4000);
    ASSERT_EQ(__ptzdBRngTRNG(h.s, 4000, d.data(), 2.0, 3.0) + __ptzsBRngTRNG(h.s, 4000, f.data(), -1.0f, 1.0f), 0);
    for (int i = 0; i < 4000; ++i) ASSERT_TRUE(d[i] >= 2.0 && d[i] <= 3.0 && f[i] >= -1.0f && f[i] <= 1.0f) << i;
    // Bits below 2^-32 of the interval appear only when doubles take 64 bits.
    EXPECT_TRUE(std::any_of(d.begin(), d.end(), [](double x) { return std::fmod((x - 2.0) * 0x1p32, 1.0) != 0; }));
}

}  // namespace
