// Tridiagonal solvers against a dense Gaussian elimination in long double.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "orvu_linalg.h"

namespace {

template <class T> struct Tri;
template <> struct Tri<float> {
    static constexpr auto trf = sdttrfb_4dfl;
    static constexpr auto trs = sdttrsb_4dfl;
    static constexpr auto sv = sdtsvb_4dfl;
    static constexpr double tol = 1e-5;
};
template <> struct Tri<double> {
    static constexpr auto trf = ddttrfb_4dfl;
    static constexpr auto trs = ddttrsb_4dfl;
    static constexpr auto sv = ddtsvb_4dfl;
    static constexpr double tol = 1e-13;
};

template <class T>
class Tridiagonal : public testing::Test {};
using Precisions = testing::Types<float, double>;
TYPED_TEST_SUITE(Tridiagonal, Precisions);

// A diagonally dominant system of order n with nrhs right-hand sides in an
// array of leading dimension ldb.
template <class T>
struct System {
    int32_t n, nrhs, ldb;
    std::vector<T> dl, d, du, b;
    System(int32_t n_, int32_t nrhs_, int32_t ldb_, unsigned seed) : n(n_), nrhs(nrhs_), ldb(ldb_) {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        for (int32_t i = 0; i + 1 < n; ++i) {
            dl.push_back(static_cast<T>(u(gen)));
            du.push_back(static_cast<T>(u(gen)));
        }
        for (int32_t i = 0; i < n; ++i) d.push_back(static_cast<T>(3.0 + u(gen)));
        b.resize(static_cast<size_t>(ldb) * nrhs);
        for (auto& x : b) x = static_cast<T>(10 * u(gen));
    }
    // Solution of A*x = b (or A^T*x = b) by dense elimination with partial
    // pivoting in long double.
    std::vector<double> dense_solve(bool trans) const {
        std::vector<double> out(b.begin(), b.end());
        for (int32_t r = 0; r < nrhs; ++r) {
            std::vector<std::vector<long double>> m(n, std::vector<long double>(n + 1, 0));
            for (int32_t i = 0; i < n; ++i) {
                m[i][i] = d[i];
                if (i + 1 < n) {
                    m[i + 1][i] = trans ? du[i] : dl[i];
                    m[i][i + 1] = trans ? dl[i] : du[i];
                }
                m[i][n] = b[i + r * ldb];
            }
            for (int32_t c = 0; c < n; ++c) {
                int32_t p = c;
                for (int32_t i = c + 1; i < n; ++i)
                    if (std::fabs(m[i][c]) > std::fabs(m[p][c])) p = i;
                std::swap(m[c], m[p]);
                for (int32_t i = c + 1; i < n; ++i) {
                    long double f = m[i][c] / m[c][c];
                    for (int32_t k = c; k <= n; ++k) m[i][k] -= f * m[c][k];
                }
            }
            for (int32_t i = n - 1; i >= 0; --i) {
                long double s = m[i][n];
                for (int32_t k = i + 1; k < n; ++k) s -= m[i][k] * static_cast<long double>(out[k + r * ldb]);
                out[i + r * ldb] = static_cast<double>(s / m[i][i]);
            }
        }
        return out;
    }
};

template <class T>
void expect_solution(const System<T>& s, const std::vector<T>& got, const std::vector<double>& want) {
    for (int32_t r = 0; r < s.nrhs; ++r)
        for (int32_t i = 0; i < s.ldb; ++i) {
            size_t k = static_cast<size_t>(i + r * s.ldb);
            if (i < s.n) EXPECT_NEAR(got[k], want[k], Tri<T>::tol * (1 + std::fabs(want[k]))) << i << ", rhs " << r;
            else EXPECT_EQ(got[k], s.b[k]) << "padding row " << i << " changed";
        }
}

TYPED_TEST(Tridiagonal, FactorThenSolveMatchesDenseSolveBothWays) {
    using T = TypeParam;
    for (int32_t n : {1, 2, 3, 17}) {
        for (const char* trans : {"N", "T"}) {
            System<T> s(n, 3, n + 2, 11 + n);
            auto want = s.dense_solve(*trans == 'T');
            auto dl = s.dl, d = s.d, du = s.du, b = s.b;
            int32_t info = -99;
            Tri<T>::trf(&n, dl.data(), d.data(), du.data(), &info);
            ASSERT_EQ(info, 0);
            Tri<T>::trs(trans, &s.n, &s.nrhs, dl.data(), d.data(), du.data(), b.data(), &s.ldb, &info);
            ASSERT_EQ(info, 0);
            SCOPED_TRACE(testing::Message() << "n " << n << " trans " << trans);
            expect_solution(s, b, want);
        }
    }
}

TYPED_TEST(Tridiagonal, OneCallSolverMatchesDenseSolve) {
    using T = TypeParam;
    System<T> s(9, 4, 9, 5);
    auto want = s.dense_solve(false);
    auto b = s.b;
    int32_t info = -99;
    Tri<T>::sv(&s.n, &s.nrhs, s.dl.data(), s.d.data(), s.du.data(), b.data(), &s.ldb, &info);
    ASSERT_EQ(info, 0);
    expect_solution(s, b, want);
}

TYPED_TEST(Tridiagonal, ZeroPivotReportsItsOneBasedIndexAndSolvesNothing) {
    using T = TypeParam;
    // [1 1 0; 1 1 1; 0 1 1]: the second pivot is 1 - 1*1 = 0.
    std::vector<T> dl = {1, 1}, d = {1, 1, 1}, du = {1, 1}, b = {1, 2, 3};
    const auto b0 = b;
    const int32_t n = 3, nrhs = 1, ldb = 3;
    int32_t info = 0;
    Tri<T>::sv(&n, &nrhs, dl.data(), d.data(), du.data(), b.data(), &ldb, &info);
    EXPECT_EQ(info, 2);
    EXPECT_EQ(b, b0);
    // A zero last pivot: [1 1; 1 1].
    std::vector<T> dl2 = {1}, d2 = {1, 1}, du2 = {1};
    const int32_t two = 2;
    Tri<T>::trf(&two, dl2.data(), d2.data(), du2.data(), &info);
    EXPECT_EQ(info, 2);
    std::vector<T> d1 = {0};
    const int32_t one = 1;
    Tri<T>::trf(&one, nullptr, d1.data(), nullptr, &info);
    EXPECT_EQ(info, 1);
}

TYPED_TEST(Tridiagonal, InvalidArgumentsGiveNegativeInfo) {
    using T = TypeParam;
    std::vector<T> dl = {1}, d = {4, 4}, du = {1}, b = {1, 2};
    int32_t info = 0;
    const int32_t two = 2, one = 1, neg = -1;
    Tri<T>::trs("X", &two, &one, dl.data(), d.data(), du.data(), b.data(), &two, &info);
    EXPECT_EQ(info, -1);
    Tri<T>::trs("N", &neg, &one, dl.data(), d.data(), du.data(), b.data(), &two, &info);
    EXPECT_EQ(info, -2);
    Tri<T>::trs("N", &two, &neg, dl.data(), d.data(), du.data(), b.data(), &two, &info);
    EXPECT_EQ(info, -3);
    Tri<T>::trs("N", &two, &one, dl.data(), d.data(), du.data(), b.data(), &one, &info);
    EXPECT_EQ(info, -8);
    Tri<T>::sv(&neg, &one, dl.data(), d.data(), du.data(), b.data(), &two, &info);
    EXPECT_EQ(info, -1);
    Tri<T>::sv(&two, &neg, dl.data(), d.data(), du.data(), b.data(), &two, &info);
    EXPECT_EQ(info, -2);
    Tri<T>::sv(&two, &one, dl.data(), d.data(), du.data(), b.data(), &one, &info);
    EXPECT_EQ(info, -7);
    Tri<T>::trf(&neg, dl.data(), d.data(), du.data(), &info);
    EXPECT_EQ(info, -1);
    EXPECT_EQ(b, (std::vector<T>{1, 2}));
}

}  // namespace
