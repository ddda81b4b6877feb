// Integration entry: checks the request, picks the integrator kind and the
// cell-search methods, then runs blocks of limit pairs through the per-kind
// integrator kernels, on the threading table for large requests.
#include <type_traits>

#include "df/eval.h"
#include "df/search.h"

namespace orvu::df {
namespace {

constexpr int64_t kIntegrBlock = 128;      // limit pairs per block
constexpr int64_t kThreadedLimits = 4096;  // from here blocks go to the threading table

// Callback and kernel pointer types of precision T, and the per-kind
// integrator kernels in kind order.
template <class T>
struct IntegrTypes {
    using Icb = std::conditional_t<sizeof(T) == 4, orvu_df_sintegr_cb, orvu_df_dintegr_cb>;
    using Scb = std::conditional_t<sizeof(T) == 4, orvu_df_ssearch_cb, orvu_df_dsearch_cb>;
    using Plain = int32_t (*)(OrvuDFTaskPtr, int64_t, const T*, const int32_t*, const T*, const int32_t*, T*, int64_t,
                              int64_t);
    using WithCb = int32_t (*)(OrvuDFTaskPtr, int64_t, const T*, const int32_t*, const T*, const int32_t*, T*, int64_t,
                               int64_t, Icb, void*, Icb, void*, Icb, void*);
    static const Plain kPlain[];
    static const WithCb kWithCb[];
};
#define DF_PLAIN(t, T, Name, K) &orvu_df_kernel_##t##_Integrate##Name##Spline,
#define DF_WITH_CB(t, T, Name, K) &orvu_df_kernel_##t##_Integrate##Name##SplineCB,
template <> const IntegrTypes<float>::Plain IntegrTypes<float>::kPlain[] = {ORVU_DF_INTEGR_KERNELS(DF_PLAIN, s, float)};
template <> const IntegrTypes<float>::WithCb IntegrTypes<float>::kWithCb[] = {
    ORVU_DF_INTEGR_KERNELS(DF_WITH_CB, s, float)};
template <> const IntegrTypes<double>::Plain IntegrTypes<double>::kPlain[] = {
    ORVU_DF_INTEGR_KERNELS(DF_PLAIN, d, double)};
template <> const IntegrTypes<double>::WithCb IntegrTypes<double>::kWithCb[] = {
    ORVU_DF_INTEGR_KERNELS(DF_WITH_CB, d, double)};
#undef DF_PLAIN
#undef DF_WITH_CB

// Everything a block of limit pairs needs; shared read-only by the threads
// except for the status word.
template <class T>
struct IntegrJob {
    using Icb = typename IntegrTypes<T>::Icb;
    OrvuDFTask* t;
    Kind kind;
    int64_t nlim, rhint;
    const T* lim[2];       // left, right limits as given
    bool expand[2];        // limits given by their two ends (uniform hint)
    SearchPlan plan[2];
    typename IntegrTypes<T>::Scb scb;
    void* sp;
    Icb cbs[3];            // left, right, interior
    void* params[3];
    T* r;
    int32_t status;        // first negative status of a threaded run
};

// Block b of a request: limits [128 b, 128 b + 128) expanded when needed,
// their cells found in this thread, then the per-kind integrator kernel.
template <class T>
int32_t Integr1DKernel(const IntegrJob<T>& job, int64_t b, bool with_callbacks) {
    const int64_t k0 = b * kIntegrBlock, n = job.nlim - k0 < kIntegrBlock ? job.nlim - k0 : kIntegrBlock;
    T ends[2][kIntegrBlock];
    int32_t cells[2][kIntegrBlock];
    const T* lim[2];
    for (int side = 0; side < 2; ++side) {
        const T* s = job.lim[side];
        if (job.expand[side]) {
            expand_uniform_sites(s, job.nlim, k0, n, ends[side]);
            lim[side] = ends[side];
        } else {
            lim[side] = s + k0;
        }
        const int32_t st = run_search<T>(job.t, job.plan[side], n, lim[side], cells[side], job.scb, job.sp, nullptr);
        if (st < 0) return st;
    }
    const int k = static_cast<int>(job.kind);
    if (!with_callbacks)
        return IntegrTypes<T>::kPlain[k](job.t, n, lim[0], cells[0], lim[1], cells[1], job.r + k0, job.nlim, job.rhint);
    return IntegrTypes<T>::kWithCb[k](job.t, n, lim[0], cells[0], lim[1], cells[1], job.r + k0, job.nlim, job.rhint,
                                      job.cbs[0], job.params[0], job.cbs[1], job.params[1], job.cbs[2], job.params[2]);
}

// Per-block functions handed to entry 0 of the threading table.
template <class T, bool WithCallbacks>
void threaded_block(int32_t b, int32_t, int32_t, void* ctx) {
    auto* job = static_cast<IntegrJob<T>*>(ctx);
    if (__atomic_load_n(&job->status, __ATOMIC_RELAXED) < 0) return;  // an earlier block failed
    const int32_t st = Integr1DKernel(*job, b, WithCallbacks);
    if (st < 0) __atomic_store_n(&job->status, st, __ATOMIC_RELAXED);
}
template <class T>
void _v1DIntegrThreader(int32_t b, int32_t th, int32_t nth, void* ctx) { threaded_block<T, false>(b, th, nth, ctx); }
template <class T>
void _v1DIntegrThreaderCB(int32_t b, int32_t th, int32_t nth, void* ctx) { threaded_block<T, true>(b, th, nth, ctx); }

template <class T>
int32_t integrate(OrvuDFTask* t, int64_t nlim, const T* llim, int64_t lh, const T* rlim, int64_t rh, const T* ldh,
                  const T* rdh, T* r, int64_t rhint, typename IntegrJob<T>::Icb le, void* lp,
                  typename IntegrJob<T>::Icb re, void* rp, typename IntegrJob<T>::Icb ie, void* ip,
                  typename IntegrTypes<T>::Scb scb, void* sp, const OrvuThreadingTable* thr) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    const Kind kind = eval_kind(t->order, t->type, le && re && ie);
    if (kind == Kind::None || kind == Kind::LookUp) return ORVU_DF_ERROR_BAD_SPLINE_TYPE;
    IntegrJob<T> job{t, kind, nlim, rhint, {llim, rlim}, {lh == kSitesUniform, rh == kSitesUniform}, {}, scb, sp,
                     {le, re, ie}, {lp, rp, ip}, r, ORVU_DF_OK};
    if (int32_t st = plan_search<T>(t, lh, ldh, scb != nullptr, &job.plan[0])) return st;
    // A right data hint is checked even when the sorted right hint makes it unused.
    if (rh != kSitesSorted && rdh) {
        if (int32_t st = plan_search<T>(t, 0, rdh, scb != nullptr, &job.plan[1])) return st;
    }
    if (int32_t st = plan_search<T>(t, rh, rh == kSitesSorted ? nullptr : rdh, scb != nullptr, &job.plan[1])) return st;
    if (!valid_layout_hint(rhint)) return ORVU_DF_ERROR_BAD_INTEGR_RHINT;
    if (int32_t st = check_fit_arrays(t, kind, le && re && ie)) return st;
    if (nlim <= 0) return ORVU_DF_OK;
    if (!addressable({t->ny, nlim}, sizeof(T))) return ORVU_DF_ERROR_MEM_FAILURE;

