// Tables of the extended-precision scalar routines (src/kex/xreal/).
//
// Long double values are printed as hexadecimal long double literals, each
// the correct rounding to the 64-bit significand; a value with its "rest" is
// the pair (hi, lo) with hi = RN(v) and lo = RN(v - hi), together about 128
// bits of v. The tables the routines read per call hold doubles instead
// (80-bit memory loads are slow): a value is (a, b, lo) with a + b = hi
// exactly and lo = RN53(v - hi).
//
// kXrExp2[j] = 2^(j/256), j = 0..255, as (a, b, lo).
// kXrLog[i]  for the reduced argument m in [0.75, 1.5) with index
//   j = floor(256 m) = 192 + i: c = 1 / ((j + 1/2) / 256) rounded to 12
//   significant bits (c = 1 exactly for j = 255, 256 so that arguments
//   near 1 keep an exact r = m - 1), then -log(c) as (a, b, lo).
// kXrSinPi64[j] = sin(j pi/64), j = 0..127, as three doubles (a, b, lo):
//   a + b is hi, the 64-bit rounding, exactly (b holds its last 11 bits), so
//   the row loads without 80-bit memory operands; cos(j pi/64) is row
//   j + 32 (mod 128).
// kXrAtan[i] = atan(i/16) and pi/2 - atan(i/16), i = 0..16, each (a, b, lo);
//   kXrAtanSlope[i] = 1/(1 + (i/16)^2), the derivative there.
// kXrInv2Pi: the binary fraction of 1/(2 pi) in 32-bit words, most
//   significant first: 1/(2 pi) = sum w_i 2^(-32 (i + 1)). 520 words cover
//   the largest long double exponent plus the 7 words the reduction reads.
// Constants: ln 2/256 cut after 40 bits (so k times it is exact for
//   |k| < 2^24) and its rest; ln 2 cut after 48 bits and its rest; pi/4 as
//   two 40-bit parts and the rounded rest; pi/64 cut after 30, 30 and 40
//   bits and the rest to 53 (doubles); pi/4, pi/2, pi as (hi, lo).
#include <cstdio>
#include <ostream>
#include <string>

#include "table_gen.h"

