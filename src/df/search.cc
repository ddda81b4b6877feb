// Task-level cell search and the exported per-method search kernels.
#include "df/search.h"

#include "df/construct.h"
#include "df/search_kernels.h"

namespace orvu::df {

template <class T>
int32_t plan_search(const OrvuDFTask* t, int64_t site_hint, const T* dh, bool has_cb, SearchPlan* plan) {
    plan->peak = 0;
    if (has_cb) plan->method = t->x_hint == kXUniform ? SearchMethod::UniUserDef : SearchMethod::UserDef;
    else if (t->x_hint == kXUniform) plan->method = SearchMethod::Uniform;
    else if (t->x_hint == kXQuasiUniform) plan->method = SearchMethod::QuasiUniform;
    else if (site_hint == kSitesSorted) plan->method = SearchMethod::Sorted;
    else if (!dh || dh[1] == T(0)) plan->method = SearchMethod::Hybrid;
    else if (dh[1] == T(1) && dh[4] >= T(0) && dh[4] <= static_cast<T>(t->nx)) {
        plan->method = SearchMethod::Peak;
        plan->peak = dh[4];
    } else {
        return ORVU_DF_ERROR_BAD_DATA_HINT;
    }
    return ORVU_DF_OK;
}
template int32_t plan_search<float>(const OrvuDFTask*, int64_t, const float*, bool, SearchPlan*);
template int32_t plan_search<double>(const OrvuDFTask*, int64_t, const double*, bool, SearchPlan*);

namespace {

// Whether a method splits nsite sites over `th` threads.
bool threaded(SearchMethod m, int64_t nsite, int64_t nx, int64_t th) {
    switch (m) {
        case SearchMethod::Uniform: return nsite > 1000 && th >= 2;
        case SearchMethod::Sorted: return nsite >= 3001 && th >= 2;
        case SearchMethod::QuasiUniform:
            if (nsite <= 150) return false;
            if (nsite <= 300 || th <= 1) return (nx >= 40 && nx < 600 && th >= 4) || (nx >= 600 && th >= 2);
            return th >= 2;
        case SearchMethod::Hybrid:
            return th >= 2 && (nsite >= 1201 || (nsite >= 601 && th <= 4) || (nsite >= 301 && nsite <= 600 && th == 2));
        case SearchMethod::Peak: return th >= 2 && nsite > 1200;
        default: return th >= 2 && nsite >= 2 * kUserSearchBlock;
    }
}

}  // namespace

template <class T, class CB>
int32_t run_search(const OrvuDFTask* t, const SearchPlan& plan, int64_t nsite, const T* site, int32_t* cell, CB cb,
                   void* params, const OrvuThreadingTable* thr) {
    const int64_t nx = t->nx;
    const T* x = static_cast<const T*>(t->x);
    const T bw = sizeof(T) == 4 ? static_cast<T>(t->inv_bin_width.s) : static_cast<T>(t->inv_bin_width.d);
    const Nodes<T> nodes{x, nx, plan.method == SearchMethod::UniUserDef,
                         plan.method == SearchMethod::UniUserDef ? (x[1] - x[0]) / static_cast<T>(nx - 1) : T(0)};
    // Runs the method over sites [k0, k1); a negative status stops the search.
    auto part = [&](int64_t k0, int64_t k1) -> int32_t {
        const T* s = site + k0;
        int32_t* c = cell + k0;
        const int64_t n = k1 - k0;
        switch (plan.method) {
            case SearchMethod::Uniform: uniform_search(nx, x, n, s, static_cast<T>(nx - 1) / (x[1] - x[0]), c); break;
            case SearchMethod::QuasiUniform: quasi_uniform_search(nx, x, n, s, static_cast<T>(nx - 1) / (x[nx - 1] - x[0]), c); break;
            case SearchMethod::Sorted: {
                int32_t start = 0;
                sorted_search(nx, x, n, s, &start, c);
                break;
            }
            case SearchMethod::Peak: peak_search(nx, x, n, s, static_cast<T>(plan.peak), c); break;
            case SearchMethod::Hybrid:  // no table yet (a uniform task re-hinted): bin_count 0, one range
                hybrid_search(nx, x, n, s, bw, t->bin_count, t->bin_table, c);
                break;
            default: return user_search(nodes, n, s, c, cb, params);
        }
        return ORVU_DF_OK;
    };
    const int64_t th = nsite >= 32 ? max_threads(thr) : 1;
    if (!threaded(plan.method, nsite, nx, th)) return part(0, nsite);
    // th equal chunks on the threads, the remainder in the calling thread.
    int32_t status[256] = {};
    const int64_t used = th < 256 ? th : 256;
    const int64_t ch = nsite / used;
    auto body = [&](int32_t i) { status[i] = part(i * ch, (i + 1) * ch); };
    run_blocks(thr, static_cast<int32_t>(used), static_cast<int32_t>(used), body);
    int32_t st = part(used * ch, nsite);
    for (int64_t i = used - 1; i >= 0; --i)
        if (status[i] < 0 || (st >= 0 && status[i] != 0)) st = status[i];
    return st;
}

}  // namespace orvu::df

using namespace orvu::df;

