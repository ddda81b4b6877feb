// Inverse complex trigonometric and hyperbolic functions. asin, acos and
// their hyperbolic kin share one core for the first quadrant; atan goes
// through atanh by asin z = -i asinh(iz), atan z = -i atanh(iz).
#include "kex/cscalar/common.h"

namespace kex::cscalar {
namespace {

struct AsinCore {
    LD re;  // Re asin(x+iy), or Re acos(x+iy) for the acos core
    LD im;  // |Im asin(x+iy)| = |Im acos(x+iy)|
};

// asin (kAcos false) or acos (kAcos true) of x + iy for finite x, y >= 0,
// after Hull, Fairgrieve and Tang (ACM TOMS 23, 1997): with R = |z + 1|,
// S = |z - 1|, A = (R + S)/2 and B = x/A, Re asin = asin B, Re acos = acos B
// and Im = log(A + sqrt(A^2 - 1)). asin B and acos B lose accuracy as B nears
// 1, so beyond B = 0.6417 the real part is the arctangent of x / sqrt(A^2 - x^2)
// (asin) or of its reciprocal (acos), formed without cancellation; for
// A <= 1.5 the imaginary part is log1p of A - 1, itself formed without
// subtracting. Their overflow and underflow regions are not needed here: every
// square and product of the doubles fits the extended range. Each caller
// needs only one of the two real parts, so only that one is computed.
template <bool kAcos>
AsinCore asin_core(LD x, LD y) {
    if (y == 0) {
        if (x <= 1) return {kAcos ? orvu_kex_kernel_acosl_scalar(x) : orvu_kex_kernel_asinl_scalar(x), 0.0L};
        return {kAcos ? 0.0L : kPi2L, orvu_kex_kernel_acoshl_scalar(x)};
    }
    const LD xp1 = x + 1, xm1 = x - 1, y2 = y * y;
    const LD r = hw_sqrt(xp1 * xp1 + y2), s = hw_sqrt(xm1 * xm1 + y2);
    const LD a = 0.5L * (r + s), b = x / a;
    // Both arguments are formed before either call, so that only one value
    // lives across a call (the x87 registers do not survive one).
    LD re_arg = b;
    const bool by_atan = b > 0.6417L;
    if (by_atan) {
        // d = sqrt(A^2 - x^2). For x <= 1, A - x = (y^2/(R + x + 1) + S + 1 - x)/2;
        // beyond, A^2 - x^2 = y^2 (A + x)/2 (1/(R + x + 1) + 1/(S + x - 1)).
        LD d;
        if (x <= 1) {
            d = hw_sqrt(0.5L * (a + x) * (y2 / (r + xp1) + (s + (1 - x))));
        } else {
            const LD apx = a + x;
            d = y * hw_sqrt(0.5L * (apx / (r + xp1) + apx / (s + xm1)));
        }
        re_arg = kAcos ? d / x : x / d;
    }
    const bool near_one = a <= 1.5L;
    LD im_arg;
    if (near_one) {
        const LD am1 = x < 1 ? 0.5L * (y2 / (r + xp1) + y2 / (s + (1 - x))) : 0.5L * (y2 / (r + xp1) + (s + xm1));
        im_arg = am1 + hw_sqrt(am1 * (a + 1));
    } else {
        im_arg = a + hw_sqrt(a * a - 1);
    }
    AsinCore out;
    if (by_atan) out.re = orvu_kex_kernel_atanl_scalar(re_arg);
    else out.re = kAcos ? orvu_kex_kernel_acosl_scalar(re_arg) : orvu_kex_kernel_asinl_scalar(re_arg);
    out.im = near_one ? orvu_kex_kernel_log1pl_scalar(im_arg) : orvu_kex_kernel_logl_scalar(im_arg);
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
    const AsinCore c = asin_core<false>(fabs_ld(y), fabs_ld(x));
    return {copy_sign(c.im, x), copy_sign(c.re, y)};
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
    // All call arguments first: fewer extended values kept across the calls.
    const LD omx = 1 - ax;
    const LD u = 4 * ax / (omx * omx + ay * ay), ty = 2 * ay, tx = omx * (1 + ax) - ay * ay;
    const LD re = 0.25L * orvu_kex_kernel_log1pl_scalar(u);
    const LD im = 0.5L * orvu_kex_kernel_atan2l_scalar(ty, tx);
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
    const AsinCore c = asin_core<true>(fabs_ld(x), fabs_ld(y));
    return narrow(__builtin_signbit(x) ? kPiL - c.re : c.re, -copy_sign(c.im, y));
}

// acosh z = +-i acos z: Re = |Im acos z| >= 0, Im = sign(y) Re acos z.
OrvuComplex16 orvu_kex_kernel_cacosh_scalar(OrvuComplex16 z) {
    const LD x = z.re, y = z.im;
    if (is_nan(x)) return narrow(is_inf(y) ? kInfL : x, nan_of(x));
    if (is_nan(y)) return narrow(is_inf(x) ? kInfL : y, x == 0 ? kPi2L : y);
    if (is_inf(y)) return narrow(kInfL, copy_sign(is_inf(x) ? (x > 0 ? kPi4L : k3Pi4L) : kPi2L, y));
    if (is_inf(x)) return narrow(kInfL, copy_sign(x > 0 ? 0.0L : kPiL, y));
    const AsinCore c = asin_core<true>(fabs_ld(x), fabs_ld(y));
    return narrow(c.im, copy_sign(__builtin_signbit(x) ? kPiL - c.re : c.re, y));
}

}  // extern "C"
