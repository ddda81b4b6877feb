// MCG31M1: x' = a * x mod (2^31 - 1), a = 1132489760; emits x, then steps.
#include "ptz/brng/modular.h"
#include "ptz/brng/output.h"

namespace {

constexpr uint32_t kMultiplier = 1132489760;
constexpr int kLanes = 8;  // outputs per block: x * a^0 .. x * a^7, then x *= a^8

struct State {
    uint32_t x, a;
};

class Mcg31m1 {
public:
    using Word = uint32_t;
    explicit Mcg31m1(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        // A state from a foreign image may hold values outside [0, m).
        st_.x = ptz::reduce_m31(st_.x);
        st_.a = ptz::reduce_m31(st_.a);
    }
    void generate(int32_t n, uint32_t* out) {
        uint32_t x = st_.x;
        const uint32_t a = st_.a;
        int32_t i = 0;
        if (n >= kLanes) {
            uint32_t pw[kLanes];  // a^0 .. a^7
            pw[0] = 1;
            for (int j = 1; j < kLanes; ++j) pw[j] = ptz::mulmod_m31(pw[j - 1], a);
            const uint32_t a8 = ptz::mulmod_m31(pw[kLanes - 1], a);
            for (; i + kLanes <= n; i += kLanes) {
                for (int j = 0; j < kLanes; ++j) out[i + j] = ptz::mulmod_m31(x, pw[j]);
                x = ptz::mulmod_m31(x, a8);
            }
        }
        for (; i < n; ++i) {
            out[i] = x;
            x = ptz::mulmod_m31(x, a);
        }
        st_.x = x;
    }
    // The double nearest 1/(2^31 - 1), bits 0x3E00000000200000.
    double unit(uint32_t x) const { return ptz::u32_to_double(x) * 4.656612875245797e-10; }

private:
    State& st_;
};

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0: {
        uint32_t x = 1;
        if (n >= 1) x = static_cast<const uint32_t*>(params)[0] % ptz::kM31;
        st.x = x ? x : 1;
        st.a = kMultiplier;
        return PTZ_OK;
    }
    case 1: {  // leapfrog: stream k of n
        int32_t k;
        std::memcpy(&k, params, sizeof k);
        st.x = ptz::mulmod_m31(ptz::reduce_m31(st.x), __ptziPowMod2P31M1(st.a, uint64_t(uint32_t(k))));
        st.a = __ptziPowMod2P31M1(st.a, uint64_t(uint32_t(n)));
        return PTZ_OK;
    }
    case 2:
        st.x = ptz::mulmod_m31(ptz::reduce_m31(st.x), __ptziPowMod2P31M1(st.a, ptz::read_u64(params)));
        return PTZ_OK;
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(MCG31M1, Mcg31m1, init)
