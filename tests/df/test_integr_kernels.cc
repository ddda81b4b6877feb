// Per-kind integrator kernels against the integration entry, the kind checks,
// the threaded integration and the memory failures of the callback buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "df_api.h"
#include "orvu_serv.h"

namespace {

template <class T>
class IntegrKernels : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(IntegrKernels, Types);

// One task per integrator kind on the same five nodes and two functions.
template <class T>
struct KindTask {
    std::vector<T> x = {0, 1, 2.5, 3, 4.5}, y, c = std::vector<T>(8 * 5 * 2), knots = {0, 0.5, 2, 2.7, 4, 4.5};
    std::vector<T> bc = {1, -1};
    OrvuDFTaskPtr task = nullptr;
    KindTask(int kind, int64_t ny = 2) {
        for (int64_t j = 0; j < ny; ++j)
            for (T v : x) y.push_back(static_cast<T>(std::sin(v) + 0.5 * j));
        c.resize(static_cast<size_t>(8 * 5 * ny));
        EXPECT_EQ(Df<T>::NewTask(&task, 5, x.data(), 1, ny, y.data(), 16, 0), 0);
        struct Row { int64_t order, type, bc_type, ic_type; int32_t (*build)(OrvuDFTaskPtr, int64_t, int64_t, const OrvuThreadingTable*); };
        const Row rows[7] = {
            {2, 0, 0, 0, Df<T>::Linear},    {3, 0, 128, 0, Df<T>::Quadratic}, {4, 2, 12, 0, Df<T>::Natural},
            {3, 1, 12, 256, Df<T>::Quadratic}, {6, 0, 0, 0, nullptr},      {0, 8, 0, 0, nullptr},
            {0, 7, 0, 0, nullptr},
        };
        const Row& r = rows[kind];
        EXPECT_EQ(Df<T>::EditPP(task, r.order, r.type, r.bc_type, r.bc_type ? bc.data() : nullptr, r.ic_type,
                                r.ic_type ? knots.data() : nullptr, r.order ? c.data() : nullptr, 0), 0);
        if (r.build) {
            EXPECT_EQ(r.build(task, 0, 0, nullptr), 0);
        }
        for (size_t i = 0; r.order == 6 && i < c.size(); ++i) c[i] = static_cast<T>(std::cos(0.7 * i));
    }
    ~KindTask() { orvu_df_kernel_DeleteTask(&task); }
};

template <class T>
int32_t unit_integrand(int64_t* n, int64_t*, const T* a, const T* b, T* r, int32_t nfunc, void* w) {
    const T weight = w ? *static_cast<const T*>(w) : T(1);
    for (int64_t j = 0; j < nfunc; ++j)
        for (int64_t k = 0; k < *n; ++k) r[j * *n + k] = weight * (b[k] - a[k]);
    return 0;
}
template <class T>
int32_t failing_integrand(int64_t*, int64_t*, const T*, const T*, T*, int32_t, void*) { return -7; }

template <class T>
struct Limits {
    std::vector<T> a, b;
    std::vector<int32_t> ca, cb;
    Limits(OrvuDFTaskPtr task, int64_t n, unsigned seed) : a(n), b(n), ca(n), cb(n) {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> u(-1.5, 6);
        for (int64_t k = 0; k < n; ++k) { a[k] = static_cast<T>(u(gen)); b[k] = static_cast<T>(u(gen)); }
        EXPECT_EQ(Df<T>::Search(task, 0, n, a.data(), 0, nullptr, ca.data(), nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(Df<T>::Search(task, 0, n, b.data(), 0, nullptr, cb.data(), nullptr, nullptr, nullptr), 0);
    }
    int64_t n() const { return static_cast<int64_t>(a.size()); }
};

// Entry with left and right callbacks (weights 1 and 2), or none.
template <class T>
int32_t entry(OrvuDFTaskPtr task, const Limits<T>& l, T* r, bool cbs, T* w2,
              const OrvuThreadingTable* thr = nullptr, typename Df<T>::IntegrCb ie = nullptr) {
    auto cb = cbs ? unit_integrand<T> : nullptr;
    return Df<T>::Integr(task, 0, l.n(), l.a.data(), 0, l.b.data(), 0, nullptr, nullptr, r, 0, cb, nullptr, cb, w2,
                         ie, w2, nullptr, nullptr, thr);
}

TYPED_TEST(IntegrKernels, EachKindKernelMatchesTheEntryAndRefusesOtherKinds) {
    using T = TypeParam;
    for (int kind = 0; kind < 7; ++kind) {
        KindTask<T> kt(kind);
        const Limits<T> l(kt.task, 40, 5 + kind);
        const int64_t n = l.n(), ldr = n + 3;
        T two = 2;
        for (bool cbs : {false, true}) {
            std::vector<T> want(2 * n), got(2 * ldr, T(-99));
            ASSERT_EQ(entry(kt.task, l, want.data(), cbs, &two), 0) << kind;
            const int32_t st = cbs ? Df<T>::kIntegrCB[kind](kt.task, n, l.a.data(), l.ca.data(), l.b.data(), l.cb.data(),
                                                           got.data(), ldr, 16, unit_integrand<T>, nullptr,
                                                           unit_integrand<T>, &two, nullptr, nullptr)
                                   : Df<T>::kIntegr[kind](kt.task, n, l.a.data(), l.ca.data(), l.b.data(), l.cb.data(),
                                                         got.data(), ldr, 16);
            ASSERT_EQ(st, 0) << kind;
            for (int64_t j = 0; j < 2; ++j)
                for (int64_t k = 0; k < n; ++k) EXPECT_EQ(got[j * ldr + k], want[j * n + k]) << kind << " " << k;
            EXPECT_EQ(got[n], T(-99));  // the gap between functions is not written
        }
        for (int other = 0; other < 7; ++other) {
            if (other == kind) continue;
            T r[80];
            EXPECT_EQ(Df<T>::kIntegr[other](kt.task, n, l.a.data(), l.ca.data(), l.b.data(), l.cb.data(), r, 0, 0),
                      ORVU_DF_ERROR_BAD_SPLINE_TYPE) << kind << " " << other;
        }
    }
}

TYPED_TEST(IntegrKernels, CallbackPartsAddUpAndTheirStatusIsReturned) {
    using T = TypeParam;
    KindTask<T> kt(2);
    // [-1, 0.5]: 1 outside (weight 1) plus the spline over [0, 0.5].
    const T a[2] = {-1, 0}, b[2] = {0.5, 0.5};
    const int32_t ca[2] = {0, 1}, cb[2] = {1, 1};
    T r[4], plain[4];
    ASSERT_EQ(Df<T>::kIntegrCB[2](kt.task, 2, a, ca, b, cb, r, 0, 0, unit_integrand<T>, nullptr, nullptr, nullptr,
                                  nullptr, nullptr), 0);
    ASSERT_EQ(Df<T>::kIntegr[2](kt.task, 2, a, ca, b, cb, plain, 0, 0), 0);
    EXPECT_NEAR(r[0], 1 + plain[1], 1e-5);
    EXPECT_NEAR(r[2], 1 + plain[3], 1e-5);
    EXPECT_EQ(Df<T>::kIntegrCB[2](kt.task, 2, a, ca, b, cb, r, 0, 0, failing_integrand<T>, nullptr, nullptr, nullptr,
                                  nullptr, nullptr), -7);
    EXPECT_EQ(Df<T>::kIntegr[2](kt.task, 2, a, ca, b, cb, r, 0, 64), ORVU_DF_ERROR_BAD_INTEGR_RHINT);
    EXPECT_EQ(Df<T>::kIntegr[2](kt.task, 2, a, ca, b, cb, r, 1, 0), ORVU_DF_ERROR_BAD_INTEGR_RHINT);
    EXPECT_EQ(Df<T>::kIntegr[2](nullptr, 2, a, ca, b, cb, r, 0, 0), ORVU_DF_ERROR_NULL_TASK);
}

TYPED_TEST(IntegrKernels, OrderZeroWithAllCallbacksIsTheArbitraryKind) {
    using T = TypeParam;
    KindTask<T> kt(5);
    ASSERT_EQ(Df<T>::EditPP(kt.task, 0, 0, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    const Limits<T> l(kt.task, 300, 11);  // three blocks through the entry
    T two = 2, three = 3;
    std::vector<T> want(2 * 300), got(2 * 300);
    ASSERT_EQ(Df<T>::Integr(kt.task, 0, 300, l.a.data(), 0, l.b.data(), 0, nullptr, nullptr, want.data(), 0,
                            unit_integrand<T>, nullptr, unit_integrand<T>, &two, unit_integrand<T>, &three, nullptr,
                            nullptr, nullptr), 0);
    ASSERT_EQ(Df<T>::kIntegrCB[4](kt.task, 300, l.a.data(), l.ca.data(), l.b.data(), l.cb.data(), got.data(), 0, 0,
                                  unit_integrand<T>, nullptr, unit_integrand<T>, &two, unit_integrand<T>, &three), 0);
    EXPECT_EQ(got, want);
    for (int64_t k = 0; k < 300; ++k) {  // weight 1 left of 0, 3 on [0, 4.5], 2 right of it
        const long double lo = std::min(l.a[k], l.b[k]), hi = std::max(l.a[k], l.b[k]);
        auto len = [&](long double p, long double q) { return std::max(0.0L, std::min(hi, q) - std::max(lo, p)); };
        const long double ref = (len(-10, 0) + 3 * len(0, 4.5L) + 2 * len(4.5L, 10)) * (l.b[k] < l.a[k] ? -1 : 1);
        EXPECT_NEAR(got[k], ref, 1e-4);
    }
    T r[600];
    EXPECT_EQ(Df<T>::kIntegr[4](kt.task, 300, l.a.data(), l.ca.data(), l.b.data(), l.cb.data(), r, 0, 0),
              ORVU_DF_ERROR_BAD_SPLINE_TYPE);
}

TYPED_TEST(IntegrKernels, LookUpCannotBeIntegrated) {
    using T = TypeParam;
    KindTask<T> kt(5);
    ASSERT_EQ(Df<T>::EditPP(kt.task, 0, 6, 0, nullptr, 0, nullptr, nullptr, 0), 0);
    const T a[1] = {0.5}, b[1] = {2};
    const int32_t ca[1] = {1}, cb[1] = {2};
    T r[2];
    for (int kind = 0; kind < 7; ++kind) {
        EXPECT_EQ(Df<T>::kIntegr[kind](kt.task, 1, a, ca, b, cb, r, 0, 0), ORVU_DF_ERROR_BAD_SPLINE_TYPE);
        EXPECT_EQ(Df<T>::kIntegrCB[kind](kt.task, 1, a, ca, b, cb, r, 0, 0, unit_integrand<T>, nullptr,
                                         unit_integrand<T>, nullptr, unit_integrand<T>, nullptr),
                  ORVU_DF_ERROR_BAD_SPLINE_TYPE);
    }
}

TYPED_TEST(IntegrKernels, ThreadedIntegrationEqualsTheCallingThreadsResult) {
    using T = TypeParam;
    KindTask<T> kt(2);
    const Limits<T> l(kt.task, 5000, 21);  // 40 blocks, past the threading threshold
    T two = 2;
    for (bool cbs : {false, true}) {
        std::vector<T> alone(2 * 5000), threaded(2 * 5000);
        ASSERT_EQ(entry(kt.task, l, alone.data(), cbs, &two), 0);
        const int before = FourThreads::calls;
        ASSERT_EQ(entry(kt.task, l, threaded.data(), cbs, &two, FourThreads::table()), 0);
        EXPECT_EQ(FourThreads::calls, before + 1);
        EXPECT_EQ(threaded, alone);
        ASSERT_EQ(entry(kt.task, l, threaded.data(), cbs, &two, orvu_serv_threading_table()), 0);
        EXPECT_EQ(threaded, alone);
    }
    std::vector<T> r(2 * 5000);
    EXPECT_EQ(entry(kt.task, l, r.data(), false, &two, FourThreads::table(), failing_integrand<T>), -7);
}

TYPED_TEST(IntegrKernels, CallbackBufferFailureIsReportedWithoutLeaks) {
    using T = TypeParam;
    KindTask<T> kt(0, 30);
    Limits<T> l(kt.task, 128, 31);
    l.a.assign(128, T(-1));  // every interval has a left part: 128 x 30 callback results exceed the stack buffer
    std::vector<T> r(30 * 128);
    const int32_t live = orvu_serv_test_live_allocations();
    int32_t st = 0;
    int failures = 0;
    for (int32_t n = 1; n < 20; ++n) {
        orvu_serv_test_fail_allocation(n);
        st = integr(kt.task, 128, l.a.data(), l.b.data(), r.data(), 0, nullptr, unit_integrand<T>);
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(orvu_serv_test_live_allocations(), live);
        if (st == 0) break;
        EXPECT_EQ(st, ORVU_DF_ERROR_MEM_FAILURE);
        ++failures;
    }
    EXPECT_EQ(st, 0);
    EXPECT_GE(failures, 1);
}

}  // namespace
