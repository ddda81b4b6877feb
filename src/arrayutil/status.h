// Status codes of the array utilities and the argument checks they share.
#ifndef ORVU_ARRAYUTIL_STATUS_H
#define ORVU_ARRAYUTIL_STATUS_H

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

}  // namespace orvu::arrayutil

#endif
