// Single-precision Exp (LA, HA, EP) and Expm1.
//
//   HA, LA: e^x = 2^(k>>7) * 2^(j/128) * e^r with k = round(x * 128/ln2),
//     j = k & 127 and |r| <= ln2/256. The table holds T ~ 2^(j/128) as a float
//     and c with T (1 + c) ~ 2^(j/128) to about 48 bits; e^r is 1 + r + r^2/2
//     (the missing r^3/6 is below 2^-28 relative). HA: T (r + c + r^2/2) + T,
//     within 0.58 ulp; LA drops c and reads only T (within 1.05 ulp). The result is
//     scaled by adding k>>7 to its exponent field. A block of 8 with any
//     |x| >= 87.3365478515625 (the results leave the normal range) goes
//     element by element through _ScalarExp.
//   EP: 2^(x log2 e) = 2^k 2^f, |f| <= 1/2, 2^f a cubic; k added to the
//     exponent field. Lanes beyond the same bound go through vsexp_cout_rare.
//   Expm1: in double precision, e^x = 2^k (1 + p) with k = round(x / ln2),
//     p = e^r - 1 = r + r^2 q(r), |r| <= ln2/2, so e^x - 1 = 2^k p + (2^k - 1):
//     no cancellation for k = 0, where the result is r + r^2 q(r) and keeps
//     the relative accuracy of tiny and denormal arguments. The sign of x is
//     put back on the result (expm1 has the sign of its argument), which makes
//     expm1(-0) = -0. Lanes above 64 (e^x - 1 is e^x there to 2^-92) or with
//     |x| > 88.72283172607422 (NaN and the infinities included) go through
//     vsexpm1_cout_rare.
#pragma once

#include <cstdint>
#include <limits>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

// Scalar routines shared by every level: (argument, result) -> status.
//   _ScalarExp: one element of the HA/LA kernels, any argument (status 3 or 4).
//   vsexp_cout_rare: the special lanes of the EP kernel (status 3 or 4).
//   vsexpm1_cout_rare: the special lanes of Expm1 (status 3).
extern "C" {
[[gnu::visibility("hidden")]] int32_t _ScalarExp(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vsexp_cout_rare(const float* a, float* r);
[[gnu::visibility("hidden")]] int32_t vsexpm1_cout_rare(const float* a, float* r);
}

namespace kex {
namespace exp_single_data {
#include "kex/kernels/real/explog/exp_single_table.inc"
}  // namespace exp_single_data

namespace KEX_LVL {

// ---- table form (HA, LA and _ScalarExp) -------------------------------------------
// (T_j (r + c_j + r^2/2) + T_j) 2^(k>>7); without c_j when !kCorr. With
// kLowScale the power of two is 2^((k>>7) - 1), for results up to 2^128 that
// the caller doubles.
template <class V, bool kCorr, bool kLowScale = false>
[[gnu::always_inline]] inline V exp_s128(V x) {
    const V shifter = V::splat(0x1.6p+23f);             // 1.375 * 2^23: k in the low bits of t
    const V t = x * V::splat(0x1.715476p+7f) + shifter;  // 128/ln2
    const V n = shifter - t;                             // -k, exact
    // ln2/128 = hi + lo; n * hi is exact (9 + 14 bits) and so is x + n * hi.
    const V r = (x + n * V::splat(0x1.63p-8f)) + n * V::splat(-0x1.bd0106p-20f);
    const V idx = bit_and(bits_shl<1>(t), splat_bits<V>(0xFEu));       // 2j: the pair of entry j
    V e = bit_and(bits_shl<16>(t), splat_bits<V>(0xFF800000u));         // (k >> 7) << 23
    if constexpr (kLowScale) e = bits_sub(e, splat_bits<V>(0x00800000u));
    V T, c{};
    if constexpr (kCorr) gather_pairs(exp_single_data::kExpS128, idx, T, c);
    else T = gather(exp_single_data::kExpS128, idx);
    const V half_r2 = r * (V::splat(0.5f) * r);
    V p;
    if constexpr (kCorr) p = (r + c) + half_r2;
    else p = r + half_r2;
    // T p + T lies in [0.99, 2.02): the scaling goes into its exponent field
    // afterwards, so that no product is ever denormal (a slow operand).
    return bits_add(T * p + T, e);
}

// Magnitude bits of the arguments whose results are normal floats.
constexpr uint32_t kExpSFastMax = 0x42AEAC4Fu;  // 87.33654022216797

template <bool kCorr>
struct ExpSTableOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    static constexpr bool kWholeBlock = true;  // 2 x 4 = 8 floats
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = exp_s128<V, kCorr>(x[0]);
        return bits_gt(abs(x[0]), splat_bits<V>(kExpSFastMax));
    }
    int rare(const float* x, float* y) const { return _ScalarExp(x, y); }
};

// ---- polynomial form (EP) -----------------------------------------------------------
template <class V>
[[gnu::always_inline]] inline V exp_s_ep(V x) {
    const V shifter = V::splat(0x1.8p+23f);  // 1.5 * 2^23
    const V y = x * V::splat(0x1.715476p+0f);
    const V t = y + shifter;
    const V f = y - (t - shifter);
    const V p = ((V::splat(0x1.c6b056p-5f) * f + V::splat(0x1.efacd4p-3f)) * f + V::splat(0x1.62e844p-1f)) * f +
                V::splat(1.0f);
    return bits_add(p, bits_shl<23>(t));  // k << 23 into the exponent field
}

struct ExpSEpOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = exp_s_ep(x[0]);
        return bits_gt(abs(x[0]), splat_bits<V>(kExpSFastMax));
    }
    int rare(const float* x, float* y) const { return vsexp_cout_rare(x, y); }
};

