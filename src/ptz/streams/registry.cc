// The generator tables, identifier mapping, validity and user registration.
#include "ptz/brng/mt2203.h"
#include "ptz/brng/quasi_tables.h"
#include "ptz/streams/abstract_state.h"
#include "ptz/streams/stream.h"

namespace {

#define PTZ_BRNG_FUNCS(NAME) &__ptzBRng##NAME##InitStream, &__ptzsBRng##NAME, &__ptzdBRng##NAME, &__ptziBRng##NAME

// Rows whose generator is not built yet are left empty (zero sub-generators),
// so every identifier of theirs is invalid until their functions exist.
#define ROW_MCG31M1 {24, 1, 0, 4, 31, PTZ_BRNG_FUNCS(MCG31M1)}
#define ROW_R250 {1024, 252, 1, 4, 32, PTZ_BRNG_FUNCS(R250)}
#define ROW_MRG32K3A {40, 6, 1, 4, 32, PTZ_BRNG_FUNCS(MRG32K3A)}
#define ROW_MCG59 {32, 1, 0, 8, 59, PTZ_BRNG_FUNCS(MCG59)}
#define ROW_WH {48, 4, 1, 16, 24, PTZ_BRNG_FUNCS(WH)}
// The abstract records hold pointers, so their size follows the target's
// pointer width (36, 52 and 44 bytes on 32-bit x86).
#define ROW_IABSTRACT {ptz::kHeaderBytes + int32_t(sizeof(ptz::IAbstractState)), 0, 1, 4, 32, PTZ_BRNG_FUNCS(iAbstract)}
#define ROW_DABSTRACT {ptz::kHeaderBytes + int32_t(sizeof(ptz::DAbstractState)), 0, 1, 4, 32, PTZ_BRNG_FUNCS(dAbstract)}
#define ROW_SABSTRACT {ptz::kHeaderBytes + int32_t(sizeof(ptz::SAbstractState)), 0, 1, 4, 32, PTZ_BRNG_FUNCS(sAbstract)}
#define ROW_NOT_BUILT {0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr}
#define ROW_SOBOL {11712, 2604, 0, 4, 32, PTZ_BRNG_FUNCS(Sobol)}
#define ROW_NIEDERR {84288, 10498, 0, 4, 32, PTZ_BRNG_FUNCS(Niederr)}
// Rows 5..276 of the legacy table (17 x 16): its ids 4..276 all use row 4.
#define ROWS_NOT_BUILT_16 ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, \
    ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT,         \
    ROW_NOT_BUILT, ROW_NOT_BUILT, ROW_NOT_BUILT
#define ROWS_LEGACY_UNUSED ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16,              \
    ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16,                 \
    ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16,                 \
    ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16, ROWS_NOT_BUILT_16

}  // namespace

extern "C" {

BrngProperties __RegBrngsNew[512] = {
    ROW_MCG31M1, ROW_R250, ROW_MRG32K3A, ROW_MCG59, ROW_WH,
    ROW_SOBOL, ROW_NIEDERR,
    {2516, 625, 1, 4, 32, PTZ_BRNG_FUNCS(MT19937)},  // 7 MT19937
    {308, 70, 1, 4, 32, PTZ_BRNG_FUNCS(MT2203)},  // 8 MT2203
    ROW_IABSTRACT, ROW_DABSTRACT, ROW_SABSTRACT,
    {2536, 625, 1, 4, 32, PTZ_BRNG_FUNCS(SFMT19937)},  // 12 SFMT19937
    {24, 1, 0, 4, 32, PTZ_BRNG_FUNCS(TRNG)},  // 13 NONDETERM
    {68, 8, 1, 4, 32, PTZ_BRNG_FUNCS(ARS5)},  // 14 ARS5
    {60, 8, 1, 4, 32, PTZ_BRNG_FUNCS(PHILOX4X32X10)},  // 15 PHILOX4X32X10
};

// Sub-generator counts; 0 marks a row whose generator is not built.
int32_t NumOffsets[512] = {
    1, 1, 1, 1, 273,
    1,  // 5 SOBOL
    1,  // 6 NIEDERREITER
    1,  // 7 MT19937
    6024,  // 8 MT2203
    1, 1, 1,
    1,  // 12 SFMT19937
    1,  // 13 NONDETERM
    1,  // 14 ARS5
    1,  // 15 PHILOX4X32X10
};

int32_t NRegBrngsNew = ptz::kBuiltinRows;

// Legacy numbering: ids 0..3 are rows 0..3, ids 4..276 all use row 4 (WH),
// ids 277 and 278 name SOBOL and NIEDERREITER.
BrngProperties __RegBrngs[512] = {ROW_MCG31M1, ROW_R250, ROW_MRG32K3A, ROW_MCG59, ROW_WH,
                                  ROWS_LEGACY_UNUSED, ROW_SOBOL, ROW_NIEDERR};

}  // extern "C"

