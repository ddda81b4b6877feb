// SFMT19937: 156 128-bit words; w[i] = a ^ (a << 8 bits) ^ ((b >> 11) & mask)
// ^ (c >> 8 bits) ^ (d << 18), with a = w[i], b = w[i + 122], c = w[i - 2],
// d = w[i - 1] (indices mod 156, 128-bit shifts by whole bytes, 32-bit shifts
// lane by lane). Outputs are the 32-bit words of each block in order,
// untempered; skip-ahead steps one 128-bit word at a time.
#include <emmintrin.h>  // SSE2, the baseline of every build

#include "ptz/brng/output.h"
#include "ptz/brng/twister_jump.h"

namespace {

constexpr int32_t kN = 156, kWords = 4 * kN, kPos1 = 122;
constexpr int32_t kDegree = 19968;
// The published mask pair 0xDDFECB7FDFFFFFEF, 0xBFFFFFF6BFFAFFFF, low word first.
constexpr uint32_t kMask[4] = {0xDFFFFFEFu, 0xDDFECB7Fu, 0xBFFAFFFFu, 0xBFFFFFF6u};
constexpr uint32_t kParity[4] = {0x00000001u, 0, 0, 0x13C9E684u};

struct State {
    uint32_t w[kWords];
    uint32_t index;      // next 32-bit word of the block; kWords: regenerate first
    uint32_t spare[3];   // unused words of the last group of four handed out
    uint32_t spare_pos;  // first of them not yet handed out
    uint32_t spare_count;
};

inline __m128i load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

inline __m128i recursion(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i mask = _mm_setr_epi32(int32_t(kMask[0]), int32_t(kMask[1]), int32_t(kMask[2]), int32_t(kMask[3]));
    const __m128i x = _mm_slli_si128(a, 1);
    const __m128i y = _mm_and_si128(_mm_srli_epi32(b, 11), mask);
    const __m128i z = _mm_srli_si128(c, 1);
    const __m128i v = _mm_slli_epi32(d, 18);
    return _mm_xor_si128(_mm_xor_si128(_mm_xor_si128(a, x), _mm_xor_si128(y, z)), v);
}

// The next block, i = 0 .. N-1 in order.
void regenerate(uint32_t* w) {
    __m128i r1 = load(w + 4 * (kN - 2)), r2 = load(w + 4 * (kN - 1));
    int32_t i = 0;
    for (; i < kN - kPos1; ++i) {
        const __m128i r = recursion(load(w + 4 * i), load(w + 4 * (i + kPos1)), r1, r2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4 * i), r);
        r1 = r2, r2 = r;
    }
    for (; i < kN; ++i) {
        const __m128i r = recursion(load(w + 4 * i), load(w + 4 * (i + kPos1 - kN)), r1, r2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4 * i), r);
        r1 = r2, r2 = r;
    }
}

class Sfmt19937 {
public:
    using Word = uint32_t;
    explicit Sfmt19937(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        // A foreign image: keep the index on a group boundary and the spare
        // words inside their three slots.
        if (st_.index > uint32_t(kWords)) st_.index = kWords;
        st_.index &= ~3u;
        if (st_.spare_pos > 3) st_.spare_pos = 3;
        if (st_.spare_count > 3 - st_.spare_pos) st_.spare_count = 3 - st_.spare_pos;
    }
    // Spare words first, then whole groups of four; the unused words of a
    // last partial group become the new spare words.
    void generate(int32_t n, uint32_t* out) {
        while (n > 0 && st_.spare_count > 0) {
            *out++ = st_.spare[st_.spare_pos++];
            --st_.spare_count, --n;
        }
        while (n >= 4) {
            if (st_.index >= uint32_t(kWords)) regenerate(st_.w), st_.index = 0;
            int32_t k = kWords - int32_t(st_.index);
            if (k > (n & ~3)) k = n & ~3;
            std::memcpy(out, st_.w + st_.index, size_t(k) * sizeof(uint32_t));
            st_.index += uint32_t(k), out += k, n -= k;
        }
        if (n > 0) {
            if (st_.index >= uint32_t(kWords)) regenerate(st_.w), st_.index = 0;
            hand_out_partial(uint32_t(n), out);
        }
    }
    double unit(uint32_t x) const { return ptz::u32_to_double(x) * 2.3283064365386963e-10; }  // 2^-32

    // Hands out the first `used` (1..3) words of the group at the index and
    // keeps the rest as spare words.
    void hand_out_partial(uint32_t used, uint32_t* out) {
        const uint32_t* g = st_.w + st_.index;
        std::memcpy(out, g, used * sizeof(uint32_t));
        std::memcpy(st_.spare, g + used, (4 - used) * sizeof(uint32_t));
        st_.spare_pos = 0, st_.spare_count = 4 - used;
        st_.index += 4;
    }

private:
    State& st_;
};

