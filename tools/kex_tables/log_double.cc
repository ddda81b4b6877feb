// The double-precision logarithm table and the constants that must round the
// same way as its entries.
//
// Entry j (0..512) belongs to the node 1 + j/512. Its reciprocal is rounded
// to single precision, so that a short head of the mantissa times it is exact
// in double; the logarithm stored is that of the node the rounded reciprocal
// really stands for, -ln(rcp), so no error of the rounding survives. The
// logarithm is split into a head on the grid 2^-42 (e * ln2_hi + head is then
// exact for every exponent e of a double) and the rest rounded to double.
// Entry 512 (rcp = 1/2) holds exactly ln2_hi and ln2_lo, so that arguments
// just below 1 (e = -1, j = 512) cancel to zero.
// The fourth double is a bit mask read as a (denormal) double: the mantissa
// bits that the 29-bit head of m leaves out, 2^24 - 1 (the head times rcp,
// minus 1, is then exact); 0 for the nodes 1 and 2, whose reciprocals (1 and
// 1/2) make m * rcp - 1 exact in one step.
#include <bit>

#include "table_gen.h"

namespace {

using kex_tables::Big;
using kex_tables::lit;

constexpr int kGrid = 42;  // the heads are multiples of 2^-42

// head = v rounded to a multiple of 2^-kGrid, tail = v - head rounded to double.
void split(Big& v, double& head, double& tail) {
    Big h, t;
    mpfr_mul_2si(h, v, kGrid, MPFR_RNDN);
    mpfr_rint(h, h, MPFR_RNDN);
    mpfr_div_2si(h, h, kGrid, MPFR_RNDN);
    mpfr_sub(t, v, h, MPFR_RNDN);
    head = h.d(), tail = t.d();
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "1/node rounded to single precision and -ln of it (head, tail) for the nodes "
                             "1 + j/512, j = 0..512; ln 2 and 1/ln 10 split alike");
    os << "// Entry j: {rcp, -ln(rcp) head, -ln(rcp) tail, mask}: mask (a bit pattern) marks\n"
          "// the low mantissa bits cut off m before the exact product with rcp.\n"
          "alignas(32) inline constexpr double kLnTable[513][4] = {\n";
    mpfr_t rcp;
    mpfr_init2(rcp, 24);
    for (int j = 0; j <= 512; ++j) {
        mpfr_set_ui(rcp, 512, MPFR_RNDN);
        mpfr_div_ui(rcp, rcp, 512 + j, MPFR_RNDN);  // 512 / (512 + j), correctly rounded to 24 bits
        Big l;
        mpfr_log(l, rcp, MPFR_RNDN);
        mpfr_neg(l, l, MPFR_RNDN);
        if (mpfr_zero_p(l)) mpfr_set_zero(l, 1);  // entry 0: +0, not -0
        double head, tail;
        split(l, head, tail);
        const double mask = j == 0 || j == 512 ? 0.0 : std::bit_cast<double>(uint64_t{0xFFFFFF});
        os << "    {" << lit(mpfr_get_d(rcp, MPFR_RNDN)) << ", " << lit(head) << ", " << lit(tail) << ", " << lit(mask)
           << "},\n";
    }
    mpfr_clear(rcp);
    os << "};\n\n";

    Big ln2, k, kl;
    mpfr_const_log2(ln2, MPFR_RNDN);
    double hi, lo;
    split(ln2, hi, lo);
    os << "// ln 2 = kLn2Hi + kLn2Lo, the head on the grid of the table's heads.\n"
       << "inline constexpr double kLn2Hi = " << lit(hi) << ";\n"
       << "inline constexpr double kLn2Lo = " << lit(lo) << ";\n";
    // 1/ln 10, and a 27-bit head of it: a 26-bit number times the head is exact.
    mpfr_set_ui(k, 10, MPFR_RNDN);
    mpfr_log(k, k, MPFR_RNDN);
    mpfr_ui_div(k, 1, k, MPFR_RNDN);
    mpfr_t head;
    mpfr_init2(head, 27);
    mpfr_set(head, k, MPFR_RNDN);
    mpfr_sub(kl, k, head, MPFR_RNDN);
    os << "// 1/ln 10 rounded to double, and split into a 27-bit head and a tail.\n"
       << "inline constexpr double kInvLn10 = " << lit(k.d()) << ";\n"
       << "inline constexpr double kInvLn10Hi = " << lit(mpfr_get_d(head, MPFR_RNDN)) << ";\n"
       << "inline constexpr double kInvLn10Lo = " << lit(kl.d()) << ";\n";
    mpfr_clear(head);
}

const kex_tables::Register reg("kex/kernels/real/explog/log_double_table.inc", emit);

}  // namespace
