// Interpolation: values and derivatives of every function of a task at a set
// of sites, with optional evaluation callbacks for the three site groups.
// Small requests are evaluated in one pass; larger ones in blocks of sites,
// on the caller's threading table when it has more than one thread.
#include <type_traits>

#include "df/interp_core.h"
#include "df/search.h"

namespace orvu::df {
namespace {

constexpr int64_t kDirectSites = 32;     // below: no threading, no allocation
constexpr int64_t kThreadedSites = 512;  // above (and T > 1): blocks of 320 on the threads
constexpr int64_t kBigBlock = 320;       // five sub-blocks of 64
constexpr int64_t kSubBlock = 64;
constexpr int64_t kScratchStack = 2048;  // transposed-layout scratch kept on the stack

// The general path's shared state; threads only write their own sites, their
// own scratch slot and (on failure) the status word.
template <class T, class CB>
struct InterpJob {
    const Request<T>* rq;
    const T* site;
    const int32_t* cell;
    bool spread;     // transposed layout: each sub-block goes through scratch
    T* scratch;      // one slot of kSubBlock * nres values per thread
    int64_t first;   // first site of block 0 of the current pass
    int64_t block;   // sites per block of the current pass
    const CB* cbs;
    void* const* params;
    int32_t status;  // first negative status of a threaded pass
};

// Sites [k0, k1) in sub-blocks of 64, using scratch slot th.
template <class T, class CB, bool WithCallbacks>
int32_t interp_range(const InterpJob<T, CB>& job, int64_t k0, int64_t k1, int32_t th) {
    const Request<T>& rq = *job.rq;
    if constexpr (WithCallbacks) {
        return eval_groups(rq, job.site, job.cell, k0, k1, job.cbs, job.params);
    } else {
        // One result per site is laid out the same way in both layouts.
        if (!job.spread || rq.nres == 1) return eval_range(rq, job.site, job.cell, k0, k1);
        // Site-major results of one function into the slot, then spread to
        // the caller's layout; slots a kernel does not write are not copied.
        T* slot = job.scratch + static_cast<int64_t>(th) * kSubBlock * rq.nres;
        Request<T> sub = rq;
        sub.r = slot;
        sub.sj = 0;
        sub.sk = rq.nres;
        sub.ss = 1;
        const int64_t slots = rq.written_slots();
        for (int64_t s0 = k0; s0 < k1; s0 += kSubBlock) {
            const int64_t n = k1 - s0 < kSubBlock ? k1 - s0 : kSubBlock;
            for (int64_t j = 0; j < rq.fit->t->ny; ++j) {
                for (int64_t i = 0; i < n; ++i)
                    if (int32_t st = eval_site(sub, j, i, job.cell[s0 + i], job.site[s0 + i])) return st;
                for (int64_t q = 0; q < slots; ++q)
                    for (int64_t i = 0; i < n; ++i) *rq.out(j, s0 + i, q) = slot[i * rq.nres + q];
            }
        }
        return ORVU_DF_OK;
    }
}

// Per-block functions handed to entry 0 of the threading table.
template <class T, class CB, bool WithCallbacks>
void interp_block(int32_t b, int32_t th, int32_t, void* ctx) {
    auto* job = static_cast<InterpJob<T, CB>*>(ctx);
    if (__atomic_load_n(&job->status, __ATOMIC_RELAXED) < 0) return;  // an earlier block failed
    const int64_t k0 = job->first + b * job->block;
    const int32_t st = interp_range<T, CB, WithCallbacks>(*job, k0, k0 + job->block, th);
    if (st < 0) __atomic_store_n(&job->status, st, __ATOMIC_RELAXED);
}
template <class T, class CB>
void _v1DInterpThreader32(int32_t b, int32_t th, int32_t nth, void* ctx) { interp_block<T, CB, false>(b, th, nth, ctx); }
template <class T, class CB>
void _v1DInterpThreader32CB(int32_t b, int32_t th, int32_t nth, void* ctx) { interp_block<T, CB, true>(b, th, nth, ctx); }

// General path: blocks of 320 on min(blocks, T) threads when T > 1 and there
// are more than 512 sites, then the remaining whole blocks of 64 the same way,
// then the last partial block in the calling thread.
template <class T, class CB>
int32_t general_path(const Request<T>& rq, int64_t nsite, const T* site, const int32_t* cell, bool site_major,
                     const CB cbs[3], void* const params[3], const OrvuThreadingTable* thr) {
    const bool callbacks = cbs[0] || cbs[1] || cbs[2];
    const int64_t threads = max_threads(thr);
    const bool spread = !callbacks && !site_major;
    // One sub-block of results per thread that may take part.
    Scratch<T, kScratchStack> scratch(spread ? Size(kSubBlock) * rq.nres * threads : Size(0));
    if (!scratch.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    InterpJob<T, CB> job{&rq, site, cell, spread, scratch.get(), 0, 0, cbs, params, ORVU_DF_OK};
    const orvu_thr_loop_body per_block =
        callbacks ? _v1DInterpThreader32CB<T, CB> : _v1DInterpThreader32<T, CB>;
    int64_t done = 0;
    auto pass = [&](int64_t block) {
        const int64_t count = (nsite - done) / block;
        if (count == 0) return;
        job.first = done;
        job.block = block;
        const int64_t used = count < threads ? count : threads;
        if (used > 1) {
            thr->parallel_for(static_cast<int32_t>(count), static_cast<int32_t>(used), &job, per_block);
        } else {
            for (int64_t b = 0; b < count && job.status >= 0; ++b) per_block(static_cast<int32_t>(b), 0, 1, &job);
        }
        done += count * block;
    };
    if (threads > 1 && nsite > kThreadedSites) pass(kBigBlock);
    if (job.status >= 0) pass(kSubBlock);
    if (job.status >= 0 && done < nsite) {
        job.status = callbacks ? interp_range<T, CB, true>(job, done, nsite, 0)
                               : interp_range<T, CB, false>(job, done, nsite, 0);
    }
    return job.status < 0 ? job.status : ORVU_DF_OK;
}

template <class T, class CB>
int32_t interpolate(OrvuDFTask* t, int64_t type, int64_t nsite, const T* site, int64_t site_hint, int64_t ndorder,
                    const void* dorder, const T* dh, T* r, int64_t rhint, void* cell_io, CB le, void* lp, CB re,
                    void* rp, CB ie, void* ip, typename std::conditional<sizeof(T) == 4, orvu_df_ssearch_cb,
                                                                         orvu_df_dsearch_cb>::type scb,
                    void* sp, const OrvuThreadingTable* thr) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    const Kind kind = eval_kind(t->order, t->type, le && re && ie);
    if (kind == Kind::None) return ORVU_DF_ERROR_BAD_SPLINE_TYPE;
    SearchPlan plan{SearchMethod::Hybrid, 0};
    if (type != 4)
        if (int32_t st = plan_search<T>(t, site_hint, dh, scb != nullptr, &plan)) return st;
    if (!valid_layout_hint(rhint)) return ORVU_DF_ERROR_BAD_RHINT;
    const bool wide = t->int_flags & 1;
    if (kind == Kind::LookUp) {
        if (ndorder != 1) return ORVU_DF_ERROR_BAD_LOOKUP_NDORDER;
        if (!dorder || dorder_at(dorder, 0, wide) == 0) return ORVU_DF_ERROR_BAD_LOOKUP_DORDER;
    }
    if (int32_t st = check_fit_arrays(t, kind, le && re && ie)) return st;
    if (nsite <= 0) return ORVU_DF_OK;

    Fit<T> fit(t, kind);
    Request<T> rq{&fit};
    set_orders(rq, ndorder, dorder, wide);
    if (!addressable({t->ny, nsite, rq.nres}, sizeof(T))) return ORVU_DF_ERROR_MEM_FAILURE;
    const bool site_major = rhint == 16 || rhint == 128;
    set_layout(rq, r, nsite, site_major);

    // Sites: uniform sites given by their two ends are expanded first.
    const RequestSites<T> sites(site, nsite, site_hint);
    if (!sites.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    site = sites.get();
    Scratch<int32_t, 4096> cells(nsite);
    if (!cells.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    if (type == 4) {
        for (int64_t k = 0; k < nsite; ++k)
            cells[k] = static_cast<int32_t>(wide ? static_cast<const int64_t*>(cell_io)[k] : static_cast<const int32_t*>(cell_io)[k]);
    } else {
        const OrvuThreadingTable* st_thr = nsite < kDirectSites ? nullptr : thr;
        if (int32_t st = run_search<T>(t, plan, nsite, site, cells.get(), scb, sp, st_thr)) {
            if (st < 0) return st;
        }
        if ((type & 2) && cell_io) {
            for (int64_t k = 0; k < nsite; ++k) {
                if (wide) static_cast<int64_t*>(cell_io)[k] = cells[k];
                else static_cast<int32_t*>(cell_io)[k] = cells[k];
            }
        }
    }

    const CB cbs[3] = {le, ie, re};
    void* const params[3] = {lp, ip, rp};
    const bool direct = nsite < kDirectSites && (t->int_flags & 3) == 0;
    if (!direct) return general_path(rq, nsite, site, cells.get(), site_major, cbs, params, thr);
    if (le || re || ie) return eval_groups(rq, site, cells.get(), 0, nsite, cbs, params);
    return eval_range(rq, site, cells.get(), 0, nsite);
}

}  // namespace
}  // namespace orvu::df

#define DF_INTERP_ENTRY(t, T)                                                                                   \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##DFInterpolate1D(                                            \
        OrvuDFTaskPtr task, int64_t type, int64_t, int64_t nsite, const T* site, int64_t sh, int64_t ndorder,   \
        const void* dorder, const T* dh, T* r, int64_t rhint, void* cell, orvu_df_##t##interp_cb le, void* lp,  \
        orvu_df_##t##interp_cb re, void* rp, orvu_df_##t##interp_cb ie, void* ip, orvu_df_##t##search_cb scb,   \
        void* sp, const OrvuThreadingTable* thr) {                                                               \
        return orvu::df::interpolate<T>(task, type, nsite, site, sh, ndorder, dorder, dh, r, rhint, cell, le, lp, \
                                        re, rp, ie, ip, scb, sp, thr);                                          \
    }
DF_INTERP_ENTRY(s, float)
DF_INTERP_ENTRY(d, double)
