// PHILOX4X32X10: the Philox-4x32 bijection with 10 rounds. State words: key
// k0, k1; the counter of the next block (four words, least significant
// first); the number of words already taken from the kept block (0: none
// kept); the kept block.
#include <emmintrin.h>  // SSE2, the baseline of every build

#include "ptz/brng/counter_stream.h"
#include "ptz/brng/output.h"

namespace {

constexpr uint32_t kM0 = 0xD2511F53, kM1 = 0xCD9E8D57;  // round multipliers
constexpr uint32_t kW0 = 0x9E3779B9, kW1 = 0xBB67AE85;  // key bumps
constexpr int kRounds = 10;

struct PhiloxState {
    uint32_t key[2];
    uint32_t ctr[4];
    uint32_t taken;
    uint32_t buf[4];
};
static_assert(sizeof(PhiloxState) == 60 - ptz::kHeaderBytes, "the row's state size");

// One block, the reference form of the round: the two products' high halves
// are mixed into the other words with the round key, their low halves move.
void block(const uint32_t key[2], const uint32_t c[4], uint32_t out[4]) {
    uint32_t x0 = c[0], x1 = c[1], x2 = c[2], x3 = c[3], k0 = key[0], k1 = key[1];
    for (int r = 0; r < kRounds; ++r, k0 += kW0, k1 += kW1) {
        const uint64_t p0 = uint64_t(kM0) * x0, p1 = uint64_t(kM1) * x2;
        x0 = uint32_t(p1 >> 32) ^ x1 ^ k0;
        x1 = uint32_t(p1);
        x2 = uint32_t(p0 >> 32) ^ x3 ^ k1;
        x3 = uint32_t(p0);
    }
    out[0] = x0, out[1] = x1, out[2] = x2, out[3] = x3;
}

// Blocks in SSE2 lanes: vector w holds word w of two blocks, one per 64-bit
// lane, in the lane's low half. pmuludq reads only low halves and returns the
// full 64-bit product, so a product is already "low word, high word" in
// place: the high half is copied down for the xor, and the product itself
// serves as the next low word (its high half is junk that no later step
// reads). kPairs vectors per word run side by side to hide the multiply
// latency; i386 has eight vector registers, x86-64 sixteen.
constexpr int kPairs = sizeof(void*) == 8 ? 2 : 1;
// Blocks computed in general registers alongside: the vector and the integer
// units run in parallel, so those blocks come nearly free. x86-64 only; i386
// has too few general registers to hold one block's words and keys.
constexpr int kScalar = sizeof(void*) == 8 ? 3 : 0;
constexpr int kGroup = 2 * kPairs + kScalar;  // blocks per pass

// Each lane's high half copied into its low half. pshufd writes a new
// register, where a shift would first need a copy of the product it keeps.
inline __m128i high_down(__m128i v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 1, 1)); }

struct RoundKeys {
    __m128i k0[kRounds], k1[kRounds];
};