    // One value per function and interval at r[j*nlim + k] for every rhint.
    const bool with_callbacks = le || re || ie;
    const int64_t blocks = (nlim + kIntegrBlock - 1) / kIntegrBlock;
    const int64_t threads = nlim >= kThreadedLimits ? max_threads(thr) : 1;
    if (threads > 1) {
        thr->parallel_for(static_cast<int32_t>(blocks), static_cast<int32_t>(threads < blocks ? threads : blocks),
                          &job, with_callbacks ? _v1DIntegrThreaderCB<T> : _v1DIntegrThreader<T>);
        return job.status;
    }
    for (int64_t b = 0; b < blocks; ++b)
        if (int32_t st = Integr1DKernel(job, b, with_callbacks); st < 0) return st;
    return ORVU_DF_OK;
}

}  // namespace
}  // namespace orvu::df

#define DF_INTEGR_ENTRY(t, T)                                                                                     \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##DFIntegrate1D(                                                \
        OrvuDFTaskPtr task, int64_t, int64_t nlim, const T* llim, int64_t lh, const T* rlim, int64_t rh,           \
        const T* ldh, const T* rdh, T* r, int64_t rhint, orvu_df_##t##integr_cb le, void* lp,                      \
        orvu_df_##t##integr_cb re, void* rp, orvu_df_##t##integr_cb ie, void* ip, orvu_df_##t##search_cb scb,     \
        void* sp, const OrvuThreadingTable* thr) {                                                                 \
        return orvu::df::integrate<T>(task, nlim, llim, lh, rlim, rh, ldh, rdh, r, rhint, le, lp, re, rp, ie, ip, \
                                      scb, sp, thr);                                                              \
    }
DF_INTEGR_ENTRY(s, float)
DF_INTEGR_ENTRY(d, double)
