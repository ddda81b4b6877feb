// Weighted quantile of one order per component.
//
// Each observation of positive weight w_k, taken in ascending value order,
// owns the stretch [S_{k-1}, S_k) of the cumulative weight axis; it sits at
// the stretch's centre c_k = S_{k-1} + w_k/2. The centres of the smallest
// and the largest value are orders 0 and 1, so the target of order q is
// c_1 + q(c_m - c_1), and the result is interpolated linearly between the
// two observations whose centres enclose the target. When the target is a
// centre exactly, the result is that observation's value (no interpolation,
// so infinities come through intact). With equal weights c_k - c_1 is
// proportional to k - 1 and the result is the ordinary quantile.
#include "ptz/stats/order/order_common.h"

namespace orvu::ss::order {
namespace {

// The weighted quantile of m >= 1 (value, weight) pairs, all weights > 0, no
// NaN values, total weight `total`. The pairs are sorted by value.
template <class T>
double weighted_quantile(T* v, T* w, int64_t m, double total, double q) {
    Paired<T> pairs{v, w};
    sort_total(pairs, m);
    if (m == 1) return double(v[0]);
    const double first = 0.5 * double(w[0]), last = total - 0.5 * double(w[m - 1]);
    if (q >= 1) return double(v[m - 1]);
    const double target = first + q * (last - first);
    double centre = first, running = double(w[0]);
    for (int64_t k = 0; k + 1 < m; ++k) {
        if (target == centre) return double(v[k]);
        const double next = running + 0.5 * double(w[k + 1]);
        if (target < next) return interpolate(double(v[k]), double(v[k + 1]), (target - centre) / (next - centre));
        running += double(w[k + 1]);
        centre = next;
    }
    return double(v[m - 1]);   // rounding left the target just past the last centre
}

template <class T>
int32_t wmedian(SSTask* t) {
    if (!t) return kNullTask;
    Dims d;
    if (const int32_t s = common_checks(t, true, &d)) return s;
    if (!t->quantiles) return kNoQuantiles;
    if (!t->quantOrders) return kNoQuantOrders;
    const T* orders = static_cast<const T*>(t->quantOrders);
    if (!orders_valid(orders, 1)) return kBadQuantOrderN;
    const T* weights = static_cast<const T*>(t->weights);
    double total = weights ? 0.0 : double(d.n);
    for (int64_t i = 0; weights && i < d.n; ++i) {
        const double wi = double(weights[i]);
        if (!(wi >= 0) || std::isinf(wi)) return kNoWeights;
        total += wi;
    }
    if (!(total > 0) || std::isinf(total)) return kNoWeights;

    // One block: the component list, then n values and n weights of scratch.
    void* block = BlockSize().add(d.p, sizeof(int64_t)).add(2, d.n, sizeof(T)).allocate();
    if (!block) return kNoMemory;
    auto* comp = static_cast<int64_t*>(block);
    T* v = reinterpret_cast<T*>(comp + d.p);
    T* w = v + d.n;
    const int64_t q = processed_components(t, d.p, comp);
    const T* x = static_cast<const T*>(t->x);
    T* out = static_cast<T*>(t->quantiles);
    for (int64_t c = 0; c < q; ++c) {
        const int64_t j = comp[c];
        int64_t m = 0;
        bool nan = false;
        for (int64_t i = 0; i < d.n; ++i) {
            const T wi = weights ? weights[i] : T(1);
            if (wi == 0) continue;
            const T xi = d.columns ? x[i * d.p + j] : x[j * d.n + i];
            nan |= std::isnan(xi);
            v[m] = xi;
            w[m++] = wi;
        }
        out[c] = nan ? T(NAN) : T(weighted_quantile(v, w, m, total, double(orders[0])));
    }
    orvu_serv_deallocate(block);
    return kOk;
}

}  // namespace
}  // namespace orvu::ss::order

using namespace orvu::ss::order;

extern "C" {

ORVU_API int32_t _ptzdSSWMedian(SSTask* task) { return wmedian<double>(task); }
ORVU_API int32_t _ptzsSSWMedian(SSTask* task) { return wmedian<float>(task); }

}  // extern "C"
