// Reading the option characters of the Fortran calling convention for the
// platform's own BLAS loops. Upper and lower case are accepted, as BLAS does.
#ifndef ORVU_PLATFORM_BLAS_OPTIONS_H
#define ORVU_PLATFORM_BLAS_OPTIONS_H

#include <cstdint>

namespace orvu::platform {

// -1 when the character is neither of the two letters, else 0 for `no`
// and 1 for `yes`.
inline int option(const char* c, char yes, char no) {
    if (c == nullptr) return -1;
    char u = (*c >= 'a' && *c <= 'z') ? static_cast<char>(*c - 'a' + 'A') : *c;
    if (u == yes) return 1;
    if (u == no) return 0;
    return -1;
}

// Transposition: 'T' and 'C' (the same for real matrices) against 'N'.
inline int trans_option(const char* c) {
    int t = option(c, 'T', 'N');
    return t >= 0 ? t : option(c, 'C', 'N');
}

inline int32_t at_least_one(int32_t v) { return v > 1 ? v : 1; }

// Offset of element (r, c) of a column-major matrix; 64-bit so that large
// leading dimensions cannot overflow on 32-bit targets.
inline int64_t at(int32_t r, int32_t c, int32_t ld) { return r + static_cast<int64_t>(c) * ld; }

}  // namespace orvu::platform

#endif
