// Precision-generic access to the platform's tridiagonal solvers.
#ifndef ORVU_DF_TRIDIAG_H
#define ORVU_DF_TRIDIAG_H

#include "orvu_linalg.h"

namespace orvu::df {

inline int32_t trf(int32_t n, float* dl, float* d, float* du) {
    int32_t info = 0;
    sdttrfb_4dfl(&n, dl, d, du, &info);
    return info;
}
inline int32_t trf(int32_t n, double* dl, double* d, double* du) {
    int32_t info = 0;
    ddttrfb_4dfl(&n, dl, d, du, &info);
    return info;
}
inline int32_t trs(int32_t n, int32_t nrhs, const float* dl, const float* d, const float* du, float* b, int32_t ldb) {
    int32_t info = 0;
    const char tr = 'N';
    sdttrsb_4dfl(&tr, &n, &nrhs, dl, d, du, b, &ldb, &info);
    return info;
}
inline int32_t trs(int32_t n, int32_t nrhs, const double* dl, const double* d, const double* du, double* b,
                   int32_t ldb) {
    int32_t info = 0;
    const char tr = 'N';
    ddttrsb_4dfl(&tr, &n, &nrhs, dl, d, du, b, &ldb, &info);
    return info;
}
inline int32_t tsv(int32_t n, int32_t nrhs, float* dl, float* d, float* du, float* b, int32_t ldb) {
    int32_t info = 0;
    sdtsvb_4dfl(&n, &nrhs, dl, d, du, b, &ldb, &info);
    return info;
}
inline int32_t tsv(int32_t n, int32_t nrhs, double* dl, double* d, double* du, double* b, int32_t ldb) {
    int32_t info = 0;
    ddtsvb_4dfl(&n, &nrhs, dl, d, du, b, &ldb, &info);
    return info;
}

}  // namespace orvu::df

#endif
