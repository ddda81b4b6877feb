// Complex Exp and Ln where the plain formulas fail, against MPFR: Exp past
// the overflow of e^x with a finite product, with denormal results and huge
// imaginary parts; Ln where |z|^2 - 1 cancels far below an ulp and at the ends
// of the range. No reports, an infinite result from finite arguments included.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using Z = OrvuComplex16;

// Worst ulp error of component k against ref(exact, x, y, k).
template <class Ref> double worst(const std::vector<Z>& a, const std::vector<Z>& r, int k, Ref ref) {
    std::vector<double> v;
    for (const Z& z : r) v.push_back(k ? z.im : z.re);
    return accuracy(v.data(), v.size(), [&](mpfr_ptr e, size_t i) {
        Exact x(a[i].re), y(a[i].im);
        ref(e, x, y, k);
    }).max_ulp;
}

TEST(ComplexExpLn, HardArgumentsWithoutReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        record_reports();
        const std::vector<Z> e = {{710.0, 0.785}, {-700.0, 1e-10}, {709.0, 0x1p-1000}, {-1.5, 1e22}};
        const std::vector<Z> l = {{1 - 0x1p-30, std::sqrt(0x1p-29 - 0x1p-60)}, {0x1p-600, -0x1p-1070}, {-1e300, 1e300}};
        std::vector<Z> r(4);
        _kexzExp_HA(4, e.data(), r.data());
        for (int k : {0, 1})
            EXPECT_LT(worst(e, r, k, [](mpfr_ptr o, mpfr_ptr x, mpfr_ptr y, int k) {
                mpfr_exp(x, x, MPFR_RNDN), k ? mpfr_sin(y, y, MPFR_RNDN) : mpfr_cos(y, y, MPFR_RNDN);
                mpfr_mul(o, x, y, MPFR_RNDN);
            }), 1.0) << k;
        _kexzLn_HA(3, l.data(), r.data());
        EXPECT_LT(worst(l, {r.begin(), r.begin() + 3}, 0, [](mpfr_ptr o, mpfr_ptr x, mpfr_ptr y, int) {
            mpfr_sqr(x, x, MPFR_RNDN), mpfr_sqr(y, y, MPFR_RNDN), mpfr_add(o, x, y, MPFR_RNDN);
            mpfr_log(o, o, MPFR_RNDN), mpfr_div_2ui(o, o, 1, MPFR_RNDN);
        }), 1.0);
        const OrvuComplex8 big{100, 0};
        OrvuComplex8 c;
        _kexcExp(1, &big, &c);
        EXPECT_TRUE(c.re == INFINITY && same_bits(c.im, 0.0f));
        EXPECT_TRUE(g_seen.empty());
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
    });
}

}  // namespace
