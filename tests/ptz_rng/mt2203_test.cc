// The MT2203 generator over its published parameter rows (0, 1, 2, 6023),
// built into this test with a table holding only those rows, against a
// word-by-word reference.
#include <gtest/gtest.h>

#include <vector>

#include "ptz/brng/mt2203.h"
#include "ptz/streams/stream.h"

namespace {

const uint32_t kRows[4][3] = {{0xAF81055Fu, 0xDD7EEF80u, 0xEFD78000u}, {0x832604E1u, 0x66AD7F80u, 0xEBD58000u},
                              {0x92F70739u, 0x656D7780u, 0xEFC50000u}, {0xE8761D4Bu, 0x72967680u, 0xEFEB0000u}};

}  // namespace

const uint32_t* ptz::mt2203_parameters(int32_t s) { return kRows[s == 6023 ? 3 : s]; }

namespace {

struct RefMt2203 {
    uint32_t mt[69], a, b, c;
    int i = 69;
    RefMt2203(int sub, const std::vector<uint32_t>& key)
        : a(ptz::mt2203_parameters(sub)[0]), b(ptz::mt2203_parameters(sub)[1]), c(ptz::mt2203_parameters(sub)[2]) {
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

// A stream record of sub-generator `sub` (308 bytes, as the table row gives).
struct Stream {
    alignas(16) uint8_t bytes[308];
    RngStream* s() { return reinterpret_cast<RngStream*>(bytes); }
    explicit Stream(int32_t sub) { s()->brng = PTZ_BRNG_MT2203 + sub; }
};

TEST(Mt2203, MatchesReferenceForEachPublishedRow) {
    std::vector<uint32_t> firsts;
    for (int32_t sub : {0, 1, 2, 6023}) {
        const std::vector<uint32_t> key = {0x123, 0x234, 0x345, 0x456};
        Stream st(sub);
        ASSERT_EQ(__ptzBRngMT2203InitStream(0, st.s(), 4, key.data()), 0);
        RefMt2203 ref(sub, key);
        std::vector<uint32_t> w(200);
        for (int32_t n : {1, 3, 68, 69, 70, 5, 200, 2}) {
            ASSERT_EQ(__ptziBRngMT2203(st.s(), n, w.data()), 0);
            for (int32_t k = 0; k < n; ++k) ASSERT_EQ(w[size_t(k)], ref.next()) << sub << " " << n;
        }
        double d[20];
        ASSERT_EQ(__ptzdBRngMT2203(st.s(), 20, d, 1.0, 2.0), 0);
        for (double v : d) EXPECT_EQ(v, 1.0 + ref.next() * 2.3283064365386963e-10);
        firsts.push_back(w[0]);
        EXPECT_EQ(__ptzBRngMT2203InitStream(1, st.s(), 2, key.data()), -1002);
        EXPECT_EQ(__ptzBRngMT2203InitStream(2, st.s(), 2, key.data()), -1003);
        EXPECT_EQ(__ptzBRngMT2203InitStream(5, st.s(), 2, key.data()), -2);
    }
    for (size_t i = 1; i < firsts.size(); ++i) EXPECT_NE(firsts[i], firsts[i - 1]);
}

}  // namespace
