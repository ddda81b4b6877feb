// The store paths driven directly, whatever this machine's cache size and
// string-move support: every copy body near its size limits and source
// offsets, and the fills at destination offsets that split an element.
#include <gtest/gtest.h>
#include <unistd.h>

#include "arrayutil/byte_paths.h"
#include "arrayutil/test_support.h"

namespace {
namespace au = orvu::arrayutil;
using au_test::Guarded;

// Destination just above, at, and just below the source modulo 4 KiB: the
// first group takes the backward body, the rest the forward one.
TEST(BytePaths, CopyNearFourKiBAliasing) {
    const size_t n = 3000;
    std::vector<uint8_t> arena(5 * 4096 + 512, 0xEE);
    const auto src = au_test::random_bytes(n, 3);
    uint8_t* base = arena.data() + ((0 - reinterpret_cast<uintptr_t>(arena.data())) & 4095);
    std::memcpy(base + 7, src.data(), n);
    for (int gap : {1, 15, 16, 17, 100, 159, 160, 161, 4095, 4096 - 100}) {
        uint8_t* dst = base + 2 * 4096 + 7 + gap;
        au::copy_vector(dst, base + 7, n);
        EXPECT_TRUE(std::memcmp(dst, src.data(), n) == 0 && dst[-1] == 0xEE && dst[n] == 0xEE) << "gap " << gap;
        std::memset(dst, 0xEE, n);
    }
}

// Both bodies of the normal copy around the size where the string move takes
// over, and streaming copies short enough to skip the prefetch or long enough
// to run it, at source and destination offsets that do and do not agree.
TEST(BytePaths, CopyPathsAreExactAtEveryOffset) {
    const std::pair<const char*, void (*)(uint8_t*, const uint8_t*, size_t)> paths[] = {
        {"vector", au::copy_vector}, {"string", au::copy_string}, {"streaming", au::copy_streaming}};
    const size_t b = au::kStringCopyFrom;
    const auto src = au_test::random_bytes(70001 + 16, 11);
    for (auto [name, run] : paths) {
        for (size_t n : {size_t{64}, size_t{65}, size_t{127}, b - 1, b, b + 1, size_t{4096 + 64 + 15}, size_t{70001}}) {
            for (size_t smis : {0, 9}) for (size_t dmis : {0, 3, 9}) {
                Guarded out(n, dmis);
                run(out.data(), src.data() + smis, n);
                EXPECT_TRUE(std::memcmp(out.data(), src.data() + smis, n) == 0 && out.guards_intact(n))
                    << name << " n " << n << " smis " << smis << " dmis " << dmis;
            }
        }
    }
}

// Every destination offset within 32 bytes, also those that split an element
// (the aligned body then needs the pattern rotated), for every period, with
// lengths that end in the short, unrolled and single-block parts of each
// body: the whole routine (short blocks included), the 16-byte bodies and,
// where the processor has them, the 32-byte ones.
TEST(BytePaths, FillPathsKeepThePatternPhase) {
    using P = au::FillPattern;
#define BODY(f) [](uint8_t* d, size_t n, const P& p) { au::f(d, n, p.v, p.period); }
    struct Path { const char* name; void (*run)(uint8_t*, size_t, const P&); size_t min_n; bool wide; };
    const Path paths[] = {
        {"routine", [](uint8_t* d, size_t n, const P& p) { au::fill_bytes(d, n, p, au::kLargeFillFrom); }, 1, false},
        {"normal", BODY(fill_normal), 16, false},            {"streaming", BODY(fill_streaming), 16, false},
        {"normal wide", BODY(fill_normal_wide), 32, true},   {"streaming wide", BODY(fill_streaming_wide), 32, true},
    };
#undef BODY
    const uint8_t elem[16] = {0xF1, 2, 0xE3, 4, 5, 0xD6, 7, 8, 9, 10, 0xCB, 12, 13, 14, 0xBF, 16};
    for (const Path& path : paths) {
        if (path.wide && !au::has_wide_vectors()) continue;
        for (size_t size : {1, 2, 4, 8, 16}) {
            const au::FillPattern p = au::make_pattern(elem, size);
            for (size_t n : {1, 2, 4, 6, 8, 12, 16, 17, 24, 32, 48, 63, 64, 80, 100, 112, 160, 224, 70001}) {
                if (n % size || n < path.min_n) continue;
                for (size_t mis = 0; mis < 32; ++mis) {
                    Guarded out(n, mis);
                    path.run(out.data(), n, p);
                    size_t bad = 0;
                    for (size_t i = 0; i < n; ++i) bad += out.data()[i] != elem[i % size];
                    ASSERT_TRUE(bad == 0 && out.guards_intact(n))
                        << path.name << " size " << size << " n " << n << " mis " << mis;
                }
            }
        }
    }
}

// The detected size is a real cache size: not below what the C library
// reports for the second level, not absurd, and remembered.
TEST(BytePaths, CacheSizeIsPlausible) {
    const size_t s = au::last_level_cache_bytes();
    const long l2 = sysconf(_SC_LEVEL2_CACHE_SIZE);
    EXPECT_GT(s, 0u);
    EXPECT_GE(s, static_cast<size_t>(std::max(l2, 0L)));
    EXPECT_LE(s, size_t{1} << 30);
    EXPECT_EQ(au::last_level_cache_bytes(), s);
}

}  // namespace
