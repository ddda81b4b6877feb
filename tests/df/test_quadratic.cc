// Linear, standard quadratic and Subbotin quadratic construction against
// their defining equations.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "df_api.h"
#include "orvu_serv.h"

namespace {

using LD = long double;
template <class T>
class QuadBuild : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(QuadBuild, Types);

template <class T>
struct Setup {
    int64_t nx = 8, ny = 2;
    std::vector<T> x, y;
    OrvuDFTaskPtr task = nullptr;
    Setup() {
        for (int64_t i = 0; i < nx; ++i) x.push_back(static_cast<T>(i * 1.0 + 0.25 * (i % 3)));
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t i = 0; i < nx; ++i) y.push_back(static_cast<T>(std::sin(0.9 * x[i] + j)));
        EXPECT_EQ(Df<T>::NewTask(&task, nx, x.data(), 1, ny, y.data(), 16, 0), 0);
    }
    ~Setup() { orvu_df_kernel_DeleteTask(&task); }
    T yv(int64_t j, int64_t i) const { return y[j * nx + i]; }
};

TYPED_TEST(QuadBuild, LinearIsTheSecantLine) {
    using T = TypeParam;
    Setup<T> s;
    std::vector<T> c(2 * (s.nx - 1) * s.ny);
    ASSERT_EQ(Df<T>::EditPP(s.task, 2, 0, 0, nullptr, 0, nullptr, c.data(), 0), 0);
    EXPECT_EQ(Df<T>::Linear(s.task, 0, 3, nullptr), ORVU_DF_ERROR_METHOD_NOT_SUPPORTED);
    ASSERT_EQ(Df<T>::Linear(s.task, 0, 0, nullptr), 0);
    for (int64_t j = 0; j < s.ny; ++j)
        for (int64_t i = 0; i + 1 < s.nx; ++i) {
            const T* ci = c.data() + j * 2 * (s.nx - 1) + 2 * i;
            EXPECT_EQ(ci[0], s.yv(j, i));
            EXPECT_NEAR(ci[0] + ci[1] * (s.x[i + 1] - s.x[i]), s.yv(j, i + 1), Df<T>::kTol);
        }
}

TYPED_TEST(QuadBuild, StandardQuadraticIsC1AndHitsNodes) {
    using T = TypeParam;
    Setup<T> s;
    std::vector<T> c(3 * (s.nx - 1) * s.ny);
    const T bc[1] = {T(0.3)};
    ASSERT_EQ(Df<T>::EditPP(s.task, 3, 0, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    EXPECT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_BC_TYPE);
    ASSERT_EQ(Df<T>::EditPP(s.task, 3, 0, 128, bc, 0, nullptr, c.data(), 0), 0);
    ASSERT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), 0);
    for (int64_t j = 0; j < s.ny; ++j) {
        const T* cj = c.data() + j * 3 * (s.nx - 1);
        const LD h0 = s.x[1] - s.x[0];
        if (j == 0) {
            EXPECT_NEAR(cj[0] + cj[1] * h0 / 2 + cj[2] * h0 * h0 / 4, 0.3, Df<T>::kTol);  // first midpoint value
        }
        for (int64_t i = 0; i + 1 < s.nx; ++i) {
            const LD h = s.x[i + 1] - s.x[i];
            const T* ci = cj + 3 * i;
            EXPECT_NEAR(ci[0] + h * (ci[1] + h * ci[2]), s.yv(j, i + 1), 10 * Df<T>::kTol);
            if (i + 2 < s.nx) {
                EXPECT_NEAR(ci[1] + 2 * h * ci[2], ci[4], 100 * Df<T>::kTol);
            }
        }
    }
}

struct SubbCase { int64_t bc_type; bool uniform_subgrid; };
constexpr SubbCase kSubbCases[] = {{12, false}, {36, false}, {24, true}, {48, true}, {12, true}};

