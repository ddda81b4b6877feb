// Pooled covariance: per-group weighted means and cross-products in one
// pass (the one-observation merge of the basic statistics, per group), split
// over threads by observation blocks and merged group by group.
//
// Divisors: a group's covariance is CP_g / (W_g - W2_g / W_g) (for unit
// weights n_g - 1); the pooled covariance is sum CP_g / sum (W_g - W2_g / W_g)
// (for unit weights n - G, groups with no weight left out); the pooled mean
// is the weighted mean of all observations, sum W_g m_g / W.
#include <cmath>
#include <cstring>

#include "ptz/stats/basic_state.h"
#include "ptz/stats/block_size.h"
#include "ptz/stats/mtx_storage.h"
#include "ptz/stats/task.h"

namespace orvu::ss {
namespace {

template <class T>
struct PooledCtx {
    const SSTask* t;
    const T* x;
    const T* w;
    Dims d;
    const int64_t* comp;
    int64_t q, groups, blocks;
    bool cp;
    Partial* parts;   // blocks x groups
};

// One block of observations into that block's per-group partials: the
// kernel family _vSSPldCovKernel is this one template over layout, weights
// and means-only.
template <class T, bool Cols, bool Weighted, bool CP>
void pooled_kernel(const PooledCtx<T>& c, int64_t i0, int64_t i1, Partial* g) {
    const int64_t q = c.q;
    for (int64_t i = i0; i < i1; ++i) {
        Partial& s = g[read_int_at(c.t, c.t->groupIndices, i)];
        const double w = Weighted ? double(c.w[i]) : 1.0, Wn = s.W + w;
        if (Wn == 0) continue;
        const double r = 1.0 / Wn, fw = s.W * r * w, wr = w * r;
        for (int64_t k = 0; k < q; ++k) {
            const double xv = Cols ? double(c.x[i * c.d.ld + c.comp[k]]) : double(c.x[c.comp[k] * c.d.ld + i]);
            const double dk = xv - s.mean[k];
            s.work[k] = dk;
            s.mean[k] += dk * wr;
        }
        if (CP)
            for (int64_t a = 0; a < q; ++a) {
                const double da = s.work[a] * fw;
                for (int64_t b = a; b < q; ++b) s.cp[a * q + b] += da * s.work[b];
            }
        s.W = Wn;
        s.W2 += w * w;
    }
}

template <class T>
using PooledKernel = void (*)(const PooledCtx<T>&, int64_t, int64_t, Partial*);
// Index: (columns ? 4 : 0) + (weights ? 2 : 0) + (cross-products ? 1 : 0).
template <class T>
constexpr PooledKernel<T> kPooledKernels[8] = {
    pooled_kernel<T, false, false, false>, pooled_kernel<T, false, false, true>,
    pooled_kernel<T, false, true, false>,  pooled_kernel<T, false, true, true>,
    pooled_kernel<T, true, false, false>,  pooled_kernel<T, true, false, true>,
    pooled_kernel<T, true, true, false>,   pooled_kernel<T, true, true, true>,
};

template <class T>
void pooled_block(int32_t index, int32_t, int32_t, void* vctx) {
    auto* c = static_cast<PooledCtx<T>*>(vctx);
    const int64_t n = c->d.n;
    const int k = (c->d.columns ? 4 : 0) + (c->w ? 2 : 0) + (c->cp ? 1 : 0);
    kPooledKernels<T>[k](*c, n * index / c->blocks, n * (index + 1) / c->blocks, c->parts + index * c->groups);
}

template <class T>
int32_t pooled(SSTask* t, uint64_t mask, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    Dims d;
    int32_t st = common_checks(t, true, &d);
    if (st) return st;
    if (!t->groupIndices) return kNoGroupIndices;
    const bool pooled_cov = mask & ORVU_SS_POOLED_COV;
    const bool pooled_mean = (mask & ORVU_SS_POOLED_MEAN) || pooled_cov;
    const bool group_cov = mask & ORVU_SS_GROUP_COV;
    const bool group_means = (mask & ORVU_SS_GROUP_MEANS) || group_cov;
    if (pooled_mean && !t->pooledMean) return -4035;
    if (pooled_cov && !t->pooledCovStorage) return kNoStorageOrCount;
    if (pooled_cov && !t->pooledCov) return -4034;
    if (group_means && !t->reqGroupIndices) return kNoGroupIndices;
    if (group_means && !t->groupMeans) return -4037;
    if (group_cov && !t->groupCovStorage) return kNoStorageOrCount;
    if (group_cov && !t->groupCov) return -4036;
    if (!(method & ORVU_SS_METHOD_POOLED)) return kBadMethod;
    int64_t top = -1;   // the largest group index
    for (int64_t i = 0; i < d.n; ++i) {
        const int64_t g = read_int_at(t, t->groupIndices, i);
        if (g < 0) return kBadGroupIndex;
        if (g > top) top = g;
    }

    const int64_t p = d.p;
    const bool cp = pooled_cov || group_cov;
    const int64_t blocks =
        thr && thr->max_threads && thr->parallel_for ? work_threads(thr->max_threads(), d.n, p, cp) : 1;
    // Component list, then the doubles and the views of blocks x groups
    // partials. Sizes are checked before the group flags are read, so that
    // an absurd group index fails here rather than reading far past the
    // caller's flags. (A p beyond 32 bits cannot fit either; ruling it out
    // first keeps the partial's q^2 doubles from overflowing.)
    if (top == INT64_MAX || p > INT32_MAX) return kNoMemory;
    const int64_t groups = top + 1;
    const int64_t per = (Partial::doubles(p, cp, 0) + 15) / 16 * 16;   // whole 128-byte lines per partial
    const int64_t list = (p + 15) / 16 * 16;
    const BlockSize size = BlockSize()
                               .add(list, sizeof(int64_t))
                               .add(blocks, groups, sizeof(Partial))
                               .add(blocks, groups, per, sizeof(double));
    if (!size.fits()) return kNoMemory;
    if (group_means)
        for (int64_t g = 0; g < groups; ++g) {
            const int64_t f = read_int_at(t, t->reqGroupIndices, g);
            if (f != 0 && f != 1) return kBadGroupIndex;
        }
    void* block = size.allocate();
    if (!block) return kNoMemory;
    const int64_t count = blocks * groups;
    int64_t* comp = static_cast<int64_t*>(block);
    const int64_t q = processed_components(t, p, comp);
    double* buf = reinterpret_cast<double*>(comp + list);   // doubles first: the views may not be 8-byte sized
    Partial* parts = reinterpret_cast<Partial*>(buf + per * count);
    for (int64_t k = 0; k < count; ++k) {
        parts[k] = Partial{};
        parts[k].bind(buf + per * k, q, cp);
        parts[k].clear(q);
    }
    PooledCtx<T> ctx{t, static_cast<const T*>(t->x), static_cast<const T*>(t->weights), d, comp, q, groups, blocks, cp, parts};
    if (blocks > 1) thr->parallel_for(int32_t(blocks), int32_t(blocks), &ctx, pooled_block<T>);
    else pooled_block<T>(0, 0, 1, &ctx);
    for (int64_t b = 1; b < blocks; ++b)
        for (int64_t g = 0; g < groups; ++g) merge(parts[g], parts[b * groups + g], q);

    // Group results, the c-th requested group at c p (means) and c times
    // the matrix size (covariances).
    const int gl = group_cov ? mtx_layout(read_int(t, t->groupCovStorage)) : 0;
    const int64_t msize = gl == kFull ? p * p : p * (p + 1) / 2;
    int64_t c = 0;
    for (int64_t g = 0; g < groups && group_means; ++g) {
        if (read_int_at(t, t->reqGroupIndices, g) != 1) continue;
        const Partial& s = parts[g];
        for (int64_t k = 0; k < q; ++k) static_cast<T*>(t->groupMeans)[c * p + comp[k]] = T(s.mean[k]);
        if (group_cov) {
            const double f = 1.0 / (s.W - s.W2 / s.W);
            for (int64_t a = 0; a < q; ++a)
                for (int64_t b = a; b < q; ++b)
                    put_sym(static_cast<T*>(t->groupCov) + c * msize, gl, p, comp[a], comp[b], s.cp[a * q + b] * f);
        }
        ++c;
    }
    if (pooled_mean || pooled_cov) {
        double W = 0, dof = 0;
        for (int64_t g = 0; g < groups; ++g)
            if (parts[g].W != 0) {
                W += parts[g].W;
                dof += parts[g].W - parts[g].W2 / parts[g].W;
            }
        const int pl = pooled_cov ? mtx_layout(read_int(t, t->pooledCovStorage)) : 0;
        for (int64_t a = 0; a < q; ++a) {
            double m = 0;
            for (int64_t g = 0; g < groups; ++g) m += parts[g].W * parts[g].mean[a];
            static_cast<T*>(t->pooledMean)[comp[a]] = T(m / W);
            for (int64_t b = a; b < q && pooled_cov; ++b) {
                double s = 0;
                for (int64_t g = 0; g < groups; ++g) s += parts[g].cp[a * q + b];
                put_sym(static_cast<T*>(t->pooledCov), pl, p, comp[a], comp[b], s / dof);
            }
        }
    }
    orvu_serv_deallocate(block);
    return kOk;
}

}  // namespace
}  // namespace orvu::ss

extern "C" {
ORVU_API int32_t _ptzdSSPooledCovariance(SSTask* task, uint32_t lo, uint32_t hi, int32_t method, int32_t,
                                         const OrvuThreadingTable* thr) {
    return orvu::ss::pooled<double>(task, orvu::ss::join_mask(lo, hi), method, thr);
}
ORVU_API int32_t _ptzsSSPooledCovariance(SSTask* task, uint32_t lo, uint32_t hi, int32_t method, int32_t,
                                         const OrvuThreadingTable* thr) {
    return orvu::ss::pooled<float>(task, orvu::ss::join_mask(lo, hi), method, thr);
}
}
