// Div and Inv in three flavours.
//   HA: hardware division; lanes with a zero divisor are recomputed one by
//       one and reported as singularities (status 2), whatever the dividend.
//   single LA/EP: reciprocal estimate (EP) or estimate plus one
//       Newton-Raphson step (LA), times the dividend. A block of 8 with any
//       divisor outside 2^-126..2^126 goes element by element through the
//       exported scalar routine of the flavour.
//   double LA/EP: reciprocal from the single-precision estimate refined in
//       double (recip.h); zero, denormal, huge and non-finite divisors take
//       the exact quotient, and a zero divisor is reported as in HA.
#pragma once

#include <cstdint>

#include "kex/kernels/recip.h"
#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

// Scalar routines of the single-precision LA (_21) and EP (_11) kernels:
// (dividend, divisor, result) -> status. A divisor with magnitude bits in
// [0x00800000, 0x7E800000) gets the kernel's estimate formula; a zero divisor
// the exact quotient and status 2, unless the dividend is NaN; anything else
// the exact quotient and status 0.
extern "C" {
ORVU_API int32_t _kexsDiv_11_scalar(const float* a, const float* b, float* r);
ORVU_API int32_t _kexsDiv_21_scalar(const float* a, const float* b, float* r);
ORVU_API int32_t _kexsInv_11_scalar(const float* a, float* r);
ORVU_API int32_t _kexsInv_21_scalar(const float* a, float* r);
}

namespace kex {
namespace KEX_LVL {

template <Recip R>
int32_t single_div_scalar(float a, float b, float* r) {
    const uint32_t m = bits_of(b) & 0x7FFFFFFFu;
    if (m >= 0x00800000u && m < 0x7E800000u) {
        *r = a * single_recip<R>(X1<float>{b}).v;
        return 0;
    }
    *r = a / b;
    return (m == 0 && a == a) ? KEX_STATUS_SING : KEX_STATUS_OK;
}

// Dividend and divisor of a lane: Inv reads one array and divides 1 by it.
template <bool Inv, class V, int N>
V dividend(const V (&x)[N]) {
    if constexpr (Inv) return V::splat(typename V::elem(1));
    else return x[0];
}

template <class T, bool Inv>
struct DivHaOp : PolicyBase<T, Inv ? 1 : 2, 1> {
    static constexpr int kArgs = Inv ? 1 : 2;
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[kArgs], V (&y)[1]) const {
        const V b = x[kArgs - 1];
        y[0] = dividend<Inv>(x) / b;
        return b == V::splat(T(0));
    }
    int rare(const T* x, T* y) const {
        y[0] = (Inv ? T(1) : x[0]) / x[kArgs - 1];
        return KEX_STATUS_SING;
    }
};

// Single precision sends a block with any special divisor wholly through the
// exported scalar routine; double precision recomputes only the special lanes.
template <class T, Recip R, bool Inv>
struct DivLowOp : PolicyBase<T, Inv ? 1 : 2, 1> {
    static constexpr int kArgs = Inv ? 1 : 2;
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = sizeof(T) == 4;  // 8 floats per block
    template <class V>
    typename V::mask fast(const V (&x)[kArgs], V (&y)[1]) const {
        const V b = x[kArgs - 1];
        const V q = recip<R>(b);
        if constexpr (Inv) y[0] = q;
        else y[0] = x[0] * q;
        return divisor_special(b);
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 4) {
            if constexpr (Inv) return R == Recip::LA ? _kexsInv_21_scalar(x, y) : _kexsInv_11_scalar(x, y);
            else return R == Recip::LA ? _kexsDiv_21_scalar(x, x + 1, y) : _kexsDiv_11_scalar(x, x + 1, y);
        } else {
            const T b = x[kArgs - 1];
            y[0] = (Inv ? T(1) : x[0]) / b;
            return b == T(0) ? KEX_STATUS_SING : KEX_STATUS_OK;
        }
    }
};

template <class T> struct OpFor<fn_Div, acc_HA, T> { using type = DivHaOp<T, false>; };
template <class T> struct OpFor<fn_Div, acc_LA, T> { using type = DivLowOp<T, Recip::LA, false>; };
template <class T> struct OpFor<fn_Div, acc_EP, T> { using type = DivLowOp<T, Recip::EP, false>; };
template <class T> struct OpFor<fn_Inv, acc_HA, T> { using type = DivHaOp<T, true>; };
template <class T> struct OpFor<fn_Inv, acc_LA, T> { using type = DivLowOp<T, Recip::LA, true>; };
template <class T> struct OpFor<fn_Inv, acc_EP, T> { using type = DivLowOp<T, Recip::EP, true>; };

}  // namespace KEX_LVL
}  // namespace kex

// The scalar routines live with the single-precision LA/EP kernels, at the
// SSE2 level.
#if defined(ORVU_LEVEL_A2)
extern "C" {
ORVU_API int32_t _kexsDiv_11_scalar(const float* a, const float* b, float* r) {
    return kex::KEX_LVL::single_div_scalar<kex::KEX_LVL::Recip::EP>(*a, *b, r);
}
ORVU_API int32_t _kexsDiv_21_scalar(const float* a, const float* b, float* r) {
    return kex::KEX_LVL::single_div_scalar<kex::KEX_LVL::Recip::LA>(*a, *b, r);
}
ORVU_API int32_t _kexsInv_11_scalar(const float* a, float* r) {
    return kex::KEX_LVL::single_div_scalar<kex::KEX_LVL::Recip::EP>(1.0f, *a, r);
}
ORVU_API int32_t _kexsInv_21_scalar(const float* a, float* r) {
    return kex::KEX_LVL::single_div_scalar<kex::KEX_LVL::Recip::LA>(1.0f, *a, r);
}
}
#endif
