// Tag types naming functions and accuracy flavours, shared by the kernel
// families and the instance generator.
#pragma once

#include "orvu_kex.h"

namespace kex {

#define KEX_FN(on, family, t, fn, shape, la, ha, ep) struct fn_##fn;
#include "orvu_kex_functions.def"
#undef KEX_FN

struct acc_LA;
struct acc_HA;
struct acc_EP;

}  // namespace kex
