// The cross-product of basic statistics by blocks of observations: each
// block's deviations are copied once and go through one rank-k update of
// the single-threaded products.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "orvu_linalg.h"
#include "ptz/stats/kernel_args.h"

namespace orvu::ss {

// Observations per block of the cross-product's rank-k updates: about
// 512 KiB of deviations (half a core's second-level cache), so that the
// block is still cached when the product reads what the pass wrote; at least
// 512, so that in row storage each component's run is long enough for the
// prefetcher (shorter runs cost p = 500 a fifth more time); at most 4096
// (small q: the update's fixed costs are spread thin long before).
inline int64_t block_rows(int64_t q) {
    const int64_t nb = (int64_t(1) << 16) / (q > 0 ? q : 1);
    return nb < 512 ? 512 : nb > 4096 ? 4096 : nb / 16 * 16;
}

// A block of observations copied for the rank-k update of the
// cross-product, oriented as x is: column storage gives q x nb (one
// observation per column, C += B B^T), row storage nb x q (one component per
// column, C += B^T B). Either way C is column-major q x q and its lower
// triangle is our row-major upper triangle.
template <bool Cols>
struct BlockBuf {
    double* v;
    int64_t q, nb;
    double& operator()(int64_t i, int64_t c) const { return Cols ? v[i * q + c] : v[c * nb + i]; }
    void add_products_to(double* cp) const {
        const int32_t nq = static_cast<int32_t>(q), k = static_cast<int32_t>(nb);
        const double one = 1.0;
        if constexpr (Cols) orvu_blas_xdsyrk("L", "N", &nq, &k, &one, v, &nq, &one, cp, &nq);
        else orvu_blas_xdsyrk("L", "T", &nq, &k, &one, v, &k, &one, cp, &nq);
    }
    // f(i, c) over the block in the order of the buffer's memory.
    template <class F>
    void walk(F&& f) const {
        if constexpr (Cols) {
            for (int64_t i = 0; i < nb; ++i)
                for (int64_t c = 0; c < q; ++c) f(i, c);
        } else {
            for (int64_t c = 0; c < q; ++c)
                for (int64_t i = 0; i < nb; ++i) f(i, c);
        }
    }
};

// The block's deviations y = x - K, scaled by sqrt(w), into the buffer, and
// their weighted sums into ysum: the one pass that reads the block from
// memory. Row storage walks each component's contiguous run with four
// partial sums; column storage walks each observation's components
// (contiguous when every component is processed).
template <class T, bool Cols, bool Weighted>
void shifted_block(const KernelArgs<T>& a, int64_t b0, const BlockBuf<Cols>& buf, const double* K,
                   const double* wb, const double* swb, double* __restrict ysum) {
    const int64_t q = a.q, nb = buf.nb;
    if constexpr (!Cols) {
        for (int64_t c = 0; c < q; ++c) {
            const T* __restrict row = a.x + a.comp[c] * a.ld + b0;
            double* __restrict out = buf.v + c * nb;
            const double k = K[c];
            double s[4] = {0, 0, 0, 0};
            int64_t i = 0;
            for (; i + 4 <= nb; i += 4)
                for (int j = 0; j < 4; ++j) {
                    const double y = double(row[i + j]) - k;
                    out[i + j] = Weighted ? swb[i + j] * y : y;
                    s[j] += Weighted ? wb[i + j] * y : y;
                }
            for (; i < nb; ++i) {
                const double y = double(row[i]) - k;
                out[i] = Weighted ? swb[i] * y : y;
                s[0] += Weighted ? wb[i] * y : y;
            }
            ysum[c] = (s[0] + s[1]) + (s[2] + s[3]);
        }
    } else {
        const bool all = a.comp[q - 1] == q - 1;   // comp is increasing: all components, in order
        for (int64_t c = 0; c < q; ++c) ysum[c] = 0;
        for (int64_t i = 0; i < nb; ++i) {
            const T* __restrict xi = a.x + (b0 + i) * a.ld;
            double* __restrict out = buf.v + i * q;
            const double w = Weighted ? wb[i] : 1.0, sw = Weighted ? swb[i] : 1.0;
            if (all)
                for (int64_t c = 0; c < q; ++c) {
                    const double y = double(xi[c]) - K[c];
                    out[c] = Weighted ? sw * y : y;
                    ysum[c] += Weighted ? w * y : y;
                }
            else
                for (int64_t c = 0; c < q; ++c) {
                    const double y = double(xi[a.comp[c]]) - K[c];
                    out[c] = Weighted ? sw * y : y;
                    ysum[c] += Weighted ? w * y : y;
                }
        }
    }
}

// One-pass with the cross-product, block by block (blocks of block_rows(q)).
// Each block is read once from memory: its deviations y = x - K from the
// running mean K of the blocks before it (the first block: its own mean,
// one extra pass over a cache-resident block), scaled by sqrt(w), go through
// one rank-k update straight into the running cross-product, which gives
// sum w y y^T; with e = m_b - K = sum w y / W_b and W the weight after the
// block, the cross-product about the new mean is then that sum less
// W_b^2 / W e e^T. The subtracted term is at most W_b / W of the block's sum,
// so no digits cancel except in the first block, whose e is a rounding
// error. The block's mean and (from a second pass over the cached block)
// central and raw sums merge into the running state by the rule for thread
// partials (merge_moments). Weights must not be negative; a block of total
// weight 0 is passed over.
template <class T, bool Cols, bool Weighted, int Level>
void kernel_1p_blocks(const KernelArgs<T>& a, Partial& s) {
    const int64_t q = a.q, nbmax = a.block;
    double* K = s.work + q;
    Partial b;   // the block; b.cp null: its products go into s.cp
    b.bind(s.work + 2 * q + nbmax * q, q, false);
    double* wb = b.work + 2 * q;
    double* swb = wb + nbmax;
    for (int64_t b0 = a.i0; b0 < a.i1; b0 += nbmax) {
        const BlockBuf<Cols> buf{s.work + 2 * q, q, a.i1 - b0 < nbmax ? a.i1 - b0 : nbmax};
        b.clear(q);
        double Wb = double(buf.nb), W2b = Wb;
        if constexpr (Weighted) {
            Wb = W2b = 0;
            for (int64_t i = 0; i < buf.nb; ++i) {
                const double w = weight<Weighted>(a, b0 + i);
                wb[i] = w;
                swb[i] = std::sqrt(w);
                Wb += w;
                W2b += w * w;
            }
        }
        if (Wb == 0) continue;
        if (s.W == 0) {
            for (int64_t c = 0; c < q; ++c) K[c] = 0;
            buf.walk([&](int64_t i, int64_t c) { K[c] += weight<Weighted>(a, b0 + i) * elem<Cols>(a, b0 + i, c); });
            for (int64_t c = 0; c < q; ++c) K[c] /= Wb;
        } else {
            std::memcpy(K, s.mean, sizeof(double) * q);
        }
        shifted_block<T, Cols, Weighted>(a, b0, buf, K, wb, swb, b.mean);
        const double rW = 1.0 / Wb;
        for (int64_t c = 0; c < q; ++c) b.mean[c] *= rW;   // e
        if constexpr (Level >= 1) {
            buf.walk([&](int64_t i, int64_t c) {
                const double xv = elem<Cols>(a, b0 + i, c), w = weight<Weighted>(a, b0 + i);
                const double d = (xv - K[c]) - b.mean[c], wd2 = w * d * d;
                b.cen[0][c] += wd2;
                if constexpr (Level == 3) {
                    b.cen[1][c] += wd2 * d;
                    b.cen[2][c] += wd2 * d * d;
                }
                if constexpr (Level >= 2) {
                    const double wx2 = w * xv * xv;
                    b.raw[0][c] += wx2;
                    if constexpr (Level == 3) {
                        b.raw[1][c] += wx2 * xv;
                        b.raw[2][c] += wx2 * xv * xv;
                    }
                }
            });
        }
        buf.add_products_to(s.cp);
        const double g = Wb * Wb / (s.W + Wb);
        for (int64_t j = 0; j < q; ++j) {
            const double ej = g * b.mean[j];
            double* row = s.cp + j * q;
            for (int64_t k = j; k < q; ++k) row[k] -= ej * b.mean[k];
        }
        for (int64_t c = 0; c < q; ++c) {
            b.mean[c] += K[c];
            for (int k = 0; k < 3; ++k) b.raw[k][c] *= rW;
        }
        b.W = Wb;
        b.W2 = W2b;
        merge_moments(s, b, q);
    }
}

}  // namespace orvu::ss
