// Robust location and scatter by the translated-biweight S-estimator (TBS)
// of Rocke (1996): among all (mu, Sigma) with det Sigma = 1, the one whose
// M-scale k of the distances d_i = |x_i - mu|_Sigma is smallest, where k
// solves mean rho(d_i / k) = b0. rho is quadratic up to M, constant beyond
// M + c and joined by the translated biweight between; its weight
// rho'(d) / d is 1, (1 - ((d - M) / c)^2)^2, 0 on the three pieces.
//
// Constants: (M + c)^2 is the chi-square (q degrees of freedom) quantile
// that a normal observation exceeds with the asymptotic rejection
// probability alpha; M is then chosen so that b0 = E rho(|Z|) (consistency
// at the normal model) is the breakdown point r times max rho.
//
// The estimate is found from the deterministic start of robust_start.h by
// the usual reweighting iteration (weighted mean and covariance with the
// weights of the current distances, scaled to det 1, M-scale re-solved),
// stopped when k changes by less than the accuracy. An optional final step
// recomputes the classical estimates of the observations within the
// chi-square cut-off of the TBS distances, with the factor that makes them
// consistent at the normal model: it keeps the breakdown point and raises
// the efficiency to nearly that of the classical estimates.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ptz/stats/mtx_storage.h"
#include "ptz/stats/robust_start.h"

