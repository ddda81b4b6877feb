// Skip-ahead of a twister generator whose state is N units of W 32-bit words
// (MT19937: 624 x 1, SFMT19937: 156 x 4), stepping one unit at a time.
//
// A state at a block boundary (the whole block handed out) is the vector s;
// after q more unit steps it is A^q s = g(A) s with g = x^q mod p(x), p the
// transition's characteristic polynomial. g(A) s is evaluated on working
// copies kept as circular buffers (buffer, position): one step rewrites the
// unit at the position and moves it on, so a step costs one recurrence and
// adding s into a copy adds unit i of s to unit position + i of the copy.
//
// Ops supplies: kUnits (N), kUnitWords (W) and
//   static void step(uint32_t* buf, int32_t& pos);
#pragma once

#include <cstdint>
#include <cstring>

#include "ptz/brng/twister_polys.h"
#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace ptz::twister {

constexpr int32_t kWindowBits = 7;
constexpr int32_t kWindowEntries = 1 << kWindowBits;

template <class Ops>
struct Jump {
    static constexpr int32_t N = Ops::kUnits, W = Ops::kUnitWords, kWords = N * W;

    // t (circular at tpos) += s (at position 0).
    static void add(uint32_t* t, int32_t tpos, const uint32_t* s) {
        const int32_t split = (N - tpos) * W;
        uint32_t* head = t + tpos * W;
        for (int32_t i = 0; i < split; ++i) head[i] ^= s[i];
        for (int32_t i = split; i < kWords; ++i) t[i - split] ^= s[i];
    }

    // dst at position 0 = src at position pos.
    static void unrotate(const uint32_t* src, int32_t pos, uint32_t* dst) {
        std::memcpy(dst, src + pos * W, size_t(N - pos) * W * sizeof(uint32_t));
        std::memcpy(dst + (N - pos) * W, src, size_t(pos) * W * sizeof(uint32_t));
    }

    static bool bit(const uint64_t* g, int64_t i) { return (g[i / 64] >> (i % 64)) & 1; }

    // Horner's rule: t = s advanced once, then for bits top-1 .. 1 add s when
    // set and advance; finally add s for bit 0. Result at position *pos.
    static void horner(const uint64_t* g, int32_t top, const uint32_t* s, uint32_t* t, int32_t* pos) {
        std::memcpy(t, s, size_t(kWords) * sizeof(uint32_t));
        int32_t p = 0;
        *pos = 0;
        if (top == 0) return;  // g = 1
        Ops::step(t, p);
        for (int32_t i = top - 1; i >= 1; --i) {
            if (bit(g, i)) add(t, p, s);
            Ops::step(t, p);
        }
        if (bit(g, 0)) add(t, p, s);
        *pos = p;
    }

    // Window form: table[w] = sum over the bits j of w of A^j s (position 0),
    // for every 7-bit pattern w; then g is read seven bits at a time from the
    // top: t = A^7 t + table[window]. About D / 7 additions instead of D / 2.
    static void window(const uint64_t* g, int32_t top, const uint32_t* s, uint32_t* t, uint32_t* table, int32_t* pos) {
        std::memset(table, 0, size_t(kWords) * sizeof(uint32_t));
        std::memcpy(t, s, size_t(kWords) * sizeof(uint32_t));
        int32_t p = 0;
        for (int32_t j = 0; j < kWindowBits; ++j) {
            if (j > 0) Ops::step(t, p);
            unrotate(t, p, table + size_t(1 << j) * kWords);
        }
        for (int32_t w = 3; w < kWindowEntries; ++w) {
            if ((w & (w - 1)) == 0) continue;
            uint32_t* dst = table + size_t(w) * kWords;
            const uint32_t* a = table + size_t(w & (w - 1)) * kWords;
            const uint32_t* b = table + size_t(w & -w) * kWords;
            for (int32_t i = 0; i < kWords; ++i) dst[i] = a[i] ^ b[i];
        }
        auto chunk = [&](int32_t c) {
            int32_t v = 0;
            for (int32_t j = kWindowBits - 1; j >= 0; --j) v = (v << 1) | (bit(g, int64_t(c) * kWindowBits + j) ? 1 : 0);
            return v;
        };
        int32_t c = top / kWindowBits;
        std::memcpy(t, table + size_t(chunk(c)) * kWords, size_t(kWords) * sizeof(uint32_t));
        p = 0;
        while (c-- > 0) {
            for (int32_t j = 0; j < kWindowBits; ++j) Ops::step(t, p);
            const int32_t v = chunk(c);
            if (v) add(t, p, table + size_t(v) * kWords);
        }
        *pos = p;
    }

    // Advances the block-boundary state `state` (position 0) by q >= 1 unit
    // steps; on return it is that state as a circular buffer at position
    // q mod N, which is returned. by_window selects the window evaluation.
    // -4 (state untouched) when the work buffer cannot be had.
    static int32_t run(uint32_t* state, uint64_t q, bool by_window, const gf2::Modulus& m, int32_t* at) {
        const int32_t n = m.words();
        const bool power = q >= uint64_t(m.degree);
        // One block: jump polynomial, exponentiation workspace, working state,
        // window table.
        const int64_t poly_words = n + (power ? int64_t(gf2::pow_workspace_words(m)) : 0);
        const int64_t state_words = int64_t(kWords) * (1 + (by_window ? kWindowEntries : 0));
        uint32_t bytes = 0;
        if (!checked_size(poly_words * 8 + state_words * 4, 1, 0, &bytes)) return PTZ_ERROR_MEM_FAILURE;
        void* block = allocate(bytes);
        if (!block) return PTZ_ERROR_MEM_FAILURE;
        uint64_t* g = static_cast<uint64_t*>(block);
        uint32_t* t = reinterpret_cast<uint32_t*>(g + poly_words);
        int32_t top = 0;
        if (power) {
            gf2::x_pow_mod(q, m, g, g + n);
            top = m.degree - 1;
            while (top > 0 && !bit(g, top)) --top;
        } else {
            std::memset(g, 0, size_t(n) * sizeof(uint64_t));
            g[q / 64] = uint64_t(1) << (q % 64);
            top = int32_t(q);
        }
        int32_t p = 0;
        if (by_window) window(g, top, state, t, t + kWords, &p);
        else horner(g, top, state, t, &p);
        // The stream's buffer after q steps sits at position q mod N.
        const int32_t j = int32_t(q % uint64_t(N));
        for (int32_t i = 0; i < N; ++i)
            std::memcpy(state + ((j + i) % N) * W, t + ((p + i) % N) * W, size_t(W) * sizeof(uint32_t));
        deallocate(block);
        *at = j;
        return PTZ_OK;
    }
};

}  // namespace ptz::twister
