// Abstract streams: numbers come from a caller's ring buffer, refilled by the
// caller's callback whenever a request needs more than is unread.
#include "ptz/streams/abstract_state.h"
#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace {

using ptz::DAbstractState;
using ptz::IAbstractState;
using ptz::SAbstractState;

// Copies from the ring buffer to out, mapping each value with map().
template <class T, class Out, class Map>
void copy_ring(const T* buffer, int32_t n, int32_t from, int32_t count, Out* out, Map map) {
    for (int32_t i = 0; i < count; ++i) {
        out[i] = map(buffer[from]);
        if (++from == n) from = 0;
    }
}

// The refill protocol, shared by the three element types.
template <class State, class Out, class Map>
int32_t draw(RngStream* stream, State& st, int32_t count, Out* out, Map map) {
    if (!st.buffer) return PTZ_ERROR_NULL_PTR;
    if (count <= 0) return PTZ_OK;
    const int32_t n = st.n;
    const int32_t avail = n - st.u;
    if (count <= avail) {
        copy_ring(st.buffer, n, st.p, count, out, map);
        st.p = int32_t((int64_t(st.p) + count) % n);
        st.u += count;
        return PTZ_OK;
    }
    copy_ring(st.buffer, n, st.p, avail, out, map);
    out += avail;
    int32_t w = int32_t((int64_t(st.p) + avail) % n);
    int32_t remaining = count - avail;
    int32_t nmax = n;
    for (;;) {
        int32_t n_arg = n;
        int32_t nmin = remaining < n ? remaining : n;
        int32_t idx = w;
        const int32_t c = st.callback(stream, &n_arg, st.buffer, &nmin, &nmax, &idx);
        if (c < 0 || c > nmax) return PTZ_ERROR_ABSTRACT_BAD_COUNT;
        if (c == 0) return PTZ_ERROR_ABSTRACT_NO_NUMBERS;
        // A callback may claim up to nmax numbers; only a buffer's worth exist.
        const int32_t written = c < n ? c : n;
        const int32_t t = written < remaining ? written : remaining;
        copy_ring(st.buffer, n, w, t, out, map);
        out += t;
        remaining -= t;
        if (remaining == 0) {
            st.p = int32_t((int64_t(w) + t) % n);
            st.u = n - (written - t);
            return PTZ_OK;
        }
        w = int32_t((int64_t(w) + written) % n);
    }
}

template <class State>
State& state(RngStream* s) { return *ptz::state_as<State>(s); }

int32_t other_methods(int32_t method) {
    if (method == 1) return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    if (method == 2) return PTZ_ERROR_SKIPAHEAD_UNSUPPORTED;
    return PTZ_ERROR_BAD_METHOD;
}

// Method 0 takes the caller's buffer, callback and (real forms) interval; the
// buffer starts out all read, so the first request calls back.
template <class State, class Init>
int32_t init_abstract(int32_t method, RngStream* s, const void* params) {
    if (method != 0) return other_methods(method);
    const Init& in = *static_cast<const Init*>(params);
    State& st = state<State>(s);
    st.n = *in.n;
    st.p = 0;
    st.u = st.n;
    if constexpr (requires { in.a; }) {
        st.a = *in.a;
        st.b = *in.b;
    }
    st.buffer = in.buffer;
    st.callback = in.callback;
    return PTZ_OK;
}

// Maps a buffered value from the stream's interval [a, b] to [A, B].
template <class T, class State>
int32_t draw_real(RngStream* s, int32_t n, T* r, T lo, T hi) {
    State& st = state<State>(s);
    const T a = st.a, b = st.b;
    return draw(s, st, n, r, [=](T x) { return lo + (x - a) * (hi - lo) / (b - a); });
}

}  // namespace

