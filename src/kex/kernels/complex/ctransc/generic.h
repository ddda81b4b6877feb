// Generic-level complex kernels: every complex function without a vector
// algorithm of its own runs its extended-precision scalar routine element by
// element, in order, under x87 precision control 0x300 (the skeleton's X87
// environment). For each element: note whether the argument is finite, widen
// to double, call the routine, narrow to the element type. A complex single
// result component that narrows to a denormal is stored as it is, and the
// underflow flag is raised for it; a finite argument giving an infinite
// component is an overflow (status 3), reported by the functions of the table
// that say so.
#pragma once

#include <bit>
#include <cstdint>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

namespace kex {
namespace KEX_LVL {
namespace ctransc {

// The functions served here: the scalar routine and whether overflow is
// reported. Pow and Powx share cpow.
#define KEX_CTRANSC_GENERIC_TABLE(X) \
    X(Acos, cacos, false)            \
    X(Acosh, cacosh, false)          \
    X(Asin, casin, false)            \
    X(Asinh, casinh, false)          \
    X(Atan, catan, false)            \
    X(Atanh, catanh, false)          \
    X(Cos, ccos, true)               \
    X(Cosh, ccosh, true)             \
    X(Log10, clog10, false)          \
    X(Pow, cpow, true)               \
    X(Powx, cpow, true)              \
    X(Sin, csin, true)               \
    X(Sinh, csinh, true)             \
    X(Tan, ctan, false)              \
    X(Tanh, ctanh, false)

template <class Fn> struct Generic;
#define KEX_CTRANSC_GENERIC_ROW(fn, routine, reports)                         \
    template <> struct Generic<fn_##fn> {                                     \
        static constexpr auto* call = &orvu_kex_kernel_##routine##_scalar;    \
        static constexpr bool kReports = reports;                             \
    };
KEX_CTRANSC_GENERIC_TABLE(KEX_CTRANSC_GENERIC_ROW)
#undef KEX_CTRANSC_GENERIC_ROW

template <class T> bool is_denormal(T v) {
    constexpr int kMant = sizeof(T) == 4 ? 23 : 52;
    const auto b = bits_of(v);
    const auto exp_mask = (~decltype(b){0} >> 1) & ~((decltype(b){1} << kMant) - 1);
    return (b & exp_mask) == 0 && (b << 1) != 0;
}

// Underflow flag for a denormal single result: the smallest normal float
// squared. The fences keep the product from being folded away.
inline void raise_underflow() {
    float m = std::bit_cast<float>(uint32_t{0x00800000});
    fence_scalar(m);
    m = m * m;
    fence_scalar(m);
}

// Args complex argument arrays (2 for Pow); Powx carries its exponent in the
// policy object. Every lane is "special" and the whole block goes through
// rare(), so the skeleton's in-order slow path with reporting is the loop.
template <class T, class Fn, int Args>
struct GenericOp : PolicyBase<T, Args, 1> {
    static constexpr uint32_t kComplexArgs = (1u << Args) - 1;
    static constexpr uint32_t kComplexResults = 1;
    static constexpr int unroll = 1;
    static constexpr Env kEnv = Env::X87;
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = true;
    using Cx = typename ComplexOf<T>::type;

    OrvuComplex16 exponent{0.0, 0.0};
    bool exponent_finite = true;
    GenericOp() = default;
    explicit GenericOp(Cx b)
        : exponent{b.re, b.im}, exponent_finite(std::isfinite(b.re) && std::isfinite(b.im)) {}

    template <class V> typename V::mask fast(const V (&x)[2 * Args], V (&y)[2]) const {
        y[0] = x[0], y[1] = x[1];
        return (x[0] == x[0]) | unordered(x[0], x[0]);
    }
    int rare(const T* x, T* y) const {
        bool finite = exponent_finite;
        for (int k = 0; k < 2 * Args; ++k) finite = finite && std::isfinite(x[k]);
        const OrvuComplex16 a{x[0], x[1]};
        OrvuComplex16 r;
        if constexpr (Args == 2) r = Generic<Fn>::call(a, OrvuComplex16{x[2], x[3]});
        else if constexpr (std::is_same_v<Fn, fn_Powx>) r = Generic<Fn>::call(a, exponent);
        else r = Generic<Fn>::call(a);
        y[0] = static_cast<T>(r.re), y[1] = static_cast<T>(r.im);
        if constexpr (sizeof(T) == 4) {
            if (is_denormal(y[0]) || is_denormal(y[1])) raise_underflow();
        }
        if (Generic<Fn>::kReports && finite && (std::isinf(y[0]) || std::isinf(y[1]))) return KEX_STATUS_OVERFLOW;
        return KEX_STATUS_OK;
    }
};

template <class Fn> constexpr int kGenericArgs = std::is_same_v<Fn, fn_Pow> ? 2 : 1;

}  // namespace ctransc

// One kernel per row serves all three slots (the table tags them HA).
#define KEX_CTRANSC_GENERIC_OPS(fn, routine, reports)                                                       \
    template <> struct OpFor<fn_##fn, acc_HA, OrvuComplex8> {                                               \
        using type = ctransc::GenericOp<float, fn_##fn, ctransc::kGenericArgs<fn_##fn>>;                    \
    };                                                                                                      \
    template <> struct OpFor<fn_##fn, acc_HA, OrvuComplex16> {                                              \
        using type = ctransc::GenericOp<double, fn_##fn, ctransc::kGenericArgs<fn_##fn>>;                   \
    };
KEX_CTRANSC_GENERIC_TABLE(KEX_CTRANSC_GENERIC_OPS)
#undef KEX_CTRANSC_GENERIC_OPS

}  // namespace KEX_LVL
}  // namespace kex
