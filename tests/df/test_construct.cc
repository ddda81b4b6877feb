// Spline construction checked against the defining equations of each family:
// interpolation, continuity of the stated derivatives, end conditions.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "df_api.h"

namespace {

using LD = long double;
template <class T> struct Build : ::testing::Test {};
TYPED_TEST_SUITE(Build, DfTypes);

// Derivative q at offset u of the polynomial with coefficients c[0..3].
LD poly(const LD* c, LD u, int q) {
    const LD d[4] = {c[0] + u * (c[1] + u * (c[2] + u * c[3])), c[1] + u * (2 * c[2] + 3 * u * c[3]),
                     2 * c[2] + 6 * u * c[3], 6 * c[3]};
    return d[q];
}

enum Fam { kNatural, kDefault, kAkima, kBessel, kHermite };
struct CubicCase { Fam fam; int smooth; std::vector<int64_t> bc_types; };  // smooth, bit q: derivative q continuous
const CubicCase kCubicCases[] = {
    {kNatural, 6, {1, 2, 12, 36, 24, 48, 64}}, {kDefault, 4, {1, 2, 12, 36, 24, 48, 64}},
    {kAkima, 2, {0, 1, 2, 12, 36, 24, 48, 64}}, {kBessel, 2, {1, 2, 48, 64}}, {kHermite, 2, {1, 2, 36, 24, 64}},
};

TYPED_TEST(Build, CubicsMeetTheirDefiningEquationsInEveryLayout) {
    using T = TypeParam;
    const LD tol = sizeof(T) == 8 ? 1e-11L : 2e-3L, t10 = 10 * tol;
    const int64_t nx = 11, ny = 2, L = nx - 2;
    const decltype(Df<T>::Linear) builds[] = {Df<T>::Natural, Df<T>::Default, Df<T>::Akima, Df<T>::Bessel, Df<T>::Hermite};
    for (const CubicCase& cc : kCubicCases)
        for (const int64_t bc_type : cc.bc_types)
            for (int layout = 0; layout < 4; ++layout) {
                const bool uniform = layout & 1, cols = layout & 2;
                SCOPED_TRACE(testing::Message() << "family " << cc.fam << " bc " << bc_type << " layout " << layout);
                std::vector<T> xs, ys(nx * ny), ic(nx - 2), coeff(4 * (nx - 1) * ny);
                std::vector<LD> x, y;  // y[j*nx + i], as stored
                for (int64_t i = 0; i < nx; ++i)
                    x.push_back(static_cast<T>(uniform ? i : i + 0.3L * std::sin(1.7L * i) * (i > 0 && i < nx - 1)));
                for (int64_t j = 0; j < ny; ++j)
                    for (int64_t i = 0; i < nx; ++i) {
                        y.push_back(static_cast<T>(std::cos(0.7L * x[i] + j) + 0.1L * x[i] * j));
                        if (bc_type == 64 && i == nx - 1) y.back() = y[j * nx];
                        ys[cols ? i * ny + j : j * nx + i] = static_cast<T>(y.back());
                    }
                if (uniform) xs = {T(0), T(nx - 1)};
                else xs.assign(x.begin(), x.end());
                for (int64_t k = 0; k < nx - 2; ++k) ic[k] = static_cast<T>(0.25 * std::sin(double(k)));
                const T bc[2] = {T(0.5), T(-0.75)};
                OrvuDFTaskPtr task = nullptr;
                ASSERT_EQ(Df<T>::NewTask(&task, nx, xs.data(), uniform ? 4 : 1, ny, ys.data(), cols ? 32 : 16, 0), 0);
                // Given first (Hermite) or second (default) derivatives at the interior nodes.
                const int given = cc.fam == kHermite ? 1 : cc.fam == kDefault ? 2 : 0;
                ASSERT_EQ(Df<T>::EditPP(task, 4, cc.fam == kHermite ? 3 : 2, bc_type, bc, given != 0,
                                        given ? ic.data() : nullptr, coeff.data(), 0), 0);
                ASSERT_EQ(builds[cc.fam](task, 0, 0, nullptr), 0);
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
                            EXPECT_TRUE(!(cc.smooth & (1 << q)) || std::fabs(at(i, h(i), q) - at(i + 1, 0, q)) <= t10) << q << " " << i;
                        EXPECT_TRUE(i == 0 || !given || std::fabs(at(i, 0, given) - ic[i - 1]) <= t10) << i;
                    }
                    // End conditions: 2 and 12 .. 48 fix a derivative at each end (2: second, to zero).
                    const bool fixed = bc_type >= 12 && bc_type <= 48;
                    if (bc_type == 2 || fixed) {
                        EXPECT_NEAR(at(0, 0, bc_type == 12 || bc_type == 36 ? 1 : 2), fixed ? 0.5 : 0, t10);
                        EXPECT_NEAR(at(L, h(L), bc_type == 12 || bc_type == 24 ? 1 : 2), fixed ? -0.75 : 0, t10);
                    }
                    EXPECT_TRUE(bc_type != 0 || std::fabs(at(0, 0, 1) - (3 * m(0) - m(1)) / 2) <= t10);  // not set
                    if (bc_type == 1 && (cc.smooth & 4)) {  // third derivative continuous at nodes 1 and nx-2
                        EXPECT_NEAR(at(0, 0, 3), at(1, 0, 3), t10);
                        EXPECT_NEAR(at(L, 0, 3), at(L - 1, 0, 3), t10);
                    }
                    if (bc_type == 64) {
                        EXPECT_NEAR(at(0, 0, 1), at(L, h(L), 1), t10);
                        EXPECT_TRUE(!(cc.smooth & 4) || std::fabs(at(0, 0, 2) - at(L, h(L), 2)) <= t10);
                        EXPECT_TRUE(cc.fam != kHermite || std::fabs(at(0, 0, 1) - 0.5) <= tol);
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
        auto p = [&](int64_t k, LD t, int q) { const LD ck[4] = {c[3 * k], c[3 * k + 1], c[3 * k + 2], 0}; return poly(ck, t - knots[k], q); };
        for (int64_t k = 0; k < nx; ++k) EXPECT_NEAR(p(k, x[k], 0), y[k], tol) << "node " << k;
        for (int64_t k = 1; k < nx; ++k) {
            EXPECT_NEAR(p(k - 1, knots[k], 0), p(k, knots[k], 0), tol);
            EXPECT_NEAR(p(k - 1, knots[k], 1), p(k, knots[k], 1), 10 * tol);
        }
        EXPECT_NEAR(p(0, knots[0], row.bc_type == 12 || row.bc_type == 36 ? 1 : 2), 0.4, tol) << row.bc_type;
        EXPECT_NEAR(p(nx - 1, knots[nx], row.bc_type == 12 || row.bc_type == 24 ? 1 : 2), -0.2, 10 * tol) << row.bc_type;
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
    OrvuDFTaskPtr task = nullptr;
    std::vector<T> c(12, T(-7));
    auto run = [&](std::vector<T> x, std::vector<T> y, int64_t xh, int64_t order, int64_t type, int64_t bc_type, auto build) {
        const T bc[2] = {1, 1}, ic[2] = {0, 0};
        orvu_df_kernel_DeleteTask(&task);
        EXPECT_EQ(Df<T>::NewTask(&task, x.size(), x.data(), xh, 1, y.data(), 16, 0), 0);
        EXPECT_EQ(Df<T>::EditPP(task, order, type, bc_type, bc, type == 3, type == 3 ? ic : nullptr, c.data(), 0), 0);
        return build(task, 0, 0, nullptr);
    };
    const int32_t live = orvu_serv_test_live_allocations();
    EXPECT_EQ(run({1, 3}, {2, 6}, 1, 4, 2, 2, Df<T>::Natural), 0);
    EXPECT_EQ(std::vector<T>(c.begin(), c.begin() + 4), (std::vector<T>{2, 2, 0, 0}));
    c.assign(12, T(-7));
    EXPECT_EQ(run({1, 3}, {2, 6}, 1, 2, 0, 64, Df<T>::Linear), -1018);
    EXPECT_EQ(c[0], T(-7));
    EXPECT_EQ(run({0, 1, 2, 3}, {1, 2, 3, 4}, 1, 4, 3, 64, Df<T>::Hermite), -1018);
    EXPECT_EQ(run({0, T(-0.75), T(0.25)}, {0, 1, 0}, 0, 4, 2, 2, Df<T>::Natural), -1500);
    orvu_df_kernel_DeleteTask(&task);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);  // the failed factorisation released its workspace
}

}  // namespace
