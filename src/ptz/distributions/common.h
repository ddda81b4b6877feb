// What every continuous-distribution generator shares: the vector-math mode
// and callback scopes, the kernels it calls through their dispatch tables, the
// uniform draw, and the per-stream saved pair. Written over float and double,
// so a transform is written once for both precisions.
//
// Conventions of the generators built on this frame:
//  - a kernel call goes through one of the wrappers below (v_ln, v_exp, ...),
//    which run it with denormals kept (mode 0x140000) and restore the mode;
//  - a generator whose transform may meet ln 0 or erfinv(+-1) holds a
//    CallbackScope for the whole call, built with ln_callback<T>() or
//    gauss_callback<T>(); the scope restores mode and callback on every
//    return path;
//  - uniforms come from uniform(stream, n, buf, lo, hi); its negative status
//    ends the generator at once (return it).
#pragma once

#include <cstdint>
#include <limits>

#include "orvu_kex.h"
#include "orvu_ptz_rng.h"

namespace ptz::dist {

// Slots of a dispatch table.
enum Slot : int { kLA = 0, kHA = 1, kEP = 2 };

// Denormals kept for the duration of one kernel call.
class KernelMode {
public:
    KernelMode() : prev_(orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_OFF)) {}
    ~KernelMode() { orvu_kex_kernel_SetMode(prev_); }
    KernelMode(const KernelMode&) = delete;
    KernelMode& operator=(const KernelMode&) = delete;

private:
    uint32_t prev_;
};

// Error mode "callback only" with the generator's callback, for a whole call.
class CallbackScope {
public:
    explicit CallbackScope(KexErrorCallBack cb)
        : prev_mode_(orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK)),
          prev_cb_(orvu_kex_kernel_SetErrorCallBack(cb)) {}
    ~CallbackScope() {
        orvu_kex_kernel_SetErrorCallBack(prev_cb_);
        orvu_kex_kernel_SetMode(prev_mode_);
    }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

private:
    uint32_t prev_mode_;
    KexErrorCallBack prev_cb_;
};

// Callbacks that make ln 0 finite: ln of the smallest positive value of the
// precision (denormals included) for a singularity.
template <class T>
KexErrorCallBack ln_callback();
// The Gaussian generators' callback: ln 0 as above, erfinv(+-1) (singularity
// or domain error) as the quantile of the extreme uniform, signed like the
// argument.
template <class T>
KexErrorCallBack gauss_callback();

// ---- kernels, called through their dispatch tables (EP slot by default) ----
#define PTZ_DIST_UNARY(name, Fn)                                                  \
    inline void name(int32_t n, const double* a, double* r, Slot s = kEP) {       \
        KernelMode m;                                                             \
        orvu_kex_kernel_d##Fn##_ttab[s](n, a, r);                                 \
    }                                                                             \
    inline void name(int32_t n, const float* a, float* r, Slot s = kEP) {         \
        KernelMode m;                                                             \
        orvu_kex_kernel_s##Fn##_ttab[s](n, a, r);                                 \
    }
PTZ_DIST_UNARY(v_exp, Exp)
PTZ_DIST_UNARY(v_sqrt, Sqrt)
PTZ_DIST_UNARY(v_sin, Sin)
PTZ_DIST_UNARY(v_tan, Tan)
PTZ_DIST_UNARY(v_erfinv, ErfInv)
#undef PTZ_DIST_UNARY

// ln of the smallest positive double (2^-1074) and float (2^-149): what the
// callbacks put in place of ln 0.
constexpr double kLnTinyD = -744.4400719213812;  // 0xC0874385446D71C3
constexpr float kLnTinyF = -103.27893f;          // 0xC2CE8ED0

// The double logarithm kernels report nothing, so no callback ever sees its
// ln 0: the -inf is replaced here by the value the callbacks give. The single
// kernels report ln 0 as a singularity and the callback replaces it.
inline void v_ln(int32_t n, const double* a, double* r, Slot s = kEP) {
    {
        KernelMode m;
        orvu_kex_kernel_dLn_ttab[s](n, a, r);
    }
    for (int32_t i = 0; i < n; ++i)
        if (r[i] == -std::numeric_limits<double>::infinity()) r[i] = kLnTinyD;  // a[i] was +-0
}
inline void v_ln(int32_t n, const float* a, float* r, Slot s = kEP) {
    KernelMode m;
    orvu_kex_kernel_sLn_ttab[s](n, a, r);
}

inline void v_sincos(int32_t n, const double* a, double* s, double* c, Slot sl = kEP) {
    KernelMode m;
    orvu_kex_kernel_dSinCos_ttab[sl](n, a, s, c);
}
inline void v_sincos(int32_t n, const float* a, float* s, float* c, Slot sl = kEP) {
    KernelMode m;
    orvu_kex_kernel_sSinCos_ttab[sl](n, a, s, c);
}
inline void v_powx(int32_t n, const double* a, double b, double* r, Slot sl = kEP) {
    KernelMode m;
    orvu_kex_kernel_dPowx_ttab[sl](n, a, b, r);
}
inline void v_powx(int32_t n, const float* a, float b, float* r, Slot sl = kEP) {
    KernelMode m;
    orvu_kex_kernel_sPowx_ttab[sl](n, a, b, r);
}

// ---- uniforms and saved state ----------------------------------------------

// n uniforms on [lo, hi) from the stream's generator (the uniform generator's
// standard method); its status.
inline int32_t uniform(RngStream* s, int32_t n, double* r, double lo, double hi) {
    return _ptzdRngUniform(0, s, n, r, lo, hi);
}
inline int32_t uniform(RngStream* s, int32_t n, float* r, float lo, float hi) {
    return _ptzsRngUniform(0, s, n, r, lo, hi);
}

// n normal variates with mean a and deviation sigma by a Gaussian method
// (0 Box-Muller, 1 Box-Muller2, 2 inverse CDF); its status.
inline int32_t gaussian(int32_t method, RngStream* s, int32_t n, double* r, double a, double sigma) {
    return _ptzdRngGaussian(method, s, n, r, a, sigma);
}
inline int32_t gaussian(int32_t method, RngStream* s, int32_t n, float* r, float a, float sigma) {
    return _ptzsRngGaussian(method, s, n, r, a, sigma);
}

// The stream's two-value chunk `id`, created on first use with both values
// -1 (the "empty" mark). Returns 0 with *pair set, -4 when its buffer cannot be
// allocated, or the negative status of attaching it.
template <class T>
int32_t saved_pair(RngStream* s, int32_t id, T** pair);

// 2*pi rounded to the precision (0x401921FB54442D18, float 0x40C90FDB).
template <class T>
inline constexpr T kTwoPi = T(6.283185307179586);

template <class T>
inline T max_of(T lo, T x) { return x < lo ? lo : x; }

// Box-Muller radii R = sqrt(-(ln u + ln u)) of m uniforms, in place.
template <class T>
void box_muller_radii(int32_t m, T* u) {
    v_ln(m, u, u);
    for (int32_t i = 0; i < m; ++i) u[i] = -(u[i] + u[i]);
    v_sqrt(m, u, u);
}

}  // namespace ptz::dist
