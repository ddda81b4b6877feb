// LGamma and TGamma in single and double precision: one generic-level
// kernel per function and precision, every element computed in x87
// extended precision (64-bit significand, precision control forced by the
// skeleton's X87 environment) and rounded once to the element type.
//
//   L2(e) = ln Gamma(2 + e), |e| <= 1/2: its Taylor series to e^30 (error
//     2^-65 relative), even and odd halves evaluated side by side.
//   ln Gamma, x > 0: below 8.5 the argument is moved to 2 + e by the
//     recurrence, the exact factors x - i (x + i) multiplied together and
//     their logarithm added (or subtracted); near the zeros 1 and 2 the
//     result is L2(e) - ln(1 + e) and L2(e) themselves, relative to e. From
//     8.5 on the Stirling series with 12 terms (2^-67).
//   ln Gamma, x < 0: up to 190 factors the same recurrence upwards (the
//     factor next to a pole is exact, so the pole's neighbourhood keeps its
//     relative accuracy); below, ln pi - ln|sin pi x| - ln Gamma(1 - x), the
//     sine of the exactly reduced argument.
//   Gamma: exp L2(e) (|L2| < 0.3: f2xm1) times or divided by the product of
//     the factors; at most 190 of them, in four interleaved partial products.
//     Beyond: overflow above 171.7, zero (with its sign) below -190.
// Near the zeros of ln Gamma on the negative axis the recurrence is a
// difference of terms of about ln n! and keeps only an absolute error of a
// few 2^-64; there (|ln Gamma| below about 2^-4) the Taylor series around the
// zero takes over, in t = x - z formed from the zero as hi + lo.
// Statuses: single LGamma 2 (poles) and 3 (overflow); single TGamma 1
// (negative integers, -inf), 2 (+-0) and 4 (results below the smallest
// normal float); the double kernels report nothing.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t vdlgamma_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vdtgamma_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vslgamma_cout_rare(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vstgamma_cout_rare(const float* a, float* r);
}

