// Per-kind evaluator kernels: the given cells (0 .. nx) of nsite sites, every
// function of the task; the CB form hands all sites to the callback when one
// is given. A task whose order and type select another kind gives -1011.
#include "df/interp_core.h"

namespace orvu::df {
namespace {

template <class T, Kind K, class CB>
int32_t kind_kernel(OrvuDFTask* t, int64_t nsite, const T* site, const int32_t* cell, int64_t ndorder,
                    const void* dorder, T* r, int64_t rhint, CB cb, void* params) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (eval_kind(t->order, t->type, K == Kind::Arbitrary && cb) != K) return ORVU_DF_ERROR_BAD_SPLINE_TYPE;
    if (!valid_layout_hint(rhint)) return ORVU_DF_ERROR_BAD_RHINT;
    if (int32_t st = check_fit_arrays(t, K, cb != nullptr)) return st;
    const Fit<T> fit(t, K);
    Request<T> rq{&fit};
    set_orders(rq, ndorder, dorder, (t->int_flags & 1) != 0);
    if (nsite > 0 && !addressable({t->ny, nsite, rq.nres}, sizeof(T))) return ORVU_DF_ERROR_MEM_FAILURE;
    set_layout(rq, r, nsite, rhint == 16 || rhint == 128);
    if (cb) return callback_group(rq, site, cell, 0, nsite, [](int64_t) { return true; }, cb, params);
    return eval_range(rq, site, cell, 0, nsite);
}

}  // namespace
}  // namespace orvu::df

#define DF_KIND_KERNEL(t, T, Name, K)                                                                             \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##_##Name##SplineEval32(                                        \
        OrvuDFTaskPtr task, int64_t nsite, const T* site, const int32_t* cell, int64_t ndorder, const void* dorder, \
        T* r, int64_t rhint) {                                                                                     \
        return orvu::df::kind_kernel<T, orvu::df::Kind::K, orvu_df_##t##interp_cb>(task, nsite, site, cell,       \
                                                                                   ndorder, dorder, r, rhint,      \
                                                                                   nullptr, nullptr);              \
    }                                                                                                              \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##_##Name##SplineEval32CB(                                      \
        OrvuDFTaskPtr task, int64_t nsite, const T* site, const int32_t* cell, int64_t ndorder, const void* dorder, \
        T* r, int64_t rhint, orvu_df_##t##interp_cb cb, void* params) {                                           \
        return orvu::df::kind_kernel<T, orvu::df::Kind::K>(task, nsite, site, cell, ndorder, dorder, r, rhint, cb, \
                                                           params);                                                \
    }
ORVU_DF_EVAL_KERNELS(DF_KIND_KERNEL, s, float)
ORVU_DF_EVAL_KERNELS(DF_KIND_KERNEL, d, double)
