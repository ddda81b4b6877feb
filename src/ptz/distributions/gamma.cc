// Gamma variates, X·beta + a with X ~ Gamma(alpha, 1), by regime of the shape:
//  alpha = 1        the exponential generator;
//  alpha > 1        normal-cube rejection (d = alpha - 1/3, c = 1/sqrt(9·alpha - 3)),
//                   one unused candidate kept in the stream between calls;
//  0.6 <= alpha < 1 rejection from a Weibull(alpha) proposal;
//  alpha < 0.6      rejection from a two-piece proposal: x^(alpha-1) on
//                   [0, (1-alpha)^(1/alpha)], x^(alpha-1)·exp(-(x^alpha-(1-alpha))/alpha) beyond.
#include <algorithm>
#include <cmath>

#include "ptz/distributions/common.h"

namespace ptz::dist {
namespace {

constexpr int32_t kPass = 512;  // candidates per pass

// Chunk of the retained candidate (acceptance uniform, normal deviate): 7 for
// double, 8 for float.
template <class T>
constexpr int32_t kCandidateId = sizeof(T) == sizeof(double) ? 7 : 8;

inline int32_t exponential(RngStream* s, int32_t n, double* r, double a, double beta) {
    return _ptzdRngExponential(0, s, n, r, a, beta);
}
inline int32_t exponential(RngStream* s, int32_t n, float* r, float a, float beta) {
    return _ptzsRngExponential(0, s, n, r, a, beta);
}

template <class T>
struct Output {
    T* r;
    int32_t n;
    T a, beta;
    int32_t got = 0;
    bool full() const { return got == n; }
    void put(T x) { r[got++] = max_of(a, x * beta + a); }
};

template <class T>
int32_t normal_cube(RngStream* s, Output<T>& out, T alpha) {
    const T d = alpha - T(0.3333333333333333);
    const T c = T(1) / std::sqrt(T(9) * alpha - T(3));
    // Squeeze first; the logarithms only for the candidates it does not take.
    auto consider = [&](T u, T x) {
        const T t = T(1) + c * x;
        const T v = t * t * t;
        if (v <= T(0)) return;
        const T x2 = x * x;
        if (T(1) - T(0.0331) * x2 * x2 > u || T(0.5) * x2 + (T(1) - v + std::log(v)) * d > std::log(u))
            out.put(v * d);
    };
    T* saved = nullptr;
    int32_t st = saved_pair(s, kCandidateId<T>, &saved);
    if (st < 0) return st;
    if (saved[0] >= T(0)) {
        const T u = saved[0];
        saved[0] = T(-1);
        consider(u, saved[1]);
    }
    T uni[2 * kPass], rad[kPass / 2], w[kPass / 2], sn[kPass / 2], cs[kPass / 2];
    while (!out.full()) {
        // An even count of candidates: each uniform pair gives two normals.
        int32_t m = std::min(out.n - out.got, kPass);
        m += m & 1;
        if ((st = uniform(s, 2 * m, uni, T(0), T(1))) < 0) return st;
        // Uniforms 4j and 4j+2 make pair j; uniform 2k+1 accepts candidate k.
        const int32_t h = m / 2;
        for (int32_t j = 0; j < h; ++j) {
            rad[j] = uni[4 * j];
            w[j] = uni[4 * j + 2] * kTwoPi<T>;
        }
        v_sincos(h, w, sn, cs);
        box_muller_radii(h, rad);
        for (int32_t k = 0; k < m; ++k) {
            const T x = rad[k / 2] * ((k & 1) ? cs[k / 2] : sn[k / 2]);
            if (out.full()) {  // one candidate more than needed: keep it
                saved[0] = uni[2 * k + 1];
                saved[1] = x;
                break;
            }
            consider(uni[2 * k + 1], x);
        }
    }
    return PTZ_OK;
}

template <class T>
int32_t weibull_rejection(RngStream* s, Output<T>& out, T alpha) {
    // dw = max over x of x^alpha - x = (1 - alpha)·alpha^(alpha/(1-alpha)),
    // set up once with the high-accuracy kernels.
    T e;
    v_ln(1, &alpha, &e, kHA);
    e = e * alpha / (T(1) - alpha);
    v_exp(1, &e, &e, kHA);
    const T dw = (T(1) - alpha) * e;
    T uni[2 * kPass], z[kPass], x[kPass];
    while (!out.full()) {
        const int32_t m = std::min(out.n - out.got, kPass);
        const int32_t st = uniform(s, 2 * m, uni, T(0), T(1));
        if (st < 0) return st;
        v_ln(2 * m, uni, uni);
        for (int32_t i = 0; i < m; ++i) z[i] = -uni[2 * i];
        v_ln(m, z, x);
        for (int32_t i = 0; i < m; ++i) x[i] = x[i] / alpha;
        v_exp(m, x, x);  // X = Z^(1/alpha), Weibull(alpha)
        // Accept with probability exp(Z - X - dw): E = -ln u2 >= X - Z + dw.
        for (int32_t i = 0; i < m && !out.full(); ++i)
            if (x[i] <= z[i] + -uni[2 * i + 1] - dw) out.put(x[i]);
    }
    return PTZ_OK;
}

template <class T>
int32_t two_piece_rejection(RngStream* s, Output<T>& out, T alpha) {
    const T inv = T(1) / alpha;
    const T split = T(1) - alpha;  // share of the power-law piece
    T uni[2 * kPass], lu2[kPass], xa[kPass], le[kPass], xb[kPass];
    while (!out.full()) {
        const int32_t m = std::min(out.n - out.got, kPass);
        const int32_t st = uniform(s, 2 * m, uni, T(0), T(1));
        if (st < 0) return st;
        int32_t na = 0, nb = 0;
        for (int32_t i = 0; i < m; ++i) {
            const T u1 = uni[2 * i];
            lu2[i] = uni[2 * i + 1];
            if (u1 < split) {
                xa[na++] = u1;
            } else {
                le[nb++] = (T(1) - u1) / alpha;  // e in (0, 1]
            }
        }
        v_ln(m, lu2, lu2);
        // Power-law piece: X = u1^(1/alpha).
        v_ln(na, xa, xa);
        for (int32_t i = 0; i < na; ++i) xa[i] = xa[i] * inv;
        v_exp(na, xa, xa);
        // Tail piece: X^alpha = (1 - alpha) - alpha·ln e.
        v_ln(nb, le, le);
        for (int32_t i = 0; i < nb; ++i) xb[i] = split - alpha * le[i];
        v_ln(nb, xb, xb);
        for (int32_t i = 0; i < nb; ++i) xb[i] = xb[i] * inv;
        v_exp(nb, xb, xb);
        int32_t ia = 0, ib = 0;
        for (int32_t i = 0; i < m && !out.full(); ++i) {
            if (uni[2 * i] < split) {
                const T x = xa[ia++];
                if (lu2[i] + x <= T(0)) out.put(x);
            } else {
                const T x = xb[ib];
                if (x + le[ib++] + lu2[i] <= T(0)) out.put(x);
            }
        }
    }
    return PTZ_OK;
}

template <class T>
int32_t gamma(RngStream* s, int32_t n, T* r, T alpha, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    if (alpha == T(1)) return exponential(s, n, r, a, beta);
    if (n <= 0) return PTZ_OK;
    Output<T> out{r, n, a, beta};
    if (alpha > T(1)) return normal_cube(s, out, alpha);
    if (alpha >= T(0.6)) return weibull_rejection(s, out, alpha);
    return two_piece_rejection(s, out, alpha);
}

}  // namespace
}  // namespace ptz::dist

extern "C" {
ORVU_API int32_t _ptzdRngGamma(int32_t, RngStream* s, int32_t n, double* r, double alpha, double a, double beta) {
    return ptz::dist::gamma(s, n, r, alpha, a, beta);
}
ORVU_API int32_t _ptzsRngGamma(int32_t, RngStream* s, int32_t n, float* r, float alpha, float a, float beta) {
    return ptz::dist::gamma(s, n, r, alpha, a, beta);
}
}
