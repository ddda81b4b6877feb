// What one call of basic statistics has to do, derived from the estimate
// mask and the method before any data are read.
#pragma once

#include <cstdint>

#include "ptz/stats/basic_tables.h"
#include "ptz/stats/task.h"

namespace orvu::ss {

struct BasicPlan {
    Pass pass = kPass1p;
    bool conversion = false;
    uint32_t requested = 0;   // slots of the requested estimates
    uint32_t needed = 0;      // union of their requirement sets
    int level = 0;            // kernel level
    bool cp = false;          // a cross-product accumulator is needed
    // What a continuing call must recover from the caller's arrays.
    bool state_raw[3] = {}, state_cen[3] = {}, state_cp = false;
};

// Checks the method bits and the requirement sets against the task's
// non-null fields; fills the plan or returns -4029 or the status of the
// lowest missing slot.
int32_t make_basic_plan(const SSTask* t, uint64_t mask, int32_t method, BasicPlan* plan);

template <class T>
inline T* field(const SSTask* t, int slot) {
    void* v;
    __builtin_memcpy(&v, reinterpret_cast<const char*>(t) + kSlotRows[slot].field, sizeof v);
    return static_cast<T*>(v);
}

}  // namespace orvu::ss
