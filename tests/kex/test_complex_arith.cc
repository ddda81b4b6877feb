// Complex arithmetic: the C99 special-value tables of every kernel over all
// pairs of ±0, ±finite, ±inf and NaN components (against the compiler's
// complex arithmetic and libm), the overflow reports, division and magnitude
// of huge and tiny components, Conj's sign bit, the Abs estimate form, and
// the CIS scalar paths.
#include <cfloat>
#include <complex>
#include <random>

#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using C8 = OrvuComplex8;
using Z16 = OrvuComplex16;

template <class T> using Cx = std::conditional_t<sizeof(T) == 4, C8, Z16>;
template <class T> using BinK = void (*)(int32_t, const Cx<T>*, const Cx<T>*, Cx<T>*);

// Same kind (NaN, signed infinity, zero of the same sign unless any_zero) and,
// when finite, within a relative tol.
template <class T> bool alike(T got, T want, double tol = 0x1p-20, bool any_zero = false) {
    if (std::isnan(want) || std::isnan(got)) return std::isnan(want) && std::isnan(got);
    if (any_zero && want == 0) return got == 0;
    if (std::isinf(want) || want == 0 || got == 0) return same_bits(got, want);
    return std::signbit(got) == std::signbit(want) && std::fabs(got - want) <= std::fabs(want) * tol;
}

template <class T> std::vector<Cx<T>> special_grid() {
    const T v[] = {T(0), -T(0), T(1.5), T(-0.75), INFINITY, -INFINITY, NAN};
    std::vector<Cx<T>> g;
    for (T re : v)
        for (T im : v) g.push_back({re, im});
    return g;
}

template <class T> void check_binary_table(BinK<T> k, char op, const char* what) {
    const auto g = special_grid<T>();
    std::vector<Cx<T>> a, b;
    for (const auto& x : g)
        for (const auto& y : g) a.push_back(x), b.push_back(y);
    std::vector<Cx<T>> r(a.size());
    k(static_cast<int32_t>(a.size()), a.data(), b.data(), r.data());
    int bad = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::complex<T> x(a[i].re, a[i].im), y(b[i].re, b[i].im);
        const std::complex<T> w = op == '+' ? x + y : op == '-' ? x - y : op == '*' ? x * y : op == 'c' ? x * std::conj(y) : x / y;
        // The compiler divides complex doubles by Smith's method, whose zeros
        // may have other signs than those of the plain formula.
        const bool any_zero = op == '/' && sizeof(T) == 8;
        if (alike(r[i].re, w.real(), 0x1p-20, any_zero) && alike(r[i].im, w.imag(), 0x1p-20, any_zero)) continue;
        if (++bad <= 3)
            ADD_FAILURE() << what << " (" << x.real() << "," << x.imag() << ") " << op << " (" << y.real() << ","
                          << y.imag() << ") = (" << r[i].re << "," << r[i].im << "), want " << w;
    }
    EXPECT_EQ(bad, 0) << what;
}

