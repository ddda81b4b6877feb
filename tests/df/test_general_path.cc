// Interpolation's general path (blocks of 320 and 64 sites, threaded or not,
// both result layouts) against the direct path, which is taken for fewer
// than 32 sites; and the allocation of the transposed-layout scratch buffer.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "df_api.h"
#include "orvu_serv.h"

namespace {

template <class T>
class GeneralPath : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(GeneralPath, Types);

// A natural cubic (or, with step set, a step-wise interpolant) on 12 nodes,
// two functions.
template <class T>
struct Task {
    std::vector<T> x, y, c = std::vector<T>(4 * 11 * 2);
    OrvuDFTaskPtr task = nullptr;
    explicit Task(bool step = false) {
        for (int i = 0; i < 12; ++i) x.push_back(static_cast<T>(0.5 * i + 0.1 * (i % 3)));
        for (int j = 0; j < 2; ++j)
            for (T v : x) y.push_back(static_cast<T>(v * v * (j + 1) - 3 * v));
        EXPECT_EQ(Df<T>::NewTask(&task, 12, x.data(), 1, 2, y.data(), 16, 0), 0);
        if (step) {
            EXPECT_EQ(Df<T>::EditPP(task, 0, 7, 0, nullptr, 0, nullptr, nullptr, 0), 0);
        } else {
            EXPECT_EQ(Df<T>::EditPP(task, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), 0);
            EXPECT_EQ(Df<T>::Natural(task, 0, 0, nullptr), 0);
        }
    }
    ~Task() { orvu_df_kernel_DeleteTask(&task); }
};

template <class T>
int32_t left_const(int64_t* n, int64_t* cell, const T*, T* r, void* nres) {
    const int64_t m = *n * 2 * *static_cast<int64_t*>(nres);
    for (int64_t i = 0; i < m; ++i) r[i] = static_cast<T>(40 + cell[0]);
    return 0;
}

template <class T>
struct Call {
    const Task<T>* t;
    std::vector<int32_t> dorder;
    bool callback;
    int64_t nres() const {
        int64_t n = 0;
        for (int32_t d : dorder) n += d;
        return n;
    }
    int32_t run(const T* s, int64_t n, T* r, int64_t rhint, const OrvuThreadingTable* thr) const {
        int64_t nr = nres();
        auto cb = callback ? left_const<T> : nullptr;
        return interp(t->task, 1, n, s, static_cast<int64_t>(dorder.size()), dorder.data(), r, rhint, nullptr, thr, cb,
                      &nr);
    }
    // Reference: the direct path on chunks of 31 sites, site-major.
    std::vector<T> direct(const std::vector<T>& s, T fill) const {
        const int64_t n = static_cast<int64_t>(s.size()), nr = nres();
        std::vector<T> out(2 * n * nr, fill), part(2 * 31 * nr);
        for (int64_t k0 = 0; k0 < n; k0 += 31) {
            const int64_t m = n - k0 < 31 ? n - k0 : 31;
            part.assign(part.size(), fill);
            EXPECT_EQ(run(s.data() + k0, m, part.data(), 16, nullptr), 0);
            for (int64_t j = 0; j < 2; ++j)
                for (int64_t i = 0; i < m * nr; ++i) out[(j * n + k0) * nr + i] = part[j * m * nr + i];
        }
        return out;
    }
};

TYPED_TEST(GeneralPath, EverySplitOfTheSitesEqualsTheDirectPath) {
    using T = TypeParam;
    Task<T> cubic, step(true);
    struct Case { const char* what; const Task<T>* task; std::vector<int32_t> dorder; bool callback; };
    const Case cases[] = {
        {"cubic, value and 2nd derivative", &cubic, {1, 0, 1}, false},
        {"cubic, left callback", &cubic, {1, 1}, true},
        {"step-wise: derivative slots untouched", &step, {1, 1}, false},
        {"step-wise without the value: nothing written", &step, {0, 1}, false},
    };
    // 32, 513, and 320 k + 64 m + r: whole big blocks, whole small blocks, a tail.
    const int64_t sizes[] = {32, 64, 513, 320 * 3 + 64 * 2 + 17, 320 * 2 + 64 * 4, 320 * 5 + 5};
    const T fill = T(-1234);
    std::mt19937 gen(17);
    std::uniform_real_distribution<double> u(-1, 7);
    for (const Case& c : cases) {
        const Call<T> call{c.task, c.dorder, c.callback};
        const int64_t nr = call.nres();
        for (int64_t n : sizes) {
            std::vector<T> s(n);
            for (auto& v : s) v = static_cast<T>(u(gen));
            const std::vector<T> want = call.direct(s, fill);
            const OrvuThreadingTable* tables[] = {nullptr, FourThreads::table(), orvu_serv_threading_table()};
            for (const OrvuThreadingTable* thr : tables)
                for (int64_t rhint : {int64_t(16), int64_t(0)}) {
                    std::vector<T> r(2 * n * nr, fill);
                    ASSERT_EQ(call.run(s.data(), n, r.data(), rhint, thr), 0) << c.what;
                    int bad = 0;
                    for (int64_t j = 0; j < 2; ++j)
                        for (int64_t k = 0; k < n; ++k)
                            for (int64_t q = 0; q < nr; ++q) {
                                const T got = rhint == 16 ? r[(j * n + k) * nr + q] : r[(j * nr + q) * n + k];
                                bad += !(got == want[(j * n + k) * nr + q]);
                            }
                    EXPECT_EQ(bad, 0) << c.what << ", " << n << " sites, rhint " << rhint;
                }
        }
    }
}

TYPED_TEST(GeneralPath, LargeRequestsUseTheThreadingTable) {
    using T = TypeParam;
    Task<T> cubic;
    const Call<T> call{&cubic, {1}, false};
    std::vector<T> s(320 * 4 + 64 + 3, T(1)), r(2 * s.size());
    const int before = FourThreads::calls;
    ASSERT_EQ(call.run(s.data(), static_cast<int64_t>(s.size()), r.data(), 16, FourThreads::table()), 0);
    // One pass of 320-site blocks (the search may use the table too).
    EXPECT_GE(FourThreads::calls, before + 1);
    const int after_big = FourThreads::calls;
    ASSERT_EQ(call.run(s.data(), 31, r.data(), 16, FourThreads::table()), 0);
    EXPECT_EQ(FourThreads::calls, after_big);  // the direct path never threads
}

TYPED_TEST(GeneralPath, TransposedScratchAboveTheStackLimitIsAllocated) {
    using T = TypeParam;
    Task<T> cubic;
    // 12 results per site: 64 sites x 12 results x 4 threads exceed 2048 values.
    const Call<T> call{&cubic, std::vector<int32_t>(12, 1), false};
    std::vector<T> s(100, T(2)), r(2 * 100 * 12);
    const int32_t live = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(call.run(s.data(), 100, r.data(), 16, FourThreads::table()), 0);  // site-major: no scratch
    orvu_serv_test_fail_allocation(0);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(call.run(s.data(), 100, r.data(), 0, FourThreads::table()), ORVU_DF_ERROR_MEM_FAILURE);
    orvu_serv_test_fail_allocation(0);
    EXPECT_EQ(orvu_serv_test_live_allocations(), live);
    ASSERT_EQ(call.run(s.data(), 100, r.data(), 0, FourThreads::table()), 0);
    EXPECT_EQ(r[0], r[99]);  // value of function 0 at equal sites
    // One thread: 64 x 12 values fit on the stack.
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(call.run(s.data(), 100, r.data(), 0, nullptr), 0);
    orvu_serv_test_fail_allocation(0);
}

}  // namespace