inline void blocks_simd(const RoundKeys& rk, const uint32_t key[2], const uint32_t* ctr, uint32_t* out) {
    const uint32_t c0 = ctr[0], c1 = ctr[1], c2 = ctr[2], c3 = ctr[3];
    const __m128i m0 = _mm_set1_epi64x(kM0), m1 = _mm_set1_epi64x(kM1);
    __m128i a[kPairs], b[kPairs], c[kPairs], d[kPairs];
    for (int p = 0; p < kPairs; ++p) {
        // The group does not cross a carry out of word 0 (the caller checks).
        a[p] = _mm_set_epi32(0, int32_t(c0 + 2 * p + 1), 0, int32_t(c0 + 2 * p));
        b[p] = _mm_set1_epi64x(c1), c[p] = _mm_set1_epi64x(c2), d[p] = _mm_set1_epi64x(c3);
    }
    uint32_t x[kScalar + 1][4];  // (+1: never empty)
    for (int q = 0; q < kScalar; ++q) x[q][0] = c0 + 2 * kPairs + q, x[q][1] = c1, x[q][2] = c2, x[q][3] = c3;
    uint32_t k0 = key[0], k1 = key[1];
    // Unrolled: a round renames the four words' registers, and only a
    // straight sequence of rounds keeps that free of register copies.
#pragma GCC unroll 10
    for (int r = 0; r < kRounds; ++r) {
        for (int p = 0; p < kPairs; ++p) {
            const __m128i p0 = _mm_mul_epu32(a[p], m0), p1 = _mm_mul_epu32(c[p], m1);
            a[p] = _mm_xor_si128(_mm_xor_si128(high_down(p1), b[p]), rk.k0[r]);
            b[p] = p1;
            c[p] = _mm_xor_si128(_mm_xor_si128(high_down(p0), d[p]), rk.k1[r]);
            d[p] = p0;
        }
        for (int q = 0; q < kScalar; ++q) {
            const uint64_t p0 = uint64_t(kM0) * x[q][0], p1 = uint64_t(kM1) * x[q][2];
            x[q][0] = uint32_t(p1 >> 32) ^ x[q][1] ^ k0, x[q][1] = uint32_t(p1);
            x[q][2] = uint32_t(p0 >> 32) ^ x[q][3] ^ k1, x[q][3] = uint32_t(p0);
        }
        k0 += kW0, k1 += kW1;
    }
    for (int q = 0; q < kScalar; ++q) std::memcpy(out + 8 * kPairs + 4 * q, x[q], sizeof x[q]);
    for (int p = 0; p < kPairs; ++p) {  // the low halves, block by block
        const __m128i ab0 = _mm_unpacklo_epi32(a[p], b[p]), cd0 = _mm_unpacklo_epi32(c[p], d[p]);
        const __m128i ab1 = _mm_unpackhi_epi32(a[p], b[p]), cd1 = _mm_unpackhi_epi32(c[p], d[p]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * p), _mm_unpacklo_epi64(ab0, cd0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * p + 4), _mm_unpacklo_epi64(ab1, cd1));
    }
}

struct Philox {
    using State = PhiloxState;
    static uint32_t* counter(State& s) { return s.ctr; }
    static uint32_t* buffer(State& s) { return s.buf; }
    // A loaded image may hold any count; one outside 1..3 keeps nothing.
    static int left(const State& s) { return s.taken >= 1 && s.taken <= 3 ? int(4 - s.taken) : 0; }
    static void set_left(State& s, int left) { s.taken = left == 0 ? 0 : uint32_t(4 - left); }

    static void blocks(const State& s, uint32_t* ctr, int32_t n, uint32_t* out) {
        int32_t i = 0;
        if (n >= kGroup) {
            RoundKeys rk;
            uint32_t k0 = s.key[0], k1 = s.key[1];
            for (int r = 0; r < kRounds; ++r, k0 += kW0, k1 += kW1) {
                rk.k0[r] = _mm_set1_epi64x(k0);
                rk.k1[r] = _mm_set1_epi64x(k1);
            }
            for (; i + kGroup <= n; i += kGroup) {
                if (ctr[0] <= 0xFFFFFFFFu - (kGroup - 1)) {
                    blocks_simd(rk, s.key, ctr, out + 4 * i);
                    ptz::counter_add(ctr, kGroup);
                } else {
                    for (int j = 0; j < kGroup; ++j, ptz::counter_add(ctr, 1)) block(s.key, ctr, out + 4 * (i + j));
                }
            }
        }
        for (; i < n; ++i, ptz::counter_add(ctr, 1)) block(s.key, ctr, out + 4 * i);
    }
};

using Gen = ptz::CounterStream<Philox>;

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    switch (method) {
    case 0:
        ptz::seed_counter_state<Philox>(s, n, params, 6);
        return PTZ_OK;
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2:
        Gen(s).skip(ptz::read_u64(params));
        return PTZ_OK;
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(PHILOX4X32X10, Gen, init)