TEST(ComplexArith, SpecialValueTables) {
    check_binary_table<float>(_kexcAdd, '+', "cAdd"), check_binary_table<double>(_kexzSub_26, '-', "zSub EP");
    check_binary_table<float>(_kexcMul, '*', "cMul"), check_binary_table<float>(_kexcMul_11, '*', "cMul EP");
    check_binary_table<double>(_kexzMul, '*', "zMul"), check_binary_table<double>(_kexzMul_26, '*', "zMul EP");
    check_binary_table<float>(_kexcMulByConj, 'c', "cMulByConj"), check_binary_table<double>(_kexzMulByConj_26, 'c', "zMulByConj EP");
    check_binary_table<float>(_kexcDiv, '/', "cDiv"), check_binary_table<float>(_kexcDiv_11, '/', "cDiv EP");
    check_binary_table<double>(_kexzDiv, '/', "zDiv"), check_binary_table<double>(_kexzDiv_26, '/', "zDiv EP");

    const auto g = special_grid<double>();
    const int n = static_cast<int>(g.size());
    std::vector<double> abs(n), arg(n);
    std::vector<Z16> conj(n);
    for (auto absk : {_kexzAbs, _kexzAbs_50, _kexzAbs_26}) {
        absk(n, g.data(), abs.data());
        for (int i = 0; i < n; ++i) EXPECT_TRUE(same(abs[i], std::hypot(g[i].re, g[i].im))) << i;
    }
    for (auto argk : {_kexzArg, _kexzArg_50, _kexzArg_26}) {
        argk(n, g.data(), arg.data());
        for (int i = 0; i < n; ++i) EXPECT_TRUE(alike(arg[i], std::atan2(g[i].im, g[i].re))) << i;
    }
    _kexzConj(n, g.data(), conj.data());
    for (int i = 0; i < n; ++i) EXPECT_TRUE(same_bits(conj[i].re, g[i].re) && same_bits(conj[i].im, -g[i].im));
    const auto gs = special_grid<float>();
    std::vector<float> as(n);
    for (auto absk : {_kexcAbs, _kexcAbs_21, _kexcAbs_11}) {
        absk(n, gs.data(), as.data());
        for (int i = 0; i < n; ++i) EXPECT_TRUE(alike(as[i], std::hypot(gs[i].re, gs[i].im)) || (absk == _kexcAbs_11 && std::fabs(as[i] / std::hypot(gs[i].re, gs[i].im) - 1) < 0x1p-11)) << i;
    }
    for (auto argk : {_kexcArg, _kexcArg_21, _kexcArg_11}) {
        argk(n, gs.data(), as.data());
        for (int i = 0; i < n; ++i) EXPECT_TRUE(alike(as[i], std::atan2(gs[i].im, gs[i].re), 0x1p-11)) << i;
    }
}

using Reports = std::vector<std::pair<int32_t, int32_t>>;
Reports reports() {
    std::vector<std::pair<int32_t, int32_t>> v;
    for (const auto& c : g_seen) v.push_back({c.code, c.index});
    return v;
}

// Status 3 for an infinite component from finite arguments only, from the HA
// kernels only; a zero divisor is no overflow.
TEST(ComplexArith, OverflowReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        const float m = FLT_MAX;
        const std::vector<C8> a = {{m, 0}, {INFINITY, 0}, {1, 2}, {m, m}, {1, 1}};
        const std::vector<C8> b = {{m, 0}, {1, 0}, {3, 4}, {2, 0}, {0, 0}};
        std::vector<C8> r(a.size());
        record_reports();
        _kexcAdd(5, a.data(), b.data(), r.data());
        EXPECT_EQ(reports(), Reports({{3, 0}}));
        EXPECT_TRUE(r[0].re == INFINITY && r[0].im == 0 && r[1].re == INFINITY);
        for (auto k : {_kexcMul, _kexcMulByConj}) {
            record_reports();
            k(5, a.data(), b.data(), r.data());
            EXPECT_EQ(reports(), Reports({{3, 0}, {3, 3}}));
        }
        record_reports();
        _kexcDiv(5, b.data(), a.data(), r.data());  // 1/(FLT_MAX, 0) and (0,0)/(1,1) stay quiet
        EXPECT_TRUE(reports().empty());
        const std::vector<Z16> za = {{1e300, 1e300}, {1, 1}, {1e-300, 0}, {1, 0}};
        const std::vector<Z16> zb = {{1e10, -1e10}, {0, 0}, {1e-10, 0}, {0x1p-1060, 0x1p-1060}};
        std::vector<Z16> zr(4);
        record_reports();
        _kexzMul(4, za.data(), zb.data(), zr.data());
        EXPECT_EQ(reports(), Reports({{3, 0}}));
        record_reports();
        _kexzDiv(4, za.data(), zb.data(), zr.data());
        EXPECT_EQ(reports(), Reports({{3, 3}}));
        EXPECT_TRUE(std::isinf(zr[1].re) && std::fabs(zr[2].re / 1e-290 - 1) < 1e-15);
        for (auto k : {_kexzMul_26, _kexzDiv_26, _kexzAdd_26}) {
            record_reports();
            k(4, za.data(), zb.data(), zr.data());
            EXPECT_TRUE(reports().empty());
        }
    });
}

