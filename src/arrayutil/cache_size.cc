// What the byte-level paths ask of the processor: the size of its last-level
// data cache, for the choice between normal and cache-bypassing stores, and
// whether its string moves are fast and its 256-bit vector stores usable.
//
// Sources, in order: the deterministic cache-parameter leaves (leaf 4 on Intel,
// leaf 0x8000001D on AMD and Hygon), the Intel leaf-2 descriptor bytes looked up
// in the published descriptor table, AMD's leaf 0x80000006 summary, and finally
// what the C library reports through sysconf. The largest size found wins.
#include <atomic>
#include <cstring>
#include <unistd.h>

#include "arrayutil/byte_paths.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define ORVU_HAVE_CPUID 1
#endif

namespace orvu::arrayutil {
namespace {

constexpr size_t KiB = 1024;

// Leaf-2 descriptors of the second- and third-level caches of 512 KiB and up
// (smaller caches do not matter: the streaming thresholds start at 512 KiB).
struct Descriptor { uint8_t code; uint32_t kib; };
constexpr Descriptor kDescriptors[] = {
    {0x22, 512},   {0x23, 1024},  {0x25, 2048},  {0x29, 4096},  {0x3E, 512},
    {0x43, 512},   {0x44, 1024},  {0x45, 2048},  {0x46, 4096},  {0x47, 8192},
    {0x48, 3072},  {0x49, 4096},  {0x4A, 6144},  {0x4B, 8192},  {0x4C, 12288},
    {0x4D, 16384}, {0x4E, 6144},  {0x78, 1024},  {0x7B, 512},   {0x7C, 1024},
    {0x7D, 2048},  {0x7F, 512},   {0x80, 512},   {0x83, 512},   {0x84, 1024},
    {0x85, 2048},  {0x86, 512},   {0x87, 1024},  {0xD0, 512},   {0xD1, 1024},
    {0xD2, 2048},  {0xD6, 1024},  {0xD7, 2048},  {0xD8, 4096},  {0xDC, 1536},
    {0xDD, 3072},  {0xDE, 6144},  {0xE2, 2048},  {0xE3, 4096},  {0xE4, 8192},
    {0xEA, 12288}, {0xEB, 18432}, {0xEC, 24576},
};
static_assert(sizeof kDescriptors / sizeof kDescriptors[0] == 43);

size_t descriptor_kib(uint8_t code) {
    for (const Descriptor& d : kDescriptors)
        if (d.code == code) return d.kib;
    return 0;
}

#ifdef ORVU_HAVE_CPUID
enum class Vendor { intel, amd, other };

Vendor vendor(unsigned* max_leaf) {
    unsigned a, b, c, d;
    if (!__get_cpuid(0, &a, &b, &c, &d)) { *max_leaf = 0; return Vendor::other; }
    *max_leaf = a;
    char id[13];
    std::memcpy(id, &b, 4);
    std::memcpy(id + 4, &d, 4);
    std::memcpy(id + 8, &c, 4);
    id[12] = '\0';
    if (std::strcmp(id, "GenuineIntel") == 0) return Vendor::intel;
    if (std::strcmp(id, "AuthenticAMD") == 0 || std::strcmp(id, "HygonGenuine") == 0) return Vendor::amd;
    return Vendor::other;
}

// Walks a deterministic cache-parameter leaf: one sub-leaf per cache until the
// type field reads 0. Size = ways * partitions * line size * sets.
size_t from_parameter_leaf(unsigned leaf) {
    size_t best = 0;
    for (unsigned sub = 0; sub < 16; ++sub) {
        unsigned a, b, c, d;
        __cpuid_count(leaf, sub, a, b, c, d);
        unsigned type = a & 0x1F;          // 1 data, 2 instruction, 3 unified
        if (type == 0) break;
        if (type == 2) continue;
        size_t ways = ((b >> 22) & 0x3FF) + 1;
        size_t parts = ((b >> 12) & 0x3FF) + 1;
        size_t line = (b & 0xFFF) + 1;
        size_t sets = size_t{c} + 1;
        size_t size = ways * parts * line * sets;
        if (size > best) best = size;
    }
    return best;
}

// Leaf 2: each register with bit 31 clear holds four descriptor bytes (the low
// byte of EAX is the repeat count, not a descriptor).
size_t from_descriptors() {
    unsigned r[4];
    __cpuid(2, r[0], r[1], r[2], r[3]);
    size_t best = 0;
    for (int i = 0; i < 4; ++i) {
        if (r[i] & 0x80000000u) continue;
        for (int k = (i == 0) ? 1 : 0; k < 4; ++k) {
            size_t kib = descriptor_kib(static_cast<uint8_t>(r[i] >> (8 * k)));
            if (kib * KiB > best) best = kib * KiB;
        }
    }
    return best;
}

size_t from_processor() {
    unsigned max_leaf;
    Vendor v = vendor(&max_leaf);
    unsigned a, b, c, d;
    if (v == Vendor::intel) {
        if (max_leaf >= 4) {
            if (size_t s = from_parameter_leaf(4)) return s;
        }
        if (max_leaf >= 2) return from_descriptors();
    }
    if (v == Vendor::amd && __get_cpuid(0x80000000u, &a, &b, &c, &d)) {
        unsigned max_ext = a;
        __get_cpuid(0x80000001u, &a, &b, &c, &d);
        bool topology_ext = (c >> 22) & 1;
        if (topology_ext && max_ext >= 0x8000001Du) {
            if (size_t s = from_parameter_leaf(0x8000001Du)) return s;
        }
        if (max_ext >= 0x80000006u) {
            __get_cpuid(0x80000006u, &a, &b, &c, &d);
            size_t l2 = size_t{c >> 16} * KiB;           // ECX[31:16]: KiB
            size_t l3 = size_t{d >> 18} * 512 * KiB;     // EDX[31:18]: 512 KiB units
            return l3 > l2 ? l3 : l2;
        }
    }
    return 0;
}
#else
size_t from_processor() { return 0; }
#endif

size_t from_sysconf() {
    long best = 0;
#if defined(_SC_LEVEL3_CACHE_SIZE) && defined(_SC_LEVEL2_CACHE_SIZE)
    for (int name : {_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
        long s = sysconf(name);
        if (s > best) best = s;
    }
#endif
    return static_cast<size_t>(best);
}

}  // namespace

size_t last_level_cache_bytes() {
    // The answer depends only on the machine; remember it so that large copies
    // do not pay for a dozen serialising CPUID instructions each time.
    static std::atomic<intptr_t> known{-1};
    intptr_t v = known.load(std::memory_order_relaxed);
    if (v < 0) {
        size_t s = from_processor();
        if (s == 0) s = from_sysconf();
        // A size beyond the address space cannot be reached by any block anyway.
        v = s > size_t{INTPTR_MAX} ? INTPTR_MAX : static_cast<intptr_t>(s);
        known.store(v, std::memory_order_relaxed);
    }
    return static_cast<size_t>(v);
}

bool has_wide_vectors() {
    // Leaf 1 ECX bit 28 (AVX) and bit 27 (the system saves extended state),
    // and XCR0 bits 1 and 2: the system saves and restores the SSE and AVX
    // registers, without which 256-bit instructions fault.
    static const bool wide = [] {
#ifdef ORVU_HAVE_CPUID
        unsigned a, b, c, d;
        if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
        if (((c >> 27) & 1) == 0 || ((c >> 28) & 1) == 0) return false;
        uint32_t lo, hi;
        __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        return (lo & 6u) == 6u;
#else
        return false;
#endif
    }();
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
