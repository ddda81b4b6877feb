// Interpolation and integration. A spline that reproduces a polynomial (its
// values at the nodes, end conditions taken from it) is that polynomial, so
// values, derivatives and integrals anywhere, extrapolation included, have an
// exact reference. The per-kind integrator kernels are checked against the
// integration entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "df_api.h"

namespace {

using LD = long double;
// p_d: the first d + 1 terms of 1 + 2x - x^2/2 + x^3/10; its derivative q;
// P_d: its integral from a to b.
constexpr LD kPoly[4] = {1, 2, -0.5L, 0.1L};
LD p(int d, LD x, int q = 0) {
    LD v = 0;
    for (int i = d; i >= q; --i) {
        LD f = kPoly[i];
        for (int m = i - q + 1; m <= i; ++m) f *= m;
        v = v * x + f;
    }
    return v;
}
LD P(int d, LD a, LD b) {
    LD fa = 0, fb = 0;
    for (int i = d; i >= 0; --i) fa = (fa + kPoly[i] / (i + 1)) * a, fb = (fb + kPoly[i] / (i + 1)) * b;
    return fb - fa;
}
// Relative tolerance of results known exactly: rounding only.
template <class T>
constexpr LD kRel = sizeof(T) == 8 ? 1e-13L : 1e-5L;

template <class T> struct Interp : ::testing::Test {};
TYPED_TEST_SUITE(Interp, DfTypes);

// Spline kinds that reproduce p_degree from its values at uneven nodes.
// Function j is p_degree + 3j: end slopes are shared by all functions, the
// first midpoint value of the standard quadratic is not (one function).
struct Kind { int64_t order, type, bc_type; int degree; };
constexpr Kind kCubic = {4, 2, 12, 3};
constexpr Kind kKinds[] = {{2, 0, 0, 1}, {3, 0, 128, 2}, {3, 1, 12, 2}, kCubic};  // Subbotin: type 1

template <class T>
struct PolyTask {
    int64_t nx = 12, ny;
    std::vector<T> x, y, c, knots;
    OrvuDFTaskPtr task = nullptr;
    explicit PolyTask(const Kind& k = kCubic, int64_t flags = 0) : ny(k.bc_type == 128 ? 1 : 2), c(4 * nx * ny) {
        for (int64_t i = 0; i < nx; ++i) x.push_back(static_cast<T>(0.5 * i + 0.1 * (i % 3)));
        for (int64_t j = 0; j < ny; ++j)
            for (T v : x) y.push_back(static_cast<T>(p(k.degree, v) + 3 * j));
        EXPECT_EQ(Df<T>::NewTask(&task, nx, x.data(), 1, ny, y.data(), 16, flags), 0);
        knots = {x[0]};
        for (int64_t i = 1; i < nx; ++i) knots.push_back((x[i - 1] + x[i]) / 2);
        knots.push_back(x[nx - 1]);
        const T d[2] = {static_cast<T>(p(k.degree, x[0], 1)), static_cast<T>(p(k.degree, x[nx - 1], 1))};
        const T mid[1] = {static_cast<T>(p(k.degree, (static_cast<LD>(x[0]) + x[1]) / 2))};
        EXPECT_EQ(Df<T>::EditPP(task, k.order, k.type, k.bc_type, k.bc_type == 128 ? mid : d, k.type == 1 ? 256 : 0,
                                k.type == 1 ? knots.data() : nullptr, c.data(), 0), 0);
        EXPECT_EQ((k.order == 2 ? Df<T>::Linear : k.order == 3 ? Df<T>::Quadratic : Df<T>::Natural)(task, 0, 0, nullptr), 0);
    }
    ~PolyTask() { orvu_df_kernel_DeleteTask(&task); }
};

template <class T>
std::vector<T> random_sites(int64_t n, unsigned seed) {  // nodes span [0, 5.6]
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1, 7);
    std::vector<T> s(n);
    for (auto& v : s) v = static_cast<T>(u(gen));
    return s;
}

