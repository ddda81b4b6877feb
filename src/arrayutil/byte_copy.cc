// Byte-level copy: short, aligned and streaming paths.
#include <emmintrin.h>

#include <cstring>

#include "arrayutil/byte_paths.h"

namespace orvu::arrayutil {
namespace {

template <size_t N>
inline void move(uint8_t* d, const uint8_t* s) { std::memcpy(d, s, N); }

inline __m128i load(const uint8_t* s) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)); }
inline __m128i load_aligned(const uint8_t* s) { return _mm_load_si128(reinterpret_cast<const __m128i*>(s)); }
inline void store(uint8_t* d, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(d), v); }
inline void store_nt(uint8_t* d, __m128i v) { _mm_stream_si128(reinterpret_cast<__m128i*>(d), v); }

// Small stores that bring dst to 16-byte alignment; returns the bytes moved.
size_t copy_head(uint8_t* dst, const uint8_t* src) {
    size_t k = (0 - reinterpret_cast<uintptr_t>(dst)) & 15;
    size_t o = 0;
    if (k & 1) { move<1>(dst + o, src + o); o += 1; }
    if (k & 2) { move<2>(dst + o, src + o); o += 2; }
    if (k & 4) { move<4>(dst + o, src + o); o += 4; }
    if (k & 8) { move<8>(dst + o, src + o); o += 8; }
    return k;
}

// Body over whole 16-byte blocks, dst aligned. Aligned source loads when the
// source shares the destination's alignment.
template <bool SourceAligned, bool Streaming>
void copy_blocks(uint8_t* dst, const uint8_t* src, size_t blocks) {
    auto ld = [](const uint8_t* s) { return SourceAligned ? load_aligned(s) : load(s); };
    auto st = [](uint8_t* d, __m128i v) { if (Streaming) store_nt(d, v); else store(d, v); };
    size_t i = 0;
    for (; i + 4 <= blocks; i += 4) {
        __m128i a = ld(src + 16 * i), b = ld(src + 16 * i + 16);
        __m128i c = ld(src + 16 * i + 32), d = ld(src + 16 * i + 48);
        st(dst + 16 * i, a); st(dst + 16 * i + 16, b);
        st(dst + 16 * i + 32, c); st(dst + 16 * i + 48, d);
    }
    for (; i < blocks; ++i) st(dst + 16 * i, ld(src + 16 * i));
}

template <bool Streaming>
void copy_blocks_any(uint8_t* dst, const uint8_t* src, size_t blocks) {
    if ((reinterpret_cast<uintptr_t>(src) & 15) == 0) copy_blocks<true, Streaming>(dst, src, blocks);
    else copy_blocks<false, Streaming>(dst, src, blocks);
}

// Same body walked from the end. Used when the destination lies just above
// the source modulo 4 KiB: walking forward, each load would then share its
// low 12 address bits with a store issued a few instructions earlier, and the
// processor would stall it as a possible store-to-load dependence.
void copy_blocks_backward(uint8_t* dst, const uint8_t* src, size_t blocks) {
    size_t i = blocks;
    for (; i >= 4; i -= 4) {
        __m128i d = load(src + 16 * i - 16), c = load(src + 16 * i - 32);
        __m128i b = load(src + 16 * i - 48), a = load(src + 16 * i - 64);
        store(dst + 16 * i - 16, d); store(dst + 16 * i - 32, c);
        store(dst + 16 * i - 48, b); store(dst + 16 * i - 64, a);
    }
    for (; i > 0; --i) store(dst + 16 * i - 16, load(src + 16 * i - 16));
}

// Distance below which the forward loop runs into the stall above: the depth
// of the loads in flight in one unrolled iteration plus a margin (160 bytes).
constexpr uintptr_t kAliasWindow = 160;

bool destination_just_above(const uint8_t* dst, const uint8_t* src) {
    uintptr_t gap = (reinterpret_cast<uintptr_t>(dst) - reinterpret_cast<uintptr_t>(src)) & 4095;
    return gap != 0 && gap < kAliasWindow;
}

// Size of the portions of the streaming copy: the source portion is first read
// into the cache one byte per 64-byte line, then streamed out.
constexpr size_t kStreamChunk = size_t{256} << 10;
constexpr size_t kLine = 64;

}  // namespace

void copy_short(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t o = 0;
    if (n & 32) { move<32>(dst + o, src + o); o += 32; }
    if (n & 16) { move<16>(dst + o, src + o); o += 16; }
    if (n & 8) { move<8>(dst + o, src + o); o += 8; }
    if (n & 4) { move<4>(dst + o, src + o); o += 4; }
    if (n & 2) { dst[o] = src[o]; dst[o + 1] = src[o + 1]; o += 2; }
    if (n & 1) { dst[o] = src[o]; }
}

void copy_normal(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t k = copy_head(dst, src);
    dst += k, src += k, n -= k;
    size_t blocks = n / 16;
    if (destination_just_above(dst, src)) copy_blocks_backward(dst, src, blocks);
    else copy_blocks_any<false>(dst, src, blocks);
    copy_short(dst + 16 * blocks, src + 16 * blocks, n & 15);
}

void copy_streaming(uint8_t* dst, const uint8_t* src, size_t n) {
    size_t k = copy_head(dst, src);
    dst += k, src += k, n -= k;
    size_t blocks = n / 16;
    for (size_t done = 0; done < blocks;) {
        size_t step = blocks - done < kStreamChunk / 16 ? blocks - done : kStreamChunk / 16;
        const uint8_t* s = src + 16 * done;
        // Touch every line of the portion first: the loads then hit the cache
        // while the streaming stores drain, instead of alternating with them.
        unsigned touch = 0;
        for (size_t b = 0; b < 16 * step; b += kLine) touch += s[b];
        __asm__ volatile("" : : "r"(touch));
        copy_blocks_any<true>(dst + 16 * done, s, step);
        done += step;
    }
    _mm_sfence();  // streaming stores are weakly ordered: publish them
    copy_short(dst + 16 * blocks, src + 16 * blocks, n & 15);
}

void copy_bytes(void* dst_, const void* src_, size_t n) {
    auto* dst = static_cast<uint8_t*>(dst_);
    auto* src = static_cast<const uint8_t*>(src_);
    if (n < kShortCopyBelow) copy_short(dst, src, n);
    else if (use_streaming_stores(n, kLargeCopyFrom)) copy_streaming(dst, src, n);
    else copy_normal(dst, src, n);
}

}  // namespace orvu::arrayutil
