// Interpolation and integration. A clamped cubic spline of a cubic
// polynomial is that polynomial, so values, derivatives and integrals
// anywhere (extrapolation included) have an exact reference.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "df_api.h"
#include "orvu_serv.h"

namespace {

using LD = long double;
LD f(LD x, int q) {
    const LD v[4] = {1 + x * (2 + x * (-0.5L + 0.1L * x)), 2 + x * (-1 + 0.3L * x), -1 + 0.6L * x, 0.6L};
    return v[q];
}
LD F(LD x) { return x * (1 + x * (1 + x * (-0.5L / 3 + 0.025L * x))); }
// Function j of the tests: f shifted by 3j (same derivatives, same end slopes).
LD g(int64_t j, LD x, int q) { return f(x, q) + (q == 0 ? 3 * j : 0); }
LD G(int64_t j, LD a, LD b) { return F(b) - F(a) + 3 * j * (b - a); }

template <class T>
class Interp : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Interp, Types);

template <class T>
struct CubicTask {
    int64_t nx = 12, ny = 2;
    std::vector<T> x, y, c;
    OrvuDFTaskPtr task = nullptr;
    explicit CubicTask(int64_t flags = 0) {
        for (int64_t i = 0; i < nx; ++i) x.push_back(static_cast<T>(0.5 * i + 0.1 * (i % 3)));
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t i = 0; i < nx; ++i) y.push_back(static_cast<T>(g(j, x[i], 0)));
        c.resize(4 * (nx - 1) * ny);
        EXPECT_EQ(Df<T>::NewTask(&task, nx, x.data(), 1, ny, y.data(), 16, flags), 0);
        const T bc[2] = {static_cast<T>(f(x[0], 1)), static_cast<T>(f(x[nx - 1], 1))};
        EXPECT_EQ(Df<T>::EditPP(task, 4, 2, 12, bc, 0, nullptr, c.data(), 0), 0);
        EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), 0);
    }
    ~CubicTask() { orvu_df_kernel_DeleteTask(&task); }
};

TYPED_TEST(Interp, ValuesAndDerivativesInBothLayoutsDirectAndThreaded) {
    using T = TypeParam;
    CubicTask<T> ct;
    const LD tol = sizeof(T) == 8 ? 1e-9L : 5e-3L;
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> u(-1, 7);
    for (int64_t nsite : {int64_t(31), int64_t(32), int64_t(2000)}) {
        std::vector<T> s(nsite);
        for (auto& v : s) v = static_cast<T>(u(gen));
        for (int64_t rhint : {int64_t(16), int64_t(0)}) {
            const int32_t dorder[4] = {1, 0, 1, 1};  // value, 2nd, 3rd derivative
            const int64_t q_of[3] = {0, 2, 3};
            std::vector<T> r(nsite * 3 * ct.ny);
            std::vector<int32_t> cell(nsite);
            ASSERT_EQ(interp(ct.task, 3, nsite, s.data(), 4, dorder, r.data(), rhint, cell.data(),
                             orvu_serv_threading_table()), 0);
            int bad = 0;
            for (int64_t j = 0; j < ct.ny; ++j)
                for (int64_t k = 0; k < nsite; ++k)
                    for (int q = 0; q < 3; ++q) {
                        const T got = rhint == 16 ? r[(j * nsite + k) * 3 + q] : r[(j * 3 + q) * nsite + k];
                        bad += std::fabs(got - g(j, s[k], q_of[q])) > tol * 10;
                    }
            EXPECT_EQ(bad, 0) << nsite << " " << rhint;
            int cell_bad = 0;
            for (int64_t k = 0; k < nsite; ++k) {
                int32_t ref = 0;
                for (T v : ct.x) ref += v <= s[k];
                cell_bad += cell[k] != ref;
            }
            EXPECT_EQ(cell_bad, 0);
        }
    }
}

