// SOBOL and NIEDERREITER: published first points, the net properties of the
// constructions, positioning against drawing, user tables, statuses, copies
// and images; GSL's sequences where its conventions match.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>

#include "ptz/brng/quasi_tables.h"
#include "ptz_rng/stream_helpers.h"
#ifdef ORVU_HAVE_GSL
#include <gsl/gsl_qrng.h>
#endif

namespace {

// More threads than the machine may have, so that the parallel kernel runs.
[[maybe_unused]] const bool kThreads = setenv("ORVU_NUM_THREADS", "3", 0) == 0;

struct Gen {
    int32_t id;
    uint32_t max_dim;
};
const Gen kGens[] = {{PTZ_BRNG_SOBOL, 40}, {PTZ_BRNG_NIEDERR, 318}};

std::vector<uint32_t> draw(RngStream* s, int32_t n) {
    std::vector<uint32_t> w(static_cast<size_t>(n));
    EXPECT_EQ(props(s).iBRng(s, n, w.data()), 0);
    return w;
}

// Words start..start+n-1 of a fresh stream, drawn in one call.
std::vector<uint32_t> slice(int32_t id, const std::vector<uint32_t>& seed, int32_t start, int32_t n) {
    StreamHolder h{new_stream(id, seed)};
    auto all = draw(h.s, start + n);
    return {all.begin() + start, all.end()};
}

// t of the 2-dimensional projection on coordinates i, j among the first 2^k
// points (origin included): the least t such that every box of 2^(t-k) volume
// with dyadic sides holds 2^t points.
uint32_t top(uint32_t x, int bits) { return bits ? x >> (32 - bits) : 0; }

int t_value(const std::vector<uint32_t>& w, uint32_t d, uint32_t i, uint32_t j, int k) {
    for (int t = 0; t < k; ++t) {
        bool net = true;
        for (int a = 0; a <= k - t && net; ++a) {
            std::vector<int> boxes(size_t(1) << (k - t));
            boxes[0] = 1;  // the origin
            for (size_t p = 0; p + 1 < (size_t(1) << k); ++p)
                ++boxes[(top(w[p * d + i], a) << (k - t - a)) | top(w[p * d + j], k - t - a)];
            for (int c : boxes) net &= c == 1 << t;
        }
        if (net) return t;
    }
    return k;
}

TEST(Quasi, SobolStartsAfterTheOriginWithThePublishedPoints) {
    StreamHolder h{new_stream(PTZ_BRNG_SOBOL, {2})};
    double r[10];
    ASSERT_EQ(props(h.s).dBRng(h.s, 10, r, 0.0, 1.0), 0);
    const double want[10] = {0.5, 0.5, 0.75, 0.25, 0.25, 0.75, 0.375, 0.375, 0.875, 0.875};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(r[i], want[i]) << i;
    // Legacy id 277 is the same generator; floats are the words scaled once.
    StreamHolder legacy{new_stream(277, {2})};
    float f[4];
    ASSERT_EQ(props(legacy.s).sBRng(legacy.s, 4, f, -1.0f, 3.0f), 0);
    EXPECT_EQ(f[2], 2.0f);
    EXPECT_EQ(f[3], 0.0f);
}

TEST(Quasi, EachCoordinateIsAZeroOneSequenceAndPairsMeetTheirTValues) {
    constexpr int k = 10;
    for (const Gen& g : kGens) {
        const auto w = slice(g.id, {g.max_dim}, 0, ((1 << k) - 1) * int32_t(g.max_dim));
        // Every Sobol coordinate is a (0, 1)-sequence: the first 2^k values
        // fill the 2^k cells of width 2^-k once each. A Niederreiter
        // coordinate of degree e is a (t, 1)-sequence with t <= e - 1.
        for (uint32_t j = 0; j < g.max_dim; ++j) {
            const int t = g.id == PTZ_BRNG_SOBOL ? 0 : iNiederrIrredPolyDeg[j] - 1;
            std::vector<int> cells(size_t(1) << (k - t));
            cells[0] = 1;  // the origin
            for (size_t p = 0; p + 1 < (1u << k); ++p) ++cells[top(w[p * g.max_dim + j], k - t)];
            ASSERT_EQ(std::count(cells.begin(), cells.end(), 1 << t), cells.size()) << std::hex << g.id << " " << j;
        }
        // t <= (e_i - 1) + (e_j - 1) for polynomials of degrees e_i, e_j (the
        // first Sobol coordinate counts as degree 1); both tables give the
        // same degrees to these coordinates.
        const int pairs[][3] = {{0, 1, 0}, {1, 2, 1}, {2, 3, 3}, {6, 7, 7}};
        for (const auto& p : pairs)
            EXPECT_LE(t_value(w, g.max_dim, p[0], p[1], k), p[2]) << std::hex << g.id << " " << p[0];
    }
}

TEST(Quasi, PositioningEqualsDrawingAndDiscarding) {
    // The selected coordinate is stepped on its own, the full points by the
    // blocked kernels of small dimensions and the threaded one (24).
    for (const Gen& g : kGens) for (const uint32_t d : {1u, 5u, 24u}) {
        const int32_t k = d > 3 ? 3 : 0;
        const auto all = slice(g.id, {d}, 0, 3000 * int32_t(d));
        // Pieces of odd sizes continue inside points; one request of more
        // than 1000 points of 16+ dimensions goes through the threads.
        StreamHolder h{new_stream(g.id, {d})};
        std::vector<uint32_t> pieces;
        for (int32_t n : {5, 40, 1, 2001 * int32_t(d), 333, 16}) {
            auto w = draw(h.s, n);
            pieces.insert(pieces.end(), w.begin(), w.end());
        }
        EXPECT_TRUE(std::equal(pieces.begin(), pieces.end(), all.begin()));
        // Skip inside a point, then select coordinate k: its next value is
        // from the first point whose coordinate k is not yet output.
        StreamHolder s{new_stream(g.id, {d})};
        ASSERT_EQ(__ptzSkipAheadStream(s.s, 100 * d + 7), 0);
        EXPECT_EQ(draw(s.s, 2), std::vector<uint32_t>(all.begin() + 100 * d + 7, all.begin() + 100 * d + 9));
        ASSERT_EQ(__ptzLeapfrogStream(s.s, k, 0x7FFFFFFF), 0);
        ASSERT_EQ(__ptzSkipAheadStream(s.s, 500), 0);
        const auto sel = draw(s.s, 1200);
        const size_t done = 100 * d + 9, first = done / d + (done % d > size_t(k)) + 500;
        for (size_t i = 0; i < sel.size(); ++i) ASSERT_EQ(sel[i], all[(first + i) * d + k]) << d << " " << i;
    }
}

TEST(Quasi, Statuses) {
    for (const Gen& g : kGens) {
        StreamHolder h{new_stream(g.id, {3})};
        const BrngProperties p = props(h.s);
        int32_t k = 3;
        EXPECT_EQ(__ptzLeapfrogStream(h.s, 0, 4), PTZ_ERROR_LEAPFROG_UNSUPPORTED);
        EXPECT_EQ(__ptzLeapfrogStream(h.s, k, 0x7FFFFFFF), PTZ_ERROR_LEAPFROG_UNSUPPORTED);
        EXPECT_EQ(p.initStream(2, h.s, 0, &k), PTZ_ERROR_SKIPAHEAD_UNSUPPORTED);
        EXPECT_EQ(p.initStream(3, h.s, 0, &k), PTZ_ERROR_BAD_METHOD);
        // The last point of the period is 2^32 - 1.
        ASSERT_EQ(__ptzSkipAheadStream(h.s, (0xFFFFFFFFll - 1) * 3 + 1), 0);
        uint32_t w[6];
        EXPECT_EQ(p.iBRng(h.s, 3, w), PTZ_ERROR_QRNG_PERIOD_ELAPSED);
        EXPECT_EQ(p.iBRng(h.s, 2, w), 0);
        EXPECT_EQ(p.iBRng(h.s, 1, w), PTZ_ERROR_QRNG_PERIOD_ELAPSED);
        EXPECT_EQ(__ptzSkipAheadStream(h.s, 1), PTZ_ERROR_QRNG_PERIOD_ELAPSED);
        EXPECT_EQ(_ptziRngUniformBits32(0, h.s, 1, w), PTZ_ERROR_BITS_UNSUPPORTED);
        // Dimensions out of range fall back to 1; the largest is accepted.
        for (uint32_t d : {g.max_dim + 1, g.max_dim, 0u}) {
            StreamHolder s{new_stream(g.id, {d})};
            const uint32_t expect = d == g.max_dim ? d : 1;
            EXPECT_EQ(__ptzLeapfrogStream(s.s, int32_t(expect) - 1, 0x7FFFFFFF), 0);
            EXPECT_EQ(__ptzLeapfrogStream(s.s, int32_t(expect), 0x7FFFFFFF), PTZ_ERROR_LEAPFROG_UNSUPPORTED);
        }
    }
}

// The direction numbers of a stream: point 2^(b+1) - 1 is v_b (its Gray code is 2^b).
std::vector<uint32_t> direction_table(int32_t id, uint32_t d) {
    std::vector<uint32_t> table(32 * size_t(d));
    for (uint32_t b = 0; b < 32; ++b) {
        StreamHolder h{new_stream(id, {d})};
        EXPECT_EQ(__ptzSkipAheadStream(h.s, ((int64_t(2) << b) - 2) * d), 0);
        const auto v = draw(h.s, int32_t(d));
        for (uint32_t j = 0; j < d; ++j) table[32 * j + b] = v[j];
    }
    return table;
}

std::vector<uint32_t> user_seed(uint32_t d, uint32_t form, std::vector<uint32_t> data) {
    data.insert(data.begin(), {d, 1, form});
    return data;
}

TEST(Quasi, UserTablesEqualTheBuiltInOnesTheyRestate) {
    const uint32_t d = 6;
    const std::vector<uint32_t> polys = {3, 7, 11, 13, 19};
    const auto builtin = slice(PTZ_BRNG_SOBOL, {d}, 0, 600);
    // Four initial integers per dimension, the unused ones 0.
    std::vector<uint32_t> init2 = {4, 1, 0, 0, 0, 1, 1, 0, 0, 1, 3, 7, 0, 1, 1, 5, 0, 1, 3, 1, 1}, init3 = polys;
    init3.insert(init3.begin(), 4);
    init3.insert(init3.end(), init2.begin() + 1, init2.end());
    for (const auto& seed : {user_seed(d, 1, polys), user_seed(d, 2, init2),
                             user_seed(d, 3, init3), user_seed(d, 4, direction_table(PTZ_BRNG_SOBOL, d))})
        EXPECT_EQ(slice(PTZ_BRNG_SOBOL, seed, 0, 600), builtin) << seed[2];
    const uint32_t nd = 5;
    EXPECT_EQ(slice(PTZ_BRNG_NIEDERR, user_seed(nd, 4, direction_table(PTZ_BRNG_NIEDERR, nd)), 0, 500),
              slice(PTZ_BRNG_NIEDERR, {nd}, 0, 500));
    EXPECT_EQ(slice(PTZ_BRNG_NIEDERR, user_seed(nd, 1, {2, 3, 7, 11, 13}), 0, 500),
              slice(PTZ_BRNG_NIEDERR, {nd}, 0, 500));
    // Too short for its form: the built-in tables of that dimension.
    EXPECT_EQ(slice(PTZ_BRNG_SOBOL, user_seed(d, 1, {3, 7}), 0, 60), slice(PTZ_BRNG_SOBOL, {d}, 0, 60));
}

TEST(Quasi, UnusableUserDataAndFailedAllocations) {
    RngStream* s = nullptr;
    const auto even = user_seed(3, 1, {3, 6}), even_m = user_seed(3, 2, {2, 1, 0, 2, 1});
    const auto singular = user_seed(1, 4, std::vector<uint32_t>(32, 0x80000000u));
    for (const auto* seed : {&even, &even_m, &singular}) {
        EXPECT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_SOBOL, int32_t(seed->size()), seed->data()), PTZ_ERROR_BAD_ARGUMENT);
        __ptzDeleteStream(&s);
    }
    const auto good = user_seed(3, 1, {3, 7});
    for (int32_t n : {2, 3, 4, 5}) {  // each chunk's data and record
        orvu_serv_test_fail_allocation(n);
        EXPECT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_SOBOL, 5, good.data()), PTZ_ERROR_MEM_FAILURE);
        orvu_serv_test_fail_allocation(0);
        __ptzDeleteStream(&s);
    }
}

