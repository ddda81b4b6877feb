/* Argument shapes, element types and names of the vector-math functions.
 * Macro machinery behind orvu_kex.h: every prototype, table and entry point
 * is produced from the rows of orvu_kex_functions.def through these macros. */
#ifndef ORVU_KEX_SHAPES_H
#define ORVU_KEX_SHAPES_H

#include "orvu_base.h"

/* Complex elements: real part first, as the arrays are laid out. */
typedef struct OrvuComplex8 { float re, im; } OrvuComplex8;
typedef struct OrvuComplex16 { double re, im; } OrvuComplex16;

#define KEX_CAT_(a, b) a##b
#define KEX_CAT(a, b) KEX_CAT_(a, b)
#define KEX_EXPAND(...) __VA_ARGS__

/* Element type and its real type, by type letter. */
#define KEX_T_s float
#define KEX_T_d double
#define KEX_T_c OrvuComplex8
#define KEX_T_z OrvuComplex16
#define KEX_R_s float
#define KEX_R_d double
#define KEX_R_c float
#define KEX_R_z double

/* Kernel parameter lists (KSIG) and the names they bind (KARGS). */
#define KEX_KSIG_unary(t)      (int32_t n, const KEX_T_##t* a, KEX_T_##t* r)
#define KEX_KARGS_unary        (n, a, r)
#define KEX_KSIG_binary(t)     (int32_t n, const KEX_T_##t* a, const KEX_T_##t* b, KEX_T_##t* r)
#define KEX_KARGS_binary       (n, a, b, r)
#define KEX_KSIG_powx(t)       (int32_t n, const KEX_T_##t* a, KEX_T_##t b, KEX_T_##t* r)
#define KEX_KARGS_powx         (n, a, b, r)
#define KEX_KSIG_linearfrac(t) (int32_t n, const KEX_T_##t* a, const KEX_T_##t* b, KEX_T_##t sa, \
                                KEX_T_##t oa, KEX_T_##t sb, KEX_T_##t ob, KEX_T_##t* r)
#define KEX_KARGS_linearfrac   (n, a, b, sa, oa, sb, ob, r)
#define KEX_KSIG_two(t)        (int32_t n, const KEX_T_##t* a, KEX_T_##t* r1, KEX_T_##t* r2)
#define KEX_KARGS_two          (n, a, r1, r2)
#define KEX_KSIG_c2r(t)        (int32_t n, const KEX_T_##t* a, KEX_R_##t* r)
#define KEX_KARGS_c2r          (n, a, r)
#define KEX_KSIG_r2c(t)        (int32_t n, const KEX_R_##t* a, KEX_T_##t* r)
#define KEX_KARGS_r2c          (n, a, r)
/* Pack and unpack kernels take 64-bit integer slots and a width flag: with
 * flag 1 only the low 32 bits of n and of the increments count, and index or
 * mask arrays hold int32_t; with any other flag they are 64-bit. */
#define KEX_KSIG_packI(t)   (int64_t n, const KEX_T_##t* a, int64_t inca, KEX_T_##t* y, int32_t flag)
#define KEX_KARGS_packI     (n, a, inca, y, flag)
#define KEX_KSIG_packV(t)   (int64_t n, const KEX_T_##t* a, const void* ia, KEX_T_##t* y, int32_t flag)
#define KEX_KARGS_packV     (n, a, ia, y, flag)
#define KEX_KSIG_packM(t)   (int64_t n, const KEX_T_##t* a, const void* ma, KEX_T_##t* y, int32_t flag)
#define KEX_KARGS_packM     (n, a, ma, y, flag)
#define KEX_KSIG_unpackI(t) (int64_t n, const KEX_T_##t* a, KEX_T_##t* y, int64_t incy, int32_t flag)
#define KEX_KARGS_unpackI   (n, a, y, incy, flag)
#define KEX_KSIG_unpackV(t) (int64_t n, const KEX_T_##t* a, KEX_T_##t* y, const void* iy, int32_t flag)
#define KEX_KARGS_unpackV   (n, a, y, iy, flag)
#define KEX_KSIG_unpackM(t) (int64_t n, const KEX_T_##t* a, KEX_T_##t* y, const void* my, int32_t flag)
#define KEX_KARGS_unpackM   (n, a, y, my, flag)

/* Entry-point parameter lists (ESIG) and what they pass on (ECALL). Only the
 * pack and unpack entry points differ from their kernels: 32-bit integers in,
 * and the width flag 1 added. */
