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
inline uint32_t mulmod(uint32_t a, uint32_t b, uint32_t m) { return uint32_t(uint64_t(a) * b % m); }

}  // namespace ptz
