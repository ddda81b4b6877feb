// Per-thread vector-math state and the fast mode read used by every kernel.
#pragma once

#include <cstdint>

#include "orvu_kex.h"

// The four thread-local variables, zero in a new thread. kexMode holds the
// mode word in its low half; 0 means "not initialised yet".
extern "C" {
extern constinit thread_local const void* kexInterfInputVecorPointer;
extern constinit thread_local int32_t kexErrStatus;
extern constinit thread_local KexErrorCallBack kexErrorCallBack;
extern constinit thread_local uint64_t kexMode;
}

namespace kex {

// The mode word, initialising it from the environment on first use.
inline uint32_t current_mode() {
    uint64_t m = kexMode;
    if (m != 0) return static_cast<uint32_t>(m);
    return orvu_kex_kernel_GetMode();
}

}  // namespace kex
