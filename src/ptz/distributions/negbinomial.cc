// Negative binomial variates: failures before the a-th success of trials
// with success probability p, P(k) = Γ(a + k)/(Γ(a)·k!)·p^a·(1 - p)^k.
// The set-up for (a, p) is cached in chunk 4. When the law is narrow enough
// that its first kTable cumulative probabilities reach 1 - 2^-20, results are
// found by inversion against that cached table (walking on past its end in the
// rare case a uniform lies beyond it). Otherwise each result is a Poisson
// variate whose mean is a Gamma(a, (1 - p)/p) variate of the stream: inversion
// from 0 for means below 10, else Hörmann's transformed rejection PTRS
// ("The transformed rejection method for generating Poisson random variables",
// Insurance: Mathematics and Economics 12, 1993).
#include <algorithm>
#include <cmath>
#include <limits>

#include "ptz/distributions/common.h"
#include "ptz/distributions/discrete_cache.h"
#include "ptz/distributions/discrete_inversion.h"

namespace ptz::dist {
namespace {

constexpr int32_t kBlock = 1024;
constexpr int32_t kChunkId = 4;
constexpr int32_t kChunkBytes = 1328;
constexpr int32_t kTable = 160;
constexpr double kCovered = 1.0 - 0x1p-20;

struct NbKey {
    double a, p;
    bool operator==(const NbKey& o) const { return a == o.a && p == o.p; }
};

struct NbSetup {
    NbKey key;
    int32_t count;   // entries of cdf; 0 selects the Gamma-Poisson mixture
    int32_t zero;
    double q;        // 1 - p
    double scale;    // (1 - p)/p, the scale of the mixing Gamma
    double f_last;   // probability of the last table entry
    double cdf[kTable];
};

void build(NbSetup& c) {
    const double a = c.key.a, p = c.key.p;
    c.q = 1.0 - p;
    c.scale = c.q / p;
    double f;
    {
        // P(0) = p^a may underflow (then the mixture is used): reported to
        // the generators' callback, which leaves the result alone.
        CallbackScope cb(ln_callback<double>());
        v_powx(1, &p, a, &f, kHA);
    }
    double sum = f;
    c.cdf[0] = sum;
    int32_t i = 1;
    for (; i < kTable && sum < kCovered; ++i) {
        f *= (a + (i - 1)) / i * c.q;
        sum += f;
        c.cdf[i] = sum;
    }
    c.count = sum >= kCovered ? i : 0;
    c.f_last = f;
}

// A stream's float uniforms, drawn kBlock at a time as they are used.
class UniformPool {
public:
    explicit UniformPool(RngStream* s) : s_(s) {}
    int32_t status() const { return st_; }
    // The next uniform on [0, 1); false after a failed draw.
    bool next(double* u) {
        if (i_ == kBlock) {
            if ((st_ = uniform(s_, kBlock, buf_, 0.0f, 1.0f)) < 0) return false;
            i_ = 0;
        }
        *u = buf_[i_++];
        return true;
    }

private:
    RngStream* s_;
    int32_t st_ = PTZ_OK, i_ = kBlock;
    float buf_[kBlock];
};

// ln k!: sums below 16, Stirling's series with 1/12, 1/360, 1/1260 above
// (error below 1/(1680·17^7) = 1.5e-12).
double log_factorial(double k) {
    static constexpr double t[16] = {0.0, 0.0, 0.69314718055994531, 1.791759469228055, 3.1780538303479458,
                                     4.7874917427820458, 6.5792512120101012, 8.5251613610654147,
                                     10.604602902745251, 12.801827480081469, 15.104412573075516,
                                     17.502307845873887, 19.987214495661885, 22.552163853123425,
                                     25.19122118273868, 27.89927138384089};
    if (k < 16.0) return t[int32_t(k)];
    const double y = k + 1.0, y2 = 1.0 / (y * y);
    return (k + 0.5) * std::log(y) - y + 0.91893853320467274 +
           (0.083333333333333333 - (0.0027777777777777778 - 0.00079365079365079365 * y2) * y2) / y;
}

inline int32_t saturate(double k) {
    return k < 2147483647.0 ? int32_t(k) : std::numeric_limits<int32_t>::max();
}

// A Poisson variate of mean lam; false when a uniform draw failed.
bool poisson(UniformPool& pool, double lam, int32_t* out) {
    double u, v;
    if (lam < 10.0) {  // inversion from 0
        if (!pool.next(&u)) return false;
        double f = std::exp(-lam), sum = f;
        int32_t k = 0;
        while (u >= sum && f > 0.0) {
            f *= lam / ++k;
            sum += f;
        }
        *out = k;
        return true;
    }
    const double slam = std::sqrt(lam), loglam = std::log(lam);
    const double b = 0.931 + 2.53 * slam, a = -0.059 + 0.02483 * b;
    const double log_invalpha = std::log(1.1239 + 1.1328 / (b - 3.4)), vr = 0.9277 - 3.6224 / (b - 2.0);
    for (;;) {
        if (!pool.next(&u) || !pool.next(&v)) return false;
        u -= 0.5;
        const double us = 0.5 - std::fabs(u);
        const double k = std::floor((2.0 * a / us + b) * u + lam + 0.43);
        if (us >= 0.07 && v <= vr) {
            *out = saturate(k);
            return true;
        }
        if (!(k >= 0.0) || (us < 0.013 && v > us)) continue;
        if (std::log(v) + log_invalpha - std::log(a / (us * us) + b) <= -lam + k * loglam - log_factorial(k)) {
            *out = saturate(k);
            return true;
        }
    }
}

int32_t mixture(RngStream* s, const NbSetup& c, int32_t n, int32_t* r) {
    double lam[kBlock];
    UniformPool pool(s);
    for (int32_t i = 0; i < n; i += kBlock) {
        const int32_t m = std::min(kBlock, n - i);
        if (const int32_t st = _ptzdRngGamma(0, s, m, lam, c.key.a, 0.0, c.scale); st < 0) return st;
        for (int32_t j = 0; j < m; ++j)
            if (!poisson(pool, lam[j], r + i + j)) return pool.status();
    }
    return PTZ_OK;
}

int32_t table_inversion(RngStream* s, const NbSetup& c, int32_t n, int32_t* r) {
    // guide[j]: the first entry whose cumulative probability exceeds j/kGuide
    int16_t guide[kGuide];
    for (int32_t j = 0, k = 0; j < kGuide; ++j) {
        while (k < c.count && c.cdf[k] <= double(j) / kGuide) ++k;
        guide[j] = int16_t(k);
    }
    float u[kBlock];
    for (int32_t i = 0; i < n; i += kBlock) {
        const int32_t m = std::min(kBlock, n - i);
        if (const int32_t st = uniform(s, m, u, 0.0f, 1.0f); st < 0) return st;
        for (int32_t j = 0; j < m; ++j) {
            const double ud = u[j];
            int32_t k = guide[guide_index(u[j])];
            while (k < c.count && ud >= c.cdf[k]) ++k;
            if (k == c.count) {  // beyond the table: continue the walk
                // A float uniform may round up to 1, which no partial sum
                // reaches: the walk ends where the sum stops growing (with
                // q > 1/2 the terms settle on the smallest denormal, not 0).
                double f = c.f_last, sum = c.cdf[k - 1];
                for (--k; ud >= sum;) {
                    f *= (c.key.a + k) / (k + 1) * c.q;
                    const double next = sum + f;
                    if (next == sum) break;
                    ++k;
                    sum = next;
                }
            }
            r[i + j] = k;
        }
    }
    return PTZ_OK;
}

}  // namespace
}  // namespace ptz::dist

using namespace ptz::dist;

ORVU_API int32_t _ptziRngNegbinomial(int32_t, RngStream* stream, int32_t n, int32_t* r, double a, double p) {
    NbSetup* c = nullptr;
    bool stale = false;
    if (const int32_t st = keyed_setup<kChunkBytes>(stream, kChunkId, NbKey{a, p}, &c, &stale); st < 0) return st;
    if (stale) build(*c);
    return c->count ? table_inversion(stream, *c, n, r) : mixture(stream, *c, n, r);
}
