// Identifiers, validity, properties, registration, stream records, uniform
// bits and the sizes this family derives from caller integers.
#include <gtest/gtest.h>

#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"
#include "ptz_rng/stream_helpers.h"

namespace {

TEST(Registry, IdentifierValidity) {
    struct IdCase { int32_t id; bool valid; };
    constexpr IdCase kIds[] = {
        {0x100000, true}, {0x100001, false}, {0x500000, true}, {0x500110, true}, {0x500111, false}, {0x400000, true},
        {0xA00000, true}, {0xB00000, true}, {0xC00000, true}, {0x600000, false}, {0x600001, false},  // not built
        {0x800000, false}, {0x1100000, false}, {0x7FFFFFFF, false},  // not built, not registered
        {0, true}, {3, true}, {4, true}, {276, true}, {277, false}, {278, false}, {279, false}, {280, false},
        {281, false}, {-1, false}, {INT32_MIN, false},
    };
    BrngProperties p{}, foreign[1] = {};
    for (const IdCase& c : kIds) EXPECT_EQ(__ptzGetBrngProperties(c.id, &p), c.valid ? 0 : -1000) << std::hex << c.id;
    EXPECT_EQ(__ptzIsBrngValid(foreign, 0, 0), -1000);
}

TEST(Registry, BuiltInRows) {
    struct RowCase { int32_t id, state, seeds, zero, word, bits; };
    constexpr RowCase kRows[] = {
        {0x100000, 24, 1, 0, 4, 31}, {0x200000, 1024, 252, 1, 4, 32}, {0x300000, 40, 6, 1, 4, 32},
        {0x400000, 32, 1, 0, 8, 59}, {0x500000, 48, 4, 1, 16, 24},
    };
    BrngProperties p{};
    for (const RowCase& r : kRows) {
        ASSERT_EQ(__ptzGetBrngProperties(r.id, &p), 0);
        EXPECT_EQ(std::vector<int32_t>({p.stateSize, p.seedWords, p.includesZero, p.wordSize, p.nBits}),
                  std::vector<int32_t>({r.state, r.seeds, r.zero, r.word, r.bits})) << std::hex << r.id;
    }
    for (auto [id, size] : {std::pair{0xA00000, 36}, {0xB00000, 52}, {0xC00000, 44}})  // records holding pointers
        EXPECT_TRUE(__ptzGetBrngProperties(id, &p) == 0 && (sizeof(void*) != 4 || p.stateSize == size)) << id;
}

// MCG59 bits: 5000 32-bit results (blocks of 2048, 2048, 904), then 3000
// 64-bit ones pairing consecutive outputs low half first, each the top 32 of
// the 59 bits. Four generators have no uniform bits.
TEST(Registry, UniformBits) {
    StreamHolder s{new_stream(PTZ_BRNG_MCG59)}, t{new_stream(PTZ_BRNG_MCG59)};
    std::vector<uint32_t> bits(5000);
    std::vector<uint64_t> wide(3000), raw(11000);
    ASSERT_EQ(_ptziRngUniformBits32(0, s.s, 5000, bits.data()), 0);
    ASSERT_EQ(_ptziRngUniformBits64(0, s.s, 3000, wide.data()), 0);
    ASSERT_EQ(_ptziRngUniformBits(0, t.s, 11000, raw.data()), 0);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(bits[i], uint32_t(raw[i] >> 27)) << i;
    for (int k = 0; k < 3000; ++k)
        ASSERT_EQ(wide[k], (raw[5000 + 2 * k] >> 27) | ((raw[5001 + 2 * k] >> 27) << 32)) << k;
    for (int32_t id : {PTZ_BRNG_MCG31, PTZ_BRNG_R250, PTZ_BRNG_MRG32K3A, PTZ_BRNG_WH}) {
        StreamHolder h{new_stream(id)};
        EXPECT_TRUE(_ptziRngUniformBits32(0, h.s, 4, bits.data()) == -1014 &&
                    _ptziRngUniformBits64(0, h.s, 4, wide.data()) == -1014) << id;
    }
}

// Registration changes the process-wide table for good: one test covers it
// all, with a user generator that counts from 100.
TEST(Registry, RegistrationChecksInOrderThenAppendsUntilFull) {
    PtzInitStreamFn init = [](int32_t method, RngStream* s, int32_t, const void*) {
        if (method == 0) *ptz::state_as<uint32_t>(s) = 100;
        return method == 0 ? 0 : -2;
    };
    PtzIBRngFn ints = [](RngStream* s, int32_t n, void* r) {
        for (int32_t i = 0; i < n; ++i) static_cast<uint32_t*>(r)[i] = (*ptz::state_as<uint32_t>(s))++;
        return 0;
    };
    PtzSBRngFn sf = [](RngStream*, int32_t, float*, float, float) { return 0; };
    PtzDBRngFn df = [](RngStream*, int32_t, double*, double, double) { return 0; };
    const BrngProperties good{20, 1, 1, 4, 32, init, sf, df, ints};
    struct Bad { BrngProperties p; int32_t status; };
    const Bad kBad[] = {
        {{-1, 0, 0, 12, 0, nullptr, nullptr, nullptr, nullptr}, -1008}, {{20, 0, 1, 12, 32, init, sf, df, ints}, -1009},
        {{20, 0, 1, 4, 32, init, sf, df, ints}, -1010}, {{20, 1, 1, 8, 0, init, sf, df, ints}, -1011},
        {{20, 1, 1, 16, 32, init, sf, nullptr, ints}, -5}, {{20, 1, 1, 4, 32, nullptr, sf, df, ints}, -5},
    };
    for (const Bad& b : kBad) EXPECT_EQ(__ptzRegisterBrng(&b.p), b.status);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 16);

