// Shared helpers of the statistics tests: threading tables of our own (one
// that stays on the calling thread, one over std::thread), generated data and
// plain long-double references.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "orvu_ptz_stats.h"

namespace sstest {

inline void serial_team(int32_t threads, void* ctx, orvu_thr_team_body body) {
    for (int32_t t = 0; t < threads; ++t) body(t, threads, ctx);
}
inline void serial_for(int32_t count, int32_t threads, void* ctx, orvu_thr_loop_body body) {
    for (int32_t i = 0; i < count; ++i) body(i, 0, threads, ctx);
}
inline void thread_team(int32_t threads, void* ctx, orvu_thr_team_body body) {
    std::vector<std::thread> pool;
    for (int32_t t = 0; t < threads; ++t) pool.emplace_back([=] { body(t, threads, ctx); });
    for (auto& th : pool) th.join();
}
inline void thread_for(int32_t count, int32_t threads, void* ctx, orvu_thr_loop_body body) {
    std::vector<std::thread> pool;
    for (int32_t t = 0; t < threads; ++t)
        pool.emplace_back([=] {
            for (int32_t i = t; i < count; i += threads) body(i, t, threads, ctx);
        });
    for (auto& th : pool) th.join();
}
inline int32_t one_thread() { return 1; }
inline int32_t seven_threads() { return 7; }

inline const OrvuThreadingTable kSerial = {serial_for, nullptr, serial_team, nullptr, one_thread};
inline const OrvuThreadingTable kSevenThreads = {thread_for, nullptr, thread_team, nullptr, seven_threads};

// n observations of p components, component j ~ offset + scale_j * N(0, 1),
// stored in "observation-major" order v[i][j].
inline std::vector<std::vector<double>> gaussian_data(int64_t n, int64_t p, double offset, uint64_t seed) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> nd(0.0, 1.0);
    std::vector<std::vector<double>> v(n, std::vector<double>(p));
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < p; ++j) v[i][j] = offset + (1.0 + 0.5 * j) * nd(g) + (j ? 0.3 * v[i][0] : 0.0);
    return v;
}

template <class T>
std::vector<T> store(const std::vector<std::vector<double>>& v, bool columns) {
    const int64_t n = v.size(), p = v[0].size();
    std::vector<T> x(n * p);
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < p; ++j) (columns ? x[i * p + j] : x[j * n + i]) = T(v[i][j]);
    return x;
}

// Two-pass reference in long double with compensated sums, over the values
// as the routine sees them (already rounded to the task's precision).
struct Ref {
    std::vector<long double> mean, r2, r3, r4, s2, s3, s4, cp;   // cp full p x p
    long double W = 0, W2 = 0;
};
template <class T>
Ref reference(const std::vector<std::vector<double>>& v, const std::vector<double>* w) {
    const int64_t n = v.size(), p = v[0].size();
    Ref r;
    r.mean.assign(p, 0); r.r2.assign(p, 0); r.r3.assign(p, 0); r.r4.assign(p, 0);
    r.s2.assign(p, 0); r.s3.assign(p, 0); r.s4.assign(p, 0); r.cp.assign(p * p, 0);
    auto X = [&](int64_t i, int64_t j) { return (long double)(T)v[i][j]; };
    auto W = [&](int64_t i) { return w ? (long double)(T)(*w)[i] : 1.0L; };
    auto ksum = [](std::vector<long double>& s, std::vector<long double>& c, int64_t k, long double x) {
        long double y = x - c[k], t = s[k] + y;
        c[k] = (t - s[k]) - y;
        s[k] = t;
    };
    std::vector<long double> c(p, 0);
    for (int64_t i = 0; i < n; ++i) { r.W += W(i); r.W2 += W(i) * W(i); }
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < p; ++j) {
            ksum(r.mean, c, j, W(i) * X(i, j));
        }
    for (auto& m : r.mean) m /= r.W;
    std::vector<long double> c2(p, 0), c3(p, 0), c4(p, 0), q2(p, 0), q3(p, 0), q4(p, 0), cc(p * p, 0);
    for (int64_t i = 0; i < n; ++i)
        for (int64_t j = 0; j < p; ++j) {
            const long double x = X(i, j), d = x - r.mean[j], wi = W(i);
            ksum(r.s2, c2, j, wi * d * d); ksum(r.s3, c3, j, wi * d * d * d); ksum(r.s4, c4, j, wi * d * d * d * d);
            ksum(r.r2, q2, j, wi * x * x); ksum(r.r3, q3, j, wi * x * x * x); ksum(r.r4, q4, j, wi * x * x * x * x);
            for (int64_t k = 0; k < p; ++k) ksum(r.cp, cc, j * p + k, wi * d * (X(i, k) - r.mean[k]));
        }
    for (int64_t j = 0; j < p; ++j) { r.r2[j] /= r.W; r.r3[j] /= r.W; r.r4[j] /= r.W; }
    return r;
}

}  // namespace sstest
