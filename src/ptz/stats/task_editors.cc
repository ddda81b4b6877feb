// The grouped editors: each stores its non-null arguments into the fields of
// the listed parameter ids and leaves the fields of null arguments alone.
#include <cstring>
#include <initializer_list>

#include "ptz/stats/task.h"

namespace orvu::ss {
namespace {

size_t field_offset(int id) {
    switch (id) {
#define SS_PARAM(pid, field, kind, code) case pid: return offsetof(SSTask, field);
#include "ptz/stats/task_params.def"
#undef SS_PARAM
    }
    return 0;
}

int32_t edit_group(SSTask* t, std::initializer_list<int> ids, std::initializer_list<const void*> values) {
    if (!t) return kNullTask;
    const void* const* v = values.begin();
    for (int id : ids) {
        const void* value = *v++;
        if (value) std::memcpy(reinterpret_cast<char*>(t) + field_offset(id), &value, sizeof value);
    }
    return kOk;
}

}  // namespace
}  // namespace orvu::ss

using orvu::ss::edit_group;

#define ORVU_SS_DEFINE_EDITORS(t, T)                                                               \
ORVU_API int32_t __ptz##t##SSEditMoments(SSTask* k, const T* a, const T* b, const T* c,            \
    const T* d, const T* e, const T* f, const T* g) {                                              \
    return edit_group(k, {7, 8, 9, 10, 11, 12, 13}, {a, b, c, d, e, f, g});                        \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditSums(SSTask* k, const T* a, const T* b, const T* c,               \
    const T* d, const T* e, const T* f, const T* g) {                                              \
    return edit_group(k, {67, 68, 69, 70, 71, 72, 73}, {a, b, c, d, e, f, g});                     \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditCovCor(SSTask* k, const T* a, const T* b, const void* c,          \
    const T* d, const void* e) {                                                                   \
    return edit_group(k, {7, 19, 20, 21, 22}, {a, b, c, d, e});                                    \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditCP(SSTask* k, const T* a, const T* b, const T* c,                 \
    const void* d) {                                                                               \
    return edit_group(k, {7, 67, 74, 75}, {a, b, c, d});                                           \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditPartialCovCor(SSTask* k, const void* a, const T* b,               \
    const void* c, const T* d, const void* e, const T* f, const void* g, const T* h,               \
    const void* i) {                                                                               \
    return edit_group(k, {45, 19, 20, 21, 22, 46, 47, 48, 49}, {a, b, c, d, e, f, g, h, i});       \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditQuantiles(SSTask* k, const void* a, const T* b, const T* c,       \
    const T* d, const void* e) {                                                                   \
    return edit_group(k, {24, 25, 26, 27, 44}, {a, b, c, d, e});                                   \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditStreamQuantiles(SSTask* k, const void* a, const T* b,             \
    const T* c, const void* d, const T* e) {                                                       \
    return edit_group(k, {64, 65, 66, 62, 63}, {a, b, c, d, e});                                   \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditPooledCovariance(SSTask* k, const void* a, const T* b,            \
    const T* c, const void* d, const T* e, const T* f) {                                           \
    return edit_group(k, {28, 30, 31, 32, 33, 35}, {a, b, c, d, e, f});                            \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditRCov(SSTask* k, const void* a, const void* b, const T* c,         \
    const T* d, const T* e) {                                                                      \
    return edit_group(k, {36, 37, 38, 39, 40}, {a, b, c, d, e});                                   \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditOutDetect(SSTask* k, const void* a, const T* b, const T* c) {     \
    return edit_group(k, {41, 42, 43}, {a, b, c});                                                 \
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditMissingVals(SSTask* k, const void* a, const T* b,                 \
    const void* c, const T* d, const void* e, const T* f, const void* g, const T* h,               \
    const void* i, const T* j) {                                                                   \
    return edit_group(k, {50, 51, 52, 53, 58, 59, 54, 55, 56, 57}, {a, b, c, d, e, f, g, h, i, j});\
}                                                                                                  \
ORVU_API int32_t __ptz##t##SSEditMtxParametrz(SSTask* k, const T* a, const void* b, const T* c,    \
    const void* d) {                                                                               \
    return edit_group(k, {21, 22, 60, 61}, {a, b, c, d});                                          \
}

extern "C" {
ORVU_SS_DEFINE_EDITORS(d, double)
ORVU_SS_DEFINE_EDITORS(s, float)
}