    ASSERT_EQ(__ptzRegisterBrng(&good), 0x1100000);
    StreamHolder h{new_stream(0x1100000)}, w;
    uint32_t bits[3];
    ASSERT_EQ(_ptziRngUniformBits32(0, h.s, 3, bits), 0);  // a full 32-bit word serves as bits
    EXPECT_EQ(bits[2], 102u);
    RngStream* s = nullptr;
    EXPECT_EQ(__ptzNewStreamEx(&s, 0x1100001, 0, nullptr), -1000);
    BrngProperties other = good;
    other.stateSize = 0;  // accepted
    ASSERT_EQ(__ptzRegisterBrng(&other), 0x1200000);
    other = good;
    other.wordSize = 8;
    ASSERT_EQ(__ptzNewStreamEx(&w.s, __ptzRegisterBrng(&other), 0, nullptr), 0);
    EXPECT_EQ(_ptziRngUniformBits32(0, w.s, 3, bits), -1014);  // not a full 32-bit word

    while (__ptzGetNumRegBrngs() < 512) ASSERT_GT(__ptzRegisterBrng(&good), 0);
    EXPECT_EQ(__ptzRegisterBrng(&good), -4);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 512);
    BrngProperties p{};
    EXPECT_EQ(__ptzGetBrngProperties(512 * 0x100000, &p), 0);
    EXPECT_EQ(__ptzGetBrngProperties(513 * 0x100000, &p), -1000);
}

// count * unit + extra from caller integers is checked against the type the
// size goes to: a service-layer block (uint32), a reported size (int32) or an
// extent of the caller's memory (size_t, 32 bits on i386).
TEST(Registry, StreamRecordAndSizesFromCallerIntegers) {
    struct SizeCase { int64_t count, unit, extra; bool u32, i32, wide; };
    constexpr SizeCase kSizes[] = {
        {0x7FFFFFFF, 2, 1, true, false, true}, {0x7FFFFFFF, 2, 2, false, false, true},
        {0x7FFFFFFF, 1, 0, true, true, true},  {0x10000000, 16, 0, false, false, sizeof(size_t) > 4},
        {-1, 1, 0, false, false, false},       {1, 1, -1, false, false, false},
    };
    for (const SizeCase& c : kSizes) {
        uint32_t u = 0;
        int32_t i = 0;
        size_t z = 0;
        EXPECT_EQ(std::vector<bool>({ptz::checked_size(c.count, c.unit, c.extra, &u),
                                     ptz::checked_size(c.count, c.unit, c.extra, &i),
                                     ptz::checked_size(c.count, c.unit, c.extra, &z)}),
                  std::vector<bool>({c.u32, c.i32, c.wide})) << c.count << " " << c.unit << " " << c.extra;
        EXPECT_EQ(u, c.u32 ? uint32_t(c.count * c.unit + c.extra) : 0u);
    }
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t id : {0xA00000, 0xB00000, 0xC00000, 0x600001, 280, -5}) {
        RngStream* s = nullptr;
        EXPECT_EQ(__ptzNewStreamEx(&s, id, 0, nullptr), -1000) << std::hex << id;
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);  // refused before allocating
    StreamHolder h{new_stream(0x500007)};
    EXPECT_EQ(reinterpret_cast<uintptr_t>(h.s) % 128, 0u);
    EXPECT_TRUE(__ptzGetStreamStateBrng(h.s) == 0x500007 && h.s->created == 1 && h.s->chunks == nullptr);
    EXPECT_EQ(__ptzGetStreamSize(h.s), 48);
    ASSERT_EQ(__ptzAddChunk(h.s, 3, nullptr, block_of(100, 0), 100), 0);
    EXPECT_EQ(__ptzGetStreamSize(h.s), 48 + 100 + 24);
    EXPECT_EQ(__ptzAddChunk(h.s, 1, nullptr, nullptr, -1), -3);
    for (int k = 0; k < 2; ++k) ASSERT_EQ(__ptzAddChunk(h.s, 1, nullptr, nullptr, 0x7FFFFFF0), 0);
    EXPECT_EQ(__ptzGetStreamSize(h.s), -4);  // the image would pass INT32_MAX bytes
    __ptzDeleteChunks(h.s);
    if (sizeof(size_t) == 4) {  // requests whose results could not fit in memory: nothing written
        uint32_t guard[4] = {};
        EXPECT_EQ(__ptziBRngWH(h.s, 1 << 28, guard), -3);
        EXPECT_EQ(__ptzdBRngWH(h.s, 1 << 29, reinterpret_cast<double*>(guard), 0, 1), -3);
        EXPECT_EQ(_ptziRngUniformBits64(0, h.s, 1 << 29, reinterpret_cast<uint64_t*>(guard)), -3);
        RngStream* a = nullptr;
        auto none = [](RngStream*, int32_t*, double*, int32_t*, int32_t*, int32_t*) { return 0; };
        EXPECT_EQ(__ptzdNewAbstractStream(&a, 1 << 29, reinterpret_cast<double*>(guard), 0, 1, none), -3);
        EXPECT_EQ(guard[0], 0u);
    }
}

}  // namespace
