// Processor identification (CPUID leaf 1), read once per process. The random
// family's own tests also honour the bits a test withheld through the
// platform object, so the "instruction absent" paths run on any machine.
#include "ptz/brng/cpu_features.h"

#include <cpuid.h>

#include "orvu_ptz_rng.h"
#include "orvu_serv.h"

namespace {

constexpr uint32_t kEcxAes = 1u << 25, kEcxRdrand = 1u << 30;
constexpr uint32_t kEdxSse2 = 1u << 26;

struct Leaf1 {
    uint32_t ecx = 0, edx = 0;
};

const Leaf1& leaf1() {
    static const Leaf1 regs = [] {
        Leaf1 r;
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (__get_cpuid(1, &a, &b, &c, &d)) r.ecx = c, r.edx = d;
        return r;
    }();
    return regs;
}

int32_t usable(uint32_t ecx_bit) {
    return (leaf1().ecx & ecx_bit) && !(orvu_serv_cpu_features_withheld() & ecx_bit) ? 1 : 0;
}

}  // namespace

extern "C" {

ORVU_API int32_t __CPUisAES(void) { return (leaf1().ecx & kEcxAes) ? 1 : 0; }
ORVU_API int32_t __CPUisSSE2(void) { return (leaf1().edx & kEdxSse2) ? 1 : 0; }
ORVU_API int32_t __ptzCPUisAES(void) { return usable(kEcxAes); }
ORVU_API int32_t __ptzCPUisRDRAND(void) { return usable(kEcxRdrand); }

}  // extern "C"

namespace ptz {

int32_t instruction_status(int32_t id) {
    if (id == PTZ_BRNG_ARS5 && !__ptzCPUisAES()) return PTZ_ERROR_ARS5_NOT_SUPPORTED;
    if (id == PTZ_BRNG_NONDETERM && !__ptzCPUisRDRAND()) return PTZ_ERROR_NONDETERM_NOT_SUPPORTED;
    return PTZ_OK;
}

}  // namespace ptz
