// Minimum and maximum, continued from the values already in the caller's
// arrays, so that calls over successive portions give the overall extremes.
#include "ptz/stats/order/order_common.h"

namespace orvu::ss::order {
namespace {

// Lowers lo[c] / raises hi[c] (either may be null) with the values of the
// components comp[c] (comp null: c itself). Row storage is walked component
// by component, column storage observation by observation, so x is always
// read in address order.
template <class T>
void extremes(const T* x, const Dims& d, const int64_t* comp, int64_t q, T* lo, T* hi) {
    auto col = [&](int64_t c) { return comp ? comp[c] : c; };
    if (!d.columns) {
        for (int64_t c = 0; c < q; ++c) {
            const T* v = x + col(c) * d.n;
            T mn = lo ? lo[c] : T(0), mx = hi ? hi[c] : T(0);
            for (int64_t i = 0; i < d.n; ++i) {
                if (v[i] < mn) mn = v[i];   // NaN never compares: ignored
                if (v[i] > mx) mx = v[i];
            }
            if (lo) lo[c] = mn;
            if (hi) hi[c] = mx;
        }
        return;
    }
    for (int64_t i = 0; i < d.n; ++i) {
        const T* row = x + i * d.p;
        for (int64_t c = 0; c < q; ++c) {
            const T v = row[col(c)];
            if (lo && v < lo[c]) lo[c] = v;
            if (hi && v > hi[c]) hi[c] = v;
        }
    }
}

template <class T>
int32_t minmax(SSTask* t, uint32_t mlo, uint32_t mhi, int32_t method) {
    if (!t) return kNullTask;
    Dims d;
    if (const int32_t s = common_checks(t, true, &d)) return s;
    const uint64_t mask = join_mask(mlo, mhi);
    const bool want_min = mask & ORVU_SS_MIN, want_max = mask & ORVU_SS_MAX;
    if (want_min && !t->min) return kNoMin;
    if (want_max && !t->max) return kNoMax;
    if (!(method & (ORVU_SS_METHOD_FAST | ORVU_SS_METHOD_1PASS))) return kBadMethod;
    if (!want_min && !want_max) return kOk;
    const T* x = static_cast<const T*>(t->x);
    T* mn = want_min ? static_cast<T*>(t->min) : nullptr;
    T* mx = want_max ? static_cast<T*>(t->max) : nullptr;
    if (!t->indices) {
        extremes(x, d, nullptr, d.p, mn, mx);
        return kOk;
    }
    // Selected components: work on a compact copy of their extremes, so the
    // column-storage walk touches one dense array.
    const int64_t width = (want_min ? 1 : 0) + (want_max ? 1 : 0);
    void* block = BlockSize().add(d.p, sizeof(int64_t)).add(width, d.p, sizeof(T)).allocate();
    if (!block) return kNoMemory;
    auto* comp = static_cast<int64_t*>(block);
    T* work = reinterpret_cast<T*>(comp + d.p);
    const int64_t q = processed_components(t, d.p, comp);
    T* wlo = want_min ? work : nullptr;
    T* whi = want_max ? work + (want_min ? q : 0) : nullptr;
    for (int64_t c = 0; c < q; ++c) {
        if (wlo) wlo[c] = mn[comp[c]];
        if (whi) whi[c] = mx[comp[c]];
    }
    extremes(x, d, comp, q, wlo, whi);
    for (int64_t c = 0; c < q; ++c) {
        if (wlo) mn[comp[c]] = wlo[c];
        if (whi) mx[comp[c]] = whi[c];
    }
    orvu_serv_deallocate(block);
    return kOk;
}

}  // namespace
}  // namespace orvu::ss::order

using namespace orvu::ss::order;

extern "C" {

ORVU_API int32_t _ptzdSSMinmax(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method) {
    return minmax<double>(task, maskLo, maskHi, method);
}
ORVU_API int32_t _ptzsSSMinmax(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method) {
    return minmax<float>(task, maskLo, maskHi, method);
}

}  // extern "C"
