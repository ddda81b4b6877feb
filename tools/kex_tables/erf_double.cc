// Polynomial tables of the error-function kernels (Erf, Erfc, CdfNorm).
//
//   kErfcx<Deg>: g(y) = erfc(y) e^(y^2) on the 48 intervals [a, b) that cut
//     each binade of [0.5, 32) into eighths; interval i is picked by the
//     exponent and three leading fraction bits of y. A row is
//     {m, c0 low part, c0, c1, ..., cDeg} with m the interval's midpoint
//     (y - m is exact) and g(y) ~ sum c_k (y - m)^k; c0 is split in two so
//     that the value at the midpoint carries no rounding of its own.
//   kErfSmall<Deg>: q(s) = erf(sqrt s)/sqrt s - 1 on 0 <= s <= 1/4, so that
//     erf(x) = x + x q(x^2) for |x| <= 1/2, as monomial coefficients in s.
//
// Both are interpolants at Chebyshev nodes, computed and converted to
// monomials in MPFR; each table's header comment states the largest relative
// error found over a grid of 65 points per interval with the coefficients
// as rounded.
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "table_gen.h"

namespace {

using kex_tables::Big;
using kex_tables::lit;

constexpr int kIntervals = 48;

// [a, b) of interval i: binade 2^(i/8 - 1), eighth i % 8.
void interval(int i, Big& a, Big& b) {
    const int e = i / 8 - 1, j = i % 8;
    mpfr_set_si_2exp(a, 8 + j, e - 3, MPFR_RNDN);
    mpfr_set_si_2exp(b, 9 + j, e - 3, MPFR_RNDN);
}

void erfcx(Big& r, mpfr_srcptr y) {
    Big s;
    mpfr_sqr(s, y, MPFR_RNDN);
    mpfr_exp(s, s, MPFR_RNDN);
    mpfr_erfc(r, y, MPFR_RNDN);
    mpfr_mul(r, r, s, MPFR_RNDN);
}

void erf_q(Big& r, mpfr_srcptr s) {  // erf(sqrt s)/sqrt s - 1
    Big x;
    mpfr_sqrt(x, s, MPFR_RNDN);
    mpfr_erf(r, x, MPFR_RNDN);
    mpfr_div(r, r, x, MPFR_RNDN);
    mpfr_sub_ui(r, r, 1, MPFR_RNDN);
}

// Coefficients in t = y - m of the interpolant of f at the deg + 1 Chebyshev
// nodes of [m - h, m + h].
template <class F>
std::vector<double> fit(F f, double m, double h, int deg, std::vector<Big>& c) {
    const int n = deg + 1;
    std::vector<Big> fv(n), a(n);
    Big pi, th, x, tk;
    mpfr_const_pi(pi, MPFR_RNDN);
    for (int j = 0; j < n; ++j) {
        mpfr_mul_ui(th, pi, 2 * j + 1, MPFR_RNDN);
        mpfr_div_ui(th, th, 2 * n, MPFR_RNDN);
        mpfr_cos(x, th, MPFR_RNDN);
        mpfr_mul_d(x, x, h, MPFR_RNDN);
        mpfr_add_d(x, x, m, MPFR_RNDN);
        f(fv[j], x);
    }
    for (int k = 0; k < n; ++k) {  // a_k = 2/n sum f_j cos(k theta_j)
        mpfr_set_zero(a[k], 1);
        for (int j = 0; j < n; ++j) {
            mpfr_mul_ui(th, pi, k * (2 * j + 1), MPFR_RNDN);
            mpfr_div_ui(th, th, 2 * n, MPFR_RNDN);
            mpfr_cos(tk, th, MPFR_RNDN);
            mpfr_mul(tk, tk, fv[j], MPFR_RNDN);
            mpfr_add(a[k], a[k], tk, MPFR_RNDN);
        }
        mpfr_mul_2ui(a[k], a[k], 1, MPFR_RNDN);
        mpfr_div_ui(a[k], a[k], n, MPFR_RNDN);
    }
    mpfr_div_2ui(a[0], a[0], 1, MPFR_RNDN);
    // Monomials of T_k(u): t_prev, t_cur, accumulated into c (in u).
    std::vector<Big> tp(n), tc(n), tn(n);
    c = std::vector<Big>(n);
    for (int k = 0; k < n; ++k) mpfr_set_zero(c[k], 1), mpfr_set_zero(tp[k], 1), mpfr_set_zero(tc[k], 1);
    mpfr_set_ui(tp[0], 1, MPFR_RNDN);  // T_0
    if (n > 1) mpfr_set_ui(tc[1], 1, MPFR_RNDN);  // T_1
    for (int k = 0; k < n; ++k) {
        const std::vector<Big>& t = k == 0 ? tp : tc;
        for (int p = 0; p < n; ++p) {
            mpfr_mul(tk, a[k], t[p].v, MPFR_RNDN);
            mpfr_add(c[p], c[p], tk, MPFR_RNDN);
        }
        if (k >= 1 && k + 1 < n) {  // T_{k+1} = 2u T_k - T_{k-1}
            for (int p = 0; p < n; ++p) {
                if (p > 0) mpfr_mul_2ui(tn[p], tc[p - 1], 1, MPFR_RNDN);
                else mpfr_set_zero(tn[p], 1);
                mpfr_sub(tn[p], tn[p], tp[p], MPFR_RNDN);
            }
            for (int p = 0; p < n; ++p) mpfr_set(tp[p], tc[p], MPFR_RNDN), mpfr_set(tc[p], tn[p], MPFR_RNDN);
        }
    }
    std::vector<double> out;
    for (int k = 0; k < n; ++k) {  // u = t / h
        mpfr_div_d(c[k], c[k], std::pow(h, k), MPFR_RNDN);
        out.push_back(c[k].d());
    }
    return out;
}

// Largest relative error over a grid of [lo, hi] of sum c_k (y - m)^k, with
// c0 = c0h + c0l and the rest as rounded.
template <class F>
double rel_error(F f, double lo, double hi, double m, double c0l, const std::vector<double>& c) {
    double worst = 0;
    Big y, t, p, r;
    for (int g = 0; g <= 64; ++g) {
        mpfr_set_d(y, lo + (hi - lo) * g / 64.0, MPFR_RNDN);
        mpfr_sub_d(t, y, m, MPFR_RNDN);
        mpfr_set_d(p, c.back(), MPFR_RNDN);
        for (int k = static_cast<int>(c.size()) - 2; k >= 0; --k) {
            mpfr_mul(p, p, t, MPFR_RNDN);
            mpfr_add_d(p, p, c[k], MPFR_RNDN);
        }
        mpfr_add_d(p, p, c0l, MPFR_RNDN);
        f(r, y);
        mpfr_sub(p, p, r, MPFR_RNDN);
        mpfr_div(p, p, r, MPFR_RNDN);
        worst = std::fmax(worst, std::fabs(p.d()));
    }
    return worst;
}

std::string log2_of(double e) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "2^%.1f", std::log2(e));
    return buf;
}

