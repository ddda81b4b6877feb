// The BLAS/LAPACK shims: forwarded routines on hand-computed cases; the
// single-threaded products (x variants) and the triangular products against
// plain references in every option combination.
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
#define ORVU_TEST_API(p, T)                                                                                      \
    template <> struct Api<T> {                                                                                  \
        static constexpr auto gemm = orvu_blas_##p##gemm;                                                        \
        static constexpr auto xgemm = orvu_blas_x##p##gemm;                                                      \
        static constexpr auto syrk = orvu_blas_##p##syrk;                                                        \
        static constexpr auto xsyrk = orvu_blas_x##p##syrk;                                                      \
        static constexpr auto syr = orvu_blas_##p##syr;                                                          \
        static constexpr auto xsyr = orvu_blas_x##p##syr;                                                        \
        static constexpr auto gemv = orvu_blas_##p##gemv;                                                        \
        static constexpr auto xsymm = orvu_blas_x##p##symm;                                                      \
        static constexpr auto trmm = orvu_blas_##p##trmm;                                                        \
        static constexpr auto kextrmm = orvu_blas4kex_##p##trmm;                                                 \
        static constexpr auto xtrmm = orvu_blas_x##p##trmm_4kex;                                                 \
        static constexpr auto ptrmm = orvu_blas4kex_##p##ptrmm;                                                  \
        static constexpr auto potrf = orvu_lapack_##p##potrf;                                                    \
        static constexpr auto potri = orvu_lapack_##p##potri;                                                    \
        static constexpr auto trtri = orvu_lapack_##p##trtri;                                                    \
        static constexpr auto syev = orvu_lapack_##p##syev;                                                      \
        static constexpr auto spevd = orvu_lapack_##p##spevd;                                                    \
        static constexpr double tol = sizeof(T) == 4 ? 2e-5 : 1e-13;                                             \
    };
ORVU_TEST_API(s, float)
ORVU_TEST_API(d, double)
#undef ORVU_TEST_API

template <class T> class Shims : public testing::Test {};
using Precisions = testing::Types<float, double>;
TYPED_TEST_SUITE(Shims, Precisions);

template <class T, class W>
void expect_near_all(const std::vector<T>& got, const std::vector<W>& want, double tol, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(double(got[i]), double(want[i]), tol * (1 + std::fabs(double(want[i])))) << what << " [" << i << "]";
}
template <class T>
std::vector<T> random_matrix(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<T> v(size);
    for (auto& x : v) x = static_cast<T>(u(gen));
    return v;
}

