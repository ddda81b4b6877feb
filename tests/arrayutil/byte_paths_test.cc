// The store paths driven directly, independent of this machine's cache size
// and string-move support: the backward body of the copy, the string move and
// the vector body on either side of the size where one takes over from the
// other, the streaming copy with and without its prefetch, and the fills at
// every destination offset, including offsets that split an element.
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
    std::vector<uint8_t> arena(5 * 4096 + 512, 0);
    auto src_data = au_test::random_bytes(n, 3);
    uint8_t* base = arena.data() + ((0 - reinterpret_cast<uintptr_t>(arena.data())) & 4095);
    std::memcpy(base + 7, src_data.data(), n);
    for (int gap : {1, 15, 16, 17, 100, 159, 160, 161, 4095, 4096 - 100}) {
        uint8_t* dst = base + 2 * 4096 + 7 + gap;
        std::memset(dst - 1, 0xEE, n + 2);
        au::copy_vector(dst, base + 7, n);
        EXPECT_EQ(std::memcmp(dst, src_data.data(), n), 0) << "gap " << gap;
        EXPECT_EQ(dst[-1], 0xEE);
        EXPECT_EQ(dst[n], 0xEE);
    }
}

// Both bodies of the normal copy around the size where the string move takes
// over, and streaming copies short enough to skip the prefetch or long enough
// to run it, at source and destination offsets that do and do not agree.
TEST(BytePaths, CopyPathsAreExactAtEveryOffset) {
    struct Path { const char* name; void (*run)(uint8_t*, const uint8_t*, size_t); };
    const Path paths[] = {{"vector", au::copy_vector}, {"string", au::copy_string},
                          {"streaming", au::copy_streaming}};
    const size_t boundary = au::kStringCopyFrom;
    const size_t sizes[] = {64, 65, 127, boundary - 1, boundary, boundary + 1, 4096 + 64 + 15, 70001};
    auto src = au_test::random_bytes(70001 + 16, 11);
    for (const Path& p : paths) {
        for (size_t n : sizes) {
            for (size_t smis : {0, 9}) {
                for (size_t dmis : {0, 3, 9}) {
                    Guarded out(n, dmis);
                    p.run(out.data(), src.data() + smis, n);
                    EXPECT_EQ(std::memcmp(out.data(), src.data() + smis, n), 0)
                        << p.name << " n " << n << " smis " << smis << " dmis " << dmis;
                    EXPECT_TRUE(out.guards_intact(n)) << p.name << " n " << n;
                }
            }
        }
    }
}

// Every destination offset within 32 bytes, also those that split an element
// (the aligned body then needs the pattern rotated), for every period, with
// lengths that end in the short, unrolled and single-block parts of the body,
// through the 16-byte bodies and, where the processor has them, the 32-byte
// ones.
TEST(BytePaths, FillPathsKeepThePatternPhase) {
    struct Path { const char* name; void (*run)(uint8_t*, size_t, __m128i, size_t); size_t min_n; bool wide; };
    const Path paths[] = {{"normal", au::fill_normal, 16, false}, {"streaming", au::fill_streaming, 16, false},
                          {"normal wide", au::fill_normal_wide, 32, true},
                          {"streaming wide", au::fill_streaming_wide, 32, true}};
    const uint8_t elem[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (const Path& path : paths) {
        if (path.wide && !au::has_wide_vectors()) continue;
        for (size_t size : {1, 2, 4, 8, 16}) {
            au::FillPattern p = au::make_pattern(elem, size);
            for (size_t n : {16, 17, 32, 48, 63, 100, 112, 160, 224, 70001}) {
                if (n % size || n < path.min_n) continue;
                for (size_t mis = 0; mis < 32; ++mis) {
                    Guarded out(n, mis);
                    path.run(out.data(), n, p.v, p.period);
                    size_t bad = 0;
                    for (size_t i = 0; i < n; ++i) bad += out.data()[i] != elem[i % size];
                    EXPECT_EQ(bad, 0u) << path.name << " size " << size << " n " << n << " mis " << mis;
                    EXPECT_TRUE(out.guards_intact(n)) << path.name;
                }
            }
        }
    }
}

// The whole fill routine, short blocks included, at destinations that split
// an element: the entries only ever pass element-aligned arrays of their own
// types, but the byte-level routines take any address.
TEST(BytePaths, FillAtEveryOffsetAndLength) {
    const uint8_t elem[16] = {0xF1, 2, 0xE3, 4, 5, 0xD6, 7, 8, 9, 10, 0xCB, 12, 13, 14, 0xBF, 16};
    for (size_t size : {1, 2, 4, 8, 16}) {
        au::FillPattern p = au::make_pattern(elem, size);
        for (size_t n = size; n <= 300; n += size) {
            for (size_t mis = 0; mis < 32; mis += 3) {
                Guarded out(n, mis);
                au::fill_bytes(out.data(), n, p, au::kLargeFillFrom);
                size_t bad = 0;
                for (size_t i = 0; i < n; ++i) bad += out.data()[i] != elem[i % size];
                ASSERT_EQ(bad, 0u) << "size " << size << " n " << n << " mis " << mis;
                ASSERT_TRUE(out.guards_intact(n)) << "size " << size << " n " << n << " mis " << mis;
            }
        }
    }
}

// The detected size must be a real cache size: not below what the C library
// reports for the second level, and not absurd.
TEST(BytePaths, CacheSizeIsPlausible) {
    size_t s = au::last_level_cache_bytes();
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_GT(s, 0u);
#endif
    long l2 = sysconf(_SC_LEVEL2_CACHE_SIZE);
    if (l2 > 0 && s > 0) {
        EXPECT_GE(s, static_cast<size_t>(l2));
    }
    EXPECT_LE(s, size_t{1} << 30);
    EXPECT_EQ(au::last_level_cache_bytes(), s);
}

}  // namespace
