// The instruction-set level a kernel translation unit is compiled for.
// Each kernel source is compiled once per level with that level's flags and
// ORVU_LEVEL_<code> defined; everything vector-typed lives in a namespace named
// after the level, so instantiations for different levels never merge.
#pragma once

#if defined(ORVU_LEVEL_A0)
#define KEX_LVL lvl_a0
#define KEX_LEVEL_CODE A0
#elif defined(ORVU_LEVEL_A2)
#define KEX_LVL lvl_a2
#define KEX_LEVEL_CODE A2
#elif defined(ORVU_LEVEL_A3)
#define KEX_LVL lvl_a3
#define KEX_LEVEL_CODE A3
#elif defined(ORVU_LEVEL_A4)
#define KEX_LVL lvl_a4
#define KEX_LEVEL_CODE A4
#elif defined(ORVU_LEVEL_A5)
#define KEX_LVL lvl_a5
#define KEX_LEVEL_CODE A5
// The wide levels of the x86-64 build. Their units export nothing: they
// define hidden copies of the SSE-level kernels over the wider vector types,
// which the library stores in the dispatch slots at load time when the
// processor and the operating system support them.
#elif defined(ORVU_LEVEL_W2)
#define KEX_LVL lvl_w2
#define KEX_LEVEL_CODE W2
#define KEX_LEVEL_WIDE 1
#elif defined(ORVU_LEVEL_W3)
#define KEX_LVL lvl_w3
#define KEX_LEVEL_CODE W3
#define KEX_LEVEL_WIDE 1
#else
#error "kernel sources are compiled through the per-level wrappers"
#endif

// KEX_AT_LEVEL_<code>(...) keeps its arguments only in the unit of that level.
#define KEX_AT_LEVEL_A0(...)
#define KEX_AT_LEVEL_A2(...)
#define KEX_AT_LEVEL_A3(...)
#define KEX_AT_LEVEL_A4(...)
#define KEX_AT_LEVEL_A5(...)
#if defined(ORVU_LEVEL_A0)
#undef KEX_AT_LEVEL_A0
#define KEX_AT_LEVEL_A0(...) __VA_ARGS__
#elif defined(ORVU_LEVEL_A2)
#undef KEX_AT_LEVEL_A2
#define KEX_AT_LEVEL_A2(...) __VA_ARGS__
#elif defined(ORVU_LEVEL_A3)
#undef KEX_AT_LEVEL_A3
#define KEX_AT_LEVEL_A3(...) __VA_ARGS__
#elif defined(ORVU_LEVEL_A4)
#undef KEX_AT_LEVEL_A4
#define KEX_AT_LEVEL_A4(...) __VA_ARGS__
#elif defined(ORVU_LEVEL_A5)
#undef KEX_AT_LEVEL_A5
#define KEX_AT_LEVEL_A5(...) __VA_ARGS__
#endif
