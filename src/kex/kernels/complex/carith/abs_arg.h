// Abs and Arg of complex elements (real results); neither reports.
//
// Abs HA/LA never overflow or underflow spuriously: complex single works in
// double; complex double HA takes the root of the sum of squares rounded
// once from an exact sum, LA/EP the plain root, each for components in a
// range where the squares stay normal and finite, the rest through
// v<t>abs_cout_rare (x87 extended, hypot's special values: an infinite
// component gives +inf even beside a NaN). Complex single EP is the estimate
// form s * rsqrt(s), s = re^2 + im^2, with the processor's reciprocal square
// root (relative error 1.5 * 2^-12), 0 for s = 0 and without protection against
// overflow of the squares; s below the normal range goes to the rare routine.
//
// Arg is atan2(im, re) through the real family's Atan2 kernel of the same
// flavour (its reduction and node table); special lanes go through
// v<t>arg_cout_rare.
#pragma once

#include "kex/kernels/complex/carith/common.h"
#include "kex/kernels/real/trig/atan.h"

extern "C" {
__attribute__((visibility("hidden"))) int32_t vcabs_cout_rare(const OrvuComplex8* a, float* r);
__attribute__((visibility("hidden"))) int32_t vzabs_cout_rare(const OrvuComplex16* a, double* r);
__attribute__((visibility("hidden"))) int32_t vcarg_cout_rare(const OrvuComplex8* a, float* r);
__attribute__((visibility("hidden"))) int32_t vzarg_cout_rare(const OrvuComplex16* a, double* r);
}

namespace kex {
namespace KEX_LVL {
namespace carith {

template <class T> int32_t abs_rare(const T* x, T* y) {
    if constexpr (sizeof(T) == 4) return vcabs_cout_rare(reinterpret_cast<const OrvuComplex8*>(x), y);
    else return vzabs_cout_rare(reinterpret_cast<const OrvuComplex16*>(x), y);
}

template <class T, Flavour F>
struct AbsOp : CxPolicy<T, 1, 1, 0> {
    static constexpr bool kHasSpecial = true;
    static constexpr bool kRecomputeSpecial = true;
    template <class V> typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        if constexpr (std::is_same_v<T, float> && F == Flavour::EP) {
            const V s = x[0] * x[0] + x[1] * x[1];
            const V r = select(s == V::splat(kInf<float>), s, s * rsqrt_estimate(s));
            y[0] = select(s == V::splat(0.0f), s, r);
            return ((s < V::splat(0x1p-126f)) & (s > V::splat(0.0f))) | unordered(s, s);
        } else if constexpr (std::is_same_v<T, float>) {
            using Wd = Widened<V>;
            typename Wd::type r[Wd::parts];
            for (int p = 0; p < Wd::parts; ++p) {
                const auto a = Wd::part(x[0], p), b = Wd::part(x[1], p);
                r[p] = sqrt(a * a + b * b);
            }
            y[0] = Wd::join(r);
            return unordered(y[0], y[0]);
        } else if constexpr (F == Flavour::HA) {
            // s = x^2 + y^2 rounded once from a sum within 2^-76 of it: the
            // heads of the 26-bit splits square exactly and add error-free,
            // the cross terms (2^-25 of s) lose 2^-77 to rounding. Rounding s
            // moves the root by at most 2^-54 of it, which is 0.25 of an ulp
            // of the root when s's exponent is even and 0.354 when odd; with
            // the root's own rounding the error stays below 0.86 ulp.
            V xh, xl, yh, yl, h, t;
            split(x[0], xh, xl), split(x[1], yh, yl);
            two_sum(xh * xh, yh * yh, h, t);
            const V mid = (xh * xl + yh * yl) * V::splat(2.0);
            y[0] = sqrt(h + ((t + mid) + (xl * xl + yl * yl)));
            // |x| + |y| in [2^-480, 2^480]: no split or square overflows,
            // and what underflows is below 2^-100 of s. Zeros, infinities
            // and NaN go to the scalar routine.
            const V m = abs(x[0]) + abs(x[1]);
            return (m < V::splat(0x1p-480)) | (m > V::splat(0x1p480)) | unordered(m, m);
        } else {
            y[0] = sqrt(x[0] * x[0] + x[1] * x[1]);
            return outside(x[0], 0x1p-500, 0x1p500) | outside(x[1], 0x1p-500, 0x1p500);
        }
    }
    int rare(const T* x, T* y) const { return abs_rare(x, y), KEX_STATUS_OK; }
};

template <class T, class Acc>
struct ArgOp : CxPolicy<T, 1, 1, 0> {
    using Atan2 = typename OpFor<fn_Atan2, Acc, T>::type;
    static constexpr bool kHasSpecial = Atan2::kHasSpecial;
    template <class V> typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        const V yx[2] = {x[1], x[0]};
        return Atan2{}.fast(yx, y);
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 4) vcarg_cout_rare(reinterpret_cast<const OrvuComplex8*>(x), y);
        else vzarg_cout_rare(reinterpret_cast<const OrvuComplex16*>(x), y);
        return KEX_STATUS_OK;
    }
};

template <class T> using AbsHA = AbsOp<T, Flavour::HA>;
template <class T> using AbsLA = AbsOp<T, Flavour::LA>;
template <class T> using AbsEP = AbsOp<T, Flavour::EP>;
template <class T> using ArgHA = ArgOp<T, acc_HA>;
template <class T> using ArgLA = ArgOp<T, acc_LA>;
template <class T> using ArgEP = ArgOp<T, acc_EP>;

}  // namespace carith

KEX_CARITH_OPS(Abs, HA, AbsHA)
KEX_CARITH_OPS(Abs, LA, AbsLA)
KEX_CARITH_OPS(Abs, EP, AbsEP)
KEX_CARITH_OPS(Arg, HA, ArgHA)
KEX_CARITH_OPS(Arg, LA, ArgLA)
KEX_CARITH_OPS(Arg, EP, ArgEP)

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_carith)
namespace kex::KEX_LVL::carith {
// |a| in W as hypot defines it: +inf for an infinite component, else NaN for a
// NaN, else the root of the sum of squares (which cannot overflow in W).
template <class T> T hypot_wide(T re, T im) {
    using W = Wide<T>;
    if (std::isinf(re) || std::isinf(im)) return kInf<T>;
    if (std::isnan(re) || std::isnan(im)) return re + im;
    X87PrecisionGuard env;
    const W a = re, b = im;
    return static_cast<T>(std::sqrt(a * a + b * b));
}
}  // namespace kex::KEX_LVL::carith

extern "C" {
__attribute__((visibility("hidden"))) int32_t vcabs_cout_rare(const OrvuComplex8* a, float* r) {
    *r = kex::KEX_LVL::carith::hypot_wide(a->re, a->im);
    return KEX_STATUS_OK;
}
__attribute__((visibility("hidden"))) int32_t vzabs_cout_rare(const OrvuComplex16* a, double* r) {
    *r = kex::KEX_LVL::carith::hypot_wide(a->re, a->im);
    return KEX_STATUS_OK;
}
__attribute__((visibility("hidden"))) int32_t vcarg_cout_rare(const OrvuComplex8* a, float* r) {
    vsatan2_cout_rare(&a->im, &a->re, r);
    return KEX_STATUS_OK;
}
__attribute__((visibility("hidden"))) int32_t vzarg_cout_rare(const OrvuComplex16* a, double* r) {
    vdatan2_cout_rare(&a->im, &a->re, r);
    return KEX_STATUS_OK;
}
}
#endif
