// Copying streams, chunk lists, the shared read-only table, abstract streams,
// and a failed allocation at every allocation site of the family.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

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

TEST(Operations, CopyState) {
    // WH: seedWords x wordSize is 64 bytes, the state 32: the whole state is
    // copied and nothing after the record (checked by the sanitizer build).
    // MCG31M1: the value is copied, the (leapfrogged) multiplier is not.
    StreamHolder a{new_stream(PTZ_BRNG_WH)}, b{new_stream(PTZ_BRNG_WH, {5, 6, 7, 8})};
    StreamHolder c{new_stream(PTZ_BRNG_MCG31)}, d{new_stream(PTZ_BRNG_MCG31, {5})};
    ASSERT_EQ(__ptzCopyStreamState(a.s, b.s), 0);
    EXPECT_EQ(0, std::memcmp(ptz::state_bytes(a.s), ptz::state_bytes(b.s), 32));
    EXPECT_EQ(__ptzCopyStreamState(a.s, a.s), 0);
    ASSERT_EQ(__ptzLeapfrogStream(d.s, 0, 2), 0);
    ASSERT_EQ(__ptzCopyStreamState(c.s, d.s), 0);
    EXPECT_EQ(std::vector<uint32_t>(ptz::state_as<uint32_t>(c.s), ptz::state_as<uint32_t>(c.s) + 2),
              (std::vector<uint32_t>{5, 1132489760}));
}

TEST(Chunks, AddSearchDeleteByIdAndCopyStream) {
    const int32_t live = orvu_serv_test_live_allocations();
    RngStream *a = new_stream(PTZ_BRNG_MCG59), *b = nullptr;
    EXPECT_EQ(__ptzSearchChunk(a, 1), nullptr);
    for (int32_t id : {1, 2, 3}) ASSERT_EQ(__ptzAddChunk(a, id, nullptr, block_of(100, uint8_t(id)), 100), 0);
    EXPECT_EQ(chunk_ids(a), (std::vector<int32_t>{3, 2, 1}));  // new chunks at the head
    EXPECT_EQ(static_cast<uint8_t*>(__ptzSearchChunk(a, 2))[99], 2);
    __ptzDeleteChunksById(a, 2);
    EXPECT_EQ(chunk_ids(a), (std::vector<int32_t>{3, 1}));
    // A shared chunk is referenced by the copy, a private one duplicated.
    uint8_t key[16];
    ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(key, -2), 0);
    void* shared = block_of(64, 0xAB);
    ASSERT_EQ(__ptzAddChunk(a, 9, key, shared, 64), 0);
    __ptzLeapfrogStream(a, 1, 3);  // the copy has the changed multiplier too
    words(a, 300);
    ASSERT_EQ(__ptzCopyStream(&b, a), 0);
    EXPECT_EQ(words(a, 600), words(b, 600));
    EXPECT_EQ(chunk_ids(b), (std::vector<int32_t>{1, 3, 9}));
    GlobRODataEntry* e = nullptr;
    ASSERT_EQ(__ptzFindGlobRODataTableEntry(&e, key), 0);
    EXPECT_EQ(e->count, 2);
    EXPECT_EQ(__ptzSearchChunk(b, 9), shared);
    EXPECT_NE(__ptzSearchChunk(b, 1), __ptzSearchChunk(a, 1));
    EXPECT_EQ(0, std::memcmp(__ptzSearchChunk(b, 1), __ptzSearchChunk(a, 1), 100));
    __ptzDeleteStream(&a);
    EXPECT_EQ(e->count, 1);
    __ptzDeleteStream(&b);
    EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, key), -3000);  // freed once, with the last reference
    // A second chunk naming the key with another size must not borrow the
    // entry's (smaller) block: it keeps its own. Images reach the same add.
    StreamHolder h{new_stream(PTZ_BRNG_MCG31)};
    ASSERT_EQ(__ptzAddChunk(h.s, 1, key, block_of(8, 0x01), 8), 0);
    ASSERT_EQ(__ptzAddChunk(h.s, 2, key, block_of(64, 0x02), 64), 0);
    EXPECT_EQ(static_cast<uint8_t*>(__ptzSearchChunk(h.s, 2))[63], 0x02);
    __ptzDeleteStream(&h.s);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TEST(SharedTable, FullTableMakesChunksPrivate) {
    const int32_t live = orvu_serv_test_live_allocations();
    StreamHolder h{new_stream(PTZ_BRNG_MCG31)};
    std::vector<std::vector<uint8_t>> keys(128, std::vector<uint8_t>(16));
    for (int i = 0; i < 128; ++i) {
        ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(keys[i].data(), i), 0);
        ASSERT_EQ(__ptzAddChunk(h.s, 20, keys[i].data(), block_of(4, 0), 4), 0);
    }
    const uint8_t zero[16] = {};
    EXPECT_EQ(0, std::memcmp(h.s->chunks->key, zero, 16));  // the 128th is private
    GlobRODataEntry* e = nullptr;  // the table itself takes one more entry, then is full
    ASSERT_EQ(__ptzCreateGlobRODataTableEntry(&e, keys[127].data(), nullptr), 0);
    EXPECT_EQ(__ptzCreateGlobRODataTableEntry(&e, keys[127].data(), nullptr), -3001);
    __ptzUnregisterGlobRODataReference(keys[127].data());
    EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, zero), -3000);  // zero and null keys never match
    EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, nullptr), -3000);
    __ptzDeleteStream(&h.s);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(__ptzFindGlobRODataTableEntry(&e, keys[i].data()), -3000);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