// Values and every derivative in both layouts with the cells written out
// (type 3), threaded or not, over whole blocks of 320 and 64 sites and a
// tail; a value-only request, and integrals.
TYPED_TEST(Interp, EveryPolynomialKindReproducesItsPolynomial) {
    using T = TypeParam;
    const int64_t n = 320 * 3 + 64 * 2 + 17;
    const std::vector<T> s = random_sites<T>(n, 9), a = random_sites<T>(n, 10), b = random_sites<T>(n, 11);
    const int32_t dorder[4] = {1, 1, 1, 1};
    for (const Kind& k : kKinds) {
        PolyTask<T> pt(k);
        const int64_t ny = pt.ny;
        std::vector<T> r(4 * n * ny), v0(ny * n), ri(ny * n);
        std::vector<int32_t> cell(n);
        ASSERT_EQ(interp(pt.task, 1, n, s.data(), 1, dorder, v0.data(), 0), 0);  // value only: a loop of its own
        ASSERT_EQ(integr(pt.task, n, a.data(), b.data(), ri.data()), 0);
        int bad = 0;
        auto off = [&](T got, LD want, LD scale, LD f = 2) { bad += !(std::fabs(got - want) <= f * kRel<T> * scale); };
        for (auto thr : {static_cast<const OrvuThreadingTable*>(nullptr), FourThreads::table()})
            for (int64_t rhint : {16, 0}) {
                r.assign(r.size(), T(-1234));
                cell.assign(n, -1);
                ASSERT_EQ(interp(pt.task, 3, n, s.data(), 4, dorder, r.data(), rhint, cell.data(), thr), 0);
                for (int64_t j = 0; j < ny; ++j)
                    for (int64_t i = 0; i < n; ++i)
                        for (int q = 0; q < 4; ++q) {
                            const LD want = p(k.degree, s[i], q) + (q ? 0 : 3 * j);
                            off(rhint ? r[(j * n + i) * 4 + q] : r[(j * 4 + q) * n + i], want, 1 + std::fabs(want), q > 1 ? 100 : 2);
                        }
                for (int64_t i = 0; i < n; ++i) bad += cell[i] != reference_cell(pt.x, s[i]);
            }
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t i = 0; i < n; ++i) {
                const LD v = p(k.degree, s[i]) + 3 * j;
                off(v0[j * n + i], v, 1 + std::fabs(v));
                off(ri[j * n + i], P(k.degree, a[i], b[i]) + 3 * j * (static_cast<LD>(b[i]) - a[i]),
                    1 + std::fabs(P(k.degree, 0, a[i])) + std::fabs(P(k.degree, 0, b[i])) + 21 * j);
            }
        EXPECT_EQ(bad, 0) << k.order << " " << k.type << " " << k.bc_type;
    }
}

// Left group: 40 + the first site's cell (0) for both functions.
template <class T>
int32_t left_const(int64_t* n, int64_t* cell, const T*, T* r, void*) {
    for (int64_t i = 0; i < *n * 2; ++i) r[i] = static_cast<T>(40 + cell[0]);
    return 0;
}
template <class T>
int32_t bad_cb(int64_t*, int64_t*, const T*, T*, void*) { return -9; }