// ---- double-precision form (Expm1, denormal results of Exp) -------------------------
// e^x = s (1 + p): s = 2^k, k = round(x / ln2) (|k| <= 1022), p = e^r - 1.
template <class W> struct ExpSplit { W s, p; };

template <class W>
[[gnu::always_inline]] inline ExpSplit<W> exp_split(W x) {
    const W shifter = W::splat(0x1.8p+52);
    const W t = x * W::splat(0x1.71547652b82fep+0) + shifter;  // 1/ln2
    const W n = t - shifter;
    // ln2 = hi + lo with n * hi exact for |n| < 2^20.
    const W r = (x - n * W::splat(0x1.62e42feep-1)) - n * W::splat(0x1.a39ef35793c76p-33);
    // q from tools/sollya/exp_single.sollya: |r + r^2 q(r) - (e^r - 1)| <= 2^-30.87 |e^r - 1|.
    const W q = ((((W::splat(0x1.a072cb2dabecbp-13) * r + W::splat(0x1.6d42efe831d4ep-10)) * r +
                   W::splat(0x1.11114bec9160cp-7)) * r + W::splat(0x1.5554e93dfe755p-5)) * r +
                 W::splat(0x1.555555271efcap-3)) * r + W::splat(0x1.0000000b82801p-1);
    return {bits_add(W::splat(1.0), bits_shl<52>(t)), r + (r * r) * q};
}

template <class V>
[[gnu::always_inline]] inline V expm1_s(V x) {
    using W = Widened<V>;
    typename W::type d[W::parts];
    for (int h = 0; h < W::parts; ++h) {
        const auto e = exp_split(W::part(x, h));
        d[h] = e.s * e.p + (e.s - W::type::splat(1.0));
    }
    return bit_or(W::join(d), bit_and(x, V::splat(-0.0f)));
}

struct Expm1SOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        y[0] = expm1_s(x[0]);
        return bits_gt(abs(x[0]), splat_bits<V>(0x42B17217u)) | (x[0] > V::splat(64.0f));
    }
    int rare(const float* x, float* y) const { return vsexpm1_cout_rare(x, y); }
};

template <> struct OpFor<fn_Exp, acc_HA, float> { using type = ExpSTableOp<true>; };
template <> struct OpFor<fn_Exp, acc_LA, float> { using type = ExpSTableOp<false>; };
template <> struct OpFor<fn_Exp, acc_EP, float> { using type = ExpSEpOp; };
template <> struct OpFor<fn_Expm1, acc_HA, float> { using type = Expm1SOp; };

