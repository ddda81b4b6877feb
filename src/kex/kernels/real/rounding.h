// Rounding to integral values: Floor, Ceil, Trunc, Rint, NearbyInt (one
// rounding operation per lane, simd.h), Round (half away from zero), Frac
// and Modf (integer and fractional parts, both with the sign of a).
// NaN gives a quiet NaN, zeros and infinities keep their sign; nothing is
// reported.
#pragma once

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

namespace kex {
namespace KEX_LVL {

// The control-register rounding a float kernel runs with; the double kernels
// all run with round to nearest, their instruction carrying its own direction.
template <class T> constexpr uint32_t float_only(uint32_t rc) { return sizeof(T) == 4 ? rc : kRoundNearest; }

// 8 elements per block.
template <class T> constexpr int kEightPerBlock = sizeof(T) == 4 ? 2 : 4;

template <class T, Rnd R, uint32_t RC, Env E = Env::Managed>
struct RoundIntOp : PolicyBase<T, 1, 1> {
    static constexpr int unroll = kEightPerBlock<T>;
    static constexpr Env kEnv = E;
    static constexpr uint32_t kRounding = RC;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = round_int<R>(x[0]);
        return V::mask::none();
    }
};

// Round: t = |a| to nearest even, one more when |a| - t is exactly 0.5, the
// sign of a put back. 0.49999999999999994 rounds to 0 (the difference is not
// 0.5), 2.5 to 3, -0.5 to -1.
template <class T>
struct RoundHalfAwayOp : PolicyBase<T, 1, 1> {
    static constexpr int unroll = kEightPerBlock<T>;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V s = bit_and(x[0], V::splat(T(-0.0)));
        const V m = abs(x[0]);
        const V t = round_int<Rnd::Nearest>(m);
        const V up = select((m - t) == V::splat(T(0.5)), V::splat(T(1)), V::splat(T(0)));
        y[0] = bit_or(t + up, s);
        return V::mask::none();
    }
};

// Frac: a - trunc(a) with the sign of a OR-ed in (Frac(-3) = -0). Lanes with
// the exponent field all ones (inf, NaN) go through rare(); they are exactly
// the lanes where a - trunc(a) is a NaN (inf - inf, or a NaN passed on), so
// one unordered test on the difference finds them.
template <class T>
struct FracOp : PolicyBase<T, 1, 1> {
    static constexpr int unroll = kEightPerBlock<T>;
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        const V d = x[0] - round_int<Rnd::Trunc>(x[0]);
        y[0] = bit_or(d, bit_and(x[0], V::splat(T(-0.0))));
        return unordered(d, d);
    }
    int rare(const T* x, T* y) const {
        const T a = x[0];  // an infinity or a NaN
        y[0] = a != a ? a + a : std::copysign(T(0), a);
        return KEX_STATUS_OK;
    }
};

// Modf under round-toward-zero: for |a| < 2^52 (2^23), (|a| + 2^52) - 2^52
// is |a| truncated, exactly; the fraction is |a| minus that. Larger values,
// infinities and NaNs go through rare().
template <class T>
struct ModfOp : PolicyBase<T, 1, 2> {
    static constexpr uint32_t kRounding = kRoundTowardZero;
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[2]) const {
        const V big = V::splat(kIntegralFrom<T>);
        const V s = bit_and(x[0], V::splat(T(-0.0)));
        const V m = abs(x[0]);
        const V t = (m + big) - big;
        y[0] = bit_or(t, s);
        y[1] = bit_or(m - t, s);
        return unordered(x[0], x[0]) | (m >= big);
    }
    int rare(const T* x, T* y) const {
        const T a = x[0];
        if (a != a) {
            y[0] = y[1] = a + a;
        } else {
            y[0] = a;
            y[1] = std::copysign(T(0), a);
        }
        return KEX_STATUS_OK;
    }
};

template <class T> struct OpFor<fn_Floor, acc_HA, T> {
    using type = RoundIntOp<T, Rnd::Floor, float_only<T>(kRoundDown)>;
};
template <class T> struct OpFor<fn_Ceil, acc_HA, T> {
    using type = RoundIntOp<T, Rnd::Ceil, float_only<T>(kRoundUp)>;
};
template <class T> struct OpFor<fn_Trunc, acc_HA, T> {
    using type = RoundIntOp<T, Rnd::Trunc, float_only<T>(kRoundTowardZero)>;
};
// Rint and NearbyInt round in the caller's direction: they leave the control
// register alone.
template <class T> struct OpFor<fn_Rint, acc_HA, T> {
    using type = RoundIntOp<T, Rnd::Current, kRoundNearest, Env::Caller>;
};
template <class T> struct OpFor<fn_NearbyInt, acc_HA, T> {
    using type = RoundIntOp<T, Rnd::CurrentQuiet, kRoundNearest, Env::Caller>;
};
template <class T> struct OpFor<fn_Round, acc_HA, T> { using type = RoundHalfAwayOp<T>; };
template <class T> struct OpFor<fn_Frac, acc_HA, T> { using type = FracOp<T>; };
template <class T> struct OpFor<fn_Modf, acc_HA, T> { using type = ModfOp<T>; };

}  // namespace KEX_LVL
}  // namespace kex
