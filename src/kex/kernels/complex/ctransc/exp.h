// Complex Exp: e^(x + iy) = e^x cos y + i e^x sin y, no reports.
//
// Complex double HA keeps both factors unrounded: e^x = 2^(k>>6) (Th + lo)
// from the real exponential's reduction (dexp::exp_parts), cos y and sin y as
// head + tail pairs from the sine table's reduction (dtrig::combine_pair), and
// multiplies the heads exactly (Dekker), so each component is rounded once
// from a value good to about 2^-58: 0.5 ulp and a little. LA multiplies the
// rounded e^x (table LA) by the rounded HA cosine and sine (under 2 ulp).
// Complex single computes in double and rounds once: HA with the LA
// exponential and HA sine and cosine, LA (and EP) with the EP exponential
// and the short sine and cosine polynomials (2^-28 relative before the
// rounding to float).
// The vector path covers |x| < 708.39599609375 (2^(k>>6) stays normal) and
// |y| < 90112 (the three-part reduction by pi/32); y = +-0 gives the
// imaginary part y itself. The other lanes, NaN, and complex double results
// below 2^-1021 go through _kex_cexpt_scalar: the C99 special values, and for
// finite arguments the same pairs scaled in x87 extended precision, where
// neither 2^(k>>6) nor the product can overflow or become denormal, and one
// rounding to double at the end.
#pragma once

#include "kex/kernels/complex/ctransc/classify.h"
#include "kex/kernels/real/explog/exp_double.h"
#include "kex/kernels/real/trig/sincos_double.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t _kex_cexpt_scalar(const OrvuComplex16* a, OrvuComplex16* r);
}

namespace kex {
namespace KEX_LVL {
namespace ctransc {

constexpr double kExpBound = dexp::kFastBound;     // 708.39599609375
constexpr double kTrigBound = dtrig::kFastBound;   // 90112
constexpr double kExpTinyResult = 0x1p-1021;       // complex double results below: scalar path

// sin y = sh + sl and cos y = ch + cl, each within about 2^-60 relative, for
// |y| < 90112.
template <class V> struct SinCosPair { V sh, sl, ch, cl; };
template <class V> [[gnu::always_inline]] inline SinCosPair<V> sincos_pair(V y) {
    const dtrig::Reduced<V> d = dtrig::reduce(y);
    V ps, pc;
    dtrig::polys<Flavour::HA>(d.rh, ps, pc);
    SinCosPair<V> p;
    p.sh = dtrig::combine_pair(dtrig::row(d.t, 0), d, ps, pc, p.sl);
    p.ch = dtrig::combine_pair(dtrig::row(d.t, 16), d, ps, pc, p.cl);
    return p;
}

// (th + lo)(ch + cl) before its last rounding: th ch exact as p + pe, the
// cross terms rounded at 2^-53 of themselves (2^-60 of the product).
template <class V> [[gnu::always_inline]] inline V mul_pairs(V th, V lo, V ch, V cl, V& tail) {
    V p, pe;
    carith::two_prod(th, ch, p, pe);
    tail = pe + (th * cl + lo * (ch + cl));
    return p;
}

template <class T, Flavour F>
struct ExpOp : CxPolicy<T, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[2], V (&y)[2]) const {
        using E = typename V::elem;
        const auto special = unordered(x[0], x[1]) | (abs(x[0]) >= V::splat(E(kExpBound))) |
                             (abs(x[1]) >= V::splat(E(kTrigBound)));
        if constexpr (std::is_same_v<T, float>) {
            using Wd = Widened<V>;
            typename Wd::type re[Wd::parts], im[Wd::parts];
            for (int p = 0; p < Wd::parts; ++p) {
                const auto a = Wd::part(x[0], p), b = Wd::part(x[1], p);
                typename Wd::type e, s, c;
                if constexpr (F == Flavour::HA) e = dexp::exp_la(a), dtrig::sincos_of<Flavour::HA>(b, s, c);
                else e = dexp::exp_ep(a), dtrig::sincos_of<Flavour::EP>(b, s, c);
                re[p] = e * c, im[p] = e * s;
            }
            y[0] = Wd::join(re);
            y[1] = select(x[1] == V::splat(0.0f), x[1], Wd::join(im));
            return special;
        } else {
            V re, im;
            if constexpr (F == Flavour::HA) {
                const dexp::ExpParts<V> e = dexp::exp_parts(x[0]);
                const SinCosPair<V> sc = sincos_pair(x[1]);
                const V scale = dexp::scale_of(e.t);
                V rt, it;
                const V rh = mul_pairs(e.th, e.lo, sc.ch, sc.cl, rt);
                const V ih = mul_pairs(e.th, e.lo, sc.sh, sc.sl, it);
                re = (rh + rt) * scale, im = (ih + it) * scale;
            } else {
                V s, c;
                dtrig::sincos_of<Flavour::HA>(x[1], s, c);
                const V e = dexp::exp_la(x[0]);
                re = e * c, im = e * s;
            }
            const V tiny = V::splat(kExpTinyResult);
            y[0] = re;
            y[1] = select(x[1] == V::splat(0.0), x[1], im);
            // Below 2^-960 the low part of the sine's product is no longer exact.
            const V ay = abs(x[1]);
            return special | (abs(re) < tiny) | (((abs(im) < tiny) | (ay < V::splat(0x1p-960))) & (ay > V::splat(0.0)));
        }
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 4) via_double(_kex_cexpt_scalar, x, y);
        else _kex_cexpt_scalar(reinterpret_cast<const OrvuComplex16*>(x), reinterpret_cast<OrvuComplex16*>(y));
        return KEX_STATUS_OK;
    }
};

}  // namespace ctransc

