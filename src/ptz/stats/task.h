// What every statistics compute routine needs from the task: reading the
// caller's integers through the task's pointers (32- or 64-bit as the task
// says), the common entry checks, the processed-component list and the
// clean-up hook.
#pragma once

#include <cstdint>

#include "orvu_ptz_stats.h"

namespace orvu::ss {

// Status codes of the family (the full list is the null-code column of
// task_params.def plus these).
enum Status : int32_t {
    kOk = 0,
    kBadParamId = -3,
    kNoMemory = -4000,
    kBadDimension = -4001,
    kBadObsCount = -4002,
    kBadStorage = -4003,
    kNoAccumWeight = -4020,
    kBadMethod = -4029,
    kNoGroupIndices = -4030,
    kNullTask = -4031,
    kNoX = -4032,
    kBadGroupIndex = -4038,
    kNoStorageOrCount = -4044,
    kParamFailed = -4072,
    kBadPartialIndices = -4073,
    kPotrfFailed = -5010,
    kPotriFailed = -5011,
    kSyevFailed = -5030,
};

// A caller integer read through an int pointer of the task.
inline int64_t read_int(const SSTask* t, const void* ptr) {
    return t->int64Marker ? *static_cast<const int64_t*>(ptr)
                          : static_cast<int64_t>(*static_cast<const int32_t*>(ptr));
}
// Element i of a caller integer array (indices, group indices).
inline int64_t read_int_at(const SSTask* t, const void* arr, int64_t i) {
    return t->int64Marker ? static_cast<const int64_t*>(arr)[i]
                          : static_cast<int64_t>(static_cast<const int32_t*>(arr)[i]);
}

// The 64-bit estimate mask of a compute routine from its two 32-bit halves.
inline uint64_t join_mask(uint32_t lo, uint32_t hi) { return uint64_t(lo) | (uint64_t(hi) << 32); }

// Threads worth starting over n observations of p components (p p with a
// cross-product): min(max_threads, work >> 13, n >> 4), at least 1.
inline int32_t work_threads(int64_t max_threads, int64_t n, int64_t p, bool cp) {
    int64_t threads = max_threads;
    int64_t work;   // saturates: a huge caller n or p only means "much work"
    if (__builtin_mul_overflow(n, p, &work) || (cp && __builtin_mul_overflow(work, p, &work))) work = INT64_MAX;
    if (work >> 13 < threads) threads = work >> 13;
    if (n >> 4 < threads) threads = n >> 4;
    return threads < 1 ? 1 : static_cast<int32_t>(threads);
}

// The dimensions and layout of one computation, as read at the call.
struct Dims {
    int64_t p = 0, n = 0;
    bool columns = false;   // x[i*p + j]; otherwise rows, x[j*n + i]
    int64_t ld = 0;         // n for rows, p for columns
};

// The common checks, in their order: p (-4001), n (-4002), x when the routine
// reads it (-4032), the xStorage pointer (-4044) and its value (-4003).
int32_t common_checks(const SSTask* t, bool reads_x, Dims* out);

// Processed components (indices[j] != 0, or all when indices is null), in
// increasing order, written to `comp` (room for p); returns their number.
int64_t processed_components(const SSTask* t, int64_t p, int64_t* comp);

// Storage code of a matrix field: 0 full, 1 lower packed, 2 upper packed
// (bit 0x2 is tested first, then bit 0x1).
inline int mtx_layout(int64_t code) { return (code & 2) ? 2 : (code & 1) ? 1 : 0; }

// Registers the task's clean-up hook, run by __ptzSSDeleteTask. The record has
// room for one: registering the same hook again is a no-op; a different one
// is refused with -3 and nothing changes.
int32_t register_hook(SSTask* t, orvu_ss_hook hook);

}  // namespace orvu::ss
