// What the byte-level paths ask of the processor: the size of its last-level
// data cache, for the choice between normal and cache-bypassing stores, and
// whether its string moves are fast and its 256-bit vector stores usable.
//
// The cache size comes from the processor identification leaves that describe
// themselves, so no table of model-specific codes is needed:
//   leaf 4 and leaf 0x8000001D  one sub-leaf per cache, ended by a type field
//                               of 0 (a processor without the leaf reads 0)
//   leaf 0x80000006             second-level size in ECX[31:16] (KiB) and
//                               third-level size in EDX[31:18] (512 KiB units;
//                               0 where the field is not filled in)
// The largest size any of them reports wins. When none reports a size (another
// architecture, or a hypervisor that hides the leaves), the C library's answer
// through sysconf is taken.
#include <atomic>
#include <unistd.h>

#include "arrayutil/byte_paths.h"
#include "cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define ORVU_HAVE_CPUID 1
#endif

namespace orvu::arrayutil {
namespace {

#ifdef ORVU_HAVE_CPUID
// Walks a deterministic cache-parameter leaf. Size = ways * partitions * line
// size * sets, each field stored minus one; computed in 64 bits, since a
// corrupt leaf could overflow a 32-bit size_t.
uint64_t from_parameter_leaf(unsigned leaf) {
    uint64_t best = 0;
    for (unsigned sub = 0; sub < 16; ++sub) {
        unsigned a, b, c, d;
        __cpuid_count(leaf, sub, a, b, c, d);
        const unsigned type = a & 0x1F;  // 1 data, 2 instruction, 3 unified
        if (type == 0) break;
        if (type == 2) continue;
        const uint64_t size = uint64_t{((b >> 22) & 0x3FF) + 1} * (((b >> 12) & 0x3FF) + 1) *
                              ((b & 0xFFF) + 1) * (uint64_t{c} + 1);
        if (size > best) best = size;
    }
    return best;
}

uint64_t from_processor() {
    unsigned a, b, c, d;
    uint64_t best = 0;
    if (__get_cpuid_max(0, nullptr) >= 4) best = from_parameter_leaf(4);
    const unsigned max_ext = __get_cpuid_max(0x80000000u, nullptr);
    if (max_ext >= 0x8000001Du) {
        const uint64_t s = from_parameter_leaf(0x8000001Du);
        if (s > best) best = s;
    }
    if (max_ext >= 0x80000006u) {
        __cpuid(0x80000006u, a, b, c, d);
        const uint64_t l2 = uint64_t{c >> 16} << 10;
        const uint64_t l3 = uint64_t{d >> 18} << 19;
        if (l2 > best) best = l2;
        if (l3 > best) best = l3;
    }
    return best;
}
#else
uint64_t from_processor() { return 0; }
#endif

uint64_t from_sysconf() {
    long best = 0;
#if defined(_SC_LEVEL3_CACHE_SIZE) && defined(_SC_LEVEL2_CACHE_SIZE)
    for (int name : {_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
        const long s = sysconf(name);
        if (s > best) best = s;
    }
#endif
    return static_cast<uint64_t>(best);
}

}  // namespace

size_t last_level_cache_bytes() {
    // The answer depends only on the machine; remember it so that large copies
    // do not pay for a dozen serialising identification instructions each time.
    static std::atomic<intptr_t> known{-1};
    intptr_t v = known.load(std::memory_order_relaxed);
    if (v < 0) {
        uint64_t s = from_processor();
        if (s == 0) s = from_sysconf();
        // A size beyond the address space cannot be reached by any block anyway.
        v = s > uint64_t{INTPTR_MAX} ? INTPTR_MAX : static_cast<intptr_t>(s);
        known.store(v, std::memory_order_relaxed);
    }
    return static_cast<size_t>(v);
}

bool has_wide_vectors() {
    static const bool wide = orvu::cpu::vector_support() >= orvu::cpu::Vectors::avx;
    return wide;
}

bool has_fast_string_moves() {
    // Leaf 7, sub-leaf 0, EBX bit 9: enhanced `rep movsb`/`rep stosb`.
    static const bool fast = [] {
#ifdef ORVU_HAVE_CPUID
        unsigned a, b, c, d;
        if (__get_cpuid_max(0, nullptr) < 7) return false;
        __cpuid_count(7, 0, a, b, c, d);
        return ((b >> 9) & 1) != 0;
#else
        return false;
#endif
    }();
    return fast;
}

}  // namespace orvu::arrayutil
