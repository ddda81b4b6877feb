// Goodness of fit of the continuous distribution generators. Each row of the
// grid draws 10^6 variates in both precisions and compares them with the exact
// law (Boost.Math): the Kolmogorov-Smirnov statistic, and the sample mean and
// variance against the true moments in units of their standard error. A row
// passes with p > 1e-4 and both moments within 5 standard errors.
//
// ctest runs the rows marked ci. The whole grid, writing its table (from the
// source tree):
//   ORVU_DIST_FIT=full ORVU_DIST_FIT_TABLE=docs/distributions_fit.md
//       <build>/tests/ptz_rng/ptz_rng_distributions_fit_test
//
// A row's seed is a hash of its name and precision, so it draws the same
// numbers on every run whatever rows are added around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <boost/math/distributions.hpp>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

namespace bm = boost::math;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The law of shift + scale * Y for Y distributed as d; a negative scale
// mirrors it. Moments are NaN for a law without them (Cauchy).
struct Law {
    std::function<double(double)> cdf;
    double mean = kNaN, var = kNaN, kurt = kNaN;
};

template <class D>
Law law(D d, double shift = 0.0, double scale = 1.0) {
    const double lo = bm::support(d).first, hi = bm::support(d).second;
    Law l;
    l.cdf = [=](double x) {
        const double z = (x - shift) / scale;
        if (!(z > lo)) return scale > 0 ? 0.0 : 1.0;
        if (!(z < hi)) return scale > 0 ? 1.0 : 0.0;
        return scale > 0 ? bm::cdf(d, z) : bm::cdf(bm::complement(d, z));
    };
    if constexpr (!std::is_same_v<D, bm::cauchy>) {
        l.mean = shift + scale * bm::mean(d);
        l.var = scale * scale * bm::variance(d);
        l.kurt = bm::kurtosis(d);
    }
    return l;
}

using Draw = std::function<int32_t(RngStream*, int32_t, std::vector<double>&)>;
struct Row {
    std::string name;
    Law law;
    Draw d, s;  // the double and the float form, results widened to double
    int32_t brng = PTZ_BRNG_MCG59;
    bool ci = false;
};

template <class T, class F>
Draw widen(F f) {
    return [=](RngStream* s, int32_t n, std::vector<double>& out) {
        std::vector<T> r(size_t(n), T(0));
        const int32_t st = f(s, n, r.data());
        out.assign(r.begin(), r.end());
        return st;
    };
}

// A row of one generator: fd/fs are its two forms, p the parameters after the
// result array, labelled by names.
template <class FD, class FS, class... P>
Row row(const char* dist, std::initializer_list<const char*> names, Law l, FD fd, FS fs, int32_t method, P... p) {
    std::string name = dist;
    if (method) name += " m=" + std::to_string(method & 3) + (method & PTZ_RNG_METHOD_ACCURATE ? "+acc" : "");
    const double v[] = {double(p)...};
    auto label = names.begin();
    for (double x : v) {
        char buf[48];
        std::snprintf(buf, sizeof buf, " %s=%g", *label++, x);
        name += buf;
    }
    return {name, l, widen<double>([=](RngStream* s, int32_t n, double* r) { return fd(method, s, n, r, double(p)...); }),
            widen<float>([=](RngStream* s, int32_t n, float* r) { return fs(method, s, n, r, float(p)...); })};
}

