// Missing values under the multivariate normal model, after Schafer (1997,
// "Analysis of incomplete multivariate data", chapters 5 and 6):
//
// 1. EM. Observations are grouped by the pattern of their missing
//    components. For a pattern with observed set O and missing set M, under
//    the current mean mu and covariance S, the missing part follows
//    N(mu_M + B (x_O - mu_O), C) with B = S_MO S_OO^-1 and
//    C = S_MM - B S_OM. E-step: the missing entries become their conditional
//    means; M-step: mu and S become the mean and the (divisor n) covariance
//    of the filled data plus the mean of the conditional covariances C.
// 2. Data augmentation from the EM estimates, under the non-informative
//    prior: the I-step draws the missing entries from their conditional law,
//    the P-step draws S from the inverse Wishart law with n - 1 degrees of
//    freedom and the filled data's cross-product matrix about its mean as
//    scale (Bartlett's decomposition), then mu from N(mean, S / n).
// 3. Multiple imputation: one chain; every `da` steps its imputed values and
//    the estimates of the data they complete are one imputation, ready for
//    Rubin's combining rules.
// The simulations draw from a private MCG59 stream seeded with two words.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "orvu_linalg.h"
#include "orvu_ptz_rng.h"
#include "ptz/stats/mtx_storage.h"
#include "ptz/stats/robust_common.h"

namespace orvu::ss::missing {
namespace {

using robust::WorkSet;

enum MissingStatus : int32_t {
    kNoParams = -4048,
    kNoParamsN = -4049,
    kBadParamsN = -4050,
    kNoArrayB = -4054,
    kNoCountB = -4055,
    kBadParams = -4058,
    kShortOutput = -4059,
    kNoOutputs = -4060,
};
constexpr int32_t kMethodMI = ORVU_SS_METHOD_MI;
constexpr int32_t kMcg59 = 0x400000;

struct Params {
    int64_t em_iter = 0, da_iter = 0, m = 0;
    double acc = 0, marker = 0;
    uint32_t seed[2] = {1, 0};
};

bool whole(double v, double lo, double hi) { return v >= lo && v <= hi && v == std::floor(v); }

// The five method parameters, and the seed words of miArrayA when given.
template <class T>
int32_t read_params(const SSTask* t, Params* o) {
    const T* v = static_cast<const T*>(t->missingParams);
    o->em_iter = int64_t(v[0]), o->acc = double(v[1]), o->da_iter = int64_t(v[2]), o->m = int64_t(v[3]);
    o->marker = double(v[4]);
    const bool ok = whole(double(v[0]), 1, 1e6) && o->acc >= 0 && o->acc < 1 && whole(double(v[2]), 1, 1e6) &&
                    whole(double(v[3]), 0, 1e6) && !std::isinf(o->marker);
    if (!ok) return kBadParams;
    if (t->miCountA && t->miArrayA && read_int(t, t->miCountA) == 2)
        for (int e = 0; e < 2; ++e) {
            const double s = double(static_cast<const T*>(t->miArrayA)[e]);
            if (!whole(s, 0, 4294967295.0)) return kBadParams;
            o->seed[e] = uint32_t(s);
        }
    return kOk;
}

// The block of one call, past the working copy z of the processed
// components (n x q, column-major, missing entries filled).
struct Work {
    WorkSet w;
    int64_t n = 0, q = 0, nw = 0;  // nw: 64-bit words of one observation's missing mask
    uint64_t* mask = nullptr;      // n x nw
    int64_t* perm = nullptr;       // the observation at each position of z (ordered by pattern)
    int64_t* pos = nullptr;        // the position of each observation
    int64_t *obs = nullptr, *mis = nullptr;
    double *mu = nullptr, *sig = nullptr, *mu2 = nullptr, *sig2 = nullptr;
    double *smo = nullptr, *b = nullptr, *c = nullptr, *soo = nullptr, *acc = nullptr, *prec = nullptr;
    double *x = nullptr, *pred = nullptr;  // n x q each

