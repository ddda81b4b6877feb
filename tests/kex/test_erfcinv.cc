// ErfcInv and CdfNormInv in their three flavours: poles, domain errors and
// the exact zeros with their reports, and the far tails against MPFR by
// bracketing (erfc falls and Phi rises, so y is within d of the root when
// the function at y - d and y + d lies on either side of the argument).
#include <cmath>

#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
template <class T> using Kernel = void (*)(int32_t, const T*, T*);
struct Fn {
    Kernel<double> d[3];
    Kernel<float> s[3];
    bool cdf;  // CdfNormInv: poles at 0 and 1, zero at 1/2
};
const Fn kErfcInv{{_kexdErfcInv_HA, _kexdErfcInv_50, _kexdErfcInv_26}, {_kexsErfcInv_HA, _kexsErfcInv_21, _kexsErfcInv_11}, false};
const Fn kCdfNormInv{{_kexdCdfNormInv_HA, _kexdCdfNormInv_50, _kexdCdfNormInv_26},
                     {_kexsCdfNormInv_HA, _kexsCdfNormInv_21, _kexsCdfNormInv_11}, true};

template <class T> std::vector<std::pair<int32_t, int32_t>> run(Kernel<T> k, const std::vector<T>& x, std::vector<T>& r) {
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_FTZDAZ_OFF), record_reports();
    r.assign(x.size(), T(7));
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    std::vector<std::pair<int32_t, int32_t>> v;
    for (const auto& c : g_seen) v.push_back({c.code, c.index});
    return v;
}

template <class T> void check_specials(const Kernel<T> (&k)[3], bool cdf) {
    const T inf = INFINITY, top = cdf ? T(1) : T(2), mid = cdf ? T(0.5) : T(1);
    // Four ordinary lanes first, so the special ones sit in blocks and the tail.
    const std::vector<T> x{T(0.1), T(0.3), T(0.7), T(0.9), T(0), T(-0.0), top, T(-0.5), top + T(0.5), -inf, inf,
                           T(NAN), mid};
    const std::vector<T> want{cdf ? -inf : inf, cdf ? -inf : inf, cdf ? inf : -inf, T(NAN), T(NAN), T(NAN), T(NAN),
                              T(NAN), T(0)};
    const std::vector<std::pair<int32_t, int32_t>> reports{{KEX_STATUS_SING, 4},   {KEX_STATUS_SING, 5},
                                                           {KEX_STATUS_SING, 6},   {KEX_STATUS_ERRDOM, 7},
                                                           {KEX_STATUS_ERRDOM, 8}, {KEX_STATUS_ERRDOM, 9},
                                                           {KEX_STATUS_ERRDOM, 10}};
    for (int fl = 0; fl < 3; ++fl) {
        std::vector<T> r;
        EXPECT_EQ(run(k[fl], x, r), reports) << "flavour " << fl;
        for (size_t j = 0; j < want.size(); ++j) EXPECT_TRUE(same(r[4 + j], want[j])) << fl << " x=" << x[4 + j];
    }
}

TEST(ErfcInv, PolesDomainErrorsAndZero) {
    on_fresh_thread([] {
        for (const Fn* f : {&kErfcInv, &kCdfNormInv}) check_specials(f->d, f->cdf), check_specials(f->s, f->cdf);
    });
}

// f at 256 bits: erfc(y), or Phi(y) = erfc(-y/sqrt 2)/2.
void at(mpfr_ptr v, double y, bool cdf) {
    mpfr_set_d(v, y, MPFR_RNDN);
    if (cdf) {
        Exact r2;
        mpfr_sqrt_ui(r2, 2, MPFR_RNDN);
        mpfr_div(v, v, r2, MPFR_RNDN);
        mpfr_neg(v, v, MPFR_RNDN);
    }
    mpfr_erfc(v, v, MPFR_RNDN);
    if (cdf) mpfr_div_2ui(v, v, 1, MPFR_RNDN);
}
template <class T> bool brackets(T x, T y, T d, bool cdf) {
    Exact lo, hi;
    at(lo, static_cast<double>(y) - static_cast<double>(d), cdf), at(hi, static_cast<double>(y) + static_cast<double>(d), cdf);
    if (!cdf) mpfr_swap(lo, hi);  // erfc falls
    return mpfr_cmp_d(lo, x) < 0 && mpfr_cmp_d(hi, x) > 0;
}

template <class T> void check_hard(const Kernel<T> (&k)[3], bool cdf, const std::vector<T>& x) {
    for (int fl = 0; fl < 3; ++fl) {
        std::vector<T> r;
        EXPECT_TRUE(run(k[fl], x, r).empty());
        for (size_t i = 0; i < x.size(); ++i) {
            const T ulp = std::nextafter(std::fabs(r[i]), T(INFINITY)) - std::fabs(r[i]);
            const T d = fl == 0 ? ulp : fl == 1 ? 4 * ulp : std::fabs(r[i]) * (sizeof(T) == 8 ? T(0x1p-26) : T(0x1p-11));
            EXPECT_TRUE(brackets(x[i], r[i], d, cdf)) << "flavour " << fl << " x=" << x[i] << " y=" << r[i];
        }
    }
}

TEST(ErfcInv, FarTailsAndCentreAgainstMpfr) {
    on_fresh_thread([] {
        // The smallest denormal, both sides of the vector range's end, next
        // to the centre and next to the upper end.
        const std::vector<double> d{0x1p-1074, 3e-310, 0x1.fffffffffffffp-1023, 0x1p-1022, 1 - 0x1p-53, 1 + 0x1p-52,
                                    2 - 0x1p-52, 0.4795001221869535, 1e-300};
        check_hard(kErfcInv.d, false, d);
        check_hard(kCdfNormInv.d, true, {0x1p-1074, 0x1p-1023, 0x1.fffffffffffffp-1024, 1 - 0x1p-53, 0.5 + 0x1p-53,
                                         0.5 - 0x1p-54, 0.23975006109347674, 1e-300});
        check_hard(kErfcInv.s, false, {0x1p-149f, 0x1.fffffcp-127f, 0x1p-126f, 1 - 0x1p-24f, 2 - 0x1p-23f, 0.125f});
        check_hard(kCdfNormInv.s, true, {0x1p-149f, 0x1p-126f, 1 - 0x1p-24f, 0.5f + 0x1p-24f, 0.0625f});
    });
}

}  // namespace
