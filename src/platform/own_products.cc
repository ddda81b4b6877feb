// The single-threaded products orvu_blas_x[sd]{gemm,syrk,syr,symm,trmm_4kex}: argument
// checks, then Eigen's blocked kernels (eigen_products.h) in the build for
// the processor: AVX2 with FMA when it has them, the baseline otherwise.
// They start no threads and touch no process-wide setting, so per-thread work
// can call them freely.
//
// Invalid arguments (unknown option, negative size, too small leading
// dimension or zero increment) leave the outputs untouched. As in BLAS,
// beta = 0 means C is not read (NaNs in C do not survive), and alpha = 0
// skips the products.
#define ORVU_PRODUCTS_NS base
#define ORVU_EIGEN_NS orvu_eigen_base
#include "platform/eigen_products.h"

#include "orvu_linalg.h"
#include "platform/blas_options.h"

namespace orvu::platform {

#ifndef ORVU_WIDE_PRODUCTS
const Products* wide_products() { return nullptr; }
#endif

namespace {

const Products& products() {
    static const Products* chosen = [] {
        const Products* w = wide_products();
#if defined(__i386__) || defined(__x86_64__)
        // The check includes the system's support of the wide registers.
        __builtin_cpu_init();
        if (w && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return w;
#endif
        (void)w;
        return &base::kProducts;
    }();
    return *chosen;
}
template <class T> const ProductsOf<T>& of();
template <> const ProductsOf<double>& of<double>() { return products().d; }
template <> const ProductsOf<float>& of<float>() { return products().s; }

template <class T>
void gemm(const char* transa, const char* transb, int32_t m, int32_t n, int32_t k, T alpha, const T* a,
          int32_t lda, const T* b, int32_t ldb, T beta, T* c, int32_t ldc) {
    const int ta = trans_option(transa), tb = trans_option(transb);
    if (ta < 0 || tb < 0 || m < 0 || n < 0 || k < 0) return;
    if (lda < at_least_one(ta ? k : m) || ldb < at_least_one(tb ? n : k) || ldc < at_least_one(m)) return;
    if (m == 0 || n == 0) return;
    of<T>().gemm(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc);
}

template <class T>
void syrk(const char* uplo, const char* trans, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, T beta,
          T* c, int32_t ldc) {
    const int up = option(uplo, 'U', 'L'), tr = trans_option(trans);
    if (up < 0 || tr < 0 || n < 0 || k < 0) return;
    if (lda < at_least_one(tr ? k : n) || ldc < at_least_one(n)) return;
    if (n == 0) return;
    of<T>().syrk(up, tr, n, k, alpha, a, lda, beta, c, ldc);
}

template <class T>
void syr(const char* uplo, int32_t n, T alpha, const T* x, int32_t incx, T* a, int32_t lda) {
    const int up = option(uplo, 'U', 'L');
    if (up < 0 || n < 0 || incx == 0 || lda < at_least_one(n)) return;
    if (n == 0 || alpha == T(0)) return;
    of<T>().syr(up, n, alpha, x, incx, a, lda);
}

template <class T>
void symm(const char* side, const char* uplo, int32_t m, int32_t n, T alpha, const T* a, int32_t lda, const T* b,
          int32_t ldb, T beta, T* c, int32_t ldc) {
    const int left = option(side, 'L', 'R'), up = option(uplo, 'U', 'L');
    if (left < 0 || up < 0 || m < 0 || n < 0) return;
    if (lda < at_least_one(left ? m : n) || ldb < at_least_one(m) || ldc < at_least_one(m)) return;
    if (m == 0 || n == 0) return;
    of<T>().symm(left, up, m, n, alpha, a, lda, b, ldb, beta, c, ldc);
}

template <class T>
void trmm(const char* side, const char* uplo, const char* transa, const char* diag, int32_t m, int32_t n, T alpha,
          const T* a, int32_t lda, T* b, int32_t ldb) {
    const int left = option(side, 'L', 'R'), up = option(uplo, 'U', 'L'), tr = trans_option(transa),
              unit = option(diag, 'U', 'N');
    if (left < 0 || up < 0 || tr < 0 || unit < 0 || m < 0 || n < 0) return;
    if (lda < at_least_one(left ? m : n) || ldb < at_least_one(m)) return;
    if (m == 0 || n == 0) return;
    of<T>().trmm(left, up, tr, unit, m, n, alpha, a, lda, b, ldb);
}

}  // namespace
}  // namespace orvu::platform

using namespace orvu::platform;

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
    }                                                                                                            \
    void orvu_blas_x##p##trmm_4kex(const char* side, const char* uplo, const char* transa, const char* diag,     \
                                   const int32_t* m, const int32_t* n, const T* alpha, const T* a,               \
                                   const int32_t* lda, T* b, const int32_t* ldb) {                               \
        trmm(side, uplo, transa, diag, *m, *n, *alpha, a, *lda, b, *ldb);                                        \
    }
ORVU_OWN_PRODUCTS(s, float)
ORVU_OWN_PRODUCTS(d, double)
#undef ORVU_OWN_PRODUCTS

}  // extern "C"
