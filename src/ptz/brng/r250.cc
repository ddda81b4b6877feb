// R250: 250-word shift register; the new word replaces register word i as
// reg[i] ^ reg[j], then i and j advance by one (mod 250), j staying i + 103.
#include "ptz/brng/output.h"

namespace {

constexpr int32_t kWords = 250;
constexpr int32_t kTap = 103;  // j - i
constexpr uint32_t kLcg = 69069;

struct State {
    uint32_t reg[kWords];
    uint32_t i, j;
};

class R250 {
public:
    using Word = uint32_t;
    explicit R250(RngStream* s) : st_(*ptz::state_as<State>(s)) {
        // Indices from a foreign image are brought into range before use.
        st_.i %= kWords;
        st_.j %= kWords;
    }
    void generate(int32_t n, uint32_t* out) {
        if (n >= kWords && st_.j == (st_.i + kTap) % kWords) {
            generate_in_place(n, out);
        } else {
            generate_stepwise(n, out);
        }
    }
    double unit(uint32_t x) const { return ptz::u32_to_double(x) * 2.3283064365386963e-10; }  // 2^-32

private:
    // Runs between the wrap-arounds of i and j, so that the inner loop has no
    // index tests (within a run, a word read is never one written earlier in
    // the same run: j runs ahead of i).
    void generate_stepwise(int32_t n, uint32_t* out) {
        int32_t i = int32_t(st_.i), j = int32_t(st_.j);
        for (int32_t k = 0; k < n;) {
            int32_t run = n - k;
            if (run > kWords - i) run = kWords - i;
            if (run > kWords - j) run = kWords - j;
            uint32_t* a = st_.reg + i;
            const uint32_t* b = st_.reg + j;
            for (int32_t t = 0; t < run; ++t) out[k + t] = a[t] ^= b[t];
            k += run;
            i += run;
            j += run;
            if (i == kWords) i = 0;
            if (j == kWords) j = 0;
        }
        st_.i = uint32_t(i), st_.j = uint32_t(j);
    }
    // With x[k] the k-th output, x[k] = x[k-250] ^ x[k-147]: the first 250
    // outputs come from the register, the rest from the output itself; the
    // register is then the last 250 outputs, oldest first.
    void generate_in_place(int32_t n, uint32_t* out) {
        generate_stepwise(kWords, out);
        for (int32_t k = kWords; k < n; ++k) out[k] = out[k - kWords] ^ out[k - (kWords - kTap)];
        std::memcpy(st_.reg, out + (n - kWords), sizeof st_.reg);
        st_.i = 0;
        st_.j = kTap;
    }

    State& st_;
};

int32_t init(int32_t method, RngStream* s, int32_t n, const void* params) {
    State& st = *ptz::state_as<State>(s);
    switch (method) {
    case 0: {
        const auto* seed = static_cast<const uint32_t*>(params);
        if (n >= kWords) {
            std::memcpy(st.reg, seed, sizeof st.reg);
        } else {
            uint32_t t = n < 1 || seed[0] == 0 ? 1 : seed[0];
            for (int32_t k = 0; k < kWords; ++k) st.reg[k] = t *= kLcg;  // t * 69069^(k+1) mod 2^32
            // Words 3, 10, ..., 220 get their leading one in 32 distinct bit
            // positions, which makes the register's words linearly independent.
            for (int q = 0; q < 32; ++q) {
                uint32_t& w = st.reg[3 + 7 * q];
                w = (w & (0xFFFFFFFFu >> q)) | (0x80000000u >> q);
            }
        }
        st.i = 0;
        st.j = kTap;
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

PTZ_DEFINE_BRNG(R250, R250, init)