// Callbacks take their site groups, in blocks and threaded; given cells
// (type 4, 64-bit) are used as they are.
TYPED_TEST(Interp, CallbacksAndGivenCells) {
    using T = TypeParam;
    PolyTask<T> ct;
    const int64_t n = 700;
    const std::vector<T> s = random_sites<T>(n, 4);
    const int32_t dorder[1] = {1};
    std::vector<T> r(2 * n);
    ASSERT_EQ(interp(ct.task, 1, n, s.data(), 1, dorder, r.data(), 16, nullptr, FourThreads::table(), left_const<T>), 0);
    int bad = 0;
    for (int64_t j = 0; j < 2; ++j)
        for (int64_t i = 0; i < n; ++i) {
            const LD want = s[i] < 0 ? 40 : p(3, s[i]) + 3 * j;  // right of the nodes: extrapolated
            bad += !(std::fabs(r[j * n + i] - want) <= 100 * kRel<T> * (1 + std::fabs(want)));
        }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(interp(ct.task, 1, 3, s.data(), 1, dorder, r.data(), 16, nullptr, nullptr, nullptr, nullptr, bad_cb<T>), -9);
    PolyTask<T> wide(kCubic, 1);  // 64-bit integer arrays
    const T at[2] = {wide.x[3], wide.x[3]};
    const int64_t cells[2] = {4, 1}, d64[1] = {1};  // the second cell is not the site's: same cubic
    ASSERT_EQ(interp(wide.task, 4, 2, at, 1, d64, r.data(), 16, const_cast<int64_t*>(cells)), 0);
    EXPECT_NEAR(r[0], p(3, at[0]), 10 * kRel<T> * 5);
    EXPECT_NEAR(r[1], p(3, at[0]), 10 * kRel<T> * 5);
}