// One 128-bit step on a circular buffer, for the skip-ahead evaluation.
struct JumpOps {
    static constexpr int32_t kUnits = kN, kUnitWords = 4;
    static void step(uint32_t* w, int32_t& pos) {
        const int32_t b = pos + kPos1 < kN ? pos + kPos1 : pos + kPos1 - kN;
        const int32_t c = pos >= 2 ? pos - 2 : pos + kN - 2;
        const int32_t d = pos >= 1 ? pos - 1 : kN - 1;
        const __m128i r = recursion(load(w + 4 * pos), load(w + 4 * b), load(w + 4 * c), load(w + 4 * d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4 * pos), r);
        pos = pos + 1 == kN ? 0 : pos + 1;
    }
};

const ptz::gf2::Modulus kModulus{_ptz_sfmt19937_poly, 6711, kDegree, ptz::kSfmt19937Barrett, 313};

int32_t skip(RngStream* s, uint64_t d) {
    if (d == 0) return PTZ_OK;
    Sfmt19937 gen(s);  // brings a foreign image's fields into range
    State& st = *ptz::state_as<State>(s);
    const uint64_t requested = d;
    const uint64_t spare = st.spare_count;
    if (d <= spare) {
        st.spare_pos += uint32_t(d), st.spare_count -= uint32_t(d);
        return PTZ_OK;
    }
    d -= spare;
    const uint64_t left = uint64_t(kWords) - st.index;  // words of this block not yet handed out
    if (d > left) {
        // Whole 128-bit steps from the block boundary, then r words into the next group.
        const uint64_t steps = (d - left) / 4;
        const uint32_t r = uint32_t((d - left) % 4);
        int32_t j = 0;
        if (steps > 0) {
            const int32_t status =
                ptz::twister::Jump<JumpOps>::run(st.w, steps, requested >= uint64_t(kDegree), kModulus, &j);
            if (status != PTZ_OK) return status;
        }
        // Finish the block the buffer is j steps into (a whole new one when
        // j = 0 and words of the next group are to be skipped).
        if (j != 0 || r != 0) {
            int32_t p = j;
            do JumpOps::step(st.w, p);
            while (p != 0);
        }
        st.spare_count = 0;
        st.index = uint32_t(4 * j);
        if (j == 0 && r == 0) st.index = kWords;
        if (r != 0) {
            uint32_t dropped[3];
            gen.hand_out_partial(r, dropped);
        }
        return PTZ_OK;
    }
    st.spare_count = 0;
    st.index += uint32_t(d) & ~3u;
    if (d % 4 != 0) {
        uint32_t dropped[3];
        gen.hand_out_partial(uint32_t(d % 4), dropped);
    }
    return PTZ_OK;
}

// The published array initialisation: a 0x8B fill mixed with the key by the
// multipliers 1664525 and 1566083941, then the period certification (one
// bit flipped when the parity-check vector finds the state in the wrong
// subspace).
void init_by_array(uint32_t* w, int32_t n, const uint32_t* key) {
    static const uint32_t kOne = 1;
    if (n < 1) n = 1, key = &kOne;
    constexpr uint32_t kSize = kWords, kLag = 11, kMid = (kSize - kLag) / 2;
    auto f1 = [](uint32_t x) { return (x ^ (x >> 27)) * 1664525u; };
    auto f2 = [](uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; };
    std::memset(w, 0x8B, kSize * sizeof(uint32_t));
    const uint32_t count = uint32_t(n) + 1 > kSize ? uint32_t(n) + 1 : kSize;
    uint32_t r = f1(w[0] ^ w[kMid] ^ w[kSize - 1]);
    w[kMid] += r;
    r += uint32_t(n);
    w[kMid + kLag] += r;
    w[0] = r;
    uint32_t i = 1;
    for (uint32_t j = 1; j < count; ++j) {
        r = f1(w[i] ^ w[(i + kMid) % kSize] ^ w[(i + kSize - 1) % kSize]);
        w[(i + kMid) % kSize] += r;
        r += (j - 1 < uint32_t(n) ? key[j - 1] : 0) + i;
        w[(i + kMid + kLag) % kSize] += r;
        w[i] = r;
        i = (i + 1) % kSize;
    }
    for (uint32_t j = 0; j < kSize; ++j) {
        r = f2(w[i] + w[(i + kMid) % kSize] + w[(i + kSize - 1) % kSize]);
        w[(i + kMid) % kSize] ^= r;
        r -= i;
        w[(i + kMid + kLag) % kSize] ^= r;
        w[i] = r;
        i = (i + 1) % kSize;
    }
    uint32_t inner = 0;
    for (int q = 0; q < 4; ++q) inner ^= w[q] & kParity[q];
    if (__builtin_parity(inner)) return;
    for (int q = 0; q < 4; ++q)
        if (kParity[q]) {
            w[q] ^= kParity[q] & (0u - kParity[q]);  // its lowest set bit
            return;
        }
}

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0:
        init_by_array(st.w, n, static_cast<const uint32_t*>(params));
        st.index = kWords;
        st.spare[0] = st.spare[1] = st.spare[2] = 0;
        st.spare_pos = st.spare_count = 0;
        return PTZ_OK;
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2:
        return skip(s, ptz::read_u64(params));
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(SFMT19937, Sfmt19937, init)
