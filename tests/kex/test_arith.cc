// Div, Inv, Abs and LinearFrac: zero divisors and their reports in every
// flavour, the single-precision block fallback, the accuracy of the LA and EP
// reciprocals against exact quotients, and LinearFrac's three paths and its
// fixed control register.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "kex_test_util.h"
#include "orvu_kex.h"

extern "C" {
int32_t _kexsDiv_11_scalar(const float* a, const float* b, float* r);
int32_t _kexsDiv_21_scalar(const float* a, const float* b, float* r);
int32_t _kexsInv_11_scalar(const float* a, float* r);
int32_t _kexsInv_21_scalar(const float* a, float* r);
}

namespace {

using namespace kex_test;

// Reports seen through a callback, in order: (status, index).
using Reports = std::vector<std::pair<int32_t, int32_t>>;
Reports g_reports;
int32_t collect(KexErrorContext* c) {
    g_reports.push_back({c->code, c->index});
    return 0;
}
void collect_reports() {
    g_reports.clear();
    orvu_kex_kernel_SetErrorCallBack(collect);
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
}

// Every flavour of Div: zero divisors give IEEE results and one report each,
// in increasing element order, inside a full block and in the tail.
template <class T, size_t N>
void check_zero_divisors(void (*const (&kernels)[N])(int32_t, const T*, const T*, T*)) {
    const T inf = std::numeric_limits<T>::infinity();
    //            fast   /0    /-0   0/0  ...             tail: /0
    std::vector<T> a = {1, 1, 1, 0, 3, 5, 7, 9, 6, -2};
    std::vector<T> b = {1, 0, -0.0, 0, 2, 4, 8, 16, 3, 0};
    for (auto kernel : kernels) {
        on_fresh_thread([&] {
            collect_reports();
            std::vector<T> r(a.size());
            kernel(static_cast<int32_t>(a.size()), a.data(), b.data(), r.data());
            EXPECT_EQ(r[1], inf);
            EXPECT_EQ(r[2], -inf);
            EXPECT_TRUE(std::isnan(r[3]));
            EXPECT_EQ(r[9], -inf);
            EXPECT_NEAR(r[4], T(1.5), T(1e-3));
            EXPECT_NEAR(r[8], T(2), T(1e-3));
            EXPECT_EQ(g_reports, (Reports{{2, 1}, {2, 2}, {2, 3}, {2, 9}}));
            EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 2);
        });
    }
}

TEST(Division, ZeroDivisorsAreReportedInOrder) {
    void (*const sk[])(int32_t, const float*, const float*, float*) = {_kexsDiv, _kexsDiv_21, _kexsDiv_11};
    void (*const dk[])(int32_t, const double*, const double*, double*) = {_kexdDiv, _kexdDiv_50, _kexdDiv_26};
    check_zero_divisors(sk);
    check_zero_divisors(dk);
}

TEST(Division, InvReportsZeroArguments) {
    on_fresh_thread([] {
        for (auto k : {_kexsInv, _kexsInv_21, _kexsInv_11}) {
            collect_reports();
            float a[11] = {1, 2, 4, 8, -0.0f, 1, 2, 4, 0.5f, 0.25f, 0}, r[11];
            k(11, a, r);
            EXPECT_EQ(r[4], -INFINITY);
            EXPECT_EQ(r[10], INFINITY);
            EXPECT_NEAR(r[9], 4.0f, 4e-3f);
            EXPECT_EQ(g_reports, (Reports{{2, 4}, {2, 10}}));
        }
        for (auto k : {_kexdInv, _kexdInv_50, _kexdInv_26}) {
            collect_reports();
            double a[5] = {4, 0, 8, 0.5, -0.0}, r[5];
            k(5, a, r);
            EXPECT_EQ(r[1], INFINITY);
            EXPECT_EQ(r[4], -INFINITY);
            EXPECT_NEAR(r[0], 0.25, 1e-7);
            EXPECT_EQ(g_reports, (Reports{{2, 1}, {2, 4}}));
        }
    });
}

// Single LA/EP: which divisors the scalar routine reports, against HA which
// reports every zero divisor whatever the dividend.
TEST(Division, SingleLowFlavoursReportOnlyZeroOverANumber) {
    on_fresh_thread([] {
        const float den = 1e-39f, big = 3e38f;
        const float a[4] = {1, NAN, 1, 6e-39f}, b[4] = {den, 0, 0, big};
        for (auto k : {_kexsDiv_21, _kexsDiv_11}) {
            collect_reports();
            float r[4];
            k(4, a, b, r);
            EXPECT_EQ(r[0], 1.0f / den);      // denormal divisor: exact, no report
            EXPECT_TRUE(std::isnan(r[1]));    // NaN / 0: no report
            EXPECT_EQ(r[2], INFINITY);
            EXPECT_EQ(r[3], 6e-39f / big);    // huge divisor: exact
            EXPECT_EQ(g_reports, (Reports{{2, 2}}));
        }
        collect_reports();
        float r[4];
        _kexsDiv(4, a, b, r);
        EXPECT_EQ(g_reports, (Reports{{2, 1}, {2, 2}}));
    });
}

