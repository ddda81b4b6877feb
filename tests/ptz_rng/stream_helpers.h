// Small helpers shared by the stream tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

// The next n raw output words of s, as bytes.
inline std::vector<uint8_t> words(RngStream* s, int32_t n) {
    const BrngProperties p = props(s);
    std::vector<uint8_t> w(size_t(p.wordSize) * size_t(n));
    if (p.iBRng(s, n, w.data()) != 0) w.clear();
    return w;
}

struct StreamHolder {
    RngStream* s = nullptr;
    ~StreamHolder() { __ptzDeleteStream(&s); }
};

// A new stream of generator id seeded with the given words (null on failure).
inline RngStream* new_stream(int32_t id, const std::vector<uint32_t>& seed = {}) {
    RngStream* s = nullptr;
    const int32_t status = __ptzNewStreamEx(&s, id, int32_t(seed.size()), seed.data());
    EXPECT_EQ(status, 0) << std::hex << id;
    return s;
}
