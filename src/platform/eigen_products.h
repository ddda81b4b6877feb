// The arithmetic of the single-threaded products (orvu_blas_x*) over Eigen's
// blocked kernels, written once and compiled twice: for the baseline
// instruction set (own_products.cc) and for AVX2 with FMA
// (own_products_wide.cc), chosen at run time when the processor has them.
// Eigen is built without OpenMP, so its products run on the calling thread.
//
// The including unit defines ORVU_PRODUCTS_NS (our namespace) and
// ORVU_EIGEN_NS (the name Eigen's own namespace gets in that unit), so that
// the two builds of Eigen's templates never merge at link time. Arguments
// arrive checked (own_products.cc): options as 0/1, sizes non-negative,
// leading dimensions large enough, increments non-zero.
#ifndef ORVU_PLATFORM_EIGEN_PRODUCTS_H
#define ORVU_PLATFORM_EIGEN_PRODUCTS_H

#if !defined(ORVU_PRODUCTS_NS) || !defined(ORVU_EIGEN_NS)
#error "define ORVU_PRODUCTS_NS and ORVU_EIGEN_NS before including eigen_products.h"
#endif

#include <cstdint>
#include <cstdlib>

#include "platform/products.h"

#define Eigen ORVU_EIGEN_NS
#define EIGEN_NO_DEBUG 1
#define EIGEN_DONT_PARALLELIZE 1
#include <Eigen/Core>

