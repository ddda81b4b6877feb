// Double-precision Sin, Cos and SinCos, three flavours each, and the
// double-precision core the single-precision kernels widen into.
//
// Reduction: x = n pi/32 + r, n = nearest integer of x 32/pi, |r| <= pi/64,
// with pi/32 in three parts: n P1 and n P2 are exact for |n| < 2^20 (P1 has
// 30 significant bits, P2 32), x - n P1 is exact (Sterbenz), and the
// difference with n P2 is split exactly into rh + rl (its error term is
// exact because |x - n P1| > |n P2| whenever the difference rounds). The
// parts agree with pi/32 to 2^-127, so below |x| = 90112 (|n| < 2^20) the
// absolute error of rh + rl stays under 2^-106; the nearest such x to a
// multiple of pi/2 (6411027962775774 2^-47, 2^-60.5 away) keeps r to 2^-56.
//
// With j = n mod 64, sin(j pi/32 + r) = S_j cos r + cos(j pi/32) sin r. The
// table kSinTab keeps per j: C_j = |cos(j pi/32)| - 1 in [-1, 0], S_j, the
// rest of S_j, and the sign of the cosine, so
//   sin x = S_j + S_j c(r) + sg_j (1 + C_j) s(r),
//   c(r) = cos r - 1 and s(r) = sin r by the Taylor polynomials,
// and cos x is the same at j + 16. HA sums S_j + sg_j rh exactly (|S_j| >=
// |rh| or S_j = 0) and adds the rest and the table's low part before the
// last rounding: about 0.5 ulp + 2^-4 ulp. SinCos LA drops the low parts
// (< 2 ulp); SinCos EP also shortens both polynomials (2^-34 relative).
// Sin and Cos LA and EP use one odd polynomial after a reduction by pi
// (below), which needs no table.
//
// Lanes with |x| >= 90112 (HA; 2^17 for LA and EP, whose bounds allow the
// reduction's 2^-105), infinities and NaN leave the vector path: finite
// ones go to the scalar evaluators (exact reduction by pi/2 for |x| >= 2^17),
// the others to the special-value routines.
#pragma once

#include <cstdint>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

extern "C" {
// The extended-precision evaluators (53-bit precision control expected).
[[gnu::visibility("hidden")]] long double _dSin(double x);
[[gnu::visibility("hidden")]] long double _dCos(double x);
[[gnu::visibility("hidden")]] long double _dSinCos(double x, long double* c);
// Special-value routines: status 1 for the infinities, NaN passes quietly.
[[gnu::visibility("hidden")]] int32_t vdsin_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vdcos_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vdsincos_cout_rare(const double* a, double* r1, double* r2);
// The value of one finite element through the evaluators, under 53-bit
// precision control (set and restored here when the caller's differs).
[[gnu::visibility("hidden")]] double _kexdSinScalar(double x);
[[gnu::visibility("hidden")]] double _kexdCosScalar(double x);
[[gnu::visibility("hidden")]] void _kexdSinCosScalar(double x, double* s, double* c);
}

