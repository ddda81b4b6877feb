// Creation, editing, querying and deletion of data-fitting tasks, and the
// search bin table they carry.
#include <cstring>

#include "df/task.h"

namespace orvu::df {

template <class T>
void build_bin_table(OrvuDFTask* t) {
    const T* x = static_cast<const T*>(t->x);
    const int64_t nx = t->nx;
    int64_t m = nx / 16;
    if (m < 16) m = 16;
    if (m > kBinTableEntries) m = kBinTableEntries;
    t->bin_count = m;
    uint32_t* lo = t->bin_table;  // entry k: lo at 2k, hi at 2k+1
    for (int64_t k = 0; k < m; ++k) lo[2 * k] = lo[2 * k + 1] = kUnset;
    const T x0 = x[0];
    const T w = (x[nx - 1] - x0) / static_cast<T>(m);
    const T inv = T(1) / w;
    if constexpr (sizeof(T) == 4) t->inv_bin_width.s = inv; else t->inv_bin_width.d = inv;
    lo[0] = 0;
    for (int64_t i = 1; i < nx; ++i) {
        // Bin 0 (and, for nodes out of order or a NaN, nothing) is skipped;
        // the bound keeps b - 1 inside the table.
        const T v = (x[i] - x0) * inv;
        if (!(v >= T(1)) || !(v < static_cast<T>(m + 1))) continue;
        const int64_t b = static_cast<int64_t>(v);
        if (b - 1 < m && lo[2 * (b - 1) + 1] == kUnset) lo[2 * (b - 1) + 1] = static_cast<uint32_t>(i);
        if (b + 1 < m) lo[2 * (b + 1)] = static_cast<uint32_t>(i);
    }
    lo[2 * (m - 1) + 1] = static_cast<uint32_t>(nx - 1);
    for (int64_t k = 1; k < m; ++k)
        if (lo[2 * k] == kUnset) lo[2 * k] = lo[2 * (k - 1)];
    for (int64_t k = m - 2; k >= 0; --k)
        if (lo[2 * k + 1] == kUnset) lo[2 * k + 1] = lo[2 * (k + 1) + 1];
}
template void build_bin_table<float>(OrvuDFTask*);
template void build_bin_table<double>(OrvuDFTask*);

namespace {

// A pointer array of n entries, zero-filled; null when it cannot be had.
void** new_ptr_array(int64_t n) {
    const Size bytes = Size(n) * sizeof(void*);
    auto** p = static_cast<void**>(df_alloc(bytes));
    if (p) std::memset(p, 0, static_cast<size_t>(bytes.value()));
    return p;
}

// Function-value pointer array as the y hint lays it out.
template <class T>
int32_t fill_y_ptrs(OrvuDFTask* t, const T* y) {
    df_free(t->y_ptrs);
    t->y_ptrs = nullptr;
    t->y_count = 0;
    const bool rows = t->y_hint == kYRows0 || t->y_hint == kYRows;
    const int64_t n = t->y_hint == kYCols ? 1 : t->ny;
    if (rows && !addressable({n > 0 ? n - 1 : 0, t->nx}, sizeof(T))) return ORVU_DF_ERROR_MEM_FAILURE;
    auto** p = const_cast<const void**>(new_ptr_array(n));
    if (!p) return ORVU_DF_ERROR_MEM_FAILURE;
    if (rows) {
        for (int64_t j = 0; j < n; ++j) p[j] = y + j * t->nx;
    } else {
        p[0] = y;
    }
    t->y_ptrs = p;
    t->y_count = n;
    return ORVU_DF_OK;
}

template <class T>
int32_t fill_coeff_ptrs(OrvuDFTask* t, T* c, int64_t hint) {
    if (t->ny == 0) return ORVU_DF_ERROR_BAD_NY;
    df_free(t->coeff_ptrs);
    t->coeff_ptrs = nullptr;
    t->coeff_count = 0;
    // Coefficients per function: order * nx for the Subbotin type (nx cells),
    // order * (nx - 1) otherwise.
    int64_t stride = 0;
    const bool separate = (hint & 128) != 0;
    if (!separate && (__builtin_mul_overflow(t->order, t->type == 1 ? t->nx : t->nx - 1, &stride) ||
                      !addressable({t->ny - 1, stride}, sizeof(T))))
        return ORVU_DF_ERROR_MEM_FAILURE;
    void** p = new_ptr_array(t->ny);
    if (!p) return ORVU_DF_ERROR_MEM_FAILURE;
    if (separate) {
        p[0] = c;
    } else {
        for (int64_t j = 0; j < t->ny; ++j) p[j] = c + j * stride;
    }
    t->coeff_ptrs = p;
    t->coeff_count = t->ny;
    return ORVU_DF_OK;
}

template <class T>
int32_t new_task(OrvuDFTaskPtr* out, int64_t nx, const T* x, int64_t xh, int64_t ny, const T* y, int64_t yh,
                 int64_t flags) {
    if (!out) return ORVU_DF_ERROR_NULL_TASK;
    if (nx < 2) return ORVU_DF_ERROR_BAD_NX;
    if (!x) return ORVU_DF_ERROR_NULL_X;
    if (xh != 0 && xh != 1 && xh != 2 && xh != 4) return ORVU_DF_ERROR_BAD_X_HINT;
    if (ny == 0 && y) return ORVU_DF_ERROR_BAD_NY;
    if (ny != 0 && !y) return ORVU_DF_ERROR_NULL_Y;
    if (ny < 0) return ORVU_DF_ERROR_BAD_NY;  // a negative count could never be addressed
    if (!valid_layout_hint(yh)) return ORVU_DF_ERROR_BAD_Y_HINT;
    auto* t = static_cast<OrvuDFTask*>(df_alloc(Size(sizeof(OrvuDFTask))));
    *out = t;
    if (!t) return ORVU_DF_ERROR_MEM_FAILURE;
    std::memset(static_cast<void*>(t), 0, sizeof(OrvuDFTask));
    t->nx = nx;
    t->x = x;
    t->x_hint = xh;
    t->ny = ny;
    t->y_hint = yh;
    if (y) {
        int32_t st = fill_y_ptrs(t, y);
        if (st) return st;
    }
    t->int_flags = static_cast<uint32_t>(flags);
    t->kind_tag = 4;
    t->precision = sizeof(T) == 8 ? 1 : 0;
    t->dimension = 1;
    t->bin_table = static_cast<uint32_t*>(df_alloc(Size(kBinTableEntries) * 2 * sizeof(uint32_t)));
    if (!t->bin_table) return ORVU_DF_ERROR_MEM_FAILURE;
    if (xh != kXUniform) build_bin_table<T>(t);
    return ORVU_DF_OK;
}

template <class T>
int32_t edit_ptr(OrvuDFTask* t, int64_t id, const T* p) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (t->dimension != 1) return ORVU_DF_OK;
    switch (id) {
        case 1:
            if (!p) return ORVU_DF_ERROR_NULL_X;
            t->x = p;
            return ORVU_DF_OK;
        case 2:
            if (!p) return ORVU_DF_ERROR_NULL_Y;
            return fill_y_ptrs(t, p);
        case 3:
            if (!p) return ORVU_DF_ERROR_BAD_IC;
            t->ic = p;
            return ORVU_DF_OK;
        case 4:
            if (!p) return ORVU_DF_ERROR_NULL_BC;
            t->bc = p;
            return ORVU_DF_OK;
        case 5:
            if (!p) return ORVU_DF_ERROR_NULL_COEFF;
            return fill_coeff_ptrs(t, const_cast<T*>(p), t->coeff_hint);
        default:
            return ORVU_DF_ERROR_BAD_PARAM_ID;
    }
}

template <class T>
int32_t edit_idx_ptr(OrvuDFTask* t, int64_t id, int64_t index, const T* p) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (t->dimension != 1) return ORVU_DF_OK;
    if (id != 2 && id != 5) return ORVU_DF_ERROR_BAD_PARAM_ID;
    if (id == 2 && t->y_hint == kYCols) return ORVU_DF_ERROR_BAD_Y_HINT;
    if (index < 0 || index >= t->ny) return ORVU_DF_ERROR_BAD_INDEX;
    if (!p) return id == 2 ? ORVU_DF_ERROR_NULL_Y : ORVU_DF_ERROR_NULL_COEFF;
    // No array to index into yet, or one made for fewer functions than ny
    // now says (ny edited since).
    if (id == 2) {
        if (!t->y_ptrs) return ORVU_DF_ERROR_NULL_Y;
        if (index >= t->y_count) return ORVU_DF_ERROR_BAD_INDEX;
        t->y_ptrs[index] = p;
    } else {
        if (!t->coeff_ptrs) return ORVU_DF_ERROR_NULL_COEFF;
        if (index >= t->coeff_count) return ORVU_DF_ERROR_BAD_INDEX;
        t->coeff_ptrs[index] = const_cast<T*>(p);
    }
    return ORVU_DF_OK;
}

