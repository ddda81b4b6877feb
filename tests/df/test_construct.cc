// Spline construction checked against the defining equations of each family:
// interpolation, continuity of the stated derivatives, end conditions.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "df_api.h"

namespace {

using LD = long double;
template <class T>
class Build : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Build, Types);

// Derivative q at offset u of the polynomial with coefficients c[0..3].
LD poly(const LD* c, LD u, int q) {
    const LD d[4] = {c[0] + u * (c[1] + u * (c[2] + u * c[3])), c[1] + u * (2 * c[2] + 3 * u * c[3]),
                     2 * c[2] + 6 * u * c[3], 6 * c[3]};
    return d[q];
}

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

TYPED_TEST(Build, CubicsMeetTheirDefiningEquationsInEveryLayout) {
    using T = TypeParam;
    const LD tol = sizeof(T) == 8 ? 1e-11L : 2e-3L;
    const int64_t nx = 11, ny = 2;
    for (const CubicCase& cc : kCubicCases)
        for (int uniform = 0; uniform < 2; ++uniform)
            for (int cols = 0; cols < 2; ++cols) {
                SCOPED_TRACE(testing::Message() << "family " << cc.fam << " bc " << cc.bc_type << " uniform " << uniform << " cols " << cols);
                std::vector<T> xs, ys(nx * ny), ic(nx - 2), coeff(4 * (nx - 1) * ny);
                std::vector<LD> x, y;  // y[j*nx + i], as stored
                for (int64_t i = 0; i < nx; ++i)
                    x.push_back(static_cast<T>(uniform ? i : i + 0.3L * std::sin(1.7L * i) * (i > 0 && i < nx - 1)));
                for (int64_t j = 0; j < ny; ++j)
                    for (int64_t i = 0; i < nx; ++i) {
                        y.push_back(static_cast<T>(std::cos(0.7L * x[i] + j) + 0.1L * x[i] * j));
                        if (cc.bc_type == 64 && i == nx - 1) y.back() = y[j * nx];
                        ys[cols ? i * ny + j : j * nx + i] = static_cast<T>(y.back());
                    }
                if (uniform) xs = {T(0), T(nx - 1)};
                else xs.assign(x.begin(), x.end());
                for (int64_t k = 0; k < nx - 2; ++k) ic[k] = static_cast<T>(0.25 * std::sin(double(k)));
                const T bc[2] = {T(0.5), T(-0.75)};
                OrvuDFTaskPtr task = nullptr;
                ASSERT_EQ(Df<T>::NewTask(&task, nx, xs.data(), uniform ? 4 : 1, ny, ys.data(), cols ? 32 : 16, 0), 0);
                const bool uses_ic = cc.fam == kDefault || cc.fam == kHermite;
                ASSERT_EQ(Df<T>::EditPP(task, 4, cc.fam == kHermite ? 3 : 2, cc.bc_type, bc, uses_ic,
                                        uses_ic ? ic.data() : nullptr, coeff.data(), 0), 0);
                const auto build = cc.fam == kNatural ? Df<T>::Natural : cc.fam == kDefault ? Df<T>::Default
                                 : cc.fam == kAkima ? Df<T>::Akima : cc.fam == kBessel ? Df<T>::Bessel : Df<T>::Hermite;
                ASSERT_EQ(build(task, 0, 0, nullptr), 0);
                orvu_df_kernel_DeleteTask(&task);
                for (int64_t j = 0; j < ny; ++j) {
                    const std::vector<LD> c(coeff.begin() + j * 4 * (nx - 1), coeff.begin() + (j + 1) * 4 * (nx - 1));
                    auto at = [&](int64_t i, LD u, int q) { return poly(c.data() + 4 * i, u, q); };
                    auto h = [&](int64_t i) { return x[i + 1] - x[i]; };
                    auto m = [&](int64_t i) { return (y[j * nx + i + 1] - y[j * nx + i]) / h(i); };
                    for (int64_t i = 0; i + 1 < nx; ++i) {
                        EXPECT_NEAR(at(i, 0, 0), y[j * nx + i], tol);
                        EXPECT_NEAR(at(i, h(i), 0), y[j * nx + i + 1], tol);
                        for (int q = 1; q <= 2 && i + 2 < nx; ++q)
                            EXPECT_TRUE(!(cc.smooth & (1 << q)) || std::fabs(at(i, h(i), q) - at(i + 1, 0, q)) <= tol * 10) << q << " " << i;
                        // Given first (Hermite) or second (default) derivatives at the interior nodes.
                        const int given = cc.fam == kHermite ? 1 : cc.fam == kDefault ? 2 : 0;
                        EXPECT_TRUE(i == 0 || !given || std::fabs(at(i, 0, given) - ic[i - 1]) <= tol * 10) << i;
                    }
                    const int64_t L = nx - 2;
                    const LD l1 = at(0, 0, 1), r1 = at(L, h(L), 1), l2 = at(0, 0, 2), r2 = at(L, h(L), 2);
                    const LD t10 = tol * 10;
                    switch (cc.bc_type) {
                        case 0: EXPECT_NEAR(l1, (3 * m(0) - m(1)) / 2, t10); break;  // not set
                        case 1:  // third derivative continuous at nodes 1 and nx-2 (C2 families)
                            if (cc.smooth & 4) {
                                EXPECT_NEAR(at(0, 0, 3), at(1, 0, 3), t10);
                                EXPECT_NEAR(at(L, 0, 3), at(L - 1, 0, 3), t10);
                            }
                            break;
                        case 2: EXPECT_NEAR(l2, 0, t10); EXPECT_NEAR(r2, 0, t10); break;
                        case 12: EXPECT_NEAR(l1, 0.5, tol); EXPECT_NEAR(r1, -0.75, tol); break;
                        case 36: EXPECT_NEAR(l1, 0.5, tol); EXPECT_NEAR(r2, -0.75, t10); break;
                        case 24: EXPECT_NEAR(l2, 0.5, t10); EXPECT_NEAR(r1, -0.75, tol); break;
                        case 48: EXPECT_NEAR(l2, 0.5, t10); EXPECT_NEAR(r2, -0.75, t10); break;
                        case 64:
                            EXPECT_NEAR(l1, r1, t10);
                            EXPECT_TRUE(!(cc.smooth & 4) || std::fabs(l2 - r2) <= t10);
                            EXPECT_TRUE(cc.fam != kHermite || std::fabs(l1 - 0.5) <= tol);
                            break;
                    }
                    EXPECT_TRUE(cc.fam != kBessel || std::fabs(at(2, 0, 1) - (h(2) * m(1) + h(1) * m(2)) / (h(1) + h(2))) <= t10);
                }
            }
}

