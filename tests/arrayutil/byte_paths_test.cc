// The store paths driven directly, independent of this machine's cache size:
// the backward body of the copy, the streaming copy across its 256 KiB
// portions, and the streaming fill at every pattern phase.
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
        au::copy_normal(dst, base + 7, n);
        EXPECT_EQ(std::memcmp(dst, src_data.data(), n), 0) << "gap " << gap;
        EXPECT_EQ(dst[-1], 0xEE);
        EXPECT_EQ(dst[n], 0xEE);
    }
}

TEST(BytePaths, StreamingCopyAcrossPortions) {
    // Two whole 256 KiB portions and a partial one, with a ragged tail.
    const size_t n = 2 * (256 << 10) + 1000 + 13;
    auto src = au_test::random_bytes(n + 16, 11);
    for (size_t smis : {0, 9}) {
        for (size_t dmis : {0, 3}) {
            Guarded out(n, dmis);
            au::copy_streaming(out.data(), src.data() + smis, n);
            EXPECT_EQ(std::memcmp(out.data(), src.data() + smis, n), 0);
            EXPECT_TRUE(out.guards_intact(n));
        }
    }
}

TEST(BytePaths, FillPathsKeepThePatternPhase) {
    const uint8_t elem[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (size_t size : {1, 2, 4, 8, 16}) {
        au::FillPattern p = au::make_pattern(elem, size);
        for (size_t n : {size_t{16}, size_t{17}, size_t{100}, size_t{70001}}) {
            if (n % size) continue;
            for (size_t mis = 0; mis < 16; mis += size) {
                for (auto path : {au::fill_normal, au::fill_streaming}) {
                    Guarded out(n, mis);
                    path(out.data(), n, p);
                    size_t bad = 0;
                    for (size_t i = 0; i < n; ++i) bad += out.data()[i] != elem[i % size];
                    EXPECT_EQ(bad, 0u) << "size " << size << " n " << n << " mis " << mis;
                    EXPECT_TRUE(out.guards_intact(n));
                }
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
