// The measure of one element: the exact result from MPFR, what a kernel must
// return for it (the correctly rounded value, and which statuses are right),
// and the error of what it did return. Shared by the sampled and the
// exhaustive runs.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "functions.h"

namespace kex_acc {

enum class Shape : uint8_t { unary, binary, powx, two, other };

template <class T> struct Num;
template <> struct Num<float> {
    using Bits = uint32_t;
    static constexpr mpfr_prec_t prec = 96;  // far beyond float: the rounding below is correct
    static constexpr char type = 's';
    static void set(mpfr_ptr x, float v) { mpfr_set_flt(x, v, MPFR_RNDN); }
    static float get(mpfr_srcptr x) { return mpfr_get_flt(x, MPFR_RNDN); }
};
template <> struct Num<double> {
    using Bits = uint64_t;
    static constexpr mpfr_prec_t prec = 160;
    static constexpr char type = 'd';
    static void set(mpfr_ptr x, double v) { mpfr_set_d(x, v, MPFR_RNDN); }
    static double get(mpfr_srcptr x) { return mpfr_get_d(x, MPFR_RNDN); }
};

template <class T> typename Num<T>::Bits bits(T x) {
    typename Num<T>::Bits u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
template <class T> T from_bits(typename Num<T>::Bits u) {
    T x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}
// The same bits, or both NaN.
template <class T> bool same(T a, T b) { return (std::isnan(a) && std::isnan(b)) || bits(a) == bits(b); }

// An MPFR number that cleans up after itself.
struct Big {
    mpfr_t v;
    explicit Big(mpfr_prec_t p) { mpfr_init2(v, p); }
    ~Big() { mpfr_clear(v); }
    Big(const Big&) = delete;
    Big& operator=(const Big&) = delete;
    operator mpfr_ptr() { return v; }
};

// What a kernel must return for one element.
template <class T> struct Expect {
    T want[2];          // correctly rounded results; any NaN matches a NaN
    bool special;       // NaN, infinite or exact zero results: compared bit for bit
    uint8_t ok_status;  // bit k: reporting status k (0: none) is right
    bool finite_ok = false;  // rounds to infinity from a finite value: a finite result is measured instead
};

// The worst cases and counts of one kernel (or peer) over a set of elements.
struct Stats {
    double max_ulp = 0, max_rel = 0;
    double ulp_at[2] = {0, 0}, rel_at[2] = {0, 0};  // arguments of the maxima
    uint64_t measured = 0, rounded = 0;               // finite results measured; correctly rounded among them
    uint64_t specials = 0, bad_special = 0, bad_status = 0;
    std::string first_bad;  // the first wrong special value or status, for the log

    void merge(const Stats& o) {
        if (o.max_ulp > max_ulp) max_ulp = o.max_ulp, ulp_at[0] = o.ulp_at[0], ulp_at[1] = o.ulp_at[1];
        if (o.max_rel > max_rel) max_rel = o.max_rel, rel_at[0] = o.rel_at[0], rel_at[1] = o.rel_at[1];
        measured += o.measured, rounded += o.rounded, specials += o.specials;
        bad_special += o.bad_special, bad_status += o.bad_status;
        if (first_bad.empty()) first_bad = o.first_bad;
    }
    void error(double ulp, double rel, double a, double b) {
        if (!(ulp <= max_ulp)) max_ulp = ulp, ulp_at[0] = a, ulp_at[1] = b;
        if (!(rel <= max_rel)) max_rel = rel, rel_at[0] = a, rel_at[1] = b;
    }
    void bad(const char* what, double a, double b, double got, int code);
};

// Statuses as the kernels report them: 1 domain, 2 pole, 3 overflow, 4 underflow.
constexpr uint8_t kOnly0 = 1;
inline uint8_t allow(uint8_t listed, int status) {
    return (listed >> status & 1) ? static_cast<uint8_t>(1u << status) : kOnly0;
}

// The exact results of f at (a, b) into y[0], y[1] (scratch xa, xb) and what
// the kernels must return. listed: the statuses the function reports in T.
template <class T>
Expect<T> expect(const FnInfo& f, uint8_t listed, T a, T b, mpfr_ptr const* y, Big& xa, Big& xb) {
    using L = std::numeric_limits<T>;
    Num<T>::set(xa, a), Num<T>::set(xb, b);
    const bool binary = f.ref2 != nullptr;
    mpfr_clear_flags();
    if (f.ref1) f.ref1(y[0], xa, MPFR_RNDN);
    if (f.ref2) f.ref2(y[0], xa, xb, MPFR_RNDN);
    if (f.ref_two) f.ref_two(y[0], y[1], xa, MPFR_RNDN);
    const bool mpfr_over = mpfr_overflow_p(), mpfr_under = mpfr_underflow_p();
    const bool nan_arg = std::isnan(a) || (binary && std::isnan(b));
    const bool finite_args = std::isfinite(a) && (!binary || std::isfinite(b));

    Expect<T> e{{0, 0}, false, kOnly0};
    int status = 0;
    for (int k = 0; k < (f.ref_two ? 2 : 1); ++k) {
        mpfr_ptr v = y[k];
        const T r = Num<T>::get(v);
        e.want[k] = r;
        int s = 0;
        if (mpfr_nan_p(v)) {
            e.special = true, s = 1;
        } else if (mpfr_inf_p(v)) {
            e.special = true, s = !finite_args ? 0 : mpfr_over ? 3 : 2;
        } else if (mpfr_zero_p(v)) {
            e.special |= !mpfr_under, s = mpfr_under ? 4 : 0;
        } else if (std::isinf(r)) {
            e.special = e.finite_ok = true, s = 3;
        } else if (mpfr_get_exp(v) < L::min_exponent) {  // below the smallest normal
            s = 4;
        }
        if (!status) status = s;
    }
    if (nan_arg) status = 0;  // NaN in, NaN (or the C99 value) out, no report
    e.ok_status = allow(listed, status);
    if (status == 4 && std::fabs(e.want[0]) == L::min()) e.ok_status |= kOnly0;  // rounded up to normal
    if (f.rule == StatusRule::zero_divisor) {
        const T divisor = f.ref1 ? a : b;
        if (divisor == 0) e.ok_status = allow(listed, 2) | (nan_arg ? kOnly0 : 0);
    }
    return e;
}

// Error of a finite got against the exact y: in ulps of T at y (the denormal spacing
// below the normal range) and relative to max(|y|, smallest normal).
template <class T> void error_of(T got, mpfr_ptr y, Big& tmp, double& ulp, double& rel) {
    using L = std::numeric_limits<T>;
    const mpfr_exp_t e = mpfr_zero_p(y) ? L::min_exponent : std::max<mpfr_exp_t>(mpfr_get_exp(y), L::min_exponent);
    Num<T>::set(tmp, got);
    mpfr_sub(tmp, tmp, y, MPFR_RNDN);
    const double scale = std::max(std::fabs(mpfr_get_d(y, MPFR_RNDN)), static_cast<double>(L::min()));
    rel = std::fabs(mpfr_get_d(tmp, MPFR_RNDN)) / scale;
    mpfr_mul_2si(tmp, tmp, L::digits - e, MPFR_RNDN);
    ulp = std::fabs(mpfr_get_d(tmp, MPFR_RNDN));
}

// Adds one element to the statistics. code: the status the kernel reported
// (0 none; 0xFF more than one report); check_status off for peers.
template <class T>
void score(Stats& st, const Expect<T>& e, mpfr_ptr const* y, int outs, const T* got, int code, bool check_status, T a, T b,
           Big& tmp) {
    const bool finite = e.finite_ok && std::isfinite(got[0]);  // within the error bound of the edge, no report
    for (int k = 0; k < outs; ++k) {
        if (e.special && !finite) {
            ++st.specials;
            if (!same(got[k], e.want[k])) ++st.bad_special, st.bad("special value", a, b, got[k], code);
            continue;
        }
        if (!std::isfinite(got[k])) {  // a wrong value, not a measure
            ++st.bad_special, st.bad("non-finite value", a, b, got[k], code);
            continue;
        }
        double ulp, rel;
        error_of(got[k], y[k], tmp, ulp, rel);
        ++st.measured;
        st.rounded += same(got[k], e.want[k]);
        st.error(ulp, rel, a, b);
    }
    if (check_status && (code > 7 || !((finite ? kOnly0 : e.ok_status) >> code & 1))) ++st.bad_status, st.bad("status", a, b, got[0], code);
}

}  // namespace kex_acc
