// Tanh in single and double precision: sinh t / cosh t, t = |x| < 22, from
// the head-and-tail forms of common.h (the odd polynomial for sinh below
// 0.25); from 22 on the result is 1 to 2^-63. The sign of x is put back.
//   HA: both parts renormalised, q = sh/ch corrected by the exact remainder
//       (sh - q ch + sl - q cl)/ch, about 0.5 ulp.
//   LA: (sh + sl)/(ch + cl) rounded, about 1.5 ulp.
// Single: sinh/cosh of the single Sinh and Cosh kernels divided in double
// (t clamped at 10, where the float result is 1), rounded once. Only NaN
// lanes leave the vector path (vdtanh_cout_rare, vstanh_cout_rare: x + x,
// no report).
#pragma once

#include <cstdint>

#include "kex/kernels/real/hyperbolic/sinh_cosh.h"

extern "C" {
[[gnu::visibility("hidden")]] int32_t vdtanh_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vstanh_cout_rare(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace hyp {

constexpr double kTanhOne = 22.0;

template <Flavour F, class V> [[gnu::always_inline]] inline V tanh_eval(V x) {
    const V ax = abs(x);
    const typename V::mask big = ax >= c<V>(kTanhOne);
    const V t = select(big, c<V>(kTanhOne), ax);  // NaN lanes too: they leave the vector path
    const typename V::mask small = t < c<V>(kSmall);
    const int sb = small.bits();
    const TwoSided<V> s = two_sided(t);
    V sh, sl, ch, cl;
    ch = cosh_parts(s, cl);
    if (sb == kAll<V>) {
        sh = t, sl = sinh_small_tail(t);
    } else {
        sh = sinh_parts(s, sl);
        if (sb != 0) sh = select(small, t, sh), sl = select(small, sinh_small_tail(t), sl);
    }
    V q;
    if constexpr (F == Flavour::HA) {
        V e;
        sh = fast_two_sum(sh, sl, e), sl = e;
        ch = fast_two_sum(ch, cl, e), cl = e;
        const V q0 = sh / ch;
        const V p = two_prod(q0, ch, e);
        q = q0 + ((((sh - p) - e) + sl) - q0 * cl) / ch;
    } else {
        q = (sh + sl) / (ch + cl);
    }
    return bit_or(select(big, c<V>(1.0), q), sign_of(x));
}

// Single, in double: tanh t rounds to 1 in float from 9.02 on, so t is
// clamped at 10.
template <class W> [[gnu::always_inline]] inline W tanh_s(W x) {
    const W t = select(abs(x) < c<W>(10.0), abs(x), c<W>(10.0));
    const HalfExps<W> h = half_exps(t);
    const W s = select(t < c<W>(kSmall), sinh_small_s(t), h.ep - h.em);
    return bit_or(s / (h.ep + h.em), sign_of(x));
}

template <Flavour F>
struct TanhD : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = tanh_eval<F>(x[0]);
        return unordered(x[0], x[0]);
    }
    int rare(const double* x, double* y) const { return vdtanh_cout_rare(x, y); }
};

struct TanhS : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = in_double(x[0], [](auto w) { return tanh_s(w); });
        return unordered(x[0], x[0]);
    }
    int rare(const float* x, float* y) const { return vstanh_cout_rare(x, y); }
};

}  // namespace hyp

template <> struct OpFor<fn_Tanh, acc_HA, double> { using type = hyp::TanhD<Flavour::HA>; };
template <> struct OpFor<fn_Tanh, acc_LA, double> { using type = hyp::TanhD<Flavour::LA>; };
template <> struct OpFor<fn_Tanh, acc_HA, float> { using type = hyp::TanhS; };
template <> struct OpFor<fn_Tanh, acc_LA, float> { using type = hyp::TanhS; };
template <> struct OpFor<fn_Tanh, acc_EP, float> { using type = hyp::TanhS; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" {
int32_t vdtanh_cout_rare(const double* a, double* r) {
    *r = *a + *a;
    return KEX_STATUS_OK;
}
int32_t vstanh_cout_rare(const float* a, float* r) {
    *r = *a + *a;
    return KEX_STATUS_OK;
}
}
#endif