// ---- multivariate Gaussian ----------------------------------------------------
// x = L z + mean with L lower triangular (covariance L L^T), handed to the
// generator in one of its storages: full (column-major, upper triangle read,
// x = T^T z), packed (column-major lower) or diagonal. A row checks the
// whitened components L^-1 (x - mean), pooled, against N(0, 1), or one
// component against its marginal.
Row mv_row(int32_t d, int32_t storage, int32_t method, int32_t component) {
    std::vector<double> L(static_cast<size_t>(d * d)), mean(static_cast<size_t>(d)), t;
    for (int32_t i = 0; i < d; ++i) {
        mean[size_t(i)] = 1.5 * i - 2.0;
        for (int32_t j = 0; j <= i; ++j)
            L[size_t(i * d + j)] = i == j ? 0.5 + 0.25 * i : storage == 2 ? 0.0 : 0.3 * (j - i) + 0.1;
    }
    if (storage == 0) t.assign(size_t(d * d), 0.0);
    for (int32_t j = 0; j < d; ++j)
        for (int32_t i = j; i < d; ++i) {
            const double v = L[size_t(i * d + j)];
            if (storage == 0) t[size_t(j + i * d)] = v;
            else if (storage == 1 || i == j) t.push_back(v);
        }
    double var = 0;
    for (int32_t j = 0; component >= 0 && j <= component; ++j) var += std::pow(L[size_t(component * d + j)], 2);
    static const char* kStorage[] = {"full", "packed", "diagonal"};
    const std::string name = "GaussianMV m=" + std::to_string(method) + " " + kStorage[storage] + " dimen=" +
                             std::to_string(d) + (component < 0 ? " whitened" : " component " + std::to_string(component));
    auto make = [=](auto zero) {
        using T = decltype(zero);
        return Draw([=](RngStream* s, int32_t n, std::vector<double>& out) {
            const int32_t nv = component >= 0 ? n : n / d;
            std::vector<T> r(size_t(nv * d)), mu(mean.begin(), mean.end()), f(t.begin(), t.end());
            int32_t st;
            if constexpr (std::is_same_v<T, double>)
                st = _ptzdRngGaussianMV(method, s, nv, r.data(), d, storage, mu.data(), f.data());
            else
                st = _ptzsRngGaussianMV(method, s, nv, r.data(), d, storage, mu.data(), f.data());
            out.clear();
            std::vector<double> z(static_cast<size_t>(d));
            for (size_t k = 0; k < size_t(nv); ++k) {
                const T* x = &r[k * size_t(d)];
                if (component >= 0) out.push_back(x[component]);
                for (size_t i = 0; component < 0 && i < size_t(d); ++i) {
                    double e = x[i] - mean[i];
                    for (size_t j = 0; j < i; ++j) e -= L[i * size_t(d) + j] * z[j];
                    out.push_back(z[i] = e / L[i * size_t(d) + i]);
                }
            }
            return st;
        });
    };
    return {name, component < 0 ? law(bm::normal(0, 1)) : law(bm::normal(mean[size_t(component)], std::sqrt(var))),
            make(0.0), make(0.0f)};
}

// ---- the grid -----------------------------------------------------------------
constexpr double kTiny = 1e-30, kHuge = 1e30;
constexpr std::pair<int32_t, const char*> kGens[] = {{PTZ_BRNG_MCG59, "MCG59"},
                                                     {PTZ_BRNG_MT19937, "MT19937"},
                                                     {PTZ_BRNG_PHILOX4X32X10, "PHILOX4X32X10"},
                                                     {PTZ_BRNG_MRG32K3A, "MRG32K3A"},
                                                     {PTZ_BRNG_SFMT19937, "SFMT19937"}};