namespace {

template <class T, class CB>
int32_t task_search(OrvuDFTask* t, int64_t nsite, const T* site, int64_t site_hint, const T* dh, int32_t* cell, CB cb,
                    void* params, const OrvuThreadingTable* thr) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (nsite <= 0) return ORVU_DF_OK;
    SearchPlan plan;
    if (int32_t st = plan_search<T>(t, site_hint, dh, cb != nullptr, &plan)) return st;
    const RequestSites<T> sites(site, nsite, site_hint);
    if (!sites.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    return run_search<T>(t, plan, nsite, sites.get(), cell, cb, params, thr);
}

// The exported kernels take any sizes: nothing is read for n <= 0, and
// without nodes (nx <= 0) every site is in cell 0.
bool no_nodes(int64_t nx, int64_t n, int32_t* cell) {
    if (nx > 0) return false;
    for (int64_t k = 0; k < n; ++k) cell[k] = 0;
    return true;
}

}  // namespace

extern "C" {

ORVU_API int32_t orvu_df_kernel_sDFSearch1D(OrvuDFTaskPtr t, int64_t, int64_t nsite, const float* site, int64_t sh,
                                            const float* dh, int32_t* cell, orvu_df_ssearch_cb cb, void* params,
                                            const OrvuThreadingTable* thr) {
    return task_search<float>(t, nsite, site, sh, dh, cell, cb, params, thr);
}
ORVU_API int32_t orvu_df_kernel_dDFSearch1D(OrvuDFTaskPtr t, int64_t, int64_t nsite, const double* site, int64_t sh,
                                            const double* dh, int32_t* cell, orvu_df_dsearch_cb cb, void* params,
                                            const OrvuThreadingTable* thr) {
    return task_search<double>(t, nsite, site, sh, dh, cell, cb, params, thr);
}

#define DF_SEARCH_KERNELS(t, T, I, sfx)                                                                         \
    ORVU_API void orvu_df_kernel_##t##DFUniformSearch1D##sfx(I nx, const T* x, I n, const T* s, T inv, int32_t* c) { \
        if (!no_nodes(nx, n, c)) uniform_search<T>(nx, x, n, s, inv, c);                                    \
    }                                                                                                           \
    ORVU_API void orvu_df_kernel_##t##DFSortedSearch1D##sfx(I nx, const T* x, I n, const T* s, int32_t* start,   \
                                                          int32_t* c) {                                         \
        if (!no_nodes(nx, n, c)) sorted_search<T>(nx, x, n, s, start, c);                                    \
    }                                                                                                           \
    ORVU_API void orvu_df_kernel_##t##DFQuasiUniformSearch1D##sfx(I nx, const T* x, I n, const T* s, T inv,      \
                                                                int32_t* c) {                                   \
        if (!no_nodes(nx, n, c)) quasi_uniform_search<T>(nx, x, n, s, inv, c);                               \
    }                                                                                                           \
    ORVU_API void orvu_df_kernel_##t##DFHybridSearch1D##sfx(I nx, const T* x, I n, const T* s, T inv, I m,       \
                                                          const uint32_t* bins, int32_t* c) {                   \
        if (!no_nodes(nx, n, c)) hybrid_search<T>(nx, x, n, s, inv, m, bins, c);                             \
    }                                                                                                           \
    ORVU_API void orvu_df_kernel_##t##DFPeakSearch1D##sfx(I nx, const T* x, I n, const T* s, T peak, int32_t* c) { \
        if (!no_nodes(nx, n, c)) peak_search<T>(nx, x, n, s, peak, c);                                      \
    }                                                                                                           \
    ORVU_API int32_t orvu_df_kernel_##t##DFUserDefSearch1D##sfx(I nx, const T* x, I n, const T* s, int32_t* c,   \
                                                              orvu_df_##t##search_cb cb, void* p) {             \
        if (no_nodes(nx, n, c)) return ORVU_DF_OK;                                                           \
        return user_search<T>(Nodes<T>{x, nx, false, T(0)}, n, s, c, cb, p);                                    \
    }                                                                                                           \
    ORVU_API int32_t orvu_df_kernel_##t##DFUniUserDefSearch1D##sfx(I nx, const T* x, I n, const T* s,           \
                                                                 int32_t* c, orvu_df_##t##search_cb cb, void* p) { \
        if (no_nodes(nx, n, c)) return ORVU_DF_OK;                                                           \
        return user_search<T>(Nodes<T>{x, nx, true, (x[1] - x[0]) / static_cast<T>(nx - 1)}, n, s, c, cb, p);   \
    }

DF_SEARCH_KERNELS(s, float, int64_t, )
DF_SEARCH_KERNELS(d, double, int64_t, )
DF_SEARCH_KERNELS(s, float, int32_t, 32)
DF_SEARCH_KERNELS(d, double, int32_t, 32)

}  // extern "C"

// Instantiations used by interpolation and integration.
template int32_t orvu::df::run_search<float, orvu_df_ssearch_cb>(const OrvuDFTask*, const SearchPlan&, int64_t,
                                                                 const float*, int32_t*, orvu_df_ssearch_cb, void*,
                                                                 const OrvuThreadingTable*);
template int32_t orvu::df::run_search<double, orvu_df_dsearch_cb>(const OrvuDFTask*, const SearchPlan&, int64_t,
                                                                  const double*, int32_t*, orvu_df_dsearch_cb, void*,
                                                                  const OrvuThreadingTable*);
