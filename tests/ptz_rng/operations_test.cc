// Copying streams, chunk lists, the shared read-only table, abstract streams.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "orvu_ptz_rng.h"
#include "orvu_serv.h"
#include "ptz/streams/abstract_state.h"
#include "ptz/streams/shared_table.h"
#include "ptz/streams/stream.h"
#include "ptz_rng/stream_helpers.h"

namespace {

std::vector<int32_t> chunk_ids(const RngStream* s) {
    std::vector<int32_t> ids;
    for (const StreamChunk* c = s->chunks; c; c = c->next) ids.push_back(c->id);
    return ids;
}

TEST(Operations, CopyIsExactAndIndependent) {
    for (int32_t id : {0x100000, 0x200000, 0x300000, 0x400000, 0x500005}) {
        RngStream *a = nullptr, *b = nullptr;
        ASSERT_EQ(__ptzNewStreamEx(&a, id, 0, nullptr), 0);
        ASSERT_EQ(__ptzLeapfrogStream(a, 1, 3) == 0 || id == PTZ_BRNG_R250 || id == PTZ_BRNG_MRG32K3A, true);
        double warm[300];
        ASSERT_EQ(props(a).dBRng(a, 300, warm, 0, 1), 0);
        ASSERT_EQ(__ptzCopyStream(&b, a), 0);
        double x[600], y[600];
        ASSERT_EQ(props(a).dBRng(a, 600, x, 0, 1), 0);
        ASSERT_EQ(props(b).dBRng(b, 600, y, 0, 1), 0);
        EXPECT_EQ(0, std::memcmp(x, y, sizeof x)) << std::hex << id;
        __ptzDeleteStream(&a);
        __ptzDeleteStream(&b);
    }
}

TEST(Operations, CopyStateStaysInsideTheStateArea) {
    // WH: seedWords x wordSize is 64 bytes, the state 32: the whole state is
    // copied and the bytes after the record untouched (checked by the
    // sanitizer build; here by the continuation).
    RngStream *a = nullptr, *b = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&a, PTZ_BRNG_WH, 0, nullptr), 0);
    const uint32_t seed[4] = {5, 6, 7, 8};
    ASSERT_EQ(__ptzNewStreamEx(&b, PTZ_BRNG_WH, 4, seed), 0);
    ASSERT_EQ(__ptzCopyStreamState(a, b), 0);
    EXPECT_EQ(0, std::memcmp(ptz::state_bytes(a), ptz::state_bytes(b), 32));
    EXPECT_EQ(__ptzCopyStreamState(a, a), 0);
    __ptzDeleteStream(&a);
    __ptzDeleteStream(&b);
    // MCG31M1: the value is copied, the (leapfrogged) multiplier is not.
    ASSERT_EQ(__ptzNewStreamEx(&a, PTZ_BRNG_MCG31, 0, nullptr), 0);
    const uint32_t s31 = 99;
    ASSERT_EQ(__ptzNewStreamEx(&b, PTZ_BRNG_MCG31, 1, &s31), 0);
    ASSERT_EQ(__ptzLeapfrogStream(b, 0, 2), 0);
    ASSERT_EQ(__ptzCopyStreamState(a, b), 0);
    const uint32_t* sa = ptz::state_as<uint32_t>(a);
    EXPECT_EQ(sa[0], 99u);
    EXPECT_EQ(sa[1], 1132489760u);
    __ptzDeleteStream(&a);
    __ptzDeleteStream(&b);
}

TEST(Operations, LeapfrogCountChecks) {
    RngStream* s = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG31, 0, nullptr), 0);
    const std::vector<uint8_t> before(ptz::state_bytes(s), ptz::state_bytes(s) + 8);
    EXPECT_EQ(__ptzLeapfrogStream(s, 0, -1), -1013);
    EXPECT_EQ(__ptzLeapfrogStream(s, 0, 1), 0);  // N = 1, k = 0: unchanged
    EXPECT_EQ(__ptzSkipAheadStream(s, 0), 0);
    EXPECT_EQ(std::vector<uint8_t>(ptz::state_bytes(s), ptz::state_bytes(s) + 8), before);
    EXPECT_EQ(__ptzLeapfrogStream(s, 0, 0), 0);  // the generator is called: a^0 = 1
    EXPECT_EQ(ptz::state_as<uint32_t>(s)[1], 1u);
    __ptzDeleteStream(&s);
}

