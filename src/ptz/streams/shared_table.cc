// Shared read-only data table: 128 entries guarded by a spin lock word.
#include "ptz/streams/shared_table.h"

#include <atomic>
#include <cstring>

#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace {

GlobRODataEntry g_table[ptz::kSharedEntries];
int32_t g_size[ptz::kSharedEntries];  // data bytes of each entry, -1 until a chunk says
int32_t g_count = 0;
std::atomic<int32_t> g_lock{0};  // 0 free, 1 held

class SpinLock {
public:
    SpinLock() {
        int32_t expected = 0;
        while (!g_lock.compare_exchange_weak(expected, 1, std::memory_order_acquire)) expected = 0;
    }
    ~SpinLock() { g_lock.store(0, std::memory_order_release); }
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;
};

// Index of the entry with this key, -1 when none (the lock is held).
int32_t find_locked(const void* key) {
    if (!key || ptz::key_is_zero(static_cast<const uint8_t*>(key))) return -1;
    uint32_t want[4];
    std::memcpy(want, key, sizeof want);
    for (int32_t i = 0; i < g_count; ++i) {
        uint32_t have[4];
        std::memcpy(have, g_table[i].key, sizeof have);
        if (have[0] == want[0] && have[1] == want[1] && have[2] == want[2] && have[3] == want[3]) return i;
    }
    return -1;
}

uint64_t read_time_stamp() {
#if defined(__i386__) || defined(__x86_64__)
    uint32_t lo, hi;
    __asm__ __volatile__("rdtsc" : "=a"(lo), "=d"(hi));
    return uint64_t(lo) | (uint64_t(hi) << 32);
#else
    static std::atomic<uint64_t> counter{1};
    return counter.fetch_add(1);
#endif
}

}  // namespace

namespace ptz {

int32_t shared_entries_in_use() {
    SpinLock lock;
    return g_count;
}

bool claim_shared_size(const uint8_t* key, int32_t size) {
    SpinLock lock;
    const int32_t i = find_locked(key);
    if (i < 0) return false;
    if (g_size[i] < 0) g_size[i] = size;
    return g_size[i] == size;
}

bool key_is_zero(const uint8_t* key) {
    for (int i = 0; i < 16; ++i)
        if (key[i]) return false;
    return true;
}

}  // namespace ptz

extern "C" {

ORVU_API int32_t __ptzGenerateNewGlobalRODataTableEntryId(void* key, int32_t discriminator) {
    const int64_t wide = discriminator;  // sign-extended into bytes 8..15
    auto* bytes = static_cast<uint8_t*>(key);
    std::memcpy(bytes + 8, &wide, 8);
    SpinLock lock;
    do {
        const uint64_t stamp = read_time_stamp();
        std::memcpy(bytes, &stamp, 8);
    } while (find_locked(key) >= 0);
    return PTZ_OK;
}

ORVU_API int32_t __ptzFindGlobRODataTableEntry(GlobRODataEntry** entry, const void* key) {
    SpinLock lock;
    const int32_t i = find_locked(key);
    if (i < 0) return PTZ_ERROR_RO_ENTRY_NOT_FOUND;
    *entry = &g_table[i];
    return PTZ_OK;
}

ORVU_API int32_t __ptzCreateGlobRODataTableEntry(GlobRODataEntry** entry, const void* key, void* data) {
    SpinLock lock;
    if (g_count >= ptz::kSharedEntries) return PTZ_ERROR_RO_TABLE_FULL;
    GlobRODataEntry& e = g_table[g_count++];
    std::memcpy(e.key, key, sizeof e.key);
    e.count = 1;
    e.data = data;
    g_size[&e - g_table] = -1;
    *entry = &e;
    return PTZ_OK;
}

ORVU_API void __ptzRegisterGlobRODataReference(StreamChunk* chunk, const void* key) {
    SpinLock lock;
    const int32_t i = find_locked(key);
    if (i < 0) return;
    ++g_table[i].count;
    chunk->data = g_table[i].data;
}

ORVU_API void __ptzUnregisterGlobRODataReference(const void* key) {
    SpinLock lock;
    const int32_t i = find_locked(key);
    if (i < 0) return;
    if (--g_table[i].count > 0) return;
    if (g_table[i].data) ptz::deallocate(g_table[i].data);
    --g_count;  // the last entry fills the gap
    g_table[i] = g_table[g_count];
    g_size[i] = g_size[g_count];
}

}  // extern "C"
