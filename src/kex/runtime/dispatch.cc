// Dispatch tables, cost tables and entry points of every built row of the
// function table. An entry point loads the pointer in its fixed slot and
// calls it as its last action, so the compiler emits a tail jump and the
// kernel sees the caller's arguments unchanged. The tables are writable:
// replacing a slot redirects the entry points at once.
#include "orvu_kex.h"

#define KEX_DEFINE_ROW(t, fn, shape, la, ha, ep)                                                    \
    KEX_KFN(t, shape) KEX_TTAB(t, fn)[3] = {KEX_SLOT_KERNEL(t, fn, la),                      \
                                                     KEX_SLOT_KERNEL(t, fn, ha),                      \
                                                     KEX_SLOT_KERNEL(t, fn, ep)};                     \
    const float KEX_CTAB(t, fn)[3] = {KEX_COST(la), KEX_COST(ha), KEX_COST(ep)};            \
    ORVU_API void _kex##t##fn KEX_ESIG_##shape(t) { KEX_TTAB(t, fn)[1] KEX_ECALL_##shape; }          \
    ORVU_API void _kex##t##fn##_HA KEX_ESIG_##shape(t) { KEX_TTAB(t, fn)[1] KEX_ECALL_##shape; }     \
    ORVU_API void KEX_CAT(_kex##t##fn, KEX_LA_SUFFIX_##t) KEX_ESIG_##shape(t) {                        \
        KEX_TTAB(t, fn)[0] KEX_ECALL_##shape;                                                       \
    }                                                                                               \
    ORVU_API void KEX_CAT(_kex##t##fn, KEX_EP_SUFFIX_##t) KEX_ESIG_##shape(t) {                        \
        KEX_TTAB(t, fn)[2] KEX_ECALL_##shape;                                                       \
    }

extern "C" {
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) KEX_IF_##on(KEX_DEFINE_ROW(t, fn, shape, la, ha, ep))
#include "orvu_kex_functions.def"
#undef KEX_FN
}