TEST(Chunks, AddSearchCountDeleteById) {
    RngStream* s = nullptr;
    const int32_t live = orvu_serv_test_live_allocations();
    ASSERT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 0, nullptr), 0);
    EXPECT_EQ(__ptzSearchChunk(s, 1), nullptr);
    for (int32_t id : {1, 2, 3}) ASSERT_EQ(__ptzAddChunk(s, id, nullptr, block_of(8, uint8_t(id)), 8), 0);
    EXPECT_EQ(chunk_ids(s), (std::vector<int32_t>{3, 2, 1}));  // new chunks at the head
    EXPECT_EQ(__ptzGetNumChunks(s), 3);
    EXPECT_EQ(static_cast<uint8_t*>(__ptzSearchChunk(s, 2))[0], 2);
    __ptzDeleteChunksById(s, 2);
    EXPECT_EQ(chunk_ids(s), (std::vector<int32_t>{3, 1}));
    __ptzDeleteChunksById(s, 3);
    EXPECT_EQ(chunk_ids(s), (std::vector<int32_t>{1}));
    __ptzDeleteChunks(s);
    EXPECT_EQ(__ptzGetNumChunks(s), 0);
    __ptzDeleteStream(&s);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TEST(Chunks, PrivateChunksAreCopiedSharedOnesReferenced) {
    const int32_t live = orvu_serv_test_live_allocations();
    RngStream *a = nullptr, *b = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&a, PTZ_BRNG_MCG31, 0, nullptr), 0);
    uint8_t key[16];
    ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(key, -2), 0);
    int64_t disc;
    std::memcpy(&disc, key + 8, 8);
    EXPECT_EQ(disc, -2);  // sign-extended discriminator
    void* shared = block_of(64, 0xAB);
    ASSERT_EQ(__ptzAddChunk(a, 9, key, shared, 64), 0);
    ASSERT_EQ(__ptzAddChunk(a, 1, nullptr, block_of(100, 0x11), 100), 0);
    ASSERT_EQ(__ptzCopyStream(&b, a), 0);
    GlobRODataEntry* e = nullptr;
    ASSERT_EQ(__ptzFindGlobRODataTableEntry(&e, key), 0);
    EXPECT_EQ(e->count, 2);
    EXPECT_EQ(__ptzSearchChunk(b, 9), shared);
    void* own = __ptzSearchChunk(b, 1);
    EXPECT_NE(own, __ptzSearchChunk(a, 1));
    EXPECT_EQ(0, std::memcmp(own, __ptzSearchChunk(a, 1), 100));
    __ptzDeleteStream(&a);
    EXPECT_EQ(e->count, 1);
    __ptzDeleteStream(&b);
    EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, key), -3000);  // freed once, with the last reference
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TEST(Chunks, AllocationFailureAtEveryStepLeavesNoLeak) {
    RngStream* a = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&a, PTZ_BRNG_MCG31, 0, nullptr), 0);
    for (int32_t id : {1, 2, 3}) ASSERT_EQ(__ptzAddChunk(a, id, nullptr, block_of(16, 1), 16), 0);
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(__ptzAddChunk(a, 4, nullptr, nullptr, 0), -4);
    EXPECT_EQ(__ptzGetNumChunks(a), 3);
    // Copy: 1 record + 3 x (data, chunk record) allocations.
    for (int32_t n = 1; n <= 7; ++n) {
        RngStream* b = nullptr;
        orvu_serv_test_fail_allocation(n);
        EXPECT_EQ(__ptzCopyStream(&b, a), -4) << n;
        if (b) {
            EXPECT_EQ(__ptzGetNumChunks(b), 0) << n;  // a failed copy leaves no chunks
            __ptzDeleteStream(&b);
        }
        EXPECT_EQ(orvu_serv_test_live_allocations(), live) << n;
    }
    orvu_serv_test_fail_allocation(0);
    RngStream* b = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&b, PTZ_BRNG_MCG31, 0, nullptr), 0);
    orvu_serv_test_fail_allocation(2);
    EXPECT_EQ(__ptzCopyStreamState(b, a), -4);
    EXPECT_EQ(__ptzGetNumChunks(b), 0);
    orvu_serv_test_fail_allocation(0);
    __ptzDeleteStream(&a);
    __ptzDeleteStream(&b);
}

