// The special-value tables of the complex functions (complex_annexg.h) for
// every row that is built. One line per function (and per fixed exponent for
// Pow and Powx).
#include "complex_annexg.h"

namespace {

using annexg::Cd;
using annexg::Cf;
using annexg::Kind;

// The C library's base-10 logarithms (a GNU extension; not every compiler has
// them as builtins).
extern "C" double _Complex clog10(double _Complex);
extern "C" float _Complex clog10f(float _Complex);

// cexp(-inf + i y) for infinite or NaN y is ±0 ± i0 with both signs open.
bool exp_free(Cd a) { return a.real() == -INFINITY && !std::isfinite(a.imag()); }

const annexg::Row kRows[] = {
    {"Exp", Kind::unary, ANNEXG_LIBM(exp), 0, 0, exp_free},
    {"Ln", Kind::unary, ANNEXG_LIBM(log)},
    {"Sqrt", Kind::unary, ANNEXG_LIBM(sqrt)},
    {"Acos", Kind::unary, ANNEXG_LIBM(acos)},
    {"Acosh", Kind::unary, ANNEXG_LIBM(acosh)},
    {"Asin", Kind::unary, ANNEXG_LIBM(asin)},
    {"Asinh", Kind::unary, ANNEXG_LIBM(asinh)},
    {"Atan", Kind::unary, ANNEXG_LIBM(atan)},
    {"Atanh", Kind::unary, ANNEXG_LIBM(atanh)},
    {"Cos", Kind::unary, ANNEXG_LIBM(cos)},
    {"Cosh", Kind::unary, ANNEXG_LIBM(cosh)},
    {"Log10", Kind::unary, [](Cf a, Cf) { return Cf(clog10f(a.__rep())); },
     [](Cd a, Cd) { return Cd(clog10(a.__rep())); }},
    {"Sin", Kind::unary, ANNEXG_LIBM(sin)},
    {"Sinh", Kind::unary, ANNEXG_LIBM(sinh)},
    {"Tan", Kind::unary, ANNEXG_LIBM(tan)},
    {"Tanh", Kind::unary, ANNEXG_LIBM(tanh)},
    // Exponents with no exact zero in the result's phase (the sign of such a
    // zero is rounding noise); cpow(z, 0) is 1 here, the C library's is not.
    {"Pow", Kind::binary, ANNEXG_LIBM2(pow), 2, 0.5},
    {"Powx", Kind::powx, ANNEXG_LIBM2(pow), -1.25, 0},
};

TEST(ComplexAnnexG, SpecialValueTables) {
    int found = 0;
    for (const auto& row : kRows) found += annexg::check_row(row);
    RecordProperty("entry_points", found);
    if (found == 0) GTEST_SKIP() << "no complex row of the table is built";
}

}  // namespace
