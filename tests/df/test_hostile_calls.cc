// Calls a careless or hostile caller can make: counts whose sizes wrap, state
// that is missing or stale, hints that are no numbers. Each gets a status (the
// search kernels: the right cells) and touches no memory it was not given;
// the sanitizer build is what sees the latter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "df_api.h"

namespace {

constexpr int64_t kWraps = (int64_t(1) << 61) + 1;  // kWraps * 8 bytes is 8 modulo 2^64
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A task on four nodes with one function; every case edits it further. The
// calls below take one site (one interval) at 0.5 (0.5 .. 2.5).
struct Fixture {
    std::vector<double> x = {0, 1, 2, 3}, y = {1, 2, 0, 5}, c = std::vector<double>(64);
    OrvuDFTaskPtr t = nullptr;
    const double a = 0.5, b = 2.5;
    const int32_t d[1] = {1}, ca = 1, cb = 3;
    double r[4];
    Fixture() { EXPECT_EQ(orvu_df_kernel_dNewTask1D(&t, 4, x.data(), 1, 1, y.data(), 0, 0), 0); }
    ~Fixture() { orvu_df_kernel_DeleteTask(&t); }
    int32_t val(int64_t id, int64_t v) { return orvu_df_kernel_iEditVal(t, id, v); }
    int32_t spline(int64_t order, int64_t type, double* coeff) { return orvu_df_kernel_dEditPPSpline1D(t, order, type, 0, nullptr, 0, nullptr, coeff, 0); }
    // Every callback given or none; they write one function's results, all they know of.
    int32_t interp(bool callbacks) {
        static const auto cb = [](int64_t* n, int64_t*, const double*, double* r, void*) { return r[0] = *n, 0; };
        const orvu_df_dinterp_cb f = callbacks ? +cb : nullptr;
        return orvu_df_kernel_dDFInterpolate1D(t, 1, 0, 1, &a, 0, 1, d, nullptr, r, 16, nullptr, f, nullptr, f,
                                               nullptr, f, nullptr, nullptr, nullptr, nullptr);
    }
    int32_t integr(bool callbacks) {
        static const auto cb = [](int64_t* n, int64_t*, const double*, const double*, double* r, int32_t, void*) { return r[0] = *n, 0; };
        const orvu_df_dintegr_cb f = callbacks ? +cb : nullptr;
        return orvu_df_kernel_dDFIntegrate1D(t, 0, 1, &a, 0, &b, 0, nullptr, nullptr, r, 0, f, nullptr, f, nullptr,
                                             f, nullptr, nullptr, nullptr, nullptr);
    }
    int32_t kernels() {  // the evaluator and the integrator kernel: their common status, or 1
        const int32_t e = orvu_df_kernel_d_LinearSplineEval32(t, 1, &a, &ca, 1, d, r, 16);
        return e == orvu_df_kernel_d_IntegrateLinearSpline(t, 1, &a, &ca, &b, &cb, r, 0, 0) ? e : 1;
    }
};

struct Case { const char* what; std::function<int32_t(Fixture&)> call; int32_t status; };  // of the last call
const Case kCases[] = {
    {"pointer array of ny entries at creation",
     [](Fixture& f) { orvu_df_kernel_DeleteTask(&f.t); return orvu_df_kernel_dNewTask1D(&f.t, 4, f.x.data(), 1, kWraps, f.y.data(), 0, 0); },
     -1001},
    {"function blocks y + j*nx out of the address range",  // uniform: only the two ends are read
     [](Fixture& f) { orvu_df_kernel_DeleteTask(&f.t); return orvu_df_kernel_dNewTask1D(&f.t, int64_t(1) << 62, f.x.data(), 4, 3, f.y.data(), 0, 0); },
     -1001},
    {"ny edited, then function values", [](Fixture& f) { f.val(16, kWraps); return orvu_df_kernel_dEditPtr(f.t, 2, f.y.data()); }, -1001},
    {"ny edited, then coefficients", [](Fixture& f) { f.val(16, kWraps); return orvu_df_kernel_dEditPtr(f.t, 5, f.c.data()); }, -1001},
    {"order edited so the coefficient stride wraps", [](Fixture& f) { return f.spline(int64_t(1) << 62, 0, f.c.data()); }, -1001},
    {"ny raised past the arrays: indexed edit", [](Fixture& f) { f.val(16, 3); return orvu_df_kernel_dEditIdxPtr(f.t, 2, 2, f.y.data()); }, -1020},
    {"ny raised past the arrays: construction",
     [](Fixture& f) { f.spline(2, 0, f.c.data()); f.val(16, 3); return orvu_df_kernel_dDFLinearSpline1D(f.t, 0, 0, nullptr); }, -1008},
    {"ny raised past the arrays: interpolation", [](Fixture& f) { f.spline(2, 0, f.c.data()); f.val(16, 3); return f.interp(false); }, -1016},
    {"y hint changed from interleaved: construction",
     [](Fixture& f) { f.val(17, 32); f.val(16, 2); orvu_df_kernel_dEditPtr(f.t, 2, f.y.data()); f.spline(2, 0, f.c.data());
                      f.val(17, 0); return orvu_df_kernel_dDFLinearSpline1D(f.t, 0, 0, nullptr); }, -1008},
    {"no coefficients: interpolation", [](Fixture& f) { f.val(18, 2); return f.interp(false); }, -1016},
    {"no coefficients: integration", [](Fixture& f) { f.val(18, 2); return f.integr(false); }, -1016},
    {"no coefficients: evaluator and integrator kernels", [](Fixture& f) { f.val(18, 2); return f.kernels(); }, -1016},
    {"no coefficients, every group to a callback", [](Fixture& f) { f.val(18, 0); return f.interp(true) + f.integr(true); }, 0},
    {"Subbotin coefficients without knots", [](Fixture& f) { f.spline(3, 1, f.c.data()); return f.interp(false); }, -1013},
    {"step-wise without function values",
     [](Fixture& f) { orvu_df_kernel_DeleteTask(&f.t); orvu_df_kernel_dNewTask1D(&f.t, 4, f.x.data(), 1, 0, nullptr, 0, 0);
                      f.val(16, 1); f.spline(0, 7, nullptr); return f.interp(false); }, -1008},
    {"result area of ny functions out of the address range: interpolation",
     [](Fixture& f) { f.val(18, 0); f.val(16, kWraps); return f.interp(true); }, -1001},
    {"result area of ny functions out of the address range: integration",
     [](Fixture& f) { f.val(18, 0); f.val(16, kWraps); return f.integr(true); }, -1001},
};

TEST(HostileCalls, GetAStatusAndStayInTheirMemory) {
    for (const Case& c : kCases) {
        Fixture f;
        EXPECT_EQ(c.call(f), c.status) << c.what;
    }
}

// Hints the exported search kernels take as they come: the cells are still
// every site's own.
TEST(HostileCalls, SearchKernelsStayInThePartitionWhateverTheHint) {
    std::vector<double> x = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, s = {-1, 0, 0.5, 3, 7.25, 9.99, 10, 11};
    const int64_t n = static_cast<int64_t>(s.size());
    std::vector<int32_t> want(n), cell(n);
    for (int64_t k = 0; k < n; ++k) want[k] = reference_cell(x, s[k]);
    auto check = [&](const char* what) {
        EXPECT_EQ(cell, want) << what;
        cell.assign(n, -1);
    };
    for (double peak : {kNaN, 1e300, -1e300, double(int64_t(1) << 62), 11.0})
        orvu_df_kernel_dDFPeakSearch1D(11, x.data(), n, s.data(), peak, cell.data()), check("peak");
    for (double inv : {kNaN, -1.0, 1e300})
        orvu_df_kernel_dDFQuasiUniformSearch1D(11, x.data(), n, s.data(), inv, cell.data()), check("quasi-uniform");
    const uint32_t foreign[4] = {500, 900, 0xFFFFFFFFu, 7};  // indices of some other partition
    orvu_df_kernel_dDFHybridSearch1D(11, x.data(), n, s.data(), 0.2, 2, foreign, cell.data()), check("foreign table");
    orvu_df_kernel_dDFHybridSearch1D(11, x.data(), n, s.data(), kNaN, 0, foreign, cell.data()), check("no bins");
    int32_t start = 0;  // the sorted kernel on sites that go back never moves back
    std::reverse(s.begin(), s.end());
    orvu_df_kernel_dDFSortedSearch1D32(11, x.data(), n, s.data(), &start, cell.data());
    EXPECT_TRUE(std::is_sorted(cell.begin(), cell.end()) && cell[0] == want[n - 1] && start == cell[n - 1]);
    const double one[1] = {4}, t[3] = {3, 4, 5};
    int32_t c1[3];
    orvu_df_kernel_dDFQuasiUniformSearch1D(1, one, 3, t, -1.0, c1);
    EXPECT_EQ(c1[0] + c1[1] + c1[2], 0 + 1 + 1);
    orvu_df_kernel_dDFUniformSearch1D(0, nullptr, 3, t, 1.0, c1);  // no nodes: cell 0, nothing read
    EXPECT_EQ(c1[0] + c1[1] + c1[2], 0);
}

// The bin table is built at creation; a partition shrunk afterwards (new x,
// smaller nx, x hint not reset) leaves it stale, and the hybrid search must
// still find each site's cell within the new partition.
TEST(HostileCalls, StaleBinTableAfterThePartitionShrinks) {
    std::vector<double> big(1000), small(10);
    for (int i = 0; i < 1000; ++i) big[i] = i;
    for (int i = 0; i < 10; ++i) small[i] = 100.0 * i + i * i;  // same span, so late bins are met
    OrvuDFTaskPtr t = nullptr;
    ASSERT_EQ(orvu_df_kernel_dNewTask1D(&t, 1000, big.data(), 1, 0, nullptr, 0, 0), 0);
    ASSERT_EQ(orvu_df_kernel_dEditPtr(t, 1, small.data()), 0);
    ASSERT_EQ(orvu_df_kernel_iEditVal(t, 14, 10), 0);
    std::vector<double> s;
    for (int k = 0; k < 100; ++k) s.push_back(-50 + 10.5 * k);
    std::vector<int32_t> cell(s.size());
    ASSERT_EQ(orvu_df_kernel_dDFSearch1D(t, 0, s.size(), s.data(), 0, nullptr, cell.data(), nullptr, nullptr, nullptr), 0);
    for (size_t k = 0; k < s.size(); ++k) EXPECT_EQ(cell[k], reference_cell(small, s[k])) << s[k];
    orvu_df_kernel_DeleteTask(&t);
}

}  // namespace
