// Poisson generators: the table/PTPE switch at 27, the method-0 cache across
// rebuilds, copies and images, chunk allocation failure, the failing draw.
// Their distributions are checked by discrete_fit.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

#include "orvu_kex.h"
#include "orvu_ptz_rng.h"
#include "stream_helpers.h"
#include "orvu_serv.h"

namespace {

using Vec = std::vector<int32_t>;

Vec poisson(RngStream* s, int32_t n, double lambda, int32_t method = 0) {
    Vec r(static_cast<size_t>(n));
    EXPECT_EQ(_ptziRngPoisson(method, s, n, r.data(), lambda), 0);
    return r;
}
std::vector<float> uniforms(RngStream* s, int32_t n) {
    std::vector<float> u(static_cast<size_t>(n));
    EXPECT_EQ(_ptzsRngUniform(0, s, n, u.data(), 0.0f, 1.0f), 0);
    return u;
}

// Below 27 a variate is the inversion of one float uniform: the call uses
// exactly n uniforms and its results rise with them. At 27 PTPE draws pairs
// for its candidates and rejects some, so the stream ends elsewhere.
TEST(Poisson, TableBelow27AndPtpeFrom27) {
    const int32_t n = 2000;
    for (double lambda : {26.999, 27.0}) {
        Stream s(11);
        Stream ref = s.copy();
        const Vec r = poisson(s.s, n, lambda);
        const std::vector<float> u = uniforms(ref.s, n);
        const bool same_position = uniforms(s.s, 1) == uniforms(ref.s, 1);
        std::vector<int32_t> order(static_cast<size_t>(n));
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return u[size_t(a)] < u[size_t(b)]; });
        bool monotone = true;
        for (size_t i = 1; i < order.size(); ++i) monotone &= r[size_t(order[i - 1])] <= r[size_t(order[i])];
        EXPECT_EQ(same_position, lambda < 27.0) << lambda;
        EXPECT_EQ(monotone, lambda < 27.0) << lambda;
    }
}

// The cache is one chunk, rebuilt when lambda changes. A stream that hits it
// (also its copy and its image) gives what a stream building it afresh gives.
TEST(Poisson, CacheHitsAndRebuildsGiveTheSameResults) {
    Stream s(5);
    Stream fresh = s.copy();  // no chunk yet
    poisson(s.s, 100, 7.0);
    uniforms(fresh.s, 100);  // the table took one uniform per variate
    ASSERT_EQ(__ptzGetNumChunks(s.s), 1);
    Stream copied = s.copy(), loaded = s.image();
    for (double lambda : {7.0, 3.5, 7.0, 26.5}) {
        const Vec want = poisson(fresh.s, 777, lambda);
        EXPECT_EQ(poisson(s.s, 777, lambda), want) << lambda;
        EXPECT_EQ(poisson(copied.s, 777, lambda), want) << lambda;
        EXPECT_EQ(poisson(loaded.s, 777, lambda), want) << lambda;
        poisson(fresh.s, 1, 0.25 + lambda);  // leaves another lambda in its cache
        poisson(s.s, 1, 0.25 + lambda);
        poisson(copied.s, 1, 0.25 + lambda);
        poisson(loaded.s, 1, 0.25 + lambda);
    }
    EXPECT_EQ(__ptzGetNumChunks(s.s), 1);
    EXPECT_EQ(__ptzGetNumChunks(loaded.s), 1);
}

// The chunk's buffer (allocation 1) or the stream's record of it (2) failing:
// -4, nothing leaked or attached; the next call creates the chunk.
TEST(Poisson, ChunkAllocationFailureIsMemFailure) {
    Stream s(3);
    int32_t r[4];
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t nth : {1, 2}) {
        orvu_serv_test_fail_allocation(nth);
        EXPECT_EQ(_ptziRngPoisson(0, s.s, 4, r, 5.0), PTZ_ERROR_MEM_FAILURE) << nth;
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(orvu_serv_test_live_allocations(), live);
        EXPECT_EQ(__ptzGetNumChunks(s.s), 0);
    }
    EXPECT_EQ(_ptziRngPoisson(0, s.s, 4, r, 5.0), 0);
    EXPECT_EQ(__ptzGetNumChunks(s.s), 1);
}

int32_t refill_none(RngStream*, int32_t*, float*, int32_t*, int32_t*, int32_t*) { return 0; }
int32_t user_callback(KexErrorContext*) { return 0; }

// Every regime of both methods and of PoissonV returns the failing draw's
// status; the thread's mode and callback are as before.
TEST(Poisson, FailingDrawEndsTheCall) {
    const uint32_t saved_mode = _kexSetMode(KEX_MODE_LA | KEX_MODE_ERRMODE_ERRNO | KEX_MODE_FTZDAZ_ON);
    const KexErrorCallBack saved_cb = _kexSetErrorCallBack(user_callback);
    const uint32_t mode = _kexGetMode();
    std::vector<float> ring(4, 0.5f);
    int32_t r[8];
    for (int32_t method : {0, 1})
        for (double lambda : {0.5, 5.0, 30.0, 150.0}) {
            RngStream* p = nullptr;
            ASSERT_EQ(__ptzsNewAbstractStream(&p, int32_t(ring.size()), ring.data(), 0, 1, refill_none), 0);
            Stream s(p);
            EXPECT_EQ(_ptziRngPoisson(method, s.s, 8, r, lambda), PTZ_ERROR_ABSTRACT_NO_NUMBERS) << lambda;
            const double one[8] = {lambda, lambda, lambda, lambda, lambda, lambda, lambda, lambda};
            EXPECT_EQ(_ptziRngPoissonV(0, s.s, 8, r, one), PTZ_ERROR_ABSTRACT_NO_NUMBERS) << lambda;
            EXPECT_EQ(_kexGetMode(), mode);
            EXPECT_EQ(_kexGetErrorCallBack(), user_callback);
        }
    _kexSetErrorCallBack(saved_cb);
    _kexSetMode(saved_mode);
}

}  // namespace
