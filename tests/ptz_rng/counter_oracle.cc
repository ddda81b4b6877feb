// Random123's blocks, the oracle of the counter-based generators; compiled
// with AES enabled, its ARS runs only after the run-time test.
#include <Random123/ars.h>
#include <Random123/philox.h>

#include <cstdint>
#include <cstring>

void philox_oracle(const uint32_t key[2], const uint32_t ctr[4], uint32_t out[4]) {
    std::memcpy(out, philox4x32_R(10, {{ctr[0], ctr[1], ctr[2], ctr[3]}}, {{key[0], key[1]}}).v, 16);
}

void ars5_oracle(const uint32_t key[4], const uint32_t ctr[4], uint32_t out[4]) {
    std::memcpy(out, ars4x32_R(5, {{ctr[0], ctr[1], ctr[2], ctr[3]}}, {{key[0], key[1], key[2], key[3]}}).v, 16);
}
