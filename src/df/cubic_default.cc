// Default cubic spline: second derivatives at the interior nodes are given
// (internal conditions), the end values follow from the boundary condition.
#include "df/construct.h"

namespace orvu::df {

template <class T, bool Cols, bool Uniform, int Bc>
int32_t default_kernel(OrvuDFTask* t, const OrvuThreadingTable*) {
    constexpr End kL = kLeftEnd[Bc], kR = kRightEnd[Bc];
    const int64_t nx = t->nx, last = nx - 1;
    // nx*24 - 16 bytes: the secant slopes (nx-1) and second derivatives (nx).
    Block<unsigned char> ws(Size(nx) * 24 - 16);
    if (!ws.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    T* m = reinterpret_cast<T*>(ws.get());
    T* M = m + (nx - 1);
    const Grid<T, Uniform> g(t);
    const T* ic = static_cast<const T*>(t->ic);
    const T* bc = static_cast<const T*>(t->bc);
    for (int64_t k = 1; k < last; ++k) M[k] = ic[k - 1];
    for (int64_t j = 0; j < t->ny; ++j) {
        const YView<T, Cols> y(t, j);
        for (int64_t i = 0; i < last; ++i) m[i] = g.slope(y, i);
        const T h0 = g.h(0), hl = g.h(last - 1);
        if constexpr (kL == End::Periodic) {
            // Equal end values M and equal end slopes of the first and last cells.
            const T v = (m[0] - m[last - 1] - (h0 * M[1] + hl * M[last - 1]) / T(6)) * T(3) / (h0 + hl);
            M[0] = M[last] = v;
        } else if (kL == End::NotAKnot && nx == 3) {
            M[0] = M[2] = M[1];  // one parabola
        } else {
            // Third-derivative continuity at node 1 (and nx-2) for not-a-knot.
            switch (kL) {
                case End::FreeEnd: M[0] = 0; break;
                case End::SecondDer: M[0] = bc[0]; break;
                case End::FirstDer: M[0] = T(3) * (m[0] - bc[0]) / h0 - M[1] / T(2); break;
                default: M[0] = M[1] - h0 * (M[2] - M[1]) / g.h(1); break;
            }
            switch (kR) {
                case End::FreeEnd: M[last] = 0; break;
                case End::SecondDer: M[last] = bc[1]; break;
                case End::FirstDer: M[last] = T(3) * (bc[1] - m[last - 1]) / hl - M[last - 1] / T(2); break;
                default: M[last] = M[last - 1] + hl * (M[last - 1] - M[last - 2]) / g.h(last - 2); break;
            }
        }
        T* c = static_cast<T*>(t->coeff_ptrs[j]);
        for (int64_t i = 0; i < last; ++i) {
            const T h = g.h(i);
            c[4 * i] = y[i];
            c[4 * i + 1] = m[i] - h * (M[i] / T(3) + M[i + 1] / T(6));
            c[4 * i + 2] = M[i] / T(2);
            c[4 * i + 3] = (M[i + 1] - M[i]) / (T(6) * h);
        }
    }
    return ORVU_DF_OK;
}

}  // namespace orvu::df

ORVU_DF_DEFAULT_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_DEFAULT_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)

namespace orvu::df {
namespace {
constexpr BuildKernel kDefaultS[] = {ORVU_DF_DEFAULT_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)};
constexpr BuildKernel kDefaultD[] = {ORVU_DF_DEFAULT_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)};

int32_t default_entry(OrvuDFTask* t, const OrvuThreadingTable* thr, const BuildKernel* table) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (t->nx < 3) return ORVU_DF_ERROR_BAD_NX;
    if (int32_t st = check_cubic_bc(t, false)) return st;
    if (!t->ic) return ORVU_DF_ERROR_BAD_IC;
    return table[bc_index(t->bc_type, false) * 4 + layout_index(t)](t, thr);
}
}  // namespace
}  // namespace orvu::df

extern "C" ORVU_API int32_t orvu_df_kernel_sDFDefaultCubicSpline1D(OrvuDFTaskPtr task, int64_t, int64_t,
                                                                   const OrvuThreadingTable* thr) {
    return orvu::df::default_entry(task, thr, orvu::df::kDefaultS);
}
extern "C" ORVU_API int32_t orvu_df_kernel_dDFDefaultCubicSpline1D(OrvuDFTaskPtr task, int64_t, int64_t,
                                                                   const OrvuThreadingTable* thr) {
    return orvu::df::default_entry(task, thr, orvu::df::kDefaultD);
}
