// The BLAS/LAPACK shims: forwarded routines on hand-computed cases, the own
// loops (x variants, packed triangular product) against plain references.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "orvu_linalg.h"

namespace {

// Both precisions behind one name, so every test runs for s and d.
template <class T> struct Api;
#define ORVU_TEST_API(p, T)                                            \
    template <> struct Api<T> {                                        \
        static constexpr auto gemm = orvu_blas_##p##gemm;              \
        static constexpr auto xgemm = orvu_blas_x##p##gemm;            \
        static constexpr auto syrk = orvu_blas_##p##syrk;              \
        static constexpr auto xsyrk = orvu_blas_x##p##syrk;            \
        static constexpr auto syr = orvu_blas_##p##syr;                \
        static constexpr auto xsyr = orvu_blas_x##p##syr;              \
        static constexpr auto gemv = orvu_blas_##p##gemv;              \
        static constexpr auto xsymm = orvu_blas_x##p##symm;            \
        static constexpr auto trmm = orvu_blas_##p##trmm;              \
        static constexpr auto kextrmm = orvu_blas4kex_##p##trmm;       \
        static constexpr auto xtrmm = orvu_blas_x##p##trmm_4kex;       \
        static constexpr auto ptrmm = orvu_blas4kex_##p##ptrmm;        \
        static constexpr auto potrf = orvu_lapack_##p##potrf;          \
        static constexpr auto potri = orvu_lapack_##p##potri;          \
        static constexpr auto trtri = orvu_lapack_##p##trtri;          \
        static constexpr auto syev = orvu_lapack_##p##syev;            \
        static constexpr auto spevd = orvu_lapack_##p##spevd;          \
        static constexpr double tol = sizeof(T) == 4 ? 2e-5 : 1e-13;   \
    };
ORVU_TEST_API(s, float)
ORVU_TEST_API(d, double)
#undef ORVU_TEST_API

template <class T>
class Shims : public testing::Test {};
using Precisions = testing::Types<float, double>;
TYPED_TEST_SUITE(Shims, Precisions);

template <class T>
void expect_near_all(const std::vector<T>& got, const std::vector<double>& want, double tol, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(static_cast<double>(got[i]), want[i], tol * (1 + std::fabs(want[i]))) << what << " [" << i << "]";
}

template <class T>
std::vector<T> random_matrix(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<T> v(size);
    for (auto& x : v) x = static_cast<T>(u(gen));
    return v;
}

// A = [1 2 3; 4 5 6] (2x3, column-major), B = [1 0; 0 1; 2 -1] (3x2).
// A*B = [7 -1; 16 -1]; with C = [1 1; 1 1], alpha 2, beta -1: [13 -3; 31 -3].
TYPED_TEST(Shims, GemmForwardedAndOwnAgreeWithHandProduct) {
    using T = TypeParam;
    const std::vector<T> a = {1, 4, 2, 5, 3, 6}, at = {1, 2, 3, 4, 5, 6};  // A and A^T stored
    const std::vector<T> b = {1, 0, 2, 0, 1, -1};
    const int32_t m = 2, n = 2, k = 3, lda = 2, ldat = 3, ldb = 3, ldc = 2;
    const T alpha = 2, beta = -1;
    for (auto fn : {Api<T>::gemm, Api<T>::xgemm}) {
        std::vector<T> c(4, T(1));
        fn("N", "N", &m, &n, &k, &alpha, a.data(), &lda, b.data(), &ldb, &beta, c.data(), &ldc);
        expect_near_all(c, {13, 31, -3, -3}, Api<T>::tol, "gemm NN");
        std::vector<T> c2(4, T(1));
        fn("t", "N", &m, &n, &k, &alpha, at.data(), &ldat, b.data(), &ldb, &beta, c2.data(), &ldc);
        expect_near_all(c2, {13, 31, -3, -3}, Api<T>::tol, "gemm TN");
    }
}

TYPED_TEST(Shims, OwnGemmMatchesPlainReferenceForAllTranspositions) {
    using T = TypeParam;
    const int32_t m = 5, n = 4, k = 3, ld = 7;
    auto a = random_matrix<T>(ld * 7, 1), b = random_matrix<T>(ld * 7, 2), c0 = random_matrix<T>(ld * n, 3);
    const T alpha = T(0.75), beta = T(-0.5);
    for (const char* ta : {"N", "T"})
        for (const char* tb : {"N", "T"}) {
            std::vector<T> c = c0;
            Api<T>::xgemm(ta, tb, &m, &n, &k, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(), &ld);
            std::vector<double> want(c0.begin(), c0.end());
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < n; ++j) {
                    long double s = 0;
                    for (int l = 0; l < k; ++l) {
                        long double x = *ta == 'N' ? a[i + l * ld] : a[l + i * ld];
                        long double y = *tb == 'N' ? b[l + j * ld] : b[j + l * ld];
                        s += x * y;
                    }
                    want[i + j * ld] = static_cast<double>(alpha * s + beta * static_cast<long double>(c0[i + j * ld]));
                }
            expect_near_all(c, want, Api<T>::tol, "xgemm");
        }
}

