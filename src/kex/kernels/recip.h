// Reciprocals without hardware division, shared by Div, Inv and LinearFrac.
// Written once over the vector types, so the block path, the tail and the
// scalar routines compute the same formula.
#pragma once

#include <cstdint>

#include "kex/simd/simd.h"

namespace kex {
namespace KEX_LVL {

enum class Recip { EP, LA };

// ---- single precision ---------------------------------------------------------
// Lanes whose divisor lies outside 2^-126 <= |b| <= 2^126: with the magnitude
// bits d, (d - 0x00800000) & 0x7FFFFFFF exceeds 0x7E000000 (zeros and
// denormals wrap around to large values). Inside it the estimate is a normal
// number and no lane needs care.
template <class V>
typename V::mask single_divisor_special(V b) {
    const V t = bit_and(bits_sub(b, splat_bits<V>(0x00800000u)), splat_bits<V>(0x7FFFFFFFu));
    return bits_gt(t, splat_bits<V>(0x7E000000u));
}

// EP: the 12-bit estimate as it stands. LA: one Newton-Raphson step,
// y (2 - b y), squares the relative error to about 2^-22.8 before the
// roundings of the step itself.
template <Recip R, class V>
V single_recip(V b) {
    using T = typename V::elem;
    V y = rcp_estimate(b);
    if constexpr (R == Recip::LA) y = y * (V::splat(T(2)) - b * y);
    return y;
}

// ---- double precision -----------------------------------------------------------
// Lanes outside 2^-1022 <= |b| < 2^1021 (zero, denormal, huge, inf, NaN): there
// the power-of-two scale below would leave the normal range.
template <class V>
typename V::mask double_divisor_special(V b) {
    const V m = abs(b);
    return unordered(b, b) | (m < V::splat(0x1p-1022)) | (m >= V::splat(0x1p1021));
}

// 1/b for b inside the range above. b = f * 2^k with f = +-[1, 2) (b's sign
// and mantissa under the exponent of 1.0):
//   y0 = single-precision estimate of 1/f        |e| <= 1.5 * 2^-12 + 2^-24
//   e  = 1 - f y0                                (so 1/f = y0 / (1 - e))
//   1/f ~ y0 (1 + e + e^2)                       EP: error e^3 ~ 2^-34
//   1/f ~ y0 (1 + (e + e^2)(1 + e^2))            LA: error e^5 ~ 2^-57, below the roundings
// and 2^-k is made by subtracting b's exponent field from that of 2^1022
// (0x7FE...); the final scaling is exact.
template <Recip R, class V>
V double_recip(V b) {
    const V exp_mask = splat_bits<V>(0x7FF0000000000000ull);
    const V one = V::splat(1.0);
    const V f = bit_or(bit_andnot(exp_mask, b), one);
    const V y0 = rcp_estimate(f);
    const V e = one - f * y0;
    V p;
    if constexpr (R == Recip::EP) {
        p = e * (one + e);
    } else {
        const V e2 = e * e;
        p = (e + e2) * (one + e2);
    }
    const V y = y0 + y0 * p;
    return y * bits_sub(splat_bits<V>(0x7FE0000000000000ull), bit_and(b, exp_mask));
}

// ---- either precision ---------------------------------------------------------------
// The divisor test and reciprocal of the vector's element type.
template <class V>
typename V::mask divisor_special(V b) {
    if constexpr (sizeof(typename V::elem) == 4) return single_divisor_special(b);
    else return double_divisor_special(b);
}
template <Recip R, class V>
V recip(V b) {
    if constexpr (sizeof(typename V::elem) == 4) return single_recip<R>(b);
    else return double_recip<R>(b);
}

// ---- a quotient of floats refined in double precision ------------------------------
// num / den for float lanes whose den passes single_divisor_special: the
// estimate of 1/den is widened and refined to about 2^-34 (y0 (1 + e + e^2)),
// and the double quotient is rounded once to float.
template <class V>
V single_quotient_refined(V num, V den) {
    using W = Widened<V>;
    using D = typename W::type;
    const V y0 = rcp_estimate(den);
    D q[W::parts];
    for (int k = 0; k < W::parts; ++k) {
        const D d = W::part(den, k), y = W::part(y0, k), one = D::splat(1.0);
        const D e = one - d * y;
        q[k] = W::part(num, k) * (y + y * (e * (one + e)));
    }
    return W::join(q);
}

}  // namespace KEX_LVL
}  // namespace kex
