// What a basic-statistics kernel is given: the data, the observation block
// and the processed components, and how it reads one value and one weight.
#pragma once

#include <cstdint>

#include "ptz/stats/basic_state.h"

namespace orvu::ss {

template <class T>
struct KernelArgs {
    const T* x;
    const T* w;             // null: all weights 1
    int64_t ld;             // n for rows, p for columns
    int64_t i0, i1;         // observation block
    const int64_t* comp;    // processed components
    int64_t q;
    const double* shift;    // fast method: the centre of the power sums (null: the block's first observation)
    int64_t block;          // observations per block of the cross-product (block_rows of the dimension)
};

template <class T>
using BasicKernel = void (*)(const KernelArgs<T>&, Partial&);

template <bool Cols, class T>
inline double elem(const KernelArgs<T>& a, int64_t i, int64_t c) {
    return Cols ? static_cast<double>(a.x[i * a.ld + a.comp[c]]) : static_cast<double>(a.x[a.comp[c] * a.ld + i]);
}
template <bool Weighted, class T>
inline double weight(const KernelArgs<T>& a, int64_t i) {
    if constexpr (Weighted) return static_cast<double>(a.w[i]);
    return 1.0;
}

}  // namespace orvu::ss
