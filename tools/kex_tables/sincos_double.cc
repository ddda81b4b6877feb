// Tables of the sine and cosine kernels.
//
// kSinTab: for the angles j pi/32, j = 0..63, the four doubles
//   |cos(j pi/32)| - 1 rounded, sin(j pi/32) rounded, the rest of the sine
//   (rounded, so sine + rest agrees with the exact value to about 2^-106
//   relative) and the sign of the cosine (1.0 or -1.0; +1 at j = 16, 48).
// kTwoOverPiChunks: the binary expansion of 2/pi cut into chunks of 25 bits,
//   chunk i the integer c_i in [0, 2^25) with 2/pi = sum c_i 2^(-25 (i + 1)),
//   entry i + 1 holding c_i 2^(200 - 25 (i + 1)) and entry 0 the (zero) part
//   above the binary point: the large-argument reduction starts at entry
//   (e - 1052) / 25 for an argument of biased exponent e and multiplies the
//   entries by x 2^-200, which keeps every product a normal number.
#include <ostream>

#include "table_gen.h"

namespace {

void emit(std::ostream& os) {
    using kex_tables::Big;
    kex_tables::preamble(os, "|cos(j pi/32)| - 1, sin(j pi/32) with its rest, sign of the cosine; 2/pi in 25-bit chunks");
    os << "alignas(16) inline constexpr double kSinTab[64][4] = {\n";
    for (int j = 0; j < 64; ++j) {
        Big a, s, c;
        mpfr_const_pi(a, MPFR_RNDN);
        mpfr_mul_si(a, a, j, MPFR_RNDN);
        mpfr_div_ui(a, a, 32, MPFR_RNDN);
        mpfr_sin_cos(s, c, a, MPFR_RNDN);
        if (j % 32 == 0) mpfr_set_zero(s, 1);  // exact zeros, not the rounding of pi's
        if (j % 32 == 16) mpfr_set_zero(c, 1);
        const double sign = j > 16 && j < 48 ? -1.0 : 1.0;  // cos(16 pi/32) = 0 counts as +
        mpfr_abs(c, c, MPFR_RNDN);
        mpfr_sub_ui(c, c, 1, MPFR_RNDN);
        const double sh = s.d();
        Big hs(sh);
        mpfr_sub(s, s, hs, MPFR_RNDN);
        os << "    {" << kex_tables::lit(c.d()) << ", " << kex_tables::lit(sh) << ", " << kex_tables::lit(s.d())
           << ", " << kex_tables::lit(sign) << "},\n";
    }
    os << "};\nalignas(16) inline constexpr double kTwoOverPiChunks[50] = {\n    0x0p+0,\n";
    mpfr_t t;
    mpfr_init2(t, 1400);
    mpfr_const_pi(t, MPFR_RNDN);
    mpfr_ui_div(t, 2, t, MPFR_RNDN);
    for (int i = 0; i < 49; ++i) {
        mpfr_mul_2si(t, t, 25, MPFR_RNDN);  // chunk i is now the integer part
        Big chunk;
        mpfr_floor(chunk, t);
        mpfr_sub(t, t, chunk, MPFR_RNDN);
        mpfr_mul_2si(chunk, chunk, 200 - 25 * (i + 1), MPFR_RNDN);
        os << "    " << kex_tables::lit(chunk.d()) << ",\n";
    }
    mpfr_clear(t);
    os << "};\n";
}

const kex_tables::Register reg("kex/kernels/real/trig/sincos_double_table.inc", emit);

}  // namespace
