// libFuzzer target: the bounded memory loader over arbitrary bytes. Accepted
// streams are drawn from, saved and deleted under the sanitizers.
#include <cstdint>
#include <vector>

#include "orvu_ptz_rng.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RngStream* s = nullptr;
    if (size > 1u << 20 || __ptzLoadStreamMBounded(&s, data, uint32_t(size)) != 0) return 0;
    BrngProperties p{};
    __ptzGetBrngProperties(__ptzGetStreamStateBrng(s), &p);
    double r[300];
    p.dBRng(s, 300, r, 0.0, 1.0);
    std::vector<uint8_t> again(size_t(__ptzGetStreamSize(s)));
    __ptzSaveStreamM(s, again.data());
    __ptzDeleteStream(&s);
    return 0;
}
