// Double Exp and Expm1 in their three flavours: IEEE results at the special
// values and range edges, Expm1's overflow as its only report, special lanes
// inside a block and in the tail, and each flavour's accuracy against MPFR.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using Kernel = void (*)(int32_t, const double*, double*);

// Bounds on the main path's results; m1 marks Expm1.
struct Flavour { const char* name; Kernel k; bool m1; double max_ulp, min_bits; };
constexpr double kAny = INFINITY;
const Flavour kFlavours[] = {
    {"dExp HA", _kexdExp, false, 0.53, 0},      {"dExp LA", _kexdExp_50, false, 2, 0},
    {"dExp EP", _kexdExp_26, false, kAny, 26},  {"dExpm1 HA", _kexdExpm1_HA, true, 0.53, 0},
    {"dExpm1 LA", _kexdExpm1_50, true, 3, 0},   {"dExpm1 EP", _kexdExpm1_26, true, kAny, 26},
};

constexpr double kMaxArg = 0x1.62e42fefa39efp9;  // largest x with e^x finite
// x, e^x, e^x - 1, whether Expm1 reports an overflow.
struct Special { double x, exp, expm1; bool overflow; };
const Special kSpecials[] = {
    {NAN, NAN, NAN, false},          {INFINITY, INFINITY, INFINITY, false}, {-INFINITY, 0, -1, false},
    {710, INFINITY, INFINITY, true}, {std::nextafter(kMaxArg, 800), INFINITY, INFINITY, true},
    {-746, 0, -1, false},            {-0x1.74910d52d3052p9, 0, -1, false},  // e^x at or below 2^-1075
    {-0.0, 1, -0.0, false},          {0x1p-1074, 1, 0x1p-1074, false},       {-0x1p-60, 1, -0x1p-60, false},
    {-745, 0x1p-1074, -1, false},    // 4.94e-324: the smallest denormal
};

void collect_reports() { orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK), record_reports(); }
using Reports = std::vector<std::pair<int32_t, int32_t>>;
Reports reports() { Reports v; for (const auto& c : g_seen) v.push_back({c.code, c.index}); return v; }

// Special values inside full blocks and in the tail; only Expm1's overflow
// is reported, once per element.
TEST(ExpDouble, SpecialValuesAndTheOverflowReport) {
    on_fresh_thread([] {
        std::vector<double> x{0.5, 1.5, 2.5};
        for (const Special& s : kSpecials) x.push_back(s.x);
        for (const Flavour& f : kFlavours) {
            collect_reports(), orvu_kex_kernel_SetErrStatus(0);
            std::vector<double> r(x.size());
            f.k(static_cast<int32_t>(x.size()), x.data(), r.data());
            Reports want;
            for (size_t i = 3; i < x.size(); ++i) {
                const Special& s = kSpecials[i - 3];
                EXPECT_TRUE(same(r[i], f.m1 ? s.expm1 : s.exp)) << f.name << " x=" << s.x << " got " << r[i];
                if (f.m1 && s.overflow) want.push_back({KEX_STATUS_OVERFLOW, static_cast<int32_t>(i)});
            }
            EXPECT_EQ(reports(), want) << f.name;
            EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), f.m1 ? KEX_STATUS_OVERFLOW : 0) << f.name;
        }
    });
}

// Every length and start offset, and in place, give each element the bits it
// gets alone (through the tail): a block whose special lanes send it to the
// scalar routine keeps the vector formula's results in its other lanes.
TEST(ExpDouble, BlocksAndTailAgreeElementByElement) {
    auto x = inputs<double>(1003);  // specials, and [-1000, 1000]: many out-of-range lanes
    for (double& v : x) v = std::isfinite(v) ? std::fmod(v, 800.0) : v;
    for (const Flavour& f : kFlavours) {
        const auto alone = [&](double v) { double r; f.k(1, &v, &r); return r; };
        check_elementwise(f.k, alone, x, {}, f.name);
    }
}

// n arguments uniform in [lo, hi), each scaled by 2^-s, s uniform in 0..smax.
void add(std::vector<double>& v, int n, double lo, double hi, int smax = 0) {
    static std::mt19937_64 g(7);
    std::uniform_real_distribution<double> u(lo, hi);
    while (n-- > 0) v.push_back(std::ldexp(u(g), -static_cast<int>(g() % (smax + 1))));
}

Accuracy measure(const Flavour& f, const std::vector<double>& x) {
    std::vector<double> r(x.size());
    f.k(static_cast<int32_t>(x.size()), x.data(), r.data());
    return accuracy(r.data(), r.size(), [&](mpfr_ptr e, size_t i) {
        mpfr_set_d(e, x[i], MPFR_RNDN);
        f.m1 ? mpfr_expm1(e, e, MPFR_RNDN) : mpfr_exp(e, e, MPFR_RNDN);
    });
}

// The whole range, magnitudes down to 2^-70 (Expm1's cancellation and its
// tiny arguments), and the edges where the scalar routines take over
// (denormal results, the last binade before overflow).
TEST(ExpDouble, EachFlavourKeepsItsAccuracy) {
    std::vector<double> main, edge{kMaxArg};
    add(main, 3000, -708.39, 708.39), add(main, 2000, -1, 1, 70);
    add(edge, 1000, -745.13, -708.4), add(edge, 500, 708.4, kMaxArg);
    for (const Flavour& f : kFlavours) {
        const Accuracy a = measure(f, main);
        std::printf("[ accuracy] %s: %.2f correct bits, %.3g ulp\n", f.name, a.bits(), a.max_ulp);
        EXPECT_TRUE(a.max_ulp <= f.max_ulp && a.bits() >= f.min_bits) << f.name;
        // The edges go through the scalar routines, accurate in every flavour;
        // Expm1 of a large negative argument is exactly -1 there.
        EXPECT_LE(measure(f, edge).max_ulp, 0.53) << f.name;
    }
}

}  // namespace