#define KEX_ESIG_unary(t)      KEX_KSIG_unary(t)
#define KEX_ECALL_unary        KEX_KARGS_unary
#define KEX_ESIG_binary(t)     KEX_KSIG_binary(t)
#define KEX_ECALL_binary       KEX_KARGS_binary
#define KEX_ESIG_powx(t)       KEX_KSIG_powx(t)
#define KEX_ECALL_powx         KEX_KARGS_powx
#define KEX_ESIG_linearfrac(t) KEX_KSIG_linearfrac(t)
#define KEX_ECALL_linearfrac   KEX_KARGS_linearfrac
#define KEX_ESIG_two(t)        KEX_KSIG_two(t)
#define KEX_ECALL_two          KEX_KARGS_two
#define KEX_ESIG_c2r(t)        KEX_KSIG_c2r(t)
#define KEX_ECALL_c2r          KEX_KARGS_c2r
#define KEX_ESIG_r2c(t)        KEX_KSIG_r2c(t)
#define KEX_ECALL_r2c          KEX_KARGS_r2c
#define KEX_ESIG_packI(t)   (int32_t n, const KEX_T_##t* a, int32_t inca, KEX_T_##t* y)
#define KEX_ECALL_packI     (n, a, inca, y, 1)
#define KEX_ESIG_packV(t)   (int32_t n, const KEX_T_##t* a, const int32_t* ia, KEX_T_##t* y)
#define KEX_ECALL_packV     (n, a, ia, y, 1)
#define KEX_ESIG_packM(t)   (int32_t n, const KEX_T_##t* a, const int32_t* ma, KEX_T_##t* y)
#define KEX_ECALL_packM     (n, a, ma, y, 1)
#define KEX_ESIG_unpackI(t) (int32_t n, const KEX_T_##t* a, KEX_T_##t* y, int32_t incy)
#define KEX_ECALL_unpackI   (n, a, y, incy, 1)
#define KEX_ESIG_unpackV(t) (int32_t n, const KEX_T_##t* a, KEX_T_##t* y, const int32_t* iy)
#define KEX_ECALL_unpackV   (n, a, y, iy, 1)
#define KEX_ESIG_unpackM(t) (int32_t n, const KEX_T_##t* a, KEX_T_##t* y, const int32_t* my)
#define KEX_ECALL_unpackM   (n, a, y, my, 1)

/* Kernel function type of a row: KEX_KFN(t, shape) names a typedef. */
#define KEX_KFN(t, shape) KEX_CAT(KEX_CAT(KexKernel_, t), shape)

/* Names. */
#define KEX_FLAGS_LA ynn
#define KEX_FLAGS_HA ynn
#define KEX_FLAGS_EP nnn
#define KEX_KERNEL_NAME(t, fn, isa, acc) KEX_CAT(orvu_kex_kernel_##t##fn##_##isa##acc, KEX_FLAGS_##acc)
#define KEX_TTAB(t, fn) orvu_kex_kernel_##t##fn##_ttab
#define KEX_CTAB(t, fn) orvu_kex_kernel_##t##fn##_ctab
#define KEX_LA_SUFFIX_s _21
#define KEX_LA_SUFFIX_c _21
#define KEX_LA_SUFFIX_d _50
#define KEX_LA_SUFFIX_z _50
#define KEX_EP_SUFFIX_s _11
#define KEX_EP_SUFFIX_c _11
#define KEX_EP_SUFFIX_d _26
#define KEX_EP_SUFFIX_z _26

/* Row switches and slot filters. */
#define KEX_IF_0(...)
#define KEX_IF_1(...) __VA_ARGS__
/* A slot defines its kernel when the kernel's tag is the slot's own flavour. */
#define KEX_OWN_LA_LA(...) __VA_ARGS__
#define KEX_OWN_LA_HA(...)
#define KEX_OWN_LA_EP(...)
#define KEX_OWN_HA_LA(...)
#define KEX_OWN_HA_HA(...) __VA_ARGS__
#define KEX_OWN_HA_EP(...)
#define KEX_OWN_EP_LA(...)
#define KEX_OWN_EP_HA(...)
#define KEX_OWN_EP_EP(...) __VA_ARGS__
/* Slot cells are (isa, acc, cost). */
#define KEX_COST_(isa, acc, cost) cost
#define KEX_COST(cell) KEX_COST_ cell

/* KEX_FOR_OWN_KERNELS(M, t, fn, shape, la, ha, ep) expands M(t, fn, shape, isa, acc)
 * once per distinct kernel of the row. */
#define KEX_OWN_J(slot, M, t, fn, shape, isa, acc, cost) KEX_OWN_##slot##_##acc(M(t, fn, shape, isa, acc))
#define KEX_OWN_I(...) KEX_OWN_J(__VA_ARGS__)
#define KEX_OWN(slot, M, t, fn, shape, cell) KEX_OWN_I(slot, M, t, fn, shape, KEX_EXPAND cell)
#define KEX_FOR_OWN_KERNELS(M, t, fn, shape, la, ha, ep) \
    KEX_OWN(LA, M, t, fn, shape, la) KEX_OWN(HA, M, t, fn, shape, ha) KEX_OWN(EP, M, t, fn, shape, ep)

/* KEX_SLOT_KERNEL(t, fn, cell) is the kernel name held by a slot. */
#define KEX_SLOT_J(t, fn, isa, acc, cost) KEX_KERNEL_NAME(t, fn, isa, acc)
#define KEX_SLOT_I(...) KEX_SLOT_J(__VA_ARGS__)
#define KEX_SLOT_KERNEL(t, fn, cell) KEX_SLOT_I(t, fn, KEX_EXPAND cell)

#endif /* ORVU_KEX_SHAPES_H */
