// The extended-precision scalar routines against MPFR (256-bit references,
// errors in ulps of the 64-bit significand): a random sampler per routine
// over its domain and hard regions, the reduction by pi/4, and the special
// values as one table.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "orvu_kex.h"

namespace {

using ld = long double;
using Mpfr1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

// Error of got in units of the last place of the 64-bit significand of the
// exact value (denormal ulp at the bottom of the range).
double ulp_err(ld got, mpfr_srcptr exact) {
    if (mpfr_nan_p(exact) || std::isnan(got)) return mpfr_nan_p(exact) && std::isnan(got) ? 0 : 1e30;
    if (mpfr_inf_p(exact) || mpfr_zero_p(exact) || std::isinf(got)) {  // exact, zeros by sign
        const ld want = mpfr_get_ld(exact, MPFR_RNDN);
        return want == got && std::signbit(want) == std::signbit(got) ? 0 : 1e30;
    }
    mpfr_t d;
    mpfr_init2(d, 256);
    mpfr_set_ld(d, got, MPFR_RNDN);
    mpfr_sub(d, d, exact, MPFR_RNDN);
    const long e = std::max<long>(mpfr_get_exp(exact) - 64, -16445);
    mpfr_mul_2si(d, d, -e, MPFR_RNDN);
    const double r = std::fabs(mpfr_get_d(d, MPFR_RNDN));
    mpfr_clear(d);
    return r;
}

// Sampling range: |x| log-uniform in [lo, hi] with a random 64-bit
// significand (uniform if hi < 2 lo), sign negative with probability neg.
struct Range {
    ld lo, hi;
    double neg;
};

ld draw(std::mt19937_64& g, const Range& r) {
    const bool neg = std::uniform_real_distribution<double>()(g) < r.neg;
    if (r.hi < 2 * r.lo) {  // narrow range: uniform
        const ld x = r.lo + (r.hi - r.lo) * (static_cast<ld>(g()) * 0x1p-64L);
        return neg ? -x : x;
    }
    const double l0 = static_cast<double>(std::log2(r.lo)), l1 = static_cast<double>(std::log2(r.hi));
    ld x;
    do {
        const double e = l0 + (l1 - l0) * std::uniform_real_distribution<double>()(g);
        x = std::ldexp(static_cast<ld>(g() | (uint64_t{1} << 63)) * 0x1p-64L, static_cast<int>(std::floor(e)) + 1);
    } while (x < r.lo || x > r.hi);
    return neg ? -x : x;
}

struct Unary {
    const char* name;
    ld (*fn)(ld);
    Mpfr1 ref;
    std::vector<Range> ranges;
    double bound;
};

double max_err(const Unary& u, int samples) {
    std::mt19937_64 g(12345);
    mpfr_t x, y;
    mpfr_inits2(256, x, y, static_cast<mpfr_ptr>(nullptr));
    double worst = 0;
    ld at = 0;
    for (const Range& r : u.ranges)
        for (int i = 0; i < samples; ++i) {
            const ld a = draw(g, r);
            mpfr_set_ld(x, a, MPFR_RNDN);
            u.ref(y, x, MPFR_RNDN);
            const double e = ulp_err(u.fn(a), y);
            if (e > worst) worst = e, at = a;
        }
    mpfr_clears(x, y, static_cast<mpfr_ptr>(nullptr));
    std::printf("%-8s max %.3f ulp at %La\n", u.name, worst, at);
    return worst;
}

constexpr ld kBig = 0x1p1023L, kTiny = 0x1p-1074L;

const Unary kCases[] = {
    {"expl", orvu_kex_kernel_expl_scalar, mpfr_exp, {{0x1p-70L, 1, 0.5}, {1, 11356.5L, 0.5}, {11000, 11356.5L, 0}, {11000, 11399, 1}}, 1},
    {"logl", orvu_kex_kernel_logl_scalar, mpfr_log, {{kTiny, kBig, 0}, {0.9L, 1.1L, 0}, {0x1p-16440L, 1, 0}, {1e300L, 0x1p16000L, 0}}, 1},
    {"log1pl", orvu_kex_kernel_log1pl_scalar, mpfr_log1p, {{kTiny, 1, 0.5}, {1, kBig, 0}, {0.5L, 1, 1}}, 1},
    {"sqrtl", orvu_kex_kernel_sqrtl_scalar, mpfr_sqrt, {{kTiny, kBig, 0}}, 0.5},
    {"sinl", orvu_kex_kernel_sinl_scalar, mpfr_sin, {{kTiny, 1, 0.5}, {1, 1e6L, 0.5}, {1e6L, kBig, 0.5}}, 1.5},
    {"cosl", orvu_kex_kernel_cosl_scalar, mpfr_cos, {{kTiny, 1, 0.5}, {1, 1e6L, 0.5}, {1e6L, kBig, 0.5}}, 1.5},
    {"tanl", orvu_kex_kernel_tanl_scalar, mpfr_tan, {{kTiny, 1, 0.5}, {1, 1e6L, 0.5}, {1e6L, kBig, 0.5}}, 1.5},
    {"sinhl", orvu_kex_kernel_sinhl_scalar, mpfr_sinh, {{kTiny, 1, 0.5}, {1, 11357, 0.5}}, 1},
    {"coshl", orvu_kex_kernel_coshl_scalar, mpfr_cosh, {{kTiny, 1, 0.5}, {1, 11357, 0.5}}, 1},
    {"tanhl", orvu_kex_kernel_tanhl_scalar, mpfr_tanh, {{kTiny, 1, 0.5}, {1, 30, 0.5}}, 1.5},
    {"asinhl", orvu_kex_kernel_asinhl_scalar, mpfr_asinh, {{kTiny, 4, 0.5}, {4, kBig, 0.5}}, 1},
    {"acoshl", orvu_kex_kernel_acoshl_scalar, mpfr_acosh, {{1, 1 + 0x1p-30L, 0}, {1, 4, 0}, {4, kBig, 0}}, 1.5},
    {"atanl", orvu_kex_kernel_atanl_scalar, mpfr_atan, {{kTiny, 1, 0.5}, {1, kBig, 0.5}}, 1.5},
    {"asinl", orvu_kex_kernel_asinl_scalar, mpfr_asin, {{kTiny, 0.5L, 0.5}, {0.5L, 1, 0.5}, {1 - 0x1p-30L, 1, 0.5}}, 1.5},
    {"acosl", orvu_kex_kernel_acosl_scalar, mpfr_acos, {{kTiny, 0.5L, 0.5}, {0.5L, 1, 0.5}, {1 - 0x1p-30L, 1, 0.5}}, 1},
    {"atanhl", orvu_kex_kernel_atanhl_scalar, mpfr_atanh, {{kTiny, 0.5L, 0.5}, {0.5L, 1, 0.5}, {1 - 0x1p-40L, 1, 0.5}}, 1.5},
};

TEST(Xreal, UnaryAccuracy) {
    for (const Unary& u : kCases) EXPECT_LE(max_err(u, 3000), u.bound) << u.name;
}

// The pair routines (what the complex kernels call) give the single routines'
// results bit for bit, zeros' signs and non-finite arguments included.
TEST(Xreal, PairsMatchSingles) {
    std::mt19937_64 g(5);
    std::vector<ld> xs = {0.0L, -0.0L, INFINITY, -INFINITY, NAN, 0x1p-16445L, 11400, 1e300L};
    for (int i = 0; i < 2000; ++i) xs.push_back(draw(g, {0x1p-40L, 1e6L, 0.5}));
    auto same = [](ld a, ld b) { return std::memcmp(&a, &b, 10) == 0 || (std::isnan(a) && std::isnan(b)); };
    for (ld x : xs) {
        ld s, c;
        orvu_kex_kernel_sincosl_scalar(x, &s, &c);
        EXPECT_TRUE(same(s, orvu_kex_kernel_sinl_scalar(x)) && same(c, orvu_kex_kernel_cosl_scalar(x))) << static_cast<double>(x);
        orvu_kex_kernel_sinhcoshl_scalar(x, &s, &c);
        EXPECT_TRUE(same(s, orvu_kex_kernel_sinhl_scalar(x)) && same(c, orvu_kex_kernel_coshl_scalar(x))) << static_cast<double>(x);
    }
}

// Both arguments over the whole range in all four quadrants, ratios from
// below the denormals to above the overflow threshold.
TEST(Xreal, Atan2Accuracy) {
    std::mt19937_64 g(7);
    mpfr_t x, y, z;
    mpfr_inits2(256, x, y, z, static_cast<mpfr_ptr>(nullptr));
    double worst = 0;
    for (const Range r : {Range{kTiny, kBig, 0.5}, Range{0.25L, 4, 0.5}})
        for (int i = 0; i < 3000; ++i) {
            const ld yv = draw(g, r), xv = draw(g, r);
            mpfr_set_ld(y, yv, MPFR_RNDN), mpfr_set_ld(x, xv, MPFR_RNDN);
            mpfr_atan2(z, y, x, MPFR_RNDN);
            worst = std::max(worst, ulp_err(orvu_kex_kernel_atan2l_scalar(yv, xv), z));
        }
    mpfr_clears(x, y, z, static_cast<mpfr_ptr>(nullptr));
    std::printf("atan2l   max %.3f ulp\n", worst);
    EXPECT_LE(worst, 1);
}

// x = k pi/4 + hi + lo against a 3000-bit quotient: the double closest to a
// multiple of pi/2 (6381956970095103 2^797), a few others near multiples of
// pi/4, and random arguments up to the largest double.
TEST(Xreal, ReducePi04) {
    std::vector<ld> xs = {6381956970095103.0L * 0x1p797L, 0x1.fffffffffffffp1023L, 0.4L, -0.7853981633974483L,
                          1e22L, -355.0L};
    std::mt19937_64 g(9);
    for (int i = 0; i < 3000; ++i) xs.push_back(draw(g, {0.39L, 0x1p1024L, 0.5}));
    mpfr_t q, p, r, hl;
    mpfr_inits2(3000, q, p, r, hl, static_cast<mpfr_ptr>(nullptr));
    mpfr_const_pi(p, MPFR_RNDN);
    mpfr_div_2ui(p, p, 2, MPFR_RNDN);
    for (ld x : xs) {
        ld hi, lo;
        const int32_t k = orvu_kex_kernel_reduce_pi04l(x, &hi, &lo);
        mpfr_set_ld(r, x, MPFR_RNDN);
        mpfr_div(r, r, p, MPFR_RNDN);
        mpfr_round(q, r);
        mpfr_sub(r, r, q, MPFR_RNDN);  // x/(pi/4) - k in [-1/2, 1/2]
        mpfr_fmod_ui(q, q, 8, MPFR_RNDN);
        const long want_k = mpfr_get_si(q, MPFR_RNDN);
        mpfr_mul(r, r, p, MPFR_RNDN);
        mpfr_set_ld(q, hi, MPFR_RNDN);
        mpfr_sub(q, r, q, MPFR_RNDN);
        mpfr_set_ld(hl, lo, MPFR_RNDN);
        mpfr_sub(q, q, hl, MPFR_RNDN);
        mpfr_div(q, q, r, MPFR_RNDN);
        EXPECT_EQ(k, (want_k + 8) % 8) << static_cast<double>(x);
        EXPECT_LT(std::fabs(mpfr_get_d(q, MPFR_RNDN)), 0x1p-100) << static_cast<double>(x);
    }
    mpfr_clears(q, p, r, hl, static_cast<mpfr_ptr>(nullptr));
}

// IEEE special values, domain edges and overflow/underflow thresholds, the
// exact ones (zeros with their sign, infinities, NaN) bit for bit.
TEST(Xreal, SpecialValues) {
    const ld inf = INFINITY, nan = NAN;
    const ld args[] = {0, 1, 2, 0.5L, 0x1p-16445L, 11356.5L, 11357.3L, 12000, 11399.5L, 11400.5L, inf, nan};
    mpfr_t x, y, z;
    mpfr_inits2(256, x, y, z, static_cast<mpfr_ptr>(nullptr));
    for (const Unary& u : kCases)
        for (ld a : args)
            for (ld v : {a, -a}) {
                mpfr_set_ld(x, v, MPFR_RNDN);
                u.ref(y, x, MPFR_RNDN);
                EXPECT_LE(ulp_err(u.fn(v), y), u.bound) << u.name << "(" << static_cast<double>(v) << ")";
            }
    for (ld a : {ld{0}, ld{1}, 0x1p-16445L, 0x1p16383L, inf, nan})
        for (ld b : {ld{0}, ld{1}, 0x1p-16445L, 0x1p16383L, inf, nan})
            for (int sg = 0; sg < 4; ++sg) {
                const ld yv = sg & 1 ? -a : a, xv = sg & 2 ? -b : b;
                mpfr_set_ld(y, yv, MPFR_RNDN), mpfr_set_ld(x, xv, MPFR_RNDN);
                mpfr_atan2(z, y, x, MPFR_RNDN);
                EXPECT_LE(ulp_err(orvu_kex_kernel_atan2l_scalar(yv, xv), z), 1)
                    << "atan2l(" << static_cast<double>(yv) << ", " << static_cast<double>(xv) << ")";
            }
    mpfr_clears(x, y, z, static_cast<mpfr_ptr>(nullptr));
    EXPECT_EQ(orvu_kex_kernel_fabsl_scalar(-0.0L), 0.0L);
    EXPECT_FALSE(std::signbit(orvu_kex_kernel_fabsl_scalar(-0.0L)));
}

}  // namespace
