// ErfInv in single and double precision, three flavours each, and the
// pieces ErfcInv and CdfNormInv share with it (erfcinv.h, cdfnorminv.h).
//
// First approximation (erfinv_table.inc, tools/sollya/erfinv.sollya), for
// |t| < 1 with w = -ln((1 - t)(1 + t)):
//   w < 6.25 (|t| < 0.9981):  y0 = t P(w - 3.125), P of degree 13;
//   sqrt w in [2.5, 6):       y0 = t Q(sqrt w - 4.25), Q of degree 16;
//   sqrt w >= 6:              y0 = t D(sqrt w - 16.6), D of degree 18 (only
//                             the complementary functions get that far);
// all within 2^-32 relative of erfinv(t)/t. The product (1 - t)(1 + t)
// carries an absolute error of 2^-53 at most, which moves w by as much and
// y0 by less than 2^-53 relative (P' and Q' stay below P and Q), so tiny
// arguments keep full relative accuracy through the same formula.
//
// Double HA and LA finish with one Halley step. With f(y) = erf(y) - t or
// erfc(y) - q, q = 1 - |t|, f'' = -2 y f', so the step is y0 - d/(1 + y0 d)
// with d = f/f' = ±f sqrt(pi)/2 e^(y0^2); its error is about y^4 e^3 / 3 for
// a relative error e of y0 (below 2^-78 up to y = 27), so what remains is the
// error of the residual f and the final rounding. The step is returned as the
// correction d/(1 + y0 d), so that a caller may scale y0 - corr exactly.
//   |t| < 0.5205 (y0 < 1/2): f = (y0 - th) + y0 q(y0^2) - tl for t = th + tl,
//     erf's own small-argument polynomial; y0 - th is exact (y0/th lies in
//     [0.88, 1]), and the product's rounding is below 0.13 ulp of y0.
//   |t| >= 0.5205: f = erfc(|y0|) - q with q exact, erfc from erf's tail
//     pieces unrounded (p + corr, below 2^-57 relative), the difference
//     p 2^k - q exact; the residual's error moves y by 2^-57/(2 y).
// e^(y0^2) is needed to a few bits only (d is below 2^-31 y0): the LA
// exponential. Double EP is y0 itself; single precision computes y0 in double
// and rounds once (2^-32 + half an ulp).
//
// Special lanes: double |x| < 2^-35 (the split product x sqrt(pi)/2), |x| >= 1
// and NaN go to vderfinv_cout_rare; single |x| >= 1 and NaN to the policy's
// own routine (statuses: 1 outside [-1, 1] and at ±inf, 2 at ±1).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kex/kernels/real/explog/log_double.h"
#include "kex/kernels/real/erfgamma/erf.h"

extern "C" {
// erfinv(x) for NaN, |x| < 2^-35 and |x| >= 1; status 1 outside [-1, 1]
// (±inf included), 2 at ±1.
[[gnu::visibility("hidden")]] int32_t vderfinv_cout_rare(const double* a, double* r);
}

