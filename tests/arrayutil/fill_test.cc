// Copy, zero and fill entries of every element type: status order, exact
// results at every alignment, and untouched memory around the destination.
#include <gtest/gtest.h>

#include "arrayutil/byte_paths.h"
#include "arrayutil/test_support.h"
#include "orvu_arrayutil.h"

namespace {
using au_test::Guarded;

template <class T>
struct FillEntries {
    const char* name;
    int32_t (*copy)(const T*, T*, int32_t);
    int32_t (*zero)(T*, int32_t);
    int32_t (*set)(T, T*, int32_t);
};

// Calls f(entries) for each of the eleven element types.
template <class F>
void for_each_type(F&& f) {
#define AU_ROW(sfx, T) \
    f(FillEntries<T>{#sfx, orvu_dft_c5h2_yobsCopy_##sfx, orvu_dft_c5h2_yobsZero_##sfx, orvu_dft_c5h2_yobsSet_##sfx});
    ORVU_ARRAYUTIL_ELEMENT_TYPES(AU_ROW)
#undef AU_ROW
}

// A value whose bytes all differ, so a fill written at the wrong phase shows.
template <class T>
T distinct_value() {
    T v;
    uint8_t b[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(0x11 * (i + 1) + 3);
    std::memcpy(&v, b, sizeof v);
    return v;
}

// Runs one entry on a guarded destination and checks every element and guard.
template <class T, class Run>
void check_result(size_t n, size_t misalign, Run run, const std::vector<uint8_t>& expect) {
    Guarded out(n * sizeof(T), misalign);
    ASSERT_EQ(run(reinterpret_cast<T*>(out.data()), static_cast<int32_t>(n)), 0);
    ASSERT_EQ(std::memcmp(out.data(), expect.data(), n * sizeof(T)), 0) << "n=" << n << " misalign=" << misalign;
    ASSERT_TRUE(out.guards_intact(n * sizeof(T))) << "n=" << n << " misalign=" << misalign;
}

TEST(Fill, BadArgumentsReportNullBeforeLengthAndWriteNothing) {
    for_each_type([]<class T>(const FillEntries<T>& e) {
        SCOPED_TRACE(e.name);
        T src[2] = {}, dst[2];
        std::memset(dst, 0x5A, sizeof dst);
        const T v = distinct_value<T>();
        struct Case { int32_t got, want; };
        const Case cases[] = {
            {e.copy(nullptr, dst, 2), -8}, {e.copy(src, nullptr, 2), -8}, {e.copy(src, nullptr, 0), -8},
            {e.copy(src, dst, 0), -6},     {e.copy(src, dst, -1), -6},
            {e.zero(nullptr, 2), -8},      {e.zero(nullptr, -3), -8}, {e.zero(dst, 0), -6},
            {e.set(v, nullptr, 2), -8},    {e.set(v, nullptr, 0), -8}, {e.set(v, dst, INT32_MIN), -6},
        };
        for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
        for (size_t i = 0; i < sizeof dst; ++i) EXPECT_EQ(reinterpret_cast<uint8_t*>(dst)[i], 0x5A);
    });
}

// Lengths around every path boundary: the short paths (below 16 and 64 bytes)
// and bodies with every tail length; destinations at every element offset
// within 16 bytes, and for bytes also sources at every offset.
TEST(Fill, EveryTypeLengthAndAlignmentIsExact) {
    for_each_type([]<class T>(const FillEntries<T>& e) {
        SCOPED_TRACE(e.name);
        const T v = distinct_value<T>();
        for (size_t n = 1; n <= 300; n += (n < 80 ? 1 : 37)) {
            auto src_bytes = au_test::random_bytes(n * sizeof(T) + 32, n);
            std::vector<uint8_t> zeros(n * sizeof(T), 0), filled(n * sizeof(T));
            for (size_t i = 0; i < n; ++i) std::memcpy(&filled[i * sizeof(T)], &v, sizeof(T));
            for (size_t mis = 0; mis < 16; mis += sizeof(T) < 16 ? sizeof(T) : 16) {
                for (size_t smis = 0; smis < (sizeof(T) == 1 ? 16u : 1u); ++smis) {
                    const T* src = reinterpret_cast<const T*>(src_bytes.data() + smis);
                    std::vector<uint8_t> expect(src_bytes.begin() + smis, src_bytes.begin() + smis + n * sizeof(T));
                    check_result<T>(n, mis, [&](T* d, int32_t len) { return e.copy(src, d, len); }, expect);
                }
                check_result<T>(n, mis, [&](T* d, int32_t len) { return e.zero(d, len); }, zeros);
                check_result<T>(n, mis, [&](T* d, int32_t len) { return e.set(v, d, len); }, filled);
            }
        }
    });
}

// Blocks large enough for the cache-bypassing path on this machine (or the
// plain path when no cache size is known), at odd alignments.
TEST(Fill, LargeBlocksAreExact) {
    size_t cache = orvu::arrayutil::last_level_cache_bytes();
    size_t bytes = std::max<size_t>(cache / 2, size_t{1} << 20) + 4099;
    Guarded out(bytes, 5);
    auto src = au_test::random_bytes(bytes + 3, 7);
    ASSERT_EQ(orvu_dft_c5h2_yobsCopy_8u(src.data() + 3, out.data(), static_cast<int32_t>(bytes)), 0);
    EXPECT_EQ(std::memcmp(out.data(), src.data() + 3, bytes), 0);
    EXPECT_TRUE(out.guards_intact(bytes));

    ASSERT_EQ(orvu_dft_c5h2_yobsZero_8u(out.data(), static_cast<int32_t>(bytes)), 0);
    EXPECT_EQ(std::count(out.data(), out.data() + bytes, 0), static_cast<ptrdiff_t>(bytes));
    EXPECT_TRUE(out.guards_intact(bytes));

    // 128-bit fill of a block that starts 8 bytes off a 16-byte boundary: the
    // pattern must continue at the right phase after the alignment head.
    Guarded wide(bytes, 8);
    const size_t n = bytes / 16;
    const Orvu64fc v{1.5, -2.25};
    auto* d = reinterpret_cast<Orvu64fc*>(wide.data());
    ASSERT_EQ(orvu_dft_c5h2_yobsSet_64fc(v, d, static_cast<int32_t>(n)), 0);
    size_t wrong = 0;
    for (size_t i = 0; i < n; ++i) wrong += !(d[i].re == 1.5 && d[i].im == -2.25);
    EXPECT_EQ(wrong, 0u);
    EXPECT_TRUE(wide.guards_intact(n * 16));
}

}  // namespace
