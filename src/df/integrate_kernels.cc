// Per-kind integrator kernels: integrals of every function of a task over
// intervals whose limit cells are already known, with optional callbacks for
// the parts left of, inside and right of the partition.
#include "df/eval.h"

namespace orvu::df {
namespace {

// Integral of function j from a to b (a <= b) whose node cells are ca, cb,
// over the cells of the spline, extrapolating with the end polynomials.
template <class T, Kind K>
T integrate_piece(const Fit<T>& f, int64_t j, T a, int64_t ca, T b, int64_t cb) {
    if constexpr (K == Kind::StepLeft || K == Kind::StepRight) {
        // Value y[k] on [x_k, x_(k+1)); the two kinds differ only at single
        // points, which carry no weight.
        // Cells as given (the exported kernels do not check them) clamped to
        // the nodes.
        auto node_of = [&](int64_t c) { return c - 1 < 0 ? 0 : (c - 1 >= f.nx ? f.nx - 1 : c - 1); };
        const int64_t k0 = node_of(ca), k1 = node_of(cb);
        T sum = 0;
        for (int64_t k = k0; k <= k1; ++k) {
            const T lo = k == k0 ? a : f.node(k), hi = k == k1 ? b : f.node(k + 1);
            sum += f.y(j, k) * (hi - lo);
        }
        return sum;
    } else {
        const int64_t k0 = f.poly_cell(ca, a), k1 = f.poly_cell(cb, b);
        T sum = 0;
        for (int64_t k = k0; k <= k1; ++k) {
            const T base = f.cell_start(k);
            const T lo = k == k0 ? a : base, hi = k == k1 ? b : f.cell_start(k + 1);
            sum += f.antideriv(f.coeff(j, k), lo - base, hi - base);
        }
        return sum;
    }
}

// One interval, limits and cells in the caller's order.
template <class T>
struct Limits {
    T a, b;
    int64_t ca, cb;
    T sign;  // -1 when the limits were given reversed
    Limits(T a0, int64_t c0, T b0, int64_t c1) : a(a0), b(b0), ca(c0), cb(c1), sign(1) {
        if (b < a) { a = b0; b = a0; ca = c1; cb = c0; sign = -1; }
    }
};

template <class T, Kind K, class ICB>
int32_t integr_kernel(OrvuDFTask* t, int64_t nlim, const T* llim, const int32_t* lc, const T* rlim, const int32_t* rc,
                      T* r, int64_t ldr, int64_t rhint, ICB le, void* lp, ICB re, void* rp, ICB ie, void* ip) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (eval_kind(t->order, t->type, le && re && ie) != K) return ORVU_DF_ERROR_BAD_SPLINE_TYPE;
    if (!valid_layout_hint(rhint)) return ORVU_DF_ERROR_BAD_INTEGR_RHINT;
    if (ldr == 0) ldr = nlim;
    if (ldr < nlim) return ORVU_DF_ERROR_BAD_INTEGR_RHINT;
    if (int32_t st = check_fit_arrays(t, K, le && re && ie)) return st;
    if (nlim <= 0) return ORVU_DF_OK;
    if (!addressable({t->ny, ldr}, sizeof(T))) return ORVU_DF_ERROR_MEM_FAILURE;

    const Fit<T> fit(t, K);
    const int64_t ny = t->ny, nx = t->nx;
    const T x0 = fit.node(0), xl = fit.node(nx - 1);
    if (!le && !re && !ie) {
        for (int64_t j = 0; j < ny; ++j)
            for (int64_t k = 0; k < nlim; ++k) {
                const Limits<T> l(llim[k], lc[k], rlim[k], rc[k]);
                r[j * ldr + k] = l.sign * integrate_piece<T, K>(fit, j, l.a, l.ca, l.b, l.cb);
            }
        return ORVU_DF_OK;
    }

