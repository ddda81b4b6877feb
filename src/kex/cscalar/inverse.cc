// Inverse complex trigonometric and hyperbolic functions. asin, acos and
// their hyperbolic kin share one core for the first quadrant; atan goes
// through atanh by asin z = -i asinh(iz), atan z = -i atanh(iz).
#include "kex/cscalar/common.h"

namespace kex::cscalar {
namespace {

struct AsinCore {
    LD asin_re;  // Re asin(x+iy)
    LD acos_re;  // Re acos(x+iy)
    LD im;       // |Im asin(x+iy)| = |Im acos(x+iy)|
};

// asin and acos of x + iy for finite x, y >= 0, after Hull, Fairgrieve and
// Tang (ACM TOMS 23, 1997): with R = |z + 1|, S = |z - 1|, A = (R + S)/2 and
// B = x/A, Re asin = asin B, Re acos = acos B and Im = log(A + sqrt(A^2 - 1)).
// asin B and acos B lose accuracy as B nears 1, so beyond B = 0.6417 the real
// parts come from an arctangent of quantities formed without cancellation;
// for A <= 1.5 the imaginary part is log1p of A - 1, itself formed without
// subtracting. Their overflow and underflow regions are not needed here: every
// square and product of the doubles fits the extended range.
AsinCore asin_core(LD x, LD y) {
    if (y == 0) {
        if (x <= 1) return {orvu_kex_kernel_asinl_scalar(x), orvu_kex_kernel_acosl_scalar(x), 0.0L};
        return {kPi2L, 0.0L, orvu_kex_kernel_acoshl_scalar(x)};
    }
    auto sqrt = orvu_kex_kernel_sqrtl_scalar;
    auto atan = orvu_kex_kernel_atanl_scalar;
    const LD xp1 = x + 1, xm1 = x - 1, y2 = y * y;
    const LD r = sqrt(xp1 * xp1 + y2), s = sqrt(xm1 * xm1 + y2);
    const LD a = 0.5L * (r + s), b = x / a;
    AsinCore out;
    if (b <= 0.6417L) {
        out.asin_re = orvu_kex_kernel_asinl_scalar(b);
        out.acos_re = orvu_kex_kernel_acosl_scalar(b);
    } else if (x <= 1) {
        // A - x = (y^2/(R + x + 1) + S + 1 - x)/2, so sqrt(A^2 - x^2) = sqrt(d).
        const LD d = 0.5L * (a + x) * (y2 / (r + xp1) + (s + (1 - x)));
        out.asin_re = atan(x / sqrt(d));
        out.acos_re = atan(sqrt(d) / x);
    } else {
        const LD apx = a + x;
        const LD d = y * sqrt(0.5L * (apx / (r + xp1) + apx / (s + xm1)));
        out.asin_re = atan(x / d);
        out.acos_re = atan(d / x);
    }
    if (a <= 1.5L) {
        const LD am1 = x < 1 ? 0.5L * (y2 / (r + xp1) + y2 / (s + (1 - x))) : 0.5L * (y2 / (r + xp1) + (s + xm1));
        out.im = orvu_kex_kernel_log1pl_scalar(am1 + sqrt(am1 * (a + 1)));
    } else {
        out.im = orvu_kex_kernel_logl_scalar(a + sqrt(a * a - 1));
    }
    return out;
}

// asinh(x+iy) = i asin(y - ix): in the first quadrant its real part is the
// core's imaginary part at (y, x) and its imaginary part the core's asin.
// Odd and symmetric under conjugation.
CLD casinh_ld(LD x, LD y) {
    if (is_nan(x)) {
        if (y == 0) return {x, y};
        return {is_inf(y) ? copy_sign(kInfL, x) : x, nan_of(x)};
    }
    if (is_nan(y)) return {is_inf(x) ? x : nan_of(y), y};
    if (is_inf(x)) return {x, copy_sign(is_inf(y) ? kPi4L : 0.0L, y)};
    if (is_inf(y)) return {copy_sign(kInfL, x), copy_sign(kPi2L, y)};
    const AsinCore c = asin_core(fabs_ld(y), fabs_ld(x));
    return {copy_sign(c.im, x), copy_sign(c.asin_re, y)};
}

// atanh(x+iy), odd and symmetric under conjugation; for x, y >= 0
//   Re = log1p(4x / ((1-x)^2 + y^2)) / 4,  Im = atan2(2y, (1-x)(1+x) - y^2) / 2.
// 1 - x is exact near 1, the squares stay in range, and where the second
// denominator cancels the angle is near pi/2 and insensitive to it.
CLD catanh_ld(LD x, LD y) {
    if (is_nan(x)) return is_inf(y) ? CLD{copy_sign(0.0L, x), copy_sign(kPi2L, y)} : CLD{x, nan_of(x)};
    if (is_nan(y)) return is_inf(x) || x == 0 ? CLD{copy_sign(0.0L, x), y} : CLD{nan_of(y), y};
    if (is_inf(x) || is_inf(y)) return {copy_sign(0.0L, x), copy_sign(kPi2L, y)};
    const LD ax = fabs_ld(x), ay = fabs_ld(y);
    if (ax == 1 && ay == 0) return {x / 0.0L, y};  // the pole; raises divide-by-zero
    const LD omx = 1 - ax;
    const LD re = 0.25L * orvu_kex_kernel_log1pl_scalar(4 * ax / (omx * omx + ay * ay));
    const LD im = 0.5L * orvu_kex_kernel_atan2l_scalar(2 * ay, omx * (1 + ax) - ay * ay);
    return {copy_sign(re, x), copy_sign(im, y)};
}


}  // namespace
}  // namespace kex::cscalar

