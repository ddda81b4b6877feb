// Rounding kernels against the C library's definitions over random values,
// halfway cases, zeros, infinities and NaNs, at every length; the caller's
// rounding direction (followed by Rint and NearbyInt only), the inexact flag,
// denormals-are-zero and the control register restored afterwards.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "kex_test_util.h"
#include "orvu_kex.h"

namespace {

using namespace kex_test;

// The same bits, or both NaN.
template <class T> bool same(T a, T b) { return (std::isnan(a) && std::isnan(b)) || same_bits(a, b); }

template <class T>
std::vector<T> inputs(uint32_t seed) {
    const T inf = std::numeric_limits<T>::infinity();
    const T big = T(1) / std::numeric_limits<T>::epsilon();  // 2^52 or 2^23
    std::vector<T> v = {0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.0, -0.0, inf, -inf, std::numeric_limits<T>::quiet_NaN(),
                        big, -big, big / 2 + T(0.5), -(big / 2 + T(0.5)), big * 4, T(0.49999997f), T(-3.75), T(1e-30),
                        T(-1e-30), std::numeric_limits<T>::denorm_min(), std::numeric_limits<T>::max(), T(5), T(-5)};
    std::mt19937 g(seed);
    std::uniform_real_distribution<T> u(-1000, 1000);
    std::uniform_int_distribution<int> q(-4000, 4000);
    while (v.size() < 61) v.push_back(u(g)), v.push_back(T(q(g)) / 4);  // many exact halves
    return v;
}

// Fractional part the plain way: x minus its truncation, sign of x kept.
template <class T> T frac_ref(T x) {
    if (std::isinf(x)) return std::copysign(T(0), x);
    return std::copysign(x - std::trunc(x), x);
}

template <class T>
struct UnaryCase {
    const char* name;
    void (*kernel)(int32_t, const T*, T*);
    T (*ref)(T);
};

template <class T>
void check_unary(const UnaryCase<T>& c) {
    const std::vector<T> all = inputs<T>(5);
    for (int n : {0, -1, 1, 3, 8, 9, 17, static_cast<int>(all.size())}) {
        std::vector<T> r(all.size() + 1, T(77));
        c.kernel(n, all.data(), r.data());
        for (int i = 0; i <= static_cast<int>(all.size()); ++i) {
            const T want = i < n ? c.ref(all[i]) : T(77);
            ASSERT_TRUE(same(r[i], want)) << c.name << " n=" << n << " x=" << all[i] << " got " << r[i];
        }
    }
    std::vector<T> inplace = all;  // r is a
    c.kernel(static_cast<int32_t>(inplace.size()), inplace.data(), inplace.data());
    for (size_t i = 0; i < all.size(); ++i) ASSERT_TRUE(same(inplace[i], c.ref(all[i]))) << c.name << " in place";
}

TEST(Rounding, KernelsMatchTheirDefinitions) {
    const UnaryCase<double> d[] = {
        {"dFloor", _kexdFloor, [](double x) { return std::floor(x); }},
        {"dCeil", _kexdCeil_50, [](double x) { return std::ceil(x); }},
        {"dTrunc", _kexdTrunc_26, [](double x) { return std::trunc(x); }},
        {"dRound", _kexdRound, [](double x) { return std::round(x); }},  // halves away from zero
        {"dRint", _kexdRint, [](double x) { return std::nearbyint(x); }},
        {"dNearbyInt", _kexdNearbyInt, [](double x) { return std::nearbyint(x); }},
        {"dFrac", _kexdFrac, frac_ref<double>},
    };
    const UnaryCase<float> s[] = {
        {"sFloor", _kexsFloor, [](float x) { return std::floor(x); }},
        {"sCeil", _kexsCeil, [](float x) { return std::ceil(x); }},
        {"sTrunc", _kexsTrunc, [](float x) { return std::trunc(x); }},
        {"sRound", _kexsRound_11, [](float x) { return std::round(x); }},
        {"sRint", _kexsRint, [](float x) { return std::nearbyint(x); }},
        {"sNearbyInt", _kexsNearbyInt, [](float x) { return std::nearbyint(x); }},
        {"sFrac", _kexsFrac_21, frac_ref<float>},
    };
    for (const auto& c : d) check_unary(c);
    for (const auto& c : s) check_unary(c);
}

template <class T>
void check_modf(void (*k)(int32_t, const T*, T*, T*)) {
    const std::vector<T> all = inputs<T>(9);
    std::vector<T> ip(all.size()), fp(all.size());
    k(static_cast<int32_t>(all.size()), all.data(), ip.data(), fp.data());
    for (size_t i = 0; i < all.size(); ++i) {
        T wi;
        const T wf = std::modf(all[i], &wi);
        EXPECT_TRUE(same(ip[i], wi) && same(fp[i], wf)) << all[i] << " -> " << ip[i] << ", " << fp[i];
    }
}

TEST(Rounding, ModfSplitsWithTheSignOfTheArgument) {
    check_modf<double>(_kexdModf);
    check_modf<float>(_kexsModf);
    const double a[4] = {-3.75, -0.0, 0x1p53, -INFINITY};
    double ip[4], fp[4];
    _kexdModf(4, a, ip, fp);
    const double want_i[4] = {-3.0, -0.0, 0x1p53, -INFINITY}, want_f[4] = {-0.75, -0.0, 0.0, -0.0};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(same(ip[i], want_i[i]) && same(fp[i], want_f[i])) << a[i];
}

TEST(Rounding, NamedCases) {
    const double a[6] = {0.49999999999999994, 2.5, -2.5, -0.5, 1.5, -0.0};
    const double want[6] = {0.0, 3.0, -3.0, -1.0, 2.0, -0.0};
    double r[6];
    _kexdRound(6, a, r);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(same(r[i], want[i])) << a[i];
    const double f[2] = {5.0, -5.0};
    _kexdFrac(2, f, r);
    EXPECT_TRUE(same(r[0], 0.0));
    EXPECT_TRUE(same(r[1], -0.0));
    const double m[1] = {-0.5};
    _kexdFloor(1, m, r); EXPECT_EQ(r[0], -1.0);
    _kexdCeil(1, m, r); EXPECT_TRUE(same(r[0], -0.0));
}

// Runs fn with the caller's control register bits 0xE040 set to csr (flags
// cleared first); returns the flags afterwards, and checks the control bits
// came back unchanged.
template <class Fn>
uint32_t with_mxcsr(uint32_t csr, Fn fn) {
    const uint32_t saved = _mm_getcsr();
    _mm_setcsr((saved & ~0xE07Fu) | csr);
    fn();
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & 0xFFC0u, ((saved & ~0xE07Fu) | csr) & 0xFFC0u) << "control bits not restored";
    return after & 0x3Fu;
}
constexpr uint32_t kInexact = 0x20, kUp = 0x4000, kDown = 0x2000;

