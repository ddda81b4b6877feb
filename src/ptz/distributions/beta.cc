// Beta variates on [a, a + beta] with shapes p and q. The shapes pick one
// exact method (all of them transform uniforms through the vector kernels):
//
//   p = 1 or q = 1       inverse CDF of the power-function law;
//   p, q < 1, small      Johnk: X = u1^(1/p), Y = u2^(1/q), accepted X/(X+Y)
//                        when X + Y <= 1 (the small-shape side of a quadratic
//                        boundary, where it beats the switching method);
//   p < 1, one shape     Atkinson's switching method: a two-piece power
//     below 1            envelope split at t, piece chosen with weight w;
//                        p > 1 > q runs it with the shapes exchanged and
//                        returns the complement;
//   p, q > 1             Cheng's ratio method (algorithm BB, its two squeezes).
//
// Every candidate of a rejection pass is transformed by one kernel call per
// step; accepted values keep the order of their uniform pairs. Results are
// clamped into [a, a + beta].
#include <algorithm>

#include "ptz/distributions/common.h"

namespace ptz::dist {
namespace {

// Candidates per rejection pass (two uniforms each).
constexpr int32_t kPass = 512;

// ln 4, 0x3FF62E42FEFA39EF.
constexpr double kLn4 = 1.3862943611198906;

template <class T>
T ha_sqrt(T x) {
    T r;
    v_sqrt(1, &x, &r, kHA);
    return r;
}
template <class T>
T ha_ln(T x) {
    T r;
    v_ln(1, &x, &r, kHA);
    return r;
}
template <class T>
T ha_exp(T x) {
    T r;
    v_exp(1, &x, &r, kHA);
    return r;
}

// Johnk: the whole pass is one Ln and one Exp call over its 2m uniforms.
template <class T>
struct Johnk {
    T inv_p, inv_q;
    Johnk(T p, T q) : inv_p(T(1) / p), inv_q(T(1) / q) {}

    int32_t pass(T* u, int32_t m, T* out) const {
        v_ln(2 * m, u, u);
        for (int32_t i = 0; i < m; ++i) u[2 * i] *= inv_p, u[2 * i + 1] *= inv_q;
        v_exp(2 * m, u, u);
        int32_t k = 0;
        for (int32_t i = 0; i < m; ++i) {
            const T x = u[2 * i], s = x + u[2 * i + 1];
            if (s > T(0) && s <= T(1)) out[k++] = x / s;
        }
        return k;
    }
};

// Atkinson's switching method for p < 1 and q < 1 or q > 1. The density
// x^(p-1) (1-x)^(q-1) is bounded by x^(p-1) times the largest value of
// (1-x)^(q-1) on [0, t] (at t for q < 1, at 0 for q > 1), and by (1-x)^(q-1)
// times t^(p-1) on [t, 1]. A piece is chosen with its share w of the
// envelope, a point of it drawn by inversion, and accepted when u2 is below
// density / envelope. Each point is kept as Y and its complement C = 1 - Y,
// both computed from the side where they are not a difference of nearly equal
// values, so the exchanged case returns C with full precision.
template <class T>
struct Switching {
    T p, q, t, w, cap;  // cap: the largest value of (1-x) ^ (q-1) on [0, t] is cap ^ (q-1)
    bool mirror;         // shapes exchanged: return 1 - Y

    Switching(T p_, T q_, bool mirror_) : p(p_), q(q_), mirror(mirror_) {
        if (q < T(1)) {
            // Both below 1: t balances the two pieces' areas to first order.
            const T sp = ha_sqrt(p * (T(1) - p)), sq = ha_sqrt(q * (T(1) - q));
            t = sp / (sp + sq);
            w = q * t / (q * t + p * (T(1) - t));
            cap = T(1) - t;
        } else {
            // Atkinson's near-optimal split for p < 1 < q; the second piece's
            // area carries (1 - t)^q.
            t = (T(1) - p) / (q + T(1) - p);
            w = q * t / (q * t + p * ha_exp(q * ha_ln(T(1) - t)));
            cap = T(1);
        }
    }

