// The kernel family of basic statistics, written once and instantiated for
// the layout of x, the presence of weights, the orders needed and (one-pass)
// the cross-product. A kernel runs over observations [i0, i1) in increasing
// order and components in increasing order, into one partial result.
#pragma once

#include <cstdint>

#include "ptz/stats/basic_state.h"

namespace orvu::ss {

template <class T>
struct KernelArgs {
    const T* x;
    const T* w;             // null: all weights 1
    int64_t ld;             // n for rows, p for columns
    int64_t i0, i1;         // observation block
    const int64_t* comp;    // processed components
    int64_t q;
};

template <class T>
using BasicKernel = void (*)(const KernelArgs<T>&, Partial&);

template <bool Cols, class T>
inline double elem(const KernelArgs<T>& a, int64_t i, int64_t c) {
    return Cols ? static_cast<double>(a.x[i * a.ld + a.comp[c]]) : static_cast<double>(a.x[a.comp[c] * a.ld + i]);
}
template <bool Weighted, class T>
inline double weight(const KernelArgs<T>& a, int64_t i) {
    if constexpr (Weighted) return static_cast<double>(a.w[i]);
    return 1.0;
}

// One-pass update, levels 0..3 = R1, R1 C2, R12 C2, R1234 C234. For an
// observation of weight w after total weight W (r = 1/(W + w), f = W r,
// d = x - mean):
//   S4 += d^4 f w (W^2 - W w + w^2) r^2 + 6 d^2 (w r)^2 S2 - 4 d w r S3
//   S3 += d^3 f w (W - w) r - 3 d w r S2
//   S2 += d^2 f w,  CP_jk += f w d_j d_k,  mean += d w r,  raw += (x^k - raw) w r
// (the merge of the state with a one-point state; for w = 1 these are the
// classic one-pass recurrences). Observations that leave W + w = 0, such as
// zero weights at the start, are passed over.
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
    const int64_t q = a.q;
    double W = s.W, W2 = s.W2;
    double* d = s.work;
    double* shift = s.work + q;
    for (int64_t c = 0; c < q; ++c) {
        shift[c] = (W == 0 && a.i0 < a.i1) ? elem<Cols>(a, a.i0, c) : 0.0;
        s.mean[c] = W == 0 ? 0.0 : s.mean[c] - shift[c];
    }
    Acc1p<Level> v;
    if constexpr (!Cols && !CP) {
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
                const double dc = step_1p<Level>(v, elem<Cols>(a, i, c), shift[c], W, w, r);
                v.store(s, c);
                if constexpr (CP) d[c] = dc;
            }
            if constexpr (CP) {
                const double fw = W * r * w;
                for (int64_t j = 0; j < q; ++j) {
                    const double dj = d[j] * fw;
                    double* row = s.cp + j * q;
                    for (int64_t k = j; k < q; ++k) row[k] += dj * d[k];
                }
            }
            W = Wn;
            W2 += w * w;
        }
    }
    for (int64_t c = 0; c < q; ++c) s.mean[c] += shift[c];
    s.W = W;
    s.W2 = W2;
}

// Fast method, levels 0..3 = R1, R12, R123, R1234: plain weighted power sums,
// turned into running means and central sums at the end of the block:
//   S2 = W (r2 - m^2), S3 = W (r3 - 3 m r2 + 2 m^3),
//   S4 = W (r4 - 4 m r3 + 6 m^2 r2 - 3 m^4)
// (cancellation makes these lose digits when the mean is large compared with
// the spread; the one-pass method does not).
template <class T, bool Cols, bool Weighted, int Level>
void kernel_fast(const KernelArgs<T>& a, Partial& s) {
    const int64_t q = a.q;
    double W = 0, W2 = 0;
    for (int64_t i = a.i0; i < a.i1; ++i) {
        const double w = weight<Weighted>(a, i);
        for (int64_t c = 0; c < q; ++c) {
            const double xv = elem<Cols>(a, i, c), wx = w * xv;
            s.mean[c] += wx;
            if constexpr (Level >= 1) s.raw[0][c] += wx * xv;
            if constexpr (Level >= 2) s.raw[1][c] += wx * xv * xv;
            if constexpr (Level >= 3) s.raw[2][c] += wx * xv * xv * xv;
        }
        W += w;
        W2 += w * w;
    }
    s.W = W;
    s.W2 = W2;
    if (W == 0) return;
    const double r = 1.0 / W;
    for (int64_t c = 0; c < q; ++c) {
        const double m = s.mean[c] * r, r2 = s.raw[0][c] * r, r3 = s.raw[1][c] * r, r4 = s.raw[2][c] * r;
        s.mean[c] = m;
        s.raw[0][c] = r2;
        s.raw[1][c] = r3;
        s.raw[2][c] = r4;
        if constexpr (Level >= 1) s.cen[0][c] = W * (r2 - m * m);
        if constexpr (Level >= 2) s.cen[1][c] = W * (r3 - 3 * m * r2 + 2 * m * m * m);
        if constexpr (Level >= 3) s.cen[2][c] = W * (r4 - 4 * m * r3 + 6 * m * m * r2 - 3 * m * m * m * m);
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
