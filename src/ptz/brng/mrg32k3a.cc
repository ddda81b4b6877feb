// MRG32K3A: two order-3 recurrences combined, z = (x1 - x2) mod m1; steps,
// then emits.
#include <emmintrin.h>  // SSE2, the baseline of every build

#include "ptz/brng/modular.h"
#include "ptz/brng/output.h"

namespace {

constexpr uint32_t kM1 = 4294967087u;  // 2^32 - 209
constexpr uint32_t kM2 = 4294944443u;  // 2^32 - 22853
constexpr uint32_t kA12 = 1403580, kA13 = 810728;   // x1[n] = a12 x1[n-2] - a13 x1[n-3]
constexpr uint32_t kA21 = 527612, kA23 = 1370589;   // x2[n] = a21 x2[n-1] - a23 x2[n-3]

// p mod (2^32 - C) for p < 2^54: 2^32 = C (mod m), folded twice, then one
// subtraction (the second fold leaves less than 2^32 + 2^21).
template <uint32_t C>
inline uint32_t reduce(uint64_t p) {
    p = (p & 0xFFFFFFFFu) + (p >> 32) * C;
    p = (p & 0xFFFFFFFFu) + (p >> 32) * C;
    constexpr uint64_t m = (uint64_t(1) << 32) - C;
    return uint32_t(p >= m ? p - m : p);
}

// Blocks of outputs: with s = (x[n-2], x[n-1], x[n]), x[n+j] is the last row
// of A^j applied to s, so the kLanes outputs of a block are independent of
// one another and only the block's last three feed the next block. The rows
// are full-width residues, so a block costs more multiplications per output
// than one step; it wins because the 2 x kLanes dot products run side by side
// in SSE2 lanes instead of waiting on the step-to-step dependency.
constexpr int kLanes = 8;
constexpr int kPairs = kLanes / 2;  // one 128-bit vector holds two outputs
static_assert(kLanes % 4 == 0, "a block is stored four words at a time");

// Coefficients in the layout pmuludq reads: pair q, state term i, lane l holds
// the coefficient of x[n-2+i] in output 2q + l, in the low half of a 64-bit lane.
struct Rows {
    alignas(16) uint64_t c[kPairs][3][2];
};
// Last rows of A^1..A^kLanes for the companion matrix A of
// x[n] = k1 x[n-1] + k2 x[n-2] + k3 x[n-3] (mod m), on oldest-first vectors.
constexpr Rows power_rows(uint64_t m, uint64_t k1, uint64_t k2, uint64_t k3) {
    Rows r{};
    uint64_t row[3] = {k3, k2, k1};  // A itself
    for (int j = 0; j < kLanes; ++j) {
        for (int i = 0; i < 3; ++i) r.c[j / 2][i][j % 2] = row[i];
        // next row = row * A: shift by one place and add row[2] times A's last row.
        const uint64_t next[3] = {row[2] * k3 % m, (row[0] + row[2] * k2 % m) % m, (row[1] + row[2] * k1 % m) % m};
        for (int i = 0; i < 3; ++i) row[i] = next[i];
    }
    return r;
}

constexpr uint32_t kC1 = 209, kC2 = 22853;  // m = 2^32 - C
constexpr Rows kRows1 = power_rows(kM1, 0, kA12, kM1 - kA13);
constexpr Rows kRows2 = power_rows(kM2, kA21, 0, kM2 - kA23);

inline __m128i load(const uint64_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
// Each 64-bit lane of v, read as a signed value in (-m, m), brought to [0, m):
// the high half of a negative lane is all ones, and masks m in.
inline __m128i add_m_if_negative(__m128i v, __m128i m) {
    const __m128i neg = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 1, 1));
    return _mm_add_epi64(v, _mm_and_si128(neg, m));
}

