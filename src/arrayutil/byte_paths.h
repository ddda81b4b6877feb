// Store strategies of the byte-level copy, zero and fill routines.
//
// Every routine picks one of three paths from the block size: short blocks are
// written with two overlapping moves of the largest size that fits; other
// blocks get a first and a last unaligned 16-byte move around a body of aligned
// 16-byte stores (or, for long copies on processors with fast string moves, one
// `rep movsb`); blocks that are both above a fixed threshold and at least half
// the last-level cache are written with cache-bypassing stores, so a huge copy
// or fill does not evict the caller's working set only to have the data
// evicted again before it is read.
#ifndef ORVU_ARRAYUTIL_BYTE_PATHS_H
#define ORVU_ARRAYUTIL_BYTE_PATHS_H

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvu::arrayutil {

// Size limits of the paths, in bytes.
inline constexpr size_t kShortCopyBelow = 64;
inline constexpr size_t kShortFillBelow = 16;
inline constexpr size_t kLargeCopyFrom = size_t{1} << 20;   // copy
inline constexpr size_t kLargeZeroFrom = size_t{512} << 10; // zero and 8-bit fill
inline constexpr size_t kLargeFillFrom = size_t{1} << 20;   // 16- to 128-bit fills
// Copies from this size on use the processor's string move when it is fast
// (measured: below about 2 KiB its start-up cost exceeds the vector loop's).
inline constexpr size_t kStringCopyFrom = 2048;

// Size in bytes of the largest data cache the processor reports, 0 if none is
// found. Asked once; later calls return the remembered answer.
size_t last_level_cache_bytes();

// True when the processor advertises fast `rep movsb` (asked once).
bool has_fast_string_moves();

// True when 256-bit vector stores can be used: the processor has them and the
// system saves their registers (asked once).
bool has_wide_vectors();

// True when a block of `bytes` at or above `threshold` should bypass the cache:
// a cache size is known and the block is at least half of it. The threshold is
// tested first, so blocks below it never query the processor.
inline bool use_streaming_stores(size_t bytes, size_t threshold) {
    if (bytes < threshold) return false;
    size_t cache = last_level_cache_bytes();
    return cache != 0 && bytes >= cache / 2;
}

// A fill pattern: one element broadcast over a 16-byte register (its byte i is
// byte i mod `period` of the element), so any element-aligned position of the
// destination takes the register as it is.
struct FillPattern {
    __m128i v;
    size_t period;  // element size: 1, 2, 4, 8 or 16
};
FillPattern make_pattern(const void* element, size_t element_size);

template <class T>
inline FillPattern pattern_of(const T& value) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8 || sizeof(T) == 16);
    if constexpr (sizeof(T) == 1) {
        uint8_t e; std::memcpy(&e, &value, 1);
        return {_mm_set1_epi8(static_cast<char>(e)), 1};
    } else if constexpr (sizeof(T) == 2) {
        int16_t e; std::memcpy(&e, &value, 2);
        return {_mm_set1_epi16(e), 2};
    } else if constexpr (sizeof(T) == 4) {
        int32_t e; std::memcpy(&e, &value, 4);
        return {_mm_set1_epi32(e), 4};
    } else if constexpr (sizeof(T) == 8) {
        int64_t e; std::memcpy(&e, &value, 8);
        return {_mm_set1_epi64x(e), 8};
    } else {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(&value)), 16};
    }
}

// Short blocks: two moves of the largest power of two not above n, one at each
// end (they overlap unless n is that power). n < 64.
inline void copy_short(uint8_t* dst, const uint8_t* src, size_t n) {
    auto two = [&](auto word) {
        constexpr size_t w = sizeof word;
        decltype(word) a, b;
        std::memcpy(&a, src, w); std::memcpy(&b, src + n - w, w);
        std::memcpy(dst, &a, w); std::memcpy(dst + n - w, &b, w);
    };
    if (n >= 32) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 32));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 16), d);
    } else if (n >= 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 16), b);
    } else if (n >= 8) {
        two(uint64_t{});
    } else if (n >= 4) {
        two(uint32_t{});
    } else if (n >= 2) {
        two(uint16_t{});
    } else if (n == 1) {
        *dst = *src;
    }
}

// Short fills, n < 16 and a multiple of the period: the end moves start at
// offsets n - 8, n - 4, n - 2, which are multiples of every period that can
// occur with that n, so the register's low bytes are right at both ends.
inline void fill_short(uint8_t* dst, size_t n, __m128i v) {
    if (n >= 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + n - 8), v);
        return;
    }
    uint32_t w = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    if (n >= 4) {
        std::memcpy(dst, &w, 4); std::memcpy(dst + n - 4, &w, 4);
    } else if (n >= 2) {
        uint16_t h = static_cast<uint16_t>(w);
        std::memcpy(dst, &h, 2); std::memcpy(dst + n - 2, &h, 2);
    } else if (n == 1) {
        *dst = static_cast<uint8_t>(w);
    }
}

// Fills of 16 to 64 bytes: four unaligned 16-byte stores at offsets 0,
// min(16, n - 16), max(n - 32, 0) and n - 16, which cover the block and are all
// multiples of the period, so all take the register as it is, whatever dst's
// alignment. No branch on n: the offsets are selects.
inline void fill_up_to_64(uint8_t* dst, size_t n, __m128i v) {
    auto st = [v](uint8_t* d) { _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v); };
    const size_t second = n < 32 ? n - 16 : 16;
    const size_t third = n < 32 ? 0 : n - 32;
    st(dst);
    st(dst + second);
    st(dst + third);
    st(dst + n - 16);
}

// The other paths (callers choose; each expects at least 16 bytes, the copy
// paths at least 64). The fills take the pattern register and its period.
void copy_normal(uint8_t* dst, const uint8_t* src, size_t n);
void copy_vector(uint8_t* dst, const uint8_t* src, size_t n);  // never the string move
void copy_string(uint8_t* dst, const uint8_t* src, size_t n);  // always the string move
void copy_streaming(uint8_t* dst, const uint8_t* src, size_t n);
// The fills have a 16-byte body and, for processors with wide vectors, a
// 32-byte one (which needs at least 32 bytes).
void fill_normal(uint8_t* dst, size_t n, __m128i v, size_t period);
void fill_streaming(uint8_t* dst, size_t n, __m128i v, size_t period);
void fill_normal_wide(uint8_t* dst, size_t n, __m128i v, size_t period);
void fill_streaming_wide(uint8_t* dst, size_t n, __m128i v, size_t period);

// Whole routines: path choice plus work. The short blocks are written inline;
// the rest is one tail call, so the short path needs no stack frame.
// `large_from` is the threshold of the streaming path for this kind of fill.
void copy_long(uint8_t* dst, const uint8_t* src, size_t n);                           // n >= 64
void fill_long(uint8_t* dst, size_t n, __m128i v, size_t period, size_t large_from);  // n > 64

inline void copy_bytes(void* dst_, const void* src_, size_t n) {
    auto* dst = static_cast<uint8_t*>(dst_);
    auto* src = static_cast<const uint8_t*>(src_);
    if (n < kShortCopyBelow) copy_short(dst, src, n);
    else copy_long(dst, src, n);
}

inline void fill_bytes(void* dst_, size_t n, const FillPattern& p, size_t large_from) {
    auto* dst = static_cast<uint8_t*>(dst_);
    if (n < kShortFillBelow) fill_short(dst, n, p.v);
    else if (n <= 64) fill_up_to_64(dst, n, p.v);
    else fill_long(dst, n, p.v, p.period, large_from);
}

}  // namespace orvu::arrayutil

#endif
