// File and memory forms of the image byte source and sink.
#include "ptz/streams/byte_io.h"

#include <sys/stat.h>

#include <cstring>

namespace {

bool __ptzSaveToFile(void* ctx, const void* bytes, uint32_t count) {
    return std::fwrite(bytes, 1, count, static_cast<std::FILE*>(ctx)) == count;
}
bool __ptzLoadFromFile(void* ctx, void* bytes, uint32_t count) {
    return std::fread(bytes, 1, count, static_cast<std::FILE*>(ctx)) == count;
}
bool __ptzSkipLoadingFromFile(void* ctx, uint32_t count) {
    return std::fseek(static_cast<std::FILE*>(ctx), long(count), SEEK_CUR) == 0;
}
// What is left of a regular file; other files (pipes, devices) cannot say,
// and a short read reports the truth there.
uint64_t file_remaining(void* ctx) {
    auto* f = static_cast<std::FILE*>(ctx);
    struct stat st;
    const long at = std::ftell(f);
    if (at < 0 || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return UINT64_MAX;
    return st.st_size > at ? uint64_t(st.st_size - at) : 0;
}

bool __ptzSaveToMemory(void* ctx, const void* bytes, uint32_t count) {
    auto* c = static_cast<ptz::MemoryCursor*>(ctx);
    std::memcpy(c->pos, bytes, count);
    c->pos += count;
    return true;
}
bool __ptzLoadFromMemory(void* ctx, void* bytes, uint32_t count) {
    auto* c = static_cast<ptz::MemoryCursor*>(ctx);
    if (count > c->left) return false;
    std::memcpy(bytes, c->pos, count);
    c->pos += count;
    c->left -= count;
    return true;
}
bool __ptzSkipLoadingFromMemory(void* ctx, uint32_t count) {
    auto* c = static_cast<ptz::MemoryCursor*>(ctx);
    if (count > c->left) return false;
    c->pos += count;
    c->left -= count;
    return true;
}
uint64_t memory_remaining(void* ctx) { return static_cast<ptz::MemoryCursor*>(ctx)->left; }

}  // namespace

namespace ptz {

ByteSink file_sink(std::FILE* f) { return {__ptzSaveToFile, f}; }
ByteSink memory_sink(MemoryCursor* c) { return {__ptzSaveToMemory, c}; }
ByteSource file_source(std::FILE* f) { return {__ptzLoadFromFile, __ptzSkipLoadingFromFile, file_remaining, f}; }
ByteSource memory_source(MemoryCursor* c) {
    return {__ptzLoadFromMemory, __ptzSkipLoadingFromMemory, memory_remaining, c};
}

}  // namespace ptz
