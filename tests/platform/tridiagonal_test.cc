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
    // Solution of A*x = b (or A^T*x = b) by dense elimination in long double
    // (no pivoting needed: the matrix is diagonally dominant).
    std::vector<double> dense_solve(bool trans) const {
        std::vector<double> out(b.begin(), b.end());
        for (int32_t r = 0; r < nrhs; ++r) {
            std::vector<std::vector<long double>> m(n, std::vector<long double>(n + 1, 0));
            for (int32_t i = 0; i < n; ++i) {
                m[i][i] = d[i];
                if (i + 1 < n) m[i + 1][i] = trans ? du[i] : dl[i], m[i][i + 1] = trans ? dl[i] : du[i];
                m[i][n] = b[i + r * ldb];
            }
            for (int32_t c = 0; c < n; ++c)
                for (int32_t i = c + 1; i < n; ++i)
                    for (int32_t k = n; k >= c; --k) m[i][k] -= m[i][c] / m[c][c] * m[c][k];   // column c last
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

TYPED_TEST(Tridiagonal, FactorSolveAndOneCallSolverMatchDenseSolve) {
    using T = TypeParam;
    for (int32_t n : {1, 2, 3, 17})
        for (const char* trans : {"N", "T", "1"}) {   // "1": the one-call solver
            System<T> s(n, 3, n + 2, 11 + n);
            auto want = s.dense_solve(*trans == 'T');
            auto dl = s.dl, d = s.d, du = s.du, b = s.b;
            int32_t info = -99;
            if (*trans == '1') {
                Tri<T>::sv(&s.n, &s.nrhs, dl.data(), d.data(), du.data(), b.data(), &s.ldb, &info);
            } else {
                Tri<T>::trf(&n, dl.data(), d.data(), du.data(), &info);
                ASSERT_EQ(info, 0);
                Tri<T>::trs(trans, &s.n, &s.nrhs, dl.data(), d.data(), du.data(), b.data(), &s.ldb, &info);
            }
            ASSERT_EQ(info, 0);
            SCOPED_TRACE(testing::Message() << "n " << n << " trans " << trans);
            expect_solution(s, b, want);
        }
}

TYPED_TEST(Tridiagonal, ZeroPivotReportsItsOneBasedIndexAndSolvesNothing) {
    using T = TypeParam;
    // [1 1 0; 1 1 1; 0 1 1]: the second pivot is 1 - 1*1 = 0.
    std::vector<T> dl = {1, 1}, d = {1, 1, 1}, du = {1, 1}, b = {1, 2, 3};
    const auto b0 = b;
    const int32_t n = 3, nrhs = 1, ldb = 3, two = 2, one = 1;
    int32_t info = 0;
    Tri<T>::sv(&n, &nrhs, dl.data(), d.data(), du.data(), b.data(), &ldb, &info);
    EXPECT_EQ(info, 2);
    EXPECT_EQ(b, b0);
    std::vector<T> dl2 = {1}, d2 = {1, 1}, du2 = {1}, d1 = {0};   // zero last pivot: [1 1; 1 1]
    Tri<T>::trf(&two, dl2.data(), d2.data(), du2.data(), &info);
    EXPECT_EQ(info, 2);
    Tri<T>::trf(&one, nullptr, d1.data(), nullptr, &info);
    EXPECT_EQ(info, 1);
}

TYPED_TEST(Tridiagonal, InvalidArgumentsGiveNegativeInfo) {
    using T = TypeParam;
    std::vector<T> dl = {1}, d = {4, 4}, du = {1}, b = {1, 2};
    const int32_t two = 2, one = 1, neg = -1;
    struct Case { char call; const char* trans; const int32_t *n, *nrhs, *ldb; int32_t info; };
    const Case cases[] = {
        {'s', "X", &two, &one, &two, -1}, {'s', "N", &neg, &one, &two, -2}, {'s', "N", &two, &neg, &two, -3},
        {'s', "N", &two, &one, &one, -8}, {'v', "", &neg, &one, &two, -1},  {'v', "", &two, &neg, &two, -2},
        {'v', "", &two, &one, &one, -7},  {'f', "", &neg, &one, &two, -1},
    };
    for (const Case& c : cases) {
        int32_t info = 0;
        if (c.call == 's') Tri<T>::trs(c.trans, c.n, c.nrhs, dl.data(), d.data(), du.data(), b.data(), c.ldb, &info);
        if (c.call == 'v') Tri<T>::sv(c.n, c.nrhs, dl.data(), d.data(), du.data(), b.data(), c.ldb, &info);
        if (c.call == 'f') Tri<T>::trf(c.n, dl.data(), d.data(), du.data(), &info);
        EXPECT_EQ(info, c.info) << c.call << " " << c.info;
    }
    EXPECT_EQ(b, (std::vector<T>{1, 2}));
}

}  // namespace
