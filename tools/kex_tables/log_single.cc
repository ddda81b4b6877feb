// Table of the single-precision logarithms: 128 nodes 1 + j/128, each as
// three doubles {rcp, log high, log low}:
//   rcp       1/(1 + j/128) rounded to float precision, so that the product
//             of a float mantissa and rcp is exact in double;
//   log high  -ln(rcp) rounded to a multiple of 2^-42, the grid of the high
//             part of ln 2 (0x1.62e42fefa38p-1), so that e * ln2_hi + log high
//             is exact for every exponent e of a float;
//   log low   -ln(rcp) - log high rounded to double.
#include <ostream>

#include "table_gen.h"

namespace {

void emit(std::ostream& os) {
    using kex_tables::Big;
    kex_tables::preamble(os, "{1/(1+j/128) to float precision, -ln of it as high (2^-42 grid) + low}, j = 0..127");
    for (int j = 0; j < 128; ++j) {
        Big node, rcp, lg, hi, lo;
        mpfr_set_si(node, 128 + j, MPFR_RNDN);
        mpfr_div_2ui(node, node, 7, MPFR_RNDN);
        mpfr_ui_div(rcp, 1, node, MPFR_RNDN);
        const double r = static_cast<double>(rcp.f());
        mpfr_set_d(rcp, r, MPFR_RNDN);
        mpfr_log(lg, rcp, MPFR_RNDN);
        mpfr_neg(lg, lg, MPFR_RNDN);
        if (mpfr_zero_p(lg)) mpfr_set_zero(lg, 1);  // node 1: +0, not -0
        mpfr_mul_2ui(hi, lg, 42, MPFR_RNDN);
        mpfr_rint(hi, hi, MPFR_RNDN);
        mpfr_div_2ui(hi, hi, 42, MPFR_RNDN);
        mpfr_sub(lo, lg, hi, MPFR_RNDN);
        os << "{" << kex_tables::lit(r) << ", " << kex_tables::lit(hi.d()) << ", " << kex_tables::lit(lo.d())
           << "},\n";
    }
}

const kex_tables::Register reg("kex/kernels/real/explog/log_single_table.inc", emit);

}  // namespace
