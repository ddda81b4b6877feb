// Shared pieces of the spline construction kernels: views of the function
// values and of the partition, the entry checks, and the kernel tables.
#ifndef ORVU_DF_CONSTRUCT_H
#define ORVU_DF_CONSTRUCT_H

#include <cstdint>

#include "df/task.h"

namespace orvu::df {

// Kernel shape: every construction kernel reads all it needs from the task.
using BuildKernel = int32_t (*)(OrvuDFTask*, const OrvuThreadingTable*);

// Function j's values. Cols: interleaved storage, value i at y[i*ny + j];
// otherwise one row per function. The stride is a compile-time 1 for rows.
template <class T, bool Cols>
struct YView {
    const T* p;
    int64_t stride;
    YView(const OrvuDFTask* t, int64_t j)
        : p(Cols ? static_cast<const T*>(t->y_ptrs[0]) + j : static_cast<const T*>(t->y_ptrs[j])),
          stride(Cols ? t->ny : 1) {}
    T operator[](int64_t i) const { return Cols ? p[i * stride] : p[i]; }
};

// The partition: a uniform grid keeps only its step.
template <class T, bool Uniform>
struct Grid {
    const T* x;
    int64_t n;
    T step, inv_step;
    explicit Grid(const OrvuDFTask* t) : x(static_cast<const T*>(t->x)), n(t->nx) {
        if (Uniform) {
            step = (x[1] - x[0]) / static_cast<T>(n - 1);
            inv_step = static_cast<T>(n - 1) / (x[1] - x[0]);
        } else {
            step = inv_step = T(0);
        }
    }
    T h(int64_t i) const { return Uniform ? step : x[i + 1] - x[i]; }
    // Secant slope of cell i.
    template <class Y>
    T slope(const Y& y, int64_t i) const {
        return Uniform ? (y[i + 1] - y[i]) * inv_step : (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
    }
};

// Boundary-condition index of a cubic (and Subbotin) kernel table, -1 if the
// type has none. Position k of the table is the bc type of index k.
constexpr int64_t kBcOfIndex[8] = {1, 2, 12, 36, 24, 48, 64, 0};
inline int bc_index(int64_t bc_type, bool allow_not_set) {
    for (int k = 0; k < (allow_not_set ? 8 : 7); ++k)
        if (kBcOfIndex[k] == bc_type) return k;
    return -1;
}

// How each end of a cubic is closed, per bc index.
enum class End { NotAKnot, FreeEnd, FirstDer, SecondDer, Periodic, NotSet };
constexpr End kLeftEnd[8] = {End::NotAKnot, End::FreeEnd, End::FirstDer, End::FirstDer,
                             End::SecondDer, End::SecondDer, End::Periodic, End::NotSet};
constexpr End kRightEnd[8] = {End::NotAKnot, End::FreeEnd, End::FirstDer, End::SecondDer,
                              End::FirstDer, End::SecondDer, End::Periodic, End::NotSet};

// Position of a kernel in a rows x grid table (order of the name lists).
inline int layout_index(const OrvuDFTask* t) { return (t->y_hint == kYCols ? 0 : 2) + (t->x_hint == kXUniform ? 1 : 0); }

// Function values and coefficient pointers must be there before a kernel runs.
int32_t check_arrays(const OrvuDFTask* t);

// Entry checks shared by the cubic families (nx already checked).
int32_t check_cubic_bc(const OrvuDFTask* t, bool allow_not_set);

// Every function has y[0] == y[nx-1] (a NaN fails).
template <class T, bool Cols>
bool periodic_data_ok(const OrvuDFTask* t) {
    for (int64_t j = 0; j < t->ny; ++j) {
        YView<T, Cols> y(t, j);
        if (!(y[0] == y[t->nx - 1])) return false;
    }
    return true;
}

// Writes the four coefficients of cell i from the node slopes.
template <class T>
inline void hermite_cell(T* c, T y0, T m, T h, T d0, T d1) {
    c[0] = y0;
    c[1] = d0;
    c[2] = (T(3) * m - T(2) * d0 - d1) / h;
    c[3] = (d0 + d1 - T(2) * m) / (h * h);
}

// Runs body(i) for i in [0, count) on up to `threads` threads of the table,
// or in the calling thread when threads <= 1.
template <class F>
void run_blocks(const OrvuThreadingTable* thr, int32_t count, int32_t threads, F& body) {
    if (threads <= 1 || !thr || !thr->parallel_for) {
        for (int32_t i = 0; i < count; ++i) body(i);
        return;
    }
    thr->parallel_for(count, threads, &body, [](int32_t i, int32_t, int32_t, void* ctx) { (*static_cast<F*>(ctx))(i); });
}

}  // namespace orvu::df

// One exported kernel per row of a name list: X(name, Cols, Uniform, Bc).
#define ORVU_DF_DEFINE_KERNEL(t, T, fam, name, cols, uni, bc)                                           \
    extern "C" ORVU_API int32_t name##_##t(OrvuDFTaskPtr task, const OrvuThreadingTable* thr) {        \
        return orvu::df::fam<T, cols != 0, uni != 0, bc>(task, thr);                                  \
    }
#define ORVU_DF_TABLE_ENTRY(t, T, fam, name, cols, uni, bc) &name##_##t,

#endif
