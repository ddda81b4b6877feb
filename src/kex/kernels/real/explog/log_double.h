// Double-precision Ln, Log10 and Log1p.
//
// One reduction serves all of them. x = 2^e m with m in [1, 2) meets the node
// 1 + j/512, j the top ten mantissa bits rounded to nine (513 nodes; j = 512
// is the node 2). The table (log_double_table.inc) holds rcp_j, 1/node rounded
// to 24 bits, and -ln(rcp_j) as a head on the 2^-42 grid plus a tail:
//   ln x = e ln 2 - ln(rcp_j) + ln(1 + r),  r = m rcp_j - 1,  |r| < 2^-10 + 2^-22.
// The 29-bit head of m times rcp_j is exact, so r = rh + rl with rh exact and
// rl = (m - head) rcp_j good to 2^-81; at the nodes 1 and 2 (rcp 1 and 1/2)
// the entry's mask keeps all of m, rh is r itself and rl = 0. e ln2_hi +
// table head is exact too, and 0 for arguments next to 1 on either side.
//   HA: hi = (e ln2_hi + head) + rh split exactly (the sum's rounding error is
//       recovered), every other term in the tail; ln(1 + r) - r to degree 6.
//       About 0.5 ulp: the last rounding dominates.
//   LA: the same with a degree-5 polynomial (relative error 2^-54.7).
//   EP: r in one rounding, the table and ln 2 heads only, degree 3.
// Log10: HA multiplies hi + lo by 1/ln 10 with an exact head product
// (26-bit head of hi times a 27-bit head of 1/ln 10); LA and EP round the
// natural logarithm first and scale it.
// Log1p: u = 1 + x and d = x - (u - 1), the exact rounding error of u. The
// mantissa of 1 + x is m + d 2^-e, which adds d 2^-e rcp_j to r, so the
// reduction of u carries the whole argument; x = +-0 is returned as it is.
// Lanes outside the fast range (Ln, Log10: not positive normal; Log1p:
// x <= -1, +inf, NaN) go to the scalar routines below.
#pragma once

#include <cstdint>
#include <limits>

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"

// Scalar routines (argument, result) -> status, IEEE results for every
// argument; denormal arguments are scaled by 2^64 and keep the HA accuracy.
// +inf and NaN give x * x, status 0. Ln reports nothing (ln +-0 = -inf,
// ln of a negative number or -inf = NaN). Log10: +-0 gives -inf, status 2;
// negative arguments and -inf give NaN, status 1. Log1p: -1 gives -inf,
// status 2; arguments below -1 give NaN, status 1.
extern "C" {
__attribute__((visibility("hidden"))) int32_t _dLn_Scalar(const double* a, double* r);
__attribute__((visibility("hidden"))) int32_t vdlog10_cout_rare(const double* a, double* r);
__attribute__((visibility("hidden"))) int32_t vdlog1p_cout_rare(const double* a, double* r);
}

