// What every kernel inherits from the frame, shown on the arithmetic kernels:
// block and tail coverage for every n, in-place operation, special values
// without reports, the kernel's own rounding whatever the caller's,
// flush-to-zero from the mode, and the caller's control register restored.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "kex_test_util.h"
#include "orvu_kex.h"

namespace {

using namespace kex_test;

// Special values first, then random ones.
template <class T> std::vector<T> values(size_t n, uint32_t seed) {
    using L = std::numeric_limits<T>;
    std::vector<T> v = {L::infinity(), -L::infinity(), L::quiet_NaN(), L::max(), T(1), T(-0.0), L::denorm_min()};
    if (seed & 1) std::reverse(v.begin(), v.end());
    std::mt19937 g(seed);
    std::uniform_real_distribution<T> u(-1e3, 1e3);
    while (v.size() < n) v.push_back(u(g));
    return v;
}

// One binary kernel against its plain definition: nothing written past n.
template <class T, class K, class F> void check_binary(K kernel, F ref, const char* what) {
    for (int n : {0, -3, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 1000, 1001}) {
        const auto a = values<T>(std::max(n, 1) + 2, 1 + n), b = values<T>(a.size(), 98 + n);
        std::vector<T> r(a.size(), T(-7));
        kernel(n, a.data(), b.data(), r.data());
        for (int i = 0; i < static_cast<int>(r.size()); ++i)
            ASSERT_TRUE(same(r[i], i < n ? ref(a[i], b[i]) : T(-7))) << what << " n=" << n << " i=" << i;
        auto c = a;  // in place: the result array is the first argument
        kernel(n, c.data(), b.data(), c.data());
        for (int i = 0; i < n; ++i) ASSERT_TRUE(same(c[i], ref(a[i], b[i]))) << what << " in place";
    }
}

TEST(KernelFrame, ArithmeticMatchesIeeeForEveryLength) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetErrorCallBack([](KexErrorContext*) -> int32_t { ADD_FAILURE() << "report"; return 1; });
        check_binary<float>(_kexsAdd, [](float x, float y) { return x + y; }, "sAdd");
        check_binary<float>(_kexsSub_21, [](float x, float y) { return x - y; }, "sSub");
        check_binary<float>(_kexsMul_11, [](float x, float y) { return x * y; }, "sMul");
        check_binary<double>(_kexdAdd_HA, [](double x, double y) { return x + y; }, "dAdd");
        check_binary<double>(_kexdSub_50, [](double x, double y) { return x - y; }, "dSub");
        check_binary<double>(_kexdMul_26, [](double x, double y) { return x * y; }, "dMul");
        // Unary kernels, b unused: Sqr is a * a; Abs clears the sign, NaNs included.
        check_binary<float>([](int32_t n, const float* a, const float*, float* r) { _kexsSqr(n, a, r); },
                            [](float x, float) { return x * x; }, "sSqr");
        check_binary<double>([](int32_t n, const double* a, const double*, double* r) { _kexdSqr_26(n, a, r); },
                             [](double x, double) { return x * x; }, "dSqr");
        check_binary<float>([](int32_t n, const float* a, const float*, float* r) { _kexsAbs_11(n, a, r); },
                            [](float x, float) { return std::fabs(x); }, "sAbs");
        check_binary<double>([](int32_t n, const double* a, const double*, double* r) { _kexdAbs(n, a, r); },
                             [](double x, double) { return std::fabs(x); }, "dAbs");
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
    });
}

// 1 + 2^-60 is not representable: to nearest gives 1, upward 1 + 2^-52.
TEST(KernelFrame, KernelRoundsToNearestUnderCallerRoundingMode) {
    double a[5] = {1, 1, 1, 1, 1}, b[5], r[5];
    std::fill(b, b + 5, std::ldexp(1.0, -60));
    for (uint32_t rc : {0x2000u, 0x4000u, 0x6000u}) {
        with_mxcsr(rc, [&] { _kexdAdd(5, a, b, r); });
        EXPECT_TRUE(std::all_of(r, r + 5, [](double x) { return x == 1.0; })) << std::hex << rc;
    }
}

TEST(KernelFrame, FlushToZeroFollowsMode) {
    on_fresh_thread([] {
        const double tiny = std::numeric_limits<double>::min();  // smallest normal
        double a[3] = {tiny, tiny, tiny}, half[3] = {0.5, 0.5, 0.5}, r[3];
        double den[3] = {tiny / 4, tiny / 4, tiny / 4}, zero[3] = {0, 0, 0};
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);
        with_mxcsr(0, [&] { _kexdMul(3, a, half, r); });
        for (double x : r) EXPECT_EQ(x, 0.0) << "flushed";
        with_mxcsr(0, [&] { _kexdAdd(3, den, zero, r); });
        for (double x : r) EXPECT_EQ(x, 0.0) << "denormal input read as zero";
        _kexdAbs(1, den, r);
        EXPECT_EQ(r[0], 0.0) << "Abs multiplies: a denormal reads as zero";
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_OFF);
        with_mxcsr(0x8040, [&] { _kexdMul(3, a, half, r); });  // caller had FTZ on: kernel turns it off
        for (double x : r) EXPECT_EQ(x, tiny / 2) << "kept";
    });
}

}  // namespace