TEST(SharedTable, FullTableMakesChunksPrivate) {
    const int32_t live = orvu_serv_test_live_allocations();
    RngStream* s = nullptr;
    ASSERT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG31, 0, nullptr), 0);
    std::vector<std::vector<uint8_t>> keys(128, std::vector<uint8_t>(16));
    for (int i = 0; i < 127; ++i) {
        ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(keys[i].data(), i), 0);
        ASSERT_EQ(__ptzAddChunk(s, 20, keys[i].data(), block_of(4, 0), 4), 0);
    }
    ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(keys[127].data(), 127), 0);
    ASSERT_EQ(__ptzAddChunk(s, 21, keys[127].data(), block_of(4, 0), 4), 0);
    const uint8_t zero[16] = {};
    EXPECT_EQ(0, std::memcmp(s->chunks->key, zero, 16));  // private now
    // The table itself takes one more entry, then reports full.
    GlobRODataEntry* e = nullptr;
    ASSERT_EQ(__ptzCreateGlobRODataTableEntry(&e, keys[127].data(), nullptr), 0);
    EXPECT_EQ(__ptzCreateGlobRODataTableEntry(&e, keys[127].data(), nullptr), -3001);
    __ptzUnregisterGlobRODataReference(keys[127].data());
    EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, zero), -3000);
    EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, nullptr), -3000);
    __ptzDeleteStream(&s);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, keys[i].data()), -3000);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

// ---- abstract streams ----------------------------------------------------------

struct Feed {
    Feed(std::vector<std::vector<uint32_t>> b, std::vector<int32_t> r) : batches(std::move(b)), results(std::move(r)) {}
    std::vector<std::vector<uint32_t>> batches;  // what each callback call writes
    std::vector<int32_t> results;                // what it returns (-1: batch size)
    std::vector<std::pair<int32_t, int32_t>> seen;  // (idx, nmin) of each call
    size_t call = 0;
};
Feed* g_feed = nullptr;

int32_t feed_cb(RngStream*, int32_t* n, uint32_t* buf, int32_t* nmin, int32_t*, int32_t* idx) {
    Feed& f = *g_feed;
    f.seen.emplace_back(*idx, *nmin);
    const std::vector<uint32_t>& b = f.batches[f.call];
    for (size_t i = 0; i < b.size(); ++i) buf[(size_t(*idx) + i) % size_t(*n)] = b[i];
    const int32_t r = f.results[f.call];
    ++f.call;
    return r < -1 ? r : (r == -1 ? int32_t(b.size()) : r);
}

TEST(Abstract, RefillProtocol) {
    Feed f({{1, 2, 3, 4}, {5, 6, 7, 8}}, {-1, -1});
    g_feed = &f;
    uint32_t buffer[4];
    RngStream* s = nullptr;
    ASSERT_EQ(__ptziNewAbstractStream(&s, 4, buffer, feed_cb), 0);
    uint32_t out[3];
    ASSERT_EQ(__ptziBRngiAbstract(s, 3, out), 0);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 3), (std::vector<uint32_t>{1, 2, 3}));
    ASSERT_EQ(__ptziBRngiAbstract(s, 3, out), 0);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 3), (std::vector<uint32_t>{4, 5, 6}));
    EXPECT_EQ(f.seen, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {0, 2}}));
    ASSERT_EQ(__ptziBRngiAbstract(s, 1, out), 0);
    EXPECT_EQ(out[0], 7u);
    EXPECT_EQ(__ptzdBRngiAbstract(s, 1, nullptr, 0, 1), -1122);
    EXPECT_EQ(__ptzsBRngiAbstract(s, 1, nullptr, 0, 1), -1122);
    EXPECT_EQ(__ptzLeapfrogStream(s, 0, 2), -1002);
    EXPECT_EQ(__ptzSkipAheadStream(s, 2), -1003);
    __ptzDeleteStream(&s);
}

