// Cell-search kernels, one template per method. A cell is the number of
// nodes not greater than the site (0 .. nx); cells are closed on the left.
#ifndef ORVU_DF_SEARCH_KERNELS_H
#define ORVU_DF_SEARCH_KERNELS_H

#include <cstdint>

#include "orvu_df.h"

namespace orvu::df {

// Nodes of the partition, stored or uniform (x[0], x[1] the two ends).
template <class T>
struct Nodes {
    const T* x;
    int64_t nx;
    bool uniform;
    T step;
    T operator[](int64_t i) const {
        if (!uniform) return x[i];
        return i == nx - 1 ? x[1] : x[0] + static_cast<T>(i) * step;
    }
};

// Cell for a site whose cell is known to be >= from: count nodes <= t upward.
template <class T, class X>
inline int64_t scan_up(const X& x, int64_t nx, int64_t from, T t) {
    int64_t c = from;
    while (c < nx && x[c] <= t) ++c;
    return c;
}
// Cell for a site whose cell is known to be <= from: step down while the
// node to the left is greater than t.
template <class T, class X>
inline int64_t scan_down(const X& x, int64_t from, T t) {
    int64_t c = from;
    while (c > 0 && x[c - 1] > t) --c;
    return c;
}

template <class T>
void uniform_search(int64_t nx, const T* x, int64_t n, const T* site, T inv, int32_t* cell) {
    for (int64_t k = 0; k < n; ++k) {
        const T t = site[k];
        if (!(t >= x[0])) { cell[k] = 0; continue; }
        const T v = (t - x[0]) * inv;
        cell[k] = v >= static_cast<T>(nx - 1) ? static_cast<int32_t>(nx)
                                              : (v > T(0) ? static_cast<int32_t>(static_cast<int64_t>(v) + 1) : 1);
    }
}

template <class T>
void sorted_search(int64_t nx, const T* x, int64_t n, const T* site, int32_t* start, int32_t* cell) {
    int64_t c = *start < 0 ? 0 : (*start > nx ? nx : *start);
    const int64_t half = nx / 2;
    for (int64_t k = 0; k < n; ++k) {
        const T t = site[k];
        if (c < nx - half) {  // far from the top: halve [c, nx) first
            int64_t top = nx;
            while (top - c > half) {
                const int64_t mid = c + (top - c) / 2;
                // A branch, not a conditional move: on ascending sites the
                // outcome repeats, and a predicted branch lets the next site's
                // loads start before this comparison is known (a conditional
                // move would chain every site's load on the previous one).
                if (x[mid] <= t) {
                    c = mid;
                    __asm__("" : "+r"(c));
                } else {
                    top = mid;
                }
            }
        }
        c = scan_up(x, nx, c, t);
        cell[k] = static_cast<int32_t>(c);
    }
    *start = static_cast<int32_t>(c);
}

template <class T>
void quasi_uniform_search(int64_t nx, const T* x, int64_t n, const T* site, T inv, int32_t* cell) {
    for (int64_t k = 0; k < n; ++k) {
        const T t = site[k];
        if (!(t >= x[0])) { cell[k] = 0; continue; }
        const T v = (t - x[0]) * inv;
        int64_t c;
        if (!(v < static_cast<T>(nx - 1))) {  // also a NaN estimate: from the top
            c = x[nx - 1] <= t ? nx : scan_down(x, nx - 1, t);
        } else {
            // v < 0 only for a negative inv or nodes out of order; the
            // estimate stays a node index even for nx = 1.
            int64_t g = v > T(0) ? static_cast<int64_t>(v) + 1 : 1;
            if (g > nx - 1) g = nx - 1;
            c = t >= x[g] ? scan_up(x, nx, g + 1, t) : scan_down(x, g, t);
        }
        cell[k] = static_cast<int32_t>(c);
    }
}

template <class T>
void hybrid_search(int64_t nx, const T* x, int64_t n, const T* site, T inv_bw, int64_t m, const uint32_t* bins,
                   int32_t* cell) {
    for (int64_t k = 0; k < n; ++k) {
        const T t = site[k];
        if (!(t >= x[0])) { cell[k] = 0; continue; }
        if (t >= x[nx - 1]) { cell[k] = static_cast<int32_t>(nx); continue; }
        int64_t lo = 0, hi = nx - 1;
        if (m >= 1) {
            const T v = (t - x[0]) * inv_bw;
            // A partition out of order can make v negative: stay inside the table.
            const int64_t b = v >= static_cast<T>(m - 1) ? m - 1 : (v > T(0) ? static_cast<int64_t>(v) : 0);
            // The table may be stale (x or nx changed since it was built) or
            // not the partition's at all: its bounds are kept inside the
            // partition and only steer the search.
            hi = bins[2 * b + 1] < static_cast<uint64_t>(nx - 1) ? bins[2 * b + 1] : nx - 1;
            lo = bins[2 * b] < static_cast<uint64_t>(hi) ? bins[2 * b] : hi;
        }
        while (hi - lo > 20) {  // bisect wide bins, then scan
            const int64_t mid = (lo + hi) / 2;
            if (x[mid] > t) hi = mid; else lo = mid;
        }
        // With a true table the scan up stops by hi and the scan down does not
        // move; with a stale one they still end at the site's cell.
        cell[k] = static_cast<int32_t>(scan_down(x, scan_up(x, nx, lo, t), t));
    }
}

template <class T>
void peak_search(int64_t nx, const T* x, int64_t n, const T* site, T peak, int32_t* cell) {
    // The peak only says where to start: a NaN or negative one starts at the
    // bottom, one at or beyond nx (however large) at the top.
    const int64_t p = !(peak > T(0)) ? 0 : (peak >= static_cast<T>(nx) ? nx : static_cast<int64_t>(peak));
    for (int64_t k = 0; k < n; ++k) {
        const T t = site[k];
        int64_t c;
        if (p >= nx) c = x[nx - 1] <= t ? nx : scan_down(x, nx - 1, t);
        else if (t >= x[p]) c = scan_up(x, nx, p, t);
        else c = (p == 0 || x[p - 1] <= t) ? p : scan_down(x, p, t);
        cell[k] = static_cast<int32_t>(c);
    }
}

// Sites handed to the caller's search per call.
constexpr int64_t kUserSearchBlock = 128;

// Caller-defined search followed by refinement of the estimated cells.
// Returns the callback's negative status at once, otherwise the last status
// other than 1000 it gave (0 if none).
template <class T, class CB>
int32_t user_search(const Nodes<T>& x, int64_t n, const T* site, int32_t* cell, CB cb, void* params) {
    const int64_t nx = x.nx;
    int32_t result = 0;
    for (int64_t k0 = 0; k0 < n; k0 += kUserSearchBlock) {
        int64_t cnt = n - k0 < kUserSearchBlock ? n - k0 : kUserSearchBlock;
        int64_t est[kUserSearchBlock];
        int32_t flag[kUserSearchBlock] = {};
        for (int64_t k = 0; k < cnt; ++k) est[k] = 0;
        const int64_t asked = cnt;
        const int32_t st = cb(&cnt, site + k0, est, flag, params);
        if (st < 0) {
            for (int64_t k = 0; k < asked; ++k) cell[k0 + k] = static_cast<int32_t>(est[k]);
            return st;
        }
        for (int64_t k = 0; k < asked; ++k) {
            // A cell the callback calls final is still kept within 0 .. nx.
            int64_t g = est[k] < 0 ? 0 : (est[k] > nx ? nx : est[k]);
            const T t = site[k0 + k];
            if (st != 1000 && flag[k] == 0) {
                if (g >= nx) g = x[nx - 1] <= t ? nx : scan_down(x, nx - 1, t);
                else if (t > x[g]) g = scan_up(x, nx, g, t);
                else if (g > 0 && x[g - 1] > t) g = scan_down(x, g, t);
            }
            cell[k0 + k] = static_cast<int32_t>(g);
        }
        if (st != 1000) result = st;
    }
    return result;
}

}  // namespace orvu::df

#endif
