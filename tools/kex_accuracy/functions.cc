// The function data of the accuracy tool, one entry per function name.
#include "functions.h"

#include <cmath>
#include <cstring>

namespace kex_acc {
namespace {

// References that MPFR has under another form or without a rounding argument.
int inv(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) { return mpfr_ui_div(r, 1, x, m); }
int floor_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t) { return mpfr_floor(r, x); }
int ceil_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t) { return mpfr_ceil(r, x); }
int trunc_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t) { return mpfr_trunc(r, x); }
int round_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t) { return mpfr_round(r, x); }
// Frac keeps the sign of its argument, also on integers, and takes ±inf to ±0.
int frac(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {
    if (mpfr_inf_p(x)) return mpfr_set_zero(r, mpfr_sgn(x)), 0;
    const int t = mpfr_frac(r, x, m);
    if (mpfr_zero_p(r)) mpfr_setsign(r, r, mpfr_signbit(x), m);
    return t;
}
// 1/sqrt with 1/x at ±0 (a signed pole).
int inv_sqrt(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) { return mpfr_zero_p(x) ? inv(r, x, m) : mpfr_rec_sqrt(r, x, m); }
int inv_cbrt(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) { return mpfr_rootn_si(r, x, -3, m); }
int pow2o3(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {  // cbrt(x)^2, also for x < 0
    mpfr_cbrt(r, x, m);
    return mpfr_sqr(r, r, m);
}
int pow3o2(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {  // a domain error for every x < 0
    if (mpfr_sgn(x) < 0) return mpfr_set_nan(r), 0;
    mpfr_sqrt(r, x, m);
    return mpfr_mul(r, r, x, m);
}
int cdfnorm(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {  // erfc(-x/sqrt 2)/2
    mpfr_set_ui(r, 2, m);
    mpfr_sqrt(r, r, m);
    mpfr_div(r, x, r, m);
    mpfr_neg(r, r, m);
    mpfr_erfc(r, r, m);
    return mpfr_div_2ui(r, r, 1, m);
}
int lgamma_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {
    int sign;
    return mpfr_lgamma(r, &sign, x, m);
}

constexpr double kRt2 = 1.4142135623730951;
constexpr double kMax = 1.7976931348623157e308;

const FnInfo kFunctions[] = {
    // ---- arithmetic and rounding: exact references ----
    {.name = "Abs", .ref1 = mpfr_abs, .fast = [](double x) { return std::fabs(x); }},
    {.name = "Add", .ref2 = mpfr_add},
    {.name = "Sub", .ref2 = mpfr_sub},
    {.name = "Mul", .ref2 = mpfr_mul},
    {.name = "Div", .ref2 = mpfr_div, .status_s = statuses({2}), .status_d = statuses({2}),
     .rule = StatusRule::zero_divisor},
    {.name = "Inv", .ref1 = inv, .fast = [](double x) { return 1 / x; }, .status_s = statuses({2}),
     .status_d = statuses({2}), .rule = StatusRule::zero_divisor},
    {.name = "Sqr", .ref1 = mpfr_sqr, .fast = [](double x) { return x * x; }},
    {.name = "Floor", .ref1 = floor_, .fast = [](double x) { return std::floor(x); }},
    {.name = "Ceil", .ref1 = ceil_, .fast = [](double x) { return std::ceil(x); }},
    {.name = "Trunc", .ref1 = trunc_, .fast = [](double x) { return std::trunc(x); }},
    {.name = "Round", .ref1 = round_, .fast = [](double x) { return std::round(x); }},
    {.name = "Rint", .ref1 = mpfr_rint, .fast = [](double x) { return std::rint(x); }},
    {.name = "NearbyInt", .ref1 = mpfr_rint, .fast = [](double x) { return std::nearbyint(x); }},
    {.name = "Frac", .ref1 = frac,
     .fast = [](double x) { return std::isinf(x) ? std::copysign(0.0, x) : std::copysign(x - std::trunc(x), x); }},
    {.name = "Modf", .ref_two = mpfr_modf},

    // ---- exponentials and logarithms ----
    {.name = "Exp", .ref1 = mpfr_exp, .fast = [](double x) { return std::exp(x); }, .peer = "exp",
     .status_s = statuses({3, 4}),
     .a = {{-104, 89, "s"}, {-746, 710, "d"}, {-1, 1}},
     .crossings = {{-800, 800, Target::overflow}, {-800, 800, Target::min_normal}, {-800, 800, Target::to_zero}}},
    {.name = "Expm1", .ref1 = mpfr_expm1, .fast = [](double x) { return std::expm1(x); }, .peer = "expm1",
     .status_s = statuses({3}), .status_d = statuses({3}),
     .a = {{-18, 89, "s"}, {-40, 710, "d"}, {-1, 1}}, .crossings = {{-1, 800, Target::overflow}}},
    {.name = "Ln", .ref1 = mpfr_log, .fast = [](double x) { return std::log(x); }, .peer = "log",
     .status_s = statuses({1, 2}),
     .a = {{0, kMax}, {0.5, 2}, {1 - 0x1p-7, 1 + 0x1p-7}}, .crossings = {{0.5, 2, Target::root}}},
    {.name = "Log10", .ref1 = mpfr_log10, .fast = [](double x) { return std::log10(x); }, .peer = "log10",
     .status_s = statuses({1, 2}), .status_d = statuses({1, 2}),
     .a = {{0, kMax}, {0.5, 2}, {1 - 0x1p-7, 1 + 0x1p-7}}, .crossings = {{0.5, 2, Target::root}},
     .points = {10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e15, 1e22, 0.1}},
    {.name = "Log1p", .ref1 = mpfr_log1p, .fast = [](double x) { return std::log1p(x); }, .peer = "log1p",
     .status_s = statuses({1, 2}), .status_d = statuses({1, 2}),
     .a = {{-1, kMax}, {-0.5, 1}, {-1, -0.99}, {-0x1p-7, 0x1p-7}}, .points = {-1}},

    // ---- trigonometric ----
    {.name = "Sin", .ref1 = mpfr_sin, .fast = [](double x) { return std::sin(x); }, .peer = "sin",
     .status_s = statuses({1}), .status_d = statuses({1}), .a = {{-10, 10}, {-1e5, 1e5}}},
    {.name = "Cos", .ref1 = mpfr_cos, .fast = [](double x) { return std::cos(x); }, .peer = "cos",
     .status_s = statuses({1}), .status_d = statuses({1}), .a = {{-10, 10}, {-1e5, 1e5}}},
    {.name = "Tan", .ref1 = mpfr_tan, .fast = [](double x) { return std::tan(x); }, .peer = "tan",
     .status_s = statuses({1}), .status_d = statuses({1}), .a = {{-10, 10}, {-1e5, 1e5}}},
    {.name = "SinCos", .ref_two = mpfr_sin_cos, .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{-10, 10}, {-1e5, 1e5}}},
    {.name = "Asin", .ref1 = mpfr_asin, .fast = [](double x) { return std::asin(x); }, .peer = "asin",
     .status_d = statuses({1}), .a = {{-1, 1}}},
    {.name = "Acos", .ref1 = mpfr_acos, .fast = [](double x) { return std::acos(x); }, .peer = "acos",
     .status_d = statuses({1}), .a = {{-1, 1}}},
    {.name = "Atan", .ref1 = mpfr_atan, .fast = [](double x) { return std::atan(x); }, .peer = "atan",
     .a = {{-20, 20}}},
    {.name = "Atan2", .ref2 = mpfr_atan2, .peer = "atan2", .a = {{-10, 10}}, .b = {{-10, 10}}},

    // ---- hyperbolic ----
    {.name = "Sinh", .ref1 = mpfr_sinh, .fast = [](double x) { return std::sinh(x); }, .peer = "sinh",
     .status_s = statuses({3}), .a = {{-90, 90, "s"}, {-711, 711, "d"}, {-1, 1}},
     .crossings = {{0, 800, Target::overflow}, {-800, 0, Target::overflow}}},
    {.name = "Cosh", .ref1 = mpfr_cosh, .fast = [](double x) { return std::cosh(x); }, .peer = "cosh",
     .status_s = statuses({3}), .status_d = statuses({3}), .a = {{-90, 90, "s"}, {-711, 711, "d"}, {-1, 1}},
     .crossings = {{0, 800, Target::overflow}}},
    {.name = "Tanh", .ref1 = mpfr_tanh, .fast = [](double x) { return std::tanh(x); }, .peer = "tanh",
     .a = {{-20, 20}}},
    {.name = "Asinh", .ref1 = mpfr_asinh, .fast = [](double x) { return std::asinh(x); }, .peer = "asinh",
     .a = {{-1e3, 1e3}}},
    {.name = "Acosh", .ref1 = mpfr_acosh, .fast = [](double x) { return std::acosh(x); }, .peer = "acosh",
     .a = {{1, 1e3}, {1, 2}}},
    {.name = "Atanh", .ref1 = mpfr_atanh, .fast = [](double x) { return std::atanh(x); }, .peer = "atanh",
     .status_d = statuses({1, 2}), .a = {{-1, 1}}},

    // ---- powers and roots ----
    {.name = "Sqrt", .ref1 = mpfr_sqrt, .fast = [](double x) { return std::sqrt(x); }, .peer = "sqrt",
     .a = {{0.25, 4}}},
    {.name = "InvSqrt", .ref1 = inv_sqrt, .fast = [](double x) { return 1 / std::sqrt(x); },
     .status_s = statuses({1, 2}), .a = {{0.25, 4}}},
    {.name = "Cbrt", .ref1 = mpfr_cbrt, .fast = [](double x) { return std::cbrt(x); }, .peer = "cbrt",
     .a = {{-8, 8}}},
    {.name = "InvCbrt", .ref1 = inv_cbrt, .fast = [](double x) { return 1 / std::cbrt(x); },
     .status_d = statuses({2}), .a = {{-8, 8}}},
    {.name = "Pow2o3", .ref1 = pow2o3, .fast = [](double x) { return std::cbrt(x) * std::cbrt(x); },
     .a = {{0, 100}}},
    {.name = "Pow3o2", .ref1 = pow3o2, .fast = [](double x) { return x < 0 ? NAN : x * std::sqrt(x); },
     .status_s = statuses({1}), .status_d = statuses({1}), .a = {{0, 100}}},
    {.name = "Pow", .ref2 = mpfr_pow, .peer = "pow", .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{0, 10}, {-10, 10}}, .b = {{-40, 40}, {-4, 4}}},
    {.name = "Powx", .ref2 = mpfr_pow, .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{0, 10}, {-10, 10}}, .b = {{-40, 40}, {-4, 4}}},
    {.name = "Hypot", .ref2 = mpfr_hypot, .peer = "hypot", .a = {{-1e3, 1e3}}, .b = {{-1e3, 1e3}}},

    // ---- special functions ----
    {.name = "Erf", .ref1 = mpfr_erf, .fast = [](double x) { return std::erf(x); }, .peer = "erf",
     .a = {{-6, 6}}},
    {.name = "Erfc", .ref1 = mpfr_erfc, .fast = [](double x) { return std::erfc(x); }, .peer = "erfc",
     .a = {{-10, 11, "s"}, {-6, 28, "d"}},
     .crossings = {{0, 30, Target::min_normal}, {0, 30, Target::to_zero}}},
    {.name = "CdfNorm", .ref1 = cdfnorm, .fast = [](double x) { return std::erfc(-x / kRt2) / 2; },
     .status_d = statuses({4}), .a = {{-15, 6, "s"}, {-39, 9, "d"}},
     .crossings = {{-40, 0, Target::min_normal}, {-40, 0, Target::to_zero}}},
    {.name = "TGamma", .ref1 = mpfr_gamma, .fast = [](double x) { return std::tgamma(x); }, .peer = "tgamma",
     .status_s = statuses({1, 2, 4}), .a = {{-20, 36, "s"}, {-180, 172, "d"}, {0, 3}},
     .crossings = {{2, 200, Target::overflow}}},
    {.name = "LGamma", .ref1 = lgamma_, .peer = "lgamma", .status_s = statuses({2, 3}),
     .a = {{-20, 100}, {0, 3}}},
};

}  // namespace

const FnInfo* find_function(const char* name) {
    for (const FnInfo& f : kFunctions)
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

}  // namespace kex_acc
