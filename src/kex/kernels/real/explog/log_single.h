// Single-precision Ln, Log10 and Log1p in three flavours.
//   HA: in double: ln u = e ln 2 + ln(node) + ln(1 + v) with 128 nodes
//       1 + j/128 (log_single_table.inc), v = m * rcp - 1 and
//       ln(1 + v) - v = v^2 times a quadratic; rounded once to float.
//   LA: float only, no table: m in [sqrt(1/2), sqrt(2)), f = m - 1 exact and
//       ln(1 + f) = f + f^2 P(f) with P of degree 7; e ln 2 in two parts.
//   EP: as LA with ln(1 + f) = f Q(f), Q of degree 4.
// Log10 scales the natural logarithm (in double for HA; e log10(2) in two
// parts for LA). Log1p forms u = 1 + x and carries the rounding error of that
// sum, d = x - (u - 1), into the reduced argument (LA/EP) or the result (HA).
// Lanes outside the fast range (zero, denormal, negative, infinite, NaN; for
// Log1p x <= -1, and for LA/EP x >= 2^126) go to the special-value routines,
// which compute in double precision and set the status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "kex/kernels/poly.h"
#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

// Special-value routines (argument, result) -> status: 1 for negative
// arguments and -inf (Log1p: below -1), 2 for the pole (+-0; Log1p: -1),
// 0 otherwise; +inf and NaN give x * x.
extern "C" {
__attribute__((visibility("hidden"))) int32_t vsln_cout_rare(const float* a, float* r);
__attribute__((visibility("hidden"))) int32_t vslog10_cout_rare(const float* a, float* r);
__attribute__((visibility("hidden"))) int32_t vslog1p_cout_rare(const float* a, float* r);
}

