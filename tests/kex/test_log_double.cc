// Double-precision Ln, Log10 and Log1p in their flavours: special values and
// their reports from a lane inside a block or in the tail, and the accuracy of
// each flavour against MPFR over the whole domain, near 1 and near 0.
#include <bit>

#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using Kernel = void (*)(int32_t, const double*, double*);
using MpfrFn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

enum Fn { kLn, kLog10, kLog1p };
struct Flavour {
    const char* name;
    Kernel run;
    Fn fn;
    double max_ulp, max_rel;
};
constexpr double kAny = 1e30;
// dLn's LA slot holds its HA kernel.
const Flavour kFlavours[] = {
    {"dLn HA", _kexdLn, kLn, 0.51, kAny},           {"dLn LA", _kexdLn_50, kLn, 0.51, kAny},
    {"dLn EP", _kexdLn_26, kLn, kAny, 0x1p-26},     {"dLog10 HA", _kexdLog10_HA, kLog10, 0.51, kAny},
    {"dLog10 LA", _kexdLog10_50, kLog10, 4, kAny},  {"dLog10 EP", _kexdLog10_26, kLog10, kAny, 0x1p-26},
    {"dLog1p HA", _kexdLog1p, kLog1p, 0.51, kAny},  {"dLog1p LA", _kexdLog1p_50, kLog1p, 4, kAny},
    {"dLog1p EP", _kexdLog1p_26, kLog1p, kAny, 0x1p-26},
};
const MpfrFn kExact[] = {mpfr_log, mpfr_log10, mpfr_log1p};

struct Special {
    int fn;  // -1: Ln and Log10 (Ln never reports)
    double x, want;
    int32_t status;
};
const double kInf = INFINITY, kNan = NAN, kDenorm = 0x1p-1074;
const Special kSpecials[] = {
    {-1, 0.0, -kInf, 2},   {-1, -0.0, -kInf, 2},  {-1, -1.0, kNan, 1},  {-1, -kDenorm, kNan, 1},
    {-1, -kInf, kNan, 1},  {-1, kInf, kInf, 0},   {-1, kNan, kNan, 0},  {-1, 1.0, 0.0, 0},
    {kLog10, 1000.0, 3.0, 0},  // HA rounds it exactly; LA and EP within their bounds
    {kLog1p, -1.0, -kInf, 2},  {kLog1p, -1.5, kNan, 1}, {kLog1p, -kInf, kNan, 1}, {kLog1p, kInf, kInf, 0},
    {kLog1p, kNan, kNan, 0},   {kLog1p, -0.0, -0.0, 0}, {kLog1p, kDenorm, kDenorm, 0},
    {kLog1p, -0x1p-60, -0x1p-60, 0},
};

// Each special value at one lane of a block (5) and in the tail (38) of 39
// elements: its result and report are IEEE, every other lane keeps its
// ordinary result, and exactly one report names that element.
TEST(DoubleLogarithms, SpecialLanesAnywhereInABlock) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_HA);
        for (const Flavour& f : kFlavours)
            for (const Special& s : kSpecials) {
                if (s.fn != f.fn && !(s.fn == -1 && f.fn != kLog1p)) continue;
                const int32_t status = f.fn == kLn ? 0 : s.status;
                std::vector<double> a(39), plain(39), r(39);
                for (int i = 0; i < 39; ++i) a[i] = 0.3 + 1.7 * i;
                f.run(39, a.data(), plain.data());
                for (int at : {5, 38}) {
                    std::vector<double> b = a;
                    b[at] = s.x;
                    record_reports();
                    orvu_kex_kernel_ClearErrStatus();
                    f.run(39, b.data(), r.data());
                    const bool exact = s.fn != kLog10 || f.max_ulp < 1;
                    EXPECT_TRUE(exact ? same(r[at], s.want) : std::fabs(r[at] - s.want) <= 3 * 0x1p-26)
                        << f.name << " x=" << s.x << " got " << r[at];
                    for (int i = 0; i < 39; ++i) EXPECT_TRUE(i == at || same_bits(r[i], plain[i])) << f.name << i;
                    ASSERT_EQ(g_seen.size(), status ? 1u : 0u) << f.name << " x=" << s.x;
                    if (status) {
                        EXPECT_TRUE(g_seen[0].code == status && g_seen[0].index == at && same(g_seen[0].res1, s.want));
                    }
                    EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), status) << f.name;
                }
            }
    });
}

// Arguments for the accuracy sweep: bit patterns over every exponent (denormals
// included), values near 1 (and for Log1p near 0 and near -1), the hand-picked
// edges of the reduction, and an odd count so the tail runs too.
std::vector<double> sweep_args(Fn fn) {
    std::mt19937_64 g(fn + 7);
    std::vector<double> v = {0x1p-1022, 0x1.fffffffffffffp-1023, 0x1p-1074, 0x1.fffffffffffffp1023, 1 + 0x1p-52,
                             1 - 0x1p-53, 1 + 0x1p-10, 1 - 0x1p-11, 1 + 0x1.8p-10, 2 - 0x1p-52};
    auto unit = [&] { return double(g() >> 11) * 0x1p-53; };
    for (int i = 0; i < 1200; ++i) v.push_back(std::bit_cast<double>(g() & 0x7FEFFFFFFFFFFFFFull));
    for (int i = 0; i < 1200; ++i) v.push_back(1 + (g() & 1 ? 1 : -0.5) * std::ldexp(unit(), -int(g() % 60)));
    if (fn == kLog1p) {
        for (double& x : v) x = x - 1;  // 1 + x spans the same values as above
        for (int i = 0; i < 1200; ++i) v.push_back((g() & 1 ? 1 : -1) * std::ldexp(unit(), -int(g() % 1070)));
        for (int i = 0; i < 400; ++i) v.push_back(-1 + std::ldexp(unit() + 0x1p-53, -int(g() % 53)));
    }
    std::erase_if(v, [&](double x) { return fn == kLog1p ? !(x > -1) || x == 0 : !(x > 0) || x == 1; });
    if (v.size() % 4 != 3) v.resize(v.size() - v.size() % 4 - 1);
    return v;
}

TEST(DoubleLogarithms, EachFlavourKeepsItsAccuracy) {
    for (const Flavour& f : kFlavours) {
        const std::vector<double> x = sweep_args(f.fn);
        std::vector<double> r(x.size());
        f.run(int32_t(x.size()), x.data(), r.data());
        const Accuracy acc = accuracy(r.data(), r.size(), [&](mpfr_ptr y, size_t i) {
            Exact a(x[i]);
            kExact[f.fn](y, a, MPFR_RNDN);
        });
        std::printf("[ accuracy] %s: %.3f ulp, %.1f correct bits\n", f.name, acc.max_ulp, acc.bits());
        EXPECT_TRUE(acc.max_ulp <= f.max_ulp && acc.max_rel <= f.max_rel) << f.name;
    }
}

// Log10 HA carries ln x in two parts, so exact powers of 10 come out exact.
TEST(DoubleLogarithms, Log10OfPowersOfTenIsExact) {
    std::vector<double> p(22), r(22);
    for (int k = 0; k < 22; ++k) p[k] = std::pow(10.0, k + 1);
    _kexdLog10(22, p.data(), r.data());
    for (int k = 0; k < 22; ++k) EXPECT_EQ(r[k], k + 1.0);
}

}  // namespace
