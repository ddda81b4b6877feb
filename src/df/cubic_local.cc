// Akima, Bessel and Hermite cubic splines: node slopes from local rules, end
// slopes from the boundary condition, then the cubic of every cell.
#include <cmath>

#include "df/construct.h"

namespace orvu::df {
namespace {

// Slope access for one function with periodic continuation when asked:
// m(-1) = m(n-2), m(-2) = m(n-3), m(n-1) = m(0), m(n) = m(1).
template <class T, class G, class Y>
struct Secants {
    const G& g;
    const Y& y;
    int64_t cells;
    T m(int64_t i) const {
        if (i < 0) i += cells;
        if (i >= cells) i -= cells;
        return g.slope(y, i);
    }
    T h(int64_t i) const {
        if (i < 0) i += cells;
        if (i >= cells) i -= cells;
        return g.h(i);
    }
};

// Below this weight sum the Akima slope is the plain average.
constexpr double kAkimaFlat = 1e-10;

template <class T>
T akima_blend(T mm2, T mm1, T m0, T m1) {
    const T w1 = std::fabs(m1 - m0), w2 = std::fabs(mm1 - mm2);
    if (w1 + w2 < static_cast<T>(kAkimaFlat)) return (mm1 + m0) / T(2);
    return (w1 * mm1 + w2 * m0) / (w1 + w2);
}

struct AkimaRule {
    static constexpr bool kChecksPeriodic = false;
    template <class T, class S>
    static T interior(const S& s, const OrvuDFTask*, int64_t i, bool periodic) {
        const int64_t n = s.cells + 1;
        if (periodic) return akima_blend(s.m(i - 2), s.m(i - 1), s.m(i), s.m(i + 1));
        // Node 1 lacks m(-1) and node n-2 lacks m(n-1): the missing weight is
        // taken from the difference on the other side of the node.
        const T mm2 = i == 1 ? s.m(1) : s.m(i - 2);
        const T m1 = i == n - 2 ? s.m(i - 1) : s.m(i + 1);
        return akima_blend(mm2, s.m(i - 1), s.m(i), m1);
    }
    template <class T, class S>
    static T periodic_end(const S& s, const OrvuDFTask*) {
        return akima_blend(s.m(-2), s.m(-1), s.m(0), s.m(1));
    }
};

struct BesselRule {
    static constexpr bool kChecksPeriodic = false;
    template <class T, class S>
    static T interior(const S& s, const OrvuDFTask*, int64_t i, bool) {
        const T h0 = s.h(i - 1), h1 = s.h(i);
        return (h1 * s.m(i - 1) + h0 * s.m(i)) / (h0 + h1);
    }
    template <class T, class S>
    static T periodic_end(const S& s, const OrvuDFTask*) {
        const T h0 = s.h(0), hl = s.h(-1);
        return (s.m(0) * hl + s.m(-1) * h0) / (h0 + hl);
    }
};

struct HermiteRule {
    static constexpr bool kChecksPeriodic = true;
    template <class T, class S>
    static T interior(const S&, const OrvuDFTask* t, int64_t i, bool) {
        return static_cast<const T*>(t->ic)[i - 1];
    }
    template <class T, class S>
    static T periodic_end(const S&, const OrvuDFTask* t) {
        return static_cast<const T*>(t->bc)[0];
    }
};

// End slope at the left end (right = false) or its mirror at the right end;
// d1 is the slope of the neighbouring node.
template <class T, class Rule, class S>
T end_slope(End e, const S& s, const OrvuDFTask* t, bool right, T d1) {
    const int64_t last = s.cells - 1;
    const T m0 = right ? s.m(last) : s.m(0), m1 = right ? s.m(last - 1) : s.m(1);
    const T h0 = right ? s.h(last) : s.h(0), h1 = right ? s.h(last - 1) : s.h(1);
    const T* bc = static_cast<const T*>(t->bc);
    const T sign = right ? T(1) : T(-1);  // the x-mirror flips the curvature term
    switch (e) {
        case End::FreeEnd: return T(1.5) * m0 - T(0.5) * d1;
        case End::FirstDer: return bc[right ? 1 : 0];
        case End::SecondDer: return T(1.5) * m0 + sign * T(0.25) * h0 * bc[right ? 1 : 0] - T(0.5) * d1;
        case End::NotAKnot: {
            const T sw = h0 + h1;
            return (((h0 + T(2) * sw) * h1 * m0 + h0 * h0 * m1) / sw - sw * d1) / h1;
        }
        case End::NotSet: return (T(3) * m0 - m1) / T(2);
        case End::Periodic: return Rule::template periodic_end<T>(s, t);
    }
    return T(0);
}

// Per-thread workspace of 15 (uniform) or 25 (non-uniform) values, plus 5
// with interleaved storage: the sliding window of slopes lives there.
template <bool Cols, bool Uniform>
constexpr int64_t kLocalWorkspaceSlots = (Uniform ? 15 : 25) + (Cols ? 5 : 0);
// Functions are split over threads only when there is this much work.
constexpr int64_t kLocalThreadedValues = 16384;

}  // namespace

template <class Rule, class T, bool Cols, bool Uniform>
int32_t local_cubic(OrvuDFTask* t, const OrvuThreadingTable* thr) {
    const int bci = bc_index(t->bc_type, true);
    const End le = kLeftEnd[bci], re = kRightEnd[bci];
    const bool periodic = le == End::Periodic;
    if (Rule::kChecksPeriodic && periodic && !periodic_data_ok<T, Cols>(t)) return ORVU_DF_ERROR_BAD_PERIODIC_VAL;
    const int64_t nx = t->nx, ny = t->ny;
    int64_t threads = 1;
    if (ny > 1 && nx * ny >= kLocalThreadedValues) {
        threads = max_threads(thr);
        if (threads > ny) threads = ny;
    }
    Block<double> ws(Size(threads) * kLocalWorkspaceSlots<Cols, Uniform>);
    if (!ws.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    const Grid<T, Uniform> g(t);
    auto one = [&](int32_t jj) {
        const int64_t j = jj;
        const YView<T, Cols> y(t, j);
        const Secants<T, Grid<T, Uniform>, YView<T, Cols>> s{g, y, nx - 1};
        T* c = static_cast<T*>(t->coeff_ptrs[j]);
        const T d1 = Rule::template interior<T>(s, t, 1, periodic);
        T dcur = end_slope<T, Rule>(le, s, t, false, d1);
        for (int64_t i = 0; i + 1 < nx; ++i) {
            T dnext;
            if (i + 1 == nx - 1) {
                dnext = periodic ? end_slope<T, Rule>(le, s, t, false, d1)
                                 : end_slope<T, Rule>(re, s, t, true, dcur);
            } else {
                dnext = i == 0 ? d1 : Rule::template interior<T>(s, t, i + 1, periodic);
            }
            hermite_cell(c + 4 * i, y[i], s.m(i), g.h(i), dcur, dnext);
            dcur = dnext;
        }
    };
    run_blocks(thr, static_cast<int32_t>(ny), static_cast<int32_t>(threads), one);
    return ORVU_DF_OK;
}

template <class T, bool Cols, bool Uniform, int>
int32_t akima_kernel(OrvuDFTask* t, const OrvuThreadingTable* thr) { return local_cubic<AkimaRule, T, Cols, Uniform>(t, thr); }
template <class T, bool Cols, bool Uniform, int>
int32_t bessel_kernel(OrvuDFTask* t, const OrvuThreadingTable* thr) { return local_cubic<BesselRule, T, Cols, Uniform>(t, thr); }
template <class T, bool Cols, bool Uniform, int>
int32_t hermite_kernel(OrvuDFTask* t, const OrvuThreadingTable* thr) { return local_cubic<HermiteRule, T, Cols, Uniform>(t, thr); }

}  // namespace orvu::df

ORVU_DF_AKIMA_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_AKIMA_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)
ORVU_DF_BESSEL_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_BESSEL_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)
ORVU_DF_HERMITE_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_HERMITE_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)

