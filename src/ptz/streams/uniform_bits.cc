// Uniform-bits entry points: raw words, and 32/64-bit integers with every bit
// uniform, dispatched per built-in generator through two 16-entry tables.
#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace {

using Bits32Fn = int32_t (*)(int32_t, RngStream*, int32_t, uint32_t*);
using Bits64Fn = int32_t (*)(int32_t, RngStream*, int32_t, uint64_t*);

// Generators whose raw output is already 32 uniform bits per word.
int32_t bits32_words(int32_t method, RngStream* s, int32_t n, uint32_t* r) {
    return _ptziRngUniformBits(method, s, n, r);
}
int32_t bits64_words(int32_t method, RngStream* s, int32_t n, uint64_t* r) {
    // Two words per result, low half first: on a little-endian target that is
    // exactly the memory of n 64-bit integers.
    // In pieces, so that the word count 2n stays within int32.
    constexpr int32_t kPiece = 1 << 29;
    for (int32_t done = 0; done < n;) {
        const int32_t k = n - done < kPiece ? n - done : kPiece;
        const int32_t status = _ptziRngUniformBits(method, s, 2 * k, r + done);
        if (status < 0) return status;
        done += k;
    }
    return PTZ_OK;
}

// MCG59: the top 32 of the 59 bits of each output, drawn through a buffer.
constexpr int32_t kMcg59Block = 2048;
constexpr int kMcg59Shift = 27;

template <class Store>
int32_t mcg59_top_bits(RngStream* s, int64_t outputs, Store store) {
    uint64_t buffer[kMcg59Block];
    for (int64_t done = 0; done < outputs;) {
        const int32_t block = int32_t(outputs - done < kMcg59Block ? outputs - done : kMcg59Block);
        const int32_t status = ptz::row_of(s).iBRng(s, block, buffer);
        if (status < 0) return status;
        for (int32_t i = 0; i < block; ++i) store(done + i, uint32_t(buffer[i] >> kMcg59Shift));
        done += block;
    }
    return PTZ_OK;
}
int32_t bits32_mcg59(int32_t, RngStream* s, int32_t n, uint32_t* r) {
    return mcg59_top_bits(s, n, [r](int64_t i, uint32_t v) { r[i] = v; });
}
int32_t bits64_mcg59(int32_t, RngStream* s, int32_t n, uint64_t* r) {
    return mcg59_top_bits(s, 2 * int64_t(n), [r](int64_t i, uint32_t v) {
        if (i & 1) {
            r[i >> 1] |= uint64_t(v) << 32;
        } else {
            r[i >> 1] = v;
        }
    });
}

int32_t bits32_none(int32_t, RngStream*, int32_t, uint32_t*) { return PTZ_ERROR_BITS_UNSUPPORTED; }
int32_t bits64_none(int32_t, RngStream*, int32_t, uint64_t*) { return PTZ_ERROR_BITS_UNSUPPORTED; }

// One line per built-in row, in row order: name and kind.
#define PTZ_BITS_ROWS(X) \
    X(MCG31, none)       \
    X(R250, none)        \
    X(MRG32K3A, none)    \
    X(MCG59, mcg59)      \
    X(WH, none)          \
    X(SOBOL, none)       \
    X(NIEDERREITER, none) \
    X(MT19937, words)    \
    X(MT2203, words)     \
    X(IABSTRACT, none)   \
    X(DABSTRACT, none)   \
    X(SABSTRACT, none)   \
    X(SFMT19937, words)  \
    X(NONDETERM, words)  \
    X(ARS5, words)       \
    X(PHILOX4X32X10, words)

#define PTZ_BITS_DEFINE(NAME, KIND)                                                                  \
    int32_t _viRngUniformBits32##NAME(int32_t m, RngStream* s, int32_t n, uint32_t* r) {             \
        return bits32_##KIND(m, s, n, r);                                                            \
    }                                                                                                \
    int32_t _viRngUniformBits64##NAME(int32_t m, RngStream* s, int32_t n, uint64_t* r) {             \
        return bits64_##KIND(m, s, n, r);                                                            \
    }
PTZ_BITS_ROWS(PTZ_BITS_DEFINE)

#define PTZ_BITS32_ENTRY(NAME, KIND) &_viRngUniformBits32##NAME,
#define PTZ_BITS64_ENTRY(NAME, KIND) &_viRngUniformBits64##NAME,
constexpr Bits32Fn kBits32[ptz::kBuiltinRows] = {PTZ_BITS_ROWS(PTZ_BITS32_ENTRY)};
constexpr Bits64Fn kBits64[ptz::kBuiltinRows] = {PTZ_BITS_ROWS(PTZ_BITS64_ENTRY)};

// A registered generator has no entry in the tables: its raw output serves
// only when it is a full 32-bit word.
bool registered_gives_words(const RngStream* s) {
    const BrngProperties& p = ptz::row_of(s);
    return p.wordSize == 4 && p.nBits == 32;
}

}  // namespace

extern "C" {

ORVU_API int32_t _ptziRngUniformBits(int32_t, RngStream* stream, int32_t n, void* r) {
    return ptz::row_of(stream).iBRng(stream, n, r);
}

ORVU_API int32_t _ptziRngUniformBits32(int32_t method, RngStream* stream, int32_t n, uint32_t* r) {
    if (n > 0 && !ptz::extent_fits<uint32_t>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    const int32_t k = ptz::builtin_index(stream->brng);
    if (k < 0) return registered_gives_words(stream) ? bits32_words(method, stream, n, r) : PTZ_ERROR_BITS_UNSUPPORTED;
    return kBits32[k](method, stream, n, r);
}

ORVU_API int32_t _ptziRngUniformBits64(int32_t method, RngStream* stream, int32_t n, uint64_t* r) {
    if (n > 0 && !ptz::extent_fits<uint64_t>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    const int32_t k = ptz::builtin_index(stream->brng);
    if (k < 0) return registered_gives_words(stream) ? bits64_words(method, stream, n, r) : PTZ_ERROR_BITS_UNSUPPORTED;
    return kBits64[k](method, stream, n, r);
}

}  // extern "C"
