// Element-wise arithmetic. Add, Sub, Mul, Sqr, Abs: IEEE operations, one per
// element, correctly rounded in every flavour; no special lanes (overflow,
// invalid operations and NaNs give their IEEE results without a report).
// Div and Inv (arith/division.h) and LinearFrac (arith/linearfrac.h) have
// their own flavours and special paths.
#pragma once

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"
#include "kex/kernels/real/arith/division.h"
#include "kex/kernels/real/arith/linearfrac.h"

namespace kex {
namespace KEX_LVL {

// One binary IEEE operation: y = x0 (op) x1.
template <class T, class F>
struct BinaryOp : PolicyBase<T, 2, 1> {
    static constexpr int unroll = 4;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        y[0] = F::apply(x[0], x[1]);
        return V::mask::none();
    }
};
struct AddF { template <class V> static V apply(V a, V b) { return a + b; } };
struct SubF { template <class V> static V apply(V a, V b) { return a - b; } };
struct MulF { template <class V> static V apply(V a, V b) { return a * b; } };

template <class T>
struct SqrOp : PolicyBase<T, 1, 1> {
    static constexpr int unroll = 4;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = x[0] * x[0];
        return V::mask::none();
    }
};

// |a| as a times (1.0 with a's sign): a NaN comes out quiet, and a denormal
// reads as zero when denormals-are-zero is on, like any other arithmetic.
template <class T>
struct AbsOp : PolicyBase<T, 1, 1> {
    static constexpr int unroll = 4;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = x[0] * bit_or(bit_and(x[0], V::splat(T(-0.0))), V::splat(T(1)));
        return V::mask::none();
    }
};

template <class T> struct OpFor<fn_Add, acc_HA, T> { using type = BinaryOp<T, AddF>; };
template <class T> struct OpFor<fn_Sub, acc_HA, T> { using type = BinaryOp<T, SubF>; };
template <class T> struct OpFor<fn_Mul, acc_HA, T> { using type = BinaryOp<T, MulF>; };
template <class T> struct OpFor<fn_Sqr, acc_HA, T> { using type = SqrOp<T>; };
template <class T> struct OpFor<fn_Abs, acc_HA, T> { using type = AbsOp<T>; };

}  // namespace KEX_LVL
}  // namespace kex
