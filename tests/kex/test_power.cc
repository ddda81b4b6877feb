// Power and root kernels: special values and statuses through the entry
// points, the exported scalar routines, exact cases (perfect powers), where
// an HA kernel must return the exact result, the power's special cases and
// single Powx's exponent shortcuts.
#include "kex_test_util.h"

#include <functional>

extern "C" {
int32_t _kexdCbrtSc(const double* a, double* r);
int32_t _kexdInvCbrtSc(const double* a, double* r);
void _kexsInvSqrt4(const float* a, float* r);
int32_t _kexsInvSqrtSpec(const float* a, float* r);
}

namespace {

using namespace kex_test;
template <class T> using Unary = void (*)(int32_t, const T*, T*);
constexpr double kInf = INFINITY;

using Reports = std::vector<std::pair<int32_t, int32_t>>;
Reports run_reported(const std::function<void()>& call) {
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK), record_reports();
    call();
    Reports v;
    for (const auto& c : g_seen) v.push_back({c.code, c.index});
    return v;
}

// x, the result, its status; checked in the tail and inside a block of 8.
template <class T> struct Case { const char* name; Unary<T> k; double x, want; int32_t status; };
template <class T> void check_cases(const std::vector<Case<T>>& cases) {
    for (const Case<T>& c : cases) {
        for (size_t at : {size_t{0}, size_t{5}, size_t{9}}) {
            std::vector<T> x(10, T(4)), r(10);
            x[at] = static_cast<T>(c.x);
            const Reports got = run_reported([&] { c.k(10, x.data(), r.data()); });
            EXPECT_TRUE(same(r[at], static_cast<T>(c.want))) << c.name << "(" << c.x << ") = " << r[at];
            const Reports want = c.status ? Reports{{c.status, int32_t(at)}} : Reports{};
            EXPECT_EQ(got, want) << c.name << "(" << c.x << ")";
        }
    }
}

TEST(Power, SpecialValuesAndStatuses) {
    on_fresh_thread([] {
        check_cases<float>({
            {"sSqrt EP", _kexsSqrt_11, 0, 0, 0},       {"sSqrt EP", _kexsSqrt_11, -0.0, -0.0, 0},
            {"sSqrt LA", _kexsSqrt_21, -1, NAN, 0},    {"sSqrt EP", _kexsSqrt_11, -1, NAN, 0},
            {"sSqrt HA", _kexsSqrt_HA, -1, NAN, 0},    {"sSqrt LA", _kexsSqrt_21, 0x1p-140, 0x1p-70, 0},
            {"sInvSqrt HA", _kexsInvSqrt_HA, 0, kInf, 2}, {"sInvSqrt HA", _kexsInvSqrt_HA, -0.0, -kInf, 2},
            {"sInvSqrt HA", _kexsInvSqrt_HA, -4, NAN, 1}, {"sInvSqrt HA", _kexsInvSqrt_HA, -kInf, NAN, 1},
            {"sInvSqrt HA", _kexsInvSqrt_HA, 0x1p-148, 0x1p74, 0},
            {"sInvSqrt LA", _kexsInvSqrt_21, -0.0, -kInf, 0}, {"sInvSqrt EP", _kexsInvSqrt_11, -4, NAN, 0},
            {"sInvCbrt HA", _kexsInvCbrt_HA, -0.0, -kInf, 0}, {"sCbrt EP", _kexsCbrt_11, -kInf, -kInf, 0},
            {"sPow2o3 LA", _kexsPow2o3_21, -8, 4, 0},  {"sPow3o2 HA", _kexsPow3o2_HA, -1, NAN, 1},
            {"sPow3o2 LA", _kexsPow3o2_21, -kInf, NAN, 1}, {"sPow3o2 EP", _kexsPow3o2_11, -0.0, 0, 0},
        });
        check_cases<double>({
            {"dInvCbrt", _kexdInvCbrt, 0, kInf, 2},      {"dInvCbrt", _kexdInvCbrt, -0.0, -kInf, 2},
            {"dInvCbrt", _kexdInvCbrt, -0x1p-1074, -0x1p358, 0},
            {"dCbrt LA", _kexdCbrt_50, -0x1p-1071, -0x1p-357, 0}, {"dCbrt HA", _kexdCbrt_HA, NAN, NAN, 0},
            {"dPow2o3 EP", _kexdPow2o3_26, -0x1p-1071, 0x1p-714, 0},
            {"dInvSqrt HA", _kexdInvSqrt_HA, 0, kInf, 0}, {"dInvSqrt LA", _kexdInvSqrt_50, -1, NAN, 0},
            {"dInvSqrt HA", _kexdInvSqrt_HA, 0x1p-1074, 0x1p537, 0}, {"dInvSqrt HA", _kexdInvSqrt, kInf, 0, 0},
            {"dPow3o2 HA", _kexdPow3o2_HA, -1, NAN, 1}, {"dPow3o2 LA", _kexdPow3o2_50, -kInf, NAN, 1},
            {"dPow3o2 EP", _kexdPow3o2_26, 0x1p-700, 0x1p-1050, 0},
        });
    });
}