namespace kex {
namespace erfinv_data {
#include "kex/kernels/real/erfgamma/erfinv_table.inc"
}  // namespace erfinv_data

namespace KEX_LVL {
namespace erfinvk {

using erfk::c;

constexpr double kSqrtPiOver2 = 0x1.c5bf891b4ef6bp-1;
constexpr double kTailW = 6.25;           // first approximation in sqrt(w) from here on
constexpr double kErfcFrom = 0.5205;      // just above erf(1/2): y0 >= 1/2, erfc residual
constexpr double kTiny = 0x1p-35;         // double: the split product below this
constexpr double kDeepS = 6.0;            // sqrt(w) from which the deep piece takes over
constexpr double kTop = 26.6;             // largest |y0| of the erfc residual: e^(y0^2) stays finite
template <class V> [[gnu::always_inline]] inline bool any(typename V::mask m) { return m.bits() != 0; }
template <class V> [[gnu::always_inline]] inline bool all(typename V::mask m) {
    return m.bits() == (1 << V::lanes) - 1;
}

template <class V, std::size_t N> [[gnu::always_inline]] inline V horner(const double (&k)[N], V u) {
    V p = c<V>(k[N - 1]);
    for (int i = static_cast<int>(N) - 2; i >= 0; --i) p = p * u + c<V>(k[i]);
    return p;
}

// erfinv(t)/t from w = -ln(1 - t^2); Deep adds the piece past sqrt(w) = 6.
template <bool Deep, class V> [[gnu::always_inline]] inline V ratio(V w) {
    const typename V::mask tail = w >= c<V>(kTailW);
    if (!any<V>(tail)) return horner(erfinv_data::kCentral, w - c<V>(3.125));
    const V s = sqrt(w);
    V p;
    const typename V::mask deep = s >= c<V>(kDeepS);
    if (!Deep || !any<V>(deep)) p = horner(erfinv_data::kTail, s - c<V>(4.25));
    else if (all<V>(deep)) p = horner(erfinv_data::kDeep, s - c<V>(16.6));
    else p = select(deep, horner(erfinv_data::kDeep, s - c<V>(16.6)), horner(erfinv_data::kTail, s - c<V>(4.25)));
    if (all<V>(tail)) return p;
    return select(tail, p, horner(erfinv_data::kCentral, w - c<V>(3.125)));
}

// y0 for |x| < 1 (other lanes: any value, NaN included).
template <class V> [[gnu::always_inline]] inline V first(V x) {
    const V one = c<V>(1.0);
    const V w = c<V>(0.0) - dlog::finish<dlog::Kind::Ln, Flavour::LA>(dlog::reduce<Flavour::LA>((one - x) * (one + x)));
    return x * ratio<false>(w);
}

// The Halley correction from y0 (see the top of the file): y = y0 - corr.
// t = th + tl is the erf argument (used where |th| < kErfcFrom), q = 1 - |t|
// exactly (used elsewhere, for |y0| up to kTop).
template <class V> [[gnu::always_inline]] inline V correction(V th, V tl, V q, V y0) {
    const V one = c<V>(1.0);
    const typename V::mask small = abs(th) < c<V>(kErfcFrom);
    V cs = y0, ct = y0;
    if (any<V>(small)) {
        const V r = ((y0 - th) + y0 * erfk::small_q<Flavour::HA>(y0 * y0)) - tl;
        const V d = r * c<V>(kSqrtPiOver2) * dexp::exp_la(y0 * y0);
        cs = d / (one + y0 * d);
    }
    if (!all<V>(small)) {
        // erf's tail pieces index their table by a: keep every lane inside
        // [1/2, kTop] (NaN and the central lanes go to 1/2).
        V a = abs(y0);
        a = select((a >= c<V>(0.5)) & (a <= c<V>(kTop)), a, c<V>(0.5));
        const erfk::TailParts<V> tp = erfk::erfc_tail<Flavour::HA>(a, c<V>(0.0));
        const V s = erfk::scale_of(tp.t, 0);
        const V r = (tp.p * s - q) + tp.corr * s;
        const V d = c<V>(0.0) - r * c<V>(kSqrtPiOver2) * dexp::exp_la(a * a);
        ct = bit_xor(d / (one + a * d), erfk::sign_of(y0));
    }
    return select(small, cs, ct);
}

template <Flavour F> struct ErfInvDOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V y0 = first(x[0]);
        if constexpr (F == Flavour::EP) y[0] = y0;
        else y[0] = y0 - correction(x[0], c<V>(0.0), c<V>(1.0) - abs(x[0]), y0);
        const V ax = abs(x[0]);
        return unordered(x[0], x[0]) | (ax < c<V>(kTiny)) | (ax >= c<V>(1.0));
    }
    int rare(const double* x, double* y) const { return vderfinv_cout_rare(x, y); }
};

struct ErfInvSOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = erfk::widened(x[0], [](auto d) { return first(d); });
        return unordered(x[0], x[0]) | (abs(x[0]) >= V::splat(1.0f));
    }
    int rare(const float* x, float* y) const {
        const float v = *x, one = 1.0f, zero = 0.0f;
        if (v != v) {
            *y = v + v;
            return KEX_STATUS_OK;
        }
        if (v == one || v == -one) {
            *y = v / zero;
            return KEX_STATUS_SING;
        }
        *y = (v - v) / zero;  // NaN for ±inf and |x| > 1 alike
        return KEX_STATUS_ERRDOM;
    }
};

}  // namespace erfinvk

template <> struct OpFor<fn_ErfInv, acc_HA, double> { using type = erfinvk::ErfInvDOp<Flavour::HA>; };
template <> struct OpFor<fn_ErfInv, acc_LA, double> { using type = erfinvk::ErfInvDOp<Flavour::LA>; };
template <> struct OpFor<fn_ErfInv, acc_EP, double> { using type = erfinvk::ErfInvDOp<Flavour::EP>; };
template <class A> struct OpFor<fn_ErfInv, A, float> { using type = erfinvk::ErfInvSOp; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" int32_t vderfinv_cout_rare(const double* a, double* r) {
    const double x = *a, zero = 0.0;
    if (x != x) {
        *r = x + x;
        return KEX_STATUS_OK;
    }
    const double ax = x < 0 ? -x : x;
    if (ax < 0x1p-35) {
        if (x == 0) {
            *r = x;
            return KEX_STATUS_OK;
        }
        // erfinv(x) = x sqrt(pi)/2 (1 + pi x^2/12 + ...), the cubic term below
        // 2^-71 relative. sqrt(pi)/2 = 0.88623046875 (11 bits) + kLo; the
        // argument is lifted by 2^256 so that no partial product is denormal
        // and cut after 42 bits, so xh kHi is exact and the sum is rounded
        // once (the final scaling is exact unless the result is denormal).
        constexpr double kHi = 0.88623046875, kLo = -0x1.db92c4255618fp-19;
        const double xs = x * 1.157920892373162e77;
        const double xh = kex::KEX_LVL::from_bits<double>(kex::KEX_LVL::bits_of(xs) & ~uint64_t{0x7FF});
        *r = (xh * kHi + ((xs - xh) * kHi + xs * kLo)) * 0x1p-256;
        return KEX_STATUS_OK;
    }
    if (ax == 1.0) {
        *r = x / zero;
        return KEX_STATUS_SING;
    }
    *r = (x - x) / zero;  // |x| > 1 and ±inf: NaN
    return KEX_STATUS_ERRDOM;
}
#endif
