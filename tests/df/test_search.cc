// Cell search: every method against a plain count of the nodes not greater
// than each site, inline and threaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "df_api.h"
#include "orvu_serv.h"

namespace {

template <class T>
class Search : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Search, Types);

template <class T>
int32_t reference_cell(const std::vector<T>& x, T t) {
    int32_t c = 0;
    for (T v : x) c += v <= t;
    return c;
}

// Estimates one cell off for half of the sites; the library refines them.
template <class T>
int32_t user_cb(int64_t* n, const T* site, int64_t* cell, int32_t* flag, void* p) {
    const auto& x = *static_cast<const std::vector<T>*>(p);
    for (int64_t k = 0; k < *n; ++k) {
        cell[k] = reference_cell(x, site[k]) + (k % 2 ? 1 : 0);
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
    {"hybrid", 1, 0, -1, 0, false},       {"hybrid by hint", 0, 0, 0.0, 0, false},
    {"peak", 1, 0, 1.0, 7, false},        {"peak at nx", 1, 0, 1.0, 40, false},
    {"sorted", 1, 64, -1, 0, false},      {"quasi-uniform", 2, 0, -1, 0, false},
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
        for (int64_t k = 0; k < nsite; ++k) sites.push_back(static_cast<T>(u(gen)));
        for (int64_t i = 0; i < nx && i < nsite; ++i) sites[i] = x[i];  // nodes themselves
        for (const Config& cf : kConfigs) {
            SCOPED_TRACE(testing::Message() << cf.name << " nsite " << nsite);
            std::vector<T> s = sites;
            if (cf.site_hint == 64) std::sort(s.begin(), s.end());
            OrvuDFTaskPtr task = nullptr;
            ASSERT_EQ(Df<T>::NewTask(&task, nx, x.data(), cf.x_hint, 0, nullptr, 0, 0), 0);
            T dh[5] = {0, static_cast<T>(cf.data_hint1), 0, 0, static_cast<T>(cf.data_hint4)};
            std::vector<int32_t> cell(nsite, -1);
            const int32_t st = Df<T>::Search(task, 0, nsite, s.data(), cf.site_hint, cf.data_hint1 < 0 ? nullptr : dh,
                                             cell.data(), cf.callback ? user_cb<T> : nullptr, &x,
                                             orvu_serv_threading_table());
            EXPECT_EQ(st, cf.callback ? 7 : 0);
            int bad = 0;
            for (int64_t k = 0; k < nsite; ++k) bad += cell[k] != reference_cell(x, s[k]);
            EXPECT_EQ(bad, 0);
            orvu_df_kernel_DeleteTask(&task);
        }
    }
}

TYPED_TEST(Search, UniformPartitionAndUniformSites) {
    using T = TypeParam;
    const T ends[2] = {0, 16};  // 17 nodes, step 1
    const T site_ends[2] = {-2, 18};  // 41 sites, step 0.5
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 17, ends, 4, 0, nullptr, 0, 0), 0);
    std::vector<int32_t> cell(41);
    ASSERT_EQ(Df<T>::Search(task, 0, 41, site_ends, 4, nullptr, cell.data(), nullptr, nullptr, nullptr), 0);
    for (int k = 0; k < 41; ++k) {
        const double t = -2 + 0.5 * k;
        EXPECT_EQ(cell[k], t < 0 ? 0 : std::min(17, int(std::floor(t)) + 1)) << t;
    }
    orvu_df_kernel_DeleteTask(&task);
}

TYPED_TEST(Search, BadHintsAndCallbackErrors) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3, 4};
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 5, x.data(), 1, 0, nullptr, 0, 0), 0);
    T site[3] = {0.5, 2, 9};
    int32_t cell[3];
    T dh[5] = {0, 2, 0, 0, 0};
    EXPECT_EQ(Df<T>::Search(task, 0, 3, site, 0, dh, cell, nullptr, nullptr, nullptr), ORVU_DF_ERROR_BAD_DATA_HINT);
    dh[1] = 1;
    dh[4] = 6;  // peak beyond nx
    EXPECT_EQ(Df<T>::Search(task, 0, 3, site, 0, dh, cell, nullptr, nullptr, nullptr), ORVU_DF_ERROR_BAD_DATA_HINT);
    dh[4] = NAN;
    EXPECT_EQ(Df<T>::Search(task, 0, 3, site, 0, dh, cell, nullptr, nullptr, nullptr), ORVU_DF_ERROR_BAD_DATA_HINT);
    EXPECT_EQ(Df<T>::Search(task, 0, 3, site, 0, nullptr, cell, failing_cb<T>, nullptr, nullptr), -55);
    EXPECT_EQ(Df<T>::Search(nullptr, 0, 3, site, 0, nullptr, cell, nullptr, nullptr, nullptr), ORVU_DF_ERROR_NULL_TASK);
    // Uniform sites beyond the stack buffer are expanded into an allocated block.
    std::vector<int32_t> many(5000);
    const T ends[2] = {0, 4};
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(Df<T>::Search(task, 0, 5000, ends, 4, nullptr, many.data(), nullptr, nullptr, nullptr), ORVU_DF_ERROR_MEM_FAILURE);
    orvu_serv_test_fail_allocation(0);
    orvu_df_kernel_DeleteTask(&task);
}

// The sorted kernel on unsorted sites never moves backwards.
TEST(SearchKernels, SortedNeverMovesBackAndKernelsAgree) {
    const double x[6] = {0, 1, 2, 3, 4, 5};
    const double s[4] = {3.5, 1.0, 4.2, 0.1};
    int32_t cell[4], start = 0;
    orvu_df_kernel_dDFSortedSearch1D32(6, x, 4, s, &start, cell);
    EXPECT_EQ(cell[0], 4);
    EXPECT_GE(cell[1], cell[0]);
    EXPECT_EQ(start, cell[3]);
    int32_t c2[4];
    orvu_df_kernel_dDFPeakSearch1D(6, x, 4, s, 6.0, c2);  // a peak of exactly nx
    EXPECT_EQ(c2[0], 4);
    EXPECT_EQ(c2[1], 2);
    EXPECT_EQ(c2[3], 1);
    orvu_df_kernel_dDFUniformSearch1D32(6, x, 4, s, 1.0, c2);
    EXPECT_EQ(c2[1], 2);
}

}  // namespace