// The sEP square root keeps about 12 bits; HA is exact where the root is.
TEST(Power, SqrtFlavours) {
    const float x = 4.0f;
    float r[3];
    _kexsSqrt_HA(1, &x, &r[0]), _kexsSqrt_21(1, &x, &r[1]), _kexsSqrt_11(1, &x, &r[2]);
    EXPECT_EQ(r[0], 2.0f);
    EXPECT_NEAR(r[1], 2.0f, 2.0f * 0x1p-21f);
    EXPECT_NEAR(r[2], 2.0f, 2.0f * 0x1p-11f);
}

TEST(Power, ExportedScalarRoutines) {
    double r = 0;
    const double m27 = -27, zero = 0, tiny = 0x1p-1071;
    EXPECT_EQ(_kexdCbrtSc(&m27, &r), 0); EXPECT_EQ(r, -3);
    EXPECT_EQ(_kexdCbrtSc(&tiny, &r), 0); EXPECT_EQ(r, 0x1p-357);
    EXPECT_EQ(_kexdInvCbrtSc(&zero, &r), KEX_STATUS_SING); EXPECT_EQ(r, kInf);
    EXPECT_EQ(_kexdInvCbrtSc(&m27, &r), 0); EXPECT_EQ(r, -1.0 / 3);
    const float x[4] = {4, 0, -1, INFINITY};
    float y[4];
    _kexsInvSqrt4(x, y);
    EXPECT_EQ(y[0], 0.5f); EXPECT_EQ(y[1], INFINITY); EXPECT_TRUE(std::isnan(y[2])); EXPECT_EQ(y[3], 0.0f);
    const float m0 = -0.0f;
    EXPECT_EQ(_kexsInvSqrtSpec(&m0, y), 0); EXPECT_EQ(y[0], -INFINITY);
}

// Perfect cubes and squares: the HA results must be exact.
TEST(Power, ExactPowersInHa) {
    std::vector<double> roots;
    for (int k = 1; k <= 2000; ++k) roots.push_back(k);
    for (double s : {0x1p-300, 0x1p-100, 0x1p100, 0x1p300}) roots.push_back(3 * s);
    const int32_t n = static_cast<int32_t>(roots.size());
    std::vector<double> cubes(n), squares(n), c(n), q(n), p(n), s(n);
    for (int32_t j = 0; j < n; ++j) cubes[j] = roots[j] * roots[j] * roots[j], squares[j] = roots[j] * roots[j];
    _kexdCbrt_HA(n, cubes.data(), c.data()), _kexdPow2o3_HA(n, cubes.data(), q.data());
    _kexdPow3o2_HA(n, squares.data(), p.data()), _kexdInvSqrt_HA(n, squares.data(), s.data());
    for (int32_t j = 0; j < n; ++j) {
        EXPECT_EQ(c[j], roots[j]);
        EXPECT_EQ(q[j], squares[j]);
        EXPECT_EQ(p[j], cubes[j]);
        EXPECT_EQ(s[j], 1 / roots[j]) << roots[j];  // 1/k rounded: the kernel keeps about half an ulp
    }
}

// x, y, x^y (Annex F), status; every flavour of both precisions, as Pow
// and as Powx.
struct PowCase { double x, y, want; int32_t status; };
const PowCase kPowCases[] = {
    {NAN, 0, 1, 0},        {NAN, -0.0, 1, 0},     {1, NAN, 1, 0},         {-1, kInf, 1, 0},
    {-1, -kInf, 1, 0},     {0.5, kInf, 0, 0},     {0.5, -kInf, kInf, 0},  {2, -kInf, 0, 0},
    {-0.0, -3, -kInf, 0},  {0, -3, kInf, 0},      {-0.0, -2, kInf, 0},    {-0.0, 3, -0.0, 0},
    {-0.0, 2.5, 0, 0},     {-kInf, 3, -kInf, 0},  {-kInf, -3, -0.0, 0},   {-kInf, 2, kInf, 0},
    {kInf, -0.5, 0, 0},    {-8, 1.0 / 3, NAN, 1}, {-2, 3, -8, 0},         {-2, -2, 0.25, 0},
    {-1, 0x1p60, 1, 0},    {2, 1e10, kInf, 0},    {0.5, 1e10, 0, 0},      {2, -1074, 0x1p-1074, 0},
    {NAN, 1, NAN, 0},      {-3, 0.5, NAN, 1},
};

