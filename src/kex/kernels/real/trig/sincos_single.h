// Single-precision Sin, Cos and SinCos, three flavours each.
//
// HA widens its lanes to double, runs a double method of sincos_double.h and
// rounds once to float: Sin and Cos the table-free EP polynomial (2^-33.8
// relative, so at most 0.5 + 2^-9 float ulp), SinCos the table method with
// the LA combination (under 2 double ulps).
// LA and EP stay in float below 3072 (the float reduction below); lanes
// beyond take the double method (SinCos with the EP combination). Lanes with |x| >= 2^17 are
// computed alone through the double evaluators (exact reduction), and
// infinities and NaN go to the special-value routines.
#pragma once

#include <cstdint>

#include "kex/kernels/real/trig/sincos_double.h"

extern "C" {
// Status 1 for the infinities (NaN result), NaN passes quietly.
[[gnu::visibility("hidden")]] int32_t vssin_cout_rare(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vscos_cout_rare(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace strig {

using dtrig::Kind;

// The double flavour that serves a single-precision one.
// The double flavour of SinCos's table combination.
template <Flavour F> constexpr Flavour kInDouble = F == Flavour::HA ? Flavour::LA : Flavour::EP;

// Every flavour runs to 2^17: the double reduction's error there (2^-105)
// is far below a float ulp.
template <class V> typename V::mask off_range(V x) {
    return unordered(x, x) | (abs(x) >= V::splat(static_cast<float>(dtrig::kWideBound)));
}

// ---- float method (LA, EP) -------------------------------------------------
// x = n pi/2 + r with pi/2 in four positive parts (13, 13, 13 and 24 bits,
// together within 2^-63 of pi/2; tools/sollya/sin_single.sollya): below
// 3072, |n| < 2^11, so n P1, n P2 and n P3 are exact, and so are the
// differences where r is small (Sterbenz); r is rounded once, n P4 (below
// 2^-27) adds 2^-52, which keeps r relatively exact to 2^-24 even at the
// floats nearest to a multiple of pi/2. The reduced r keeps the sign of -0. Sin and Cos take an even
// n (reduction by pi, |r| <= pi/2) or an odd one, and sin r = r + r z P(z),
// z = r^2, with the sign from n/2: degree 3 (2^-25.4, LA within 2.5 ulp,
// and Cos EP) or 2 (2^-17.7, Sin EP). SinCos reduces by pi/2 (|r| <= pi/4)
// and uses both sin r and cos r = 1 + z C(z) (2^-26.2 and 2^-32.1), swapped
// and signed by n mod 4.
constexpr float kFloatBound = 3072.0f;
constexpr float kInvPiF = 0x1.45f306p-2f, kShifterF = 0x1.8p23f;  // n in the low bits of t + 1.5 2^23

// The constants as 16-byte rows (memory operands in the kernel loops).
struct FloatTrig {
    SplatRow<float> bound, inv_pi, two_over_pi, shifter, half, one, two, sign;
    SplatRow<float> p1, p2, p3, p4;  // pi/2
    SplatRow<float> sin3[4], sin2[3], sinq[3], cosq[4];
    SplatRow<float> t945, t105, t15, t420, t6;  // tan's continued fractions
};
inline constexpr FloatTrig kFloatTrig = {
    splat_row(kFloatBound), splat_row(kInvPiF), splat_row(2 * kInvPiF), splat_row(kShifterF),
    splat_row(0.5f), splat_row(1.0f), splat_row(2.0f), splat_row(-0.0f),
    splat_row(0x1.921p0f), splat_row(0x1.f6ap-13f), splat_row(0x1.11p-26f), splat_row(0x1.68c234p-39f),
    {splat_row(-0x1.555554p-3f), splat_row(0x1.111036p-7f), splat_row(-0x1.9fb16ap-13f), splat_row(0x1.615164p-19f)},
    {splat_row(-0x1.5554a4p-3f), splat_row(0x1.10c28p-7f), splat_row(-0x1.8b0b46p-13f)},
    {splat_row(-0x1.555552p-3f), splat_row(0x1.110bdep-7f), splat_row(-0x1.9aaf94p-13f)},
    {splat_row(-0x1p-1f), splat_row(0x1.55554ep-5f), splat_row(-0x1.6c0e62p-10f), splat_row(0x1.9a7dfep-16f)},
    splat_row(945.0f), splat_row(105.0f), splat_row(15.0f), splat_row(420.0f), splat_row(6.0f)};
inline const FloatTrig& float_trig() { return *opaque(&kFloatTrig); }

template <class V> [[gnu::always_inline]] inline V ld(const SplatRow<float>& s) { return row_value<V>(s); }
template <class V, size_t N> [[gnu::always_inline]] inline V horner_f(V z, const SplatRow<float> (&c)[N]) {
    V p = ld<V>(c[N - 1]);
    for (int i = static_cast<int>(N) - 2; i >= 0; --i) p = p * z + ld<V>(c[i]);
    return p;
}
template <class V> [[gnu::always_inline]] inline V reduce_f(const FloatTrig& k, V x, V n) {
    return (((x - n * ld<V>(k.p1)) - n * ld<V>(k.p2)) - n * ld<V>(k.p3)) - n * ld<V>(k.p4);
}
// sin r has the sign of r, -0 included (r + r z P(z) alone gives +0 there).
template <class V> [[gnu::always_inline]] inline V keep_sign(const FloatTrig& k, V s, V r) {
    return bit_or(s, bit_and(r, ld<V>(k.sign)));
}
template <Flavour F, Kind K, class V> [[gnu::always_inline]] inline V sin_or_cos_f(V x) {
    const FloatTrig& k = float_trig();
    const V sh = ld<V>(k.shifter);
    // t holds m = round(x/pi) (Sin) or m with x/pi + 1/2 rounded (Cos); n = 2m or 2m - 1
    const V xi = x * ld<V>(k.inv_pi);
    const V t = K == Kind::Sin ? xi + sh : (xi + ld<V>(k.half)) + sh;
    const V m2 = (t - sh) * ld<V>(k.two);
    const V r = reduce_f(k, x, K == Kind::Sin ? m2 : m2 - ld<V>(k.one));
    const V z = r * r;
    // Cos EP keeps the degree-3 form: its reduction puts x near 0 at r near
    // pi/2, where degree 2 would leave cos 0 at 1 - 2^-17.7.
    const bool short_form = F == Flavour::EP && K == Kind::Sin;
    const V s = r + r * (z * (short_form ? horner_f(z, k.sin2) : horner_f(z, k.sin3)));
    return bit_xor(keep_sign(k, s, r), bits_shl<31>(t));  // odd m flips the sign
}
template <class V> [[gnu::always_inline]] inline void sincos_f(V x, V& s, V& c) {
    const FloatTrig& k = float_trig();
    const V sh = ld<V>(k.shifter);
    const V t = x * ld<V>(k.two_over_pi) + sh;
    const V r = reduce_f(k, x, t - sh);
    const V z = r * r;
    const V sr = keep_sign(k, r + r * (z * horner_f(z, k.sinq)), r);
    const V cr = ld<V>(k.one) + z * horner_f(z, k.cosq);
    const auto odd = bits_gt(V::splat(0.0f), bits_shl<31>(t));
    const V sign = ld<V>(k.sign);
    s = bit_xor(select(odd, cr, sr), bit_and(bits_shl<30>(t), sign));                               // n mod 4 >= 2
    c = bit_xor(select(odd, sr, cr), bit_and(bits_shl<30>(bits_add(t, splat_bits<V>(1))), sign));  // (n + 1) mod 4 >= 2
}
// Lanes the float method does not serve (infinities included); they take the
// double method, lane by lane, so a result never depends on its neighbours.
template <class V> [[gnu::always_inline]] inline typename V::mask beyond_float(V x) {
    return abs(x) >= ld<V>(float_trig().bound);
}

// ---- double method -------------------------------------------------------------
template <Kind K, class V> [[gnu::always_inline]] inline V sin_or_cos_d(V x) {
    using W = Widened<V>;
    typename W::type d[W::parts];
    for (int p = 0; p < W::parts; ++p) {
        const auto xd = W::part(x, p);
        d[p] = K == Kind::Sin ? dtrig::sin_of<Flavour::EP>(xd) : dtrig::cos_of<Flavour::EP>(xd);
    }
    return W::join(d);
}
template <Flavour F, class V> [[gnu::always_inline]] inline void sincos_d(V x, V& s, V& c) {
    using W = Widened<V>;
    typename W::type sd[W::parts], cd[W::parts];
    for (int p = 0; p < W::parts; ++p) dtrig::sincos_of<kInDouble<F>>(W::part(x, p), sd[p], cd[p]);
    s = W::join(sd), c = W::join(cd);
}
// Out of line where it backs the float method, which then keeps its
// constants in registers.
template <Kind K, class V> [[gnu::noinline]] V sin_or_cos_d_outline(V x) { return sin_or_cos_d<K>(x); }
template <Flavour F, class V> [[gnu::noinline]] void sincos_d_outline(V x, V& s, V& c) { sincos_d<F>(x, s, c); }

template <Flavour F, Kind K>
struct SinOrCosOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F != Flavour::HA) {
            y[0] = sin_or_cos_f<F, K>(x[0]);
            const auto wide = beyond_float(x[0]);
            if (wide.bits() != 0) y[0] = select(wide, sin_or_cos_d_outline<K>(x[0]), y[0]);
        } else {
            y[0] = sin_or_cos_d<K>(x[0]);
        }
        return off_range(x[0]);
    }
    int rare(const float* x, float* y) const {
        const bool finite = *x - *x == 0;
        if (K == Kind::Sin) {
            if (finite) return *y = static_cast<float>(_kexdSinScalar(*x)), 0;
            return vssin_cout_rare(x, y);
        }
        if (finite) return *y = static_cast<float>(_kexdCosScalar(*x)), 0;
        return vscos_cout_rare(x, y);
    }
};

template <Flavour F>
struct SinCosOp : PolicyBase<float, 1, 2> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[2]) const {
        if constexpr (F != Flavour::HA) {
            sincos_f(x[0], y[0], y[1]);
            const auto wide = beyond_float(x[0]);
            if (wide.bits() != 0) {
                V s, c;
                sincos_d_outline<F>(x[0], s, c);
                y[0] = select(wide, s, y[0]), y[1] = select(wide, c, y[1]);
            }
        } else {
            sincos_d<F>(x[0], y[0], y[1]);
        }
        return off_range(x[0]);
    }
    int rare(const float* x, float* y) const {
        if (*x - *x == 0) {
            double s, c;
            _kexdSinCosScalar(*x, &s, &c);
            y[0] = static_cast<float>(s), y[1] = static_cast<float>(c);
            return 0;
        }
        vscos_cout_rare(x, &y[1]);
        return vssin_cout_rare(x, &y[0]);
    }
};

}  // namespace strig

