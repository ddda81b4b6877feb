// CdfNormInv in single and double precision, three flavours each:
// Phi^-1(p) = -sqrt 2 erfcinv(2 p), 2 p exact, through the ErfcInv
// evaluation (erfcinv.h), whose q = min(2 p, 2 - 2 p) keeps both tails
// accurate (2 - 2 p is exact) and whose th = 1 - 2 p gives +0 at p = 1/2.
//
// Double HA and LA scale the unrounded y0 - corr: y0 = yh + yl with yh its
// leading 26 bits and sqrt 2 = kRh + kRl with kRh of 27 bits, so yh kRh is
// exact and -(yh kRh + ((yl - corr) sqrt 2 + yh kRl)) is rounded once (the
// rest is below 2^-78 relative). EP multiplies y0 by sqrt 2. Lanes with
// p < 2^-1023, p >= 1 or NaN go to dCdfNormInv_SC.
// Single precision runs the single ErfcInv evaluation in double and rounds
// once; p < 2^-126, p >= 1 and NaN go to sCdfNormInv_SC.
//
// Statuses: 2 at p = ±0 (-inf) and p = 1 (+inf), 1 outside [0, 1] and at ±inf.
#pragma once

#include <cstdint>

#include "kex/kernels/real/erfgamma/erfcinv.h"

extern "C" {
// Phi^-1(p) for NaN, p < 2^-1023 and p >= 1; the main method for the other
// arguments of (0, 1), +0 at 1/2.
[[gnu::visibility("hidden")]] int32_t dCdfNormInv_SC(const double* a, double* r);
// Phi^-1(p) by the HA method for any p in (0, 1).
[[gnu::visibility("hidden")]] double dCdfNormInv_Tail(double p);
// The single-precision routine: NaN, p < 2^-126 and p >= 1.
[[gnu::visibility("hidden")]] int32_t sCdfNormInv_SC(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace cdfnorminvk {

using erfk::c;

constexpr double kR = 0x1.6a09e667f3bcdp0;                            // sqrt 2
constexpr double kRh = 0x1.6a09e64p0, kRl = 0x1.3f9de6484597ep-27;    // kRh + kRl = sqrt 2 within 2^-80
constexpr uint64_t kHead26 = 0xFFFFFFFFF8000000ull;

// -sqrt 2 (hi - corr), rounded once.
template <class V> [[gnu::always_inline]] inline V scaled(const erfcinvk::Pair<V>& p) {
    const V yh = bit_and(p.hi, splat_bits<V>(kHead26));
    const V yl = p.hi - yh;
    return c<V>(0.0) - (yh * c<V>(kRh) + ((yl - p.corr) * c<V>(kR) + yh * c<V>(kRl)));
}

template <Flavour F> struct CdfNormInvDOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const erfcinvk::Pair<V> p = erfcinvk::erfcinv_pair<F>(x[0] + x[0]);
        if constexpr (F == Flavour::EP) y[0] = c<V>(0.0) - p.hi * c<V>(kR);
        else y[0] = scaled(p);
        return unordered(x[0], x[0]) | (x[0] < c<V>(0x1p-1023)) | (x[0] >= c<V>(1.0));
    }
    int rare(const double* x, double* y) const { return dCdfNormInv_SC(x, y); }
};

template <class V> [[gnu::always_inline]] inline V single(V d) {
    return c<V>(0.0) - c<V>(kR) * erfcinvk::erfcinv_single(d + d);
}

struct CdfNormInvSOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = erfk::widened(x[0], [](auto d) { return single(d); });
        return unordered(x[0], x[0]) | (x[0] < V::splat(0x1p-126f)) | (x[0] >= V::splat(1.0f));
    }
    int rare(const float* x, float* y) const { return sCdfNormInv_SC(x, y); }
};

}  // namespace cdfnorminvk

template <> struct OpFor<fn_CdfNormInv, acc_HA, double> { using type = cdfnorminvk::CdfNormInvDOp<Flavour::HA>; };
template <> struct OpFor<fn_CdfNormInv, acc_LA, double> { using type = cdfnorminvk::CdfNormInvDOp<Flavour::LA>; };
template <> struct OpFor<fn_CdfNormInv, acc_EP, double> { using type = cdfnorminvk::CdfNormInvDOp<Flavour::EP>; };
template <class A> struct OpFor<fn_CdfNormInv, A, float> { using type = cdfnorminvk::CdfNormInvSOp; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_erfgamma)
namespace kex::KEX_LVL::cdfnorminvk {
// The special-value routines of both precisions share their order of tests;
// tail is the main method.
template <class T, class Tail> int32_t special(T p, T* r, Tail tail) {
    static constexpr T kSign[2] = {T(1), T(-1)};  // by: sign bit set, or p below 1/2
    const T zero = T(0), inf = T(INFINITY);
    if (p > zero && p < T(1)) {
        *r = p == T(0.5) ? zero : tail(p);
        return KEX_STATUS_OK;
    }
    if (p == zero || p == T(1)) {
        *r = kSign[std::signbit(p) || p < T(0.5)] / zero;
        return KEX_STATUS_SING;
    }
    if (p != p) {
        *r = p * p;
        return KEX_STATUS_OK;
    }
    *r = inf * zero;
    return KEX_STATUS_ERRDOM;
}
}  // namespace kex::KEX_LVL::cdfnorminvk

extern "C" {
double dCdfNormInv_Tail(double p) {
    return kex::KEX_LVL::cdfnorminvk::scaled(kex::KEX_LVL::erfcinvk::erfcinv_any(p + p)).v;
}

int32_t dCdfNormInv_SC(const double* a, double* r) {
    return kex::KEX_LVL::cdfnorminvk::special(*a, r, dCdfNormInv_Tail);
}

int32_t sCdfNormInv_SC(const float* a, float* r) {
    return kex::KEX_LVL::cdfnorminvk::special(*a, r, [](float p) {
        using V = kex::KEX_LVL::X1<double>;
        return static_cast<float>(kex::KEX_LVL::cdfnorminvk::single(V{p}).v);
    });
}
}
#endif