// A value-only request takes a shortened loop for linear and cubic splines:
// its values must be bit for bit the value slot of a request that also asks
// for a derivative (the per-site path), inside and outside the partition, on
// both layouts, directly and in blocks.
TYPED_TEST(Interp, ValueOnlyRequestMatchesTheValueSlot) {
    using T = TypeParam;
    CubicTask<T> ct;
    std::vector<T> cl(2 * (ct.nx - 1) * ct.ny);
    OrvuDFTaskPtr lin = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&lin, ct.nx, ct.x.data(), 1, ct.ny, ct.y.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(lin, 2, 0, 0, nullptr, 0, nullptr, cl.data(), 0), 0);
    ASSERT_EQ(Df<T>::Linear(lin, 0, 0, nullptr), 0);
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-2, 8);
    const int32_t value[1] = {1}, value_slope[2] = {1, 1};
    for (OrvuDFTaskPtr task : {ct.task, lin})
        for (int64_t nsite : {int64_t(20), int64_t(1500)})
            for (int64_t rhint : {int64_t(16), int64_t(0)}) {
                std::vector<T> s(nsite), v(nsite * ct.ny), vd(2 * nsite * ct.ny);
                for (auto& e : s) e = static_cast<T>(u(gen));
                ASSERT_EQ(interp(task, 1, nsite, s.data(), 1, value, v.data(), rhint, nullptr,
                                 orvu_serv_threading_table()), 0);
                ASSERT_EQ(interp(task, 1, nsite, s.data(), 2, value_slope, vd.data(), 16, nullptr,
                                 orvu_serv_threading_table()), 0);
                int differ = 0;
                for (int64_t j = 0; j < ct.ny; ++j)
                    for (int64_t k = 0; k < nsite; ++k) differ += v[j * nsite + k] != vd[(j * nsite + k) * 2];
                EXPECT_EQ(differ, 0) << nsite << " " << rhint;
            }
    orvu_df_kernel_DeleteTask(&lin);
}

TYPED_TEST(Interp, GivenCellsAreUsedWithoutSearch) {
    using T = TypeParam;
    CubicTask<T> ct(1);  // 64-bit integer arrays
    const T s[2] = {ct.x[3], ct.x[3]};
    const int64_t cells[2] = {4, 1};  // the second cell is deliberately not the site's cell
    const int64_t dorder[1] = {1};
    T r[4];
    ASSERT_EQ(interp(ct.task, 4, 2, s, 1, dorder, r, 16, const_cast<int64_t*>(cells)), 0);
    EXPECT_NEAR(r[0], f(ct.x[3], 0), Df<T>::kTol * 10);
    EXPECT_NEAR(r[1], f(ct.x[3], 0), Df<T>::kTol * 10);  // same cubic on every cell
}

TYPED_TEST(Interp, IntegralsIncludingReversedAndOutsideLimits) {
    using T = TypeParam;
    CubicTask<T> ct;
    const LD tol = sizeof(T) == 8 ? 1e-9L : 2e-2L;
    std::mt19937 gen(9);
    std::uniform_real_distribution<double> u(-1, 7);
    for (int64_t nlim : {int64_t(10), int64_t(5000)}) {
        std::vector<T> a(nlim), b(nlim), r(nlim * ct.ny);
        for (int64_t k = 0; k < nlim; ++k) { a[k] = static_cast<T>(u(gen)); b[k] = static_cast<T>(u(gen)); }
        ASSERT_EQ(integr(ct.task, nlim, a.data(), b.data(), r.data(), 0, orvu_serv_threading_table()), 0);
        int bad = 0;
        for (int64_t j = 0; j < ct.ny; ++j)
            for (int64_t k = 0; k < nlim; ++k) bad += std::fabs(r[j * nlim + k] - G(j, a[k], b[k])) > tol;
        EXPECT_EQ(bad, 0);
    }
}

