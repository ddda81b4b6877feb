// Cell search: every method against a plain count of the nodes not greater
// than each site, inline and threaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "df_api.h"

namespace {

template <class T>
class Search : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Search, Types);

// Estimates one cell off for half of the sites; the library refines them.
template <class T>
int32_t user_cb(int64_t* n, const T* site, int64_t* cell, int32_t* flag, void* p) {
    for (int64_t k = 0; k < *n; ++k) {
        cell[k] = reference_cell(*static_cast<const std::vector<T>*>(p), site[k]) + k % 2;
        flag[k] = k % 2 ? 0 : 1;
    }
    return 7;
}
template <class T>
int32_t failing_cb(int64_t*, const T*, int64_t*, int32_t*, void*) { return -55; }

struct Config {
    const char* name;
    int64_t x_hint, site_hint;
    double data_hint1, data_hint4;  // data_hint1 < 0: no data hint
    bool callback;
};
constexpr Config kConfigs[] = {
    {"hybrid", 1, 0, -1, 0, false}, {"hybrid by hint", 0, 0, 0.0, 0, false}, {"peak", 1, 0, 1.0, 7, false},
    {"peak at nx", 1, 0, 1.0, 40, false}, {"sorted", 1, 64, -1, 0, false}, {"quasi-uniform", 2, 0, -1, 0, false},
    {"user", 1, 0, -1, 0, true},
};

TYPED_TEST(Search, EveryMethodFindsLeftClosedCells) {
    using T = TypeParam;
    const int64_t nx = 40;
    std::vector<T> x;
    for (int64_t i = 0; i < nx; ++i) x.push_back(static_cast<T>(i + 0.4 * std::sin(i * 1.3) * (i % 5 != 0)));
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-3, nx + 3);
    for (int64_t nsite : {int64_t(20), int64_t(5000)}) {
        std::vector<T> sites;
        for (int64_t k = 0; k < nsite; ++k) sites.push_back(k < nx && k < nsite ? x[k] : static_cast<T>(u(gen)));
        for (const Config& cf : kConfigs) {
            SCOPED_TRACE(testing::Message() << cf.name << " nsite " << nsite);
            std::vector<T> s = sites;
            if (cf.site_hint == 64) std::sort(s.begin(), s.end());
            OrvuDFTaskPtr task = nullptr;
            ASSERT_EQ(Df<T>::NewTask(&task, nx, x.data(), cf.x_hint, 0, nullptr, 0, 0), 0);
            T dh[5] = {0, static_cast<T>(cf.data_hint1), 0, 0, static_cast<T>(cf.data_hint4)};
            std::vector<int32_t> cell(nsite, -1);
            EXPECT_EQ(Df<T>::Search(task, 0, nsite, s.data(), cf.site_hint, cf.data_hint1 < 0 ? nullptr : dh,
                                    cell.data(), cf.callback ? user_cb<T> : nullptr, &x, orvu_serv_threading_table()),
                      cf.callback ? 7 : 0);
            int bad = 0;
            for (int64_t k = 0; k < nsite; ++k) bad += cell[k] != reference_cell(x, s[k]);
            EXPECT_EQ(bad, 0);
            orvu_df_kernel_DeleteTask(&task);
        }
    }
}

TYPED_TEST(Search, UniformPartitionUniformSitesAndRefusals) {
    using T = TypeParam;
    const T ends[2] = {0, 16}, site_ends[2] = {-2, 18};  // 17 nodes step 1; 41 sites step 0.5
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 17, ends, 4, 0, nullptr, 0, 0), 0);
    std::vector<int32_t> cell(5000);
    ASSERT_EQ(Df<T>::Search(task, 0, 41, site_ends, 4, nullptr, cell.data(), nullptr, nullptr, nullptr), 0);
    for (int k = 0; k < 41; ++k) EXPECT_EQ(cell[k], std::clamp(int(std::floor(-2 + 0.5 * k)) + 1, 0, 17)) << k;
    orvu_serv_test_fail_allocation(1);  // uniform sites beyond the stack buffer are expanded into a block
    EXPECT_EQ(Df<T>::Search(task, 0, 5000, ends, 4, nullptr, cell.data(), nullptr, nullptr, nullptr), -1001);
    orvu_serv_test_fail_allocation(0);
    orvu_df_kernel_DeleteTask(&task);
    ASSERT_EQ(Df<T>::NewTask(&task, 2, ends, 1, 0, nullptr, 0, 0), 0);  // data hints matter off uniform grids
    const T nan = std::numeric_limits<T>::quiet_NaN();
    const T hints[][5] = {{0, 2, 0, 0, 0}, {0, 1, 0, 0, 18}, {0, 1, 0, 0, nan}};  // method 2; peak beyond nx; NaN
    for (const T* dh : hints)
        EXPECT_EQ(Df<T>::Search(task, 0, 3, site_ends, 0, dh, cell.data(), nullptr, nullptr, nullptr), -1026);
    EXPECT_EQ(Df<T>::Search(task, 0, 3, site_ends, 0, nullptr, cell.data(), failing_cb<T>, nullptr, nullptr), -55);
    EXPECT_EQ(Df<T>::Search(nullptr, 0, 3, site_ends, 0, nullptr, cell.data(), nullptr, nullptr, nullptr), -1000);
    orvu_df_kernel_DeleteTask(&task);
}

// The sorted kernel on unsorted sites never moves backwards; a peak of
// exactly nx is accepted.
TEST(SearchKernels, SortedNeverMovesBackAndPeakAtNx) {
    const double x[6] = {0, 1, 2, 3, 4, 5}, s[4] = {3.5, 1.0, 4.2, 0.1};
    int32_t cell[4], start = 0;
    orvu_df_kernel_dDFSortedSearch1D32(6, x, 4, s, &start, cell);
    EXPECT_EQ(cell[0], 4);
    EXPECT_GE(cell[1], cell[0]);
    EXPECT_EQ(start, cell[3]);
    orvu_df_kernel_dDFPeakSearch1D(6, x, 4, s, 6.0, cell);
    EXPECT_EQ(std::vector<int32_t>(cell, cell + 4), (std::vector<int32_t>{4, 2, 5, 1}));
}

}  // namespace
