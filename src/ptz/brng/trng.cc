// NONDETERM (functions named TRNG): 32-bit words of the processor's hardware
// random instruction. State words: 0, and the retry limit.
//
// Words are requested two at a time; when either of a pair reports failure
// (carry clear) the pair is requested again, up to the retry limit times, and
// then the output stops with -1131. An odd last word goes alone by the same
// rule. The platform object can make attempts count as failed (tests).
#include <immintrin.h>

#include "ptz/brng/output.h"

namespace {

constexpr uint32_t kDefaultRetries = 10;

struct TrngState {
    uint32_t zero;
    uint32_t retries;
};
static_assert(sizeof(TrngState) == 24 - ptz::kHeaderBytes, "the row's state size");

__attribute__((target("rdrnd"))) bool attempt(uint32_t* w, int count) {
    if (orvu_serv_hw_random_forced_failure()) return false;
    int ok = 1;
    for (int k = 0; k < count; ++k) {
        unsigned int v = 0;
        ok &= _rdrand32_step(&v);
        w[k] = v;
    }
    return ok != 0;
}

// count (1 or 2) words into w, or false once 1 + retries attempts failed.
bool request(uint32_t retries, uint32_t* w, int count) {
    for (uint64_t a = 0; a <= retries; ++a)
        if (attempt(w, count)) return true;
    return false;
}

// Runs emit(i, pair) for i < n over n pairs (doubles) or, with pairs false,
// emit(i, word) over n words taken pairwise; the first exhausted request ends
// it with -1131, the outputs before it written.
template <class Emit>
int32_t draw(RngStream* s, int32_t n, bool pairs, Emit emit) {
    if (!__ptzCPUisRDRAND()) return PTZ_ERROR_NONDETERM_NOT_SUPPORTED;
    const uint32_t retries = ptz::state_as<TrngState>(s)->retries;
    uint32_t w[2];
    for (int32_t i = 0; i < n; i += pairs ? 1 : 2) {
        const int count = pairs || i + 1 < n ? 2 : 1;
        if (!request(retries, w, count)) return PTZ_ERROR_NONDETERM_NRETRIES_EXCEEDED;
        if (pairs) {
            emit(i, uint64_t(w[0]) | uint64_t(w[1]) << 32);
        } else {
            for (int k = 0; k < count; ++k) emit(i + k, uint64_t(w[k]));
        }
    }
    return PTZ_OK;
}

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    switch (method) {
    case 0: {
        TrngState& st = *ptz::state_as<TrngState>(s);
        uint32_t limit = 0;
        if (n >= 2) std::memcpy(&limit, static_cast<const uint32_t*>(params) + 1, sizeof limit);
        st.zero = 0;
        st.retries = limit ? limit : kDefaultRetries;
        return PTZ_OK;
    }
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2:
        return PTZ_ERROR_SKIPAHEAD_UNSUPPORTED;
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

extern "C" {

ORVU_API int32_t __ptzBRngTRNGInitStream(int32_t method, RngStream* s, int32_t n, const void* params) {
    return init(method, s, n, params);
}

ORVU_API int32_t __ptziBRngTRNG(RngStream* s, int32_t n, void* r) {
    if (n > 0 && !ptz::extent_fits<uint32_t>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    auto* out = static_cast<uint8_t*>(r);  // only 1-byte alignment is assumed
    return draw(s, n, false, [out](int32_t i, uint64_t v) {
        const uint32_t w = uint32_t(v);
        std::memcpy(out + size_t(i) * 4, &w, 4);
    });
}

// u = word 2^-32, r = a + (b - a) u evaluated in double.
ORVU_API int32_t __ptzsBRngTRNG(RngStream* s, int32_t n, float* r, float a, float b) {
    if (n > 0 && !ptz::extent_fits<float>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    const double lo = a, width = double(b) - double(a);
    return draw(s, n, false, [=](int32_t i, uint64_t v) { r[i] = float(lo + width * (double(v) * 0x1p-32)); });
}

// u = (64 random bits, unsigned) 2^-64; the conversion rounds to nearest, so
// the top 2^10 values give u = 1 and r = b.
ORVU_API int32_t __ptzdBRngTRNG(RngStream* s, int32_t n, double* r, double a, double b) {
    if (n > 0 && !ptz::extent_fits<double>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    const double width = b - a;
    return draw(s, n, true, [=](int32_t i, uint64_t v) { r[i] = a + width * (ptz::u64_to_double(v) * 0x1p-64); });
}

}  // extern "C"
