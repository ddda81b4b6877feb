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

template <class T> using InPlaceFn = int32_t (*)(T*, T*, int32_t);
template <class T> using IndexFn = int32_t (*)(const T*, int32_t, int32_t*, int32_t*, int32_t);

template <class T>
struct SortEntries {
    const char* name;
    InPlaceFn<T> in_place[2];   // ascending, descending
    IndexFn<T> index[2];        // null for types without index sorts
};

template <class F>
void for_each_sort_type(F&& f) {
#define AU_ROW(sfx, T) \
    f(SortEntries<T>{#sfx, \
                     {orvu_dft_c5h2_yobsSortRadixAscend_##sfx##_I, orvu_dft_c5h2_yobsSortRadixDescend_##sfx##_I}, \
                     {orvu_dft_c5h2_yobsSortRadixIndexAscend_##sfx, orvu_dft_c5h2_yobsSortRadixIndexDescend_##sfx}});
    ORVU_ARRAYUTIL_INDEX_SORT_TYPES(AU_ROW)
#undef AU_ROW
    f(SortEntries<double>{"64f",
                          {orvu_dft_c5h2_yobsSortRadixAscend_64f_I, orvu_dft_c5h2_yobsSortRadixDescend_64f_I},
                          {nullptr, nullptr}});
}

// The wanted order, written the plain way: integers by value; floating point
// negatives (sign bit set) before non-negatives, negatives by decreasing bit
// pattern, non-negatives by increasing bit pattern.
template <class T>
bool ref_less(T a, T b) {
    if constexpr (std::is_floating_point_v<T>) {
        uint64_t ua = 0, ub = 0;
        std::memcpy(&ua, &a, sizeof a);
        std::memcpy(&ub, &b, sizeof b);
        const int top = 8 * sizeof(T) - 1;
        bool na = (ua >> top) & 1, nb = (ub >> top) & 1;
        if (na != nb) return na;
        return na ? ua > ub : ua < ub;
    } else {
        return static_cast<int64_t>(a) < static_cast<int64_t>(b);
    }
}

// Many duplicates: most values come from a small pool (with the special
// floating-point values), the rest are arbitrary bit patterns.
template <class T>
std::vector<T> test_data(size_t n, uint64_t seed) {
    std::mt19937_64 g(seed);
    std::vector<T> pool;
    if constexpr (std::is_floating_point_v<T>) {
        using L = std::numeric_limits<T>;
        pool = {T(0), -T(0), T(1), T(-1), L::infinity(), -L::infinity(), L::denorm_min(), -L::denorm_min(),
                L::max(), L::lowest(), L::quiet_NaN(), -L::quiet_NaN(), T(0.5), T(-1e-30)};
    } else {
        pool = {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0), T(1), T(T(0) - 1)};
    }
    for (int i = 0; i < 20; ++i) pool.push_back(au_test::random_bytes(sizeof(T), g()).data()[0] ? T(i * 7) : T(i));
    std::vector<T> v(n);
    for (auto& x : v) {
        if (g() % 3) { x = pool[g() % pool.size()]; continue; }
        uint64_t bits = g();
        std::memcpy(&x, &bits, sizeof x);
    }
    return v;
}

constexpr size_t kLengths[] = {1, 2, 3, 5, 17, 255, 256, 1000, 4097, 100003};

TEST(RadixSort, InPlaceMatchesStableSort) {
    for_each_sort_type([]<class T>(const SortEntries<T>& e) {
        for (int desc = 0; desc < 2; ++desc) {
            for (size_t n : kLengths) {
                SCOPED_TRACE(testing::Message() << e.name << (desc ? " descend" : " ascend") << " n=" << n);
                auto v = test_data<T>(n, n * 31 + desc);
                auto want = v;
                if (desc) std::stable_sort(want.begin(), want.end(), [](T a, T b) { return ref_less(b, a); });
                else std::stable_sort(want.begin(), want.end(), ref_less<T>);
                // Odd element offset: the array does not start on 16 bytes.
                std::vector<T> arr(n + 1), work(n + 1);
                std::copy(v.begin(), v.end(), arr.begin() + 1);
                ASSERT_EQ(e.in_place[desc](arr.data() + 1, work.data() + 1, static_cast<int32_t>(n)), 0);
                size_t wrong = 0;
                for (size_t i = 0; i < n; ++i) wrong += !au_test::same_bits(arr[i + 1], want[i]);
                ASSERT_EQ(wrong, 0u);
            }
        }
    });
}

// Index sorts read through strides, including strides that leave elements
// unaligned; equal keys must come out in input order.
TEST(RadixSort, IndexMatchesStableSortOverStrides) {
    for_each_sort_type([]<class T>(const SortEntries<T>& e) {
        if (!e.index[0]) return;
        for (int desc = 0; desc < 2; ++desc) {
            for (size_t n : kLengths) {
                for (size_t stride : {sizeof(T), 3 * sizeof(T), sizeof(T) + 1}) {
                    SCOPED_TRACE(testing::Message() << e.name << (desc ? " descend" : " ascend") << " n=" << n
                                                    << " stride=" << stride);
                    auto v = test_data<T>(n, n * 7 + desc);
                    std::vector<uint8_t> src(n * stride + 1, 0xCC);
                    for (size_t i = 0; i < n; ++i) std::memcpy(&src[1 + i * stride], &v[i], sizeof(T));
                    const auto before = src;
                    std::vector<int32_t> want(n), got(n, -1), work(n, -1);
                    std::iota(want.begin(), want.end(), 0);
                    std::stable_sort(want.begin(), want.end(), [&](int32_t a, int32_t b) {
                        return desc ? ref_less(v[b], v[a]) : ref_less(v[a], v[b]);
                    });
                    const T* base = reinterpret_cast<const T*>(src.data() + 1);
                    ASSERT_EQ(e.index[desc](base, static_cast<int32_t>(stride), got.data(), work.data(),
                                            static_cast<int32_t>(n)), 0);
                    ASSERT_EQ(got, want);
                    ASSERT_EQ(src, before);
                }
            }
        }
    });
}

TEST(RadixSort, SignedZeroAndNaNOrder) {
    float f[] = {+0.0f, -0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()};
    float fw[4];
    ASSERT_EQ(orvu_dft_c5h2_yobsSortRadixAscend_32f_I(f, fw, 4), 0);
    EXPECT_EQ(f[0], -1.0f);
    EXPECT_TRUE(f[1] == 0.0f && std::signbit(f[1]));
    EXPECT_TRUE(f[2] == 0.0f && !std::signbit(f[2]));
    EXPECT_TRUE(std::isnan(f[3]));

    double d[] = {-std::numeric_limits<double>::quiet_NaN(), 2.0, -0.0, -std::numeric_limits<double>::infinity(), 0.0};
    double dw[5];
    ASSERT_EQ(orvu_dft_c5h2_yobsSortRadixDescend_64f_I(d, dw, 5), 0);
    EXPECT_EQ(d[0], 2.0);
    EXPECT_TRUE(d[1] == 0.0 && !std::signbit(d[1]));
    EXPECT_TRUE(d[2] == 0.0 && std::signbit(d[2]));
    EXPECT_EQ(d[3], -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(d[4]) && std::signbit(d[4]));
}

TEST(RadixSort, BadArgumentsInTheStatedOrderAndNothingWritten) {
    for_each_sort_type([]<class T>(const SortEntries<T>& e) {
        SCOPED_TRACE(e.name);
        T a[3], w[3];
        std::memset(a, 0x3C, sizeof a);
        std::memset(w, 0x3C, sizeof w);
        for (auto fn : e.in_place) {
            EXPECT_EQ(fn(nullptr, w, 3), -8);
            EXPECT_EQ(fn(a, nullptr, 3), -8);   // also for 8-bit keys, which never use it
            EXPECT_EQ(fn(nullptr, w, 0), -8);
            EXPECT_EQ(fn(a, w, 0), -6);
            EXPECT_EQ(fn(a, w, -7), -6);
        }
        for (auto fn : e.index) {
            if (!fn) continue;
            int32_t d[3] = {9, 9, 9}, wi[3] = {9, 9, 9};
            const int32_t size = static_cast<int32_t>(sizeof(T));
            EXPECT_EQ(fn(nullptr, size, d, wi, 3), -8);
            EXPECT_EQ(fn(a, size, nullptr, wi, 3), -8);
            EXPECT_EQ(fn(a, size, d, nullptr, 3), -8);
            EXPECT_EQ(fn(a, size - 1, nullptr, wi, 0), -8);
            EXPECT_EQ(fn(a, size, d, wi, 0), -6);
            EXPECT_EQ(fn(a, size - 1, d, wi, 3), -6);    // 3 bytes for a 32-bit key
            EXPECT_EQ(fn(a, -size, d, wi, 3), -6);
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(d[i] == 9 && wi[i] == 9);
        }
        for (size_t i = 0; i < sizeof a; ++i) {
            EXPECT_EQ(reinterpret_cast<uint8_t*>(a)[i], 0x3C);
            EXPECT_EQ(reinterpret_cast<uint8_t*>(w)[i], 0x3C);
        }
    });
}

}  // namespace
