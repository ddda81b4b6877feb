// Asin, Acos, Atan and Atan2: special values and reports from a block lane
// and from the tail, the IEEE results of atan2 on signed zeros and
// infinities, and arguments that take the special-value routines' scaled and
// limiting paths, against MPFR.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
constexpr double kInf = INFINITY, kNan = NAN, kPi = 0x1.921fb54442d18p1, kPio2 = 0x1.921fb54442d18p0;
constexpr double kPio4 = 0x1.921fb54442d18p-1, k3Pio4 = 0x1.2d97c7f3321d2p1;

template <class T> struct Entries {
    using U = void (*)(int32_t, const T*, T*);
    using B = void (*)(int32_t, const T*, const T*, T*);
    U asin[3], acos[3], atan[3];
    B atan2[3];
};
const Entries<float> kS = {{_kexsAsin_HA, _kexsAsin_21, _kexsAsin_11},
                           {_kexsAcos_HA, _kexsAcos_21, _kexsAcos_11},
                           {_kexsAtan_HA, _kexsAtan_21, _kexsAtan_11},
                           {_kexsAtan2_HA, _kexsAtan2_21, _kexsAtan2_11}};
const Entries<double> kD = {{_kexdAsin_HA, _kexdAsin_50, _kexdAsin_26},
                            {_kexdAcos_HA, _kexdAcos_50, _kexdAcos_26},
                            {_kexdAtan_HA, _kexdAtan_50, _kexdAtan_26},
                            {_kexdAtan2_HA, _kexdAtan2_50, _kexdAtan2_26}};

// (y, x) -> want of atan2; for unary rows x is unused.
struct Case {
    double y, x, want;
    int32_t status;
};
// The exact limits are rounded to the element type: pi/2 and the others are
// correctly rounded doubles, whose float roundings are the float results.
const Case kAsin[] = {{1, 0, kPio2, 0},      {-1, 0, -kPio2, 0},   {1 + 0x1p-23, 0, kNan, 1}, {-kInf, 0, kNan, 1},
                      {kNan, 0, kNan, 0},    {-0.0, 0, -0.0, 0},   {0x1p-149, 0, 0x1p-149, 0}};
const Case kAcos[] = {{1, 0, 0, 0},          {-1, 0, kPi, 0},      {-1 - 0x1p-23, 0, kNan, 1}, {kInf, 0, kNan, 1},
                      {kNan, 0, kNan, 0},    {-0.0, 0, kPio2, 0}};
const Case kAtan[] = {{kInf, 0, kPio2, 0}, {-kInf, 0, -kPio2, 0}, {kNan, 0, kNan, 0}, {-0.0, 0, -0.0, 0},
                      {0x1p-149, 0, 0x1p-149, 0}, {0x1p127, 0, kPio2, 0}};
const Case kAtan2[] = {
    {0.0, 0.0, 0.0, 0},        {-0.0, 0.0, -0.0, 0},     {0.0, -0.0, kPi, 0},     {-0.0, -0.0, -kPi, 0},
    {0.0, -1, kPi, 0},         {-0.0, -1, -kPi, 0},      {0.0, 1, 0.0, 0},        {-0.0, kInf, -0.0, 0},
    {1, 0.0, kPio2, 0},        {-1, -0.0, -kPio2, 0},    {kInf, kInf, kPio4, 0},  {-kInf, kInf, -kPio4, 0},
    {kInf, -kInf, k3Pio4, 0},  {-kInf, -kInf, -k3Pio4, 0}, {kInf, -5, kPio2, 0},  {-3, kInf, -0.0, 0},
    {3, -kInf, kPi, 0},        {-3, -kInf, -kPi, 0},     {kNan, 1, kNan, 0},      {1, kNan, kNan, 0},
};

// Each case at lane 5 of a block and at element 37 (the tail) of 38 whose
// other elements are ordinary: exact result there, the others unchanged, one
// report exactly when a status is expected.
template <class T, class Run>
void check_lanes(const char* what, const Case& c, Run run) {
    std::vector<T> a(38), b(38), plain(38), r(38);
    for (int i = 0; i < 38; ++i) a[i] = T(0.02) * T(i) - T(0.37), b[i] = T(1.5) - T(0.03) * T(i);
    run(a, b, plain);
    for (int at : {5, 37}) {
        std::vector<T> a2 = a, b2 = b;
        a2[at] = T(c.y), b2[at] = T(c.x);
        record_reports();
        _kexSetErrStatus(0);
        run(a2, b2, r);
        for (int i = 0; i < 38; ++i) {
            EXPECT_TRUE(same(r[i], i == at ? T(c.want) : plain[i])) << what << " y=" << c.y << " x=" << c.x << " i=" << i;
        }
        ASSERT_EQ(g_seen.size(), size_t(c.status != 0)) << what << " y=" << c.y;
        if (c.status) {
            EXPECT_EQ(g_seen[0].index, at);
        }
        EXPECT_EQ(_kexGetErrStatus(), c.status);
    }
}

template <class T> void check_all(const Entries<T>& e, const char* t) {
    using V = std::vector<T>;
    for (int f = 0; f < 3; ++f) {
        const auto unary = [&](const char* nm, auto fn, const auto& cases) {
            for (const Case& c : cases)
                check_lanes<T>(nm, c, [&](V& a, V&, V& r) { fn(38, a.data(), r.data()); });
        };
        unary(t, e.asin[f], kAsin);
        unary(t, e.acos[f], kAcos);
        unary(t, e.atan[f], kAtan);
        for (const Case& c : kAtan2)
            check_lanes<T>(t, c, [&](V& a, V& b, V& r) { e.atan2[f](38, a.data(), b.data(), r.data()); });
    }
}

TEST(InverseTrig, SpecialValuesAndReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_HA);
        check_all(kS, "s");
        check_all(kD, "d");
    });
}

// Double HA on pairs whose ratio leaves the vector path: magnitudes near the
// ends of the exponent range (scaled by a power of two), ratios beyond
// 2^-600 (the quotient itself, or pi), denormal pairs; and Asin/Acos next
// to +-1 where 1 - x^2 is carried in two parts.
TEST(InverseTrig, HardArgumentsHighAccuracy) {
    const double ys[] = {3e-200, 5e-310, 0x1p1000, -7e300, 2.5e-320, 1, -0x1.8p-1070, 6e307};
    const double xs[] = {7e150, 3e-310, 3e-10, -1e-300, 4.9e-324, -1e-200, 0x1p-1074, -1.7e308};
    double r[8];
    _kexdAtan2_HA(8, ys, xs, r);
    const Accuracy a2 = accuracy(r, 8, [&](mpfr_ptr v, size_t i) {
        Exact y(ys[i]), x(xs[i]);
        mpfr_atan2(v, y, x, MPFR_RNDN);
    });
    EXPECT_LT(a2.max_ulp, 1.0);

    const double near1[] = {1 - 0x1p-53, -1 + 0x1p-53, 1 - 0x1p-30, 0x1.6a09e667f3bccp-1, -0x1.6a09e667f3bcdp-1, 0.5};
    double s[6], c[6];
    _kexdAsin_HA(6, near1, s);
    _kexdAcos_HA(6, near1, c);
    EXPECT_LT(accuracy(s, 6, [&](mpfr_ptr v, size_t i) { mpfr_asin(v, Exact(near1[i]), MPFR_RNDN); }).max_ulp, 1.0);
    EXPECT_LT(accuracy(c, 6, [&](mpfr_ptr v, size_t i) { mpfr_acos(v, Exact(near1[i]), MPFR_RNDN); }).max_ulp, 1.0);
}

}  // namespace