// A block of 8 with one special lane goes wholly through the scalar routine,
// which repeats the vector formula: every lane equals the routine's result,
// and results are written in place.
TEST(Division, SpecialLaneBlockMatchesScalarRoutines) {
    std::mt19937 g(7);
    std::uniform_real_distribution<float> u(0.1f, 100.f);
    std::vector<float> a(20), b(20);
    for (int i = 0; i < 20; ++i) a[i] = u(g), b[i] = u(g);
    b[11] = 1e-40f;  // second block
    const struct {
        void (*div)(int32_t, const float*, const float*, float*);
        int32_t (*scalar)(const float*, const float*, float*);
    } flavours[] = {{_kexsDiv_21, _kexsDiv_21_scalar}, {_kexsDiv_11, _kexsDiv_11_scalar}};
    for (auto f : flavours) {
        std::vector<float> r = a;
        f.div(20, r.data(), b.data(), r.data());
        for (int i = 0; i < 20; ++i) {
            float want;
            EXPECT_EQ(f.scalar(&a[i], &b[i], &want), 0);
            EXPECT_TRUE(same_bits(r[i], want)) << i;
        }
    }
    float one = 1, zero = 0, r;
    EXPECT_EQ(_kexsInv_21_scalar(&zero, &r), 2);
    EXPECT_EQ(r, INFINITY);
    EXPECT_EQ(_kexsInv_11_scalar(&one, &r), 0);
    EXPECT_NEAR(r, 1.0f, 1.5f * std::ldexp(1.0f, -12));
}

// Divisors spread over the whole fast range, plus its edges and mantissas of
// all zeros and all ones; dividends random.
template <class T>
std::vector<T> divisors(int count, int min_exp, int max_exp, uint32_t seed) {
    std::mt19937_64 g(seed);
    std::uniform_real_distribution<T> mant(1, 2);
    std::uniform_int_distribution<int> ex(min_exp, max_exp);
    std::vector<T> v;
    for (int e : {min_exp, min_exp + 1, max_exp - 1, max_exp, 0, -1, 1})
        for (T m : {T(1), T(2) - std::numeric_limits<T>::epsilon(), T(1.5)})
            for (T s : {T(1), T(-1)}) v.push_back(s * std::ldexp(m, e));
    while (static_cast<int>(v.size()) < count) v.push_back((g() & 1 ? 1 : -1) * std::ldexp(mant(g), ex(g)));
    return v;
}

// Smallest number of correct bits over all elements: -log2 of the largest
// relative error against the quotient in long double.
template <class T, class K>
double correct_bits(K kernel, bool inv, const std::vector<T>& b) {
    std::mt19937_64 g(3);
    std::uniform_real_distribution<T> u(1, 2);
    std::vector<T> a(b.size()), r(b.size());
    for (T& x : a) x = inv ? T(1) : u(g);
    kernel(static_cast<int32_t>(b.size()), a.data(), b.data(), r.data());
    long double worst = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        const long double q = static_cast<long double>(a[i]) / b[i];
        worst = std::max(worst, std::fabs((r[i] - q) / q));
    }
    return worst == 0 ? 64.0 : -std::log2(static_cast<double>(worst));
}

TEST(Division, LowFlavoursReachTheirCorrectBits) {
    using SK = void (*)(int32_t, const float*, const float*, float*);
    using DK = void (*)(int32_t, const double*, const double*, double*);
    // Inv under the binary signature (its dividends are all 1).
#define INV(k) [](int32_t n, const auto*, const auto* b, auto* r) { k(n, b, r); }
    const auto sb = divisors<float>(20000, -126, 125, 1);
    const auto db = divisors<double>(20000, -1022, 1020, 2);
    const struct { const char* name; double bits, need; } rows[] = {
        {"sDiv LA", correct_bits<float>(SK(_kexsDiv_21), false, sb), 21},
        {"sDiv EP", correct_bits<float>(SK(_kexsDiv_11), false, sb), 11},
        {"sInv LA", correct_bits<float>(INV(_kexsInv_21), true, sb), 21},
        {"sInv EP", correct_bits<float>(INV(_kexsInv_11), true, sb), 11},
        {"dDiv LA", correct_bits<double>(DK(_kexdDiv_50), false, db), 50},
        {"dDiv EP", correct_bits<double>(DK(_kexdDiv_26), false, db), 26},
        {"dInv LA", correct_bits<double>(INV(_kexdInv_50), true, db), 50},
        {"dInv EP", correct_bits<double>(INV(_kexdInv_26), true, db), 26},
        {"sDiv HA", correct_bits<float>(SK(_kexsDiv), false, sb), 24},
        {"dDiv HA", correct_bits<double>(DK(_kexdDiv), false, db), 53},
    };
    for (const auto& r : rows) {
        std::cout << "[ bits    ] " << r.name << ": " << r.bits << " correct bits (target " << r.need << ")\n";
        EXPECT_GE(r.bits, r.need) << r.name;
    }
    // The EP estimate keeps the processor's bound 1.5 * 2^-12.
    EXPECT_GE(correct_bits<float>(INV(_kexsInv_11), true, sb), 12 - std::log2(1.5));
#undef INV
}

