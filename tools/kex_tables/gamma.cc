// Coefficients of the extended-precision LGamma and TGamma kernels, as
// long double literals: the Taylor series of ln Gamma(2 + e),
//   c_1 = 1 - Euler's gamma, c_k = (-1)^k (zeta(k) - 1) / k (k = 2..30),
// and the Stirling series of ln Gamma(x) - ((x - 1/2) ln x - x + ln(2 pi)/2),
//   s_k = B_2k / (2k (2k - 1)) (k = 1..12), B_2k = (-1)^(k+1) 2 (2k)! zeta(2k) / (2 pi)^(2k).
#include <cstdio>
#include <ostream>
#include <string>

#include "table_gen.h"

namespace {

std::string lit_ld(kex_tables::Big& v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%LaL", mpfr_get_ld(v, MPFR_RNDN));
    return buf;
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "Taylor coefficients of ln Gamma(2 + e) and the Stirling series, in extended precision");
    os << "inline constexpr long double kLnGamma2[30] = {\n";
    for (unsigned k = 1; k <= 30; ++k) {
        kex_tables::Big c;
        if (k == 1) {
            mpfr_const_euler(c, MPFR_RNDN);
            mpfr_ui_sub(c, 1, c, MPFR_RNDN);
        } else {
            mpfr_zeta_ui(c, k, MPFR_RNDN);
            mpfr_sub_ui(c, c, 1, MPFR_RNDN);
            mpfr_div_ui(c, c, k, MPFR_RNDN);
            if (k % 2) mpfr_neg(c, c, MPFR_RNDN);
        }
        os << "    " << lit_ld(c) << ",\n";
    }
    os << "};\ninline constexpr long double kStirling[12] = {\n";
    for (unsigned k = 1; k <= 12; ++k) {
        kex_tables::Big b, t;
        mpfr_zeta_ui(b, 2 * k, MPFR_RNDN);
        mpfr_fac_ui(t, 2 * k, MPFR_RNDN);
        mpfr_mul(b, b, t, MPFR_RNDN);
        mpfr_mul_2ui(b, b, 1, MPFR_RNDN);
        mpfr_const_pi(t, MPFR_RNDN);
        mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
        mpfr_pow_ui(t, t, 2 * k, MPFR_RNDN);
        mpfr_div(b, b, t, MPFR_RNDN);  // |B_2k|
        if (k % 2 == 0) mpfr_neg(b, b, MPFR_RNDN);
        mpfr_div_ui(b, b, 2 * k * (2 * k - 1), MPFR_RNDN);
        os << "    " << lit_ld(b) << ",\n";
    }
    kex_tables::Big h, p;
    mpfr_const_pi(p, MPFR_RNDN);
    mpfr_mul_2ui(h, p, 1, MPFR_RNDN);
    mpfr_log(h, h, MPFR_RNDN);
    mpfr_div_2ui(h, h, 1, MPFR_RNDN);
    os << "};\ninline constexpr long double kHalfLn2Pi = " << lit_ld(h) << ";\n";
    os << "inline constexpr long double kPi = " << lit_ld(p) << ";\n";
}

const kex_tables::Register reg("kex/kernels/real/erfgamma/gamma_table.inc", emit);

}  // namespace
