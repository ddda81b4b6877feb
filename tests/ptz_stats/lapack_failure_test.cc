// The LAPACK failure statuses. The platform's LAPACK practically never fails
// on a matrix that passed the factorization, so this test executable
// interposes its own potri and syev, which report failure on request and
// otherwise forward to the platform's.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "orvu_linalg.h"
#include "orvu_ptz_stats.h"

namespace {
bool g_fail = false;
template <class F>
F next(const char* name) { return reinterpret_cast<F>(dlsym(RTLD_NEXT, name)); }
}  // namespace

extern "C" {
void orvu_lapack_dpotri(const char* u, const int32_t* n, double* a, const int32_t* l, int32_t* info) {
    using F = void (*)(const char*, const int32_t*, double*, const int32_t*, int32_t*);
    next<F>("orvu_lapack_dpotri")(u, n, a, l, info);
    if (g_fail) *info = 1;
}
void orvu_lapack_dsyev(const char* j, const char* u, const int32_t* n, double* a, const int32_t* l, double* w,
                       double* wk, const int32_t* lw, int32_t* info) {
    using F = void (*)(const char*, const char*, const int32_t*, double*, const int32_t*, double*, double*,
                       const int32_t*, int32_t*);
    next<F>("orvu_lapack_dsyev")(j, u, n, a, l, w, wk, lw, info);
    if (g_fail) *info = 1;
}
}

namespace {

TEST(LapackFailure, PotriAndSyevStatusesWriteNothing) {
    int32_t p = 2, st = 0, idx[2] = {1, -1};
    double cov[4] = {2, 0.5, 0.5, 1}, pc[1] = {-777}, pr[1] = {-777}, out[4] = {-777, -777, -777, -777};
    double bad[4] = {1, 0.99, 0.99, -1};   // indefinite: needs the eigensolver
    SSTask* t = nullptr;
    ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    __ptzdSSEditPartialCovCor(t, idx, cov, &st, nullptr, nullptr, pc, &st, pr, &st);
    __ptzdSSEditMtxParametrz(t, bad, &st, out, &st);
    g_fail = true;
    EXPECT_EQ(-5011, _ptzdSSPartialCovariance(t, ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, 1));
    EXPECT_EQ(-5030, _ptzdSSCorParametrization(t, 0, 0, 4));
    EXPECT_EQ(-777, pc[0]);
    EXPECT_EQ(-777, out[0]);
    g_fail = false;
    EXPECT_EQ(0, _ptzdSSPartialCovariance(t, ORVU_SS_PARTIAL_COV | ORVU_SS_PARTIAL_COR, 1));
    EXPECT_EQ(0, _ptzdSSCorParametrization(t, 0, 0, 4));
    EXPECT_NEAR(2 - 0.25, pc[0], 1e-15);
    __ptzSSDeleteTask(&t);
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

}  // namespace
