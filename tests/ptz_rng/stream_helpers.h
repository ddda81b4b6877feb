// Small helpers shared by the stream tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
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

// An owned MCG59 stream (or an adopted one), with a copy and a save/load
// image through memory, for tests that compare a stream with its clones.
struct Stream {
    RngStream* s = nullptr;
    explicit Stream(uint32_t seed) { EXPECT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 1, &seed), 0); }
    explicit Stream(RngStream* p) : s(p) {}
    Stream(Stream&& o) noexcept : s(std::exchange(o.s, nullptr)) {}
    ~Stream() { if (s) __ptzDeleteStream(&s); }
    Stream copy() const { RngStream* c = nullptr; EXPECT_EQ(__ptzCopyStream(&c, s), 0); return Stream(c); }
    Stream image() const {
        std::vector<char> mem(size_t(__ptzGetStreamSize(s)));
        EXPECT_EQ(__ptzSaveStreamM(s, mem.data()), 0);
        RngStream* c = nullptr;
        EXPECT_EQ(__ptzLoadStreamM(&c, mem.data()), 0);
        return Stream(c);
    }
};