// Quotients and magnitudes of components near the ends of the range come out
// to the last bit where the plain formulas overflow or underflow.
TEST(ComplexArith, HugeAndTinyComponents) {
    const std::vector<Z16> a = {{0x1p1000, 0x1p1000}, {0x1p-1000, 0x1p-1000}, {3e-320, 4e-320}, {1, 0}};
    const std::vector<Z16> b = {{0x1p1000, -0x1p1000}, {0x1p-1000, -0x1p-1000}, {3, 4}, {0x1p-1060, 0x1p-1060}};
    std::vector<Z16> r(4);
    _kexzDiv(4, a.data(), b.data(), r.data());
    for (int i : {0, 1}) EXPECT_TRUE(r[i].re == 0 && r[i].im == 1) << i;
    EXPECT_TRUE(std::fabs(r[2].re - 1e-320) <= 0x1p-1074 && r[2].im == 0);
    EXPECT_TRUE(r[3].re == INFINITY && r[3].im == -INFINITY);  // 2^1059 (1 - i)
    std::vector<double> m(4);
    for (auto k : {_kexzAbs, _kexzAbs_50}) {
        k(4, a.data(), m.data());
        EXPECT_EQ(m[0], 0x1p1000 * std::sqrt(2.0));
        EXPECT_EQ(m[1], 0x1p-1000 * std::sqrt(2.0));
        EXPECT_EQ(m[2], std::hypot(3e-320, 4e-320));
    }
    const std::vector<C8> ca = {{0x1p100f, 0x1p100f}, {0x1p-100f, 0}}, cb = {{0x1p100f, -0x1p100f}, {0, 0x1p-100f}};
    std::vector<C8> cr(2);
    _kexcDiv(2, ca.data(), cb.data(), cr.data());
    EXPECT_TRUE(cr[0].re == 0 && cr[0].im == 1 && cr[1].re == 0 && cr[1].im == -1);
}

// Numerators that cancel, where random arguments rarely go: b is a scaled
// copy of a with its components swapped (Mul) or not (MulByConj, Div), and
// a's imaginary part moves by 2^-20 .. 2^-52, so one component loses that
// many bits. Each component is within half an ulp plus 2^-104 of its two
// products' magnitudes (Div: 2^-99 of those over the norm) of the exact value.
TEST(ComplexArith, CancellingNumerators) {
    std::mt19937_64 g(5);
    std::uniform_real_distribution<double> u(0.5, 2);
    constexpr int n = 2000;
    std::vector<Z16> a(n), b(n), r(n);
    for (int kind = 0; kind < 3; ++kind) {
        const bool conj = kind > 0, div = kind == 2;
        for (int i = 0; i < n; ++i) {
            const double x = u(g), y = u(g), s = u(g) * 0x1p-30;
            a[i] = {x, y * (1 + std::ldexp(u(g) - 1.25, -20 - static_cast<int>(g() % 33)))};
            b[i] = conj ? Z16{x * s, y * s} : Z16{y * s, x * s};
        }
        (kind == 0 ? _kexzMul : kind == 1 ? _kexzMulByConj : _kexzDiv)(n, a.data(), b.data(), r.data());
        for (int i = 0; i < n * 2; ++i) {  // component k = i % 2 of element i / 2 is (x1 y1 + x2 y2) / w
            const Z16 &p = a[i / 2], &q = b[i / 2];
            const double x1 = i % 2 ? p.im : p.re, x2 = i % 2 ? p.re : p.im, y2 = (i % 2 == 0) == conj ? q.im : -q.im;
            const double got = i % 2 ? r[i / 2].im : r[i / 2].re, w = div ? q.re * q.re + q.im * q.im : 1;
            Exact e(got), t(x1), t2(x2), v(q.im);
            mpfr_mul_d(t, t, q.re, MPFR_RNDN), mpfr_mul_d(t2, t2, y2, MPFR_RNDN), mpfr_add(t, t, t2, MPFR_RNDN);
            mpfr_set_d(t2, q.re, MPFR_RNDN), mpfr_sqr(t2, t2, MPFR_RNDN), mpfr_sqr(v, v, MPFR_RNDN), mpfr_add(v, v, t2, MPFR_RNDN);
            if (div) mpfr_div(t, t, v, MPFR_RNDN);
            mpfr_sub(e, e, t, MPFR_RNDN);
            const double bound = (std::fabs(x1 * q.re) + std::fabs(x2 * y2)) / w * (div ? 0x1p-99 : 0x1p-104);
            EXPECT_LE(std::fabs(mpfr_get_d(e, MPFR_RNDN)), (std::nextafter(std::fabs(got), INFINITY) - std::fabs(got)) / 2 + bound)
                << kind << " " << i;
        }
    }
}

