// Identifiers, validity, properties, registration and stream creation.
#include <gtest/gtest.h>

#include "orvu_ptz_rng.h"
#include "orvu_serv.h"
#include "ptz/streams/stream.h"

namespace {

TEST(Registry, IdentifierValidity) {
    struct IdCase { int32_t id; bool valid; };
    constexpr IdCase kIds[] = {
        {0x100000, true}, {0x100001, false}, {0x500000, true}, {0x500110, true}, {0x500111, false},
        {0x400000, true}, {0xA00000, true}, {0xB00000, true}, {0xC00000, true},
        {0x600000, false}, {0x600001, false}, {0x800000, false},       // rows not built
        {0x1100000, false}, {0x7FFFFFFF, false},                       // unregistered rows
        {0, true}, {3, true}, {4, true}, {276, true}, {277, false}, {278, false},
        {279, false}, {280, false}, {281, false}, {-1, false}, {INT32_MIN, false},
    };
    for (const IdCase& c : kIds) {
        BrngProperties p{};
        EXPECT_EQ(__ptzGetBrngProperties(c.id, &p), c.valid ? 0 : -1000) << std::hex << c.id;
    }
}

TEST(Registry, ValidityNeverIndexesOutsideTheTables) {
    BrngProperties foreign[1] = {};
    EXPECT_EQ(__ptzIsBrngValid(__RegBrngs, -1, 0), -1000);
    EXPECT_EQ(__ptzIsBrngValid(__RegBrngs, 4, 273), -1000);
    EXPECT_EQ(__ptzIsBrngValid(__RegBrngs, 4, 272), 0);
    EXPECT_EQ(__ptzIsBrngValid(__RegBrngsNew, 5000, 0), -1000);
    EXPECT_EQ(__ptzIsBrngValid(__RegBrngsNew, 0, -1), -1000);
    EXPECT_EQ(__ptzIsBrngValid(foreign, 0, 0), -1000);
}

TEST(Registry, LegacyIdentifiersMapOntoTheirRows) {
    struct MapCase { int32_t id; const BrngProperties* table; int32_t row, sub; };
    const MapCase kMap[] = {
        {2, __RegBrngs, 2, 0}, {4, __RegBrngs, 4, 0}, {276, __RegBrngs, 4, 272},
        {277, __RegBrngs, 277, 0}, {278, __RegBrngs, 278, 0},
        {0x500110, __RegBrngsNew, 4, 272}, {0x901787, __RegBrngsNew, 8, 6023},
    };
    for (const MapCase& c : kMap) {
        int32_t row = -9, sub = -9;
        EXPECT_EQ(__ptzGetBrngBaseOffset(c.id, &row, &sub), c.table) << c.id;
        EXPECT_EQ(row, c.row) << c.id;
        EXPECT_EQ(sub, c.sub) << c.id;
    }
    // A legacy WH stream and its modern twin give the same numbers.
    RngStream *a = nullptr, *b = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&a, 104, 0, nullptr), 0);
    ASSERT_EQ(__ptzNewStreamEx(&b, 0x500064, 0, nullptr), 0);
    double x[10], y[10];
    ASSERT_EQ(__ptzdBRngWH(a, 10, x, 0, 1), 0);
    ASSERT_EQ(__ptzdBRngWH(b, 10, y, 0, 1), 0);
    EXPECT_EQ(0, memcmp(x, y, sizeof x));
    __ptzDeleteStream(&a);
    __ptzDeleteStream(&b);
}

TEST(Registry, BuiltInRows) {
    struct RowCase { int32_t id, state, seeds, zero, word, bits; };
    constexpr RowCase kRows[] = {
        {0x100000, 24, 1, 0, 4, 31}, {0x200000, 1024, 252, 1, 4, 32}, {0x300000, 40, 6, 1, 4, 32},
        {0x400000, 32, 1, 0, 8, 59}, {0x500000, 48, 4, 1, 16, 24},
    };
    for (const RowCase& r : kRows) {
        BrngProperties p{};
        ASSERT_EQ(__ptzGetBrngProperties(r.id, &p), 0);
        EXPECT_EQ(p.stateSize, r.state);
        EXPECT_EQ(p.seedWords, r.seeds);
        EXPECT_EQ(p.includesZero, r.zero);
        EXPECT_EQ(p.wordSize, r.word);
        EXPECT_EQ(p.nBits, r.bits);
    }
    if (sizeof(void*) == 4) {  // the abstract records hold pointers
        BrngProperties p{};
        for (auto [id, size] : {std::pair{0xA00000, 36}, {0xB00000, 52}, {0xC00000, 44}}) {
            ASSERT_EQ(__ptzGetBrngProperties(id, &p), 0);
            EXPECT_EQ(p.stateSize, size);
        }
    }
}

