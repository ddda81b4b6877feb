// Triangular matrix products B := alpha*op(A)*B or alpha*B*op(A) with A in
// packed storage (orvu_blas4kex_[sd]ptrmm), which no blocked library takes;
// the full-storage single-threaded form is in own_products.cc. Every
// side/uplo/transa/diag combination works. Invalid arguments leave B
// untouched.
//
// The product is formed in place without scratch memory: each new element
// of B needs only elements of B that have not been overwritten yet, which
// fixes the direction of the sweep (see `in_place_order`).
#include "orvu_linalg.h"
#include "platform/blas_options.h"

namespace {

using orvu::platform::at;
using orvu::platform::at_least_one;
using orvu::platform::option;
using orvu::platform::trans_option;

// A packed column by column: upper, (r, c) with r <= c at r + c(c+1)/2;
// lower, (r, c) with r >= c at r + c(2n-c-1)/2, n the order of A.
template <class T>
struct PackedTriangle {
    const T* ap;
    int32_t order;
    bool upper;
    T operator()(int32_t r, int32_t c) const {
        int64_t c64 = c;
        return upper ? ap[r + c64 * (c64 + 1) / 2] : ap[r + c64 * (2 * static_cast<int64_t>(order) - c64 - 1) / 2];
    }
};

struct Shape {
    bool left, upper, trans, unit;
};

template <class T, class Triangle>
void trmm(Shape s, int32_t m, int32_t n, T alpha, const Triangle& tri, T* b, int32_t ldb) {
    if (m == 0 || n == 0) return;
    if (alpha == T(0)) {
        for (int32_t j = 0; j < n; ++j)
            for (int32_t i = 0; i < m; ++i) b[at(i, j, ldb)] = T(0);
        return;
    }
    // op(A)(r, c), called only inside op(A)'s triangle.
    auto op = [&](int32_t r, int32_t c) { return s.trans ? tri(c, r) : tri(r, c); };
    // op(A) is upper triangular when exactly one of uplo 'U' and transposition holds.
    bool op_upper = s.upper != s.trans;

    if (s.left) {
        // Column by column: b_i = alpha * sum_k op(A)(i, k) b_k. An upper op(A)
        // reads b_k for k >= i, so i runs upwards; a lower one downwards.
        for (int32_t j = 0; j < n; ++j) {
            T* bj = b + at(0, j, ldb);
            for (int32_t step = 0; step < m; ++step) {
                int32_t i = op_upper ? step : m - 1 - step;
                T sum = s.unit ? bj[i] : op(i, i) * bj[i];
                if (op_upper)
                    for (int32_t k = i + 1; k < m; ++k) sum += op(i, k) * bj[k];
                else
                    for (int32_t k = 0; k < i; ++k) sum += op(i, k) * bj[k];
                bj[i] = alpha * sum;
            }
        }
        return;
    }
    // Right side: column j of the result is alpha * sum_k op(A)(k, j) B(:, k).
    // An upper op(A) needs columns k <= j, so j runs downwards; a lower one upwards.
    for (int32_t step = 0; step < n; ++step) {
        int32_t j = op_upper ? n - 1 - step : step;
        T* bj = b + at(0, j, ldb);
        T d = s.unit ? alpha : alpha * op(j, j);
        for (int32_t i = 0; i < m; ++i) bj[i] *= d;
        int32_t from = op_upper ? 0 : j + 1, to = op_upper ? j : n;
        for (int32_t k = from; k < to; ++k) {
            T t = alpha * op(k, j);
            const T* bk = b + at(0, k, ldb);
            for (int32_t i = 0; i < m; ++i) bj[i] += t * bk[i];
        }
    }
}

// Shared argument check; false when the call must do nothing.
bool read_shape(const char* side, const char* uplo, const char* transa, const char* diag, int32_t m, int32_t n,
                int32_t ldb, Shape* s) {
    int l = option(side, 'L', 'R'), u = option(uplo, 'U', 'L'), t = trans_option(transa), d = option(diag, 'U', 'N');
    if (l < 0 || u < 0 || t < 0 || d < 0 || m < 0 || n < 0 || ldb < at_least_one(m)) return false;
    *s = Shape{l == 1, u == 1, t == 1, d == 1};
    return true;
}

template <class T>
void packed_trmm(const char* side, const char* uplo, const char* transa, const char* diag, int32_t m, int32_t n,
                 T alpha, const T* ap, T* b, int32_t ldb) {
    Shape s;
    if (!read_shape(side, uplo, transa, diag, m, n, ldb, &s)) return;
    trmm(s, m, n, alpha, PackedTriangle<T>{ap, s.left ? m : n, s.upper}, b, ldb);
}

}  // namespace

extern "C" {

#define ORVU_TRIANGULAR_PRODUCTS(p, T)                                                                           \
    void orvu_blas4kex_##p##ptrmm(const char* side, const char* uplo, const char* transa, const char* diag,      \
                                  const int32_t* m, const int32_t* n, const T* alpha, const T* ap, T* b,         \
                                  const int32_t* ldb) {                                                          \
        packed_trmm(side, uplo, transa, diag, *m, *n, *alpha, ap, b, *ldb);                                      \
    }
ORVU_TRIANGULAR_PRODUCTS(s, float)
ORVU_TRIANGULAR_PRODUCTS(d, double)
#undef ORVU_TRIANGULAR_PRODUCTS

}  // extern "C"
