/* Dense linear algebra and tridiagonal solvers of the platform object
 * (liborvu_serv_c5h1.so).
 *
 * Calling convention (the Fortran one, as the statistics, random and
 * data-fitting code expects): every argument is passed by address; option
 * characters (side, uplo, trans, transa, transb, diag, jobz) are `const char*`
 * pointing at one character; sizes, leading dimensions, increments and info
 * are 32-bit integers; matrices are column-major. Scalars are of the working
 * precision: s = float, d = double.
 *
 * orvu_blas_* / orvu_lapack_*   forward to the system BLAS/LAPACK.
 * orvu_blas_x*                  single-threaded products of this object (Eigen's
 *                               blocked kernels), never start threads: safe
 *                               to call from inside per-thread
 *                               work. Invalid arguments leave the outputs
 *                               untouched; beta = 0 does not read C.
 *                               Their packing space comes from the C heap,
 *                               not the service layer; like the system BLAS,
 *                               they end the process when it cannot be had.
 * orvu_blas4kex_[sd]ptrmm       triangular product with a packed factor.
 * [sd]dt*b_4dfl                 tridiagonal LU without pivoting.
 */
#ifndef ORVU_LINALG_H
#define ORVU_LINALG_H

#include "orvu_base.h"

ORVU_EXTERN_C_BEGIN

/* ---- BLAS level 3 / 2 (forwarded) ------------------------------------- */

/* C := alpha*op(A)*op(B) + beta*C */
ORVU_API void orvu_blas_sgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                              const int32_t* k, const float* alpha, const float* a, const int32_t* lda,
                              const float* b, const int32_t* ldb, const float* beta, float* c,
                              const int32_t* ldc);
ORVU_API void orvu_blas_dgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                              const int32_t* k, const double* alpha, const double* a, const int32_t* lda,
                              const double* b, const int32_t* ldb, const double* beta, double* c,
                              const int32_t* ldc);

/* C := alpha*A*A^T + beta*C (trans 'N') or alpha*A^T*A + beta*C (trans 'T');
 * only the `uplo` triangle of C is referenced. */
ORVU_API void orvu_blas_ssyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                              const float* alpha, const float* a, const int32_t* lda, const float* beta,
                              float* c, const int32_t* ldc);
ORVU_API void orvu_blas_dsyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                              const double* alpha, const double* a, const int32_t* lda, const double* beta,
                              double* c, const int32_t* ldc);

/* A := alpha*x*x^T + A, `uplo` triangle only. */
ORVU_API void orvu_blas_ssyr(const char* uplo, const int32_t* n, const float* alpha, const float* x,
                             const int32_t* incx, float* a, const int32_t* lda);
ORVU_API void orvu_blas_dsyr(const char* uplo, const int32_t* n, const double* alpha, const double* x,
                             const int32_t* incx, double* a, const int32_t* lda);

/* y := alpha*op(A)*x + beta*y */
ORVU_API void orvu_blas_sgemv(const char* trans, const int32_t* m, const int32_t* n, const float* alpha,
                              const float* a, const int32_t* lda, const float* x, const int32_t* incx,
                              const float* beta, float* y, const int32_t* incy);
ORVU_API void orvu_blas_dgemv(const char* trans, const int32_t* m, const int32_t* n, const double* alpha,
                              const double* a, const int32_t* lda, const double* x, const int32_t* incx,
                              const double* beta, double* y, const int32_t* incy);

/* B := alpha*op(A)*B (side 'L') or alpha*B*op(A) (side 'R'), A triangular. */
ORVU_API void orvu_blas_strmm(const char* side, const char* uplo, const char* transa, const char* diag,
                              const int32_t* m, const int32_t* n, const float* alpha, const float* a,
                              const int32_t* lda, float* b, const int32_t* ldb);
ORVU_API void orvu_blas_dtrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                              const int32_t* m, const int32_t* n, const double* alpha, const double* a,
                              const int32_t* lda, double* b, const int32_t* ldb);

