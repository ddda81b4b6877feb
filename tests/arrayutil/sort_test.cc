// Radix sorts against std::stable_sort with a plainly written order, for every
// key type and direction, in place and as index permutations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <type_traits>

#include "arrayutil/test_support.h"
#include "orvu_arrayutil.h"

namespace {

template <class T> struct SortEntries {
    const char* name;
    int32_t (*in_place[2])(T*, T*, int32_t);                               // ascending, descending
    int32_t (*index[2])(const T*, int32_t, int32_t*, int32_t*, int32_t);  // null without index sorts
};
template <class F> void for_each_sort_type(F&& f) {
#define AU_ROW(sfx, T)                                                                                          \
    f(SortEntries<T>{#sfx,                                                                                      \
                     {orvu_dft_c5h2_yobsSortRadixAscend_##sfx##_I, orvu_dft_c5h2_yobsSortRadixDescend_##sfx##_I}, \
                     {orvu_dft_c5h2_yobsSortRadixIndexAscend_##sfx, orvu_dft_c5h2_yobsSortRadixIndexDescend_##sfx}});
    ORVU_ARRAYUTIL_INDEX_SORT_TYPES(AU_ROW)
#undef AU_ROW
    f(SortEntries<double>{
        "64f", {orvu_dft_c5h2_yobsSortRadixAscend_64f_I, orvu_dft_c5h2_yobsSortRadixDescend_64f_I}, {}});
}

// The wanted order, written the plain way: integers by value; floating point
// negatives (sign bit set) before non-negatives, negatives by decreasing bit
// pattern, non-negatives by increasing bit pattern.
template <class T> bool ref_less(T a, T b) {
    if constexpr (std::is_integral_v<T>) return a < b;
    uint64_t ua = 0, ub = 0;
    std::memcpy(&ua, &a, sizeof a), std::memcpy(&ub, &b, sizeof b);
    const bool na = std::signbit(a), nb = std::signbit(b);
    return na != nb ? na : na ? ua > ub : ua < ub;
}

// Many duplicates: two thirds of the values come from a small pool (with the
// special floating-point values), the rest are arbitrary bit patterns.
template <class T> std::vector<T> test_data(size_t n, uint64_t seed) {
    using L = std::numeric_limits<T>;
    std::vector<T> pool = {L::lowest(), L::max(), T(0), T(1), T(-1), T(7), T(100)};
    if constexpr (std::is_floating_point_v<T>)
        pool.insert(pool.end(), {-T(0), L::infinity(), -L::infinity(), L::denorm_min(), -L::denorm_min(),
                                 L::quiet_NaN(), -L::quiet_NaN(), T(0.5), T(-1e-30)});
    std::mt19937_64 g(seed);
    std::vector<T> v(n);
    for (auto& x : v) {
        const uint64_t bits = g();
        if (bits % 3) x = pool[(bits >> 8) % pool.size()];
        else std::memcpy(&x, &bits, sizeof x);
    }
    return v;
}

// In place from an odd element offset (the array does not start on 16 bytes);
// index sorts read through strides, also strides that leave keys unaligned,
// and leave the source unchanged. Equal keys keep their input order.
TEST(RadixSort, MatchesStableSort) {
    for_each_sort_type([]<class T>(const SortEntries<T>& e) {
        for (int desc = 0; desc < 2; ++desc) {
            for (size_t n : {1, 2, 3, 5, 17, 255, 256, 1000, 4097, 100003}) {
                SCOPED_TRACE(testing::Message() << e.name << (desc ? " descend" : " ascend") << " n=" << n);
                const auto v = test_data<T>(n, n * 31 + desc);
                std::vector<int32_t> want(n), got(n, -1), iwork(n, -1);
                std::iota(want.begin(), want.end(), 0);
                std::stable_sort(want.begin(), want.end(), [&](int32_t a, int32_t b) {
                    return desc ? ref_less(v[b], v[a]) : ref_less(v[a], v[b]);
                });
                std::vector<T> arr(n + 1), work(n + 1);
                std::copy(v.begin(), v.end(), arr.begin() + 1);
                ASSERT_EQ(e.in_place[desc](arr.data() + 1, work.data() + 1, static_cast<int32_t>(n)), 0);
                for (size_t k = 0; k < n; ++k) ASSERT_TRUE(au_test::same_bits(arr[k + 1], v[want[k]])) << k;
                for (size_t stride : {sizeof(T), 3 * sizeof(T), sizeof(T) + 1}) {
                    if (!e.index[desc]) break;
                    std::vector<uint8_t> src(n * stride + 1, 0xCC);
                    for (size_t i = 0; i < n; ++i) std::memcpy(&src[1 + i * stride], &v[i], sizeof(T));
                    const auto before = src;
                    ASSERT_EQ(e.index[desc](reinterpret_cast<const T*>(src.data() + 1), static_cast<int32_t>(stride),
                                            got.data(), iwork.data(), static_cast<int32_t>(n)), 0);
                    ASSERT_TRUE(got == want && src == before) << "stride " << stride;
                }
            }
        }
    });
}

// The order the keys promise, as literals: -0 before +0, NaNs by sign beyond
// the infinities, and descending the exact reverse.
TEST(RadixSort, SignedZeroAndNaNOrder) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = INFINITY;
    float f[] = {+0.0f, nan, -0.0f, -inf, -1.0f, -nan, inf}, fw[7];
    const float up[] = {-nan, -inf, -1.0f, -0.0f, +0.0f, inf, nan};
    ASSERT_EQ(orvu_dft_c5h2_yobsSortRadixAscend_32f_I(f, fw, 7), 0);
    EXPECT_TRUE(std::equal(f, f + 7, up, au_test::same_bits<float>));
    ASSERT_EQ(orvu_dft_c5h2_yobsSortRadixDescend_32f_I(f, fw, 7), 0);
    EXPECT_TRUE(std::equal(f, f + 7, std::make_reverse_iterator(up + 7), au_test::same_bits<float>));
    double d[] = {-0.0, double(nan), 2.0, -double(nan), 0.0, -double(inf)}, dw[6];
    const double down[] = {double(nan), 2.0, 0.0, -0.0, -double(inf), -double(nan)};
    ASSERT_EQ(orvu_dft_c5h2_yobsSortRadixDescend_64f_I(d, dw, 6), 0);
    EXPECT_TRUE(std::equal(d, d + 6, down, au_test::same_bits<double>));
}

// Null pointers before lengths; the work buffer is required even for 8-bit
// keys, which never use it; a stride below the key size is a bad size.
TEST(RadixSort, BadArgumentsInTheStatedOrderAndNothingWritten) {
    for_each_sort_type([]<class T>(const SortEntries<T>& e) {
        T a[3], w[3];
        std::memset(a, 0x3C, sizeof a), std::memset(w, 0x3C, sizeof w);
        int32_t d[3], wi[3], s = sizeof(T);
        std::memset(d, 0x3C, sizeof d), std::memset(wi, 0x3C, sizeof wi);
        for (int k = 0; k < 2; ++k) {
            auto* f = e.in_place[k];
            EXPECT_EQ((std::vector{f(nullptr, w, 3), f(a, nullptr, 3), f(nullptr, w, 0), f(a, w, 0), f(a, w, -7)}),
                      (std::vector{-8, -8, -8, -6, -6})) << e.name;
            if (auto* x = e.index[k]) {
                EXPECT_EQ((std::vector{x(nullptr, s, d, wi, 3), x(a, s, nullptr, wi, 3), x(a, s, d, nullptr, 3),
                                       x(a, s - 1, nullptr, wi, 0), x(a, s, d, wi, 0), x(a, s - 1, d, wi, 3),
                                       x(a, -s, d, wi, 3)}),
                          (std::vector{-8, -8, -8, -8, -6, -6, -6})) << e.name;
            }
        }
        EXPECT_TRUE(au_test::all_bytes(a, sizeof a, 0x3C) && au_test::all_bytes(w, sizeof w, 0x3C) &&
                    au_test::all_bytes(d, sizeof d, 0x3C) && au_test::all_bytes(wi, sizeof wi, 0x3C)) << e.name;
    });
}

}  // namespace
