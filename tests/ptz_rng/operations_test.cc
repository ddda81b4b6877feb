// Copying streams, chunk lists, the shared read-only table, abstract streams;
// images in files and memory (the format, round trips, every refusal; the
// fuzz target drives the bounded loader); a failed allocation at every site.
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

std::string temp_path(const char* tag) {
    return ::testing::TempDir() + "ptz_rng_" + tag + "_" + std::to_string(::getpid()) + ".img";
}

std::vector<uint8_t> save_m(const RngStream* s) {
    std::vector<uint8_t> image(size_t(__ptzGetStreamSize(s)));
    EXPECT_EQ(__ptzSaveStreamM(s, image.data()), 0);
    return image;
}

// A stream past its start; with chunks, a private one (id 2, 16 bytes) and a shared one (id 9).
RngStream* sample_stream(int32_t id, bool chunks) {
    RngStream* s = new_stream(id, {17, 29, 31});
    words(s, 333);
    uint8_t key[16];
    if (chunks && __ptzGenerateNewGlobalRODataTableEntryId(key, 7) == 0) {
        EXPECT_EQ(__ptzAddChunk(s, 2, nullptr, block_of(16, 0x5A), 16), 0);
        EXPECT_EQ(__ptzAddChunk(s, 9, key, block_of(40, 0xC3), 40), 0);
    }
    return s;
}

std::vector<int32_t> chunk_ids(const RngStream* s) {
    std::vector<int32_t> ids;
    for (const StreamChunk* c = s->chunks; c; c = c->next) ids.push_back(c->id);
    return ids;
}

TEST(Chunks, CopyStateAddSearchDeleteByIdAndCopyStream) {
    // WH: seedWords x wordSize is 64 bytes, the state 32: the whole state is
    // copied and nothing after the record (checked by the sanitizer build).
    // MCG31M1: the value is copied, the (leapfrogged) multiplier is not.
    StreamHolder wa{new_stream(PTZ_BRNG_WH)}, wb{new_stream(PTZ_BRNG_WH, {5, 6, 7, 8})};
    StreamHolder ma{new_stream(PTZ_BRNG_MCG31)}, mb{new_stream(PTZ_BRNG_MCG31, {5})};
    ASSERT_EQ(__ptzCopyStreamState(wa.s, wb.s), 0);
    EXPECT_EQ(0, std::memcmp(ptz::state_bytes(wa.s), ptz::state_bytes(wb.s), 32));
    EXPECT_EQ(__ptzCopyStreamState(wa.s, wa.s), 0);
    ASSERT_EQ(__ptzLeapfrogStream(mb.s, 0, 2), 0);
    ASSERT_EQ(__ptzCopyStreamState(ma.s, mb.s), 0);
    EXPECT_EQ(std::vector<uint32_t>(ptz::state_as<uint32_t>(ma.s), ptz::state_as<uint32_t>(ma.s) + 2),
              (std::vector<uint32_t>{5, 1132489760}));
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
    EXPECT_TRUE(e->count == 2 && __ptzSearchChunk(b, 9) == shared);
    const void *mine = __ptzSearchChunk(b, 1), *theirs = __ptzSearchChunk(a, 1);
    EXPECT_TRUE(mine != theirs && !std::memcmp(mine, theirs, 100));
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
    for (auto [n, buf, cb] :
         {std::tuple{0, buffer, &feed_cb}, {-1, buffer, &feed_cb}, {4, nullptr, &feed_cb}, {4, buffer, nullptr}})
        EXPECT_EQ(__ptziNewAbstractStream(&bad.s, n, buf, cb), -3);
}

