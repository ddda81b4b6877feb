// Helpers shared by the array-utility tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace au_test {

inline bool all_bytes(const void* p, size_t n, uint8_t v) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::all_of(b, b + n, [v](uint8_t x) { return x == v; });
}

// Byte buffer with guard bytes around the region a routine may write.
struct Guarded {
    static constexpr size_t kGuard = 64;
    std::vector<uint8_t> bytes;
    size_t offset;
    Guarded(size_t n, size_t misalign) : bytes(n + 2 * kGuard + 16, 0xA5), offset(kGuard + misalign) {}
    uint8_t* data() { return bytes.data() + offset; }
    // True when nothing outside [offset, offset + n) has changed.
    bool guards_intact(size_t n) const {
        return all_bytes(bytes.data(), offset, 0xA5) && all_bytes(&bytes[offset + n], bytes.size() - offset - n, 0xA5);
    }
};

inline std::vector<uint8_t> random_bytes(size_t n, uint64_t seed) {
    std::mt19937_64 g(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(g());
    return v;
}

template <class T> bool same_bits(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

}  // namespace au_test
