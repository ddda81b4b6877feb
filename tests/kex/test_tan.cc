// Tan in both precisions: IEEE results and the domain report at the special
// values, the arguments nearest the poles and zeros against MPFR across the
// vector bounds, and the exported per-element routines.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using DK = void (*)(int32_t, const double*, double*);
using Reports = std::vector<std::pair<int32_t, int32_t>>;

Reports reports() { Reports v; for (const auto& c : g_seen) v.push_back({c.code, c.index}); return v; }

TEST(Tan, SpecialValuesAndReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        const std::vector<double> x = {0.5, INFINITY, NAN, -0.0, 0.0, 1e-80, -INFINITY, 2.0, -0x1p-1074};
        const std::vector<float> xs(x.begin(), x.end());
        for (DK k : {_kexdTan_HA, _kexdTan_50, _kexdTan_26}) {
            record_reports();
            std::vector<double> r(x.size());
            k(static_cast<int32_t>(x.size()), x.data(), r.data());
            EXPECT_EQ(reports(), (Reports{{1, 1}, {1, 6}}));
            EXPECT_TRUE(std::isnan(r[1]) && std::isnan(r[2]) && std::isnan(r[6]));
            for (int i : {3, 4, 5, 8}) EXPECT_TRUE(same(r[i], x[i])) << x[i];
        }
        for (auto k : {_kexsTan_HA, _kexsTan_21, _kexsTan_11}) {
            record_reports();
            std::vector<float> r(xs.size());
            k(static_cast<int32_t>(xs.size()), xs.data(), r.data());
            EXPECT_EQ(reports(), (Reports{{1, 1}, {1, 6}}));
            EXPECT_TRUE(std::isnan(r[1]) && std::isnan(r[2]) && same(r[3], -0.0f));
        }
    });
}

// Doubles nearest to multiples of pi/2 (poles and zeros) below and above the
// vector bounds, mixed into blocks with ordinary arguments.
TEST(Tan, HardArgumentsAgainstMpfr) {
    const std::vector<double> x = {0x1.921fb54442d18p0, 0x1.6c6cbc45dc8dep5, 0.3, 0x1.65a1dd290660fp16,
                                   std::nextafter(90112.0, 0.0), 90112.0, -0x1.6ac5b262ca1ffp849, 1e22,
                                   0x1p1023, 3.0, -1e-300, 0x1.6c6cbc45dc8dep13};
    const struct { DK k; double max_ulp; } rows[] = {{_kexdTan_HA, 0.9}, {_kexdTan_50, 4}, {_kexdTan_26, 1e7}};
    for (const auto& f : rows) {
        std::vector<double> r(x.size());
        f.k(static_cast<int32_t>(x.size()), x.data(), r.data());
        const Accuracy a = accuracy(r.data(), r.size(), [&](mpfr_ptr e, size_t i) {
            mpfr_set_d(e, x[i], MPFR_RNDN);
            mpfr_tan(e, e, MPFR_RNDN);
        });
        EXPECT_LT(a.max_ulp, f.max_ulp);
        EXPECT_GT(a.bits(), 26);
    }
}

// The element routines: the kernel's value, a report naming the element,
// the single-precision NaN 0xFFC00000, and the caller's x87 control word back.
TEST(Tan, ScalarPathsAndPrecisionControl) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        record_reports();
        const double x[] = {0x1.6ac5b262ca1ffp849, 1.5, -INFINITY};
        double r[3], k[2];
        uint16_t cw = 0x37F, after;  // extended precision
        __asm__ __volatile__("fldcw %0" : : "m"(cw));
        for (int i = 0; i < 3; ++i) orvu_kex_kernel_dTan_SC_A11(i, x, r);
        __asm__ __volatile__("fnstcw %0" : "=m"(after));
        EXPECT_EQ(after, cw);
        _kexdTan_HA(2, x, k);
        EXPECT_TRUE(same(r[0], k[0]) && same(r[1], k[1]) && std::isnan(r[2]));
        const float xs[] = {1.5f, INFINITY};
        float s[2], sk[1];
        orvu_kex_kernel_sTan_SC_LA(0, xs, s), orvu_kex_kernel_sTan_SC_HA(1, xs, s);
        _kexsTan_HA(1, xs, sk);
        uint32_t nan_bits;
        std::memcpy(&nan_bits, &s[1], 4);
        EXPECT_TRUE(same(s[0], sk[0]) && nan_bits == 0xFFC00000u);
        EXPECT_EQ(reports(), (Reports{{1, 2}, {1, 1}}));
    });
}

}  // namespace