std::vector<Row> grid() {
    std::vector<Row> g;
    auto add = [&g](Row r, bool ci = false, int gen = 0) {
        r.ci = ci, r.brng = kGens[gen].first;
        if (gen) r.name += std::string(" [") + kGens[gen].second + "]";
        g.push_back(std::move(r));
    };
    const auto ab = {"a", "beta"};
    const auto aab = {"alpha", "a", "beta"};
    const auto ln = {"a", "sigma", "b", "beta"};
    const auto pq = {"p", "q", "a", "beta"};
    add(row("Uniform", {"a", "b"}, law(bm::uniform(-3, 5)), _ptzdRngUniform, _ptzsRngUniform,
            PTZ_RNG_METHOD_ACCURATE, -3, 5));
    // Location and scale: unit, moved, tiny and huge, spread over generators.
    const double scales[][2] = {{0, 1}, {-2, 0.5}, {kTiny, kTiny}, {-kHuge, kHuge}};
    for (int k = 0; k < 4; ++k) {
        const double a = scales[k][0], b = scales[k][1];
        add(row("Uniform", {"a", "b"}, law(bm::uniform(a, a + b)), _ptzdRngUniform, _ptzsRngUniform, 0, a, a + b),
            k == 0, k);
        for (int32_t m = 0; m < 3; ++m)
            add(row("Gaussian", {"a", "sigma"}, law(bm::normal(a, b)), _ptzdRngGaussian, _ptzsRngGaussian, m, a, b),
                k == 0, k);
        add(row("Exponential", ab, law(bm::exponential(1), a, b), _ptzdRngExponential, _ptzsRngExponential, 0, a, b),
            k == 0, k);
        add(row("Laplace", ab, law(bm::laplace(0, 1), a, b), _ptzdRngLaplace, _ptzsRngLaplace, 0, a, b), k == 0, k);
        add(row("Cauchy", ab, law(bm::cauchy(0, 1), a, b), _ptzdRngCauchy, _ptzsRngCauchy, 0, a, b), k == 0, k);
        // No factor 2 under the root: beta sqrt(-ln u) is Rayleigh with sigma = beta / sqrt 2.
        add(row("Rayleigh", ab, law(bm::rayleigh(0.7071067811865476), a, b), _ptzdRngRayleigh, _ptzsRngRayleigh, 0, a, b),
            k == 0, k);
        // a + beta ln E: the mirror image of the largest-value law.
        add(row("Gumbel", ab, law(bm::extreme_value(0, 1), a, -b), _ptzdRngGumbel, _ptzsRngGumbel, 0, a, b), k == 0, k);
        const double alpha = std::array{3.7, 1.0, 0.5, 2.0}[size_t(k)];
        add(row("Weibull", aab, law(bm::weibull(alpha), a, b), _ptzdRngWeibull, _ptzsRngWeibull, 0, alpha, a, b),
            k == 0, k);
        // exp(N(mu, sigma)) beta + b; method 0 draws Box-Muller2 normals, others the inverse CDF.
        const double mu = 0.5 * k, sigma = std::array{1.0, 0.25, 0.5, 1.0}[size_t(k)];
        for (int32_t m : {0, k == 0 ? 1 : k == 1 ? PTZ_RNG_METHOD_ACCURATE : -1})
            if (m >= 0)
                add(row("Lognormal", ln, law(bm::lognormal(mu, sigma), a, b), _ptzdRngLognormal, _ptzsRngLognormal, m,
                        mu, sigma, a, b),
                    k == 0, k);
        if (k == 0) continue;
        const double alpha_g = std::array{2.5, 0.3, 4.0}[size_t(k - 1)];
        add(row("Gamma", aab, law(bm::gamma_distribution<>(alpha_g), a, b), _ptzdRngGamma, _ptzsRngGamma, 0, alpha_g,
                a, b),
            false, k);
        const double p = std::array{0.4, 2.0, 0.5}[size_t(k - 1)], q = std::array{0.4, 3.0, 3.0}[size_t(k - 1)];
        add(row("Beta", pq, law(bm::beta_distribution<>(p, q), a, b), _ptzdRngBeta, _ptzsRngBeta, 0, p, q, a, b),
            false, k);
    }
    // Multivariate Gaussian: (dimen, storage, method, component or -1 for
    // whitened); dimen 12 takes the blocked product, dimen 1 the plain call.
    const int32_t mv[][4] = {{3, 0, 0, -1}, {3, 0, 1, -1}, {3, 0, 2, -1}, {3, 0, 1, 2}, {3, 1, 1, -1},
                             {3, 1, 0, 2},  {3, 2, 2, -1}, {12, 0, 1, -1}, {12, 0, 0, 11}, {1, 0, 0, 0}};
    for (const auto& c : mv)
        add(mv_row(c[0], c[1], c[2], c[3]), c[0] == 3 && c[3] < 0 && c[2] > 0 && c[1] < 2, c[0] == 12 ? 4 : 0);
    // Gamma across its regimes: alpha < 0.6, [0.6, 1), 1, > 1.
    for (double alpha : {0.1, 0.59, 0.6, 0.99, 1.0, 1.01, 50.0})
        add(row("Gamma", aab, law(bm::gamma_distribution<>(alpha)), _ptzdRngGamma, _ptzsRngGamma, 0, alpha, 0, 1),
            alpha == 0.59 || alpha == 0.99 || alpha == 1.01);
    // Beta: Johnk's region and its boundary (p = 0.5: q = 0.743), the
    // switching method (both shapes below 1, one below 1, exchanged), the
    // power-function laws and the ratio method.
    const double shapes[][3] = {
        {0.5, 0.5, 1}, {0.1, 0.1, 0}, {0.9, 0.2, 0}, {0.5, 0.74, 0}, {0.5, 0.75, 1}, {0.3, 0.9, 0}, {0.9, 0.3, 0},
        {0.99, 0.99, 0}, {0.5, 3, 1}, {0.2, 20, 0}, {0.3, 1000, 0}, {0.9, 1.1, 0}, {4, 0.7, 1}, {50, 0.5, 0},
        {1, 3, 0}, {1, 0.5, 0}, {2.5, 1, 1}, {1, 1, 0}, {2, 3, 1}, {1.01, 1.01, 0}, {30, 40, 0}, {1000, 2, 0},
        {1000, 1000, 0}};
    for (const auto& s : shapes)
        add(row("Beta", pq, law(bm::beta_distribution<>(s[0], s[1])), _ptzdRngBeta, _ptzsRngBeta, 0, s[0], s[1], 0, 1),
            s[2] > 0);
    return g;
}

