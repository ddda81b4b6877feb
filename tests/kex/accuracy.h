// Accuracy of kernel results against exact values from MPFR at 256 bits, far
// beyond any kernel: in ulps of the result type and in correct bits.
#pragma once

#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kex_test {

// MPFR caches constants (log 2, pi) per thread; freeing them at exit keeps
// the leak checker's report clean.
inline struct FreeMpfrCache {
    ~FreeMpfrCache() { mpfr_free_cache(); }
} free_mpfr_cache;

struct Exact {  // a 256-bit MPFR number that cleans up after itself
    mpfr_t v;
    Exact() { mpfr_init2(v, 256); }
    explicit Exact(double d) : Exact() { mpfr_set_d(v, d, MPFR_RNDN); }
    ~Exact() { mpfr_clear(v); }
    Exact(const Exact&) = delete;
    operator mpfr_ptr() { return v; }
};

// The worst element of an array of results. Ulps are the spacing of T around
// the exact value (the denormals' spacing below the normal range); correct
// bits are -log2 of the largest relative error.
struct Accuracy {
    double max_ulp = 0, max_rel = 0;
    double bits() const { return max_rel == 0 ? 256 : -std::log2(max_rel); }
};

// ref(x, i) sets x to the exact result of element i (finite, non-zero).
template <class T, class Ref> Accuracy accuracy(const T* got, size_t n, Ref ref) {
    using L = std::numeric_limits<T>;
    Accuracy acc;
    Exact x, e;
    for (size_t i = 0; i < n; ++i) {
        ref(static_cast<mpfr_ptr>(x), i);
        if (!std::isfinite(got[i])) {
            acc.max_ulp = acc.max_rel = INFINITY;
            continue;
        }
        mpfr_set_d(e, static_cast<double>(got[i]), MPFR_RNDN);
        mpfr_sub(e, e, x, MPFR_RNDN);
        acc.max_rel = std::max(acc.max_rel, std::fabs(mpfr_get_d(e, MPFR_RNDN) / mpfr_get_d(x, MPFR_RNDN)));
        mpfr_mul_2si(e, e, L::digits - std::max<mpfr_exp_t>(mpfr_get_exp(x), L::min_exponent), MPFR_RNDN);
        acc.max_ulp = std::max(acc.max_ulp, std::fabs(mpfr_get_d(e, MPFR_RNDN)));
    }
    return acc;
}

}  // namespace kex_test