template <class T> void check_pow(const char* name, void (*pow)(int32_t, const T*, const T*, T*),
                                  void (*powx)(int32_t, const T*, T, T*)) {
    for (const PowCase& c : kPowCases) {
        if (sizeof(T) == 4 && c.y == -1074) continue;  // no such float result
        const T x[9] = {2, 2, 2, 2, 2, 2, 2, 2, T(c.x)}, y[9] = {3, 3, 3, 3, 3, 3, 3, 3, T(c.y)};
        std::vector<T> x8(x, x + 9);
        x8.front() = T(c.x), x8.back() = 2;
        T r[9], q[9];
        const Reports got = run_reported([&] { pow(9, x, y, r); });
        const Reports gotx = run_reported([&] { powx(9, x8.data(), T(c.y), q); });
        const T want = static_cast<T>(c.want);
        EXPECT_TRUE(same(r[8], want)) << name << " pow(" << c.x << ", " << c.y << ") = " << r[8];
        EXPECT_TRUE(same(q[0], want)) << name << " powx(" << c.x << ", " << c.y << ") = " << q[0];
        const Reports want_reports = c.status ? Reports{{c.status, 8}} : Reports{};
        EXPECT_EQ(got, want_reports) << name << " pow(" << c.x << ", " << c.y << ")";
        EXPECT_EQ(gotx.size(), c.status ? 1u : 0u) << name << " powx(" << c.x << ", " << c.y << ")";
    }
}

TEST(Power, PowSpecialCases) {
    on_fresh_thread([] {
        check_pow<float>("sHA", _kexsPow_HA, _kexsPowx_HA);
        check_pow<float>("sEP", _kexsPow_11, _kexsPowx_11);
        check_pow<double>("dHA", _kexdPow_HA, _kexdPowx_HA);
        check_pow<double>("dLA", _kexdPow_50, _kexdPowx_50);
        check_pow<double>("dEP", _kexdPow_26, _kexdPowx_26);
    });
}

// Single Powx HA with the five exponents: the named HA kernels' results on
// ordinary arguments, x * x exactly for 2; the power's special cases elsewhere.
TEST(Power, PowxShortcuts) {
    std::vector<float> x = inputs<float>(203);
    for (float& v : x) v = std::fabs(v) + 0x1p-20f;
    auto via = [&](float b, Unary<float> k) {
        std::vector<float> r(x.size()), want(x.size());
        _kexsPowx_HA(static_cast<int32_t>(x.size()), x.data(), b, r.data());
        if (k) k(static_cast<int32_t>(x.size()), x.data(), want.data());
        for (size_t i = 0; i < x.size(); ++i) {
            const float w = k ? want[i] : b == 2 ? x[i] * x[i] : 1 / x[i];
            EXPECT_TRUE(same(r[i], w)) << "b=" << b << " x=" << x[i];
        }
    };
    via(2, nullptr), via(-1, nullptr), via(0.5f, _kexsSqrt_HA), via(-0.5f, _kexsInvSqrt_HA), via(1.5f, _kexsPow3o2_HA);
    const float xs[3] = {-0.0f, -INFINITY, -4};
    float r[3];
    _kexsPowx_HA(3, xs, 0.5f, r);
    EXPECT_TRUE(same(r[0], 0.0f)); EXPECT_EQ(r[1], INFINITY); EXPECT_TRUE(std::isnan(r[2]));
}

// Components whose squares overflow or underflow, and the infinities, which
// win over NaN.
TEST(Power, HypotRange) {
    const double x[] = {0x1p1023, 3e-320, 0x1p-1074, 0x1.8p1000, kInf, NAN, -0.0, 3, 0x1p-600};
    const double y[] = {0x1p1023, 4e-320, 0, 0x1p1000, NAN, -kInf, -0.0, -4, 0x1p-600};
    const double want[] = {0x1.6a09e667f3bcdp+1023, 5e-320, 0x1p-1074, 0x1.cd82b446159f3p+1000, kInf, kInf, 0, 5, 0x1.6a09e667f3bcdp-600};
    for (auto k : {_kexdHypot_HA, _kexdHypot_50, _kexdHypot_26}) {
        double r[9];
        k(9, x, y, r);
        for (int i = 0; i < 9; ++i) EXPECT_TRUE(same(r[i], want[i])) << x[i] << " " << y[i] << " " << r[i];
    }
    const float xs[] = {3e38f, 1e-45f, INFINITY, 3}, ys[] = {2e38f, 0, NAN, -4};
    const float ws[] = {INFINITY, 1e-45f, INFINITY, 5};
    for (auto k : {_kexsHypot_HA, _kexsHypot_21, _kexsHypot_11}) {
        float r[4];
        k(4, xs, ys, r);
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(same(r[i], ws[i])) << xs[i] << " " << ys[i] << " " << r[i];
    }
}

}  // namespace
