// Normal variates: Box-Muller (one variate per uniform pair), Box-Muller2
// (both halves of each pair, a half-used pair kept in the stream between
// calls) and the inverse CDF through the inverse error function.
#include <algorithm>

#include "ptz/distributions/common.h"

namespace ptz::dist {
namespace {

constexpr int32_t kBlock = 1024;       // results per Box-Muller block
constexpr int32_t kPairBlock = 512;    // uniform pairs per Box-Muller2 block

// Chunk ids of the Box-Muller2 saved pair: 2 for double, 1 for float.
template <class T>
constexpr int32_t kSavedPairId = sizeof(T) == sizeof(double) ? 2 : 1;

template <class T>
constexpr T kSqrt2 = T(1.4142135623730951);

template <class T>
int32_t box_muller(RngStream* s, int32_t n, T* r, T a, T sigma) {
    T u[2 * kBlock], rad[kBlock], w[kBlock];
    for (int32_t done = 0; done < n;) {
        const int32_t m = std::min(n - done, kBlock);
        const int32_t st = uniform(s, 2 * m, u, T(0), T(1));
        if (st < 0) return st;
        for (int32_t i = 0; i < m; ++i) {
            rad[i] = u[2 * i];
            w[i] = u[2 * i + 1] * kTwoPi<T>;
        }
        v_sin(m, w, w);
        box_muller_radii(m, rad);
        for (int32_t i = 0; i < m; ++i) r[done + i] = rad[i] * sigma * w[i] + a;
        done += m;
    }
    return PTZ_OK;
}

// k pairs (2k <= kBlock) into r[0..2k): sine half, then cosine half.
template <class T>
int32_t pair_block(RngStream* s, int32_t k, T* r, T a, T sigma) {
    T rad[kPairBlock], w[kPairBlock], sn[kPairBlock], cs[kPairBlock];
    const int32_t st = uniform(s, 2 * k, r, T(0), T(1));
    if (st < 0) return st;
    for (int32_t j = 0; j < k; ++j) {
        rad[j] = r[2 * j];
        w[j] = r[2 * j + 1] * kTwoPi<T>;
    }
    v_sincos(k, w, sn, cs);
    box_muller_radii(k, rad);
    for (int32_t j = 0; j < k; ++j) {
        r[2 * j] = rad[j] * sn[j] * sigma + a;
        r[2 * j + 1] = rad[j] * cs[j] * sigma + a;
    }
    return PTZ_OK;
}

template <class T>
int32_t box_muller2(RngStream* s, int32_t n, T* r, T a, T sigma) {
    if (n <= 0) return PTZ_OK;
    T* saved = nullptr;
    int32_t st = saved_pair(s, kSavedPairId<T>, &saved);
    if (st < 0) return st;
    int32_t i = 0;
    if (saved[0] != T(-1)) {
        // The cosine half of the pair whose sine half an earlier call returned.
        // Sine and cosine come from SinCos, as in the blocks: a pair split
        // across calls gives the bits an unsplit one gives.
        T rad = saved[0], w = saved[1] * kTwoPi<T>, sn, cs;
        box_muller_radii(1, &rad);
        v_sincos(1, &w, &sn, &cs);
        r[0] = rad * cs * sigma + a;
        saved[0] = saved[1] = T(-1);
        i = 1;
    }
    for (; n - i >= 2 * kPairBlock; i += 2 * kPairBlock)
        if ((st = pair_block(s, kPairBlock, r + i, a, sigma)) < 0) return st;
    if (const int32_t k = (n - i) / 2; k > 0) {
        if ((st = pair_block(s, k, r + i, a, sigma)) < 0) return st;
        i += 2 * k;
    }
    if (i < n) {
        // One result short: return the sine half, keep the pair raw.
        T u[2];
        if ((st = uniform(s, 2, u, T(0), T(1))) < 0) return st;
        saved[0] = u[0];
        saved[1] = u[1];
        T w = u[1] * kTwoPi<T>, sn, cs;
        box_muller_radii(1, u);
        v_sincos(1, &w, &sn, &cs);
        r[i] = u[0] * sn * sigma + a;
    }
    return PTZ_OK;
}

template <class T>
int32_t inverse_cdf(RngStream* s, int32_t n, T* r, T a, T sigma) {
    const int32_t st = uniform(s, n, r, T(-1), T(1));
    if (st < 0) return st;
    v_erfinv(n, r, r);
    const T f = kSqrt2<T> * sigma;
    for (int32_t i = 0; i < n; ++i) r[i] = r[i] * f + a;
    return PTZ_OK;
}

template <class T>
int32_t gaussian_entry(int32_t method, RngStream* s, int32_t n, T* r, T a, T sigma) {
    using Method = int32_t (*)(RngStream*, int32_t, T*, T, T);
    static constexpr Method kMethods[] = {box_muller<T>, box_muller2<T>, inverse_cdf<T>};
    // The method table has three rows; an index outside it is refused rather
    // than followed.
    if (method < 0 || method > 2) return PTZ_ERROR_BAD_METHOD;
    CallbackScope scope(gauss_callback<T>());
    return kMethods[method](s, n, r, a, sigma);
}

}  // namespace
}  // namespace ptz::dist

extern "C" {
ORVU_API int32_t _ptzdRngGaussian(int32_t method, RngStream* s, int32_t n, double* r, double a, double sigma) {
    return ptz::dist::gaussian_entry(method, s, n, r, a, sigma);
}
ORVU_API int32_t _ptzsRngGaussian(int32_t method, RngStream* s, int32_t n, float* r, float a, float sigma) {
    return ptz::dist::gaussian_entry(method, s, n, r, a, sigma);
}
}
