// ARS5: five AES rounds over a 128-bit counter. State words: the 128-bit key;
// the counter of the next block (two 64-bit halves, low half first); the
// number of unread words of the kept block; the kept block.
//
// The AES round instructions are enabled for the block function alone (target
// attribute); every entry that can reach it first asks the run-time test.
#include <emmintrin.h>
#include <wmmintrin.h>

#include "ptz/brng/counter_stream.h"
#include "ptz/brng/output.h"

namespace {

struct ArsState {
    uint32_t key[4];
    uint32_t ctr[4];
    uint32_t unread;
    uint32_t buf[4];
};
static_assert(sizeof(ArsState) == 68 - ptz::kHeaderBytes, "the row's state size");

// Blocks in flight per pass: the AES unit takes a new round every cycle or
// two but returns it several cycles later, so independent blocks fill the
// gaps. i386 has eight vector registers for keys and blocks, x86-64 sixteen.
constexpr int kLanes = sizeof(void*) == 8 ? 8 : 4;

// Round keys k(i) = k(i-1) + (golden ratio, sqrt(3) - 1) in 64-bit lanes, k0 the key.
struct RoundKeys {
    __m128i k[6];
};

__attribute__((target("aes"))) inline __m128i encrypt(const RoundKeys& rk, __m128i x) {
    x = _mm_xor_si128(x, rk.k[0]);
    for (int r = 1; r < 5; ++r) x = _mm_aesenc_si128(x, rk.k[r]);
    return _mm_aesenclast_si128(x, rk.k[5]);
}

__attribute__((target("aes"))) void ars_blocks(const ArsState& s, uint32_t* ctr, int32_t n, uint32_t* out) {
    RoundKeys rk;
    rk.k[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.key));
    const __m128i weyl = _mm_set_epi64x(int64_t(0xBB67AE8584CAA73Bull), int64_t(0x9E3779B97F4A7C15ull));
    for (int r = 1; r < 6; ++r) rk.k[r] = _mm_add_epi64(rk.k[r - 1], weyl);
    uint64_t lo = ctr[0] | uint64_t(ctr[1]) << 32, hi = ctr[2] | uint64_t(ctr[3]) << 32;
    int32_t i = 0;
    for (; i + kLanes <= n && lo <= ~uint64_t(0) - kLanes; i += kLanes, lo += kLanes) {
        // No carry into the high half inside the pass: lane j is base + j.
        const __m128i base = _mm_set_epi64x(int64_t(hi), int64_t(lo));
        __m128i x[kLanes];
        for (int j = 0; j < kLanes; ++j) x[j] = _mm_add_epi64(base, _mm_set_epi64x(0, j));
        for (int j = 0; j < kLanes; ++j) x[j] = _mm_xor_si128(x[j], rk.k[0]);
        for (int r = 1; r < 5; ++r)
            for (int j = 0; j < kLanes; ++j) x[j] = _mm_aesenc_si128(x[j], rk.k[r]);
        for (int j = 0; j < kLanes; ++j)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * (i + j)), _mm_aesenclast_si128(x[j], rk.k[5]));
    }
    for (; i < n; ++i) {  // the tail, and passes that would carry
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i),
                         encrypt(rk, _mm_set_epi64x(int64_t(hi), int64_t(lo))));
        hi += ++lo == 0;
    }
    ctr[0] = uint32_t(lo), ctr[1] = uint32_t(lo >> 32), ctr[2] = uint32_t(hi), ctr[3] = uint32_t(hi >> 32);
}

struct Ars {
    using State = ArsState;
    static uint32_t* counter(State& s) { return s.ctr; }
    static uint32_t* buffer(State& s) { return s.buf; }
    // A loaded image may hold any count; one above 4 keeps nothing.
    static int left(const State& s) { return s.unread <= 4 ? int(s.unread) : 0; }
    static void set_left(State& s, int left) { s.unread = uint32_t(left); }
    static void blocks(const State& s, uint32_t* ctr, int32_t n, uint32_t* out) {
        if (n > 0) ars_blocks(s, ctr, n, out);
    }
};

using Gen = ptz::CounterStream<Ars>;

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    switch (method) {
    case 0:
        ptz::seed_counter_state<Ars>(s, n, params, 8);
        return PTZ_OK;
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2:
        if (!__ptzCPUisAES()) return PTZ_ERROR_ARS5_NOT_SUPPORTED;
        Gen(s).skip(ptz::read_u64(params));
        return PTZ_OK;
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

extern "C" {

ORVU_API int32_t __ptzBRngARS5InitStream(int32_t method, RngStream* s, int32_t n, const void* params) {
    return init(method, s, n, params);
}
ORVU_API int32_t __ptzsBRngARS5(RngStream* s, int32_t n, float* r, float a, float b) {
    if (!__ptzCPUisAES()) return PTZ_ERROR_ARS5_NOT_SUPPORTED;
    return ptz::real_output<Gen, float>(s, n, r, a, b);
}
ORVU_API int32_t __ptzdBRngARS5(RngStream* s, int32_t n, double* r, double a, double b) {
    if (!__ptzCPUisAES()) return PTZ_ERROR_ARS5_NOT_SUPPORTED;
    return ptz::real_output<Gen, double>(s, n, r, a, b);
}
ORVU_API int32_t __ptziBRngARS5(RngStream* s, int32_t n, void* r) {
    if (!__ptzCPUisAES()) return PTZ_ERROR_ARS5_NOT_SUPPORTED;
    return ptz::int_output<Gen>(s, n, r);
}

}  // extern "C"