namespace orvu::ss::robust {
namespace {

struct Rho {
    double M, c;
    double max() const { return M * M / 2 + 8 * c * M / 15 + c * c / 6; }
    double rho(double d) const {
        if (d < M) return d * d / 2;
        if (d >= M + c) return max();
        const double s = (d - M) / c, s2 = s * s;
        return M * M / 2 + c * M * s * (1 - s2 * (2.0 / 3 - s2 / 5)) + c * c * s2 * (0.5 - s2 * (0.5 - s2 / 6));
    }
    double weight(double d) const {
        if (d < M) return 1;
        if (d >= M + c) return 0;
        const double s = (d - M) / c, t = 1 - s * s;
        return t * t;
    }
};

// E rho(D) / max rho for D ~ chi with q degrees of freedom: Simpson's rule
// on [0, M] and [M, M + c] (rho is smooth on each), the constant tail by
// the chi-square upper tail.
double expected_ratio(const Rho& r, double q) {
    const double lnorm = (q / 2 - 1) * std::log(2.0) + std::lgamma(q / 2);
    auto f = [&](double d) {
        if (d <= 0) return q == 1 ? std::exp(-lnorm) : 0.0;
        return r.rho(d) * std::exp((q - 1) * std::log(d) - d * d / 2 - lnorm);
    };
    auto simpson = [&](double a, double b) {
        const int m = 400;   // rho is a polynomial times the density on each piece
        const double hh = (b - a) / m;
        if (!(hh > 0)) return 0.0;
        double s = f(a) + f(b);
        for (int i = 1; i < m; ++i) s += f(a + i * hh) * (i % 2 ? 4 : 2);
        return s * hh / 3;
    };
    const double k = r.M + r.c;
    return (simpson(0, r.M) + simpson(r.M, k) + r.max() * chi2_upper(q, k * k)) / r.max();
}

// The cut-off M + c of rejection probability alpha.
double cutoff(double q, double alpha) { return std::sqrt(chi2_upper_quantile(q, alpha)); }
Rho shape(double k, double m_share) { return Rho{k * m_share, k * (1 - m_share)}; }

// The share of M in M + c sets the ratio, decreasing from the biweight
// (share 0) to a truncated square (share near 1).
constexpr double kMaxShare = 1 - 1e-6;

// alpha such that ratio(alpha, share) = r, between a and b (ratio increases
// with alpha), by bisection in log alpha; false when r is not reached.
bool solve_alpha(double q, double r, double share, double a, double b, double* alpha) {
    auto g = [&](double al) { return expected_ratio(shape(cutoff(q, al), share), q) - r; };
    if (g(a) > 0 || g(b) < 0) return false;
    double la = std::log(a), lb = std::log(b);
    for (int it = 0; it < 50; ++it) {
        const double lm = 0.5 * (la + lb);
        (g(std::exp(lm)) < 0 ? la : lb) = lm;
    }
    *alpha = std::exp(lb);
    return true;
}

// The constants for breakdown point r and rejection probability alpha;
// with `adapt` (alpha not given by the caller), alpha moves to the nearest
// value for which r is reachable. False when it is not.
bool tbs_constants(double q, double r, double alpha, bool adapt, Rho* out) {
    double k = cutoff(q, alpha);
    const double top = expected_ratio(shape(k, 0), q), bottom = expected_ratio(shape(k, kMaxShare), q);
    if (r > top || r < bottom) {
        if (!adapt) return false;
        const bool ok = r > top ? solve_alpha(q, r, 0, alpha, 0.5, &alpha)
                                : solve_alpha(q, r, kMaxShare, 1e-12, alpha, &alpha);
        if (!ok) return false;
        k = cutoff(q, alpha);
    }
    double lo = 0, hi = kMaxShare;
    for (int it = 0; it < 50; ++it) {
        const double mid = 0.5 * (lo + hi);
        (expected_ratio(shape(k, mid), q) > r ? lo : hi) = mid;
    }
    *out = shape(k, std::min(std::max(lo, 0.0), kMaxShare));
    return true;
}

// The M-scale: the k with sum v_i rho(d_i / k) = b0 sum v_i, by the Illinois
// variant of regula falsi on log k inside a bracket grown from k0. NaN when
// no bracket exists (more than 1 - r of the weight at distance 0).
double m_scale(const Rho& r, const double* d, const double* v, int64_t n, double b0, double k0) {
    auto f = [&](double lk) {
        const double inv = std::exp(-lk);
        double s = 0, w = 0;
        for (int64_t i = 0; i < n; ++i) {
            const double vi = v ? v[i] : 1.0;
            s += vi * r.rho(d[i] * inv);
            w += vi;
        }
        return s / w - b0;
    };
    double a = std::log(k0), b = a, fa = f(a), fb = fa;
    for (int it = 0; fa < 0 && it < 2000; ++it) fa = f(a -= 0.7);
    for (int it = 0; fb > 0 && it < 2000; ++it) fb = f(b += 0.7);
    if (!(fa >= 0 && fb <= 0)) return NAN;
    int side = 0;
    for (int it = 0; it < 200 && b - a > 1e-13; ++it) {
        const double c = (fa == fb) ? 0.5 * (a + b) : b - fb * (b - a) / (fb - fa), fc = f(c);
        if (fc == 0) return std::exp(c);
        if ((fc > 0) == (fa > 0)) {
            a = c, fa = fc;
            if (side == -1) fb /= 2;
            side = -1;
        } else {
            b = c, fb = fc;
            if (side == 1) fa /= 2;
            side = 1;
        }
    }
    return std::exp(0.5 * (a + b));
}

struct TbsParams {
    double breakdown = 0.5, alpha = 0.001, eps = 1e-6, iterations = 100, start = 0, reweight = 0.001;
    bool alpha_given = false;
};

template <class T>
int32_t tbs_params(const SSTask* t, TbsParams* o) {
    double v[6];
    int64_t k = 0;
    if (const int32_t st = read_params<T>(t, t->robustParamsN, t->robustParams, 6, kBadRobustParamsN,
                                          kBadRobustParams, v, &k))
        return st;
    double* field[6] = {&o->breakdown, &o->alpha, &o->eps, &o->iterations, &o->start, &o->reweight};
    for (int64_t e = 0; e < k; ++e) *field[e] = v[e];
    o->alpha_given = k > 1;
    const bool ok = o->breakdown > 0 && o->breakdown <= 0.5 && o->alpha > 0 && o->alpha < 1 && o->eps >= 0 &&
                    o->eps < 1 && o->iterations >= 1 && o->iterations <= 1e6 &&
                    o->iterations == std::floor(o->iterations) && (o->start == 0 || o->start == 1) &&
                    o->reweight >= 0 && o->reweight <= 0.5;
    return ok ? int32_t(kOk) : int32_t(kBadRobustParams);
}

template <class T>
int32_t robust_cov(SSTask* t, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    int64_t p, n;
    if (!t->p || (p = read_int(t, t->p)) < 1) return kBadDimension;
    if (!t->n || (n = read_int(t, t->n)) <= 2 * p) return kBadObsCount;
    if (!t->xStorage) return kNoStorageOrCount;
    const int64_t xs = read_int(t, t->xStorage);
    if (xs != ORVU_SS_X_ROWS && xs != ORVU_SS_X_COLUMNS) return kBadStorage;
    if (!t->robustMean) return kNoRobustMean;
    if (!t->robustCov) return kNoRobustCov;
    if (!t->robustCovStorage) return kNoStorageOrCount;
    const int64_t code = read_int(t, t->robustCovStorage);
    if (code < 0 || code > 2) return kBadStorage;
    if (method != ORVU_SS_METHOD_TBS) return kBadMethod;
    if (!t->x) return kNoX;
    TbsParams prm;
    if (const int32_t st = tbs_params<T>(t, &prm)) return st;
    Dims d{p, n, xs == ORVU_SS_X_COLUMNS, xs == ORVU_SS_X_COLUMNS ? p : n};

    // One block: component list, z, y, yt (n x p each), weights, d, u, tmp
    // (n each), the estimate's matrices and the chunks' scratch.
    WorkSet w;
    int64_t* comp;
    double* rest;
    const BlockSize extra = BlockSize()
                                .add(2, n, p, sizeof(double))
                                .add(4, n, sizeof(double))
                                .add(9, p, p, sizeof(double))  // the start's small space, 4 p x p, 2 p
                                .add(72, p, sizeof(double));
    void* block = open_work(w, t, n, p, thr, extra, &comp, &rest);
    if (!block) return kNoMemory;
    const int64_t q = w.q;
    StartSpace s;
    s.y = rest;
    s.yt = s.y + n * p;
    double* weights = s.yt + n * p;
    double* dist = weights + n;
    s.u = dist + n;
    s.tmp = s.u + n;
    s.small = s.tmp + n;
    double* mu = s.small + StartSpace::small_doubles(p);
    double* cov = mu + p;
    double* fac = cov + p * p;
    double* linv = fac + p * p;
    double* est = linv + p * p;   // the estimate's scatter
    double* nmu = est + p * p;

    int32_t st = kOk;
    Rho rho{};
    if (q > 0 && !tbs_constants(double(q), prm.breakdown, prm.alpha, !prm.alpha_given, &rho)) st = kBadRobustParams;
    if (q > 0 && st == kOk) {
        gather<T>(t, d, comp, w, weights);
        if (prm.start == 1) {
            for (int64_t a = 0; a < q; ++a) {
                mu[a] = double(static_cast<const T*>(t->robustMean)[comp[a]]);
                for (int64_t b = 0; b < q; ++b)
                    cov[a + b * q] =
                        get_sym(static_cast<const T*>(t->robustCov), mtx_layout(code), p, comp[a], comp[b]);
            }
        } else if (!robust_start(w, s, mu, cov)) {
            st = kPotrfFailed;
        }
    }
    const double b0 = prm.breakdown * rho.max();
    double k = 0;
    for (int64_t it = 0; q > 0 && st == kOk; ++it) {
        double logdet;
        if (!distances_under(w, mu, cov, fac, linv, dist, &logdet)) {
            st = kPotrfFailed;
            break;
        }
        // Distances under cov / det(cov)^(1/q).
        const double g = std::exp(logdet / (2 * double(q)));
        for (int64_t i = 0; i < n; ++i) dist[i] = std::sqrt(dist[i]) * g;
        double k0 = k;
        if (it == 0) {
            std::memcpy(s.tmp, dist, sizeof(double) * n);
            k0 = median_of(s.tmp, n) / std::sqrt(chi2_upper_quantile(double(q), 0.5));
            if (!(k0 > 0)) k0 = 1;
        }
        const double kn = m_scale(rho, dist, w.v, n, b0, k0);
        if (!std::isfinite(kn)) {
            st = kPotrfFailed;
            break;
        }
        const bool done = (it > 0 && std::fabs(kn - k) <= prm.eps * k) || it + 1 >= int64_t(prm.iterations);
        k = kn;
        // The estimate of this step: mu and k^2 cov / det(cov)^(1/q).
        const double f = k * k / (g * g);
        for (int64_t e = 0; e < q * q; ++e) est[e] = cov[e] * f;
        if (done) break;
        for (int64_t i = 0; i < n; ++i) s.u[i] = rho.weight(dist[i] / k);
        if (!(moments(w, mu, s.u, nmu, cov) > 0)) {
            st = kPotrfFailed;
            break;
        }
        std::memcpy(mu, nmu, sizeof(double) * q);
    }
    if (q > 0 && st == kOk && prm.reweight > 0) {
        const double cut = chi2_upper_quantile(double(q), prm.reweight);
        if (!distances_under(w, mu, est, fac, linv, dist, nullptr)) st = kPotrfFailed;
        for (int64_t i = 0; i < n && st == kOk; ++i) s.u[i] = dist[i] <= cut ? 1.0 : 0.0;
        // E[z z^T | |z|^2 <= cut] = P(chi2_{q+2} <= cut) / P(chi2_q <= cut) I.
        const double kappa = (1 - chi2_upper(double(q) + 2, cut)) / (1 - prm.reweight);
        if (st == kOk && moments(w, mu, s.u, nmu, cov) > 0) {
            std::memcpy(mu, nmu, sizeof(double) * q);
            for (int64_t e = 0; e < q * q; ++e) est[e] = cov[e] / kappa;
        }
    }
    if (q > 0 && st == kOk) {
        const int layout = mtx_layout(code);
        for (int64_t a = 0; a < q; ++a) {
            static_cast<T*>(t->robustMean)[comp[a]] = T(mu[a]);
            for (int64_t b = a; b < q; ++b)
                put_sym(static_cast<T*>(t->robustCov), layout, p, comp[a], comp[b], est[a + b * q]);
        }
    }
    orvu_serv_deallocate(block);
    return st;
}

}  // namespace
}  // namespace orvu::ss::robust

extern "C" {
ORVU_API int32_t _ptzdSSRobustCovariance(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                         const OrvuThreadingTable* thr) {
    return orvu::ss::robust::robust_cov<double>(task, method, thr);
}
ORVU_API int32_t _ptzsSSRobustCovariance(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                         const OrvuThreadingTable* thr) {
    return orvu::ss::robust::robust_cov<float>(task, method, thr);
}
}
