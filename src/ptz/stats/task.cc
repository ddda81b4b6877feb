// Task creation, deletion, the editors by parameter id and the common checks.
#include "ptz/stats/task.h"

#include <cstring>

namespace orvu::ss {
namespace {

enum Kind : uint8_t { P, I };
struct Param {
    size_t offset;   // of the field in SSTask
    Kind kind;
    int32_t null_code;
    bool present;
};

constexpr int kMaxId = 77;
struct ParamTable {
    Param rows[kMaxId + 1] = {};
    constexpr ParamTable() {
#define SS_PARAM(id, field, kind, code) rows[id] = Param{offsetof(SSTask, field), kind, code, true};
#include "ptz/stats/task_params.def"
#undef SS_PARAM
    }
};
constexpr ParamTable kParams;

void store(SSTask* t, size_t offset, const void* value) {
    std::memcpy(reinterpret_cast<char*>(t) + offset, &value, sizeof value);
}

// Editors by id: the pointer editors accept [3, 77] and pointer ids, the
// integer editor [1, 75] and integer ids; a null value gives the id's code.
int32_t edit(SSTask* t, int64_t id, const void* value, Kind kind) {
    if (!t) return kNullTask;
    const int64_t lo = kind == P ? 3 : 1, hi = kind == P ? 77 : 75;
    if (id < lo || id > hi) return kBadParamId;
    const Param& row = kParams.rows[id];
    if (!row.present || row.kind != kind) return kBadParamId;
    if (!value) return row.null_code;
    store(t, row.offset, value);
    return kOk;
}

int32_t new_task(SSTask** task, const void* p, const void* n, const void* xStorage, const void* x,
                 const void* weights, const void* indices, const void* marker, int32_t is_double) {
    if (!task) return kNullTask;   // nowhere to put the handle
    // The checks read through a scratch record so that the marker applies.
    SSTask probe{};
    probe.int64Marker = marker;
    if (!p || read_int(&probe, p) < 1) return kBadDimension;
    if (x) {
        if (!xStorage) return kNoStorageOrCount;
        const int64_t s = read_int(&probe, xStorage);
        if (s != ORVU_SS_X_ROWS && s != ORVU_SS_X_COLUMNS) return kBadStorage;
        if (!n || read_int(&probe, n) < 1) return kBadObsCount;
    }
    auto* t = static_cast<SSTask*>(orvu_serv_allocate(sizeof(SSTask), 128));
    if (!t) {
        *task = nullptr;
        return kNoMemory;
    }
    std::memset(static_cast<void*>(t), 0, sizeof(SSTask));
    t->int64Marker = marker;
    t->kind = 2;
    t->isDouble = is_double;
    t->p = p;
    t->n = n;
    t->x = x;
    t->weights = weights;
    t->indices = indices;
    t->xStorage = xStorage;
    *task = t;
    return kOk;
}

}  // namespace

int32_t common_checks(const SSTask* t, bool reads_x, Dims* d) {
    if (!t->p || (d->p = read_int(t, t->p)) < 1) return kBadDimension;
    if (!t->n || (d->n = read_int(t, t->n)) < 1) return kBadObsCount;
    if (reads_x && !t->x) return kNoX;
    if (!t->xStorage) return kNoStorageOrCount;
    const int64_t s = read_int(t, t->xStorage);
    if (s != ORVU_SS_X_ROWS && s != ORVU_SS_X_COLUMNS) return kBadStorage;
    d->columns = s == ORVU_SS_X_COLUMNS;
    d->ld = d->columns ? d->p : d->n;
    return kOk;
}

int64_t processed_components(const SSTask* t, int64_t p, int64_t* comp) {
    int64_t q = 0;
    for (int64_t j = 0; j < p; ++j)
        if (!t->indices || read_int_at(t, t->indices, j) != 0) comp[q++] = j;
    return q;
}

int32_t register_hook(SSTask* t, orvu_ss_hook hook) {
    if (t->hookCount == 1 && t->hooks == hook) return kOk;
    if (t->hookCount != 0) return kBadParamId;
    t->hooks = hook;
    t->hookCount = 1;
    return kOk;
}

}  // namespace orvu::ss

using namespace orvu::ss;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(SSTask) == 91 * 4, "the task record is 91 32-bit words");
#endif

extern "C" {

ORVU_API int32_t __ptzdSSNewTask(SSTask** task, const void* p, const void* n, const void* xStorage,
                                 const double* x, const double* weights, const void* indices,
                                 const void* marker) {
    return new_task(task, p, n, xStorage, x, weights, indices, marker, 1);
}
ORVU_API int32_t __ptzsSSNewTask(SSTask** task, const void* p, const void* n, const void* xStorage,
                                 const float* x, const float* weights, const void* indices,
                                 const void* marker) {
    return new_task(task, p, n, xStorage, x, weights, indices, marker, 0);
}
ORVU_API int32_t __ptzdSSEditTask(SSTask* task, int64_t id, const double* value) {
    return edit(task, id, value, P);
}
ORVU_API int32_t __ptzsSSEditTask(SSTask* task, int64_t id, const float* value) {
    return edit(task, id, value, P);
}
ORVU_API int32_t __ptziSSEditTask(SSTask* task, int64_t id, const void* value) {
    return edit(task, id, value, I);
}

// A handle that already holds null touches nothing and gives -4031, as a
// null handle pointer does.
ORVU_API int32_t __ptzSSDeleteTask(SSTask** task) {
    if (!task || !*task) return kNullTask;
    SSTask* t = *task;
    for (int32_t k = 0; k < t->hookCount && k < 1; ++k)
        if (t->hooks) t->hooks(t);
    orvu_serv_deallocate(t);
    *task = nullptr;
    return kOk;
}

}  // extern "C"
