// Erf, Erfc and CdfNorm in their three flavours: IEEE results at the special
// values and past the vector range, CdfNorm's underflow reports, and hard
// arguments (tiny, the denormal tails) against MPFR.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
template <class T> using Kernel = void (*)(int32_t, const T*, T*);
enum Which { kErf, kErfc, kCdf };
template <class T> struct Row { const char* name; Which f; Kernel<T> k[3]; };  // HA, LA, EP
const Row<double> kDouble[] = {{"dErf", kErf, {_kexdErf_HA, _kexdErf_50, _kexdErf_26}},
                               {"dErfc", kErfc, {_kexdErfc_HA, _kexdErfc_50, _kexdErfc_26}},
                               {"dCdfNorm", kCdf, {_kexdCdfNorm_HA, _kexdCdfNorm_50, _kexdCdfNorm_26}}};
const Row<float> kSingle[] = {{"sErf", kErf, {_kexsErf_HA, _kexsErf_21, _kexsErf_11}},
                              {"sErfc", kErfc, {_kexsErfc_HA, _kexsErfc_21, _kexsErfc_11}},
                              {"sCdfNorm", kCdf, {_kexsCdfNorm_HA, _kexsCdfNorm_21, _kexsCdfNorm_11}}};

void exact(Which f, mpfr_ptr r, double x) {
    Exact a(x);
    if (f == kErf) mpfr_erf(r, a, MPFR_RNDN);
    if (f == kErfc) mpfr_erfc(r, a, MPFR_RNDN);
    if (f == kCdf) {  // erfc(-x/sqrt 2)/2
        mpfr_sqrt_ui(r, 2, MPFR_RNDN);
        mpfr_div(a, a, r, MPFR_RNDN);
        mpfr_neg(a, a, MPFR_RNDN);
        mpfr_erfc(r, a, MPFR_RNDN);
        mpfr_div_2ui(r, r, 1, MPFR_RNDN);
    }
}

using Reports = std::vector<std::pair<int32_t, int32_t>>;
template <class T> Reports run(Kernel<T> k, const std::vector<T>& x, std::vector<T>& r) {
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_FTZDAZ_OFF), record_reports();
    r.assign(x.size(), T(7));
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    Reports v;
    for (const auto& c : g_seen) v.push_back({c.code, c.index});
    return v;
}

// x and the results of erf, erfc, CdfNorm (NaN for a finite x: not checked
// here); only CdfNorm reports, where its result is below the smallest normal.
struct Special { double x, v[3]; bool under; };
const Special kSpecials[] = {
    {NAN, {NAN, NAN, NAN}, false},      {INFINITY, {1, 0, 1}, false},
    {-INFINITY, {-1, 2, 0}, false},     {-0.0, {-0.0, 1, 0.5}, false},
    {30, {1, 0, 1}, false},             {-40, {-1, 2, 0}, true},
    {9, {1, NAN, 1}, false},
    {-1e-30, {NAN, 1, 0.5}, false},
};

template <class T> void check_specials(const Row<T>* rows) {
    std::vector<T> x{T(0.5), T(1.5), T(2.5)};
    for (const Special& s : kSpecials) x.push_back(static_cast<T>(s.x));
    for (int i = 0; i < 3; ++i)
        for (int fl = 0; fl < 3; ++fl) {
            std::vector<T> r;
            const Reports got = run(rows[i].k[fl], x, r);
            Reports want;
            for (size_t j = 3; j < x.size(); ++j) {
                const Special& s = kSpecials[j - 3];
                const T v = static_cast<T>(s.v[rows[i].f]);
                if (!std::isnan(v) || std::isnan(s.x)) {
                    EXPECT_TRUE(same(r[j], v)) << rows[i].name << fl << " x=" << s.x << " got " << r[j];
                }
                if (rows[i].f == kCdf && s.under)
                    want.push_back({KEX_STATUS_UNDERFLOW, static_cast<int32_t>(j)});
            }
            EXPECT_EQ(got, want) << rows[i].name << " flavour " << fl;
        }
}

TEST(Erf, SpecialValuesAndUnderflowReports) {
    on_fresh_thread([] {
        check_specials(kDouble);
        check_specials(kSingle);
    });
}

// Tiny arguments keep relative accuracy; the tails end in denormals with a
// report from CdfNorm only.
template <class T> void check_hard(const Row<T>& row, std::vector<double> xs) {
    std::vector<T> x(xs.begin(), xs.end()), r;
    for (int fl = 0; fl < 3; ++fl) {
        const Reports got = run(row.k[fl], x, r);
        const Accuracy acc = accuracy(r.data(), r.size(), [&](mpfr_ptr e, size_t i) { exact(row.f, e, x[i]); });
        // EP in ulps: 2^-26 (2^-11) relative is at least 2^26 (2^12) ulps.
        const double bound = fl == 0 ? 1.0 : fl == 1 ? 4.0 : sizeof(T) == 8 ? 0x1p26 : 0x1p12;
        EXPECT_LE(acc.max_ulp, bound) << row.name << " flavour " << fl;
        for (const auto& [code, i] : got) {
            EXPECT_EQ(row.f, kCdf) << row.name << " reports at " << x[i];
            EXPECT_EQ(code, KEX_STATUS_UNDERFLOW);
            EXPECT_LT(std::fabs(r[i]), std::numeric_limits<T>::min());
        }
    }
}

TEST(Erf, HardArgumentsAgainstMpfr) {
    on_fresh_thread([] {
        check_hard(kDouble[kErf], {1e-300, 0x1p-1074, 5e-310, -3e-308, 1e-10, 0.5, -0x1.0000000000001p-1, 5.9});
        check_hard(kDouble[kErfc], {0.4999999, 0.5, -0.5000001, 26.4, 26.6, 27.0, 27.2, -5.9, 1e-20});
        check_hard(kDouble[kCdf], {-37.2, -37.4, -37.6, -38.3, -0.7071, 0.7072, 8.2, 1e-25});
        check_hard(kSingle[kErf], {1e-38, 1e-45, 0.5f, 3.9f});
        check_hard(kSingle[kErfc], {9.0f, 9.5f, 10.0f, -3.9f});
        check_hard(kSingle[kCdf], {-12.8f, -13.0f, -13.9f, 5.0f});
    });
}

}  // namespace