namespace kex {
namespace dlog_data {
#include "kex/kernels/real/explog/log_double_table.inc"
}  // namespace dlog_data

namespace KEX_LVL {
namespace dlog {

enum class Kind { Ln, Log10, Log1p };

// ln(1 + r) = r - r^2/2 + r^3 q(r) on |r| <= 2^-10 + 2^-22, coefficients of q
// from tools/sollya/log_double.sollya; relative errors of the whole sum:
// HA 2^-67.5, LA 2^-54.7, EP 2^-32.0.
inline constexpr double kQHa[] = {0x1.5555555555164p-2, -0x1.ffffffffff703p-3, 0x1.9999b3128a141p-3,
                                  -0x1.55556df922be4p-3};
inline constexpr double kQLa[] = {0x1.555555555530cp-2, -0x1.0000080100585p-2, 0x1.9999b076df53ep-3};
inline constexpr double kQEp = 0x1.55556223bc5afp-2;

inline constexpr uint64_t kMantissa = 0x000FFFFFFFFFFFFFull;
inline constexpr uint64_t kHead26 = 0xFFFFFFFFF8000000ull;  // 26 significant bits

// The reduced argument of x (positive normal; other lanes get a harmless
// garbage value and an index inside the table).
template <class V> struct Reduced {
    V e;                // the exponent, as a double
    V rcp, head, tail;  // entry j
    V rh, rl;           // m * rcp - 1 = rh + rl, rh exact (EP: rh rounded, rl unused)
};

template <Flavour F, class V> [[gnu::always_inline]] inline Reduced<V> reduce(V x) {
    const V mant = bit_and(x, splat_bits<V>(kMantissa));
    const V m = bit_or(mant, V::splat(1.0));
    // j = (top ten bits + 1) >> 1, times 4 doubles per entry.
    const V k = bits_shl<2>(bits_shr<43>(bits_add(mant, splat_bits<V>(1ull << 42))));
    const double* t = &dlog_data::kLnTable[0][0];
    Reduced<V> a;
    a.rcp = gather(t, k);
    a.head = gather(t + 1, k);
    if constexpr (F != Flavour::EP) a.tail = gather(t + 2, k);
    // The exponent field with the sign above it, as a double: 2^52 + field - (2^52 + 1023).
    a.e = bit_or(bits_shr<52>(x), V::splat(0x1p52)) - V::splat(0x1p52 + 1023.0);
    if constexpr (F == Flavour::EP) {
        a.rh = m * a.rcp - V::splat(1.0);
    } else {
        // m without the bits the entry's mask marks: 29 bits, so rh is exact
        // (all of m at the nodes 1 and 2, where rl is then 0).
        const V mh = bit_andnot(gather(t + 3, k), m);
        a.rh = mh * a.rcp - V::splat(1.0);
        a.rl = (m - mh) * a.rcp;
    }
    return a;
}

// ln x as hi + lo (HA, LA): hi = (e ln 2_hi + head) + rh rounded once, its
// rounding error recovered exactly (|e ln 2_hi + head| >= |rh| unless it is
// 0), lo all the rest. Where the result can fall below 2^-11, at the nodes 1
// and 2, rh is the whole reduced argument, exact, and rl = 0, so nothing
// small is lost in lo; elsewhere lo's roundings stay below 2^-80.
template <Flavour F, class V> [[gnu::always_inline]] inline void ln_parts(const Reduced<V>& a, V& hi, V& lo) {
    const V r = a.rh + a.rl;
    const V r2 = r * r;
    V q;
    if constexpr (F == Flavour::HA)
        q = (V::splat(kQHa[0]) + V::splat(kQHa[1]) * r) + (V::splat(kQHa[2]) + V::splat(kQHa[3]) * r) * r2;
    else
        q = V::splat(kQLa[0]) + (V::splat(kQLa[1]) + V::splat(kQLa[2]) * r) * r;
    const V p = r2 * (r * q - V::splat(0.5));  // ln(1 + r) - r
    const V t = a.e * V::splat(dlog_data::kLn2Hi) + a.head;  // exact
    const V tl = a.e * V::splat(dlog_data::kLn2Lo) + a.tail;
    hi = t + a.rh;
    lo = ((t - hi) + a.rh) + (tl + (a.rl + p));
}

// The logarithm of kind K from the reduction of x (Log1p: of 1 + x).
template <Kind K, Flavour F, class V> [[gnu::always_inline]] inline V finish(const Reduced<V>& a) {
    if constexpr (F == Flavour::EP) {
        const V r = a.rh;
        const V y = (a.e * V::splat(dlog_data::kLn2Hi) + a.head) +
                    (r + r * r * (V::splat(kQEp) * r - V::splat(0.5)));
        return K == Kind::Log10 ? y * V::splat(dlog_data::kInvLn10) : y;
    } else {
        V hi, lo;
        ln_parts<F>(a, hi, lo);
        if constexpr (K != Kind::Log10) {
            return hi + lo;
        } else if constexpr (F == Flavour::LA) {
            return (hi + lo) * V::splat(dlog_data::kInvLn10);
        } else {
            const V kh = V::splat(dlog_data::kInvLn10Hi);
            const V hh = bit_and(hi, splat_bits<V>(kHead26));
            return hh * kh + (((hi - hh) * kh + hi * V::splat(dlog_data::kInvLn10Lo)) +
                              lo * V::splat(dlog_data::kInvLn10));
        }
    }
}

// The lanes whose argument (Log1p: 1 + x) is not a positive normal number:
// e outside -1022..1023 (zero and denormals -1023, infinities and NaN 1024,
// negative numbers 1025 and more, the sign bit being read with the field).
template <class V> [[gnu::always_inline]] inline typename V::mask outside(const Reduced<V>& a) {
    return (a.e > V::splat(1023.5)) | (a.e < V::splat(-1022.5));
}

template <Kind K, Flavour F, class V> [[gnu::always_inline]] inline V compute(V x, typename V::mask& special) {
    if constexpr (K != Kind::Log1p) {
        const Reduced<V> a = reduce<F>(x);
        special = outside(a);
        return finish<K, F>(a);
    } else {
        const V one = V::splat(1.0);
        const V u = one + x;
        V d;  // the rounding error of u
        if constexpr (F == Flavour::HA) {
            const V xs = u - one, ones = u - xs;  // exact for every x (the sum 1 + x rebuilt both ways)
            d = (x - xs) + (one - ones);
        } else {
            d = x - (u - one);  // exact while u < 2^53, and past that below 2^-52 of the result
        }
        Reduced<V> a = reduce<F>(u);
        // 2^-e from the exponent field of u (0 for u >= 2^1023, where d is
        // far below the result's last bit anyway).
        const V field = bit_and(u, splat_bits<V>(0x7FF0000000000000ull));
        const V scale = bits_sub(splat_bits<V>(0x7FE0000000000000ull), field);
        const V c = d * scale * a.rcp;
        if constexpr (F == Flavour::EP) {
            a.rh = a.rh + c;
        } else {
            // rh + c with its rounding error moved to rl (|c| <= 2^-53 <= |rh|
            // or rh = 0). At the nodes 1 and 2 the sum is exact, rl stays 0.
            const V rc = a.rh + c;
            a.rl = a.rl + ((a.rh - rc) + c);
            a.rh = rc;
        }
        special = outside(a);  // x <= -1, +inf, NaN
        return select(x == V::splat(0.0), x, finish<K, F>(a));
    }
}

// The scalar path of every kernel of kind K: IEEE results and statuses, HA
// accuracy for the positive arguments that reach it.
template <Kind K> int32_t scalar(double x, double* r) {
    if (x != x || x == std::numeric_limits<double>::infinity()) {
        *r = x * x;
        return KEX_STATUS_OK;
    }
    const bool report = K != Kind::Ln;
    const double pole = K == Kind::Log1p ? -1.0 : 0.0;
    if (x == pole) {
        *r = -1.0 / std::fabs(x - pole);  // -inf, with the division-by-zero flag
        return report ? KEX_STATUS_SING : KEX_STATUS_OK;
    }
    if (x < pole) {
        const double z = x - x;  // NaN with the invalid flag (0/0, or inf - inf)
        *r = z / z;
        return report ? KEX_STATUS_ERRDOM : KEX_STATUS_OK;
    }
    if constexpr (K == Kind::Log1p) {
        M1 unused;
        *r = compute<K, Flavour::HA>(X1<double>{x}, unused).v;
    } else {
        const bool tiny = x < std::numeric_limits<double>::min();
        Reduced<X1<double>> a = reduce<Flavour::HA>(X1<double>{tiny ? x * 0x1p64 : x});
        if (tiny) a.e.v -= 64;
        *r = finish<K, Flavour::HA>(a).v;
    }
    return KEX_STATUS_OK;
}

template <Kind K, Flavour F>
struct LogOp : PolicyBase<double, 1, 1> {
    static constexpr bool kHasSpecial = true;
    template <class V>
    typename V::mask fast(const V (&x)[1], V (&y)[1]) const {
        typename V::mask special;
        y[0] = compute<K, F>(x[0], special);
        return special;
    }
    int rare(const double* x, double* y) const {
        if constexpr (K == Kind::Ln) return _dLn_Scalar(x, y);
        else if constexpr (K == Kind::Log10) return vdlog10_cout_rare(x, y);
        else return vdlog1p_cout_rare(x, y);
    }
};

}  // namespace dlog

// Ln has no LA kernel of its own: its LA slot holds the HA kernel.
template <> struct OpFor<fn_Ln, acc_HA, double> { using type = dlog::LogOp<dlog::Kind::Ln, Flavour::HA>; };
template <> struct OpFor<fn_Ln, acc_EP, double> { using type = dlog::LogOp<dlog::Kind::Ln, Flavour::EP>; };
template <> struct OpFor<fn_Log10, acc_LA, double> { using type = dlog::LogOp<dlog::Kind::Log10, Flavour::LA>; };
template <> struct OpFor<fn_Log10, acc_HA, double> { using type = dlog::LogOp<dlog::Kind::Log10, Flavour::HA>; };
template <> struct OpFor<fn_Log10, acc_EP, double> { using type = dlog::LogOp<dlog::Kind::Log10, Flavour::EP>; };
template <> struct OpFor<fn_Log1p, acc_LA, double> { using type = dlog::LogOp<dlog::Kind::Log1p, Flavour::LA>; };
template <> struct OpFor<fn_Log1p, acc_HA, double> { using type = dlog::LogOp<dlog::Kind::Log1p, Flavour::HA>; };
template <> struct OpFor<fn_Log1p, acc_EP, double> { using type = dlog::LogOp<dlog::Kind::Log1p, Flavour::EP>; };

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_explog)
extern "C" {
int32_t _dLn_Scalar(const double* a, double* r) {
    return kex::KEX_LVL::dlog::scalar<kex::KEX_LVL::dlog::Kind::Ln>(*a, r);
}
int32_t vdlog10_cout_rare(const double* a, double* r) {
    return kex::KEX_LVL::dlog::scalar<kex::KEX_LVL::dlog::Kind::Log10>(*a, r);
}
int32_t vdlog1p_cout_rare(const double* a, double* r) {
    return kex::KEX_LVL::dlog::scalar<kex::KEX_LVL::dlog::Kind::Log1p>(*a, r);
}
}
#endif
