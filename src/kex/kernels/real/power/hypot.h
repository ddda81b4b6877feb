// Hypot: sqrt(x^2 + y^2) without intermediate overflow or underflow.
//   single: in double, where neither square can overflow or underflow; the
//       sum and the root round twice there (2^-52), once more to float.
//   double: a = max(|x|, |y|) and b = min are scaled by 2^-E (E the
//       exponent of a, 2^-1022 for the top binade) into a in [1, 4); a b
//       below 2^-60 a is dropped (b^2 / a^2 < 2^-120). LA/EP: the root of the
//       rounded sum times 2^E. HA: both squares and their sum as an exact
//       pair (Dekker), h = sqrt(hi) corrected by (hi - h^2 + lo) / 2h with
//       h^2 again exact, so one rounding remains.
// Lanes with an infinite or NaN component (inf wins over NaN), and in double
// those with a below 2^-1022, go to the special-value routines, which work
// in double (single) or extended precision (double). No reports.
#pragma once

#include <cmath>
#include <cstdint>

#include "kex/kernels/real/power/common.h"
#include "kex/kernels/tags.h"

extern "C" {
// (x, y, result) -> status 0.
__attribute__((visibility("hidden"))) int32_t hypot_scalar(const double* a, const double* b, double* r);
__attribute__((visibility("hidden"))) int32_t vdhypot_cout_rare(const double* a, const double* b, double* r);
__attribute__((visibility("hidden"))) int32_t vshypot_cout_rare(const float* a, const float* b, float* r);
}

namespace kex {
namespace KEX_LVL {
namespace phypot {

struct SingleOp : PolicyBase<float, 2, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        using Wd = Widened<V>;
        using W = typename Wd::type;
        W out[Wd::parts];
        for (int k = 0; k < Wd::parts; ++k) {
            const W a = Wd::part(x[0], k), b = Wd::part(x[1], k);
            out[k] = sqrt(a * a + b * b);
        }
        y[0] = Wd::join(out);
        return bits_gt(abs(x[0]), splat_bits<V>(0x7F7FFFFFu)) | bits_gt(abs(x[1]), splat_bits<V>(0x7F7FFFFFu));
    }
    int rare(const float* x, float* y) const { return vshypot_cout_rare(x, x + 1, y); }
};

template <Flavour F>
struct DoubleOp : PolicyBase<double, 2, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[2], V (&y)[1]) const {
        const V ax = abs(x[0]), ay = abs(x[1]);
        const typename V::mask swap = ax < ay;
        const V a = select(swap, ay, ax), b = select(swap, ax, ay);
        // 2^-E and 2^E from the exponent field of a; the top binade uses 2^-1022.
        const V field = bit_and(a, splat_bits<V>(0x7FF0000000000000ull));
        const typename V::mask top = a >= V::splat(0x1p1023);
        const V s = select(top, V::splat(0x1p-1022), bits_sub(splat_bits<V>(0x7FE0000000000000ull), field));
        const V back = select(top, V::splat(0x1p1022), field);
        const V as = a * s;
        V bs = b * s;
        bs = select(bs < as * V::splat(0x1p-60), V::splat(0.0), bs);
        if constexpr (F == Flavour::HA) {
            V p, pl, q, ql;
            pw::two_prod(as, as, p, pl);
            pw::two_prod(bs, bs, q, ql);
            const V hi = p + q;                      // p >= q
            const V lo = ((p - hi) + q) + (pl + ql);
            const V h = sqrt(hi);
            V hh, hl;
            pw::two_prod(h, h, hh, hl);
            const V d = ((hi - hh) - hl) + lo;       // hi - hh is exact
            y[0] = (h + d * V::splat(0.5) / h) * back;
        } else {
            y[0] = sqrt(as * as + bs * bs) * back;
        }
        return pw::outside(a, 0x1p-1022, 0x1.fffffffffffffp1023) | unordered(b, b);
    }
    int rare(const double* x, double* y) const { return vdhypot_cout_rare(x, x + 1, y); }
};

}  // namespace phypot

template <> struct OpFor<fn_Hypot, acc_HA, float> { using type = phypot::SingleOp; };
template <> struct OpFor<fn_Hypot, acc_LA, float> { using type = phypot::SingleOp; };
template <> struct OpFor<fn_Hypot, acc_EP, float> { using type = phypot::SingleOp; };
template <> struct OpFor<fn_Hypot, acc_HA, double> { using type = phypot::DoubleOp<Flavour::HA>; };
template <> struct OpFor<fn_Hypot, acc_LA, double> { using type = phypot::DoubleOp<Flavour::LA>; };
template <> struct OpFor<fn_Hypot, acc_EP, double> { using type = phypot::DoubleOp<Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2)
extern "C" {

__attribute__((visibility("hidden"))) int32_t hypot_scalar(const double* a, const double* b, double* r) {
    const double x = *a, y = *b;
    if (std::isinf(x) || std::isinf(y)) return *r = INFINITY, KEX_STATUS_OK;
    if (std::isnan(x) || std::isnan(y)) return *r = x + y, KEX_STATUS_OK;
    // Extended precision: 64-bit significands and an exponent range that
    // holds every square; one rounding to double at the end.
    const long double xl = x, yl = y;
    *r = static_cast<double>(sqrtl(xl * xl + yl * yl));
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vdhypot_cout_rare(const double* a, const double* b, double* r) {
    return hypot_scalar(a, b, r);
}

__attribute__((visibility("hidden"))) int32_t vshypot_cout_rare(const float* a, const float* b, float* r) {
    const double x = *a, y = *b;
    double h = 0;
    hypot_scalar(&x, &y, &h);
    *r = static_cast<float>(h);
    return KEX_STATUS_OK;
}

}  // extern "C"
#endif