namespace {

constexpr int32_t kIdUnit = 0x100000;
constexpr int32_t kWhLegacyFirst = 4, kWhLegacyLast = 276;
constexpr int32_t kLegacySobol = 277, kLegacyNiederr = 278;

// Sub-generators of the legacy rows (only the WH row has more than one).
int32_t legacy_sub_count(int32_t row) { return row == 4 ? 273 : 1; }

}  // namespace

extern "C" {

ORVU_API BrngProperties* __ptzGetBrngBaseOffset(int32_t id, int32_t* row, int32_t* sub) {
    if (id >= kIdUnit) {
        *row = (id >> 20) - 1;
        *sub = id & 0xFFFFF;
        return __RegBrngsNew;
    }
    if (id >= kWhLegacyFirst && id <= kWhLegacyLast) {
        *row = 4;
        *sub = id - kWhLegacyFirst;
    } else {
        *row = id;
        *sub = 0;
    }
    return __RegBrngs;
}

ORVU_API int32_t __ptzIsBrngValid(const BrngProperties* table, int32_t row, int32_t sub) {
    if (row < 0 || sub < 0) return PTZ_ERROR_INVALID_BRNG;
    if (table == __RegBrngs) {
        // The legacy bound admits 281 rows, but only rows with a generator
        // behind them may be called through.
        if (row >= ptz::kLegacyRows || sub >= legacy_sub_count(row)) return PTZ_ERROR_INVALID_BRNG;
        return __RegBrngs[row].initStream ? PTZ_OK : PTZ_ERROR_INVALID_BRNG;
    }
    if (table == __RegBrngsNew) {
        if (row >= NRegBrngsNew || sub >= NumOffsets[row]) return PTZ_ERROR_INVALID_BRNG;
        return PTZ_OK;
    }
    return PTZ_ERROR_INVALID_BRNG;
}

ORVU_API int32_t __ptzGetBrngProperties(int32_t id, BrngProperties* out) {
    const BrngProperties* p = ptz::lookup_row(id);
    if (!p) return PTZ_ERROR_INVALID_BRNG;
    *out = *p;
    return PTZ_OK;
}

ORVU_API int32_t __ptzRegisterBrng(const BrngProperties* p) {
    if (p->stateSize < 0) return PTZ_ERROR_BAD_STATE_SIZE;
    if (p->wordSize != 4 && p->wordSize != 8 && p->wordSize != 16) return PTZ_ERROR_BAD_WORD_SIZE;
    if (p->seedWords < 1) return PTZ_ERROR_BAD_NSEEDS;
    if (p->nBits < 1) return PTZ_ERROR_BAD_NBITS;
    if (!p->sBRng || !p->dBRng || !p->iBRng || !p->initStream) return PTZ_ERROR_NULL_PTR;
    // A full table has no identifier left to hand out: reported like a
    // failed allocation, the table unchanged.
    const int32_t k = NRegBrngsNew;
    if (k >= ptz::kTableRows) return PTZ_ERROR_MEM_FAILURE;
    NumOffsets[k] = 1;
    __RegBrngsNew[k] = *p;
    NRegBrngsNew = k + 1;
    return (k + 1) * kIdUnit;
}

ORVU_API int32_t __ptzGetNumRegBrngs(void) { return NRegBrngsNew; }

ORVU_API int32_t __ptzGetStreamStateBrng(const RngStream* stream) { return stream->brng; }

}  // extern "C"

namespace ptz {

const BrngProperties* lookup_row(int32_t id, int32_t* sub) {
    int32_t row = 0, s = 0;
    const BrngProperties* table = __ptzGetBrngBaseOffset(id, &row, &s);
    if (__ptzIsBrngValid(table, row, s) != PTZ_OK) return nullptr;
    if (sub) *sub = s;
    return &table[row];
}

int32_t builtin_index(int32_t id) {
    if (id >= kIdUnit) {
        const int32_t row = (id >> 20) - 1;
        return row < kBuiltinRows ? row : -1;
    }
    if (id >= kWhLegacyFirst && id <= kWhLegacyLast) return 4;
    if (id == kLegacySobol) return 5;
    if (id == kLegacyNiederr) return 6;
    return id;  // legacy ids 0..3 are rows 0..3
}

bool state_holds_pointers(int32_t id) {
    const int32_t row = builtin_index(id);
    return row == PTZ_BRNG_IABSTRACT / kIdUnit - 1 || row == PTZ_BRNG_DABSTRACT / kIdUnit - 1 ||
           row == PTZ_BRNG_SABSTRACT / kIdUnit - 1;
}

}  // namespace ptz
