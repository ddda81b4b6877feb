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

// Dekker's splitting into 26-bit halves, for |a| < 2^995.
template <class V> [[gnu::always_inline]] inline void split(V a, V& hi, V& lo) {
    const V t = V::splat(134217729.0) * a;  // 2^27 + 1
    hi = t - (t - a), lo = a - hi;
}

// Knuth's sum: s + t = a + b exactly.
template <class V> [[gnu::always_inline]] inline void two_sum(V a, V b, V& s, V& t) {
    s = a + b;
    const V bb = s - a;
    t = (a - (s - bb)) + (b - bb);
}
// h - (0 - r): h + r, except that a zero r leaves h alone (0 - r is then +0),
// so an exact zero keeps the sign the plain formula gives it.
template <class V> [[gnu::always_inline]] inline V add_keep_zero(V h, V r) { return h - (V::splat(0.0) - r); }

// x y = p + e exactly for p = fl(x y) and the 26-bit splits of x and y
// (Dekker), when no step overflows and x y is 0 or above 2^-969.
template <class V> [[gnu::always_inline]] inline V prod_err(V xh, V xl, V yh, V yl, V p) {
    return ((xh * yh - p) + xh * yl + xl * yh) + xl * yl;
}
// x1 y1 + x2 y2 as nh + nl, given the splits (h, l) of each factor: the head
// products summed error-free (two_sum), their exact errors added to the tail.
// |nh + nl - (x1 y1 + x2 y2)| <= 2^-105 (|x1 y1| + |x2 y2|), and nh is the
// plain formula's value, exact zeros with their signs included.
template <class V>
[[gnu::always_inline]] inline void dot_split(V x1, V x1h, V x1l, V y1, V y1h, V y1l, V x2, V x2h, V x2l, V y2, V y2h,
                                             V y2l, V& nh, V& nl) {
    const V p1 = x1 * y1, p2 = x2 * y2;
    V t;
    two_sum(p1, p2, nh, t);
    nl = t + (prod_err(x1h, x1l, y1h, y1l, p1) + prod_err(x2h, x2l, y2h, y2l, p2));
}
// Dekker's product: p + e = a*b exactly for |a|, |b| < 2^995 and products
// above 2^-969 (the low part stays normal).
template <class V> [[gnu::always_inline]] inline void two_prod(V a, V b, V& p, V& e) {
    V ah, al, bh, bl;
    split(a, ah, al), split(b, bh, bl);
    p = a * b;
    e = prod_err(ah, al, bh, bl, p);
}
// a b + c d as head + tail (dot_split of the splits), and head + tail rounded
// once, an exact zero keeping the plain formula's sign.
template <class V> [[gnu::always_inline]] inline V dot2(V a, V b, V c, V d, V& head, V& tail) {
    V ah, al, bh, bl, ch, cl, dh, dl;
    split(a, ah, al), split(b, bh, bl), split(c, ch, cl), split(d, dh, dl);
    dot_split(a, ah, al, b, bh, bl, c, ch, cl, d, dh, dl, head, tail);
    return add_keep_zero(head, tail);
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
