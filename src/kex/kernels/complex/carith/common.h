// Pieces shared by the complex arithmetic kernels: the policy base of the
// complex shapes, lane tests, and the error-free products and sums the double
// kernels use to stay below one ulp without a fused multiply-add.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

namespace kex {
namespace KEX_LVL {
namespace carith {

// Args arrays of which the bits of CArgs are complex, one result array,
// complex when CRes is 1.
template <class T, int Args, uint32_t CArgs, uint32_t CRes = 1>
struct CxPolicy : PolicyBase<T, Args, 1> {
    static constexpr uint32_t kComplexArgs = CArgs;
    static constexpr uint32_t kComplexResults = CRes;
};

template <class T> inline constexpr T kInf = std::numeric_limits<T>::infinity();

// The type the scalar routines compute a special element in: double for
// complex single, x87 extended for complex double, whose exponent range holds
// every product and quotient of two doubles.
template <class T> using Wide = std::conditional_t<sizeof(T) == 4, double, long double>;

template <class V> [[gnu::always_inline]] inline V neg(V a) { return bit_xor(a, V::splat(typename V::elem(-0.0))); }

// Lanes whose (a, b) pair has an infinite or NaN component.
template <class V> [[gnu::always_inline]] inline typename V::mask not_finite(V a, V b) {
    const V inf = V::splat(kInf<typename V::elem>);
    return (abs(a) == inf) | (abs(b) == inf) | unordered(a, b);
}
// Lanes outside [lo, hi] in magnitude and not zero (NaN and infinity included).
template <class V> [[gnu::always_inline]] inline typename V::mask outside(V x, typename V::elem lo, typename V::elem hi) {
    const V a = abs(x);
    return (a > V::splat(hi)) | ((a < V::splat(lo)) & (a > V::splat(0))) | unordered(a, a);
}

// Dekker's splitting and product: p + e = a*b exactly for |a|, |b| < 2^995
// and products above 2^-969 (the low part stays normal).
template <class V> [[gnu::always_inline]] inline void split(V a, V& hi, V& lo) {
    const V t = V::splat(134217729.0) * a;  // 2^27 + 1
    hi = t - (t - a), lo = a - hi;
}
template <class V> [[gnu::always_inline]] inline void two_prod(V a, V b, V& p, V& e) {
    V ah, al, bh, bl;
    split(a, ah, al), split(b, bh, bl);
    p = a * b;
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
// Knuth's sum: s + t = a + b exactly.
template <class V> [[gnu::always_inline]] inline void two_sum(V a, V b, V& s, V& t) {
    s = a + b;
    const V bb = s - a;
    t = (a - (s - bb)) + (b - bb);
}
// p1 + p2 for the exact products p1 = a*b and p2 = c*d, rounded once up to a
// relative 2^-100 of |p1| + |p2|. A zero correction leaves the head alone, so
// exact zeros keep the sign the plain formula gives them.
template <class V> [[gnu::always_inline]] inline V dot2(V a, V b, V c, V d, V& head, V& tail) {
    V p1, e1, p2, e2, t;
    two_prod(a, b, p1, e1), two_prod(c, d, p2, e2);
    two_sum(p1, p2, head, t);
    tail = t + (e1 + e2);
    return select(tail == V::splat(0.0), head, head + tail);
}

template <class T> bool finite(T x) { return x - x == 0; }

}  // namespace carith
}  // namespace KEX_LVL
}  // namespace kex

// The policy P<float> of function fn, flavour acc for complex single and
// P<double> for complex double (inside namespace kex::KEX_LVL).
#define KEX_CARITH_OPS(fn, acc, P)                                                                    \
    template <> struct OpFor<fn_##fn, acc_##acc, OrvuComplex8> { using type = carith::P<float>; };   \
    template <> struct OpFor<fn_##fn, acc_##acc, OrvuComplex16> { using type = carith::P<double>; };
