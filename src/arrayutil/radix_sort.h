// The radix sorts, written once over element type and direction.
//
// Least significant digit first; every pass is a stable scatter, so the whole
// sort is stable. One sweep over the input counts every digit's histogram;
// each histogram then becomes running positions that start at -1, and the
// scatter bumps the position of an element's digit before storing at it.
#ifndef ORVU_ARRAYUTIL_RADIX_SORT_H
#define ORVU_ARRAYUTIL_RADIX_SORT_H

#include <cstdint>

#include "arrayutil/radix_keys.h"
#include "arrayutil/status.h"
#include "orvu_arrayutil.h"

namespace orvu::arrayutil {

// Histogram counts -> running positions, one digit at a time. The counters
// are unsigned, so "-1" is the all-ones word and the first bump makes it 0.
template <class Plan>
void to_positions(uint32_t* hist, const Plan& plan) {
    for (int p = 0; p < plan.passes; ++p) {
        uint32_t* h = hist + plan.offset(p);
        uint32_t run = ~uint32_t{0};
        for (size_t d = 0; d < plan.buckets(p); ++d) {
            uint32_t c = h[d];
            h[d] = run;
            run += c;
        }
    }
}

inline void clear_counters(uint32_t* hist, size_t n) {
    orvu_dft_c5h2_yobsZero_32s(reinterpret_cast<int32_t*>(hist), static_cast<int32_t>(n));
}

// One scatter of keys by the digit at `shift`; the last pass also turns keys
// back into values.
template <class Map, bool Last>
void scatter_keys(const typename Map::Bits* in, typename Map::Bits* out, int32_t n,
                  uint32_t* pos, int shift, uint32_t mask) {
    for (int32_t i = 0; i < n; ++i) {
        auto k = in[i];
        uint32_t d = static_cast<uint32_t>(k >> shift) & mask;
        out[++pos[d]] = Last ? Map::decode(k) : k;
    }
}

// 8-bit keys: count, then write the array back as runs of equal values.
template <class V, bool Descending>
void sort_bytes(V* data, int32_t n) {
    using Map = KeyMap<V, Descending>;
    uint32_t hist[256];
    clear_counters(hist, 256);
    for (int32_t i = 0; i < n; ++i) ++hist[Map::encode(data[i])];
    uint8_t* out = reinterpret_cast<uint8_t*>(data);
    for (uint32_t key = 0; key < 256; ++key) {
        if (hist[key] == 0) continue;
        orvu_dft_c5h2_ownsSet_8u(Map::decode(static_cast<uint8_t>(key)), out, hist[key]);
        out += hist[key];
    }
}

// In-place sort through a work buffer of n elements. The element arrays are
// accessed through their unsigned bit-pattern type; the library is built with
// -fno-strict-aliasing, and the caller's storage is only ever seen that way
// inside this routine.
template <class V, bool Descending>
int32_t sort_in_place(V* data, V* work, int32_t n) {
    if (auto s = check(n, data, work); s != kOk) return s;
    using Map = KeyMap<V, Descending>;
    using Bits = typename Map::Bits;
    if constexpr (sizeof(Bits) == 1) {
        sort_bytes<V, Descending>(data, n);
    } else {
        constexpr DigitPlan plan = kDigitPlan<sizeof(Bits)>;
        uint32_t hist[plan.counters()];
        clear_counters(hist, plan.counters());
        Bits* a = reinterpret_cast<Bits*>(data);
        Bits* b = reinterpret_cast<Bits*>(work);
        for (int32_t i = 0; i < n; ++i) {       // the one counting sweep
            Bits k = Map::encode(a[i]);
            a[i] = k;
            for (int p = 0; p < plan.passes; ++p)
                ++hist[plan.offset(p) + (static_cast<uint32_t>(k >> plan.shift[p]) & (plan.buckets(p) - 1))];
        }
        to_positions(hist, plan);
        for (int p = 0; p < plan.passes; ++p) {
            uint32_t* pos = hist + plan.offset(p);
            uint32_t mask = static_cast<uint32_t>(plan.buckets(p) - 1);
            if (p + 1 < plan.passes) scatter_keys<Map, false>(a, b, n, pos, plan.shift[p], mask);
            else scatter_keys<Map, true>(a, b, n, pos, plan.shift[p], mask);
            Bits* t = a; a = b; b = t;
        }
        // An odd number of passes (32-bit keys) ends in the work buffer.
        if constexpr (plan.passes % 2 == 1) {
            static_assert(sizeof(Bits) == 4);
            orvu_dft_c5h2_yobsCopy_32f(reinterpret_cast<const float*>(work), reinterpret_cast<float*>(data), n);
        }
    }
    return kOk;
}

// Index sort: the source stays untouched; keys are re-read through the
// indices in every pass. Passes alternate so that the last writes `dst`.
template <class V, bool Descending>
int32_t sort_index(const V* src, int32_t stride, int32_t* dst, int32_t* work, int32_t n) {
    if (auto s = check(n, src, dst, work); s != kOk) return s;
    if (stride < static_cast<int32_t>(sizeof(V)) || !fits_in_memory(n, static_cast<uint64_t>(stride)))
        return kBadSize;
    using Map = KeyMap<V, Descending>;
    constexpr DigitPlan plan = kDigitPlan<sizeof(V)>;
    const auto* base = reinterpret_cast<const unsigned char*>(src);
    const size_t step = static_cast<size_t>(stride);
    auto key = [base, step](int32_t i) { return Map::encode(Map::load(base + static_cast<size_t>(i) * step)); };

    uint32_t hist[plan.counters()];
    clear_counters(hist, plan.counters());
    for (int32_t i = 0; i < n; ++i) {
        auto k = key(i);
        for (int p = 0; p < plan.passes; ++p)
            ++hist[plan.offset(p) + (static_cast<uint32_t>(k >> plan.shift[p]) & (plan.buckets(p) - 1))];
    }
    to_positions(hist, plan);
    const int32_t* in = nullptr;
    for (int p = 0; p < plan.passes; ++p) {
        int32_t* out = ((plan.passes - 1 - p) % 2 == 0) ? dst : work;
        uint32_t* pos = hist + plan.offset(p);
        const int shift = plan.shift[p];
        const uint32_t mask = static_cast<uint32_t>(plan.buckets(p) - 1);
        for (int32_t j = 0; j < n; ++j) {
            int32_t idx = (p == 0) ? j : in[j];
            out[++pos[static_cast<uint32_t>(key(idx) >> shift) & mask]] = idx;
        }
        in = out;
    }
    return kOk;
}

}  // namespace orvu::arrayutil

#endif
