// General, symmetric rank-k, rank-1 and symmetric products written as plain
// loops. These are the single-threaded variants (orvu_blas_x*): they start no
// threads and touch no process-wide setting, so per-thread work can call them
// freely. Invalid arguments (unknown option, negative size, too small leading
// dimension or zero increment) leave the outputs untouched.
//
// As in BLAS, beta = 0 means C is not read (NaNs in C do not survive), and
// alpha = 0 skips the products.
#include "orvu_linalg.h"
#include "platform/blas_options.h"

namespace {

using orvu::platform::at;
using orvu::platform::at_least_one;
using orvu::platform::option;
using orvu::platform::trans_option;

template <class T>
void scale_column(T* c, int32_t from, int32_t to, T beta) {
    if (beta == T(1)) return;
    for (int32_t i = from; i < to; ++i) c[i] = beta == T(0) ? T(0) : beta * c[i];
}

template <class T>
void gemm(const char* transa, const char* transb, int32_t m, int32_t n, int32_t k, T alpha, const T* a,
          int32_t lda, const T* b, int32_t ldb, T beta, T* c, int32_t ldc) {
    int ta = trans_option(transa), tb = trans_option(transb);
    if (ta < 0 || tb < 0 || m < 0 || n < 0 || k < 0) return;
    if (lda < at_least_one(ta ? k : m) || ldb < at_least_one(tb ? n : k) || ldc < at_least_one(m)) return;
    for (int32_t j = 0; j < n; ++j) {
        T* cj = c + at(0, j, ldc);
        scale_column(cj, 0, m, beta);
        if (alpha == T(0)) continue;
        auto bv = [&](int32_t l) { return tb ? b[at(j, l, ldb)] : b[at(l, j, ldb)]; };
        if (!ta) {
            // One axpy per column of A (contiguous).
            for (int32_t l = 0; l < k; ++l) {
                T t = alpha * bv(l);
                const T* al = a + at(0, l, lda);
                for (int32_t i = 0; i < m; ++i) cj[i] += t * al[i];
            }
        } else {
            // Row i of op(A) is column i of A: a dot product per element.
            for (int32_t i = 0; i < m; ++i) {
                const T* ai = a + at(0, i, lda);
                T s = T(0);
                for (int32_t l = 0; l < k; ++l) s += ai[l] * bv(l);
                cj[i] += alpha * s;
            }
        }
    }
}

template <class T>
void syrk(const char* uplo, const char* trans, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, T beta,
          T* c, int32_t ldc) {
    int up = option(uplo, 'U', 'L'), tr = trans_option(trans);
    if (up < 0 || tr < 0 || n < 0 || k < 0) return;
    if (lda < at_least_one(tr ? k : n) || ldc < at_least_one(n)) return;
    for (int32_t j = 0; j < n; ++j) {
        int32_t from = up ? 0 : j, to = up ? j + 1 : n;  // the stored part of column j
        T* cj = c + at(0, j, ldc);
        scale_column(cj, from, to, beta);
        if (alpha == T(0)) continue;
        if (!tr) {
            // C += alpha * A * A^T, A is n x k: one axpy per column of A.
            for (int32_t l = 0; l < k; ++l) {
                T t = alpha * a[at(j, l, lda)];
                const T* al = a + at(0, l, lda);
                for (int32_t i = from; i < to; ++i) cj[i] += t * al[i];
            }
        } else {
            // C += alpha * A^T * A, A is k x n: dot products of columns.
            const T* aj = a + at(0, j, lda);
            for (int32_t i = from; i < to; ++i) {
                const T* ai = a + at(0, i, lda);
                T s = T(0);
                for (int32_t l = 0; l < k; ++l) s += ai[l] * aj[l];
                cj[i] += alpha * s;
            }
        }
    }
}

template <class T>
void syr(const char* uplo, int32_t n, T alpha, const T* x, int32_t incx, T* a, int32_t lda) {
    int up = option(uplo, 'U', 'L');
    if (up < 0 || n < 0 || incx == 0 || lda < at_least_one(n)) return;
    if (n == 0 || alpha == T(0)) return;
    // A negative increment walks x backwards from its last element, as in BLAS.
    int64_t start = incx > 0 ? 0 : static_cast<int64_t>(1 - n) * incx;
    auto xv = [&](int32_t i) { return x[start + static_cast<int64_t>(i) * incx]; };
    for (int32_t j = 0; j < n; ++j) {
        T t = alpha * xv(j);
        T* aj = a + at(0, j, lda);
        int32_t from = up ? 0 : j, to = up ? j + 1 : n;
        for (int32_t i = from; i < to; ++i) aj[i] += xv(i) * t;
    }
}

template <class T>
void symm(const char* side, const char* uplo, int32_t m, int32_t n, T alpha, const T* a, int32_t lda, const T* b,
          int32_t ldb, T beta, T* c, int32_t ldc) {
    int left = option(side, 'L', 'R'), up = option(uplo, 'U', 'L');
    if (left < 0 || up < 0 || m < 0 || n < 0) return;
    if (lda < at_least_one(left ? m : n) || ldb < at_least_one(m) || ldc < at_least_one(m)) return;
    // Element (r, c) of the symmetric A from its stored triangle.
    auto sym = [&](int32_t r, int32_t col) {
        bool stored = up ? r <= col : r >= col;
        return stored ? a[at(r, col, lda)] : a[at(col, r, lda)];
    };
    for (int32_t j = 0; j < n; ++j) {
        T* cj = c + at(0, j, ldc);
        scale_column(cj, 0, m, beta);
        if (alpha == T(0)) continue;
        if (left) {
            // C(:, j) += alpha * A * B(:, j)
            for (int32_t l = 0; l < m; ++l) {
                T t = alpha * b[at(l, j, ldb)];
                for (int32_t i = 0; i < m; ++i) cj[i] += t * sym(i, l);
            }
        } else {
            // C(:, j) += alpha * B * A(:, j)
            for (int32_t l = 0; l < n; ++l) {
                T t = alpha * sym(l, j);
                const T* bl = b + at(0, l, ldb);
                for (int32_t i = 0; i < m; ++i) cj[i] += t * bl[i];
            }
        }
    }
}

}  // namespace