TEST(Abstract, LongRequestRefillsRepeatedly) {
    Feed f({{1, 2}, {3, 4}, {5, 6}}, {-1, -1, -1});
    g_feed = &f;
    uint32_t buffer[2];
    RngStream* s = nullptr;
    ASSERT_EQ(__ptziNewAbstractStream(&s, 2, buffer, feed_cb), 0);
    uint32_t out[5];
    ASSERT_EQ(__ptziBRngiAbstract(s, 5, out), 0);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 5), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    __ptzDeleteStream(&s);
}

TEST(Abstract, CallbackFailures) {
    struct FailCase { int32_t result; int32_t status; };
    constexpr FailCase kFails[] = {{0, -1121}, {5, -1120}, {-3, -1120}};
    for (const FailCase& c : kFails) {
        Feed f({{}}, {c.result});
        g_feed = &f;
        uint32_t buffer[4];
        RngStream* s = nullptr;
        ASSERT_EQ(__ptziNewAbstractStream(&s, 4, buffer, feed_cb), 0);
        uint32_t out[2];
        EXPECT_EQ(__ptziBRngiAbstract(s, 2, out), c.status) << c.result;
        __ptzDeleteStream(&s);
    }
    RngStream* s = nullptr;
    uint32_t buffer[4];
    EXPECT_EQ(__ptziNewAbstractStream(&s, 0, buffer, feed_cb), -3);
    EXPECT_EQ(__ptziNewAbstractStream(&s, 4, nullptr, feed_cb), -3);
    EXPECT_EQ(__ptziNewAbstractStream(&s, 4, buffer, nullptr), -3);
    double dbuf[2];
    EXPECT_EQ(__ptzdNewAbstractStream(&s, 2, dbuf, 1.0, 1.0, nullptr), -3);
    ASSERT_EQ(__ptziNewAbstractStream(&s, 4, buffer, feed_cb), 0);
    ptz::state_as<ptz::IAbstractState>(s)->buffer = nullptr;
    EXPECT_EQ(__ptziBRngiAbstract(s, 1, buffer), -5);
    __ptzDeleteStream(&s);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(__ptziNewAbstractStream(&s, 4, buffer, feed_cb), -4);
    EXPECT_EQ(s, nullptr);
}

int32_t double_cb(RngStream*, int32_t* n, double* buf, int32_t*, int32_t*, int32_t* idx) {
    for (int32_t i = 0; i < *n; ++i) buf[(*idx + i) % *n] = 2.0 + 0.25 * i;  // values in [2, 4)
    return *n;
}
int32_t float_cb(RngStream*, int32_t* n, float* buf, int32_t*, int32_t*, int32_t* idx) {
    for (int32_t i = 0; i < *n; ++i) buf[(*idx + i) % *n] = 0.5f * float(i);
    return *n;
}

TEST(Abstract, RealFormsMapTheirIntervalOntoTheCallers) {
    double dbuf[8];
    RngStream* s = nullptr;
    ASSERT_EQ(__ptzdNewAbstractStream(&s, 8, dbuf, 2.0, 4.0, double_cb), 0);
    double r[8];
    ASSERT_EQ(__ptzdBRngdAbstract(s, 8, r, 10.0, 20.0), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(r[i], 10.0 + (0.25 * i) * 10.0 / 2.0);
    EXPECT_EQ(__ptziBRngdAbstract(s, 1, r), -1122);
    __ptzDeleteStream(&s);

    float fbuf[4];
    ASSERT_EQ(__ptzsNewAbstractStream(&s, 4, fbuf, 0.0f, 2.0f, float_cb), 0);
    float q[4];
    ASSERT_EQ(__ptzsBRngsAbstract(s, 4, q, -1.0f, 1.0f), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(q[i], -1.0f + (0.5f * float(i)) * 2.0f / 2.0f);
    EXPECT_EQ(__ptzdBRngsAbstract(s, 1, r, 0, 1), -1122);
    __ptzDeleteStream(&s);
}

}  // namespace
