/* Summary statistics: the task record, its editors and the compute routines
 * for basic statistics and the matrix estimates.
 *
 * A task names the caller's data set and the caller's result arrays; it never
 * copies data. Integer parameters (p, n, storage codes, counts, indices) are
 * read through the caller's pointers at every call, as 32-bit integers, or as
 * 64-bit integers when the task was created with a non-null int64 marker.
 *
 * Symmetric matrix storage codes (cov, cor, cp, partial and pooled
 * matrices, paramCor): 0 full p x p (both triangles written); bit 0x2 set:
 * upper triangle packed row by row, element (i, j), i <= j, at
 * i*p - i*(i-1)/2 + (j - i); else bit 0x1 set: lower triangle packed row by
 * row, element (i, j), j <= i, at i*(i+1)/2 + j. (Row-by-row lower packing is
 * the column-by-column upper packing of the same symmetric matrix.)
 *
 * The correlation output of the basic routine holds the correlations off the
 * diagonal and the variances on the diagonal, so that a later call can carry
 * the running cross-product on from the caller's array alone. */
#ifndef ORVU_PTZ_STATS_H
#define ORVU_PTZ_STATS_H

#include "orvu_base.h"
#include "orvu_serv.h"

ORVU_EXTERN_C_BEGIN

struct SSTask;
typedef void (*orvu_ss_hook)(struct SSTask* task);

/* The task record: 91 32-bit words on 32-bit x86 (pointer fields are
 * pointer-sized, so the record is larger on 64-bit targets). Integer-parameter
 * fields point to caller integers (int32_t, or int64_t with the marker). */
typedef struct SSTask {
    const void* int64Marker;
    uint8_t kind;            /* 2 for every task */
    uint8_t kindPad[3];
    int32_t isDouble;        /* 1: double-precision task, 0: single */
    const void* p;
    const void* n;
    const void* indices;
    const void* x;
    const void* weights;
    void* accumWeight;
    const void* xStorage;
    void* paramCor;
    const void* paramCorStorage;
    void* mean;
    void* rawMom2; void* rawMom3; void* rawMom4;
    void* cenMom2; void* cenMom3; void* cenMom4;
    void* sum;
    void* rawSum2; void* rawSum3; void* rawSum4;
    void* cenSum2; void* cenSum3; void* cenSum4;
    void* kurtosis;
    void* skewness;
    void* variation;
    void* min;
    void* max;
    const void* covStorage;
    void* cov;
    const void* corStorage;
    void* cor;
    const void* cpStorage;
    void* cp;
    const void* groupIndices;
    const void* reqGroupIndices;
    void* groupMeans;
    void* groupCov;
    const void* groupCovStorage;
    void* pooledMean;
    void* pooledCov;
    const void* pooledCovStorage;
    const void* quantOrderN;
    void* quantOrders;
    void* quantiles;
    void* orderStats;
    const void* orderStatsStorage;
    const void* streamQuantOrderN;
    void* streamQuantOrders;
    void* streamQuantiles;
    void* streamQuantState;
    const void* streamQuantParamsN;
    void* streamQuantParams;
    void* meanAbsDev;
    void* medianAbsDev;
    const void* robustParamsN;
    void* robustParams;
    void* robustMean;
    void* robustCov;
    const void* robustCovStorage;
    const void* outlierParamsN;
    void* outlierParams;
    void* outlierWeights;
    const void* partialCovIndices;
    void* partialCov;
    const void* partialCovStorage;
    void* partialCor;
    const void* partialCorStorage;
    const void* missingParamsN;
    void* missingParams;
    const void* initEstimatesN;
    void* initEstimates;
    const void* miCountA; void* miArrayA;
    const void* miCountB; void* miArrayB;
    const void* miCountC; void* miArrayC;
    uint32_t reserved[8];
    int32_t hookCount;
    orvu_ss_hook hooks;      /* the one clean-up hook, run by __ptzSSDeleteTask */
} SSTask;