extern "C" {

#define ORVU_OWN_PRODUCTS(p, T)                                                                                  \
    void orvu_blas_x##p##gemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,        \
                              const int32_t* k, const T* alpha, const T* a, const int32_t* lda, const T* b,      \
                              const int32_t* ldb, const T* beta, T* c, const int32_t* ldc) {                     \
        gemm(transa, transb, *m, *n, *k, *alpha, a, *lda, b, *ldb, *beta, c, *ldc);                              \
    }                                                                                                            \
    void orvu_blas_x##p##syrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,           \
                              const T* alpha, const T* a, const int32_t* lda, const T* beta, T* c,               \
                              const int32_t* ldc) {                                                              \
        syrk(uplo, trans, *n, *k, *alpha, a, *lda, *beta, c, *ldc);                                              \
    }                                                                                                            \
    void orvu_blas_x##p##syr(const char* uplo, const int32_t* n, const T* alpha, const T* x,                     \
                             const int32_t* incx, T* a, const int32_t* lda) {                                    \
        syr(uplo, *n, *alpha, x, *incx, a, *lda);                                                                \
    }                                                                                                            \
    void orvu_blas_x##p##symm(const char* side, const char* uplo, const int32_t* m, const int32_t* n,            \
                              const T* alpha, const T* a, const int32_t* lda, const T* b, const int32_t* ldb,    \
                              const T* beta, T* c, const int32_t* ldc) {                                         \
        symm(side, uplo, *m, *n, *alpha, a, *lda, b, *ldb, *beta, c, *ldc);                                      \
    }
ORVU_OWN_PRODUCTS(s, float)
ORVU_OWN_PRODUCTS(d, double)
#undef ORVU_OWN_PRODUCTS

}  // extern "C"
