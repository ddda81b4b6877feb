// Pack and unpack (gather and scatter by increment, index list or mask) for
// all four element types; the loops are in pack_shapes.h, this file says how
// one element moves.
#pragma once

#include <cstring>

#include "kex/kernels/pack_shapes.h"
#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

namespace kex {
namespace KEX_LVL {

// Floats and complex elements move bit for bit.
template <class T>
struct BitCopy {
    static void copy(const T* src, T* dst) { std::memcpy(dst, src, sizeof(T)); }
};

// Doubles move through an x87 load and store: every value arrives unchanged
// except a signalling NaN, which arrives as its quiet NaN.
struct X87Copy {
    static void copy(const double* src, double* dst) {
        __asm__("fldl %1\n\tfstpl %0" : "=m"(*dst) : "m"(*src));
    }
};

template <class T> using ElemCopy = std::conditional_t<std::is_same_v<T, double>, X87Copy, BitCopy<T>>;

template <class T> struct OpFor<fn_PackI, acc_HA, T> { using type = ElemCopy<T>; };
template <class T> struct OpFor<fn_PackV, acc_HA, T> { using type = ElemCopy<T>; };
template <class T> struct OpFor<fn_PackM, acc_HA, T> { using type = ElemCopy<T>; };
template <class T> struct OpFor<fn_UnpackI, acc_HA, T> { using type = ElemCopy<T>; };
template <class T> struct OpFor<fn_UnpackV, acc_HA, T> { using type = ElemCopy<T>; };
template <class T> struct OpFor<fn_UnpackM, acc_HA, T> { using type = ElemCopy<T>; };

}  // namespace KEX_LVL
}  // namespace kex
