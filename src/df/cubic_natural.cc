// Natural cubic spline construction: node slopes from one tridiagonal system
// per partition (factored once) with one right-hand side per function.
#include <atomic>

#include "df/construct.h"
#include "df/tridiag.h"

namespace orvu::df {
namespace {

// Threading rule of the natural kernels.
constexpr int64_t kNaturalMinThreadedNx = 300, kNaturalAlwaysThreadedNx = 600;
constexpr int32_t kNaturalManyThreads = 8;

// Fills the matrix rows (sub dl[i-1], diagonal d[i], super du[i]) of the
// non-periodic system; the rows depend only on the partition.
template <class T, class G, End L, End R>
void natural_matrix(const G& g, int64_t n, T* dl, T* d, T* du) {
    for (int64_t i = 1; i + 1 < n; ++i) {
        const T h0 = g.h(i - 1), h1 = g.h(i);
        dl[i - 1] = h1;
        d[i] = T(2) * (h0 + h1);
        du[i] = h0;
    }
    if constexpr (L == End::NotAKnot) {
        d[0] = g.h(1);
        du[0] = g.h(0) + g.h(1);
    } else if constexpr (L == End::FirstDer) {
        d[0] = 1;
        du[0] = 0;
    } else {
        d[0] = 2;
        du[0] = 1;
    }
    if constexpr (R == End::NotAKnot) {
        if (n == 3) {  // one parabola: d1 + d2 = 2*m1
            dl[n - 2] = 1;
            d[n - 1] = 1;
        } else {
            dl[n - 2] = g.h(n - 2) + g.h(n - 3);
            d[n - 1] = g.h(n - 3);
        }
    } else if constexpr (R == End::FirstDer) {
        dl[n - 2] = 0;
        d[n - 1] = 1;
    } else {
        dl[n - 2] = 1;
        d[n - 1] = 2;
    }
}

template <class T, class G, class Y, End L, End R>
void natural_rhs(const G& g, const Y& y, int64_t n, const T* bc, T* b) {
    for (int64_t i = 1; i + 1 < n; ++i)
        b[i] = T(3) * (g.h(i) * g.slope(y, i - 1) + g.h(i - 1) * g.slope(y, i));
    const T m0 = g.slope(y, 0), ml = g.slope(y, n - 2);
    if constexpr (L == End::NotAKnot) {
        const T h0 = g.h(0), h1 = g.h(1), s = h0 + h1;
        b[0] = ((h0 + T(2) * s) * h1 * m0 + h0 * h0 * g.slope(y, 1)) / s;
    } else if constexpr (L == End::FirstDer) {
        b[0] = bc[0];
    } else if constexpr (L == End::SecondDer) {
        b[0] = T(3) * m0 - g.h(0) * bc[0] / T(2);
    } else {
        b[0] = T(3) * m0;
    }
    if constexpr (R == End::NotAKnot) {
        if (n == 3) {
            b[n - 1] = T(2) * ml;
        } else {
            const T h0 = g.h(n - 2), h1 = g.h(n - 3), s = h0 + h1;
            b[n - 1] = ((h0 + T(2) * s) * h1 * ml + h0 * h0 * g.slope(y, n - 3)) / s;
        }
    } else if constexpr (R == End::FirstDer) {
        b[n - 1] = bc[1];
    } else if constexpr (R == End::SecondDer) {
        b[n - 1] = T(3) * ml + g.h(n - 2) * bc[1] / T(2);
    } else {
        b[n - 1] = T(3) * ml;
    }
}

// Periodic system in the unknowns d_0 .. d_(N-1), N = nx-1, d_(nx-1) = d_0:
// the interior row at every node with the neighbours taken cyclically. The
// two corner entries are removed by a Sherman-Morrison update: the banded
// part gets diag[0] - gamma and diag[N-1] - alpha*beta/gamma, and
// u = (gamma, 0, ..., 0, alpha) is solved alongside.
template <class T, class G>
void periodic_matrix(const G& g, int64_t N, T* dl, T* d, T* du, T& alpha, T& beta, T& gamma) {
    auto h = [&](int64_t i) { return g.h(i < 0 ? i + N : i); };
    for (int64_t i = 0; i < N; ++i) {
        d[i] = T(2) * (h(i - 1) + h(i));
        if (i > 0) dl[i - 1] = h(i);
        if (i + 1 < N) du[i] = h(i - 1);
    }
    beta = h(0);       // row 0, column N-1
    alpha = h(N - 2);  // row N-1, column 0
    gamma = -d[0];
    d[0] -= gamma;
    d[N - 1] -= alpha * beta / gamma;
}

template <class T, class G, class Y>
void periodic_rhs(const G& g, const Y& y, int64_t N, T* b) {
    auto m = [&](int64_t i) { return g.slope(y, i < 0 ? i + N : i); };
    auto h = [&](int64_t i) { return g.h(i < 0 ? i + N : i); };
    for (int64_t i = 0; i < N; ++i) b[i] = T(3) * (h(i) * m(i - 1) + h(i - 1) * m(i));
}

}  // namespace

template <class T, bool Cols, bool Uniform, int Bc>
int32_t natural_kernel(OrvuDFTask* t, const OrvuThreadingTable* thr) {
    constexpr End kL = kLeftEnd[Bc], kR = kRightEnd[Bc];
    constexpr bool kPeriodic = kL == End::Periodic;
    if (kPeriodic && !periodic_data_ok<T, Cols>(t)) return ORVU_DF_ERROR_BAD_PERIODIC_VAL;
    const Grid<T, Uniform> g(t);
    const int64_t nx = t->nx, ny = t->ny;
    const T* bc = static_cast<const T*>(t->bc);

    int64_t threads = max_threads(thr);
    if (threads > ny) threads = ny;
    const bool threaded = !(ny == 1 || threads == 1 || nx < kNaturalMinThreadedNx) &&
                          (nx >= kNaturalAlwaysThreadedNx || threads >= kNaturalManyThreads);
    const int64_t K = threaded ? threads : ny;
    const Size bytes = ((Size(K) + 2) * nx + (Size(K) * 2 + 3) * (nx - 1) + Size(nx) * 2) * 8 - 16;
    Block<T> ws(bytes.ok() ? Size(static_cast<int64_t>(bytes.value() / sizeof(T))) : bytes);
    if (!ws.ok()) return ORVU_DF_ERROR_MEM_FAILURE;

    const int64_t n = kPeriodic ? nx - 1 : nx;  // unknowns
    T* dl = ws.get();
    T* d = dl + n;
    T* du = d + n;
    T* z = du + n;     // periodic correction vector
    T* rhs = z + n;    // K columns of n
    T alpha = 0, beta = 0, gamma = 1, zfac = 0;
    if (kPeriodic && n == 1) {
        // Two nodes with equal values: a constant, all slopes zero.
        for (int64_t j = 0; j < ny; ++j) {
            const YView<T, Cols> y(t, j);
            hermite_cell(static_cast<T*>(t->coeff_ptrs[j]), y[0], T(0), g.h(0), T(0), T(0));
        }
        return ORVU_DF_OK;
    }
    if constexpr (kPeriodic) {
        periodic_matrix<T>(g, n, dl, d, du, alpha, beta, gamma);
    } else {
        natural_matrix<T, Grid<T, Uniform>, kL, kR>(g, n, dl, d, du);
    }
    if (trf(static_cast<int32_t>(n), dl, d, du) != 0) return ORVU_DF_ERROR_SOLVER_FAILURE;
    if constexpr (kPeriodic) {
        for (int64_t i = 0; i < n; ++i) z[i] = 0;
        z[0] = gamma;
        z[n - 1] = alpha;
        if (trs(static_cast<int32_t>(n), 1, dl, d, du, z, static_cast<int32_t>(n)) != 0)
            return ORVU_DF_ERROR_SOLVER_FAILURE;
        const T den = T(1) + z[0] + beta * z[n - 1] / gamma;
        if (den == T(0)) return ORVU_DF_ERROR_SOLVER_FAILURE;
        zfac = T(1) / den;
    }

    auto fill = [&](int64_t j, T* b) {
        const YView<T, Cols> y(t, j);
        if constexpr (kPeriodic) periodic_rhs<T>(g, y, n, b);
        else natural_rhs<T, Grid<T, Uniform>, YView<T, Cols>, kL, kR>(g, y, n, bc, b);
    };
    auto finish = [&](int64_t j, T* b) {
        if constexpr (kPeriodic) {
            const T f = (b[0] + beta * b[n - 1] / gamma) * zfac;
            for (int64_t i = 0; i < n; ++i) b[i] -= f * z[i];
        }
        const YView<T, Cols> y(t, j);
        T* c = static_cast<T*>(t->coeff_ptrs[j]);
        for (int64_t i = 0; i + 1 < nx; ++i) {
            const T d1 = (kPeriodic && i + 1 == n) ? b[0] : b[i + 1];
            hermite_cell(c + 4 * i, y[i], g.slope(y, i), g.h(i), b[i], d1);
        }
    };

    if (!threaded) {
        for (int64_t j = 0; j < ny; ++j) fill(j, rhs + j * n);
        if (trs(static_cast<int32_t>(n), static_cast<int32_t>(ny), dl, d, du, rhs, static_cast<int32_t>(n)) != 0)
            return ORVU_DF_ERROR_SOLVER_FAILURE;
        for (int64_t j = 0; j < ny; ++j) finish(j, rhs + j * n);
        return ORVU_DF_OK;
    }
    // One iteration per function, each in its thread's right-hand-side slot;
    // the lowest failing function decides the status.
    std::atomic<int64_t> first_bad{ny};
    struct Ctx {
        decltype(fill)* fill_fn;
        decltype(finish)* finish_fn;
        T* rhs;
        int64_t n;
        std::atomic<int64_t>* first_bad;
        const T *dl, *d, *du;
    } ctx{&fill, &finish, rhs, n, &first_bad, dl, d, du};
    thr->parallel_for(static_cast<int32_t>(ny), static_cast<int32_t>(threads), &ctx,
                      [](int32_t j, int32_t th, int32_t, void* p) {
                          auto* c = static_cast<Ctx*>(p);
                          T* b = c->rhs + static_cast<int64_t>(th) * c->n;
                          (*c->fill_fn)(j, b);
                          if (trs(static_cast<int32_t>(c->n), 1, c->dl, c->d, c->du, b, static_cast<int32_t>(c->n))) {
                              int64_t cur = c->first_bad->load();
                              while (j < cur && !c->first_bad->compare_exchange_weak(cur, j)) {
                              }
                              return;
                          }
                          (*c->finish_fn)(j, b);
                      });
    return first_bad.load() < ny ? ORVU_DF_ERROR_SOLVER_FAILURE : ORVU_DF_OK;
}

}  // namespace orvu::df

