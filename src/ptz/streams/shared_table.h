// The process-wide table of read-only data blocks that streams share.
#pragma once

#include <cstdint>

#include "orvu_ptz_rng.h"

struct GlobRODataEntry {
    uint8_t key[16];
    int32_t count;  // references held by chunks
    void* data;
};
static_assert(sizeof(void*) != 4 || sizeof(GlobRODataEntry) == 24, "the 32-bit entry has 24 bytes");

namespace ptz {

constexpr int32_t kSharedEntries = 128;
// A chunk creates an entry only while fewer than this many are in use; the
// last slot is left to the table's own create operation.
constexpr int32_t kSharedEntriesForChunks = 127;

int32_t shared_entries_in_use();

// The byte size of an entry's data is recorded by the first chunk that uses
// it. Returns true when the entry's size is (now) `size`; false when there is
// no such entry or it holds a block of another size, which a chunk must then
// not borrow (it would read past the block).
bool claim_shared_size(const uint8_t* key, int32_t size);
bool key_is_zero(const uint8_t* key);

}  // namespace ptz
