// Exported radix sort entries: every type of the sort lists, both directions.
#include "arrayutil/radix_sort.h"

using orvu::arrayutil::sort_in_place;
using orvu::arrayutil::sort_index;

extern "C" {
#define ORVU_DEFINE_SORT(sfx, T) \
    int32_t orvu_dft_c5h2_yobsSortRadixAscend_##sfx##_I(T* data, T* work, int32_t len) { \
        return sort_in_place<T, false>(data, work, len); \
    } \
    int32_t orvu_dft_c5h2_yobsSortRadixDescend_##sfx##_I(T* data, T* work, int32_t len) { \
        return sort_in_place<T, true>(data, work, len); \
    }
#define ORVU_DEFINE_INDEX_SORT(sfx, T) \
    int32_t orvu_dft_c5h2_yobsSortRadixIndexAscend_##sfx(const T* src, int32_t stride, int32_t* dstIdx, \
                                                          int32_t* workIdx, int32_t len) { \
        return sort_index<T, false>(src, stride, dstIdx, workIdx, len); \
    } \
    int32_t orvu_dft_c5h2_yobsSortRadixIndexDescend_##sfx(const T* src, int32_t stride, int32_t* dstIdx, \
                                                           int32_t* workIdx, int32_t len) { \
        return sort_index<T, true>(src, stride, dstIdx, workIdx, len); \
    }
ORVU_ARRAYUTIL_SORT_TYPES(ORVU_DEFINE_SORT)
ORVU_ARRAYUTIL_INDEX_SORT_TYPES(ORVU_DEFINE_INDEX_SORT)
#undef ORVU_DEFINE_SORT
#undef ORVU_DEFINE_INDEX_SORT
}
