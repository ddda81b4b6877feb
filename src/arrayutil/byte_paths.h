// Store strategies of the byte-level copy, zero and fill routines.
//
// Every routine picks one of three paths from the block size: short blocks are
// written with a few scalar moves picked by the bits of the count; other blocks
// get a head of small stores that brings the destination to 16-byte alignment,
// a body of 16-byte stores and a short tail; blocks that are both above a fixed
// threshold and at least half the last-level cache are written with
// cache-bypassing stores, so a huge copy or fill does not evict the caller's
// working set only to have the data evicted again before it is read.
#ifndef ORVU_ARRAYUTIL_BYTE_PATHS_H
#define ORVU_ARRAYUTIL_BYTE_PATHS_H

#include <cstddef>
#include <cstdint>

namespace orvu::arrayutil {

// Size limits of the paths, in bytes.
inline constexpr size_t kShortCopyBelow = 64;
inline constexpr size_t kShortFillBelow = 16;
inline constexpr size_t kLargeCopyFrom = size_t{1} << 20;   // copy
inline constexpr size_t kLargeZeroFrom = size_t{512} << 10; // zero and 8-bit fill
inline constexpr size_t kLargeFillFrom = size_t{1} << 20;   // 16- to 128-bit fills

// Size in bytes of the largest data cache the processor reports, 0 if none is
// found. Asked once; later calls return the remembered answer.
size_t last_level_cache_bytes();

// True when a block of `bytes` at or above `threshold` should bypass the cache:
// a cache size is known and the block is at least half of it.
bool use_streaming_stores(size_t bytes, size_t threshold);

// A fill pattern: 16 bytes whose period divides 16, stored twice so that any
// 16-byte window starting at phase 0..15 can be read with one unaligned load.
struct FillPattern {
    alignas(16) uint8_t bytes[32];
};
FillPattern make_pattern(const void* element, size_t element_size);

// The paths themselves (callers choose; each handles any n it is given, with
// the normal and streaming paths expecting at least 16 bytes).
void copy_short(uint8_t* dst, const uint8_t* src, size_t n);
void copy_normal(uint8_t* dst, const uint8_t* src, size_t n);
void copy_streaming(uint8_t* dst, const uint8_t* src, size_t n);
void fill_short(uint8_t* dst, size_t n, const FillPattern& p);
void fill_normal(uint8_t* dst, size_t n, const FillPattern& p);
void fill_streaming(uint8_t* dst, size_t n, const FillPattern& p);

// Whole routines: path choice plus work. `large_from` is the threshold of the
// streaming path for this kind of fill.
void copy_bytes(void* dst, const void* src, size_t n);
void fill_bytes(void* dst, size_t n, const FillPattern& p, size_t large_from);

}  // namespace orvu::arrayutil

#endif
