// Saving and loading streams through files and memory: the image format, the
// round trip of every generator with and without chunks, every refusal, and
// a bounded random-mutation run of the memory loader.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "orvu_ptz_rng.h"
#include "orvu_serv.h"
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
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

// A stream of each generator, advanced past its start, optionally with a
// private and a shared chunk.
RngStream* sample_stream(int32_t id, bool chunks, uint8_t* key = nullptr) {
    RngStream* s = nullptr;
    const uint32_t seed[3] = {17, 29, 31};
    EXPECT_EQ(__ptzNewStreamEx(&s, id, 3, seed), 0);
    std::vector<double> warm(333);
    EXPECT_EQ(props(s).dBRng(s, 333, warm.data(), 0, 1), 0);
    if (chunks) {
        EXPECT_EQ(__ptzAddChunk(s, 2, nullptr, block_of(16, 0x5A), 16), 0);
        uint8_t local[16];
        uint8_t* k = key ? key : local;
        EXPECT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(k, 7), 0);
        EXPECT_EQ(__ptzAddChunk(s, 9, k, block_of(40, 0xC3), 40), 0);
    }
    return s;
}

void expect_same_continuation(RngStream* a, RngStream* b) {
    std::vector<double> x(700), y(700);
    ASSERT_EQ(props(a).dBRng(a, 700, x.data(), 0, 1), 0);
    ASSERT_EQ(props(b).dBRng(b, 700, y.data(), 0, 1), 0);
    EXPECT_EQ(x, y);
    ASSERT_EQ(__ptzGetNumChunks(a), __ptzGetNumChunks(b));
    for (const StreamChunk* c = a->chunks; c; c = c->next) {
        const void* other = __ptzSearchChunk(b, c->id);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(0, std::memcmp(c->data, other, size_t(c->size)));
    }
}

constexpr int32_t kAllIds[] = {0x100000, 0x200000, 0x300000, 0x400000, 0x500000, 0x500110, 3, 200};

TEST(Persistence, ImageLayout) {
    RngStream* s = nullptr;
    const uint32_t seed = 5;
    ASSERT_EQ(__ptzNewStreamEx(&s, PTZ_BRNG_MCG31, 1, &seed), 0);
    const std::vector<uint8_t> image = save_m(s);
    const std::vector<uint8_t> want = {0x01, 0x52, 0x4E, 0x47, 16, 0, 8, 0, 0, 0, 0, 0,
                                       0x00, 0x00, 0x10, 0x00, 5, 0, 0, 0, 0x20, 0x6C, 0x80, 0x43};
    EXPECT_EQ(image, want);  // x = 5, a = 1132489760 = 0x43806C20
    __ptzDeleteStream(&s);
}

TEST(Persistence, RoundTripContinuesEveryGeneratorThroughFileAndMemory) {
    const std::string path = temp_path("roundtrip");
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t id : kAllIds) {
        for (bool chunks : {false, true}) {
            RngStream* orig = sample_stream(id, chunks);
            RngStream *via_m = nullptr, *via_f = nullptr, *via_b = nullptr;
            const std::vector<uint8_t> image = save_m(orig);
            ASSERT_EQ(__ptzLoadStreamM(&via_m, image.data()), 0);
            ASSERT_EQ(__ptzLoadStreamMBounded(&via_b, image.data(), uint32_t(image.size())), 0);
            ASSERT_EQ(__ptzSaveStreamF(orig, path.c_str(), -1), 0);
            ASSERT_EQ(__ptzLoadStreamF(&via_f, path.c_str(), int32_t(path.size())), 0);
            EXPECT_EQ(save_m(via_f), save_m(via_m));  // file and memory loads agree (chunks reversed alike)
            if (!chunks) {
                EXPECT_EQ(save_m(via_f), image);
            }
            RngStream* copy = nullptr;
            ASSERT_EQ(__ptzCopyStream(&copy, orig), 0);
            expect_same_continuation(copy, via_m);
            __ptzDeleteStream(&copy);
            ASSERT_EQ(__ptzCopyStream(&copy, orig), 0);
            expect_same_continuation(copy, via_f);
            expect_same_continuation(orig, via_b);
            for (RngStream** s : {&orig, &via_m, &via_f, &via_b, &copy}) __ptzDeleteStream(s);
        }
    }
    std::remove(path.c_str());
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TEST(Persistence, LoadedSharedChunkSharesTheLiveEntry) {
    uint8_t key[16];
    RngStream* orig = sample_stream(PTZ_BRNG_MCG59, true, key);
    RngStream* back = nullptr;
    const std::vector<uint8_t> image = save_m(orig);
    ASSERT_EQ(__ptzLoadStreamM(&back, image.data()), 0);
    EXPECT_EQ(__ptzSearchChunk(back, 9), __ptzSearchChunk(orig, 9));
    EXPECT_NE(__ptzSearchChunk(back, 2), __ptzSearchChunk(orig, 2));
    __ptzDeleteStream(&orig);
    __ptzDeleteStream(&back);
}

