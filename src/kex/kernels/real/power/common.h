// Small exact-arithmetic helpers of the power and root kernels, generic over
// the vector types: Dekker's product, significand truncation, powers of two
// from integral lane values, and Horner's rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "kex/kernels/poly.h"
#include "kex/kernels/skeleton.h"

namespace kex {
namespace KEX_LVL {
namespace pw {

// The leading 53 - Drop significand bits of a double (the rest cleared).
template <int Drop, class W>
[[gnu::always_inline]] inline W keep_high(W a) {
    return bit_and(a, splat_bits<W>(~((uint64_t{1} << Drop) - 1)));
}

// hi + lo = a * b exactly (|a|, |b| below 2^995, the product not denormal):
// Veltkamp's split into 26-bit halves, then the four partial products.
template <class W>
[[gnu::always_inline]] inline void two_prod(W a, W b, W& hi, W& lo) {
    const W k = W::splat(134217729.0);  // 2^27 + 1
    const W ca = a * k, cb = b * k;
    const W ah = ca - (ca - a), bh = cb - (cb - b);
    const W al = a - ah, bl = b - bh;
    hi = a * b;
    lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

// 2^k for lanes holding k (double, within [-1022, 1023]); a non-integral k is
// rounded to the nearest integer first (the kernels run rounding to nearest).
template <class W>
[[gnu::always_inline]] inline W pow2i(W k) {
    return bits_shl<52>(k + W::splat(0x1p52 + 1023.0));
}

// The unbiased exponent of positive normal doubles, as a double.
template <class W>
[[gnu::always_inline]] inline W exponent_of(W a) {
    return int_to_float(bits_shr<52>(a)) - W::splat(1023.0);
}


// Masks of lanes outside [lo, hi] (NaN included).
template <class V>
[[gnu::always_inline]] inline typename V::mask outside(V x, typename V::elem lo, typename V::elem hi) {
    return unordered(x, x) | (x < V::splat(lo)) | (x > V::splat(hi));
}

}  // namespace pw
}  // namespace KEX_LVL
}  // namespace kex
