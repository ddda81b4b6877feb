// Method rules, requirement check and kernel level of basic statistics.
#include "ptz/stats/basic_plan.h"

namespace orvu::ss {

namespace {
constexpr uint32_t bit(int slot) { return 1u << slot; }
}

int32_t make_basic_plan(const SSTask* t, uint64_t mask, int32_t method, BasicPlan* plan) {
    // Exactly one data method, or none and at least one conversion method.
    const int data = (method & ORVU_SS_METHOD_FAST ? 1 : 0) + (method & ORVU_SS_METHOD_1PASS ? 1 : 0) +
                     (method & ORVU_SS_METHOD_2PASS ? 1 : 0);
    const bool conv = method & (ORVU_SS_METHOD_CP_TO_COVCOR | ORVU_SS_METHOD_SUM_TO_MOM);
    if (data > 1 || (data == 0 && !conv)) return kBadMethod;
    BasicPlan p;
    p.conversion = data == 0;
    p.pass = method & ORVU_SS_METHOD_FAST ? kPassFast : method & ORVU_SS_METHOD_2PASS ? kPass2p : kPass1p;
    const int column = p.conversion ? kConversion : p.pass == kPassFast ? kFast : kOnePass;

    uint32_t available = 0;
    for (int s = 0; s < kSlots; ++s) {
        if (mask & kSlotRows[s].mask_bit) {
            p.requested |= bit(s);
            p.needed |= kSlotRows[s].needs[column];
        }
        if (field<void>(t, s)) available |= bit(s);
    }
    const uint32_t missing = p.needed & ~available;
    if (missing) {
        for (int s = 0; s < kSlots; ++s)
            if (missing & bit(s)) return kSlotRows[s].missing;
        return kBadMethod;   // only the not-available bit is left
    }

    // Orders the kernel has to produce, from the needed slots.
    const uint32_t u = p.needed;
    int raw = 1, cen = 0;
    for (int k = 2; k <= 4; ++k) {
        if (u & (bit(kRaw2 + k - 2) | bit(kRawSum2 + k - 2))) raw = k;
        if (u & (bit(kCen2 + k - 2) | bit(kCenSum2 + k - 2))) cen = k;
    }
    if (u & bit(kKurt)) cen = 4;
    if ((u & bit(kSkew)) && cen < 3) cen = 3;
    if ((u & bit(kVar)) && cen < 2) cen = 2;
    p.cp = u & (bit(kCov) | bit(kCor) | bit(kCp));
    switch (p.pass) {
    case kPass1p: p.level = (raw >= 3 || cen >= 3) ? 3 : raw == 2 ? 2 : cen == 2 ? 1 : 0; break;
    case kPassFast: p.level = (raw > cen ? raw : cen) - 1; if (p.level < 0) p.level = 0; break;
    case kPass2p: p.level = raw >= 2 ? 3 : cen == 4 ? 2 : cen == 3 ? 1 : 0; break;
    }

    // Every needed slot is written, so the arrays of the needed slots hold
    // the running state a later call carries on. Central sums of order 3 and
    // 4 are carried on with the lower orders, so those are state too.
    for (int k = 0; k < 3; ++k) {
        p.state_raw[k] = u & (bit(kRaw2 + k) | bit(kRawSum2 + k));
        p.state_cen[k] = u & (bit(kCen2 + k) | bit(kCenSum2 + k));
    }
    if (u & bit(kKurt)) p.state_cen[0] = p.state_cen[2] = true;
    if (u & bit(kSkew)) p.state_cen[0] = p.state_cen[1] = true;
    if (u & bit(kVar)) p.state_cen[0] = true;
    if (p.state_cen[2]) p.state_cen[1] = true;
    if (p.state_cen[1]) p.state_cen[0] = true;
    p.state_cp = p.cp;
    *plan = p;
    return kOk;
}

}  // namespace orvu::ss
