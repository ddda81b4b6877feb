// Pow and Powx: x^y = e^(y ln x).
//   double HA: ln x = hi + lo from the double logarithm's table reduction
//       (relative error of the sum about 2^-67), y hi as an exact pair by
//       Dekker's product, z = zh + zl with zl = that pair's low part + y lo;
//       then the double exponential's reduction of zh, with zl added to the
//       reduced argument, and 2^(k>>6) (Th + Tl) e^r. The error of z stays
//       near 2^-60 absolute over the whole plane (x next to 1 makes ln x
//       small, but then its relative error is that of the polynomial), so
//       the result is within about 0.52 ulp.
//   double LA: the same with the shorter logarithm polynomial and the
//       exponential's rounded table.
//   double EP: ln x rounded to double, z = y ln x rounded, the table-free
//       exponential (2^-28.9).
//   single: in double, ln x rounded (2^-53) and z rounded: |z| < 708 on the
//       fast path keeps its error below 2^-42; HA with the LA exponential,
//       EP with the EP logarithm and exponential; rounded once to float.
// Lanes outside the fast path (x not a positive normal number, y not finite
// or |y| > 2^900, |zh| >= 708.39599609375 where the result nears the ends of
// the range) go to the special-value routines: the Annex F special cases,
// negative bases (NaN and status 1 for a non-integral y, else the sign of an
// odd y), and the full range with one rounding of denormal results.
//
// Single Powx HA first compares the exponent bit for bit with 2, -1, 0.5,
// -0.5 and 1.5 and runs x * x, the HA kernels of Inv, Sqrt, InvSqrt or
// Pow3o2 over the whole array instead.
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/real/power/common.h"
#include "kex/kernels/real/power/pow3o2.h"
#include "kex/kernels/real/power/sqrt.h"
#include "kex/kernels/tags.h"

// Inline building blocks only: the exponential and logarithm headers define
// their scalar routines in the SSE2 unit of their own family.
#include "kex/kernels/real/explog/exp_double.h"
#include "kex/kernels/real/explog/log_double.h"

extern "C" {
// (base, exponent, result) -> status: 1 for a negative finite base with a
// non-integral exponent, 0 otherwise.
__attribute__((visibility("hidden"))) int32_t vdpow_cout_rare(const double* a, const double* b, double* r);
__attribute__((visibility("hidden"))) int32_t vdpowx_cout_rare(const double* a, const double* b, double* r);
__attribute__((visibility("hidden"))) int32_t vspow_cout_rare(const float* a, const float* b, float* r);
__attribute__((visibility("hidden"))) int32_t vspowx_cout_rare(const float* a, const float* b, float* r);
// The single-precision result of one element, computed in double.
__attribute__((visibility("hidden"))) int32_t _spow_scalar(float a, float b, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace ppow {

constexpr double kHugeY = 0x1p900;  // beyond: x^y overflows or underflows unless x = 1

// z = y ln x as zh + zl (HA, LA) for positive normal x.
template <Flavour F, class W>
[[gnu::always_inline]] inline void log_times(W x, W y, W& zh, W& zl, typename W::mask& special) {
    const dlog::Reduced<W> a = dlog::reduce<F>(x);
    special = dlog::outside(a);
    W hi, lo, q;
    dlog::ln_parts<F>(a, hi, lo);
    pw::two_prod(y, hi, zh, q);
    // lo carries ln(1 + r) - r (up to 2^-21 of hi): the sum is renormalized
    // so that zh alone places z for the exponential's reduction.
    const W t = q + y * lo;
    const W s = zh + t;
    zl = (zh - s) + t;
    zh = s;
}

// e^(zh + zl) for |zh| < 708.39599609375.
template <Flavour F, class W>
[[gnu::always_inline]] inline W exp_sum(W zh, W zl) {
    const dexp::Reduced<W> d = dexp::reduce(zh);
    const W p = dexp::exp_poly((d.rh - d.nl) + zl);
    if constexpr (F == Flavour::HA) {
        W th, tl;
        dexp::table_pair(d.t, th, tl);
        return ((p * (th + tl) + tl) + th) * dexp::scale_of(d.t);
    } else {
        const W tr = gather(dexp_data::kExp2J64Rounded, bit_and(d.t, splat_bits<W>(63)));
        return (p * tr + tr) * dexp::scale_of(d.t);
    }
}

// x^y of double lanes and the mask of lanes for the special path.
template <Flavour F, class W>
[[gnu::always_inline]] inline W pow_double(W x, W y, typename W::mask& special) {
    const typename W::mask bad_y = unordered(y, y) | (abs(y) > W::splat(kHugeY));
    W r, z;
    if constexpr (F == Flavour::EP) {
        const dlog::Reduced<W> a = dlog::reduce<Flavour::LA>(x);
        special = dlog::outside(a);
        z = y * dlog::finish<dlog::Kind::Ln, Flavour::LA>(a);
        r = dexp::exp_ep(z);
    } else {
        W zl;
        log_times<F>(x, y, z, zl, special);
        r = exp_sum<F>(z, zl);
    }
    special = special | bad_y | dexp::out_of_range(z);
    return r;
}

// x^y of float lanes, computed in double.
template <Flavour F, class V>
[[gnu::always_inline]] inline V pow_single(V x, V y, typename V::mask& special) {
    using Wd = Widened<V>;
    using W = typename Wd::type;
    constexpr Flavour LogF = F == Flavour::EP ? Flavour::EP : Flavour::LA;
    W out[Wd::parts], zs[Wd::parts];
    for (int k = 0; k < Wd::parts; ++k) {
        const dlog::Reduced<W> a = dlog::reduce<LogF>(Wd::part(x, k));
        zs[k] = Wd::part(y, k) * dlog::finish<dlog::Kind::Ln, LogF>(a);
        out[k] = F == Flavour::EP ? dexp::exp_ep(zs[k]) : dexp::exp_la(zs[k]);
    }
    // x a positive finite float (denormals are normal doubles), y finite, and
    // |z| < 700 (z rounded to float for the test).
    const V z = Wd::join(zs);
    special = (x <= V::splat(0.0f)) | bits_gt(x, splat_bits<V>(0x7F7FFFFFu)) | unordered(x, y) |
              (abs(y) > V::splat(3.4028235e38f)) | unordered(z, z) | (abs(z) > V::splat(700.0f));
    return Wd::join(out);
}

template <class T, Flavour F, class V>
[[gnu::always_inline]] inline V pow_any(V x, V y, typename V::mask& special) {
    if constexpr (sizeof(T) == 8) return pow_double<F>(x, y, special);
    else return pow_single<F>(x, y, special);
}

template <class T, Flavour F>
struct PowOp : PolicyBase<T, 2, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        typename V::mask m;
        y[0] = pow_any<T, F>(x[0], x[1], m);
        return m;
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 8) return vdpow_cout_rare(x, x + 1, y);
        else return vspow_cout_rare(x, x + 1, y);
    }
};

