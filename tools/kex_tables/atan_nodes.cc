// Table of the arctangent nodes: the numbers c = 2^e (1 + k/32), e = -8..-1,
// k = 0..31, and c = 1 (257 nodes in increasing order, so the row of c is
// (bits(c) - bits(2^-8)) >> 47), each as {atan high, atan low}: atan(c)
// rounded to double and the rest rounded to double.
#include <ostream>

#include "table_gen.h"

namespace {

void emit(std::ostream& os) {
    using kex_tables::Big;
    kex_tables::preamble(os, "{atan(c) high, low} of the nodes c = 2^e (1 + k/32), e = -8..-1, k = 0..31, and c = 1");
    for (int row = 0; row <= 256; ++row) {
        Big c, a, lo;
        mpfr_set_si(c, 32 + row % 32, MPFR_RNDN);
        mpfr_div_2ui(c, c, 5 + 8 - row / 32, MPFR_RNDN);  // (1 + k/32) 2^(row/32 - 8)
        mpfr_atan(a, c, MPFR_RNDN);
        const double hi = a.d();
        mpfr_sub_d(lo, a, hi, MPFR_RNDN);
        os << "{" << kex_tables::lit(hi) << ", " << kex_tables::lit(lo.d()) << "},\n";
    }
}

const kex_tables::Register reg("kex/kernels/real/trig/atan_table.inc", emit);

}  // namespace
