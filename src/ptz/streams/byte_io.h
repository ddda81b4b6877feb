// Byte sources and sinks of stream images: a file or a caller's memory block,
// chosen per call, behind one pair of small interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace ptz {

// Each operation returns true when all bytes were moved.
struct ByteSink {
    bool (*write)(void* ctx, const void* bytes, uint32_t count);
    void* ctx;
};
struct ByteSource {
    bool (*read)(void* ctx, void* bytes, uint32_t count);
    bool (*skip)(void* ctx, uint32_t count);
    // Bytes known to remain (a bound, not a promise), so that a loader can
    // refuse a declared size before allocating for it.
    uint64_t (*remaining)(void* ctx);
    void* ctx;
};

struct MemoryCursor {
    uint8_t* pos;
    uint64_t left;
};

ByteSink file_sink(std::FILE* f);
ByteSink memory_sink(MemoryCursor* cursor);
ByteSource file_source(std::FILE* f);
ByteSource memory_source(MemoryCursor* cursor);

}  // namespace ptz
