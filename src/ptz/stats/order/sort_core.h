// Comparison sorting and selection over an "accessor" (key(i), swap(i, j)),
// so that one algorithm serves contiguous arrays, strided columns and
// value/weight pairs. The partition loops compare with `<`, which NaN breaks,
// so callers first move NaNs out of the way with split_nans().
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>

namespace orvu::ss::order {

template <class T>
struct Contig {
    T* a;
    T key(int64_t i) const { return a[i]; }
    void swap(int64_t i, int64_t j) { std::swap(a[i], a[j]); }
};

template <class T>
struct Strided {
    T* a;
    int64_t s;
    T key(int64_t i) const { return a[i * s]; }
    void swap(int64_t i, int64_t j) { std::swap(a[i * s], a[j * s]); }
};

template <class T>
struct Paired {   // sorts v, carries w along
    T* v;
    T* w;
    T key(int64_t i) const { return v[i]; }
    void swap(int64_t i, int64_t j) {
        std::swap(v[i], v[j]);
        std::swap(w[i], w[j]);
    }
};

// Negative NaNs to the front, positive NaNs to the back; [*lo, *hi) then
// holds the other values. This is where the radix sort puts them too.
template <class A>
void split_nans(A& a, int64_t n, int64_t* lo, int64_t* hi) {
    int64_t l = 0, h = n;
    for (int64_t i = 0; i < n; ++i) {
        const auto v = a.key(i);
        if (std::isnan(v) && std::signbit(v)) a.swap(i, l++);
    }
    for (int64_t i = n - 1; i >= l; --i) {
        const auto v = a.key(i);
        if (std::isnan(v)) a.swap(i, --h);   // only positive NaNs are left past l
    }
    *lo = l;
    *hi = h;
}

constexpr int64_t kSmall = 16;   // below this, insertion sort beats partitioning

template <class A>
void insertion_sort(A& a, int64_t lo, int64_t hi) {
    for (int64_t i = lo + 1; i < hi; ++i)
        for (int64_t j = i; j > lo && a.key(j) < a.key(j - 1); --j) a.swap(j, j - 1);
}

template <class A>
void sift_down(A& a, int64_t lo, int64_t root, int64_t len) {
    for (;;) {
        int64_t child = 2 * root + 1;
        if (child >= len) return;
        if (child + 1 < len && a.key(lo + child) < a.key(lo + child + 1)) ++child;
        if (!(a.key(lo + root) < a.key(lo + child))) return;
        a.swap(lo + root, lo + child);
        root = child;
    }
}

// The O(n log n) guard for inputs that defeat the median-of-three pivot.
template <class A>
void heap_sort(A& a, int64_t lo, int64_t hi) {
    const int64_t len = hi - lo;
    for (int64_t r = len / 2 - 1; r >= 0; --r) sift_down(a, lo, r, len);
    for (int64_t end = len - 1; end > 0; --end) {
        a.swap(lo, lo + end);
        sift_down(a, lo, 0, end);
    }
}

// Partitions [lo, hi) (hi - lo >= 3) around the median of its first, middle
// and last keys; returns the pivot's final index j: keys before j are <= it,
// keys after are >= it. Scans stop on keys equal to the pivot, so runs of
// duplicates are split evenly instead of degrading to quadratic time.
template <class A>
int64_t partition(A& a, int64_t lo, int64_t hi) {
    const int64_t mid = lo + (hi - lo) / 2, last = hi - 1;
    if (a.key(mid) < a.key(lo)) a.swap(mid, lo);
    if (a.key(last) < a.key(mid)) a.swap(last, mid);
    if (a.key(mid) < a.key(lo)) a.swap(mid, lo);
    // lo <= mid <= last now; the median goes to lo, `last` stops the up-scan.
    a.swap(lo, mid);
    const auto pivot = a.key(lo);
    int64_t i = lo, j = hi;
    for (;;) {
        do ++i; while (a.key(i) < pivot);
        do --j; while (pivot < a.key(j));   // stops at lo at the latest
        if (i >= j) break;
        a.swap(i, j);
    }
    a.swap(lo, j);
    return j;
}

inline int depth_budget(int64_t n) {
    int d = 0;
    while (n > 1) { n >>= 1; ++d; }
    return 2 * d + 4;
}

// Puts the k-th smallest key of [lo, hi) (lo <= k < hi, no NaNs) at index k,
// with no larger key before it and no smaller one after it.
template <class A>
void select_in(A& a, int64_t lo, int64_t hi, int64_t k) {
    int budget = depth_budget(hi - lo);
    while (hi - lo > kSmall) {
        if (--budget < 0) {
            heap_sort(a, lo, hi);
            return;
        }
        const int64_t j = partition(a, lo, hi);
        if (j == k) return;
        if (k < j) hi = j;
        else lo = j + 1;
    }
    insertion_sort(a, lo, hi);
}

// Ascending sort of [lo, hi) (no NaNs): quicksort, recursing into the
// smaller side so the stack stays logarithmic.
template <class A>
void sort_in(A& a, int64_t lo, int64_t hi, int budget) {
    while (hi - lo > kSmall) {
        if (--budget < 0) {
            heap_sort(a, lo, hi);
            return;
        }
        const int64_t j = partition(a, lo, hi);
        if (j - lo < hi - j) {
            sort_in(a, lo, j, budget);
            lo = j + 1;
        } else {
            sort_in(a, j + 1, hi, budget);
            hi = j;
        }
    }
    insertion_sort(a, lo, hi);
}

// Full ascending sort in the radix-sort order: NaNs at the ends by sign,
// and, because `<` sees -0.0 == +0.0, the run of zeros rewritten with its
// negative zeros first.
template <class A>
void sort_total(A& a, int64_t n) {
    int64_t lo, hi;
    split_nans(a, n, &lo, &hi);
    sort_in(a, lo, hi, depth_budget(hi - lo));
    int64_t z0 = lo, z1 = hi;   // first key >= 0, by bisection
    while (z0 < z1) {
        const int64_t m = z0 + (z1 - z0) / 2;
        if (a.key(m) < 0) z0 = m + 1;
        else z1 = m;
    }
    int64_t end = z0;
    while (end < hi && a.key(end) == 0) ++end;
    // within the zeros: negative ones to the front (two-pointer exchange)
    for (int64_t i = z0, k = end - 1; i < k;) {
        if (std::signbit(a.key(i))) ++i;
        else if (!std::signbit(a.key(k))) --k;
        else a.swap(i++, k--);
    }
}

}  // namespace orvu::ss::order
