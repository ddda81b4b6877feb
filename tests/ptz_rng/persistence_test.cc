// Saving and loading streams through files and memory: the image format, the
// round trip of every generator with and without chunks, and every refusal.
// (fuzz_load_image.cc drives the bounded loader with arbitrary bytes.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    std::fclose(f);
}

// A stream advanced past its start, optionally with a private chunk (id 2,
// 16 bytes) and a shared one (id 9).
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

TEST(Persistence, ImageLayout) {
    StreamHolder h{new_stream(PTZ_BRNG_MCG31, {5})};
    const std::vector<uint8_t> want = {0x01, 0x52, 0x4E, 0x47, 16, 0, 8, 0, 0, 0, 0, 0,
                                       0x00, 0x00, 0x10, 0x00, 5, 0, 0, 0, 0x20, 0x6C, 0x80, 0x43};
    EXPECT_EQ(save_m(h.s), want);  // x = 5, a = 1132489760 = 0x43806C20
}

TEST(Persistence, RoundTripContinuesEveryGeneratorThroughFileAndMemory) {
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
    StreamHolder h{sample_stream(PTZ_BRNG_MCG31, false)}, cut, t, t0;
    ASSERT_EQ(__ptzAddChunk(h.s, 4, nullptr, block_of(8, 0x77), 8), 0);
    const std::vector<uint8_t> image = save_m(h.s);
    for (const Edit& e : kEdits) {
        std::vector<uint8_t> img = image;
        std::memcpy(img.data() + e.offset, e.bytes.data(), e.bytes.size());
        write_file(path, img);
        StreamHolder f, m;
        EXPECT_EQ(__ptzLoadStreamF(&f.s, path.c_str(), -1), e.file) << &e - kEdits;
        EXPECT_EQ(__ptzLoadStreamMBounded(&m.s, img.data(), uint32_t(img.size())), e.memory) << &e - kEdits;
        EXPECT_TRUE((f.s != nullptr) == (e.file == 0) && (m.s != nullptr) == (e.memory == 0)) << &e - kEdits;
    }
    // The bounded loader stops at the size given, one byte short here.
    EXPECT_EQ(__ptzLoadStreamMBounded(&cut.s, image.data(), uint32_t(image.size() - 1)), -1103);
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

// The state of an abstract stream is the address of the caller's buffer and
// of its callback: an image could aim the next draw anywhere, so no loader
// takes one, whatever the source.
TEST(Persistence, AbstractStreamImagesAreRefusedByEveryLoader) {
    double buf[4];
    StreamHolder made[3];
    auto none = [](RngStream*, int32_t*, auto*, int32_t*, int32_t*, int32_t*) { return 0; };
    ASSERT_EQ(__ptziNewAbstractStream(&made[0].s, 4, reinterpret_cast<uint32_t*>(buf), none), 0);
    ASSERT_EQ(__ptzdNewAbstractStream(&made[1].s, 4, buf, 0, 1, none), 0);
    ASSERT_EQ(__ptzsNewAbstractStream(&made[2].s, 4, reinterpret_cast<float*>(buf), 0, 1, none), 0);
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

TEST(Persistence, FileErrors) {
    StreamHolder h{sample_stream(PTZ_BRNG_MCG31, false)}, t;
    EXPECT_EQ(__ptzSaveStreamF(h.s, "/nonexistent-dir/x", -1), -1101);
    EXPECT_EQ(__ptzLoadStreamF(&t.s, "/nonexistent-dir/x", -1), -1101);
    EXPECT_EQ(__ptzSaveStreamF(h.s, "/dev/full", -1), -1100);  // the buffered bytes fail at close
    ASSERT_EQ(__ptzAddChunk(h.s, 5, nullptr, block_of(1 << 16, 1), 1 << 16), 0);
    EXPECT_EQ(__ptzSaveStreamF(h.s, "/dev/full", -1), -1102);  // too large to stay buffered
    const std::string path = temp_path("short");
    const std::vector<uint8_t> image = save_m(h.s);
    write_file(path, std::vector<uint8_t>(image.begin(), image.end() - 1));  // a short chunk
    EXPECT_EQ(__ptzLoadStreamF(&t.s, path.c_str(), -1), -1103);
    // A name length shorter than the string uses that many characters only.
    const std::string stem = temp_path("abc");
    ASSERT_EQ(__ptzSaveStreamF(h.s, (stem + ".sv").c_str(), int32_t(stem.size())), 0);
    ASSERT_EQ(__ptzLoadStreamF(&t.s, stem.c_str(), -1), 0);
    std::remove(stem.c_str());
    std::remove(path.c_str());
}

}  // namespace
