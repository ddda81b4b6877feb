// Every block of the random family comes from the service layer, 128-aligned,
// and every size this family derives from caller integers goes through
// checked_size first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "orvu_serv.h"

namespace ptz {

// count * unit + extra stored in *out when every operand is non-negative and
// the result fits Out: uint32_t for a block of the service layer, size_t for a
// byte extent in the caller's memory (32 bits on i386), int32_t for a size the
// interface reports. False, *out untouched, when it cannot be represented.
template <class Out>
bool checked_size(int64_t count, int64_t unit, int64_t extra, Out* out) {
    if (count < 0 || unit < 0 || extra < 0) return false;
    const uint64_t limit = uint64_t(std::numeric_limits<Out>::max());
    const uint64_t c = uint64_t(count), u = uint64_t(unit), e = uint64_t(extra);
    if (u != 0 && c > limit / u) return false;
    if (e > limit - c * u) return false;
    *out = Out(c * u + e);
    return true;
}

// Whether n elements of type T can lie in the caller's memory at all (on
// i386, 2^28 WH words already cover the address space): a request that
// cannot is refused before anything is written.
template <class T>
bool extent_fits(int32_t n) {
    size_t bytes = 0;
    return checked_size(n, int64_t(sizeof(T)), 0, &bytes);
}

inline void* allocate(uint32_t bytes) { return orvu_serv_allocate(bytes, 128); }
inline void deallocate(void* p) { orvu_serv_deallocate(p); }

}  // namespace ptz
