/* Data fitting: one-dimensional spline tasks, construction, cell search,
 * interpolation and integration.
 *
 * Every function returns a 32-bit status: 0 on success, a negative ORVU_DF_*
 * code otherwise. Integer arguments of the task-level operations are 64-bit.
 *
 * What the caller guarantees: arrays hold the sizes the task and the call
 * name (nx nodes, nsite sites, the coefficient and result areas); the
 * partition is ascending; sites given with the sorted-site hint (64) are
 * ascending (otherwise their cells are merely non-decreasing). Given cells
 * (type 4) outside 0..nx are clamped to it (look-up: no match). */
#ifndef ORVU_DF_H
#define ORVU_DF_H

#include "orvu_base.h"
#include "orvu_serv.h"

ORVU_EXTERN_C_BEGIN

typedef struct OrvuDFTask* OrvuDFTaskPtr;

/* ---- status codes ------------------------------------------------------
 * -1001 is also the answer when a size derived from the caller's counts
 * cannot be represented: a pointer array or workspace whose byte size passes
 * the service layer's 32-bit size, or function blocks (y + j*nx, coefficients
 * + j*stride) or a result area (ny functions) that pass the address range.
 * Interpolation, integration and the per-kind kernels check what they are
 * about to read: -1016 when a polynomial kind has no coefficient pointer for
 * some function (none given yet, or ny raised since), -1008 likewise for the
 * function values of the step-wise and look-up kinds, -1013 for a Subbotin
 * spline without its knots. Polynomial kinds whose every site group goes to
 * a callback need no coefficients. */
enum {
    ORVU_DF_OK = 0,
    ORVU_DF_ERROR_NULL_TASK = -1000,
    ORVU_DF_ERROR_MEM_FAILURE = -1001,
    ORVU_DF_ERROR_METHOD_NOT_SUPPORTED = -1002,
    ORVU_DF_ERROR_BAD_NX = -1004,
    ORVU_DF_ERROR_NULL_X = -1005,
    ORVU_DF_ERROR_BAD_X_HINT = -1006,
    ORVU_DF_ERROR_BAD_NY = -1007,
    ORVU_DF_ERROR_NULL_Y = -1008,
    ORVU_DF_ERROR_BAD_Y_HINT = -1009,
    ORVU_DF_ERROR_BAD_SPLINE_ORDER = -1010,
    ORVU_DF_ERROR_BAD_SPLINE_TYPE = -1011,
    ORVU_DF_ERROR_BAD_IC_TYPE = -1012,
    ORVU_DF_ERROR_BAD_IC = -1013,
    ORVU_DF_ERROR_BAD_BC_TYPE = -1014,
    ORVU_DF_ERROR_NULL_BC = -1015,
    ORVU_DF_ERROR_NULL_COEFF = -1016,
    ORVU_DF_ERROR_BAD_COEFF_HINT = -1017,
    ORVU_DF_ERROR_BAD_PERIODIC_VAL = -1018,
    ORVU_DF_ERROR_BAD_PARAM_ID = -1019,
    ORVU_DF_ERROR_BAD_INDEX = -1020,
    ORVU_DF_ERROR_BAD_LOOKUP_SITE = -1022,
    ORVU_DF_ERROR_BAD_LOOKUP_NDORDER = -1024,
    ORVU_DF_ERROR_BAD_LOOKUP_DORDER = -1025,
    ORVU_DF_ERROR_BAD_DATA_HINT = -1026,
    ORVU_DF_ERROR_BAD_RHINT = -1028,
    ORVU_DF_ERROR_BAD_INTEGR_RHINT = -1034,
    ORVU_DF_ERROR_BAD_AUX_FLAG = -1036,
    ORVU_DF_ERROR_NULL_DEST = -1037,
    ORVU_DF_ERROR_SOLVER_FAILURE = -1500
};

