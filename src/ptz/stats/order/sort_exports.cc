// The exported selection and comparison sorts: k-th smallest, strided sort
// and the value/weight sort of the weighted quantile.
#include "orvu_ptz_order.h"
#include "ptz/stats/order/sort_core.h"

#include <limits>

namespace orvu::ss::order {
namespace {

constexpr int32_t kNullPtr = -8;   // the array utilities' codes, as these are sorts too
constexpr int32_t kBadSize = -6;

template <class T>
T select(int64_t n, T* a, int64_t k) {
    if (!a || n < 1 || k < 0 || k >= n) return std::numeric_limits<T>::quiet_NaN();
    Contig<T> acc{a};
    int64_t lo, hi;
    split_nans(acc, n, &lo, &hi);
    if (k >= lo && k < hi) select_in(acc, lo, hi, k);
    return a[k];
}

template <class T>
int32_t sort_step(int64_t n, T* a, int64_t stride) {
    if (!a) return kNullPtr;
    if (n < 1 || stride < 1) return kBadSize;
    if (stride == 1) {
        Contig<T> acc{a};
        sort_total(acc, n);
    } else {
        Strided<T> acc{a, stride};
        sort_total(acc, n);
    }
    return 0;
}

template <class T>
int32_t map_sort(int64_t n, T* v, T* w) {
    if (!v || !w) return kNullPtr;
    if (n < 1) return kBadSize;
    Paired<T> acc{v, w};
    sort_total(acc, n);
    return 0;
}

}  // namespace
}  // namespace orvu::ss::order

using namespace orvu::ss::order;

extern "C" {

ORVU_API double __ptzdQSortSelect(int64_t n, double* a, int64_t k) { return select(n, a, k); }
ORVU_API float __ptzsQSortSelect(int64_t n, float* a, int64_t k) { return select(n, a, k); }
ORVU_API int32_t __ptzdQSortStep(int64_t n, double* a, int64_t stride) { return sort_step(n, a, stride); }
ORVU_API int32_t __ptzsQSortStep(int64_t n, float* a, int64_t stride) { return sort_step(n, a, stride); }
ORVU_API int32_t _vdSSQuickMapSort(int64_t n, double* v, double* w) { return map_sort(n, v, w); }
ORVU_API int32_t _vsSSQuickMapSort(int64_t n, float* v, float* w) { return map_sort(n, v, w); }

}  // extern "C"
