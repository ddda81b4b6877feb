// Spline construction checked against the defining equations of each family:
// interpolation, continuity of the stated derivatives, end conditions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "df_api.h"
#include "orvu_serv.h"

namespace {

using LD = long double;

enum Fam { kNatural, kDefault, kAkima, kBessel, kHermite };
struct CubicCase {
    Fam fam;
    int64_t bc_type;
    int smooth;  // bit q: derivative q continuous at interior nodes
};
constexpr CubicCase kCubicCases[] = {
    {kNatural, 1, 6}, {kNatural, 2, 6}, {kNatural, 12, 6}, {kNatural, 36, 6}, {kNatural, 24, 6}, {kNatural, 48, 6},
    {kNatural, 64, 6}, {kDefault, 1, 4}, {kDefault, 2, 4}, {kDefault, 12, 4}, {kDefault, 36, 4}, {kDefault, 24, 4},
    {kDefault, 48, 4}, {kDefault, 64, 4}, {kAkima, 0, 2}, {kAkima, 1, 2}, {kAkima, 2, 2}, {kAkima, 12, 2},
    {kAkima, 36, 2}, {kAkima, 24, 2}, {kAkima, 48, 2}, {kAkima, 64, 2}, {kBessel, 1, 2}, {kBessel, 2, 2},
    {kBessel, 48, 2}, {kBessel, 64, 2}, {kHermite, 1, 2}, {kHermite, 2, 2}, {kHermite, 36, 2},
    {kHermite, 24, 2}, {kHermite, 64, 2},
};

// Partition and data: nodes with uneven gaps, two functions.
struct Data {
    int64_t nx = 11, ny = 2;
    std::vector<LD> x, y;  // y[j*nx + i]
    explicit Data(bool periodic) {
        for (int64_t i = 0; i < nx; ++i) x.push_back(i + 0.3L * std::sin(1.7L * i) * (i > 0 && i < nx - 1));
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t i = 0; i < nx; ++i) y.push_back(std::cos(0.7L * x[i] + j) + 0.1L * x[i] * j);
        if (periodic)
            for (int64_t j = 0; j < ny; ++j) y[j * nx + nx - 1] = y[j * nx];
    }
};

LD poly(const LD* c, LD u, int q) {
    LD d[4] = {c[0] + u * (c[1] + u * (c[2] + u * c[3])), c[1] + u * (2 * c[2] + 3 * u * c[3]), 2 * c[2] + 6 * u * c[3], 6 * c[3]};
    return d[q];
}

template <class T>
class CubicBuild : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(CubicBuild, Types);

