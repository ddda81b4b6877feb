// Asinh, Acosh and Atanh in single and double precision.
//
// Double: the logarithm of an argument built as a head and a tail
// (common.h, ln_dd), so that neither the argument nor the result near 0
// cancels:
//   asinh t = ln(t + sqrt(t^2 + 1)),  acosh x = ln(x + sqrt(x^2 - 1)),
//   atanh t = ln((1 + t)/(1 - t)) / 2,  t = |x|, the sign put back.
// The square root of a head-and-tail q is s + (q_h - s^2 + q_l)/(2s) with
// s^2 exact; the quotient of Atanh is corrected by its exact remainder. The
// argument's head and tail are good to 2^-104 of it, which the logarithm
// near 0 needs (its result is then about the argument minus 1). From 2^28
// on, asinh t and acosh t are ln(2t) (the exponent of t raised by one, no
// overflow); below 2^-27 asinh t and atanh t round to t. HA and LA differ
// in the logarithm's polynomial only.
// Single: the double Log1p building block directly (inverse_s), rounded once.
// Lanes off the domain, infinite or NaN go to the scalar routines: IEEE
// results, and double Atanh's reports (vdatanh_cout_rare: 2 at +-1, 1
// outside [-1, 1]).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "kex/kernels/real/hyperbolic/common.h"
#include "kex/kernels/real/hyperbolic/sinh_cosh.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t vdasinh_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vdacosh_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vdatanh_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vsasinh_cout_rare(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vsacosh_cout_rare(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vsatanh_cout_rare(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace hyp {

constexpr double kLogOfTwice = 0x1p28;  // asinh t, acosh t = ln(2t) to 2^-58 from here
constexpr double kRoundsToT = 0x1p-27;  // asinh t, atanh t = t (1 +- t^2/3) round to t below

enum class Inv { Asinh, Acosh, Atanh };

// sqrt(qh + ql) = s + sl.
template <class V> [[gnu::always_inline]] inline V sqrt_dd(V qh, V ql, V& sl) {
    const V s = sqrt(qh);
    V se;
    const V ss = two_prod(s, s, se);
    sl = (((qh - ss) - se) + ql) / (s + s + c<V>(0x1p-1000));
    return s;
}

template <Inv K, Flavour F, class V> [[gnu::always_inline]] inline V inverse_eval(V x) {
    const V t = K == Inv::Acosh ? x : abs(x);
    V zh, zl, e;
    if constexpr (K == Inv::Atanh) {
        V ne, de;
        const V nh = fast_two_sum(c<V>(1.0), t, ne);
        const V dh = fast_two_sum(c<V>(1.0), c<V>(0.0) - t, de);
        zh = nh / dh;
        const V p = two_prod(zh, dh, e);
        zl = ((((nh - p) - e) + ne) - zh * de) / dh;
        const V y = c<V>(0.5) * ln_dd<F>(zh, zl, c<V>(0.0));
        return bit_or(select(t < c<V>(kRoundsToT), t, y), sign_of(x));
    } else {
        V pe, qe, sl;
        const V p = two_prod(t, t, pe);
        const V qh = K == Inv::Asinh ? two_sum(c<V>(1.0), p, qe) : fast_two_sum(p, c<V>(-1.0), qe);
        const V s = sqrt_dd(qh, qe + pe, sl);
        zh = fast_two_sum(K == Inv::Asinh ? s : t, K == Inv::Asinh ? t : s, e);
        zl = e + sl;
        const typename V::mask big = t >= c<V>(kLogOfTwice);
        const V y = ln_dd<F>(select(big, t, zh), select(big, c<V>(0.0), zl), select(big, c<V>(1.0), c<V>(0.0)));
        if constexpr (K == Inv::Acosh) return y;
        return bit_or(select(t < c<V>(kRoundsToT), t, y), sign_of(x));
    }
}

// Lanes of the scalar routines: NaN, the infinities, and off the domain.
template <Inv K, class V> [[gnu::always_inline]] inline typename V::mask off_domain(V x) {
    using T = typename V::elem;
    const V inf = V::splat(std::numeric_limits<T>::infinity());
    if constexpr (K == Inv::Asinh) return unordered(x, x) | (abs(x) == inf);
    else if constexpr (K == Inv::Acosh) return unordered(x, x) | (x < V::splat(T(1))) | (x == inf);
    else return unordered(x, x) | (abs(x) >= V::splat(T(1)));
}

template <Inv K, Flavour F>
struct InverseD : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = inverse_eval<K, F>(x[0]);
        return off_domain<K>(x[0]);
    }
    int rare(const double* x, double* y) const {
        if constexpr (K == Inv::Asinh) return vdasinh_cout_rare(x, y);
        else if constexpr (K == Inv::Acosh) return vdacosh_cout_rare(x, y);
        else return vdatanh_cout_rare(x, y);
    }
};

