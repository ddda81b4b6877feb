// Helpers shared by the vector-math tests.
#pragma once

#include <cstring>
#include <thread>

namespace kex_test {

// Runs fn on a fresh thread, whose per-thread state starts anew: mode read
// from the environment (0x1A02 when unset), status 0, no callback, no
// input-vector pointer.
template <class Fn> void on_fresh_thread(Fn fn) { std::thread(fn).join(); }

template <class T> bool same_bits(T a, T b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

}  // namespace kex_test
