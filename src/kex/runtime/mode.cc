// Per-thread mode word: lazy initialisation from the environment, group-wise
// replacement, accuracy slot lookup.
#include <cstring>

#include "kex/runtime/thread_state.h"
#include "orvu_serv.h"

extern "C" {
constinit thread_local const void* kexInterfInputVecorPointer = nullptr;
constinit thread_local int32_t kexErrStatus = 0;
constinit thread_local KexErrorCallBack kexErrorCallBack = nullptr;
constinit thread_local uint64_t kexMode = 0;

// Keywords of the environment string, searched in this order. The sixth row
// is 16 characters long and lacks the final T of its word: a token spelled in
// full is therefore not recognised (the 'T' is not a ',' or the end).
const KexModeKeyword mapModeS_N[13] = {
    {"LA", 2, 0x1, 0},
    {"HA", 2, 0x2, 0},
    {"EP", 2, 0x3, 0},
    {"DEFAULT_PRECISION", 17, 0x0, 0},
    {"FLOAT_CONSISTENT", 16, 0x10, 0},
    {"DOUBLE_CONSISTEN", 16, 0x20, 0},
    {"RESTORE", 7, 0x30, 0},
    {"ERRMODE_IGNORE", 14, 0x100, 0},
    {"ERRMODE_ERRNO", 13, 0x200, 0},
    {"ERRMODE_STDERR", 14, 0x400, 0},
    {"ERRMODE_EXCEPT", 14, 0x800, 0},
    {"ERRMODE_CALLBACK", 16, 0x1000, 0},
    {"ERRMODE_DEFAULT", 15, 0x1A00, 0},
};
}

namespace {
constexpr int kEnvBufSize = 256;
constexpr uint64_t kNoMode = ~uint64_t{0};
constexpr uint32_t kGroupMasks[] = {KEX_MODE_ACCURACY_MASK, KEX_MODE_ERRMODE_MASK, KEX_MODE_FTZDAZ_MASK};
}  // namespace

extern "C" {

ORVU_API uint64_t orvu_kex_kernel_ReadEnvVarMode(void) {
    char buf[kEnvBufSize] = {};
    if (orvu_serv_getenv(KEX_MODE_ENV_NAME, buf, kEnvBufSize) <= 0) return kNoMode;
    uint32_t low = 0, high = 0;
    int p = 0;
    for (;;) {
        if (buf[p] != 'K' || buf[p + 1] != 'E' || buf[p + 2] != 'X' || buf[p + 3] != '_') return kNoMode;
        const KexModeKeyword* hit = nullptr;
        for (const KexModeKeyword& row : mapModeS_N) {
            if (p + 4 + row.length >= kEnvBufSize) continue;  // keyword would run past the buffer
            if (std::memcmp(buf + p + 4, row.text, static_cast<size_t>(row.length)) == 0) {
                hit = &row;
                break;
            }
        }
        if (!hit) return kNoMode;
        const int q = p + 4 + hit->length;
        if (buf[q] != ',' && buf[q] != '\0') return kNoMode;
        low |= hit->low;
        high |= hit->high;
        if (buf[q] == '\0') return (uint64_t{high} << 32) | low;
        p = q + 1;
        if (p + 4 > kEnvBufSize) return kNoMode;
    }
}

ORVU_API uint32_t orvu_kex_kernel_GetMode(void) {
    if (kexMode != 0) return static_cast<uint32_t>(kexMode);
    const uint64_t parsed = orvu_kex_kernel_ReadEnvVarMode();
    // The parsed high half is dropped. A parsed 0 stays "not initialised", so
    // the environment is read again next time.
    kexMode = parsed == kNoMode ? KEX_MODE_DEFAULT : static_cast<uint32_t>(parsed);
    return static_cast<uint32_t>(kexMode);
}

ORVU_API uint32_t orvu_kex_kernel_SetMode(uint32_t mode) {
    const uint32_t prev = orvu_kex_kernel_GetMode();
    uint32_t m = static_cast<uint32_t>(kexMode);
    for (uint32_t g : kGroupMasks)
        if (mode & g) m = (m & ~g) | (mode & g);
    kexMode = m;
    return prev;
}

ORVU_API int32_t orvu_kex_kernel_GetTTableIndex(void) {
    return static_cast<int32_t>(orvu_kex_kernel_GetMode() & KEX_MODE_ACCURACY_MASK) - 1;
}

ORVU_API int32_t orvu_kex_kernel_GetTTableIndexM(int32_t, uint32_t mode) {
    return static_cast<int32_t>(mode & KEX_MODE_ACCURACY_MASK) - 1;
}

ORVU_API int32_t orvu_kex_kernel_GetErrStatus(void) { return kexErrStatus; }

ORVU_API int32_t orvu_kex_kernel_SetErrStatus(int32_t status) {
    const int32_t prev = kexErrStatus;
    kexErrStatus = status;
    return prev;
}

ORVU_API int32_t orvu_kex_kernel_ClearErrStatus(void) { return orvu_kex_kernel_SetErrStatus(0); }

ORVU_API KexErrorCallBack orvu_kex_kernel_GetErrorCallBack(void) { return kexErrorCallBack; }

ORVU_API KexErrorCallBack orvu_kex_kernel_SetErrorCallBack(KexErrorCallBack cb) {
    const KexErrorCallBack old = kexErrorCallBack;
    const uint32_t m = orvu_kex_kernel_GetMode();
    kexErrorCallBack = cb;
    // SetMode replaces the error group only when it is non-zero: clearing the
    // callback when it was the only error-mode bit leaves the bit set.
    orvu_kex_kernel_SetMode(cb ? (m | KEX_MODE_ERRMODE_CALLBACK) : (m & ~KEX_MODE_ERRMODE_CALLBACK));
    return old;
}

ORVU_API KexErrorCallBack orvu_kex_kernel_ClearErrorCallBack(void) {
    return orvu_kex_kernel_SetErrorCallBack(nullptr);
}

ORVU_API const void* orvu_kex_kernel_SetInterfInputVectorPointer(const void* p) {
    kexInterfInputVecorPointer = p;
    return p;
}

ORVU_API int32_t dll_cpu_version(void) { return 0; }

// The _kex forwarders.
ORVU_API uint32_t _kexGetMode(void) { return orvu_kex_kernel_GetMode(); }
ORVU_API uint32_t _kexSetMode(uint32_t mode) { return orvu_kex_kernel_SetMode(mode); }
ORVU_API int32_t _kexGetErrStatus(void) { return orvu_kex_kernel_GetErrStatus(); }
ORVU_API int32_t _kexSetErrStatus(int32_t s) { return orvu_kex_kernel_SetErrStatus(s); }
ORVU_API int32_t _kexClearErrStatus(void) { return orvu_kex_kernel_ClearErrStatus(); }
ORVU_API KexErrorCallBack _kexGetErrorCallBack(void) { return orvu_kex_kernel_GetErrorCallBack(); }
ORVU_API KexErrorCallBack _kexSetErrorCallBack(KexErrorCallBack cb) { return orvu_kex_kernel_SetErrorCallBack(cb); }
ORVU_API KexErrorCallBack _kexClearErrorCallBack(void) { return orvu_kex_kernel_ClearErrorCallBack(); }
ORVU_API const void* _kexSetInterfInputVectorPointer(const void* p) {
    return orvu_kex_kernel_SetInterfInputVectorPointer(p);
}

}  // extern "C"