TEST(Rounding, CallerDirectionReachesRintAndNearbyIntOnly) {
    const double a[3] = {2.5, -2.5, 0.25};
    double r[3], r2[3];
    for (auto k : {_kexdRint, _kexdNearbyInt}) {
        with_mxcsr(0, [&] { k(3, a, r); });
        EXPECT_EQ(r[0], 2.0); EXPECT_EQ(r[1], -2.0);
        with_mxcsr(kUp, [&] { k(3, a, r); });
        EXPECT_EQ(r[0], 3.0); EXPECT_EQ(r[1], -2.0); EXPECT_EQ(r[2], 1.0);
    }
    const float fa[1] = {2.5f};
    float fr[1];
    with_mxcsr(kDown, [&] { _kexsRint(1, fa, fr); });
    EXPECT_EQ(fr[0], 2.0f);
    with_mxcsr(kUp, [&] { _kexsNearbyInt(1, fa, fr); });
    EXPECT_EQ(fr[0], 3.0f);
    // Everything else keeps its own direction: Round and Modf under round-up.
    with_mxcsr(kUp, [&] { _kexdRound(3, a, r); });
    EXPECT_EQ(r[0], 3.0); EXPECT_EQ(r[1], -3.0); EXPECT_EQ(r[2], 0.0);
    const double third[1] = {7.0 / 3};
    with_mxcsr(kUp, [&] { _kexdModf(1, third, r, r2); });
    EXPECT_EQ(r[0], 2.0);
    EXPECT_EQ(r2[0], 7.0 / 3 - 2.0);  // exact
}

TEST(Rounding, OnlyNearbyIntIsQuiet) {
    const double a[1] = {2.5};
    double r[1];
    EXPECT_EQ(with_mxcsr(0, [&] { _kexdNearbyInt(1, a, r); }) & kInexact, 0u);
    EXPECT_EQ(with_mxcsr(0, [&] { _kexdRint(1, a, r); }) & kInexact, kInexact);
    EXPECT_EQ(with_mxcsr(0, [&] { _kexdFloor(1, a, r); }) & kInexact, kInexact);
    const float fa[9] = {0.5f, 1, 2, 3, 4, 5, 6, 7, 8.5f};
    float fr[9];
    EXPECT_EQ(with_mxcsr(0, [&] { _kexsNearbyInt(9, fa, fr); }) & kInexact, 0u);
}

TEST(Rounding, DenormalsFollowTheMode) {
    on_fresh_thread([] {
        const double a[1] = {-1e-310};
        double r[1];
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);
        with_mxcsr(0, [&] { _kexdFloor(1, a, r); });
        EXPECT_TRUE(same(r[0], -0.0));  // read as -0
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_OFF);
        with_mxcsr(0x8040, [&] { _kexdFloor(1, a, r); });
        EXPECT_EQ(r[0], -1.0);
    });
}

}  // namespace
