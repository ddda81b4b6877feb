// Binomial variates. With q0 = min(p, 1 - p) and the law of q0 reflected back
// (X -> ntrial - X) when p > 1/2:
//  ntrial·q0 <  30  inversion from 0 upward, starting at q^ntrial;
//  ntrial·q0 >= 30  BTPE (Kachitvichyanukul and Schmeiser, CACM 31, 1988) in
//                   single precision, its set-up cached in chunk 5.
#include <algorithm>
#include <cmath>

#include "ptz/distributions/common.h"
#include "ptz/distributions/discrete_cache.h"
#include "ptz/distributions/discrete_inversion.h"

namespace ptz::dist {
namespace {

constexpr int32_t kBlock = 1024;  // uniforms per draw
constexpr int32_t kChunkId = 5;
constexpr int32_t kChunkBytes = 544;
constexpr int32_t kSpan = 20;  // f(y)/f(M) is tabulated for |y - M| <= kSpan

// (ntrial, p as float) and q0 = min(p, 1 - p) as float. q0 is formed in
// double first: 1 - float(p) would lose q0's digits when p is near 1.
struct BinomialKey {
    double ntrial;
    float p, q0;
    bool operator==(const BinomialKey& o) const { return ntrial == o.ntrial && p == o.p && q0 == o.q0; }
};

// Set-up of BTPE for (ntrial, q0). Positions are kept as offsets from the
// mode M so that they stay exact in float for large ntrial: xl = M + xlo,
// xr = M + xro, xm = M + 1/2.
struct Btpe {
    BinomialKey key;
    int32_t n, M;
    float r, q, npq, inv_npq, half_npq;  // r = q0
    float p1, c, p2, p3, p4, ll, lr;
    float inv_p1, inv_c, inv_ll, inv_lr, xlo, xro;
    float s, a;        // r/q and (n + 1)·r/q of the explicit ratio
    float xm, nm;      // M + 1/2 and n - M + 1/2 of the final test
    float ratio[2 * kSpan + 1];  // f(M + j)/f(M) at ratio[kSpan + j], 0 outside 0..n
};

void build(Btpe& b, int32_t ntrial, float r) {
    b.n = ntrial;
    const float q = 1.0f - r;
    const float nf = float(ntrial);
    const float fm = nf * r + r;
    const float M = std::floor(fm);
    b.M = int32_t(M);
    b.r = r;
    b.q = q;
    b.npq = nf * r * q;
    b.inv_npq = 1.0f / b.npq;
    b.half_npq = 0.5f * b.npq - 1.0f;
    b.p1 = std::floor(2.195f * std::sqrt(b.npq) - 4.6f * q) + 0.5f;
    b.xlo = 0.5f - b.p1;
    b.xro = 0.5f + b.p1;
    b.c = 0.134f + 20.5f / (15.3f + M);
    const float fo = fm - M;  // fm - M, exact
    const float xl = M + b.xlo, xr = M + b.xro;
    float a = (fo - b.xlo) / (fm - xl * r);
    b.ll = a * (1.0f + 0.5f * a);
    a = (b.xro - fo) / (xr * q);
    b.lr = a * (1.0f + 0.5f * a);
    b.p2 = b.p1 * (1.0f + 2.0f * b.c);
    b.p3 = b.p2 + b.c / b.ll;
    b.p4 = b.p3 + b.c / b.lr;
    b.inv_p1 = 1.0f / b.p1;
    b.inv_c = 1.0f / b.c;
    b.inv_ll = 1.0f / b.ll;
    b.inv_lr = 1.0f / b.lr;
    b.s = r / q;
    b.a = b.s * (nf + 1.0f);
    b.xm = M + 0.5f;
    b.nm = nf - M + 0.5f;
    b.ratio[kSpan] = 1.0f;
    for (int32_t j = 1; j <= kSpan; ++j) {
        // f(y)/f(y - 1) = (n - y + 1)/y · r/q = a/y - s
        const int32_t up = b.M + j, down = b.M - j + 1;
        b.ratio[kSpan + j] = up <= ntrial ? b.ratio[kSpan + j - 1] * (b.a / float(up) - b.s) : 0.0f;
        b.ratio[kSpan - j] = down > 0 ? b.ratio[kSpan - j + 1] / (b.a / float(down) - b.s) : 0.0f;
    }
}

// Stirling correction of ln Γ(x): 1/(12x) - 1/(360x³) + 1/(1260x⁵) - 1/(1680x⁷) + 1/(1188x⁹).
inline float stirling(float x) {
    const float x2 = 1.0f / (x * x);
    return (0.083333336f - (0.0027777778f - (0.0007936508f - (0.0005952381f - 0.0008417508f * x2) * x2) * x2) * x2) / x;
}

// One candidate from the uniforms (u, v) on [0, 1); true with *y (the law of
// q0) when it is accepted.
inline bool candidate(const Btpe& b, float u, float v, int32_t* y) {
    u *= b.p4;
    float yo;  // y - M
    if (u <= b.p1) {  // triangle: always accepted
        *y = b.M + int32_t(std::floor(0.5f + u - b.p1 * v));
        return true;
    }
    if (u <= b.p2) {  // parallelograms
        const float xo = b.xlo + (u - b.p1) * b.inv_c;
        v = v * b.c + 1.0f - std::fabs(0.5f - xo) * b.inv_p1;
        if (v > 1.0f) return false;
        yo = std::floor(xo);
    } else if (u <= b.p3) {  // left exponential tail
        yo = std::floor(b.xlo + std::log(v) * b.inv_ll);
        if (yo < -float(b.M)) return false;
        v = v * (u - b.p2) * b.ll;
    } else {  // right exponential tail
        yo = std::floor(b.xro - std::log(v) * b.inv_lr);
        if (yo > float(b.n - b.M)) return false;
        v = v * (u - b.p3) * b.lr;
    }
    const int32_t k = int32_t(std::fabs(yo));
    *y = b.M + int32_t(yo);
    if (k <= kSpan) return v <= b.ratio[kSpan + int32_t(yo)];
    if (float(k) >= b.half_npq) {
        // f(y)/f(M) by the recursive ratios (n - i + 1)/i · r/q.
        float f = 1.0f;
        if (*y > b.M) {
            for (int32_t i = b.M + 1; i <= *y; ++i) f *= b.a / float(i) - b.s;
        } else {
            for (int32_t i = *y + 1; i <= b.M; ++i) f /= b.a / float(i) - b.s;
        }
        return v <= f;
    }
    // Squeeze on ln f(y)/f(M) = -k²/(2npq) ± rho.
    const float kf = float(k);
    const float rho = kf * b.inv_npq * ((kf * (kf / 3.0f + 0.625f) + 0.16666667f) * b.inv_npq + 0.5f);
    const float t = -0.5f * kf * kf * b.inv_npq;
    const float A = std::log(v);
    if (A < t - rho) return true;
    if (A > t + rho) return false;
    // ln f(y)/f(M) by Stirling's formula, with x1 = y + 1, f1 = M + 1,
    // z = n + 1 - M, w = n + 1 - y; the ratios near 1 go through log1p.
    const float x1 = float(*y) + 1.0f, f1 = float(b.M) + 1.0f;
    const float z = float(b.n - b.M) + 1.0f, w = float(b.n - *y) + 1.0f;
    const float bound = b.xm * std::log1p(-yo / x1) + b.nm * std::log1p(yo / w) +
                        yo * std::log(w * b.r / (x1 * b.q)) + stirling(f1) + stirling(z) - stirling(x1) -
                        stirling(w);
    return A <= bound;
}

// Variates of the law of q0, reflected when `flip`.
int32_t btpe(RngStream* s, const Btpe& b, bool flip, int32_t n, int32_t* r) {
    float uv[kBlock];  // (u, v) of kBlock/2 candidates
    for (int32_t got = 0; got < n;) {
        const int32_t m = std::min(kBlock / 2, n - got);
        if (const int32_t st = uniform(s, 2 * m, uv, 0.0f, 1.0f); st < 0) return st;
        for (int32_t j = 0; j < m && got < n; ++j) {
            int32_t y;
            if (candidate(b, uv[2 * j], uv[2 * j + 1], &y)) r[got++] = flip ? b.n - y : y;
        }
    }
    return PTZ_OK;
}

int32_t inversion(RngStream* s, int32_t n, int32_t* r, int32_t ntrial, double p) {
    const bool flip = p > 0.5;
    const double q0 = flip ? 1.0 - p : p, q = 1.0 - q0;
    double f0;
    v_powx(1, &q, double(ntrial), &f0, kHA);
    const double odds = q0 / q;
    CdfTable table;
    table.build(0, ntrial, f0, [&](int32_t x) { return double(ntrial - x) / double(x + 1) * odds; });
    float u[kBlock];
    for (int32_t i = 0; i < n; i += kBlock) {
        const int32_t m = std::min(kBlock, n - i);
        if (const int32_t st = uniform(s, m, u, 0.0f, 1.0f); st < 0) return st;
        for (int32_t j = 0; j < m; ++j) {
            const int32_t x = table(u[j]);
            r[i + j] = flip ? ntrial - x : x;
        }
    }
    return PTZ_OK;
}

}  // namespace
}  // namespace ptz::dist

using namespace ptz::dist;

ORVU_API int32_t _ptziRngBinomial(int32_t, RngStream* stream, int32_t n, int32_t* r, int32_t ntrial, double p) {
    const double q0 = std::min(p, 1.0 - p);
    if (double(ntrial) * q0 < 30.0) return inversion(stream, n, r, ntrial, p);
    Btpe* b = nullptr;
    bool stale = false;
    const BinomialKey key{double(ntrial), float(p), float(q0)};
    if (const int32_t st = keyed_setup<kChunkBytes>(stream, kChunkId, key, &b, &stale); st < 0) return st;
    if (stale) build(*b, ntrial, key.q0);
    return btpe(stream, *b, p > 0.5, n, r);
}
