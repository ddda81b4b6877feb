// Tan in double and single precision, three flavours each, as sin x / cos x
// from one reduction of sincos_double.h.
//
// HA keeps sine and cosine unrounded, S = sh + sl and C = ch + cl (each
// within about 2^-60 relative), and corrects the quotient q = sh / ch by its
// remainder: tan x = q + (sh - q ch + sl - q cl) / (ch + cl), with q ch
// split exactly (Dekker, no FMA) so sh - q ch is exact. Near a pole ch is
// the (exact-sum) reduced argument itself, so the relative accuracy holds
// there too: about 0.5 ulp + 2^-8. LA divides the two HA-rounded values
// (under 1.6 ulp), EP takes a continued fraction (2^-34 relative). Lanes
// beyond the vector bound (90112 for HA, 2^17 else) use the scalar evaluator
// with the exact reduction; the infinities and NaN go to the special-value
// routines.
//
// Single-precision HA widens to double and rounds once (the double LA
// method, 0.5 + 2^-28 float ulp). LA and EP stay in float below 3072 with
// the float reduction of sincos_single.h (x = n pi/2 + r, |r| <= pi/4) and a
// continued fraction of tan r cut after 9 terms (LA, 2^-26.1 relative) or 7
// (EP, 2^-12.2); lanes beyond take the double continued fraction cut after 11.
#pragma once

#include <cstdint>

#include "kex/kernels/real/trig/sincos_single.h"

extern "C" {
[[gnu::visibility("hidden")]] long double _dTan(double x);
// Status 1 for the infinities (NaN result), NaN passes quietly.
[[gnu::visibility("hidden")]] int32_t vdtan_cout_rare(const double* a, double* r);
[[gnu::visibility("hidden")]] int32_t vstan_cout_rare(const float* a, float* r);
// tan x of one finite element under 53-bit x87 precision control.
[[gnu::visibility("hidden")]] double _kexdTanScalar(double x);
}

