// Complex hyperbolic functions and, through cos z = cosh(iz),
// sin z = -i sinh(iz) and tan z = -i tanh(iz), the circular ones.
#include "kex/cscalar/common.h"

namespace kex::cscalar {
namespace {

void sincos(LD y, LD& s, LD& c) { orvu_kex_kernel_sincosl_scalar(y, &s, &c); }

// sinh(x+iy) = sinh x cos y + i cosh x sin y. sinh and cosh of an extended x
// overflow only beyond |x| ~ 11356, where the double result is infinite
// anyway (|cos y| and |sin y| exceed 2^-70 for nonzero double y), so there is
// no intermediate overflow to avoid; a zero y is kept out of inf * 0.
CLD csinh_ld(LD x, LD y) {
    if (is_nan(x)) return {x, y == 0 ? y : nan_of(x)};
    LD s, c;
    if (is_inf(x)) {
        if (y == 0) return {x, y};
        if (!is_finite(y)) return {kInfL, nan_of(y)};
        sincos(y, s, c);
        return {x * c, kInfL * s};
    }
    if (!is_finite(y)) return {x == 0 ? x : nan_of(y), nan_of(y)};
    if (y == 0) return {orvu_kex_kernel_sinhl_scalar(x), y};
    LD sh, ch;
    orvu_kex_kernel_sinhcoshl_scalar(x, &sh, &ch);
    sincos(y, s, c);
    return {sh * c, ch * s};
}

// cosh(x+iy) = cosh x cos y + i sinh x sin y.
CLD ccosh_ld(LD x, LD y) {
    if (is_nan(x)) return {x, y == 0 ? y : nan_of(x)};
    LD s, c;
    if (is_inf(x)) {
        if (y == 0) return {kInfL, copy_sign(1.0L, x) * y};
        if (!is_finite(y)) return {kInfL, nan_of(y)};
        sincos(y, s, c);
        return {kInfL * c, x * s};
    }
    if (!is_finite(y)) return {nan_of(y), x == 0 ? 0.0L : nan_of(y)};
    if (y == 0) return {orvu_kex_kernel_coshl_scalar(x), copy_sign(1.0L, x) * y};
    LD sh, ch;
    orvu_kex_kernel_sinhcoshl_scalar(x, &sh, &ch);
    sincos(y, s, c);
    return {ch * c, sh * s};
}

// tanh(x+iy) = (sinh x cosh x + i sin y cos y) / (sinh^2 x + cos^2 y): Kahan's
// form (b s sqrt(1 + s^2) + i t) / (1 + b s^2) with t = tan y, s = sinh x,
// b = 1 + t^2 = 1/cos^2 y, multiplied through by cos^2 y. The denominator is a
// sum of two non-negative terms, so nothing cancels (the textbook cosh 2x +
// cos 2y does), and it needs no tangent: one sinh/cosh pair, one sin/cos pair
// and one reciprocal. Beyond |x| = 23 the real part is +-1 to 2^-64 and the
// imaginary part is sin 2y / cosh 2x = 4 sin y cos y e^-2|x| to the same
// order, which also keeps sinh^2 x in range.
CLD ctanh_ld(LD x, LD y) {
    if (is_nan(x)) return {x, y == 0 ? y : nan_of(x)};
    LD s, c;
    if (is_inf(x)) {
        if (!is_finite(y)) return {copy_sign(1.0L, x), copy_sign(0.0L, y)};
        sincos(y, s, c);
        return {copy_sign(1.0L, x), copy_sign(0.0L, s * c)};
    }
    if (!is_finite(y)) return {x == 0 ? x : nan_of(y), nan_of(y)};
    if (y == 0) return {orvu_kex_kernel_tanhl_scalar(x), y};
    sincos(y, s, c);
    const LD ax = fabs_ld(x);
    if (ax > 23) return {copy_sign(1.0L, x), 4 * s * c * orvu_kex_kernel_expl_scalar(-2 * ax)};
    LD sh, ch;
    orvu_kex_kernel_sinhcoshl_scalar(x, &sh, &ch);
    const LD inv = 1 / (sh * sh + c * c);
    return {sh * ch * inv, s * c * inv};
}

}  // namespace
}  // namespace kex::cscalar

using namespace kex::cscalar;

extern "C" {

OrvuComplex16 orvu_kex_kernel_csinh_scalar(OrvuComplex16 z) { return apply(csinh_ld, z); }
OrvuComplex16 orvu_kex_kernel_ccosh_scalar(OrvuComplex16 z) { return apply(ccosh_ld, z); }
OrvuComplex16 orvu_kex_kernel_ctanh_scalar(OrvuComplex16 z) { return apply(ctanh_ld, z); }
OrvuComplex16 orvu_kex_kernel_ccos_scalar(OrvuComplex16 z) {
    const CLD r = ccosh_ld(-static_cast<LD>(z.im), z.re);
    return narrow(r.re, r.im);
}
// sinh(+-inf + iNaN) is +inf + iNaN; sin(NaN +- i inf) takes NaN + i inf
// likewise (the sign of the infinity is free in both).
OrvuComplex16 orvu_kex_kernel_csin_scalar(OrvuComplex16 z) {
    OrvuComplex16 r = rotate(csinh_ld, z);
    if (is_nan(r.re) && is_inf(r.im)) r.im = kInfL;
    return r;
}
OrvuComplex16 orvu_kex_kernel_ctan_scalar(OrvuComplex16 z) { return rotate(ctanh_ld, z); }

}  // extern "C"
