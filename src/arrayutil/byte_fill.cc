// Byte-level zero and fill: one engine writes any pattern whose period divides
// 16, so zero, the 8-bit fill and the 16-, 32-, 64- and 128-bit fills differ
// only in the pattern and in their streaming threshold.
//
// The pattern stays in a register throughout. The first and last 16 bytes are
// written with unaligned stores of the register itself (their offsets from dst,
// 0 and n - 16, are multiples of the period); the aligned body in between
// starts k = (-dst) mod 16 bytes into the block and takes the register rotated
// by k mod period, which is the register itself whenever dst is aligned to its
// element. Nothing is built in memory and read back: a reload of bytes just
// stored stalls on store forwarding, which costs more than a short fill.
#include <immintrin.h>

#include <utility>

#include "arrayutil/byte_paths.h"

namespace orvu::arrayutil {
namespace {

// Byte i of the result is byte (i + J) mod 16 of v.
template <int J>
__m128i rotate_by(__m128i v) {
    if constexpr (J == 0) return v;
    else return _mm_or_si128(_mm_srli_si128(v, J), _mm_slli_si128(v, 16 - J));
}

template <class Seq> struct RotationTable;
template <size_t... J> struct RotationTable<std::index_sequence<J...>> {
    static constexpr __m128i (*at[])(__m128i) = {&rotate_by<static_cast<int>(J)>...};
};
using Rotations = RotationTable<std::make_index_sequence<16>>;

inline void store_u(uint8_t* d, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v); }

template <bool Streaming>
void fill_body(uint8_t* dst, size_t n, const __m128i pv, size_t period) {
    uint8_t* const end = dst + n;
    store_u(dst, pv);
    // First aligned block strictly above dst; the unaligned store covered the
    // bytes before it.
    uint8_t* a = dst + 16 - (reinterpret_cast<uintptr_t>(dst) & 15);
    size_t k = static_cast<size_t>(a - dst) & (period - 1);
    const __m128i v = k == 0 ? pv : Rotations::at[k](pv);
    auto st = [v](uint8_t* d) {
        if constexpr (Streaming) _mm_stream_si128(reinterpret_cast<__m128i*>(d), v);
        else _mm_store_si128(reinterpret_cast<__m128i*>(d), v);
    };
    // Whole aligned blocks; the last unaligned store covers what is left.
    for (; end - a >= 64; a += 64) { st(a); st(a + 16); st(a + 32); st(a + 48); }
    for (; end - a >= 16; a += 16) st(a);
    if constexpr (Streaming) _mm_sfence();  // streaming stores are weakly ordered: publish them
    store_u(end - 16, pv);
}

// The same with 32-byte stores, for processors with 256-bit vectors: the
// first 32 bytes are written with two unaligned 16-byte stores, so the body
// starts at the first 32-byte-aligned address strictly above dst and may end up to
// 31 bytes short of the end, which two more unaligned stores cover (n >= 32).
// A 32-byte register holds the rotated 16 bytes twice: the period divides 16.
template <bool Streaming>
__attribute__((target("avx"))) void fill_body_wide(uint8_t* dst, size_t n, const __m128i pv, size_t period) {
    uint8_t* const end = dst + n;
    store_u(dst, pv);
    store_u(dst + 16, pv);
    uint8_t* a = dst + 32 - (reinterpret_cast<uintptr_t>(dst) & 31);
    size_t k = static_cast<size_t>(a - dst) & (period - 1);
    const __m128i h = k == 0 ? pv : Rotations::at[k](pv);
    const __m256i v = _mm256_insertf128_si256(_mm256_castsi128_si256(h), h, 1);
    auto st = [v](uint8_t* d) __attribute__((target("avx"))) {
        if constexpr (Streaming) _mm256_stream_si256(reinterpret_cast<__m256i*>(d), v);
        else _mm256_store_si256(reinterpret_cast<__m256i*>(d), v);
    };
    for (; end - a >= 128; a += 128) { st(a); st(a + 32); st(a + 64); st(a + 96); }
    for (; end - a >= 32; a += 32) st(a);
    if constexpr (Streaming) _mm_sfence();
    store_u(end - 32, pv);
    store_u(end - 16, pv);
}

}  // namespace

FillPattern make_pattern(const void* element, size_t size) {
    switch (size) {
        case 1: { uint8_t e; std::memcpy(&e, element, 1); return pattern_of(e); }
        case 2: { uint16_t e; std::memcpy(&e, element, 2); return pattern_of(e); }
        case 4: { uint32_t e; std::memcpy(&e, element, 4); return pattern_of(e); }
        case 8: { uint64_t e; std::memcpy(&e, element, 8); return pattern_of(e); }
        default: { struct { uint8_t b[16]; } e; std::memcpy(&e, element, 16); return pattern_of(e); }
    }
}

void fill_normal(uint8_t* dst, size_t n, __m128i v, size_t period) { fill_body<false>(dst, n, v, period); }
void fill_streaming(uint8_t* dst, size_t n, __m128i v, size_t period) { fill_body<true>(dst, n, v, period); }
void fill_normal_wide(uint8_t* dst, size_t n, __m128i v, size_t period) { fill_body_wide<false>(dst, n, v, period); }
void fill_streaming_wide(uint8_t* dst, size_t n, __m128i v, size_t period) { fill_body_wide<true>(dst, n, v, period); }

void fill_long(uint8_t* dst, size_t n, __m128i v, size_t period, size_t large_from) {
    const bool streaming = use_streaming_stores(n, large_from);
    if (has_wide_vectors()) {
        if (streaming) fill_body_wide<true>(dst, n, v, period);
        else fill_body_wide<false>(dst, n, v, period);
    } else {
        if (streaming) fill_body<true>(dst, n, v, period);
        else fill_body<false>(dst, n, v, period);
    }
}

}  // namespace orvu::arrayutil
