// Tables of the single-precision exponential kernels:
//   kExpS128: 128 pairs (T, c), T the float nearest 2^(j/128) and c the float
//     nearest 2^(j/128) / T - 1, so that T (1 + c) carries 2^(j/128) to about
//     48 bits;
//   kExpD64: 64 pairs (high, low) of doubles, high the double nearest
//     2^(j/64) and low the double nearest 2^(j/64) - high.
#include <sstream>

#include "table_gen.h"

namespace {

using kex_tables::Big;
using kex_tables::lit;

// 2^(j/n) into v.
void pow2_frac(Big& v, int j, int n) {
    mpfr_set_si(v, j, MPFR_RNDN);
    mpfr_div_si(v, v, n, MPFR_RNDN);
    mpfr_exp2(v, v, MPFR_RNDN);
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "2^(j/128) as float pairs and 2^(j/64) as double pairs");
    os << "alignas(16) inline constexpr float kExpS128[256] = {\n";
    for (int j = 0; j < 128; ++j) {
        Big v, c;
        pow2_frac(v, j, 128);
        const float t = v.f();
        mpfr_div_d(c, v, static_cast<double>(t), MPFR_RNDN);
        mpfr_sub_ui(c, c, 1, MPFR_RNDN);
        os << "    " << lit(t) << ", " << lit(c.f()) << ",\n";
    }
    os << "};\n";
    os << "alignas(16) inline constexpr double kExpD64[128] = {\n";
    for (int j = 0; j < 64; ++j) {
        Big v, lo;
        pow2_frac(v, j, 64);
        const double hi = v.d();
        mpfr_sub_d(lo, v, hi, MPFR_RNDN);
        os << "    " << lit(hi) << ", " << lit(lo.d()) << ",\n";
    }
    os << "};\n";
}

const kex_tables::Register reg("kex/kernels/real/explog/exp_single_table.inc", emit);

}  // namespace