    int32_t pass(T* u, int32_t m, T* out) const {
        T base[kPass], y[kPass], c[2 * kPass];
        int32_t open[kPass], n_open = 0;
        bool accept[kPass];
        const T inv_p = T(1) / p, inv_q = T(1) / q, one_w = T(1) - w, one_t = T(1) - t;
        const T inv_t = T(1) / t;
        // v uniform on (0, 1] inside the chosen piece; v^(1/p) or v^(1/q).
        for (int32_t i = 0; i < m; ++i) {
            const T u1 = u[2 * i];
            base[i] = u1 <= w ? u1 / w : (T(1) - u1) / one_w;
        }
        v_ln(m, base, base);
        for (int32_t i = 0; i < m; ++i) base[i] *= u[2 * i] <= w ? inv_p : inv_q;
        v_exp(m, base, base);
        // First piece: Y = t v^(1/p), the test is ln u2 <= (q - 1) ln(C / cap)
        // with C = 1 - Y. Second piece: C = (1 - t) v^(1/q), the test is
        // ln u2 <= (p - 1) ln(Y / t). Both are sh ln x with x >= 1 where
        // sh < 0 and x <= 1 where sh > 0; ln u2 <= u2 - 1 with x - 1 >= ln x
        // >= 1 - 1/x gives a squeeze without logarithms that settles most
        // candidates.
        for (int32_t i = 0; i < m; ++i) {
            const bool first = u[2 * i] <= w;
            y[i] = first ? t * base[i] : T(1) - one_t * base[i];
            base[i] = first ? T(1) - y[i] : one_t * base[i];  // now the complement C
            const T x = first ? base[i] / cap : y[i] * inv_t;
            const T sh = first ? q - T(1) : p - T(1);
            // sh ln x >= sh (x - 1) for sh < 0, x >= 1; >= sh (1 - 1/x) for sh > 0, x <= 1.
            const T low = sh < T(0) ? sh * (x - T(1)) : sh * (T(1) - T(1) / x);
            accept[i] = u[2 * i + 1] - T(1) <= low;
            if (!accept[i]) c[n_open] = x, c[kPass + n_open] = u[2 * i + 1], open[n_open++] = i;
        }
        if (n_open > 0) {
            std::copy(c + kPass, c + kPass + n_open, c + n_open);
            v_ln(2 * n_open, c, c);
            for (int32_t j = 0; j < n_open; ++j) {
                const int32_t i = open[j];
                accept[i] = c[n_open + j] <= (u[2 * i] <= w ? q - T(1) : p - T(1)) * c[j];
            }
        }
        int32_t k = 0;
        for (int32_t i = 0; i < m; ++i)
            if (accept[i]) out[k++] = mirror ? base[i] : y[i];
        return k;
    }
};

// Cheng's algorithm BB with the smaller shape as p, as published (the
// kernels' relative error in W = p e^V reaches the test multiplied by p);
// p > q runs with the shapes exchanged and returns the complement q / (q + W).
// V = b ln(u1 / (1 - u1)), W = p e^V, X = W / (q + W), accepted when
//   s ln(s / (q + W)) + g V - ln 4 >= ln(u1^2 u2),
// which the two squeezes settle without logarithms for most candidates. The
// bound is Cheng's own form: spelt as (s ln s - ln 4) + g V - s ln(q + W) it
// would subtract two terms of size s ln s and, for shapes in the hundreds,
// lose to rounding the few units that decide acceptance.
template <class T>
struct Cheng {
    T p, q, s, b, g;
    bool mirror;

    Cheng(T p_, T q_, bool mirror_) : p(p_), q(q_), s(p_ + q_), mirror(mirror_) {
        b = ha_sqrt((s - T(2)) / (T(2) * p * q - s));
        g = p + T(1) / b;
    }