// The x products (and the forwarded gemm, syrk, syr) in every option
// combination against long-double loops, at sizes past Eigen's block sizes:
// C = alpha sum_l L(i, l) R(l, j) + beta C on the part each routine owns. The
// rest of C keeps its values, an unreferenced triangle of A holds NaN, beta 0
// never reads C.
struct XCase { char op; const char *o1, *o2; int32_t inc; bool beta0; };
constexpr XCase kXCases[] = {
    {'g', "N", "N", 1, false}, {'g', "N", "T", 1, true},  {'g', "T", "N", 1, false}, {'g', "t", "t", 1, true},
    {'k', "U", "N", 1, false}, {'k', "U", "T", 1, true},  {'k', "l", "N", 1, true},  {'k', "L", "C", 1, false},
    {'r', "U", "", 3, false},  {'r', "L", "", -2, false}, {'s', "L", "U", 1, false}, {'s', "L", "L", 1, true},
    {'s', "R", "U", 1, true},  {'s', "R", "L", 1, false},
};
TYPED_TEST(Shims, SingleThreadedProductsMatchPlainLoops) {
    using T = TypeParam;
    const int32_t m = 37, n = 29, k = 300, ld = 310;
    const auto a = random_matrix<T>(size_t(ld) * k, 1), b = random_matrix<T>(size_t(ld) * k, 2);
    const T alpha = T(0.75), nan = std::numeric_limits<T>::quiet_NaN();
    for (const XCase& c : kXCases) {
        SCOPED_TRACE(testing::Message() << c.op << c.o1 << c.o2 << c.inc);
        const T beta = c.beta0 ? T(0) : T(-0.5);
        auto tr = [](const char* o) { return *o == 'T' || *o == 't' || *o == 'C'; };
        const char tri = c.op == 's' ? *c.o2 : *c.o1;
        const bool up = tri == 'U' || tri == 'u', left = *c.o1 == 'L', sq = c.op == 'k' || c.op == 'r';
        auto A = [&](int32_t i, int32_t l, bool t) { return (long double)(t ? a[l + size_t(i) * ld] : a[i + size_t(l) * ld]); };
        auto B = [&](int32_t l, int32_t j, bool t) { return (long double)(t ? b[j + size_t(l) * ld] : b[l + size_t(j) * ld]); };
        auto S = [&](int32_t i, int32_t j) { return (up ? i <= j : i >= j) ? A(i, j, false) : A(j, i, false); };
        auto X = [&](int32_t i) { return (long double)a[c.inc > 0 ? i * c.inc : (n - 1 - i) * -c.inc]; };
        auto L = [&](int32_t i, int32_t l) { return c.op == 'g' ? A(i, l, tr(c.o1)) : c.op == 'k' ? A(i, l, tr(c.o2)) : c.op == 'r' ? X(i) : left ? S(i, l) : B(i, l, false); };
        auto R = [&](int32_t l, int32_t j) { return c.op == 'g' ? B(l, j, tr(c.o2)) : c.op == 'k' ? A(j, l, tr(c.o2)) : c.op == 'r' ? X(j) : left ? B(l, j, false) : S(l, j); };
        const int32_t rows = sq ? n : m, depth = c.op == 'r' ? 1 : c.op == 's' ? (left ? m : n) : k;
        auto C = random_matrix<T>(size_t(ld) * n, 3);
        if (c.beta0) C.assign(C.size(), nan);
        std::vector<long double> want(C.begin(), C.end());
        for (int32_t j = 0; j < n; ++j)
            for (int32_t i = 0; i < rows; ++i) {
                if (sq && (up ? i > j : i < j)) continue;
                long double s = 0, old = c.beta0 ? 0 : (long double)C[i + size_t(j) * ld];
                for (int32_t l = 0; l < depth; ++l) s += L(i, l) * R(l, j);
                want[i + size_t(j) * ld] = alpha * s + (c.op == 'r' ? old : beta * old);
            }
        std::vector<T> sym = a;   // the order of A is m or n < m
        for (int32_t e = 0; e < m * m && c.op == 's'; ++e)
            if (up ? e % m > e / m : e % m < e / m) sym[e % m + size_t(e / m) * ld] = nan;
        auto F = C;   // the forwarded routine's result
        for (T* out : {C.data(), F.data()}) {
            const bool x = out == C.data();
            if (c.op == 'g') (x ? Api<T>::xgemm : Api<T>::gemm)(c.o1, c.o2, &m, &n, &k, &alpha, a.data(), &ld, b.data(), &ld, &beta, out, &ld);
            if (c.op == 'k') (x ? Api<T>::xsyrk : Api<T>::syrk)(c.o1, c.o2, &n, &k, &alpha, a.data(), &ld, &beta, out, &ld);
            if (c.op == 'r') (x ? Api<T>::xsyr : Api<T>::syr)(c.o1, &n, &alpha, a.data(), &c.inc, out, &ld);
        }
        if (c.op == 's') Api<T>::xsymm(c.o1, c.o2, &m, &n, &alpha, sym.data(), &ld, b.data(), &ld, &beta, C.data(), &ld);
        if (c.op == 's') F = C;   // no forwarded symm
        for (size_t e = 0; e < C.size(); ++e)
            for (T got : {C[e], F[e]}) {
                if (std::isnan((double)want[e]) && std::isnan((double)got)) continue;   // untouched NaN
                ASSERT_NEAR((double)got, (double)want[e], Api<T>::tol * 30 * (1 + std::fabs((double)want[e]))) << e;
            }
    }
}

// Against the system trmm; the packed factor is A's `uplo` triangle, column by column.
TYPED_TEST(Shims, OwnAndPackedTrmmMatchTheSystemTrmmInEveryCombination) {
    using T = TypeParam;
    const int32_t m = 5, n = 3, ldb = 6;
    const T alpha = T(-1.5);   // side, uplo, transa, diag:
    for (const char* side : {"L", "R"})
        for (const char* uplo : {"U", "L"})
            for (const char* trans : {"N", "T"})
                for (const char* diag : {"N", "U"}) {
                    const int32_t order = *side == 'L' ? m : n;
                    auto a = random_matrix<T>(order * order, 7), b0 = random_matrix<T>(ldb * n, 8);
                    auto want = b0, own = b0, kex = b0, packed = b0;
                    Api<T>::trmm(side, uplo, trans, diag, &m, &n, &alpha, a.data(), &order, want.data(), &ldb);
                    Api<T>::kextrmm(side, uplo, trans, diag, &m, &n, &alpha, a.data(), &order, kex.data(), &ldb);
                    Api<T>::xtrmm(side, uplo, trans, diag, &m, &n, &alpha, a.data(), &order, own.data(), &ldb);
                    std::vector<T> ap;
                    for (int32_t c = 0; c < order; ++c)
                        for (int32_t r = *uplo == 'U' ? 0 : c; r < (*uplo == 'U' ? c + 1 : order); ++r) ap.push_back(a[r + c * order]);
                    Api<T>::ptrmm(side, uplo, trans, diag, &m, &n, &alpha, ap.data(), packed.data(), &ldb);
                    SCOPED_TRACE(testing::Message() << side << uplo << trans << diag);
                    for (auto* got : {&kex, &own, &packed}) expect_near_all(*got, want, Api<T>::tol, "trmm");
                    for (int32_t j = 0; j < n; ++j) EXPECT_EQ(packed[m + j * ldb], b0[m + j * ldb]);  // padding row
                }
}

