// Vector math: the thread's mode and the arithmetic kernels on real data.
#include <cstdio>

#include "orvu_kex.h"

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

    // Single precision: differences of samples, with the LA entry point.
    const float s[5] = {3.5f, 1e-8f, -2.25f, 1e30f, 0.1f};
    const float t[5] = {1.5f, 1e-8f, 2.25f, 1e30f, 0.2f};
    float d[5];
    _kexsSub_21(5, s, t, d);
    std::printf("s - t:");
    for (float x : d) std::printf(" %g", x);
    std::printf("\nlast status %d\n", orvu_kex_kernel_GetErrStatus());
}
