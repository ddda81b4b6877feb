// Demo of the order statistics: exact quartiles, extremes and absolute
// deviations of a small data set, then streaming quantiles over a million
// observations fed in portions.
#include <cmath>
#include <cstdio>
#include <vector>

#include "orvu_ptz_order.h"
#include "orvu_serv.h"

extern "C" void orvu_demo_ptz_stats_order() {
    // Delivery times (hours) of two depots, one observation per row.
    int32_t p = 2, n = 12, storage = ORVU_SS_X_COLUMNS;
    double x[24] = {26, 31, 24, 29, 27, 35, 22, 30, 48, 33, 25, 28, 29, 31, 23, 27, 26, 90, 28, 30, 24, 29, 27, 32};
    double orders[3] = {0.25, 0.5, 0.75}, quant[6], mn[2] = {INFINITY, INFINITY}, mx[2] = {-INFINITY, -INFINITY};
    double mdad[2], mnad[2];
    int32_t k = 3;
    SSTask* task = nullptr;
    __ptzdSSNewTask(&task, &p, &n, &storage, x, nullptr, nullptr, nullptr);
    __ptzdSSEditQuantiles(task, &k, orders, quant, nullptr, nullptr);
    __ptzdSSEditTask(task, 16, mn);
    __ptzdSSEditTask(task, 17, mx);
    __ptzdSSEditTask(task, 76, mdad);
    __ptzdSSEditTask(task, 77, mnad);
    const int32_t sq = _ptzdSSQuantiles(task, uint32_t(ORVU_SS_QUANTS), 0, ORVU_SS_METHOD_FAST, 0,
                                        orvu_serv_threading_table());
    const int32_t sm = _ptzdSSMinmax(task, uint32_t(ORVU_SS_MIN | ORVU_SS_MAX), 0, ORVU_SS_METHOD_FAST);
    const uint64_t ad = ORVU_SS_MDAD | ORVU_SS_MNAD;
    const int32_t sa = _ptzdSSMAD(task, uint32_t(ad), uint32_t(ad >> 32), ORVU_SS_METHOD_FAST, 0, nullptr);
    std::printf("delivery hours, 12 orders per depot (status %d, %d, %d):\n", sq, sm, sa);
    std::printf("  depot    min     Q1  median     Q3    max   median |dev|  mean |dev|\n");
    for (int j = 0; j < 2; ++j)
        std::printf("  %c     %5.1f  %5.2f  %6.2f  %5.2f  %5.1f  %12.2f  %10.3f\n", 'A' + j, mn[j], quant[3 * j],
                    quant[3 * j + 1], quant[3 * j + 2], mx[j], mdad[j], mnad[j]);
    __ptzSSDeleteTask(&task);

    // Streaming: 10^6 values of exp(N(0,1)) in four portions, eps = 0.001.
    {
        int32_t q = 1, m = 250000, one = 1;
        std::vector<double> v(static_cast<size_t>(m));
        double sorders[5] = {0.01, 0.25, 0.5, 0.75, 0.99}, squant[5], eps = 0.001;
        int32_t ks = 5;
        SSTask* st = nullptr;
        __ptzdSSNewTask(&st, &q, &m, &storage, v.data(), nullptr, nullptr, nullptr);
        __ptzdSSEditStreamQuantiles(st, &ks, sorders, squant, &one, &eps);
        uint64_t s = 0x9E3779B97F4A7C15ull;
        auto uniform = [&] {
            s ^= s << 13, s ^= s >> 7, s ^= s << 17;
            return (static_cast<double>(s >> 11) + 0.5) * 0x1p-53;
        };
        int32_t status = 0;
        for (int portion = 0; portion < 4 && status == 0; ++portion) {
            for (double& e : v)
                e = std::exp(std::sqrt(-2 * std::log(uniform())) * std::cos(6.283185307179586 * uniform()));
            status = _ptzdSSStreamQuantiles(st, 0, 0, ORVU_SS_METHOD_SQUANTS_CHUNK, 0, orvu_serv_threading_table());
        }
        std::printf("streaming quantiles of 10^6 log-normal values, eps 0.001 (status %d):\n", status);
        std::printf("  order        1%%     25%%     50%%     75%%     99%%\n  found   ");
        for (double e : squant) std::printf(" %7.3f", e);
        std::printf("\n  exact      0.098   0.509   1.000   1.963  10.240\n");
        __ptzSSDeleteTask(&st);
    }
}