using namespace kex::cscalar;

extern "C" {

OrvuComplex16 orvu_kex_kernel_casinh_scalar(OrvuComplex16 z) { return apply(casinh_ld, z); }
OrvuComplex16 orvu_kex_kernel_casin_scalar(OrvuComplex16 z) { return rotate(casinh_ld, z); }
OrvuComplex16 orvu_kex_kernel_catanh_scalar(OrvuComplex16 z) { return apply(catanh_ld, z); }
OrvuComplex16 orvu_kex_kernel_catan_scalar(OrvuComplex16 z) { return rotate(catanh_ld, z); }

// acos(x+iy): Re from the core (pi minus it for x < 0), Im = -sign(y) times
// the core's; symmetric under conjugation.
OrvuComplex16 orvu_kex_kernel_cacos_scalar(OrvuComplex16 z) {
    const LD x = z.re, y = z.im;
    if (is_nan(x)) return narrow(x, is_inf(y) ? -y : nan_of(x));
    if (is_nan(y)) return x == 0 ? narrow(kPi2L, y) : narrow(y, is_inf(x) ? -copy_sign(kInfL, y) : y);
    if (is_inf(y)) return narrow(is_inf(x) ? (x > 0 ? kPi4L : k3Pi4L) : kPi2L, -y);
    if (is_inf(x)) return narrow(x > 0 ? 0.0L : kPiL, -copy_sign(kInfL, y));
    const AsinCore c = asin_core(fabs_ld(x), fabs_ld(y));
    return narrow(__builtin_signbit(x) ? kPiL - c.acos_re : c.acos_re, -copy_sign(c.im, y));
}

// acosh z = +-i acos z: Re = |Im acos z| >= 0, Im = sign(y) Re acos z.
OrvuComplex16 orvu_kex_kernel_cacosh_scalar(OrvuComplex16 z) {
    const LD x = z.re, y = z.im;
    if (is_nan(x)) return narrow(is_inf(y) ? kInfL : x, nan_of(x));
    if (is_nan(y)) return narrow(is_inf(x) ? kInfL : y, x == 0 ? kPi2L : y);
    if (is_inf(y)) return narrow(kInfL, copy_sign(is_inf(x) ? (x > 0 ? kPi4L : k3Pi4L) : kPi2L, y));
    if (is_inf(x)) return narrow(kInfL, copy_sign(x > 0 ? 0.0L : kPiL, y));
    const AsinCore c = asin_core(fabs_ld(x), fabs_ld(y));
    return narrow(c.im, copy_sign(__builtin_signbit(x) ? kPiL - c.acos_re : c.acos_re, y));
}

}  // extern "C"
