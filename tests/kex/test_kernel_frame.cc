// What every kernel inherits from the frame, shown on the arithmetic kernels:
// block and tail coverage, in-place operation, special values without reports,
// rounding to nearest and flush-to-zero from the mode whatever the caller set.
#include "kex_test_util.h"

namespace {

using namespace kex_test;

TEST(KernelFrame, ArithmeticMatchesIeeeForEveryLength) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetErrorCallBack([](KexErrorContext*) -> int32_t { ADD_FAILURE() << "report"; return 1; });
        const auto fa = inputs<float>(1003), fb = inputs<float>(1003, 1);  // b[i] = a[i + 1]: specials meet
        const auto da = inputs<double>(1003), db = inputs<double>(1003, 1);
        check_elementwise(_kexsAdd, [](float x, float y) { return x + y; }, fa, fb, "sAdd");
        check_elementwise(_kexsSub_21, [](float x, float y) { return x - y; }, fa, fb, "sSub");
        check_elementwise(_kexsMul_11, [](float x, float y) { return x * y; }, fa, fb, "sMul");
        check_elementwise(_kexdAdd_HA, [](double x, double y) { return x + y; }, da, db, "dAdd");
        check_elementwise(_kexdSub_50, [](double x, double y) { return x - y; }, da, db, "dSub");
        check_elementwise(_kexdMul_26, [](double x, double y) { return x * y; }, da, db, "dMul");
        check_elementwise(_kexsSqr, [](float x) { return x * x; }, fa, fb, "sSqr");
        check_elementwise(_kexdSqr_26, [](double x) { return x * x; }, da, db, "dSqr");
        check_elementwise(_kexsAbs_11, [](float x) { return std::fabs(x); }, fa, fb, "sAbs");  // NaNs included
        check_elementwise(_kexdAbs, [](double x) { return std::fabs(x); }, da, db, "dAbs");
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
    });
}

// The kernel rounds to nearest whatever the caller's direction: 1 + 2^-60 is
// 1, not 1 + 2^-52 upward. Flush-to-zero and denormals-are-zero follow the
// mode, not the caller.
TEST(KernelFrame, RoundingAndFlushToZeroComeFromTheKernelAndMode) {
    double one[5] = {1, 1, 1, 1, 1}, eps[5], sum[5];
    std::fill(eps, eps + 5, std::ldexp(1.0, -60));
    for (uint32_t rc : {0x2000u, 0x4000u, 0x6000u}) {
        with_mxcsr(rc, [&] { _kexdAdd(5, one, eps, sum); });
        EXPECT_TRUE(std::all_of(sum, sum + 5, [](double x) { return x == 1.0; })) << std::hex << rc;
    }
    on_fresh_thread([] {
        const double tiny = std::numeric_limits<double>::min();  // smallest normal
        double a[3] = {tiny, tiny, tiny}, half[3] = {0.5, 0.5, 0.5}, r[3];
        double den[3] = {tiny / 4, tiny / 4, tiny / 4}, zero[3] = {0, 0, 0};
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);
        with_mxcsr(0, [&] { _kexdMul(3, a, half, r); });
        EXPECT_TRUE(std::all_of(r, r + 3, [](double x) { return x == 0; })) << "flushed";
        with_mxcsr(0, [&] { _kexdAdd(3, den, zero, r); });
        EXPECT_TRUE(std::all_of(r, r + 3, [](double x) { return x == 0; })) << "denormal input read as zero";
        _kexdAbs(1, den, r);
        EXPECT_EQ(r[0], 0.0) << "Abs multiplies: a denormal reads as zero";
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_OFF);
        with_mxcsr(0x8040, [&] { _kexdMul(3, a, half, r); });  // caller had FTZ on: kernel turns it off
        EXPECT_TRUE(std::all_of(r, r + 3, [&](double x) { return x == tiny / 2; })) << "kept";
    });
}

}  // namespace
