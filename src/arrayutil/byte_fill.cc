// Byte-level zero and fill: one engine writes any 16-byte-periodic pattern, so
// zero, the 8-bit fill and the 16-, 32-, 64- and 128-bit fills differ only in
// the pattern and in their streaming threshold.
#include <emmintrin.h>

#include <cstring>

#include "arrayutil/byte_paths.h"

namespace orvu::arrayutil {
namespace {

// Writes n < 16 bytes taken from the pattern starting at `phase`.
void fill_tail(uint8_t* dst, size_t n, const uint8_t* pat) {
    size_t o = 0;
    if (n & 8) { std::memcpy(dst + o, pat + o, 8); o += 8; }
    if (n & 4) { std::memcpy(dst + o, pat + o, 4); o += 4; }
    if (n & 2) { std::memcpy(dst + o, pat + o, 2); o += 2; }
    if (n & 1) { dst[o] = pat[o]; }
}

// Head stores bringing dst to 16-byte alignment (1-, 2-, 4-, then 8-byte);
// returns the bytes written, which is also the phase of the pattern after it.
size_t fill_head(uint8_t* dst, const FillPattern& p) {
    size_t k = (0 - reinterpret_cast<uintptr_t>(dst)) & 15;
    size_t o = 0;
    if (k & 1) { dst[o] = p.bytes[o]; o += 1; }
    if (k & 2) { std::memcpy(dst + o, p.bytes + o, 2); o += 2; }
    if (k & 4) { std::memcpy(dst + o, p.bytes + o, 4); o += 4; }
    if (k & 8) { std::memcpy(dst + o, p.bytes + o, 8); o += 8; }
    return k;
}

template <bool Streaming>
void fill_body(uint8_t* dst, size_t n, const FillPattern& p) {
    size_t k = fill_head(dst, p);
    dst += k, n -= k;
    // After k head bytes the pattern continues at phase k.
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p.bytes + k));
    size_t blocks = n / 16, i = 0;
    auto st = [v](uint8_t* d) {
        if (Streaming) _mm_stream_si128(reinterpret_cast<__m128i*>(d), v);
        else _mm_store_si128(reinterpret_cast<__m128i*>(d), v);
    };
    for (; i + 4 <= blocks; i += 4) {
        st(dst + 16 * i); st(dst + 16 * i + 16); st(dst + 16 * i + 32); st(dst + 16 * i + 48);
    }
    for (; i < blocks; ++i) st(dst + 16 * i);
    if (Streaming) _mm_sfence();
    fill_tail(dst + 16 * blocks, n & 15, p.bytes + k);
}

}  // namespace

// The element is broadcast into one register and stored twice with 16-byte
// stores: building the pattern from byte stores and reloading it as a vector
// would stall on store forwarding, which cost more than the whole fill of a
// short block.
FillPattern make_pattern(const void* element, size_t size) {
    __m128i v;
    switch (size) {
        case 1: { uint8_t e; std::memcpy(&e, element, 1); v = _mm_set1_epi8(static_cast<char>(e)); break; }
        case 2: { int16_t e; std::memcpy(&e, element, 2); v = _mm_set1_epi16(e); break; }
        case 4: { int32_t e; std::memcpy(&e, element, 4); v = _mm_set1_epi32(e); break; }
        case 8: { int64_t e; std::memcpy(&e, element, 8); v = _mm_set1_epi64x(e); break; }
        default: v = _mm_loadu_si128(static_cast<const __m128i*>(element)); break;
    }
    FillPattern p;
    _mm_store_si128(reinterpret_cast<__m128i*>(p.bytes), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(p.bytes + 16), v);
    return p;
}

void fill_short(uint8_t* dst, size_t n, const FillPattern& p) { fill_tail(dst, n, p.bytes); }
void fill_normal(uint8_t* dst, size_t n, const FillPattern& p) { fill_body<false>(dst, n, p); }
void fill_streaming(uint8_t* dst, size_t n, const FillPattern& p) { fill_body<true>(dst, n, p); }

void fill_bytes(void* dst_, size_t n, const FillPattern& p, size_t large_from) {
    auto* dst = static_cast<uint8_t*>(dst_);
    if (n < kShortFillBelow) fill_short(dst, n, p);
    else if (use_streaming_stores(n, large_from)) fill_streaming(dst, n, p);
    else fill_normal(dst, n, p);
}

}  // namespace orvu::arrayutil
