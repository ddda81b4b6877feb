// The data passes, the factorization and the chi-square distribution shared
// by the robust routines.
#include "ptz/stats/robust_common.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "orvu_linalg.h"

namespace orvu::ss::robust {
namespace {

struct PassCtx {
    const WorkSet* w;
    const double* c;     // centre (mu)
    const double* linv;  // distances: inverse Cholesky factor
    const double* u;     // moments: observation weights, or null
    double* d2;          // distances: output
};

// The centred block [i0, i0 + nb) of the working copy, component-major with
// leading dimension kBlock.
void centred_block(const WorkSet& w, const double* c, int64_t i0, int64_t nb, double* buf) {
    for (int64_t a = 0; a < w.q; ++a) {
        const double* za = w.z + a * w.n + i0;
        double* ba = buf + a * kBlock;
        for (int64_t i = 0; i < nb; ++i) ba[i] = za[i] - c[a];
    }
}

void distance_chunk(int32_t chunk, int32_t, int32_t, void* vctx) {
    const PassCtx& x = *static_cast<PassCtx*>(vctx);
    const WorkSet& w = *x.w;
    double* buf = w.scratch + chunk * WorkSet::chunk_doubles(w.q);
    const int64_t i1 = w.n * (chunk + 1) / w.chunks;
    const int32_t q = int32_t(w.q), ld = int32_t(kBlock);
    const double one = 1;
    for (int64_t i0 = w.n * chunk / w.chunks; i0 < i1; i0 += kBlock) {
        const int32_t nb = int32_t(std::min<int64_t>(kBlock, i1 - i0));
        centred_block(w, x.c, i0, nb, buf);
        // Row i of the block times Linv^T: the whitened deviation of
        // observation i, whose squared length is its squared distance (a sum
        // of squares, so nothing cancels).
        orvu_blas_xdtrmm_4kex("R", "L", "T", "N", &nb, &q, &one, x.linv, &q, buf, &ld);
        for (int64_t i = 0; i < nb; ++i) {
            double s = 0;
            for (int64_t a = 0; a < q; ++a) s += buf[a * kBlock + i] * buf[a * kBlock + i];
            x.d2[i0 + i] = s;
        }
    }
}

// Per chunk: S2 (q x q lower, after the block buffer), s1 (q), s0.
void moment_chunk(int32_t chunk, int32_t, int32_t, void* vctx) {
    const PassCtx& x = *static_cast<PassCtx*>(vctx);
    const WorkSet& w = *x.w;
    const int64_t q = w.q;
    double* buf = w.scratch + chunk * WorkSet::chunk_doubles(q);
    double* s2 = buf + kBlock * q;
    double* s1 = s2 + q * q;
    double* s0 = s1 + q;
    std::memset(s2, 0, sizeof(double) * (q * q + q + 1));
    const int64_t i1 = w.n * (chunk + 1) / w.chunks;
    const int32_t qq = int32_t(q), ld = int32_t(kBlock);
    const double one = 1;
    double wt[kBlock], sw[kBlock];
    for (int64_t i0 = w.n * chunk / w.chunks; i0 < i1; i0 += kBlock) {
        const int64_t nb = std::min<int64_t>(kBlock, i1 - i0);
        for (int64_t i = 0; i < nb; ++i) {
            wt[i] = (x.u ? x.u[i0 + i] : 1.0) * (w.v ? w.v[i0 + i] : 1.0);
            sw[i] = std::sqrt(wt[i]);
            *s0 += wt[i];
        }
        centred_block(w, x.c, i0, nb, buf);
        for (int64_t a = 0; a < q; ++a) {
            double* ba = buf + a * kBlock;
            double s = 0;
            for (int64_t i = 0; i < nb; ++i) {
                s += wt[i] * ba[i];
                ba[i] *= sw[i];
            }
            s1[a] += s;
        }
        const int32_t k = int32_t(nb);
        orvu_blas_xdsyrk("L", "T", &qq, &k, &one, buf, &ld, &one, s2, &qq);
    }
}

void run(const WorkSet& w, PassCtx& ctx, orvu_thr_loop_body body) {
    if (w.chunks > 1) w.thr->parallel_for(w.chunks, w.chunks, &ctx, body);
    else body(0, 0, 1, &ctx);
}

// Regularized incomplete gamma functions P(a, x) (series, x < a + 1) and
// Q(a, x) = 1 - P(a, x) (Lentz's continued fraction, x >= a + 1); each is
// computed where it does not cancel, to about 1e-15 relative.
double gamma_prefix(double a, double x) { return std::exp(-x + a * std::log(x) - std::lgamma(a)); }
double gamma_p_series(double a, double x) {
    double term = 1 / a, sum = term;
    for (int k = 1; k < 10000 && std::fabs(term) > sum * 1e-17; ++k) {
        term *= x / (a + k);
        sum += term;
    }
    return sum * gamma_prefix(a, x);
}
double gamma_q_fraction(double a, double x) {
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 10000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny) c = tiny;
        d = 1 / d;
        const double del = d * c;
        h *= del;
        if (std::fabs(del - 1) < 1e-16) break;
    }
    return gamma_prefix(a, x) * h;
}

}  // namespace

