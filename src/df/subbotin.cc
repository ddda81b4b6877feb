// Subbotin quadratic splines. The spline has nx cells on the subgrid
// t_0 = x[0] < t_1 < ... < t_nx = x[nx-1] with x[k-1] < t_k < x[k]; cell k
// holds node x[k]. It interpolates every node, is C1 at the interior knots and
// meets a derivative condition at each end. Its coefficients are in powers of
// (t - t_k), three per cell.
//
// Unknowns are the knot values v_1 .. v_(nx-1) (v_0 = y[0], v_nx = y[nx-1]).
// An interior cell k (1 <= k <= nx-2) is the parabola through v_k, y[k] and
// v_(k+1); the end cells are fixed by their outer value and the boundary
// condition. Row k-1 of the tridiagonal system states that the derivative of
// cell k-1 at t_k equals that of cell k.
#include "df/construct.h"
#include "df/subbotin.h"
#include "df/tridiag.h"

namespace orvu::df {
namespace {

// Interior cell of width H whose node sits at fraction th: the end
// derivatives as a*A + b*B + g*Y for end values A, B and node value Y.
template <class T>
struct Parabola {
    T la, lb, lg;  // derivative at the left end
    T ra, rb, rg;  // derivative at the right end
    Parabola(T th, T H) {
        const T q = th * (T(1) - th);
        la = -(T(1) + th) / (th * H);
        lb = -th / ((T(1) - th) * H);
        lg = T(1) / (q * H);
        ra = (T(1) - th) / (th * H);
        rb = (T(2) - th) / ((T(1) - th) * H);
        rg = -T(1) / (q * H);
    }
};

}  // namespace

template <class T, bool Cols, bool Uniform, int Cond>
int32_t subbotin_kernel(OrvuDFTask* t, const OrvuThreadingTable*) {
    constexpr End kL = kLeftEnd[Cond & 7], kR = kRightEnd[Cond & 7];
    const Grid<T, Uniform> g(t);
    const int64_t nx = t->nx;
    const T* x = static_cast<const T*>(t->x);
    auto node = [&](int64_t i) { return Uniform ? (i == nx - 1 ? x[1] : x[0] + static_cast<T>(i) * g.step) : x[i]; };
    auto knot = [&](int64_t k) { return subbotin_knot<T, (Cond & 8) != 0>(t, k); };
    if (!(knot(0) == node(0)) || !(knot(nx) == node(nx - 1))) return ORVU_DF_ERROR_BAD_IC;
    for (int64_t k = 1; k < nx; ++k)
        if (!(node(k - 1) < knot(k) && knot(k) < node(k))) return ORVU_DF_ERROR_BAD_IC;

    // 64 bytes per knot: three diagonals and the right-hand side.
    Block<unsigned char> ws(Size(64) * (Size(nx) + 1));
    if (!ws.ok()) return ORVU_DF_ERROR_MEM_FAILURE;
    const int64_t n = nx - 1;
    T* dl = reinterpret_cast<T*>(ws.get());
    T* d = dl + n;
    T* du = d + n;
    T* v = du + n;  // v[k] holds knot value k, 0 .. nx
    const T* bc = static_cast<const T*>(t->bc);
    const T bl = bc[0], br = bc[1];
    const T h0 = knot(1) - knot(0), hn = knot(nx) - knot(nx - 1);

    for (int64_t j = 0; j < t->ny; ++j) {
        const YView<T, Cols> y(t, j);
        const T y0 = y[0], yn = y[nx - 1];
        for (int64_t k = 1; k < nx; ++k) {
            T diag = 0, sub = 0, sup = 0, rhs = 0;
            if (k - 1 == 0) {  // left end cell: derivative at t_1 = bB*v_1 + const
                const T bB = kL == End::FirstDer ? T(2) / h0 : T(1) / h0;
                const T c = kL == End::FirstDer ? -T(2) * y0 / h0 - bl : -y0 / h0 + bl * h0 / T(2);
                diag += bB;
                rhs -= c;
            } else {
                const T H = knot(k) - knot(k - 1);
                const Parabola<T> p((node(k - 1) - knot(k - 1)) / H, H);
                sub = p.ra;
                diag += p.rb;
                rhs -= p.rg * y[k - 1];
            }
            if (k == nx - 1) {  // right end cell: derivative at t_(nx-1) = aA*v_(nx-1) + const
                const T aA = kR == End::FirstDer ? -T(2) / hn : -T(1) / hn;
                const T c = kR == End::FirstDer ? T(2) * yn / hn - br : yn / hn - br * hn / T(2);
                diag -= aA;
                rhs += c;
            } else {
                const T H = knot(k + 1) - knot(k);
                const Parabola<T> p((node(k) - knot(k)) / H, H);
                diag -= p.la;
                sup = -p.lb;
                rhs += p.lg * y[k];
            }
            d[k - 1] = diag;
            v[k] = rhs;
            if (k > 1) dl[k - 2] = sub;
            if (k < nx - 1) du[k - 1] = sup;
        }
        // The system is diagonally dominant for nodes inside their cells;
        // the solver's info is not consulted.
        tsv(static_cast<int32_t>(n), 1, dl, d, du, v + 1, static_cast<int32_t>(n));
        v[0] = y0;
        v[nx] = yn;

        T* c = static_cast<T*>(t->coeff_ptrs[j]);
        for (int64_t k = 0; k < nx; ++k) {
            const T A = v[k], B = v[k + 1], H = knot(k + 1) - knot(k);
            T c1, c2;
            if (k == 0) {
                c1 = kL == End::FirstDer ? bl : (B - A) / H - bl * H / T(2);
                c2 = kL == End::FirstDer ? (B - A - bl * H) / (H * H) : bl / T(2);
            } else if (k == nx - 1) {
                c1 = kR == End::FirstDer ? T(2) * (B - A) / H - br : (B - A) / H - br * H / T(2);
                c2 = kR == End::FirstDer ? (br - c1) / (T(2) * H) : br / T(2);
            } else {
                const T th = (node(k) - knot(k)) / H, q = th * (T(1) - th), Y = y[k];
                c1 = (-(T(1) + th) / th * A + Y / q - th / (T(1) - th) * B) / H;
                c2 = (A / th - Y / q + B / (T(1) - th)) / (H * H);
            }
            c[3 * k] = A;
            c[3 * k + 1] = c1;
            c[3 * k + 2] = c2;
        }
    }
    return ORVU_DF_OK;
}

}  // namespace orvu::df