template <class T>
int32_t edit_pp(OrvuDFTask* t, int64_t order, int64_t type, int64_t bc_type, const T* bc, int64_t ic_type,
                const T* ic, T* coeff, int64_t coeff_hint) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (t->dimension != 1) return ORVU_DF_OK;
    if (order < 0) return ORVU_DF_ERROR_BAD_SPLINE_ORDER;
    if (type < 0) return ORVU_DF_ERROR_BAD_SPLINE_TYPE;
    t->order = order;
    t->type = type;
    if (bc_type != 0 && bc_type != 1 && bc_type != 2 && bc_type != 64 && !bc) return ORVU_DF_ERROR_NULL_BC;
    t->bc_type = bc_type;
    t->bc = bc;
    if (ic_type != 0 && !ic) return ORVU_DF_ERROR_BAD_IC;
    if (ic_type == 0 && ic) return ORVU_DF_ERROR_BAD_IC_TYPE;
    t->ic_type = ic_type;
    t->ic = ic;
    if (coeff) {
        int32_t st = fill_coeff_ptrs(t, coeff, coeff_hint);
        if (st) return st;
    }
    t->coeff_hint = coeff_hint;
    return ORVU_DF_OK;
}

template <class T>
int32_t query_ptr(OrvuDFTask* t, int64_t id, const T** dest) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (!dest) return ORVU_DF_ERROR_NULL_DEST;
    if (t->dimension != 1) return ORVU_DF_OK;
    const void* v = nullptr;
    switch (id) {
        case 1: v = t->x; break;
        case 2: v = t->y_ptrs ? t->y_ptrs[0] : nullptr; break;
        case 3: v = t->ic; break;
        case 4: v = t->bc; break;
        case 5: v = t->coeff_ptrs ? t->coeff_ptrs[0] : nullptr; break;
        default: return ORVU_DF_ERROR_BAD_PARAM_ID;
    }
    *dest = static_cast<const T*>(v);
    return ORVU_DF_OK;
}