template <class T>
int32_t left_const(int64_t* n, int64_t*, const T*, T* r, void*) {
    for (int64_t i = 0; i < *n * 2; ++i) r[i] = 42;  // one value, two functions
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
    CubicTask<T> ct;
    const T s[3] = {-1, 1, 9};
    const int32_t dorder[1] = {1};
    T r[6];
    ASSERT_EQ(interp(ct.task, 1, 3, s, 1, dorder, r, 16, nullptr, nullptr, left_const<T>), 0);
    EXPECT_EQ(r[0], 42);
    EXPECT_EQ(r[3], 42);
    EXPECT_NEAR(r[1], f(1, 0), Df<T>::kTol * 10);
    EXPECT_NEAR(r[2], f(9, 0), sizeof(T) == 8 ? 1e-8 : 5e-2);
    EXPECT_EQ(interp(ct.task, 1, 3, s, 1, dorder, r, 16, nullptr, nullptr, nullptr, nullptr, bad_cb<T>), -9);
    const T a[1] = {-2}, b[1] = {1};
    T ri[2];
    ASSERT_EQ(integr(ct.task, 1, a, b, ri, 0, nullptr, left_integr<T>), 0);
    EXPECT_NEAR(ri[0], 2 + F(1) - F(0), sizeof(T) == 8 ? 1e-9 : 1e-3);
}

TYPED_TEST(Interp, StepwiseLookUpAndErrors) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3}, y = {10, 20, 30, 40};
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 4, x.data(), 1, 1, y.data(), 16, 0), 0);
    const T s[5] = {-1, 1, 1.5, 3, 4};
    const int32_t val[1] = {1}, noval[1] = {0}, two[2] = {1, 1};
    T r[5];
    auto run = [&](const T* sites, int64_t n, int64_t nd, const int32_t* d, int64_t rhint = 16) {
        return interp(task, 1, n, sites, nd, d, r, rhint);
    };
    struct Row { int64_t type; T expect[5]; };
    const Row rows[] = {{7, {10, 20, 20, 40, 40}}, {8, {10, 10, 20, 40, 40}}};
    for (const Row& row : rows) {
        ASSERT_EQ(Df<T>::EditPP(task, 0, row.type, 0, nullptr, 0, nullptr, nullptr, 0), 0);
        ASSERT_EQ(run(s, 5, 1, val), 0);
        for (int k = 0; k < 5; ++k) EXPECT_EQ(r[k], row.expect[k]) << row.type << " " << k;
    }
    // Cells given by the caller (type 4) are not checked: out-of-range ones
    // are clamped, and a look-up finds no node there.
    const int32_t wild[2] = {-7, 1000};
    const T ends[2] = {0, 3};
    auto given = [&]() { return interp(task, 4, 2, ends, 1, val, r, 16, const_cast<int32_t*>(wild)); };
    ASSERT_EQ(given(), 0);
    EXPECT_EQ(r[0], 10);
    EXPECT_EQ(r[1], 40);
    ASSERT_EQ(Df<T>::EditPP(task, 0, 6, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(given(), ORVU_DF_ERROR_BAD_LOOKUP_SITE);
    const T at_nodes[2] = {1, 3};
    ASSERT_EQ(run(at_nodes, 2, 1, val), 0);
    EXPECT_EQ(r[0], 20);
    EXPECT_EQ(r[1], 40);
    EXPECT_EQ(run(s + 2, 1, 1, val), ORVU_DF_ERROR_BAD_LOOKUP_SITE);
    EXPECT_EQ(run(s, 1, 1, val), ORVU_DF_ERROR_BAD_LOOKUP_SITE);
    EXPECT_EQ(run(at_nodes, 2, 2, two), ORVU_DF_ERROR_BAD_LOOKUP_NDORDER);
    EXPECT_EQ(run(at_nodes, 2, 1, noval), ORVU_DF_ERROR_BAD_LOOKUP_DORDER);
    T lim[1] = {0};
    EXPECT_EQ(integr(task, 1, lim, lim, r), ORVU_DF_ERROR_BAD_SPLINE_TYPE);
    ASSERT_EQ(Df<T>::EditPP(task, 2, 0, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(run(s, 5, 1, val, 64), ORVU_DF_ERROR_BAD_RHINT);
    EXPECT_EQ(integr(task, 1, lim, lim, r, 64), ORVU_DF_ERROR_BAD_INTEGR_RHINT);
    const T bad_hint[5] = {0, 3, 0, 0, 0};
    EXPECT_EQ(integr(task, 1, lim, lim, r, 0, nullptr, nullptr, bad_hint), ORVU_DF_ERROR_BAD_DATA_HINT);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 18, 1), 0);
    EXPECT_EQ(run(s, 5, 1, val), ORVU_DF_ERROR_BAD_SPLINE_TYPE);
    // Step-wise integral: value times length, reversed limits negate.
    ASSERT_EQ(Df<T>::EditPP(task, 0, 7, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    const T a[1] = {2.5}, b[1] = {0.5};
    ASSERT_EQ(integr(task, 1, a, b, r), 0);
    EXPECT_NEAR(r[0], -(0.5 * 10 + 20 + 0.5 * 30), 1e-4);
    // Sites beyond the stack buffer need an allocation.
    std::vector<T> many(5000, T(1)), out(5000);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(interp(task, 1, 5000, many.data(), 1, val, out.data(), 16), ORVU_DF_ERROR_MEM_FAILURE);
    orvu_serv_test_fail_allocation(0);
    orvu_df_kernel_DeleteTask(&task);
}

TYPED_TEST(Interp, SubbotinSplineReproducesAParabola) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2.5, 3, 4.5}, y, knots = {0, 0.5, 2, 2.7, 4, 4.5}, c(15);
    auto p = [](LD t) { return 1 + t - 0.3L * t * t; };
    for (T v : x) y.push_back(static_cast<T>(p(v)));
    const T bc[2] = {1, static_cast<T>(1 - 0.6 * 4.5)};
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 5, x.data(), 1, 1, y.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 3, 1, 12, bc, 256, knots.data(), c.data(), 0), 0);
    ASSERT_EQ(Df<T>::Quadratic(task, 0, 0, nullptr), 0);
    const T s[4] = {-0.5, 0.7, 2.3, 4.4};
    const int32_t dorder[2] = {1, 1};
    T r[8];
    ASSERT_EQ(interp(task, 1, 4, s, 2, dorder, r, 16), 0);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(r[2 * k], p(s[k]), 1e-4);
        EXPECT_NEAR(r[2 * k + 1], 1 - 0.6 * s[k], 1e-4);
    }
    orvu_df_kernel_DeleteTask(&task);
}

