// What the library may assume about the processor's optional instructions,
// with the hooks tests use to reach the "feature absent" and "instruction
// kept failing" statuses on any machine.
#include <atomic>
#include <cstdint>

#include "orvu_serv.h"

namespace {

std::atomic<uint32_t> g_withheld{0};
// Hardware random attempts still to be reported as failed.
std::atomic<int32_t> g_hw_random_failures{0};

}  // namespace

extern "C" {

uint32_t orvu_serv_cpu_features_withheld(void) { return g_withheld.load(std::memory_order_relaxed); }

int32_t orvu_serv_hw_random_forced_failure(void) {
    int32_t c = g_hw_random_failures.load(std::memory_order_relaxed);
    while (c > 0) {
        if (g_hw_random_failures.compare_exchange_weak(c, c - 1, std::memory_order_acq_rel)) return 1;
    }
    return 0;
}

void orvu_serv_test_withhold_cpu_features(uint32_t ecx_bits) {
    g_withheld.store(ecx_bits, std::memory_order_release);
}

void orvu_serv_test_fail_hw_random(int32_t n) {
    g_hw_random_failures.store(n > 0 ? n : 0, std::memory_order_release);
}

}  // extern "C"