template <class T>
int32_t query_idx_ptr(OrvuDFTask* t, int64_t id, int64_t index, const T** dest) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (!dest) return ORVU_DF_ERROR_NULL_DEST;
    if (index < 0 || index >= t->ny) return ORVU_DF_ERROR_BAD_INDEX;
    if (t->dimension != 1) return ORVU_DF_OK;
    if (id != 2 && id != 5) return ORVU_DF_ERROR_BAD_PARAM_ID;
    if (id == 2 && t->y_hint == kYCols) return ORVU_DF_ERROR_BAD_Y_HINT;
    // Entries beyond the array (ny edited since it was made) read as absent.
    if (id == 2) *dest = static_cast<const T*>(index < t->y_count ? t->y_ptrs[index] : nullptr);
    else *dest = static_cast<const T*>(index < t->coeff_count ? t->coeff_ptrs[index] : nullptr);
    return ORVU_DF_OK;
}

// Value parameters: the field each id edits and the check it passes.
struct ValParam {
    int64_t id;
    bool (*accept)(int64_t);
    int32_t error;
};
constexpr ValParam kValParams[] = {
    {14, [](int64_t v) { return v >= 2; }, ORVU_DF_ERROR_BAD_NX},
    {15, [](int64_t v) { return v == 0 || v == 1 || v == 2 || v == 4; }, ORVU_DF_ERROR_BAD_X_HINT},
    {16, [](int64_t v) { return v >= 1; }, ORVU_DF_ERROR_BAD_NY},
    {17, valid_layout_hint, ORVU_DF_ERROR_BAD_Y_HINT},
    {18, [](int64_t v) { return v >= 0; }, ORVU_DF_ERROR_BAD_SPLINE_ORDER},
    {19, [](int64_t v) { return v >= 0 && v <= 5; }, ORVU_DF_ERROR_BAD_SPLINE_TYPE},
    {20, [](int64_t v) { return v == 0 || v == 1 || v == 2 || (v & 256) != 0; }, ORVU_DF_ERROR_BAD_IC_TYPE},
    {21, [](int64_t v) { return v >= 0; }, ORVU_DF_ERROR_BAD_BC_TYPE},
    {22, valid_layout_hint, ORVU_DF_ERROR_BAD_COEFF_HINT},
    {23, [](int64_t v) { return v == 0 || v == 1; }, ORVU_DF_ERROR_BAD_AUX_FLAG},
};

