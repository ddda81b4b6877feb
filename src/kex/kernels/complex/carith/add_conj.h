// Add, Sub and Conj: component-wise. Add and Sub HA report overflow (status
// 3) for an element with an infinite result component and no infinite
// argument component; EP reports nothing. Conj inverts the sign bit of the
// imaginary part, so a zero or NaN imaginary part changes sign too.
#pragma once

#include "kex/kernels/complex/carith/common.h"

namespace kex {
namespace KEX_LVL {
namespace carith {

template <class T, bool Sub, bool Report>
struct AddOp : CxPolicy<T, 2, 3> {
    static constexpr bool kHasSpecial = Report;
    template <class V> typename V::mask fast(const V (&x)[4], V (&y)[2]) const {
        y[0] = Sub ? x[0] - x[2] : x[0] + x[2];
        y[1] = Sub ? x[1] - x[3] : x[1] + x[3];
        // Infinite results only; rare() tells overflow from infinite arguments.
        const V inf = V::splat(kInf<T>);
        return (abs(y[0]) == inf) | (abs(y[1]) == inf);
    }
    int rare(const T* x, T*) const {
        for (int k = 0; k < 4; ++k)
            if (!finite(x[k])) return KEX_STATUS_OK;
        return KEX_STATUS_OVERFLOW;
    }
};

template <class T>
struct ConjOp : CxPolicy<T, 1, 1> {
    template <class V> typename V::mask fast(const V (&x)[2], V (&y)[2]) const {
        y[0] = x[0], y[1] = neg(x[1]);
        return V::mask::none();
    }
};

template <class T> using AddHA = AddOp<T, false, true>;
template <class T> using AddEP = AddOp<T, false, false>;
template <class T> using SubHA = AddOp<T, true, true>;
template <class T> using SubEP = AddOp<T, true, false>;

}  // namespace carith

KEX_CARITH_OPS(Add, HA, AddHA)
KEX_CARITH_OPS(Add, EP, AddEP)
KEX_CARITH_OPS(Sub, HA, SubHA)
KEX_CARITH_OPS(Sub, EP, SubEP)
KEX_CARITH_OPS(Conj, HA, ConjOp)

}  // namespace KEX_LVL
}  // namespace kex
