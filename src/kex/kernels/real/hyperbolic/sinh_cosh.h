// Sinh and Cosh in single and double precision.
//
// Double: e^|x|/2 and e^-|x|/2 from one reduction and the 65-entry table
// (common.h), summed as a head and a tail and rounded once: HA about 0.5 ulp;
// LA drops the table tails and the head's rounding error (about 1.5 ulp);
// EP is the LA formula. Sinh below |x| = 0.25 is the odd polynomial instead,
// where A - B would cancel. Lanes from 708.39599609375 on (and NaN) go to
// the scalar routines: vdcosh_cout_rare (overflow status 3 from
// 710.475860073944) and vdsinh_cout_rare (the same edge, no report).
// Single: in double without a table (e^t/2 and e^-t/2 from one polynomial
// in 2^f, the odd polynomial below 0.25), rounded once; from
// 89.4159927368164 on (the first float whose result overflows), and for
// NaN, vscosh_cout_rare and vssinh_cout_rare (status 3).
#pragma once

#include <cstdint>

#include "kex/kernels/real/hyperbolic/common.h"

extern "C" {
// Cosh and Sinh of any argument, IEEE results; Cosh reports overflow (3),
// double Sinh nothing, single Sinh overflow (3).
[[gnu::visibility("hidden")]] int32_t vdcosh_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vdsinh_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vscosh_cout_rare(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vssinh_cout_rare(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace hyp {

constexpr double kFastD = 0x1.6232bp9;         // 708.39599609375: m <= 1021 in the reduction
constexpr uint32_t kOverflowS = 0x42B2D4FCu;   // 89.4159927368164
constexpr double kSmall = 0.25;                // Sinh: polynomial below

template <class V> [[gnu::always_inline]] inline V sign_of(V x) { return bit_and(x, c<V>(-0.0)); }
template <class M> [[gnu::always_inline]] inline bool any(M m) { return m.bits() != 0; }
template <class V> constexpr int kAll = (1 << V::lanes) - 1;

// sinh t, t = |x| >= 0.25 (B = 0 from the one-sided switch on).
template <Flavour F, class V> [[gnu::always_inline]] inline V sinh_table(V t) {
    const TwoSided<V> s = two_sided(t);
    if constexpr (F == Flavour::HA) {
        V lo;
        const V d = sinh_parts(s, lo);
        return d + lo;
    } else {
        const V d = s.ah - s.bh;
        return d + (d * s.e + (s.ah + s.bh) * s.o);
    }
}

template <Flavour F, class V> [[gnu::always_inline]] inline V sinh_eval(V x) {
    const V t = abs(x);
    const typename V::mask small = t < c<V>(kSmall);
    const int sb = small.bits();
    V ys{}, yl{};
    if (sb != 0) ys = x + sinh_small_tail(x);  // keeps the sign of x, -0 included
    if (sb == kAll<V>) return ys;
    yl = bit_or(sinh_table<F>(t), sign_of(x));
    return sb == 0 ? yl : select(small, ys, yl);
}

template <Flavour F, class V> [[gnu::always_inline]] inline V cosh_eval(V x) {
    const TwoSided<V> s = two_sided(abs(x));
    if constexpr (F == Flavour::HA) {
        V lo;
        const V h = cosh_parts(s, lo);
        return h + lo;
    } else {
        const V h = s.ah + s.bh;
        return h + (h * s.e + (s.ah - s.bh) * s.o);
    }
}

// ---- single precision, computed in double ----------------------------------------
// e^t/2 and e^-t/2 for 0 <= t < 89.5: 2^f (|f| <= 1/2) from the double Exp EP
// polynomial (2^-28.9) split into its even and odd parts, so that 2^-f costs
// nothing more: e^(+-t)/2 = 2^(+-k-1) (Ev +- Od). Sinh's difference loses at
// most a factor 4 from t = 0.25 on: 2^-27, an eighth of a float ulp.
template <class W> struct HalfExps { W ep, em; };
template <class W> [[gnu::always_inline]] inline HalfExps<W> half_exps(W t) {
    const W xl = t * c<W>(dexp::kLog2e);
    const W kt = xl + c<W>(dexp::kShifter);
    const W f = xl - (kt - c<W>(dexp::kShifter));
    const W f2 = f * f;
    const W ev = ((c<W>(dexp::kE6) * f2 + c<W>(dexp::kE4)) * f2 + c<W>(dexp::kE2)) * f2 + c<W>(1.0);
    const W od = ((c<W>(dexp::kE5) * f2 + c<W>(dexp::kE3)) * f2 + c<W>(dexp::kE1)) * f;
    const W k52 = bits_shl<52>(kt), half = splat_bits<W>(uint64_t{1} << 52);
    return {bits_add(bits_sub(ev + od, half), k52), bits_sub(bits_sub(ev - od, half), k52)};
}
// sinh x = x + x^3 P(x^2) on |x| <= 0.25 to 2^-40 (tools/sollya/hyperbolic.sollya).
template <class W> [[gnu::always_inline]] inline W sinh_small_s(W x) {
    const W z = x * x;
    return x + x * z * ((c<W>(0x1.a0a4c417852c6p-13) * z + c<W>(0x1.1111040f6a06p-7)) * z + c<W>(0x1.555555560e304p-3));
}
template <class W> [[gnu::always_inline]] inline W sinh_s(W x) {
    const W t = abs(x);
    const HalfExps<W> h = half_exps(t);
    return select(t < c<W>(kSmall), sinh_small_s(x), bit_or(h.ep - h.em, sign_of(x)));
}
template <class W> [[gnu::always_inline]] inline W cosh_s(W x) {
    const HalfExps<W> h = half_exps(abs(x));
    return h.ep + h.em;
}

// A double formula on the float lanes, rounded once.
template <class V, class Fn> [[gnu::always_inline]] inline V in_double(V x, Fn f) {
    using Wd = Widened<V>;
    typename Wd::type d[Wd::parts];
    for (int k = 0; k < Wd::parts; ++k) d[k] = f(Wd::part(x, k));
    return Wd::join(d);
}

template <bool kSinh, Flavour F>
struct SinhCoshD : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (kSinh) y[0] = sinh_eval<F>(x[0]);
        else y[0] = cosh_eval<F>(x[0]);
        return unordered(x[0], x[0]) | (abs(x[0]) >= c<V>(kFastD));
    }
    int rare(const double* x, double* y) const { return kSinh ? vdsinh_cout_rare(x, y) : vdcosh_cout_rare(x, y); }
};

template <bool kSinh>
struct SinhCoshS : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = in_double(x[0], [](auto w) { return kSinh ? sinh_s(w) : cosh_s(w); });
        // NaN and the infinities included: their magnitude bits are larger.
        return bits_gt(abs(x[0]), splat_bits<V>(kOverflowS - 1));
    }
    int rare(const float* x, float* y) const { return kSinh ? vssinh_cout_rare(x, y) : vscosh_cout_rare(x, y); }
};

}  // namespace hyp

