// Polynomial evaluation shared by the kernel families, generic over the
// vector types.
#pragma once

#include <cstddef>
#include <utility>

#include "kex/simd/level.h"

namespace kex {
namespace KEX_LVL {

// Horner's rule, c[0] the constant term, unrolled at compile time.
template <class V, class C, int N, size_t... I>
[[gnu::always_inline]] inline V horner_steps(V x, const C (&c)[N], std::index_sequence<I...>) {
    using T = typename V::elem;
    V p = V::splat(static_cast<T>(c[N - 1]));
    ((p = p * x + V::splat(static_cast<T>(c[N - 2 - I]))), ...);
    return p;
}
template <class V, class C, int N>
[[gnu::always_inline]] inline V horner(V x, const C (&c)[N]) {
    return horner_steps(x, c, std::make_index_sequence<N - 1>{});
}

}  // namespace KEX_LVL
}  // namespace kex