extern "C" {

ORVU_API int32_t __ptzBRngiAbstractInitStream(int32_t method, RngStream* s, int32_t, const void* params) {
    return init_abstract<IAbstractState, ptz::IAbstractInit>(method, s, params);
}
ORVU_API int32_t __ptzBRngdAbstractInitStream(int32_t method, RngStream* s, int32_t, const void* params) {
    return init_abstract<DAbstractState, ptz::DAbstractInit>(method, s, params);
}
ORVU_API int32_t __ptzBRngsAbstractInitStream(int32_t method, RngStream* s, int32_t, const void* params) {
    return init_abstract<SAbstractState, ptz::SAbstractInit>(method, s, params);
}

ORVU_API int32_t __ptziBRngiAbstract(RngStream* s, int32_t n, void* r) {
    return draw(s, state<IAbstractState>(s), n, static_cast<uint32_t*>(r), [](uint32_t x) { return x; });
}
ORVU_API int32_t __ptzdBRngdAbstract(RngStream* s, int32_t n, double* r, double a, double b) {
    return draw_real<double, DAbstractState>(s, n, r, a, b);
}
ORVU_API int32_t __ptzsBRngsAbstract(RngStream* s, int32_t n, float* r, float a, float b) {
    return draw_real<float, SAbstractState>(s, n, r, a, b);
}

// An abstract stream serves only the element type its buffer holds.
ORVU_API int32_t __ptzsBRngiAbstract(RngStream*, int32_t, float*, float, float) { return PTZ_ERROR_ABSTRACT_WRONG_TYPE; }
ORVU_API int32_t __ptzdBRngiAbstract(RngStream*, int32_t, double*, double, double) { return PTZ_ERROR_ABSTRACT_WRONG_TYPE; }
ORVU_API int32_t __ptzsBRngdAbstract(RngStream*, int32_t, float*, float, float) { return PTZ_ERROR_ABSTRACT_WRONG_TYPE; }
ORVU_API int32_t __ptziBRngdAbstract(RngStream*, int32_t, void*) { return PTZ_ERROR_ABSTRACT_WRONG_TYPE; }
ORVU_API int32_t __ptzdBRngsAbstract(RngStream*, int32_t, double*, double, double) { return PTZ_ERROR_ABSTRACT_WRONG_TYPE; }
ORVU_API int32_t __ptziBRngsAbstract(RngStream*, int32_t, void*) { return PTZ_ERROR_ABSTRACT_WRONG_TYPE; }

// A buffer length below 1 is refused like a zero one: the ring arithmetic
// needs at least one slot. So is one whose buffer could not fit in memory.
ORVU_API int32_t __ptziNewAbstractStream(RngStream** stream, int32_t n, uint32_t* buffer, PtziAbstractCallback cb) {
    if (n < 1 || !ptz::extent_fits<uint32_t>(n) || !buffer || !cb) return PTZ_ERROR_BAD_ARGUMENT;
    const ptz::IAbstractInit init{&n, buffer, cb};
    return ptz::new_stream(stream, PTZ_BRNG_IABSTRACT, 6, &init);
}

ORVU_API int32_t __ptzdNewAbstractStream(RngStream** stream, int32_t n, double* buffer, double a, double b,
                                         PtzdAbstractCallback cb) {
    if (n < 1 || !ptz::extent_fits<double>(n) || !buffer || !cb || !(a < b)) return PTZ_ERROR_BAD_ARGUMENT;
    const ptz::DAbstractInit init{&n, buffer, &a, &b, cb};
    return ptz::new_stream(stream, PTZ_BRNG_DABSTRACT, 10, &init);
}

ORVU_API int32_t __ptzsNewAbstractStream(RngStream** stream, int32_t n, float* buffer, float a, float b,
                                         PtzsAbstractCallback cb) {
    if (n < 1 || !ptz::extent_fits<float>(n) || !buffer || !cb || !(a < b)) return PTZ_ERROR_BAD_ARGUMENT;
    const ptz::SAbstractInit init{&n, buffer, &a, &b, cb};
    return ptz::new_stream(stream, PTZ_BRNG_SABSTRACT, 10, &init);
}

}  // extern "C"
