// Interpolation and integration. A spline that reproduces a polynomial (its
// values at the nodes, end conditions taken from it) is that polynomial, so
// values, derivatives and integrals anywhere, extrapolation included, have an
// exact reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
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

template <class T>
class Interp : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Interp, Types);

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

TYPED_TEST(Interp, EveryPolynomialKindReproducesItsPolynomial) {
    using T = TypeParam;
    std::mt19937 gen(9);
    std::uniform_real_distribution<double> u(-1, 7);  // nodes span [0, 5.6]
    for (const Kind& k : kKinds) {
        PolyTask<T> pt(k);
        const int64_t n = 300, ny = pt.ny;
        std::vector<T> s(n), a(n), b(n), r(2 * n * ny), v0(ny * n), ri(ny * n);
        for (int64_t i = 0; i < n; ++i) s[i] = static_cast<T>(u(gen)), a[i] = static_cast<T>(u(gen)), b[i] = static_cast<T>(u(gen));
        const int32_t dorder[2] = {1, 1};
        ASSERT_EQ(interp(pt.task, 1, n, s.data(), 2, dorder, r.data(), 16), 0);
        ASSERT_EQ(interp(pt.task, 1, n, s.data(), 1, dorder, v0.data(), 0), 0);  // value only: a loop of its own
        ASSERT_EQ(integr(pt.task, n, a.data(), b.data(), ri.data()), 0);
        int bad = 0;
        auto off = [&](T got, LD want, LD scale) { bad += std::fabs(got - want) > 2 * kRel<T> * scale; };
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t i = 0; i < n; ++i) {
                const LD v = p(k.degree, s[i]) + 3 * j, d = p(k.degree, s[i], 1);
                off(v0[j * n + i], v, 1 + std::fabs(v));
                off(r[(j * n + i) * 2], v, 1 + std::fabs(v));
                off(r[(j * n + i) * 2 + 1], d, 1 + std::fabs(d));
                off(ri[j * n + i], P(k.degree, a[i], b[i]) + 3 * j * (static_cast<LD>(b[i]) - a[i]),
                    1 + std::fabs(P(k.degree, 0, a[i])) + std::fabs(P(k.degree, 0, b[i])) + 21 * j);
            }
        EXPECT_EQ(bad, 0) << k.order << " " << k.type << " " << k.bc_type;
    }
}

// Higher derivatives in both layouts with the cells written out (type 3), on
// the direct path; given cells (type 4, 64-bit) are used as they are.
TYPED_TEST(Interp, DerivativesLayoutsAndCells) {
    using T = TypeParam;
    PolyTask<T> ct;
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> u(-1, 7);
    std::vector<T> s(31);
    for (auto& v : s) v = static_cast<T>(u(gen));
    const int32_t dorder[4] = {1, 0, 1, 1};  // value, 2nd, 3rd derivative
    for (int64_t rhint : {16, 0}) {
        std::vector<T> r(31 * 3 * 2);
        std::vector<int32_t> cell(31);
        ASSERT_EQ(interp(ct.task, 3, 31, s.data(), 4, dorder, r.data(), rhint, cell.data()), 0);
        int bad = 0;
        for (int64_t j = 0; j < 2; ++j)
            for (int64_t k = 0; k < 31; ++k) {
                bad += cell[k] != reference_cell(ct.x, s[k]);
                for (int q = 0; q < 3; ++q) {
                    const LD want = p(3, s[k], q ? q + 1 : 0) + (q == 0 ? 3 * j : 0);
                    bad += std::fabs((rhint ? r[(j * 31 + k) * 3 + q] : r[(j * 3 + q) * 31 + k]) - want) >
                           100 * kRel<T> * (1 + std::fabs(want));
                }
            }
        EXPECT_EQ(bad, 0) << rhint;
    }
    PolyTask<T> wide(kCubic, 1);  // 64-bit integer arrays
    const T at[2] = {wide.x[3], wide.x[3]};
    const int64_t cells[2] = {4, 1}, d64[1] = {1};  // the second cell is not the site's: same cubic
    T r[4];  // two functions
    ASSERT_EQ(interp(wide.task, 4, 2, at, 1, d64, r, 16, const_cast<int64_t*>(cells)), 0);
    EXPECT_NEAR(r[0], p(3, at[0]), 10 * kRel<T> * 5);
    EXPECT_NEAR(r[1], p(3, at[0]), 10 * kRel<T> * 5);
}

// Left group: 40 + the first site's cell for every result of both functions
// (results per site in the parameters; none: one).
template <class T>
int32_t left_const(int64_t* n, int64_t* cell, const T*, T* r, void* nres) {
    for (int64_t i = 0; i < *n * 2 * (nres ? *static_cast<int64_t*>(nres) : 1); ++i) r[i] = static_cast<T>(40 + cell[0]);
    return 0;
}
template <class T>
int32_t left_integr(int64_t* n, int64_t*, const T* a, const T* b, T* r, int32_t nfunc, void*) {
    for (int64_t j = 0; j < nfunc; ++j)
        for (int64_t k = 0; k < *n; ++k) r[j * *n + k] = b[k] - a[k];  // integrand 1
    return 0;
}
template <class T>
int32_t bad_cb(int64_t*, int64_t*, const T*, T*, void*) { return -9; }

