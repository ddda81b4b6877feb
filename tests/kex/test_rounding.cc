// Rounding kernels against the C library's definitions over random values,
// halfway cases, zeros, infinities and NaNs, at every length and start
// offset; the caller's rounding direction (followed by Rint and NearbyInt
// only), the inexact flag and denormals-are-zero.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "kex_test_util.h"
#include "orvu_kex.h"

namespace {

using namespace kex_test;

template <class T> std::vector<T> inputs() {
    using L = std::numeric_limits<T>;
    const T big = T(1) / L::epsilon();  // 2^52 or 2^23: no fraction bits left
    std::vector<T> v = {0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.0, -0.0, L::infinity(), -L::infinity(), L::quiet_NaN(),
                        big, -big, big / 2 + T(0.5), -(big / 2 + T(0.5)), big * 4, std::nextafter(T(0.5), T(0)),
                        T(-3.75), T(1e-30), T(-1e-30), L::denorm_min(), L::max(), T(5), T(-5)};
    std::mt19937 g(5);
    std::uniform_real_distribution<T> u(-1000, 1000);
    std::uniform_int_distribution<int> q(-4000, 4000);
    while (v.size() < 61) v.push_back(u(g)), v.push_back(T(q(g)) / 4);  // many exact halves
    return v;
}

// Fractional part the plain way: x minus its truncation, sign of x kept.
template <class T> T frac_ref(T x) {
    return std::isinf(x) ? std::copysign(T(0), x) : std::copysign(x - std::trunc(x), x);
}

template <class T> struct UnaryCase {
    const char* name;
    void (*kernel)(int32_t, const T*, T*);
    T (*ref)(T);
};

// Every length, from every start offset within 16 bytes, and in place.
template <class T> void check_unary(const UnaryCase<T>& c) {
    const std::vector<T> all = inputs<T>();
    const int size = static_cast<int>(all.size());
    for (int off = 0; off < int(16 / sizeof(T)); ++off) {
        for (int n : {0, -1, 1, 3, 8, 9, 17, size - off}) {
            std::vector<T> r(all.size() + 1, T(77));
            c.kernel(n, all.data() + off, r.data() + off);
            for (int i = 0; i < size - off; ++i) {
                const T want = i < n ? c.ref(all[off + i]) : T(77);
                ASSERT_TRUE(same(r[off + i], want)) << c.name << " n=" << n << " off=" << off << " x=" << all[off + i];
            }
        }
    }
    std::vector<T> inplace = all;
    c.kernel(size, inplace.data(), inplace.data());
    for (int i = 0; i < size; ++i) ASSERT_TRUE(same(inplace[i], c.ref(all[i]))) << c.name << " in place";
}

TEST(Rounding, KernelsMatchTheirDefinitions) {
#define REF(T, f) [](T x) { return std::f(x); }
    const UnaryCase<double> d[] = {
        {"dFloor", _kexdFloor, REF(double, floor)},         {"dCeil", _kexdCeil_50, REF(double, ceil)},
        {"dTrunc", _kexdTrunc_26, REF(double, trunc)},      {"dRound", _kexdRound, REF(double, round)},
        {"dRint", _kexdRint, REF(double, nearbyint)},       {"dNearbyInt", _kexdNearbyInt, REF(double, nearbyint)},
        {"dFrac", _kexdFrac, frac_ref<double>},
        // Modf's parts (the other into scratch), each with the sign of the argument.
        {"dModf int", [](int32_t n, const double* a, double* r) { double f[128]; _kexdModf(n, a, r, f); },
         [](double x) { std::modf(x, &x); return x; }},
        {"dModf frac", [](int32_t n, const double* a, double* r) { double i[128]; _kexdModf(n, a, i, r); },
         [](double x) { return std::modf(x, &x); }},
    };
    const UnaryCase<float> s[] = {
        {"sFloor", _kexsFloor, REF(float, floor)},          {"sCeil", _kexsCeil, REF(float, ceil)},
        {"sTrunc", _kexsTrunc, REF(float, trunc)},          {"sRound", _kexsRound_11, REF(float, round)},
        {"sRint", _kexsRint, REF(float, nearbyint)},        {"sNearbyInt", _kexsNearbyInt, REF(float, nearbyint)},
        {"sFrac", _kexsFrac_21, frac_ref<float>},
        {"sModf int", [](int32_t n, const float* a, float* r) { float f[128]; _kexsModf(n, a, r, f); },
         [](float x) { std::modf(x, &x); return x; }},
        {"sModf frac", [](int32_t n, const float* a, float* r) { float i[128]; _kexsModf(n, a, i, r); },
         [](float x) { return std::modf(x, &x); }},
    };
#undef REF
    for (const auto& c : d) check_unary(c);
    for (const auto& c : s) check_unary(c);
}

// The caller's direction reaches Rint and NearbyInt only; the others round
// their own way. Only NearbyInt keeps the inexact flag clear (checked where
// the kernel leaves the register alone: a kernel that changed it writes the
// caller's value back, flags included). Denormals read as zero when the mode
// asks for it, whatever the caller had.
TEST(Rounding, ControlRegisterAndFlags) {
    constexpr uint32_t kUp = 0x4000, kDown = 0x2000, kFtzDaz = 0x8040, kInexact = 0x20, kAny = 1;
    const struct {
        const char* name;
        void (*kernel)(int32_t, const double*, double*);
        uint32_t csr, mode;
        double x, want;
        uint32_t inexact;
    } cases[] = {
        {"Rint", _kexdRint, 0, 0, 2.5, 2, kInexact},      {"Rint", _kexdRint, kUp, 0, 2.5, 3, kInexact},
        {"Rint", _kexdRint, kUp, 0, -2.5, -2, kInexact},  {"NearbyInt", _kexdNearbyInt, kUp, 0, 0.25, 1, 0},
        {"NearbyInt", _kexdNearbyInt, 0, 0, 2.5, 2, 0},   {"Floor", _kexdFloor, 0, 0, 2.5, 2, kInexact},
        {"Round", _kexdRound, kUp, 0, 0.25, 0, kAny},     {"Round", _kexdRound, kDown, 0, 2.5, 3, kAny},
        {"Floor", _kexdFloor, 0, KEX_MODE_FTZDAZ_ON, -1e-310, -0.0, kAny},
        {"Floor", _kexdFloor, kFtzDaz, KEX_MODE_FTZDAZ_OFF, -1e-310, -1, kAny},
    };
    for (const auto& c : cases) {
        on_fresh_thread([&] {
            if (c.mode) orvu_kex_kernel_SetMode(c.mode);
            double r = NAN;
            const uint32_t flags = with_mxcsr(c.csr, [&] { c.kernel(1, &c.x, &r); });
            EXPECT_TRUE(same(r, c.want)) << c.name << "(" << c.x << ") under " << std::hex << c.csr << ": " << r;
            EXPECT_TRUE(c.inexact == kAny || (flags & kInexact) == c.inexact) << c.name << "(" << c.x << ") flags";
        });
    }
    const float fa[9] = {2.5f, 1, 2, 3, 4, 5, 6, 7, 8.5f};  // single: a full block and the tail
    float fr[9];
    EXPECT_EQ(with_mxcsr(kDown, [&] { _kexsRint(9, fa, fr); }) & kInexact, kInexact);
    EXPECT_TRUE(fr[0] == 2.0f && fr[8] == 8.0f);
    EXPECT_EQ(with_mxcsr(kUp, [&] { _kexsNearbyInt(9, fa, fr); }) & kInexact, 0u);
    EXPECT_TRUE(fr[0] == 3.0f && fr[8] == 9.0f);
    double ip, fp;  // Modf truncates exactly under round-up
    const double third = 7.0 / 3;
    with_mxcsr(kUp, [&] { _kexdModf(1, &third, &ip, &fp); });
    EXPECT_TRUE(ip == 2.0 && fp == third - 2.0);
}

}  // namespace
