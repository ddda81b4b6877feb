// LinearFrac: r = (sa a + oa) / (sb b + ob), three paths chosen per call.
//   sb = 0: c1 = sa / ob and c0 = oa / ob once, then r = c1 a + c0 (b unread);
//   sa = 0: r = oa / (sb b + ob), a unread, so an infinite or NaN a cannot
//           turn 0 * a into NaN;
//   else:   numerator and denominator by one multiply and one add each.
// The quotients avoid hardware division on the vector path: a float
// quotient is refined in double and rounded once, a double one multiplies by
// the LA reciprocal of recip.h. Denominators outside that range (zero,
// denormal, huge, inf, NaN) take the scalar quotient. Nothing is reported.
#pragma once

#include "kex/kernels/recip.h"
#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

namespace kex {
namespace KEX_LVL {

template <class T>
struct LinearAffineOp : PolicyBase<T, 1, 1> {
    static constexpr Env kEnv = Env::Caller;
    static constexpr int unroll = 4;
    T c1, c0;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = V::splat(c1) * x[0] + V::splat(c0);
        return V::mask::none();
    }
};

template <class T, bool UseA>
struct LinearQuotientOp : PolicyBase<T, UseA ? 2 : 1, 1> {
    static constexpr int kArgs = UseA ? 2 : 1;
    static constexpr Env kEnv = Env::Caller;
    static constexpr bool kHasSpecial = true;
    T sa, oa, sb, ob;
    template <class V>
    typename V::mask fast(const V (&x)[kArgs], V (&y)[1]) const {
        V num = V::splat(oa);
        if constexpr (UseA) num = V::splat(sa) * x[0] + num;
        const V den = V::splat(sb) * x[kArgs - 1] + V::splat(ob);
        if constexpr (sizeof(T) == 4) y[0] = single_quotient_refined(num, den);
        else y[0] = num * double_recip<Recip::LA>(den);
        return divisor_special(den);
    }
    int rare(const T* x, T* y) const {
        const T num = UseA ? sa * x[0] + oa : oa;
        y[0] = num / (sb * x[kArgs - 1] + ob);
        return KEX_STATUS_OK;
    }
};

template <class E>
struct LinearFracOp {
    using T = E;
    template <class Run>
    static void with_path(T sa, T oa, T sb, T ob, const T* a, const T* b, Run run) {
        // The shape runner has just set the control register: keep the
        // coefficient arithmetic from being scheduled before it.
        fence_scalar(sa), fence_scalar(oa), fence_scalar(sb), fence_scalar(ob);
        if (sb == T(0)) run(LinearAffineOp<T>{{}, sa / ob, oa / ob}, a, a);
        else if (sa == T(0)) run(LinearQuotientOp<T, false>{{}, sa, oa, sb, ob}, b, b);
        else run(LinearQuotientOp<T, true>{{}, sa, oa, sb, ob}, a, b);
    }
};

template <class T> struct OpFor<fn_LinearFrac, acc_HA, T> { using type = LinearFracOp<T>; };

}  // namespace KEX_LVL
}  // namespace kex
