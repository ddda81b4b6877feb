/* Array utilities: copy, zero and fill of 8- to 128-bit elements, and least-
 * significant-digit radix sorts (in place, or as an index permutation).
 *
 * Every entry returns a status: 0 success, -8 a required pointer is null,
 * -6 a bad length or stride. Pointers are checked before lengths; nothing is
 * written when a check fails. No entry allocates memory or keeps state.
 * Lengths count elements; strides count bytes. */
#ifndef ORVU_ARRAYUTIL_H
#define ORVU_ARRAYUTIL_H

#include "orvu_base.h"

ORVU_EXTERN_C_BEGIN

/* Complex elements: real part first, then imaginary part. */
typedef struct Orvu16sc { int16_t re, im; } Orvu16sc;
typedef struct Orvu32sc { int32_t re, im; } Orvu32sc;
typedef struct Orvu32fc { float re, im; } Orvu32fc;
typedef struct Orvu64sc { int64_t re, im; } Orvu64sc;
typedef struct Orvu64fc { double re, im; } Orvu64fc;

#define ORVU_ARRAYUTIL_OK 0
#define ORVU_ARRAYUTIL_BAD_SIZE (-6)
#define ORVU_ARRAYUTIL_NULL_PTR (-8)

/* Element types of the copy, zero and fill entries: X(suffix, C type). */
#define ORVU_ARRAYUTIL_ELEMENT_TYPES(X) \
    X(8u, uint8_t) X(16s, int16_t) X(16sc, Orvu16sc) X(32f, float) X(32fc, Orvu32fc) \
    X(64f, double) X(64fc, Orvu64fc) X(32s, int32_t) X(32sc, Orvu32sc) X(64s, int64_t) X(64sc, Orvu64sc)

/* Key types of the radix sorts: X(suffix, C type). The index sorts take every
 * type of this list except 64f. */
#define ORVU_ARRAYUTIL_INDEX_SORT_TYPES(X) \
    X(32f, float) X(32s, int32_t) X(32u, uint32_t) X(16s, int16_t) X(16u, uint16_t) X(8u, uint8_t)
#define ORVU_ARRAYUTIL_SORT_TYPES(X) ORVU_ARRAYUTIL_INDEX_SORT_TYPES(X) X(64f, double)

/* Copy `len` elements from src to dst (the arrays must not overlap).
 * Zero `len` elements of dst. Fill `len` elements of dst with `value`. */
#define ORVU_ARRAYUTIL_DECLARE_FILL(sfx, T) \
    ORVU_API int32_t orvu_dft_c5h2_yobsCopy_##sfx(const T* src, T* dst, int32_t len); \
    ORVU_API int32_t orvu_dft_c5h2_yobsZero_##sfx(T* dst, int32_t len); \
    ORVU_API int32_t orvu_dft_c5h2_yobsSet_##sfx(T value, T* dst, int32_t len);

/* In-place sorts: `work` must hold `len` elements (the 8-bit sorts check it
 * for null but do not use it). Stable: equal keys keep their input order in
 * both directions. Floating-point keys are ordered by sign and bit pattern:
 * -NaN < -inf < ... < -0.0 < +0.0 < ... < +inf < +NaN (ascending).
 *
 * Index sorts: element i of the source is read at byte offset i * stride
 * (stride at least the element size); on return dstIdx[k] is the position of
 * the k-th smallest (Ascend) or largest (Descend) element, equal keys in
 * input order. `workIdx` holds `len` indices of scratch (not used by 8u).
 * The source is never written. */
#define ORVU_ARRAYUTIL_DECLARE_SORT(sfx, T) \
    ORVU_API int32_t orvu_dft_c5h2_yobsSortRadixAscend_##sfx##_I(T* data, T* work, int32_t len); \
    ORVU_API int32_t orvu_dft_c5h2_yobsSortRadixDescend_##sfx##_I(T* data, T* work, int32_t len);
#define ORVU_ARRAYUTIL_DECLARE_INDEX_SORT(sfx, T) \
    ORVU_API int32_t orvu_dft_c5h2_yobsSortRadixIndexAscend_##sfx( \
        const T* src, int32_t stride, int32_t* dstIdx, int32_t* workIdx, int32_t len); \
    ORVU_API int32_t orvu_dft_c5h2_yobsSortRadixIndexDescend_##sfx( \
        const T* src, int32_t stride, int32_t* dstIdx, int32_t* workIdx, int32_t len);

ORVU_ARRAYUTIL_ELEMENT_TYPES(ORVU_ARRAYUTIL_DECLARE_FILL)
ORVU_ARRAYUTIL_SORT_TYPES(ORVU_ARRAYUTIL_DECLARE_SORT)
ORVU_ARRAYUTIL_INDEX_SORT_TYPES(ORVU_ARRAYUTIL_DECLARE_INDEX_SORT)

/* Byte-level routines behind the entries above. They check nothing. Counts are
 * in bytes for copy and zero, in elements for the fills. Blocks large compared
 * with the processor's last-level cache are written with cache-bypassing
 * stores. */
ORVU_API void orvu_dft_c5h2_ownsCopy_8u(const void* src, void* dst, size_t bytes);
ORVU_API void orvu_dft_c5h2_ownsZero_8u(void* dst, size_t bytes);
ORVU_API void orvu_dft_c5h2_ownsSet_8u(uint8_t value, void* dst, size_t count);
ORVU_API void orvu_dft_c5h2_ownsSet_16u(uint16_t value, void* dst, size_t count);
ORVU_API void orvu_dft_c5h2_ownsSet_32s(int32_t value, void* dst, size_t count);
ORVU_API void orvu_dft_c5h2_ownsSet_64s(int64_t value, void* dst, size_t count);
ORVU_API void orvu_dft_c5h2_ownsSet_64sc(Orvu64sc value, void* dst, size_t count);

ORVU_EXTERN_C_END

#endif /* ORVU_ARRAYUTIL_H */