// Powx: the exponent is one value for the whole call.
template <class T, Flavour F>
struct PowxOp : PolicyBase<T, 1, 1> {
    static constexpr bool kHasSpecial = true;
    T b;
    explicit PowxOp(T e) : b(e) {}
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        typename V::mask m;
        y[0] = pow_any<T, F>(x[0], V::splat(b), m);
        return m;
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 8) return vdpowx_cout_rare(x, &b, y);
        else return vspowx_cout_rare(x, &b, y);
    }
};

// The shortcuts of single Powx HA. x * x and 1/x are x^2 and x^-1 for
// every x. The Sqrt, InvSqrt and Pow3o2 kernels give the same results as
// their own kernels on positive finite lanes; the other lanes take the
// power's special cases instead (x^0.5 of -0 is +0, of -inf +inf, of a
// negative number NaN with status 1; x^-0.5 of +-0 is +inf, no report).
struct SquareOp : PolicyBase<float, 1, 1> {
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = x[0] * x[0];
        return V::mask::none();
    }
};
struct InvOp : PolicyBase<float, 1, 1> {
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = V::splat(1.0f) / x[0];
        return V::mask::none();
    }
};
template <class Fn>
struct ShortcutOp : OpFor<Fn, acc_HA, float>::type {
    using Base = typename OpFor<Fn, acc_HA, float>::type;
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = false;
    static constexpr int kBlockRoutine = 0;
    float b;
    explicit ShortcutOp(float e) : b(e) {}
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        // The kernel's own special lanes, and those whose pattern, read as a
        // signed integer, is not that of a positive finite number.
        return Base::fast(x, y) | bits_gt(splat_bits<V>(1u), x[0]) | bits_gt(x[0], splat_bits<V>(0x7F7FFFFFu));
    }
    int rare(const float* x, float* y) const { return vspowx_cout_rare(x, &b, y); }
};

struct PowxSingleHaOp : PowxOp<float, Flavour::HA> {
    using PowxOp::PowxOp;
    static bool whole_call(const char* name, int32_t n, const float* a, float b, float* r) {
        switch (bits_of(b)) {
            case 0x40000000u: run_unary<SquareOp>(name, n, a, r); return true;                  // 2
            case 0xBF800000u: run_unary<InvOp>(name, n, a, r); return true;                     // -1
            case 0x3F000000u: run_unary(name, n, a, r, ShortcutOp<fn_Sqrt>(b)); return true;     // 0.5
            case 0xBF000000u: run_unary(name, n, a, r, ShortcutOp<fn_InvSqrt>(b)); return true;  // -0.5
            case 0x3FC00000u: run_unary(name, n, a, r, ShortcutOp<fn_Pow3o2>(b)); return true;   // 1.5
            default: return false;
        }
    }
};