template <> struct OpFor<fn_Sin, acc_HA, float> { using type = strig::SinOrCosOp<Flavour::HA, strig::Kind::Sin>; };
template <> struct OpFor<fn_Sin, acc_LA, float> { using type = strig::SinOrCosOp<Flavour::LA, strig::Kind::Sin>; };
template <> struct OpFor<fn_Sin, acc_EP, float> { using type = strig::SinOrCosOp<Flavour::EP, strig::Kind::Sin>; };
template <> struct OpFor<fn_Cos, acc_HA, float> { using type = strig::SinOrCosOp<Flavour::HA, strig::Kind::Cos>; };
template <> struct OpFor<fn_Cos, acc_LA, float> { using type = strig::SinOrCosOp<Flavour::LA, strig::Kind::Cos>; };
template <> struct OpFor<fn_Cos, acc_EP, float> { using type = strig::SinOrCosOp<Flavour::EP, strig::Kind::Cos>; };
template <> struct OpFor<fn_SinCos, acc_HA, float> { using type = strig::SinCosOp<Flavour::HA>; };
template <> struct OpFor<fn_SinCos, acc_LA, float> { using type = strig::SinCosOp<Flavour::LA>; };
template <> struct OpFor<fn_SinCos, acc_EP, float> { using type = strig::SinCosOp<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_trig)
extern "C" {

int32_t vssin_cout_rare(const float* a, float* r) {
    const float x = *a;
    if ((kex::KEX_LVL::bits_of(x) & 0x7F800000u) != 0x7F800000u) return KEX_STATUS_OK;
    if (x != x) return *r = x * x, KEX_STATUS_OK;
    *r = x * 0.0f;
    return KEX_STATUS_ERRDOM;
}
int32_t vscos_cout_rare(const float* a, float* r) { return vssin_cout_rare(a, r); }

}  // extern "C"