// ---- abstract streams ----------------------------------------------------------

// Each callback call writes the next batch from idx on and returns its size,
// or the forced result when one is given; the (idx, nmin) it saw are kept.
struct Feed {
    std::vector<std::vector<uint32_t>> batches;
    int32_t forced = -1;
    std::vector<std::pair<int32_t, int32_t>> seen = {};
} *g_feed = nullptr;

int32_t feed_cb(RngStream*, int32_t* n, uint32_t* buf, int32_t* nmin, int32_t*, int32_t* idx) {
    Feed& f = *g_feed;
    const std::vector<uint32_t>& b = f.batches[f.seen.size()];
    f.seen.emplace_back(*idx, *nmin);
    for (size_t i = 0; i < b.size(); ++i) buf[(size_t(*idx) + i) % size_t(*n)] = b[i];
    return f.forced == -1 ? int32_t(b.size()) : f.forced;
}

std::vector<uint32_t> draw(RngStream* s, int32_t n, int32_t status = 0) {
    std::vector<uint32_t> out(static_cast<size_t>(n));
    EXPECT_EQ(__ptziBRngiAbstract(s, n, out.data()), status);
    return out;
}

TEST(Abstract, RefillProtocolAndFailures) {
    Feed f{{{1, 2, 3, 4}, {5, 6, 7, 8}}};
    g_feed = &f;
    uint32_t buffer[4];
    StreamHolder h, two, bad;
    ASSERT_EQ(__ptziNewAbstractStream(&h.s, 4, buffer, feed_cb), 0);
    EXPECT_EQ(draw(h.s, 3), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(draw(h.s, 3), (std::vector<uint32_t>{4, 5, 6}));
    EXPECT_EQ(f.seen, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {0, 2}}));
    EXPECT_EQ(draw(h.s, 1), (std::vector<uint32_t>{7}));
    EXPECT_EQ(__ptzdBRngiAbstract(h.s, 1, nullptr, 0, 1), -1122);
    EXPECT_EQ(__ptzsBRngiAbstract(h.s, 1, nullptr, 0, 1), -1122);
    EXPECT_EQ(__ptzLeapfrogStream(h.s, 0, 2), -1002);
    EXPECT_EQ(__ptzSkipAheadStream(h.s, 2), -1003);
    Feed g{{{1, 2}, {3, 4}, {5, 6}}};  // a request longer than the buffer calls back until served
    g_feed = &g;
    ASSERT_EQ(__ptziNewAbstractStream(&two.s, 2, buffer, feed_cb), 0);
    EXPECT_EQ(draw(two.s, 5), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    for (auto [forced, status] : {std::pair{0, -1121}, {5, -1120}, {-3, -1120}}) {
        Feed e{{std::vector<uint32_t>{}}, forced};
        g_feed = &e;
        ASSERT_EQ(__ptziNewAbstractStream(&bad.s, 4, buffer, feed_cb), 0);
        draw(bad.s, 2, status);
        __ptzDeleteStream(&bad.s);
    }
    ptz::state_as<ptz::IAbstractState>(h.s)->buffer = nullptr;
    draw(h.s, 1, -5);
    for (int32_t n : {0, -1}) EXPECT_EQ(__ptziNewAbstractStream(&bad.s, n, buffer, feed_cb), -3);
    EXPECT_EQ(__ptziNewAbstractStream(&bad.s, 4, nullptr, feed_cb), -3);
    EXPECT_EQ(__ptziNewAbstractStream(&bad.s, 4, buffer, nullptr), -3);
}