TEST(Abs, SignIsClearedAndNaNsStayNaN) {
    const double a[5] = {-0.0, -INFINITY, -2.5, NAN, 1e-310};
    double r[5];
    _kexdAbs(5, a, r);
    EXPECT_TRUE(same_bits(r[0], 0.0));
    EXPECT_EQ(r[1], INFINITY);
    EXPECT_EQ(r[2], 2.5);
    EXPECT_TRUE(std::isnan(r[3]));
    EXPECT_EQ(r[4], 1e-310);
    float fa[9] = {-1, 2, -3, 4, -5, -0.0f, 7, -8, -9}, fr[9];
    _kexsAbs_11(9, fa, fr);
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(same_bits(fr[i], std::fabs(fa[i]))) << i;
    on_fresh_thread([] {  // a denormal reads as zero under denormals-are-zero
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);
        double d[1] = {-1e-310}, dr[1];
        _kexdAbs(1, d, dr);
        EXPECT_EQ(dr[0], 0.0);
    });
}

// LinearFrac against the plain long double formula, one case per path.
template <class T>
void check_linear_frac(void (*k)(int32_t, const T*, const T*, T, T, T, T, T*), T sa, T oa, T sb, T ob, double tol) {
    std::mt19937 g(11);
    std::uniform_real_distribution<T> u(-100, 100);
    std::vector<T> a(37), b(37), r(37);
    for (int i = 0; i < 37; ++i) a[i] = u(g), b[i] = u(g);
    k(37, a.data(), b.data(), sa, oa, sb, ob, r.data());
    for (int i = 0; i < 37; ++i) {
        const long double want = (static_cast<long double>(sa) * a[i] + oa) / (static_cast<long double>(sb) * b[i] + ob);
        EXPECT_NEAR(static_cast<double>((r[i] - want) / want), 0.0, tol) << i;
    }
}

TEST(LinearFrac, ThreePathsAgreeWithTheFormula) {
    check_linear_frac<double>(_kexdLinearFrac, 3, 1, 0, 2, 1e-15);  // sb = 0: (3/2) a + 1/2
    check_linear_frac<double>(_kexdLinearFrac, 0, 5, 2, 1, 1e-15);
    check_linear_frac<double>(_kexdLinearFrac, 1.5, -2, 0.25, 3, 1e-14);
    check_linear_frac<float>(_kexsLinearFrac, 3, 1, 0, 2, 2e-7);
    check_linear_frac<float>(_kexsLinearFrac, 0, 5, 2, 1, 1.2e-7);
    check_linear_frac<float>(_kexsLinearFrac, 1.5f, -2, 0.25f, 3, 1e-6);
}

TEST(LinearFrac, SpecialDenominatorsAndUnreadArguments) {
    on_fresh_thread([] {
        collect_reports();
        const double a[3] = {INFINITY, NAN, 1}, b[3] = {-1, 2, -0.5};
        double r[3];
        _kexdLinearFrac(3, a, b, 0, 4, 2, 2, r);  // sa = 0: a is never read
        EXPECT_EQ(r[0], INFINITY);                // 4 / 0
        EXPECT_EQ(r[1], 4.0 / 6);
        EXPECT_EQ(r[2], 4.0);
        float fa[2] = {1, 2}, fb[2] = {0, 1}, fr[2];
        _kexsLinearFrac(2, fa, fb, 1, 0, 1, 0, fr);  // 1/0 and 2/1
        EXPECT_EQ(fr[0], INFINITY);
        EXPECT_EQ(fr[1], 2.0f);
        EXPECT_TRUE(g_reports.empty());
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
    });
}

// The control register is cleared for the call whatever the caller or the
// mode say, and restored afterwards.
TEST(LinearFrac, RunsRoundToNearestWithDenormalsKept) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);  // not read by LinearFrac
        const uint32_t saved = _mm_getcsr();
        _mm_setcsr(saved | 0xC040);  // round up, flush-to-zero, denormals-are-zero
        const double a[2] = {1e-310, 1}, b[2] = {1, 3};
        double r[2];
        _kexdLinearFrac(2, a, b, 1, 0, 1, 0, r);  // a / b
        const uint32_t after = _mm_getcsr();
        _mm_setcsr(saved);
        EXPECT_EQ(after & 0xE040u, 0xC040u);
        EXPECT_EQ(r[0], 1e-310);
        EXPECT_EQ(r[1], 1.0 / 3);  // the constant is folded to nearest
    });
}

}  // namespace
