// Piecewise evaluation shared by interpolation and integration: evaluator
// kinds, cell geometry and the polynomial of a cell.
#ifndef ORVU_DF_EVAL_H
#define ORVU_DF_EVAL_H

#include <cstdint>

#include "df/subbotin.h"
#include "df/task.h"

namespace orvu::df {

enum class Kind { Linear, Quadratic, Cubic, Subbotin, Arbitrary, StepLeft, StepRight, LookUp, None };

// Evaluator kind from order and type; order 0 with another type is the
// arbitrary kind only when all three evaluation callbacks are given.
inline Kind eval_kind(int64_t order, int64_t type, bool all_callbacks) {
    struct Row { int64_t order, type; Kind kind; };  // type -1: any
    static constexpr Row kRows[] = {
        {2, -1, Kind::Linear}, {3, 0, Kind::Quadratic}, {3, 1, Kind::Subbotin},
        {4, 0, Kind::Cubic}, {4, 2, Kind::Cubic}, {4, 3, Kind::Cubic}, {4, 4, Kind::Cubic}, {4, 5, Kind::Cubic},
        {0, 6, Kind::LookUp}, {0, 7, Kind::StepRight}, {0, 8, Kind::StepLeft},
    };
    for (const Row& r : kRows)
        if (r.order == order && (r.type == -1 || r.type == type)) return r.kind;
    if (order > 4) return Kind::Arbitrary;
    if (order == 0 && all_callbacks) return Kind::Arbitrary;
    return Kind::None;
}

// The arrays an evaluator or integrator of kind k reads: the function values
// for the step-wise and look-up kinds, otherwise the coefficients (and the
// Subbotin knots), unless callbacks take every group of sites.
inline int32_t check_fit_arrays(const OrvuDFTask* t, Kind k, bool callbacks_take_all) {
    if (k == Kind::StepLeft || k == Kind::StepRight || k == Kind::LookUp) return check_values(t);
    if (callbacks_take_all) return ORVU_DF_OK;
    if (k == Kind::Subbotin && !t->ic) return ORVU_DF_ERROR_BAD_IC;
    return check_coeffs(t);
}

// Read access to the task's partition, function values and coefficients.
template <class T>
struct Fit {
    const OrvuDFTask* t;
    const T* x;
    int64_t nx;
    bool uniform;
    T step;
    Kind kind;
    int64_t order;  // coefficients per cell
    int64_t ncell;  // nx - 1, or nx for the Subbotin spline

    Fit(const OrvuDFTask* task, Kind k)
        : t(task), x(static_cast<const T*>(task->x)), nx(task->nx), uniform(task->x_hint == kXUniform),
          step(uniform ? (x[1] - x[0]) / static_cast<T>(nx - 1) : T(0)), kind(k), order(task->order),
          ncell(k == Kind::Subbotin ? task->nx : task->nx - 1) {}

    T node(int64_t i) const { return !uniform ? x[i] : (i == nx - 1 ? x[1] : x[0] + static_cast<T>(i) * step); }
    T knot(int64_t k) const {
        return (t->ic_type & kIcUniformSubgrid) ? subbotin_knot<T, true>(t, k) : subbotin_knot<T, false>(t, k);
    }
    T y(int64_t j, int64_t i) const {
        return t->y_hint == kYCols ? static_cast<const T*>(t->y_ptrs[0])[i * t->ny + j]
                                   : static_cast<const T*>(t->y_ptrs[j])[i];
    }
    // Polynomial cell of a site with node cell c (nodes <= site).
    int64_t poly_cell(int64_t c, T site) const {
        int64_t k = c - 1;
        if (kind == Kind::Subbotin && c > 0 && c < nx) k = site >= knot(c) ? c : c - 1;
        return k < 0 ? 0 : (k >= ncell ? ncell - 1 : k);
    }
    // Left end of polynomial cell k (its expansion point).
    T cell_start(int64_t k) const { return kind == Kind::Subbotin ? knot(k) : node(k); }
    const T* coeff(int64_t j, int64_t k) const { return static_cast<const T*>(t->coeff_ptrs[j]) + k * order; }

    // Derivative q of the cell polynomial at offset u.
    T derivative(const T* c, T u, int64_t q) const {
        if (q >= order) return T(0);
        if (q == 0) {  // plain Horner for the value
            T v = c[order - 1];
            for (int64_t i = order - 2; i >= 0; --i) v = v * u + c[i];
            return v;
        }
        T acc = 0;
        for (int64_t i = order - 1; i >= q; --i) {
            T f = 1;  // i! / (i - q)!
            for (int64_t m = i - q + 1; m <= i; ++m) f *= static_cast<T>(m);
            acc = acc * u + c[i] * f;
        }
        return acc;
    }
    // Integral of the cell polynomial from offset u0 to u1.
    T antideriv(const T* c, T u0, T u1) const {
        T a0 = 0, a1 = 0;
        for (int64_t i = order - 1; i >= 0; --i) {
            a0 = a0 * u0 + c[i] / static_cast<T>(i + 1);
            a1 = a1 * u1 + c[i] / static_cast<T>(i + 1);
        }
        return a1 * u1 - a0 * u0;
    }
};

}  // namespace orvu::df

#endif
