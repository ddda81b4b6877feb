// A task with every basic-statistics result array attached, for tests.
#pragma once

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
        n = int32_t(v.size());
        storage = columns ? ORVU_SS_X_COLUMNS : ORVU_SS_X_ROWS;
        x = store<T>(v, columns);
        if (weights) w.assign(weights->begin(), weights->end());
        for (int s = 0; s < 20; ++s) out[s].assign((s == 7 || s == 8 || s == 19) ? p * p : p, T(-777));
        if constexpr (sizeof(T) == 8)
            __ptzdSSNewTask(&task, &p, &n, &storage, x.data(), weights ? w.data() : nullptr, nullptr, nullptr);
        else
            __ptzsSSNewTask(&task, &p, &n, &storage, x.data(), weights ? w.data() : nullptr, nullptr, nullptr);
        static const int ids[20] = {7, 8, 9, 10, 11, 12, 13, 19, 21, 14, 15, 18, 67, 68, 69, 70, 71, 72, 73, 74};
        for (int s = 0; s < 20; ++s) edit(ids[s], out[s].data());
        edit(23, acc);
        __ptziSSEditTask(task, 20, &cov_st);
        __ptziSSEditTask(task, 22, &cor_st);
        __ptziSSEditTask(task, 75, &cp_st);
    }
    ~BasicTask() { __ptzSSDeleteTask(&task); }
    void edit(int id, T* a) {
        if constexpr (sizeof(T) == 8) __ptzdSSEditTask(task, id, a);
        else __ptzsSSEditTask(task, id, a);
    }
    // Replaces the data with a new portion (same layout).
    void portion(const std::vector<std::vector<double>>& v, const std::vector<double>* weights) {
        n = int32_t(v.size());
        x = store<T>(v, storage == ORVU_SS_X_COLUMNS);
        edit(3, x.data());
        if (weights) {
            w.assign(weights->begin(), weights->end());
            edit(6, w.data());
        }
    }
    int32_t run(uint64_t mask, int32_t method, const OrvuThreadingTable* thr = &kSerial) {
        if constexpr (sizeof(T) == 8) return _ptzdSSBasic(task, uint32_t(mask), uint32_t(mask >> 32), method, 0, thr);
        else return _ptzsSSBasic(task, uint32_t(mask), uint32_t(mask >> 32), method, 0, thr);
    }
};

// Every estimate of basic statistics.
constexpr uint64_t kAllBasic = 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200 | 0x1000 | 0x2000 |
                               0x2000000ULL | 0x4000000ULL | 0x8000000ULL | 0x10000000ULL | 0x20000000ULL |
                               0x40000000ULL | 0x80000000ULL | (1ULL << 32);

}  // namespace sstest