TEST(KindKernels, EvaluateGivenCellsAndCheckTheKind) {
    CubicTask<double> ct;
    const double s[2] = {0.7, 3.2};
    const int32_t cell[2] = {2, 7};
    const int32_t dorder[2] = {1, 1};
    double r[8];
    ASSERT_EQ(orvu_df_kernel_d_CubicSplineEval32(ct.task, 2, s, cell, 2, dorder, r, 16), 0);
    EXPECT_NEAR(r[0], g(0, 0.7, 0), 1e-10);
    EXPECT_NEAR(r[3], g(0, 3.2, 1), 1e-10);
    EXPECT_NEAR(r[4], g(1, 0.7, 0), 1e-10);
    EXPECT_EQ(orvu_df_kernel_d_LinearSplineEval32(ct.task, 2, s, cell, 2, dorder, r, 16), ORVU_DF_ERROR_BAD_SPLINE_TYPE);
    auto cb = [](int64_t* n, int64_t* c, const double*, double* out, void*) -> int32_t {
        for (int64_t i = 0; i < *n * 2 * 2; ++i) out[i] = static_cast<double>(c[i % *n]);
        return 0;
    };
    ASSERT_EQ(orvu_df_kernel_d_CubicSplineEval32CB(ct.task, 2, s, cell, 2, dorder, r, 16, cb, nullptr), 0);
    EXPECT_EQ(r[0], 2);
}

}  // namespace