template <> struct OpFor<fn_Sinh, acc_HA, double> { using type = hyp::SinhCoshD<true, Flavour::HA>; };
template <> struct OpFor<fn_Sinh, acc_LA, double> { using type = hyp::SinhCoshD<true, Flavour::LA>; };
template <> struct OpFor<fn_Cosh, acc_HA, double> { using type = hyp::SinhCoshD<false, Flavour::HA>; };
template <> struct OpFor<fn_Cosh, acc_LA, double> { using type = hyp::SinhCoshD<false, Flavour::LA>; };
template <> struct OpFor<fn_Cosh, acc_EP, double> { using type = hyp::SinhCoshD<false, Flavour::EP>; };
template <> struct OpFor<fn_Sinh, acc_HA, float> { using type = hyp::SinhCoshS<true>; };
template <> struct OpFor<fn_Sinh, acc_LA, float> { using type = hyp::SinhCoshS<true>; };
template <> struct OpFor<fn_Sinh, acc_EP, float> { using type = hyp::SinhCoshS<true>; };
template <> struct OpFor<fn_Cosh, acc_HA, float> { using type = hyp::SinhCoshS<false>; };
template <> struct OpFor<fn_Cosh, acc_LA, float> { using type = hyp::SinhCoshS<false>; };
template <> struct OpFor<fn_Cosh, acc_EP, float> { using type = hyp::SinhCoshS<false>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
#include "kex/kernels/real/hyperbolic/sinh_cosh_scalar.inc"
#endif
