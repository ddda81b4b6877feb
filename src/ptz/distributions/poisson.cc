// Poisson variates.
//  method 0: below lambda 27 inversion of float uniforms against the
//            cumulative table, cached in chunk 3 of the stream and rebuilt when
//            lambda changes; PTPE from 27 on.
//  method 1: below 1 the running sums of lambda^k/k! searched with uniforms
//            on [0, e^lambda); 1 to 100 inversion against a table built for
//            the call; from 100 on a corrected normal approximation in single
//            precision.
//  PoissonV: method 1's regimes element by element, the elements of one
//            regime drawn together.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "ptz/distributions/common.h"
#include "ptz/distributions/discrete_cache.h"
#include "ptz/distributions/poisson.h"

// The normal approximation from lambda 100 on: mean and variance as lambda
// plus a cubic in t = 1/lambda (w0..w3, s0..s3), and the coefficients of
// C1, C2, C3 (of t^5 down to t) of the cubic correction applied to the normal
// value.
extern "C" const double __ptz_iWc_100[4] = {-0.6666957198, -0.01941020862, -0.001288719308, 0.001645153709};
extern "C" const double __ptz_iSgm_100[4] = {-0.05580667628, -0.000975814817, -0.005534854444, 0.00519830812};
extern "C" const double __ptz_iQ1_100[5] = {2.02847035732762, -3.85841212878712, 2.29098262740971,
                                            -0.443911391797447, 0.00774710541609};
extern "C" const double __ptz_iQ2_100[5] = {-0.185436433294704, 0.358642226989579, -0.228162379800275,
                                            0.0472242348292688, 0.168577008904505};
extern "C" const double __ptz_iQ3_100[5] = {0.014389264627966, -0.0291113093667918, 0.0232257954288354,
                                            -0.0126559989233446, -0.0001145865551857};

