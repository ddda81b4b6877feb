// Tridiagonal systems by LU factorization without pivoting, for the
// diagonally dominant systems of spline construction (where pivoting never
// changes the order and only costs time).
//
//   A = L*U,  L = unit lower bidiagonal with multipliers dl[i] below the
//   diagonal, U = upper bidiagonal with pivots d[i] and super-diagonal du[i].
#include "orvu_linalg.h"

namespace {

bool is_trans(char c) { return c == 'T' || c == 't' || c == 'C' || c == 'c'; }
bool is_notrans(char c) { return c == 'N' || c == 'n'; }

// Returns 0, or the 1-based index of the first zero pivot; the factors are
// complete up to that pivot and the rest of the arrays is untouched.
template <class T>
int32_t factor(int32_t n, T* dl, T* d, const T* du) {
    for (int32_t i = 0; i + 1 < n; ++i) {
        if (d[i] == T(0)) return i + 1;
        T l = dl[i] / d[i];
        dl[i] = l;
        d[i + 1] -= l * du[i];
    }
    if (n > 0 && d[n - 1] == T(0)) return n;
    return 0;
}

// One right-hand side, x overwriting b.
template <class T>
void solve_one(bool trans, int32_t n, const T* dl, const T* d, const T* du, T* b) {
    if (!trans) {
        // L*y = b forward, then U*x = y backward.
        for (int32_t i = 1; i < n; ++i) b[i] -= dl[i - 1] * b[i - 1];
        b[n - 1] /= d[n - 1];
        for (int32_t i = n - 2; i >= 0; --i) b[i] = (b[i] - du[i] * b[i + 1]) / d[i];
    } else {
        // A^T = U^T * L^T: U^T*z = b forward, then L^T*x = z backward.
        b[0] /= d[0];
        for (int32_t i = 1; i < n; ++i) b[i] = (b[i] - du[i - 1] * b[i - 1]) / d[i];
        for (int32_t i = n - 2; i >= 0; --i) b[i] -= dl[i] * b[i + 1];
    }
}

template <class T>
void solve(bool trans, int32_t n, int32_t nrhs, const T* dl, const T* d, const T* du, T* b, int32_t ldb) {
    if (n == 0) return;
    for (int32_t j = 0; j < nrhs; ++j) solve_one(trans, n, dl, d, du, b + static_cast<int64_t>(j) * ldb);
}

template <class T>
void trf(const int32_t* n, T* dl, T* d, T* du, int32_t* info) {
    if (*n < 0) {
        *info = -1;
        return;
    }
    *info = factor(*n, dl, d, du);
}

template <class T>
void trs(const char* trans, const int32_t* n, const int32_t* nrhs, const T* dl, const T* d, const T* du, T* b,
         const int32_t* ldb, int32_t* info) {
    // Argument numbers as in the list: trans 1, n 2, nrhs 3, ldb 8.
    if (!is_trans(*trans) && !is_notrans(*trans)) *info = -1;
    else if (*n < 0) *info = -2;
    else if (*nrhs < 0) *info = -3;
    else if (*ldb < (*n > 1 ? *n : 1)) *info = -8;
    else *info = 0;
    if (*info == 0) solve(is_trans(*trans), *n, *nrhs, dl, d, du, b, *ldb);
}

template <class T>
void sv(const int32_t* n, const int32_t* nrhs, T* dl, T* d, T* du, T* b, const int32_t* ldb, int32_t* info) {
    // Argument numbers: n 1, nrhs 2, ldb 7.
    if (*n < 0) *info = -1;
    else if (*nrhs < 0) *info = -2;
    else if (*ldb < (*n > 1 ? *n : 1)) *info = -7;
    else *info = factor(*n, dl, d, du);
    if (*info == 0) solve(false, *n, *nrhs, dl, d, du, b, *ldb);
}

}  // namespace

extern "C" {

void sdttrfb_4dfl(const int32_t* n, float* dl, float* d, float* du, int32_t* info) { trf(n, dl, d, du, info); }
void ddttrfb_4dfl(const int32_t* n, double* dl, double* d, double* du, int32_t* info) { trf(n, dl, d, du, info); }

void sdttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const float* dl, const float* d,
                  const float* du, float* b, const int32_t* ldb, int32_t* info) {
    trs(trans, n, nrhs, dl, d, du, b, ldb, info);
}
void ddttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const double* dl, const double* d,
                  const double* du, double* b, const int32_t* ldb, int32_t* info) {
    trs(trans, n, nrhs, dl, d, du, b, ldb, info);
}

void sdtsvb_4dfl(const int32_t* n, const int32_t* nrhs, float* dl, float* d, float* du, float* b,
                 const int32_t* ldb, int32_t* info) {
    sv(n, nrhs, dl, d, du, b, ldb, info);
}
void ddtsvb_4dfl(const int32_t* n, const int32_t* nrhs, double* dl, double* d, double* du, double* b,
                 const int32_t* ldb, int32_t* info) {
    sv(n, nrhs, dl, d, du, b, ldb, info);
}

}  // extern "C"
