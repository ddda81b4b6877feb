// Pieces shared by the complex scalar routines: the extended-precision
// complex value they compute in, classification of components, and short
// names for the extended-precision real routines underneath.
//
// Every routine widens its double components to x87 extended precision. Two
// facts about that format carry most of the work: the square of any double
// (normal or denormal) and any sum of two such squares lie inside its
// exponent range, so |z|^2, (1-x)^2 + y^2 and the like never overflow or
// underflow; and its 11 extra significand bits absorb the rounding errors of
// a short formula, so only true cancellation needs a special form.
#pragma once

#include <cstdint>

#include "kex/xreal/xreal_common.h"
#include "orvu_kex.h"

namespace kex::cscalar {

using LD = long double;

struct CLD {
    LD re, im;
};

inline OrvuComplex16 narrow(LD re, LD im) { return {static_cast<double>(re), static_cast<double>(im)}; }
// g applied to z, narrowed.
inline OrvuComplex16 apply(CLD (*g)(LD, LD), OrvuComplex16 z) {
    const CLD r = g(z.re, z.im);
    return narrow(r.re, r.im);
}
// f(z) = -i g(iz): g applied to (-y, x), the result (b, -a) from g's (a, b).
inline OrvuComplex16 rotate(CLD (*g)(LD, LD), OrvuComplex16 z) {
    const CLD r = g(-static_cast<LD>(z.im), z.re);
    return narrow(r.im, -r.re);
}

inline bool is_nan(LD x) { return __builtin_isnan(x); }
inline bool is_inf(LD x) { return __builtin_isinf(x); }
inline bool is_finite(LD x) { return __builtin_isfinite(x); }
inline LD copy_sign(LD mag, LD sgn) { return __builtin_copysignl(mag, sgn); }
inline LD fabs_ld(LD x) { return __builtin_fabsl(x); }
// fsqrt, inline: no call and no C-library errno path.
using orvu_xreal::hw_sqrt;

constexpr LD kInfL = __builtin_huge_vall();
// pi and its fractions rounded to extended precision; narrowed to double they
// give the correctly rounded double values.
constexpr LD kPiL = 3.14159265358979323846264338327950288L;
constexpr LD kPi2L = 1.57079632679489661923132169163975144L;
constexpr LD kPi4L = 0.785398163397448309615660845819875721L;
constexpr LD k3Pi4L = 2.35619449019234492884698253745962716L;
constexpr LD kLog10eL = 0.434294481903251827651128918916605082L;  // 1 / ln 10

// A quiet NaN from an infinite or NaN component (inf - inf raises invalid,
// as C does for the cases that lose all information; a NaN propagates).
inline LD nan_of(LD a) { return a - a; }
constexpr LD kNaNL = __builtin_nanl("");

}  // namespace kex::cscalar
