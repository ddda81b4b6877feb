// Cbrt, InvCbrt and Pow2o3: x^(1/3), x^(-1/3) and x^(2/3) from one
// reduction. |x| = 8^k m with m = f 2^j in [1, 8) (f the significand, j the
// exponent mod 3); r0 = P(f) 2^(-j/3) approximates m^(-1/3) to 2^-14.7
// (tools/sollya/cbrt.sollya), and with e = 1 - m r^3,
// m^(-1/3) = r (1 - e)^(-1/3) = r (1 + e/3 + 2e^2/9 + 14e^3/81 + ...).
//   single: in double; HA and LA take the series up to e^3 / e^2 with e
//       rounded, EP uses r0 as it is; results rounded once to float.
//   double: r0 cut to 17 bits (rh), so rh^3 is exact and Dekker's product
//       gives e exactly; rl = rh (series up to e^4) makes rh + rl accurate
//       to 2^-66, and the results are formed from products that are exact
//       (a factor cut to the bits that fit) plus small corrections:
//         x^(-1/3): rh + rl;  x^(2/3): m rh + m rl;  x^(1/3): m rh^2 + m rl (2 rh + rl).
// The sign of x is put back for Cbrt and InvCbrt. Special lanes (zero,
// infinities, NaN; double also denormals) go to the scalar routines; only
// double InvCbrt reports (status 2 at +-0).
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/real/power/common.h"
#include "kex/kernels/tags.h"

extern "C" {
// (argument, result) -> status.
ORVU_API int32_t _kexdCbrtSc(const double* a, double* r);
ORVU_API int32_t _kexdInvCbrtSc(const double* a, double* r);
__attribute__((visibility("hidden"))) int32_t vdpow2o3_cout_rare(const double* a, double* r);
}

