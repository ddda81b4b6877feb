// LGamma (single) and TGamma: the single-precision reports (LGamma 2 and 3,
// TGamma 1, 2 and 4) and none in double, results at hard arguments against
// MPFR, and the x87 precision control forced for the call and put back.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;

// want_d: the double result where it differs from the float one.
struct Case { double x, want; int32_t status_s; double want_d = 0; };
const Case kLGamma[] = {{0, INFINITY, 2}, {-3, INFINITY, 2}, {-INFINITY, INFINITY, 0}, {NAN, NAN, 0},
                        {1, 0, 0}, {2, 0, 0}, {1e37, INFINITY, 3}};
const Case kTGamma[] = {{0, INFINITY, 2}, {-0.0, -INFINITY, 2}, {-2, NAN, 1}, {-INFINITY, NAN, 1},
                        {INFINITY, INFINITY, 0}, {-60.5, -0.0, 4, -0x1.7868714de870dp-274}, {36, INFINITY, 0, 0x1.e5dcbe8a8bc8cp+132},
                        {3, 2, 0}, {-200.5, -0.0, 4}};

// Reports are made by the single kernels only, once per element.
template <class T, class K, size_t N> void check(K k, const Case (&cases)[N]) {
    constexpr bool single = sizeof(T) == 4;
    std::vector<T> x{T(0.5), T(1.5), T(2.5)};
    for (const Case& c : cases) x.push_back(static_cast<T>(c.x));
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK), record_reports();
    std::vector<T> r(x.size());
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    std::vector<std::pair<int32_t, int32_t>> want, got;
    for (size_t i = 0; i < N; ++i) {
        const double w = !single && cases[i].want_d != 0 ? cases[i].want_d : cases[i].want;
        EXPECT_TRUE(same(r[i + 3], static_cast<T>(w))) << cases[i].x << " got " << r[i + 3];
        if (single && cases[i].status_s) want.push_back({cases[i].status_s, static_cast<int32_t>(i + 3)});
    }
    for (const auto& c : g_seen) got.push_back({c.code, c.index});
    EXPECT_EQ(got, want);
}

TEST(Gamma, SpecialValuesAndSinglePrecisionReports) {
    on_fresh_thread([] {
        check<float>(_kexsLGamma, kLGamma), check<float>(_kexsTGamma, kTGamma);
        check<double>(_kexdTGamma, kTGamma);
    });
}

// At the overflow edge, next to poles, deep on the negative axis and near
// 1, with the caller's x87 precision set to 53 bits.
TEST(Gamma, HardArgumentsUnderAReducedX87Precision) {
    const std::vector<double> tx = {171.6, 0x1p-1020, -0.5, -1 + 0x1p-50, -170.25, -183.5, 20.5, 1 + 0x1p-40};
    uint16_t cw, low, after;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    low = static_cast<uint16_t>((cw & ~0x300) | 0x200);
    __asm__ __volatile__("fldcw %0" : : "m"(low));
    std::vector<double> tr(tx.size());
    _kexdTGamma(static_cast<int32_t>(tx.size()), tx.data(), tr.data());
    __asm__ __volatile__("fnstcw %0" : "=m"(after));
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
    EXPECT_EQ(after, low);
    const Accuracy t = accuracy(tr.data(), tr.size(), [&](mpfr_ptr e, size_t i) {
        mpfr_set_d(e, tx[i], MPFR_RNDN), mpfr_gamma(e, e, MPFR_RNDN);
    });
    EXPECT_LT(t.max_ulp, 1.0);
}

}  // namespace
