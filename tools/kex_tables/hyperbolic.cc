// 2^(j/64), j = 0..64, for the hyperbolic kernels and the special-value
// routines of Cosh and Sinh: (high, low) pairs, high rounded to double and
// low the rest rounded to double. Entry 64 - j serves e^-|x| with the same
// reduction as entry j for e^|x|.
#include <ostream>

#include "table_gen.h"

namespace {

void emit(std::ostream& os) {
    kex_tables::preamble(os, "2^(j/64), j = 0..64, as a double high part and a double low part");
    os << "alignas(16) inline constexpr double kExp2J64Pair[65][2] = {\n";
    for (int j = 0; j <= 64; ++j) {
        kex_tables::Big v, lo;
        mpfr_set_ui(v, static_cast<unsigned long>(j), MPFR_RNDN);
        mpfr_div_ui(v, v, 64, MPFR_RNDN);
        mpfr_exp2(v, v, MPFR_RNDN);
        const double hi = v.d();
        mpfr_sub_d(lo, v, hi, MPFR_RNDN);
        os << "    {" << kex_tables::lit(hi) << ", " << kex_tables::lit(lo.d()) << "},\n";
    }
    os << "};\n";
}

const kex_tables::Register reg("kex/kernels/real/hyperbolic/exp2_j64_table.inc", emit);

}  // namespace