/* Storage codes of x. */
#define ORVU_SS_X_ROWS    0x10000  /* component j of observation i at x[j*n + i] */
#define ORVU_SS_X_COLUMNS 0x20000  /* at x[i*p + j] */
#define ORVU_SS_MTX_FULL     0
#define ORVU_SS_MTX_L_PACKED 1
#define ORVU_SS_MTX_U_PACKED 2

/* Estimate mask bits (64-bit mask, passed as low and high words). */
#define ORVU_SS_MEAN      0x1ULL
#define ORVU_SS_RAW2      0x2ULL
#define ORVU_SS_RAW3      0x4ULL
#define ORVU_SS_RAW4      0x8ULL
#define ORVU_SS_CEN2      0x10ULL
#define ORVU_SS_CEN3      0x20ULL
#define ORVU_SS_CEN4      0x40ULL
#define ORVU_SS_KURTOSIS  0x80ULL
#define ORVU_SS_SKEWNESS  0x100ULL
#define ORVU_SS_VARIATION 0x200ULL
#define ORVU_SS_MIN       0x400ULL
#define ORVU_SS_MAX       0x800ULL
#define ORVU_SS_COV       0x1000ULL
#define ORVU_SS_COR       0x2000ULL
#define ORVU_SS_POOLED_COV 0x4000ULL
#define ORVU_SS_GROUP_COV 0x8000ULL
#define ORVU_SS_QUANTS    0x10000ULL
#define ORVU_SS_ORDER_STATS 0x20000ULL
#define ORVU_SS_PARTIAL_COV 0x100000ULL
#define ORVU_SS_PARTIAL_COR 0x200000ULL
#define ORVU_SS_SUM       0x2000000ULL
#define ORVU_SS_RAW_SUM2  0x4000000ULL
#define ORVU_SS_RAW_SUM3  0x8000000ULL
#define ORVU_SS_RAW_SUM4  0x10000000ULL
#define ORVU_SS_CEN_SUM2  0x20000000ULL
#define ORVU_SS_CEN_SUM3  0x40000000ULL
#define ORVU_SS_CEN_SUM4  0x80000000ULL
#define ORVU_SS_CP        (1ULL << 32)
#define ORVU_SS_MDAD      (1ULL << 33)
#define ORVU_SS_MNAD      (1ULL << 34)
#define ORVU_SS_POOLED_MEAN (1ULL << 35)
#define ORVU_SS_GROUP_MEANS (1ULL << 36)

/* Method bits. */
#define ORVU_SS_METHOD_FAST      0x1
#define ORVU_SS_METHOD_1PASS     0x2
#define ORVU_SS_METHOD_2PASS     0x100  /* one pass with the means given in `mean` */
#define ORVU_SS_METHOD_CP_TO_COVCOR 0x200
#define ORVU_SS_METHOD_SUM_TO_MOM   0x400
#define ORVU_SS_METHOD_PARTIAL   0x1   /* partial covariance */
#define ORVU_SS_METHOD_POOLED    0x2   /* pooled covariance */
#define ORVU_SS_METHOD_SD        0x4   /* correlation parametrization */
#define ORVU_SS_METHOD_TBS       0x8   /* robust covariance: translated-biweight S-estimator */
#define ORVU_SS_METHOD_BACON     0x20  /* outlier detection: BACON */
#define ORVU_SS_METHOD_MI        0x10  /* missing values: multiple imputation */

/* ---- the task -------------------------------------------------------------- */
ORVU_API int32_t __ptzdSSNewTask(SSTask** task, const void* p, const void* n, const void* xStorage,
                                 const double* x, const double* weights, const void* indices,
                                 const void* int64Marker);
ORVU_API int32_t __ptzsSSNewTask(SSTask** task, const void* p, const void* n, const void* xStorage,
                                 const float* x, const float* weights, const void* indices,
                                 const void* int64Marker);
