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
// erfinv by Newton's method on erf (erfc in the tails, so that 1 - |x| keeps
// its relative accuracy) at 2 p + 40 bits from a double start found by
// bisection; the root is then rounded once to the target precision.
int erfinv_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {
    if (mpfr_nan_p(x) || mpfr_inf_p(x) || mpfr_cmpabs_ui(x, 1) > 0) return mpfr_set_nan(r), 0;
    if (mpfr_zero_p(x)) return mpfr_set(r, x, m);
    if (mpfr_cmpabs_ui(x, 1) == 0) return mpfr_set_inf(r, mpfr_sgn(x)), 0;
    const mpfr_prec_t wp = 2 * mpfr_get_prec(r) + 40;
    mpfr_t q, y, f, t;
    mpfr_inits2(wp, q, y, f, t, static_cast<mpfr_ptr>(nullptr));
    mpfr_abs(q, x, MPFR_RNDN);
    const bool tail = mpfr_cmp_d(q, 0.5) > 0;
    if (tail) mpfr_ui_sub(q, 1, q, MPFR_RNDN);  // exact at this precision
    const double qd = mpfr_get_d(q, MPFR_RNDN);
    double lo = 0, hi = 30;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        const bool below = tail ? std::erfc(mid) > qd : std::erf(mid) < qd;
        (below ? lo : hi) = mid;
    }
    mpfr_set_d(y, 0.5 * (lo + hi), MPFR_RNDN);
    for (int i = 0; i < 8; ++i) {  // f / f' with f' = ±2/sqrt(pi) e^(-y^2)
        if (tail) mpfr_erfc(f, y, MPFR_RNDN), mpfr_sub(f, q, f, MPFR_RNDN);
        else mpfr_erf(f, y, MPFR_RNDN), mpfr_sub(f, f, q, MPFR_RNDN);
        mpfr_sqr(t, y, MPFR_RNDN);
        mpfr_exp(t, t, MPFR_RNDN);
        mpfr_mul(f, f, t, MPFR_RNDN);
        mpfr_const_pi(t, MPFR_RNDN);
        mpfr_sqrt(t, t, MPFR_RNDN);
        mpfr_mul(f, f, t, MPFR_RNDN);
        mpfr_div_2ui(f, f, 1, MPFR_RNDN);
        mpfr_sub(y, y, f, MPFR_RNDN);
    }
    if (mpfr_sgn(x) < 0) mpfr_neg(y, y, MPFR_RNDN);
    const int inex = mpfr_set(r, y, m);
    mpfr_clears(q, y, f, t, static_cast<mpfr_ptr>(nullptr));
    return inex;
}
// erfcinv(x) for x in (0, 2) in double precision, within a few double ulps:
// Newton's method in long double on erf(y) = 1 - x where 1 - x is exact
// (1/2 <= x <= 3/2), elsewhere on ln erfc(y) = ln q, q = min(x, 2 - x),
// which is nearly quadratic in y and converges from sqrt(-ln q) down to
// q = 2^-1074; erfcinv(x) = -erfcinv(2 - x).
long double erfcinv_ld(double x) {
    const double q = x > 1 ? 2 - x : x;
    long double y;
    if (q >= 0.5) {
        const long double t = 1.0L - q, k = std::sqrt(std::acos(-1.0L)) / 2;
        y = t * k;
        for (int i = 0; i < 40 && t > 0; ++i) {
            const long double d = (std::erf(y) - t) * k * std::exp(y * y);
            y -= d;
            if (std::fabs(d) <= 0x1p-62L * y) break;
        }
    } else {
        const long double lq = std::log(static_cast<long double>(q)), k = std::sqrt(std::acos(-1.0L)) / 2;
        y = std::sqrt(-lq);
        for (int i = 0; i < 60; ++i) {
            const long double e = std::erfc(y), d = (std::log(e) - lq) * e * k * std::exp(y * y);
            y += d;
            if (std::fabs(d) <= 0x1p-62L * y) break;
        }
    }
    return x > 1 ? -y : y;
}
double erfcinv_fast(double x) {
    if (!(x >= 0 && x <= 2)) return NAN;
    if (x == 0 || x == 2) return x == 0 ? INFINITY : -INFINITY;
    return static_cast<double>(erfcinv_ld(x));
}
double cdfnorminv_fast(double p) {
    if (!(p >= 0 && p <= 1)) return NAN;
    if (p == 0 || p == 1) return p == 0 ? -INFINITY : INFINITY;
    return static_cast<double>(0.0L - std::sqrt(2.0L) * erfcinv_ld(2 * p));
}
// erfcinv(x) for x in (0, 2), x != 1, into y (its own precision wp): from
// the long double root, Newton's method in y's precision on the same
// equations as above until the step falls below 2^(8 - wp) y.
void erfcinv_mp(mpfr_ptr y, mpfr_srcptr x) {
    const mpfr_prec_t wp = mpfr_get_prec(y);
    mpfr_t q, t, f, k;
    mpfr_inits2(wp, q, t, f, k, static_cast<mpfr_ptr>(nullptr));
    const bool neg = mpfr_cmp_ui(x, 1) > 0;
    if (neg) mpfr_ui_sub(q, 2, x, MPFR_RNDN);  // exact
    else mpfr_set(q, x, MPFR_RNDN);
    const bool central = mpfr_cmp_d(q, 0.5) >= 0;
    if (central) mpfr_ui_sub(q, 1, q, MPFR_RNDN);  // t = 1 - q, exact
    else mpfr_log(q, q, MPFR_RNDN);                // ln q
    mpfr_const_pi(k, MPFR_RNDN);
    mpfr_sqrt(k, k, MPFR_RNDN);
    mpfr_div_2ui(k, k, 1, MPFR_RNDN);
    mpfr_set_ld(y, std::fabs(erfcinv_ld(mpfr_get_d(x, MPFR_RNDN))), MPFR_RNDN);
    for (int i = 0; i < 20; ++i) {
        mpfr_sqr(t, y, MPFR_RNDN);
        mpfr_exp(t, t, MPFR_RNDN);
        mpfr_mul(t, t, k, MPFR_RNDN);  // sqrt(pi)/2 e^(y^2)
        if (central) {
            mpfr_erf(f, y, MPFR_RNDN);
            mpfr_sub(f, f, q, MPFR_RNDN);
            mpfr_mul(f, f, t, MPFR_RNDN);
            mpfr_sub(y, y, f, MPFR_RNDN);
        } else {
            mpfr_erfc(f, y, MPFR_RNDN);
            mpfr_mul(t, t, f, MPFR_RNDN);
            mpfr_log(f, f, MPFR_RNDN);
            mpfr_sub(f, f, q, MPFR_RNDN);
            mpfr_mul(f, f, t, MPFR_RNDN);
            mpfr_add(y, y, f, MPFR_RNDN);
        }
        if (mpfr_zero_p(f) || mpfr_get_exp(f) < mpfr_get_exp(y) - wp + 8) break;
    }
    if (neg) mpfr_neg(y, y, MPFR_RNDN);
    mpfr_clears(q, t, f, k, static_cast<mpfr_ptr>(nullptr));
}
// erfcinv and Phi^-1(p) = -sqrt 2 erfcinv(2 p), at 40 bits beyond r's
// precision and rounded once; +0 at x = 1 and p = 1/2, the poles signed.
int erfcinv_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {
    if (mpfr_nan_p(x) || mpfr_sgn(x) < 0 || mpfr_cmp_ui(x, 2) > 0) return mpfr_set_nan(r), 0;
    if (mpfr_zero_p(x) || mpfr_cmp_ui(x, 2) == 0) return mpfr_set_inf(r, mpfr_zero_p(x) ? 1 : -1), 0;
    if (mpfr_cmp_ui(x, 1) == 0) return mpfr_set_zero(r, 1), 0;
    mpfr_t y;
    mpfr_init2(y, mpfr_get_prec(r) + 40);
    erfcinv_mp(y, x);
    const int inex = mpfr_set(r, y, m);
    mpfr_clear(y);
    return inex;
}
int cdfnorminv(mpfr_ptr r, mpfr_srcptr p, mpfr_rnd_t m) {
    if (mpfr_nan_p(p) || mpfr_sgn(p) < 0 || mpfr_cmp_ui(p, 1) > 0) return mpfr_set_nan(r), 0;
    if (mpfr_zero_p(p) || mpfr_cmp_ui(p, 1) == 0) return mpfr_set_inf(r, mpfr_zero_p(p) ? -1 : 1), 0;
    if (mpfr_cmp_d(p, 0.5) == 0) return mpfr_set_zero(r, 1), 0;
    mpfr_t y, x;
    mpfr_inits2(mpfr_get_prec(r) + 40, y, x, static_cast<mpfr_ptr>(nullptr));
    mpfr_mul_2ui(x, p, 1, MPFR_RNDN);
    erfcinv_mp(y, x);
    mpfr_set_ui(x, 2, MPFR_RNDN);
    mpfr_sqrt(x, x, MPFR_RNDN);
    mpfr_mul(y, y, x, MPFR_RNDN);
    mpfr_neg(y, y, MPFR_RNDN);
    const int inex = mpfr_set(r, y, m);
    mpfr_clears(y, x, static_cast<mpfr_ptr>(nullptr));
    return inex;
}
int lgamma_(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {
    int sign;
    return mpfr_lgamma(r, &sign, x, m);
}

constexpr double kRt2 = 1.4142135623730951;
constexpr double kMax = 1.7976931348623157e308;

// LGamma's zeros: 1, 2, and on the negative axis the two of each (-n-1, -n)
// up to n = 16 (beyond, no double comes near one), each alone between a pole
// and -n-1/2. Lines: the whole line, the zeros' ranges, and beside each pole
// m the stretch about 1/m! away that holds the zeros next to it.
std::vector<Crossing> lgamma_crossings() {
    std::vector<Crossing> c = {{0.8, 1.2, Target::root}, {1.6, 2.4, Target::root}, {1e30, kMax, Target::overflow}};
    for (int n = 2; n <= 16; ++n) {
        c.push_back({-n - 1.0, -n - 0.5, Target::root});
        c.push_back({-n - 0.5, -1.0 * n, Target::root});
    }
    return c;
}
std::vector<Interval> lgamma_lines() {
    std::vector<Interval> a = {{-kMax, kMax}, {-20, 100}, {0, 3}, {0.9, 1.1}, {1.9, 2.1}, {-5, 0}, {-200, -180}};
    double f = 1;  // 1/m!
    for (int m = 2; m <= 16; ++m) {
        f /= m;
        a.push_back({-m - 1.8 * f, -m - 0.55 * f});
        if (m > 2) a.push_back({-m + 0.55 * f, -m + 1.8 * f});
    }
    return a;
}

// Sin, Cos, SinCos, Tan: the whole line, the common ranges, both sides of the
// vector kernels' bound 90112, of the single-precision float method's 3072
// and of the scalar reduction's 2^17; points:
// the doubles nearest to a multiple of pi/2 in each binade that has a record
// (6411027962775774 2^-47 is 2^-60.5 from 29 pi/2, the others within 2^-52),
// 6381956970095103 2^797 (2^-61 from a multiple of pi/2, the hardest double),
// and the large arguments 1e22 and 2^1023.
const std::vector<Interval> kTrigLines = {{-kMax, kMax}, {-10, 10}, {-1e5, 1e5}, {9e4, 9.03e4}, {1.3e5, 1.32e5},
                                          {-0x1p-20, 0x1p-20}, {3000, 3150}};
const std::vector<double> kTrigPoints = {
    0x1.921fb54442d18p0, 0x1.2d97c7f3321d2p2, 0x1.dd85a7410f58dp4, 0x1.6c6cbc45dc8dep5, 0x1.6c6cbc45dc8dep6,
    0x1.6c6cbc45dc8dep7, 0x1.6c6cbc45dc8dep8, 0x1.6c6cbc45dc8dep9, 0x1.6c6cbc45dc8dep10, 0x1.6c6cbc45dc8dep11,
    0x1.6c6cbc45dc8dep12, 0x1.6c6cbc45dc8dep13, 0x1.635e3d74befcap14, 0x1.67e57cdd4dc54p15, 0x1.65a1dd290660fp16,
    0x1.6ac5b262ca1ffp849, 90112.0, 0x1p17, 0x1p30, 1e22, 0x1p1023, 3072.0, 0x1.7ffffep11};

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
     .status_s = statuses({1}), .status_d = statuses({1}), .a = kTrigLines, .points = kTrigPoints},
    {.name = "Cos", .ref1 = mpfr_cos, .fast = [](double x) { return std::cos(x); }, .peer = "cos",
     .status_s = statuses({1}), .status_d = statuses({1}), .a = kTrigLines, .points = kTrigPoints},
    {.name = "Tan", .ref1 = mpfr_tan, .fast = [](double x) { return std::tan(x); }, .peer = "tan",
     .status_s = statuses({1}), .status_d = statuses({1}), .a = kTrigLines, .points = kTrigPoints},
    {.name = "SinCos", .ref_two = mpfr_sin_cos, .parts = {"Sin", "Cos"}, .status_s = statuses({1}), .status_d = statuses({1}),
     .a = kTrigLines, .points = kTrigPoints},
    // Asin/Acos: the domain, a little beyond it, the last 2^-20 before +-1;
    // points at +-1, the switch of the quotient at 1/sqrt(2), that of the
    // series at +-1/2 (and its neighbours), and 2^-26.
    {.name = "Asin", .ref1 = mpfr_asin, .fast = [](double x) { return std::asin(x); }, .peer = "asin",
     .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{-1, 1}, {-2, 2}, {1 - 0x1p-20, 1}, {-1, -1 + 0x1p-20}},
     .points = {1, -1, 0x1.6a09e667f3bcdp-1, -0x1.6a09e667f3bcdp-1, 0x1p-26, 0.5, -0.5, 0x1.0000000000001p-1,
                0x1.fffffffffffffp-2, 0x1.000002p-1, -0x1.000002p-1}},
    {.name = "Acos", .ref1 = mpfr_acos, .fast = [](double x) { return std::acos(x); }, .peer = "acos",
     .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{-1, 1}, {-2, 2}, {1 - 0x1p-20, 1}, {-1, -1 + 0x1p-20}},
     .points = {1, -1, 0x1.6a09e667f3bcdp-1, -0x1.6a09e667f3bcdp-1, 0x1p-26, 0.5, -0.5, 0x1.0000000000001p-1,
                0x1.fffffffffffffp-2, 0x1.000002p-1, -0x1.000002p-1}},
    // Atan: every magnitude; points at 1 (the quotient flips), the smallest
    // table node 2^-8 and the ends of the float-range reciprocal.
    {.name = "Atan", .ref1 = mpfr_atan, .fast = [](double x) { return std::atan(x); }, .peer = "atan",
     .a = {{-kMax, kMax}, {-20, 20}, {-1, 1}}, .points = {1, -1, 0x1p-8, 0x1p8, 0x1p126, 0x1p128}},
    // Atan2: both arguments over every magnitude (ratios up to the whole
    // exponent range) and near 1; the special-value pairs cover the signed
    // zeros and infinities of both arguments.
    {.name = "Atan2", .ref2 = mpfr_atan2, .peer = "atan2", .a = {{-kMax, kMax}, {-10, 10}},
     .b = {{-kMax, kMax}, {-10, 10}}},

    // ---- hyperbolic ----
    // Whole domains, the polynomial/table switch at 0.25, the one-sided
    // switch near 21.49, the overflow edges, and the neighbourhoods of 0 and
    // 1 where the inverse functions must keep their relative accuracy.
    {.name = "Sinh", .ref1 = mpfr_sinh, .fast = [](double x) { return std::sinh(x); }, .peer = "sinh",
     .status_s = statuses({3}), .a = {{-kMax, kMax}, {-90, 90, "s"}, {-711, 711, "d"}, {-1, 1}, {-0.3, 0.3}, {20, 23}},
     .crossings = {{0, 800, Target::overflow}, {-800, 0, Target::overflow}}, .points = {0.25, -0.25, 21.487562597358306}},
    {.name = "Cosh", .ref1 = mpfr_cosh, .fast = [](double x) { return std::cosh(x); }, .peer = "cosh",
     .status_s = statuses({3}), .status_d = statuses({3}),
     .a = {{-kMax, kMax}, {-90, 90, "s"}, {-711, 711, "d"}, {-1, 1}, {20, 23}},
     .crossings = {{0, 800, Target::overflow}}, .points = {21.487562597358306, 708.39599609375}},
    {.name = "Tanh", .ref1 = mpfr_tanh, .fast = [](double x) { return std::tanh(x); }, .peer = "tanh",
     .a = {{-kMax, kMax}, {-25, 25}, {-1, 1}, {-0.3, 0.3}}, .points = {0.25, -0.25, 22}},
    {.name = "Asinh", .ref1 = mpfr_asinh, .fast = [](double x) { return std::asinh(x); }, .peer = "asinh",
     .a = {{-kMax, kMax}, {-1e3, 1e3}, {-1, 1}, {-0x1p-20, 0x1p-20}, {1e7, 1e9}}, .points = {0x1p-27, 0x1p28}},
    {.name = "Acosh", .ref1 = mpfr_acosh, .fast = [](double x) { return std::acosh(x); }, .peer = "acosh",
     .a = {{1, kMax}, {1, 1e3}, {1, 2}, {1, 1 + 0x1p-20}, {1e7, 1e9}}, .points = {1, 0x1p28}},
    {.name = "Atanh", .ref1 = mpfr_atanh, .fast = [](double x) { return std::atanh(x); }, .peer = "atanh",
     .status_d = statuses({1, 2}), .a = {{-1, 1}, {0.99, 1}, {-1, -0.99}, {-0x1p-20, 0x1p-20}},
     .points = {1, -1, 0x1p-27}},

    // ---- powers and roots ----
    // Every exponent (key-uniform over the whole line) and a value-uniform
    // stretch around 1; Sqrt also on the negative side (NaN, no report).
    {.name = "Sqrt", .ref1 = mpfr_sqrt, .fast = [](double x) { return std::sqrt(x); }, .peer = "sqrt",
     .a = {{-kMax, kMax}, {0, kMax}, {0.25, 4}}},
    {.name = "InvSqrt", .ref1 = inv_sqrt, .fast = [](double x) { return 1 / std::sqrt(x); },
     .status_s = statuses({1, 2}), .quiet_slots = 0b101, .a = {{-kMax, kMax}, {0, kMax}, {0.25, 4}}},
    {.name = "Cbrt", .ref1 = mpfr_cbrt, .fast = [](double x) { return std::cbrt(x); }, .peer = "cbrt",
     .a = {{-kMax, kMax}, {0, kMax}, {-8, 8}}},
    {.name = "InvCbrt", .ref1 = inv_cbrt, .fast = [](double x) { return 1 / std::cbrt(x); },
     .status_d = statuses({2}), .a = {{-kMax, kMax}, {0, kMax}, {-8, 8}}},
    {.name = "Pow2o3", .ref1 = pow2o3, .fast = [](double x) { return std::cbrt(x) * std::cbrt(x); },
     .a = {{-kMax, kMax}, {0, kMax}, {0, 100}}},
    {.name = "Pow3o2", .ref1 = pow3o2, .fast = [](double x) { return x < 0 ? NAN : x * std::sqrt(x); },
     .status_s = statuses({1}), .status_d = statuses({1}), .a = {{-kMax, kMax}, {0, kMax}, {0, 100}},
     .crossings = {{1, kMax, Target::overflow}, {0, 1, Target::min_normal}, {0, 1, Target::to_zero}}},
    // The plane: every exponent of x (both signs) against every exponent of
    // y; x next to 1 against |y| up to 2^60; moderate values; y from -1100
    // to 1100 puts many results next to overflow and underflow.
    {.name = "Pow", .ref2 = mpfr_pow, .peer = "pow", .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{-kMax, kMax}, {0, kMax}, {1 - 0x1p-20, 1 + 0x1p-20}, {0, 10}, {-10, 10}},
     .b = {{-kMax, kMax}, {-1100, 1100}, {-0x1p60, 0x1p60}, {-40, 40}, {-4, 4}}},
    {.name = "Powx", .ref2 = mpfr_pow, .status_s = statuses({1}), .status_d = statuses({1}),
     .a = {{-kMax, kMax}, {0, kMax}, {1 - 0x1p-20, 1 + 0x1p-20}, {0, 10}, {-10, 10}},
     .b = {{-kMax, kMax}, {-1100, 1100}, {-0x1p60, 0x1p60}, {-40, 40}, {-4, 4}}},
    // Huge and tiny components on both sides, and the ordinary range.
    {.name = "Hypot", .ref2 = mpfr_hypot, .peer = "hypot", .a = {{-kMax, kMax}, {-1e3, 1e3}, {-0x1p-1000, 0x1p-1000}},
     .b = {{-kMax, kMax}, {-1e3, 1e3}, {0x1p1000, kMax}}},

    // ---- special functions ----
    {.name = "Erf", .ref1 = mpfr_erf, .fast = [](double x) { return std::erf(x); }, .peer = "erf",
     .a = {{-6, 6}, {-0.6, 0.6}, {-0x1p-20, 0x1p-20}}, .points = {0.5, -0.5}},
    {.name = "Erfc", .ref1 = mpfr_erfc, .fast = [](double x) { return std::erfc(x); }, .peer = "erfc",
     .a = {{-10, 11, "s"}, {-6, 28, "d"}, {-0.6, 0.6}, {15, 28, "d"}, {-0x1p-20, 0x1p-20}},
     .crossings = {{0, 30, Target::min_normal}, {0, 30, Target::to_zero}}, .points = {0.5, -0.5, 26.5}},
    // ErfInv: the whole domain, value-uniform and by exponent toward 0 and
    // toward ±1 (1 - 2^-k), the branch points 0.5205 and erf(1/2), and the
    // domain errors beyond ±1.
    {.name = "ErfInv", .ref1 = erfinv_, .status_s = statuses({1, 2}), .status_d = statuses({1, 2}),
     .a = {{-1, 1}, {-0x1p-20, 0x1p-20}, {0.99, 1}, {-1, -0.999}, {1 - 0x1p-20, 1}, {0.5, 0.54}, {-4, 4}},
     .points = {0.5205, 0.5204998778130465, 0x1p-35, 1 - 0x1p-24, 1 - 0x1p-53, 0.9981}},
    // ErfcInv: the domain and beyond it, by exponent down to the smallest
    // denormal at either end (x and 2 - x), around 1 where the result is
    // near 0, and the switches: q = 0.4795 (erf residual / erfc residual),
    // 1/8 (single: rational tail), 2^-1022 and 2^-126 (the vector ranges).
    {.name = "ErfcInv", .ref1 = erfcinv_, .fast = erfcinv_fast, .status_s = statuses({1, 2}),
     .status_d = statuses({1, 2}),
     .a = {{0, 2}, {-1, 3}, {1, 2}, {2 - 0x1p-20, 2}, {1 - 0x1p-20, 1 + 0x1p-20}, {0.4, 0.6}, {1.4, 1.6},
           {0, 0x1p-1000, "d"}, {0, 0x1p-100, "s"}},
     .crossings = {{0.5, 1.5, Target::root}},
     .points = {1, 0.5, 1.5, 0.4795001221869535, 1.5204998778130465, 0.125, 1.875, 0x1p-1022, 0x1p-126, 0x1p-1074,
                0x1p-149, 1 - 0x1p-53, 1 + 0x1p-52, 2 - 0x1p-52, 2 - 0x1p-23}},
    // CdfNormInv: the same regions for p = x/2, and 1 - p down to 2^-53.
    {.name = "CdfNormInv", .ref1 = cdfnorminv, .fast = cdfnorminv_fast, .status_s = statuses({1, 2}), .status_d = statuses({1, 2}),
     .a = {{0, 1}, {-0.5, 1.5}, {0.5, 1}, {1 - 0x1p-20, 1}, {0.5 - 0x1p-20, 0.5 + 0x1p-20}, {0.2, 0.3}, {0.7, 0.8},
           {0, 0x1p-1000, "d"}, {0, 0x1p-100, "s"}},
     .crossings = {{0.25, 0.75, Target::root}},
     .points = {0.5, 0.23975006109347674, 0.7602499389065233, 0.0625, 0.9375, 0x1p-1023, 0x1p-127, 0x1p-1074,
                0x1p-149, 1 - 0x1p-53, 1 - 0x1p-24, 0.5 + 0x1p-53}},
    {.name = "CdfNorm", .ref1 = cdfnorm, .fast = [](double x) { return std::erfc(-x / kRt2) / 2; },
     .status_s = statuses({4}), .status_d = statuses({4}),
     .a = {{-15, 6, "s"}, {-39, 9, "d"}, {-39, -30, "d"}, {-1, 1}, {-0x1p-20, 0x1p-20}},
     .crossings = {{-40, 0, Target::min_normal}, {-40, 0, Target::to_zero}},
     .points = {-37.3, -12.9, 0.7071067811865476, -0.7071067811865476}},
    // Gamma: the whole line, the overflow edge, the negative axis down to
    // where the results leave the denormals; LGamma: around its zeros (above).
    {.name = "TGamma", .ref1 = mpfr_gamma, .fast = [](double x) { return std::tgamma(x); }, .peer = "tgamma",
     .status_s = statuses({1, 2, 4}),
     .a = {{-kMax, kMax}, {-50, 36, "s"}, {-200, 172, "d"}, {0, 3}, {-5, 0}, {-0x1p-20, 0x1p-20}},
     .crossings = {{2, 200, Target::overflow}}, .points = {1, 2, 3, -0.5, -1.5, -170.5, -184.5, -42.5}},
    {.name = "LGamma", .ref1 = lgamma_, .fast = [](double x) { return std::lgamma(x); }, .peer = "lgamma",
     .status_s = statuses({2, 3}),
     .a = lgamma_lines(), .crossings = lgamma_crossings(), .points = {1, 2, -0.5, -2.5, -190.5}},
};

}  // namespace

const FnInfo* find_function(const char* name) {
    for (const FnInfo& f : kFunctions)
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

}  // namespace kex_acc
