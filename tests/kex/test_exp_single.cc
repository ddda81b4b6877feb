// Single-precision Exp (three flavours) and Expm1: special values and their
// reports, alone in the tail and as one lane of a full block, and accuracy
// against exact values over the whole range, denormal results included.
#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using Kernel = void (*)(int32_t, const float*, float*);
struct Flavour {
    const char* name;
    Kernel k;
    bool expm1;
    double max_ulp, min_bits;  // normal results; denormal ones are held to max(max_ulp, 1)
};
const Flavour kFlavours[] = {{"vsExp", _kexsExp_HA, false, 0.6, 22}, {"vsExp", _kexsExp_21, false, 4, 21},
                             {"vsExp", _kexsExp_11, false, 8192, 11}, {"vsExpm1", _kexsExpm1, true, 0.6, 22}};

double exact(const Flavour& f, float x) {
    Exact e;
    mpfr_set_flt(e, x, MPFR_RNDN);
    f.expm1 ? mpfr_expm1(e, e, MPFR_RNDN) : mpfr_exp(e, e, MPFR_RNDN);
    return mpfr_get_d(e, MPFR_RNDN);
}

// Argument, exact bits wanted (or, for kNear, within the flavour's bound), status.
constexpr float kInf = INFINITY, kNear = 12345;
struct Case { float x, want; int32_t status; };
const Case kExpCases[] = {{88.7f, kNear, 0},  {88.73f, kInf, 3}, {-104, 0, 4},    {-100, kNear, 4}, {-103.5f, kNear, 4},
                          {-kInf, 0, 0},      {kInf, kInf, 0},   {NAN, NAN, 0},   {0, 1, 0},        {87.5f, kNear, 0},
                          {-87.33655f, kNear, 4}, {1e-40f, 1, 0}};
const Case kExpm1Cases[] = {{88.73f, kInf, 3}, {-kInf, -1, 0}, {kInf, kInf, 0}, {NAN, NAN, 0},  {-0.0f, -0.0f, 0},
                            {1e-40f, 1e-40f, 0}, {-3e-9f, -3e-9f, 0}, {-90, -1, 0}, {70, kNear, 0}, {88.7f, kNear, 0}};

void check_value(const Flavour& f, float x, float want, float got, const char* where) {
    const double e = exact(f, x), ulp = std::ldexp(1.0, std::max(std::ilogb(e), -126) - 23);
    if (want == kNear) EXPECT_LE(std::fabs(got - e) / ulp, std::max(f.max_ulp, 1.0)) << where << " x=" << x;
    else EXPECT_TRUE(same(got, want)) << where << " x=" << x << " got " << got;
}

// Each case alone (the tail) and as lane 5 of a block of 8 followed by a tail
// element: the other lanes stay right and only the special lane is reported.
TEST(ExpSingle, SpecialValuesAndReportsInBlockAndTail) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        for (const auto& f : kFlavours) {
            for (const Case& c : f.expm1 ? std::vector<Case>(std::begin(kExpm1Cases), std::end(kExpm1Cases))
                                         : std::vector<Case>(std::begin(kExpCases), std::end(kExpCases))) {
                float a[9] = {0.5f, -1, 2, 3.5f, -7, c.x, 10, -20, 1.25f}, r[9];
                for (int32_t n : {1, 9}) {
                    record_reports();
                    f.k(n, n == 1 ? &c.x : a, r);
                    const int32_t at = n == 1 ? 0 : 5;
                    check_value(f, c.x, c.want, r[at], f.name);
                    for (int32_t i = 0; i < n; ++i) {
                        if (i != at) check_value(f, a[i], kNear, r[i], "ordinary lane");
                    }
                    ASSERT_EQ(g_seen.size(), c.status ? 1u : 0u) << f.name << " x=" << c.x;
                    if (c.status) {
                        EXPECT_TRUE(g_seen[0].code == c.status && g_seen[0].index == at &&
                                    g_seen[0].funcName == std::string(f.name));
                    }
                }
            }
        }
        mpfr_free_cache();  // the exact values' constants are cached per thread
    });
}

// Random arguments over the whole finite range of each function, with extra
// weight near 0 (Expm1) and on the denormal results (Exp).
TEST(ExpSingle, AccuracyOverTheRange) {
    std::mt19937 g(11);
    for (const auto& f : kFlavours) {
        std::uniform_real_distribution<float> wide(f.expm1 ? -95.f : -87.3f, 88.72f), near0(-1, 1), low(-103.2f, -87.4f);
        std::vector<float> a(6000), sub(600), r(6000), rs(600);
        for (size_t i = 0; i < a.size(); ++i) a[i] = i % 3 ? wide(g) : near0(g) * std::ldexp(1.0f, -int(i % 40));
        for (auto& x : sub) x = f.expm1 ? std::ldexp(near0(g), -130) : low(g);
        on_fresh_thread([&] { f.k(6000, a.data(), r.data()), f.k(600, sub.data(), rs.data()); });
        auto ref = [&](const std::vector<float>& v) { return [&](mpfr_ptr e, size_t i) { mpfr_set_d(e, exact(f, v[i]), MPFR_RNDN); }; };
        const Accuracy normal = accuracy(r.data(), r.size(), ref(a)), tiny = accuracy(rs.data(), rs.size(), ref(sub));
        EXPECT_TRUE(normal.max_ulp <= f.max_ulp && normal.bits() >= f.min_bits) << f.name << " " << normal.max_ulp;
        EXPECT_LE(tiny.max_ulp, std::max(f.max_ulp, 1.0)) << f.name << " denormal results";
    }
}

}  // namespace
