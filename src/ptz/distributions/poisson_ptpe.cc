// PTPE for Poisson means from 27 on. All four regions of the hat and the
// acceptance steps follow Schmeiser and Kachitvichyanukul's algorithm; the
// uniforms are floats, the arithmetic on them double, so that the triangle and
// the tails keep their shape at large means (a float has a spacing of 1/1024
// at 10^4).
#include <algorithm>
#include <cmath>

#include "ptz/distributions/common.h"
#include "ptz/distributions/poisson.h"

namespace ptz::dist {
namespace {

// Stirling's series of ln z! beyond (z + 1/2)·ln(z + 1) - (z + 1) + ln sqrt(2 pi),
// taken at Z = z + 1: 1/(12 Z) - 1/(360 Z^3). At Z >= 10 the next term is below
// 1e-9, far under the float resolution of the acceptance uniform.
inline double stirling_tail(double z1) {
    const double z2 = z1 * z1;
    return (0.083333336 - 0.0027777778 / z2) / z1;
}

// floor for |x| < 2^62 without a library call (the baseline instruction set
// has no rounding instruction); every argument here is far smaller.
inline double floor_of(double x) {
    const double t = double(int64_t(x));
    return t > x ? t - 1.0 : t;
}

// Results above this are rejected: the far right tail of the hat, where
// f(y)/f(M) is zero in double anyway, and never an int32 overflow.
constexpr double kMaxResult = 2147483000.0;

}  // namespace

Ptpe::Ptpe(double lambda) : lambda_(lambda), ln_lambda_(std::log(lambda)), m_(std::floor(lambda)) {
    p1_ = std::floor(2.195 * std::sqrt(lambda) - 2.2) + 0.5;  // half-width of the triangle
    inv_p1_ = 1.0 / p1_;
    xm_ = m_ + 0.5;
    xl_ = xm_ - p1_;
    xr_ = xm_ + p1_;
    c_ = 0.133 + 8.56 / (6.83 + lambda);  // height of the parallelograms
    inv_c_ = 1.0 / c_;
    // Tail rates: -ln of f's ratio over one step at xl and xr to second order,
    // the binomial algorithm's rates in the Poisson limit. Together with the
    // triangle and the parallelograms they were checked to cover f/f(M) for
    // means 27 to 2e6 (and the triangle to stay under it).
    const double al = (lambda - xl_) / lambda;
    ll_ = al * (1.0 + 0.5 * al);
    const double ar = (xr_ - lambda) / xr_;
    lr_ = ar * (1.0 + 0.5 * ar);
    p2_ = p1_ * (1.0 + 2.0 * c_);
    p3_ = p2_ + c_ / ll_;
    p4_ = p3_ + c_ / lr_;
    const double f1 = m_ + 1.0;
    f1_term_ = xm_ * std::log(f1) + stirling_tail(f1);
}

// f(y)/f(M) as the product of the ratios between y and M, each direction
// multiplied outward from M (so the tabulated values are the same bits).
double Ptpe::ratio(double y) const {
    double f = 1.0;
    if (m_ < y) {
        for (double i = m_ + 1.0; i <= y; i += 1.0) f *= lambda_ / i;
    } else {
        for (double i = m_; i > y; i -= 1.0) f *= i / lambda_;
    }
    return f;
}

// Is v <= f(y)/f(M)?
bool Ptpe::accept(double y, double v) const {
    const double k = std::fabs(y - m_);
    if (k <= kNear) return v <= (tabulated_ ? near_[int32_t(y - m_) + kNear] : ratio(y));
    const double a = std::log(v);
    if (k < 0.5 * lambda_ - 1.0) {
        // ln f(y)/f(M) lies within rho of -k^2/(2 lambda).
        const double rho = (k / lambda_) * ((k * (k / 3.0 + 0.625) + 0.16666666666666666) / lambda_ + 0.5);
        const double t = -k * k / (2.0 * lambda_);
        if (a < t - rho) return true;
        if (a > t + rho) return false;
    }
    if (y < 9.0) return v <= ratio(y);  // the series is too coarse for small factorials
    // ln f(y)/f(M) = (y - M)·ln lambda + ln M! - ln y!, both factorials by the series.
    const double x1 = y + 1.0, lx1 = std::log(x1);
    const double bound = f1_term_ - (y + 0.5) * lx1 - stirling_tail(x1) + (y - m_) * (ln_lambda_ + 1.0);
    return a <= bound;
}

int32_t Ptpe::candidate(float uf, float vf) const {
    const double u = double(uf) * p4_;
    double v = vf, y;
    if (u <= p1_) return int32_t(floor_of(xm_ - p1_ * v + u));  // inside the triangle
    if (u <= p2_) {
        const double x = xl_ + (u - p1_) * inv_c_;
        v = v * c_ + 1.0 - std::fabs(x - xm_) * inv_p1_;
        if (v > 1.0) return -1;
        y = floor_of(x);
    } else if (u <= p3_) {
        y = std::floor(xl_ + std::log(v) / ll_);  // v = 0 gives -inf: rejected
        if (y < 0.0) return -1;
        v = v * (u - p2_) * ll_;
    } else {
        y = std::floor(xr_ - std::log(v) / lr_);
        if (y > kMaxResult) return -1;
        v = v * (u - p3_) * lr_;
    }
    return accept(y, v) ? int32_t(y) : -1;
}

int32_t Ptpe::fill(RngStream* s, int32_t n, int32_t* r) {
    CallbackScope scope(ln_callback<float>());  // ln 0 of a tail candidate: -103.28
    constexpr int32_t kPass = 1024;  // candidates per draw
    if (!tabulated_) {
        near_[kNear] = 1.0;
        for (int32_t j = 1; j <= kNear; ++j) {
            near_[kNear + j] = near_[kNear + j - 1] * (lambda_ / (m_ + j));
            near_[kNear - j] = near_[kNear - j + 1] * ((m_ - j + 1) / lambda_);
        }
        tabulated_ = true;
    }
    const double inv_ll = 1.0 / ll_, inv_lr = 1.0 / lr_;
    float uni[2 * kPass], lv[kPass];
    int32_t acc[kPass + 1];  // a pass's accepted values; those beyond n are dropped
    int32_t got = 0;
    while (got < n) {
        // 73 % (lambda 27) to 87 % (large lambda) of the candidates are
        // accepted: draw half as many again.
        const int32_t need = n - got;
        const int32_t m = std::min(kPass, need + need / 2 + 2);
        if (const int32_t st = uniform(s, 2 * m, uni, 0.0f, 1.0f); st < 0) return st;
        for (int32_t i = 0; i < m; ++i) lv[i] = uni[2 * i + 1];
        v_ln(m, lv, lv);
        int32_t k = 0;
        for (int32_t i = 0; i < m; ++i) {
            // Every region's candidate is formed and one is selected, so that
            // the common cases run without unpredictable branches: the
            // triangle (w = -1, accepted) and |y - M| <= 20, tested against
            // the tabulated ratios.
            const double u = double(uni[2 * i]) * p4_, v = uni[2 * i + 1], l = std::max(double(lv[i]), -104.0);
            const double x2 = xl_ + (u - p1_) * inv_c_;
            const bool tri = u <= p1_, par = u <= p2_, left = u <= p3_;
            const double y = floor_of(tri ? xm_ - p1_ * v + u : par ? x2 : left ? xl_ + l * inv_ll : xr_ - l * inv_lr);
            const double w = tri ? -1.0
                             : par ? v * c_ + 1.0 - std::fabs(x2 - xm_) * inv_p1_
                             : left ? v * (u - p2_) * ll_
                                    : v * (u - p3_) * lr_;
            const double d = y - m_;
            if (tri || std::fabs(d) <= kNear) {
                acc[k] = int32_t(y);
                k += int32_t(w <= near_[std::clamp(int32_t(d), -kNear, kNear) + kNear]);
            } else if (y >= 0.0 && y <= kMaxResult && accept(y, w)) {
                acc[k++] = int32_t(y);
            }
        }
        k = std::min(k, n - got);
        std::copy(acc, acc + k, r + got);
        got += k;
    }
    return PTZ_OK;
}

}  // namespace ptz::dist
