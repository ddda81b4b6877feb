// The BLAS and LAPACK shims of the platform object by working precision, so
// that the matrix estimates are written once for float and double.
#pragma once

#include <cstdint>

#include "orvu_linalg.h"

namespace orvu::ss::la {

inline void potrf(const char* u, const int32_t* n, double* a, const int32_t* l, int32_t* i) { orvu_lapack_dpotrf(u, n, a, l, i); }
inline void potrf(const char* u, const int32_t* n, float* a, const int32_t* l, int32_t* i) { orvu_lapack_spotrf(u, n, a, l, i); }
inline void potri(const char* u, const int32_t* n, double* a, const int32_t* l, int32_t* i) { orvu_lapack_dpotri(u, n, a, l, i); }
inline void potri(const char* u, const int32_t* n, float* a, const int32_t* l, int32_t* i) { orvu_lapack_spotri(u, n, a, l, i); }

inline void gemm(const char* ta, const char* tb, const int32_t* m, const int32_t* n, const int32_t* k, const double* al,
                 const double* a, const int32_t* la, const double* b, const int32_t* lb, const double* be, double* c,
                 const int32_t* lc) {
    orvu_blas_dgemm(ta, tb, m, n, k, al, a, la, b, lb, be, c, lc);
}
inline void gemm(const char* ta, const char* tb, const int32_t* m, const int32_t* n, const int32_t* k, const float* al,
                 const float* a, const int32_t* la, const float* b, const int32_t* lb, const float* be, float* c,
                 const int32_t* lc) {
    orvu_blas_sgemm(ta, tb, m, n, k, al, a, la, b, lb, be, c, lc);
}
inline void syev(const char* j, const char* u, const int32_t* n, double* a, const int32_t* l, double* w, double* wk,
                 const int32_t* lw, int32_t* i) {
    orvu_lapack_dsyev(j, u, n, a, l, w, wk, lw, i);
}
inline void syev(const char* j, const char* u, const int32_t* n, float* a, const int32_t* l, float* w, float* wk,
                 const int32_t* lw, int32_t* i) {
    orvu_lapack_ssyev(j, u, n, a, l, w, wk, lw, i);
}

}  // namespace orvu::ss::la
