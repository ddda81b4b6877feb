// Asin and Acos in single and double precision, as atan2(x, sqrt(1 - x^2))
// and atan2(sqrt(1 - x^2), x) through atan_core.h. Double: HA with the Full
// evaluation (1 - x^2 and its square root carried as double pairs), LA with
// Mid, EP with Low; single precision widens to double and uses Low.
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

template <Arc K, Prec P>
struct DArcOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = arc_eval<K, P>(x[0]);
        return arc_special(x[0]);
    }
    int rare(const double* x, double* y) const {
        return K == Arc::Asin ? vdasin_cout_rare(x, y) : vdacos_cout_rare(x, y);
    }
};

template <Arc K>
struct SArcOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = widened(x[0], [](auto w) { return arc_eval<K, Prec::Low>(w); });
        return arc_special(x[0]);
    }
    int rare(const float* x, float* y) const {
        return K == Arc::Asin ? vsasin_cout_rare(x, y) : vsacos_cout_rare(x, y);
    }
};

}  // namespace atan_core

template <> struct OpFor<fn_Asin, acc_HA, double> { using type = atan_core::DArcOp<atan_core::Arc::Asin, atan_core::Prec::Full>; };
template <> struct OpFor<fn_Asin, acc_LA, double> { using type = atan_core::DArcOp<atan_core::Arc::Asin, atan_core::Prec::Mid>; };
template <> struct OpFor<fn_Asin, acc_EP, double> { using type = atan_core::DArcOp<atan_core::Arc::Asin, atan_core::Prec::Low>; };
template <> struct OpFor<fn_Acos, acc_HA, double> { using type = atan_core::DArcOp<atan_core::Arc::Acos, atan_core::Prec::Full>; };
template <> struct OpFor<fn_Acos, acc_LA, double> { using type = atan_core::DArcOp<atan_core::Arc::Acos, atan_core::Prec::Mid>; };
template <> struct OpFor<fn_Acos, acc_EP, double> { using type = atan_core::DArcOp<atan_core::Arc::Acos, atan_core::Prec::Low>; };
template <class Acc> struct OpFor<fn_Asin, Acc, float> { using type = atan_core::SArcOp<atan_core::Arc::Asin>; };
template <class Acc> struct OpFor<fn_Acos, Acc, float> { using type = atan_core::SArcOp<atan_core::Arc::Acos>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
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
