// Uniform variates on [a, b): the stream generator's own scaled output, with
// an optional clamp for callers that need every result inside [a, b] (a + (b -
// a)·u can round up to b, or past it for a wide interval).
#include "ptz/distributions/common.h"
#include "ptz/streams/stream.h"

namespace {

template <class T>
int32_t draw(int32_t method, RngStream* s, int32_t n, T* r, T a, T b) {
    const BrngProperties& row = ptz::row_of(s);
    int32_t st;
    if constexpr (sizeof(T) == sizeof(double)) {
        st = row.dBRng(s, n, r, a, b);
    } else {
        st = row.sBRng(s, n, r, a, b);
    }
    if (st < 0) return st;
    if ((method & PTZ_RNG_METHOD_ACCURATE) && n >= 1) {
        for (int32_t i = 0; i < n; ++i) {
            const T x = r[i] < a ? a : r[i];
            r[i] = x > b ? b : x;
        }
    }
    return st;
}

}  // namespace

extern "C" {
ORVU_API int32_t _ptzdRngUniform(int32_t method, RngStream* s, int32_t n, double* r, double a, double b) {
    return draw(method, s, n, r, a, b);
}
ORVU_API int32_t _ptzsRngUniform(int32_t method, RngStream* s, int32_t n, float* r, float a, float b) {
    return draw(method, s, n, r, a, b);
}
}