// Buffered values 2 + i/4 in [2, 4), mapped onto the caller's interval.
TEST(Abstract, RealFormsMapTheirIntervalOntoTheCallers) {
    double dbuf[8], r[8];
    float fbuf[4];
    StreamHolder d, s;
    auto fill = [](RngStream*, int32_t* n, auto* buf, int32_t*, int32_t*, int32_t*) {
        for (int32_t i = 0; i < *n; ++i) buf[i] = 2.0f + 0.25f * float(i);
        return *n;
    };
    EXPECT_EQ(__ptzdNewAbstractStream(&d.s, 2, dbuf, 1.0, 1.0, fill), -3);  // empty interval
    ASSERT_EQ(__ptzdNewAbstractStream(&d.s, 8, dbuf, 2.0, 4.0, fill), 0);
    ASSERT_EQ(__ptzdBRngdAbstract(d.s, 8, r, 10.0, 20.0), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(r[i], 10.0 + (0.25 * i) * 10.0 / 2.0);
    EXPECT_EQ(__ptziBRngdAbstract(d.s, 1, r), -1122);
    ASSERT_EQ(__ptzsNewAbstractStream(&s.s, 4, fbuf, 0.0f, 2.0f, fill), 0);
    EXPECT_EQ(__ptzdBRngsAbstract(s.s, 1, r, 0, 1), -1122);
}

// ---- allocation failure ----------------------------------------------------------

// Every allocating call, made to fail at its 1st, 2nd, ... allocation until it
// succeeds: each failure returns -4, leaves the handle null (a half-made
// stream is never handed out) and frees what the call had allocated. The
// count of failing steps is the number of allocation sites the call passes.
TEST(AllocationFailure, EverySiteReturnsMemoryFailureAndLeavesNothing) {
    StreamHolder src{new_stream(PTZ_BRNG_WH)}, dst{new_stream(PTZ_BRNG_WH)};
    uint8_t key[16];
    ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(key, 5), 0);
    ASSERT_EQ(__ptzAddChunk(src.s, 9, key, block_of(40, 0xC3), 40), 0);       // shared
    ASSERT_EQ(__ptzAddChunk(src.s, 2, nullptr, block_of(16, 0x5A), 16), 0);   // private
    std::vector<uint8_t> image(size_t(__ptzGetStreamSize(src.s)));
    ASSERT_EQ(__ptzSaveStreamM(src.s, image.data()), 0);
    const std::string path = ::testing::TempDir() + "ptz_rng_alloc_" + std::to_string(::getpid()) + ".img";
    ASSERT_EQ(__ptzSaveStreamF(src.s, path.c_str(), -1), 0);
    const int32_t len = int32_t(path.size());
    uint32_t ibuf[4];

    struct Site { const char* name; int32_t allocations; std::function<int32_t(RngStream**)> call; };
    const Site kSites[] = {
        {"new", 1, [](RngStream** s) { return __ptzNewStreamEx(s, PTZ_BRNG_MCG31, 0, nullptr); }},
        {"abstract", 1, [&](RngStream** s) { return __ptziNewAbstractStream(s, 4, ibuf, feed_cb); }},
        // record; private data and record; shared record
        {"copy", 4, [&](RngStream** s) { return __ptzCopyStream(s, src.s); }},
        {"copy state", 3, [&](RngStream**) {
             const int32_t st = __ptzCopyStreamState(dst.s, src.s);
             EXPECT_EQ(__ptzGetNumChunks(dst.s), st == 0 ? 2 : 0);  // a failed copy leaves no chunks
             __ptzDeleteChunks(dst.s);
             return st;
         }},
        {"add chunk", 1, [&](RngStream**) {
             const int32_t st = __ptzAddChunk(dst.s, 4, nullptr, nullptr, 0);
             __ptzDeleteChunks(dst.s);
             return st;
         }},
        // record, then per chunk its data and its record (the name copy first from a file)
        {"load memory", 5, [&](RngStream** s) { return __ptzLoadStreamM(s, image.data()); }},
        {"load bounded", 5,
         [&](RngStream** s) { return __ptzLoadStreamMBounded(s, image.data(), uint32_t(image.size())); }},
        {"load file", 6, [&](RngStream** s) { return __ptzLoadStreamF(s, path.c_str(), len); }},
        {"save file", 1, [&](RngStream**) { return __ptzSaveStreamF(src.s, path.c_str(), len); }},
    };
    for (const Site& site : kSites) {
        const int32_t live = orvu_serv_test_live_allocations();
        int32_t n = 1;
        for (; n < 20; ++n) {
            RngStream* s = nullptr;
            orvu_serv_test_fail_allocation(n);
            const int32_t status = site.call(&s);
            orvu_serv_test_fail_allocation(0);
            if (status == 0) {
                __ptzDeleteStream(&s);
                break;
            }
            EXPECT_EQ(status, -4) << site.name << " n=" << n;
            EXPECT_EQ(s, nullptr) << site.name << " n=" << n;
            EXPECT_EQ(orvu_serv_test_live_allocations(), live) << site.name << " n=" << n;
        }
        EXPECT_EQ(n - 1, site.allocations) << site.name;
        EXPECT_EQ(orvu_serv_test_live_allocations(), live) << site.name;
    }
    std::remove(path.c_str());
}

}  // namespace
