// libFuzzer target: the bounded memory loader over arbitrary bytes. Every
// accepted stream is drawn from, saved again and deleted; the sanitizers
// report any access outside the input or a leak.
#include <cstdint>
#include <cstring>
#include <vector>

#include "orvu_ptz_rng.h"
#include "orvu_serv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    RngStream* s = nullptr;
    const int32_t status = __ptzLoadStreamMBounded(&s, data, uint32_t(size));
    if (status != 0) return 0;
    BrngProperties p{};
    __ptzGetBrngProperties(__ptzGetStreamStateBrng(s), &p);
    // Abstract streams hold the saving process's pointers: not drawn from.
    const int32_t id = __ptzGetStreamStateBrng(s);
    if (id != PTZ_BRNG_IABSTRACT && id != PTZ_BRNG_DABSTRACT && id != PTZ_BRNG_SABSTRACT) {
        double r[300];
        p.dBRng(s, 300, r, 0.0, 1.0);
    }
    std::vector<uint8_t> again(size_t(__ptzGetStreamSize(s)));
    __ptzSaveStreamM(s, again.data());
    __ptzDeleteStream(&s);
    return 0;
}