void* open_work(WorkSet& w, const SSTask* t, int64_t n, int64_t p, const OrvuThreadingTable* thr,
                const BlockSize& extra, int64_t** comp, double** rest) {
    const BlockSize size = BlockSize(extra).add(p, sizeof(int64_t)).add(n, p, sizeof(double));
    if (!size.fits()) return nullptr;
    w.n = n, w.thr = thr;
    w.chunks = (!thr || !thr->max_threads || !thr->parallel_for) ? 1 : work_threads(thr->max_threads(), n, p, true);
    void* block = BlockSize(size).add(w.chunks, WorkSet::chunk_doubles(p), sizeof(double)).allocate();
    if (!block) return nullptr;
    *comp = static_cast<int64_t*>(block);
    w.q = processed_components(t, p, *comp);
    w.z = reinterpret_cast<double*>(*comp + p);
    *rest = w.z + n * p;
    w.scratch = reinterpret_cast<double*>(static_cast<char*>(block) + size.total());
    return block;
}

template <class T>
void gather(const SSTask* t, const Dims& d, const int64_t* comp, WorkSet& w, double* weights) {
    const T* x = static_cast<const T*>(t->x);
    for (int64_t a = 0; a < w.q; ++a) {
        double* za = w.z + a * w.n;
        if (d.columns)
            for (int64_t i = 0; i < w.n; ++i) za[i] = double(x[i * d.ld + comp[a]]);
        else
            for (int64_t i = 0; i < w.n; ++i) za[i] = double(x[comp[a] * d.ld + i]);
    }
    w.v = nullptr;
    if (t->weights) {
        const T* wt = static_cast<const T*>(t->weights);
        for (int64_t i = 0; i < w.n; ++i) weights[i] = double(wt[i]);
        w.v = weights;
    }
}
template void gather<double>(const SSTask*, const Dims&, const int64_t*, WorkSet&, double*);
template void gather<float>(const SSTask*, const Dims&, const int64_t*, WorkSet&, double*);

void distances(const WorkSet& w, const double* mu, const double* linv, double* d2) {
    PassCtx ctx{&w, mu, linv, nullptr, d2};
    run(w, ctx, distance_chunk);
}

double moments(const WorkSet& w, const double* c, const double* u, double* mean, double* cov) {
    PassCtx ctx{&w, c, nullptr, u, nullptr};
    run(w, ctx, moment_chunk);
    const int64_t q = w.q, per = WorkSet::chunk_doubles(q);
    // Chunk 0's sums collect the others, in chunk order.
    double* s2 = w.scratch + kBlock * q;
    double* s1 = s2 + q * q;
    double* s0 = s1 + q;
    for (int32_t k = 1; k < w.chunks; ++k) {
        const double* o = w.scratch + k * per + kBlock * q;
        for (int64_t e = 0; e < q * q + q + 1; ++e) s2[e] += o[e];
    }
    // The shift s1 / s0 of the mean from c is small next to the spread
    // whenever c is a fair centre, so the correction does not cancel.
    const double r = 1 / *s0;
    for (int64_t b = 0; b < q; ++b)
        for (int64_t a = b; a < q; ++a)
            cov[a + b * q] = cov[b + a * q] = s2[a + b * q] * r - (s1[a] * r) * (s1[b] * r);
    for (int64_t a = 0; a < q; ++a) mean[a] = c[a] + s1[a] * r;   // mean may be c itself
    return *s0;
}

bool factor_inverse(double* a, int64_t q, double* linv, double* logdet) {
    const int32_t n = int32_t(q);
    int32_t info = 0;
    orvu_lapack_dpotrf("L", &n, a, &n, &info);
    if (info != 0) return false;
    double ld = 0;
    for (int64_t j = 0; j < q; ++j) {
        ld += 2 * std::log(a[j + j * q]);
        for (int64_t i = 0; i < q; ++i) linv[i + j * q] = i >= j ? a[i + j * q] : 0.0;
    }
    orvu_lapack_dtrtri("L", "N", &n, linv, &n, &info);
    if (logdet) *logdet = ld;
    return info == 0 && std::isfinite(ld);
}

double chi2_upper(double k, double x) {
    if (!(x > 0)) return 1;
    const double a = k / 2, h = x / 2;
    return h < a + 1 ? 1 - gamma_p_series(a, h) : gamma_q_fraction(a, h);
}

double chi2_upper_quantile(double k, double tail) {
    double lo = 0, hi = k + 10 * std::sqrt(2 * k) + 50;
    while (chi2_upper(k, hi) > tail && hi < 1e300) hi *= 2;   // callers pass 0 < tail < 1
    for (int it = 0; it < 200 && hi - lo > 1e-14 * hi; ++it) {
        const double mid = 0.5 * (lo + hi);
        (chi2_upper(k, mid) > tail ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

double median_of(double* v, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        if (std::isnan(v[i])) v[i] = std::numeric_limits<double>::infinity();
    const int64_t h = n / 2;
    std::nth_element(v, v + h, v + n);
    if (n % 2) return v[h];
    return 0.5 * (v[h] + *std::max_element(v, v + h));
}

template <class T>
int32_t read_params(const SSTask* t, const void* count_ptr, const void* array, int64_t max, int32_t count_code,
                    int32_t array_code, double* out, int64_t* count) {
    const int64_t k = count_ptr ? read_int(t, count_ptr) : 0;
    if (k < 0 || k > max) return count_code;
    if (k > 0 && !array) return array_code;
    for (int64_t e = 0; e < k; ++e) out[e] = double(static_cast<const T*>(array)[e]);
    *count = k;
    return kOk;
}
template int32_t read_params<double>(const SSTask*, const void*, const void*, int64_t, int32_t, int32_t, double*,
                                     int64_t*);
template int32_t read_params<float>(const SSTask*, const void*, const void*, int64_t, int32_t, int32_t, double*,
                                    int64_t*);

}  // namespace orvu::ss::robust