// A product computed at run time, so that it raises its exception flags.
inline float runtime_product(float a, float b) {
    fence_scalar(a);
    return a * b;
}

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_explog)
extern "C" {

int32_t _ScalarExp(const float* a, float* r) {
    using namespace kex::KEX_LVL;
    using L = std::numeric_limits<float>;
    const float x = *a;
    const uint32_t b = bits_of(x), m = b & 0x7FFFFFFFu;
    if (m >= 0x7F800000u) {  // NaN: quieted; +inf; -inf gives +0 without a report
        *r = x == -L::infinity() ? 0.0f : x + x;
        return KEX_STATUS_OK;
    }
    if (m <= kExpSFastMax) {
        *r = exp_s128<F32x1, true>(F32x1{x}).v;
        return KEX_STATUS_OK;
    }
    if (b < 0x80000000u) {
        if (b >= 0x42B17218u) {  // 88.72283935546875: above the largest float
            *r = runtime_product(L::max(), L::max());
            return KEX_STATUS_OVERFLOW;
        }
        *r = 2.0f * exp_s128<F32x1, true, true>(F32x1{x}).v;  // 2^(k>>7) itself may be 2^128
        return KEX_STATUS_OK;
    }
    if (b >= 0xC2CE8ED1u) {  // -103.27893829345703 and below
        *r = runtime_product(L::min(), L::min());
        return KEX_STATUS_UNDERFLOW;
    }
    // Denormal results: e^x in double precision, rounded once to float.
    const auto e = exp_split(F64x1{static_cast<double>(x)});
    *r = static_cast<float>((e.s + e.s * e.p).v);
    return KEX_STATUS_UNDERFLOW;
}

int32_t vsexp_cout_rare(const float* a, float* r) {
    using namespace kex::KEX_LVL;
    using L = std::numeric_limits<float>;
    const float x = *a;
    if ((bits_of(x) & 0x7F800000u) == 0x7F800000u) {
        *r = x == -L::infinity() ? 0.0f : x * x;
        return KEX_STATUS_OK;
    }
    if (x > 0x1.62e42ep+6f) {  // 88.72283172607422
        *r = runtime_product(L::max(), L::max());
        return KEX_STATUS_OVERFLOW;
    }
    if (x < -0x1.9fe368p+6f) {  // -103.97207641601562
        *r = runtime_product(L::denorm_min(), L::denorm_min());
        return KEX_STATUS_UNDERFLOW;
    }
    const float shifter = 0x1.8p+23f;
    const float t = x * 0x1.715476p+0f + shifter;
    const float n = t - shifter;
    const float v = (x - n * 0x1.62e4p-1f) - n * 0x1.7f7d1cp-20f;
    const float p =
        0x1.000002p+0f +
        ((((0x1.12a1dep-7f * v + 0x1.57636cp-5f) * v + 0x1.55538cp-3f) * v + 0x1.fffd0ap-2f) * v + 0x1.000002p+0f) * v;
    const int32_t k = static_cast<int16_t>(bits_of(t) & 0xFFFFu);
    if (x < -0x1.5d589ep+6f) {  // -87.33654022216797: a denormal result, scaled up and back once
        *r = p * from_bits<float>(static_cast<uint32_t>(k + 60 + 127) << 23) * 0x1p-60f;
        return KEX_STATUS_UNDERFLOW;
    }
    if (k + 127 > 254) {  // k >= -126 here; 2^k itself would not be a float
        *r = p * from_bits<float>(static_cast<uint32_t>(k - 1 + 127) << 23) * 2.0f;
        return KEX_STATUS_OK;
    }
    *r = p * from_bits<float>(static_cast<uint32_t>(k + 127) << 23);
    return KEX_STATUS_OK;
}

int32_t vsexpm1_cout_rare(const float* a, float* r) {
    using namespace kex::KEX_LVL;
    using L = std::numeric_limits<float>;
    const float x = *a;
    if (x != x || x == L::infinity()) {
        *r = x * x;
        return KEX_STATUS_OK;
    }
    if (x < 0.0f) {
        *r = -1.0f;
        return KEX_STATUS_OK;
    }
    if (x > 0x1.62e42ep+6f) {  // 88.72283172607422
        *r = runtime_product(L::max(), L::max());
        return KEX_STATUS_OVERFLOW;
    }
    // Large positive x: e^x (e^x - 1 in float), 2^(k/64) from a table of double pairs.
    const double xd = x, shifter = 0x1.8p+52;
    const double t = xd * 0x1.71547652b82fep+6 + shifter;  // 64/ln2
    const double n = t - shifter;
    const double v = (xd - n * 0x1.62e42fefa0000p-7) - n * 0x1.cf79abc9e3b3ap-46;
    const double p =
        ((((0x1.6c16a1c2a3ffdp-10 * v + 0x1.111123aaf20d3p-7) * v + 0x1.5555555558fccp-5) * v +
          0x1.55555555548f8p-3) * v + 0.5) * (v * v) + v;
    const uint32_t k = static_cast<uint32_t>(bits_of(t));
    const double* T = kex::exp_single_data::kExpD64 + 2 * (k & 63u);
    const double scale = from_bits<double>(static_cast<uint64_t>((static_cast<int32_t>(k) >> 6) + 1023) << 52);
    *r = static_cast<float>(((p * (T[0] + T[1]) + T[1]) + T[0]) * scale);
    return KEX_STATUS_OK;
}

}  // extern "C"
#endif
