// Floating-point environment of a kernel call: the SSE control register set
// from the thread's flush-to-zero group and the kernel's rounding control, and
// the x87 precision control for kernels that compute in extended precision.
// Each is written only when it differs from what is wanted, and restored at exit.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

#include "kex/runtime/thread_state.h"

namespace kex {

// MXCSR rounding-control values.
enum : uint32_t {
    kRoundNearest = 0x0000,
    kRoundDown = 0x2000,
    kRoundUp = 0x4000,
    kRoundTowardZero = 0x6000,
};
constexpr uint32_t kMxcsrFtzDaz = 0x8040;    // flush-to-zero | denormals-are-zero
constexpr uint32_t kMxcsrManaged = 0xE040;   // rounding control + FTZ + DAZ

// Bits of the control register a kernel with the given rounding wants, for
// the thread mode `mode`.
inline uint32_t wanted_mxcsr(uint32_t mode, uint32_t rounding) {
    return rounding | ((mode & KEX_MODE_FTZDAZ_MASK) == KEX_MODE_FTZDAZ_ON ? kMxcsrFtzDaz : 0u);
}

class MxcsrGuard {
public:
    // Bits from the thread's mode and the kernel's rounding control.
    explicit MxcsrGuard(uint32_t rounding) : MxcsrGuard(Exact{}, wanted_mxcsr(current_mode(), rounding)) {}
    // Exactly the given bits of 0xE040, whatever the mode says.
    struct Exact {};
    MxcsrGuard(Exact, uint32_t want) {
        saved_ = _mm_getcsr();
        changed_ = (saved_ & kMxcsrManaged) != want;
        if (changed_) _mm_setcsr((saved_ & ~kMxcsrManaged) | want);
    }
    ~MxcsrGuard() {
        if (changed_) _mm_setcsr(saved_);
    }
    MxcsrGuard(const MxcsrGuard&) = delete;
    MxcsrGuard& operator=(const MxcsrGuard&) = delete;

private:
    uint32_t saved_;
    bool changed_;
};

// x87 precision control forced to 64-bit extended (0x300) for the call.
class X87PrecisionGuard {
public:
    X87PrecisionGuard() {
        __asm__ __volatile__("fnstcw %0" : "=m"(saved_));
        changed_ = (saved_ & 0x300) != 0x300;
        if (changed_) {
            uint16_t cw = static_cast<uint16_t>(saved_ | 0x300);
            __asm__ __volatile__("fldcw %0" : : "m"(cw));
        }
    }
    ~X87PrecisionGuard() {
        if (changed_) __asm__ __volatile__("fldcw %0" : : "m"(saved_));
    }
    X87PrecisionGuard(const X87PrecisionGuard&) = delete;
    X87PrecisionGuard& operator=(const X87PrecisionGuard&) = delete;

private:
    uint16_t saved_;
    bool changed_;
};

// How a kernel treats the environment, chosen by its policy's kEnv member.
enum class Env {
    Managed,   // MXCSR from the mode and the kernel's rounding control
    Caller,    // runs under the caller's settings (rounding to the caller's mode)
    X87,       // generic kernels computing in x87 extended precision
};

}  // namespace kex
