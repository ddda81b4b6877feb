// Evaluation of a task's splines at sites with known cells, shared by the
// interpolation entry and the per-kind evaluator kernels: the derivative
// request, the result layout, one site, a range of sites and a callback group.
#ifndef ORVU_DF_INTERP_CORE_H
#define ORVU_DF_INTERP_CORE_H

#include <cmath>
#include <cstdint>

#include "df/eval.h"

namespace orvu::df {

constexpr int64_t kMaxDerivatives = 64;
constexpr int64_t kCallbackStack = 1024;  // callback results kept on the stack

template <class T>
struct Request {
    const Fit<T>* fit;
    int64_t nres = 0;
    int64_t q[kMaxDerivatives] = {};  // derivative order of result slot s
    bool value_wanted = true;         // dorder[0] set (step-wise and look-up kinds)
    T* r = nullptr;
    int64_t sj = 0, sk = 0, ss = 0;   // distance between functions, sites, result slots
    T* out(int64_t j, int64_t k, int64_t s) const { return r + j * sj + k * sk + s * ss; }
    // Slots a kernel writes: step-wise and look-up kinds write only the value.
    int64_t written_slots() const {
        const Kind k = fit->kind;
        if (k == Kind::StepLeft || k == Kind::StepRight || k == Kind::LookUp) return value_wanted ? 1 : 0;
        return nres;
    }
};

// Entry q of a derivative request whose entries are 64-bit (wide) or 32-bit.
inline int64_t dorder_at(const void* dorder, int64_t q, bool wide) {
    return wide ? static_cast<const int64_t*>(dorder)[q] : static_cast<const int32_t*>(dorder)[q];
}

// Result slots from the derivative request; no request or an all-zero one
// gives the value alone.
template <class T>
void set_orders(Request<T>& rq, int64_t ndorder, const void* dorder, bool wide) {
    for (int64_t q = 0; dorder && q < ndorder && q < kMaxDerivatives; ++q)
        if (dorder_at(dorder, q, wide)) rq.q[rq.nres++] = q;
    rq.value_wanted = dorder && ndorder > 0 ? dorder_at(dorder, 0, wide) != 0 : true;
    if (rq.nres == 0) rq.q[rq.nres++] = 0;
}

// Layout of nsite sites: rhint 16/128 keeps a site's results together
// (r[(j*nsite + k)*nres + q]); 0/32 keeps a result slot's sites together
// (r[(j*nres + q)*nsite + k]). Call after set_orders.
template <class T>
void set_layout(Request<T>& rq, T* r, int64_t nsite, bool site_major) {
    rq.r = r;
    rq.sj = nsite * rq.nres;
    rq.sk = site_major ? rq.nres : 1;
    rq.ss = site_major ? 1 : nsite;
}

// Look-up tolerance of a uniform partition: 2^-40 in double, 2^-12 in single.
template <class T>
constexpr T lookup_tol() { return sizeof(T) == 8 ? T(9.094947017729282e-13) : T(2.44140625e-4); }

// All results of function j at site k (cell c). Returns a status.
template <class T>
int32_t eval_site(const Request<T>& rq, int64_t j, int64_t k, int64_t c, T s) {
    const Fit<T>& f = *rq.fit;
    switch (f.kind) {
        case Kind::StepLeft:
        case Kind::StepRight: {
            if (!rq.value_wanted) return ORVU_DF_OK;
            // Clamped both ways: cells given by the caller (type 4) are not checked.
            int64_t i = c - 1 < 0 ? 0 : (c - 1 >= f.nx ? f.nx - 1 : c - 1);
            if (f.kind == Kind::StepLeft && i >= 1 && i <= f.nx - 2 && s == f.node(i)) --i;
            *rq.out(j, k, 0) = f.y(j, i);
            return ORVU_DF_OK;
        }
        case Kind::LookUp: {
            auto match = [&](int64_t i) {
                return f.uniform ? std::fabs(s - f.node(i)) <= lookup_tol<T>() : s == f.x[i];
            };
            int64_t i = -1;
            if (c > 0 && c <= f.nx && match(c - 1)) i = c - 1;
            else if (c > 0 && c < f.nx && match(c)) i = c;
            if (i < 0) return ORVU_DF_ERROR_BAD_LOOKUP_SITE;
            *rq.out(j, k, 0) = f.y(j, i);
            return ORVU_DF_OK;
        }
        default: {
            const int64_t cell = f.poly_cell(c, s);
            const T* cf = f.coeff(j, cell);
            const T u = s - f.cell_start(cell);
            for (int64_t r = 0; r < rq.nres; ++r) *rq.out(j, k, r) = f.derivative(cf, u, rq.q[r]);
            return ORVU_DF_OK;
        }
    }
}

// Values of function j of a fixed-order polynomial kind at sites [k0, k1),
// written to out[(k - k0) * step]. The kind switch and the derivative loop of
// eval_site leave the per-site loop; cell and Horner sum are the same, so the
// results are identical.
template <class T, int Order>
void poly_values(const Fit<T>& f, int64_t j, const T* site, const int32_t* cell, int64_t k0, int64_t k1, T* out,
                 int64_t step) {
    const T* base = static_cast<const T*>(f.t->coeff_ptrs[j]);
    const int64_t last = f.ncell - 1;
    for (int64_t k = k0; k < k1; ++k) {
        int64_t c = cell[k] - 1;
        c = c < 0 ? 0 : (c > last ? last : c);
        const T* cf = base + c * Order;
        const T u = site[k] - f.node(c);
        T v = cf[Order - 1];
        for (int i = Order - 2; i >= 0; --i) v = v * u + cf[i];
        out[(k - k0) * step] = v;
    }
}

// The value-only request of a linear, quadratic or cubic spline through
// poly_values; false when the request is anything else.
template <class T>
bool values_fast(const Request<T>& rq, int64_t j, const T* site, const int32_t* cell, int64_t k0, int64_t k1) {
    if (rq.nres != 1 || rq.q[0] != 0) return false;
    T* out = rq.out(j, k0, 0);
    switch (rq.fit->kind) {
        case Kind::Linear: poly_values<T, 2>(*rq.fit, j, site, cell, k0, k1, out, rq.sk); return true;
        case Kind::Quadratic: poly_values<T, 3>(*rq.fit, j, site, cell, k0, k1, out, rq.sk); return true;
        case Kind::Cubic: poly_values<T, 4>(*rq.fit, j, site, cell, k0, k1, out, rq.sk); return true;
        default: return false;
    }
}

// Every function at sites [k0, k1).
template <class T>
int32_t eval_range(const Request<T>& rq, const T* site, const int32_t* cell, int64_t k0, int64_t k1) {
    for (int64_t j = 0; j < rq.fit->t->ny; ++j) {
        if (values_fast(rq, j, site, cell, k0, k1)) continue;
        for (int64_t k = k0; k < k1; ++k)
            if (int32_t st = eval_site(rq, j, k, cell[k], site[k])) return st;
    }
    return ORVU_DF_OK;
}

// Hands the sites k of [k0, k1) with in_group(k) to the callback in one call
// and copies its results into r (callback layout in orvu_df.h).
template <class T, class CB, class Pred>
int32_t callback_group(const Request<T>& rq, const T* site, const int32_t* cells, int64_t k0, int64_t k1,
                       Pred in_group, CB cb, void* params) {
    const int64_t ny = rq.fit->t->ny;
    int64_t n = 0;
    for (int64_t k = k0; k < k1; ++k) n += in_group(k);
    if (n == 0) return ORVU_DF_OK;
    Scratch<T, kCallbackStack> buf(Size(n) * rq.nres * ny);
    Scratch<T, 256> gs(n);
    Scratch<int64_t, 256> gc(n);
    if (!buf.ok() || !gs.ok() || !gc.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    int64_t m = 0;
    for (int64_t k = k0; k < k1; ++k)
        if (in_group(k)) { gs[m] = site[k]; gc[m] = cells[k]; ++m; }
    int64_t cnt = n;
    const int32_t st = cb(&cnt, gc.get(), gs.get(), buf.get(), params);
    if (st < 0) return st;
    m = 0;
    for (int64_t k = k0; k < k1; ++k) {
        if (!in_group(k)) continue;
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t q = 0; q < rq.nres; ++q) *rq.out(j, k, q) = buf[(j * n + m) * rq.nres + q];
        ++m;
    }
    return ORVU_DF_OK;
}

// Sites [k0, k1) in three groups by position (left of x[0], inside, from
// x[nx-1] on): a group whose callback (left, interior, right) is given goes to
// it whole, the others are evaluated here, extrapolating outside.
template <class T, class CB>
int32_t eval_groups(const Request<T>& rq, const T* site, const int32_t* cells, int64_t k0, int64_t k1,
                    const CB cbs[3], void* const params[3]) {
    const Fit<T>& fit = *rq.fit;
    const T x0 = fit.node(0), xl = fit.node(fit.nx - 1);
    auto group = [&](T s) { return s < x0 ? 0 : (s < xl ? 1 : 2); };
    for (int g = 0; g < 3; ++g) {
        auto in_group = [&](int64_t k) { return group(site[k]) == g; };
        if (cbs[g]) {
            if (int32_t st = callback_group(rq, site, cells, k0, k1, in_group, cbs[g], params[g])) return st;
            continue;
        }
        for (int64_t k = k0; k < k1; ++k)
            if (in_group(k))
                for (int64_t j = 0; j < fit.t->ny; ++j)
                    if (int32_t st = eval_site(rq, j, k, cells[k], site[k])) return st;
    }
    return ORVU_DF_OK;
}

}  // namespace orvu::df

#endif
