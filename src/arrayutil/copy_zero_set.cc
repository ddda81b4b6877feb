// Copy, zero and fill entries: argument checks, then the byte-level paths,
// called directly (not through the exported byte-level routines, which would
// cost an indirect call through the linkage table on every short block).
// Element types of equal size share one body; fills go by the bit pattern of
// the value, so float and integer variants of a size are the same fill.
#include "arrayutil/byte_paths.h"
#include "arrayutil/status.h"
#include "orvu_arrayutil.h"

namespace {
namespace au = orvu::arrayutil;
using au::check;
using au::kOk;

// The argument checks, plus a length whose byte count would not fit in
// size_t (possible only with a 32-bit size_t) reported as a bad length.
template <size_t Size, class... P>
int32_t check_block(int32_t len, const P*... ptrs) {
    if (auto s = check(len, ptrs...); s != kOk) return s;
    return au::fits_in_memory(len, Size) ? kOk : au::kBadSize;
}

template <size_t Size>
int32_t copy_entry(const void* src, void* dst, int32_t len) {
    if (auto s = check_block<Size>(len, src, dst); s != kOk) return s;
    au::copy_bytes(dst, src, static_cast<size_t>(len) * Size);
    return kOk;
}

template <size_t Size>
int32_t zero_entry(void* dst, int32_t len) {
    if (auto s = check_block<Size>(len, dst); s != kOk) return s;
    au::fill_bytes(dst, static_cast<size_t>(len) * Size, au::pattern_of(uint8_t{0}), au::kLargeZeroFrom);
    return kOk;
}

// The byte fill shares the zero's threshold; the wider fills (a complex pair
// of 8- or 16-bit halves is one 16- or 32-bit pattern, a pair of 32-bit halves
// one 64-bit pattern) have their own.
template <class T>
int32_t set_entry(const T& value, T* dst, int32_t len) {
    if (auto s = check_block<sizeof(T)>(len, dst); s != kOk) return s;
    constexpr size_t large_from = sizeof(T) == 1 ? au::kLargeZeroFrom : au::kLargeFillFrom;
    au::fill_bytes(dst, static_cast<size_t>(len) * sizeof(T), au::pattern_of(value), large_from);
    return kOk;
}

}  // namespace

extern "C" {
#define ORVU_DEFINE_FILL(sfx, T) \
    int32_t orvu_dft_c5h2_yobsCopy_##sfx(const T* src, T* dst, int32_t len) { return copy_entry<sizeof(T)>(src, dst, len); } \
    int32_t orvu_dft_c5h2_yobsZero_##sfx(T* dst, int32_t len) { return zero_entry<sizeof(T)>(dst, len); } \
    int32_t orvu_dft_c5h2_yobsSet_##sfx(T value, T* dst, int32_t len) { return set_entry(value, dst, len); }
ORVU_ARRAYUTIL_ELEMENT_TYPES(ORVU_DEFINE_FILL)
#undef ORVU_DEFINE_FILL
}
