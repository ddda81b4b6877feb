// Callbacks of the distribution generators and the saved-pair chunk.
#include "ptz/distributions/common.h"

#include "orvu_serv.h"

namespace ptz::dist {
namespace {

// erfinv at the uniform nearest to -1 resp. +1: double 0x4017744F8F74E94A,
// float 0x407547CB.
constexpr double kErfInvEdgeD = 5.8635847487551676;
constexpr double kErfInvEdgeF = 3.832507;

template <bool kSingle>
int32_t ln_cb(KexErrorContext* c) {
    if (c->code == KEX_STATUS_SING) c->res1 = kSingle ? kLnTinyF : kLnTinyD;
    return 0;
}

template <bool kSingle>
int32_t gauss_cb(KexErrorContext* c) {
    const double tiny = kSingle ? kLnTinyF : kLnTinyD;
    const double edge = kSingle ? kErfInvEdgeF : kErfInvEdgeD;
    if (c->code == KEX_STATUS_SING && c->arg1 == 0.0) {
        c->res1 = tiny;  // ln 0 of a Box-Muller radius
    } else if (c->code == KEX_STATUS_SING || c->code == KEX_STATUS_ERRDOM) {
        c->res1 = c->arg1 < 0.0 ? -edge : edge;  // erfinv at or beyond +-1
    }
    return 0;
}

}  // namespace

template <>
KexErrorCallBack ln_callback<double>() { return ln_cb<false>; }
template <>
KexErrorCallBack ln_callback<float>() { return ln_cb<true>; }
template <>
KexErrorCallBack gauss_callback<double>() { return gauss_cb<false>; }
template <>
KexErrorCallBack gauss_callback<float>() { return gauss_cb<true>; }

template <class T>
int32_t saved_pair(RngStream* s, int32_t id, T** pair) {
    if (void* found = __ptzSearchChunk(s, id)) {
        *pair = static_cast<T*>(found);
        return PTZ_OK;
    }
    T* p = static_cast<T*>(orvu_serv_allocate(2 * sizeof(T), 128));
    if (!p) return PTZ_ERROR_MEM_FAILURE;
    p[0] = p[1] = T(-1);
    const int32_t st = __ptzAddChunk(s, id, nullptr, p, int32_t(2 * sizeof(T)));
    if (st < 0) {
        orvu_serv_deallocate(p);
        return st;
    }
    *pair = p;
    return PTZ_OK;
}
template int32_t saved_pair<double>(RngStream*, int32_t, double**);
template int32_t saved_pair<float>(RngStream*, int32_t, float**);

}  // namespace ptz::dist