ORVU_DF_SUBBOTIN_KERNELS(ORVU_DF_DEFINE_KERNEL, s, float)
ORVU_DF_SUBBOTIN_KERNELS(ORVU_DF_DEFINE_KERNEL, d, double)

namespace orvu::df {
namespace {
constexpr BuildKernel kSubbS[] = {ORVU_DF_SUBBOTIN_KERNELS(ORVU_DF_TABLE_ENTRY, s, float)};
constexpr BuildKernel kSubbD[] = {ORVU_DF_SUBBOTIN_KERNELS(ORVU_DF_TABLE_ENTRY, d, double)};
}  // namespace

template <class T>
int32_t subbotin_entry(OrvuDFTask* t, const OrvuThreadingTable* thr) {
    if (!(t->ic_type & kIcSubbotinKnots)) return ORVU_DF_ERROR_BAD_IC_TYPE;
    // Only the four derivative conditions (indices 2 .. 5) have a Subbotin
    // kernel; not-a-knot, free end, periodic and unknown types are refused.
    const int bi = bc_index(t->bc_type, false);
    if (bi < 2 || bi > 5) return ORVU_DF_ERROR_BAD_BC_TYPE;
    if (!t->bc) return ORVU_DF_ERROR_NULL_BC;
    if (!t->ic) return ORVU_DF_ERROR_BAD_IC;
    if (int32_t st = check_arrays(t)) return st;
    const int idx = ((t->ic_type & kIcUniformSubgrid) ? 16 : 0) + (bi - 2) * 4 + layout_index(t);
    return (sizeof(T) == 4 ? kSubbS : kSubbD)[idx](t, thr);
}
template int32_t subbotin_entry<float>(OrvuDFTask*, const OrvuThreadingTable*);
template int32_t subbotin_entry<double>(OrvuDFTask*, const OrvuThreadingTable*);

}  // namespace orvu::df