// Two outputs of one component, c . x mod m with m = 2^32 - C, in the two
// 64-bit lanes; x0..x2 hold a state word in both lanes' low halves.
//  - each product c x is below m^2 < 2^64; its low and high halves are
//    summed apart: lo < 3 * 2^32, hi < 3 * 2^32;
//  - 2^32 = C (mod m), and hi = h1 2^32 + h0 with h1 <= 2, so the sum is
//    lo + h0 C + h1 C^2 < 2^32 (3 + C) + 2 C^2 < (C + 4) 2^32 (C^2 < 2^30);
//  - one more fold leaves below 2^32 + (C + 4) C < 2^32 + 2^30 < 2m, so a
//    single conditional subtraction of m finishes.
// pmuludq reads only the low 32 bits of each lane, which gives h0 for free.
template <uint32_t C>
inline __m128i dot3_pair(const uint64_t (&c)[3][2], __m128i x0, __m128i x1, __m128i x2) {
    const __m128i low32 = _mm_set1_epi64x(0xFFFFFFFF);
    const __m128i vc = _mm_set1_epi64x(C), vc2 = _mm_set1_epi64x(int64_t(C) * C);
    const __m128i vm = _mm_set1_epi64x((int64_t(1) << 32) - C);
    const __m128i p0 = _mm_mul_epu32(load(c[0]), x0);
    const __m128i p1 = _mm_mul_epu32(load(c[1]), x1);
    const __m128i p2 = _mm_mul_epu32(load(c[2]), x2);
    const __m128i lo = _mm_add_epi64(_mm_add_epi64(_mm_and_si128(p0, low32), _mm_and_si128(p1, low32)),
                                     _mm_and_si128(p2, low32));
    const __m128i hi = _mm_add_epi64(_mm_add_epi64(_mm_srli_epi64(p0, 32), _mm_srli_epi64(p1, 32)),
                                     _mm_srli_epi64(p2, 32));
    __m128i s = _mm_add_epi64(lo, _mm_add_epi64(_mm_mul_epu32(hi, vc), _mm_mul_epu32(_mm_srli_epi64(hi, 32), vc2)));
    s = _mm_add_epi64(_mm_and_si128(s, low32), _mm_mul_epu32(_mm_srli_epi64(s, 32), vc));
    return add_m_if_negative(_mm_sub_epi64(s, vm), vm);
}

// The word of a pair vector's lane l in both lanes' low halves.
template <int l>
inline __m128i spread(__m128i v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(2 * l, 2 * l, 2 * l, 2 * l)); }

struct State {
    uint32_t x1[3];  // oldest first
    uint32_t x2[3];
};

