// The data of basic statistics: the twenty estimate slots with their mask
// bits, task fields, missing-array statuses and the slots each estimate
// needs under each method; and the three kernel-selection tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ptz/stats/basic_kernels.h"
#include "orvu_ptz_stats.h"

namespace orvu::ss {

enum Slot : int {
    kMean, kRaw2, kRaw3, kRaw4, kCen2, kCen3, kCen4, kCov, kCor, kKurt, kSkew, kVar,
    kSum, kRawSum2, kRawSum3, kRawSum4, kCenSum2, kCenSum3, kCenSum4, kCp, kSlots
};
// Bit 20 of a requirement: the estimate is not available with the method.
constexpr uint32_t kNotAvailable = 1u << 20;

enum MethodColumn : int { kOnePass, kFast, kConversion };

struct SlotRow {
    uint64_t mask_bit;      // estimate that produces this slot's field
    size_t field;           // offsetof(SSTask, ...)
    int32_t missing;        // status when the field is null but needed
    uint32_t needs[3];      // slots the estimate needs, by method column
};
extern const SlotRow kSlotRows[kSlots];

// Kernel selection: one-pass 32 entries, index (columns ? 16 : 0) +
// (weights ? 8 : 0) + 2 level + (cross-product ? 1 : 0); fast and second
// pass 16 entries, index (columns ? 8 : 0) + (weights ? 4 : 0) + level.
template <class T>
struct KernelTables {
    BasicKernel<T> one_pass[32];
    BasicKernel<T> fast[16];
    BasicKernel<T> second_pass[16];
};
extern const KernelTables<double> kKernelsD;
extern const KernelTables<float> kKernelsS;
template <class T> const KernelTables<T>& kernel_tables();
template <> inline const KernelTables<double>& kernel_tables<double>() { return kKernelsD; }
template <> inline const KernelTables<float>& kernel_tables<float>() { return kKernelsS; }

enum Pass : int { kPass1p, kPassFast, kPass2p };
// The kernel's name, e.g. "_vSSBasic1pR_R1___C____" (entry 0 of the one-pass
// table) or "_vSSBasicFastCWR1234"; buf needs 32 characters.
void kernel_name(Pass pass, int index, char* buf);

}  // namespace orvu::ss