namespace kex {
namespace dtrig_data {
#include "kex/kernels/real/trig/sincos_double_table.inc"
}  // namespace dtrig_data

namespace KEX_LVL {
namespace dtrig {

constexpr double k32OverPi = 0x1.45f306dc9c883p3;  // 10.185916357881302
constexpr double kShifter = 0x1.8p52;              // n in the low bits of x 32/pi + 1.5 2^52
constexpr double kPio32_1 = 0x1.921fb544p-4;       // pi/32 in three parts
constexpr double kPio32_2 = 0x1.0b4611a6p-38;
constexpr double kPio32_3 = 0x1.3198a2e037073p-73;
constexpr double kFastBound = 90112.0;  // HA: |n| < 2^20, n P1 and n P2 exact
constexpr double kWideBound = 0x1p17;   // LA, EP: |n| < 2^21 keeps n P2 exact, r within 2^-105
constexpr double kTinyBound = 0x1p-26;  // sin x rounds to x below (and keeps the sign of 0)

// Taylor coefficients: s(r) = r + r z (S1 + z (S2 + z (S3 + z S4))),
// c(r) = z (C1 + z (C2 + z (C3 + z C4))), z = r^2; on |r| <= pi/64 the
// truncation is below 2^-70 relative.
constexpr double kS1 = -0.16666666666666666, kS2 = 0.008333333333333333;
constexpr double kS3 = -0.0001984126984126984, kS4 = 2.7557319223985893e-06;
constexpr double kC1 = -0.5, kC2 = 0.041666666666666664;
constexpr double kC3 = -0.001388888888888889, kC4 = 2.48015873015873e-05;

template <class V> V c(double v) { return V::splat(v); }

template <class V> struct Reduced { V t, rh, rl; };
template <class V> [[gnu::always_inline]] inline Reduced<V> reduce(V x) {
    const V t = x * c<V>(k32OverPi) + c<V>(kShifter);
    const V n = t - c<V>(kShifter);
    const V a = x - n * c<V>(kPio32_1);
    const V b = n * c<V>(kPio32_2);
    const V rh = a - b;
    return {t, rh, ((a - rh) - b) - n * c<V>(kPio32_3)};
}

// The table row of j = (n + shift) mod 64: (C_j, S_j) and (S_j rest, sign).
template <class V> struct Row { V cm1, s, slo, sg; };
template <class V> [[gnu::always_inline]] inline Row<V> row(V t, uint32_t shift) {
    const V idx = bits_shl<2>(bit_and(bits_add(t, splat_bits<V>(shift)), splat_bits<V>(63)));
    Row<V> w;
    gather_pairs(&dtrig_data::kSinTab[0][0], idx, w.cm1, w.s);
    gather_pairs(&dtrig_data::kSinTab[0][2], idx, w.slo, w.sg);
    return w;
}

// The polynomial parts: ps with s(r) = rh + rh ps, pc = c(r).
template <Flavour F, class V> [[gnu::always_inline]] inline void polys(V rh, V& ps, V& pc) {
    const V z = rh * rh;
    if constexpr (F == Flavour::EP) {
        ps = z * (c<V>(kS1) + z * c<V>(kS2));
        pc = z * (c<V>(kC1) + z * c<V>(kC2));
    } else {
        ps = z * (c<V>(kS1) + z * (c<V>(kS2) + z * (c<V>(kS3) + z * c<V>(kS4))));
        pc = z * (c<V>(kC1) + z * (c<V>(kC2) + z * (c<V>(kC3) + z * c<V>(kC4))));
    }
}

// sin(j pi/32 + r) from the row of j as h + lo before the last rounding
// (the HA sum; lo is at most about 2^-9 |h|).
template <class V>
[[gnu::always_inline]] inline V combine_pair(const Row<V>& w, const Reduced<V>& d, V ps, V pc, V& lo) {
    const V sr = d.rl + d.rh * ps;  // s(r) - rh
    const V srh = w.sg * d.rh;
    const V h = w.s + srh;
    const V e = (w.s - h) + srh;
    lo = e + (w.slo + w.s * pc + w.sg * (sr + w.cm1 * (d.rh + sr)));
    return h;
}

// sin(j pi/32 + r) from the row of j.
template <Flavour F, class V>
[[gnu::always_inline]] inline V combine(const Row<V>& w, const Reduced<V>& d, V ps, V pc) {
    if constexpr (F == Flavour::HA) {
        V lo;
        const V h = combine_pair(w, d, ps, pc, lo);
        return h + lo;
    } else {
        const V sr = d.rl + d.rh * ps;  // s(r) - rh
        return (w.s + w.sg * d.rh) + (w.s * pc + w.sg * (sr + w.cm1 * (d.rh + sr)));
    }
}

// LA and EP of Sin and Cos go without a table: x = n pi + r for the sine,
// x = (2m + 1) pi/2 + r for the cosine, |r| <= pi/2, pi in three parts (36,
// 36 and 53 bits: n pi1 and n pi2 exact below 2^17, the parts agree with pi
// to 2^-129), and sin r = r + r z P(z) with the sign taken from the parity
// of n (of m + 1); P from tools/sollya/sin_double_pi.sollya: degree 7,
// 2^-59.9 relative, by Estrin's scheme (LA), degree 4, 2^-33.8 (EP).
constexpr double kInvPi = 0x1.45f306dc9c883p-2;
constexpr double kPi1 = 0x1.921fb5444p1, kPi2 = 0x1.68c234c4cp-38, kPi3 = 0x1.98a2e03707345p-76;
constexpr double kLA[8] = {-0x1.5555555555555p-3,  0x1.11111111110bap-7,  -0x1.a01a01a013713p-13,
                           0x1.71de3a51d51edp-19,  -0x1.ae645465ccb8cp-26, 0x1.6123ade11a08ap-33,
                           -0x1.ae3abfc33addbp-41, 0x1.8738b538e6a0bp-49};
constexpr double kEP[5] = {-0x1.5555555452469p-3, 0x1.11110fcf72b92p-7, -0x1.a01900144b793p-13,
                           0x1.7195a85034912p-19, -0x1.9d9a423c52014p-26};

// The constants as 16-byte rows (memory operands in the kernel loops).
struct OddSine {
    SplatRow<double> inv_pi, shifter, half, one, two, minus, pi[3], pio2[3], la[8], ep[5];
};
template <size_t N> constexpr void fill_rows(SplatRow<double> (&r)[N], const double (&v)[N]) {
    for (size_t i = 0; i < N; ++i) r[i] = splat_row(v[i]);
}
constexpr OddSine make_odd_sine() {
    OddSine k{splat_row(kInvPi), splat_row(kShifter), splat_row(0.5), splat_row(1.0), splat_row(2.0),
              splat_row(-0.0), {}, {}, {}, {}};
    fill_rows(k.pi, {kPi1, kPi2, kPi3});
    fill_rows(k.pio2, {kPi1 * 0.5, kPi2 * 0.5, kPi3 * 0.5});
    fill_rows(k.la, kLA);
    fill_rows(k.ep, kEP);
    return k;
}
inline constexpr OddSine kOddSine = make_odd_sine();

template <Flavour F, class V> [[gnu::always_inline]] inline V sin_poly(const OddSine& k, V r) {
    const auto ld = [](const SplatRow<double>& s) { return row_value<V>(s); };
    const V z = r * r;
    V p;
    if constexpr (F == Flavour::EP) {
        p = ld(k.ep[4]);
        for (int i = 3; i >= 0; --i) p = p * z + ld(k.ep[i]);
    } else {
        const V z2 = z * z, z4 = z2 * z2;
        const V a = ld(k.la[0]) + z * ld(k.la[1]), b = ld(k.la[2]) + z * ld(k.la[3]);
        const V e = ld(k.la[4]) + z * ld(k.la[5]), f = ld(k.la[6]) + z * ld(k.la[7]);
        p = (a + z2 * b) + z4 * (e + z2 * f);
    }
    return bit_or(r + r * (z * p), bit_and(r, ld(k.minus)));  // sin r has the sign of r, -0 included
}
// sin(x) for the shifted count t (n in its low bits) and q = n, or 2m + 1
// with the halved parts (exact).
template <Flavour F, class V> [[gnu::always_inline]] inline V odd_sine(const OddSine& k, V x, V t, V q,
                                                                       const SplatRow<double> (&p)[3]) {
    const V r = ((x - q * row_value<V>(p[0])) - q * row_value<V>(p[1])) - q * row_value<V>(p[2]);
    return bit_xor(sin_poly<F>(k, r), bits_shl<63>(t));
}

template <Flavour F, class V> [[gnu::always_inline]] inline V sin_of(V x) {
    if constexpr (F != Flavour::HA) {
        const OddSine& k = *opaque(&kOddSine);
        const V sh = row_value<V>(k.shifter);
        const V t = x * row_value<V>(k.inv_pi) + sh;
        return odd_sine<F>(k, x, t, t - sh, k.pi);
    } else {
        const Reduced<V> d = reduce(x);
        V ps, pc;
        polys<F>(d.rh, ps, pc);
        return select(abs(x) < c<V>(kTinyBound), x, combine<F>(row(d.t, 0), d, ps, pc));
    }
}
template <Flavour F, class V> [[gnu::always_inline]] inline V cos_of(V x) {
    if constexpr (F != Flavour::HA) {
        // t holds m + 1 (its parity flips the sign of sin r), q = 2m + 1
        const OddSine& k = *opaque(&kOddSine);
        const V sh = row_value<V>(k.shifter);
        const V t = (x * row_value<V>(k.inv_pi) + row_value<V>(k.half)) + sh;
        const V q = (t - sh) * row_value<V>(k.two) - row_value<V>(k.one);
        return odd_sine<F>(k, x, t, q, k.pio2);
    } else {
        const Reduced<V> d = reduce(x);
        V ps, pc;
        polys<F>(d.rh, ps, pc);
        return combine<F>(row(d.t, 16), d, ps, pc);
    }
}
template <Flavour F, class V> [[gnu::always_inline]] inline void sincos_of(V x, V& s, V& co) {
    const Reduced<V> d = reduce(x);
    V ps, pc;
    polys<F>(d.rh, ps, pc);
    s = select(abs(x) < c<V>(kTinyBound), x, combine<F>(row(d.t, 0), d, ps, pc));
    co = combine<F>(row(d.t, 16), d, ps, pc);
}

// Lanes outside the vector path: NaN, infinities and |x| >= the flavour's bound.
template <Flavour F> constexpr double kBound = F == Flavour::HA ? kFastBound : kWideBound;
template <Flavour F, class V> typename V::mask off_range(V x) {
    return unordered(x, x) | (abs(x) >= c<V>(kBound<F>));
}

// ---- policies ----------------------------------------------------------------

enum class Kind { Sin, Cos };

template <Flavour F, Kind K>
struct SinOrCosOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = K == Kind::Sin ? sin_of<F>(x[0]) : cos_of<F>(x[0]);
        return off_range<F>(x[0]);
    }
    int rare(const double* x, double* y) const {
        const bool finite = *x - *x == 0;
        if (K == Kind::Sin) {
            if (finite) return *y = _kexdSinScalar(*x), 0;
            return vdsin_cout_rare(x, y);
        }
        if (finite) return *y = _kexdCosScalar(*x), 0;
        return vdcos_cout_rare(x, y);
    }
};

template <Flavour F>
struct SinCosOp : PolicyBase<double, 1, 2> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[2]) const {
        sincos_of<F>(x[0], y[0], y[1]);
        return off_range<F>(x[0]);
    }
    int rare(const double* x, double* y) const {
        if (*x - *x == 0) return _kexdSinCosScalar(*x, &y[0], &y[1]), 0;
        return vdsincos_cout_rare(x, &y[0], &y[1]);
    }
};

}  // namespace dtrig