// Subbotin splines on non-polynomial data: every node hit, C1 at every knot,
// the derivative conditions met; knots given or a uniform subgrid.
TYPED_TEST(Build, SubbotinInterpolatesAndIsC1OnItsKnots) {
    using T = TypeParam;
    const LD tol = sizeof(T) == 8 ? 1e-11 : 5e-3;
    const int64_t nx = 8;
    struct Row { int64_t bc_type; bool uniform_subgrid; };
    for (const Row row : {Row{12, false}, Row{36, false}, Row{24, true}, Row{48, true}}) {
        std::vector<T> x, y, knots(nx + 1), c(3 * nx);
        for (int64_t k = 0; k <= nx; ++k) knots[k] = static_cast<T>(k == nx ? 7.5 : k * 7.5 / nx);
        for (int64_t i = 0; i < nx; ++i)  // inside the knot cells, ends on the subgrid ends
            x.push_back(i == 0 ? knots[0] : i == nx - 1 ? knots[nx] : knots[i] + (knots[i + 1] - knots[i]) * (0.3f + 0.1f * (i % 3)));
        for (T v : x) y.push_back(static_cast<T>(std::sin(0.9 * v)));
        if (!row.uniform_subgrid)
            for (int64_t k = 1; k < nx; ++k) knots[k] = (x[k - 1] + 2 * x[k]) / 3;
        std::vector<T> ic = row.uniform_subgrid ? std::vector<T>{knots[0], knots[nx]} : knots;
        const T bc[2] = {T(0.4), T(-0.2)};
        OrvuDFTaskPtr task = nullptr;
        ASSERT_EQ(Df<T>::NewTask(&task, nx, x.data(), 1, 1, y.data(), 16, 0), 0);
        ASSERT_EQ(Df<T>::EditPP(task, 3, 1, row.bc_type, bc, 256 | (row.uniform_subgrid ? 16 : 0), ic.data(), c.data(), 0), 0);
        ASSERT_EQ(Df<T>::Quadratic(task, 0, 0, nullptr), 0);
        orvu_df_kernel_DeleteTask(&task);
        auto p = [&](int64_t k, LD t, int q) {
            const LD u = t - knots[k], c0 = c[3 * k], c1 = c[3 * k + 1], c2 = c[3 * k + 2];
            return q == 0 ? c0 + u * (c1 + u * c2) : q == 1 ? c1 + 2 * u * c2 : 2 * c2;
        };
        for (int64_t k = 0; k < nx; ++k) EXPECT_NEAR(p(k, x[k], 0), y[k], tol) << "node " << k;
        for (int64_t k = 1; k < nx; ++k) {
            EXPECT_NEAR(p(k - 1, knots[k], 0), p(k, knots[k], 0), tol);
            EXPECT_NEAR(p(k - 1, knots[k], 1), p(k, knots[k], 1), 10 * tol);
        }
        const bool first_l = row.bc_type == 12 || row.bc_type == 36, first_r = row.bc_type == 12 || row.bc_type == 24;
        EXPECT_NEAR(p(0, knots[0], first_l ? 1 : 2), 0.4, tol) << row.bc_type;
        EXPECT_NEAR(p(nx - 1, knots[nx], first_r ? 1 : 2), -0.2, 10 * tol) << row.bc_type;
    }
}