/* The same triangular product, for the multivariate Gaussian generator. */
ORVU_API void orvu_blas4kex_strmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                  const int32_t* m, const int32_t* n, const float* alpha, const float* a,
                                  const int32_t* lda, float* b, const int32_t* ldb);
ORVU_API void orvu_blas4kex_dtrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                  const int32_t* m, const int32_t* n, const double* alpha, const double* a,
                                  const int32_t* lda, double* b, const int32_t* ldb);

/* Triangular product with A in packed storage (column by column, the `uplo`
 * triangle only; A has order m for side 'L', n for side 'R'). Every
 * side/uplo/transa/diag combination is supported. */
ORVU_API void orvu_blas4kex_sptrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                   const int32_t* m, const int32_t* n, const float* alpha, const float* ap,
                                   float* b, const int32_t* ldb);
ORVU_API void orvu_blas4kex_dptrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                   const int32_t* m, const int32_t* n, const double* alpha, const double* ap,
                                   double* b, const int32_t* ldb);

/* ---- single-threaded variants (never start threads) ------------------- */

ORVU_API void orvu_blas_xsgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                               const int32_t* k, const float* alpha, const float* a, const int32_t* lda,
                               const float* b, const int32_t* ldb, const float* beta, float* c,
                               const int32_t* ldc);
ORVU_API void orvu_blas_xdgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                               const int32_t* k, const double* alpha, const double* a, const int32_t* lda,
                               const double* b, const int32_t* ldb, const double* beta, double* c,
                               const int32_t* ldc);
ORVU_API void orvu_blas_xssyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                               const float* alpha, const float* a, const int32_t* lda, const float* beta,
                               float* c, const int32_t* ldc);
ORVU_API void orvu_blas_xdsyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                               const double* alpha, const double* a, const int32_t* lda, const double* beta,
                               double* c, const int32_t* ldc);
ORVU_API void orvu_blas_xssyr(const char* uplo, const int32_t* n, const float* alpha, const float* x,
                              const int32_t* incx, float* a, const int32_t* lda);
ORVU_API void orvu_blas_xdsyr(const char* uplo, const int32_t* n, const double* alpha, const double* x,
                              const int32_t* incx, double* a, const int32_t* lda);
/* C := alpha*A*B + beta*C (side 'L') or alpha*B*A + beta*C (side 'R'),
 * A symmetric with only its `uplo` triangle referenced. */
ORVU_API void orvu_blas_xssymm(const char* side, const char* uplo, const int32_t* m, const int32_t* n,
                               const float* alpha, const float* a, const int32_t* lda, const float* b,
                               const int32_t* ldb, const float* beta, float* c, const int32_t* ldc);
ORVU_API void orvu_blas_xdsymm(const char* side, const char* uplo, const int32_t* m, const int32_t* n,
                               const double* alpha, const double* a, const int32_t* lda, const double* b,
                               const int32_t* ldb, const double* beta, double* c, const int32_t* ldc);
ORVU_API void orvu_blas_xstrmm_4kex(const char* side, const char* uplo, const char* transa, const char* diag,
                                    const int32_t* m, const int32_t* n, const float* alpha, const float* a,
                                    const int32_t* lda, float* b, const int32_t* ldb);
ORVU_API void orvu_blas_xdtrmm_4kex(const char* side, const char* uplo, const char* transa, const char* diag,
                                    const int32_t* m, const int32_t* n, const double* alpha, const double* a,
                                    const int32_t* lda, double* b, const int32_t* ldb);

/* ---- LAPACK (forwarded); info 0 = success, < 0 bad argument, > 0 failure */

/* Cholesky factor of a symmetric positive definite A; info = k > 0 when the
 * leading minor of order k is not positive definite. */
ORVU_API void orvu_lapack_spotrf(const char* uplo, const int32_t* n, float* a, const int32_t* lda,
                                 int32_t* info);
ORVU_API void orvu_lapack_dpotrf(const char* uplo, const int32_t* n, double* a, const int32_t* lda,
                                 int32_t* info);
