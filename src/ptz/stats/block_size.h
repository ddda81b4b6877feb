// The size of a working block whose parts are counted from caller integers
// (p, n, group, order and thread counts). Each part is a product of
// non-negative factors; a negative factor, a product or sum that overflows,
// or a total beyond the 32-bit size the service layer takes (also the size_t
// of 32-bit targets) makes the block impossible. allocate() then returns
// null, which every caller reports as its memory-failure status, so no size
// is ever computed by wrapping arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvu_serv.h"

namespace orvu::ss {

class BlockSize {
public:
    // Adds the product of the factors to the total.
    template <class... F>
    BlockSize& add(F... factors) {
        uint64_t term = 1;
        for (const int64_t f : {static_cast<int64_t>(factors)...})
            if (f < 0 || __builtin_mul_overflow(term, static_cast<uint64_t>(f), &term)) ok_ = false;
        if (__builtin_add_overflow(total_, term, &total_)) ok_ = false;
        return *this;
    }

    // True when the total can be allocated; only then is total() meaningful.
    bool fits() const { return ok_ && total_ <= kLimit; }
    int64_t total() const { return static_cast<int64_t>(total_); }

    // A block of total() bytes aligned to 128, or null (not representable, or
    // memory exhausted).
    void* allocate() const {
        if (!fits()) return nullptr;
        return orvu_serv_allocate(static_cast<uint32_t>(total_ > 0 ? total_ : 1), 128);
    }

private:
    static constexpr uint64_t kLimit = UINT32_MAX < SIZE_MAX ? uint64_t(UINT32_MAX) : uint64_t(SIZE_MAX);
    uint64_t total_ = 0;
    bool ok_ = true;
};

}  // namespace orvu::ss
