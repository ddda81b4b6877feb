// Double-precision Exp and Expm1, three flavours each.
//
// The table kernels reduce x = (k/64) ln2 + r, |r| <= ln2/128, and use the
// 64 pairs Th + Tl = 2^(j/64), j = k & 63 (Th has 40 fraction bits):
//   e^x = 2^(k>>6) (Th + Tl) e^r.
// Exp HA: e^r - 1 by a degree-5 polynomial, result ((p T + Tl) + Th) 2^(k>>6).
//   A block of 4 with any lane outside |x| < 708.39599609375, or NaN, is
//   computed wholly by the block routine _kexdExpSpec4, a tail element by
//   the scalar routine _kexdSpecSc (the same formula in range, the IEEE
//   result outside it).
// Exp LA: the same with 2^(j/64) rounded to double in place of the pair.
// Exp EP: no table; 2^f, |f| <= 1/2, by a degree-6 polynomial with k added
//   to its exponent field. LA and EP send only the special lanes to
//   _kexdSpecSc. Exp reports nothing in any flavour.
// Expm1: with s = 2^(k>>6) and q = e^r - 1,
//   e^x - 1 = (s Th - 1) + q + s Tl + (s Th - 1 + s Tl) q,
//   HA keeps s Th - 1 and its sum with r exact, so the cancellation near 0
//   costs nothing; LA rounds them; EP drops Tl and shortens q. Special lanes
//   (the same bound) go to vdexpm1_cout_rare, which reports overflow (3).
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

extern "C" {
// e^x for any x, status 0: the HA formula in the fast range, IEEE results
// outside it (denormal results rounded once).
[[gnu::visibility("hidden")]] int32_t _kexdSpecSc(const double* a, double* r);
// The 4 elements of a block through _kexdSpecSc.
[[gnu::visibility("hidden")]] void _kexdExpSpec4(const double* a, double* r);
// e^x - 1 for NaN, the infinities and |x| >= 708.39599609375.
[[gnu::visibility("hidden")]] int32_t vdexpm1_cout_rare(const double* a, double* r);
}

