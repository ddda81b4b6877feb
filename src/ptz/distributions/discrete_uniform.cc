// Uniform integers, Bernoulli and geometric variates: one uniform per result,
// transformed in blocks.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "ptz/distributions/common.h"

namespace ptz::dist {
namespace {

constexpr int32_t kBlock = 1024;

// Truncation of t >= 0 to int32 (t is below its truncation only when negative);
// values from 2^31 on, +inf and NaN saturate instead of overflowing.
inline int32_t floor_to_int(float t) {
    if (!(t < 2147483648.0f)) return std::numeric_limits<int32_t>::max();
    int32_t k = int32_t(t);
    if (t < float(k)) --k;
    return k;
}

}  // namespace
}  // namespace ptz::dist

using namespace ptz::dist;

// floor of a double uniform on [a, b).
ORVU_API int32_t _ptziRngUniform(int32_t, RngStream* stream, int32_t n, int32_t* r, int32_t a, int32_t b) {
    double u[kBlock];
    for (int32_t i = 0; i < n; i += kBlock) {
        const int32_t m = std::min(kBlock, n - i);
        if (const int32_t st = uniform(stream, m, u, double(a), double(b)); st < 0) return st;
        // floor by truncation, one less below a negative truncation (u lies
        // in [a, b], inside the int32 range, so the conversion is exact).
        for (int32_t j = 0; j < m; ++j) {
            const int32_t k = int32_t(u[j]);
            r[i + j] = k - int32_t(double(k) > u[j]);
        }
    }
    return PTZ_OK;
}

// u < p on float uniforms drawn into r itself. Both sides are non-negative
// floats, so their bit patterns order like the values.
ORVU_API int32_t _ptziRngBernoulli(int32_t, RngStream* stream, int32_t n, int32_t* r, double p) {
    static_assert(sizeof(float) == sizeof(int32_t));
    if (n <= 0) return PTZ_OK;
    if (const int32_t st = uniform(stream, n, reinterpret_cast<float*>(r), 0.0f, 1.0f); st < 0) return st;
    const float pf = float(p);
    int32_t pbits;
    std::memcpy(&pbits, &pf, sizeof pbits);
    for (int32_t i = 0; i < n; ++i) {
        int32_t ubits;
        std::memcpy(&ubits, r + i, sizeof ubits);
        r[i] = ubits < pbits ? 1 : 0;
    }
    return PTZ_OK;
}

// floor(ln u / ln(1 - p)): the number of failures before the first success.
ORVU_API int32_t _ptziRngGeometric(int32_t, RngStream* stream, int32_t n, int32_t* r, double p) {
    CallbackScope cb(ln_callback<float>());  // ln 0 -> ln 2^-149
    // 1/ln(1 - p) tends to -inf as p -> 0+; at p = 0 itself the division would
    // give +inf and flip the sign, so the limit is taken (every result saturates).
    const float c = p == 0.0 ? -std::numeric_limits<float>::infinity() : float(1.0 / std::log(1.0 - p));
    float u[kBlock];
    for (int32_t i = 0; i < n; i += kBlock) {
        const int32_t m = std::min(kBlock, n - i);
        if (const int32_t st = uniform(stream, m, u, 0.0f, 1.0f); st < 0) return st;
        v_ln(m, u, u, kLA);
        for (int32_t j = 0; j < m; ++j) r[i + j] = floor_to_int(u[j] * c);
    }
    return PTZ_OK;
}
