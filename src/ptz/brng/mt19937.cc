// MT19937: 624-word Mersenne twister (M = 397, a = 0x9908B0DF) with the
// standard tempering; skip-ahead by the characteristic polynomial.
#include "ptz/brng/mt_common.h"
#include "ptz/brng/output.h"
#include "ptz/brng/twister_jump.h"

namespace {

constexpr int32_t kN = 624, kM = 397;
constexpr uint32_t kA = 0x9908B0DFu;
constexpr int32_t kDegree = 19937;

using Rec = ptz::mt::Recurrence<kN, kM, 0x7FFFFFFFu>;
constexpr ptz::mt::Tempering<11> kTemper{0x9D2C5680u, 0xEFC60000u};

struct State {
    uint32_t mt[kN];
    uint32_t index;  // next word to hand out; kN: regenerate first
};

class Mt19937 {
public:
    using Word = uint32_t;
    explicit Mt19937(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        if (st_.index > uint32_t(kN)) st_.index = kN;  // a foreign image
    }
    void generate(int32_t n, uint32_t* out) {
        ptz::mt::generate<kN, Rec>(st_.mt, st_.index, kA, kTemper, n, out);
    }
    double unit(uint32_t x) const { return ptz::u32_to_double(x) * 2.3283064365386963e-10; }  // 2^-32

private:
    State& st_;
};

// One-word step on a circular buffer, for the skip-ahead evaluation.
struct JumpOps {
    static constexpr int32_t kUnits = kN, kUnitWords = 1;
    static void step(uint32_t* mt, int32_t& pos) {
        const int32_t far = pos + kM < kN ? pos + kM : pos + kM - kN;
        Rec::step(mt, pos, far, kA);
        pos = pos + 1 == kN ? 0 : pos + 1;
    }
};

const ptz::gf2::Modulus kModulus{_ptz_mt19937_poly, 135, kDegree, ptz::kMt19937Barrett, 312};

int32_t skip(State& st, uint64_t d) {
    if (d == 0) return PTZ_OK;
    if (st.index > uint32_t(kN)) st.index = kN;
    const uint64_t left = uint64_t(kN) - st.index;  // words of this block not yet handed out
    if (d <= left) {
        st.index += uint32_t(d);
        return PTZ_OK;
    }
    int32_t j = 0;
    const int32_t status = ptz::twister::Jump<JumpOps>::run(st.mt, d - left, d >= uint64_t(kDegree), kModulus, &j);
    if (status != PTZ_OK) return status;
    // The buffer sits j steps into a block: finish that block so that words
    // j..N-1 are the next outputs.
    if (j == 0) {
        st.index = kN;
    } else {
        for (int32_t p = j; p != 0;) JumpOps::step(st.mt, p);
        st.index = uint32_t(j);
    }
    return PTZ_OK;
}

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0:
        ptz::mt::init_by_array<kN>(st.mt, n, static_cast<const uint32_t*>(params));
        st.index = kN;
        return PTZ_OK;
    case 1:
        return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    case 2:
        return skip(st, ptz::read_u64(params));
    default:
        return PTZ_ERROR_BAD_METHOD;
    }
}

}  // namespace

PTZ_DEFINE_BRNG(MT19937, Mt19937, init)
