// WH: four multiplicative components x_k' = a_k x_k mod m_k (m_k < 2^24) with
// parameters from one of 273 sets; emits the four components, then steps.
#include "ptz/brng/modular.h"
#include "ptz/brng/output.h"

namespace {

constexpr int kParts = 4;
constexpr int kLanes = 8;

struct State {
    uint32_t x[kParts];
    uint32_t a[kParts];
};

struct WhWord {
    uint32_t x[kParts];
};

// x * y mod m for x, y < 2^24: the product is exact in double, so the quotient
// estimate from the reciprocal is off by at most one.
inline uint32_t mulmod24(uint32_t x, uint32_t y, uint32_t m, double inv_m) {
    const int64_t p = int64_t(uint64_t(x) * y);
    const int64_t q = int64_t(double(p) * inv_m);
    // r lies in (-m, 2m); the corrections are selects, not branches (their
    // direction is random).
    int64_t r = p - q * int64_t(m);
    r = r < 0 ? r + m : r;
    r = r >= int64_t(m) ? r - m : r;
    return uint32_t(r);
}

// The same product in double lanes, branch-free so that the block loop
// vectorises: p < 2^48 is exact; adding and subtracting 2^52 rounds p / m to
// the nearest integer q, so p - q m (exact, below 2^49) lies in (-m, m) and one
// masked addition of m finishes.
inline int32_t mulmod24_lane(double x, double y, double m, double inv_m, int32_t mi) {
    const double p = x * y;
    const double q = (p * inv_m + 4503599627370496.0) - 4503599627370496.0;
    const int32_t r = int32_t(p - q * m);
    return r + (mi & (r >> 31));  // + m when negative, without a branch
}

int32_t set_of(const RngStream* s) {
    int32_t sub = 0;
    ptz::lookup_row(s->brng, &sub);
    return sub;
}

class Wh {
public:
    using Word = WhWord;
    explicit Wh(RngStream* s) : Wh(s, set_of(s)) {}
    Wh(RngStream* s, int32_t set) : st_(*ptz::state_as<State>(s)), m_(_ptz_WH_M[set]), inv_(_ptzdWH_IM_Tab[set]) {
        // A state from a foreign image may hold values outside [0, m).
        for (int k = 0; k < kParts; ++k) {
            st_.x[k] %= m_[k];
            st_.a[k] %= m_[k];
        }
    }
    void generate(int32_t n, WhWord* out) {
        for (int k = 0; k < kParts; ++k)
            generate_part(k, n, [out, k](int32_t i, uint32_t v) { out[i].x[k] = v; });
    }
    // Unit values of the next n (<= kOutputBlock) outputs: the components go
    // to one column each, so that the sum below runs in vector lanes.
    void units(int32_t n, double* u) {
        uint32_t col[kParts][ptz::kOutputBlock];
        for (int k = 0; k < kParts; ++k) {
            uint32_t* c = col[k];
            generate_part(k, n, [c](int32_t i, uint32_t v) { c[i] = v; });
        }
        for (int32_t i = 0; i < n; ++i) {
            const double s = double(col[0][i]) * inv_[0] + double(col[1][i]) * inv_[1] +
                             double(col[2][i]) * inv_[2] + double(col[3][i]) * inv_[3];
            u[i] = s - double(int32_t(s));
        }
    }
    // Fractional part of sum x_k / m_k, truncated toward zero.
    double unit(const WhWord& w) const {
        const double s = ptz::u32_to_double(w.x[0]) * inv_[0] + ptz::u32_to_double(w.x[1]) * inv_[1] +
                         ptz::u32_to_double(w.x[2]) * inv_[2] + ptz::u32_to_double(w.x[3]) * inv_[3];
        return s - double(int32_t(s));
    }

private:
    // One component for all n outputs: blocks of 8 from x * a^0..a^7,
    // computed in double lanes (see mulmod24_lane) and stored as integers.
    template <class Store>
    void generate_part(int k, int32_t n, Store store) {
        const uint32_t m = m_[k], a = st_.a[k];
        const double inv = inv_[k];
        uint32_t x = st_.x[k];
        int32_t i = 0;
        if (n >= kLanes) {
            double pw[kLanes];
            uint32_t p = 1;
            for (int j = 0; j < kLanes; ++j, p = mulmod24(p, a, m, inv)) pw[j] = double(p);
            const uint32_t a8 = p;
            const double md = double(m);
            for (; i + kLanes <= n; i += kLanes) {
                const double xd = double(x);
                int32_t r[kLanes];
                for (int j = 0; j < kLanes; ++j) r[j] = mulmod24_lane(xd, pw[j], md, inv, int32_t(m));
                for (int j = 0; j < kLanes; ++j) store(i + j, uint32_t(r[j]));
                x = mulmod24(x, a8, m, inv);
            }
        }
        for (; i < n; ++i) {
            store(i, x);
            x = mulmod24(x, a, m, inv);
        }
        st_.x[k] = x;
    }

    State& st_;
    const uint32_t* m_;
    const double* inv_;
};

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    const int32_t set = set_of(s);
    const uint32_t* m = _ptz_WH_M[set];
    switch (method) {
    case 0: {
        const auto* seed = static_cast<const uint32_t*>(params);
        for (int k = 0; k < kParts; ++k) {
            const uint32_t x = k < n ? seed[k] % m[k] : 1;
            st.x[k] = x ? x : 1;
            st.a[k] = _ptz_WH_A[set][k];
        }
        return PTZ_OK;
    }
    case 1: {
        int32_t idx;
        std::memcpy(&idx, params, sizeof idx);
        for (int k = 0; k < kParts; ++k) {
            st.x[k] = ptz::mulmod(st.x[k] % m[k], __ptziPowMod(st.a[k], uint32_t(idx), m[k]), m[k]);
            st.a[k] = __ptziPowMod(st.a[k], uint32_t(n), m[k]);
        }
        return PTZ_OK;
    }
    case 2: {
        const uint64_t d = ptz::read_u64(params);
        for (int k = 0; k < kParts; ++k)
            st.x[k] = ptz::mulmod(st.x[k] % m[k], __ptziPowMod(st.a[k], d, m[k]), m[k]);
        return PTZ_OK;
    }
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(WH, Wh, init)