namespace kex {
namespace slog {

// {rcp, log high, log low} of the nodes 1 + j/128: rcp is 1/node to float
// precision, log high + log low = -ln(rcp), log high on the 2^-42 grid of
// the high part of ln 2, 0x1.62e42fefa38p-1 (their sum with e is exact).
alignas(64) inline constexpr double kTable[128][3] = {
#include "kex/kernels/real/explog/log_single_table.inc"
};

inline constexpr double kLn2 = 0x1.62e42fefa39efp-1;
inline constexpr double kLog10E = 0x1.bcb7b1526e50ep-2;

}  // namespace slog

namespace KEX_LVL {
namespace slog {

enum class Kind { Ln, Log10, Log1p };


// ---- HA: in double, with the table -----------------------------------------
// ln(1 + v) - v = v^2 (c2 + c3 v + c4 v^2) on |v| <= 2^-8, relative error of
// ln(1 + v) 2^-36.7 (tools/sollya/log_single.sollya).
inline constexpr double kHaPoly[3] = {-0x1.fffffffff7777p-2, 0x1.5555eeef4659cp-2, -0x1.000091116d8f8p-2};

// ln u for positive normal doubles u. The mantissa is rounded to 7 bits (a
// carry out of the mantissa moves into the exponent), so u = 2^e m with
// m within 2^-8 of the node 1 + j/128. For a float u the product m * rcp is
// exact and so is v; for a wider u the error of v is 2^-53. The low part of
// the node's logarithm (below 2^-43) is left out: the result is at least
// 2^-8 in magnitude whenever it is non-zero.
template <class W>
[[gnu::always_inline]] inline W ln_wide(W u) {
    const W ix = bits_add(u, splat_bits<W>(uint64_t{1} << 44));
    const W e = int_to_float(bits_shr<52>(ix)) - W::splat(1023.0);
    const W m = bits_sub(u, bits_sub(bit_and(ix, splat_bits<W>(0x7FF0000000000000u)),
                                     splat_bits<W>(0x3FF0000000000000u)));
    const W j = bit_and(bits_shr<45>(ix), splat_bits<W>(127));
    const W j3 = bits_add(j, bits_shl<1>(j));
    const W rcp = gather(&kex::slog::kTable[0][0], j3);
    const W lh = gather(&kex::slog::kTable[0][1], j3);
    const W v = m * rcp - W::splat(1.0);
    const W p = v + v * v * horner(v, kHaPoly);
    return (e * W::splat(kex::slog::kLn2) + lh) + p;
}

// Ln and Log10 of positive normal floats: the same reduction as ln_wide,
// done once on the float lanes; m, e and the table pairs {rcp, log high}
// are then widened to double.
template <Kind K, class V>
[[gnu::always_inline]] inline V ha_eval(V x) {
    using Wd = Widened<V>;
    using W = typename Wd::type;
    W out[Wd::parts];
    if constexpr (K == Kind::Log1p) {
        for (int k = 0; k < Wd::parts; ++k) {
            // 1 + x is exact in double unless |x| < 2^-29 or |x| > 2^29. The
            // lost part d (exact for |x| < 2) matters only in the first case,
            // where u ~ 1; for large x, d / u is below 2^-52 and is dropped.
            const W xd = Wd::part(x, k);
            const W u = W::splat(1.0) + xd;
            const W d = select(xd < W::splat(2.0), xd - (u - W::splat(1.0)), W::splat(0.0));
            out[k] = ln_wide(u) + d;
        }
    } else {
        const V ix = bits_add(x, splat_bits<V>(0x8000u));
        const V e = int_to_float(bits_sub(bits_shr<23>(ix), splat_bits<V>(127u)));
        const V m = bits_sub(x, bits_sub(bit_and(ix, splat_bits<V>(0x7F800000u)), splat_bits<V>(0x3F800000u)));
        const V j = bit_and(bits_shr<16>(ix), splat_bits<V>(127u));
        W rcp[Wd::parts], lh[Wd::parts];
        gather_pairs(&kex::slog::kTable[0][0], bits_add(j, bits_shl<1>(j)), rcp, lh);
        for (int k = 0; k < Wd::parts; ++k) {
            const W v = Wd::part(m, k) * rcp[k] - W::splat(1.0);  // exact
            const W p = v + v * v * horner(v, kHaPoly);
            const W l = (Wd::part(e, k) * W::splat(kex::slog::kLn2) + lh[k]) + p;
            out[k] = K == Kind::Log10 ? l * W::splat(kex::slog::kLog10E) : l;
        }
    }
    return Wd::join(out);
}

// ---- LA and EP: in float, no table --------------------------------------------
// ln(1 + f) = f + f^2 P(f) on [sqrt(1/2) - 1, sqrt(2) - 1], relative error
// 2^-24.0 (tools/sollya/log_single.sollya).
inline constexpr float kLaPoly[8] = {-0x1.fffffep-2f, 0x1.555636p-2f,  -0x1.000368p-2f, 0x1.9908ep-3f,
                                     -0x1.53a058p-3f, 0x1.2f9896p-3f, -0x1.22d028p-3f, 0x1.6b8e16p-4f};
// ln(1 + f) = f Q(f) on the same interval, relative error 2^-14.3.
inline constexpr float kEpPoly[5] = {0x1.fffb92p-1f, -0x1.ff6ffcp-2f, 0x1.587628p-2f, -0x1.1572f6p-2f,
                                     0x1.69a4eap-3f};
// ln 2 and log10(2) as a high part of at most 15 bits (e times it is exact
// for every float exponent) and the float nearest to the rest.
inline constexpr float kLn2Hi = 0x1.62e4p-1f, kLn2Lo = 0x1.7f7d1cp-20f;
inline constexpr float kLg2Hi = 0x1.344p-2f, kLg2Lo = 0x1.3509f8p-18f;
inline constexpr float kLog10EF = 0x1.bcb7b2p-2f;

// x = 2^k m with m in [sqrt(1/2), sqrt(2)) for positive normal x; k as the
// integer lane pattern.
template <class V> struct Split {
    V k, m;
};
template <class V>
[[gnu::always_inline]] inline Split<V> split(V x) {
    const V k = bits_sra<23>(bits_sub(x, splat_bits<V>(0x3F3504F3u)));
    return {k, bits_sub(x, bits_shl<23>(k))};
}

template <Kind K, Flavour F, class V>
[[gnu::always_inline]] inline V low_eval(V x) {
    const V one = V::splat(1.0f);
    V f, e;
    if constexpr (K == Kind::Log1p) {
        // u = 1 + x rounded; d = 1 + x - u exactly. With 1 + x = 2^k (m + d 2^-k)
        // the reduced argument is f = (m - 1) + d 2^-k (k <= 126 on this path).
        const V u = one + x;
        const V d = x - (u - one);
        const Split<V> s = split(u);
        const V scale = bits_sub(splat_bits<V>(0x3F800000u), bits_shl<23>(s.k));
        e = int_to_float(s.k);
        f = (s.m - one) + d * scale;
    } else {
        const Split<V> s = split(x);
        e = int_to_float(s.k);
        f = s.m - one;
    }
    V r;
    if constexpr (F == Flavour::EP) {
        r = e * V::splat(kLn2Hi + kLn2Lo) + f * horner(f, kEpPoly);
        if constexpr (K == Kind::Log10) r = r * V::splat(kLog10EF);
    } else {
        const V q = f * f * horner(f, kLaPoly);
        if constexpr (K == Kind::Log10)
            r = e * V::splat(kLg2Hi) + ((f + q) * V::splat(kLog10EF) + e * V::splat(kLg2Lo));
        else
            r = e * V::splat(kLn2Hi) + (f + (q + e * V::splat(kLn2Lo)));
    }
    return r;
}

// Lanes for the special-value routine.
template <Kind K, Flavour F, class V>
[[gnu::always_inline]] inline typename V::mask special(V x) {
    if constexpr (K == Kind::Log1p) {
        // x <= -1, infinities and NaNs; float-only flavours also x >= 2^126,
        // where 2^-k of the reduction is no longer a normal float.
        const uint32_t top = F == Flavour::HA ? 0x7F7FFFFFu : 0x7E7FFFFFu;
        return (x <= V::splat(-1.0f)) | bits_gt(abs(x), splat_bits<V>(top));
    } else {
        // Everything but the positive normal numbers (as signed patterns).
        return bits_gt(splat_bits<V>(0x00800000u), x) | bits_gt(x, splat_bits<V>(0x7F7FFFFFu));
    }
}

template <Kind K, Flavour F>
struct LogOp : PolicyBase<float, 1, 1> {
    static constexpr bool kHasSpecial = true;
    static constexpr int unroll = 4;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        if constexpr (F == Flavour::HA) y[0] = ha_eval<K>(x[0]);
        else y[0] = low_eval<K, F>(x[0]);
        // log1p(-0) is -0, which the sums of both paths turn into +0.
        if constexpr (K == Kind::Log1p) y[0] = select(x[0] == V::splat(0.0f), x[0], y[0]);
        return special<K, F>(x[0]);
    }
    int rare(const float* x, float* y) const {
        if constexpr (K == Kind::Ln) return vsln_cout_rare(x, y);
        else if constexpr (K == Kind::Log10) return vslog10_cout_rare(x, y);
        else return vslog1p_cout_rare(x, y);
    }
};

}  // namespace slog

template <> struct OpFor<fn_Ln, acc_HA, float> { using type = slog::LogOp<slog::Kind::Ln, Flavour::HA>; };
template <> struct OpFor<fn_Ln, acc_LA, float> { using type = slog::LogOp<slog::Kind::Ln, Flavour::LA>; };
template <> struct OpFor<fn_Ln, acc_EP, float> { using type = slog::LogOp<slog::Kind::Ln, Flavour::EP>; };
template <> struct OpFor<fn_Log10, acc_HA, float> { using type = slog::LogOp<slog::Kind::Log10, Flavour::HA>; };
template <> struct OpFor<fn_Log10, acc_LA, float> { using type = slog::LogOp<slog::Kind::Log10, Flavour::LA>; };
template <> struct OpFor<fn_Log10, acc_EP, float> { using type = slog::LogOp<slog::Kind::Log10, Flavour::EP>; };
template <> struct OpFor<fn_Log1p, acc_HA, float> { using type = slog::LogOp<slog::Kind::Log1p, Flavour::HA>; };
template <> struct OpFor<fn_Log1p, acc_LA, float> { using type = slog::LogOp<slog::Kind::Log1p, Flavour::LA>; };
template <> struct OpFor<fn_Log1p, acc_EP, float> { using type = slog::LogOp<slog::Kind::Log1p, Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

// The special-value routines, shared by every level, live in the SSE2 unit.
#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_explog)
namespace {

// ln x in double for a positive normal double x times 2^ecorr: near 1 a
// polynomial in u = x - 1, elsewhere the 128 nodes and the same polynomial in
// v = m * rcp - 1.
double slog_ln_double(double x, int ecorr) {
    constexpr double q[7] = {-0.5,
                             0.33333333333334386,
                             -0.25000000000003386,
                             0.19999999911565072,
                             -0.1666666651884978,
                             0.1428756883852146,
                             -0.1250214602960357};
    using U = kex::KEX_LVL::X1<double>;
    if (ecorr == 0 && x - 1.0 <= 0x1p-7 && 1.0 - x <= 0x1p-7) {
        const double u = x - 1.0;
        return kex::KEX_LVL::horner(U{u}, q).v * u * u + u;
    }
    const uint64_t ix = kex::KEX_LVL::bits_of(x) + (uint64_t{1} << 44);
    const double e = static_cast<double>(static_cast<int>(ix >> 52) - 1023 + ecorr);
    const double m = kex::KEX_LVL::from_bits<double>(kex::KEX_LVL::bits_of(x) - ((ix & 0x7FF0000000000000u) -
                                                                                  0x3FF0000000000000u));
    const double* t = kex::slog::kTable[(ix >> 45) & 127];
    const double v = m * t[0] - 1.0;  // exact for a float mantissa
    const double hi = e * 0.6931471805598903 + t[1];  // exact: both on the 2^-42 grid
    const double lo = e * 5.497923018708371e-14 + t[2];
    return hi + (lo + (kex::KEX_LVL::horner(U{v}, q).v * v * v + v));
}

// The cases shared by Ln and Log10: ln of a positive argument in double, or
// the special result and its status.
int32_t slog_classify(float x, float* r, double* ln) {
    if ((kex::KEX_LVL::bits_of(x) & 0x7F800000u) == 0x7F800000u) {
        if (x < 0) {
            *r = (x - x) / (x - x);  // -inf: NaN, invalid
            return KEX_STATUS_ERRDOM;
        }
        *r = x * x;  // +inf, or the quieted NaN
        return KEX_STATUS_OK;
    }
    if (x == 0) {  // also a denormal under denormals-are-zero
        *r = -1.0f / std::fabs(x);
        return KEX_STATUS_SING;
    }
    if (x < 0) {
        *r = (x - x) / (x - x);
        return KEX_STATUS_ERRDOM;
    }
    // A denormal is scaled into the normal range, its exponent corrected.
    const bool tiny = (kex::KEX_LVL::bits_of(x) & 0x7F800000u) == 0;
    *ln = slog_ln_double(tiny ? static_cast<double>(x * 0x1p60f) : static_cast<double>(x), tiny ? -60 : 0);
    return -1;
}

}  // namespace

extern "C" {

__attribute__((visibility("hidden"))) int32_t vsln_cout_rare(const float* a, float* r) {
    double ln = 0;
    const int32_t st = slog_classify(*a, r, &ln);
    if (st >= 0) return st;
    *r = static_cast<float>(ln);
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vslog10_cout_rare(const float* a, float* r) {
    double ln = 0;
    const int32_t st = slog_classify(*a, r, &ln);
    if (st >= 0) return st;
    *r = static_cast<float>(ln * kex::slog::kLog10E);
    return KEX_STATUS_OK;
}

__attribute__((visibility("hidden"))) int32_t vslog1p_cout_rare(const float* a, float* r) {
    const float x = *a;
    if (x != x || x == INFINITY) {
        *r = x * x;
        return KEX_STATUS_OK;
    }
    if (x == -1.0f) {
        *r = -1.0f / (x + 1.0f);
        return KEX_STATUS_SING;
    }
    if (x < -1.0f) {
        *r = (x - x) / (x - x);
        return KEX_STATUS_ERRDOM;
    }
    const double xd = x;
    if (std::fabs(xd) < 0x1p-29) {  // the next term, x^3/3, is below 2^-58 x
        *r = static_cast<float>(xd - xd * xd * 0.5);
        return KEX_STATUS_OK;
    }
    // 1 + x is exact here up to 2^29; above, the lost part is below 2^-52 u.
    *r = static_cast<float>(slog_ln_double(1.0 + xd, 0));
    return KEX_STATUS_OK;
}

}  // extern "C"
#endif