ORVU_DF_NATURAL_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_NATURAL_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)

namespace orvu::df {
namespace {
constexpr BuildKernel kNaturalS[] = {ORVU_DF_NATURAL_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)};
constexpr BuildKernel kNaturalD[] = {ORVU_DF_NATURAL_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)};

int32_t natural_entry(OrvuDFTask* t, int64_t method, const OrvuThreadingTable* thr, const BuildKernel* table) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (method != 0) return ORVU_DF_ERROR_METHOD_NOT_SUPPORTED;
    if (t->nx < 2 || (t->nx == 2 && t->bc_type == kBcNotAKnot)) return ORVU_DF_ERROR_BAD_NX;
    if (int32_t st = check_cubic_bc(t, false)) return st;
    return table[bc_index(t->bc_type, false) * 4 + layout_index(t)](t, thr);
}
}  // namespace
}  // namespace orvu::df

extern "C" ORVU_API int32_t orvu_df_kernel_sDFNaturalCubicSpline1D(OrvuDFTaskPtr task, int64_t, int64_t method,
                                                                   const OrvuThreadingTable* thr) {
    return orvu::df::natural_entry(task, method, thr, orvu::df::kNaturalS);
}
extern "C" ORVU_API int32_t orvu_df_kernel_dDFNaturalCubicSpline1D(OrvuDFTaskPtr task, int64_t, int64_t method,
                                                                   const OrvuThreadingTable* thr) {
    return orvu::df::natural_entry(task, method, thr, orvu::df::kNaturalD);
}
