// The stream record, the chunk record and the small helpers that every stream
// operation shares: finding a stream's generator row and its state area.
#pragma once

#include <cstdint>
#include <cstring>

#include "orvu_ptz_rng.h"

// Stream header: 16 bytes on every target. The chunk-list head has 8 bytes
// reserved so that the state starts at byte 16 with 4- and 8-byte pointers.
struct RngStream {
    int32_t brng;
    uint8_t created;
    uint8_t reserved[3];
    union {
        StreamChunk* chunks;
        uint64_t chunks_slot;
    };
};
static_assert(sizeof(RngStream) == 16, "the generator state begins at byte 16");

// 32 bytes on 32-bit x86 (48 with 8-byte pointers).
struct StreamChunk {
    int32_t id;
    int32_t size;
    void* data;
    StreamChunk* next;
    uint8_t key[16];
};
static_assert(sizeof(void*) != 4 || sizeof(StreamChunk) == 32, "the 32-bit chunk record has 32 bytes");

namespace ptz {

constexpr int32_t kHeaderBytes = 16;
constexpr int32_t kTableRows = 512;
constexpr int32_t kBuiltinRows = 16;
constexpr int32_t kLegacyRows = 281;  // legacy ids 0..278 (+ two empty rows)

inline uint8_t* state_bytes(RngStream* s) { return reinterpret_cast<uint8_t*>(s) + kHeaderBytes; }
inline const uint8_t* state_bytes(const RngStream* s) {
    return reinterpret_cast<const uint8_t*>(s) + kHeaderBytes;
}
template <class T>
T* state_as(RngStream* s) { return reinterpret_cast<T*>(state_bytes(s)); }

// Bytes a stream record of this row occupies. A registered generator may
// declare a state size below the header's; its record still holds the header.
inline int32_t record_bytes(const BrngProperties& p) {
    return p.stateSize < kHeaderBytes ? kHeaderBytes : p.stateSize;
}

// Row of a valid identifier (null for an invalid one), sub-generator in *sub.
const BrngProperties* lookup_row(int32_t id, int32_t* sub = nullptr);
// Row of an existing stream; streams are created only for valid identifiers.
inline const BrngProperties& row_of(const RngStream* s) { return *lookup_row(s->brng); }

// Allocates a stream of generator `id` and seeds it with initStream method 0
// over n parameter words.
int32_t new_stream(RngStream** stream, int32_t id, int32_t n, const void* params);

// Index into the 16-entry per-generator dispatch tables (built-in rows), or -1
// for a registered generator.
int32_t builtin_index(int32_t id);

// True for the generators whose state holds addresses of the creating
// process (the abstract streams: the caller's buffer and callback). Such a
// state is meaningful only in the stream that was built over them, so no
// image of one is ever loaded.
bool state_holds_pointers(int32_t id);

// 64-bit skip count read from the initStream parameter words (low word first).
inline uint64_t read_u64(const void* p) {
    uint32_t w[2];
    std::memcpy(w, p, sizeof w);
    return uint64_t(w[0]) | (uint64_t(w[1]) << 32);
}

}  // namespace ptz