/* ---- callbacks ----------------------------------------------------------
 * Search: fills cell[0..*n) (64-bit estimates) and sets flag[k] non-zero when
 * cell[k] is exact. 1000 = every cell final; negative = error, returned. */
typedef int32_t (*orvu_df_dsearch_cb)(int64_t* n, const double* site, int64_t* cell, int32_t* flag, void* params);
typedef int32_t (*orvu_df_ssearch_cb)(int64_t* n, const float* site, int64_t* cell, int32_t* flag, void* params);
/* Evaluation (left, right, interior): called once for a group of *n sites;
 * writes, for every function j and site k of the group, the requested results
 * in ascending derivative order at r[(j * *n + k) * nres + q]. */
typedef int32_t (*orvu_df_dinterp_cb)(int64_t* n, int64_t* cell, const double* site, double* r, void* params);
typedef int32_t (*orvu_df_sinterp_cb)(int64_t* n, int64_t* cell, const float* site, float* r, void* params);
/* Integration (left, right, interior): called once for a group of *n
 * intervals; writes the integral of function j over interval k at
 * r[j * *n + k]. `nfunc` is the number of functions of the task. */
typedef int32_t (*orvu_df_dintegr_cb)(int64_t* n, int64_t* cell, const double* llim, const double* rlim, double* r, int32_t nfunc, void* params);
typedef int32_t (*orvu_df_sintegr_cb)(int64_t* n, int64_t* cell, const float* llim, const float* rlim, float* r, int32_t nfunc, void* params);
/* Evaluation and integration callbacks are called once per block: from 32
 * sites on (at any size when int_flags has bit 0 or 1 set), interpolation
 * works in blocks of 320 or 64 sites, and integration always in blocks of 128
 * intervals. With a threading table of more than one thread the blocks run on
 * its threads, so a callback may then be called from several threads at once,
 * each call for its own block. */

/* ---- task ------------------------------------------------------------------ */
#define ORVU_DF_TASK_FUNCS(t, T)                                                                          \
    ORVU_API int32_t orvu_df_kernel_##t##NewTask1D(OrvuDFTaskPtr* task, int64_t nx, const T* x, int64_t x_hint, \
                                                  int64_t ny, const T* y, int64_t y_hint, int64_t int_flags); \
    ORVU_API int32_t orvu_df_kernel_##t##EditPtr(OrvuDFTaskPtr task, int64_t id, const T* ptr);           \
    ORVU_API int32_t orvu_df_kernel_##t##EditIdxPtr(OrvuDFTaskPtr task, int64_t id, int64_t index, const T* ptr); \
    ORVU_API int32_t orvu_df_kernel_##t##EditPPSpline1D(OrvuDFTaskPtr task, int64_t order, int64_t type,  \
                                                       int64_t bc_type, const T* bc, int64_t ic_type,      \
                                                       const T* ic, T* coeff, int64_t coeff_hint);         \
    ORVU_API int32_t orvu_df_kernel_##t##QueryPtr(OrvuDFTaskPtr task, int64_t id, const T** dest);        \
    ORVU_API int32_t orvu_df_kernel_##t##QueryIdxPtr(OrvuDFTaskPtr task, int64_t id, int64_t index, const T** dest);

ORVU_DF_TASK_FUNCS(s, float)
ORVU_DF_TASK_FUNCS(d, double)
#undef ORVU_DF_TASK_FUNCS

ORVU_API int32_t orvu_df_kernel_iEditVal(OrvuDFTaskPtr task, int64_t id, int64_t value);
/* Writes a 32-bit value when the task's int_flags are 0, a 64-bit value otherwise. */
ORVU_API int32_t orvu_df_kernel_iQueryVal(OrvuDFTaskPtr task, int64_t id, void* dest);
ORVU_API int32_t orvu_df_kernel_DeleteTask(OrvuDFTaskPtr* task);

