// ErfInv in its three flavours: the poles and the domain errors with their
// reports, and hard arguments checked against MPFR by bracketing: erf is
// increasing, so y is within k ulps of erfinv(x) when erf of the numbers k
// ulps below and above y lie on either side of x.
#include <cmath>

#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
template <class T> using Kernel = void (*)(int32_t, const T*, T*);
const Kernel<double> kDouble[] = {_kexdErfInv_HA, _kexdErfInv_50, _kexdErfInv_26};
const Kernel<float> kSingle[] = {_kexsErfInv_HA, _kexsErfInv_21, _kexsErfInv_11};

template <class T> std::vector<std::pair<int32_t, int32_t>> run(Kernel<T> k, const std::vector<T>& x, std::vector<T>& r) {
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_FTZDAZ_OFF), record_reports();
    r.assign(x.size(), T(7));
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    std::vector<std::pair<int32_t, int32_t>> v;
    for (const auto& c : g_seen) v.push_back({c.code, c.index});
    return v;
}

template <class T> void check_specials(const Kernel<T> (&k)[3]) {
    const T inf = INFINITY;
    // Five ordinary lanes first, so the special ones sit in full blocks and the tail.
    const std::vector<T> x{T(0.1), T(-0.3), T(0.7), T(0.9), T(-0.99), T(1), T(-1), T(1.5), -inf, inf, T(NAN), T(0), T(-0.0)};
    const std::vector<T> want{inf, -inf, T(NAN), T(NAN), T(NAN), T(NAN), T(0), T(-0.0)};
    for (int fl = 0; fl < 3; ++fl) {
        std::vector<T> r;
        const auto got = run(k[fl], x, r);
        for (size_t j = 0; j < want.size(); ++j) EXPECT_TRUE(same(r[5 + j], want[j])) << fl << " x=" << x[5 + j];
        const std::vector<std::pair<int32_t, int32_t>> reports{{KEX_STATUS_SING, 5}, {KEX_STATUS_SING, 6},
                                                               {KEX_STATUS_ERRDOM, 7}, {KEX_STATUS_ERRDOM, 8},
                                                               {KEX_STATUS_ERRDOM, 9}};
        EXPECT_EQ(got, reports) << "flavour " << fl;
    }
}

TEST(ErfInv, PolesAndDomainErrors) {
    on_fresh_thread([] {
        check_specials(kDouble);
        check_specials(kSingle);
    });
}

// erf(y -+ d) at 256 bits falls below and above x (d = k ulps of y, or the
// relative bound for EP).
template <class T> bool brackets(T x, T y, T d) {
    Exact lo(static_cast<double>(y) - static_cast<double>(d)), hi(static_cast<double>(y) + static_cast<double>(d));
    mpfr_erf(lo, lo, MPFR_RNDN), mpfr_erf(hi, hi, MPFR_RNDN);
    return mpfr_cmp_d(lo, x) < 0 && mpfr_cmp_d(hi, x) > 0;
}

template <class T> void check_hard(const Kernel<T> (&k)[3], const std::vector<T>& x) {
    for (int fl = 0; fl < 3; ++fl) {
        std::vector<T> r;
        EXPECT_TRUE(run(k[fl], x, r).empty());
        for (size_t i = 0; i < x.size(); ++i) {
            const T ulp = std::nextafter(std::fabs(r[i]), T(INFINITY)) - std::fabs(r[i]);
            // EP: the relative bound, but at least an ulp among the denormals.
            const T d = fl == 0 ? ulp : fl == 1 ? 4 * ulp : std::fmax(ulp, std::fabs(r[i]) * (sizeof(T) == 8 ? T(0x1p-26) : T(0x1p-11)));
            EXPECT_TRUE(brackets(x[i], r[i], d)) << "flavour " << fl << " x=" << x[i] << " y=" << r[i];
        }
    }
}

TEST(ErfInv, HardArgumentsAgainstMpfr) {
    on_fresh_thread([] {
        // Tiny and denormal (the split product), both sides of 2^-35, the
        // branch points erf(1/2) and 0.5205, and next to ±1.
        check_hard(kDouble, {1e-20, -0x1p-1074, 3e-310, 0x1.fffffffffffffp-36, 0x1p-35, 0.5204998778130465, 0.5205,
                             -0.9981, 1 - 0x1p-53, -(1 - 0x1p-40)});
        check_hard(kSingle, {1e-45f, -1e-38f, 0.5205f, 1 - 0x1p-24f, -(1 - 0x1p-20f)});
    });
}

}  // namespace