TEST(Registry, NewStreamRefusesAbstractAndInvalidIdsWithoutAllocating) {
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t id : {0xA00000, 0xB00000, 0xC00000, 0x600001, 280, -5}) {
        RngStream* s = nullptr;
        EXPECT_EQ(__ptzNewStreamEx(&s, id, 0, nullptr), -1000) << std::hex << id;
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TEST(Registry, StreamRecordAndAllocationFailure) {
    RngStream* s = nullptr;
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 0, nullptr), -4);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);

    ASSERT_EQ(__ptzNewStreamEx(&s, 0x500007, 0, nullptr), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s) % 128, 0u);
    EXPECT_EQ(__ptzGetStreamStateBrng(s), 0x500007);
    EXPECT_EQ(s->created, 1);
    EXPECT_EQ(s->chunks, nullptr);
    EXPECT_EQ(__ptzGetStreamSize(s), 48);
    char data[100];
    ASSERT_EQ(__ptzAddChunk(s, 3, nullptr, data, 100), 0);
    EXPECT_EQ(__ptzGetStreamSize(s), 48 + 100 + 24);
    s->chunks->data = nullptr;  // the chunk borrowed a stack block: detach before delete
    EXPECT_EQ(__ptzDeleteStream(&s), 0);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TEST(Registry, UniformBits) {
    RngStream* s = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 0, nullptr), 0);
    RngStream* t = nullptr;
    ASSERT_EQ(__ptzCopyStream(&t, s), 0);
    std::vector<uint32_t> bits(5000);
    ASSERT_EQ(_ptziRngUniformBits32(0, s, 5000, bits.data()), 0);  // 2048 + 2048 + 904 outputs
    std::vector<uint64_t> raw(5000 * 2);
    ASSERT_EQ(_ptziRngUniformBits(0, t, 5000, raw.data()), 0);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(bits[i], uint32_t(raw[i] >> 27)) << i;
    // 64-bit results pair consecutive outputs, low half first.
    std::vector<uint64_t> wide(3000);
    ASSERT_EQ(_ptziRngUniformBits64(0, s, 3000, wide.data()), 0);
    ASSERT_EQ(_ptziRngUniformBits(0, t, 6000, raw.data()), 0);
    for (int k = 0; k < 3000; ++k)
        ASSERT_EQ(wide[k], (raw[2 * k] >> 27) | ((raw[2 * k + 1] >> 27) << 32)) << k;
    __ptzDeleteStream(&s);
    __ptzDeleteStream(&t);

    for (int32_t id : {PTZ_BRNG_MCG31, PTZ_BRNG_R250, PTZ_BRNG_MRG32K3A, PTZ_BRNG_WH}) {
        ASSERT_EQ(__ptzNewStreamEx(&s, id, 0, nullptr), 0);
        uint32_t r32[4];
        uint64_t r64[4];
        EXPECT_EQ(_ptziRngUniformBits32(0, s, 4, r32), -1014);
        EXPECT_EQ(_ptziRngUniformBits64(0, s, 4, r64), -1014);
        __ptzDeleteStream(&s);
    }
}

// A user generator: a 32-bit counter.
int32_t counter_init(int32_t method, RngStream* s, int32_t, const void*) {
    if (method != 0) return -2;
    *ptz::state_as<uint32_t>(s) = 100;
    return 0;
}
int32_t counter_i(RngStream* s, int32_t n, void* r) {
    for (int32_t i = 0; i < n; ++i) static_cast<uint32_t*>(r)[i] = (*ptz::state_as<uint32_t>(s))++;
    return 0;
}
int32_t counter_s(RngStream*, int32_t, float*, float, float) { return 0; }
int32_t counter_d(RngStream*, int32_t, double*, double, double) { return 0; }

// Registration changes the process-wide table for good: one test covers it all.
TEST(Registry, RegistrationChecksInOrderThenAppendsUntilFull) {
    const BrngProperties good{20, 1, 1, 4, 32, counter_init, counter_s, counter_d, counter_i};
    struct Bad { BrngProperties p; int32_t status; };
    const Bad kBad[] = {
        {{-1, 0, 0, 12, 0, nullptr, nullptr, nullptr, nullptr}, -1008},
        {{20, 0, 1, 12, 32, counter_init, counter_s, counter_d, counter_i}, -1009},
        {{20, 0, 1, 4, 32, counter_init, counter_s, counter_d, counter_i}, -1010},
        {{20, 1, 1, 8, 0, counter_init, counter_s, counter_d, counter_i}, -1011},
        {{20, 1, 1, 16, 32, counter_init, counter_s, nullptr, counter_i}, -5},
        {{20, 1, 1, 4, 32, nullptr, counter_s, counter_d, counter_i}, -5},
    };
    for (const Bad& b : kBad) EXPECT_EQ(__ptzRegisterBrng(&b.p), b.status);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 16);

    ASSERT_EQ(__ptzRegisterBrng(&good), 0x1100000);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 17);
    RngStream* s = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&s, 0x1100000, 0, nullptr), 0);
    uint32_t bits[3];
    ASSERT_EQ(_ptziRngUniformBits32(0, s, 3, bits), 0);  // a full 32-bit word serves as bits
    EXPECT_EQ(bits[2], 102u);
    __ptzDeleteStream(&s);
    EXPECT_EQ(__ptzNewStreamEx(&s, 0x1100001, 0, nullptr), -1000);

    BrngProperties zero_state = good;
    zero_state.stateSize = 0;  // accepted; its records still hold the header
    ASSERT_EQ(__ptzRegisterBrng(&zero_state), 0x1200000);
    BrngProperties wide = good;
    wide.wordSize = 8;
    const int32_t wide_id = __ptzRegisterBrng(&wide);
    ASSERT_EQ(__ptzNewStreamEx(&s, wide_id, 0, nullptr), 0);
    EXPECT_EQ(_ptziRngUniformBits32(0, s, 3, bits), -1014);
    __ptzDeleteStream(&s);

    while (__ptzGetNumRegBrngs() < 512) ASSERT_GT(__ptzRegisterBrng(&good), 0);
    EXPECT_EQ(__ptzRegisterBrng(&good), -4);
    EXPECT_EQ(__ptzGetNumRegBrngs(), 512);
    BrngProperties p{};
    EXPECT_EQ(__ptzGetBrngProperties(512 * 0x100000, &p), 0);
    EXPECT_EQ(__ptzGetBrngProperties(513 * 0x100000, &p), -1000);
}

}  // namespace
