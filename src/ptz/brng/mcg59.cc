// MCG59: x' = a * x mod 2^59, a = 13^13; emits x, then steps.
#include "ptz/brng/modular.h"
#include "ptz/brng/output.h"

namespace {

constexpr uint64_t kMultiplier = 302875106592253ull;  // 13^13

struct State {
    uint64_t x, a;
};

class Mcg59 {
public:
    using Word = uint64_t;
    explicit Mcg59(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        st_.x &= ptz::kMask59;
        st_.a &= ptz::kMask59;
    }
    void generate(int32_t n, uint64_t* out) { st_.x = ptz::mcg_generate<ptz::mulmod_2p59>(st_.x, st_.a, n, out); }
    double unit(uint64_t x) const { return ptz::u64_to_double(x) * 1.734723475976807e-18; }  // 2^-59

private:
    State& st_;
};

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0: {
        uint64_t x = 1;
        if (n >= 1) {
            const auto* seed = static_cast<const uint32_t*>(params);
            x = seed[0];
            if (n >= 2) x += uint64_t(seed[1] & 0x7FFFFFF) << 32;  // 27 high bits make 59
        }
        st.x = x ? x : 1;
        st.a = kMultiplier;
        return PTZ_OK;
    }
    case 1: {
        int32_t k;
        std::memcpy(&k, params, sizeof k);
        st.x = ptz::mulmod_2p59(st.x, __ptziPowMod2P59(st.a, uint64_t(uint32_t(k))));
        st.a = __ptziPowMod2P59(st.a, uint64_t(uint32_t(n)));
        return PTZ_OK;
    }
    case 2:
        st.x = ptz::mulmod_2p59(st.x, __ptziPowMod2P59(st.a, ptz::read_u64(params)));
        return PTZ_OK;
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(MCG59, Mcg59, init)