namespace orvu::df {
namespace {

// Per family: minimum nx, whether bc type 0 (not set) is accepted, whether
// the internal conditions (node slopes) are read, and the two kernel tables.
struct LocalFamily {
    int64_t min_nx;
    bool allow_not_set;
    bool needs_ic;
    BuildKernel s[4], d[4];
};
constexpr LocalFamily kAkima{5, true, false, {ORVU_DF_AKIMA_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)},
                             {ORVU_DF_AKIMA_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)}};
constexpr LocalFamily kBessel{4, false, false, {ORVU_DF_BESSEL_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)},
                              {ORVU_DF_BESSEL_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)}};
constexpr LocalFamily kHermite{3, false, true, {ORVU_DF_HERMITE_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)},
                               {ORVU_DF_HERMITE_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)}};

template <class T>
int32_t local_entry(const LocalFamily& f, OrvuDFTask* t, const OrvuThreadingTable* thr) {
    if (!t) return ORVU_DF_ERROR_NULL_TASK;
    if (t->nx < f.min_nx) return ORVU_DF_ERROR_BAD_NX;
    if (int32_t st = check_cubic_bc(t, f.allow_not_set)) return st;
    if (f.needs_ic && !t->ic) return ORVU_DF_ERROR_BAD_IC;
    return (sizeof(T) == 4 ? f.s : f.d)[layout_index(t)](t, thr);
}

}  // namespace
}  // namespace orvu::df

#define DF_LOCAL_ENTRY(t, T, Name, fam)                                                                   \
    extern "C" ORVU_API int32_t orvu_df_kernel_##t##DF##Name##CubicSpline1D(OrvuDFTaskPtr task, int64_t, \
                                                                           int64_t, const OrvuThreadingTable* thr) { \
        return orvu::df::local_entry<T>(orvu::df::fam, task, thr);                                        \
    }
DF_LOCAL_ENTRY(s, float, Akima, kAkima)
DF_LOCAL_ENTRY(d, double, Akima, kAkima)
DF_LOCAL_ENTRY(s, float, Bessel, kBessel)
DF_LOCAL_ENTRY(d, double, Bessel, kBessel)
DF_LOCAL_ENTRY(s, float, Hermite, kHermite)
DF_LOCAL_ENTRY(d, double, Hermite, kHermite)