TYPED_TEST(QuadBuild, SubbotinInterpolatesAndIsC1OnItsKnots) {
    using T = TypeParam;
    for (const SubbCase& sc : kSubbCases) {
        Setup<T> s;
        std::vector<T> knots(s.nx + 1), c(3 * s.nx * s.ny);
        knots[0] = s.x[0];
        knots[s.nx] = s.x[s.nx - 1];
        for (int64_t k = 1; k < s.nx; ++k) knots[k] = (s.x[k - 1] + 2 * s.x[k]) / 3;
        std::vector<T> ic = sc.uniform_subgrid ? std::vector<T>{s.x[0], s.x[s.nx - 1]} : knots;
        if (sc.uniform_subgrid) {
            // A uniform subgrid over these nodes must interleave them.
            for (int64_t k = 0; k <= s.nx; ++k) knots[k] = s.x[0] + k * ((s.x[s.nx - 1] - s.x[0]) / s.nx);
            knots[s.nx] = s.x[s.nx - 1];
            for (int64_t i = 0; i < s.nx; ++i) s.x[i] = (i == 0 || i == s.nx - 1) ? s.x[i] : (knots[i] + knots[i + 1]) / 2;
        }
        const T bc[2] = {T(0.4), T(-0.2)};
        const int64_t ic_type = 256 | (sc.uniform_subgrid ? 16 : 0);
        ASSERT_EQ(Df<T>::EditPP(s.task, 3, 1, sc.bc_type, bc, ic_type, ic.data(), c.data(), 0), 0);
        ASSERT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), 0);
        for (int64_t j = 0; j < s.ny; ++j) {
            const T* cj = c.data() + j * 3 * s.nx;
            auto p = [&](int64_t k, LD t, int q) {
                const LD u = t - knots[k];
                const T* ck = cj + 3 * k;
                return q == 0 ? ck[0] + u * (ck[1] + u * ck[2]) : q == 1 ? ck[1] + 2 * u * ck[2] : 2 * ck[2];
            };
            const LD tol = sizeof(T) == 8 ? 1e-9 : 5e-3;
            for (int64_t k = 0; k < s.nx; ++k) EXPECT_NEAR(p(k, s.x[k], 0), s.yv(j, k), tol) << "node " << k;
            for (int64_t k = 1; k < s.nx; ++k) {
                EXPECT_NEAR(p(k - 1, knots[k], 0), p(k, knots[k], 0), tol);
                EXPECT_NEAR(p(k - 1, knots[k], 1), p(k, knots[k], 1), 10 * tol);
            }
            const bool first_l = sc.bc_type == 12 || sc.bc_type == 36, first_r = sc.bc_type == 12 || sc.bc_type == 24;
            EXPECT_NEAR(p(0, knots[0], first_l ? 1 : 2), 0.4, tol);
            EXPECT_NEAR(p(s.nx - 1, knots[s.nx], first_r ? 1 : 2), -0.2, 10 * tol);
        }
    }
}

TYPED_TEST(QuadBuild, SubbotinRefusals) {
    using T = TypeParam;
    Setup<T> s;
    std::vector<T> knots(s.nx + 1), c(3 * s.nx * s.ny);
    for (int64_t k = 0; k <= s.nx; ++k) knots[k] = k == 0 ? s.x[0] : k == s.nx ? s.x[s.nx - 1] : (s.x[k - 1] + s.x[k]) / 2;
    const T bc[2] = {0, 0};
    struct Row { int64_t bc_type, ic_type; int32_t status; };
    const Row rows[] = {{12, 1, ORVU_DF_ERROR_BAD_IC_TYPE}, {1, 256, ORVU_DF_ERROR_BAD_BC_TYPE},
                        {2, 256, ORVU_DF_ERROR_BAD_BC_TYPE}, {64, 256, ORVU_DF_ERROR_BAD_BC_TYPE},
                        {3, 256, ORVU_DF_ERROR_BAD_BC_TYPE}, {12, 256, 0}};
    for (const Row& r : rows) {
        ASSERT_EQ(Df<T>::EditPP(s.task, 3, 1, r.bc_type, bc, r.ic_type, knots.data(), c.data(), 0), 0);
        EXPECT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), r.status) << r.bc_type;
    }
    knots[3] = s.x[3];  // a knot on a node does not interleave
    EXPECT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), ORVU_DF_ERROR_BAD_IC);
    knots[3] = (s.x[2] + s.x[3]) / 2;
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), ORVU_DF_ERROR_MEM_FAILURE);
    orvu_serv_test_fail_allocation(0);
    ASSERT_EQ(orvu_df_kernel_iEditVal(s.task, 19, 4), 0);
    EXPECT_EQ(Df<T>::Quadratic(s.task, 0, 0, nullptr), ORVU_DF_ERROR_METHOD_NOT_SUPPORTED);
}

}  // namespace