TYPED_TEST(CubicBuild, MeetsDefiningEquationsInEveryLayout) {
    using T = TypeParam;
    const LD tol = sizeof(T) == 8 ? 1e-9L : 2e-3L;
    for (const CubicCase& cc : kCubicCases) {
        for (int uniform = 0; uniform < 2; ++uniform) {
            for (int cols = 0; cols < 2; ++cols) {
                SCOPED_TRACE(testing::Message() << "family " << cc.fam << " bc " << cc.bc_type << " uniform " << uniform << " cols " << cols);
                Data d(cc.bc_type == 64);
                if (uniform)
                    for (int64_t i = 0; i < d.nx; ++i) d.x[i] = i;
                const int64_t nx = d.nx, ny = d.ny;
                std::vector<T> xs, ys(nx * ny), ic(nx - 2), coeff(4 * (nx - 1) * ny);
                if (uniform) xs = {T(0), T(nx - 1)};
                else for (LD v : d.x) xs.push_back(static_cast<T>(v));
                for (int64_t j = 0; j < ny; ++j)
                    for (int64_t i = 0; i < nx; ++i) {
                        d.y[j * nx + i] = static_cast<T>(d.y[j * nx + i]);
                        ys[cols ? i * ny + j : j * nx + i] = static_cast<T>(d.y[j * nx + i]);
                    }
                for (int64_t k = 0; k < nx - 2; ++k) ic[k] = static_cast<T>(0.25 * std::sin(double(k)));
                const T bc[2] = {T(0.5), T(-0.75)};
                OrvuDFTaskPtr task = nullptr;
                ASSERT_EQ(Df<T>::NewTask(&task, nx, xs.data(), uniform ? 4 : 1, ny, ys.data(), cols ? 32 : 16, 0), 0);
                const int64_t type = cc.fam == kHermite ? 3 : 2;
                const bool uses_ic = cc.fam == kDefault || cc.fam == kHermite;
                ASSERT_EQ(Df<T>::EditPP(task, 4, type, cc.bc_type, bc, uses_ic ? 1 : 0, uses_ic ? ic.data() : nullptr, coeff.data(), 0), 0);
                auto build = cc.fam == kNatural ? Df<T>::Natural : cc.fam == kDefault ? Df<T>::Default
                           : cc.fam == kAkima ? Df<T>::Akima : cc.fam == kBessel ? Df<T>::Bessel : Df<T>::Hermite;
                ASSERT_EQ(build(task, 0, 0, nullptr), 0);
                for (int64_t j = 0; j < ny; ++j) {
                    std::vector<LD> c(coeff.begin() + j * 4 * (nx - 1), coeff.begin() + (j + 1) * 4 * (nx - 1));
                    auto cell = [&](int64_t i) { return c.data() + 4 * i; };
                    auto h = [&](int64_t i) { return static_cast<LD>(static_cast<T>(d.x[i + 1])) - static_cast<T>(d.x[i]); };
                    for (int64_t i = 0; i + 1 < nx; ++i) {
                        EXPECT_NEAR(poly(cell(i), 0, 0), d.y[j * nx + i], tol);
                        EXPECT_NEAR(poly(cell(i), h(i), 0), d.y[j * nx + i + 1], tol);
                        for (int q = 1; q <= 2 && i + 2 < nx; ++q) {
                            if (cc.smooth & (1 << q)) {
                                EXPECT_NEAR(poly(cell(i), h(i), q), poly(cell(i + 1), 0, q), tol * 10) << "q " << q << " node " << i + 1;
                            }
                        }
                    }
                    const int64_t L = nx - 2;
                    const LD left1 = poly(cell(0), 0, 1), right1 = poly(cell(L), h(L), 1);
                    const LD left2 = poly(cell(0), 0, 2), right2 = poly(cell(L), h(L), 2);
                    switch (cc.bc_type) {
                        case 1:  // third derivative continuous at nodes 1 and nx-2 (C2 families)
                            if (cc.smooth & 4) {
                                EXPECT_NEAR(c[3], c[7], tol * 10);
                                EXPECT_NEAR(cell(L)[3], cell(L - 1)[3], tol * 10);
                            }
                            break;
                        case 2: EXPECT_NEAR(left2, 0, tol * 10); EXPECT_NEAR(right2, 0, tol * 10); break;
                        case 12: EXPECT_NEAR(left1, 0.5, tol); EXPECT_NEAR(right1, -0.75, tol); break;
                        case 36: EXPECT_NEAR(left1, 0.5, tol); EXPECT_NEAR(right2, -0.75, tol * 10); break;
                        case 24: EXPECT_NEAR(left2, 0.5, tol * 10); EXPECT_NEAR(right1, -0.75, tol); break;
                        case 48: EXPECT_NEAR(left2, 0.5, tol * 10); EXPECT_NEAR(right2, -0.75, tol * 10); break;
                        case 64:
                            EXPECT_NEAR(left1, right1, tol * 10);
                            if (cc.smooth & 4) {
                                EXPECT_NEAR(left2, right2, tol * 10);
                            }
                            if (cc.fam == kHermite) {
                                EXPECT_NEAR(left1, 0.5, tol);
                            }
                            break;
                        case 0: {  // not set: d0 = (3 m0 - m1) / 2
                            const LD m0 = (d.y[j * nx + 1] - d.y[j * nx]) / h(0), m1 = (d.y[j * nx + 2] - d.y[j * nx + 1]) / h(1);
                            EXPECT_NEAR(left1, (3 * m0 - m1) / 2, tol * 10);
                            break;
                        }
                    }
                    for (int64_t k = 1; k < nx - 1 && cc.fam == kHermite; ++k) {
                        EXPECT_NEAR(poly(cell(k), 0, 1), static_cast<LD>(ic[k - 1]), tol);
                    }
                    for (int64_t k = 1; k < nx - 1 && cc.fam == kDefault; ++k) {
                        EXPECT_NEAR(poly(cell(k), 0, 2), static_cast<LD>(ic[k - 1]), tol * 10);
                    }
                    if (cc.fam == kBessel) {
                        const LD m1 = (d.y[j * nx + 2] - d.y[j * nx + 1]) / h(1), m2 = (d.y[j * nx + 3] - d.y[j * nx + 2]) / h(2);
                        EXPECT_NEAR(poly(cell(2), 0, 1), (h(2) * m1 + h(1) * m2) / (h(1) + h(2)), tol * 10);
                    }
                }
                orvu_df_kernel_DeleteTask(&task);
            }
        }
    }
}

