// Asin and Acos in single and double precision.
//
// Double HA: atan2(x, sqrt(1 - x^2)) and atan2(sqrt(1 - x^2), x) through
// atan_core.h, 1 - x^2 and its square root carried as double pairs.
// Every other kernel goes without a division or a table (arc_series below):
// asin on [0, 1/2] is a polynomial in x^2, and beyond it
//   asin a = pi/2 - 2 asin s,  s = sqrt(z), z = (1 - a)/2 (exact for a >= 1/2),
// with s in [0, 1/2] again; acos x = pi/2 - asin x on [-1/2, 1/2], 2 asin s
// for x > 1/2 and pi - 2 asin s for x < -1/2. Double LA and EP, and single
// HA (in double, rounded once to float), evaluate in double; single LA and
// EP stay in float.
// Lanes with |x| >= 1 or NaN go to the special-value routines: |x| > 1
// (infinities too) is a domain error, NaN with status 1; +-1 give their exact
// limits; NaN gives NaN without a report.
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/real/trig/atan_core.h"
#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

extern "C" {
__attribute__((visibility("hidden"))) int32_t vdasin_cout_rare(const double* a, double* r);
__attribute__((visibility("hidden"))) int32_t vdacos_cout_rare(const double* a, double* r);
__attribute__((visibility("hidden"))) int32_t vsasin_cout_rare(const float* a, float* r);
__attribute__((visibility("hidden"))) int32_t vsacos_cout_rare(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace atan_core {

enum class Arc { Asin, Acos };

template <class V>
[[gnu::always_inline]] inline typename V::mask arc_special(V x) {
    const V a = abs(x);
    return (a >= V::splat(typename V::elem(1))) | unordered(a, a);
}

template <Arc K, Prec P, class V>
[[gnu::always_inline]] inline V arc_eval(V x) {
    if constexpr (K == Arc::Asin) return asin_eval<P>(x);
    else return acos_eval<P>(x);
}

// asin s = s + s z P(z), z = s^2, on s in [0, 1/2] (tools/sollya/asin.sollya,
// relative error of the exact-coefficient form): double degree 11 (2^-54.1,
// double LA) and 5 (2^-30, double EP and single HA); float degree 4 (2^-26,
// single LA) and 2 (2^-17.6, single EP).
inline constexpr double kAsinD11[12] = {
    0x1.555555555554ep-3, 0x1.3333333337233p-4, 0x1.6db6db67f6d9fp-5, 0x1.f1c71fbd29fb9p-6,
    0x1.6e8b264d46847p-6, 0x1.1c5997c35743cp-6, 0x1.c86a22cda4433p-7, 0x1.856073c1ac801p-7,
    0x1.fd1151b1a537bp-8, 0x1.087182f3f3191p-6, -0x1.66027474ff315p-7, 0x1.cfa0dd1b3cdaep-6};
inline constexpr double kAsinD5[6] = {0x1.555554dd8665cp-3, 0x1.33343bac7ac0bp-4, 0x1.6d5902b0ea293p-5,
                                      0x1.fdcb1d3494ea8p-6, 0x1.17dda3304280bp-6, 0x1.14e3256d60419p-5};
inline constexpr float kAsinF4[5] = {0x1.55555ep-3f, 0x1.332688p-4f, 0x1.70bf2ap-5f, 0x1.b1e3acp-6f,
                                     0x1.3926d2p-5f};
inline constexpr float kAsinF2[3] = {0x1.55605p-3f, 0x1.2d39bp-4f, 0x1.e41e94p-5f};

// The constants of arc_series as 16-byte rows (memory operands in the
// kernel loops): 1/2, 1, -0, pi/2 and pi as pairs, the series.
template <class T, size_t N> struct ArcRows {
    SplatRow<T> half, one, minus, pio2_hi, pio2_lo, pi_hi, pi_lo;
    SplatRow<T> c[N];
};
template <class T, size_t N> constexpr ArcRows<T, N> arc_rows(const T (&c)[N]) {
    using Pi = ArcPi<T>;
    ArcRows<T, N> r{splat_row(T(0.5)), splat_row(T(1)), splat_row(T(-0.0)), splat_row(Pi::pio2_hi),
                    splat_row(Pi::pio2_lo), splat_row(Pi::pi_hi), splat_row(Pi::pi_lo), {}};
    for (size_t i = 0; i < N; ++i) r.c[i] = splat_row(c[i]);
    return r;
}
inline constexpr auto kArcD11 = arc_rows(kAsinD11);
inline constexpr auto kArcD5 = arc_rows(kAsinD5);
inline constexpr auto kArcF4 = arc_rows(kAsinF4);
inline constexpr auto kArcF2 = arc_rows(kAsinF2);

// asin or acos of |x| < 1 without a division. On the outer part the sum
// base + (base_lo +- 2u) rounds twice at most (2u is exact, below 1.05,
// and the base at least pi/2), so the result keeps the series' accuracy
// within about one ulp; on the inner part asin is the series itself.
template <Arc K, class V, size_t N>
[[gnu::always_inline]] inline V arc_series(V x, const ArcRows<typename V::elem, N>& rows) {
    using T = typename V::elem;
    const ArcRows<T, N>& k = *opaque(&rows);
    const auto c = [](const SplatRow<T>& r) { return row_value<V>(r); };
    const V minus = c(k.minus), zero = V::splat(T(0));
    const V a = bit_andnot(minus, x), half = c(k.half), sign = bit_and(x, minus);
    const auto big = a > half;
    const V zb = (c(k.one) - a) * half;
    const V z = select(big, zb, a * a);
    const V s = select(big, sqrt(zb), a);
    V p;
    if constexpr (N > 6) {
        // Estrin's scheme: pairs, then pairs of pairs; a dependency chain of
        // about log2 N multiply-adds instead of N, the same value to within
        // the rounding of the terms.
        V t[N];
        for (size_t i = 0; i < N; ++i) t[i] = c(k.c[i]);
        V zp = z;
        for (size_t n = N; n > 1; n = (n + 1) / 2, zp = zp * zp) {
            for (size_t j = 0; j < n / 2; ++j) t[j] = t[2 * j] + zp * t[2 * j + 1];
            if (n % 2) t[n / 2] = t[n - 1];
        }
        p = t[0];
    } else {
        p = c(k.c[N - 1]);
        for (int i = static_cast<int>(N) - 2; i >= 0; --i) p = p * z + c(k.c[i]);
    }
    const V u = s + s * (z * p);
    const V t = select(big, u + u, u);
    if constexpr (K == Arc::Asin) {
        // inner: u; outer: pi/2 - 2u; then the sign of x
        const V hi = select(big, c(k.pio2_hi), zero), lo = select(big, c(k.pio2_lo), zero);
        return bit_xor(hi + (lo + bit_xor(t, select(big, minus, zero))), sign);
    } else {
        // inner: pi/2 - (+-u); outer: 2u for x > 0, pi - 2u for x < 0
        const auto xneg = x < zero;
        const V bhi = select(big, select(xneg, c(k.pi_hi), zero), c(k.pio2_hi));
        const V blo = select(big, select(xneg, c(k.pi_lo), zero), c(k.pio2_lo));
        return bhi + (blo + bit_xor(t, bit_xor(sign, select(big, zero, minus))));
    }
}

template <Arc K, Flavour F>
struct DArcOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F == Flavour::HA) y[0] = arc_eval<K, Prec::Full>(x[0]);
        else if constexpr (F == Flavour::LA) y[0] = arc_series<K>(x[0], kArcD11);
        else y[0] = arc_series<K>(x[0], kArcD5);
        return arc_special(x[0]);
    }
    int rare(const double* x, double* y) const {
        return K == Arc::Asin ? vdasin_cout_rare(x, y) : vdacos_cout_rare(x, y);
    }
};

