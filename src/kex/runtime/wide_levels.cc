// Load-time choice of the vector level. The dispatch tables start out holding
// the SSE kernels; before any caller can read them, this constructor asks the
// processor and the operating system for the widest vector level they support
// (AVX2 or AVX-512), caps it by ORVU_KEXLEVEL, and stores that level's copies
// of the SSE kernels in every slot whose kernel has one. A wide copy returns
// the same bits, statuses and reports as its SSE kernel, so the choice changes
// speed only.
#include <cctype>
#include <cstring>

#include "cpu_features.h"
#include "kex/runtime/wide_levels.h"
#include "orvu_kex.h"
#include "orvu_serv.h"

extern "C" {
#define KEX_WIDE_DECLARE(t, fn, shape, isa, acc)                                         \
    KEX_VECTOR_LEVEL_##isa(void KEX_WIDE_KERNEL_NAME(t, fn, acc, W2) KEX_KSIG_##shape(t); \
                           void KEX_WIDE_KERNEL_NAME(t, fn, acc, W3) KEX_KSIG_##shape(t);)
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) \
    KEX_IF_##on(KEX_FOR_OWN_KERNELS(KEX_WIDE_DECLARE, t, fn, shape, la, ha, ep))
#include "orvu_kex_functions.def"
#undef KEX_FN
#undef KEX_WIDE_DECLARE
}

namespace {

using orvu::cpu::Vectors;

// ORVU_KEXLEVEL: "sse", "avx2" or "avx512" (any case) caps the level; unset or
// any other value leaves the machine's widest level.
Vectors level_cap() {
    char buf[16] = {};
    if (orvu_serv_getenv("ORVU_KEXLEVEL", buf, sizeof buf) <= 0) return Vectors::avx512;
    for (char& c : buf) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (std::strcmp(buf, "sse") == 0) return Vectors::sse;
    if (std::strcmp(buf, "avx2") == 0) return Vectors::avx2;
    return Vectors::avx512;
}

#define KEX_WIDE_SLOT_J(t, fn, k, isa, acc, cost)                                               \
    KEX_VECTOR_LEVEL_##isa(KEX_TTAB(t, fn)[k] = w3 ? &KEX_WIDE_KERNEL_NAME(t, fn, acc, W3)      \
                                                   : &KEX_WIDE_KERNEL_NAME(t, fn, acc, W2);)
#define KEX_WIDE_SLOT_I(...) KEX_WIDE_SLOT_J(__VA_ARGS__)
#define KEX_WIDE_SLOT(t, fn, k, cell) KEX_WIDE_SLOT_I(t, fn, k, KEX_EXPAND cell)

void store_wide_kernels(bool w3) {
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) \
    KEX_IF_##on(KEX_WIDE_SLOT(t, fn, 0, la) KEX_WIDE_SLOT(t, fn, 1, ha) KEX_WIDE_SLOT(t, fn, 2, ep))
#include "orvu_kex_functions.def"
#undef KEX_FN
}

// Priority 101, the first a program may use: the tables are filled before the
// library's other initialisers and before any library loaded after it.
__attribute__((constructor(101))) void choose_vector_level() {
    Vectors level = orvu::cpu::vector_support();
    const Vectors cap = level_cap();
    if (cap < level) level = cap;
    if (level >= Vectors::avx2) store_wide_kernels(level == Vectors::avx512);
}

}  // namespace