TEST(ComplexArith, ConjAndAbsEstimate) {
    const Z16 z[] = {{1, 2}, {1, +0.0}};
    Z16 r[2];
    _kexzConj(2, z, r);
    EXPECT_TRUE(r[0].re == 1 && r[0].im == -2 && same_bits(r[1].im, -0.0));
    const C8 c[] = {{3, 4}, {0, 0}, {-0.0f, 0}};
    float m[3];
    _kexcAbs_11(3, c, m);
    EXPECT_NEAR(m[0], 5.0f, 5 * 0x1p-11);
    EXPECT_TRUE(m[1] == 0 && m[2] == 0);
}

// The scalar paths reduce any finite argument; the kernels send the same
// elements there, so both agree bit for bit.
TEST(ComplexArith, CisScalarPaths) {
    const std::vector<double> x = {0.5, 1e300, -0x1p1023, 1e22, INFINITY, NAN, -0.0};
    std::vector<Z16> r(x.size()), s(x.size());
    for (auto k : {_kexzCIS, _kexzCIS_50, _kexzCIS_26}) {
        k(static_cast<int32_t>(x.size()), x.data(), r.data());
        for (size_t i = 0; i < x.size(); ++i) {
            orvu_kex_kernel_zCIS_SC(static_cast<int32_t>(i), x.data(), s.data());
            if (i > 0 && i < 4) EXPECT_TRUE(same(r[i].re, s[i].re) && same(r[i].im, s[i].im)) << x[i];
            else EXPECT_TRUE(alike(r[i].re, s[i].re, 0x1p-26) && alike(r[i].im, s[i].im, 0x1p-26)) << x[i];
        }
    }
    EXPECT_NEAR(s[3].re, 0.5232147853951389, 2e-16);  // cos 1e22 = 0.52321478539513894549...
    EXPECT_TRUE(std::isnan(s[4].re) && std::isnan(s[5].im) && s[6].re == 1 && same_bits(s[6].im, -0.0));
    const std::vector<float> xs = {3e38f, 1e10f, -0.0f};
    std::vector<C8> rs(3), ss(3);
    _kexcCIS(3, xs.data(), rs.data());
    for (int i = 0; i < 3; ++i) {
        orvu_kex_kernel_cCIS_SC_HA(i, xs.data(), ss.data());
        EXPECT_TRUE(same(rs[i].re, ss[i].re) && same(rs[i].im, ss[i].im)) << xs[i];
        EXPECT_EQ(ss[i].re, static_cast<float>(std::cos(double(xs[i]))));
    }
}

}  // namespace