// HA in double (the degree-5 series, 2^-30, rounded once), LA and EP in float.
template <Arc K, Flavour F>
struct SArcOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F == Flavour::HA) y[0] = widened(x[0], [](auto w) { return arc_series<K>(w, kArcD5); });
        else if constexpr (F == Flavour::LA) y[0] = arc_series<K>(x[0], kArcF4);
        else y[0] = arc_series<K>(x[0], kArcF2);
        return arc_special(x[0]);
    }
    int rare(const float* x, float* y) const {
        return K == Arc::Asin ? vsasin_cout_rare(x, y) : vsacos_cout_rare(x, y);
    }
};

}  // namespace atan_core

template <> struct OpFor<fn_Asin, acc_HA, double> { using type = atan_core::DArcOp<atan_core::Arc::Asin, Flavour::HA>; };
template <> struct OpFor<fn_Asin, acc_LA, double> { using type = atan_core::DArcOp<atan_core::Arc::Asin, Flavour::LA>; };
template <> struct OpFor<fn_Asin, acc_EP, double> { using type = atan_core::DArcOp<atan_core::Arc::Asin, Flavour::EP>; };
template <> struct OpFor<fn_Acos, acc_HA, double> { using type = atan_core::DArcOp<atan_core::Arc::Acos, Flavour::HA>; };
template <> struct OpFor<fn_Acos, acc_LA, double> { using type = atan_core::DArcOp<atan_core::Arc::Acos, Flavour::LA>; };
template <> struct OpFor<fn_Acos, acc_EP, double> { using type = atan_core::DArcOp<atan_core::Arc::Acos, Flavour::EP>; };
template <> struct OpFor<fn_Asin, acc_HA, float> { using type = atan_core::SArcOp<atan_core::Arc::Asin, Flavour::HA>; };
template <> struct OpFor<fn_Asin, acc_LA, float> { using type = atan_core::SArcOp<atan_core::Arc::Asin, Flavour::LA>; };
template <> struct OpFor<fn_Asin, acc_EP, float> { using type = atan_core::SArcOp<atan_core::Arc::Asin, Flavour::EP>; };
template <> struct OpFor<fn_Acos, acc_HA, float> { using type = atan_core::SArcOp<atan_core::Arc::Acos, Flavour::HA>; };
template <> struct OpFor<fn_Acos, acc_LA, float> { using type = atan_core::SArcOp<atan_core::Arc::Acos, Flavour::LA>; };
template <> struct OpFor<fn_Acos, acc_EP, float> { using type = atan_core::SArcOp<atan_core::Arc::Acos, Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_trig)
namespace {

// asin (K = Asin) or acos of a double, to the HA bound, with the status.
template <kex::KEX_LVL::atan_core::Arc K>
int32_t arc_scalar(double x, double* r) {
    namespace ac = kex::KEX_LVL::atan_core;
    const double a = std::fabs(x);
    if (x != x) {
        *r = x + x;
        return KEX_STATUS_OK;
    }
    if (a > 1) {
        *r = (x - x) / (x - x);  // NaN, invalid (inf - inf for the infinities)
        return KEX_STATUS_ERRDOM;
    }
    if (a == 1) *r = K == ac::Arc::Asin ? std::copysign(ac::kPio2Hi, x) : (x > 0 ? 0.0 : ac::kPiHi);
    else *r = ac::arc_eval<K, ac::Prec::Full>(kex::KEX_LVL::X1<double>{x}).v;
    return KEX_STATUS_OK;
}

}  // namespace

extern "C" {

__attribute__((visibility("hidden"))) int32_t vdasin_cout_rare(const double* a, double* r) {
    return arc_scalar<kex::KEX_LVL::atan_core::Arc::Asin>(*a, r);
}
__attribute__((visibility("hidden"))) int32_t vdacos_cout_rare(const double* a, double* r) {
    return arc_scalar<kex::KEX_LVL::atan_core::Arc::Acos>(*a, r);
}
__attribute__((visibility("hidden"))) int32_t vsasin_cout_rare(const float* a, float* r) {
    double d = 0;
    const int32_t st = arc_scalar<kex::KEX_LVL::atan_core::Arc::Asin>(*a, &d);
    *r = static_cast<float>(d);
    return st;
}
__attribute__((visibility("hidden"))) int32_t vsacos_cout_rare(const float* a, float* r) {
    double d = 0;
    const int32_t st = arc_scalar<kex::KEX_LVL::atan_core::Arc::Acos>(*a, &d);
    *r = static_cast<float>(d);
    return st;
}

}  // extern "C"
#endif
