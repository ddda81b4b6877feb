// Checks shared by the construction entry operations.
#include "df/construct.h"

namespace orvu::df {

int32_t check_arrays(const OrvuDFTask* t) {
    if (t->ny < 1) return ORVU_DF_ERROR_BAD_NY;
    if (int32_t st = check_values(t)) return st;
    return check_coeffs(t);
}

int32_t check_values(const OrvuDFTask* t) {
    // The array was made for the ny and y hint of its edit; either may have
    // been edited since.
    const int64_t need = t->y_hint == kYCols ? 1 : t->ny;
    if (!t->y_ptrs || t->y_count < need) return ORVU_DF_ERROR_NULL_Y;
    for (int64_t j = 0; j < need; ++j)
        if (!t->y_ptrs[j]) return ORVU_DF_ERROR_NULL_Y;
    return ORVU_DF_OK;
}

int32_t check_coeffs(const OrvuDFTask* t) {
    if (!t->coeff_ptrs || t->coeff_count < t->ny) return ORVU_DF_ERROR_NULL_COEFF;
    for (int64_t j = 0; j < t->ny; ++j)
        if (!t->coeff_ptrs[j]) return ORVU_DF_ERROR_NULL_COEFF;
    return ORVU_DF_OK;
}

int32_t check_cubic_bc(const OrvuDFTask* t, bool allow_not_set) {
    if (!valid_layout_hint(t->y_hint)) return ORVU_DF_ERROR_BAD_Y_HINT;
    const int64_t b = t->bc_type;
    if (bc_index(b, allow_not_set) < 0) return ORVU_DF_ERROR_BAD_BC_TYPE;
    if ((b == 12 || b == 24 || b == 36 || b == 48) && !t->bc) return ORVU_DF_ERROR_NULL_BC;
    if (b == kBcPeriodic && (t->type == 0 || t->type == 3) && !t->bc) return ORVU_DF_ERROR_NULL_BC;
    return check_arrays(t);
}

}  // namespace orvu::df