namespace {

using kex_tables::Big;

std::string ldlit(long double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%LaL", x);
    return buf;
}

// "hi, lo" of v; v is left holding v - hi.
std::string pair(mpfr_ptr v) {
    const long double hi = mpfr_get_ld(v, MPFR_RNDN);
    Big h;
    mpfr_set_ld(h, hi, MPFR_RNDN);
    mpfr_sub(v, v, h, MPFR_RNDN);
    return ldlit(hi) + ", " + ldlit(mpfr_get_ld(v, MPFR_RNDN));
}

// "a, b, lo" of v as doubles: a + b = hi = RN64(v) exactly, lo = RN53(v - hi).
std::string doubles3(mpfr_ptr v) {
    const long double hi = mpfr_get_ld(v, MPFR_RNDN);
    const double a = static_cast<double>(hi), b = static_cast<double>(hi - a);
    Big h;
    mpfr_set_ld(h, hi, MPFR_RNDN);
    mpfr_sub(h, v, h, MPFR_RNDN);
    return kex_tables::lit(a) + ", " + kex_tables::lit(b) + ", " + kex_tables::lit(mpfr_get_d(h, MPFR_RNDN));
}

// v cut after `bits` significant bits (toward zero), rest in v.
std::string cut(mpfr_ptr v, int bits) {
    mpfr_t c;
    mpfr_init2(c, bits);
    mpfr_set(c, v, MPFR_RNDZ);
    const long double hi = mpfr_get_ld(c, MPFR_RNDN);
    mpfr_sub(v, v, c, MPFR_RNDN);
    mpfr_clear(c);
    return ldlit(hi) + ", " + ldlit(mpfr_get_ld(v, MPFR_RNDN));
}

void emit(std::ostream& os) {
    kex_tables::preamble(os, "2^(j/256), log reduction, sin(j pi/64), atan(i/16), 1/(2 pi) words, constants (long double)");
    os << "// 2^(j/256) as {a, b, lo}, hi = a + b\ninline constexpr double kXrExp2[256][3] = {\n";
    for (int j = 0; j < 256; ++j) {
        Big v;
        mpfr_set_ui(v, j, MPFR_RNDN);
        mpfr_div_ui(v, v, 256, MPFR_RNDN);
        mpfr_exp2(v, v, MPFR_RNDN);
        os << "    {" << doubles3(v) << "},\n";
    }
    os << "};\n// {c, -log(c) as a, b, lo}\ninline constexpr double kXrLog[192][4] = {\n";
    for (int j = 192; j < 384; ++j) {
        mpfr_t c;
        mpfr_init2(c, 12);
        if (j == 255 || j == 256) {
            mpfr_set_ui(c, 1, MPFR_RNDN);
        } else {
            Big q;
            mpfr_set_ui(q, 512, MPFR_RNDN);
            mpfr_div_ui(q, q, 2 * j + 1, MPFR_RNDN);
            mpfr_set(c, q, MPFR_RNDN);
        }
        Big l;
        mpfr_log(l, c, MPFR_RNDN);
        mpfr_neg(l, l, MPFR_RNDN);
        os << "    {" << kex_tables::lit(mpfr_get_d(c, MPFR_RNDN)) << ", " << doubles3(l) << "},\n";
        mpfr_clear(c);
    }
    os << "};\n// sin(j pi/64) as {a, b, lo}, hi = a + b\ninline constexpr double kXrSinPi64[128][3] = {\n";
    for (int j = 0; j < 128; ++j) {
        Big v;  // sin(2 pi j/128): exact zeros and ones at the multiples of pi/2
        mpfr_set_ui(v, j, MPFR_RNDN);
        mpfr_sinu(v, v, 128, MPFR_RNDN);
        os << "    {" << doubles3(v) << "},\n";
    }
    os << "};\n// {atan as a, b, lo; pi/2 - atan as a, b, lo}\ninline constexpr double kXrAtan[17][6] = {\n";
    for (int i = 0; i <= 16; ++i) {
        Big a, b;
        mpfr_set_ui(a, i, MPFR_RNDN);
        mpfr_div_ui(a, a, 16, MPFR_RNDN);
        mpfr_atan(a, a, MPFR_RNDN);
        mpfr_const_pi(b, MPFR_RNDN);
        mpfr_div_2ui(b, b, 1, MPFR_RNDN);
        mpfr_sub(b, b, a, MPFR_RNDN);
        os << "    {" << doubles3(a) << ", ";
        os << doubles3(b) << "},\n";
    }
    os << "};\n// 1/(1 + (i/16)^2)\ninline constexpr double kXrAtanSlope[17] = {\n";
    for (int i = 0; i <= 16; ++i) {
        Big w;
        mpfr_set_ui(w, 256 + i * i, MPFR_RNDN);
        mpfr_ui_div(w, 256, w, MPFR_RNDN);
        os << "    " << kex_tables::lit(mpfr_get_d(w, MPFR_RNDN)) << ",\n";
    }
    os << "};\ninline constexpr uint32_t kXrInv2Pi[520] = {";
    mpfr_t t;
    mpfr_init2(t, 32 * 530);
    mpfr_const_pi(t, MPFR_RNDN);
    mpfr_ui_div(t, 1, t, MPFR_RNDN);
    mpfr_div_2ui(t, t, 1, MPFR_RNDN);
    for (int i = 0; i < 520; ++i) {
        mpfr_mul_2ui(t, t, 32, MPFR_RNDN);
        const unsigned long w = mpfr_get_ui(t, MPFR_RNDZ);
        mpfr_sub_ui(t, t, w, MPFR_RNDN);
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08lxu,", w);
        os << (i % 6 == 0 ? "\n    " : " ") << buf;
    }
    mpfr_clear(t);
    os << "\n};\n";
    Big v;
    mpfr_const_log2(v, MPFR_RNDN);
    mpfr_div_2ui(v, v, 8, MPFR_RNDN);
    os << "inline constexpr long double kXrLn2By256[2] = {" << cut(v, 40) << "};\n";
    mpfr_const_log2(v, MPFR_RNDN);
    os << "inline constexpr long double kXrLn2[2] = {" << cut(v, 48) << "};\n";
    mpfr_const_pi(v, MPFR_RNDN);
    mpfr_div_2ui(v, v, 2, MPFR_RNDN);
    const std::string c1 = cut(v, 40);  // v keeps the rest after the first part
    os << "inline constexpr long double kXrPiBy4Cut[3] = {" << c1.substr(0, c1.find(',')) << ", " << cut(v, 40)
       << "};\n";
    mpfr_const_pi(v, MPFR_RNDN);
    mpfr_div_2ui(v, v, 6, MPFR_RNDN);
    os << "inline constexpr double kXrPi64Cut[4] = {";
    for (int i = 0; i < 4; ++i) {
        mpfr_t c;
        const int bits[4] = {30, 30, 40, 53};
        mpfr_init2(c, bits[i]);
        mpfr_set(c, v, i < 3 ? MPFR_RNDZ : MPFR_RNDN);
        mpfr_sub(v, v, c, MPFR_RNDN);
        os << (i ? ", " : "") << kex_tables::lit(mpfr_get_d(c, MPFR_RNDN));
        mpfr_clear(c);
    }
    os << "};\n";
    const char* names[3] = {"kXrPiBy4", "kXrPiBy2", "kXrPi"};
    for (int i = 0; i < 3; ++i) {
        mpfr_const_pi(v, MPFR_RNDN);
        mpfr_div_2ui(v, v, 2 - i, MPFR_RNDN);
        os << "inline constexpr long double " << names[i] << "[2] = {" << pair(v) << "};\n";
    }
}

const kex_tables::Register reg("kex/xreal/xreal_table.inc", emit);

}  // namespace
