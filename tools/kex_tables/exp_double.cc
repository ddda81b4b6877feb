// 2^(j/64), j = 0..63, for the double-precision Exp and Expm1 kernels:
// (high, low) pairs, high rounded to 40 fraction bits (13 trailing zero
// bits) and low the rest rounded to double, so that high + low agrees with
// 2^(j/64) to about 2^-94; and 2^(j/64) rounded to double, for the kernels
// that use one value only.
#include <ostream>

#include "table_gen.h"

namespace {

void exp2_j64(kex_tables::Big& v, int j) {
    mpfr_set_ui(v, static_cast<unsigned long>(j), MPFR_RNDN);
    mpfr_div_ui(v, v, 64, MPFR_RNDN);
    mpfr_exp2(v, v, MPFR_RNDN);
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "2^(j/64) as a 40-bit high part and a double low part, and rounded to double");
    os << "alignas(16) inline constexpr double kExp2J64[64][2] = {\n";
    for (int j = 0; j < 64; ++j) {
        kex_tables::Big v, hi, lo;
        exp2_j64(v, j);
        mpfr_mul_2si(hi, v, 40, MPFR_RNDN);  // in [2^40, 2^41): rounded to an integer
        mpfr_rint(hi, hi, MPFR_RNDN);
        mpfr_mul_2si(hi, hi, -40, MPFR_RNDN);
        mpfr_sub(lo, v, hi, MPFR_RNDN);
        os << "    {" << kex_tables::lit(hi.d()) << ", " << kex_tables::lit(lo.d()) << "},\n";
    }
    os << "};\nalignas(16) inline constexpr double kExp2J64Rounded[64] = {\n";
    for (int j = 0; j < 64; ++j) {
        kex_tables::Big v;
        exp2_j64(v, j);
        os << "    " << kex_tables::lit(v.d()) << ",\n";
    }
    os << "};\n";
}

const kex_tables::Register reg("kex/kernels/real/explog/exp_double_table.inc", emit);

}  // namespace
