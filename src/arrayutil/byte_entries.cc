// Exported byte-level routines: the element value becomes a 16-byte pattern,
// and each kind of fill keeps its own streaming threshold.
#include "arrayutil/byte_paths.h"
#include "orvu_arrayutil.h"

namespace {
using namespace orvu::arrayutil;

template <class T>
void fill_elements(const T& value, void* dst, size_t count, size_t large_from) {
    fill_bytes(dst, count * sizeof(T), pattern_of(value), large_from);
}
}  // namespace

extern "C" {

void orvu_dft_c5h2_ownsCopy_8u(const void* src, void* dst, size_t bytes) { copy_bytes(dst, src, bytes); }
void orvu_dft_c5h2_ownsZero_8u(void* dst, size_t bytes) { fill_elements(uint8_t{0}, dst, bytes, kLargeZeroFrom); }
void orvu_dft_c5h2_ownsSet_8u(uint8_t value, void* dst, size_t count) {
    fill_elements(value, dst, count, kLargeZeroFrom);
}
void orvu_dft_c5h2_ownsSet_16u(uint16_t value, void* dst, size_t count) {
    fill_elements(value, dst, count, kLargeFillFrom);
}
void orvu_dft_c5h2_ownsSet_32s(int32_t value, void* dst, size_t count) {
    fill_elements(value, dst, count, kLargeFillFrom);
}
void orvu_dft_c5h2_ownsSet_64s(int64_t value, void* dst, size_t count) {
    fill_elements(value, dst, count, kLargeFillFrom);
}
void orvu_dft_c5h2_ownsSet_64sc(Orvu64sc value, void* dst, size_t count) {
    fill_elements(value, dst, count, kLargeFillFrom);
}

}  // extern "C"