// A = [1 2; 3 4; 5 6] (3x2). A*A^T (trans N on A^T's shape) and A^T*A = [35 44; 44 56].
TYPED_TEST(Shims, SyrkTouchesOnlyItsTriangle) {
    using T = TypeParam;
    const std::vector<T> a = {1, 3, 5, 2, 4, 6};
    const int32_t n = 2, k = 3, lda = 3, ldc = 2;
    const T alpha = 1, beta = 0;
    const T nan = std::numeric_limits<T>::quiet_NaN();
    for (auto fn : {Api<T>::syrk, Api<T>::xsyrk}) {
        std::vector<T> up = {nan, 7, nan, nan}, lo = {nan, nan, 7, nan};  // 7 marks the untouched cell
        fn("U", "T", &n, &k, &alpha, a.data(), &lda, &beta, up.data(), &ldc);
        fn("L", "T", &n, &k, &alpha, a.data(), &lda, &beta, lo.data(), &ldc);
        expect_near_all(up, {35, 7, 44, 56}, Api<T>::tol, "syrk U");
        expect_near_all(lo, {35, 44, 7, 56}, Api<T>::tol, "syrk L");
        // Trans N with A^T = [1 3 5; 2 4 6] (2x3) gives the same product.
        const std::vector<T> at = {1, 2, 3, 4, 5, 6};
        const int32_t ldat = 2;
        std::vector<T> c = {1, 7, 1, 1};
        const T two = 2, one = 1;
        fn("u", "n", &n, &k, &two, at.data(), &ldat, &one, c.data(), &ldc);
        expect_near_all(c, {71, 7, 89, 113}, Api<T>::tol, "syrk N");
    }
}

TYPED_TEST(Shims, SyrWithNegativeIncrementWalksBackwards) {
    using T = TypeParam;
    const std::vector<T> x = {3, -1, 2};  // with increment -2 the vector is (2, 3)
    const int32_t n = 2, inc = -2, lda = 2;
    const T alpha = 2;
    for (auto fn : {Api<T>::syr, Api<T>::xsyr}) {
        std::vector<T> a = {1, 1, 1, 1};
        fn("L", &n, &alpha, x.data(), &inc, a.data(), &lda);
        expect_near_all(a, {9, 13, 1, 19}, Api<T>::tol, "syr");
    }
}

TYPED_TEST(Shims, GemvAndSymmOnHandCases) {
    using T = TypeParam;
    // y = 2*[1 2; 3 4]*[1; -1] + 1*[1; 1] = [-1; -1]
    const std::vector<T> a = {1, 3, 2, 4}, x = {1, -1};
    const int32_t two = 2, one = 1;
    const T alpha = 2, beta = 1;
    std::vector<T> y = {1, 1};
    Api<T>::gemv("N", &two, &two, &alpha, a.data(), &two, x.data(), &one, &beta, y.data(), &one);
    expect_near_all(y, {-1, -1}, Api<T>::tol, "gemv");
    // S = [2 1; 1 3] from its upper triangle (lower cell holds junk), B = [1 0; 2 1].
    const std::vector<T> s = {2, 99, 1, 3}, b = {1, 2, 0, 1};
    const T a1 = 1, b0 = 0;
    std::vector<T> cl(4), cr(4);
    Api<T>::xsymm("L", "U", &two, &two, &a1, s.data(), &two, b.data(), &two, &b0, cl.data(), &two);
    Api<T>::xsymm("R", "U", &two, &two, &a1, s.data(), &two, b.data(), &two, &b0, cr.data(), &two);
    expect_near_all(cl, {4, 7, 1, 3}, Api<T>::tol, "symm L");  // S*B
    expect_near_all(cr, {2, 5, 1, 5}, Api<T>::tol, "symm R");  // B*S
}

// Packs the `upper` triangle of the order-n matrix a (leading dimension n).
template <class T>
std::vector<T> pack(const std::vector<T>& a, int32_t n, bool upper) {
    std::vector<T> p;
    for (int32_t c = 0; c < n; ++c)
        for (int32_t r = upper ? 0 : c; r < (upper ? c + 1 : n); ++r) p.push_back(a[r + c * n]);
    return p;
}