template <> struct OpFor<fn_Sin, acc_HA, double> { using type = dtrig::SinOrCosOp<Flavour::HA, dtrig::Kind::Sin>; };
template <> struct OpFor<fn_Sin, acc_LA, double> { using type = dtrig::SinOrCosOp<Flavour::LA, dtrig::Kind::Sin>; };
template <> struct OpFor<fn_Sin, acc_EP, double> { using type = dtrig::SinOrCosOp<Flavour::EP, dtrig::Kind::Sin>; };
template <> struct OpFor<fn_Cos, acc_HA, double> { using type = dtrig::SinOrCosOp<Flavour::HA, dtrig::Kind::Cos>; };
template <> struct OpFor<fn_Cos, acc_LA, double> { using type = dtrig::SinOrCosOp<Flavour::LA, dtrig::Kind::Cos>; };
template <> struct OpFor<fn_Cos, acc_EP, double> { using type = dtrig::SinOrCosOp<Flavour::EP, dtrig::Kind::Cos>; };
template <> struct OpFor<fn_SinCos, acc_HA, double> { using type = dtrig::SinCosOp<Flavour::HA>; };
template <> struct OpFor<fn_SinCos, acc_LA, double> { using type = dtrig::SinCosOp<Flavour::LA>; };
template <> struct OpFor<fn_SinCos, acc_EP, double> { using type = dtrig::SinCosOp<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_trig)
#include "kex/kernels/real/trig/sincos_scalar.inc"
#endif