std::vector<Row> selected() {
    const char* mode = std::getenv("ORVU_DIST_FIT");
    const bool full = mode && std::string(mode) == "full";
    std::vector<Row> out;
    for (Row& r : grid())
        if (full || r.ci) out.push_back(std::move(r));
    return out;
}

// ---- statistics ---------------------------------------------------------------
// Kolmogorov's limiting distribution, P(sqrt(n) D > t), with Stephens'
// finite-n correction of t.
double ks_pvalue(double d, double n) {
    const double t = (std::sqrt(n) + 0.12 + 0.11 / std::sqrt(n)) * d;
    if (t < 0.2) return 1.0;
    double p = 0;
    for (int k = 1; k <= 100; ++k) p += (k % 2 ? 2.0 : -2.0) * std::exp(-2.0 * k * k * t * t);
    return std::min(1.0, std::max(0.0, p));
}

// sup |F_n - F| of the sample x (sorted here), for results rounded to the
// output precision: a result v stands for a variate between its neighbours in
// that precision, so the empirical CDF below v is compared with F(previous)
// and the one up to v with F(next). (Near a pole of the density, e.g. Beta
// with q = 0.1 close to 1, the last few representable values carry percents
// of the mass; elsewhere the allowance is negligible.) Equal values step the
// empirical CDF together. F is exact but slow (incomplete beta and gamma
// functions), so it is first taken at every 64th distinct value: F is
// monotone, which bounds the deviation inside each segment, and only segments
// whose bound exceeds the largest deviation found are filled in.
double ks_statistic(std::vector<double>& x, const std::function<double(double)>& cdf, bool single) {
    std::sort(x.begin(), x.end());
    std::vector<double> v;      // distinct values
    std::vector<size_t> below;  // samples below v[k]; below.back() = n
    for (size_t i = 0; i < x.size(); ++i)
        if (i == 0 || x[i] != x[i - 1]) v.push_back(x[i]), below.push_back(i);
    below.push_back(x.size());
    const double n = double(x.size()), inf = std::numeric_limits<double>::infinity();
    auto step = [single](double y, double to) {
        return single ? double(std::nextafter(float(y), float(to))) : std::nextafter(y, to);
    };
    std::vector<double> lo(v.size(), kNaN), hi(v.size(), kNaN);
    double d = 0;
    auto at = [&](size_t k) {
        if (std::isnan(lo[k])) {
            lo[k] = cdf(step(v[k], -inf)), hi[k] = cdf(step(v[k], inf));
            d = std::max({d, lo[k] - double(below[k]) / n, double(below[k + 1]) / n - hi[k]});
        }
    };
    constexpr size_t kStep = 64;
    std::vector<std::pair<double, size_t>> segments;  // (bound, first index)
    for (size_t s = 0; s < v.size(); s += kStep) {
        const size_t e = std::min(s + kStep, v.size() - 1);
        at(s), at(e);
        segments.push_back({std::max(lo[e] - double(below[s]) / n, double(below[e + 1]) / n - hi[s]), s});
    }
    std::sort(segments.rbegin(), segments.rend());
    for (const auto& [bound, s] : segments) {
        if (bound <= d) break;
        for (size_t k = s; k < std::min(s + kStep, v.size()); ++k) at(k);
    }
    return d;
}

