// MCG31M1: x' = a * x mod (2^31 - 1), a = 1132489760; emits x, then steps.
#include "ptz/brng/modular.h"
#include "ptz/brng/output.h"

namespace {

constexpr uint32_t kMultiplier = 1132489760;

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
    void generate(int32_t n, uint32_t* out) { st_.x = ptz::mcg_generate<ptz::mulmod_m31>(st_.x, st_.a, n, out); }
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