namespace kex {
namespace KEX_LVL {
namespace pcbrt {

enum class Kind { Cbrt, InvCbrt, Pow2o3 };

inline constexpr double kStart[5] = {0x1.ab859043fa5a5p0, -0x1.2c41e23e1e43cp0, 0x1.6416505a18e9fp-1,
                                     -0x1.c5186105fc79cp-3, 0x1.d46f7d335b43fp-6};
// Coefficients of (1 - e)^(-1/3) after the leading 1.
inline constexpr double kSeries[4] = {1.0 / 3, 2.0 / 9, 14.0 / 81, 35.0 / 243};
inline constexpr double kSeries2[2] = {1.0 / 3, 2.0 / 9};
inline constexpr double kSeries3[3] = {1.0 / 3, 2.0 / 9, 14.0 / 81};

template <class W> struct Reduced {
    W m;   // in [1, 8)
    W k;   // |x| = 8^k m
    W r0;  // m^(-1/3) to 2^-14.7
};

// The reduction of positive normal doubles a.
template <class W>
[[gnu::always_inline]] inline Reduced<W> reduce(W a) {
    const W q = pw::exponent_of(a);
    // k = floor(q / 3) as the nearest integer to (q - 1) / 3, which is never
    // within 1/6 of a half (0x1.8p52 rounds it).
    const W big = W::splat(0x1.8p52);
    const W k = ((q - W::splat(1.0)) * W::splat(1.0 / 3) + big) - big;
    const W j = q - k * W::splat(3.0);
    const W f = bit_or(bit_and(a, splat_bits<W>(0x000FFFFFFFFFFFFFu)), W::splat(1.0));
    const W one = W::splat(1.0);
    const W two = W::splat(2.0);
    const W m = f * select(j == one, two, select(j == two, W::splat(4.0), one));
    const W c = select(j == one, W::splat(0x1.965fea53d6e3dp-1),  // 2^(-1/3)
                       select(j == two, W::splat(0x1.428a2f98d728bp-1), one));  // 2^(-2/3)
    return {m, k, horner(f, kStart) * c};
}

// |x|^p for p = 1/3, -1/3, 2/3 of positive normal doubles, single-precision
// accuracy (F: series length) or, with Exact, double precision.
template <Kind K, Flavour F, bool Exact, class W>
[[gnu::always_inline]] inline W magnitude(W a) {
    const Reduced<W> d = reduce(a);
    W y, scale;
    if constexpr (K == Kind::Cbrt) scale = pw::pow2i(d.k);
    else if constexpr (K == Kind::InvCbrt) scale = pw::pow2i(W::splat(0.0) - d.k);
    else scale = pw::pow2i(d.k + d.k);
    if constexpr (!Exact) {
        W r = d.r0;
        if constexpr (F != Flavour::EP) {
            const W e = W::splat(1.0) - d.m * (r * r * r);
            if constexpr (F == Flavour::HA) r = r + r * (e * horner(e, kSeries3));
            else r = r + r * (e * horner(e, kSeries2));
        }
        if constexpr (K == Kind::Cbrt) y = d.m * (r * r);
        else if constexpr (K == Kind::InvCbrt) y = r;
        else y = d.m * r;
    } else {
        const W rh = pw::keep_high<36>(d.r0);  // 17 bits
        const W s = rh * rh;                   // exact, 34 bits
        W p, q;
        pw::two_prod(d.m, s * rh, p, q);       // s rh exact, 51 bits
        const W e = (W::splat(1.0) - p) - q;   // 1 - p exact: p is within 2^-12 of 1
        const W rl = rh * (e * horner(e, kSeries));
        if constexpr (K == Kind::InvCbrt) {
            y = rh + rl;
        } else if constexpr (K == Kind::Pow2o3) {
            const W mh = pw::keep_high<17>(d.m);  // 36 bits: mh rh exact
            y = mh * rh + ((d.m - mh) * rh + d.m * rl);
        } else {
            const W mh = pw::keep_high<34>(d.m);  // 19 bits: mh s exact
            y = mh * s + ((d.m - mh) * s + d.m * (rl * (rh + rh + rl)));
        }
    }
    return y * scale;
}

template <Kind K, class W>
[[gnu::always_inline]] inline W with_sign(W x, W y) {
    if constexpr (K == Kind::Pow2o3) return y;
    else return bit_or(y, bit_and(x, W::splat(-0.0)));
}

// The special results of single precision (no reports).
template <Kind K> float single_rare(float x) {
    if (K == Kind::Cbrt) return x + x;
    if (K == Kind::InvCbrt) return 1.0f / x;
    return x * x;
}

template <Kind K, Flavour F>
struct SingleOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        using Wd = Widened<V>;
        using W = typename Wd::type;
        W out[Wd::parts];
        for (int k = 0; k < Wd::parts; ++k) {
            const W xd = Wd::part(x[0], k);
            out[k] = with_sign<K>(xd, magnitude<K, F, false>(abs(xd)));
        }
        y[0] = Wd::join(out);
        const V ax = abs(x[0]);
        return (ax == V::splat(0.0f)) | bits_gt(ax, splat_bits<V>(0x7F7FFFFFu));
    }
    int rare(const float* x, float* y) const {
        y[0] = single_rare<K>(x[0]);
        return KEX_STATUS_OK;
    }
};

template <Kind K, Flavour F>
struct DoubleOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V ax = abs(x[0]);
        if constexpr (F == Flavour::EP) y[0] = with_sign<K>(x[0], magnitude<K, Flavour::HA, false>(ax));
        else y[0] = with_sign<K>(x[0], magnitude<K, F, true>(ax));
        return pw::outside(ax, 0x1p-1022, 0x1.fffffffffffffp1023);
    }
    int rare(const double* x, double* y) const {
        if constexpr (K == Kind::Cbrt) return _kexdCbrtSc(x, y);
        else if constexpr (K == Kind::InvCbrt) return _kexdInvCbrtSc(x, y);
        else return vdpow2o3_cout_rare(x, y);
    }
};