TYPED_TEST(Shims, OwnAndPackedTrmmMatchTheSystemTrmmInEveryCombination) {
    using T = TypeParam;
    const int32_t m = 5, n = 3, ldb = 6;
    const T alpha = T(-1.5);
    for (const char* side : {"L", "R"})
        for (const char* uplo : {"U", "L"})
            for (const char* trans : {"N", "T"})
                for (const char* diag : {"N", "U"}) {
                    const int32_t order = *side == 'L' ? m : n;
                    auto a = random_matrix<T>(order * order, 7);
                    auto b0 = random_matrix<T>(ldb * n, 8);
                    auto want = b0, own = b0, kex = b0, packed = b0;
                    Api<T>::trmm(side, uplo, trans, diag, &m, &n, &alpha, a.data(), &order, want.data(), &ldb);
                    Api<T>::kextrmm(side, uplo, trans, diag, &m, &n, &alpha, a.data(), &order, kex.data(), &ldb);
                    Api<T>::xtrmm(side, uplo, trans, diag, &m, &n, &alpha, a.data(), &order, own.data(), &ldb);
                    auto ap = pack(a, order, *uplo == 'U');
                    Api<T>::ptrmm(side, uplo, trans, diag, &m, &n, &alpha, ap.data(), packed.data(), &ldb);
                    const std::vector<double> w(want.begin(), want.end());
                    SCOPED_TRACE(testing::Message() << side << uplo << trans << diag);
                    expect_near_all(kex, w, Api<T>::tol, "4kex trmm");
                    expect_near_all(own, w, Api<T>::tol, "own trmm");
                    expect_near_all(packed, w, Api<T>::tol, "packed trmm");
                    for (int32_t j = 0; j < n; ++j) EXPECT_EQ(packed[m + j * ldb], b0[m + j * ldb]);  // padding row
                }
}

TYPED_TEST(Shims, OwnLoopsIgnoreInvalidArguments) {
    using T = TypeParam;
    std::vector<T> a = {1, 2, 3, 4}, b = {5, 6, 7, 8};
    const auto b0 = b;
    const int32_t two = 2, neg = -1, one = 1;
    const T alpha = 1;
    Api<T>::xtrmm("X", "U", "N", "N", &two, &two, &alpha, a.data(), &two, b.data(), &two);
    Api<T>::ptrmm("L", "U", "N", "N", &neg, &two, &alpha, a.data(), b.data(), &two);
    Api<T>::xtrmm("L", "U", "N", "N", &two, &two, &alpha, a.data(), &one, b.data(), &two);  // lda < m
    Api<T>::xgemm("N", "Q", &two, &two, &two, &alpha, a.data(), &two, a.data(), &two, &alpha, b.data(), &two);
    EXPECT_EQ(b, b0);
}

TYPED_TEST(Shims, CholeskyInverseTriangularInverseAndEigenvalues) {
    using T = TypeParam;
    const int32_t two = 2;
    int32_t info = -99;
    // [4 2; 2 3] = L*L^T, L = [2 0; 1 sqrt(2)]; inverse = [3 -2; -2 4] / 8.
    std::vector<T> a = {4, 2, 2, 3};
    Api<T>::potrf("L", &two, a.data(), &two, &info);
    EXPECT_EQ(info, 0);
    expect_near_all(std::vector<T>{a[0], a[1], a[3]}, {2, 1, std::sqrt(2.0)}, Api<T>::tol, "potrf");
    Api<T>::potri("L", &two, a.data(), &two, &info);
    EXPECT_EQ(info, 0);
    expect_near_all(std::vector<T>{a[0], a[1], a[3]}, {0.375, -0.25, 0.5}, Api<T>::tol, "potri");
    // Not positive definite: the minor of order 2 fails.
    std::vector<T> bad = {1, 2, 2, 1};
    Api<T>::potrf("U", &two, bad.data(), &two, &info);
    EXPECT_EQ(info, 2);
    // Lower triangular [2 0; 1 4]: inverse [0.5 0; -0.125 0.25].
    std::vector<T> l = {2, 1, 0, 4};
    Api<T>::trtri("L", "N", &two, l.data(), &two, &info);
    EXPECT_EQ(info, 0);
    expect_near_all(std::vector<T>{l[0], l[1], l[3]}, {0.5, -0.125, 0.25}, Api<T>::tol, "trtri");
    // [2 1; 1 2] has eigenvalues 1 and 3, full and packed.
    std::vector<T> s = {2, 1, 1, 2}, w(2), work(64);
    const int32_t lwork = 64;
    Api<T>::syev("V", "U", &two, s.data(), &two, w.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0);
    expect_near_all(w, {1, 3}, Api<T>::tol, "syev");
    EXPECT_NEAR(std::fabs(static_cast<double>(s[0])), std::sqrt(0.5), Api<T>::tol);
    std::vector<T> ap = {2, 1, 2}, z(4), pw(2);
    std::vector<int32_t> iwork(64);
    const int32_t liwork = 64;
    Api<T>::spevd("V", "L", &two, ap.data(), pw.data(), z.data(), &two, work.data(), &lwork, iwork.data(),
                  &liwork, &info);
    EXPECT_EQ(info, 0);
    expect_near_all(pw, {1, 3}, Api<T>::tol, "spevd");
}

}  // namespace