// Positive finite x (denormals included) and finite y: the HA formula with
// the whole exponent range, denormal results rounded once more from the
// double that carries them.
inline double pow_positive(double x, double y) {
    using U = X1<double>;
    if (x == 1) return 1.0;
    if (std::fabs(y) > kHugeY) return (x > 1) == (y > 0) ? INFINITY : 0.0;
    const bool tiny = x < 0x1p-1022;
    dlog::Reduced<U> a = dlog::reduce<Flavour::HA>(U{tiny ? x * 0x1p64 : x});
    if (tiny) a.e = a.e - U{64.0};
    U hi, lo, zh, q;
    dlog::ln_parts<Flavour::HA>(a, hi, lo);
    pw::two_prod(U{y}, hi, zh, q);
    const U t = q + U{y} * lo, s = zh + t;
    const U zl = (zh - s) + t;
    zh = s;
    if (zh.v > 710) return INFINITY;
    if (zh.v < -746) return 0.0;
    const dexp::Reduced<U> d = dexp::reduce(zh);
    const U p = dexp::exp_poly((d.rh - d.nl) + zl);
    U th, tl;
    dexp::table_pair(d.t, th, tl);
    const double v = ((p * (th + tl) + tl) + th).v;
    const int32_t k = static_cast<int32_t>(static_cast<uint32_t>(bits_of(d.t.v)));
    return std::ldexp(v, k >> 6);
}

// The special cases, negative bases and the full range.
inline int32_t pow_rare(double x, double y, double* r) {
    if (y == 0 || x == 1) return *r = 1.0, KEX_STATUS_OK;  // also for NaN x or y
    if (std::isnan(x) || std::isnan(y)) return *r = x + y, KEX_STATUS_OK;
    const double ax = std::fabs(x);
    if (std::isinf(y)) return *r = ax == 1 ? 1.0 : (ax > 1) == (y > 0) ? INFINITY : 0.0, KEX_STATUS_OK;
    const bool integral = std::trunc(y) == y;
    const bool odd = integral && std::fabs(y) < 0x1p53 && std::fmod(y, 2.0) != 0;
    if (x == 0 || std::isinf(x)) {
        // 0^y and inf^y: +-0 or +-inf, signed for an odd y.
        const bool big = (x == 0) == (y < 0);
        const double m = big ? INFINITY : 0.0;
        return *r = odd ? std::copysign(m, x) : m, KEX_STATUS_OK;
    }
    if (x < 0 && !integral) return *r = (x - x) / (x - x), KEX_STATUS_ERRDOM;
    const double v = pow_positive(ax, y);
    return *r = x < 0 && odd ? -v : v, KEX_STATUS_OK;
}

}  // namespace ppow

template <class T> struct OpFor<fn_Pow, acc_HA, T> { using type = ppow::PowOp<T, Flavour::HA>; };
template <class T> struct OpFor<fn_Pow, acc_LA, T> { using type = ppow::PowOp<T, Flavour::LA>; };
template <class T> struct OpFor<fn_Pow, acc_EP, T> { using type = ppow::PowOp<T, Flavour::EP>; };
template <> struct OpFor<fn_Powx, acc_HA, float> { using type = ppow::PowxSingleHaOp; };
template <> struct OpFor<fn_Powx, acc_EP, float> { using type = ppow::PowxOp<float, Flavour::EP>; };
template <> struct OpFor<fn_Powx, acc_HA, double> { using type = ppow::PowxOp<double, Flavour::HA>; };
template <> struct OpFor<fn_Powx, acc_LA, double> { using type = ppow::PowxOp<double, Flavour::LA>; };
template <> struct OpFor<fn_Powx, acc_EP, double> { using type = ppow::PowxOp<double, Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" {

__attribute__((visibility("hidden"))) int32_t vdpow_cout_rare(const double* a, const double* b, double* r) {
    return kex::KEX_LVL::ppow::pow_rare(*a, *b, r);
}
__attribute__((visibility("hidden"))) int32_t vdpowx_cout_rare(const double* a, const double* b, double* r) {
    return kex::KEX_LVL::ppow::pow_rare(*a, *b, r);
}
__attribute__((visibility("hidden"))) int32_t _spow_scalar(float a, float b, float* r) {
    double v = 0;
    const int32_t st = kex::KEX_LVL::ppow::pow_rare(a, b, &v);
    *r = static_cast<float>(v);
    return st;
}
__attribute__((visibility("hidden"))) int32_t vspow_cout_rare(const float* a, const float* b, float* r) {
    return _spow_scalar(*a, *b, r);
}
__attribute__((visibility("hidden"))) int32_t vspowx_cout_rare(const float* a, const float* b, float* r) {
    return _spow_scalar(*a, *b, r);
}

}  // extern "C"
#endif