// Entry checks and the statuses every family can give.
TYPED_TEST(CubicBuild, RefusesBadRequests) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3}, y = {0, 1, 0, 2}, c(12);
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 4, x.data(), 1, 1, y.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    EXPECT_EQ(Df<T>::Natural(task, 0, 1, nullptr), ORVU_DF_ERROR_METHOD_NOT_SUPPORTED);
    EXPECT_EQ(Df<T>::Akima(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_NX);  // needs 5 nodes
    EXPECT_EQ(Df<T>::Default(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_IC);
    EXPECT_EQ(Df<T>::Hermite(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_IC);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 21, 3), 0);
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_BC_TYPE);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 21, 12), 0);
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), ORVU_DF_ERROR_NULL_BC);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 21, 64), 0);
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_PERIODIC_VAL);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 19, 3), 0);  // type 3 with periodic needs bc
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), ORVU_DF_ERROR_NULL_BC);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 1, nullptr, 0, nullptr, c.data(), 0), 0);
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 14, 2), 0);
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_NX);  // not-a-knot on 2 nodes
    ASSERT_EQ(orvu_df_kernel_iEditVal(task, 14, 4), 0);
    // Every allocation of a kernel can fail and leaves nothing behind.
    const int32_t live = orvu_serv_test_live_allocations();
    for (auto build : {Df<T>::Natural, Df<T>::Bessel}) {
        orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(build(task, 0, 0, nullptr), ORVU_DF_ERROR_MEM_FAILURE);
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(build(task, 0, 0, nullptr), 0);
    }
    std::vector<T> ic = {1, 1};
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 1, ic.data(), c.data(), 0), 0);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(Df<T>::Default(task, 0, 0, nullptr), ORVU_DF_ERROR_MEM_FAILURE);
    orvu_serv_test_fail_allocation(0);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
    orvu_df_kernel_DeleteTask(&task);
}