struct Fit {
    int32_t status = 0;
    double d = 0, p = 0, zmean = kNaN, zvar = kNaN;
    bool passes() const {
        return status == 0 && p > 1e-4 && !(std::abs(zmean) >= 5.0) && !(std::abs(zvar) >= 5.0);
    }
};

Fit fit(const Row& row, bool single, int32_t n) {
    Fit f;
    RngStream* s = nullptr;
    uint32_t seed = 2166136261u;  // FNV-1a of the row's name and precision
    for (unsigned char c : row.name + (single ? "/s" : "/d")) seed = (seed ^ c) * 16777619u;
    if (__ptzNewStreamEx(&s, row.brng, 1, &seed) != 0) return f.status = -1, f;
    std::vector<double> x;
    f.status = (single ? row.s : row.d)(s, n, x);
    __ptzDeleteStream(&s);
    const double m = double(x.size());
    if (std::isfinite(row.law.mean)) {
        double sum = 0, sq = 0;
        for (double v : x) sum += v;
        for (double v : x) sq += (v - sum / m) * (v - sum / m);
        // var(sample variance) ~ sigma^4 (kurtosis - 1) / n
        f.zmean = (sum / m - row.law.mean) / std::sqrt(row.law.var / m);
        f.zvar = (sq / (m - 1) - row.law.var) / (row.law.var * std::sqrt((row.law.kurt - 1) / m));
    }
    f.d = ks_statistic(x, row.law.cdf, single);
    f.p = ks_pvalue(f.d, m);
    return f;
}

// ---- the test and its table -----------------------------------------------------
struct Line {
    std::string name;
    Fit d, s;
};
std::vector<Line> g_lines;

class TableWriter : public ::testing::Environment {
    void TearDown() override {
        const char* path = std::getenv("ORVU_DIST_FIT_TABLE");
        FILE* f = path && !g_lines.empty() ? std::fopen(path, "w") : nullptr;
        if (!f) return;
        std::fprintf(f, "# Goodness of fit of the continuous distributions\n\n"
                        "Generated by `ORVU_DIST_FIT=full ORVU_DIST_FIT_TABLE=docs/distributions_fit.md "
                        "ptz_rng_distributions_fit_test` (tests/ptz_rng/distributions_fit_test.cc). Each row draws "
                        "10^6 variates per precision from a stream (MCG59 unless named) seeded from the row's name; "
                        "*p* is the Kolmogorov-Smirnov p-value against the exact CDF (Boost.Math), *z mean* and "
                        "*z var* the sample mean and variance minus the true ones in standard errors (none for "
                        "Cauchy). A row passes with p > 1e-4 and |z| < 5.\n\n"
                        "| distribution and parameters | p (double) | z mean | z var | p (float) | z mean | z var | "
                        "passes |\n|---|---|---|---|---|---|---|---|\n");
        for (const Line& l : g_lines)
            std::fprintf(f, "| %s | %.3g | %.2f | %.2f | %.3g | %.2f | %.2f | %s |\n", l.name.c_str(), l.d.p,
                         l.d.zmean, l.d.zvar, l.s.p, l.s.zmean, l.s.zvar,
                         l.d.passes() ? (l.s.passes() ? "both" : "double only") : l.s.passes() ? "float only" : "no");
        std::fclose(f);
    }
};
[[maybe_unused]] const auto* const kTable = ::testing::AddGlobalTestEnvironment(new TableWriter);

class Grid : public ::testing::TestWithParam<Row> {};

TEST_P(Grid, FitsItsLaw) {
    const Row& r = GetParam();
    g_lines.push_back({r.name, fit(r, false, 1000000), fit(r, true, 1000000)});
    for (const Fit* f : {&g_lines.back().d, &g_lines.back().s})
        EXPECT_TRUE(f->passes()) << (f == &g_lines.back().d ? "double" : "float") << ": status " << f->status
                                 << ", D = " << f->d << ", p = " << f->p << ", z mean " << f->zmean << ", z var "
                                 << f->zvar;
}

std::string test_name(const ::testing::TestParamInfo<Row>& info) {
    std::string s = std::to_string(info.index) + "_";
    for (char c : info.param.name) s += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return s;
}
INSTANTIATE_TEST_SUITE_P(Distributions, Grid, ::testing::ValuesIn(selected()), test_name);

}  // namespace