namespace kex {
namespace KEX_LVL {
namespace dtrig {

constexpr double kTanTinyBound = 0x1p-27;  // tan x rounds to x below (x^3/3 < 2^-55 x)

// a b = p + e exactly (Dekker's splitting; |a b| far from overflow here).
template <class V> [[gnu::always_inline]] inline void two_prod_v(V a, V b, V& p, V& e) {
    const V ca = c<V>(134217729.0) * a, cb = c<V>(134217729.0) * b;  // 2^27 + 1
    const V ah = ca - (ca - a), bh = cb - (cb - b);
    const V al = a - ah, bl = b - bh;
    p = a * b;
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// (sh + sl) / (ch + cl) to about 0.5 ulp: sh - q ch is exact (q ch is
// within an ulp of sh), the rest of the remainder is small.
template <class V> [[gnu::always_inline]] inline V tan_quotient(V sh, V sl, V ch, V cl) {
    const V q = sh / ch;
    V p, pe;
    two_prod_v(q, ch, p, pe);
    return q + (((sh - p) - pe) + (sl - q * cl)) / (ch + cl);
}

// EP (and single-precision LA and EP) without a table: x = k pi/2 + r,
// |r| <= pi/4 (pi/2 as the halved three-part pi, exact below 2^17), and the
// continued fraction of tan cut after 11: tan r = r N(z) / D(z), z = r^2,
//   N = 10395 - 1260 z + 21 z^2, D = 10395 - 4725 z + 210 z^2 - z^3,
// off by under 2^-34 relative on |r| <= pi/4; odd k gives -1/tan r = D / (-r N).
template <class V> [[gnu::always_inline]] inline V tan_cf(V x) {
    const V t = x * c<V>(2 * kInvPi) + c<V>(kShifter);
    const V k = t - c<V>(kShifter);
    const V r = ((x - k * c<V>(kPi1 * 0.5)) - k * c<V>(kPi2 * 0.5)) - k * c<V>(kPi3 * 0.5);
    const V z = r * r;
    const V num = r * (c<V>(10395.0) + z * (c<V>(-1260.0) + z * c<V>(21.0)));
    const V den = c<V>(10395.0) + z * (c<V>(-4725.0) + z * (c<V>(210.0) - z));
    const V h = k * c<V>(0.5);
    const auto odd = abs(h - ((h + c<V>(kShifter)) - c<V>(kShifter))) > c<V>(0.25);
    return select(odd, den, num) / select(odd, c<V>(0.0) - num, den);
}

template <Flavour F, class V> [[gnu::always_inline]] inline V tan_of(V x) {
    if constexpr (F == Flavour::HA) {
        const Reduced<V> d = reduce(x);
        V ps, pc, sl, cl;
        polys<F>(d.rh, ps, pc);
        const V sh = combine_pair(row(d.t, 0), d, ps, pc, sl);
        const V ch = combine_pair(row(d.t, 16), d, ps, pc, cl);
        return select(abs(x) < c<V>(kTanTinyBound), x, tan_quotient(sh, sl, ch, cl));
    } else if constexpr (F == Flavour::LA) {
        V s, co;
        sincos_of<Flavour::HA>(x, s, co);
        return s / co;
    } else {
        return tan_cf(x);
    }
}

template <Flavour F>
struct TanOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = tan_of<F>(x[0]);
        return off_range<F>(x[0]);
    }
    int rare(const double* x, double* y) const {
        if (*x - *x == 0) return *y = _kexdTanScalar(*x), 0;
        return vdtan_cout_rare(x, y);
    }
};

}  // namespace dtrig

namespace strig {

// tan r = r N(z) / D(z), z = r^2: 9 terms N = 945 - 105 z + z^2,
// D = 945 - 420 z + 15 z^2; 7 terms N = 15 - z, D = 15 - 6 z. Odd n gives
// -1/tan r = D / (-r N), so one division serves both.
template <Flavour F, class V> [[gnu::always_inline]] inline V tan_f(V x) {
    const FloatTrig& k = float_trig();
    const V sh = ld<V>(k.shifter);
    const V t = x * ld<V>(k.two_over_pi) + sh;
    const V r = reduce_f(k, x, t - sh);
    const V z = r * r;
    V num, den;
    if constexpr (F == Flavour::EP) {
        num = r * (ld<V>(k.t15) - z);
        den = ld<V>(k.t15) - z * ld<V>(k.t6);
    } else {
        num = r * (ld<V>(k.t945) + z * (z - ld<V>(k.t105)));
        den = ld<V>(k.t945) + z * (z * ld<V>(k.t15) - ld<V>(k.t420));
    }
    const auto odd = bits_gt(V::splat(0.0f), bits_shl<31>(t));
    return select(odd, den, num) / select(odd, V::splat(0.0f) - num, den);
}

// The double continued fraction behind LA and EP beyond the float range.
template <class V> [[gnu::noinline]] V tan_d_outline(V x) {
    using W = Widened<V>;
    typename W::type d[W::parts];
    for (int p = 0; p < W::parts; ++p) d[p] = dtrig::tan_cf(W::part(x, p));
    return W::join(d);
}

template <Flavour F>
struct TanOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F != Flavour::HA) {
            y[0] = tan_f<F>(x[0]);
            const auto wide = beyond_float(x[0]);
            if (wide.bits() != 0) y[0] = select(wide, tan_d_outline(x[0]), y[0]);
        } else {
            using W = Widened<V>;
            typename W::type d[W::parts];
            for (int p = 0; p < W::parts; ++p) d[p] = dtrig::tan_of<Flavour::LA>(W::part(x[0], p));
            y[0] = W::join(d);
        }
        return off_range(x[0]);
    }
    int rare(const float* x, float* y) const {
        if (*x - *x == 0) return *y = static_cast<float>(_kexdTanScalar(*x)), 0;
        return vstan_cout_rare(x, y);
    }
};

}  // namespace strig

