// LAPACK routines forwarded to the system LAPACK (the one inside OpenBLAS).
// Hidden character lengths are passed as in blas_forward.cc: the eigen-solvers
// there are compiled Fortran and are entitled to read them.
#include "orvu_linalg.h"

using flen = size_t;  // the hidden character length type of gfortran >= 8

extern "C" {
#define ORVU_SYSTEM_LAPACK(p, T)                                                                                 \
    void p##potrf_(const char*, const int32_t*, T*, const int32_t*, int32_t*, flen);                             \
    void p##potri_(const char*, const int32_t*, T*, const int32_t*, int32_t*, flen);                             \
    void p##trtri_(const char*, const char*, const int32_t*, T*, const int32_t*, int32_t*, flen, flen);          \
    void p##syev_(const char*, const char*, const int32_t*, T*, const int32_t*, T*, T*, const int32_t*,          \
                  int32_t*, flen, flen);                                                                         \
    void p##spevd_(const char*, const char*, const int32_t*, T*, T*, T*, const int32_t*, T*, const int32_t*,     \
                   int32_t*, const int32_t*, int32_t*, flen, flen);
ORVU_SYSTEM_LAPACK(s, float)
ORVU_SYSTEM_LAPACK(d, double)
#undef ORVU_SYSTEM_LAPACK

#define ORVU_FORWARD_LAPACK(p, T)                                                                                \
    void orvu_lapack_##p##potrf(const char* uplo, const int32_t* n, T* a, const int32_t* lda, int32_t* info) {   \
        p##potrf_(uplo, n, a, lda, info, 1);                                                                     \
    }                                                                                                            \
    void orvu_lapack_##p##potri(const char* uplo, const int32_t* n, T* a, const int32_t* lda, int32_t* info) {   \
        p##potri_(uplo, n, a, lda, info, 1);                                                                     \
    }                                                                                                            \
    void orvu_lapack_##p##trtri(const char* uplo, const char* diag, const int32_t* n, T* a, const int32_t* lda,  \
                                int32_t* info) {                                                                 \
        p##trtri_(uplo, diag, n, a, lda, info, 1, 1);                                                            \
    }                                                                                                            \
    void orvu_lapack_##p##syev(const char* jobz, const char* uplo, const int32_t* n, T* a, const int32_t* lda,   \
                               T* w, T* work, const int32_t* lwork, int32_t* info) {                             \
        p##syev_(jobz, uplo, n, a, lda, w, work, lwork, info, 1, 1);                                             \
    }                                                                                                            \
    void orvu_lapack_##p##spevd(const char* jobz, const char* uplo, const int32_t* n, T* ap, T* w, T* z,         \
                                const int32_t* ldz, T* work, const int32_t* lwork, int32_t* iwork,               \
                                const int32_t* liwork, int32_t* info) {                                          \
        p##spevd_(jobz, uplo, n, ap, w, z, ldz, work, lwork, iwork, liwork, info, 1, 1);                         \
    }
ORVU_FORWARD_LAPACK(s, float)
ORVU_FORWARD_LAPACK(d, double)
#undef ORVU_FORWARD_LAPACK
}  // extern "C"