namespace kex {
namespace dexp_data {
#include "kex/kernels/real/explog/exp_double_table.inc"
}  // namespace dexp_data

namespace KEX_LVL {
namespace dexp {

constexpr double kShifter = 0x1.8p52;                // 1.5 2^52: k in the low bits of x 64/ln2 + kShifter
constexpr double k64OverLn2 = 0x1.71547652b82fep6;   // 92.33248261689366
constexpr double kLn2o64Hi = 0x1.62e42fefp-7;        // 0.010830424695086549, 33 significant bits
constexpr double kLn2o64Lo = 0x1.473de6af278edp-40;  // 1.162596423439437e-12
constexpr double kFastBound = 0x1.6232bp9;           // 708.39599609375: 2^(k>>6) and the result stay normal

// Exp HA, LA: e^r = 1 + r + r^2 (c2 + c3 r + c4 r^2 + c5 r^3), relative
// error 2^-59.2 on |r| <= ln2/128.
constexpr double kC2 = 0x1.fffffffffd97cp-2, kC3 = 0x1.55555555542a1p-3;
constexpr double kC4 = 0x1.555574bc3a1bep-5, kC5 = 0x1.1111276409c2cp-7;

// Exp EP: 2^f = 1 + e1 f + ... + e6 f^6, tools/sollya/exp_double_ep.sollya,
// relative error 2^-28.9 on |f| <= 0.5001.
constexpr double kLog2e = 0x1.71547652b82fep0;
constexpr double kE1 = 0x1.62e430af600ecp-1, kE2 = 0x1.ebfbdc3b0b7e6p-3, kE3 = 0x1.c6aee839ffce1p-5;
constexpr double kE4 = 0x1.3b2d4d79819dbp-7, kE5 = 0x1.5f3e7f413adf6p-10, kE6 = 0x1.41fba002aa4edp-13;

// Expm1: e^r - 1 = r + r^2 P(r), tools/sollya/exp_double_expm1.sollya,
// relative error of the sum 2^-61.4 with the degree-4 P (HA, LA), 2^-28.1
// with the degree-1 P (EP), on |r| <= 1.01 ln2/128.
constexpr double kH2 = 0x1p-1, kH3 = 0x1.5555555554d86p-3, kH4 = 0x1.55555555556a2p-5;
constexpr double kH5 = 0x1.111120fff8fc4p-7, kH6 = 0x1.6c16cafbf4a5fp-10;
constexpr double kP2 = 0x1.000014e94eb3p-1, kP3 = 0x1.55555ae8e0f7ap-3;
constexpr double kLn2o64 = 0x1.62e42fefa39efp-7;     // ln2/64 rounded: EP's one-step reduction

template <class V> V c(double v) { return V::splat(v); }

// Lanes the fast formulas do not cover: NaN and |x| >= kFastBound.
template <class V> typename V::mask out_of_range(V x) { return unordered(x, x) | (abs(x) >= c<V>(kFastBound)); }

// x = n ln2/64 + rh - nl: t holds k = n in its low bits; n Ln2o64Hi is exact
// (17 + 33 bits) and so is rh, x minus it (the two are within a factor 2, or
// n = 0).
template <class V> struct Reduced { V t, rh, nl; };
template <class V> [[gnu::always_inline]] inline Reduced<V> reduce(V x) {
    const V t = x * c<V>(k64OverLn2) + c<V>(kShifter);
    const V n = t - c<V>(kShifter);
    return {t, x - n * c<V>(kLn2o64Hi), n * c<V>(kLn2o64Lo)};
}

// 2^(k>>6): bits 6..17 of t are (k>>6) mod 2^12, moved to the exponent field
// and biased; right while k>>6 lies in -1022..1023.
template <class V> V scale_of(V t) { return bits_add(bits_shl<52>(bits_shr<6>(t)), splat_bits<V>(0x3FF0000000000000ull)); }
// The pair (Th, Tl) of entry k & 63.
template <class V> void table_pair(V t, V& th, V& tl) {
    gather_pairs(&dexp_data::kExp2J64[0][0], bit_and(bits_shl<1>(t), splat_bits<V>(126)), th, tl);
}

// e^r - 1 for Exp, and r^2 P(r) for Expm1.
template <class V> V exp_poly(V r) {
    return (((c<V>(kC5) * r + c<V>(kC4)) * r + c<V>(kC3)) * r + c<V>(kC2)) * (r * r) + r;
}
template <class V> V expm1_poly(V r) {
    return ((((c<V>(kH6) * r + c<V>(kH5)) * r + c<V>(kH4)) * r + c<V>(kH3)) * r + c<V>(kH2)) * (r * r);
}

// Exp HA, split for the scalar routine's use at the range edges:
//   e^x = 2^(k>>6) (Th + lo),  lo = p (Th + Tl) + Tl.
template <class V> struct ExpParts { V t, th, lo; };
template <class V> [[gnu::always_inline]] inline ExpParts<V> exp_parts(V x) {
    const Reduced<V> d = reduce(x);
    const V p = exp_poly(d.rh - d.nl);
    V th, tl;
    table_pair(d.t, th, tl);
    return {d.t, th, p * (th + tl) + tl};
}
template <class V> [[gnu::always_inline]] inline V exp_ha(V x) {
    const ExpParts<V> e = exp_parts(x);
    return (e.lo + e.th) * scale_of(e.t);
}

template <class V> [[gnu::always_inline]] inline V exp_la(V x) {
    const Reduced<V> d = reduce(x);
    const V p = exp_poly(d.rh - d.nl);
    const V tr = gather(dexp_data::kExp2J64Rounded, bit_and(d.t, splat_bits<V>(63)));
    return (p * tr + tr) * scale_of(d.t);
}

// 2^k 2^f with f = x log2 e - k: the product's rounding, at most 2^-44 in f
// for |x| < 709, stays far below the flavour's target. Estrin form.
template <class V> [[gnu::always_inline]] inline V exp_ep(V x) {
    const V xl = x * c<V>(kLog2e);
    const V t = xl + c<V>(kShifter);
    const V f = xl - (t - c<V>(kShifter));
    const V f2 = f * f;
    const V lo = (c<V>(kE2) * f + c<V>(kE1)) * f + c<V>(1.0);
    const V hi = (c<V>(kE6) * f + c<V>(kE5)) * f2 + (c<V>(kE4) * f + c<V>(kE3));
    return bits_add(hi * (f2 * f) + lo, bits_shl<52>(t));
}

// Expm1 keeps the sign of its argument, -0 included: the sign of x is OR-ed
// into every result.
template <class V> V with_sign_of(V y, V x) { return bit_or(y, bit_and(x, c<V>(-0.0))); }

// HA: r + rerr = rh - nl exactly; d + de = s Th - 1 exactly (two-sum);
// sum + e2 = d + r exactly (fast two-sum: d is 0 or |d| >= 1 - 2^(-1/64) >
// |r|). Every other rounding falls on terms below 2^-6 of the result.
template <class V> [[gnu::always_inline]] inline V expm1_ha(V x) {
    const Reduced<V> red = reduce(x);
    const V r = red.rh - red.nl;
    const V rerr = (red.rh - r) - red.nl;
    const V q2 = expm1_poly(r) + rerr;
    const V s = scale_of(red.t), one = c<V>(1.0);
    V th, tl;
    table_pair(red.t, th, tl);
    const V sh = s * th, sl = s * tl;
    const V d = sh - one;
    const V bb = d - sh;
    const V de = (sh - (d - bb)) - (one + bb);
    const V sum = d + r;
    const V e2 = (d - sum) + r;
    const V tail = ((e2 + de) + q2) + ((d + sl) * (r + q2) + sl);
    return with_sign_of(sum + tail, x);
}

// LA: the same sums rounded. s Th - 1 is exact anyway for k>>6 in -13..40
// (Th has 40 fraction bits), and elsewhere the result is far from 0.
template <class V> [[gnu::always_inline]] inline V expm1_la(V x) {
    const Reduced<V> red = reduce(x);
    const V r = red.rh - red.nl;
    const V q2 = expm1_poly(r);
    const V s = scale_of(red.t);
    V th, tl;
    table_pair(red.t, th, tl);
    const V sl = s * tl;
    const V d = s * th - c<V>(1.0);
    return with_sign_of((d + r) + (q2 + ((d + sl) * (r + q2) + sl)), x);
}

// EP: one-step reduction, Th alone (2^-41), e^r - 1 to 2^-28.
template <class V> [[gnu::always_inline]] inline V expm1_ep(V x) {
    const V t = x * c<V>(k64OverLn2) + c<V>(kShifter);
    const V r = x - (t - c<V>(kShifter)) * c<V>(kLn2o64);
    const V q = (c<V>(kP3) * r + c<V>(kP2)) * (r * r) + r;
    const V th = gather(&dexp_data::kExp2J64[0][0], bit_and(bits_shl<1>(t), splat_bits<V>(126)));
    const V d = scale_of(t) * th - c<V>(1.0);
    return with_sign_of(d + (d * q + q), x);
}

// ---- policies ----------------------------------------------------------------

template <Flavour F>
struct ExpOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = F == Flavour::HA;  // blocks of 4
    static constexpr int kBlockRoutine = F == Flavour::HA ? 4 : 0;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F == Flavour::HA) y[0] = exp_ha(x[0]);
        else if constexpr (F == Flavour::LA) y[0] = exp_la(x[0]);
        else y[0] = exp_ep(x[0]);
        return out_of_range(x[0]);
    }
    int rare(const double* x, double* y) const { return _kexdSpecSc(x, y); }
    void rare_block(const double* x, double* y) const { _kexdExpSpec4(x, y); }
};

template <Flavour F>
struct Expm1Op : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F == Flavour::HA) y[0] = expm1_ha(x[0]);
        else if constexpr (F == Flavour::LA) y[0] = expm1_la(x[0]);
        else y[0] = expm1_ep(x[0]);
        return out_of_range(x[0]);
    }
    int rare(const double* x, double* y) const { return vdexpm1_cout_rare(x, y); }
};

}  // namespace dexp

template <> struct OpFor<fn_Exp, acc_HA, double> { using type = dexp::ExpOp<Flavour::HA>; };
template <> struct OpFor<fn_Exp, acc_LA, double> { using type = dexp::ExpOp<Flavour::LA>; };
template <> struct OpFor<fn_Exp, acc_EP, double> { using type = dexp::ExpOp<Flavour::EP>; };
template <> struct OpFor<fn_Expm1, acc_HA, double> { using type = dexp::Expm1Op<Flavour::HA>; };
template <> struct OpFor<fn_Expm1, acc_LA, double> { using type = dexp::Expm1Op<Flavour::LA>; };
template <> struct OpFor<fn_Expm1, acc_EP, double> { using type = dexp::Expm1Op<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_explog)
#include "kex/kernels/real/explog/exp_double_scalar.inc"
#endif
