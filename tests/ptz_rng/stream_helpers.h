// Small helpers shared by the stream tests.
#pragma once

#include <cstring>

#include "orvu_ptz_rng.h"
#include "orvu_serv.h"

// A chunk data block from the library's allocator, filled with one byte.
inline void* block_of(int32_t size, uint8_t fill) {
    void* p = orvu_serv_allocate(uint32_t(size), 128);
    std::memset(p, fill, size_t(size));
    return p;
}

inline BrngProperties props(const RngStream* s) {
    BrngProperties p{};
    __ptzGetBrngProperties(__ptzGetStreamStateBrng(s), &p);
    return p;
}
