// Copy, zero and fill entries: argument checks, then the byte-level routines.
// Element types of equal size share one body; fills go by the bit pattern of
// the value, so float and integer variants of a size are the same fill.
#include <cstring>

#include "arrayutil/status.h"
#include "orvu_arrayutil.h"

namespace {
using orvu::arrayutil::check;
using orvu::arrayutil::kOk;

template <class To, class From>
To bits_of(const From& v) {
    static_assert(sizeof(To) == sizeof(From));
    To t;
    std::memcpy(&t, &v, sizeof t);
    return t;
}

template <size_t Size>
int32_t copy_entry(const void* src, void* dst, int32_t len) {
    if (auto s = check(len, src, dst); s != kOk) return s;
    orvu_dft_c5h2_ownsCopy_8u(src, dst, static_cast<size_t>(len) * Size);
    return kOk;
}

template <size_t Size>
int32_t zero_entry(void* dst, int32_t len) {
    if (auto s = check(len, dst); s != kOk) return s;
    orvu_dft_c5h2_ownsZero_8u(dst, static_cast<size_t>(len) * Size);
    return kOk;
}

// Element size -> fill routine; a complex pair of 8- or 16-bit halves is one
// 16- or 32-bit pattern, a pair of 32-bit halves one 64-bit pattern.
template <class T>
int32_t set_entry(const T& value, T* dst, int32_t len) {
    if (auto s = check(len, dst); s != kOk) return s;
    const auto n = static_cast<size_t>(len);
    if constexpr (sizeof(T) == 1) orvu_dft_c5h2_ownsSet_8u(bits_of<uint8_t>(value), dst, n);
    else if constexpr (sizeof(T) == 2) orvu_dft_c5h2_ownsSet_16u(bits_of<uint16_t>(value), dst, n);
    else if constexpr (sizeof(T) == 4) orvu_dft_c5h2_ownsSet_32s(bits_of<int32_t>(value), dst, n);
    else if constexpr (sizeof(T) == 8) orvu_dft_c5h2_ownsSet_64s(bits_of<int64_t>(value), dst, n);
    else orvu_dft_c5h2_ownsSet_64sc(bits_of<Orvu64sc>(value), dst, n);
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
