// Status codes of the array utilities and the argument checks they share.
#ifndef ORVU_ARRAYUTIL_STATUS_H
#define ORVU_ARRAYUTIL_STATUS_H

#include <cstddef>
#include <cstdint>

namespace orvu::arrayutil {

enum Status : int32_t {
    kOk = 0,
    kBadSize = -6,     // length below 1, or stride below the element size
    kNullPointer = -8, // a required pointer is null
};

// Pointers first, then the length: a call with both faults reports -8.
template <class... P>
constexpr Status check(int32_t len, const P*... ptrs) {
    const bool any_null = (... || (ptrs == nullptr));
    if (any_null) return kNullPointer;
    return len < 1 ? kBadSize : kOk;
}

// True when `count` items of `size` bytes span an address range that exists:
// a 32-bit size_t cannot hold every length times every element size or stride.
constexpr bool fits_in_memory(int32_t count, uint64_t size) {
    return static_cast<uint64_t>(count < 0 ? 0 : count) * size <= SIZE_MAX;
}

}  // namespace orvu::arrayutil

#endif
