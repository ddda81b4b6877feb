// Names of the wide-level kernels and the filter that keeps the kernels of the
// vector levels. A wide unit (AVX2: W2, AVX-512: W3) defines, for each kernel
// the function table places at an SSE level, a hidden copy named
//   kex_wide_<type><Function>_<accuracy tag>_<W2|W3>
// over its own vector types; the load-time fill stores them in the dispatch
// slots. Kernels of level A0 (x87 and generic element-by-element code) have
// no wide copy.
#pragma once

#include "orvu_kex_shapes.h"

#define KEX_WIDE_NAME_I(t, fn, acc, lvl) kex_wide_##t##fn##_##acc##_##lvl
#define KEX_WIDE_KERNEL_NAME(t, fn, acc, lvl) KEX_WIDE_NAME_I(t, fn, acc, lvl)

#define KEX_VECTOR_LEVEL_A0(...)
#define KEX_VECTOR_LEVEL_A2(...) __VA_ARGS__
#define KEX_VECTOR_LEVEL_A3(...) __VA_ARGS__
#define KEX_VECTOR_LEVEL_A4(...) __VA_ARGS__
#define KEX_VECTOR_LEVEL_A5(...) __VA_ARGS__
