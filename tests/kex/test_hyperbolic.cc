// Hyperbolic kernels: the reports (Cosh and single Sinh overflow, double
// Atanh's poles and domain) and IEEE results without reports elsewhere,
// every flavour agreeing element by element between blocks and tails, and a
// few arguments where cancellation would show, against MPFR.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using KD = void (*)(int32_t, const double*, double*);
using KS = void (*)(int32_t, const float*, float*);

struct Case { double x, want; int32_t status; };
// want NaN matches any NaN; status 0: no report.
struct Row { const char* name; KD d[3]; KS s[3]; std::vector<Case> cd, cs; };

const Row kRows[] = {
    {"Cosh", {_kexdCosh, _kexdCosh_50, _kexdCosh_26}, {_kexsCosh, _kexsCosh_21, _kexsCosh_11},
     {{710.5, INFINITY, 3}, {-INFINITY, INFINITY, 0}, {1e-20, 1, 0}, {NAN, NAN, 0}},
     {{89.5, INFINITY, 3}, {-INFINITY, INFINITY, 0}, {NAN, NAN, 0}}},
    {"Sinh", {_kexdSinh, _kexdSinh_50, _kexdSinh_26}, {_kexsSinh, _kexsSinh_21, _kexsSinh_11},
     {{1000, INFINITY, 0}, {-710.5, -INFINITY, 0}, {-0.0, -0.0, 0}, {-INFINITY, -INFINITY, 0}},
     {{-89.5, -INFINITY, 3}, {-0.0, -0.0, 0}, {1e-30, 1e-30f, 0}, {INFINITY, INFINITY, 0}}},
    {"Tanh", {_kexdTanh, _kexdTanh_50, _kexdTanh_26}, {_kexsTanh, _kexsTanh_21, _kexsTanh_11},
     {{-INFINITY, -1, 0}, {30, 1, 0}, {-0.0, -0.0, 0}, {NAN, NAN, 0}}, {{INFINITY, 1, 0}, {-0.0, -0.0, 0}}},
    {"Asinh", {_kexdAsinh, _kexdAsinh_50, _kexdAsinh_26}, {_kexsAsinh, _kexsAsinh_21, _kexsAsinh_11},
     {{-INFINITY, -INFINITY, 0}, {-0.0, -0.0, 0}, {NAN, NAN, 0}}, {{INFINITY, INFINITY, 0}, {-0.0, -0.0, 0}}},
    {"Acosh", {_kexdAcosh, _kexdAcosh_50, _kexdAcosh_26}, {_kexsAcosh, _kexsAcosh_21, _kexsAcosh_11},
     {{1, 0, 0}, {0.5, NAN, 0}, {-INFINITY, NAN, 0}, {INFINITY, INFINITY, 0}}, {{1, 0, 0}, {-1, NAN, 0}}},
    {"Atanh", {_kexdAtanh, _kexdAtanh_50, _kexdAtanh_26}, {_kexsAtanh, _kexsAtanh_21, _kexsAtanh_11},
     {{1, INFINITY, 2}, {-1, -INFINITY, 2}, {2, NAN, 1}, {-INFINITY, NAN, 1}, {NAN, NAN, 0}, {-0.0, -0.0, 0}},
     {{1, INFINITY, 0}, {-1, -INFINITY, 0}, {2, NAN, 0}}},
};

// The cases sit among ordinary arguments (a block of 4 doubles or 8 floats
// and a tail), each reported once with its index, or not at all.
template <class T, class K> void check_cases(const char* what, K k, const std::vector<Case>& cases) {
    std::vector<T> x{T(0.5), T(0.25), T(0.75)};
    for (const Case& c : cases) x.push_back(static_cast<T>(c.x));
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK), record_reports(), orvu_kex_kernel_SetErrStatus(0);
    std::vector<T> r(x.size());
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    std::vector<std::pair<int32_t, int32_t>> want, got;
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_TRUE(same(r[i + 3], static_cast<T>(cases[i].want))) << what << " x=" << cases[i].x << " got " << r[i + 3];
        if (cases[i].status) want.push_back({cases[i].status, static_cast<int32_t>(i + 3)});
    }
    for (const auto& c : g_seen) got.push_back({c.code, c.index});
    EXPECT_EQ(got, want) << what;
}

TEST(Hyperbolic, SpecialValuesAndReports) {
    on_fresh_thread([] {
        for (const Row& row : kRows)
            for (int f = 0; f < 3; ++f) {
                check_cases<double>(row.name, row.d[f], row.cd);
                check_cases<float>(row.name, row.s[f], row.cs);
            }
    });
}

// Lanes that leave the vector path do not disturb their neighbours.
TEST(Hyperbolic, BlocksAndTailAgreeElementByElement) {
    auto xd = inputs<double>(203);
    auto xs = inputs<float>(203);
    for (double& v : xd) v = std::isfinite(v) ? std::fmod(v, 750.0) : v;
    for (float& v : xs) v = std::isfinite(v) ? std::fmod(v, 95.0f) : v;
    for (const Row& row : kRows)
        for (int f = 0; f < 3; ++f) {
            check_elementwise(row.d[f], [&](double v) { double r; row.d[f](1, &v, &r); return r; }, xd, {}, row.name);
            check_elementwise(row.s[f], [&](float v) { float r; row.s[f](1, &v, &r); return r; }, xs, {}, row.name);
        }
}

// Where a naive formula cancels or overflows: HA within 1 ulp.
TEST(Hyperbolic, HardArgumentsAgainstMpfr) {
    using Mpfr = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
    struct Hard { KD k; Mpfr ref; std::vector<double> x; };
    const Hard hard[] = {
        {_kexdSinh, mpfr_sinh, {1e-300, 0x1p-30, 0.2499, 0.2501, 0.0109, 21.4, 710.4}},
        {_kexdCosh, mpfr_cosh, {20, 30, 710.4, 0x1p-30}},
        {_kexdTanh, mpfr_tanh, {1e-300, 0.0109, 0.26, 18.5}},
        {_kexdAsinh, mpfr_asinh, {0x1.0000001p-27, 1e-8, 0.01, 1e300, 0x1p28}},
        {_kexdAcosh, mpfr_acosh, {1 + 0x1p-52, 1.000001, 1e300, 0x1p28}},
        {_kexdAtanh, mpfr_atanh, {0x1.0000001p-27, 1e-8, 1 - 0x1p-53, -0.5}},
    };
    for (const Hard& h : hard) {
        std::vector<double> r(h.x.size());
        h.k(static_cast<int32_t>(r.size()), h.x.data(), r.data());
        const Accuracy a = accuracy(r.data(), r.size(), [&](mpfr_ptr e, size_t i) {
            mpfr_set_d(e, h.x[i], MPFR_RNDN), h.ref(e, e, MPFR_RNDN);
        });
        EXPECT_LT(a.max_ulp, 1.0) << h.x[0];
    }
}

}  // namespace