namespace ptz::dist {

// ---- the cumulative table --------------------------------------------------

void build_poisson_table(double lambda, int32_t last, double* p, double* cum) {
    double e = -lambda;
    v_exp(1, &e, &e, kHA);
    p[0] = cum[0] = e;
    for (int32_t k = 1; k <= last; ++k) {
        p[k] = p[k - 1] * lambda / k;
        cum[k] = cum[k - 1] + p[k];
    }
}

PoissonInversion::PoissonInversion(double lambda, int32_t last, const double* p, const double* cum)
    : lambda_(lambda), last_(last), p_(p), cum_(cum) {
    int32_t k = 0;
    for (int32_t j = 0; j < kCells; ++j) {
        while (k <= last_ && cum_[k] <= double(j) / kCells) ++k;
        guide_[j] = uint8_t(k);
    }
}

int32_t PoissonInversion::tail(double u) const {
    // The recursion goes on past the table; it stops where the terms vanish
    // (u beyond a sum that rounded below 1).
    double p = p_[last_], c = cum_[last_];
    int32_t k = last_;
    while (u >= c && p > 0.0) {
        ++k;
        p = p * lambda_ / k;
        c += p;
    }
    return k;
}

int32_t PoissonInversion::fill(RngStream* s, int32_t n, int32_t* r) const {
    constexpr int32_t kBlock = 1024;
    float u[kBlock];
    for (int32_t done = 0; done < n; done += kBlock) {
        const int32_t m = std::min(kBlock, n - done);
        if (const int32_t st = uniform(s, m, u, 0.0f, 1.0f); st < 0) return st;
        for (int32_t i = 0; i < m; ++i) r[done + i] = (*this)(u[i]);
    }
    return PTZ_OK;
}

namespace {

constexpr int32_t kBlock = 1024;

// ---- method 0 ----------------------------------------------------------------

int32_t ptpe_method(RngStream* s, int32_t n, int32_t* r, double lambda) {
    CallbackScope scope(ln_callback<float>());
    if (n <= 0) return PTZ_OK;
    if (lambda >= kPoissonTableLimit) return Ptpe(lambda).fill(s, n, r);
    PoissonTable* t = nullptr;
    bool stale = false;
    if (const int32_t st = keyed_setup<696>(s, 3, lambda, &t, &stale); st < 0) return st;
    if (stale) t->build(lambda);
    return PoissonInversion(lambda, t->last(), t->p, t->cum).fill(s, n, r);
}

// ---- method 1 ----------------------------------------------------------------

// Below 1: c_k = sum_(i<=k) lambda^i/i!, k = 0..10, against uniforms on
// [0, E), E a polynomial for e^lambda. c_11 = +inf ends the search, so a
// uniform beyond c_10 (probability under 3e-8) gives 11.
struct RunningSums {
    double lambda;
    float c[12];
    float e;
    explicit RunningSums(double l) : lambda(l) {
        double term = 1.0, sum = 1.0;
        c[0] = 1.0f;
        for (int32_t k = 1; k <= 10; ++k) {
            term = term * lambda / k;
            sum += term;
            c[k] = float(sum);
        }
        c[11] = std::numeric_limits<float>::infinity();
        e = float(((((((0.0003351641595394528 * l + 0.0011369805324212754) * l + 0.008565930750590653) * l +
                      0.0415487961378904) * l + 0.16669916415448055) * l + 0.49999555884885266) * l +
                   1.000000235204182) * l + 0.9999999978976929);
    }
    // The first k with u <= c_k, four entries at a time.
    int32_t operator()(float u) const {
        int32_t k = 0;
        while (u > c[k + 3]) k += 4;
        return k + int32_t(u > c[k]) + int32_t(u > c[k + 1]) + int32_t(u > c[k + 2]);
    }
};

int32_t running_sums(RngStream* s, int32_t n, int32_t* r, double lambda) {
    const RunningSums rs(lambda);
    float u[kBlock];
    for (int32_t done = 0; done < n; done += kBlock) {
        const int32_t m = std::min(kBlock, n - done);
        if (const int32_t st = uniform(s, m, u, 0.0f, rs.e); st < 0) return st;
        for (int32_t i = 0; i < m; ++i) r[done + i] = rs(u[i]);
    }
    return PTZ_OK;
}

// From 100 on: g normal with the corrected mean and variance, then
// g + 1 + z·((C3·z + C2)·z + C1) truncated, z = g - mean the normal deviation.
// With z in these units the quadratic term's mean (C2·var, about 0.17) and the
// truncation (-1/2) bring the result's mean to lambda within 0.002; the
// total-variation distance from the Poisson law is about 1.5e-4 at 100.
struct NormalApprox {
    double lambda;
    float mean, sd, c1, c2, c3;
    explicit NormalApprox(double l) : lambda(l) {
        const double t = 1.0 / lambda;
        auto cubic = [t](const double* w) { return w[0] + ((w[3] * t + w[2]) * t + w[1]) * t; };
        auto quintic = [t](const double* q) { return ((((q[0] * t + q[1]) * t + q[2]) * t + q[3]) * t + q[4]) * t; };
        mean = float(cubic(__ptz_iWc_100) + lambda);
        sd = float(std::sqrt(cubic(__ptz_iSgm_100) + lambda));
        c1 = float(quintic(__ptz_iQ1_100));
        c2 = float(quintic(__ptz_iQ2_100));
        c3 = float(quintic(__ptz_iQ3_100));
    }
    int32_t operator()(float g, float z) const { return int32_t(g + 1.0f + z * ((c3 * z + c2) * z + c1)); }
};

int32_t normal_approx(RngStream* s, int32_t n, int32_t* r, double lambda) {
    const NormalApprox a(lambda);
    float g[kBlock];
    for (int32_t done = 0; done < n; done += kBlock) {
        const int32_t m = std::min(kBlock, n - done);
        if (const int32_t st = gaussian(2, s, m, g, a.mean, a.sd); st < 0) return st;
        for (int32_t i = 0; i < m; ++i) r[done + i] = a(g[i], g[i] - a.mean);
    }
    return PTZ_OK;
}

int32_t poisnorm(RngStream* s, int32_t n, int32_t* r, double lambda) {
    if (n <= 0) return PTZ_OK;
    if (lambda < 1.0) return running_sums(s, n, r, lambda);
    if (lambda >= 100.0) return normal_approx(s, n, r, lambda);
    // 1 to 100: inversion against a table reaching 7 deviations above lambda
    // (the recursion covers what lies beyond), built for the call.
    constexpr int32_t kMax = 254;
    double p[kMax + 1], cum[kMax + 1];
    const int32_t last = std::min(kMax, int32_t(lambda + 7.0 * std::sqrt(lambda)) + 16);
    build_poisson_table(lambda, last, p, cum);
    return PoissonInversion(lambda, last, p, cum).fill(s, n, r);
}

// ---- PoissonV ----------------------------------------------------------------

// A table for a run of equal means from 1 to 100 (PoissonV): built when an
// element's mean is also the next one's, used while the mean stays.
class RunTable {
public:
    // Whether element j of a regime's list is served by the table (built now
    // when its run starts).
    bool serves(const int32_t* list, int32_t j, int32_t cnt, const double* lambda) {
        const double l = lambda[list[j]];
        if (inv_ && l == lambda_) return true;
        if (j + 1 == cnt || lambda[list[j + 1]] != l) return false;
        lambda_ = l;
        last_ = std::min(kMax, int32_t(l + 7.0 * std::sqrt(l)) + 16);
        build_poisson_table(l, last_, p_, cum_);
        inv_.emplace(l, last_, p_, cum_);
        return true;
    }
    int32_t operator()(double u) const { return (*inv_)(u); }

private:
    static constexpr int32_t kMax = 254;
    double lambda_ = 0.0;
    int32_t last_ = 0;
    double p_[kMax + 1], cum_[kMax + 1];
    std::optional<PoissonInversion> inv_;
};

// One block of elements, each index listed under its regime; a regime's
// elements take their uniforms (or normals) in one draw. A set-up is reused
// while the mean stays the same.
int32_t poisson_v_block(RngStream* s, int32_t n, int32_t* r, const double* lambda) {
    int32_t idx[4][kBlock], cnt[4] = {0, 0, 0, 0};
    for (int32_t i = 0; i < n; ++i) {
        const double l = lambda[i];
        const int32_t g = l < 1.0 ? 0 : l < kPoissonTableLimit ? 1 : l < 100.0 ? 2 : 3;
        idx[g][cnt[g]++] = i;
    }
    float u[2 * kBlock];
    if (cnt[0] > 0) {  // running sums
        if (const int32_t st = uniform(s, cnt[0], u, 0.0f, 1.0f); st < 0) return st;
        std::optional<RunningSums> rs;
        for (int32_t j = 0; j < cnt[0]; ++j) {
            const int32_t i = idx[0][j];
            if (!rs || rs->lambda != lambda[i]) rs.emplace(lambda[i]);
            r[i] = (*rs)(u[j] * rs->e);
        }
    }
    RunTable table;
    if (cnt[1] > 0) {  // a run's table, else sequential inversion from 0
        double e[kBlock];
        for (int32_t j = 0; j < cnt[1]; ++j) e[j] = -lambda[idx[1][j]];
        v_exp(cnt[1], e, e, kHA);
        if (const int32_t st = uniform(s, cnt[1], u, 0.0f, 1.0f); st < 0) return st;
        for (int32_t j = 0; j < cnt[1]; ++j) {
            const int32_t i = idx[1][j];
            const double l = lambda[i], x = u[j];
            if (table.serves(idx[1], j, cnt[1], lambda)) {
                r[i] = table(x);
                continue;
            }
            double p = e[j], c = p;
            int32_t k = 0;
            while (x >= c && p > 0.0) {
                ++k;
                p = p * l / k;
                c += p;
            }
            r[i] = k;
        }
    }
    if (cnt[2] > 0) {  // a run's table, else PTPE; uniforms from one pool
        std::optional<Ptpe> ptpe;
        int32_t have = 0, at = 0, j = 0, st = PTZ_OK;
        auto next = [&] {
            if (at == have) {
                const int32_t left = cnt[2] - j;
                have = 2 * std::min(kBlock, left + left / 2 + 2);
                at = 0;
                if ((st = uniform(s, have, u, 0.0f, 1.0f)) < 0) {
                    have = 0;
                    return 0.0f;  // a harmless value; the caller returns st
                }
            }
            return u[at++];
        };
        for (; j < cnt[2]; ++j) {
            const int32_t i = idx[2][j];
            if (table.serves(idx[2], j, cnt[2], lambda)) {
                r[i] = table(next());
            } else {
                if (!ptpe || ptpe->lambda() != lambda[i]) ptpe.emplace(lambda[i]);
                int32_t x = -1;
                while (x < 0 && st == PTZ_OK) {
                    const float a = next();
                    x = ptpe->candidate(a, next());
                }
                r[i] = x;
            }
            if (st < 0) return st;
        }
    }
    if (cnt[3] > 0) {  // standard normals scaled per element
        if (const int32_t st = gaussian(2, s, cnt[3], u, 0.0f, 1.0f); st < 0) return st;
        std::optional<NormalApprox> a;
        for (int32_t j = 0; j < cnt[3]; ++j) {
            const int32_t i = idx[3][j];
            if (!a || a->lambda != lambda[i]) a.emplace(lambda[i]);
            const float dev = u[j] * a->sd;
            r[i] = (*a)(a->mean + dev, dev);
        }
    }
    return PTZ_OK;
}

int32_t poisson_v(RngStream* s, int32_t n, int32_t* r, const double* lambda) {
    for (int32_t done = 0; done < n; done += kBlock) {
        const int32_t m = std::min(kBlock, n - done);
        if (const int32_t st = poisson_v_block(s, m, r + done, lambda + done); st < 0) return st;
    }
    return PTZ_OK;
}

}  // namespace
}  // namespace ptz::dist

extern "C" {
ORVU_API int32_t _ptziRngPoisson(int32_t method, RngStream* s, int32_t n, int32_t* r, double lambda) {
    return method == PTZ_RNG_METHOD_POISSON_POISNORM ? ptz::dist::poisnorm(s, n, r, lambda)
                                                     : ptz::dist::ptpe_method(s, n, r, lambda);
}
ORVU_API int32_t _ptziRngPoissonV(int32_t, RngStream* s, int32_t n, int32_t* r, const double* lambda) {
    return ptz::dist::poisson_v(s, n, r, lambda);
}
}