ORVU_API int32_t __ptzdSSEditTask(SSTask* task, int64_t id, const double* value);
ORVU_API int32_t __ptzsSSEditTask(SSTask* task, int64_t id, const float* value);
ORVU_API int32_t __ptziSSEditTask(SSTask* task, int64_t id, const void* value);
ORVU_API int32_t __ptzSSDeleteTask(SSTask** task);

/* Grouped editors: each null argument leaves its field unchanged. */
#define ORVU_SS_EDITORS(t, T)                                                                      \
ORVU_API int32_t __ptz##t##SSEditMoments(SSTask*, const T* mean, const T* r2, const T* r3,         \
    const T* r4, const T* c2, const T* c3, const T* c4);                                           \
ORVU_API int32_t __ptz##t##SSEditSums(SSTask*, const T* sum, const T* r2, const T* r3,             \
    const T* r4, const T* c2, const T* c3, const T* c4);                                           \
ORVU_API int32_t __ptz##t##SSEditCovCor(SSTask*, const T* mean, const T* cov,                      \
    const void* covStorage, const T* cor, const void* corStorage);                                 \
ORVU_API int32_t __ptz##t##SSEditCP(SSTask*, const T* mean, const T* sum, const T* cp,             \
    const void* cpStorage);                                                                        \
ORVU_API int32_t __ptz##t##SSEditPartialCovCor(SSTask*, const void* partialCovIndices,             \
    const T* cov, const void* covStorage, const T* cor, const void* corStorage,                    \
    const T* partialCov, const void* partialCovStorage, const T* partialCor,                       \
    const void* partialCorStorage);                                                                \
ORVU_API int32_t __ptz##t##SSEditQuantiles(SSTask*, const void* quantOrderN,                       \
    const T* quantOrders, const T* quantiles, const T* orderStats, const void* orderStatsStorage); \
ORVU_API int32_t __ptz##t##SSEditStreamQuantiles(SSTask*, const void* streamQuantOrderN,           \
    const T* streamQuantOrders, const T* streamQuantiles, const void* streamQuantParamsN,          \
    const T* streamQuantParams);                                                                   \
ORVU_API int32_t __ptz##t##SSEditPooledCovariance(SSTask*, const void* groupIndices,               \
    const T* pooledMean, const T* pooledCov, const void* reqGroupIndices, const T* groupMeans,     \
    const T* groupCov);                                                                            \
ORVU_API int32_t __ptz##t##SSEditRCov(SSTask*, const void* robustCovStorage,                       \
    const void* robustParamsN, const T* robustParams, const T* robustMean, const T* robustCov);    \
ORVU_API int32_t __ptz##t##SSEditOutDetect(SSTask*, const void* outlierParamsN,                    \
    const T* outlierParams, const T* outlierWeights);                                              \
ORVU_API int32_t __ptz##t##SSEditMissingVals(SSTask*, const void* missingParamsN,                  \
    const T* missingParams, const void* initEstimatesN, const T* initEstimates,                    \
    const void* miCountA, const T* miArrayA, const void* miCountB, const T* miArrayB,              \
    const void* miCountC, const T* miArrayC);                                                      \
ORVU_API int32_t __ptz##t##SSEditMtxParametrz(SSTask*, const T* cor, const void* corStorage,       \
    const T* paramCor, const void* paramCorStorage);
ORVU_SS_EDITORS(d, double)
ORVU_SS_EDITORS(s, float)
#undef ORVU_SS_EDITORS

/* ---- compute routines ---------------------------------------------------- */
/* Moments, sums, covariance, correlation, cross-product; streaming through
 * accumWeight. `reserved` is not read; a null threading table runs serially. */