// Any double: zeros, infinities and NaN directly; denormals scaled by 2^54
// (= 8^18) into the normal range and the result scaled back.
template <Kind K> double double_any(double x) {
    const double a = std::fabs(x);
    if (a == 0 || !(a < INFINITY)) return K == Kind::InvCbrt ? 1.0 / x : K == Kind::Cbrt ? x + x : x * x;
    const bool tiny = a < 0x1p-1022;
    using U = X1<double>;
    double y = magnitude<K, Flavour::HA, true>(U{tiny ? a * 0x1p54 : a}).v;
    if (tiny) y *= K == Kind::Cbrt ? 0x1p-18 : K == Kind::InvCbrt ? 0x1p18 : 0x1p-36;
    return with_sign<K>(U{x}, U{y}).v;
}

}  // namespace pcbrt

template <> struct OpFor<fn_Cbrt, acc_HA, float> { using type = pcbrt::SingleOp<pcbrt::Kind::Cbrt, Flavour::HA>; };
template <> struct OpFor<fn_Cbrt, acc_LA, float> { using type = pcbrt::SingleOp<pcbrt::Kind::Cbrt, Flavour::LA>; };
template <> struct OpFor<fn_Cbrt, acc_EP, float> { using type = pcbrt::SingleOp<pcbrt::Kind::Cbrt, Flavour::EP>; };
template <> struct OpFor<fn_InvCbrt, acc_HA, float> { using type = pcbrt::SingleOp<pcbrt::Kind::InvCbrt, Flavour::HA>; };
template <> struct OpFor<fn_InvCbrt, acc_LA, float> { using type = pcbrt::SingleOp<pcbrt::Kind::InvCbrt, Flavour::LA>; };
template <> struct OpFor<fn_InvCbrt, acc_EP, float> { using type = pcbrt::SingleOp<pcbrt::Kind::InvCbrt, Flavour::EP>; };
template <> struct OpFor<fn_Pow2o3, acc_HA, float> { using type = pcbrt::SingleOp<pcbrt::Kind::Pow2o3, Flavour::HA>; };
template <> struct OpFor<fn_Pow2o3, acc_LA, float> { using type = pcbrt::SingleOp<pcbrt::Kind::Pow2o3, Flavour::LA>; };
template <> struct OpFor<fn_Pow2o3, acc_EP, float> { using type = pcbrt::SingleOp<pcbrt::Kind::Pow2o3, Flavour::EP>; };
template <> struct OpFor<fn_Cbrt, acc_HA, double> { using type = pcbrt::DoubleOp<pcbrt::Kind::Cbrt, Flavour::HA>; };
template <> struct OpFor<fn_Cbrt, acc_LA, double> { using type = pcbrt::DoubleOp<pcbrt::Kind::Cbrt, Flavour::LA>; };
template <> struct OpFor<fn_InvCbrt, acc_HA, double> { using type = pcbrt::DoubleOp<pcbrt::Kind::InvCbrt, Flavour::HA>; };
template <> struct OpFor<fn_Pow2o3, acc_HA, double> { using type = pcbrt::DoubleOp<pcbrt::Kind::Pow2o3, Flavour::HA>; };
template <> struct OpFor<fn_Pow2o3, acc_LA, double> { using type = pcbrt::DoubleOp<pcbrt::Kind::Pow2o3, Flavour::LA>; };
template <> struct OpFor<fn_Pow2o3, acc_EP, double> { using type = pcbrt::DoubleOp<pcbrt::Kind::Pow2o3, Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" {

ORVU_API int32_t _kexdCbrtSc(const double* a, double* r) {
    *r = kex::KEX_LVL::pcbrt::double_any<kex::KEX_LVL::pcbrt::Kind::Cbrt>(*a);
    return KEX_STATUS_OK;
}

ORVU_API int32_t _kexdInvCbrtSc(const double* a, double* r) {
    *r = kex::KEX_LVL::pcbrt::double_any<kex::KEX_LVL::pcbrt::Kind::InvCbrt>(*a);
    return *a == 0 ? KEX_STATUS_SING : KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vdpow2o3_cout_rare(const double* a, double* r) {
    *r = kex::KEX_LVL::pcbrt::double_any<kex::KEX_LVL::pcbrt::Kind::Pow2o3>(*a);
    return KEX_STATUS_OK;
}

}  // extern "C"
#endif