class Mrg32k3a {
public:
    using Word = uint32_t;
    explicit Mrg32k3a(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        for (uint32_t& v : st_.x1) v = v >= kM1 ? v - kM1 : v;
        for (uint32_t& v : st_.x2) v = v >= kM2 ? v - kM2 : v;
    }
    void generate(int32_t n, uint32_t* out) {
        uint32_t a0 = st_.x1[0], a1 = st_.x1[1], a2 = st_.x1[2];
        uint32_t b0 = st_.x2[0], b1 = st_.x2[1], b2 = st_.x2[2];
        int32_t i = 0;
        if (n >= kLanes) {
            __m128i a[3] = {_mm_set1_epi32(int32_t(a0)), _mm_set1_epi32(int32_t(a1)), _mm_set1_epi32(int32_t(a2))};
            __m128i b[3] = {_mm_set1_epi32(int32_t(b0)), _mm_set1_epi32(int32_t(b1)), _mm_set1_epi32(int32_t(b2))};
            const __m128i vm1 = _mm_set1_epi64x(kM1);
            for (; i + kLanes <= n; i += kLanes) {
                __m128i x1[kPairs], x2[kPairs];
                for (int q = 0; q < kPairs; ++q) {
                    x1[q] = dot3_pair<kC1>(kRows1.c[q], a[0], a[1], a[2]);
                    x2[q] = dot3_pair<kC2>(kRows2.c[q], b[0], b[1], b[2]);
                }
                // z = x1 - x2 mod m1: x2 < m2 < m1, so the difference is in (-m1, m1).
                __m128i z[kPairs];
                for (int q = 0; q < kPairs; ++q) z[q] = add_m_if_negative(_mm_sub_epi64(x1[q], x2[q]), vm1);
                for (int q = 0; q < kPairs; q += 2) {  // low halves of two pairs, in order
                    const __m128i lo = _mm_shuffle_epi32(z[q], _MM_SHUFFLE(3, 3, 2, 0));
                    const __m128i hi = _mm_shuffle_epi32(z[q + 1], _MM_SHUFFLE(3, 3, 2, 0));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 2 * q), _mm_unpacklo_epi64(lo, hi));
                }
                // The block's last three values: lane 1 of the next-to-last pair, both lanes of the last.
                a[0] = spread<1>(x1[kPairs - 2]), a[1] = spread<0>(x1[kPairs - 1]), a[2] = spread<1>(x1[kPairs - 1]);
                b[0] = spread<1>(x2[kPairs - 2]), b[1] = spread<0>(x2[kPairs - 1]), b[2] = spread<1>(x2[kPairs - 1]);
            }
            a0 = uint32_t(_mm_cvtsi128_si32(a[0])), a1 = uint32_t(_mm_cvtsi128_si32(a[1]));
            a2 = uint32_t(_mm_cvtsi128_si32(a[2]));
            b0 = uint32_t(_mm_cvtsi128_si32(b[0])), b1 = uint32_t(_mm_cvtsi128_si32(b[1]));
            b2 = uint32_t(_mm_cvtsi128_si32(b[2]));
        }
        for (; i < n; ++i) {
            // Negative coefficients as c * (m - x): both terms below 2^53.
            const uint32_t a3 = reduce<209>(uint64_t(kA12) * a1 + uint64_t(kA13) * (kM1 - a0));
            const uint32_t b3 = reduce<22853>(uint64_t(kA21) * b2 + uint64_t(kA23) * (kM2 - b0));
            out[i] = a3 >= b3 ? a3 - b3 : a3 - b3 + kM1;
            a0 = a1, a1 = a2, a2 = a3;
            b0 = b1, b1 = b2, b2 = b3;
        }
        st_.x1[0] = a0, st_.x1[1] = a1, st_.x1[2] = a2;
        st_.x2[0] = b0, st_.x2[1] = b1, st_.x2[2] = b2;
    }
    // The double nearest 1/m1, bits 0x3DF000000D10000B.
    double unit(uint32_t z) const { return ptz::u32_to_double(z) * 2.328306549837829e-10; }

private:
    State& st_;
};

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0: {
        uint32_t w[6] = {1, 1, 1, 1, 1, 1};
        const int32_t given = n < 1 ? 0 : (n < 6 ? n : 6);
        if (given > 0) std::memcpy(w, params, size_t(given) * sizeof(uint32_t));
        for (int k = 0; k < 3; ++k) {
            st.x1[k] = w[k] >= kM1 ? w[k] - kM1 : w[k];
            st.x2[k] = w[k + 3] >= kM2 ? w[k + 3] - kM2 : w[k + 3];
        }
        if ((st.x1[0] | st.x1[1] | st.x1[2]) == 0) st.x1[0] = 1;
        if ((st.x2[0] | st.x2[1] | st.x2[2]) == 0) st.x2[0] = 1;
        return PTZ_OK;
    }
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2: {
        // Coefficient rows newest first, negative coefficients as m - c.
        static const uint32_t row1[3] = {0, kA12, kM1 - kA13};
        static const uint32_t row2[3] = {kA21, 0, kM2 - kA23};
        const uint64_t d = ptz::read_u64(params);
        __ptziVect3PowMod(st.x1, row1, kM1, d);
        __ptziVect3PowMod(st.x2, row2, kM2, d);
        return PTZ_OK;
    }
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(MRG32K3A, Mrg32k3a, init)
