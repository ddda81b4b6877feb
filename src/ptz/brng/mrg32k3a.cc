// MRG32K3A: two order-3 recurrences combined, z = (x1 - x2) mod m1; steps,
// then emits.
#include "ptz/brng/modular.h"
#include "ptz/brng/output.h"

namespace {

constexpr uint32_t kM1 = 4294967087u;  // 2^32 - 209
constexpr uint32_t kM2 = 4294944443u;  // 2^32 - 22853
constexpr uint32_t kA12 = 1403580, kA13 = 810728;   // x1[n] = a12 x1[n-2] - a13 x1[n-3]
constexpr uint32_t kA21 = 527612, kA23 = 1370589;   // x2[n] = a21 x2[n-1] - a23 x2[n-3]

// p mod (2^32 - c) for p < 2^54: 2^32 = c (mod m), folded twice, then one
// subtraction (the second fold leaves less than 2^32 + 2^21).
template <uint32_t C>
inline uint32_t reduce(uint64_t p) {
    p = (p & 0xFFFFFFFFu) + (p >> 32) * C;
    p = (p & 0xFFFFFFFFu) + (p >> 32) * C;
    constexpr uint64_t m = (uint64_t(1) << 32) - C;
    return uint32_t(p >= m ? p - m : p);
}
template <uint32_t C>
inline uint64_t fold(uint64_t p) { return (p & 0xFFFFFFFFu) + (p >> 32) * C; }

// Blocks of outputs: with s = (x[n-2], x[n-1], x[n]), x[n+j] is the last row
// of A^j applied to s, so the kLanes outputs of a block are independent of
// one another and only the block's last three feed the next block.
constexpr int kLanes = 8;
struct Rows {
    uint32_t c[kLanes][3];
};
// Last rows of A^1..A^kLanes for the companion matrix A of
// x[n] = k1 x[n-1] + k2 x[n-2] + k3 x[n-3] (mod m), on oldest-first vectors.
constexpr Rows power_rows(uint64_t m, uint64_t k1, uint64_t k2, uint64_t k3) {
    Rows r{};
    uint64_t row[3] = {k3, k2, k1};  // A itself
    for (int j = 0; j < kLanes; ++j) {
        for (int i = 0; i < 3; ++i) r.c[j][i] = uint32_t(row[i]);
        // next row = row * A: shift by one place and add row[2] times A's last row.
        const uint64_t next[3] = {row[2] * k3 % m, (row[0] + row[2] * k2 % m) % m, (row[1] + row[2] * k1 % m) % m};
        for (int i = 0; i < 3; ++i) row[i] = next[i];
    }
    return r;
}

// c . x mod (2^32 - C) for 32-bit c and x: each product folded once
// (below 2^48), the sum (below 2^50) twice, then one subtraction.
template <uint32_t C>
inline uint32_t dot3(const uint32_t* c, uint32_t x0, uint32_t x1, uint32_t x2) {
    uint64_t s = fold<C>(uint64_t(c[0]) * x0) + fold<C>(uint64_t(c[1]) * x1) + fold<C>(uint64_t(c[2]) * x2);
    s = fold<C>(fold<C>(s));
    constexpr uint64_t m = (uint64_t(1) << 32) - C;
    return uint32_t(s >= m ? s - m : s);
}

constexpr Rows kRows1 = power_rows(kM1, 0, kA12, kM1 - kA13);
constexpr Rows kRows2 = power_rows(kM2, kA21, 0, kM2 - kA23);

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
        for (; i + kLanes <= n; i += kLanes) {
            uint32_t x1[kLanes], x2[kLanes];
            for (int j = 0; j < kLanes; ++j) {
                x1[j] = dot3<209>(kRows1.c[j], a0, a1, a2);
                x2[j] = dot3<22853>(kRows2.c[j], b0, b1, b2);
            }
            for (int j = 0; j < kLanes; ++j) out[i + j] = x1[j] >= x2[j] ? x1[j] - x2[j] : x1[j] - x2[j] + kM1;
            a0 = x1[kLanes - 3], a1 = x1[kLanes - 2], a2 = x1[kLanes - 1];
            b0 = x2[kLanes - 3], b1 = x2[kLanes - 2], b2 = x2[kLanes - 1];
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
