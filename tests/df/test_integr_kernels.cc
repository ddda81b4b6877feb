// Per-kind integrator kernels against the integration entry, the kind checks,
// the callback parts, threading and the callback buffers' memory failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "df_api.h"

namespace {

using Plain = decltype(&orvu_df_kernel_d_IntegrateLinearSpline);
using WithCb = decltype(&orvu_df_kernel_d_IntegrateLinearSplineCB);
// Integrator kinds 0 .. 6 in the order the requirements number them.
constexpr Plain kPlain[] = {orvu_df_kernel_d_IntegrateLinearSpline, orvu_df_kernel_d_IntegrateQuadSpline,
                            orvu_df_kernel_d_IntegrateCubSpline,    orvu_df_kernel_d_IntegrateSubbSpline,
                            orvu_df_kernel_d_IntegrateArbSpline,    orvu_df_kernel_d_IntegratePwLSpline,
                            orvu_df_kernel_d_IntegratePwRSpline};
constexpr WithCb kWithCb[] = {orvu_df_kernel_d_IntegrateLinearSplineCB, orvu_df_kernel_d_IntegrateQuadSplineCB,
                              orvu_df_kernel_d_IntegrateCubSplineCB,    orvu_df_kernel_d_IntegrateSubbSplineCB,
                              orvu_df_kernel_d_IntegrateArbSplineCB,    orvu_df_kernel_d_IntegratePwLSplineCB,
                              orvu_df_kernel_d_IntegratePwRSplineCB};

// A task of integrator kind `kind` (7: look-up) on five nodes, ny functions.
struct KindTask {
    std::vector<double> x = {0, 1, 2.5, 3, 4.5}, y, c, knots = {0, 0.5, 2, 2.7, 4, 4.5}, bc = {1, -1};
    OrvuDFTaskPtr task = nullptr;
    explicit KindTask(int kind, int64_t ny = 2) : c(8 * 5 * ny) {
        for (int64_t j = 0; j < ny; ++j)
            for (double v : x) y.push_back(std::sin(v) + 0.5 * j);
        for (size_t i = 0; i < c.size(); ++i) c[i] = std::cos(0.7 * i);  // order 6: any coefficients
        EXPECT_EQ(orvu_df_kernel_dNewTask1D(&task, 5, x.data(), 1, ny, y.data(), 16, 0), 0);
        const int64_t rows[8][4] = {{2, 0, 0, 0}, {3, 0, 128, 0}, {4, 2, 12, 0}, {3, 1, 12, 256},  // order, type, bc, ic
                                    {6, 0, 0, 0}, {0, 8, 0, 0}, {0, 7, 0, 0}, {0, 6, 0, 0}};
        const int64_t* r = rows[kind];
        EXPECT_EQ(orvu_df_kernel_dEditPPSpline1D(task, r[0], r[1], r[2], r[2] ? bc.data() : nullptr, r[3],
                                                 r[3] ? knots.data() : nullptr, r[0] ? c.data() : nullptr, 0), 0);
        const auto build = r[0] == 2 ? orvu_df_kernel_dDFLinearSpline1D : r[0] == 3 ? orvu_df_kernel_dDFQuadraticSpline1D
                         : r[0] == 4 ? orvu_df_kernel_dDFNaturalCubicSpline1D : nullptr;
        EXPECT_EQ(build ? build(task, 0, 0, nullptr) : 0, 0);
    }
    ~KindTask() { orvu_df_kernel_DeleteTask(&task); }
};

// Integrand `weight` (1 without parameters) over every part handed over.
int32_t weighted(int64_t* n, int64_t*, const double* a, const double* b, double* r, int32_t nfunc, void* w) {
    for (int64_t j = 0; j < nfunc; ++j)
        for (int64_t k = 0; k < *n; ++k) r[j * *n + k] = (w ? *static_cast<double*>(w) : 1) * (b[k] - a[k]);
    return 0;
}
int32_t failing(int64_t*, int64_t*, const double*, const double*, double*, int32_t, void*) { return -7; }

struct Limits {
    std::vector<double> a, b;
    std::vector<int32_t> ca, cb;
    Limits(OrvuDFTaskPtr task, int64_t n, unsigned seed) : a(n), b(n), ca(n), cb(n) {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> u(-1.5, 6);
        for (int64_t k = 0; k < n; ++k) a[k] = u(gen), b[k] = u(gen);
        for (auto [s, c] : {std::pair{&a, &ca}, std::pair{&b, &cb}})
            EXPECT_EQ(orvu_df_kernel_dDFSearch1D(task, 0, n, s->data(), 0, nullptr, c->data(), nullptr, nullptr, nullptr), 0);
    }
    int64_t n() const { return static_cast<int64_t>(a.size()); }
    // The entry with the left, right and interior integrands given (or none).
    int32_t entry(OrvuDFTaskPtr t, double* r, Df<double>::IntegrCb le, Df<double>::IntegrCb re, void* rp,
                  Df<double>::IntegrCb ie = nullptr, void* ip = nullptr, const OrvuThreadingTable* thr = nullptr) const {
        return orvu_df_kernel_dDFIntegrate1D(t, 0, n(), a.data(), 0, b.data(), 0, nullptr, nullptr, r, 0, le, nullptr,
                                             re, rp, ie, ip, nullptr, nullptr, thr);
    }
    int32_t plain(int kind, OrvuDFTaskPtr t, double* r, int64_t ldr, int64_t rhint = 0) const {
        return kPlain[kind](t, n(), a.data(), ca.data(), b.data(), cb.data(), r, ldr, rhint);
    }
    int32_t with_cb(int kind, OrvuDFTaskPtr t, double* r, Df<double>::IntegrCb le, Df<double>::IntegrCb re, void* rp,
                    Df<double>::IntegrCb ie = nullptr, void* ip = nullptr) const {
        return kWithCb[kind](t, n(), a.data(), ca.data(), b.data(), cb.data(), r, 0, 0, le, nullptr, re, rp, ie, ip);
    }
};

TEST(IntegrKernels, EachKindKernelMatchesTheEntryAndRefusesOtherKinds) {
    double two = 2;
    for (int kind = 0; kind < 8; ++kind) {
        KindTask kt(kind);
        const Limits l(kt.task, 40, 5 + kind);
        const int64_t n = l.n(), ldr = n + 3;
        for (int other = 0; other < 7; ++other) {
            std::vector<double> want(2 * n), got(2 * ldr, -99);
            const int32_t st = l.plain(other, kt.task, got.data(), ldr, 16);
            EXPECT_EQ(st, other == kind ? 0 : -1011) << kind << " " << other;  // look-up (7): every kernel refuses
            if (other != kind) continue;
            ASSERT_EQ(l.entry(kt.task, want.data(), nullptr, nullptr, nullptr), 0);
            for (int64_t k = 0; k < n; ++k) ASSERT_EQ(got[ldr + k], want[n + k]) << kind << " " << k;
            EXPECT_EQ(got[n], -99);  // the gap between functions is not written
            ASSERT_EQ(l.with_cb(kind, kt.task, got.data(), weighted, weighted, &two), 0);
            ASSERT_EQ(l.entry(kt.task, want.data(), weighted, weighted, &two), 0);
            for (int64_t k = 0; k < 2 * n; ++k) ASSERT_EQ(got[k], want[k]) << kind << " " << k;
        }
    }
    KindTask kt(2);
    const Limits l(kt.task, 2, 3);
    double r[4];
    EXPECT_EQ(l.with_cb(2, kt.task, r, failing, failing, nullptr), -7);
    EXPECT_EQ(l.plain(2, kt.task, r, 0, 64), -1034);
    EXPECT_EQ(l.plain(2, kt.task, r, 1), -1034);  // ldr below nlim
    EXPECT_EQ(l.plain(2, nullptr, r, 0), -1000);
}

// Order 0 with all three integrands is the arbitrary kind: weight 1 left of
// x[0], 3 on [x[0], x[nx-1]], 2 right of it, in blocks through the entry.
TEST(IntegrKernels, OrderZeroWithAllCallbacksIsTheArbitraryKind) {
    KindTask kt(5);
    ASSERT_EQ(orvu_df_kernel_dEditPPSpline1D(kt.task, 0, 0, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    const Limits l(kt.task, 300, 11);
    double two = 2, three = 3;
    std::vector<double> want(600), got(600);
    ASSERT_EQ(l.entry(kt.task, want.data(), weighted, weighted, &two, weighted, &three), 0);
    ASSERT_EQ(l.with_cb(4, kt.task, got.data(), weighted, weighted, &two, weighted, &three), 0);
    EXPECT_EQ(got, want);
    for (int64_t k = 0; k < 300; ++k) {
        const long double lo = std::min(l.a[k], l.b[k]), hi = std::max(l.a[k], l.b[k]);
        auto len = [&](long double p, long double q) { return std::max(0.0L, std::min(hi, q) - std::max(lo, p)); };
        EXPECT_NEAR(got[k], (len(-10, 0) + 3 * len(0, 4.5L) + 2 * len(4.5L, 10)) * (l.b[k] < l.a[k] ? -1 : 1), 2e-13);
    }
    EXPECT_EQ(l.plain(4, kt.task, got.data(), 0), -1011);
}

// From 4096 intervals the blocks go to the threading table; every callback
// buffer allocation can fail without leaking.
TEST(IntegrKernels, ThreadedAndAllocationFailures) {
    KindTask kt(2);
    const Limits l(kt.task, 5000, 21);
    double two = 2;
    for (auto cb : {Df<double>::IntegrCb(nullptr), Df<double>::IntegrCb(weighted)}) {
        std::vector<double> alone(10000), threaded(10000);
        ASSERT_EQ(l.entry(kt.task, alone.data(), cb, cb, &two), 0);
        const int before = FourThreads::calls;
        ASSERT_EQ(l.entry(kt.task, threaded.data(), cb, cb, &two, nullptr, nullptr, FourThreads::table()), 0);
        EXPECT_EQ(FourThreads::calls, before + 1);
        EXPECT_EQ(threaded, alone);
        EXPECT_EQ(l.entry(kt.task, threaded.data(), nullptr, nullptr, nullptr, failing, nullptr, FourThreads::table()), -7);
    }
    KindTask wide(0, 30);
    Limits m(wide.task, 128, 31);
    m.a.assign(128, -1);  // every interval has a left part: 128 x 30 results exceed the stack buffer
    std::vector<double> r(30 * 128);
    const int32_t live = orvu_serv_test_live_allocations();
    int32_t st = 0, failures = 0;
    for (int32_t n = 1; n < 20 && (n == 1 || st != 0); ++n, failures += st != 0) {
        orvu_serv_test_fail_allocation(n);
        st = m.entry(wide.task, r.data(), weighted, nullptr, nullptr);
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(orvu_serv_test_live_allocations(), live);
        EXPECT_TRUE(st == 0 || st == -1001) << st;
    }
    EXPECT_EQ(st, 0);
    EXPECT_GE(failures, 1);
}

}  // namespace
