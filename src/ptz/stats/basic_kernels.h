// The kernel family of basic statistics, written once and instantiated for
// the layout of x, the presence of weights, the orders needed and (one-pass)
// the cross-product. A kernel runs over observations [i0, i1) in increasing
// order and components in increasing order, into one partial result.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "ptz/stats/cp_blocks.h"
#include "ptz/stats/kernel_args.h"

namespace orvu::ss {

// One-pass update, levels 0..3 = R1, R1 C2, R12 C2, R1234 C234. For an
// observation of weight w after total weight W (r = 1/(W + w), f = W r,
// d = x - mean):
//   S4 += d^4 f w (W^2 - W w + w^2) r^2 + 6 d^2 (w r)^2 S2 - 4 d w r S3
//   S3 += d^3 f w (W - w) r - 3 d w r S2
//   S2 += d^2 f w,  CP_jk += f w d_j d_k,  mean += d w r,  raw += (x^k - raw) w r
// (the merge of the state with a one-point state; for w = 1 these are the
// classic one-pass recurrences). Observations that leave W + w = 0, such as
// zero weights at the start, are passed over. With the cross-product the
// kernel works by blocks instead (kernel_1p_blocks, cp_blocks.h).
//
// The mean is kept relative to a shift, the block's first observation, so
// that its running value is small and its rounding does not grow with the
// data's offset (1e9 + N(0, 1) keeps all digits of its variance).
//
// In row storage without a cross-product, components are independent and
// each is a contiguous row: the kernel walks one row at a time over a chunk
// of observations (one memory stream instead of q), repeating the same
// sequence of W values, so the results are identical to the other order.
constexpr int64_t kRowChunk = 512;

// One component's running values, held in locals while a row is walked;
// only the values of the kernel's level are moved.
template <int Level>
struct Acc1p {
    double m = 0, s2 = 0, s3 = 0, s4 = 0, r2 = 0, r3 = 0, r4 = 0;
    void load(const Partial& s, int64_t c) {
        m = s.mean[c];
        if constexpr (Level >= 1) s2 = s.cen[0][c];
        if constexpr (Level >= 2) r2 = s.raw[0][c];
        if constexpr (Level == 3) { s3 = s.cen[1][c]; s4 = s.cen[2][c]; r3 = s.raw[1][c]; r4 = s.raw[2][c]; }
    }
    void store(Partial& s, int64_t c) const {
        s.mean[c] = m;
        if constexpr (Level >= 1) s.cen[0][c] = s2;
        if constexpr (Level >= 2) s.raw[0][c] = r2;
        if constexpr (Level == 3) { s.cen[1][c] = s3; s.cen[2][c] = s4; s.raw[1][c] = r3; s.raw[2][c] = r4; }
    }
};

// One observation x (of weight w, after total weight W, r = 1/(W + w)) into
// one component's values; returns the deviation from the old mean.
template <int Level>
inline double step_1p(Acc1p<Level>& v, double xv, double shift, double W, double w, double r) {
    const double f = W * r, wr = w * r, fw = f * w, dc = (xv - shift) - v.m;
    if constexpr (Level == 3) {
        const double dd = dc * dc;
        v.s4 += dd * dd * fw * (W * W - W * w + w * w) * r * r + 6 * dd * wr * wr * v.s2 - 4 * dc * wr * v.s3;
        v.s3 += dd * dc * fw * (W - w) * r - 3 * dc * wr * v.s2;
    }
    if constexpr (Level >= 1) v.s2 += dc * dc * fw;
    if constexpr (Level >= 2) {
        const double x2 = xv * xv;
        v.r2 += (x2 - v.r2) * wr;
        if constexpr (Level == 3) {
            v.r3 += (x2 * xv - v.r3) * wr;
            v.r4 += (x2 * x2 - v.r4) * wr;
        }
    }
    v.m += dc * wr;
    return dc;
}

template <class T, bool Cols, bool Weighted, int Level, bool CP>
void kernel_1p(const KernelArgs<T>& a, Partial& s) {
    if constexpr (CP) return kernel_1p_blocks<T, Cols, Weighted, Level>(a, s);
    const int64_t q = a.q;
    double W = s.W, W2 = s.W2;
    double* shift = s.work + q;
    for (int64_t c = 0; c < q; ++c) {
        shift[c] = (W == 0 && a.i0 < a.i1) ? elem<Cols>(a, a.i0, c) : 0.0;
        s.mean[c] = W == 0 ? 0.0 : s.mean[c] - shift[c];
    }
    Acc1p<Level> v;
    if constexpr (!Cols) {
        // The chunk's weights before each observation and their reciprocals,
        // computed once for all components (r = 0 marks a passed-over one).
        double wb[kRowChunk], rb[kRowChunk], ww[kRowChunk];
        for (int64_t b0 = a.i0; b0 < a.i1; b0 += kRowChunk) {
            const int64_t nb = a.i1 - b0 < kRowChunk ? a.i1 - b0 : kRowChunk;
            for (int64_t i = 0; i < nb; ++i) {
                const double w = weight<Weighted>(a, b0 + i), Wn = W + w;
                ww[i] = w;
                wb[i] = W;
                rb[i] = Wn == 0 ? 0.0 : 1.0 / Wn;
                if (Wn == 0) continue;
                W = Wn;
                W2 += w * w;
            }
            for (int64_t c = 0; c < q; ++c) {
                const T* row = a.x + a.comp[c] * a.ld + b0;
                const double sh = shift[c];
                v.load(s, c);
                for (int64_t i = 0; i < nb; ++i)
                    if (rb[i] != 0) step_1p<Level>(v, double(row[i]), sh, wb[i], ww[i], rb[i]);
                v.store(s, c);
            }
        }
    } else {
        for (int64_t i = a.i0; i < a.i1; ++i) {
            const double w = weight<Weighted>(a, i), Wn = W + w;
            if (Wn == 0) continue;
            const double r = 1.0 / Wn;
            for (int64_t c = 0; c < q; ++c) {
                v.load(s, c);
                step_1p<Level>(v, elem<Cols>(a, i, c), shift[c], W, w, r);
                v.store(s, c);
            }
            W = Wn;
            W2 += w * w;
        }
    }
    for (int64_t c = 0; c < q; ++c) s.mean[c] += shift[c];
    s.W = W;
    s.W2 = W2;
}

// Fast method, levels 0..3 = R1, R12, R123, R1234: weighted power sums of
// y = x - K about a centre K per component (a.shift, the running mean, when a
// computation continues; else the block's first observation), so that they
// do not cancel when the mean is large compared with the spread. At the end
// of the block, with e_k = sum w y^k / W (e_1 = m - K):
//   S2 = W (e2 - e1^2), S3 = W (e3 - 3 e1 e2 + 2 e1^3),
//   S4 = W (e4 - 4 e1 e3 + 6 e1^2 e2 - 3 e1^4),
// and the raw moments about zero by the binomial expansion of (K + y)^k.
// work[0..q) keeps e1 and work[q..2q) keeps K for the cross-product.
template <class T, bool Cols, bool Weighted, int Level>
void kernel_fast(const KernelArgs<T>& a, Partial& s) {
    const int64_t q = a.q;
    double* e1 = s.work;
    double* K = s.work + q;
    for (int64_t c = 0; c < q; ++c) K[c] = a.shift ? a.shift[c] : a.i0 < a.i1 ? elem<Cols>(a, a.i0, c) : 0.0;
    double W = 0, W2 = 0;
    for (int64_t i = a.i0; i < a.i1; ++i) {
        const double w = weight<Weighted>(a, i);
        for (int64_t c = 0; c < q; ++c) {
            const double y = elem<Cols>(a, i, c) - K[c], wy = w * y;
            s.mean[c] += wy;
            if constexpr (Level >= 1) s.raw[0][c] += wy * y;
            if constexpr (Level >= 2) s.raw[1][c] += wy * y * y;
            if constexpr (Level >= 3) s.raw[2][c] += wy * y * y * y;
        }
        W += w;
        W2 += w * w;
    }
    s.W = W;
    s.W2 = W2;
    if (W == 0) return;
    const double r = 1.0 / W;
    for (int64_t c = 0; c < q; ++c) {
        const double e = s.mean[c] * r, e2 = s.raw[0][c] * r, e3 = s.raw[1][c] * r, e4 = s.raw[2][c] * r;
        const double k = K[c], ee = e * e;
        e1[c] = e;
        s.mean[c] = k + e;
        if constexpr (Level >= 1) {
            s.raw[0][c] = k * k + 2 * k * e + e2;
            s.cen[0][c] = W * (e2 - ee);
        }
        if constexpr (Level >= 2) {
            s.raw[1][c] = ((k + 3 * e) * k + 3 * e2) * k + e3;
            s.cen[1][c] = W * (e3 - 3 * e * e2 + 2 * ee * e);
        }
        if constexpr (Level >= 3) {
            s.raw[2][c] = (((k + 4 * e) * k + 6 * e2) * k + 4 * e3) * k + e4;
            s.cen[2][c] = W * (e4 - 4 * e * e3 + 6 * ee * e2 - 3 * ee * ee);
        }
    }
}

// Second pass with the caller's means (s.mean holds them and is kept),
// levels 0..3 = C2, C23, C234, R_234 C234: central sums about the given
// means, and raw running means of orders 2-4 at level 3.
template <class T, bool Cols, bool Weighted, int Level>
void kernel_2p(const KernelArgs<T>& a, Partial& s) {
    const int64_t q = a.q;
    double W = 0, W2 = 0;
    for (int64_t i = a.i0; i < a.i1; ++i) {
        const double w = weight<Weighted>(a, i);
        for (int64_t c = 0; c < q; ++c) {
            const double xv = elem<Cols>(a, i, c), dc = xv - s.mean[c], wd2 = w * dc * dc;
            s.cen[0][c] += wd2;
            if constexpr (Level >= 1) s.cen[1][c] += wd2 * dc;
            if constexpr (Level >= 2) s.cen[2][c] += wd2 * dc * dc;
            if constexpr (Level == 3) {
                const double wx2 = w * xv * xv;
                s.raw[0][c] += wx2;
                s.raw[1][c] += wx2 * xv;
                s.raw[2][c] += wx2 * xv * xv;
            }
        }
        W += w;
        W2 += w * w;
    }
    s.W = W;
    s.W2 = W2;
    if (W == 0) return;
    for (int k = 0; k < 3; ++k)
        for (int64_t c = 0; c < q; ++c) s.raw[k][c] /= W;
}

}  // namespace orvu::ss