namespace kex {
namespace gamma_data {
#include "kex/kernels/real/erfgamma/gamma_table.inc"
#include "kex/kernels/real/erfgamma/gamma_zeros_table.inc"
}  // namespace gamma_data

namespace KEX_LVL {
namespace gam {

using LD = long double;
constexpr LD kLn2 = 0.693147180559945309417232121458176568L;
constexpr LD kLog2e = 1.44269504088896340735992468100189214L;

// x87 instructions: ln x = ln2 log2 x (fyl2x); ln(1 + x) for
// |x| < 1 - sqrt(1/2) (fyl2xp1); 2^y - 1 for |y| <= 1 (f2xm1); sin y for
// |y| <= pi/2 (fsin, no reduction needed there).
inline LD ln(LD x) {
    LD r;
    __asm__("fyl2x" : "=t"(r) : "0"(x), "u"(kLn2) : "st(1)");
    return r;
}
inline LD ln1p(LD x) {
    if (!(std::fabs(x) < 0.29L)) return ln(1.0L + x);
    LD r;
    __asm__("fyl2xp1" : "=t"(r) : "0"(x), "u"(kLn2) : "st(1)");
    return r;
}
inline LD exp_small(LD y) {
    LD r;
    __asm__("f2xm1" : "=t"(r) : "0"(y * kLog2e));
    return r + 1.0L;
}
inline LD sin_small(LD y) {
    LD r;
    __asm__("fsin" : "=t"(r) : "0"(y));
    return r;
}
// The integer nearest to x (frndint, in the control word's rounding mode).
inline LD round_l(LD x) {
    LD r;
    __asm__("frndint" : "=t"(r) : "0"(x));
    return r;
}

// ln Gamma(2 + e), |e| <= 1/2.
inline LD l2(LD e) {
    const LD* c = gamma_data::kLnGamma2;
    const LD z = e * e;
    LD odd = c[28], even = c[29];  // c[k - 1] multiplies e^k
    for (int k = 26; k >= 0; k -= 2) odd = odd * z + c[k], even = even * z + c[k + 1];
    return e * (odd + e * even);
}

// ln Gamma(x), x >= 8.5.
inline LD stirling(LD x) {
    const LD z = 1.0L / x, z2 = z * z;
    LD s = gamma_data::kStirling[11];
    for (int k = 10; k >= 0; --k) s = s * z2 + gamma_data::kStirling[k];
    return ((x - 0.5L) * ln(x) - x) + (gamma_data::kHalfLn2Pi + s * z);
}

// The product of x + i, i = 0..n-1, in four partial products; every factor
// is exact for |x| < 2^11 (53 of the 64 bits hold x).
inline LD rising(LD x, int n) {
    LD p[4] = {1.0L, 1.0L, 1.0L, 1.0L};
    int i = 0;
    for (; i + 4 <= n; i += 4)
        for (int k = 0; k < 4; ++k) p[k] *= x + (i + k);
    for (; i < n; ++i) p[0] *= x + i;
    return (p[0] * p[1]) * (p[2] * p[3]);
}

// x moved to 2 + e: x = 2 + e - n with the shift n (negative: moved down).
struct Shift { LD e; int n; };
inline Shift shift_of(LD x) {
    const LD k = round_l(x - 2.0L);
    return {x - 2.0L - k, -static_cast<int>(k)};
}

constexpr LD kFactorsMax = 190;

// ln Gamma(x) within the series radius of a listed negative zero (false
// elsewhere). x - hi is exact (the two are close), so t carries the zero's
// 2^-117 and one rounding: the result stays relative to t.
inline bool near_zero(LD x, LD& y) {
    using gamma_data::kZeroTerms;
    if (!(x < -2.0L && x > -(gamma_data::kZeroLastInterval + 1))) return false;
    const int n = static_cast<int>(-x);  // x in (-n-1, -n)
    const gamma_data::GammaZero& z = gamma_data::kGammaZeros[2 * (n - 2) + (x < -n - 0.5L ? 0 : 1)];
    const LD t = (x - z.hi) - z.lo;
    if (!(std::fabs(t) < z.r)) return false;
    LD p = z.c[kZeroTerms - 1];
    for (int k = kZeroTerms - 2; k >= 0; --k) p = p * t + z.c[k];
    y = p * t;
    return true;
}

// ln Gamma of a finite x that is not a pole.
inline LD lgamma_finite(LD x) {
    if (x >= 8.5L) return stirling(x);
    if (x > 0.0L) {
        if (x < 0.5L) return l2(x) - ln1p(x) - ln(x);
        if (x < 1.5L) return l2(x - 1.0L) - ln1p(x - 1.0L);
        const Shift s = shift_of(x);  // n <= 0 here
        return s.n == 0 ? l2(s.e) : l2(s.e) + ln(rising(x + s.n, -s.n));
    }
    if (LD y; near_zero(x, y)) return y;
    if (x > -kFactorsMax) {
        const Shift s = shift_of(x);  // n >= 1
        return l2(s.e) - ln(std::fabs(rising(x, s.n)));
    }
    // Reflection: x = k + f, |f| <= 1/2 exactly; |sin pi x| = |sin pi f|.
    const LD f = x - round_l(x);
    return (ln(gamma_data::kPi) - ln(std::fabs(sin_small(gamma_data::kPi * f)))) - stirling(1.0L - x);
}

// Gamma of a finite x that is not a pole, with x <= 172 (the caller takes
// the overflow) and x > -190.
inline LD tgamma_finite(LD x) {
    if (x > 0.0L && x < 0.5L) return exp_small(l2(x)) / (x * (1.0L + x));
    if (x > 0.0L && x < 1.5L) return exp_small(l2(x - 1.0L)) / x;
    const Shift s = shift_of(x);
    const LD g = exp_small(l2(s.e));
    if (s.n == 0) return g;
    return s.n < 0 ? g * rising(x + s.n, -s.n) : g / rising(x, s.n);
}

// x is a non-positive integer (a pole of both functions).
inline bool pole(LD x) { return x <= 0.0L && x == round_l(x); }

// g rounded to T; beyond T's range +-inf (a plain conversion would be
// undefined there).
template <class T> T narrow(LD g) {
    using L = std::numeric_limits<T>;
    if (std::fabs(g) > static_cast<LD>(L::max()) * (1.0L + L::epsilon() / 2)) return g > 0 ? L::infinity() : -L::infinity();
    return static_cast<T>(g);
}

// The IEEE result of element x and its status for the element type T.
template <class T> int32_t lgamma_of(T x, T& y) {
    using L = std::numeric_limits<T>;
    constexpr bool single = sizeof(T) == 4;
    if (x != x || std::fabs(x) == L::infinity()) {
        y = x * x;  // NaN, or +inf from either infinity
        return KEX_STATUS_OK;
    }
    if (pole(x)) {
        y = L::infinity();
        return single ? KEX_STATUS_SING : KEX_STATUS_OK;
    }
    y = narrow<T>(lgamma_finite(x));
    return single && std::fabs(y) == L::infinity() ? KEX_STATUS_OVERFLOW : KEX_STATUS_OK;
}

template <class T> int32_t tgamma_of(T x, T& y) {
    using L = std::numeric_limits<T>;
    constexpr bool single = sizeof(T) == 4;
    if (x != x || x == L::infinity()) {
        y = x + x;
        return KEX_STATUS_OK;
    }
    if (x == 0) {
        y = T(1) / x;  // +-inf with the sign of the zero
        return single ? KEX_STATUS_SING : KEX_STATUS_OK;
    }
    if (pole(x) || x == -L::infinity()) {
        y = L::quiet_NaN();
        return single ? KEX_STATUS_ERRDOM : KEX_STATUS_OK;
    }
    if (x > 172) {
        y = L::infinity();
        return KEX_STATUS_OK;
    }
    LD g;
    if (x > -kFactorsMax) {
        g = tgamma_finite(x);
    } else {
        // Below every positive number of T; negative between -2j - 1 and -2j.
        const LD k = std::floor(static_cast<LD>(x));
        g = std::fmod(k, 2.0L) == 0 ? 0.0L : -0.0L;
    }
    y = narrow<T>(g);
    return single && std::fabs(g) < static_cast<LD>(L::min()) ? KEX_STATUS_UNDERFLOW : KEX_STATUS_OK;
}

// One element at a time through the x87 code; lanes with a status go to the
// scalar routine, which computes them again and reports.
template <bool kLog, class Elem>
struct GammaOp : PolicyBase<Elem, 1, 1> {
    static constexpr Env kEnv = Env::X87;
    static constexpr bool kHasSpecial = sizeof(Elem) == 4;
    static constexpr int unroll = 1;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        Elem xa[V::lanes], ya[V::lanes], flag[V::lanes];
        x[0].store(xa);
        for (int i = 0; i < V::lanes; ++i) flag[i] = (kLog ? lgamma_of(xa[i], ya[i]) : tgamma_of(xa[i], ya[i])) ? 1 : 0;
        y[0] = V::load(ya);
        return V::load(flag) > V::splat(0);
    }
    int rare(const Elem* x, Elem* y) const {
        if constexpr (sizeof(Elem) == 4) return kLog ? vslgamma_cout_rare(x, y) : vstgamma_cout_rare(x, y);
        else return kLog ? vdlgamma_cout_rare(x, y) : vdtgamma_cout_rare(x, y);
    }
};

}  // namespace gam

template <> struct OpFor<fn_LGamma, acc_HA, double> { using type = gam::GammaOp<true, double>; };
template <> struct OpFor<fn_TGamma, acc_HA, double> { using type = gam::GammaOp<false, double>; };
template <> struct OpFor<fn_LGamma, acc_HA, float> { using type = gam::GammaOp<true, float>; };
template <> struct OpFor<fn_TGamma, acc_HA, float> { using type = gam::GammaOp<false, float>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A0)
extern "C" {
int32_t vdlgamma_cout_rare(const double* a, double* r) { return kex::KEX_LVL::gam::lgamma_of(*a, *r); }
int32_t vdtgamma_cout_rare(const double* a, double* r) { return kex::KEX_LVL::gam::tgamma_of(*a, *r); }
int32_t vslgamma_cout_rare(const float* a, float* r) { return kex::KEX_LVL::gam::lgamma_of(*a, *r); }
int32_t vstgamma_cout_rare(const float* a, float* r) { return kex::KEX_LVL::gam::tgamma_of(*a, *r); }
}
#endif
