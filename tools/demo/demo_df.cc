// Data-fitting demo: a natural cubic spline through samples of sin(x), its
// values and derivatives between the nodes, and an integral.
#include <cmath>
#include <cstdio>

#include "orvu_df.h"

extern "C" void orvu_demo_df() {
    const int64_t nx = 9;
    double x[nx], y[nx], coeff[4 * (nx - 1)];
    for (int64_t i = 0; i < nx; ++i) {
        x[i] = 0.4 * i * (1 + 0.05 * i);
        y[i] = std::sin(x[i]);
    }
    OrvuDFTaskPtr task = nullptr;
    int32_t st = orvu_df_kernel_dNewTask1D(&task, nx, x, 1, 1, y, 16, 0);
    if (st == 0) st = orvu_df_kernel_dEditPPSpline1D(task, 4, 2, 2, nullptr, 0, nullptr, coeff, 0);
    if (st == 0) st = orvu_df_kernel_dDFNaturalCubicSpline1D(task, 0, 0, orvu_serv_threading_table());
    std::printf("natural cubic spline (free ends) through sin(x) at %lld nodes on [0, %.2f]: status %d\n",
                static_cast<long long>(nx), x[nx - 1], st);
    const double sites[5] = {0.3, 1.1, 2.0, 3.3, 4.0};
    const int32_t dorder[3] = {1, 1, 1};
    double r[15];
    st = orvu_df_kernel_dDFInterpolate1D(task, 1, 0, 5, sites, 0, 3, dorder, nullptr, r, 16, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    std::printf("interpolation status %d\n   site    s(t)     sin(t)    s'(t)    cos(t)    s''(t)  -sin(t)\n", st);
    for (int k = 0; k < 5; ++k)
        std::printf("  %5.2f %8.5f %9.5f %8.5f %9.5f %9.5f %8.5f\n", sites[k], r[3 * k], std::sin(sites[k]),
                    r[3 * k + 1], std::cos(sites[k]), r[3 * k + 2], -std::sin(sites[k]));
    const double a[1] = {0.0}, b[1] = {3.14159265358979};
    double integral = 0;
    st = orvu_df_kernel_dDFIntegrate1D(task, 0, 1, a, 0, b, 0, nullptr, nullptr, &integral, 0, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    std::printf("integral over [0, pi]: %.6f (exact 2), status %d\n", integral, st);
    // The cubic integrator kernel on its own, with the limit cells from the search.
    const double lo[2] = {0.0, 1.5}, hi[2] = {1.5, 3.14159265358979};
    int32_t lcell[2], hcell[2];
    double parts[2] = {0, 0};
    st = orvu_df_kernel_dDFSearch1D(task, 0, 2, lo, 0, nullptr, lcell, nullptr, nullptr, nullptr);
    if (st == 0) st = orvu_df_kernel_dDFSearch1D(task, 0, 2, hi, 0, nullptr, hcell, nullptr, nullptr, nullptr);
    if (st == 0) st = orvu_df_kernel_d_IntegrateCubSpline(task, 2, lo, lcell, hi, hcell, parts, 0, 0);
    std::printf("cubic integrator kernel: [0, 1.5] %.6f + [1.5, pi] %.6f = %.6f, status %d\n", parts[0], parts[1],
                parts[0] + parts[1], st);
    orvu_df_kernel_DeleteTask(&task);
}
