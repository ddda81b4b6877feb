// The running state of basic statistics over a set of observations, and the
// pairwise merge of two such states. Everything is kept in double, also for
// single-precision tasks.
#pragma once

#include <cstdint>
#include <cstring>

namespace orvu::ss {

// One partial result over q processed components. mean and raw[k] are
// running means (of x, x^2, x^3, x^4); cen[k] central sums of order k + 2;
// cp the central cross-product (upper triangle, cp[a*q + b], a <= b).
struct Partial {
    double W = 0, W2 = 0;
    double* mean = nullptr;
    double* raw[3] = {};
    double* cen[3] = {};
    double* cp = nullptr;
    double* work = nullptr;   // per-kernel scratch: q deviations, q shifts, then a block buffer

    // Doubles a partial needs: means, three raw, three central, cp, scratch;
    // with blocks of `chunk` observations, the block's q x chunk buffer, a
    // block partial (7 q values, 2 q scratch) and two chunk-long weight rows.
    static int64_t doubles(int64_t q, bool with_cp, int64_t chunk) {
        return 7 * q + (with_cp ? q * q : 0) + 2 * q + (with_cp && chunk ? (chunk + 9) * q + 2 * chunk : 0);
    }
    void bind(double* buf, int64_t q, bool with_cp) {
        mean = buf;
        for (int k = 0; k < 3; ++k) raw[k] = buf + (1 + k) * q;
        for (int k = 0; k < 3; ++k) cen[k] = buf + (4 + k) * q;
        cp = with_cp ? buf + 7 * q : nullptr;
        work = buf + 7 * q + (with_cp ? q * q : 0);
    }
    void clear(int64_t q) {
        W = W2 = 0;
        std::memset(mean, 0, sizeof(double) * 7 * q);
        if (cp) std::memset(cp, 0, sizeof(double) * q * q);
    }
};

// a := a merged with b (b after a). For weights Wa, Wb, W = Wa + Wb and
// d = mb - ma (Pebay's formulas for arbitrary-order central sums):
//   S2 = S2a + S2b + d^2 Wa Wb / W
//   S3 = S3a + S3b + d^3 Wa Wb (Wa - Wb) / W^2 + 3 d (Wa S2b - Wb S2a) / W
//   S4 = S4a + S4b + d^4 Wa Wb (Wa^2 - Wa Wb + Wb^2) / W^3
//        + 6 d^2 (Wa^2 S2b + Wb^2 S2a) / W^2 + 4 d (Wa S3b - Wb S3a) / W
//   CP = CPa + CPb + d_j d_k Wa Wb / W
// Raw running means combine as ra + (rb - ra) Wb / W. With a common centre
// (means given by the caller) d = 0 and the sums simply add.
// The one rule for thread partials, earlier calls and blocks of one-pass
// observations. a.work[0..q) is scratch.
//
// merge_moments() is the rule without the cross-product: it returns the
// weight Wa Wb / W of the mean-shift term and leaves d in a.work (0 and
// nothing when a was empty: b is copied).
inline double merge_moments(Partial& a, const Partial& b, int64_t q) {
    if (a.W == 0) {
        a.W = b.W;
        a.W2 = b.W2;
        std::memcpy(a.mean, b.mean, sizeof(double) * 7 * q);
        return 0;
    }
    const double Wa = a.W, Wb = b.W, W = Wa + Wb, r = 1.0 / W, fb = Wb * r;
    const double c2 = Wa * Wb * r;
    const double c3 = c2 * (Wa - Wb) * r;
    const double c4 = c2 * (Wa * Wa - Wa * Wb + Wb * Wb) * r * r;
    for (int64_t j = 0; j < q; ++j) {
        const double d = b.mean[j] - a.mean[j];
        const double s2a = a.cen[0][j], s2b = b.cen[0][j], s3a = a.cen[1][j], s3b = b.cen[1][j];
        a.cen[2][j] += b.cen[2][j] + d * d * d * d * c4 + 6 * d * d * (Wa * Wa * s2b + Wb * Wb * s2a) * r * r +
                       4 * d * (Wa * s3b - Wb * s3a) * r;
        a.cen[1][j] += s3b + d * d * d * c3 + 3 * d * (Wa * s2b - Wb * s2a) * r;
        a.cen[0][j] += s2b + d * d * c2;
        for (int k = 0; k < 3; ++k) a.raw[k][j] += (b.raw[k][j] - a.raw[k][j]) * fb;
        a.work[j] = d;
        a.mean[j] += d * fb;
    }
    a.W = W;
    a.W2 += b.W2;
    return c2;
}

// The whole rule; b without a cp of its own (b.cp null) adds only the
// mean-shift term to a.cp.
inline void merge(Partial& a, const Partial& b, int64_t q) {
    if (b.W == 0) return;
    const bool empty = a.W == 0;
    const double c2 = merge_moments(a, b, q);
    if (!a.cp) return;
    if (empty) {
        if (b.cp) std::memcpy(a.cp, b.cp, sizeof(double) * q * q);
        return;
    }
    for (int64_t i = 0; i < q; ++i)
        for (int64_t k = i; k < q; ++k)
            a.cp[i * q + k] += (b.cp ? b.cp[i * q + k] : 0.0) + a.work[i] * a.work[k] * c2;
}

}  // namespace orvu::ss
