// Symmetric matrices in the caller's storage: full p x p, lower triangle
// packed row by row (code bit 0x1) or upper triangle packed row by row
// (code bit 0x2, tested first). Row-by-row lower packing is the
// column-by-column upper packing of LAPACK, and the other way round.
#pragma once

#include <cstdint>
#include <utility>

namespace orvu::ss {

enum MtxLayout : int { kFull = 0, kLowerPacked = 1, kUpperPacked = 2 };

inline int64_t sym_offset(int layout, int64_t p, int64_t i, int64_t j) {
    switch (layout) {
    case kLowerPacked:
        if (j > i) std::swap(i, j);
        return i * (i + 1) / 2 + j;
    case kUpperPacked:
        if (j < i) std::swap(i, j);
        return i * p - i * (i - 1) / 2 + (j - i);
    default:
        return i * p + j;
    }
}

// Stores v as element (i, j) and, in full storage, as (j, i).
template <class T, class V>
inline void put_sym(T* m, int layout, int64_t p, int64_t i, int64_t j, V v) {
    m[sym_offset(layout, p, i, j)] = static_cast<T>(v);
    if (layout == kFull) m[j * p + i] = static_cast<T>(v);
}

template <class T>
inline double get_sym(const T* m, int layout, int64_t p, int64_t i, int64_t j) {
    return static_cast<double>(m[sym_offset(layout, p, i, j)]);
}

}  // namespace orvu::ss