// Entry checks: each row edits the task (order, type, bc type, ic type, nx)
// and expects the family's status; id 0 leaves the task as it is.
TYPED_TEST(Build, RefusesBadRequests) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3}, y = {0, 1, 0, 2}, c(12), knots = {0, 0.5, 1.5, 2.5, 3};
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 4, x.data(), 1, 1, y.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    const auto nat = Df<T>::Natural, quad = Df<T>::Quadratic;
    struct Row { int64_t id, value; decltype(nat) build; int64_t method; int32_t status; };
    const Row rows[] = {
        {0, 0, nat, 1, -1002}, {0, 0, Df<T>::Linear, 3, -1002}, {0, 0, Df<T>::Akima, 0, -1004},  // Akima needs 5 nodes
        {0, 0, Df<T>::Default, 0, -1013}, {0, 0, Df<T>::Hermite, 0, -1013},  // internal conditions missing
        {21, 3, nat, 0, -1014}, {21, 12, nat, 0, -1015}, {21, 64, nat, 0, -1018}, {19, 3, nat, 0, -1015},  // periodic type 3: bc
        {21, 1, nat, 0, 0}, {14, 2, nat, 0, -1004}, {14, 4, nat, 0, 0},
        {19, 0, quad, 0, -1014}, {21, 128, quad, 0, -1015},  // standard quadratic: bc type 128 and bc
        {19, 1, quad, 0, -1012}, {20, 256, quad, 0, -1014}, {21, 2, quad, 0, -1014}, {21, 64, quad, 0, -1014},  // Subbotin
        {21, 12, quad, 0, -1015}, {19, 4, quad, 0, -1002},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(r.id ? orvu_df_kernel_iEditVal(task, r.id, r.value) : 0, 0);
        EXPECT_EQ(r.build(task, 0, r.method, nullptr), r.status) << r.id << " " << r.value;
    }
    const T bc[2] = {0, 0};
    ASSERT_EQ(Df<T>::EditPP(task, 3, 1, 12, bc, 256, knots.data(), c.data(), 0), 0);
    ASSERT_EQ(quad(task, 0, 0, nullptr), 0);
    knots[2] = x[2];  // a knot on a node does not interleave
    EXPECT_EQ(quad(task, 0, 0, nullptr), -1013);
    knots[2] = 1.5;
    // Every workspace allocation can fail and leaves nothing behind.
    const int32_t live = orvu_serv_test_live_allocations();
    const std::vector<T> ic = {1, 1};
    for (auto [build, order] : {std::pair{quad, 3}, std::pair{nat, 4}, std::pair{Df<T>::Bessel, 4}, std::pair{Df<T>::Default, 4}}) {
        ASSERT_EQ(Df<T>::EditPP(task, order, order == 3 ? 1 : 2, 12, bc, order == 3 ? 256 : 1,
                                order == 3 ? knots.data() : ic.data(), c.data(), 0), 0);
        orvu_serv_test_fail_allocation(1);
        EXPECT_EQ(build(task, 0, 0, nullptr), -1001);
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(build(task, 0, 0, nullptr), 0);
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
    orvu_df_kernel_DeleteTask(&task);
}

