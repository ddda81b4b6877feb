// Distributions obtained by transforming uniforms (or normals) through their
// inverse distribution functions: Exponential, Laplace, Weibull, Cauchy,
// Rayleigh, Lognormal and Gumbel. The order of the arithmetic in each
// transform is fixed: it determines the bits of the results.
#include <algorithm>

#include "ptz/distributions/common.h"

namespace ptz::dist {
namespace {

constexpr int32_t kLaplaceBlock = 1024;

// pi/2 rounded to the precision (0x3FF921FB54442D18, float 0x3FC90FDB).
template <class T>
constexpr T kHalfPi = T(1.5707963267948966);

// -ln u for n uniforms on [0, 1) drawn into r; ln 0 gives the callback's value.
template <class T>
int32_t neg_ln_uniforms(RngStream* s, int32_t n, T* r) {
    const int32_t st = uniform(s, n, r, T(0), T(1));
    if (st < 0) return st;
    v_ln(n, r, r);
    for (int32_t i = 0; i < n; ++i) r[i] = -r[i];
    return PTZ_OK;
}

template <class T>
int32_t exponential(RngStream* s, int32_t n, T* r, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    const int32_t st = uniform(s, n, r, T(0), T(1));
    if (st < 0) return st;
    v_ln(n, r, r);
    for (int32_t i = 0; i < n; ++i) r[i] = max_of(a, a - r[i] * beta);
    return PTZ_OK;
}

template <class T>
int32_t laplace(RngStream* s, int32_t n, T* r, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    T u[2 * kLaplaceBlock];
    for (int32_t done = 0; done < n;) {
        const int32_t m = std::min(n - done, kLaplaceBlock);
        const int32_t st = uniform(s, 2 * m, u, T(0), T(1));
        if (st < 0) return st;
        T* x = r + done;
        for (int32_t i = 0; i < m; ++i) x[i] = u[2 * i];
        v_ln(m, x, x);
        // The odd uniform picks the side: u2 <= 1/2 gives the right tail.
        for (int32_t i = 0; i < m; ++i) x[i] = x[i] * (u[2 * i + 1] <= T(0.5) ? -beta : beta) + a;
        done += m;
    }
    return PTZ_OK;
}

template <class T>
int32_t weibull(RngStream* s, int32_t n, T* r, T alpha, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    const int32_t st = neg_ln_uniforms(s, n, r);
    if (st < 0) return st;
    if (alpha != T(1)) v_powx(n, r, T(1) / alpha, r);
    for (int32_t i = 0; i < n; ++i) r[i] = max_of(a, r[i] * beta + a);
    return PTZ_OK;
}

template <class T>
int32_t cauchy(RngStream* s, int32_t n, T* r, T a, T beta) {
    const int32_t st = uniform(s, n, r, -kHalfPi<T>, kHalfPi<T>);
    if (st < 0) return st;
    v_tan(n, r, r);
    for (int32_t i = 0; i < n; ++i) r[i] = r[i] * beta + a;
    return PTZ_OK;
}

template <class T>
int32_t rayleigh(RngStream* s, int32_t n, T* r, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    const int32_t st = neg_ln_uniforms(s, n, r);
    if (st < 0) return st;
    v_sqrt(n, r, r);
    for (int32_t i = 0; i < n; ++i) r[i] = max_of(a, r[i] * beta + a);
    return PTZ_OK;
}

template <class T>
int32_t lognormal(int32_t method, RngStream* s, int32_t n, T* r, T a, T sigma, T b, T beta) {
    // Method 0 takes its normals from Box-Muller2, any other from the inverse CDF.
    const int32_t st = gaussian(method == 0 ? 1 : 2, s, n, r, a, sigma);
    if (st < 0) return st;
    v_exp(n, r, r);
    for (int32_t i = 0; i < n; ++i) r[i] = max_of(b, r[i] * beta + b);
    return PTZ_OK;
}

template <class T>
int32_t gumbel(RngStream* s, int32_t n, T* r, T a, T beta) {
    CallbackScope scope(ln_callback<T>());
    const int32_t st = exponential(s, n, r, T(0), T(1));
    if (st < 0) return st;
    v_ln(n, r, r);
    for (int32_t i = 0; i < n; ++i) r[i] = r[i] * beta + a;
    return PTZ_OK;
}

}  // namespace
}  // namespace ptz::dist

using namespace ptz::dist;

extern "C" {
ORVU_API int32_t _ptzdRngExponential(int32_t, RngStream* s, int32_t n, double* r, double a, double beta) {
    return exponential(s, n, r, a, beta);
}
ORVU_API int32_t _ptzsRngExponential(int32_t, RngStream* s, int32_t n, float* r, float a, float beta) {
    return exponential(s, n, r, a, beta);
}
ORVU_API int32_t _ptzdRngLaplace(int32_t, RngStream* s, int32_t n, double* r, double a, double beta) {
    return laplace(s, n, r, a, beta);
}
ORVU_API int32_t _ptzsRngLaplace(int32_t, RngStream* s, int32_t n, float* r, float a, float beta) {
    return laplace(s, n, r, a, beta);
}
ORVU_API int32_t _ptzdRngWeibull(int32_t, RngStream* s, int32_t n, double* r, double alpha, double a,
                                 double beta) {
    return weibull(s, n, r, alpha, a, beta);
}
ORVU_API int32_t _ptzsRngWeibull(int32_t, RngStream* s, int32_t n, float* r, float alpha, float a, float beta) {
    return weibull(s, n, r, alpha, a, beta);
}
ORVU_API int32_t _ptzdRngCauchy(int32_t, RngStream* s, int32_t n, double* r, double a, double beta) {
    return cauchy(s, n, r, a, beta);
}
ORVU_API int32_t _ptzsRngCauchy(int32_t, RngStream* s, int32_t n, float* r, float a, float beta) {
    return cauchy(s, n, r, a, beta);
}
ORVU_API int32_t _ptzdRngRayleigh(int32_t, RngStream* s, int32_t n, double* r, double a, double beta) {
    return rayleigh(s, n, r, a, beta);
}
ORVU_API int32_t _ptzsRngRayleigh(int32_t, RngStream* s, int32_t n, float* r, float a, float beta) {
    return rayleigh(s, n, r, a, beta);
}
ORVU_API int32_t _ptzdRngLognormal(int32_t method, RngStream* s, int32_t n, double* r, double a, double sigma,
                                   double b, double beta) {
    return lognormal(method, s, n, r, a, sigma, b, beta);
}
ORVU_API int32_t _ptzsRngLognormal(int32_t method, RngStream* s, int32_t n, float* r, float a, float sigma,
                                   float b, float beta) {
    return lognormal(method, s, n, r, a, sigma, b, beta);
}
ORVU_API int32_t _ptzdRngGumbel(int32_t, RngStream* s, int32_t n, double* r, double a, double beta) {
    return gumbel(s, n, r, a, beta);
}
ORVU_API int32_t _ptzsRngGumbel(int32_t, RngStream* s, int32_t n, float* r, float a, float beta) {
    return gumbel(s, n, r, a, beta);
}
}