// Element i alone: the infinities give the quiet NaN 0xFFC00000 with status
// 1, NaN gives NaN quietly, any finite x the double evaluator's value rounded.
namespace kex::KEX_LVL::strig {

inline bool settle_special(int32_t i, const float* a, float* r1, float* r2, const char* name) {
    const float x = a[i];
    if (x - x == 0) return false;
    const float nan = x == x ? from_bits<float>(0xFFC00000u) : x * x;
    r1[i] = r2[i] = nan;
    if (x == x) orvu_kex_kernel_sError(KEX_STATUS_ERRDOM, i, a, a, r1, r2, name);
    return true;
}
inline void one(int32_t i, const float* a, float* r, double (*f)(double), const char* name) {
    if (!settle_special(i, a, r, r, name)) r[i] = static_cast<float>(f(a[i]));
}
inline void one_sincos(int32_t i, const float* a, float* r1, float* r2) {
    if (settle_special(i, a, r1, r2, "vsSinCos")) return;
    double s, c;
    _kexdSinCosScalar(a[i], &s, &c);
    r1[i] = static_cast<float>(s), r2[i] = static_cast<float>(c);
}

}  // namespace kex::KEX_LVL::strig

#define KEX_STRIG_SC(Fn, suffix)                                                           \
    void orvu_kex_kernel_s##Fn##_SC_##suffix(int32_t i, const float* a, float* r) {        \
        kex::KEX_LVL::strig::one(i, a, r, _kexd##Fn##Scalar, "vs" #Fn);                    \
    }
#define KEX_STRIG_SINCOS_SC(suffix)                                                                 \
    void orvu_kex_kernel_sSinCos_SC_##suffix(int32_t i, const float* a, float* r1, float* r2) {    \
        kex::KEX_LVL::strig::one_sincos(i, a, r1, r2);                                              \
    }
extern "C" {
KEX_STRIG_SC(Sin, HA)
KEX_STRIG_SC(Sin, LA)
KEX_STRIG_SC(Sin, A11)
KEX_STRIG_SC(Cos, HA)
KEX_STRIG_SC(Cos, LA)
KEX_STRIG_SC(Cos, A11)
KEX_STRIG_SINCOS_SC(HA)
KEX_STRIG_SINCOS_SC(LA)
KEX_STRIG_SINCOS_SC(A11)
}
#undef KEX_STRIG_SC
#undef KEX_STRIG_SINCOS_SC
#endif