/* ---- construction, search, interpolation, integration --------------------- */
#define ORVU_DF_BUILD_FUNC(t, Name)                                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##DF##Name##1D(OrvuDFTaskPtr task, int64_t format, int64_t method,   \
                                                     const OrvuThreadingTable* thr);
#define ORVU_DF_COMPUTE_FUNCS(t, T)                                                                        \
    ORVU_DF_BUILD_FUNC(t, LinearSpline) ORVU_DF_BUILD_FUNC(t, QuadraticSpline)                             \
    ORVU_DF_BUILD_FUNC(t, NaturalCubicSpline) ORVU_DF_BUILD_FUNC(t, DefaultCubicSpline)                    \
    ORVU_DF_BUILD_FUNC(t, AkimaCubicSpline) ORVU_DF_BUILD_FUNC(t, BesselCubicSpline)                       \
    ORVU_DF_BUILD_FUNC(t, HermiteCubicSpline)                                                              \
    ORVU_API int32_t orvu_df_kernel_##t##DFSearch1D(OrvuDFTaskPtr task, int64_t method, int64_t nsite,      \
                                                   const T* site, int64_t site_hint, const T* data_hint,   \
                                                   int32_t* cell, orvu_df_##t##search_cb search_cb,        \
                                                   void* search_params, const OrvuThreadingTable* thr);    \
    ORVU_API int32_t orvu_df_kernel_##t##DFInterpolate1D(                                                  \
        OrvuDFTaskPtr task, int64_t type, int64_t method, int64_t nsite, const T* site, int64_t site_hint, \
        int64_t ndorder, const void* dorder, const T* data_hint, T* r, int64_t rhint, void* cell,          \
        orvu_df_##t##interp_cb le_cb, void* le_params, orvu_df_##t##interp_cb re_cb, void* re_params,      \
        orvu_df_##t##interp_cb i_cb, void* i_params, orvu_df_##t##search_cb search_cb, void* search_params, \
        const OrvuThreadingTable* thr);                                                                     \
    ORVU_API int32_t orvu_df_kernel_##t##DFIntegrate1D(                                                    \
        OrvuDFTaskPtr task, int64_t method, int64_t nlim, const T* llim, int64_t llim_hint, const T* rlim, \
        int64_t rlim_hint, const T* ldata_hint, const T* rdata_hint, T* r, int64_t rhint,                  \
        orvu_df_##t##integr_cb le_cb, void* le_params, orvu_df_##t##integr_cb re_cb, void* re_params,      \
        orvu_df_##t##integr_cb i_cb, void* i_params, orvu_df_##t##search_cb search_cb, void* search_params, \
        const OrvuThreadingTable* thr);

ORVU_DF_COMPUTE_FUNCS(s, float)
ORVU_DF_COMPUTE_FUNCS(d, double)
#undef ORVU_DF_COMPUTE_FUNCS
#undef ORVU_DF_BUILD_FUNC

/* ---- cell-search kernels ----------------------------------------------------
 * Cells are 32-bit node counts (0 .. nx). The ...Search1D forms take 64-bit
 * sizes, the ...Search1D32 forms 32-bit sizes; both behave alike. Hints only
 * steer a search and never take it outside the partition: a peak that is NaN,
 * negative or beyond nx, a bin table that is stale or foreign, or an inverse
 * step of any value still give the cell of every site (at worst by a longer
 * scan). Without nodes (nx <= 0) every cell is 0. A user search's cells are
 * kept within 0 .. nx, even those it calls final. */
