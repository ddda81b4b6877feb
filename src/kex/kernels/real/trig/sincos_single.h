// Single-precision Sin, Cos and SinCos, three flavours each.
//
// Every flavour widens its lanes to double, runs a double method of
// sincos_double.h and rounds once to float: Sin and Cos the table-free EP
// polynomial (2^-33.8 relative, so at most 0.5 + 2^-9 float ulp), SinCos the
// table method, with the LA combination for HA (under 2 double ulps) and the
// EP one for LA and EP. Lanes with |x| >= 2^17 are
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

template <Flavour F, Kind K>
struct SinOrCosOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        using W = Widened<V>;
        typename W::type d[W::parts];
        for (int p = 0; p < W::parts; ++p) {
            const auto xd = W::part(x[0], p);
            d[p] = K == Kind::Sin ? dtrig::sin_of<Flavour::EP>(xd) : dtrig::cos_of<Flavour::EP>(xd);
        }
        y[0] = W::join(d);
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
        using W = Widened<V>;
        typename W::type s[W::parts], c[W::parts];
        for (int p = 0; p < W::parts; ++p) dtrig::sincos_of<kInDouble<F>>(W::part(x[0], p), s[p], c[p]);
        y[0] = W::join(s), y[1] = W::join(c);
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

#if defined(ORVU_LEVEL_A2)
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
