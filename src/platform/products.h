// The table of one build of the single-threaded products (eigen_products.h),
// taking checked arguments: options as 0/1 (transposed, upper, left side).
#ifndef ORVU_PLATFORM_PRODUCTS_H
#define ORVU_PLATFORM_PRODUCTS_H

#include <cstdint>

namespace orvu::platform {

template <class T>
struct ProductsOf {
    void (*gemm)(int ta, int tb, int32_t m, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, const T* b,
                 int32_t ldb, T beta, T* c, int32_t ldc);
    void (*syrk)(int up, int tr, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, T beta, T* c, int32_t ldc);
    void (*syr)(int up, int32_t n, T alpha, const T* x, int32_t incx, T* a, int32_t lda);
    void (*symm)(int left, int up, int32_t m, int32_t n, T alpha, const T* a, int32_t lda, const T* b, int32_t ldb,
                 T beta, T* c, int32_t ldc);
    void (*trmm)(int left, int up, int trans, int unit, int32_t m, int32_t n, T alpha, const T* a, int32_t lda,
                 T* b, int32_t ldb);
};

struct Products {
    ProductsOf<double> d;
    ProductsOf<float> s;
};

// The AVX2/FMA build (own_products_wide.cc); null when this build has none.
const Products* wide_products();

}  // namespace orvu::platform

#endif