#define ORVU_DF_SEARCH_KERNELS(t, T, I, sfx)                                                                \
    ORVU_API void orvu_df_kernel_##t##DFUniformSearch1D##sfx(I nx, const T* x, I nsite, const T* site,       \
                                                           T inv_step, int32_t* cell);                       \
    ORVU_API void orvu_df_kernel_##t##DFSortedSearch1D##sfx(I nx, const T* x, I nsite, const T* site,        \
                                                          int32_t* start_cell, int32_t* cell);               \
    ORVU_API void orvu_df_kernel_##t##DFQuasiUniformSearch1D##sfx(I nx, const T* x, I nsite, const T* site,  \
                                                                T inv_mean_step, int32_t* cell);             \
    ORVU_API void orvu_df_kernel_##t##DFHybridSearch1D##sfx(I nx, const T* x, I nsite, const T* site,        \
                                                          T inv_bin_width, I bin_count,                      \
                                                          const uint32_t* bin_table, int32_t* cell);         \
    ORVU_API void orvu_df_kernel_##t##DFPeakSearch1D##sfx(I nx, const T* x, I nsite, const T* site, T peak,  \
                                                        int32_t* cell);                                      \
    ORVU_API int32_t orvu_df_kernel_##t##DFUserDefSearch1D##sfx(I nx, const T* x, I nsite, const T* site,    \
                                                              int32_t* cell, orvu_df_##t##search_cb cb,      \
                                                              void* params);                                 \
    ORVU_API int32_t orvu_df_kernel_##t##DFUniUserDefSearch1D##sfx(I nx, const T* x, I nsite, const T* site, \
                                                                 int32_t* cell, orvu_df_##t##search_cb cb,   \
                                                                 void* params);

ORVU_DF_SEARCH_KERNELS(s, float, int64_t, )
ORVU_DF_SEARCH_KERNELS(d, double, int64_t, )
ORVU_DF_SEARCH_KERNELS(s, float, int32_t, 32)
ORVU_DF_SEARCH_KERNELS(d, double, int32_t, 32)
#undef ORVU_DF_SEARCH_KERNELS

/* ---- construction kernels ---------------------------------------------------
 * One kernel per function layout (interleaved Cols / Rows), partition (NoUniform
 * / Uniform) and boundary condition, named _v1D<family>Y<layout><grid>Grid<bc>
 * with the precision as suffix (_s, _d). The entry operations choose among
 * them through tables built from these same lists; each can also be called
 * directly on a task that passed the entry checks.
 * Row shape: X(t, T, template, name, cols, uniform, condition). The condition
 * is the boundary-condition index (0 not-a-knot, 1 free end, 2 1st/1st,
 * 3 1st/2nd, 4 2nd/1st, 5 2nd/2nd, 6 periodic), plus 8 for a uniform Subbotin
 * subgrid. */
