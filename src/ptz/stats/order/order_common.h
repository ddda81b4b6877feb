// What the order-statistics routines share: status codes of their fields,
// the thread count and loop of the caller's threading
// table, sorting and gathering one component, and the quantile of a set of
// values.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "orvu_arrayutil.h"
#include "orvu_ptz_order.h"
#include "ptz/stats/block_size.h"
#include "ptz/stats/order/sort_core.h"
#include "ptz/stats/task.h"

namespace orvu::ss::order {

// Null-field codes of the estimates of this family (the task's code table).
enum OrderStatus : int32_t {
    kNoIndicesState = -4004,   // also: a component without streaming state
    kNoWeights = -4005,
    kNoMean = -4006,
    kNoMin = -4015,
    kNoMax = -4016,
    kNoQuantOrders = -4021,
    kBadQuantOrderN = -4022,
    kNoQuantiles = -4023,
    kNoOrderStats = -4024,
    kNoSQuantParamsN = -4064,
    kNoSQuantParams = -4065,
    kBadSQuantParamsN = -4066,
    kBadEpsilon = -4067,
    kNoSQuantOrders = -4068,
    kBadSQuantOrderN = -4069,
    kNoSQuantiles = -4070,
    kNoMedianAbsDev = -4082,
    kNoMeanAbsDev = -4083,
};

// The largest usable thread count of the table (1 without a table).
inline int64_t table_threads(const OrvuThreadingTable* thr) {
    if (!thr || !thr->parallel_for || !thr->max_threads) return 1;
    const int64_t t = thr->max_threads();
    return t < 1 ? 1 : t;
}

// Runs body(i, thread, threads, ctx) for i in [0, count): through the
// table's parallel loop when there is one, else on this thread.
inline void run_loop(const OrvuThreadingTable* thr, int64_t count, int64_t threads, void* ctx,
                     orvu_thr_loop_body body) {
    if (thr && thr->parallel_for && count <= INT32_MAX) {
        thr->parallel_for(int32_t(count), int32_t(threads), ctx, body);
        return;
    }
    for (int64_t i = 0; i < count; ++i) body(int32_t(i), 0, 1, ctx);
}

// In-place ascending radix sort of n contiguous values with scratch `work`;
// the comparison sort takes over where the radix sort's 32-bit length ends.
inline void sort_contiguous(double* v, double* work, int64_t n) {
    if (n <= INT32_MAX) orvu_dft_c5h2_yobsSortRadixAscend_64f_I(v, work, int32_t(n));
    else __ptzdQSortStep(n, v, 1);
}
inline void sort_contiguous(float* v, float* work, int64_t n) {
    if (n <= INT32_MAX) orvu_dft_c5h2_yobsSortRadixAscend_32f_I(v, work, int32_t(n));
    else __ptzsQSortStep(n, v, 1);
}

// Every order in [0, 1] (NaN is not).
template <class T>
bool orders_valid(const T* q, int64_t k) {
    for (int64_t i = 0; i < k; ++i)
        if (!(q[i] >= 0 && q[i] <= 1)) return false;
    return true;
}

// Component j's n values, from either storage of x, to dst[i * stride].
template <class T>
void gather(const T* x, const Dims& d, int64_t j, T* dst, int64_t stride) {
    if (!d.columns && stride == 1) {
        std::memcpy(dst, x + j * d.n, size_t(d.n) * sizeof(T));
        return;
    }
    for (int64_t i = 0; i < d.n; ++i)
        dst[i * stride] = d.columns ? x[i * d.p + j] : x[j * d.n + i];
}

// (1 - f)a + fb; exact at f = 0 and for a == b, where the formula would
// turn infinities into NaN.
inline double interpolate(double a, double b, double f) {
    if (f == 0 || a == b) return a;
    return a * (1 - f) + f * b;
}

// The position of order q among n values: integer part and fraction of
// h = q(n - 1).
struct Position {
    int64_t i;
    double f;
};
inline Position position(double q, int64_t n) {
    const double h = q * double(n - 1);
    int64_t i = int64_t(h);   // h >= 0: truncation is the floor
    if (i > n - 1) i = n - 1;
    return {i, h - double(i)};
}

// Reads values by rank from an unsorted buffer by repeated selection. Ranks
// already settled are remembered, so each later selection only partitions
// the stretch between its settled neighbours.
template <class T>
class RankReader {
public:
    RankReader(T* a, int64_t n) : acc_{a}, n_(n) { split_nans(acc_, n, &lo_, &hi_); }

    T at(int64_t r) {
        if (r < lo_ || r >= hi_) return acc_.a[r];   // a NaN, by sign
        int64_t l = lo_, h = hi_;
        if (bracket(r, &l, &h)) return acc_.a[r];
        select_in(acc_, l, h, r);
        remember(r);
        return acc_.a[r];
    }

    // The value of rank r + 1, once rank r has been read: the smallest of
    // the stretch after r, moved into place.
    T next(int64_t r) {
        const int64_t s = r + 1;
        if (s < lo_ || s >= hi_) return acc_.a[s];
        int64_t l = lo_, h = hi_;
        if (bracket(s, &l, &h)) return acc_.a[s];
        int64_t m = s;
        for (int64_t i = s + 1; i < h; ++i)
            if (acc_.a[i] < acc_.a[m]) m = i;
        acc_.swap(s, m);
        remember(s);
        return acc_.a[s];
    }

    double quantile(double q) {
        const Position pos = position(q, n_);
        const double a = double(at(pos.i));
        if (pos.f == 0 || pos.i + 1 >= n_) return a;
        return interpolate(a, double(next(pos.i)), pos.f);
    }

private:
    // Narrows [l, h) to the settled neighbours of r; true when r is settled.
    bool bracket(int64_t r, int64_t* l, int64_t* h) const {
        for (int i = 0; i < count_; ++i) {
            const int64_t f = settled_[i];
            if (f == r) return true;
            if (f < r && f + 1 > *l) *l = f + 1;
            if (f > r && f < *h) *h = f;
        }
        return false;
    }
    void remember(int64_t r) {
        if (count_ < kMaxSettled) settled_[count_++] = r;
    }

    static constexpr int kMaxSettled = 64;
    Contig<T> acc_;
    int64_t n_, lo_ = 0, hi_ = 0;
    int64_t settled_[kMaxSettled];
    int count_ = 0;
};

// Quantile of order q from n values sorted ascending, spaced by stride.
template <class T>
double sorted_quantile(const T* v, int64_t n, int64_t stride, double q) {
    const Position pos = position(q, n);
    const double a = double(v[pos.i * stride]);
    if (pos.f == 0 || pos.i + 1 >= n) return a;
    return interpolate(a, double(v[(pos.i + 1) * stride]), pos.f);
}

}  // namespace orvu::ss::order
