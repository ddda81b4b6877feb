// Task creation, edits, queries and deletion, and the cell search: every method
// against a plain count of the nodes not greater than each site. Statuses are
// the documented numbers, not the header's names for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "df_api.h"

namespace {

template <class T> struct Task : ::testing::Test {};
TYPED_TEST_SUITE(Task, DfTypes);

TYPED_TEST(Task, CreationChecksInOrderAndEveryAllocationCanFail) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2}, y = {1, 2, 3};
    OrvuDFTaskPtr t = nullptr;
    struct Row { int64_t nx; const T* x; int64_t xh, ny; const T* y; int64_t yh; int32_t status; };
    const Row rows[] = {
        {1, nullptr, 9, 1, nullptr, 3, -1004}, {3, nullptr, 9, 1, nullptr, 3, -1005}, {3, x.data(), 3, 1, nullptr, 3, -1006},
        {3, x.data(), 1, 0, y.data(), 3, -1007}, {3, x.data(), 1, 1, nullptr, 3, -1008}, {3, x.data(), 1, 1, y.data(), 3, -1009},
        {3, x.data(), 2, 0, nullptr, 0, 0}, {2, x.data(), 4, 1, y.data(), 128, 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Df<T>::NewTask(&t, r.nx, r.x, r.xh, r.ny, r.y, r.yh, 0), r.status);
        EXPECT_EQ(r.status ? 0 : orvu_df_kernel_DeleteTask(&t), 0);
        EXPECT_EQ(t, nullptr);
    }
    EXPECT_EQ(orvu_df_kernel_DeleteTask(&t), -1000);
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t n = 1; n <= 3; ++n, orvu_df_kernel_DeleteTask(&t)) {  // record, pointer array, bin table
        orvu_serv_test_fail_allocation(n);
        EXPECT_EQ(Df<T>::NewTask(&t, 3, x.data(), 1, 1, y.data(), 0, 0), -1001) << n;
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(t == nullptr, n == 1);
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TYPED_TEST(Task, PointerEditsAndQueries) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3}, y(8), y2(4), c(24);
    OrvuDFTaskPtr t = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&t, 4, x.data(), 1, 2, y.data(), 0, 0), 0);
    const T* q = nullptr;
    ASSERT_EQ(Df<T>::QueryIdxPtr(t, 2, 1, &q), 0);
    EXPECT_EQ(q, y.data() + 4);  // rows: function j at y + j*nx
    const int32_t null_status[] = {-1005, -1008, -1013, -1015, -1016, -1019};  // ids 1 .. 6
    for (int64_t id = 1; id <= 6; ++id) EXPECT_EQ(Df<T>::EditPtr(t, id, nullptr), null_status[id - 1]) << id;
    ASSERT_EQ(Df<T>::EditPP(t, 4, 0, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    ASSERT_EQ(Df<T>::QueryIdxPtr(t, 5, 1, &q), 0);
    EXPECT_EQ(q, c.data() + 12);  // stride order*nx - order
    EXPECT_EQ(Df<T>::EditIdxPtr(t, 2, 2, y2.data()), -1020);
    EXPECT_EQ(Df<T>::QueryIdxPtr(t, 2, 2, &q), -1020);
    EXPECT_EQ(Df<T>::EditIdxPtr(t, 3, 0, y2.data()), -1019);
    EXPECT_EQ(Df<T>::EditIdxPtr(t, 5, 0, nullptr), -1016);
    EXPECT_EQ(Df<T>::QueryPtr(t, 1, nullptr), -1037);
    // Interleaved values: one pointer, indexed function access refused.
    ASSERT_EQ(orvu_df_kernel_iEditVal(t, 17, 32), 0);
    ASSERT_EQ(Df<T>::EditPtr(t, 2, y.data()), 0);
    EXPECT_EQ(Df<T>::EditIdxPtr(t, 2, 0, y2.data()), -1009);
    EXPECT_EQ(Df<T>::QueryIdxPtr(t, 2, 0, &q), -1009);
    // EditPPSpline1D checks in order; fields stored before a failing check stay.
    struct PP { int64_t order, type, bc_type, ic_type; const T* ic; int32_t status; };
    for (const PP& e : {PP{-1, 0, 0, 0, nullptr, -1010}, PP{3, -1, 0, 0, nullptr, -1011}, PP{3, 0, 12, 0, nullptr, -1015},
                        PP{3, 0, 1, 4, nullptr, -1013}, PP{3, 0, 1, 0, x.data(), -1012}})
        EXPECT_EQ(Df<T>::EditPP(t, e.order, e.type, e.bc_type, nullptr, e.ic_type, e.ic, nullptr, 0), e.status);
    int32_t v32 = 0;  // int_flags 0: a 32-bit answer; the order stored before the failing bc check
    ASSERT_EQ(orvu_df_kernel_iQueryVal(t, 18, &v32), 0);
    EXPECT_EQ(v32, 3);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(Df<T>::EditPtr(t, 2, y.data()), -1001);
    orvu_serv_test_fail_allocation(0);
    ASSERT_EQ(Df<T>::QueryPtr(t, 2, &q), 0);
    EXPECT_EQ(q, nullptr);  // the failed edit left no array
    EXPECT_EQ(orvu_df_kernel_DeleteTask(&t), 0);
}

TEST(TaskValues, EditChecksAndQueryWidths) {
    double x[3] = {0, 1, 2};
    OrvuDFTaskPtr t = nullptr;
    ASSERT_EQ(orvu_df_kernel_dNewTask1D(&t, 3, x, 1, 0, nullptr, 0, 1), 0);  // 64-bit answers
    struct Row { int64_t id, bad, good; int32_t status; };
    const Row rows[] = {{14, 1, 3, -1004}, {15, 3, 2, -1006}, {16, 0, 2, -1007}, {17, 8, 32, -1009},
                        {18, -1, 4, -1010}, {19, 6, 5, -1011}, {20, 3, 256 | 16, -1012}, {21, -1, 48, -1014},
                        {22, 1, 128, -1017}, {23, 2, 1, -1036}};
    for (const Row& r : rows) {
        EXPECT_EQ(orvu_df_kernel_iEditVal(t, r.id, r.bad), r.status) << r.id;
        EXPECT_EQ(orvu_df_kernel_iEditVal(t, r.id, r.good), 0) << r.id;
        int64_t v = -7;
        EXPECT_EQ(orvu_df_kernel_iQueryVal(t, r.id, &v), 0);
        EXPECT_EQ(v, r.good);
    }
    EXPECT_EQ(orvu_df_kernel_iEditVal(t, 13, 0), -1019);
    EXPECT_EQ(orvu_df_kernel_iQueryVal(t, 24, x), -1019);
    EXPECT_EQ(orvu_df_kernel_iQueryVal(t, 14, nullptr), -1037);
    EXPECT_EQ(orvu_df_kernel_iEditVal(nullptr, 14, 3), -1000);
    orvu_df_kernel_DeleteTask(&t);
}

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

struct Config { const char* name; int64_t x_hint, site_hint; double data_hint1, data_hint4; bool callback; };
constexpr Config kConfigs[] = {  // data_hint1 < 0: no data hint
    {"hybrid", 1, 0, -1, 0, false}, {"hybrid by hint", 0, 0, 0.0, 0, false}, {"peak", 1, 0, 1.0, 7, false},
    {"peak at nx", 1, 0, 1.0, 40, false}, {"sorted", 1, 64, -1, 0, false}, {"quasi-uniform", 2, 0, -1, 0, false},
    {"user", 1, 0, -1, 0, true},
};

TYPED_TEST(Task, SearchByEveryMethodFindsLeftClosedCells) {
    using T = TypeParam;
    const int64_t nx = 40;
    std::vector<T> x;
    for (int64_t i = 0; i < nx; ++i) x.push_back(static_cast<T>(i + 0.4 * std::sin(i * 1.3) * (i % 5 != 0)));
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-3, nx + 3);
    for (int64_t nsite : {int64_t(20), int64_t(5000)}) {
        std::vector<T> sites;
        for (int64_t k = 0; k < nsite; ++k) sites.push_back(k < nx ? x[k] : static_cast<T>(u(gen)));
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

TYPED_TEST(Task, SearchOnUniformPartitionAndSitesAndRefusals) {
    using T = TypeParam;
    const T ends[2] = {0, 16}, site_ends[2] = {-2, 18};  // 17 nodes step 1; 41 sites step 0.5
    OrvuDFTaskPtr task = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&task, 17, ends, 4, 0, nullptr, 0, 0), 0);
    std::vector<int32_t> cell(5000);
    auto search = [&](int64_t n, const T* s, int64_t sh, const T* dh = nullptr, typename Df<T>::SearchCb cb = nullptr) {
        return Df<T>::Search(task, 0, n, s, sh, dh, cell.data(), cb, nullptr, nullptr);
    };
    ASSERT_EQ(search(41, site_ends, 4), 0);
    for (int k = 0; k < 41; ++k) EXPECT_EQ(cell[k], std::clamp(int(std::floor(-2 + 0.5 * k)) + 1, 0, 17)) << k;
    orvu_serv_test_fail_allocation(1);  // uniform sites beyond the stack buffer are expanded into a block
    EXPECT_EQ(search(5000, ends, 4), -1001);
    orvu_serv_test_fail_allocation(0);
    orvu_df_kernel_DeleteTask(&task);
    ASSERT_EQ(Df<T>::NewTask(&task, 2, ends, 1, 0, nullptr, 0, 0), 0);  // data hints matter off uniform grids
    const T nan = std::numeric_limits<T>::quiet_NaN();
    const T hints[][5] = {{0, 2, 0, 0, 0}, {0, 1, 0, 0, 18}, {0, 1, 0, 0, nan}};  // method 2; peak beyond nx; NaN
    for (const T* dh : hints) EXPECT_EQ(search(3, site_ends, 0, dh), -1026);
    EXPECT_EQ(search(3, site_ends, 0, nullptr, failing_cb<T>), -55);
    orvu_df_kernel_DeleteTask(&task);
    EXPECT_EQ(search(3, site_ends, 0), -1000);
}

}  // namespace
