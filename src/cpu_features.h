// What the processor and the operating system let the library use: read from
// the identification leaves and the extended-control register XCR0. An
// instruction set counts only when the system also saves and restores the
// registers it uses across context switches (XCR0), since otherwise its
// first instruction faults.
#pragma once

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace orvu::cpu {

// Vector register files the processor may use, widest last.
enum class Vectors : int32_t { sse = 0, avx = 1, avx2 = 2, avx512 = 3 };

inline Vectors vector_support() {
#if defined(__i386__) || defined(__x86_64__)
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return Vectors::sse;
    // Leaf 1 ECX bit 27: the system manages extended state (XGETBV usable);
    // bit 28: 256-bit vector instructions.
    if (((c >> 27) & 1) == 0 || ((c >> 28) & 1) == 0) return Vectors::sse;
    uint32_t xcr0_lo, xcr0_hi;
    __asm__("xgetbv" : "=a"(xcr0_lo), "=d"(xcr0_hi) : "c"(0));
    // XCR0 bits 1 and 2: the 128-bit and upper 128-bit register halves.
    if ((xcr0_lo & 0x6u) != 0x6u) return Vectors::sse;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || ((b >> 5) & 1) == 0) return Vectors::avx;
    // Leaf 7 EBX bits 16 (foundation), 17 (DQ), 30 (BW), 31 (VL); XCR0 bits
    // 5..7: the mask registers and both halves of the 512-bit registers.
    const uint32_t avx512 = (1u << 16) | (1u << 17) | (1u << 30) | (1u << 31);
    if ((b & avx512) == avx512 && (xcr0_lo & 0xE6u) == 0xE6u) return Vectors::avx512;
    return Vectors::avx2;
#else
    return Vectors::sse;
#endif
}

}  // namespace orvu::cpu