TYPED_TEST(Interp, CallbacksTakeTheirSiteGroups) {
    using T = TypeParam;
    PolyTask<T> ct;
    const T s[3] = {-1, 1, 9}, a[1] = {-2}, b[1] = {1};
    const int32_t dorder[1] = {1};
    T r[6];
    ASSERT_EQ(interp(ct.task, 1, 3, s, 1, dorder, r, 16, nullptr, nullptr, left_const<T>), 0);
    EXPECT_EQ(r[0], 40);
    EXPECT_EQ(r[3], 40);
    EXPECT_NEAR(r[1], p(3, 1), 10 * kRel<T> * 5);
    EXPECT_NEAR(r[2], p(3, 9), 100 * kRel<T> * 50);  // extrapolated
    EXPECT_EQ(interp(ct.task, 1, 3, s, 1, dorder, r, 16, nullptr, nullptr, nullptr, nullptr, bad_cb<T>), -9);
    ASSERT_EQ(integr(ct.task, 1, a, b, r, 0, nullptr, left_integr<T>), 0);
    EXPECT_NEAR(r[0], 2 + P(3, 0, 1), 10 * kRel<T> * 5);
}

// The general path (blocks of 320 and 64 sites, threaded or not, both
// layouts) gives exactly what the direct path gives on chunks of 31 sites.
TYPED_TEST(Interp, GeneralPathEqualsTheDirectPath) {
    using T = TypeParam;
    PolyTask<T> cubic, step;
    ASSERT_EQ(Df<T>::EditPP(step.task, 0, 7, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    struct Case { OrvuDFTaskPtr task; std::vector<int32_t> dorder; bool callback; };
    const Case cases[] = {{cubic.task, {1, 0, 1}, false}, {cubic.task, {1, 1}, true},
                          {step.task, {1, 1}, false},   // derivative slots untouched
                          {step.task, {0, 1}, false}};  // nothing written
    const T fill = T(-1234);
    std::mt19937 gen(17);
    std::uniform_real_distribution<double> u(-1, 7);
    for (const Case& c : cases) {
        int64_t nr = 0;
        for (int32_t d : c.dorder) nr += d;
        auto run = [&](const T* s, int64_t n, T* r, int64_t rhint, const OrvuThreadingTable* thr) {
            return interp(c.task, 1, n, s, static_cast<int64_t>(c.dorder.size()), c.dorder.data(), r, rhint, nullptr,
                          thr, c.callback ? left_const<T> : nullptr, &nr);
        };
        // 32, 513, and 320 k + 64 m + r: whole big blocks, whole small blocks, a tail.
        for (int64_t n : {32, 513, 320 * 3 + 64 * 2 + 17, 320 * 2 + 64 * 4}) {
            std::vector<T> s(n), want(2 * n * nr, fill), part(2 * 31 * nr);
            for (auto& v : s) v = static_cast<T>(u(gen));
            for (int64_t k0 = 0; k0 < n; k0 += 31) {  // direct path, site-major
                const int64_t m = std::min<int64_t>(31, n - k0);
                part.assign(part.size(), fill);
                ASSERT_EQ(run(s.data() + k0, m, part.data(), 16, nullptr), 0);
                for (int64_t j = 0; j < 2; ++j) std::copy_n(&part[j * m * nr], m * nr, &want[(j * n + k0) * nr]);
            }
            for (auto thr : {static_cast<const OrvuThreadingTable*>(nullptr), FourThreads::table(), orvu_serv_threading_table()})
                for (int64_t rhint : {16, 0}) {
                    std::vector<T> r(2 * n * nr, fill);
                    ASSERT_EQ(run(s.data(), n, r.data(), rhint, thr), 0);
                    int bad = 0;
                    for (int64_t j = 0; j < 2; ++j)
                        for (int64_t k = 0; k < n; ++k)
                            for (int64_t q = 0; q < nr; ++q)
                                bad += !((rhint ? r[(j * n + k) * nr + q] : r[(j * nr + q) * n + k]) == want[(j * n + k) * nr + q]);
                    EXPECT_EQ(bad, 0) << &c - cases << ", " << n << " sites, rhint " << rhint;
                }
        }
    }
}

TYPED_TEST(Interp, GeneralPathThreadsAndAllocatesItsScratch) {
    using T = TypeParam;
    PolyTask<T> ct;
    const std::vector<int32_t> twelve(12, 1);  // 12 results per site
    std::vector<T> s(1347, T(2)), r(2 * 1347 * 12);
    auto run = [&](int64_t n, int64_t rhint, const OrvuThreadingTable* thr) {
        return interp(ct.task, 1, n, s.data(), 12, twelve.data(), r.data(), rhint, nullptr, thr);
    };
    const int before = FourThreads::calls;
    ASSERT_EQ(run(1347, 16, FourThreads::table()), 0);
    EXPECT_GE(FourThreads::calls, before + 1);  // blocks of 320 (the search may use the table too)
    const int after = FourThreads::calls;
    ASSERT_EQ(run(31, 16, FourThreads::table()), 0);
    EXPECT_EQ(FourThreads::calls, after);  // the direct path never threads
    // The transposed layout needs 64 sites x 12 results per thread: four
    // threads pass the 2048 values kept on the stack.
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(run(100, 16, FourThreads::table()), 0);  // site-major: no scratch
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(run(100, 0, FourThreads::table()), -1001);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(run(100, 0, nullptr), 0);  // one thread: on the stack
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

}  // namespace
