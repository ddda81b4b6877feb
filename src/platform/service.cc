// Memory, environment and copy services of the platform object, plus the
// allocation hooks tests use to reach every memory-failure path.
#include <atomic>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "orvu_serv.h"

namespace {

// Countdown to an injected failure: 0 = none pending; n > 0 = the n-th
// allocation from now fails. Shared by all threads, so a test that arms it
// must not run other allocating threads at the same time.
std::atomic<int32_t> g_fail_countdown{0};
std::atomic<int32_t> g_live{0};

// True when this allocation is the one a test asked to fail. The countdown
// only moves while positive, so it never goes below zero and a cancelled
// failure (0) stays cancelled.
bool injected_failure() {
    int32_t c = g_fail_countdown.load(std::memory_order_relaxed);
    while (c > 0) {
        if (g_fail_countdown.compare_exchange_weak(c, c - 1, std::memory_order_acq_rel)) return c == 1;
    }
    return false;
}

bool is_power_of_two(int32_t v) { return v > 0 && (v & (v - 1)) == 0; }

// Large blocks (working copies of whole data sets) are touched once, in full,
// soon after they are allocated: asking for huge pages on their 2 MiB-aligned
// interior turns hundreds of page faults per megabyte into one per 2 MiB.
// Only advice: where the system has no huge pages nothing changes.
void advise_huge_pages(void* p, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    if (size < 2 * kHuge) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + size) & ~(kHuge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p, (void)size;
#endif
}

}  // namespace

extern "C" {

void* orvu_serv_allocate(uint32_t size, int32_t alignment) {
    if (!is_power_of_two(alignment)) return nullptr;
    if (injected_failure()) return nullptr;
    // posix_memalign wants a multiple of sizeof(void*); a stricter power of
    // two alignment than asked for is still the asked-for alignment.
    size_t align = static_cast<size_t>(alignment) < sizeof(void*) ? sizeof(void*) : static_cast<size_t>(alignment);
    void* p = nullptr;
    // A zero-byte request still yields a distinct block that can be freed.
    if (posix_memalign(&p, align, size == 0 ? 1 : size) != 0) return nullptr;
    advise_huge_pages(p, size);
    g_live.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void orvu_serv_deallocate(void* p) {
    if (p == nullptr) return;
    std::free(p);
    g_live.fetch_sub(1, std::memory_order_relaxed);
}

int32_t orvu_serv_getenv(const char* name, char* buf, int32_t buf_size) {
    if (name == nullptr || buf == nullptr || buf_size < 1) return 0;
    const char* v = std::getenv(name);
    if (v == nullptr) {
        buf[0] = '\0';
        return 0;
    }
    // Longer values are cut to buf_size - 1 characters; the buffer is always
    // NUL-terminated.
    size_t len = std::strlen(v);
    size_t room = static_cast<size_t>(buf_size) - 1;
    if (len > room) len = room;
    std::memcpy(buf, v, len);
    buf[len] = '\0';
    return static_cast<int32_t>(len);
}

int32_t orvu_serv_memcpy_s(void* dst, size_t dst_size, const void* src, size_t count) {
    if (dst == nullptr || src == nullptr) return 1;
    if (count > dst_size) return 2;
    std::memmove(dst, src, count);
    return 0;
}

void orvu_serv_test_fail_allocation(int32_t n) {
    g_fail_countdown.store(n > 0 ? n : 0, std::memory_order_release);
}

int32_t orvu_serv_test_live_allocations(void) { return g_live.load(std::memory_order_relaxed); }

}  // extern "C"
