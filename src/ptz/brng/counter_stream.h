// Counter-based generators: a keyed bijection maps a 128-bit counter to a
// block of four 32-bit words; the counter moves by one per block. This policy
// adds what every such row shares: draining a partly used block kept in the
// state, whole blocks written straight to the caller, keeping the leftover of
// the last block, and skip-ahead by any 64-bit word count.
//
// Cipher provides
//   struct State;                      the row's state area
//   static uint32_t* counter(State&);  four words, least significant first
//   static uint32_t* buffer(State&);   the kept block
//   static int left(const State&);     unread words of the kept block, 0..4
//   static void set_left(State&, int);
//   static void blocks(const State&, uint32_t* ctr, int32_t n, uint32_t* out);
//                                      n blocks from ctr on, ctr advanced by n
#pragma once

#include <cstdint>
#include <cstring>

#include "ptz/streams/stream.h"

namespace ptz {

// c += d over four little-endian words (wrapping at 2^128).
inline void counter_add(uint32_t* c, uint64_t d) {
    uint64_t sum = uint64_t(c[0]) + uint32_t(d);
    c[0] = uint32_t(sum);
    sum = uint64_t(c[1]) + uint32_t(d >> 32) + (sum >> 32);
    c[1] = uint32_t(sum);
    for (int k = 2; k < 4 && (sum >> 32); ++k) {
        sum = uint64_t(c[k]) + 1;
        c[k] = uint32_t(sum);
    }
}

template <class Cipher>
class CounterStream {
public:
    using Word = uint32_t;
    using State = typename Cipher::State;
    explicit CounterStream(RngStream* s) : st_(*state_as<State>(s)) {}

    void generate(int32_t n, uint32_t* out) {
        int left = Cipher::left(st_);
        const int32_t first = n < left ? n : left;
        std::memcpy(out, Cipher::buffer(st_) + (4 - left), size_t(first) * sizeof(uint32_t));
        left -= first;
        const int32_t whole = (n - first) / 4, tail = (n - first) % 4;
        Cipher::blocks(st_, Cipher::counter(st_), whole, out + first);
        if (tail > 0) {
            Cipher::blocks(st_, Cipher::counter(st_), 1, Cipher::buffer(st_));
            std::memcpy(out + (n - tail), Cipher::buffer(st_), size_t(tail) * sizeof(uint32_t));
            left = 4 - tail;
        }
        Cipher::set_left(st_, left);
    }
    double unit(uint32_t w) const { return double(w) * 2.3283064365386963e-10; }  // 2^-32

    // The next output becomes output number d of the stream as it stands:
    // the kept words go first, then whole blocks are passed over by moving
    // the counter, and a remainder opens the next block part-used.
    void skip(uint64_t d) {
        const int left = Cipher::left(st_);
        if (d <= uint64_t(left)) {
            Cipher::set_left(st_, left - int(d));
            return;
        }
        d -= uint64_t(left);
        counter_add(Cipher::counter(st_), d / 4);
        const int rest = int(d % 4);
        if (rest > 0) Cipher::blocks(st_, Cipher::counter(st_), 1, Cipher::buffer(st_));
        Cipher::set_left(st_, rest > 0 ? 4 - rest : 0);
    }

private:
    State& st_;
};

// Seed words into the state's first `count` words (missing ones are 0) and an
// empty buffer.
template <class Cipher>
void seed_counter_state(RngStream* s, int32_t n, const void* params, int count) {
    auto& st = *state_as<typename Cipher::State>(s);
    uint32_t w[8] = {};
    const int32_t given = n < 1 ? 0 : (n < count ? n : count);
    if (given > 0) std::memcpy(w, params, size_t(given) * sizeof(uint32_t));
    std::memcpy(&st, w, size_t(count) * sizeof(uint32_t));
    Cipher::set_left(st, 0);
}

}  // namespace ptz
