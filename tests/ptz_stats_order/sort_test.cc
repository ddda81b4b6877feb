// Selection and the comparison sorts against std::sort, on data with many
// ties, signed zeros, infinities and NaNs of both signs. (The value/weight
// sort is checked through the weighted quantile.)
#include <cstring>
#include <tuple>

#include "ptz_stats_order/order_test_util.h"

namespace {

using namespace ordtest;

// The radix sort's total order: by sign and bit pattern.
template <class T>
uint64_t order_key(T v) {
    if constexpr (sizeof(T) == 8) {
        uint64_t b;
        std::memcpy(&b, &v, 8);
        return (b >> 63) ? ~b : b | (1ULL << 63);
    } else {
        uint32_t b;
        std::memcpy(&b, &v, 4);
        return (b >> 31) ? uint32_t(~b) : b | (1U << 31);
    }
}

template <class T>
std::vector<T> awkward_data(int64_t n, uint64_t seed) {
    std::vector<T> v = tied_data<T>(n, seed);
    const T specials[] = {T(0), -T(0), T(INFINITY), -T(INFINITY), T(NAN), -T(NAN)};
    for (int64_t i = 0; i < n; i += 7) v[i] = specials[(i / 7) % 6];
    return v;
}

// Equal in the radix order, NaNs compared by sign only.
template <class T>
bool same_place(T a, T b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    return order_key(a) == order_key(b);
}

template <class T>
class SortTest : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(SortTest, Precisions);

TYPED_TEST(SortTest, StridedSortMatchesTheRadixOrder) {
    using T = TypeParam;
    for (int64_t n : {1, 2, 16, 17, 1000, 100003})
        for (int64_t stride : {1, 3}) {
            std::vector<T> data = awkward_data<T>(n, n + stride), a(n * stride, T(7));
            if (n == 100003) std::sort(data.begin(), data.end() - n / 2);   // half already in order
            for (int64_t i = 0; i < n; ++i) a[i * stride] = data[i];
            std::stable_sort(data.begin(), data.end(), [](T x, T y) { return order_key(x) < order_key(y); });
            ASSERT_EQ(Api<T>::sort_step(n, a.data(), stride), 0);
            for (int64_t i = 0; i < n; ++i) ASSERT_TRUE(same_place(a[i * stride], data[i])) << n << " " << stride << " " << i;
            for (int64_t i = 0; i < n * stride; ++i)
                if (i % stride) {
                    ASSERT_EQ(a[i], T(7));   // the gaps are untouched
                }
        }
}

TYPED_TEST(SortTest, SelectionPartitionsAroundTheKthValue) {
    using T = TypeParam;
    for (int64_t n : {1, 5, 40, 5000}) {
        std::vector<T> ref = awkward_data<T>(n, 3 * n);
        std::sort(ref.begin(), ref.end(), [](T x, T y) { return order_key(x) < order_key(y); });
        for (int64_t k : {int64_t(0), n / 3, n / 2, n - 1}) {
            std::vector<T> a = awkward_data<T>(n, 3 * n);
            const T v = Api<T>::select(n, a.data(), k);
            ASSERT_TRUE(same_place(v, ref[k]) || (v == 0 && ref[k] == 0)) << n << " " << k;
            for (int64_t i = 0; i < n; ++i) {   // no larger value before k, no smaller after
                if (std::isnan(v) || std::isnan(a[i])) continue;
                ASSERT_TRUE(i < k ? !(a[i] > v) : i > k ? !(a[i] < v) : true) << n << " " << k << " " << i;
            }
        }
    }
}

TYPED_TEST(SortTest, BadArgumentsTouchNothing) {
    using T = TypeParam;
    T a[3] = {3, 1, 2}, w[3] = {0, 0, 0};
    for (auto [n, arr, k] : {std::tuple{3, a, 3}, {3, a, -1}, {0, a, 0}, {3, nullptr, 0}})
        EXPECT_TRUE(std::isnan(Api<T>::select(n, arr, k)));
    const int32_t got[] = {Api<T>::sort_step(3, nullptr, 1), Api<T>::sort_step(0, a, 1), Api<T>::sort_step(3, a, 0),
                           Api<T>::map_sort(3, a, nullptr), Api<T>::map_sort(0, a, w)};
    EXPECT_EQ(std::vector<int32_t>(got, got + 5), (std::vector<int32_t>{-8, -6, -6, -8, -6}));
    EXPECT_EQ(a[0], T(3));
    EXPECT_EQ(a[1], T(1));
}

}  // namespace
