// Rounding kernels against the C library's definitions, including halfway
// cases, zeros, infinities and NaNs; the caller's rounding direction (followed
// by Rint and NearbyInt only) and the inexact flag.
#include "kex_test_util.h"

namespace {

using namespace kex_test;

template <class T> struct UnaryCase { const char* name; void (*kernel)(int32_t, const T*, T*); T (*ref)(T); };

// Fractional part the plain way: x minus its truncation, sign of x kept.
template <class T> T frac_ref(T x) {
    return std::isinf(x) ? std::copysign(T(0), x) : std::copysign(x - std::trunc(x), x);
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
    for (const auto& c : d) check_elementwise(c.kernel, c.ref, inputs<double>(61), {}, c.name);
    for (const auto& c : s) check_elementwise(c.kernel, c.ref, inputs<float>(61), {}, c.name);
}

// The caller's direction reaches Rint and NearbyInt only; the others round
// their own way. Only NearbyInt keeps the inexact flag clear (checked where
// the kernel leaves the register alone: a kernel that changed it writes the
// caller's value back, flags included).
TEST(Rounding, ControlRegisterAndFlags) {
    constexpr uint32_t kUp = 0x4000, kDown = 0x2000, kInexact = 0x20, kAny = 1;
    const struct { const char* name; void (*kernel)(int32_t, const double*, double*); uint32_t csr; double x, want;
                   uint32_t inexact; } cases[] = {
        {"Rint", _kexdRint, 0, 2.5, 2, kInexact},      {"Rint", _kexdRint, kUp, 2.5, 3, kInexact},
        {"Rint", _kexdRint, kUp, -2.5, -2, kInexact},  {"NearbyInt", _kexdNearbyInt, kUp, 0.25, 1, 0},
        {"NearbyInt", _kexdNearbyInt, 0, 2.5, 2, 0},   {"Floor", _kexdFloor, 0, 2.5, 2, kInexact},
        {"Round", _kexdRound, kUp, 0.25, 0, kAny},     {"Round", _kexdRound, kDown, 2.5, 3, kAny},
    };
    for (const auto& c : cases) {
        double r = NAN;
        const uint32_t flags = with_mxcsr(c.csr, [&] { c.kernel(1, &c.x, &r); });
        EXPECT_TRUE(same(r, c.want)) << c.name << "(" << c.x << ") under " << std::hex << c.csr << ": " << r;
        EXPECT_TRUE(c.inexact == kAny || (flags & kInexact) == c.inexact) << c.name << "(" << c.x << ") flags";
    }
    const float fa[9] = {2.5f, 1, 2, 3, 4, 5, 6, 7, 8.5f};  // single: a full block and the tail
    float fr[9];
    EXPECT_TRUE((with_mxcsr(kDown, [&] { _kexsRint(9, fa, fr); }) & kInexact) && fr[0] == 2 && fr[8] == 8);
    EXPECT_TRUE(!(with_mxcsr(kUp, [&] { _kexsNearbyInt(9, fa, fr); }) & kInexact) && fr[0] == 3 && fr[8] == 9);
    double ip, fp, third = 7.0 / 3;  // Modf truncates exactly under round-up
    with_mxcsr(kUp, [&] { _kexdModf(1, &third, &ip, &fp); });
    EXPECT_TRUE(ip == 2.0 && fp == third - 2.0);
}

}  // namespace
