// Helpers shared by the vector-math tests.
#pragma once

#include <gtest/gtest.h>
#include <mpfr.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "cpu_features.h"
#include "orvu_kex.h"

namespace kex_test {

// Runs fn on a fresh thread, whose state starts anew: mode from the environment
// (0x1A02 when unset), status 0, no callback, no input-vector pointer.
// MPFR caches its constants per thread: the thread frees its own before it
// ends, so the leak checker sees none.
template <class Fn> void on_fresh_thread(Fn fn) {
    std::thread([&fn] {
        fn();
        mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE);
    }).join();
}

// Whether the dispatch slots of vector kernels hold wide-level copies: the
// 64-bit library on a machine with AVX2, unless ORVU_KEXLEVEL caps it to SSE.
inline bool wide_level_expected() {
    const char* cap = std::getenv("ORVU_KEXLEVEL");
    if (sizeof(void*) != 8 || (cap && strcasecmp(cap, "sse") == 0)) return false;
    return orvu::cpu::vector_support() >= orvu::cpu::Vectors::avx2;
}

template <class T> bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// The same bits, or both NaN.
template <class T> bool same(T a, T b) { return (std::isnan(a) && std::isnan(b)) || same_bits(a, b); }

// Runs fn with the caller's control bits 0xE040 (rounding, flush-to-zero,
// denormals-are-zero) set to csr and the flags cleared; returns the flags
// raised, and checks that the kernel put the control bits back.
template <class Fn> uint32_t with_mxcsr(uint32_t csr, Fn fn) {
    const uint32_t saved = _mm_getcsr(), set = (saved & ~0xE07Fu) | csr;
    _mm_setcsr(set), fn();
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & 0xFFC0u, set & 0xFFC0u) << "control bits not restored";
    return after & 0x3Fu;
}

// A callback that keeps every record it sees, puts replace into res1 unless
// it is NaN, and returns ret.
inline std::vector<KexErrorContext> g_seen;
inline void record_reports(int32_t ret = 0, double replace = NAN) {
    static int32_t s_ret;  // what the callback does, kept where a plain function can read it
    static double s_replace;
    g_seen.clear(), s_ret = ret, s_replace = replace;
    orvu_kex_kernel_SetErrorCallBack([](KexErrorContext* c) {
        g_seen.push_back(*c);
        if (!std::isnan(s_replace)) c->res1 = s_replace;
        return s_ret;
    });
}

// n inputs: special values, exact halves and integers past the last fraction
// bit, then random values and random quarters; rotated left by shift.
template <class T> std::vector<T> inputs(size_t n, size_t shift = 0) {
    using L = std::numeric_limits<T>;
    const T big = T(1) / L::epsilon();  // 2^52 or 2^23: no fraction bits left
    std::vector<T> v = {0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.0, -0.0, L::infinity(), -L::infinity(), L::quiet_NaN(),
                        big, -big, big / 2 + T(0.5), -(big / 2 + T(0.5)), big * 4, std::nextafter(T(0.5), T(0)),
                        T(-3.75), T(1e-30), T(-1e-30), L::denorm_min(), L::max(), T(5), T(-5)};
    std::mt19937 g(5);
    std::uniform_real_distribution<T> u(-1000, 1000);
    std::uniform_int_distribution<int> q(-4000, 4000);
    while (v.size() < n) v.push_back(u(g)), v.push_back(T(q(g)) / 4);
    v.resize(n);
    std::rotate(v.begin(), v.begin() + shift, v.end());
    return v;
}

// An element-wise kernel, k(n, a, r) or k(n, a, b, r), against its
// plain definition ref(x) or ref(x, y): lengths across blocks and tails from
// every start offset within 16 bytes, then in place. Nothing outside the n
// results is written.
template <class T, class K, class F>
void check_elementwise(K k, F ref, const std::vector<T>& a, const std::vector<T>& b, const std::string& what) {
    constexpr bool unary = std::is_invocable_v<K, int32_t, const T*, T*>;
    auto run = [&](int32_t n, const T* x, const T* y, T* r) { if constexpr (unary) k(n, x, r); else k(n, x, y, r); };
    auto want = [&](int i) -> T { if constexpr (unary) return ref(a[i]); else return ref(a[i], b[i]); };
    const int size = static_cast<int>(a.size());
    const T* bp = b.empty() ? a.data() : b.data();  // unary kernels get a stand-in
    for (int off = 0; off < int(16 / sizeof(T)); ++off) {
        for (int n : {0, -3, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, size - off}) {
            std::vector<T> r(a.size(), T(-7));
            run(n, a.data() + off, bp + off, r.data() + off);
            for (int i = 0; i < size; ++i)
                ASSERT_TRUE(same(r[i], i >= off && i - off < n ? want(i) : T(-7)))
                    << what << " n=" << n << " off=" << off << " x=" << a[i];
        }
    }
    std::vector<T> c = a;  // the result array is the first argument
    run(size, c.data(), bp, c.data());
    for (int i = 0; i < size; ++i) ASSERT_TRUE(same(c[i], want(i))) << what << " in place, x=" << a[i];
}

}  // namespace kex_test
