// Every WH parameter set: four distinct primes in the published range, each
// multiplier a primitive root of its modulus, reciprocals exact to the double,
// no two sets alike, and the published rows as published.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "orvu_ptz_rng.h"

namespace {

bool is_prime(uint64_t n) {
    for (uint64_t d = 2; d * d <= n; ++d)
        if (n % d == 0) return false;
    return n > 1;
}

uint64_t pow_mod(uint64_t b, uint64_t e, uint64_t m) {
    uint64_t r = 1;
    for (b %= m; e; e >>= 1, b = b * b % m)
        if (e & 1) r = r * b % m;
    return r;
}

// a generates the whole group mod prime p when a^((p-1)/q) != 1 for every
// prime q dividing p - 1.
bool is_primitive_root(uint64_t a, uint64_t p) {
    uint64_t rest = p - 1;
    for (uint64_t q = 2; q <= rest; ++q) {
        if (rest % q) continue;
        if (pow_mod(a, (p - 1) / q, p) == 1) return false;
        while (rest % q == 0) rest /= q;
    }
    return true;
}

TEST(WhTables, PublishedRows) {
    struct Row { int index; std::array<uint32_t, 4> a, m; };
    const Row kRows[] = {
        {0, {125, 117, 127, 126}, {16770647, 16770643, 16770623, 16770617}},
        {1, {127, 126, 125, 123}, {16770311, 16770283, 16770263, 16770209}},
        {272, {126, 127, 125, 124}, {16766363, 16766359, 16766327, 16766231}},
    };
    for (const Row& r : kRows)
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(_ptz_WH_A[r.index][k], r.a[k]) << r.index;
            EXPECT_EQ(_ptz_WH_M[r.index][k], r.m[k]) << r.index;
        }
}

TEST(WhTables, EveryRowHasFullPeriodComponents) {
    std::set<std::array<uint32_t, 4>> rows;
    for (int s = 0; s < 273; ++s) {
        std::array<uint32_t, 4> m;
        for (int k = 0; k < 4; ++k) {
            m[k] = _ptz_WH_M[s][k];
            ASSERT_GE(m[k], 16766231u) << s;
            ASSERT_LE(m[k], 16770647u) << s;
            ASSERT_TRUE(is_prime(m[k])) << s;
            ASSERT_LT(_ptz_WH_A[s][k], 128) << s;
            ASSERT_TRUE(is_primitive_root(_ptz_WH_A[s][k], m[k])) << s << " " << k;
            ASSERT_EQ(_ptzdWH_IM_Tab[s][k], 1.0 / double(m[k])) << s;
        }
        std::array<uint32_t, 4> sorted = m;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) << s;
        ASSERT_TRUE(rows.insert(sorted).second) << "row " << s << " repeats an earlier one";
    }
}

}  // namespace
