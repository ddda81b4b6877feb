// Plain reference recurrences of the congruential and lagged generators:
// one step at a time, 64-bit integer arithmetic with %, written from the
// recurrences and seeding rules alone. next() emits a word, unit() maps it.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "orvu_ptz_rng.h"

namespace ref {

using Seed = std::vector<uint32_t>;

struct Mcg31 {
    uint64_t x;
    explicit Mcg31(const Seed& s) : x(s.empty() || s[0] % 2147483647u == 0 ? 1 : s[0] % 2147483647u) {}
    uint32_t next() {
        const uint64_t out = x;
        x = x * 1132489760 % 2147483647;
        return uint32_t(out);
    }
    double unit(uint32_t v) const { return double(v) * (1.0 / 2147483647.0); }
};

struct Mcg59 {
    uint64_t x = 1;
    explicit Mcg59(const Seed& s) {
        if (!s.empty()) x = s[0] + (s.size() >= 2 ? uint64_t(s[1] % (1u << 27)) << 32 : 0);
        if (x == 0) x = 1;
    }
    uint64_t next() {
        const uint64_t out = x;
        x = x * 302875106592253ull % (uint64_t(1) << 59);  // wrap-around mod 2^64, a multiple of 2^59
        return out;
    }
    double unit(uint64_t v) const { return double(v) / double(uint64_t(1) << 59); }
};

// Parameters from the library's tables (whose rows the table tests check).
struct Wh {
    struct Word { uint32_t x[4]; };
    uint64_t x[4], a[4], m[4];
    Wh(int set, const Seed& s) {
        for (int k = 0; k < 4; ++k) {
            m[k] = _ptz_WH_M[set][k], a[k] = _ptz_WH_A[set][k];
            x[k] = k < int(s.size()) && s[k] % m[k] ? s[k] % m[k] : 1;
        }
    }
    Word next() {
        Word w;
        for (int k = 0; k < 4; ++k) w.x[k] = uint32_t(x[k]), x[k] = x[k] * a[k] % m[k];
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
    explicit Mrg32k3a(const Seed& s) {
        for (int k = 0; k < 3; ++k) {
            x1[k] = k < int(s.size()) ? s[k] % m1 : 1;
            x2[k] = k + 3 < int(s.size()) ? s[k + 3] % m2 : 1;
        }
        if (!x1[0] && !x1[1] && !x1[2]) x1[0] = 1;
        if (!x2[0] && !x2[1] && !x2[2]) x2[0] = 1;
    }
    uint32_t next() {
        const int64_t n1 = ((1403580 * x1[1] - 810728 * x1[0]) % m1 + m1) % m1;
        const int64_t n2 = ((527612 * x2[2] - 1370589 * x2[0]) % m2 + m2) % m2;
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
    explicit R250(const Seed& s) {
        uint64_t t = s.empty() || s[0] == 0 ? 1 : s[0];
        for (int k = 0; k < 250; ++k) hist.push_back(s.size() >= 250 ? s[k] : uint32_t(t = t * 69069 % 4294967296));
        for (int q = 0; q < 32 && s.size() < 250; ++q)
            hist[3 + 7 * q] = (hist[3 + 7 * q] & (0xFFFFFFFFu >> q)) | (0x80000000u >> q);
    }
    uint32_t next() {
        hist.push_back(hist[hist.size() - 250] ^ hist[hist.size() - 147]);
        return hist.back();
    }
    double unit(uint32_t v) const { return double(v) / 4294967296.0; }
};

}  // namespace ref