// Two-node free-end natural spline is the straight line; periodic data
// mismatches give -1018 for linear, natural and Hermite.
TYPED_TEST(CubicBuild, SmallAndPeriodicCases) {
    using T = TypeParam;
    std::vector<T> x = {1, 3}, y = {2, 6}, c(4);
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 2, x.data(), 1, 1, y.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    ASSERT_EQ(Df<T>::Natural(task, 0, 0, nullptr), 0);
    EXPECT_NEAR(c[1], 2, 1e-6);
    EXPECT_NEAR(c[2], 0, 1e-6);
    EXPECT_NEAR(c[3], 0, 1e-6);
    std::vector<T> cl(2, T(-7));
    ASSERT_EQ(Df<T>::EditPP(task, 2, 0, 64, nullptr, 0, nullptr, cl.data(), 0), 0);
    EXPECT_EQ(Df<T>::Linear(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_PERIODIC_VAL);
    EXPECT_EQ(cl[0], T(-7));  // nothing written
    orvu_df_kernel_DeleteTask(&task);

    std::vector<T> xh = {0, 1, 2, 3}, yh = {1, 2, 3, 4}, ch(12), ic = {0, 0};
    const T bc[2] = {1, 1};
    ASSERT_EQ(Df<T>::NewTask(&task, 4, xh.data(), 1, 1, yh.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 3, 64, bc, 1, ic.data(), ch.data(), 0), 0);
    EXPECT_EQ(Df<T>::Hermite(task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_PERIODIC_VAL);
    orvu_df_kernel_DeleteTask(&task);

    // Nodes out of order that zero a pivot of the free-end system.
    std::vector<T> xs = {0, T(-0.75), T(0.25)}, ys = {0, 1, 0}, cs(8);
    ASSERT_EQ(Df<T>::NewTask(&task, 3, xs.data(), 0, 1, ys.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, cs.data(), 0), 0);
    const int32_t live = orvu_serv_test_live_allocations();
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), ORVU_DF_ERROR_SOLVER_FAILURE);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);  // workspace released
    orvu_df_kernel_DeleteTask(&task);
}

// Large requests split their work over the threading table; the result must
// be the same as in the calling thread.
template <class T>
class ThreadedBuild : public ::testing::Test {};
TYPED_TEST_SUITE(ThreadedBuild, Types);

TYPED_TEST(ThreadedBuild, MatchesTheCallingThread) {
    using T = TypeParam;
    struct Row { const char* name; int64_t order, bc_type, nx, ny; };
    const Row rows[] = {{"linear", 2, 0, 6000, 1}, {"natural", 4, 2, 700, 3}, {"natural periodic", 4, 64, 700, 3},
                        {"akima", 4, 0, 9000, 2}, {"bessel", 4, 2, 9000, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<T> x(row.nx), y(row.nx * row.ny);
        for (int64_t i = 0; i < row.nx; ++i) x[i] = static_cast<T>(i + 0.3 * std::sin(double(i)));
        for (int64_t j = 0; j < row.ny; ++j)
            for (int64_t i = 0; i < row.nx; ++i) y[j * row.nx + i] = static_cast<T>(std::cos(0.01 * i * (j + 1)));
        if (row.bc_type == 64)
            for (int64_t j = 0; j < row.ny; ++j) y[j * row.nx + row.nx - 1] = y[j * row.nx];
        const size_t ncoef = row.order * (row.nx - 1) * row.ny;
        std::vector<T> c1(ncoef), c2(ncoef);
        OrvuDFTaskPtr task = nullptr;
        ASSERT_EQ(Df<T>::NewTask(&task, row.nx, x.data(), 1, row.ny, y.data(), 16, 0), 0);
        auto build = [&](std::vector<T>& c, const OrvuThreadingTable* thr) {
            EXPECT_EQ(Df<T>::EditPP(task, row.order, 2, row.bc_type, nullptr, 0, nullptr, c.data(), 0), 0);
            const std::string n = row.name;
            auto fn = row.order == 2 ? Df<T>::Linear : n == "akima" ? Df<T>::Akima : n == "bessel" ? Df<T>::Bessel : Df<T>::Natural;
            return fn(task, 0, 0, thr);
        };
        ASSERT_EQ(build(c1, nullptr), 0);
        ASSERT_EQ(build(c2, orvu_serv_threading_table()), 0);
        int differ = 0;
        for (size_t i = 0; i < ncoef; ++i) differ += std::fabs(c1[i] - c2[i]) > 1e-12 * (1 + std::fabs(c1[i]));
        EXPECT_EQ(differ, 0);
        orvu_df_kernel_DeleteTask(&task);
    }
}

}  // namespace
