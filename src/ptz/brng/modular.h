// Modular arithmetic shared by the congruential generators.
#pragma once

#include <cstdint>

namespace ptz {

constexpr uint32_t kM31 = 0x7FFFFFFF;            // 2^31 - 1
constexpr uint64_t kMask59 = (uint64_t(1) << 59) - 1;

// p mod (2^31 - 1) for p < 2^62: 2^31 = 1 (mod m), so fold the high bits onto
// the low ones once; the result is below 2m, one subtraction finishes.
inline uint32_t reduce_m31(uint64_t p) {
    uint32_t r = uint32_t(p & kM31) + uint32_t(p >> 31);
    if (r >= kM31) r -= kM31;
    return r;
}
inline uint32_t mulmod_m31(uint32_t a, uint32_t b) { return reduce_m31(uint64_t(a) * b); }
inline uint64_t mulmod_2p59(uint64_t a, uint64_t b) { return (a * b) & kMask59; }
inline uint32_t mulmod(uint32_t a, uint32_t b, uint32_t m) { return uint32_t(uint64_t(a) * b % m); }

// n outputs of x' = a x (emit x, then step) under the modular product Mul;
// returns the next x. Blocks of 8 take x a^0 .. x a^7 side by side (no
// step-to-step dependency), then step x by a^8.
template <auto Mul, class T>
T mcg_generate(T x, T a, int32_t n, T* out) {
    constexpr int kLanes = 8;
    int32_t i = 0;
    if (n >= kLanes) {
        T pw[kLanes];  // a^0 .. a^7
        pw[0] = 1;
        for (int j = 1; j < kLanes; ++j) pw[j] = Mul(pw[j - 1], a);
        const T a8 = Mul(pw[kLanes - 1], a);
        for (; i + kLanes <= n; i += kLanes) {
            for (int j = 0; j < kLanes; ++j) out[i + j] = Mul(x, pw[j]);
            x = Mul(x, a8);
        }
    }
    for (; i < n; ++i) {
        out[i] = x;
        x = Mul(x, a);
    }
    return x;
}

}  // namespace ptz
