// BLAS routines forwarded to the system BLAS (OpenBLAS), which may use its
// own threads. The x-prefixed single-threaded variants are in
// own_products.cc (Eigen).
//
// The system routines follow the Fortran convention. Every option character
// is followed by a hidden length argument at the end of the list; the C
// routines of OpenBLAS ignore it, but a Fortran-compiled routine may read it,
// so it is always passed (1 for each option).
#include "orvu_linalg.h"

using flen = size_t;  // the hidden character length type of gfortran >= 8

extern "C" {
#define ORVU_SYSTEM_BLAS(p, T)                                                                                   \
    void p##gemm_(const char*, const char*, const int32_t*, const int32_t*, const int32_t*, const T*, const T*,  \
                  const int32_t*, const T*, const int32_t*, const T*, T*, const int32_t*, flen, flen);           \
    void p##syrk_(const char*, const char*, const int32_t*, const int32_t*, const T*, const T*, const int32_t*,  \
                  const T*, T*, const int32_t*, flen, flen);                                                     \
    void p##syr_(const char*, const int32_t*, const T*, const T*, const int32_t*, T*, const int32_t*, flen);      \
    void p##gemv_(const char*, const int32_t*, const int32_t*, const T*, const T*, const int32_t*, const T*,     \
                  const int32_t*, const T*, T*, const int32_t*, flen);                                           \
    void p##trmm_(const char*, const char*, const char*, const char*, const int32_t*, const int32_t*, const T*, \
                  const T*, const int32_t*, T*, const int32_t*, flen, flen, flen, flen);
ORVU_SYSTEM_BLAS(s, float)
ORVU_SYSTEM_BLAS(d, double)
#undef ORVU_SYSTEM_BLAS

// The exported shims, one set per precision.
#define ORVU_FORWARD_BLAS(p, T)                                                                                  \
    void orvu_blas_##p##gemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,         \
                             const int32_t* k, const T* alpha, const T* a, const int32_t* lda, const T* b,       \
                             const int32_t* ldb, const T* beta, T* c, const int32_t* ldc) {                      \
        p##gemm_(transa, transb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, 1, 1);                            \
    }                                                                                                            \
    void orvu_blas_##p##syrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,            \
                             const T* alpha, const T* a, const int32_t* lda, const T* beta, T* c,                \
                             const int32_t* ldc) {                                                               \
        p##syrk_(uplo, trans, n, k, alpha, a, lda, beta, c, ldc, 1, 1);                                          \
    }                                                                                                            \
    void orvu_blas_##p##syr(const char* uplo, const int32_t* n, const T* alpha, const T* x, const int32_t* incx, \
                            T* a, const int32_t* lda) {                                                          \
        p##syr_(uplo, n, alpha, x, incx, a, lda, 1);                                                             \
    }                                                                                                            \
    void orvu_blas_##p##gemv(const char* trans, const int32_t* m, const int32_t* n, const T* alpha, const T* a,  \
                             const int32_t* lda, const T* x, const int32_t* incx, const T* beta, T* y,           \
                             const int32_t* incy) {                                                              \
        p##gemv_(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, 1);                                         \
    }                                                                                                            \
    void orvu_blas_##p##trmm(const char* side, const char* uplo, const char* transa, const char* diag,           \
                             const int32_t* m, const int32_t* n, const T* alpha, const T* a, const int32_t* lda, \
                             T* b, const int32_t* ldb) {                                                         \
        p##trmm_(side, uplo, transa, diag, m, n, alpha, a, lda, b, ldb, 1, 1, 1, 1);                             \
    }                                                                                                            \
    void orvu_blas4kex_##p##trmm(const char* side, const char* uplo, const char* transa, const char* diag,       \
                                 const int32_t* m, const int32_t* n, const T* alpha, const T* a,                 \
                                 const int32_t* lda, T* b, const int32_t* ldb) {                                 \
        p##trmm_(side, uplo, transa, diag, m, n, alpha, a, lda, b, ldb, 1, 1, 1, 1);                             \
    }
ORVU_FORWARD_BLAS(s, float)
ORVU_FORWARD_BLAS(d, double)
#undef ORVU_FORWARD_BLAS
}  // extern "C"