template <> struct OpFor<fn_Exp, acc_HA, OrvuComplex8> { using type = ctransc::ExpOp<float, Flavour::HA>; };
template <> struct OpFor<fn_Exp, acc_LA, OrvuComplex8> { using type = ctransc::ExpOp<float, Flavour::LA>; };
template <> struct OpFor<fn_Exp, acc_HA, OrvuComplex16> { using type = ctransc::ExpOp<double, Flavour::HA>; };
template <> struct OpFor<fn_Exp, acc_LA, OrvuComplex16> { using type = ctransc::ExpOp<double, Flavour::LA>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_ctransc)
namespace kex::KEX_LVL::ctransc {

// e^x (c + cl) for finite x, |x| <= 1500 (k = x 64/ln2 stays below 2^18,
// so the reduction is exact), rounded once from x87 extended precision. A
// tiny c is scaled up first so that Dekker's product stays exact.
inline double scaled_product(double x, double c, double cl) {
    using L = X1<double>;
    const dexp::ExpParts<L> e = dexp::exp_parts(L{x});
    // k sits in the low bits of t = x 64/ln2 + 1.5 2^52.
    const int64_t k = static_cast<int64_t>(bits_of(e.t.v) - bits_of(dexp::kShifter));
    int scale = static_cast<int>(k >> 6);
    if (std::fabs(c) < 0x1p-900) c *= 0x1p200, cl *= 0x1p200, scale -= 200;
    L tail;
    const L head = mul_pairs(e.th, e.lo, L{c}, L{cl}, tail);
    const long double v = static_cast<long double>(head.v) + tail.v;
    return static_cast<double>(std::ldexp(v, scale));
}

// sin y = s + sl and cos y = c + cl for any finite y: beyond the vector
// reduction's range, y = q pi/2 + r (r as an exact pair, from the sine
// family's exact reduction), the pairs of r head corrected by its tail and
// turned by the quadrant.
inline void sincos_any(double y, double& s, double& sl, double& c, double& cl) {
    using L = X1<double>;
    double r[2] = {y, 0};
    int32_t q = 0;
    if (std::fabs(y) >= kTrigBound) q = orvu_kex_kernel_reduce_pio2d(y, r);
    const SinCosPair<L> p = sincos_pair(L{r[0]});
    const double s0 = p.sh.v, s1 = p.sl.v + r[1] * p.ch.v, c0 = p.ch.v, c1 = p.cl.v - r[1] * p.sh.v;
    switch (q & 3) {
    case 0: s = s0, sl = s1, c = c0, cl = c1; break;
    case 1: s = c0, sl = c1, c = -s0, cl = -s1; break;
    case 2: s = -s0, sl = -s1, c = -c0, cl = -c1; break;
    default: s = -c0, sl = -c1, c = s0, cl = s1; break;
    }
}

}  // namespace kex::KEX_LVL::ctransc

using kex::KEX_LVL::X1;

extern "C" {
// C99's cexp for every element: x = +inf gives +inf (cos y, sin y) (NaN
// imaginary part for an infinite or NaN y), x = -inf gives +0 (cos y, sin y)
// (zeros for an infinite or NaN y), a NaN x keeps y = +-0, a finite x with an
// infinite or NaN y gives NaN in both parts, y = +-0 gives (e^x, y).
int32_t _kex_cexpt_scalar(const OrvuComplex16* a, OrvuComplex16* r) {
    using namespace kex::KEX_LVL::ctransc;
    const double x = a->re, y = a->im;
    if (_kex_internal_isnan(x)) {
        r->re = x + x, r->im = _kex_internal_iszero(y) ? y : x + x;
        return KEX_STATUS_OK;
    }
    const bool y_finite = y - y == 0;
    if (_kex_internal_isinf(x)) {
        if (_kex_internal_iszero(y)) r->re = x > 0 ? x : 0.0, r->im = y;
        else if (!y_finite) r->re = x > 0 ? x : 0.0, r->im = x > 0 ? y - y : 0.0;
        else {
            double s, c;
            _kexdSinCosScalar(y, &s, &c);
            const double m = x > 0 ? x : 0.0;
            r->re = std::copysign(m, c), r->im = std::copysign(m, s);
        }
        return KEX_STATUS_OK;
    }
    if (!y_finite) {
        r->re = r->im = y - y;
        return KEX_STATUS_OK;
    }
    kex::X87PrecisionGuard env;
    double s, sl, c, cl;
    sincos_any(y, s, sl, c, cl);
    if (std::fabs(x) > 1500) {
        // e^1500 |sin y| and |cos y| overflow and e^-1500 underflows for
        // every double y != 0.
        const double m = x > 0 ? INFINITY : 0.0;
        r->re = std::copysign(m, c), r->im = _kex_internal_iszero(y) ? y : std::copysign(m, s);
        return KEX_STATUS_OK;
    }
    r->re = scaled_product(x, c, cl);
    r->im = _kex_internal_iszero(y) ? y : scaled_product(x, s, sl);
    return KEX_STATUS_OK;
}
}
#endif
