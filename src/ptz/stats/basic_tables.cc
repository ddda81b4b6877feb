// Slot rows and kernel tables of basic statistics.
#include "ptz/stats/basic_tables.h"

#include <cstring>
#include <utility>

namespace orvu::ss {

#define F(field) offsetof(SSTask, field)
constexpr uint32_t NA = kNotAvailable;
// Requirements per method: one-pass (0x2, 0x100), fast (0x1), conversion
// (0x200, 0x400). Bit k = slot k.
const SlotRow kSlotRows[kSlots] = {
    /* mean     */ {ORVU_SS_MEAN, F(mean), -4006, {0x1, 0x1, 0x1001}},
    /* raw 2    */ {ORVU_SS_RAW2, F(rawMom2), -4007, {0x2, 0x2, 0x2002}},
    /* raw 3    */ {ORVU_SS_RAW3, F(rawMom3), -4008, {0x4, 0x4, 0x4004}},
    /* raw 4    */ {ORVU_SS_RAW4, F(rawMom4), -4009, {0x8, 0x8, 0x8008}},
    /* cen 2    */ {ORVU_SS_CEN2, F(cenMom2), -4010, {0x13, 0x13, 0x10010}},
    /* cen 3    */ {ORVU_SS_CEN3, F(cenMom3), -4011, {0x27, 0x27, 0x20020}},
    /* cen 4    */ {ORVU_SS_CEN4, F(cenMom4), -4012, {0x4F, 0x4F, 0x40040}},
    /* cov      */ {ORVU_SS_COV, F(cov), -4018, {0x81, 0x81, 0x80080}},
    /* cor      */ {ORVU_SS_COR, F(cor), -4019, {0x101, 0x101, 0x80100}},
    /* kurtosis */ {ORVU_SS_KURTOSIS, F(kurtosis), -4013, {0x25F, 0x25F, 0x251}},
    /* skewness */ {ORVU_SS_SKEWNESS, F(skewness), -4014, {0x437, 0x437, 0x431}},
    /* variation*/ {ORVU_SS_VARIATION, F(variation), -4017, {0x813, 0x813, 0x811}},
    /* sum      */ {ORVU_SS_SUM, F(sum), -4074, {0x1000, 0x1000, NA}},
    /* raw sum 2*/ {ORVU_SS_RAW_SUM2, F(rawSum2), -4075, {0x2000, 0x2000, NA}},
    /* raw sum 3*/ {ORVU_SS_RAW_SUM3, F(rawSum3), -4076, {0x4000, 0x4000, NA}},
    /* raw sum 4*/ {ORVU_SS_RAW_SUM4, F(rawSum4), -4077, {0x8000, 0x8000, NA}},
    /* cen sum 2*/ {ORVU_SS_CEN_SUM2, F(cenSum2), -4078, {0x10001, 0x10003, NA}},
    /* cen sum 3*/ {ORVU_SS_CEN_SUM3, F(cenSum3), -4079, {0x20001, 0x20007, NA}},
    /* cen sum 4*/ {ORVU_SS_CEN_SUM4, F(cenSum4), -4080, {0x40001, 0x4000F, NA}},
    /* cross-pr.*/ {ORVU_SS_CP, F(cp), -4081, {0x80001, 0x80001, NA}},
};
#undef F

namespace {

template <class T, size_t... I>
constexpr void fill_1p(KernelTables<T>& t, std::index_sequence<I...>) {
    ((t.one_pass[I] = &kernel_1p<T, (I & 16) != 0, (I & 8) != 0, (I >> 1) & 3, (I & 1) != 0>), ...);
}
template <class T, size_t... I>
constexpr void fill_16(KernelTables<T>& t, std::index_sequence<I...>) {
    ((t.fast[I] = &kernel_fast<T, (I & 8) != 0, (I & 4) != 0, I & 3>), ...);
    ((t.second_pass[I] = &kernel_2p<T, (I & 8) != 0, (I & 4) != 0, I & 3>), ...);
}
template <class T>
constexpr KernelTables<T> build() {
    KernelTables<T> t{};
    fill_1p(t, std::make_index_sequence<32>{});
    fill_16(t, std::make_index_sequence<16>{});
    return t;
}

}  // namespace

const KernelTables<double> kKernelsD = build<double>();
const KernelTables<float> kKernelsS = build<float>();

void kernel_name(Pass pass, int index, char* buf) {
    static const char* const kPass[] = {"1p", "Fast", "2p"};
    // Orders of each level, padded to fixed width.
    static const char* const kRaw[3][4] = {{"1___", "1___", "12__", "1234"},
                                          {"1___", "12__", "123_", "1234"},
                                          {"____", "____", "____", "_234"}};
    static const char* const kCen[3][4] = {{"___", "2__", "2__", "234"},
                                          {"", "", "", ""},
                                          {"2__", "23_", "234", "234"}};
    const bool one = pass == kPass1p;
    const int level = one ? (index >> 1) & 3 : index & 3;
    const bool cols = one ? index & 16 : index & 8, wts = one ? index & 8 : index & 4;
    std::strcpy(buf, "_vSSBasic");
    std::strcat(buf, kPass[pass]);
    std::strcat(buf, cols ? "C" : "R");
    std::strcat(buf, wts ? "W" : "_");
    std::strcat(buf, "R");
    std::strcat(buf, kRaw[pass][level]);
    if (pass != kPassFast) {
        std::strcat(buf, "C");
        std::strcat(buf, kCen[pass][level]);
    }
    if (one) std::strcat(buf, (index & 1) ? "C" : "_");
}

}  // namespace orvu::ss
