// The zeros of ln |Gamma| on the negative axis that double arguments can
// resolve, with the Taylor series of ln |Gamma| around each.
//
// (-n-1, -n), n >= 2, holds two zeros, about 1/n! and 1/(n+1)! from its
// ends. Each is found by bisection of MPFR's lgamma. Around a zero z,
//   ln |Gamma(z + t)| = L(y + t) - sum_{j=0}^{J} ln |z + j + t|,
// y = z + J + 1 in [1.5, 2.5]; the series of L = ln Gamma around 2,
// a_1 = 1 - Euler's gamma, a_k = (-1)^k (zeta(k) - 1) / k, is moved to y
// (it converges within 2 of 2, here at the rate 1/4), and the logarithms add
// -(-1)^(k+1) / (k (z + j)^k) to the coefficient of t^k.
//
// The kernel uses the series for |t| < r, r = 2^-4 / |c_1|, where
// |ln |Gamma|| < about 2^-4 and the recurrence loses relative accuracy;
// outside, its result is large enough for the absolute error of the
// recurrence. The number of terms keeps the truncation below 2^-70 of the
// first term at t = r. A zero is listed when some double lies within r of it;
// past the last listed interval no double comes near a zero.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "table_gen.h"

namespace {

using kex_tables::Big;

constexpr int kTaylorTerms = 40;   // computed; the kernel keeps fewer
constexpr int kShiftTerms = 240;   // of L's series around 2 (rate 1/4: 2^-480)
constexpr int kLastInterval = 30;  // past where 1/n! is far below the spacing

std::string lit_ld(mpfr_ptr v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%LaL", mpfr_get_ld(v, MPFR_RNDN));
    return buf;
}

// Whether ln |Gamma(x)| > 0 (+inf at the poles).
bool positive(mpfr_ptr x) {
    Big y;
    int sign;
    mpfr_lgamma(y, &sign, x, MPFR_RNDN);
    return mpfr_sgn(y.v) > 0;
}

// The zero between lo and hi, one of them a pole.
void bisect(mpfr_ptr z, double lo, double hi) {
    Big a(lo), b(hi), m;
    if (positive(a)) mpfr_swap(a, b);  // a: negative side, b: toward the pole
    for (int i = 0; i < 250; ++i) {
        mpfr_add(m, a, b, MPFR_RNDN);
        mpfr_div_2ui(m, m, 1, MPFR_RNDN);
        if (positive(m)) mpfr_set(b, m, MPFR_RNDN);
        else mpfr_set(a, m, MPFR_RNDN);
    }
    mpfr_set(z, a, MPFR_RNDN);
}

// c[k - 1] multiplies t^k in ln |Gamma(z + t)|, z in (-n-1, -n).
void taylor(mpfr_ptr z, int n, std::vector<Big>& c) {
    Big y, e0;
    mpfr_add_si(y, z, n + 1, MPFR_RNDN);  // in (0, 1)
    const int shift = mpfr_cmp_d(y, 0.5) >= 0 ? 1 : 2;
    const int last_j = n + shift;
    mpfr_add_si(y, y, shift, MPFR_RNDN);
    mpfr_sub_ui(e0, y, 2, MPFR_RNDN);
    std::vector<Big> a(kShiftTerms + 1);
    mpfr_set_zero(a[0], 1);
    mpfr_const_euler(a[1], MPFR_RNDN);
    mpfr_ui_sub(a[1], 1, a[1], MPFR_RNDN);
    for (int k = 2; k <= kShiftTerms; ++k) {
        mpfr_zeta_ui(a[k], k, MPFR_RNDN);
        mpfr_sub_ui(a[k], a[k], 1, MPFR_RNDN);
        mpfr_div_ui(a[k], a[k], k, MPFR_RNDN);
        if (k % 2) mpfr_neg(a[k], a[k], MPFR_RNDN);
    }
    for (int m = 1; m <= kTaylorTerms; ++m) {
        Big s, term, binom, p;
        mpfr_set_zero(s, 1);
        mpfr_set_ui(binom, 1, MPFR_RNDN);  // C(k, m) from k = m
        mpfr_set_ui(p, 1, MPFR_RNDN);      // e0^(k - m)
        for (int k = m; k <= kShiftTerms; ++k) {
            mpfr_mul(term, a[k], binom, MPFR_RNDN);
            mpfr_mul(term, term, p, MPFR_RNDN);
            mpfr_add(s, s, term, MPFR_RNDN);
            mpfr_mul_ui(binom, binom, k + 1, MPFR_RNDN);
            mpfr_div_ui(binom, binom, k + 1 - m, MPFR_RNDN);
            mpfr_mul(p, p, e0, MPFR_RNDN);
        }
        for (int j = 0; j <= last_j; ++j) {  // - ln |z + j + t|
            mpfr_add_si(term, z, j, MPFR_RNDN);
            mpfr_pow_si(term, term, -m, MPFR_RNDN);
            mpfr_div_ui(term, term, m, MPFR_RNDN);
            if (m % 2) mpfr_sub(s, s, term, MPFR_RNDN);
            else mpfr_add(s, s, term, MPFR_RNDN);
        }
        mpfr_set(c[m - 1], s, MPFR_RNDN);
    }
    Big psi;  // the first coefficient is the digamma function
    mpfr_digamma(psi, z, MPFR_RNDN);
    mpfr_sub(psi, psi, c[0], MPFR_RNDN);
    mpfr_div(psi, psi, c[0], MPFR_RNDN);
    if (std::fabs(psi.d()) > 0x1p-200) throw std::runtime_error("gamma zeros: series disagrees with digamma");
}

struct Zero {
    double hi;
    Big lo, r;
    std::vector<Big> c = std::vector<Big>(kTaylorTerms);
    bool listed = false;
    int terms = 0;
};

void find(Zero& zr, int n, bool lower) {
    Big z;
    bisect(z, lower ? -n - 1 : -n - 0.5, lower ? -n - 0.5 : -n);
    taylor(z, n, zr.c);
    zr.hi = z.d();
    mpfr_sub_d(zr.lo, z, zr.hi, MPFR_RNDN);
    mpfr_set_d(zr.r, 0x1p-4, MPFR_RNDN);
    mpfr_div(zr.r, zr.r, zr.c[0], MPFR_RNDN);
    mpfr_abs(zr.r, zr.r, MPFR_RNDN);
    // Listed when the double nearest the zero is within r of it.
    Big gap;
    mpfr_abs(gap, zr.lo, MPFR_RNDN);
    zr.listed = mpfr_cmp(gap, zr.r) < 0;
    // Terms: the tail from term K + 1 on below 2^-70 of |c_1| r.
    Big first, tail, term, rk;
    mpfr_set_zero(tail, 1);
    mpfr_mul(first, zr.c[0], zr.r, MPFR_RNDN);
    mpfr_abs(first, first, MPFR_RNDN);
    mpfr_div_2ui(first, first, 70, MPFR_RNDN);
    for (int k = kTaylorTerms; k >= 1; --k) {
        mpfr_pow_ui(rk, zr.r, k, MPFR_RNDN);
        mpfr_mul(term, zr.c[k - 1], rk, MPFR_RNDN);
        mpfr_abs(term, term, MPFR_RNDN);
        mpfr_add(tail, tail, term, MPFR_RNDN);
        if (mpfr_cmp(tail, first) > 0) {
            zr.terms = k;
            break;
        }
    }
    // The last computed term must be far below the limit (geometric tail).
    mpfr_pow_ui(rk, zr.r, kTaylorTerms, MPFR_RNDN);
    mpfr_mul(term, zr.c[kTaylorTerms - 1], rk, MPFR_RNDN);
    mpfr_abs(term, term, MPFR_RNDN);
    mpfr_mul_2ui(term, term, 20, MPFR_RNDN);
    if (mpfr_cmp(term, first) > 0) throw std::runtime_error("gamma zeros: series tail too large");
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "zeros of ln |Gamma| on the negative axis and the Taylor series around them");
    std::vector<Zero> zs(2 * (kLastInterval - 1));
    int last = 1, terms = 0;
    for (int n = 2; n <= kLastInterval; ++n)
        for (int s = 0; s < 2; ++s) {
            Zero& z = zs[2 * (n - 2) + s];
            find(z, n, s == 0);
            if (z.listed) last = n, terms = std::max(terms, z.terms);
        }
    os << "// Intervals (-n-1, -n), n = 2.." << last << ": the zero near -n-1, then the one near -n.\n"
       << "// Around zero z = hi + lo, ln |Gamma(z + t)| = sum c[k] t^(k + 1) for |t| < r;\n"
       << "// r = 0 where no double comes that close.\n"
       << "inline constexpr int kZeroLastInterval = " << last << ";\n"
       << "inline constexpr int kZeroTerms = " << terms << ";\n"
       << "struct GammaZero {\n    double hi;\n    long double lo, r;\n    long double c[kZeroTerms];\n};\n"
       << "inline constexpr GammaZero kGammaZeros[" << 2 * (last - 1) << "] = {\n";
    for (int i = 0; i < 2 * (last - 1); ++i) {
        Zero& z = zs[i];
        Big zero(0.0);
        os << "    {" << kex_tables::lit(z.hi) << ", " << lit_ld(z.lo) << ", " << lit_ld(z.listed ? z.r.v : zero.v)
           << ",\n     {";
        for (int k = 0; k < terms; ++k) os << (k ? (k % 3 ? ", " : ",\n      ") : "") << lit_ld(z.c[k]);
        os << "}},\n";
    }
    os << "};\n";
}

const kex_tables::Register reg("kex/kernels/real/erfgamma/gamma_zeros_table.inc", emit);

}  // namespace
