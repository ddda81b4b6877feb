// MT2203: 69-word Mersenne twister (M = 34, 5 lower bits), one of 6024
// parameter sets (twist constant a, tempering masks b and c) chosen by the
// sub-generator number; no leapfrog, no skip-ahead.
#include "ptz/brng/mt_common.h"
#include "ptz/brng/mt2203.h"
#include "ptz/brng/output.h"

namespace {

constexpr int32_t kN = 69, kM = 34;
constexpr int32_t kSubMask = 0xFFFFF;

using Rec = ptz::mt::Recurrence<kN, kM, 0x1Fu>;

struct State {
    uint32_t mt[kN];
    uint32_t index;  // next word to hand out; kN: regenerate first
    uint32_t a, b, c;
};

class Mt2203 {
public:
    using Word = uint32_t;
    explicit Mt2203(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        if (st_.index > uint32_t(kN)) st_.index = kN;  // a foreign image
    }
    void generate(int32_t n, uint32_t* out) {
        const ptz::mt::Tempering<12> temper{st_.b, st_.c};
        ptz::mt::generate<kN, Rec>(st_.mt, st_.index, st_.a, temper, n, out);
    }
    double unit(uint32_t x) const { return ptz::u32_to_double(x) * 2.3283064365386963e-10; }  // 2^-32

private:
    State& st_;
};

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0: {
        ptz::mt::init_by_array<kN>(st.mt, n, static_cast<const uint32_t*>(params));
        st.index = kN;
        const uint32_t* row = ptz::mt2203_parameters(s->brng & kSubMask);
        st.a = row[0], st.b = row[1], st.c = row[2];
        return PTZ_OK;
    }
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2:
        return PTZ_ERROR_SKIPAHEAD_UNSUPPORTED;
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(MT2203, Mt2203, init)
