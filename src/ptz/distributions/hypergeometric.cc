// Hypergeometric variates: the number of marked elements in a sample of s
// drawn from l elements of which m are marked. The law drawn is that of the
// smaller class (lo = min(m, l - m) elements) in the smaller of the sample and
// its complement (k elements); the result is mapped back. By the spread above
// the lowest possible value minjx:
//  minjx = maxjx         the single value;
//  mode - minjx <= 39    inversion from minjx upward;
//  mode - minjx >  39    H2PE (Kachitvichyanukul and Schmeiser, J. Statist.
//                        Comput. Simul. 22, 1985), set-up cached in chunk 6,
//                        worked in double from float uniforms.
#include <algorithm>
#include <cmath>

#include "ptz/distributions/common.h"
#include "ptz/distributions/discrete_cache.h"
#include "ptz/distributions/discrete_inversion.h"

namespace ptz::dist {
namespace {

constexpr int32_t kBlock = 1024;      // uniforms per draw of the inversion
constexpr int32_t kH2peBlock = 2048;  // uniforms per draw of H2PE
constexpr int32_t kChunkId = 6;
constexpr int32_t kChunkBytes = 596;
constexpr int32_t kSpan = 28;  // f(y)/f(M) is tabulated for |y - M| <= kSpan

// ln x!: exact sums below 64, Stirling's series with 1/12 and 1/360 above
// (its error there is below 1/(1260·64^5) = 7e-13).
struct LogFactorials {
    double t[64];
    LogFactorials() {
        t[0] = 0.0;
        for (int i = 1; i < 64; ++i) t[i] = t[i - 1] + std::log(double(i));
    }
};
double af(double x) {
    static const LogFactorials table;
    if (x < 64.0) return table.t[int32_t(x)];
    const double y = x + 1.0, y2 = 1.0 / (y * y);
    return (x + 0.5) * std::log(y) - y + 0.9189385332 + (0.083333333333333333 - 0.0027777777777777778 * y2) / y;
}

// The law drawn and how its values map back to the caller's.
struct Shape {
    int32_t lo, hi, k, mode, minjx, maxjx;
    bool lo_unmarked;    // lo counts the unmarked elements
    bool complement;     // k is the complement of the sample
    int32_t m;
    Shape(int32_t l, int32_t s, int32_t m_) : m(m_) {
        lo_unmarked = l - m < m;
        lo = lo_unmarked ? l - m : m;
        hi = l - lo;
        complement = !(2 * int64_t(s) < l);
        k = complement ? l - s : s;
        mode = int32_t((int64_t(lo) + 1) * (int64_t(k) + 1) / (int64_t(l) + 2));
        minjx = std::max(0, k - hi);
        maxjx = std::min(lo, k);
    }
    int32_t back(int32_t x) const {
        const int32_t marked = lo_unmarked ? k - x : x;
        return complement ? m - marked : marked;
    }
    // f(x + 1)/f(x)
    double ratio(int32_t x) const {
        return (double(lo - x) * double(k - x)) / (double(x + 1) * (double(hi - k) + double(x) + 1.0));
    }
    // ln f(x) up to the constant ln C(l, k) shared by every x
    double lnf(double x) const { return -(af(x) + af(lo - x) + af(k - x) + af(hi - k + x)); }
};

struct HyperKey {
    int32_t l, s, m, zero;
    bool operator==(const HyperKey& o) const { return l == o.l && s == o.s && m == o.m; }
};

struct H2pe {
    HyperKey key;
    double xl, xr, p1, p2, p3, ll, lr, inv_ll, inv_lr;
    double a;                    // -ln f(mode) as lnf() counts it
    double xm, xn, xk, nm;       // of the squeeze
    double ratio[2 * kSpan + 1]; // f(M + j)/f(M) at ratio[kSpan + j], 0 outside minjx..maxjx
};

void build(H2pe& h, const Shape& g) {
    const double tn = double(h.key.l), k = g.k, n1 = g.lo, n2 = g.hi, M = g.mode;
    const double s = std::sqrt((tn - k) * k * n1 * n2 / ((tn - 1.0) * tn * tn));
    const double d = std::floor(1.5 * s) + 0.5;
    h.xl = M - d + 0.5;
    h.xr = M + d + 0.5;
    h.a = af(M) + af(n1 - M) + af(k - M) + af(n2 - k + M);
    const double kl = std::exp(h.a + g.lnf(h.xl));
    const double kr = std::exp(h.a + g.lnf(h.xr - 1.0));
    h.ll = -std::log(h.xl * (n2 - k + 1.0 + h.xl) / ((n1 - h.xl + 1.0) * (k - h.xl + 1.0)));
    h.lr = -std::log((n1 - h.xr + 1.0) * (k - h.xr + 1.0) / (h.xr * (n2 - k + h.xr)));
    h.inv_ll = 1.0 / h.ll;
    h.inv_lr = 1.0 / h.lr;
    h.p1 = d + d;
    h.p2 = h.p1 + kl / h.ll;
    h.p3 = h.p2 + kr / h.lr;
    h.xm = M + 0.5;
    h.xn = n1 - M + 0.5;
    h.xk = k - M + 0.5;
    h.nm = n2 - k + h.xm;
    h.ratio[kSpan] = 1.0;
    for (int32_t j = 1; j <= kSpan; ++j) {
        const int32_t up = g.mode + j, down = g.mode - j;
        h.ratio[kSpan + j] = up <= g.maxjx ? h.ratio[kSpan + j - 1] * g.ratio(up - 1) : 0.0;
        h.ratio[kSpan - j] = down >= g.minjx ? h.ratio[kSpan - j + 1] / g.ratio(down) : 0.0;
    }
}

// x·(1 - x/2 + x²/3) and its quartic remainder bound, terms of the squeeze.
inline double cubic(double x) { return x * (1.0 + x * (-0.5 + x / 3.0)); }
inline double quartic(double c, double x) {
    const double x2 = x * x, d = c * x2 * x2;
    return x < 0.0 ? d / (1.0 + x) : d;
}

// One candidate from the uniforms (u, v); true with *y when accepted.
inline bool candidate(const H2pe& h, const Shape& g, double u, double v, int32_t* y) {
    u *= h.p3;
    double x;
    if (u < h.p1) {  // the rectangle
        x = std::floor(h.xl + u);
    } else if (u < h.p2) {  // left exponential tail
        x = std::floor(h.xl + std::log(v) * h.inv_ll);
        v = v * (u - h.p1) * h.ll;
    } else {  // right exponential tail
        x = std::floor(h.xr - std::log(v) * h.inv_lr);
        v = v * (u - h.p2) * h.lr;
    }
    if (!(x >= double(g.minjx) && x <= double(g.maxjx))) return false;
    *y = int32_t(x);
    const int32_t M = g.mode;
    if (const int32_t j = *y - M; j >= -kSpan && j <= kSpan) return v <= h.ratio[kSpan + j];
    if (M < 100 || *y <= 50) {
        // f(y)/f(M) by the recursive ratios.
        double f = 1.0;
        if (M < *y) {
            for (int32_t i = M; i < *y; ++i) f *= g.ratio(i);
        } else {
            for (int32_t i = *y; i < M; ++i) f /= g.ratio(i);
        }
        return v <= f;
    }
    // Squeeze: bounds on ln f(y)/f(M) from the expansions of its four ratios.
    const double y1 = x + 1.0, ym = x - M, yn = g.lo - x + 1.0, yk = g.k - x + 1.0, nk = g.hi - g.k + y1;
    const double r = -ym / y1, s = ym / yn, t = ym / yk, e = -ym / nk;
    const double gg = yn * yk / (y1 * nk) - 1.0;
    const double dg = gg < 0.0 ? 1.0 + gg : 1.0;
    const double gu = cubic(gg);
    const double gl = gu - 0.25 * gg * gg * gg * gg / dg;
    const double ub = x * gu - M * gl + 0.0034 + h.xm * cubic(r) + h.xn * cubic(s) + h.xk * cubic(t) + h.nm * cubic(e);
    const double alv = std::log(v);
    if (alv > ub) return false;
    const double dr = quartic(h.xm, r) + quartic(h.xn, s) + quartic(h.xk, t) + quartic(h.nm, e);
    if (alv < ub - 0.25 * dr + (x + M) * (gl - gu) - 0.0078) return true;
    return alv <= h.a + g.lnf(x);
}

int32_t h2pe(RngStream* s, const H2pe& h, const Shape& g, int32_t n, int32_t* r) {
    float uv[kH2peBlock];
    for (int32_t got = 0; got < n;) {
        const int32_t m = std::min(kH2peBlock / 2, n - got);
        if (const int32_t st = uniform(s, 2 * m, uv, 0.0f, 1.0f); st < 0) return st;
        for (int32_t j = 0; j < m && got < n; ++j) {
            int32_t y;
            if (candidate(h, g, uv[2 * j], uv[2 * j + 1], &y)) r[got++] = g.back(y);
        }
    }
    return PTZ_OK;
}

int32_t inversion(RngStream* s, const Shape& g, int32_t l, int32_t n, int32_t* r) {
    const double x0 = g.minjx;
    // f(minjx) = C(lo, x0)·C(hi, k - x0)/C(l, k)
    const double f0 = std::exp(g.lnf(x0) + af(g.lo) + af(g.hi) + af(g.k) + af(double(l) - g.k) - af(l));
    CdfTable table;
    table.build(g.minjx, g.maxjx, f0, [&](int32_t x) { return g.ratio(x); });
    float u[kBlock];
    for (int32_t i = 0; i < n; i += kBlock) {
        const int32_t m = std::min(kBlock, n - i);
        if (const int32_t st = uniform(s, m, u, 0.0f, 1.0f); st < 0) return st;
        for (int32_t j = 0; j < m; ++j) r[i + j] = g.back(table(u[j]));
    }
    return PTZ_OK;
}

}  // namespace
}  // namespace ptz::dist

using namespace ptz::dist;

ORVU_API int32_t _ptziRngHypergeometric(int32_t, RngStream* stream, int32_t n, int32_t* r, int32_t l, int32_t s,
                                        int32_t m) {
    const Shape g(l, s, m);
    if (g.minjx == g.maxjx) {
        std::fill(r, r + std::max(n, 0), g.back(g.minjx));
        return PTZ_OK;
    }
    if (g.mode - g.minjx <= 39) return inversion(stream, g, l, n, r);
    H2pe* h = nullptr;
    bool stale = false;
    const HyperKey key{l, s, m, 0};
    if (const int32_t st = keyed_setup<kChunkBytes>(stream, kChunkId, key, &h, &stale); st < 0) return st;
    if (stale) build(*h, g);
    return h2pe(stream, *h, g, n, r);
}
