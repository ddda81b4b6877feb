// ErfcInv in single and double precision, three flavours each, and the
// evaluation CdfNormInv shares (cdfnorminv.h).
//
// Double: erfcinv(x) = erfinv(t) with t = th + tl = 1 - x (th rounded, tl its
// exact error), computed from q = min(x, 2 - x), which is exact and keeps the
// lower tail's relative accuracy down to the denormals: w = -ln(q (2 - q))
// gives y0 = th R(w) through the ErfInv approximation with its deep piece,
// and HA and LA take ErfInv's Halley step, erf residual for |th| < 0.5205,
// erfc residual against q beyond (erfinv.h). The result is y0 - corr rounded
// once; x = 1 gives +0 (th = 0). EP is y0. The vector range is x in
// [2^-1022, 2): below it e^(y0^2) and the scale of erfc leave the double
// range, and dErfcInv_SC takes the lane with the residual and the derivative
// both scaled by 2^200 (dErfcInv_Tail).
//
// Single: computed in double from the same q and rounded once. For q < 1/8
// y = s N(s)/D(s) with s = sqrt(-ln q), a degree-6 rational function within
// 2^-38.7 relative of erfcinv(q) down to 2^-150 (it tends to 1 as s grows);
// above, y = th P(w) with ErfInv's central polynomial (w <= 1.45). One
// logarithm serves both: of q, or of q (2 - q). Denormal arguments, x <= 0,
// x >= 2 and NaN go to vserfcinv_cout_rare, which uses the same tail formula.
//
// Statuses: 2 at x = 0 (+inf) and x = 2 (-inf), 1 outside [0, 2] and at ±inf.
#pragma once

#include <cstdint>

#include "kex/kernels/real/erfgamma/erfinv.h"

extern "C" {
// erfcinv(x) for NaN, x < 2^-1022 and x >= 2; the main method for the
// other arguments of (0, 2), +0 at 1.
[[gnu::visibility("hidden")]] int32_t dErfcInv_SC(const double* a, double* r);
// erfcinv(x) by the HA method for any x in (0, 2).
[[gnu::visibility("hidden")]] double dErfcInv_Tail(double x);
// The single-precision routine: NaN, x < 2^-126 and x >= 2.
[[gnu::visibility("hidden")]] int32_t vserfcinv_cout_rare(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace erfcinvk {

using erfk::c;
using erfinvk::any;
using erfinvk::all;

constexpr double kVecFrom = 0x1p-1022;  // double: the vector range starts here
constexpr double kRatTo = 0.125;        // single: the rational tail below this q
constexpr float kVecFromS = 0x1p-126f;  // single: the vector range starts here

// The rational tail of the single kernels, highest degree first.
inline constexpr double kNum[] = {1.0000462738424927, 24.893836758717732, 127.03817107734285, 164.33735062464936,
                                  92.93161977843073,  44.691295572380426, -0.6450464672369585};
inline constexpr double kDen[] = {1.0, 24.902128134969256, 129.43615693639939, 200.8678561199943,
                                  194.821520191325, 116.47524058138094, 45.919189451305975};

template <class V, std::size_t N> [[gnu::always_inline]] inline V horner_down(const double (&k)[N], V u) {
    V p = c<V>(k[0]);
    for (std::size_t i = 1; i < N; ++i) p = p * u + c<V>(k[i]);
    return p;
}

template <class V> [[gnu::always_inline]] inline V ln_la(V v) {
    return dlog::finish<dlog::Kind::Ln, Flavour::LA>(dlog::reduce<Flavour::LA>(v));
}

// erfcinv(x) = hi - corr for x in [2^-1022, 2) (other lanes: any value);
// corr is 0 for EP.
template <class V> struct Pair { V hi, corr; };
template <Flavour F, class V> [[gnu::always_inline]] inline Pair<V> erfcinv_pair(V x) {
    const V one = c<V>(1.0), two = c<V>(2.0);
    const V q = select(x > one, two - x, x);
    const V th = one - x;
    const V y0 = th * erfinvk::ratio<true>(c<V>(0.0) - ln_la(q * (two - q)));
    if constexpr (F == Flavour::EP) return {y0, c<V>(0.0)};
    else return {y0, erfinvk::correction(th, (one - th) - x, q, y0)};
}

// Single precision in double: erfcinv(x) for x in [2^-150, 2) (see the top).
template <class V> [[gnu::always_inline]] inline V erfcinv_single(V x) {
    const V one = c<V>(1.0), two = c<V>(2.0);
    const V q = select(x > one, two - x, x);
    const V th = one - x;
    const typename V::mask tail = q < c<V>(kRatTo);
    const V l = ln_la(select(tail, q, q * (two - q)));
    V yt = x, yc = x;
    if (any<V>(tail)) {
        const V s = sqrt(c<V>(0.0) - l);
        yt = bit_or(s * horner_down(kNum, s) / horner_down(kDen, s), erfk::sign_of(th));
    }
    if (!all<V>(tail)) yc = th * erfinvk::horner(erfinv_data::kCentral, (c<V>(0.0) - l) - c<V>(3.125));
    return select(tail, yt, yc);
}

template <Flavour F> struct ErfcInvDOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const Pair<V> p = erfcinv_pair<F>(x[0]);
        y[0] = p.hi - p.corr;
        return unordered(x[0], x[0]) | (x[0] < c<V>(kVecFrom)) | (x[0] >= c<V>(2.0));
    }
    int rare(const double* x, double* y) const { return dErfcInv_SC(x, y); }
};

struct ErfcInvSOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = erfk::widened(x[0], [](auto d) { return erfcinv_single(d); });
        return unordered(x[0], x[0]) | (x[0] < V::splat(kVecFromS)) | (x[0] >= V::splat(2.0f));
    }
    int rare(const float* x, float* y) const { return vserfcinv_cout_rare(x, y); }
};

}  // namespace erfcinvk

template <> struct OpFor<fn_ErfcInv, acc_HA, double> { using type = erfcinvk::ErfcInvDOp<Flavour::HA>; };
template <> struct OpFor<fn_ErfcInv, acc_LA, double> { using type = erfcinvk::ErfcInvDOp<Flavour::LA>; };
template <> struct OpFor<fn_ErfcInv, acc_EP, double> { using type = erfcinvk::ErfcInvDOp<Flavour::EP>; };
template <class A> struct OpFor<fn_ErfcInv, A, float> { using type = erfcinvk::ErfcInvSOp; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_erfgamma)
#include "kex/kernels/real/erfgamma/erfcinv_scalar.inc"
#endif