TYPED_TEST(Shims, OwnProductsIgnoreInvalidArguments) {
    using T = TypeParam;
    std::vector<T> a = {1, 2, 3, 4}, b = {5, 6, 7, 8};
    const auto b0 = b;
    const int32_t two = 2, neg = -1, one = 1, zero = 0;
    const T alpha = 1;
    Api<T>::xtrmm("X", "U", "N", "N", &two, &two, &alpha, a.data(), &two, b.data(), &two);
    Api<T>::ptrmm("L", "U", "N", "N", &neg, &two, &alpha, a.data(), b.data(), &two);
    Api<T>::xtrmm("L", "U", "N", "N", &two, &two, &alpha, a.data(), &one, b.data(), &two);   // lda < m
    Api<T>::xgemm("N", "Q", &two, &two, &two, &alpha, a.data(), &two, a.data(), &two, &alpha, b.data(), &two);
    Api<T>::xsyrk("U", "N", &two, &two, &alpha, a.data(), &one, &alpha, b.data(), &two);     // lda < n
    Api<T>::xsyr("U", &two, &alpha, a.data(), &zero, b.data(), &two);                         // increment 0
    Api<T>::xsymm("L", "U", &two, &neg, &alpha, a.data(), &two, a.data(), &two, &alpha, b.data(), &two);
    EXPECT_EQ(b, b0);
}

// 2 [1 2; 3 4] (1, -1) + (1, 1) = (-1, -1). [4 2; 2 3] = L L^T, L = [2 0; 1
// sqrt 2], inverse [3 -2; -2 4] / 8; [1 2; 2 1] fails at order 2; [2 0; 1 4]^-1
// = [0.5 0; -0.125 0.25]; [2 1; 1 2] has eigenvalues 1 and 3 (full and packed).
TYPED_TEST(Shims, GemvAndLapackOnHandCases) {
    using T = TypeParam;
    const int32_t one = 1, two = 2, lwork = 64;
    const T t1 = 1, t2 = 2;
    std::vector<T> g = {1, 3, 2, 4}, v = {1, -1}, y = {1, 1};
    Api<T>::gemv("N", &two, &two, &t2, g.data(), &two, v.data(), &one, &t1, y.data(), &one);
    expect_near_all(y, std::vector<double>{-1, -1}, Api<T>::tol, "gemv");
    int32_t info = -99;
    std::vector<T> a = {4, 2, 2, 3}, bad = {1, 2, 2, 1}, l = {2, 1, 0, 4}, s = {2, 1, 1, 2}, w(2), work(64);
    Api<T>::potrf("L", &two, a.data(), &two, &info);
    expect_near_all(std::vector<T>{a[0], a[1], a[3], T(info)}, std::vector<double>{2, 1, std::sqrt(2.0), 0}, Api<T>::tol, "potrf");
    Api<T>::potri("L", &two, a.data(), &two, &info);
    expect_near_all(std::vector<T>{a[0], a[1], a[3], T(info)}, std::vector<double>{0.375, -0.25, 0.5, 0}, Api<T>::tol, "potri");
    Api<T>::potrf("U", &two, bad.data(), &two, &info);   // info 2
    const T bad_info = T(info);
    Api<T>::trtri("L", "N", &two, l.data(), &two, &info);
    expect_near_all(std::vector<T>{l[0], l[1], l[3], T(info), bad_info}, std::vector<double>{0.5, -0.125, 0.25, 0, 2}, Api<T>::tol, "trtri");
    Api<T>::syev("V", "U", &two, s.data(), &two, w.data(), work.data(), &lwork, &info);
    expect_near_all(std::vector<T>{w[0], w[1], std::fabs(s[0]), T(info)}, std::vector<double>{1, 3, std::sqrt(0.5), 0}, Api<T>::tol, "syev");
    std::vector<T> ap = {2, 1, 2}, z(4);
    std::vector<int32_t> iwork(64);
    Api<T>::spevd("V", "L", &two, ap.data(), w.data(), z.data(), &two, work.data(), &lwork, iwork.data(), &lwork, &info);
    expect_near_all(std::vector<T>{w[0], w[1], T(info)}, std::vector<double>{1, 3, 0}, Api<T>::tol, "spevd");
}

}  // namespace
