// MT19937 and SFMT19937 against word-by-word references (checked against the
// generators' published outputs), skip-ahead against drawing, persistence,
// statuses; the GF(2) products against the schoolbook product.
#include <gtest/gtest.h>

#include <random>

#include "ptz/brng/twister_polys.h"
#include "ptz_rng/stream_helpers.h"

namespace {

// Plain MT19937: seeding by key, one word per call.
struct RefMt {
    uint32_t mt[624];
    int i = 624;
    explicit RefMt(const std::vector<uint32_t>& key) {
        mt[0] = 19650218u;
        for (uint32_t j = 1; j < 624; ++j) mt[j] = 1812433253u * (mt[j - 1] ^ (mt[j - 1] >> 30)) + j;
        const uint32_t n = uint32_t(key.size());
        uint32_t a = 1, b = 0;
        for (uint32_t k = std::max(624u, n); k; --k) {
            mt[a] = (mt[a] ^ ((mt[a - 1] ^ (mt[a - 1] >> 30)) * 1664525u)) + key[b] + b;
            if (++a >= 624) mt[0] = mt[623], a = 1;
            if (++b >= n) b = 0;
        }
        for (uint32_t k = 623; k; --k) {
            mt[a] = (mt[a] ^ ((mt[a - 1] ^ (mt[a - 1] >> 30)) * 1566083941u)) - a;
            if (++a >= 624) mt[0] = mt[623], a = 1;
        }
        mt[0] = 0x80000000u;
    }
    uint32_t next() {
        if (i == 624) {
            for (int k = 0; k < 624; ++k) {
                const uint32_t x = (mt[k] & 0x80000000u) | (mt[(k + 1) % 624] & 0x7FFFFFFFu);
                mt[k] = mt[(k + 397) % 624] ^ (x >> 1) ^ (x & 1 ? 0x9908B0DFu : 0);
            }
            i = 0;
        }
        uint32_t y = mt[i++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        return y ^ (y >> 18);
    }
};

// Plain SFMT19937 on 32-bit words, seeded by one word (init_gen_rand).
struct RefSfmt {
    uint32_t w[624];
    int i = 624;
    explicit RefSfmt(uint32_t seed) {
        w[0] = seed;
        for (uint32_t j = 1; j < 624; ++j) w[j] = 1812433253u * (w[j - 1] ^ (w[j - 1] >> 30)) + j;
        certify();
    }
    // The published array seeding, written out index by index.
    explicit RefSfmt(const std::vector<uint32_t>& key) {
        const uint32_t n = uint32_t(key.size()), mid = 306, lag = 11;
        std::fill(w, w + 624, 0x8B8B8B8Bu);
        auto f1 = [](uint32_t x) { return (x ^ (x >> 27)) * 1664525u; };
        auto f2 = [](uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; };
        uint32_t r = f1(w[0] ^ w[mid] ^ w[623]);
        w[mid] += r;
        r += n;
        w[mid + lag] += r;
        w[0] = r;
        uint32_t i = 1;
        for (uint32_t j = 0; j + 1 < std::max(n + 1, 624u); ++j, i = (i + 1) % 624) {
            r = f1(w[i] ^ w[(i + mid) % 624] ^ w[(i + 623) % 624]);
            w[(i + mid) % 624] += r;
            r += (j < n ? key[j] : 0) + i;
            w[(i + mid + lag) % 624] += r;
            w[i] = r;
        }
        for (uint32_t j = 0; j < 624; ++j, i = (i + 1) % 624) {
            r = f2(w[i] + w[(i + mid) % 624] + w[(i + 623) % 624]);
            w[(i + mid) % 624] ^= r;
            r -= i;
            w[(i + mid + lag) % 624] ^= r;
            w[i] = r;
        }
        certify();
    }
    void certify() {
        if (!__builtin_parity((w[0] & 1u) ^ (w[3] & 0x13C9E684u))) w[0] ^= 1;
    }
    uint32_t next() {
        static const uint32_t msk[4] = {0xDFFFFFEFu, 0xDDFECB7Fu, 0xBFFAFFFFu, 0xBFFFFFF6u};
        if (i == 624) {
            for (int k = 0; k < 156; ++k) {
                const uint32_t *a = w + 4 * k, *b = w + 4 * ((k + 122) % 156);
                const uint32_t *c = w + 4 * ((k + 154) % 156), *d = w + 4 * ((k + 155) % 156);
                uint32_t r[4];
                for (int q = 0; q < 4; ++q) {
                    const uint32_t x = (a[q] << 8) | (q ? a[q - 1] >> 24 : 0);  // a << 8 bits, 128-bit
                    const uint32_t z = (c[q] >> 8) | (q < 3 ? c[q + 1] << 24 : 0);
                    r[q] = a[q] ^ x ^ ((b[q] >> 11) & msk[q]) ^ z ^ (d[q] << 18);
                }
                std::memcpy(w + 4 * k, r, sizeof r);
            }
            i = 0;
        }
        return w[i++];
    }
};

TEST(Twister, ReferencesMatchPublishedOutputs) {
    RefMt mt({0x123, 0x234, 0x345, 0x456});
    for (uint32_t v : {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u}) EXPECT_EQ(mt.next(), v);
    RefSfmt sfmt(1234);
    for (uint32_t v : {3440181298u, 1564997079u, 1510669302u}) EXPECT_EQ(sfmt.next(), v);
}

std::vector<uint32_t> draw(RngStream* s, int64_t n) {
    std::vector<uint32_t> out(size_t(std::min<int64_t>(n, 1 << 20)));
    for (int64_t done = 0; done < n;) {
        const int32_t k = int32_t(std::min<int64_t>(n - done, int64_t(out.size())));
        props(s).iBRng(s, k, out.data());
        done += k;
    }
    return out;
}

uint32_t next_word(RngStream* s) {
    uint32_t w = 0;
    props(s).iBRng(s, 1, &w);
    return w;
}

TEST(Twister, Mt19937MatchesReferenceInAnyRequestSizes) {
    const std::vector<uint32_t> key = {0x123, 0x234, 0x345, 0x456};
    StreamHolder h;
    RngStream* s = h.s = new_stream(PTZ_BRNG_MT19937, key);
    RefMt ref(key);
    // Odd sizes cross block boundaries at every offset; the real outputs use
    // x * 2^-32 scaled into [a, b).
    std::vector<uint32_t> w(700);
    for (int32_t n : {1, 3, 623, 700, 5, 624, 2}) {
        ASSERT_EQ(__ptziBRngMT19937(s, n, w.data()), 0);
        for (int32_t k = 0; k < n; ++k) ASSERT_EQ(w[size_t(k)], ref.next()) << n;
    }
    double d[50];
    float f[50];
    RefMt r2 = ref;
    ASSERT_EQ(__ptzdBRngMT19937(s, 50, d, -1.0, 3.0), 0);
    for (double v : d) EXPECT_EQ(v, -1.0 + 4.0 * (r2.next() * 2.3283064365386963e-10));
    ASSERT_EQ(__ptzsBRngMT19937(s, 50, f, 2.0f, 2.5f), 0);
    for (float v : f) EXPECT_EQ(v, float(r2.next() * (0.5 * 2.3283064365386963e-10) + 2.0));
}

TEST(Twister, Sfmt19937MatchesReferenceInAnyRequestSizes) {
    for (const std::vector<uint32_t>& key : {std::vector<uint32_t>{}, {0x1234, 0x5678, 0x9ABC, 0xDEF0}}) {
        StreamHolder h;
        RngStream* s = h.s = new_stream(PTZ_BRNG_SFMT19937, key);
        RefSfmt ref(key.empty() ? std::vector<uint32_t>{1} : key);
        std::vector<uint32_t> w(700);
        for (int32_t n : {1, 3, 2, 623, 700, 5, 624, 7, 6, 4}) {
            ASSERT_EQ(__ptziBRngSFMT19937(s, n, w.data()), 0);
            for (int32_t k = 0; k < n; ++k) ASSERT_EQ(w[size_t(k)], ref.next()) << n;
        }
    }
}

TEST(Twister, Mt19937Seeding) {
    StreamHolder a, b, c;
    a.s = new_stream(PTZ_BRNG_MT19937);
    b.s = new_stream(PTZ_BRNG_MT19937, {1});
    c.s = new_stream(PTZ_BRNG_MT19937, {5489});
    const uint32_t wa = next_word(a.s);
    EXPECT_EQ(wa, next_word(b.s));
    EXPECT_NE(wa, next_word(c.s));
}

struct Gen {
    int32_t id;
    std::vector<uint32_t> seed;
};
const Gen kGens[] = {{PTZ_BRNG_MT19937, {7, 8, 9}}, {PTZ_BRNG_SFMT19937, {7, 8, 9}}};

int32_t skip(RngStream* s, uint64_t d) { return __ptzSkipAheadStream(s, int64_t(d)); }

// Skip-ahead by d equals drawing d words, from several positions in a block.
TEST(Twister, SkipAheadEqualsDrawing) {
    const uint64_t ds[] = {0, 1, 3, 623, 624, 625, 19936, 19937, 19968, 20600, 1000000};
    for (const Gen& g : kGens)
        for (int32_t start : {0, 1, 2, 500, 623}) {
            StreamHolder base;
            base.s = new_stream(g.id, g.seed);
            draw(base.s, start);
            for (uint64_t d : ds) {
                RngStream* a = nullptr;
                RngStream* b = nullptr;
                ASSERT_EQ(__ptzCopyStream(&a, base.s), 0);
                ASSERT_EQ(__ptzCopyStream(&b, base.s), 0);
                ASSERT_EQ(skip(a, d), 0);
                draw(b, int64_t(d));
                EXPECT_EQ(draw(a, 1300), draw(b, 1300)) << std::hex << g.id << std::dec << " start " << start << " d " << d;
                __ptzDeleteStream(&a);
                __ptzDeleteStream(&b);
            }
        }
}

TEST(Twister, LargeSkipsComposeAndMatchDrawing) {
    for (const Gen& g : kGens) {
        StreamHolder a, b, c;
        a.s = new_stream(g.id, g.seed), b.s = new_stream(g.id, g.seed), c.s = new_stream(g.id, g.seed);
        draw(a.s, 5), draw(b.s, 5), draw(c.s, 5);
        const uint64_t big = (uint64_t(1) << 32) + 17;
        ASSERT_EQ(skip(a.s, big), 0);
        if (g.id == PTZ_BRNG_MT19937) {  // one jump of 2^26 + 17 against drawing that many words
            StreamHolder d, e;
            d.s = new_stream(g.id, g.seed), e.s = new_stream(g.id, g.seed);
            ASSERT_EQ(skip(d.s, (uint64_t(1) << 26) + 17), 0);
            draw(e.s, (int64_t(1) << 26) + 17);
            EXPECT_EQ(draw(d.s, 700), draw(e.s, 700));
        }
        ASSERT_EQ(skip(b.s, big - 1000), 0);
        draw(b.s, 1000);
        EXPECT_EQ(draw(a.s, 700), draw(b.s, 700));
        // 2^64 - 1 in one jump and as 2^63 + (2^63 - 1).
        ASSERT_EQ(skip(a.s, ~uint64_t(0)), 0);
        ASSERT_EQ(skip(c.s, big + 700), 0);
        ASSERT_EQ(skip(c.s, uint64_t(1) << 63), 0);
        ASSERT_EQ(skip(c.s, (uint64_t(1) << 63) - 1), 0);
        EXPECT_EQ(draw(a.s, 700), draw(c.s, 700));
    }
}

TEST(Twister, StatusesPersistenceAndFailedAllocation) {
    for (const Gen& g : kGens) {
        StreamHolder h, loaded;
        RngStream* s = h.s = new_stream(g.id, g.seed);
        const BrngProperties p = props(s);
        EXPECT_EQ(__ptzLeapfrogStream(s, 0, 2), -1002);
        EXPECT_EQ(p.initStream(3, s, 0, nullptr), -2);
        draw(s, 1001);  // mid-block, SFMT with spare words
        std::vector<uint8_t> image(size_t(__ptzGetStreamSize(s)));
        EXPECT_EQ(image.size(), size_t(p.stateSize));
        ASSERT_EQ(__ptzSaveStreamM(s, image.data()), 0);
        // Every allocation of a skip fails cleanly, the state unchanged.
        for (uint64_t d : {uint64_t(700), uint64_t(1) << 40}) {
            orvu_serv_test_fail_allocation(1);
            EXPECT_EQ(skip(s, d), -4);
            orvu_serv_test_fail_allocation(0);
            std::vector<uint8_t> again(image.size());
            __ptzSaveStreamM(s, again.data());
            EXPECT_EQ(again, image);
        }
        ASSERT_EQ(__ptzLoadStreamM(&loaded.s, image.data()), 0);
        EXPECT_EQ(draw(s, 2000), draw(loaded.s, 2000));
    }
}

// 2 n-word products through Toom-3 / Karatsuba equal the schoolbook product.
TEST(Twister, CarrylessProductsMatchSchoolbook) {
    std::mt19937_64 rnd(3);
    for (int32_t n : {1, 9, 17, 38, 39, 40, 100, 313}) {
        const size_t m = size_t(n);
        std::vector<uint64_t> a(m), b(m), r(2 * m), q(2 * m, 0);
        std::vector<uint64_t> ws(ptz::gf2::mul_workspace_words(n));
        for (auto& v : a) v = rnd();
        for (auto& v : b) v = rnd();
        for (int32_t i = 0; i < 64 * n; ++i)
            if ((a[size_t(i / 64)] >> (i % 64)) & 1)
                for (int32_t j = 0; j < n; ++j) {
                    q[size_t(j + i / 64)] ^= b[size_t(j)] << (i % 64);
                    if (i % 64) q[size_t(j + i / 64 + 1)] ^= b[size_t(j)] >> (64 - i % 64);
                }
        ptz::gf2::mul(a.data(), b.data(), n, r.data(), ws.data());
        EXPECT_EQ(r, q) << n;
        ptz::gf2::mul_portable(a.data(), b.data(), n, r.data(), ws.data());
        EXPECT_EQ(r, q) << n;
    }
}

TEST(Twister, PolynomialTables) {
    EXPECT_EQ(_ptz_mt19937_poly[0], 0);
    EXPECT_EQ(_ptz_mt19937_poly[4], 1643);
    EXPECT_EQ(_ptz_mt19937_poly[129], 18633);
    EXPECT_EQ(_ptz_mt19937_poly[134], 19937);
    EXPECT_EQ(_ptz_sfmt19937_poly[4], 1232);
    EXPECT_EQ(_ptz_sfmt19937_poly[6706], 19358);
    EXPECT_EQ(_ptz_sfmt19937_poly[6710], 19968);
}

}  // namespace
