// Standard quadratic spline construction (values at the cell midpoints) and
// the quadratic entry operation, which also dispatches the Subbotin kernels.
#include "df/construct.h"
#include "df/subbotin.h"

namespace orvu::df {

// Up to this many midpoint values live on the kernel's stack.
constexpr int64_t kQuadStackMidpoints = 4095;

template <class T, bool Cols, bool Uniform, int>
int32_t quad_std_kernel(OrvuDFTask* t, const OrvuThreadingTable*) {
    const Grid<T, Uniform> g(t);
    const int64_t nx = t->nx;
    Scratch<double, kQuadStackMidpoints> mid(Size(nx) + 1);
    if (!mid.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    const T* bc = static_cast<const T*>(t->bc);
    for (int64_t j = 0; j < t->ny; ++j) {
        const YView<T, Cols> y(t, j);
        T* c = static_cast<T*>(t->coeff_ptrs[j]);
        // Midpoint values from first-derivative continuity at each interior node.
        mid[0] = bc[0];
        for (int64_t i = 0; i + 2 < nx; ++i) {
            const double h0 = g.h(i), h1 = g.h(i + 1);
            mid[i + 1] = (h1 / 4) * ((y[i] + 3.0 * y[i + 1]) / h0 + (3.0 * y[i + 1] + y[i + 2]) / h1) - (h1 / h0) * mid[i];
        }
        for (int64_t i = 0; i + 1 < nx; ++i) {
            const T h = g.h(i), m = static_cast<T>(mid[i]);
            const T c2 = T(2) * (y[i] + y[i + 1] - T(2) * m) / (h * h);
            c[3 * i] = y[i];
            c[3 * i + 1] = (m - y[i] - c2 * h * h / T(4)) / (h / T(2));
            c[3 * i + 2] = c2;
        }
    }
    return ORVU_DF_OK;
}

}  // namespace orvu::df

ORVU_DF_QUAD_STD_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_QUAD_STD_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)

namespace orvu::df {
namespace {

constexpr BuildKernel kQuadStdS[] = {ORVU_DF_QUAD_STD_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)};
constexpr BuildKernel kQuadStdD[] = {ORVU_DF_QUAD_STD_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)};

template <class T>
int32_t quadratic_entry(OrvuDFTask* t, const OrvuThreadingTable* thr, const BuildKernel* std_table) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (!valid_layout_hint(t->y_hint)) return ORVU_DF_ERROR_BAD_Y_HINT;
    if (t->type == 0) {
        if (t->bc_type != kBcQuadMidpoints) return ORVU_DF_ERROR_BAD_BC_TYPE;
        if (!t->bc) return ORVU_DF_ERROR_NULL_BC;
        if (int32_t st = check_arrays(t)) return st;
        return std_table[layout_index(t)](t, thr);
    }
    if (t->type == 1) return subbotin_entry<T>(t, thr);
    return ORVU_DF_ERROR_METHOD_NOT_SUPPORTED;
}

}  // namespace
}  // namespace orvu::df

extern "C" ORVU_API int32_t orvu_df_kernel_sDFQuadraticSpline1D(OrvuDFTaskPtr task, int64_t, int64_t,
                                                                const OrvuThreadingTable* thr) {
    return orvu::df::quadratic_entry<float>(task, thr, orvu::df::kQuadStdS);
}
extern "C" ORVU_API int32_t orvu_df_kernel_dDFQuadraticSpline1D(OrvuDFTaskPtr task, int64_t, int64_t,
                                                                const OrvuThreadingTable* thr) {
    return orvu::df::quadratic_entry<double>(task, thr, orvu::df::kQuadStdD);
}
