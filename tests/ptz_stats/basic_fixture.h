// A task with every basic-statistics result array attached, and the error of
// its results against the long-double two-pass reference, for tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "stats_test_util.h"

namespace sstest {

template <class T>
struct BasicTask {
    int32_t p, n, storage, cov_st = 0, cor_st = 0, cp_st = 0;
    std::vector<T> x, w;
    std::vector<T> out[20];      // by slot: mean, raw2-4, cen2-4, cov, cor, kurt, skew, var, sum, rawsums, censums, cp
    T acc[2] = {0, 0};
    SSTask* task = nullptr;

    BasicTask(const std::vector<std::vector<double>>& v, bool columns, const std::vector<double>* weights) {
        p = int32_t(v[0].size());
        storage = columns ? ORVU_SS_X_COLUMNS : ORVU_SS_X_ROWS;
        for (int s = 0; s < 20; ++s) out[s].assign((s == 7 || s == 8 || s == 19) ? p * p : p, T(-777));
        portion(v, weights);
        const T* wp = weights ? w.data() : nullptr;
        if constexpr (sizeof(T) == 8) __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), wp, nullptr, nullptr);
        else __ptzsSSNewTask(&task, &p, &n, &storage, x.data(), wp, nullptr, nullptr);
        static const int ids[20] = {7, 8, 9, 10, 11, 12, 13, 19, 21, 14, 15, 18, 67, 68, 69, 70, 71, 72, 73, 74};
        for (int s = 0; s < 20; ++s) edit(ids[s], out[s].data());
        edit(23, acc);
        for (auto [id, code] : {std::pair{20, &cov_st}, {22, &cor_st}, {75, &cp_st}}) __ptziSSEditTask(task, id, code);
    }
    ~BasicTask() { __ptzSSDeleteTask(&task); }
    void edit(int id, T* a) { sizeof(T) == 8 ? __ptzdSSEditTask(task, id, (double*)a) : __ptzsSSEditTask(task, id, (float*)a); }
    // Replaces the data with a new portion (same layout).
    void portion(const std::vector<std::vector<double>>& v, const std::vector<double>* weights) {
        n = int32_t(v.size());
        x = store<T>(v, storage == ORVU_SS_X_COLUMNS);
        if (weights) w.assign(weights->begin(), weights->end());
        if (!task) return;
        edit(3, x.data());
        if (weights) edit(6, w.data());
    }
    int32_t run(uint64_t mask, int32_t method, const OrvuThreadingTable* thr = &kSerial) {
        return (sizeof(T) == 8 ? _ptzdSSBasic : _ptzsSSBasic)(task, uint32_t(mask), uint32_t(mask >> 32), method, 0, thr);
    }
};

// Every estimate of basic statistics.
constexpr uint64_t kAllBasic = 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200 | 0x1000 | 0x2000 |
                               0x2000000ULL | 0x4000000ULL | 0x8000000ULL | 0x10000000ULL | 0x20000000ULL |
                               0x40000000ULL | 0x80000000ULL | (1ULL << 32);

// Largest error of all estimates, each relative to the size of the terms it
// is made of (a central sum close to zero is judged against the spread).
template <class T>
double worst_error(const BasicTask<T>& t, const Ref& r, std::string* where) {
    const int64_t p = t.p;
    const long double W = r.W, W2 = r.W2, f = 1 / (W - W2 / W);
    double worst = 0;
    auto check = [&](const char* what, int64_t j, double got, long double want, long double scale) {
        const double e = double(std::fabs((long double)got - want) / scale);
        if (!(e <= worst)) *where = std::string(what) + "[" + std::to_string(j) + "]";
        if (!(e <= worst)) worst = std::isnan(e) ? 1e300 : e;   // NaN counts as worst
    };
    for (int64_t j = 0; j < p; ++j) {
        const long double s2 = r.s2[j], sd = std::sqrt(s2 / W), m = r.mean[j], c2 = s2 * W / (W * W - W2);
        const long double c3 = r.s3[j] / W, c4 = r.s4[j] / W, r3 = std::pow(r.r2[j], 1.5L), sc3 = std::pow(c2, 1.5L);
        const long double want[20] = {m, r.r2[j], r.r3[j], r.r4[j], c2, c3, c4, 0, 0, c4 / (c2 * c2) - 3,
                                      c3 / std::sqrt(c2 * c2 * c2), std::sqrt(c2) / m, m * W, r.r2[j] * W,
                                      r.r3[j] * W, r.r4[j] * W, s2, r.s3[j], r.s4[j], 0};
        const long double scale[20] = {sd + std::fabs(m), r.r2[j], r3, r.r4[j], c2, sc3, c4, 0, 0, 1, 1,
                                       std::fabs(std::sqrt(c2) / m), (sd + std::fabs(m)) * W, r.r2[j] * W, r3 * W,
                                       r.r4[j] * W, s2, sc3 * W, r.s4[j], 0};
        for (int s = 0; s < 19; ++s)
            if (scale[s] != 0) check(std::to_string(s).c_str(), j, t.out[s][j], want[s], scale[s]);
        for (int64_t k = 0; k < p; ++k) {
            const long double cp = r.cp[j * p + k], sc = std::sqrt(r.cp[j * p + j] * r.cp[k * p + k]);
            check("cp", j * p + k, t.out[19][j * p + k], cp, sc);
            check("cov", j * p + k, t.out[7][j * p + k], cp * f, sc * f);
            check("cor", j * p + k, t.out[8][j * p + k], j == k ? cp * f : cp / sc, j == k ? sc * f : 1);
        }
    }
    return worst;
}

}  // namespace sstest