    // The interval is cut at x0 and xl: left [a, min(b, x0)], interior
    // [max(a, x0), min(b, xl)], right [max(a, xl), b]. Parts without a
    // callback are integrated here, the others by their callback below.
    ICB cbs[3] = {le, ie, re};
    void* params[3] = {lp, ip, rp};
    struct Part { T lo, hi; int64_t clo, chi; };
    auto part = [&](const Limits<T>& l, int g) -> Part {
        if (g == 0) return {l.a, l.b < x0 ? l.b : x0, 0, l.b < x0 ? l.cb : 1};
        if (g == 1) return {l.a < x0 ? x0 : l.a, l.b > xl ? xl : l.b, l.a < x0 ? 1 : l.ca, l.b > xl ? nx : l.cb};
        return {l.a > xl ? l.a : xl, l.b, l.a > xl ? l.ca : nx, l.cb};
    };
    for (int64_t j = 0; j < ny; ++j)
        for (int64_t k = 0; k < nlim; ++k) {
            const Limits<T> l(llim[k], lc[k], rlim[k], rc[k]);
            T sum = 0;
            for (int g = 0; g < 3; ++g) {
                const Part p = part(l, g);
                if (!cbs[g] && p.lo < p.hi) sum += integrate_piece<T, K>(fit, j, p.lo, p.clo, p.hi, p.chi);
            }
            r[j * ldr + k] = l.sign * sum;
        }
    for (int g = 0; g < 3; ++g) {
        if (!cbs[g]) continue;
        int64_t n = 0;
        for (int64_t k = 0; k < nlim; ++k) {
            const Part p = part(Limits<T>(llim[k], lc[k], rlim[k], rc[k]), g);
            n += p.lo < p.hi;
        }
        if (n == 0) continue;
        Scratch<T, 128> ga(n), gb(n), sg(n);
        Scratch<int64_t, 128> gc(n), gk(n);
        Scratch<T, 1024> buf(Size(n) * ny);
        if (!ga.ok() || !gb.ok() || !sg.ok() || !gc.ok() || !gk.ok() || !buf.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
        int64_t m = 0;
        for (int64_t k = 0; k < nlim; ++k) {
            const Limits<T> l(llim[k], lc[k], rlim[k], rc[k]);
            const Part p = part(l, g);
            if (!(p.lo < p.hi)) continue;
            ga[m] = p.lo; gb[m] = p.hi; gc[m] = p.clo; gk[m] = k; sg[m] = l.sign; ++m;
        }
        int64_t cnt = n;
        // The extra word handed to the callback is the number of functions.
        const int32_t st = cbs[g](&cnt, gc.get(), ga.get(), gb.get(), buf.get(), static_cast<int32_t>(ny), params[g]);
        if (st < 0) return st;
        for (int64_t j = 0; j < ny; ++j)
            for (m = 0; m < n; ++m) r[j * ldr + gk[m]] += sg[m] * buf[j * n + m];
    }
    return ORVU_DF_OK;
}

}  // namespace
}  // namespace orvu::df

#define DF_INTEGR_KERNEL(t, T, Name, K)                                                                            \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##_Integrate##Name##Spline(                                      \
        OrvuDFTaskPtr task, int64_t nlim, const T* llim, const int32_t* lcell, const T* rlim, const int32_t* rcell, \
        T* r, int64_t ldr, int64_t rhint) {                                                                         \
        return orvu::df::integr_kernel<T, orvu::df::Kind::K, orvu_df_##t##integr_cb>(                              \
            task, nlim, llim, lcell, rlim, rcell, r, ldr, rhint, nullptr, nullptr, nullptr, nullptr, nullptr,       \
            nullptr);                                                                                               \
    }                                                                                                               \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##_Integrate##Name##SplineCB(                                    \
        OrvuDFTaskPtr task, int64_t nlim, const T* llim, const int32_t* lcell, const T* rlim, const int32_t* rcell, \
        T* r, int64_t ldr, int64_t rhint, orvu_df_##t##integr_cb le, void* lp, orvu_df_##t##integr_cb re,          \
        void* rp, orvu_df_##t##integr_cb ie, void* ip) {                                                            \
        return orvu::df::integr_kernel<T, orvu::df::Kind::K>(task, nlim, llim, lcell, rlim, rcell, r, ldr, rhint,  \
                                                             le, lp, re, rp, ie, ip);                               \
    }
ORVU_DF_INTEGR_KERNELS(DF_INTEGR_KERNEL, s, float)
ORVU_DF_INTEGR_KERNELS(DF_INTEGR_KERNEL, d, double)
