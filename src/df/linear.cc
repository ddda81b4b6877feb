// Linear spline construction: c0 = y[i], c1 = secant slope of the cell.
#include "df/construct.h"

namespace orvu::df {

// Below this many values (nx * ny) the work is one plain loop.
constexpr int64_t kLinearPlainLimit = 128;
// Work blocks: 1024 cells of up to 4 functions; threads only from 5 blocks on.
constexpr int64_t kLinearBlockCells = 1024, kLinearBlockFuncs = 4;
constexpr int64_t kLinearMinThreadedBlocks = 5;

template <class T, bool Cols, bool Uniform, int>
int32_t linear_kernel(OrvuDFTask* t, const OrvuThreadingTable* thr) {
    if (t->bc_type == kBcPeriodic && !periodic_data_ok<T, Cols>(t)) return ORVU_DF_ERROR_BAD_PERIODIC_VAL;
    const Grid<T, Uniform> g(t);
    const int64_t ny = t->ny, cells = t->nx - 1;
    auto run = [&](int64_t j0, int64_t j1, int64_t i0, int64_t i1) {
        for (int64_t j = j0; j < j1; ++j) {
            const YView<T, Cols> y(t, j);
            T* c = static_cast<T*>(t->coeff_ptrs[j]);
            for (int64_t i = i0; i < i1; ++i) {
                c[2 * i] = y[i];
                c[2 * i + 1] = g.slope(y, i);
            }
        }
    };
    if (t->nx * ny < kLinearPlainLimit) {
        run(0, ny, 0, cells);
        return ORVU_DF_OK;
    }
    const int64_t fblocks = (ny + kLinearBlockFuncs - 1) / kLinearBlockFuncs;
    const int64_t cblocks = (cells + kLinearBlockCells - 1) / kLinearBlockCells;
    const int64_t count = fblocks * cblocks;
    auto body = [&](int32_t b) {
        const int64_t f = b / cblocks, c = b % cblocks;
        const int64_t j1 = f * kLinearBlockFuncs + kLinearBlockFuncs, i1 = c * kLinearBlockCells + kLinearBlockCells;
        run(f * kLinearBlockFuncs, j1 < ny ? j1 : ny, c * kLinearBlockCells, i1 < cells ? i1 : cells);
    };
    int64_t threads = 1;
    if (count >= kLinearMinThreadedBlocks) {
        threads = max_threads(thr);
        if (threads > count) threads = count;
    }
    run_blocks(thr, static_cast<int32_t>(count), static_cast<int32_t>(threads), body);
    return ORVU_DF_OK;
}

}  // namespace orvu::df

ORVU_DF_LINEAR_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_LINEAR_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)

namespace orvu::df {
namespace {

template <class T>
int32_t linear_entry(OrvuDFTask* t, int64_t method, const OrvuThreadingTable* thr, const BuildKernel* table) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (method != 0) return ORVU_DF_ERROR_METHOD_NOT_SUPPORTED;
    if (t->nx < 2) return ORVU_DF_ERROR_BAD_NX;
    if (!valid_layout_hint(t->y_hint)) return ORVU_DF_ERROR_BAD_Y_HINT;
    if (int32_t st = check_arrays(t)) return st;
    return table[layout_index(t)](t, thr);
}

constexpr BuildKernel kLinearS[] = {ORVU_DF_LINEAR_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)};
constexpr BuildKernel kLinearD[] = {ORVU_DF_LINEAR_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)};

}  // namespace
}  // namespace orvu::df

extern "C" ORVU_API int32_t orvu_df_kernel_sDFLinearSpline1D(OrvuDFTaskPtr task, int64_t, int64_t method,
                                                             const OrvuThreadingTable* thr) {
    return orvu::df::linear_entry<float>(task, method, thr, orvu::df::kLinearS);
}
extern "C" ORVU_API int32_t orvu_df_kernel_dDFLinearSpline1D(OrvuDFTaskPtr task, int64_t, int64_t method,
                                                             const OrvuThreadingTable* thr) {
    return orvu::df::linear_entry<double>(task, method, thr, orvu::df::kLinearD);
}
