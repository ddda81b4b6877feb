// The epsilon-approximate quantile summary behind the streaming quantiles.
//
// A summary of N values is a list of tuples (v, g, d) in ascending v, where
// g counts the values the tuple stands for and d bounds the uncertainty of
// its rank: with rmin = g_1 + ... + g_i, the rank of v_i in the data lies in
// [rmin, rmin + d_i]. As long as every g_i + d_i <= 2 eps N, for any target
// rank r some tuple has rmin >= r - eps N and rmin + d <= r + eps N, so the
// tuple closest to r is off by at most eps N.
//
// New values arrive sorted and are merged in: a value below all tuples or
// above all of them knows its rank exactly (d = 0); one that falls before
// tuple s inherits d = g_s + d_s - 1, the rank uncertainty s already had.
// Compression then folds a tuple into its right neighbour whenever the sum
// stays within floor(2 eps N); the first and last tuples are never folded,
// so orders 0 and 1 stay exact.
#pragma once

#include <cstdint>

namespace orvu::ss::order {

template <class T>
struct Tuple {
    T v;
    int64_t g;
    int64_t d;
};

// One summary block: this header, then `cap` tuples.
template <class T>
struct Summary {
    int64_t size;
    int64_t cap;
    Tuple<T>* tuples() { return reinterpret_cast<Tuple<T>*>(this + 1); }
};

// The 16-byte record of one component in the task's streaming state.
struct StreamRecord {
    union {
        void* summary;    // Summary<T> block, null until values arrive
        uint64_t raw;     // keeps the record 16 bytes on 32-bit targets too
    };
    int64_t count;        // values merged so far; -1: the component has no state
};
static_assert(sizeof(StreamRecord) == 16, "one 16-byte record per component");

// The streaming state: this header, then `records` records.
struct StreamState {
    int64_t records;
    int64_t reserved;
    StreamRecord* record() { return reinterpret_cast<StreamRecord*>(this + 1); }
};
static_assert(sizeof(StreamState) == 16, "records start 16 bytes in");

// Makes room for `more` tuples beyond the current ones, moving the summary to
// a larger block when needed. False (summary unchanged) on allocation failure.
template <class T>
bool reserve(StreamRecord& rec, int64_t more);

// Merges m sorted, NaN-free values into the component's summary. The record
// must have room for them (reserve). `compress` folds tuples afterwards with
// the threshold of the new count.
template <class T>
void merge_sorted(StreamRecord& rec, const T* v, int64_t m, double eps, bool compress);

// Folds tuples with the threshold floor(2 eps N) of the current count.
template <class T>
void compress(StreamRecord& rec, double eps);

// The value whose rank range lies closest to 1 + q(N - 1); NaN when empty.
template <class T>
double query(const StreamRecord& rec, double q);

// Number of observations the component can take before its current level is
// full: levels end after floor((2^(k+1) - 1)/eps) values, k = 0, 1, 2, ...,
// so level sizes grow as 1/eps, 2/eps, 4/eps, ...
int64_t level_room(int64_t count, double eps);

}  // namespace orvu::ss::order