TEST(Quasi, CopiesShareUserDirectionsAndImagesContinue) {
    // 50 dimensions from user polynomials and initial integers.
    std::vector<uint32_t> data = {8};
    const uint32_t degree8[] = {285, 299, 301, 333, 351, 355, 357, 361, 369, 391, 397, 425, 451, 463, 487, 501};
    for (uint32_t j = 0; j < 49; ++j) data.push_back(degree8[j % 16]);
    data.resize(data.size() + 49 * 8, 1);
    StreamHolder a{new_stream(PTZ_BRNG_SOBOL, user_seed(50, 3, data))};
    draw(a.s, 77);
    StreamHolder b;
    ASSERT_EQ(__ptzCopyStream(&b.s, a.s), 0);
    EXPECT_EQ(__ptzSearchChunk(b.s, 9), __ptzSearchChunk(a.s, 9));
    EXPECT_NE(__ptzSearchChunk(b.s, 13), __ptzSearchChunk(a.s, 13));
    std::vector<uint8_t> image(size_t(__ptzGetStreamSize(a.s)));
    ASSERT_EQ(__ptzSaveStreamM(a.s, image.data()), 0);
    StreamHolder c;
    ASSERT_EQ(__ptzLoadStreamM(&c.s, image.data()), 0);
    EXPECT_EQ(__ptzSearchChunk(c.s, 9), __ptzSearchChunk(a.s, 9));
    const auto next = draw(a.s, 2000);
    EXPECT_EQ(draw(b.s, 2000), next);
    EXPECT_EQ(draw(c.s, 2000), next);
    // NIEDERREITER's state area exceeds the 16-bit size field of the image.
    StreamHolder n{new_stream(PTZ_BRNG_NIEDERR, {318})}, m;
    draw(n.s, 1000);
    image.resize(size_t(__ptzGetStreamSize(n.s)));
    ASSERT_EQ(__ptzSaveStreamM(n.s, image.data()), 0);
    ASSERT_EQ(__ptzLoadStreamM(&m.s, image.data()), 0);
    EXPECT_EQ(draw(m.s, 700), draw(n.s, 700));
    // A foreign image whose dimension exceeds the tables is refused at output.
    StreamHolder built{new_stream(PTZ_BRNG_SOBOL, {40})};
    image.resize(size_t(__ptzGetStreamSize(built.s)));
    ASSERT_EQ(__ptzSaveStreamM(built.s, image.data()), 0);
    image[20] = 41;  // state word 1
    StreamHolder bad;
    ASSERT_EQ(__ptzLoadStreamM(&bad.s, image.data()), 0);
    uint32_t w;
    EXPECT_EQ(props(bad.s).iBRng(bad.s, 1, &w), PTZ_ERROR_BAD_ARGUMENT);
}

