// Pow3o2: x^(3/2) = x sqrt(x); a negative argument (also -inf) is a domain
// error (NaN, status 1) in every flavour.
//   single: HA in double (two roundings there, one to float); LA/EP in float
//       (at most about 1.5 ulp).
//   double HA: s = sqrt(x) and its residual d = x - s^2 from Dekker's
//       product, so sqrt(x) = s + d / (2s) to 2^-104 and
//       x^(3/2) = x s + s d / 2, with x s as an exact pair. Lanes outside
//       [2^-600, 2^680] (tiny or huge results, non-finite arguments) go to
//       vdpow3o2_cout_rare, which computes in extended precision.
//   double LA/EP: x sqrt(x) rounded twice; arguments above 2^681 also take
//       the special path, as the product may overflow where x^(3/2) does not.
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/real/power/common.h"
#include "kex/kernels/tags.h"

extern "C" {
// (argument, result) -> status: 1 for negative arguments, 0 otherwise.
__attribute__((visibility("hidden"))) int32_t vspow3o2_cout_rare(const float* a, float* r);
__attribute__((visibility("hidden"))) int32_t vdpow3o2_cout_rare(const double* a, double* r);
}

namespace kex {
namespace KEX_LVL {
namespace ppow3o2 {

template <Flavour F>
struct SingleOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F == Flavour::HA) {
            using Wd = Widened<V>;
            using W = typename Wd::type;
            W out[Wd::parts];
            for (int k = 0; k < Wd::parts; ++k) {
                const W xd = Wd::part(x[0], k);
                out[k] = xd * sqrt(xd);
            }
            y[0] = Wd::join(out);
        } else {
            y[0] = x[0] * sqrt(x[0]);
        }
        return x[0] < V::splat(0.0f);
    }
    int rare(const float* x, float* y) const { return vspow3o2_cout_rare(x, y); }
};

template <Flavour F>
struct DoubleOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V s = sqrt(x[0]);
        if constexpr (F == Flavour::HA) {
            V p, q, h, l;
            pw::two_prod(s, s, p, q);
            const V d = (x[0] - p) - q;  // x - p exact: p is within 2^-52 of x
            pw::two_prod(x[0], s, h, l);
            y[0] = h + (l + V::splat(0.5) * (s * d));
            return pw::outside(x[0], 0x1p-600, 0x1p680);
        } else {
            y[0] = x[0] * s;
            // Next to the overflow threshold the product's rounding decides.
            return (x[0] < V::splat(0.0)) | (x[0] > V::splat(0x1p681));
        }
    }
    int rare(const double* x, double* y) const { return vdpow3o2_cout_rare(x, y); }
};

}  // namespace ppow3o2

template <> struct OpFor<fn_Pow3o2, acc_HA, float> { using type = ppow3o2::SingleOp<Flavour::HA>; };
template <> struct OpFor<fn_Pow3o2, acc_LA, float> { using type = ppow3o2::SingleOp<Flavour::LA>; };
template <> struct OpFor<fn_Pow3o2, acc_EP, float> { using type = ppow3o2::SingleOp<Flavour::EP>; };
template <> struct OpFor<fn_Pow3o2, acc_HA, double> { using type = ppow3o2::DoubleOp<Flavour::HA>; };
template <> struct OpFor<fn_Pow3o2, acc_LA, double> { using type = ppow3o2::DoubleOp<Flavour::LA>; };
template <> struct OpFor<fn_Pow3o2, acc_EP, double> { using type = ppow3o2::DoubleOp<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" {

__attribute__((visibility("hidden"))) int32_t vspow3o2_cout_rare(const float* a, float* r) {
    const double x = *a;
    *r = static_cast<float>(x < 0 ? (x - x) / (x - x) : x * std::sqrt(x));
    return x < 0 ? KEX_STATUS_ERRDOM : KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vdpow3o2_cout_rare(const double* a, double* r) {
    const double x = *a;
    if (x < 0) {
        *r = (x - x) / (x - x);
        return KEX_STATUS_ERRDOM;
    }
    // 64-bit significands: the product is within 2^-62 relative before the
    // one rounding to double (also onto the denormal grid).
    const long double xl = x;
    *r = static_cast<double>(xl * sqrtl(xl));
    return KEX_STATUS_OK;
}

}  // extern "C"
#endif