int64_t* val_field(OrvuDFTask* t, int64_t id) {
    switch (id) {
        case 14: return &t->nx;
        case 15: return &t->x_hint;
        case 16: return &t->ny;
        case 17: return &t->y_hint;
        case 18: return &t->order;
        case 19: return &t->type;
        case 20: return &t->ic_type;
        case 21: return &t->bc_type;
        case 22: return &t->coeff_hint;
        default: return nullptr;
    }
}

}  // namespace
}  // namespace orvu::df

using namespace orvu::df;

extern "C" {

#define DF_TASK_ENTRIES(t, T)                                                                                \
    ORVU_API int32_t orvu_df_kernel_##t##NewTask1D(OrvuDFTaskPtr* task, int64_t nx, const T* x, int64_t xh,  \
                                                  int64_t ny, const T* y, int64_t yh, int64_t flags) {       \
        return new_task<T>(task, nx, x, xh, ny, y, yh, flags);                                               \
    }                                                                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##EditPtr(OrvuDFTaskPtr task, int64_t id, const T* p) {               \
        return edit_ptr<T>(task, id, p);                                                                     \
    }                                                                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##EditIdxPtr(OrvuDFTaskPtr task, int64_t id, int64_t i, const T* p) { \
        return edit_idx_ptr<T>(task, id, i, p);                                                              \
    }                                                                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##EditPPSpline1D(OrvuDFTaskPtr task, int64_t order, int64_t type,     \
                                                       int64_t bc_type, const T* bc, int64_t ic_type,        \
                                                       const T* ic, T* coeff, int64_t coeff_hint) {          \
        return edit_pp<T>(task, order, type, bc_type, bc, ic_type, ic, coeff, coeff_hint);                   \
    }                                                                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##QueryPtr(OrvuDFTaskPtr task, int64_t id, const T** dest) {          \
        return query_ptr<T>(task, id, dest);                                                                 \
    }                                                                                                        \
    ORVU_API int32_t orvu_df_kernel_##t##QueryIdxPtr(OrvuDFTaskPtr task, int64_t id, int64_t i,              \
                                                    const T** dest) {                                        \
        return query_idx_ptr<T>(task, id, i, dest);                                                          \
    }

DF_TASK_ENTRIES(s, float)
DF_TASK_ENTRIES(d, double)

ORVU_API int32_t orvu_df_kernel_iEditVal(OrvuDFTaskPtr t, int64_t id, int64_t value) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (t->dimension != 1) return ORVU_DF_OK;
    for (const ValParam& p : kValParams) {
        if (p.id != id) continue;
        if (!p.accept(value)) return p.error;
        if (id == 23) {
            t->aux_flag = static_cast<int32_t>(value);
        } else {
            *val_field(t, id) = value;
        }
        if (id == 15 && value == kXNonUniform) {
            if (t->precision) build_bin_table<double>(t); else build_bin_table<float>(t);
        }
        return ORVU_DF_OK;
    }
    return ORVU_DF_ERROR_BAD_PARAM_ID;
}

ORVU_API int32_t orvu_df_kernel_iQueryVal(OrvuDFTaskPtr t, int64_t id, void* dest) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (!dest) return ORVU_DF_ERROR_NULL_DEST;
    if (t->dimension != 1) return ORVU_DF_OK;
    int64_t v;
    if (id == 23) {
        v = t->aux_flag;  // sign-extended
    } else if (int64_t* f = val_field(t, id)) {
        v = *f;
    } else {
        return ORVU_DF_ERROR_BAD_PARAM_ID;
    }
    if (t->int_flags == 0) {
        int32_t lo = static_cast<int32_t>(v);
        std::memcpy(dest, &lo, sizeof lo);
    } else {
        std::memcpy(dest, &v, sizeof v);
    }
    return ORVU_DF_OK;
}

ORVU_API int32_t orvu_df_kernel_DeleteTask(OrvuDFTaskPtr* task) {
    if (!task || !*task) return ORVU_DF_ERROR_NULL_TASK;
    OrvuDFTask* t = *task;
    df_free(t->y_ptrs);
    df_free(t->coeff_ptrs);
    df_free(t->bin_table);
    df_free(t);
    *task = nullptr;
    return ORVU_DF_OK;
}

ORVU_API unsigned char vDFNaturalCubSplineThreadingStruct[100] = {};

}  // extern "C"
