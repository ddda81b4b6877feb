// Helpers shared by the vector-math tests.
#pragma once

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>
#include <thread>

namespace kex_test {

// Runs fn on a fresh thread, whose per-thread state starts anew: mode read
// from the environment (0x1A02 when unset), status 0, no callback, no
// input-vector pointer.
template <class Fn> void on_fresh_thread(Fn fn) { std::thread(fn).join(); }

template <class T> bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// The same bits, or both NaN.
template <class T> bool same(T a, T b) { return (std::isnan(a) && std::isnan(b)) || same_bits(a, b); }

// Runs fn with the caller's control bits 0xE040 (rounding, flush-to-zero,
// denormals-are-zero) set to csr and the flags cleared; returns the flags
// raised, and checks that the kernel put the control bits back.
template <class Fn> uint32_t with_mxcsr(uint32_t csr, Fn fn) {
    const uint32_t saved = _mm_getcsr(), set = (saved & ~0xE07Fu) | csr;
    _mm_setcsr(set);
    fn();
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & 0xFFC0u, set & 0xFFC0u) << "control bits not restored";
    return after & 0x3Fu;
}

}  // namespace kex_test
