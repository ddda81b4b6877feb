// Sin, Cos and SinCos in both precisions: IEEE results and the domain report
// at the special values, blocks against single elements across the vector
// bounds, the hardest reductions against MPFR, and the exported per-element
// routines with their x87 precision control.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using DK = void (*)(int32_t, const double*, double*);
using SK = void (*)(int32_t, const float*, float*);
using Reports = std::vector<std::pair<int32_t, int32_t>>;

struct DRow { const char* name; DK k; bool sin; double max_ulp; };
const DRow kDouble[] = {
    {"dSin HA", _kexdSin_HA, true, 0.9},  {"dSin LA", _kexdSin_50, true, 4},  {"dSin EP", _kexdSin_26, true, 1e7},
    {"dCos HA", _kexdCos_HA, false, 0.9}, {"dCos LA", _kexdCos_50, false, 4}, {"dCos EP", _kexdCos_26, false, 1e7},
};
const SK kSingle[] = {_kexsSin_HA, _kexsSin_21, _kexsSin_11, _kexsCos_HA, _kexsCos_21, _kexsCos_11};

Reports reports() { Reports v; for (const auto& c : g_seen) v.push_back({c.code, c.index}); return v; }

// ±inf gives NaN and one report of status 1; NaN passes quietly; sin keeps
// the sign of zero and of tiny arguments. Specials sit in full blocks and tails.
TEST(SinCos, SpecialValuesAndReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        const std::vector<double> x = {0.5, INFINITY, NAN, -0.0, 0.0, 1e-80, -INFINITY, 2.0, -0x1p-1074};
        const Reports want = {{1, 1}, {1, 6}};
        for (const DRow& f : kDouble) {
            record_reports();
            std::vector<double> r(x.size());
            f.k(static_cast<int32_t>(x.size()), x.data(), r.data());
            EXPECT_EQ(reports(), want) << f.name;
            for (int i : {1, 2, 6}) EXPECT_TRUE(std::isnan(r[i])) << f.name;
            for (int i : {3, 4, 5, 8})
                EXPECT_TRUE(f.sin ? same(r[i], x[i]) : std::fabs(r[i] - 1) <= f.max_ulp * 0x1p-53) << f.name << x[i];
        }
        const std::vector<float> xs(x.begin(), x.end());
        for (SK k : kSingle) {
            record_reports();
            std::vector<float> r(xs.size());
            k(static_cast<int32_t>(xs.size()), xs.data(), r.data());
            EXPECT_EQ(reports(), want);
            EXPECT_TRUE(std::isnan(r[1]) && std::isnan(r[2]) && std::isnan(r[6]));
            EXPECT_TRUE(same(r[3], -0.0f) || r[3] == 1.0f);
        }
        for (auto k : {_kexdSinCos_HA, _kexdSinCos_50, _kexdSinCos_26}) {  // one report for both results
            record_reports();
            std::vector<double> s(x.size()), c(x.size());
            k(static_cast<int32_t>(x.size()), x.data(), s.data(), c.data());
            EXPECT_EQ(reports(), want);
            EXPECT_TRUE(std::isnan(s[1]) && std::isnan(c[1]) && same(s[3], -0.0) && c[3] == 1.0);
        }
    });
}

// Arguments on both sides of the vector bounds 90112 and 2^17: a block with a
// lane taken by the scalar path keeps the vector results in its other lanes.
TEST(SinCos, BlocksAgreeWithSingleElements) {
    auto x = inputs<double>(601);
    std::mt19937_64 g(3);
    for (size_t i = 0; i < x.size(); i += 3) x[i] = std::uniform_real_distribution<double>(8e4, 1.4e5)(g);
    for (const DRow& f : kDouble) {
        const auto alone = [&](double v) { double r; f.k(1, &v, &r); return r; };
        check_elementwise(f.k, alone, x, {}, f.name);
    }
    const std::vector<float> xs(x.begin(), x.end());
    for (SK k : kSingle) check_elementwise(k, [&](float v) { float r; k(1, &v, &r); return r; }, xs, {}, "single");
}

// The reductions that cancel most: doubles closest to multiples of pi/2 (the
// worst below 90112, and 6381956970095103 2^797), both sides of 90112, the
// thresholds of the exact reduction, 1e22 and 2^1023.
const double kHard[] = {0x1.6c6cbc45dc8dep5, 0x1.6c6cbc45dc8dep13, 0x1.65a1dd290660fp16, 0x1.6ac5b262ca1ffp849,
                        std::nextafter(90112.0, 0.0), 90112.0, 0x1p17, std::nextafter(0x1p17, 0.0), 0x1p30,
                        0x1.8p31, 1e22, -1e22, 0x1p1023, -0x1.fffffffffffffp1023, 3.0, -1e-300};

TEST(SinCos, HardArgumentsAgainstMpfr) {
    const std::vector<double> x(std::begin(kHard), std::end(kHard));
    for (const DRow& f : kDouble) {
        std::vector<double> r(x.size());
        f.k(static_cast<int32_t>(x.size()), x.data(), r.data());
        const Accuracy a = accuracy(r.data(), r.size(), [&](mpfr_ptr e, size_t i) {
            mpfr_set_d(e, x[i], MPFR_RNDN);
            f.sin ? mpfr_sin(e, e, MPFR_RNDN) : mpfr_cos(e, e, MPFR_RNDN);
        });
        EXPECT_LT(a.max_ulp, f.max_ulp) << f.name;
        EXPECT_GT(a.bits(), 26) << f.name;
    }
}

// The exported element routines: the kernels' values, a report naming the
// element, and the caller's x87 control word (here 64-bit precision) back.
TEST(SinCos, ScalarPathsAndPrecisionControl) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        record_reports();
        const double x[] = {1e22, 0x1.6ac5b262ca1ffp849, -INFINITY};
        double r[3], r2[3], k[2];
        uint16_t cw = 0x37F, after;  // extended precision
        __asm__ __volatile__("fldcw %0" : : "m"(cw));
        for (int i = 0; i < 3; ++i) orvu_kex_kernel_dSin_SC(i, x, r);
        __asm__ __volatile__("fnstcw %0" : "=m"(after));
        EXPECT_EQ(after, cw);
        _kexdSin_HA(2, x, k);
        EXPECT_TRUE(same(r[0], k[0]) && same(r[1], k[1]) && std::isnan(r[2]));
        for (int i = 0; i < 2; ++i) orvu_kex_kernel_dSinCos_SC_A11(i, x, r, r2);
        _kexdCos_HA(2, x, k);
        EXPECT_TRUE(same(r2[0], k[0]) && same(r2[1], k[1]));
        const float xs[] = {3e37f, -INFINITY};
        float s[2], sk[2];
        orvu_kex_kernel_sCos_SC_LA(0, xs, s), orvu_kex_kernel_sCos_SC_HA(1, xs, s);
        _kexsCos(1, xs, sk);
        uint32_t nan_bits;
        std::memcpy(&nan_bits, &s[1], 4);
        EXPECT_TRUE(same(s[0], sk[0]) && nan_bits == 0xFFC00000u);
        EXPECT_EQ(reports(), (Reports{{1, 2}, {1, 1}}));
    });
}

}  // namespace
