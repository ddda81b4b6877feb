// Copy, zero and fill entries of every element type: status order, exact
// results at every alignment and around every path boundary, and untouched
// memory around the destination.
#include <gtest/gtest.h>

#include "arrayutil/byte_paths.h"
#include "arrayutil/test_support.h"
#include "orvu_arrayutil.h"

namespace {

template <class T> struct FillEntries {
    const char* name;
    int32_t (*copy)(const T*, T*, int32_t);
    int32_t (*zero)(T*, int32_t);
    int32_t (*set)(T, T*, int32_t);
};

// Calls f(entries, value) for each of the eleven element types, with a value
// whose bytes all differ, so a fill written at the wrong phase shows.
template <class F> void for_each_type(F&& f) {
#define AU_ROW(sfx, T)                                                                                  \
    f(FillEntries<T>{#sfx, orvu_dft_c5h2_yobsCopy_##sfx, orvu_dft_c5h2_yobsZero_##sfx,                  \
                     orvu_dft_c5h2_yobsSet_##sfx},                                                      \
      [] { T v; std::memcpy(&v, au_test::random_bytes(sizeof(T), 0x5EED).data(), sizeof v); return v; }());
    ORVU_ARRAYUTIL_ELEMENT_TYPES(AU_ROW)
#undef AU_ROW
}

TEST(Fill, BadArgumentsReportNullBeforeLengthAndWriteNothing) {
    for_each_type([]<class T>(const FillEntries<T>& e, T v) {
        T src[2] = {}, dst[2];
        std::memset(dst, 0x5A, sizeof dst);
        EXPECT_EQ((std::vector{e.copy(nullptr, dst, 2), e.copy(src, nullptr, 0), e.copy(src, dst, 0),
                               e.copy(src, dst, -1), e.zero(nullptr, -3), e.zero(dst, 0), e.set(v, nullptr, 0),
                               e.set(v, dst, INT32_MIN)}),
                  (std::vector{-8, -8, -6, -6, -8, -6, -8, -6})) << e.name;
        EXPECT_TRUE(au_test::all_bytes(dst, sizeof dst, 0x5A)) << e.name;
    });
}

// Lengths around every path boundary (the short paths below 16 and 64 bytes,
// bodies with every tail length) at every element offset within 16 bytes,
// then one block long enough for the cache-bypassing path on this machine.
TEST(Fill, EveryTypeLengthAndAlignmentIsExact) {
    const size_t large = std::max(orvu::arrayutil::last_level_cache_bytes() / 2, size_t{1} << 20) + 4099;
    for_each_type([large]<class T>(const FillEntries<T>& e, T v) {
        auto check = [&](size_t n, size_t mis) {
            const size_t bytes = n * sizeof(T);
            const auto src = au_test::random_bytes(bytes, n);
            std::vector<uint8_t> zeros(bytes, 0), filled(bytes);
            for (size_t i = 0; i < n; ++i) std::memcpy(&filled[i * sizeof(T)], &v, sizeof(T));
            for (int op = 0; op < 3; ++op) {
                au_test::Guarded out(bytes, mis);
                T* d = reinterpret_cast<T*>(out.data());
                const int32_t len = static_cast<int32_t>(n);
                const int32_t s = op == 0 ? e.copy(reinterpret_cast<const T*>(src.data()), d, len)
                                          : op == 1 ? e.zero(d, len) : e.set(v, d, len);
                const auto& want = op == 0 ? src : op == 1 ? zeros : filled;
                ASSERT_TRUE(s == 0 && std::memcmp(out.data(), want.data(), bytes) == 0 && out.guards_intact(bytes))
                    << e.name << " op " << op << " n " << n << " misalign " << mis;
            }
        };
        for (size_t n = 1; n <= 300; n += (n < 80 ? 1 : 37))
            for (size_t mis = 0; mis < 16; mis += std::min(sizeof(T), size_t{8})) check(n, mis);  // pairs: 8-aligned
        if (sizeof(T) == 1 || sizeof(T) == 16) check(large / sizeof(T), 8);
    });
}

}  // namespace
