// Tan: IEEE results and the domain report at the special values (tiny
// arguments and signed zeros kept), and the exported element routines.
#include <bit>

#include "kex_test_util.h"

namespace {

using namespace kex_test;
using Reports = std::vector<std::pair<int32_t, int32_t>>;

Reports reports() { Reports v; for (const auto& c : g_seen) v.push_back({c.code, c.index}); return v; }

template <class T> void specials(void (*k)(int32_t, const T*, T*)) {
    const std::vector<T> x = {0.5, INFINITY, NAN, -0.0, 0.0, T(1e-80), -INFINITY, 2.0, T(-0x1p-1074)};
    std::vector<T> r(x.size());
    record_reports();
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    EXPECT_EQ(reports(), (Reports{{1, 1}, {1, 6}}));
    EXPECT_TRUE(std::isnan(r[1]) && std::isnan(r[2]) && std::isnan(r[6]));
    for (int i : {3, 4, 5, 8}) EXPECT_TRUE(same(r[i], x[i])) << x[i];
}

TEST(Tan, SpecialValuesAndReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        for (auto k : {_kexdTan_HA, _kexdTan_50, _kexdTan_26}) specials<double>(k);
        for (auto k : {_kexsTan_HA, _kexsTan_21, _kexsTan_11}) specials<float>(k);
    });
}

// The element routines: the kernel's value, the report naming the element,
// the single-precision NaN 0xFFC00000, and the caller's x87 control word back.
TEST(Tan, ScalarPathsAndPrecisionControl) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        record_reports();
        const double x[] = {0x1.6ac5b262ca1ffp849, -INFINITY};
        const float xs[] = {1.5f, INFINITY};
        double r[2], k[1];
        float s[2], sk[1];
        uint16_t cw = 0x37F, after;  // extended precision
        __asm__ __volatile__("fldcw %0" : : "m"(cw));
        orvu_kex_kernel_dTan_SC_A11(0, x, r), orvu_kex_kernel_dTan_SC(1, x, r);
        __asm__ __volatile__("fnstcw %0" : "=m"(after));
        orvu_kex_kernel_sTan_SC_LA(0, xs, s), orvu_kex_kernel_sTan_SC_HA(1, xs, s);
        _kexdTan_HA(1, x, k), _kexsTan_HA(1, xs, sk);
        EXPECT_EQ(after, cw);
        EXPECT_TRUE(same(r[0], k[0]) && std::isnan(r[1]) && same(s[0], sk[0]));
        EXPECT_TRUE(same_bits(s[1], std::bit_cast<float>(0xFFC00000u)));
        EXPECT_EQ(reports(), (Reports{{1, 1}, {1, 1}}));
    });
}

}  // namespace
