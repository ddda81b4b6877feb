// Shape runners of the pack and unpack kernels: plain loops in element order.
// The width flag says how the integer arguments were passed: 1 means 32-bit
// (only the low halves of n and of the increment count, index and mask
// arrays hold int32_t); any other value means 64-bit (index entries use their
// low 32 bits, a mask entry is set when either half is non-zero). Indices and
// increments are trusted.
#pragma once

#include <cstdint>

#include "kex/simd/level.h"

namespace kex {
namespace KEX_LVL {

struct PackArgs {
    int64_t n;
    int64_t inc;
    const void* list;  // index or mask array
    bool narrow;

    PackArgs(int64_t n_, int64_t inc_, const void* list_, int32_t flag)
        : n(flag == 1 ? static_cast<int32_t>(n_) : n_),
          inc(flag == 1 ? static_cast<int32_t>(inc_) : inc_),
          list(list_),
          narrow(flag == 1) {}
    int64_t index(int64_t i) const {
        return narrow ? static_cast<const int32_t*>(list)[i]
                      : static_cast<int32_t>(static_cast<const int64_t*>(list)[i]);
    }
    bool selected(int64_t i) const {
        return narrow ? static_cast<const int32_t*>(list)[i] != 0 : static_cast<const int64_t*>(list)[i] != 0;
    }
};

// Op::copy(src, dst) moves one element.
template <class Op, class T>
void run_packI(const char*, int64_t n, const T* a, int64_t inca, T* y, int32_t flag) {
    const PackArgs p(n, inca, nullptr, flag);
    for (int64_t i = 0; i < p.n; ++i) Op::copy(a + i * p.inc, y + i);
}
template <class Op, class T>
void run_packV(const char*, int64_t n, const T* a, const void* ia, T* y, int32_t flag) {
    const PackArgs p(n, 0, ia, flag);
    for (int64_t i = 0; i < p.n; ++i) Op::copy(a + p.index(i), y + i);
}
template <class Op, class T>
void run_packM(const char*, int64_t n, const T* a, const void* ma, T* y, int32_t flag) {
    const PackArgs p(n, 0, ma, flag);
    int64_t j = 0;
    for (int64_t i = 0; i < p.n; ++i)
        if (p.selected(i)) Op::copy(a + i, y + j++);
}
template <class Op, class T>
void run_unpackI(const char*, int64_t n, const T* a, T* y, int64_t incy, int32_t flag) {
    const PackArgs p(n, incy, nullptr, flag);
    for (int64_t i = 0; i < p.n; ++i) Op::copy(a + i, y + i * p.inc);
}
template <class Op, class T>
void run_unpackV(const char*, int64_t n, const T* a, T* y, const void* iy, int32_t flag) {
    const PackArgs p(n, 0, iy, flag);
    for (int64_t i = 0; i < p.n; ++i) Op::copy(a + i, y + p.index(i));
}
template <class Op, class T>
void run_unpackM(const char*, int64_t n, const T* a, T* y, const void* my, int32_t flag) {
    const PackArgs p(n, 0, my, flag);
    int64_t j = 0;
    for (int64_t i = 0; i < p.n; ++i)
        if (p.selected(i)) Op::copy(a + j++, y + i);
}

}  // namespace KEX_LVL
}  // namespace kex