// Header edits: bytes written at an offset, status from a file and from memory.
TEST(Persistence, HeaderMagicVersionAndFieldsMustMatchTheGenerator) {
    struct Edit { size_t offset; std::vector<uint8_t> bytes; int32_t file, memory; };
    const Edit kEdits[] = {
        {0, {0x01, 'R', 'N', 'G'}, 0, 0},
        {0, {'R', 'N', 'G', 0x01}, 0, 0},
        {0, {0x00, 'R', 'N', 'G'}, 0, 0},
        {0, {0x02, 'R', 'N', 'G'}, -1111, -1200},
        {0, {'R', 'N', 'G', 0x02}, -1111, -1200},
        {0, {0x01, 'R', 'N', 'X'}, -1110, -1200},
        {0, {0x01, 'r', 'N', 'G'}, -1110, -1200},
        {12, {0x01, 0x00, 0x60, 0x00}, -1110, -1200},  // 0x600001: not a valid id
        {12, {0xFF, 0xFF, 0xFF, 0xFF}, -1110, -1200},  // -1
        {12, {0x17, 0x01, 0x00, 0x00}, -1110, -1200},  // legacy 279: empty row
        {12, {0x00, 0x00, 0x40, 0x00}, -1110, -1200},  // MCG59: 16 state bytes, not 8
        {6, {9, 0}, -1110, -1200},                     // state size
        {4, {15, 0}, -1110, -1200},                    // header size below 16
        {4, {20, 0}, -1103, -1103},                    // longer header: 4 extra bytes skipped, then short
    };
    const std::string path = temp_path("header");
    RngStream* s = sample_stream(PTZ_BRNG_MCG31, false);
    const std::vector<uint8_t> image = save_m(s);
    __ptzDeleteStream(&s);
    for (const Edit& e : kEdits) {
        std::vector<uint8_t> img = image;
        std::memcpy(img.data() + e.offset, e.bytes.data(), e.bytes.size());
        write_file(path, img);
        const auto where = &e - kEdits;  // row of the table
        RngStream* t = nullptr;
        EXPECT_EQ(__ptzLoadStreamF(&t, path.c_str(), -1), e.file) << where;
        EXPECT_EQ(t != nullptr, e.file == 0) << where;
        __ptzDeleteStream(&t);
        EXPECT_EQ(__ptzLoadStreamMBounded(&t, img.data(), uint32_t(img.size())), e.memory) << where;
        EXPECT_EQ(t != nullptr, e.memory == 0) << where;
        __ptzDeleteStream(&t);
    }
    // A longer header whose extra bytes are present is read past them.
    std::vector<uint8_t> longer(image.begin(), image.begin() + 16);
    longer[4] = 20;
    longer.insert(longer.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    longer.insert(longer.end(), image.begin() + 16, image.end());
    RngStream* t = nullptr;
    ASSERT_EQ(__ptzLoadStreamMBounded(&t, longer.data(), uint32_t(longer.size())), 0);
    EXPECT_EQ(0, std::memcmp(ptz::state_bytes(t), image.data() + 16, 8));
    __ptzDeleteStream(&t);
    std::remove(path.c_str());
}

TEST(Persistence, ChunkRecordsFollowTheVersionByte) {
    RngStream* s = sample_stream(PTZ_BRNG_MCG31, false);
    ASSERT_EQ(__ptzAddChunk(s, 4, nullptr, block_of(8, 0x77), 8), 0);
    std::vector<uint8_t> image = save_m(s);
    __ptzDeleteStream(&s);
    // Version 0: no key in the chunk record.
    std::vector<uint8_t> v0(image.begin(), image.begin() + 24 + 4);
    v0[0] = 0;
    v0.insert(v0.end(), image.begin() + 24 + 20, image.end());
    RngStream* t = nullptr;
    ASSERT_EQ(__ptzLoadStreamMBounded(&t, v0.data(), uint32_t(v0.size())), 0);
    EXPECT_EQ(static_cast<uint8_t*>(__ptzSearchChunk(t, 4))[7], 0x77);
    __ptzDeleteStream(&t);
    // Magic first ("RNG" then the version): byte 0 is neither 0 nor 1.
    std::vector<uint8_t> swapped = image;
    const uint8_t head[4] = {'R', 'N', 'G', 1};
    std::memcpy(swapped.data(), head, 4);
    EXPECT_EQ(__ptzLoadStreamMBounded(&t, swapped.data(), uint32_t(swapped.size())), -1103);
    EXPECT_EQ(t, nullptr);
    // A negative or oversized chunk size is refused before any allocation.
    for (uint32_t size : {0xFFFFFFFFu, 9u, 0x7FFFFFFFu}) {
        std::vector<uint8_t> bad = image;
        std::memcpy(bad.data() + 24 + 20, &size, 4);
        EXPECT_EQ(__ptzLoadStreamMBounded(&t, bad.data(), uint32_t(bad.size())), -1103) << size;
        EXPECT_EQ(t, nullptr);
    }
}

TEST(Persistence, FileErrors) {
    RngStream* s = sample_stream(PTZ_BRNG_MCG31, false);
    RngStream* t = nullptr;
    EXPECT_EQ(__ptzSaveStreamF(s, "/nonexistent-dir/x", -1), -1101);
    EXPECT_EQ(__ptzLoadStreamF(&t, "/nonexistent-dir/x", -1), -1101);
    EXPECT_EQ(__ptzSaveStreamF(s, "/dev/full", -1), -1100);  // the buffered bytes fail at close
    ASSERT_EQ(__ptzAddChunk(s, 5, nullptr, block_of(1 << 16, 1), 1 << 16), 0);
    EXPECT_EQ(__ptzSaveStreamF(s, "/dev/full", -1), -1102);  // too large to stay buffered
    const std::string path = temp_path("short");
    const std::vector<uint8_t> image = save_m(s);
    for (size_t cut : {size_t(0), size_t(10), size_t(20), size_t(30), image.size() - 1}) {
        write_file(path, std::vector<uint8_t>(image.begin(), image.begin() + long(cut)));
        EXPECT_EQ(__ptzLoadStreamF(&t, path.c_str(), -1), -1103) << cut;
        EXPECT_EQ(t, nullptr);
    }
    // A name length of 3 uses the first three characters only.
    ASSERT_EQ(__ptzSaveStreamF(s, "abc.sv", 3), 0);
    ASSERT_EQ(__ptzLoadStreamF(&t, "abc", -1), 0);
    __ptzDeleteStream(&t);
    std::remove("abc");
    std::remove(path.c_str());
    __ptzDeleteStream(&s);
}

TEST(Persistence, AllocationFailureAtEveryStepOfALoad) {
    uint8_t key[16];
    RngStream* s = sample_stream(PTZ_BRNG_WH, true, key);
    const std::string path = temp_path("alloc");
    ASSERT_EQ(__ptzSaveStreamF(s, path.c_str(), int32_t(path.size())), 0);
    const std::vector<uint8_t> image = save_m(s);
    __ptzDeleteStream(&s);  // the shared entry goes: the load recreates it
    const int32_t live = orvu_serv_test_live_allocations();
    // name copy, record, then per chunk its data and its record.
    for (int32_t n = 1; n <= 6; ++n) {
        RngStream* t = nullptr;
        orvu_serv_test_fail_allocation(n);
        EXPECT_EQ(__ptzLoadStreamF(&t, path.c_str(), int32_t(path.size())), -4) << n;
        EXPECT_EQ(t, nullptr);
        EXPECT_EQ(orvu_serv_test_live_allocations(), live) << n;
        orvu_serv_test_fail_allocation(n);
        const int32_t st = __ptzLoadStreamM(&t, image.data());
        EXPECT_EQ(st, n <= 5 ? -4 : 0) << n;  // the memory form makes no name copy
        __ptzDeleteStream(&t);
        EXPECT_EQ(orvu_serv_test_live_allocations(), live) << n;
    }
    orvu_serv_test_fail_allocation(0);
    RngStream* t = nullptr;
    ASSERT_EQ(__ptzLoadStreamF(&t, path.c_str(), int32_t(path.size())), 0);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(__ptzSaveStreamF(t, path.c_str(), 4), -4);
    orvu_serv_test_fail_allocation(0);
    __ptzDeleteStream(&t);
    std::remove(path.c_str());
}

// Two chunk records with one key but different sizes: the second must not
// borrow the first one's (smaller) block.
TEST(Persistence, ChunkSizeDisagreeingWithTheSharedEntryStaysPrivate) {
    const int32_t live = orvu_serv_test_live_allocations();
    RngStream* s = sample_stream(PTZ_BRNG_MCG31, false);
    uint8_t key[16];
    ASSERT_EQ(__ptzGenerateNewGlobalRODataTableEntryId(key, 1), 0);
    ASSERT_EQ(__ptzAddChunk(s, 1, key, block_of(8, 0x01), 8), 0);
    ASSERT_EQ(__ptzAddChunk(s, 2, key, block_of(64, 0x02), 64), 0);
    EXPECT_NE(__ptzSearchChunk(s, 1), __ptzSearchChunk(s, 2));
    const std::vector<uint8_t> image = save_m(s);
    __ptzDeleteStream(&s);
    // Same shape from an image: the entry is made by the first record read.
    std::vector<uint8_t> img = image;
    std::memcpy(img.data() + 24 + 4, key, 16);  // the private record now names the key too
    RngStream* t = nullptr;
    ASSERT_EQ(__ptzLoadStreamMBounded(&t, img.data(), uint32_t(img.size())), 0);
    EXPECT_EQ(static_cast<uint8_t*>(__ptzSearchChunk(t, 2))[63], 0x02);
    EXPECT_EQ(save_m(t).size(), img.size());
    __ptzDeleteStream(&t);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

// The fuzzing seed corpus stays loadable.
TEST(Persistence, SeedCorpusImagesLoad) {
    const char* names[] = {"mcg31m1", "r250", "mrg32k3a", "mcg59", "wh7", "wh_legacy"};
    for (const char* name : names) {
        const std::string path = std::string(PTZ_RNG_CORPUS_DIR) + "/" + name + ".img";
        RngStream* s = nullptr;
        EXPECT_EQ(__ptzLoadStreamF(&s, path.c_str(), -1), 0) << path;
        __ptzDeleteStream(&s);
    }
}

// Random mutations of valid images: whatever the loader answers, it must not
// read outside the exact-size heap copy (the sanitizer build checks that) nor
// leak; a stream it accepts must be usable.
TEST(Persistence, MutatedImagesNeverBreakTheBoundedLoader) {
    std::vector<std::vector<uint8_t>> seeds;
    for (int32_t id : kAllIds) {
        RngStream* s = sample_stream(id, id % 2 == 0);
        seeds.push_back(save_m(s));
        __ptzDeleteStream(&s);
    }
    const int32_t live = orvu_serv_test_live_allocations();
    std::mt19937 rng(20240607);
    int accepted = 0;
    for (int iter = 0; iter < 30000; ++iter) {
        std::vector<uint8_t> img = seeds[rng() % seeds.size()];
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 4) {
            case 0: img[rng() % img.size()] ^= uint8_t(1u << (rng() % 8)); break;
            case 1: img[rng() % 24] = uint8_t(rng()); break;  // the header and first chunk fields
            case 2: img.resize(rng() % (img.size() + 1)); break;
            default: img.push_back(uint8_t(rng())); break;
            }
            if (img.empty()) img.push_back(1);
        }
        auto heap = std::make_unique<uint8_t[]>(img.size());
        std::memcpy(heap.get(), img.data(), img.size());
        RngStream* t = nullptr;
        const int32_t st = __ptzLoadStreamMBounded(&t, heap.get(), uint32_t(img.size()));
        ASSERT_EQ(st == 0, t != nullptr);
        if (t) {
            ++accepted;
            BrngProperties p = props(t);
            // Abstract streams hold the saving process's pointers: not drawn from.
            const bool abstract = t->brng >= PTZ_BRNG_IABSTRACT && t->brng <= PTZ_BRNG_SABSTRACT;
            if (!abstract) {
                std::vector<double> out(300);
                EXPECT_EQ(p.dBRng(t, 300, out.data(), 0, 1), 0);
            }
            __ptzDeleteStream(&t);
        }
    }
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

}  // namespace
