// Between the caller's result arrays and the running state: recovering the
// state of the data processed so far (a continuing call) and writing the
// finished estimates.
#pragma once

#include <cmath>
#include <cstdint>

#include "ptz/stats/basic_plan.h"
#include "ptz/stats/mtx_storage.h"

namespace orvu::ss {

struct Matrices {   // storage codes of cov, cor, cp as layouts
    int cov = 0, cor = 0, cp = 0;
};

// Unbiased factors: central moment 2 = S2 W / (W^2 - W2); covariance = CP /
// (W - W2 / W). A single effective observation (W^2 = W2) has S2 = 0.
inline double var_factor(double W, double W2) { return W / (W * W - W2); }
inline double cov_factor(double W, double W2) { return 1.0 / (W - W2 / W); }

// Rebuilds the state of the data already processed (total weight W, W2 set
// in s) from the caller's arrays of the needed slots, which the earlier calls
// wrote (the caller keeps the estimate mask across a stream). Returns false
// when a quantity the outputs need cannot be recovered from them.
template <class T>
bool recover_state(const SSTask* t, const BasicPlan& pl, const int64_t* comp, int64_t q, int64_t p,
                   const Matrices& mx, Partial& s) {
    const double W = s.W, W2 = s.W2, Wd = W * W - W2;
    auto F = [&](int slot) { return ((pl.needed >> slot) & 1u) ? field<T>(t, slot) : nullptr; };
    const T* mean = F(kMean);
    const T* sum = F(kSum);
    if (pl.pass != kPass2p) {
        for (int64_t c = 0; c < q; ++c)
            s.mean[c] = mean ? double(mean[comp[c]]) : sum ? double(sum[comp[c]]) / W : 0.0;
    }
    const bool have_mean = mean || sum;
    bool raw_ok[3];
    for (int k = 0; k < 3; ++k) {
        const T* mom = F(kRaw2 + k);
        const T* rs = F(kRawSum2 + k);
        raw_ok[k] = mom || rs;
        if (pl.state_raw[k] && !raw_ok[k]) return false;
        for (int64_t c = 0; c < q && raw_ok[k]; ++c)
            s.raw[k][c] = mom ? double(mom[comp[c]]) : double(rs[comp[c]]) / W;
    }
    for (int k = 0; k < 3; ++k) {
        if (!pl.state_cen[k]) continue;
        const T* cs = F(kCenSum2 + k);
        const T* cm = F(kCen2 + k);
        // The variance also sits on the diagonal of the covariance and of the
        // correlation output, and the second central sum on that of cp.
        const T* cpd = k == 0 ? F(kCp) : nullptr;
        const T* covd = k == 0 ? (F(kCov) ? F(kCov) : F(kCor)) : nullptr;
        const int covl = F(kCov) ? mx.cov : mx.cor;
        const bool from_raw = have_mean && raw_ok[0] && (k < 1 || raw_ok[1]) && (k < 2 || raw_ok[2]);
        if (!cs && !cm && !cpd && !covd && !from_raw) return false;
        for (int64_t c = 0; c < q; ++c) {
            const int64_t j = comp[c];
            double v;
            if (cs) v = cs[j];
            else if (cpd) v = get_sym(cpd, mx.cp, p, j, j);
            else if (covd) v = Wd == 0 ? 0.0 : get_sym(covd, covl, p, j, j) / cov_factor(W, W2);
            else if (cm) v = k == 0 ? (Wd == 0 ? 0.0 : double(cm[j]) / var_factor(W, W2)) : double(cm[j]) * W;
            else {   // from the raw moments about zero (loses digits for a large mean)
                const double m = s.mean[c], r2 = s.raw[0][c], r3 = s.raw[1][c], r4 = s.raw[2][c];
                v = k == 0 ? W * (r2 - m * m)
                  : k == 1 ? W * (r3 - 3 * m * r2 + 2 * m * m * m)
                           : W * (r4 - 4 * m * r3 + 6 * m * m * r2 - 3 * m * m * m * m);
            }
            s.cen[k][c] = v;
        }
    }
    if (pl.state_cp) {
        const T* cp = F(kCp);
        const T* cov = F(kCov);
        const T* cor = F(kCor);
        const double back = (W * W == W2) ? 0.0 : 1.0 / cov_factor(W, W2);
        for (int64_t a = 0; a < q; ++a)
            for (int64_t b = a; b < q; ++b) {
                const int64_t i = comp[a], j = comp[b];
                double v;
                if (cp) v = get_sym(cp, mx.cp, p, i, j);
                else if (cov) v = get_sym(cov, mx.cov, p, i, j) * back;
                else if (a == b) v = get_sym(cor, mx.cor, p, i, i) * back;   // variances on the diagonal
                else
                    v = get_sym(cor, mx.cor, p, i, j) *
                        std::sqrt(get_sym(cor, mx.cor, p, i, i) * get_sym(cor, mx.cor, p, j, j)) * back;
                s.cp[a * q + b] = v;
            }
    }
    return true;
}

// Writes the estimates of every needed slot of the processed components from
// state s (the requested ones and those that hold the running state).
template <class T>
void write_results(const SSTask* t, const BasicPlan& pl, const int64_t* comp, int64_t q, int64_t p,
                   const Matrices& mx, const Partial& s) {
    const double W = s.W, W2 = s.W2, vf = var_factor(W, W2), rW = 1.0 / W;
    auto want = [&](int slot) { return (pl.needed >> slot) & 1u; };
    for (int64_t c = 0; c < q; ++c) {
        const int64_t j = comp[c];
        const double m = s.mean[c], c2 = s.cen[0][c] * vf, c3 = s.cen[1][c] * rW, c4 = s.cen[2][c] * rW;
        if (want(kMean) && pl.pass != kPass2p) field<T>(t, kMean)[j] = T(m);
        if (want(kSum)) field<T>(t, kSum)[j] = T(m * W);
        for (int k = 0; k < 3; ++k) {
            if (want(kRaw2 + k)) field<T>(t, kRaw2 + k)[j] = T(s.raw[k][c]);
            if (want(kRawSum2 + k)) field<T>(t, kRawSum2 + k)[j] = T(s.raw[k][c] * W);
            if (want(kCenSum2 + k)) field<T>(t, kCenSum2 + k)[j] = T(s.cen[k][c]);
        }
        if (want(kCen2)) field<T>(t, kCen2)[j] = T(c2);
        if (want(kCen3)) field<T>(t, kCen3)[j] = T(c3);
        if (want(kCen4)) field<T>(t, kCen4)[j] = T(c4);
        if (want(kKurt)) field<T>(t, kKurt)[j] = T(c4 / (c2 * c2) - 3.0);
        if (want(kSkew)) field<T>(t, kSkew)[j] = T(c3 / std::sqrt(c2 * c2 * c2));
        if (want(kVar)) field<T>(t, kVar)[j] = T(std::sqrt(c2) / m);
    }
    if (!pl.cp) return;
    const double cf = cov_factor(W, W2);
    for (int64_t a = 0; a < q; ++a)
        for (int64_t b = a; b < q; ++b) {
            const int64_t i = comp[a], j = comp[b];
            const double v = s.cp[a * q + b];
            if (want(kCp)) put_sym(field<T>(t, kCp), mx.cp, p, i, j, v);
            if (want(kCov)) put_sym(field<T>(t, kCov), mx.cov, p, i, j, v * cf);
            if (want(kCor)) {
                const double r = a == b ? v * cf : v / std::sqrt(s.cp[a * q + a] * s.cp[b * q + b]);
                put_sym(field<T>(t, kCor), mx.cor, p, i, j, r);
            }
        }
}

}  // namespace orvu::ss
