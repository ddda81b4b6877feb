// Vector math: the thread's mode, arithmetic kernels on real data, a
// division by zero seen through errno, the printed messages and a callback,
// an exponential overflow capped by a callback, and a complex cosine overflow
// reported to one.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "orvu_kex.h"

namespace {

// Replaces the infinite share of an empty group by 0 and lets the
// standard handler go on.
int32_t zero_share(KexErrorContext* c) {
    std::printf("  callback: %s element %d, %g / %g -> %g, replaced by 0\n", c->funcName, c->index, c->arg1, c->arg2,
                c->res1);
    c->res1 = 0.0;
    return 0;
}

// Caps an overflowing growth factor at the largest float; returning 0 lets
// the reporter write the replaced result back.
int32_t cap_growth(KexErrorContext* c) {
    std::printf("  callback: %s element %d, exp(%g) overflows (status %d), capped\n", c->funcName, c->index,
                c->arg1, c->code);
    c->res1 = 3.4028234663852886e38;
    return 0;
}

void print_row(const char* label, const double* v, int n) {
    std::printf("%-22s", label);
    for (int i = 0; i < n; ++i) std::printf(" %9.4g", v[i]);
    std::printf("\n");
}

}  // namespace

extern "C" void orvu_demo_kex() {
    std::printf("mode 0x%x (accuracy slot %d)\n", orvu_kex_kernel_GetMode(), orvu_kex_kernel_GetTTableIndex());

    // Compound interest, year by year: balance * (1 + rate), then squared growth.
    const double balance[6] = {1000, 2500.5, 12.75, 99999.99, 0.01, 42};
    const double rate[6] = {0.05, 0.031, 1.5, 0.0001, 3.0, -0.5};
    double ones[6], growth[6], next[6], sq[6];
    for (double& x : ones) x = 1.0;
    _kexdAdd(6, ones, rate, growth);
    _kexdMul(6, balance, growth, next);
    _kexdSqr_26(6, growth, sq);
    std::printf("%12s %8s %14s %10s\n", "balance", "rate", "next year", "growth^2");
    for (int i = 0; i < 6; ++i)
        std::printf("%12.2f %8.4f %14.4f %10.6f\n", balance[i], rate[i], next[i], sq[i]);

    // Rounding a price list: floor, round half away from zero, and the
    // integer and cent parts.
    const double price[5] = {2.5, -2.5, 19.99, 0.4999, -0.75};
    double fl[5], rd[5], whole[5], cents[5];
    _kexdFloor(5, price, fl);
    _kexdRound(5, price, rd);
    _kexdModf(5, price, whole, cents);
    print_row("price", price, 5);
    print_row("floor", fl, 5);
    print_row("round", rd, 5);
    print_row("modf integer part", whole, 5);
    print_row("modf fraction", cents, 5);

    // Average spend per customer in four groups; group 2 had no customers
    // but a 15.0 booking fee.
    const double spend[4] = {1200, 830.5, 15, 99};
    const double customers[4] = {40, 7, 0, 3};
    double avg[4];
    std::printf("spend / customers, one group empty:\n");

    // 1. errno: the default mode sets errno; the status says what happened.
    orvu_kex_kernel_ClearErrStatus();
    errno = 0;
    _kexdDiv(4, spend, customers, avg);
    std::printf("  errno mode:    status %d, errno %d (%s)\n", orvu_kex_kernel_GetErrStatus(), errno,
                errno == ERANGE ? "ERANGE" : "?");
    print_row("  averages", avg, 4);

    // 2. stderr mode: the service layer prints the catalogued messages.
    const uint32_t saved = orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_STDERR);
    std::printf("  stderr mode:   messages follow on stderr\n");
    std::fflush(stdout);
    _kexdDiv_50(4, spend, customers, avg);

    // 3. callback: the result is replaced before it is written back.
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
    const KexErrorCallBack old = orvu_kex_kernel_SetErrorCallBack(zero_share);
    _kexdDiv(4, spend, customers, avg);
    print_row("  averages", avg, 4);
    orvu_kex_kernel_SetErrorCallBack(old);
    orvu_kex_kernel_SetMode(saved);

    // Single precision: differences of samples, with the LA entry point.
    const float s[5] = {3.5f, 1e-8f, -2.25f, 1e30f, 0.1f};
    const float t[5] = {1.5f, 1e-8f, 2.25f, 1e30f, 0.2f};
    float d[5];
    _kexsSub_21(5, s, t, d);
    std::printf("s - t:");
    for (float x : d) std::printf(" %g", x);
    std::printf("\nlast status %d\n", orvu_kex_kernel_GetErrStatus());

    // Single-precision growth factors e^(rate * years); one projection runs
    // past the float range. The callback sees the overflow (status 3) and
    // caps the factor at the largest float.
    const float rt[5] = {0.05f * 10, 0.07f * 30, 1.2f * 50, 2.5f * 40, -0.3f * 20};
    float factor[5];
    orvu_kex_kernel_ClearErrStatus();
    const uint32_t before = orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
    const KexErrorCallBack prev = orvu_kex_kernel_SetErrorCallBack(cap_growth);
    _kexsExp(5, rt, factor);
    orvu_kex_kernel_SetErrorCallBack(prev);
    orvu_kex_kernel_SetMode(before);
    std::printf("exp(rate * years):");
    for (float x : factor) std::printf(" %g", x);
    std::printf("\nstatus %d\n", orvu_kex_kernel_GetErrStatus());

    // Complex cosine of 100 + 100i: |cos z| ~ e^100 / 2 is past the float
    // range, so a finite argument gives infinite components (status 3).
    const OrvuComplex8 z{100.0f, 100.0f};
    OrvuComplex8 w;
    const uint32_t mode_before = orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
    const KexErrorCallBack old_cb = orvu_kex_kernel_SetErrorCallBack([](KexErrorContext* c) -> int32_t {
        std::printf("  callback: %s element %d, status %d\n", c->funcName, c->index, c->code);
        return 0;
    });
    _kexcCos(1, &z, &w);
    orvu_kex_kernel_SetErrorCallBack(old_cb);
    orvu_kex_kernel_SetMode(mode_before);
    std::printf("cos(100 + 100i) = (%g, %g)\n", w.re, w.im);
}
