// The three output functions of a basic generator, written once over a
// generator policy G that provides:
//   using Word;                       one raw output word
//   explicit G(RngStream*);           binds the stream's state (and parameters)
//   void generate(int32_t n, Word*);  the next n raw words, state advanced
//   double unit(const Word&) const;   the word's unit value in [0, 1]
// and optionally void units(int32_t n, double* u) for n <= kOutputBlock, the
// unit values of the next n outputs by a faster route.
#pragma once

#include <cstdint>
#include <cstring>

#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace ptz {

constexpr int32_t kOutputBlock = 256;

template <class G>
int32_t int_output(RngStream* s, int32_t n, void* r) {
    using Word = typename G::Word;
    if (n <= 0) return PTZ_OK;
    if (!extent_fits<Word>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    G gen(s);
    if (reinterpret_cast<uintptr_t>(r) % alignof(Word) == 0) {
        gen.generate(n, static_cast<Word*>(r));
        return PTZ_OK;
    }
    // A caller's buffer need not be aligned for the word type: go through a
    // local block.
    Word block[kOutputBlock];
    auto* out = static_cast<uint8_t*>(r);
    for (int32_t done = 0; done < n;) {
        const int32_t k = n - done < kOutputBlock ? n - done : kOutputBlock;
        gen.generate(k, block);
        std::memcpy(out + size_t(done) * sizeof(Word), block, size_t(k) * sizeof(Word));
        done += k;
    }
    return PTZ_OK;
}

// a + (b - a) * u, evaluated in double for both precisions (one rounding to
// float at the end for the single-precision form).
template <class G, class T>
int32_t real_output(RngStream* s, int32_t n, T* r, T a, T b) {
    using Word = typename G::Word;
    if (n <= 0) return PTZ_OK;
    if (!extent_fits<T>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    G gen(s);
    const double lo = a, width = double(b) - double(a);
    for (int32_t done = 0; done < n;) {
        const int32_t k = n - done < kOutputBlock ? n - done : kOutputBlock;
        if constexpr (requires(double* u) { gen.units(k, u); }) {
            double u[kOutputBlock];  // generators with a faster path to unit values
            gen.units(k, u);
            for (int32_t i = 0; i < k; ++i) r[done + i] = T(lo + width * u[i]);
        } else {
            Word block[kOutputBlock];
            gen.generate(k, block);
            for (int32_t i = 0; i < k; ++i) r[done + i] = T(lo + width * gen.unit(block[i]));
        }
        done += k;
    }
    return PTZ_OK;
}

// Unsigned integers to double. 32 bits convert exactly (the compiler's own
// conversion is the cheapest exact one); 59 bits go through the mantissa of
// 2^84 for the high word, so that the sum rounds once.
inline double u32_to_double(uint32_t x) { return double(x); }
inline double u64_to_double(uint64_t x) {
    const uint64_t hi_bits = 0x4530000000000000ull | (x >> 32);
    double hi;
    std::memcpy(&hi, &hi_bits, sizeof hi);
    // (2^84 + hi * 2^32) - 2^84 is exact; adding the (exact) low part rounds once.
    return (hi - 19342813113834066795298816.0) + u32_to_double(uint32_t(x));  // 2^84
}

}  // namespace ptz

// Defines the four exported functions of generator NAME over policy G and its
// initStream implementation init_fn.
#define PTZ_DEFINE_BRNG(NAME, G, init_fn)                                                              \
    extern "C" {                                                                                       \
    ORVU_API int32_t __ptzBRng##NAME##InitStream(int32_t method, RngStream* s, int32_t n,             \
                                                 const void* params) {                                 \
        return init_fn(method, s, n, params);                                                          \
    }                                                                                                  \
    ORVU_API int32_t __ptzsBRng##NAME(RngStream* s, int32_t n, float* r, float a, float b) {          \
        return ptz::real_output<G, float>(s, n, r, a, b);                                              \
    }                                                                                                  \
    ORVU_API int32_t __ptzdBRng##NAME(RngStream* s, int32_t n, double* r, double a, double b) {       \
        return ptz::real_output<G, double>(s, n, r, a, b);                                             \
    }                                                                                                  \
    ORVU_API int32_t __ptziBRng##NAME(RngStream* s, int32_t n, void* r) {                             \
        return ptz::int_output<G>(s, n, r);                                                            \
    }                                                                                                  \
    }
