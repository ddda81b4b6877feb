/* Summary statistics: order-based estimates of a task (quantiles, order
 * statistics, extremes, absolute deviations, the weighted quantile and
 * streaming approximate quantiles), and the sorting helpers behind them.
 *
 * The compute routines take the task of orvu_ptz_stats.h and share its entry
 * checks (p, n, x, xStorage) and status codes. Results are written per
 * processed component (all p, or those j with indices[j] != 0, in increasing
 * j): quantiles of the c-th listed component at quantiles[c*K + k] for K
 * orders; min, max and the absolute deviations at component index j; order
 * statistics in the component's row (orderStatsStorage 0x10000, n sorted
 * values contiguous at j*n) or column (0x20000, value i at i*p + j).
 *
 * Quantile of order q over n values: h = q*(n-1), i = floor(h), f = h - i,
 * result (1-f)*v[i] + f*v[i+1] of the sorted values v (v[i] when f = 0).
 * Values are ordered as the array-utility radix sort orders them: negative
 * NaNs first, positive NaNs last, -0.0 before +0.0. */
#ifndef ORVU_PTZ_ORDER_H
#define ORVU_PTZ_ORDER_H

#include "orvu_ptz_stats.h"

ORVU_EXTERN_C_BEGIN

/* Streaming-quantile methods. */
/* 0x40: merge whole level portions (fewer, larger merges; usually the smaller
 * summary, scratch memory up to the call's n values per thread);
 * 0x80: merge chunks of about 1/(2 eps) values (scratch independent of n). */
#define ORVU_SS_METHOD_SQUANTS_LEVEL 0x40
#define ORVU_SS_METHOD_SQUANTS_CHUNK 0x80

/* ---- compute routines ---------------------------------------------------- */
/* Exact quantiles (mask 0x10000) and/or order statistics (0x20000); method
 * bit 0x1. A null threading table runs on the calling thread. */
ORVU_API int32_t _ptzdSSQuantiles(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                  int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSQuantiles(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                  int32_t reserved, const OrvuThreadingTable* threading);

/* Lowers `min` (mask 0x400) and raises `max` (0x800) with every observation:
 * the arrays' current values are the starting point, so successive calls
 * over portions of a data set give its extremes. NaN observations are
 * ignored. Method bit 0x1 or 0x2. */
ORVU_API int32_t _ptzdSSMinmax(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method);
ORVU_API int32_t _ptzsSSMinmax(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method);

/* Median absolute deviation (mask bit 33, method bit 0x1) and mean absolute
 * deviation (bit 34, method 0x1, or 0x100 to take the means from `mean`).
 * Both are unweighted. */
ORVU_API int32_t _ptzdSSMAD(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                            int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSMAD(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                            int32_t reserved, const OrvuThreadingTable* threading);

/* Weighted quantile of order quantOrders[0] into quantiles[c]. Each
 * observation of positive weight w sits at the centre of its stretch of the
 * cumulative weight axis; the centres of the smallest and largest value are
 * orders 0 and 1, and the result is interpolated linearly between the two
 * observations whose centres enclose the target (the observation's own
 * value when the target falls exactly on its centre). With equal weights
 * this is the quantile of _ptzdSSQuantiles. Zero-weight observations are
 * left out; a null weights array means equal weights. A negative or
 * non-finite weight, or a zero total, gives -4005. A component holding a NaN
 * gives NaN. */
ORVU_API int32_t _ptzdSSWMedian(SSTask* task);
ORVU_API int32_t _ptzsSSWMedian(SSTask* task);

/* Streaming epsilon-approximate quantiles: merges the task's current n
 * observations (n may be 0) into a per-component summary kept in the task,
 * then writes the requested orders into streamQuantiles[c*K + k]. The value
 * returned for order q has a rank within epsilon*N of 1 + q*(N-1) among the N
 * observations merged so far; orders 0 and 1 give the exact extremes. NaN
 * observations are skipped. epsilon = streamQuantParams[0], in (0, 1]. */
ORVU_API int32_t _ptzdSSStreamQuantiles(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                        int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSStreamQuantiles(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                        int32_t reserved, const OrvuThreadingTable* threading);

/* Clean-up hook of the streaming state, registered in the task by the first
 * streaming call and run by __ptzSSDeleteTask. Safe to call on a task
 * without streaming state. */
ORVU_API void __ptzSQuantilesFreeBuffers(SSTask* task);

/* ---- sorting helpers ------------------------------------------------------ */
/* The k-th smallest (0-based) of n values, reordering the array so that it
 * sits at index k with no larger value before it and no smaller one after.
 * Returns NaN, touching nothing, for a null array, n < 1 or k outside
 * [0, n). */
ORVU_API double __ptzdQSortSelect(int64_t n, double* a, int64_t k);
ORVU_API float __ptzsQSortSelect(int64_t n, float* a, int64_t k);

/* Ascending sort of the n values a[0], a[stride], ... (stride in elements),
 * in the radix-sort order above (NaNs grouped by sign, unordered among
 * themselves). Not stable. Returns 0, -8 for a null array, -6 for n < 1 or
 * stride < 1. */
ORVU_API int32_t __ptzdQSortStep(int64_t n, double* a, int64_t stride);
ORVU_API int32_t __ptzsQSortStep(int64_t n, float* a, int64_t stride);

/* Sorts n values ascending and applies the same permutation to `weights`.
 * Returns 0, -8 for a null array, -6 for n < 1. */
ORVU_API int32_t _vdSSQuickMapSort(int64_t n, double* values, double* weights);
ORVU_API int32_t _vsSSQuickMapSort(int64_t n, float* values, float* weights);

ORVU_EXTERN_C_END

#endif /* ORVU_PTZ_ORDER_H */
