// Plain reference recurrences of the congruential and lagged generators:
// one step at a time, 64-bit integer arithmetic with %, written from the
// recurrences and seeding rules alone.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "orvu_ptz_rng.h"

namespace ref {

struct Mcg31 {
    uint64_t x = 1, a = 1132489760;
    explicit Mcg31(std::vector<uint32_t> seed) {
        if (!seed.empty()) x = seed[0] % 2147483647ull;
        if (x == 0) x = 1;
    }
    uint32_t next() {
        const uint64_t out = x;
        x = x * a % 2147483647ull;
        return uint32_t(out);
    }
    double unit(uint32_t v) const { return double(v) * (1.0 / 2147483647.0); }
};

struct Mcg59 {
    static constexpr uint64_t kMod = uint64_t(1) << 59;
    uint64_t x = 1, a = 302875106592253ull;
    explicit Mcg59(std::vector<uint32_t> seed) {
        if (seed.size() == 1) x = seed[0];
        if (seed.size() >= 2) x = seed[0] + (uint64_t(seed[1] % (1u << 27)) << 32);
        if (x == 0) x = 1;
    }
    uint64_t next() {
        const uint64_t out = x;
        x = x * a % kMod;  // unsigned wrap-around is mod 2^64, a multiple of 2^59
        return out;
    }
    double unit(uint64_t v) const { return double(v) / double(kMod); }
};

struct Wh {
    uint64_t x[4], a[4], m[4];
    Wh(int set, std::vector<uint32_t> seed) {
        for (int k = 0; k < 4; ++k) {
            m[k] = _ptz_WH_M[set][k];
            a[k] = _ptz_WH_A[set][k];
            x[k] = k < int(seed.size()) ? seed[k] % m[k] : 1;
            if (x[k] == 0) x[k] = 1;
        }
    }
    struct Word {
        uint32_t x[4];
    };
    Word next() {
        Word w;
        for (int k = 0; k < 4; ++k) {
            w.x[k] = uint32_t(x[k]);
            x[k] = x[k] * a[k] % m[k];
        }
        return w;
    }
    double unit(const Word& w) const {
        double s = 0;
        for (int k = 0; k < 4; ++k) s += double(w.x[k]) * (1.0 / double(m[k]));
        return s - std::trunc(s);
    }
};

struct Mrg32k3a {
    static constexpr int64_t m1 = 4294967087, m2 = 4294944443;
    int64_t x1[3], x2[3];  // oldest first
    explicit Mrg32k3a(std::vector<uint32_t> seed) {
        int64_t w[6] = {1, 1, 1, 1, 1, 1};
        for (size_t k = 0; k < seed.size() && k < 6; ++k) w[k] = seed[k];
        for (int k = 0; k < 3; ++k) {
            x1[k] = w[k] >= m1 ? w[k] - m1 : w[k];
            x2[k] = w[k + 3] >= m2 ? w[k + 3] - m2 : w[k + 3];
        }
        if (!x1[0] && !x1[1] && !x1[2]) x1[0] = 1;
        if (!x2[0] && !x2[1] && !x2[2]) x2[0] = 1;
    }
    uint32_t next() {
        int64_t n1 = ((1403580 * x1[1] - 810728 * x1[0]) % m1 + m1) % m1;
        int64_t n2 = ((527612 * x2[2] - 1370589 * x2[0]) % m2 + m2) % m2;
        x1[0] = x1[1], x1[1] = x1[2], x1[2] = n1;
        x2[0] = x2[1], x2[1] = x2[2], x2[2] = n2;
        return uint32_t(((n1 - n2) % m1 + m1) % m1);
    }
    double unit(uint32_t z) const { return double(z) * (1.0 / 4294967087.0); }
};

// The register as a history: x[n] = x[n-250] ^ x[n-147], where the register
// holds x[-250..-1] in order.
struct R250 {
    std::vector<uint32_t> hist;
    explicit R250(std::vector<uint32_t> seed) {
        if (seed.size() >= 250) {
            hist.assign(seed.begin(), seed.begin() + 250);
        } else {
            uint32_t t = seed.empty() || seed[0] == 0 ? 1 : seed[0];
            for (int k = 0; k < 250; ++k) {
                t = uint32_t(uint64_t(t) * 69069 % 4294967296ull);
                hist.push_back(t);
            }
            for (int q = 0; q < 32; ++q) {
                uint32_t& w = hist[3 + 7 * q];
                w = (w & (0xFFFFFFFFu >> q)) | (0x80000000u >> q);
            }
        }
    }
    uint32_t next() {
        const size_t n = hist.size();
        hist.push_back(hist[n - 250] ^ hist[n - 147]);
        return hist.back();
    }
    double unit(uint32_t v) const { return double(v) / 4294967296.0; }
};

}  // namespace ref