// The transposed layout needs 64 sites x 12 results per thread: four threads
// pass the 2048 values kept on the stack, site-major or one thread do not.
TYPED_TEST(Interp, TransposedScratchIsAllocatedWhenThreaded) {
    using T = TypeParam;
    PolyTask<T> ct;
    const std::vector<int32_t> twelve(12, 1);
    std::vector<T> s(100, T(2)), r(2 * 100 * 12);
    const int32_t live = orvu_serv_test_live_allocations();
    for (auto [rhint, thr, status] : {std::tuple{16, FourThreads::table(), 0}, std::tuple{0, FourThreads::table(), -1001},
                                      std::tuple{0, (const OrvuThreadingTable*)nullptr, 0}}) {
        orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(interp(ct.task, 1, 100, s.data(), 12, twelve.data(), r.data(), rhint, nullptr, thr), status) << rhint;
    }
    orvu_serv_test_fail_allocation(0);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TYPED_TEST(Interp, StepwiseLookUpAndErrors) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3}, y = {10, 20, 30, 40}, many(5000, T(1));
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 4, x.data(), 1, 1, y.data(), 16, 0), 0);
    const T s[5] = {-1, 1, 1.5, 3, 4}, at_nodes[2] = {1, 3}, ends[2] = {0, 3}, a[1] = {2.5}, b[1] = {0.5};
    const int32_t val[1] = {1}, noval[1] = {0}, two[2] = {1, 1}, wild[2] = {-7, 1000};
    T r[5000];
    auto run = [&](const T* sites, int64_t n, int64_t nd, const int32_t* d, int64_t rhint = 16) {
        return interp(task, 1, n, sites, nd, d, r, rhint);
    };
    // Given cells (type 4) are not checked: out of range they are clamped,
    // and a look-up finds no node there.
    auto given = [&]() { return interp(task, 4, 2, ends, 1, val, r, 16, const_cast<int32_t*>(wild)); };
    for (int64_t type : {7, 8}) {
        ASSERT_EQ(Df<T>::EditPP(task, 0, type, 0, nullptr, 0, nullptr, nullptr, 0), 0);
        ASSERT_EQ(run(s, 5, 1, val), 0);
        EXPECT_EQ(std::vector<T>(r, r + 5), (type == 7 ? std::vector<T>{10, 20, 20, 40, 40} : std::vector<T>{10, 10, 20, 40, 40}));
        ASSERT_EQ(given(), 0);
        EXPECT_EQ(r[0] + r[1], 10 + 40);
        ASSERT_EQ(integr(task, 1, a, b, r), 0);  // value times length, reversed limits: every product exact
        EXPECT_EQ(r[0], -(0.5 * 10 + 20 + 0.5 * 30));
    }
    ASSERT_EQ(Df<T>::EditPP(task, 0, 6, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(given(), -1022);
    ASSERT_EQ(run(at_nodes, 2, 1, val), 0);
    EXPECT_EQ(r[0] * 100 + r[1], 2000 + 40);
    EXPECT_EQ(run(s + 2, 1, 1, val), -1022);  // between nodes
    EXPECT_EQ(run(s, 1, 1, val), -1022);      // left of the partition
    EXPECT_EQ(run(at_nodes, 2, 2, two), -1024);
    EXPECT_EQ(run(at_nodes, 2, 1, noval), -1025);
    EXPECT_EQ(integr(task, 1, s, s, r), -1011);
    ASSERT_EQ(Df<T>::EditPP(task, 0, 7, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(run(s, 5, 1, val, 64), -1028);
    EXPECT_EQ(integr(task, 1, s, s, r, 64), -1034);
    const T bad_hint[5] = {0, 3, 0, 0, 0};
    EXPECT_EQ(integr(task, 1, s, s, r, 0, nullptr, nullptr, bad_hint), -1026);
    orvu_serv_test_fail_allocation(1);  // cells of sites beyond the stack buffer
    EXPECT_EQ(run(many.data(), 5000, 1, val), -1001);
    orvu_serv_test_fail_allocation(0);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 18, 1), 0);
    EXPECT_EQ(run(s, 5, 1, val), -1011);
    orvu_df_kernel_DeleteTask(&task);
}

// Integrator kernels of kinds 0 .. 6: linear, quadratic, cubic, Subbotin, arbitrary, step left, step right.
#define KIND_KERNELS(S)                                                                                          \
    {orvu_df_kernel_d_IntegrateLinearSpline##S, orvu_df_kernel_d_IntegrateQuadSpline##S,                         \
     orvu_df_kernel_d_IntegrateCubSpline##S,    orvu_df_kernel_d_IntegrateSubbSpline##S,                         \
     orvu_df_kernel_d_IntegrateArbSpline##S,    orvu_df_kernel_d_IntegratePwLSpline##S, orvu_df_kernel_d_IntegratePwRSpline##S}
constexpr decltype(&orvu_df_kernel_d_IntegrateLinearSpline) kPlain[] = KIND_KERNELS();
constexpr decltype(&orvu_df_kernel_d_IntegrateLinearSplineCB) kWithCb[] = KIND_KERNELS(CB);
#undef KIND_KERNELS

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
        const auto build = kind == 0 ? orvu_df_kernel_dDFLinearSpline1D : kind == 2 ? orvu_df_kernel_dDFNaturalCubicSpline1D
                                                                        : orvu_df_kernel_dDFQuadraticSpline1D;
        EXPECT_EQ(kind < 4 ? build(task, 0, 0, nullptr) : 0, 0);
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

struct Limits {  // random limits and their cells
    std::vector<double> a, b;
    std::vector<int32_t> ca, cb;
    Limits(OrvuDFTaskPtr task, int64_t n, unsigned seed)
        : a(random_sites<double>(n, seed)), b(random_sites<double>(n, seed + 99)), ca(n), cb(n) {
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
            EXPECT_EQ(l.plain(other, kt.task, got.data(), ldr, 16), other == kind ? 0 : -1011) << kind << " " << other;
            if (other != kind) continue;  // look-up (7): every kernel refuses
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

// From 4096 intervals the blocks go to the threading table; the callback
// buffer beyond the stack can fail to allocate without leaking.
TEST(IntegrKernels, ThreadedAndAllocationFailures) {
    KindTask kt(2);
    const Limits l(kt.task, 5000, 21);
    double two = 2;
    for (Df<double>::IntegrCb cb : {weighted, (Df<double>::IntegrCb) nullptr}) {
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
    std::vector<double> r(30 * 128);
    m.a.assign(128, -1);  // every interval has a left part: 128 x 30 results exceed the stack buffer
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(m.entry(wide.task, r.data(), weighted, nullptr, nullptr), -1001);
    orvu_serv_test_fail_allocation(0);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
    EXPECT_EQ(m.entry(wide.task, r.data(), weighted, nullptr, nullptr), 0);
}

}  // namespace