namespace orvu::platform::ORVU_PRODUCTS_NS {

template <class T>
using Mat = ::Eigen::Matrix<T, ::Eigen::Dynamic, ::Eigen::Dynamic, ::Eigen::ColMajor>;
template <class T>
using MapM = ::Eigen::Map<Mat<T>, ::Eigen::Unaligned, ::Eigen::OuterStride<>>;
template <class T>
using MapCM = ::Eigen::Map<const Mat<T>, ::Eigen::Unaligned, ::Eigen::OuterStride<>>;

template <class T>
MapCM<T> cmap(const T* a, int32_t rows, int32_t cols, int32_t ld) {
    return MapCM<T>(a, rows, cols, ::Eigen::OuterStride<>(ld));
}
template <class T>
MapM<T> map(T* a, int32_t rows, int32_t cols, int32_t ld) {
    return MapM<T>(a, rows, cols, ::Eigen::OuterStride<>(ld));
}

// C := beta C; beta = 0 writes zeros without reading C.
template <class Dst, class T>
void scale(Dst&& c, T beta) {
    if (beta == T(0)) c.setZero();
    else if (beta != T(1)) c *= beta;
}

template <class T>
void gemm(int ta, int tb, int32_t m, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, const T* b,
          int32_t ldb, T beta, T* c, int32_t ldc) {
    MapM<T> C = map(c, m, n, ldc);
    scale(C, beta);
    if (alpha == T(0) || k == 0) return;
    const MapCM<T> A = cmap(a, ta ? k : m, ta ? m : k, lda), B = cmap(b, tb ? n : k, tb ? k : n, ldb);
    if (!ta && !tb) C.noalias() += alpha * A * B;
    else if (!ta) C.noalias() += alpha * A * B.transpose();
    else if (!tb) C.noalias() += alpha * A.transpose() * B;
    else C.noalias() += alpha * A.transpose() * B.transpose();
}

// Packing space of the blocked products, kept per thread and grown on
// demand: Eigen would otherwise allocate and free it in every call, and for
// blocks of a few hundred kilobytes each call then pays fresh pages (five
// times the product's own time at p = 500 in blocks of 256 observations).
// Freed when the thread ends. Null when the allocation fails: Eigen then
// allocates for that call itself.
class ThreadSpace {
public:
    ~ThreadSpace() { std::free(p_); }
    void* get(std::size_t bytes) {
        bytes = (bytes + 63) / 64 * 64;
        if (bytes > size_) {
            std::free(p_);
            p_ = std::aligned_alloc(64, bytes);
            size_ = p_ ? bytes : 0;
        }
        return p_;
    }

private:
    void* p_ = nullptr;
    std::size_t size_ = 0;
};
inline thread_local ThreadSpace t_space;

// Eigen's blocking of a rank-k update (as its own rankUpdate computes it:
// depth and row blocks from the cache sizes, all columns), with the packing
// buffers taken from the thread's space.
template <class T>
class SpaceBlocking : public ::Eigen::internal::level3_blocking<T, T> {
public:
    SpaceBlocking(::Eigen::Index size, ::Eigen::Index depth) {
        this->m_mc = size;
        this->m_nc = size;
        this->m_kc = depth;
        ::Eigen::Index nc = size;
        ::Eigen::internal::computeProductBlockingSizes<T, T, 1>(this->m_kc, this->m_mc, nc, ::Eigen::Index(1));
        const std::size_t a = std::size_t(this->m_kc) * std::size_t(this->m_mc);
        const std::size_t b = std::size_t(this->m_kc) * std::size_t(size);
        if (T* p = static_cast<T*>(t_space.get(sizeof(T) * (a + b) + 64))) {
            this->m_blockA = p;
            this->m_blockB = p + (a + 7) / 8 * 8;   // 64-byte aligned
        }
    }
};

// C += alpha op(A) op(A)^T on the stored triangle of C, n x n column-major,
// through Eigen's blocked triangular product (only that triangle is
// computed). op(A) is n x k: A itself (trans 0, column-major n x k) or A^T
// (trans 1, A column-major k x n, which is op(A) stored row by row).
template <int Uplo, int Trans, class T>
void rank_update(T* c, int32_t ldc, int32_t n, int32_t k, const T* a, int32_t lda, T alpha) {
    using ::Eigen::ColMajor;
    using ::Eigen::RowMajor;
    SpaceBlocking<T> blocking(n, k);
    ::Eigen::internal::general_matrix_matrix_triangular_product<
        ::Eigen::Index, T, Trans ? RowMajor : ColMajor, false, T, Trans ? ColMajor : RowMajor, false, ColMajor, 1,
        Uplo>::run(n, k, a, lda, a, lda, c, 1, ldc, alpha, blocking);
}

template <class T>
void syrk(int up, int tr, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, T beta, T* c, int32_t ldc) {
    MapM<T> C = map(c, n, n, ldc);
    if (up) scale(C.template triangularView<::Eigen::Upper>(), beta);
    else scale(C.template triangularView<::Eigen::Lower>(), beta);
    if (alpha == T(0) || k == 0) return;
    if (up && !tr) rank_update<::Eigen::Upper, 0>(c, ldc, n, k, a, lda, alpha);
    else if (up) rank_update<::Eigen::Upper, 1>(c, ldc, n, k, a, lda, alpha);
    else if (!tr) rank_update<::Eigen::Lower, 0>(c, ldc, n, k, a, lda, alpha);
    else rank_update<::Eigen::Lower, 1>(c, ldc, n, k, a, lda, alpha);
}

template <class T>
void syr(int up, int32_t n, T alpha, const T* x, int32_t incx, T* a, int32_t lda) {
    MapM<T> A = map(a, n, n, lda);
    using Vec = ::Eigen::Matrix<T, ::Eigen::Dynamic, 1>;
    const int32_t step = incx > 0 ? incx : -incx;
    const ::Eigen::Map<const Vec, ::Eigen::Unaligned, ::Eigen::InnerStride<>> v(x, n, ::Eigen::InnerStride<>(step));
    // A negative increment walks x backwards from its last element, as in
    // BLAS: element i is then v(n - 1 - i). Column j gains (alpha x_j) x on
    // its stored part.
    for (int32_t j = 0; j < n; ++j) {
        const T t = alpha * v(incx > 0 ? j : n - 1 - j);
        const int32_t from = up ? 0 : j, len = up ? j + 1 : n - j;
        if (incx > 0) A.col(j).segment(from, len) += t * v.segment(from, len);
        else A.col(j).segment(from, len) += t * v.reverse().segment(from, len);
    }
}

template <class T>
void symm(int left, int up, int32_t m, int32_t n, T alpha, const T* a, int32_t lda, const T* b, int32_t ldb,
          T beta, T* c, int32_t ldc) {
    MapM<T> C = map(c, m, n, ldc);
    scale(C, beta);
    if (alpha == T(0)) return;
    const int32_t na = left ? m : n;
    const MapCM<T> A = cmap(a, na, na, lda), B = cmap(b, m, n, ldb);
    if (left && up) C.noalias() += alpha * (A.template selfadjointView<::Eigen::Upper>() * B);
    else if (left) C.noalias() += alpha * (A.template selfadjointView<::Eigen::Lower>() * B);
    else if (up) C.noalias() += alpha * (B * A.template selfadjointView<::Eigen::Upper>());
    else C.noalias() += alpha * (B * A.template selfadjointView<::Eigen::Lower>());
}

// B := alpha op(A) B (left) or alpha B op(A), A triangular (Mode: its
// stored triangle, with UnitDiag when the diagonal is taken as ones and not
// read). The product goes through a temporary because B is both operand and
// result.
template <unsigned Mode, class TA, class T>
void triangular_into(int left, const TA& A, MapM<T>& B, T alpha) {
    Mat<T> t;
    if (left) t.noalias() = A.template triangularView<Mode>() * B;
    else t.noalias() = B * A.template triangularView<Mode>();
    B = alpha * t;
}

template <unsigned Mode, class TA, class T>
void triangular_diag(int unit, int left, const TA& A, MapM<T>& B, T alpha) {
    if (unit) triangular_into<Mode | ::Eigen::UnitDiag>(left, A, B, alpha);
    else triangular_into<Mode>(left, A, B, alpha);
}

template <class T>
void trmm(int left, int up, int trans, int unit, int32_t m, int32_t n, T alpha, const T* a, int32_t lda, T* b,
          int32_t ldb) {
    MapM<T> B = map(b, m, n, ldb);
    if (alpha == T(0)) {
        B.setZero();
        return;
    }
    const int32_t na = left ? m : n;
    const MapCM<T> A = cmap(a, na, na, lda);
    // op(A) = A^T keeps A's stored triangle as the opposite one of A^T.
    if (!trans && up) triangular_diag<::Eigen::Upper>(unit, left, A, B, alpha);
    else if (!trans) triangular_diag<::Eigen::Lower>(unit, left, A, B, alpha);
    else if (up) triangular_diag<::Eigen::Lower>(unit, left, A.transpose(), B, alpha);
    else triangular_diag<::Eigen::Upper>(unit, left, A.transpose(), B, alpha);
}

inline constexpr Products kProducts = {{gemm<double>, syrk<double>, syr<double>, symm<double>, trmm<double>},
                                       {gemm<float>, syrk<float>, syr<float>, symm<float>, trmm<float>}};

}  // namespace orvu::platform::ORVU_PRODUCTS_NS

#undef Eigen

#endif