    int32_t pass(T* u, int32_t m, T* out) const {
        T v[kPass], w[kPass], gv[kPass], lz[2 * kPass];
        int32_t open[kPass], n_open = 0;
        for (int32_t i = 0; i < m; ++i) v[i] = u[2 * i] / (T(1) - u[2 * i]);
        v_ln(m, v, v);
        for (int32_t i = 0; i < m; ++i) v[i] *= b;
        v_exp(m, v, w);
        // g V stands for p ln(W / p) + V / b. With e^V as the kernel returned
        // it, p (ln e^V - V) corrects it to the W that X is made from: the EP
        // exponential is good to 2^-11 (float) or 2^-26 (double), which times
        // p tilts the acceptance visibly once it passes about 2^-16 (always in
        // float, from p = 1024 in double).
        const bool correct = sizeof(T) == sizeof(float) || p > T(1024);
        if (correct) v_ln(m, w, gv);
        bool accept[kPass];
        for (int32_t i = 0; i < m; ++i) {
            gv[i] = correct ? g * v[i] + p * (gv[i] - v[i]) : g * v[i];
            w[i] *= p;
            const T u1 = u[2 * i], z = u1 * u1 * u[2 * i + 1];
            const T sq = p + (gv[i] - T(kLn4)) - w[i];
            // First squeeze: ln z <= 5 z - (1 + ln 5), 2.609438 = 1 + ln 5.
            accept[i] = sq + T(2.609438) >= T(5) * z;
            if (!accept[i]) lz[n_open] = z, lz[kPass + n_open] = s / (q + w[i]), open[n_open++] = i;
        }
        if (n_open > 0) {
            // One call for ln z and ln(s / (q + W)) of the undecided candidates.
            std::copy(lz + kPass, lz + kPass + n_open, lz + n_open);
            v_ln(2 * n_open, lz, lz);
            for (int32_t j = 0; j < n_open; ++j) {
                const int32_t i = open[j];
                const T sq = p + (gv[i] - T(kLn4)) - w[i];
                // Second squeeze (S > ln z), then the exact bound.
                accept[i] = sq > lz[j] || s * lz[n_open + j] + (gv[i] - T(kLn4)) >= lz[j];
            }
        }
        int32_t k = 0;
        for (int32_t i = 0; i < m; ++i)
            if (accept[i]) out[k++] = (mirror ? q : w[i]) / (q + w[i]);
        return k;
    }
};

// Rejection passes of up to kPass candidates until n values are accepted;
// each pass's values are clamped into place as they are written.
template <class T, class Method>
int32_t rejection(const Method& method, RngStream* stream, int32_t n, T* r, T a, T beta) {
    T u[2 * kPass];
    for (int32_t done = 0; done < n;) {
        const int32_t m = std::min(n - done, kPass);
        if (const int32_t st = uniform(stream, 2 * m, u, T(0), T(1)); st < 0) return st;
        const int32_t k = method.pass(u, m, r + done);
        for (int32_t i = done; i < done + k; ++i) r[i] = std::min(a + beta, max_of(a, r[i] * beta + a));
        done += k;
    }
    return PTZ_OK;
}

// p = 1 or q = 1: Beta(p, 1) is U^(1/p), Beta(1, q) is 1 - U^(1/q).
template <class T>
int32_t power_function(RngStream* stream, int32_t n, T* r, T p, T q, T a, T beta) {
    if (const int32_t st = uniform(stream, n, r, T(0), T(1)); st < 0 || n <= 0) return st;
    const bool upper = q != T(1);  // p = 1 and q != 1
    const T e = T(1) / (upper ? q : p);
    if (e != T(1)) {
        v_ln(n, r, r);
        for (int32_t i = 0; i < n; ++i) r[i] *= e;
        v_exp(n, r, r);
    }
    for (int32_t i = 0; i < n; ++i) {
        const T x = upper ? T(1) - r[i] : r[i];
        r[i] = std::min(a + beta, max_of(a, x * beta + a));
    }
    return PTZ_OK;
}

template <class T>
int32_t beta_variates(RngStream* stream, int32_t n, T* r, T p, T q, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    if (p == T(1) || q == T(1)) return power_function(stream, n, r, p, q, a, beta);
    if (p < T(1) && q < T(1)) {
        // 0.8522552176537243 (0x3FEB45ACBBF56123) and -0.9562409713408151
        // (0xBFEE9986AA602160) place the boundary of Johnk's region.
        if (T(0.8522552176537243) * (p * p) + q + T(-0.9562409713408151) <= T(0))
            return rejection(Johnk<T>(p, q), stream, n, r, a, beta);
        return rejection(Switching<T>(p, q, false), stream, n, r, a, beta);
    }
    if (p < T(1)) return rejection(Switching<T>(p, q, false), stream, n, r, a, beta);
    if (q < T(1)) return rejection(Switching<T>(q, p, true), stream, n, r, a, beta);
    return p <= q ? rejection(Cheng<T>(p, q, false), stream, n, r, a, beta)
                  : rejection(Cheng<T>(q, p, true), stream, n, r, a, beta);
}

}  // namespace
}  // namespace ptz::dist

extern "C" {

ORVU_API int32_t _ptzdRngBeta(int32_t, RngStream* stream, int32_t n, double* r, double p, double q, double a,
                              double beta) {
    return ptz::dist::beta_variates(stream, n, r, p, q, a, beta);
}
ORVU_API int32_t _ptzsRngBeta(int32_t, RngStream* stream, int32_t n, float* r, float p, float q, float a,
                              float beta) {
    return ptz::dist::beta_variates(stream, n, r, p, q, a, beta);
}

}  // extern "C"
