// What every kernel inherits from the frame, shown on the arithmetic kernels:
// block and tail coverage for every n, in-place operation, the kernel's own
// rounding whatever the caller's, flush-to-zero from the mode, and the
// caller's control register restored.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "kex_test_util.h"
#include "orvu_kex.h"

namespace {

template <class T>
std::vector<T> random_values(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    std::uniform_real_distribution<T> u(-1e3, 1e3);
    std::vector<T> v(n);
    for (auto& x : v) x = u(g);
    return v;
}

using kex_test::same_bits;

// One binary kernel against its plain definition.
template <class T, class K, class F>
void check_binary(K kernel, F ref, const char* what) {
    for (int n : {0, -3, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 1000, 1001}) {
        auto a = random_values<T>(std::max(n, 1) + 2, 1 + n);
        auto b = random_values<T>(std::max(n, 1) + 2, 99 + n);
        std::vector<T> r(a.size(), T(-7));
        kernel(n, a.data(), b.data(), r.data());
        for (int i = 0; i < static_cast<int>(r.size()); ++i) {
            const T want = i < n ? ref(a[i], b[i]) : T(-7);  // nothing past n
            ASSERT_TRUE(same_bits(r[i], want)) << what << " n=" << n << " i=" << i;
        }
        // In place: the result array is the first argument.
        auto c = a;
        kernel(n, c.data(), b.data(), c.data());
        for (int i = 0; i < n; ++i) ASSERT_TRUE(same_bits(c[i], ref(a[i], b[i]))) << what << " in place";
    }
}

TEST(KernelFrame, ArithmeticMatchesIeeeForEveryLength) {
    check_binary<float>(_kexsAdd, [](float x, float y) { return x + y; }, "sAdd");
    check_binary<float>(_kexsSub_21, [](float x, float y) { return x - y; }, "sSub");
    check_binary<float>(_kexsMul_11, [](float x, float y) { return x * y; }, "sMul");
    check_binary<double>(_kexdAdd_HA, [](double x, double y) { return x + y; }, "dAdd");
    check_binary<double>(_kexdSub_50, [](double x, double y) { return x - y; }, "dSub");
    check_binary<double>(_kexdMul_26, [](double x, double y) { return x * y; }, "dMul");
    auto sqr_s = [](int32_t n, const float* a, const float*, float* r) { _kexsSqr(n, a, r); };
    auto sqr_d = [](int32_t n, const double* a, const double*, double* r) { _kexdSqr_26(n, a, r); };
    check_binary<float>(sqr_s, [](float x, float) { return x * x; }, "sSqr");
    check_binary<double>(sqr_d, [](double x, double) { return x * x; }, "dSqr");
}

TEST(KernelFrame, SpecialValuesPassThroughWithoutReports) {
    const double inf = std::numeric_limits<double>::infinity();
    const double big = std::numeric_limits<double>::max();
    std::vector<double> a = {inf, -inf, NAN, big, 1.0, -0.0, 3.0, 1e-310};
    std::vector<double> b = {-inf, 1.0, 2.0, big, NAN, -0.0, 4.0, 1e-310};
    std::vector<double> r(a.size());
    orvu_kex_kernel_ClearErrStatus();
    _kexdAdd(static_cast<int32_t>(a.size()), a.data(), b.data(), r.data());
    EXPECT_TRUE(std::isnan(r[0]));
    EXPECT_EQ(r[1], -inf);
    EXPECT_TRUE(std::isnan(r[2]));
    EXPECT_EQ(r[3], inf);
    EXPECT_TRUE(std::isnan(r[4]));
    EXPECT_TRUE(same_bits(r[5], -0.0));
    EXPECT_EQ(r[7], 2e-310);
    EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
}

// Runs fn with the caller's MXCSR set to `csr`, and checks it comes back unchanged.
template <class Fn>
void with_mxcsr(uint32_t csr, Fn fn) {
    const uint32_t saved = _mm_getcsr();
    _mm_setcsr((saved & ~0xE040u) | csr);
    const uint32_t before = _mm_getcsr();
    fn();
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & ~0x3Fu, before & ~0x3Fu) << "control bits not restored";
}

TEST(KernelFrame, KernelRoundsToNearestUnderCallerRoundingMode) {
    // 1 + 2^-60 is not representable: to nearest gives 1, upward 1 + 2^-52.
    double a[5] = {1, 1, 1, 1, 1}, b[5], r[5];
    for (double& x : b) x = std::ldexp(1.0, -60);
    for (uint32_t rc : {0x2000u, 0x4000u, 0x6000u}) {
        with_mxcsr(rc, [&] { _kexdAdd(5, a, b, r); });
        for (double x : r) EXPECT_EQ(x, 1.0) << std::hex << rc;
    }
    float fa[9], fb[9], fr[9];
    for (int i = 0; i < 9; ++i) fa[i] = 1.0f, fb[i] = std::ldexp(1.0f, -30);
    with_mxcsr(0x4000u, [&] { _kexsAdd(9, fa, fb, fr); });
    for (float x : fr) EXPECT_EQ(x, 1.0f);
}

TEST(KernelFrame, FlushToZeroFollowsMode) {
    const double tiny = std::numeric_limits<double>::min();  // smallest normal
    double a[3] = {tiny, tiny, tiny}, half[3] = {0.5, 0.5, 0.5}, r[3];
    const uint32_t prev = orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);
    with_mxcsr(0, [&] { _kexdMul(3, a, half, r); });
    for (double x : r) EXPECT_EQ(x, 0.0) << "flushed";
    double den[3] = {tiny / 4, tiny / 4, tiny / 4}, zero[3] = {0, 0, 0};
    with_mxcsr(0, [&] { _kexdAdd(3, den, zero, r); });
    for (double x : r) EXPECT_EQ(x, 0.0) << "denormal input read as zero";

    orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_OFF);
    with_mxcsr(0x8040, [&] { _kexdMul(3, a, half, r); });  // caller had FTZ on: kernel turns it off
    for (double x : r) EXPECT_EQ(x, tiny / 2) << "kept";
    orvu_kex_kernel_SetMode(prev & KEX_MODE_FTZDAZ_MASK ? prev : (prev | KEX_MODE_FTZDAZ_OFF));
}

}  // namespace