/* Inverse of A from its Cholesky factor (output of potrf), `uplo` triangle. */
ORVU_API void orvu_lapack_spotri(const char* uplo, const int32_t* n, float* a, const int32_t* lda,
                                 int32_t* info);
ORVU_API void orvu_lapack_dpotri(const char* uplo, const int32_t* n, double* a, const int32_t* lda,
                                 int32_t* info);
/* Inverse of a triangular matrix in place. */
ORVU_API void orvu_lapack_strtri(const char* uplo, const char* diag, const int32_t* n, float* a,
                                 const int32_t* lda, int32_t* info);
ORVU_API void orvu_lapack_dtrtri(const char* uplo, const char* diag, const int32_t* n, double* a,
                                 const int32_t* lda, int32_t* info);
/* Eigenvalues (ascending, in w) and, for jobz 'V', eigenvectors (in a) of a
 * symmetric matrix. lwork = -1 queries the work size into work[0]. */
ORVU_API void orvu_lapack_ssyev(const char* jobz, const char* uplo, const int32_t* n, float* a,
                                const int32_t* lda, float* w, float* work, const int32_t* lwork,
                                int32_t* info);
ORVU_API void orvu_lapack_dsyev(const char* jobz, const char* uplo, const int32_t* n, double* a,
                                const int32_t* lda, double* w, double* work, const int32_t* lwork,
                                int32_t* info);
/* The same for a packed symmetric matrix, divide and conquer. lwork = -1 or
 * liwork = -1 queries the sizes into work[0] and iwork[0]. */
ORVU_API void orvu_lapack_sspevd(const char* jobz, const char* uplo, const int32_t* n, float* ap, float* w,
                                 float* z, const int32_t* ldz, float* work, const int32_t* lwork,
                                 int32_t* iwork, const int32_t* liwork, int32_t* info);
ORVU_API void orvu_lapack_dspevd(const char* jobz, const char* uplo, const int32_t* n, double* ap, double* w,
                                 double* z, const int32_t* ldz, double* work, const int32_t* lwork,
                                 int32_t* iwork, const int32_t* liwork, int32_t* info);

/* ---- tridiagonal systems without pivoting ------------------------------
 * A has sub-diagonal dl[0..n-2], diagonal d[0..n-1], super-diagonal
 * du[0..n-2]. Meant for diagonally dominant systems.
 * info: 0 success; -k the k-th argument is invalid; k > 0 the k-th pivot
 * (1-based) is exactly zero, in which case nothing is solved. */

/* A = L*U in place: dl receives the multipliers of L, d the pivots of U;
 * du is U's super-diagonal and is not changed. */
ORVU_API void sdttrfb_4dfl(const int32_t* n, float* dl, float* d, float* du, int32_t* info);
ORVU_API void ddttrfb_4dfl(const int32_t* n, double* dl, double* d, double* du, int32_t* info);

/* Solves A*X = B (trans 'N') or A^T*X = B (trans 'T' or 'C') with the output
 * of *dttrfb_4dfl; B is n x nrhs with leading dimension ldb and receives X. */
ORVU_API void sdttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const float* dl,
                           const float* d, const float* du, float* b, const int32_t* ldb, int32_t* info);
ORVU_API void ddttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const double* dl,
                           const double* d, const double* du, double* b, const int32_t* ldb, int32_t* info);

/* Factorization and solution in one call (dl and d are overwritten by the
 * factors as in *dttrfb_4dfl). */
ORVU_API void sdtsvb_4dfl(const int32_t* n, const int32_t* nrhs, float* dl, float* d, float* du, float* b,
                          const int32_t* ldb, int32_t* info);
ORVU_API void ddtsvb_4dfl(const int32_t* n, const int32_t* nrhs, double* dl, double* d, double* du, double* b,
                          const int32_t* ldb, int32_t* info);

ORVU_EXTERN_C_END

#endif /* ORVU_LINALG_H */
