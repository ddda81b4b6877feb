// MT2203 against a word-by-word reference over published and generated
// parameter rows; the parameter table; statuses and stream images.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "ptz/brng/mt2203.h"
#include "ptz_rng/stream_helpers.h"

namespace {

struct RefMt2203 {
    uint32_t mt[69], a, b, c;
    int i = 69;
    RefMt2203(int sub, const std::vector<uint32_t>& key)
        : a(_ptz_mt2203_table[sub][0]), b(_ptz_mt2203_table[sub][1]), c(_ptz_mt2203_table[sub][2]) {
        mt[0] = 19650218u;
        for (uint32_t j = 1; j < 69; ++j) mt[j] = 1812433253u * (mt[j - 1] ^ (mt[j - 1] >> 30)) + j;
        const uint32_t n = uint32_t(key.size());
        uint32_t p = 1, q = 0;
        for (uint32_t k = std::max(69u, n); k; --k) {
            mt[p] = (mt[p] ^ ((mt[p - 1] ^ (mt[p - 1] >> 30)) * 1664525u)) + key[q] + q;
            if (++p >= 69) mt[0] = mt[68], p = 1;
            if (++q >= n) q = 0;
        }
        for (uint32_t k = 68; k; --k) {
            mt[p] = (mt[p] ^ ((mt[p - 1] ^ (mt[p - 1] >> 30)) * 1566083941u)) - p;
            if (++p >= 69) mt[0] = mt[68], p = 1;
        }
        mt[0] = 0x80000000u;
    }
    uint32_t next() {
        if (i == 69) {
            for (int k = 0; k < 69; ++k) {
                const uint32_t x = (mt[k] & 0xFFFFFFE0u) | (mt[(k + 1) % 69] & 0x1Fu);
                mt[k] = mt[(k + 34) % 69] ^ (x >> 1) ^ (x & 1 ? a : 0);
            }
            i = 0;
        }
        uint32_t y = mt[i++];
        y ^= y >> 12;
        y ^= (y << 7) & b;
        y ^= (y << 15) & c;
        return y ^ (y >> 18);
    }
};

std::vector<uint32_t> draw(RngStream* s, int32_t n) {
    std::vector<uint32_t> w(static_cast<size_t>(n));
    EXPECT_EQ(__ptziBRngMT2203(s, n, w.data()), 0);
    return w;
}

TEST(Mt2203, MatchesReferenceInAnyRequestSizes) {
    const std::vector<uint32_t> key = {0x123, 0x234, 0x345, 0x456};
    for (int32_t sub : {0, 1, 2, 3, 4000, 6022, 6023}) {
        StreamHolder h{new_stream(PTZ_BRNG_MT2203 + sub, key)};
        RefMt2203 ref(sub, key);
        for (int32_t n : {1, 3, 68, 69, 70, 5, 200, 2})
            for (uint32_t w : draw(h.s, n)) ASSERT_EQ(w, ref.next()) << sub << " " << n;
        double d[20];
        ASSERT_EQ(__ptzdBRngMT2203(h.s, 20, d, 1.0, 2.0), 0);
        for (double v : d) EXPECT_EQ(v, 1.0 + ref.next() * 2.3283064365386963e-10);
    }
}

// The published rows as they stand, every row distinct, and the checksum the
// table tool wrote (the same fold of all rows in order).
TEST(Mt2203, ParameterTable) {
    const uint32_t fixed[4][3] = {{0xAF81055Fu, 0xDD7EEF80u, 0xEFD78000u}, {0x832604E1u, 0x66AD7F80u, 0xEBD58000u},
                                  {0x92F70739u, 0x656D7780u, 0xEFC50000u}, {0xE8761D4Bu, 0x72967680u, 0xEFEB0000u}};
    const int sub[4] = {0, 1, 2, 6023};
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(std::equal(fixed[q], fixed[q] + 3, _ptz_mt2203_table[sub[q]])) << sub[q];
    std::vector<std::array<uint32_t, 3>> rows(6024);
    uint64_t sum = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const uint32_t* r = _ptz_mt2203_table[i];
        rows[i] = {r[0], r[1], r[2]};
        sum = sum * 0x100000001B3ull ^ r[0] ^ (uint64_t(r[1]) << 21) ^ (uint64_t(r[2]) << 42);
    }
    EXPECT_EQ(sum, 0xD88A732A35E615CDull);
    std::sort(rows.begin(), rows.end());
    EXPECT_TRUE(std::adjacent_find(rows.begin(), rows.end()) == rows.end());
}

TEST(Mt2203, SubGeneratorsStatusesAndImages) {
    BrngProperties p{};
    EXPECT_EQ(__ptzGetBrngProperties(0x901787, &p), 0);
    EXPECT_EQ(__ptzGetBrngProperties(0x901788, &p), -1000);
    std::vector<std::vector<uint32_t>> firsts;
    for (int32_t sub = 0; sub < 6024; sub += 401) {
        StreamHolder h{new_stream(PTZ_BRNG_MT2203 + sub, {7})};
        firsts.push_back(draw(h.s, 4));
        EXPECT_EQ(__ptzSkipAheadStream(h.s, 5), -1003);
        EXPECT_EQ(__ptzLeapfrogStream(h.s, 0, 2), -1002);
        EXPECT_EQ(p.initStream(5, h.s, 0, nullptr), -2);
        draw(h.s, 100);  // mid-block
        StreamHolder loaded;
        std::vector<uint8_t> image(size_t(__ptzGetStreamSize(h.s)));
        ASSERT_EQ(image.size(), 308u);
        ASSERT_EQ(__ptzSaveStreamM(h.s, image.data()), 0);
        ASSERT_EQ(__ptzLoadStreamM(&loaded.s, image.data()), 0);
        EXPECT_EQ(draw(h.s, 300), draw(loaded.s, 300)) << sub;
    }
    std::sort(firsts.begin(), firsts.end());
    EXPECT_TRUE(std::adjacent_find(firsts.begin(), firsts.end()) == firsts.end());
}

}  // namespace
