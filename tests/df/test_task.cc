// Task creation, edits, queries, deletion and the search bin table. Statuses
// are the documented numbers, not the header's names for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "df/task.h"
#include "df_api.h"

namespace {

template <class T>
class Task : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Task, Types);

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
        if (r.status == 0) {
            EXPECT_EQ(orvu_df_kernel_DeleteTask(&t), 0);
        }
        EXPECT_EQ(t, nullptr);
    }
    EXPECT_EQ(orvu_df_kernel_DeleteTask(&t), -1000);
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t n = 1; n <= 3; ++n) {  // record, pointer array, bin table
        orvu_serv_test_fail_allocation(n);
        EXPECT_EQ(Df<T>::NewTask(&t, 3, x.data(), 1, 1, y.data(), 0, 0), -1001) << n;
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(t == nullptr, n == 1);
        if (t) orvu_df_kernel_DeleteTask(&t);
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
}

TYPED_TEST(Task, PointerEditsAndQueries) {
    using T = TypeParam;
    std::vector<T> x = {0, 1, 2, 3}, y(8), y2(4), c(24), c2(12);
    OrvuDFTaskPtr t = nullptr;
    ASSERT_EQ(Df<T>::NewTask(&t, 4, x.data(), 1, 2, y.data(), 0, 0), 0);
    const T* q = nullptr;
    ASSERT_EQ(Df<T>::QueryIdxPtr(t, 2, 1, &q), 0);
    EXPECT_EQ(q, y.data() + 4);  // rows: function j at y + j*nx
    EXPECT_EQ(Df<T>::QueryPtr(t, 5, &q), 0);
    EXPECT_EQ(q, nullptr);  // no coefficients yet
    const int32_t null_status[] = {-1005, -1008, -1013, -1015, -1016, -1019};  // ids 1 .. 6
    for (int64_t id = 1; id <= 6; ++id) EXPECT_EQ(Df<T>::EditPtr(t, id, nullptr), null_status[id - 1]) << id;
    ASSERT_EQ(Df<T>::EditPP(t, 4, 0, 2, nullptr, 0, nullptr, c.data(), 0), 0);
    ASSERT_EQ(Df<T>::QueryIdxPtr(t, 5, 1, &q), 0);
    EXPECT_EQ(q, c.data() + 12);  // stride order*nx - order
    EXPECT_EQ(Df<T>::EditIdxPtr(t, 5, 1, c2.data()), 0);
    ASSERT_EQ(Df<T>::QueryIdxPtr(t, 5, 1, &q), 0);
    EXPECT_EQ(q, c2.data());
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
    EXPECT_EQ(Df<T>::EditPP(t, -1, 0, 0, nullptr, 0, nullptr, nullptr, 0), -1010);
    EXPECT_EQ(Df<T>::EditPP(t, 3, -1, 0, nullptr, 0, nullptr, nullptr, 0), -1011);
    EXPECT_EQ(Df<T>::EditPP(t, 3, 0, 12, nullptr, 0, nullptr, nullptr, 0), -1015);
    int32_t v32 = 0;  // int_flags 0: a 32-bit answer
    ASSERT_EQ(orvu_df_kernel_iQueryVal(t, 18, &v32), 0);
    EXPECT_EQ(v32, 3);
    EXPECT_EQ(Df<T>::EditPP(t, 3, 0, 1, nullptr, 4, nullptr, nullptr, 0), -1013);
    EXPECT_EQ(Df<T>::EditPP(t, 3, 0, 1, nullptr, 0, x.data(), nullptr, 0), -1012);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(Df<T>::EditPP(t, 4, 0, 2, nullptr, 0, nullptr, c.data(), 0), -1001);
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

// The bin table against its construction rule written out plainly. The
// hybrid search corrects whatever a table says, so a wrong table would only
// be slow: the test reads the task's own table.
TEST(BinTable, FollowsTheRule) {
    for (int64_t nx : {int64_t(2), int64_t(40), int64_t(700), int64_t(20000)}) {
        std::vector<double> x(nx);
        for (int64_t i = 0; i < nx; ++i) x[i] = i * i * 0.001 + i;  // denser on the left
        OrvuDFTaskPtr t = nullptr;
        ASSERT_EQ(orvu_df_kernel_dNewTask1D(&t, nx, x.data(), 1, 0, nullptr, 0, 0), 0);
        const int64_t m = nx == 40 ? 16 : nx == 20000 ? 1024 : std::min<int64_t>(std::max<int64_t>(nx / 16, 16), 1024);
        std::vector<uint32_t> ref(2 * m, 0xFFFFFFFFu);
        const double inv = 1 / ((x[nx - 1] - x[0]) / m);
        ref[0] = 0;
        for (int64_t i = 1; i < nx; ++i) {
            const int64_t b = static_cast<int64_t>((x[i] - x[0]) * inv);
            if (b == 0) continue;
            if (b - 1 < m && ref[2 * (b - 1) + 1] == 0xFFFFFFFFu) ref[2 * (b - 1) + 1] = i;
            if (b + 1 < m) ref[2 * (b + 1)] = i;
        }
        ref[2 * m - 1] = nx - 1;
        for (int64_t k = 1; k < m; ++k) if (ref[2 * k] == 0xFFFFFFFFu) ref[2 * k] = ref[2 * k - 2];
        for (int64_t k = m - 2; k >= 0; --k) if (ref[2 * k + 1] == 0xFFFFFFFFu) ref[2 * k + 1] = ref[2 * k + 3];
        ASSERT_EQ(t->bin_count, m);
        EXPECT_EQ(t->inv_bin_width.d, inv);
        EXPECT_EQ(std::vector<uint32_t>(t->bin_table, t->bin_table + 2 * m), ref) << nx;
        orvu_df_kernel_DeleteTask(&t);
    }
    OrvuDFTaskPtr t = nullptr;  // uniform: a table block, no contents
    const double ends[2] = {0, 1};
    ASSERT_EQ(orvu_df_kernel_dNewTask1D(&t, 50, ends, 4, 0, nullptr, 0, 0), 0);
    EXPECT_EQ(t->bin_count, 0);
    orvu_df_kernel_DeleteTask(&t);
}

}  // namespace
