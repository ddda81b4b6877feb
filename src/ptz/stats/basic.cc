// Basic statistics: validation, the data pass split over the caller's
// threads, the pairwise merge of the partial results, the continuation of
// earlier calls through the accumulated weights, and the conversion-only
// methods.
#include <climits>
#include <cstring>

#include "orvu_linalg.h"
#include "ptz/stats/block_size.h"
#include "ptz/stats/basic_io.h"

namespace orvu::ss {
namespace {

template <class T>
struct PassContext {
    KernelArgs<T> args;             // i0, i1 filled per thread
    int64_t n;
    BasicKernel<T> kernel;
    Pass pass;
    bool cp;
    const bool* columns;
    Partial* parts;                 // one per thread
};

// Fast and second-pass methods with the cross-product: block by block, the
// kernel forms the block's partial (data then in cache), the block is copied
// centred (second pass: on the given means; fast: on the block's power-sum
// centre K) and scaled by sqrt(w) for one rank-k update into the running
// cross-product, the fast block subtracts W_b (m_b - K)(m_b - K)^T (small:
// no digits cancel), and merge() adds the block with the mean-shift term.
template <class T, bool Cols>
void blocks_through_blas(const PassContext<T>& ctx, const KernelArgs<T>& a, Partial& s) {
    const int64_t q = a.q;
    Partial b;   // the block; its products go straight into s.cp
    b.bind(s.work + 2 * q + a.block * q, q, false);
    const double* centre = ctx.pass == kPass2p ? s.mean : b.work + q;
    const double* e1 = b.work;   // fast: m_b - K
    for (int64_t i0 = a.i0; i0 < a.i1; i0 += a.block) {
        const BlockBuf<Cols> buf{s.work + 2 * q, q, a.i1 - i0 < a.block ? a.i1 - i0 : a.block};
        KernelArgs<T> ab = a;
        ab.i0 = i0;
        ab.i1 = i0 + buf.nb;
        b.clear(q);
        if (ctx.pass == kPass2p) std::memcpy(b.mean, s.mean, sizeof(double) * q);
        ctx.kernel(ab, b);
        if (b.W == 0) continue;
        buf.walk([&](int64_t i, int64_t c) {
            const double sw = a.w ? std::sqrt(double(a.w[i0 + i])) : 1.0;
            buf(i, c) = sw * (elem<Cols>(a, i0 + i, c) - centre[c]);
        });
        buf.add_products_to(s.cp);
        if (ctx.pass == kPassFast)
            for (int64_t j = 0; j < q; ++j)
                for (int64_t k = j; k < q; ++k) s.cp[j * q + k] -= b.W * e1[j] * e1[k];
        merge(s, b, q);
    }
}

template <class T>
void basic_threader(int32_t thread, int32_t count, void* vctx) {
    auto* ctx = static_cast<PassContext<T>*>(vctx);
    KernelArgs<T> a = ctx->args;
    a.i0 = ctx->n * thread / count;
    a.i1 = ctx->n * (thread + 1) / count;
    Partial& s = ctx->parts[thread];
    // One-pass kernels update the cross-product themselves.
    if (!ctx->cp || ctx->pass == kPass1p) ctx->kernel(a, s);
    else if (*ctx->columns) blocks_through_blas<T, true>(*ctx, a, s);
    else blocks_through_blas<T, false>(*ctx, a, s);
}

extern "C" void _vSSBasicThreaderD(int32_t t, int32_t c, void* x) { basic_threader<double>(t, c, x); }
extern "C" void _vSSBasicThreaderS(int32_t t, int32_t c, void* x) { basic_threader<float>(t, c, x); }
template <class T> orvu_thr_team_body threader_of();
template <> orvu_thr_team_body threader_of<double>() { return _vSSBasicThreaderD; }
template <> orvu_thr_team_body threader_of<float>() { return _vSSBasicThreaderS; }

// One thread without a team-capable table.
int32_t thread_count(const OrvuThreadingTable* thr, int64_t n, int64_t p, bool cp) {
    if (!thr || !thr->max_threads || !thr->parallel_team) return 1;
    return work_threads(thr->max_threads(), n, p, cp);
}

template <class T>
int32_t read_matrices(const SSTask* t, const BasicPlan& pl, Matrices* mx) {
    struct { int slot; const void* code; int* out; } rows[] = {
        {kCov, t->covStorage, &mx->cov}, {kCor, t->corStorage, &mx->cor}, {kCp, t->cpStorage, &mx->cp}};
    for (auto& r : rows) {
        if (!((pl.needed >> r.slot) & 1u)) continue;
        if (!r.code) return kNoStorageOrCount;
        *r.out = mtx_layout(read_int(t, r.code));
    }
    return kOk;
}

// Conversion-only methods: moments from sums, covariance and correlation
// from the cross-product; nothing else is read.
template <class T>
void convert(const SSTask* t, const BasicPlan& pl, const int64_t* comp, int64_t q, int64_t p,
             const Matrices& mx, double W, double W2) {
    auto want = [&](int slot) { return (pl.requested >> slot) & 1u; };
    auto F = [&](int slot) { return field<T>(t, slot); };
    const double vf = var_factor(W, W2), cf = cov_factor(W, W2);
    for (int64_t c = 0; c < q; ++c) {
        const int64_t j = comp[c];
        if (want(kMean)) F(kMean)[j] = T(double(F(kSum)[j]) / W);
        for (int k = 0; k < 3; ++k)
            if (want(kRaw2 + k)) F(kRaw2 + k)[j] = T(double(F(kRawSum2 + k)[j]) / W);
        if (want(kCen2)) F(kCen2)[j] = T(double(F(kCenSum2)[j]) * vf);
        if (want(kCen3)) F(kCen3)[j] = T(double(F(kCenSum3)[j]) / W);
        if (want(kCen4)) F(kCen4)[j] = T(double(F(kCenSum4)[j]) / W);
        const double c2 = F(kCen2) ? double(F(kCen2)[j]) : 0;
        if (want(kKurt)) F(kKurt)[j] = T(double(F(kCen4)[j]) / (c2 * c2) - 3.0);
        if (want(kSkew)) F(kSkew)[j] = T(double(F(kCen3)[j]) / std::sqrt(c2 * c2 * c2));
        if (want(kVar)) F(kVar)[j] = T(std::sqrt(c2) / double(F(kMean)[j]));
    }
    if (!want(kCov) && !want(kCor)) return;
    const T* cp = F(kCp);
    for (int64_t a = 0; a < q; ++a)
        for (int64_t b = a; b < q; ++b) {
            const int64_t i = comp[a], j = comp[b];
            const double v = get_sym(cp, mx.cp, p, i, j);
            if (want(kCov)) put_sym(F(kCov), mx.cov, p, i, j, v * cf);
            if (want(kCor)) {
                const double r = a == b ? v * cf : v / std::sqrt(get_sym(cp, mx.cp, p, i, i) * get_sym(cp, mx.cp, p, j, j));
                put_sym(F(kCor), mx.cor, p, i, j, r);
            }
        }
}

template <class T>
int32_t basic(SSTask* t, uint64_t mask, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    BasicPlan pl;
    int32_t st = make_basic_plan(t, mask, method, &pl);
    if (st) return st;
    Dims d;
    if (!t->p || (d.p = read_int(t, t->p)) < 1) return kBadDimension;
    T* acc = static_cast<T*>(t->accumWeight);
    if (pl.conversion) {
        if (!acc && (!t->n || t->weights)) return kNoAccumWeight;
        if (!acc && (d.n = read_int(t, t->n)) < 1) return kBadObsCount;
    } else {
        if ((st = common_checks(t, true, &d))) return st;
        if (pl.pass == kPass2p && !t->mean) return kSlotRows[kMean].missing;
    }
    Matrices mx;
    if ((st = read_matrices<T>(t, pl, &mx))) return st;

    const int64_t p = d.p;
    const int32_t threads = pl.conversion ? 1 : thread_count(thr, d.n, p, pl.cp);
    // One block: the component list, the doubles of (threads + 1) partial
    // results, the last one holding the data processed by earlier calls, and
    // their views.
    // Each partial starts on its own 128-byte line, so that one thread's
    // writes never share a cache line with another thread's reads.
    const int64_t block_obs = block_rows(p);
    const int64_t per = (Partial::doubles(p, pl.cp, block_obs) + 15) / 16 * 16;
    const int64_t list = (p + 15) / 16 * 16;
    void* block = BlockSize{}
                      .add(sizeof(int64_t), list)
                      .add(sizeof(double), per, threads + 1)
                      .add(sizeof(Partial), threads + 1)
                      .allocate();
    if (!block) return kNoMemory;
    int64_t* comp = static_cast<int64_t*>(block);
    const int64_t q = processed_components(t, p, comp);
    double* buf = reinterpret_cast<double*>(comp + list);
    Partial* pv = reinterpret_cast<Partial*>(buf + per * (threads + 1));
    for (int32_t k = 0; k <= threads; ++k) {
        pv[k] = Partial{};
        pv[k].bind(buf + per * k, q, pl.cp);
        pv[k].clear(q);
    }
    Partial& old = pv[threads];
    const bool continuing = acc && !pl.conversion && acc[0] != T(0);

    if (pl.conversion) {
        const double W = acc ? double(acc[0]) : double(d.n), W2 = acc ? double(acc[1]) : double(d.n);
        convert<T>(t, pl, comp, q, p, mx, W, W2);
    } else {
        if (pl.pass == kPass2p) {   // every partial is centred on the given means
            const T* m = static_cast<const T*>(t->mean);
            for (int32_t k = 0; k <= threads; ++k)
                for (int64_t c = 0; c < q; ++c) pv[k].mean[c] = m[comp[c]];
        }
        if (continuing) {
            old.W = acc[0];
            old.W2 = acc[1];
            if (!recover_state<T>(t, pl, comp, q, p, mx, old)) st = kBadMethod;
        }
        if (st == kOk) {
            const bool cols = d.columns;
            const KernelTables<T>& kt = kernel_tables<T>();
            const bool w = t->weights != nullptr;
            // With the cross-product and the mean alone, the fast method has
            // no power sums to keep: its blocks are the one-pass blocks.
            const Pass pass = pl.pass == kPassFast && pl.cp && pl.level == 0 ? kPass1p : pl.pass;
            BasicKernel<T> kernel =
                pass == kPass1p ? kt.one_pass[(cols ? 16 : 0) + (w ? 8 : 0) + 2 * pl.level + (pl.cp ? 1 : 0)]
                : pass == kPassFast ? kt.fast[(cols ? 8 : 0) + (w ? 4 : 0) + pl.level]
                                    : kt.second_pass[(cols ? 8 : 0) + (w ? 4 : 0) + pl.level];
            // A continuing fast computation centres its power sums on the
            // running mean.
            const double* shift = continuing && pl.pass == kPassFast ? old.mean : nullptr;
            PassContext<T> ctx{
                {static_cast<const T*>(t->x), static_cast<const T*>(t->weights), d.ld, 0, 0, comp, q, shift, block_obs},
                d.n, kernel, pass, pl.cp, &cols, pv};
            if (threads > 1) thr->parallel_team(threads, &ctx, threader_of<T>());
            else basic_threader<T>(0, 1, &ctx);
            // Pairwise merge: partial k absorbs k + step, in order of the blocks.
            for (int32_t step = 1; step < threads; step *= 2)
                for (int32_t k = 0; k + step < threads; k += 2 * step) merge(pv[k], pv[k + step], q);
            merge(old, pv[0], q);
            write_results<T>(t, pl, comp, q, p, mx, old);
            if (acc) {
                acc[0] = T(old.W);
                acc[1] = T(old.W2);
            }
        }
    }
    orvu_serv_deallocate(block);
    return st;
}

}  // namespace
}  // namespace orvu::ss

extern "C" {
ORVU_API int32_t _ptzdSSBasic(SSTask* task, uint32_t lo, uint32_t hi, int32_t method, int32_t,
                              const OrvuThreadingTable* thr) {
    return orvu::ss::basic<double>(task, orvu::ss::join_mask(lo, hi), method, thr);
}
ORVU_API int32_t _ptzsSSBasic(SSTask* task, uint32_t lo, uint32_t hi, int32_t method, int32_t,
                              const OrvuThreadingTable* thr) {
    return orvu::ss::basic<float>(task, orvu::ss::join_mask(lo, hi), method, thr);
}
}
