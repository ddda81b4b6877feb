// The deterministic start (see robust_start.h). Candidates follow the
// deterministic subset idea of Hubert, Rousseeuw and Verdonck (2012): robust
// shapes of standardized data whose eigenvectors are rescaled by robust
// scales of the projections, then concentration steps of Rousseeuw and van
// Driessen (1999), each of which cannot increase the determinant of the
// half's covariance.
#include "ptz/stats/robust_start.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "orvu_linalg.h"

namespace orvu::ss::robust {
namespace {

// 1 / Phi^-1(3/4): the MAD of a standard normal sample estimates 1 / this.
constexpr double kMadScale = 1.482602218505602;
constexpr int kConcentrationSteps = 10;

double mad_of(const double* x, int64_t n, double centre, double* tmp) {
    for (int64_t i = 0; i < n; ++i) tmp[i] = std::fabs(x[i] - centre);
    return kMadScale * median_of(tmp, n);
}

// The h smallest of d2 get u = 1, the others 0 (ties at the h-th value all
// get 1).
void closest_half(const double* d2, int64_t n, int64_t h, double* tmp, double* u) {
    std::memcpy(tmp, d2, sizeof(double) * n);
    for (int64_t i = 0; i < n; ++i)
        if (std::isnan(tmp[i])) tmp[i] = HUGE_VAL;
    std::nth_element(tmp, tmp + (h - 1), tmp + n);
    const double cut = tmp[h - 1];
    for (int64_t i = 0; i < n; ++i) u[i] = d2[i] <= cut ? 1.0 : 0.0;
}

}  // namespace

bool distances_under(const WorkSet& w, const double* mu, const double* cov, double* fac, double* linv, double* d2,
                     double* logdet) {
    std::memcpy(fac, cov, sizeof(double) * w.q * w.q);
    if (!factor_inverse(fac, w.q, linv, logdet)) return false;
    distances(w, mu, linv, d2);
    return true;
}

bool robust_start(const WorkSet& w, const StartSpace& s, double* mu, double* cov) {
    const int64_t n = w.n, q = w.q, h = (n + q + 1) / 2;
    double* med = s.small;
    double* sc = med + q;
    double* e = sc + q;           // eigenvectors, q x q
    double* shape = e + q * q;    // q x q
    double* cmu = shape + q * q;  // candidate
    double* ccov = cmu + q;
    double* fac = ccov + q * q;
    double* linv = fac + q * q;
    double* pm = linv + q * q;    // medians and scales of the projections
    double* ps = pm + q;
    double* work = ps + q;        // 64 q doubles for the eigen-solver: 5 q^2 + 69 q in all
    // Standardize: y = (z - med) / mad, a zero MAD replaced by the standard
    // deviation (more than half the values equal), then by 1.
    for (int64_t a = 0; a < q; ++a) {
        const double* za = w.z + a * n;
        std::memcpy(s.tmp, za, sizeof(double) * n);
        med[a] = median_of(s.tmp, n);
        sc[a] = mad_of(za, n, med[a], s.tmp);
        if (!(sc[a] > 0)) {
            double m = 0, v = 0;
            for (int64_t i = 0; i < n; ++i) m += za[i];
            m /= double(n);
            for (int64_t i = 0; i < n; ++i) v += (za[i] - m) * (za[i] - m);
            sc[a] = v > 0 ? std::sqrt(v / double(n)) : 1.0;
        }
        for (int64_t i = 0; i < n; ++i) s.y[a * n + i] = (za[i] - med[a]) / sc[a];
    }
    WorkSet ws = w;   // passes over the transformed data share the scratch
    ws.z = s.yt;
    ws.v = nullptr;
    double best = HUGE_VAL;
    for (int cand = 0; cand < 3; ++cand) {
        // Shape of the standardized data, then its eigenvectors.
        if (cand == 0) {
            for (int64_t k = 0; k < q * q; ++k) e[k] = (k % (q + 1)) == 0 ? 1.0 : 0.0;
        } else {
            for (int64_t i = 0; i < n; ++i) {
                double r = 0;
                if (cand == 2) {
                    for (int64_t a = 0; a < q; ++a) r += s.y[a * n + i] * s.y[a * n + i];
                    r = r > 0 ? 1 / std::sqrt(r) : 0.0;
                }
                for (int64_t a = 0; a < q; ++a)
                    s.yt[a * n + i] = cand == 1 ? std::tanh(s.y[a * n + i]) : s.y[a * n + i] * r;
            }
            std::fill(pm, pm + q, 0.0);
            moments(ws, pm, nullptr, cmu, shape);
            const int32_t qq = int32_t(q), lw = int32_t(64 * q);
            int32_t info = 0;
            std::memcpy(e, shape, sizeof(double) * q * q);
            orvu_lapack_dsyev("V", "L", &qq, e, &qq, ps, work, &lw, &info);
            if (info != 0) continue;
        }
        // Projections on the eigenvectors, their medians and MADs.
        const int32_t nn = int32_t(n), qq = int32_t(q);
        const double one = 1, nil = 0;
        orvu_blas_dgemm("N", "N", &nn, &qq, &qq, &one, s.y, &nn, e, &qq, &nil, s.yt, &nn);
        bool ok = true;
        for (int64_t b = 0; b < q && ok; ++b) {
            std::memcpy(s.tmp, s.yt + b * n, sizeof(double) * n);
            pm[b] = median_of(s.tmp, n);
            ps[b] = mad_of(s.yt + b * n, n, pm[b], s.tmp);
            ok = ps[b] > 0;
        }
        if (!ok) continue;
        // Back to the data's coordinates: mu = med + S E pm, cov = S E diag(ps^2) E^T S.
        for (int64_t a = 0; a < q; ++a) {
            double m = 0;
            for (int64_t b = 0; b < q; ++b) m += e[a + b * q] * pm[b];
            cmu[a] = med[a] + sc[a] * m;
            for (int64_t c = 0; c <= a; ++c) {
                double v = 0;
                for (int64_t b = 0; b < q; ++b) v += e[a + b * q] * ps[b] * ps[b] * e[c + b * q];
                ccov[a + c * q] = ccov[c + a * q] = sc[a] * v * sc[c];
            }
        }
        // Concentration steps; the distances go to yt's first column.
        double logdet = HUGE_VAL;
        for (int step = 0; step <= kConcentrationSteps; ++step) {
            double ld;
            if (!distances_under(w, cmu, ccov, fac, linv, s.yt, &ld)) {
                ok = false;
                break;
            }
            if (step > 0) {   // ld is a half's: compare with the previous half
                if (!(ld < logdet - 1e-12 * std::fabs(logdet))) {
                    logdet = std::min(logdet, ld);
                    break;
                }
                logdet = ld;
            }
            if (step == kConcentrationSteps) break;
            closest_half(s.yt, n, h, s.tmp, s.u);
            moments(w, cmu, s.u, cmu, ccov);
        }
        if (ok && logdet < best) {
            best = logdet;
            std::memcpy(mu, cmu, sizeof(double) * q);
            std::memcpy(cov, ccov, sizeof(double) * q * q);
        }
    }
    return best < HUGE_VAL;
}

}  // namespace orvu::ss::robust
