// Helpers shared by the array-utility tests.
#ifndef ORVU_TESTS_ARRAYUTIL_SUPPORT_H
#define ORVU_TESTS_ARRAYUTIL_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace au_test {

// Byte buffer with guard bytes around the region a routine may write.
struct Guarded {
    static constexpr size_t kGuard = 64;
    static constexpr uint8_t kFill = 0xA5;
    std::vector<uint8_t> bytes;
    size_t offset;
    Guarded(size_t n, size_t misalign) : bytes(n + 2 * kGuard + 16, kFill), offset(kGuard + misalign) {}
    uint8_t* data() { return bytes.data() + offset; }
    // True when nothing outside [offset, offset + n) has changed.
    bool guards_intact(size_t n) const {
        for (size_t i = 0; i < bytes.size(); ++i)
            if ((i < offset || i >= offset + n) && bytes[i] != kFill) return false;
        return true;
    }
};

inline std::vector<uint8_t> random_bytes(size_t n, uint64_t seed) {
    std::mt19937_64 g(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(g());
    return v;
}

template <class T>
bool same_bits(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

}  // namespace au_test

#endif