void emit_erfcx(std::ostream& os, int deg, int stride) {
    std::vector<std::vector<double>> rows;
    double worst = 0;
    for (int i = 0; i < kIntervals; ++i) {
        Big a, b;
        interval(i, a, b);
        const double lo = a.d(), hi = b.d(), m = (lo + hi) / 2;
        std::vector<Big> exact;
        std::vector<double> c = fit(erfcx, m, (hi - lo) / 2, deg, exact);
        Big rest;
        mpfr_sub_d(rest, exact[0], c[0], MPFR_RNDN);
        const double c0l = rest.d();
        worst = std::fmax(worst, rel_error(erfcx, lo, hi, m, c0l, c));
        std::vector<double> row = {m, c0l};
        row.insert(row.end(), c.begin(), c.end());
        row.resize(stride, 0.0);
        rows.push_back(row);
    }
    os << "// erfc(y) e^(y^2), degree " << deg << ": relative error below " << log2_of(worst) << ".\n";
    os << "alignas(16) inline constexpr double kErfcx" << deg << "[" << kIntervals << "][" << stride << "] = {\n";
    for (const auto& row : rows) {
        os << "    {";
        for (size_t k = 0; k < row.size(); ++k) os << (k ? ", " : "") << lit(row[k]);
        os << "},\n";
    }
    os << "};\n";
}

void emit_small(std::ostream& os, int deg) {
    std::vector<Big> exact;
    std::vector<double> c = fit(erf_q, 0.125, 0.125, deg, exact);
    // From powers of (s - 1/8) to powers of s (exact binomial sums in MPFR).
    std::vector<Big> s(exact.size());
    Big term;
    for (size_t k = 0; k < exact.size(); ++k) {
        mpfr_set_zero(s[k], 1);
        for (size_t j = k; j < exact.size(); ++j) {
            Big bin, pw;
            unsigned long nk = 1;  // C(j, k)
            for (size_t i = 1; i <= k; ++i) nk = nk * (j - k + i) / i;
            mpfr_set_ui(bin, nk, MPFR_RNDN);
            mpfr_set_d(pw, -0.125, MPFR_RNDN);
            mpfr_pow_ui(pw, pw, static_cast<unsigned long>(j - k), MPFR_RNDN);
            mpfr_mul(term, bin, pw, MPFR_RNDN);
            mpfr_mul(term, term, exact[j], MPFR_RNDN);
            mpfr_add(s[k], s[k], term, MPFR_RNDN);
        }
        c[k] = s[k].d();
    }
    // Error of erf itself: x (1 + q), relative to erf(x) over x in (0, 1/2].
    double worst = 0;
    for (int g = 1; g <= 256; ++g) {
        Big x, q, p, r;
        mpfr_set_d(x, 0.5 * g / 256.0, MPFR_RNDN);
        mpfr_sqr(q, x, MPFR_RNDN);
        mpfr_set_d(p, c.back(), MPFR_RNDN);
        for (int k = static_cast<int>(c.size()) - 2; k >= 0; --k) {
            mpfr_mul(p, p, q, MPFR_RNDN);
            mpfr_add_d(p, p, c[k], MPFR_RNDN);
        }
        mpfr_add_ui(p, p, 1, MPFR_RNDN);
        mpfr_mul(p, p, x, MPFR_RNDN);
        mpfr_erf(r, x, MPFR_RNDN);
        mpfr_sub(p, p, r, MPFR_RNDN);
        mpfr_div(p, p, r, MPFR_RNDN);
        worst = std::fmax(worst, std::fabs(p.d()));
    }
    os << "// erf(x)/x - 1 in s = x^2, degree " << deg << ": relative error of erf below " << log2_of(worst)
       << ".\ninline constexpr double kErfSmall" << deg << "[" << deg + 1 << "] = {";
    for (size_t k = 0; k < c.size(); ++k) os << (k ? ", " : "") << lit(c[k]);
    os << "};\n";
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "piecewise polynomials of erfc(y) e^(y^2) and erf(x)/x");
    emit_erfcx(os, 13, 16);
    emit_erfcx(os, 10, 16);
    emit_erfcx(os, 5, 8);
    emit_small(os, 10);
    emit_small(os, 9);
    emit_small(os, 4);
}

const kex_tables::Register reg("kex/kernels/real/erfgamma/erf_table.inc", emit);

}  // namespace