// Two-node free-end natural spline is the straight line; a periodic mismatch
// writes nothing; nodes out of order that zero a pivot give -1500.
TYPED_TEST(Build, SmallPeriodicAndSingularCases) {
    using T = TypeParam;
    std::vector<T> x = {1, 3}, y = {2, 6}, c(4), cl(2, T(-7));
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 2, x.data(), 1, 1, y.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    ASSERT_EQ(Df<T>::Natural(task, 0, 0, nullptr), 0);
    EXPECT_EQ(c, (std::vector<T>{2, 2, 0, 0}));
    ASSERT_EQ(Df<T>::EditPP(task, 2, 0, 64, nullptr, 0, nullptr, cl.data(), 0), 0);
    EXPECT_EQ(Df<T>::Linear(task, 0, 0, nullptr), -1018);
    EXPECT_EQ(cl[0], T(-7));
    orvu_df_kernel_DeleteTask(&task);
    std::vector<T> xh = {0, 1, 2, 3}, yh = {1, 2, 3, 4}, ch(12), ic = {0, 0};
    const T bc[2] = {1, 1};
    ASSERT_EQ(Df<T>::NewTask(&task, 4, xh.data(), 1, 1, yh.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 3, 64, bc, 1, ic.data(), ch.data(), 0), 0);
    EXPECT_EQ(Df<T>::Hermite(task, 0, 0, nullptr), -1018);
    orvu_df_kernel_DeleteTask(&task);
    std::vector<T> xs = {0, T(-0.75), T(0.25)}, ys = {0, 1, 0}, cs(8);
    ASSERT_EQ(Df<T>::NewTask(&task, 3, xs.data(), 0, 1, ys.data(), 16, 0), 0);
    ASSERT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, cs.data(), 0), 0);
    const int32_t live = orvu_serv_test_live_allocations();
    EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), -1500);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);  // workspace released
    orvu_df_kernel_DeleteTask(&task);
}

// Large requests split their work over the threading table; the result must
// be the same as in the calling thread.
TYPED_TEST(Build, ThreadedMatchesTheCallingThread) {
    using T = TypeParam;
    struct Row { int64_t order, bc_type, nx, ny; decltype(Df<T>::Linear) build; };
    const Row rows[] = {{2, 0, 6000, 1, Df<T>::Linear}, {4, 2, 700, 3, Df<T>::Natural}, {4, 64, 700, 3, Df<T>::Natural},
                        {4, 0, 9000, 2, Df<T>::Akima}, {4, 2, 9000, 2, Df<T>::Bessel}};
    for (const Row& row : rows) {
        std::vector<T> x(row.nx), y(row.nx * row.ny);
        for (int64_t i = 0; i < row.nx; ++i) x[i] = static_cast<T>(i + 0.3 * std::sin(double(i)));
        for (int64_t j = 0; j < row.ny; ++j)
            for (int64_t i = 0; i < row.nx; ++i)
                y[j * row.nx + i] = static_cast<T>(std::cos(0.01 * (row.bc_type == 64 && i == row.nx - 1 ? 0 : i) * (j + 1)));
        std::vector<T> c1(row.order * (row.nx - 1) * row.ny), c2(c1.size());
        OrvuDFTaskPtr task = nullptr;
        ASSERT_EQ(Df<T>::NewTask(&task, row.nx, x.data(), 1, row.ny, y.data(), 16, 0), 0);
        for (auto [c, thr] : {std::pair{&c1, (const OrvuThreadingTable*)nullptr}, std::pair{&c2, orvu_serv_threading_table()}}) {
            ASSERT_EQ(Df<T>::EditPP(task, row.order, 2, row.bc_type, nullptr, 0, nullptr, c->data(), 0), 0);
            ASSERT_EQ(row.build(task, 0, 0, thr), 0);
        }
        EXPECT_EQ(c1, c2) << row.nx;
        orvu_df_kernel_DeleteTask(&task);
    }
}

}  // namespace
