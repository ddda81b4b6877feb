// Beta variates, every method in both precisions: results inside [a, a + beta]
// (shapes below 1 put many at or next to the ends, where a kernel's error
// would leave [0, 1]); a failing draw ends the call with its status and the
// thread's vector-math mode and callback as they were.
#include <gtest/gtest.h>

#include <vector>

#include "orvu_kex.h"
#include "orvu_ptz_rng.h"

namespace {

int32_t beta(RngStream* s, int32_t n, double* r, double p, double q, double a, double b) {
    return _ptzdRngBeta(0, s, n, r, p, q, a, b);
}
int32_t beta(RngStream* s, int32_t n, float* r, double p, double q, double a, double b) {
    return _ptzsRngBeta(0, s, n, r, float(p), float(q), float(a), float(b));
}
template <class T>
int32_t no_numbers(RngStream*, int32_t*, T*, int32_t*, int32_t*, int32_t*) { return 0; }
int32_t user_callback(KexErrorContext*) { return 0; }

// Johnk, switching (both below 1, one below 1, exchanged), power function
// (p = 1, q = 1), ratio method (and exchanged).
constexpr double kShapes[][2] = {{0.2, 0.3}, {0.6, 0.8}, {0.3, 7}, {7, 0.3}, {1, 0.2}, {0.2, 1}, {3, 9}, {9, 3}};

template <class T>
void check() {
    const T a = T(-1.1), b = T(3.3);
    std::vector<T> r(20000), ring(4, T(0.5));
    const uint32_t mode = _kexSetMode(KEX_MODE_LA | KEX_MODE_ERRMODE_ERRNO | KEX_MODE_FTZDAZ_ON);
    const KexErrorCallBack cb = _kexSetErrorCallBack(user_callback);
    const uint32_t want = _kexGetMode();
    for (const auto& pq : kShapes) {
        SCOPED_TRACE(testing::Message() << "p " << pq[0] << ", q " << pq[1]);
        RngStream *s = nullptr, *dry = nullptr;
        ASSERT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 0, nullptr), 0);
        ASSERT_EQ(beta(s, int32_t(r.size()), r.data(), pq[0], pq[1], a, b), 0);
        for (T x : r) ASSERT_TRUE(x >= a && x <= a + b) << x;
        if constexpr (sizeof(T) == sizeof(double))
            ASSERT_EQ(__ptzdNewAbstractStream(&dry, 4, ring.data(), 0.0, 1.0, no_numbers<T>), 0);
        else
            ASSERT_EQ(__ptzsNewAbstractStream(&dry, 4, ring.data(), 0.0f, 1.0f, no_numbers<T>), 0);
        EXPECT_EQ(beta(dry, 10, r.data(), pq[0], pq[1], a, b), PTZ_ERROR_ABSTRACT_NO_NUMBERS);
        EXPECT_EQ(_kexGetMode(), want);
        EXPECT_EQ(_kexGetErrorCallBack(), user_callback);
        __ptzDeleteStream(&s);
        __ptzDeleteStream(&dry);
    }
    _kexSetErrorCallBack(cb);
    _kexSetMode(mode);
}
TEST(Beta, StaysInsideItsIntervalAndEndsAtAFailingDraw) {
    check<double>();
    check<float>();
}

}  // namespace