ORVU_API int32_t _ptzdSSBasic(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                              int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSBasic(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                              int32_t reserved, const OrvuThreadingTable* threading);

ORVU_API int32_t _ptzdSSPartialCovariance(SSTask* task, uint64_t mask, int32_t method);
ORVU_API int32_t _ptzsSSPartialCovariance(SSTask* task, uint64_t mask, int32_t method);
ORVU_API int32_t _ptzdSSCorParametrization(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method);
ORVU_API int32_t _ptzsSSCorParametrization(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method);
ORVU_API int32_t _ptzdSSPooledCovariance(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                         int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSPooledCovariance(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                         int32_t reserved, const OrvuThreadingTable* threading);

/* ---- robust estimates ----------------------------------------------------
 * The three routines below take (task, mask low, mask high, method, reserved,
 * threading table); the masks and `reserved` are not read, a null threading
 * table runs on the calling thread. They read x, xStorage, weights (case
 * weights of every mean and covariance they form, null: all 1; the medians
 * and MADs that start TBS and BACON ignore them) and indices
 * (only the processed components take part; results for the others are left
 * untouched; with no processed component nothing is written). Work is done
 * in double for both precisions. On any non-zero status no result array has
 * been written. A covariance (given or formed) that is not positive definite
 * gives -5010.
 *
 * _ptz[ds]SSRobustCovariance: method ORVU_SS_METHOD_TBS, the
 * translated-biweight S-estimator (Rocke), from a deterministic start (medians
 * and MADs, three robust shapes, concentration steps on half the data).
 * Results: robustMean (p) and robustCov in the storage robustCovStorage
 * (0, 1, 2 as above). Checks in order: null task -4031; p < 1 -4001;
 * n <= 2p -4002; xStorage null -4044, invalid -4003; robustMean null -4028; robustCov null -4027;
 * robustCovStorage null -4044, value not 0, 1, 2 -4003; other method -4029;
 * x null -4032; robustParamsN (null: 0) outside 0..6 -4043; robustParams
 * null with a positive count, or a value out of range, -4042.
 * robustParams, the first robustParamsN of (the rest take their default):
 *   [0] breakdown point r, 0 < r <= 0.5 (default 0.5);
 *   [1] asymptotic rejection probability alpha, 0 < alpha < 1: the share of
 *       normal observations with weight 0 (default 0.001; when not given,
 *       moved to the nearest value at which r is reachable: for few
 *       components the default r needs a larger alpha). When given and r is
 *       not reachable with it: -4042;
 *   [2] stopping accuracy: the iteration stops when the relative change of
 *       the scale is at most this, 0 <= value < 1 (default 1e-6);
 *   [3] iteration limit, a whole number 1..10^6 (default 100);
 *   [4] initial estimate: 0 the deterministic start (default), 1 the values
 *       the caller put in robustMean and robustCov;
 *   [5] final reweighting: 0 none; 0 < g <= 0.5: the classical mean and
 *       covariance of the observations whose squared TBS distance is within
 *       the chi-square quantile of upper tail g, made consistent at the normal
 *       model (default 0.001).
 *
 * _ptz[ds]SSOutliersDetection: method ORVU_SS_METHOD_BACON (Billor, Hadi and
 * Velleman). Result: outlierWeights (n): 0 for an outlier, 1 otherwise.
 * Checks in order: null task -4031; p < 1 -4001; n < 5p -4002; xStorage
 * null or invalid -4003; outlierWeights null -4041; other method -4029; x null -4032;
 * outlierParamsN (null: 0) outside 0..3 -4040; outlierParams null with a
 * positive count, or a value out of range, -4039.
 * outlierParams, the first outlierParamsN of:
 *   [0] initial subset: 1 smallest Mahalanobis distances under the classical
 *       estimates, 2 smallest distances from the coordinate-wise median
 *       (default 2);
 *   [1] significance level alpha, 0 < alpha < 1 (default 0.05): the cut-off
 *       is the chi-square quantile of upper tail alpha / n, corrected for
 *       the subset size;
 *   [2] stopping criterion: stop when the subset changes by at most this
 *       share of the observations, 0 <= value < 1 (default 0: unchanged);
 *       at most 100 iterations in any case.
 *
 * _ptz[ds]SSMahDistance: the distance sqrt((x_i - m)^T C^-1 (x_i - m)) of
 * every observation from m = `mean` under C = `cov` (storage covStorage),
 * both over the processed components, written to outlierWeights (n).
 * Neither weights nor the method are read. Checks in order: null task
 * -4031; p < 1 -4001; n < 1 -4002; x null -4032; xStorage null -4044, invalid -4003; mean null
 * -4006; cov null -4018; covStorage null -4044, value not 0, 1, 2 -4003;
 * outlierWeights null -4041.
 *
 * _ptz[ds]SSMissingValues: method ORVU_SS_METHOD_MI, multiple imputation under
 * the multivariate normal model: EM estimates of the mean and covariance of
 * the processed components, then a data-augmentation chain (I-step: the
 * missing entries drawn from their conditional normal law; P-step: the
 * covariance from the inverse Wishart law with n - 1 degrees of freedom, the
 * mean from its normal law; non-informative prior) that yields one imputation
 * every missingParams[2] steps. Observation weights are not used. Checks in
 * order: null task -4031; p < 1 -4001; xStorage null or invalid -4003;
 * missingParams null -4048; missingParamsN null -4049, not 5 -4050; miArrayB
 * without miCountB -4055; miCountB without miArrayB -4054; neither a positive
 * miCountB nor both miCountC and miArrayC -4060; other method -4029; n < 1
 * -4002; x null -4032; a parameter out of range -4058; an output shorter than
 * its results (counts below) -4059; imputations asked for with n < q + 2
 * (q processed components) -4002; a covariance met that is not positive
 * definite -5010 (-5011 for a singular Wishart factor).
 * missingParams, all five:
 *   [0] EM iteration limit, a whole number 1..10^6;
 *   [1] EM stopping accuracy, 0 <= value < 1: EM stops when no mean moves by
 *       more than this many standard deviations and no covariance by more
 *       than this times sqrt(S_aa S_bb);
 *   [2] data-augmentation steps per imputation, a whole number 1..10^6;
 *   [3] number of imputations m, a whole number 0..10^6 (0: EM only);
 *   [4] the missing-value marker: NaN (any NaN entry is missing) or a finite
 *       value (entries equal to it are missing).
 * initEstimates: the EM start, used when initEstimatesN holds (p + 3) p / 2:
 *   p means, then the covariance's upper triangle packed row by row;
 *   otherwise the start is the observed means and variances.
 * miArrayA (input, optional): when miCountA holds 2, the two seed words
 *   (whole numbers 0..2^32 - 1) of the private MCG59 stream of the
 *   simulations; otherwise the words 1, 0. The same data and seed give the
 *   same results.
 * miArrayB (output, when miCountB > 0): m + 1 sets of (q + 3) q / 2 values,
 *   each q means then the covariance's upper triangle packed row by row:
 *   set 0 the EM estimates (maximum likelihood: divisor n), set j the
 *   estimates of the data completed by imputation j (divisor n - 1), ready
 *   for Rubin's combining rules; miCountB must be at least
 *   (m + 1) (q + 3) q / 2.
 * miArrayC (output, when miCountC and miArrayC are given): m sets of the
 *   imputed values, each the missing entries in observation order and, within
 *   an observation, in component order; miCountC must be at least m times
 *   the number of missing entries. */
ORVU_API int32_t _ptzdSSRobustCovariance(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                         int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSRobustCovariance(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                         int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzdSSOutliersDetection(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                          int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSOutliersDetection(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                          int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzdSSMissingValues(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                      int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSMissingValues(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                      int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzdSSMahDistance(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                    int32_t reserved, const OrvuThreadingTable* threading);
ORVU_API int32_t _ptzsSSMahDistance(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method,
                                    int32_t reserved, const OrvuThreadingTable* threading);

ORVU_EXTERN_C_END

#endif /* ORVU_PTZ_STATS_H */
