// Key transforms and digit plans of the radix sorts.
//
// A key is the element's bit pattern, changed so that comparing keys as
// unsigned integers gives the wanted order:
//   unsigned     ascending: the value itself
//   signed       ascending: the sign bit flipped
//   floating     ascending: negative values fully inverted, the others with the
//                sign bit flipped, so -NaN < -inf < -0 < +0 < +inf < +NaN
//   descending:  the complement of the ascending key, for every kind
// The complement reverses the order of distinct keys while equal keys stay
// equal, which is what keeps the descending sorts stable.
#ifndef ORVU_ARRAYUTIL_RADIX_KEYS_H
#define ORVU_ARRAYUTIL_RADIX_KEYS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvu::arrayutil {

enum class KeyKind { unsigned_int, signed_int, floating };

template <class V> struct KeyOf;
template <> struct KeyOf<uint8_t>  { using Bits = uint8_t;  static constexpr KeyKind kind = KeyKind::unsigned_int; };
template <> struct KeyOf<uint16_t> { using Bits = uint16_t; static constexpr KeyKind kind = KeyKind::unsigned_int; };
template <> struct KeyOf<int16_t>  { using Bits = uint16_t; static constexpr KeyKind kind = KeyKind::signed_int; };
template <> struct KeyOf<uint32_t> { using Bits = uint32_t; static constexpr KeyKind kind = KeyKind::unsigned_int; };
template <> struct KeyOf<int32_t>  { using Bits = uint32_t; static constexpr KeyKind kind = KeyKind::signed_int; };
template <> struct KeyOf<float>    { using Bits = uint32_t; static constexpr KeyKind kind = KeyKind::floating; };
template <> struct KeyOf<double>   { using Bits = uint64_t; static constexpr KeyKind kind = KeyKind::floating; };

template <class V, bool Descending>
struct KeyMap {
    using Bits = typename KeyOf<V>::Bits;
    static constexpr KeyKind kind = KeyOf<V>::kind;
    static constexpr int kTop = 8 * sizeof(Bits) - 1;
    static constexpr Bits kSign = Bits(Bits(1) << kTop);
    static constexpr Bits kFlip = Descending ? Bits(~Bits(0)) : Bits(0);

    static Bits encode(Bits b) {
        if constexpr (kind == KeyKind::unsigned_int) return Bits(b ^ kFlip);
        else if constexpr (kind == KeyKind::signed_int) return Bits(b ^ kSign ^ kFlip);
        else {
            // Sign set: invert all bits; sign clear: flip the sign bit.
            Bits neg = Bits(0 - Bits(b >> kTop));
            return Bits(b ^ (neg | kSign) ^ kFlip);
        }
    }
    static Bits decode(Bits k) {
        k = Bits(k ^ kFlip);
        if constexpr (kind == KeyKind::unsigned_int) return k;
        else if constexpr (kind == KeyKind::signed_int) return Bits(k ^ kSign);
        else {
            // Top bit set: the value was non-negative, flip the sign back;
            // top bit clear: it was negative, invert everything.
            Bits pos = Bits(Bits(k >> kTop) - 1);   // 0 when the top bit is set
            return Bits(k ^ (pos | kSign));
        }
    }
    static Bits load(const void* p) {
        Bits b;
        std::memcpy(&b, p, sizeof b);
        return b;
    }
};

// Digits, least significant first: 11-bit digits keep each histogram (2048
// counters, 8 KiB) inside the first-level cache while a 32-bit key needs only
// three passes; a 64-bit key is two 32-bit words of three digits each.
struct DigitPlan {
    int passes;
    uint8_t shift[6];
    uint8_t width[6];

    constexpr size_t buckets(int p) const { return size_t{1} << width[p]; }
    constexpr size_t offset(int p) const {
        size_t o = 0;
        for (int i = 0; i < p; ++i) o += buckets(i);
        return o;
    }
    constexpr size_t counters() const { return offset(passes); }
};

template <size_t KeyBytes> inline constexpr DigitPlan kDigitPlan{};
template <> inline constexpr DigitPlan kDigitPlan<1>{1, {0}, {8}};
template <> inline constexpr DigitPlan kDigitPlan<2>{2, {0, 8}, {8, 8}};
template <> inline constexpr DigitPlan kDigitPlan<4>{3, {0, 11, 22}, {11, 11, 10}};
template <> inline constexpr DigitPlan kDigitPlan<8>{6, {0, 11, 22, 32, 43, 54}, {11, 11, 10, 11, 11, 10}};

static_assert(kDigitPlan<4>.counters() * 4 <= 24 * 1024);  // at most 24 KiB of stack
static_assert(kDigitPlan<8>.counters() * 4 == 40 * 1024);  // 40 KiB of stack

}  // namespace orvu::arrayutil

#endif