// Buffered values 2 + i/4 in [2, 4), mapped onto the caller's interval. The
// state of an abstract stream is the address of the caller's buffer and of its
// callback: an image could aim the next draw anywhere, so no loader takes one.
TEST(Abstract, RealFormsMapTheirIntervalAndNoLoaderTakesAnImage) {
    double dbuf[8], r[8];
    float fbuf[4];
    uint32_t ibuf[4];
    StreamHolder made[3];
    auto fill = [](RngStream*, int32_t* n, auto* buf, int32_t*, int32_t*, int32_t*) {
        for (int32_t i = 0; i < *n; ++i) buf[i] = 2.0f + 0.25f * float(i);
        return *n;
    };
    EXPECT_EQ(__ptzdNewAbstractStream(&made[0].s, 2, dbuf, 1.0, 1.0, fill), -3);  // empty interval
    ASSERT_EQ(__ptzdNewAbstractStream(&made[0].s, 8, dbuf, 2.0, 4.0, fill), 0);
    ASSERT_EQ(__ptzdBRngdAbstract(made[0].s, 8, r, 10.0, 20.0), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(r[i], 10.0 + (0.25 * i) * 10.0 / 2.0);
    EXPECT_EQ(__ptziBRngdAbstract(made[0].s, 1, r), -1122);
    ASSERT_EQ(__ptzsNewAbstractStream(&made[1].s, 4, fbuf, 0.0f, 2.0f, fill), 0);
    EXPECT_EQ(__ptzdBRngsAbstract(made[1].s, 1, r, 0, 1), -1122);
    ASSERT_EQ(__ptziNewAbstractStream(&made[2].s, 4, ibuf, feed_cb), 0);
    const std::string path = temp_path("abstract");
    const int32_t live = orvu_serv_test_live_allocations();
    for (const StreamHolder& a : made) {
        const std::vector<uint8_t> image = save_m(a.s);
        ASSERT_EQ(__ptzSaveStreamF(a.s, path.c_str(), -1), 0);
        RngStream *b = nullptr, *m = nullptr, *f = nullptr;
        EXPECT_EQ(__ptzLoadStreamMBounded(&b, image.data(), uint32_t(image.size())), -1200);
        EXPECT_EQ(__ptzLoadStreamM(&m, image.data()), -1200);
        EXPECT_EQ(__ptzLoadStreamF(&f, path.c_str(), -1), -1110);
        EXPECT_TRUE(!b && !m && !f);
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
    std::remove(path.c_str());
}

TEST(Persistence, ImageLayoutAndRoundTripOfEveryGeneratorThroughFileAndMemory) {
    StreamHolder layout{new_stream(PTZ_BRNG_MCG31, {5})};   // x = 5, a = 1132489760 = 0x43806C20
    EXPECT_EQ(save_m(layout.s), (std::vector<uint8_t>{0x01, 0x52, 0x4E, 0x47, 16, 0, 8, 0, 0, 0, 0, 0,
                                                      0x00, 0x00, 0x10, 0x00, 5, 0, 0, 0, 0x20, 0x6C, 0x80, 0x43}));
    const std::string path = temp_path("roundtrip");
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t id : {0x100000, 0x200000, 0x300000, 0x400000, 0x500000, 0x500110, 3, 200}) {
        for (bool chunks : {false, true}) {
            StreamHolder orig{sample_stream(id, chunks)}, via_m, via_f, via_b;
            const std::vector<uint8_t> image = save_m(orig.s);
            ASSERT_EQ(__ptzLoadStreamM(&via_m.s, image.data()), 0);
            ASSERT_EQ(__ptzLoadStreamMBounded(&via_b.s, image.data(), uint32_t(image.size())), 0);
            ASSERT_EQ(__ptzSaveStreamF(orig.s, path.c_str(), -1), 0);
            ASSERT_EQ(__ptzLoadStreamF(&via_f.s, path.c_str(), int32_t(path.size())), 0);
            const std::vector<uint8_t> loaded = save_m(via_m.s);
            EXPECT_TRUE(save_m(via_f.s) == loaded && save_m(via_b.s) == loaded) << id;
            EXPECT_EQ(loaded == image, !chunks) << id;  // loaded chunks come in reverse order
            // A loaded shared chunk shares the live entry's data; a private one is an equal copy.
            EXPECT_EQ(__ptzSearchChunk(via_m.s, 9), __ptzSearchChunk(orig.s, 9));
            const void *own = __ptzSearchChunk(via_m.s, 2), *theirs = __ptzSearchChunk(orig.s, 2);
            EXPECT_TRUE(!chunks || (own != theirs && !std::memcmp(own, theirs, 16))) << id;
            EXPECT_EQ(words(orig.s, 700), words(via_m.s, 700)) << id;
        }
    }
    std::remove(path.c_str());
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

// Edits of an image with one 8-byte chunk: bytes written at an offset, status
// from a file and from memory.
TEST(Persistence, HeaderMagicVersionAndFieldsMustMatchTheGenerator) {
    struct Edit { size_t offset; std::vector<uint8_t> bytes; int32_t file, memory; };
    const Edit kEdits[] = {
        {0, {0x01, 'R', 'N', 'G'}, 0, 0},
        {0, {0x00, 'R', 'N', 'G'}, 0, 0},          // (the key's first bytes then read as a size 0)
        {0, {'R', 'N', 'G', 0x01}, -1103, -1103},  // accepted; but chunks need byte 0 to be 0 or 1
        {0, {0x02, 'R', 'N', 'G'}, -1111, -1200}, {0, {'R', 'N', 'G', 0x02}, -1111, -1200},
        {0, {0x01, 'R', 'N', 'X'}, -1110, -1200}, {0, {0x01, 'r', 'N', 'G'}, -1110, -1200},
        {12, {0x01, 0x00, 0x60, 0x00}, -1110, -1200},  // 0x600001: not a valid id
        {12, {0xFF, 0xFF, 0xFF, 0xFF}, -1110, -1200},  // -1
        {12, {0x17, 0x01, 0x00, 0x00}, -1110, -1200},  // legacy 279: empty row
        {12, {0x00, 0x00, 0x40, 0x00}, -1110, -1200},  // MCG59: 16 state bytes, not 8
        {6, {9, 0}, -1110, -1200},                     // state size
        {4, {15, 0}, -1110, -1200},                    // header size below 16
        {4, {20, 0}, -1103, -1103},                    // longer header: 4 extra bytes skipped, then short
        // chunk sizes negative or past the end of the image: refused before allocating
        {44, {0xFF, 0xFF, 0xFF, 0xFF}, -1103, -1103}, {44, {9, 0, 0, 0}, -1103, -1103},
        {44, {0xFF, 0xFF, 0xFF, 0x7F}, -1103, -1103},
    };
    const std::string path = temp_path("header");
    StreamHolder h{sample_stream(PTZ_BRNG_MCG31, false)}, t, t0;
    ASSERT_EQ(__ptzAddChunk(h.s, 4, nullptr, block_of(8, 0x77), 8), 0);
    const std::vector<uint8_t> image = save_m(h.s);
    for (const Edit& e : kEdits) {
        std::vector<uint8_t> img = image;
        std::memcpy(img.data() + e.offset, e.bytes.data(), e.bytes.size());
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(out && std::fwrite(img.data(), 1, img.size(), out) == img.size());
        std::fclose(out);
        StreamHolder f, m;
        EXPECT_EQ(__ptzLoadStreamF(&f.s, path.c_str(), -1), e.file) << &e - kEdits;
        EXPECT_EQ(__ptzLoadStreamMBounded(&m.s, img.data(), uint32_t(img.size())), e.memory) << &e - kEdits;
        EXPECT_TRUE((f.s != nullptr) == (e.file == 0) && (m.s != nullptr) == (e.memory == 0)) << &e - kEdits;
    }
    // A longer header whose extra bytes are present is read past them.
    std::vector<uint8_t> longer = image;
    longer[4] = 20;
    longer.insert(longer.begin() + 16, {0xEE, 0xEE, 0xEE, 0xEE});
    ASSERT_EQ(__ptzLoadStreamMBounded(&t.s, longer.data(), uint32_t(longer.size())), 0);
    EXPECT_EQ(0, std::memcmp(ptz::state_bytes(t.s), image.data() + 16, 8));
    // Version 0: no key in the chunk record.
    std::vector<uint8_t> v0 = image;
    v0[0] = 0;
    v0.erase(v0.begin() + 28, v0.begin() + 44);
    ASSERT_EQ(__ptzLoadStreamMBounded(&t0.s, v0.data(), uint32_t(v0.size())), 0);
    EXPECT_EQ(static_cast<uint8_t*>(__ptzSearchChunk(t0.s, 4))[7], 0x77);
    std::remove(path.c_str());
}

TEST(Persistence, FileErrors) {
    StreamHolder h{sample_stream(PTZ_BRNG_MCG31, false)}, t;
    EXPECT_EQ(__ptzSaveStreamF(h.s, "/nonexistent-dir/x", -1), -1101);
    EXPECT_EQ(__ptzLoadStreamF(&t.s, "/nonexistent-dir/x", -1), -1101);
    EXPECT_EQ(__ptzSaveStreamF(h.s, "/dev/full", -1), -1100);  // the buffered bytes fail at close
    ASSERT_EQ(__ptzAddChunk(h.s, 5, nullptr, block_of(1 << 16, 1), 1 << 16), 0);
    EXPECT_EQ(__ptzSaveStreamF(h.s, "/dev/full", -1), -1102);  // too large to stay buffered
    // A name length shorter than the string uses that many characters only.
    const std::string stem = temp_path("abc");
    ASSERT_EQ(__ptzSaveStreamF(h.s, (stem + ".sv").c_str(), int32_t(stem.size())), 0);
    ASSERT_EQ(__ptzLoadStreamF(&t.s, stem.c_str(), -1), 0);
    std::remove(stem.c_str());
}

// Every allocating call, failed at its 1st, 2nd, ... allocation until it succeeds:
// each failure returns -4, leaves the handle null (no half-made stream) and frees
// what it allocated. The failing steps count the allocation sites it passes.
TEST(AllocationFailure, EverySiteReturnsMemoryFailureAndLeavesNothing) {
    StreamHolder src{sample_stream(PTZ_BRNG_WH, true)}, dst{new_stream(PTZ_BRNG_WH)};
    const std::vector<uint8_t> image = save_m(src.s);
    const std::string path = temp_path("alloc");
    ASSERT_EQ(__ptzSaveStreamF(src.s, path.c_str(), -1), 0);
    uint32_t ibuf[4];
    auto cleared = [&](int32_t status, int32_t chunks) {   // a failed call leaves dst without chunks
        EXPECT_EQ(__ptzGetNumChunks(dst.s), status == 0 ? chunks : 0);
        __ptzDeleteChunks(dst.s);
        return status;
    };
    struct Site { const char* name; int32_t allocations; std::function<int32_t(RngStream**)> call; };
    const Site kSites[] = {
        {"new", 1, [](RngStream** s) { return __ptzNewStreamEx(s, PTZ_BRNG_MCG31, 0, nullptr); }},
        {"abstract", 1, [&](RngStream** s) { return __ptziNewAbstractStream(s, 4, ibuf, feed_cb); }},
        // record; private data and record; shared record
        {"copy", 4, [&](RngStream** s) { return __ptzCopyStream(s, src.s); }},
        {"copy state", 3, [&](RngStream**) { return cleared(__ptzCopyStreamState(dst.s, src.s), 2); }},
        {"add chunk", 1, [&](RngStream**) { return cleared(__ptzAddChunk(dst.s, 4, nullptr, nullptr, 0), 1); }},
        // record, then per chunk its data and its record (the name copy first from a file)
        {"load memory", 5, [&](RngStream** s) { return __ptzLoadStreamM(s, image.data()); }},
        {"load bounded", 5,
         [&](RngStream** s) { return __ptzLoadStreamMBounded(s, image.data(), uint32_t(image.size())); }},
        {"load file", 6, [&](RngStream** s) { return __ptzLoadStreamF(s, path.c_str(), int32_t(path.size())); }},
        {"save file", 1, [&](RngStream**) { return __ptzSaveStreamF(src.s, path.c_str(), int32_t(path.size())); }},
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
            EXPECT_TRUE(status == -4 && !s && orvu_serv_test_live_allocations() == live) << site.name << " n=" << n;
        }
        EXPECT_EQ(n - 1, site.allocations) << site.name;
        EXPECT_EQ(orvu_serv_test_live_allocations(), live) << site.name;
    }
    std::remove(path.c_str());
}

}  // namespace