    static BlockSize extra(int64_t n, int64_t p) {
        const int64_t nw = (p + 63) / 64;
        return BlockSize().add(n, nw, 8).add(2, n, 8).add(4, p, 8).add(8, p, p, 8).add(2, n, p, 8);
    }
    void lay_out(double* rest, int64_t p) {
        nw = (p + 63) / 64;
        mask = reinterpret_cast<uint64_t*>(rest);
        perm = reinterpret_cast<int64_t*>(mask + n * nw);
        pos = perm + n, obs = pos + n, mis = obs + p;
        double* d = reinterpret_cast<double*>(mis + p);
        double** mats[] = {&sig, &sig2, &smo, &b, &c, &soo, &acc, &prec};
        mu = d, mu2 = d + p, d += 2 * p;
        for (double** m : mats) *m = d, d += p * p;
        x = d, pred = d + n * p;
    }
    bool missing(int64_t i, int64_t a) const { return mask[i * nw + (a >> 6)] >> (a & 63) & 1; }
    double& z(int64_t i, int64_t a) const { return w.z[a * n + i]; }
};

// Calls f(first, end, k, m) for each run of positions of z sharing a
// pattern with missing components; obs/mis hold its k observed and m missing
// components.
template <class F>
int32_t for_patterns(Work& k, F f) {
    for (int64_t s = 0, e; s < k.n; s = e) {
        const uint64_t* ms = k.mask + s * k.nw;
        for (e = s + 1; e < k.n && std::memcmp(k.mask + e * k.nw, ms, size_t(k.nw) * 8) == 0;) ++e;
        int64_t no = 0, nm = 0;
        for (int64_t a = 0; a < k.q; ++a) (k.missing(s, a) ? k.mis[nm++] : k.obs[no++]) = a;
        if (nm == 0) continue;
        if (const int32_t st = f(s, e, no, nm)) return st;
    }
    return kOk;
}

// a (r x r, column-major) becomes its inverse; false when a is not positive
// definite.
bool invert_spd(double* a, int64_t r) {
    const int32_t kr = int32_t(r);
    int32_t info = 0;
    orvu_lapack_dpotrf("L", &kr, a, &kr, &info);
    if (info == 0) orvu_lapack_dpotri("L", &kr, a, &kr, &info);
    if (info != 0) return false;
    for (int64_t j = 0; j < r; ++j)
        for (int64_t i = 0; i < j; ++i) a[i + j * r] = a[j + i * r];
    return true;
}

// B = S_MO S_OO^-1 (m x k) and C = S_MM - B S_OM (m x m) under sig. With no
// more missing than observed components they come from the precision
// matrix K = S^-1 instead, C = K_MM^-1 and B = -C K_MO: the inverse is then
// the smaller one (with many patterns, as under scattered missing entries,
// this is most of the work of a step).
bool conditional(Work& k, int64_t no, int64_t nm) {
    const int64_t q = k.q;
    const bool by_prec = nm <= no;
    const double* src = by_prec ? k.prec : k.sig;
    auto take = [&](double* dst, const int64_t* r, int64_t nr, const int64_t* c, int64_t nc) {
        for (int64_t j = 0; j < nc; ++j)
            for (int64_t i = 0; i < nr; ++i) dst[i + j * nr] = src[r[i] + c[j] * q];
    };
    const int32_t ko = int32_t(no), km = int32_t(nm);
    const double one = 1, zero = 0, minus = -1;
    take(k.c, k.mis, nm, k.mis, nm);
    if (no == 0) return true;
    take(k.smo, k.mis, nm, k.obs, no);
    if (by_prec) {
        if (!invert_spd(k.c, nm)) return false;
        orvu_blas_xdgemm("N", "N", &km, &ko, &km, &minus, k.c, &km, k.smo, &km, &zero, k.b, &km);
        return true;
    }
    take(k.soo, k.obs, no, k.obs, no);
    if (!invert_spd(k.soo, no)) return false;
    orvu_blas_xdgemm("N", "N", &km, &ko, &ko, &one, k.smo, &km, k.soo, &ko, &zero, k.b, &km);
    orvu_blas_xdgemm("N", "T", &km, &km, &ko, &minus, k.b, &km, k.smo, &km, &one, k.c, &km);
    return true;
}

// The precision matrix of the current covariance, for conditional().
bool precision(Work& k) {
    std::memcpy(k.prec, k.sig, sizeof(double) * size_t(k.q * k.q));
    return invert_spd(k.prec, k.q);
}

// The missing entries at positions s..e of z become their conditional
// means plus (when noise) the rows of noise (e - s) x m.
void fill(Work& k, int64_t s, int64_t e, int64_t no, int64_t nm, const double* noise) {
    const int64_t ng = e - s;
    std::fill(k.pred, k.pred + ng * nm, 0.0);
    if (no > 0) {
        for (int64_t a = 0; a < no; ++a)
            for (int64_t r = 0; r < ng; ++r) k.x[r + a * ng] = k.z(s + r, k.obs[a]) - k.mu[k.obs[a]];
        const int32_t g = int32_t(ng), ko = int32_t(no), km = int32_t(nm);
        const double one = 1, zero = 0;
        orvu_blas_dgemm("N", "T", &g, &km, &ko, &one, k.x, &g, k.b, &km, &zero, k.pred, &g);
    }
    for (int64_t b = 0; b < nm; ++b)
        for (int64_t r = 0; r < ng; ++r)
            k.z(s + r, k.mis[b]) = k.mu[k.mis[b]] + k.pred[r + b * ng] + (noise ? noise[r + b * ng] : 0.0);
}

// One EM step; returns the largest change of a parameter in units of the
// standard deviations it involves (through *change).
int32_t em_step(Work& k, double* change) {
    const int64_t q = k.q;
    std::fill(k.acc, k.acc + q * q, 0.0);
    if (!precision(k)) return kPotrfFailed;
    const int32_t st = for_patterns(k, [&](int64_t s, int64_t e, int64_t no, int64_t nm) -> int32_t {
        if (!conditional(k, no, nm)) return kPotrfFailed;
        fill(k, s, e, no, nm, nullptr);
        for (int64_t j = 0; j < nm; ++j)
            for (int64_t i = 0; i < nm; ++i) k.acc[k.mis[i] + k.mis[j] * q] += double(e - s) * k.c[i + j * nm];
        return kOk;
    });
    if (st) return st;
    robust::moments(k.w, k.mu, nullptr, k.mu2, k.sig2);
    double d = 0;
    for (int64_t a = 0; a < q; ++a) {
        for (int64_t b = 0; b < q; ++b) k.sig2[a + b * q] += k.acc[a + b * q] / double(k.n);
        const double sa = std::sqrt(k.sig2[a + a * q]);
        d = std::max(d, std::fabs(k.mu2[a] - k.mu[a]) / sa);
        for (int64_t b = 0; b < q; ++b)
            d = std::max(d, std::fabs(k.sig2[a + b * q] - k.sig[a + b * q]) / (sa * std::sqrt(k.sig2[b + b * q])));
    }
    std::swap(k.mu, k.mu2), std::swap(k.sig, k.sig2);
    *change = d;
    return kOk;
}

// q means, then the covariance (scaled by f) packed by rows of its upper triangle.
template <class T>
void put_estimates(T* out, const double* mu, const double* sig, double f, int64_t q) {
    for (int64_t a = 0; a < q; ++a) {
        out[a] = T(mu[a]);
        for (int64_t b = a; b < q; ++b) put_sym(out + q, kUpperPacked, q, a, b, sig[a + b * q] * f);
    }
}

// One data-augmentation step: I-step, then P-step. The estimates of the
// data the I-step completed (mean and divisor n - 1 covariance) go to `out`
// when it is not null.
template <class T>
int32_t da_step(Work& k, RngStream* rs, T* out) {
    const int64_t q = k.q;
    const double one = 1;
    if (!precision(k)) return kPotrfFailed;
    int32_t st = for_patterns(k, [&](int64_t s, int64_t e, int64_t no, int64_t nm) -> int32_t {
        if (!conditional(k, no, nm)) return kPotrfFailed;
        const int32_t ng = int32_t(e - s), km = int32_t(nm);
        int32_t info = 0;
        orvu_lapack_dpotrf("L", &km, k.c, &km, &info);
        if (info != 0) return kPotrfFailed;
        double* noise = k.x + (e - s) * no;  // past the centred observed block fill() writes
        if (const int32_t g = _ptzdRngGaussian(0, rs, ng * km, noise, 0.0, 1.0)) return g;
        orvu_blas_dtrmm("R", "L", "T", "N", &ng, &km, &one, k.c, &km, noise, &ng);
        fill(k, s, e, no, nm, noise);
        return kOk;
    });
    if (st) return st;
    // P-step: xbar (mu2) and the cross products n * sig2 = L L^T.
    robust::moments(k.w, k.mu, nullptr, k.mu2, k.sig2);
    if (out) put_estimates(out, k.mu2, k.sig2, double(k.n) / double(k.n - 1), q);
    const int32_t kq = int32_t(q);
    int32_t info = 0;
    for (int64_t e = 0; e < q * q; ++e) k.sig2[e] *= double(k.n);
    orvu_lapack_dpotrf("L", &kq, k.sig2, &kq, &info);
    if (info != 0) return kPotrfFailed;
    // Bartlett: A lower with A_jj^2 ~ chi2(n - 1 - j), A_ij ~ N(0, 1) below;
    // then S = (L A^-T)(L A^-T)^T follows the inverse Wishart law.
    double* a = k.soo;
    std::fill(a, a + q * q, 0.0);
    double* normals = k.x;
    if ((st = _ptzdRngGaussian(0, rs, int32_t(q * (q - 1) / 2 + q), normals, 0.0, 1.0))) return st;
    for (int64_t j = 0, u = q; j < q; ++j) {
        double g;
        if ((st = _ptzdRngGamma(0, rs, 1, &g, 0.5 * double(k.n - 1 - j), 0.0, 2.0))) return st;
        a[j + j * q] = std::sqrt(g);
        for (int64_t i = j + 1; i < q; ++i) a[i + j * q] = normals[u++];
    }
    orvu_lapack_dtrtri("L", "N", &kq, a, &kq, &info);
    if (info != 0) return kPotriFailed;
    double* m = k.smo;
    for (int64_t e = 0; e < q * q; ++e) m[e] = k.sig2[e];
    for (int64_t j = 0; j < q; ++j)
        for (int64_t i = 0; i < j; ++i) m[i + j * q] = 0;
    orvu_blas_dtrmm("R", "L", "T", "N", &kq, &kq, &one, a, &kq, m, &kq);  // m = L A^-T
    const double zero = 0, root = 1 / std::sqrt(double(k.n));
    orvu_blas_xdgemm("N", "T", &kq, &kq, &kq, &one, m, &kq, m, &kq, &zero, k.sig, &kq);
    // mu = xbar + m z / sqrt(n): Cov(m z) = S.
    const int32_t inc = 1;
    std::memcpy(k.mu, k.mu2, sizeof(double) * size_t(q));
    orvu_blas_dgemv("N", &kq, &kq, &root, m, &kq, normals, &inc, &one, k.mu, &inc);
    return kOk;
}

template <class T>
void put_imputed(T* out, const Work& k) {
    for (int64_t i = 0, e = 0; i < k.n; ++i)
        for (int64_t a = 0, r = k.pos[i]; a < k.q; ++a)
            if (k.missing(r, a)) out[e++] = T(k.z(r, a));
}

// Orders the working copy and the masks by pattern, so that every pattern is
// one run of consecutive positions and the passes over it read memory in
// order; x and pred serve as scratch.
void order_by_pattern(Work& k) {
    const int64_t n = k.n, nw = k.nw;
    for (int64_t i = 0; i < n; ++i) k.perm[i] = i;
    std::sort(k.perm, k.perm + n, [&](int64_t x, int64_t y) {
        return std::lexicographical_compare(k.mask + x * nw, k.mask + (x + 1) * nw, k.mask + y * nw,
                                            k.mask + (y + 1) * nw);
    });
    for (int64_t r = 0; r < n; ++r) k.pos[k.perm[r]] = r;
    for (int64_t a = 0; a < k.q; ++a) {
        std::memcpy(k.x, k.w.z + a * n, sizeof(double) * size_t(n));
        for (int64_t r = 0; r < n; ++r) k.z(r, a) = k.x[k.perm[r]];
    }
    uint64_t* m = reinterpret_cast<uint64_t*>(k.pred);
    std::memcpy(m, k.mask, sizeof(uint64_t) * size_t(n * nw));
    for (int64_t r = 0; r < n; ++r) std::memcpy(k.mask + r * nw, m + k.perm[r] * nw, sizeof(uint64_t) * size_t(nw));
}

// Start: initEstimates when the task gives all (p + 3) p / 2 of them, else the
// observed means and variances with zero covariances.
template <class T>
void start(const SSTask* t, Work& k, int64_t p, const int64_t* comp) {
    const int64_t q = k.q;
    std::fill(k.sig, k.sig + q * q, 0.0);
    if (t->initEstimates && t->initEstimatesN && read_int(t, t->initEstimatesN) == (p + 3) * p / 2) {
        const T* v = static_cast<const T*>(t->initEstimates);
        for (int64_t a = 0; a < q; ++a) {
            k.mu[a] = double(v[comp[a]]);
            for (int64_t b = 0; b < q; ++b) k.sig[a + b * q] = get_sym(v + p, kUpperPacked, p, comp[a], comp[b]);
        }
        return;
    }
    for (int64_t a = 0; a < q; ++a) {
        double s = 0, s2 = 0, c = 0;
        for (int64_t i = 0; i < k.n; ++i)
            if (!k.missing(i, a)) s += k.z(i, a), c += 1;
        const double m = c > 0 ? s / c : 0;
        for (int64_t i = 0; i < k.n; ++i)
            if (!k.missing(i, a)) s2 += (k.z(i, a) - m) * (k.z(i, a) - m);
        k.mu[a] = m, k.sig[a + a * q] = c > 1 && s2 > 0 ? s2 / c : 1;
    }
}

template <class T>
int32_t missing_values(SSTask* t, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    int64_t p;
    if (!t->p || (p = read_int(t, t->p)) < 1) return kBadDimension;
    if (!t->xStorage) return kBadStorage;
    const int64_t xs = read_int(t, t->xStorage);
    if (xs != ORVU_SS_X_ROWS && xs != ORVU_SS_X_COLUMNS) return kBadStorage;
    if (!t->missingParams) return kNoParams;
    if (!t->missingParamsN) return kNoParamsN;
    if (read_int(t, t->missingParamsN) != 5) return kBadParamsN;
    if (t->miArrayB && !t->miCountB) return kNoCountB;
    if (t->miCountB && !t->miArrayB) return kNoArrayB;
    const int64_t count_b = t->miCountB ? read_int(t, t->miCountB) : 0;
    if (count_b == 0 && !(t->miCountC && t->miArrayC)) return kNoOutputs;
    if (method != kMethodMI) return kBadMethod;
    Dims d;
    if (const int32_t st = common_checks(t, true, &d)) return st;
    Params prm;
    if (const int32_t st = read_params<T>(t, &prm)) return st;
    const int64_t n = d.n;
    const int64_t count_c = t->miCountC && t->miArrayC ? read_int(t, t->miCountC) : 0;

    Work k;
    int64_t* comp;
    double* rest;
    void* block = robust::open_work(k.w, t, n, p, thr, Work::extra(n, p), &comp, &rest);
    if (!block) return kNoMemory;
    k.n = n, k.q = k.w.q;
    k.lay_out(rest, p);
    const int64_t q = k.q, per_set = (q + 3) * q / 2;
    robust::gather<T>(t, d, comp, k.w, nullptr);
    int64_t nmiss = 0;
    std::fill(k.mask, k.mask + n * k.nw, uint64_t(0));
    for (int64_t a = 0; a < q; ++a)
        for (int64_t i = 0; i < n; ++i) {
            const double v = k.z(i, a);
            if (std::isnan(prm.marker) ? std::isnan(v) : v == prm.marker) k.mask[i * k.nw + (a >> 6)] |= uint64_t(1) << (a & 63), ++nmiss;
        }
    int32_t st = kOk;
    if ((count_b > 0 && count_b < (prm.m + 1) * per_set) || count_c < (t->miArrayC ? prm.m * nmiss : 0))
        st = kShortOutput;
    else if (prm.m > 0 && n < q + 2)
        st = kBadObsCount;   // the P-step's Wishart law needs n - 1 > q degrees of freedom
    RngStream* rs = nullptr;
    if (st == kOk && prm.m > 0) {
        const int32_t s = __ptzNewStreamEx(&rs, kMcg59, 2, prm.seed);
        if (s != 0) st = kNoMemory;
    }
    if (st == kOk && q > 0) {
        order_by_pattern(k);
        start<T>(t, k, p, comp);
        for (int64_t a = 0; a < q; ++a)
            for (int64_t i = 0; i < n; ++i)
                if (k.missing(i, a)) k.z(i, a) = k.mu[a];
        double change = 0;
        for (int64_t it = 0; it < prm.em_iter && st == kOk; ++it)
            if ((st = em_step(k, &change)) == kOk && change <= prm.acc) break;
        T* out_b = static_cast<T*>(t->miArrayB);
        if (st == kOk && count_b > 0) put_estimates(out_b, k.mu, k.sig, 1.0, q);
        for (int64_t j = 0; j < prm.m && st == kOk; ++j) {
            // The last step of each run records the imputation it makes.
            for (int64_t s = 0; s < prm.da_iter && st == kOk; ++s)
                st = da_step(k, rs, s + 1 == prm.da_iter && count_b > 0 ? out_b + (j + 1) * per_set : nullptr);
            if (st == kOk && count_c > 0) put_imputed(static_cast<T*>(t->miArrayC) + j * nmiss, k);
        }
    }
    if (rs) __ptzDeleteStream(&rs);
    orvu_serv_deallocate(block);
    return st;
}

}  // namespace
}  // namespace orvu::ss::missing

extern "C" {
ORVU_API int32_t _ptzdSSMissingValues(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                      const OrvuThreadingTable* thr) {
    return orvu::ss::missing::missing_values<double>(task, method, thr);
}
ORVU_API int32_t _ptzsSSMissingValues(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                      const OrvuThreadingTable* thr) {
    return orvu::ss::missing::missing_values<float>(task, method, thr);
}
}
