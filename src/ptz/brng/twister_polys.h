// Characteristic polynomials of the MT19937 and SFMT19937 transitions (written
// by tools/twister_tables/make_twister_polys.cc) and the GF(2)[x] arithmetic
// that turns a skip count d into the jump polynomial x^d mod p(x).
#pragma once

#include <cstdint>

#include "orvu_ptz_rng.h"

namespace ptz {

// floor(x^(2D) / p(x)), little-endian 64-bit words (the Barrett quotient).
extern const uint64_t kMt19937Barrett[312];
extern const uint64_t kSfmt19937Barrett[313];

namespace gf2 {

// A characteristic polynomial p of degree D with its Barrett quotient.
struct Modulus {
    const int32_t* exponents;
    int32_t terms;
    int32_t degree;
    const uint64_t* barrett;
    int32_t barrett_words;
    // Words of every operand: room for D + 1 bits.
    int32_t words() const { return degree / 64 + 1; }
};

// 64-bit words of workspace that x_pow_mod needs for this modulus.
uint32_t pow_workspace_words(const Modulus& m);

// g (m.words() words) = x^e mod p, for e >= D; ws holds pow_workspace_words.
void x_pow_mod(uint64_t e, const Modulus& m, uint64_t* g, uint64_t* ws);

// r (2n words) = a * b (n words each); ws holds mul_workspace_words(n) words.
// Uses the processor's carry-less multiply when it has one.
uint32_t mul_workspace_words(int32_t n);
void mul(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws);
// The same through the shift-and-xor product only (for comparison in tests).
void mul_portable(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws);

}  // namespace gf2
}  // namespace ptz