// The single kernels need no heads and tails: in double, the argument of
// the Log1p building block (which keeps the relative accuracy near 0) is
// within a few 2^-53 of its value for every float x:
//   asinh t = log1p(t + t^2/(1 + sqrt(1 + t^2))),
//   acosh x = log1p(y + sqrt(y (2 + y))), y = x - 1 (exact),
//   atanh t = log1p(2t/(1 - t)) / 2.
template <Inv K, class W> [[gnu::always_inline]] inline W inverse_s(W x) {
    const W one = c<W>(1.0);
    const W t = K == Inv::Acosh ? x - one : abs(x);
    W u;
    if constexpr (K == Inv::Asinh) u = t + t * t / (one + sqrt(one + t * t));
    else if constexpr (K == Inv::Acosh) u = t + sqrt(t * (c<W>(2.0) + t));
    else u = (t + t) / (one - t);
    typename W::mask unused;
    const W y = dlog::compute<dlog::Kind::Log1p, Flavour::LA>(u, unused);
    if constexpr (K == Inv::Acosh) return y;
    return bit_or(K == Inv::Atanh ? c<W>(0.5) * y : y, sign_of(x));
}

template <Inv K>
struct InverseS : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = in_double(x[0], [](auto w) { return inverse_s<K>(w); });
        return off_domain<K>(x[0]);
    }
    int rare(const float* x, float* y) const {
        if constexpr (K == Inv::Asinh) return vsasinh_cout_rare(x, y);
        else if constexpr (K == Inv::Acosh) return vsacosh_cout_rare(x, y);
        else return vsatanh_cout_rare(x, y);
    }
};

// IEEE results of the lanes off_domain sends: x + x for NaN and for the
// infinities where the function keeps them; NaN from 0 * inf off the domain;
// +-inf from x/0 at the poles of Atanh (status 2 in double) and status 1 in
// double Atanh for |x| > 1.
template <Inv K, class T> int32_t inverse_scalar(T x, T& y, bool report) {
    const T t = std::fabs(x);
    T zero = 0;
    fence_scalar(zero);
    if (x != x) {
        y = x + x;
        return KEX_STATUS_OK;
    }
    if (K == Inv::Atanh && t == T(1)) {
        y = x / zero;
        return report ? KEX_STATUS_SING : KEX_STATUS_OK;
    }
    const bool keeps = K == Inv::Asinh || (K == Inv::Acosh && x > 0);
    if (t == std::numeric_limits<T>::infinity() && keeps) {
        y = x + x;
        return KEX_STATUS_OK;
    }
    y = zero * std::numeric_limits<T>::infinity();
    return report && K == Inv::Atanh ? KEX_STATUS_ERRDOM : KEX_STATUS_OK;
}

}  // namespace hyp

template <> struct OpFor<fn_Asinh, acc_HA, double> { using type = hyp::InverseD<hyp::Inv::Asinh, Flavour::HA>; };
template <> struct OpFor<fn_Asinh, acc_LA, double> { using type = hyp::InverseD<hyp::Inv::Asinh, Flavour::LA>; };
template <> struct OpFor<fn_Acosh, acc_HA, double> { using type = hyp::InverseD<hyp::Inv::Acosh, Flavour::HA>; };
template <> struct OpFor<fn_Acosh, acc_LA, double> { using type = hyp::InverseD<hyp::Inv::Acosh, Flavour::LA>; };
template <> struct OpFor<fn_Atanh, acc_HA, double> { using type = hyp::InverseD<hyp::Inv::Atanh, Flavour::HA>; };
template <> struct OpFor<fn_Atanh, acc_LA, double> { using type = hyp::InverseD<hyp::Inv::Atanh, Flavour::LA>; };
template <> struct OpFor<fn_Asinh, acc_HA, float> { using type = hyp::InverseS<hyp::Inv::Asinh>; };
template <> struct OpFor<fn_Asinh, acc_EP, float> { using type = hyp::InverseS<hyp::Inv::Asinh>; };
template <> struct OpFor<fn_Acosh, acc_HA, float> { using type = hyp::InverseS<hyp::Inv::Acosh>; };
template <> struct OpFor<fn_Acosh, acc_EP, float> { using type = hyp::InverseS<hyp::Inv::Acosh>; };
template <> struct OpFor<fn_Atanh, acc_HA, float> { using type = hyp::InverseS<hyp::Inv::Atanh>; };
template <> struct OpFor<fn_Atanh, acc_LA, float> { using type = hyp::InverseS<hyp::Inv::Atanh>; };
template <> struct OpFor<fn_Atanh, acc_EP, float> { using type = hyp::InverseS<hyp::Inv::Atanh>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" {
using kex::KEX_LVL::hyp::Inv;
using kex::KEX_LVL::hyp::inverse_scalar;
int32_t vdasinh_cout_rare(const double* a, double* r) { return inverse_scalar<Inv::Asinh>(*a, *r, false); }
int32_t vdacosh_cout_rare(const double* a, double* r) { return inverse_scalar<Inv::Acosh>(*a, *r, false); }
int32_t vdatanh_cout_rare(const double* a, double* r) { return inverse_scalar<Inv::Atanh>(*a, *r, true); }
int32_t vsasinh_cout_rare(const float* a, float* r) { return inverse_scalar<Inv::Asinh>(*a, *r, false); }
int32_t vsacosh_cout_rare(const float* a, float* r) { return inverse_scalar<Inv::Acosh>(*a, *r, false); }
int32_t vsatanh_cout_rare(const float* a, float* r) { return inverse_scalar<Inv::Atanh>(*a, *r, false); }
}
#endif