#ifdef ORVU_HAVE_GSL
// GSL keeps 30 (Sobol) and 31 (Niederreiter) bits, covers 40 and 12
// dimensions, and its Niederreiter sequence starts at the origin, which this
// one never outputs.
TEST(Quasi, MatchesGslToItsPrecision) {
    struct Peer {
        int32_t id;
        const gsl_qrng_type* type;
        uint32_t d;
        int shift;
        bool origin;
    };
    for (const Peer& p : {Peer{PTZ_BRNG_SOBOL, gsl_qrng_sobol, 40, 2, false},
                          Peer{PTZ_BRNG_NIEDERR, gsl_qrng_niederreiter_2, 12, 1, true}}) {
        gsl_qrng* q = gsl_qrng_alloc(p.type, p.d);
        const auto w = slice(p.id, {p.d}, 0, 4000 * int32_t(p.d));
        double x[40];
        if (p.origin) gsl_qrng_get(q, x);
        for (size_t i = 0; i < 4000; ++i) {
            gsl_qrng_get(q, x);
            for (uint32_t j = 0; j < p.d; ++j)
                ASSERT_EQ(w[i * p.d + j] >> p.shift, uint32_t(std::ldexp(x[j], 32 - p.shift))) << i << " " << j;
        }
        gsl_qrng_free(q);
    }
}
#endif

}  // namespace