template <> struct OpFor<fn_Tan, acc_HA, double> { using type = dtrig::TanOp<Flavour::HA>; };
template <> struct OpFor<fn_Tan, acc_LA, double> { using type = dtrig::TanOp<Flavour::LA>; };
template <> struct OpFor<fn_Tan, acc_EP, double> { using type = dtrig::TanOp<Flavour::EP>; };
template <> struct OpFor<fn_Tan, acc_HA, float> { using type = strig::TanOp<Flavour::HA>; };
template <> struct OpFor<fn_Tan, acc_LA, float> { using type = strig::TanOp<Flavour::LA>; };
template <> struct OpFor<fn_Tan, acc_EP, float> { using type = strig::TanOp<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_trig)
extern "C" {

// Like _dSin up to the final combination: both sums as pairs, then the
// corrected quotient (in doubles; 53-bit precision control keeps x87
// doubles rounding the same).
long double _dTan(double x) {
    using namespace kex::KEX_LVL;
    using namespace kex::KEX_LVL::dtrig;
    const int32_t e = biased_exponent(x);
    if (e == 0x7FF) return x != x ? x * x : x * 0.0;
    if (e < 771) return x == 0 ? x : (x * 0x1p55 - x) * 0x1p-55;  // |x| < 2^-252: x, inexact
    double xh, xl;
    uint32_t shift = prepare(x, xh, xl);
    long double sl, cl;
    long double sh = eval_pair(xh, xl, shift, sl), ch = eval_pair(xh, xl, shift + 16, cl);
    // From 2^16 to 2^17 the table reduction's 2^-106 is too coarse for a sine
    // or cosine near 2^-52 (91553.86... is that close to a pole): such rare
    // arguments are reduced exactly and evaluated again.
    if (e == 1039 && (fabsl(sh) < 0x1p-20L || fabsl(ch) < 0x1p-20L)) {
        double rec[2];
        shift = static_cast<uint32_t>(orvu_kex_kernel_reduce_pio2d(x, rec)) * 16u;
        sh = eval_pair(rec[0], rec[1], shift, sl), ch = eval_pair(rec[0], rec[1], shift + 16, cl);
    }
    const auto v = [](long double u) { return F64x1{static_cast<double>(u)}; };
    return tan_quotient(v(sh), v(sl), v(ch), v(cl)).v;
}

double _kexdTanScalar(double x) {
    kex::KEX_LVL::dtrig::X87Double53 pc;
    return static_cast<double>(_dTan(x));
}

int32_t vdtan_cout_rare(const double* a, double* r) { return vdsin_cout_rare(a, r); }
int32_t vstan_cout_rare(const float* a, float* r) { return vssin_cout_rare(a, r); }

void orvu_kex_kernel_dTan_SC(int32_t i, const double* a, double* r) {
    kex::KEX_LVL::dtrig::one(i, a, r, _kexdTanScalar, "vdTan");
}
void orvu_kex_kernel_dTan_SC_HA(int32_t i, const double* a, double* r) { orvu_kex_kernel_dTan_SC(i, a, r); }
void orvu_kex_kernel_dTan_SC_LA(int32_t i, const double* a, double* r) { orvu_kex_kernel_dTan_SC(i, a, r); }
void orvu_kex_kernel_dTan_SC_A11(int32_t i, const double* a, double* r) { orvu_kex_kernel_dTan_SC(i, a, r); }
void orvu_kex_kernel_sTan_SC_HA(int32_t i, const float* a, float* r) {
    kex::KEX_LVL::strig::one(i, a, r, _kexdTanScalar, "vsTan");
}
void orvu_kex_kernel_sTan_SC_LA(int32_t i, const float* a, float* r) { orvu_kex_kernel_sTan_SC_HA(i, a, r); }
void orvu_kex_kernel_sTan_SC_A11(int32_t i, const float* a, float* r) { orvu_kex_kernel_sTan_SC_HA(i, a, r); }

}  // extern "C"
#endif
