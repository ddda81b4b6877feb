// The Mersenne-twister recurrence shared by MT19937 and MT2203: N words,
// middle distance M, a word's top bits above the lower mask taken from mt[k]
// and the rest from mt[k+1]; whole blocks regenerated four words at a time
// with SSE2, outputs tempered four at a time.
#pragma once

#include <emmintrin.h>  // SSE2, the baseline of every build

#include <cstdint>

namespace ptz::mt {

// Seeding by a key of n words (n < 1: the key {1}); the index is set to N.
template <int32_t N>
void init_by_array(uint32_t* mt, int32_t n, const uint32_t* key) {
    static const uint32_t kOne = 1;
    if (n < 1) n = 1, key = &kOne;
    mt[0] = 19650218u;
    for (int32_t j = 1; j < N; ++j) mt[j] = 1812433253u * (mt[j - 1] ^ (mt[j - 1] >> 30)) + uint32_t(j);
    int32_t i = 1, j = 0;
    for (int32_t k = N > n ? N : n; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key[j] + uint32_t(j);
        if (++i >= N) mt[0] = mt[N - 1], i = 1;
        if (++j >= n) j = 0;
    }
    for (int32_t k = N - 1; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - uint32_t(i);
        if (++i >= N) mt[0] = mt[N - 1], i = 1;
    }
    mt[0] = 0x80000000u;
}

template <int32_t N, int32_t M, uint32_t kLower>
struct Recurrence {
    static_assert(N - M >= 4 && M >= 4, "blocks of four need both runs at least four words apart");
    static constexpr uint32_t kUpper = ~kLower;

    // mt[k] from mt[k], mt[k+1 mod N] and mt[far].
    static inline void step(uint32_t* mt, int32_t k, int32_t far, uint32_t a) {
        const int32_t next = k + 1 == N ? 0 : k + 1;
        const uint32_t x = (mt[k] & kUpper) | (mt[next] & kLower);
        mt[k] = mt[far] ^ (x >> 1) ^ ((uint32_t(0) - (x & 1)) & a);
    }

    // Four words k..k+3 at once: mt[k+1..k+4] are still the old words and
    // mt[far..far+3] are either old (k < N - M) or written at least four
    // words earlier.
    static inline void step4(uint32_t* mt, int32_t k, int32_t far, __m128i a) {
        const __m128i upper = _mm_set1_epi32(int32_t(kUpper)), lower = _mm_set1_epi32(int32_t(kLower));
        const __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k + 1));
        const __m128i x = _mm_or_si128(_mm_and_si128(cur, upper), _mm_and_si128(next, lower));
        const __m128i odd = _mm_sub_epi32(_mm_setzero_si128(), _mm_and_si128(x, _mm_set1_epi32(1)));
        const __m128i y = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + far)),
                                        _mm_xor_si128(_mm_srli_epi32(x, 1), _mm_and_si128(odd, a)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mt + k), y);
    }

    // The next block, k = 0 .. N-1 in order (equal to N single steps).
    static void regenerate(uint32_t* mt, uint32_t a) {
        const __m128i va = _mm_set1_epi32(int32_t(a));
        int32_t k = 0;
        for (; k + 4 <= N - M; k += 4) step4(mt, k, k + M, va);
        for (; k < N - M; ++k) step(mt, k, k + M, a);
        for (; k + 4 <= N - 1; k += 4) step4(mt, k, k + M - N, va);
        for (; k < N; ++k) step(mt, k, k + M - N, a);
    }
};

// y ^= y >> u; y ^= (y << 7) & b; y ^= (y << 15) & c; y ^= y >> 18.
template <int U>
struct Tempering {
    uint32_t b, c;
    uint32_t operator()(uint32_t y) const {
        y ^= y >> U;
        y ^= (y << 7) & b;
        y ^= (y << 15) & c;
        return y ^ (y >> 18);
    }
    void run(const uint32_t* in, int32_t n, uint32_t* out) const {
        const __m128i vb = _mm_set1_epi32(int32_t(b)), vc = _mm_set1_epi32(int32_t(c));
        int32_t i = 0;
        for (; i + 4 <= n; i += 4) {
            __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            y = _mm_xor_si128(y, _mm_srli_epi32(y, U));
            y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7), vb));
            y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15), vc));
            y = _mm_xor_si128(y, _mm_srli_epi32(y, 18));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), y);
        }
        for (; i < n; ++i) out[i] = (*this)(in[i]);
    }
};

// Hands out n tempered words from the block, regenerating it whenever the
// index reaches N.
template <int32_t N, class R, class T>
void generate(uint32_t* mt, uint32_t& index, uint32_t a, const T& temper, int32_t n, uint32_t* out) {
    while (n > 0) {
        if (index >= uint32_t(N)) {
            R::regenerate(mt, a);
            index = 0;
        }
        const int32_t k = n < N - int32_t(index) ? n : N - int32_t(index);
        temper.run(mt + index, k, out);
        index += uint32_t(k);
        out += k;
        n -= k;
    }
}

}  // namespace ptz::mt