#define ORVU_DF_GRIDS(X, t, T, fam, pre, post, bc)        \
    X(t, T, fam, pre##YColsNoUniformGrid##post, 1, 0, bc) \
    X(t, T, fam, pre##YColsUniformGrid##post, 1, 1, bc)   \
    X(t, T, fam, pre##YRowsNoUniformGrid##post, 0, 0, bc) \
    X(t, T, fam, pre##YRowsUniformGrid##post, 0, 1, bc)
#define ORVU_DF_CUBIC_BCS(X, t, T, fam, pre)           \
    ORVU_DF_GRIDS(X, t, T, fam, pre, NotAKnot, 0)      \
    ORVU_DF_GRIDS(X, t, T, fam, pre, FreeEnd, 1)       \
    ORVU_DF_GRIDS(X, t, T, fam, pre, 1st1st, 2)        \
    ORVU_DF_GRIDS(X, t, T, fam, pre, 1st2nd, 3)        \
    ORVU_DF_GRIDS(X, t, T, fam, pre, 2nd1st, 4)        \
    ORVU_DF_GRIDS(X, t, T, fam, pre, 2nd2nd, 5)        \
    ORVU_DF_GRIDS(X, t, T, fam, pre, Periodic, 6)
#define ORVU_DF_SUBB_BCS(X, t, T, pre, sub)                    \
    ORVU_DF_GRIDS(X, t, T, subbotin_kernel, pre, 1st1st, 2 + sub) \
    ORVU_DF_GRIDS(X, t, T, subbotin_kernel, pre, 1st2nd, 3 + sub) \
    ORVU_DF_GRIDS(X, t, T, subbotin_kernel, pre, 2nd1st, 4 + sub) \
    ORVU_DF_GRIDS(X, t, T, subbotin_kernel, pre, 2nd2nd, 5 + sub)

#define ORVU_DF_LINEAR_KERNELS(X, t, T) ORVU_DF_GRIDS(X, t, T, linear_kernel, _v1DLSLinear, , 0)
#define ORVU_DF_QUAD_STD_KERNELS(X, t, T) ORVU_DF_GRIDS(X, t, T, quad_std_kernel, _v1DQSStd, , 0)
#define ORVU_DF_SUBBOTIN_KERNELS(X, t, T)                          \
    ORVU_DF_SUBB_BCS(X, t, T, _v1DQSSubbNoUniformSubgrid, 0)       \
    ORVU_DF_SUBB_BCS(X, t, T, _v1DQSSubbUniformSubgrid, 8)
#define ORVU_DF_NATURAL_KERNELS(X, t, T) ORVU_DF_CUBIC_BCS(X, t, T, natural_kernel, _v1DCSNatural)
#define ORVU_DF_DEFAULT_KERNELS(X, t, T) ORVU_DF_CUBIC_BCS(X, t, T, default_kernel, _v1DCSDefault)
#define ORVU_DF_AKIMA_KERNELS(X, t, T) ORVU_DF_GRIDS(X, t, T, akima_kernel, _v1DCSAkima, , 0)
#define ORVU_DF_BESSEL_KERNELS(X, t, T) ORVU_DF_GRIDS(X, t, T, bessel_kernel, _v1DCSBessel, , 0)
#define ORVU_DF_HERMITE_KERNELS(X, t, T) ORVU_DF_GRIDS(X, t, T, hermite_kernel, _v1DCSHermite, , 0)

#define ORVU_DF_DECLARE_KERNEL(t, T, fam, name, cols, uni, bc) \
    ORVU_API int32_t name##_##t(OrvuDFTaskPtr task, const OrvuThreadingTable* thr);
#define ORVU_DF_ALL_KERNELS(X, t, T) \
    ORVU_DF_LINEAR_KERNELS(X, t, T) ORVU_DF_QUAD_STD_KERNELS(X, t, T) ORVU_DF_SUBBOTIN_KERNELS(X, t, T) \
    ORVU_DF_NATURAL_KERNELS(X, t, T) ORVU_DF_DEFAULT_KERNELS(X, t, T) ORVU_DF_AKIMA_KERNELS(X, t, T)    \
    ORVU_DF_BESSEL_KERNELS(X, t, T) ORVU_DF_HERMITE_KERNELS(X, t, T)
ORVU_DF_ALL_KERNELS(ORVU_DF_DECLARE_KERNEL, s, float)
ORVU_DF_ALL_KERNELS(ORVU_DF_DECLARE_KERNEL, d, double)

/* ---- per-kind evaluator kernels ----------------------------------------------
 * orvu_df_kernel_<t>_<Kind>SplineEval32[CB](task, nsite, site, cell, ndorder,
 * dorder, r, rhint[, callback, params]): every function of the task at sites
 * whose cells (0 .. nx) are given, results laid out as for interpolation. The
 * CB form gives all sites to the callback when it is not null. A task whose
 * order and type select another kind gives -1011. Row: X(t, T, Name, Kind). */
#define ORVU_DF_EVAL_KERNELS(X, t, T)                                                            \
    X(t, T, Linear, Linear) X(t, T, Quadratic, Quadratic) X(t, T, Cubic, Cubic)                 \
    X(t, T, QuadSubb, Subbotin) X(t, T, Arbitr, Arbitrary) X(t, T, StepLeft, StepLeft)          \
    X(t, T, StepRight, StepRight) X(t, T, LookUp, LookUp)
#define ORVU_DF_DECLARE_EVAL(t, T, Name, K)                                                      \
    ORVU_API int32_t orvu_df_kernel_##t##_##Name##SplineEval32(                                  \
        OrvuDFTaskPtr task, int64_t nsite, const T* site, const int32_t* cell, int64_t ndorder,  \
        const void* dorder, T* r, int64_t rhint);                                                \
    ORVU_API int32_t orvu_df_kernel_##t##_##Name##SplineEval32CB(                                \
        OrvuDFTaskPtr task, int64_t nsite, const T* site, const int32_t* cell, int64_t ndorder,  \
        const void* dorder, T* r, int64_t rhint, orvu_df_##t##interp_cb cb, void* params);
ORVU_DF_EVAL_KERNELS(ORVU_DF_DECLARE_EVAL, s, float)
ORVU_DF_EVAL_KERNELS(ORVU_DF_DECLARE_EVAL, d, double)

/* ---- per-kind integrator kernels ---------------------------------------------
 * orvu_df_kernel_<t>_Integrate<Kind>Spline[CB](task, nlim, llim, lcell, rlim,
 * rcell, r, ldr, rhint[, le_cb, le_params, re_cb, re_params, i_cb, i_params]):
 * integral of every function of the task over the nlim intervals from llim[k]
 * to rlim[k] (reversed limits give the negated integral), whose limit cells
 * (0 .. nx, as found by the cell search) are lcell[k] and rcell[k]. Function
 * j, interval k goes to r[j * ldr + k]; ldr 0 means nlim, a positive ldr below
 * nlim gives -1034, as does an rhint other than 0, 16, 32 or 128. The CB form
 * hands the part of each interval left of x[0], inside [x[0], x[nx-1]] and
 * right of x[nx-1] to the left, interior and right callback when it is not
 * null (once per group of intervals; the callback's 32-bit word is the number
 * of functions) and integrates the other parts itself. A task whose order and
 * type select another kind gives -1011 (look-up cannot be integrated).
 * Row: X(t, T, Name, Kind), in the order of the integrator kinds 0 .. 6. */
#define ORVU_DF_INTEGR_KERNELS(X, t, T)                                                  \
    X(t, T, Linear, Linear) X(t, T, Quad, Quadratic) X(t, T, Cub, Cubic)                \
    X(t, T, Subb, Subbotin) X(t, T, Arb, Arbitrary) X(t, T, PwL, StepLeft)              \
    X(t, T, PwR, StepRight)
#define ORVU_DF_DECLARE_INTEGR(t, T, Name, K)                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##_Integrate##Name##Spline(                                   \
        OrvuDFTaskPtr task, int64_t nlim, const T* llim, const int32_t* lcell, const T* rlim,        \
        const int32_t* rcell, T* r, int64_t ldr, int64_t rhint);                                     \
    ORVU_API int32_t orvu_df_kernel_##t##_Integrate##Name##SplineCB(                                 \
        OrvuDFTaskPtr task, int64_t nlim, const T* llim, const int32_t* lcell, const T* rlim,        \
        const int32_t* rcell, T* r, int64_t ldr, int64_t rhint, orvu_df_##t##integr_cb le_cb,        \
        void* le_params, orvu_df_##t##integr_cb re_cb, void* re_params, orvu_df_##t##integr_cb i_cb, \
        void* i_params);
ORVU_DF_INTEGR_KERNELS(ORVU_DF_DECLARE_INTEGR, s, float)
ORVU_DF_INTEGR_KERNELS(ORVU_DF_DECLARE_INTEGR, d, double)

/* A 100-byte zero block kept for binary compatibility; nothing reads it. */
ORVU_API extern unsigned char vDFNaturalCubSplineThreadingStruct[100];

ORVU_EXTERN_C_END

#endif /* ORVU_DF_H */
