// The per-stream chunk list: auxiliary blocks that generators attach to a
// stream, private or shared through the read-only data table.
#include "ptz/streams/memory.h"
#include "ptz/streams/shared_table.h"
#include "ptz/streams/stream.h"

namespace {

// Releases one chunk: its shared reference or its private data, then itself.
void release_chunk(StreamChunk* c) {
    GlobRODataEntry* entry = nullptr;
    if (__ptzFindGlobRODataTableEntry(&entry, c->key) == PTZ_OK) {
        __ptzUnregisterGlobRODataReference(c->key);
    } else if (c->data) {
        ptz::deallocate(c->data);
    }
    ptz::deallocate(c);
}

}  // namespace

extern "C" {

ORVU_API int32_t __ptzAddChunk(RngStream* stream, int32_t id, const void* key, void* data, int32_t size) {
    // The size is copied, saved and summed into image sizes: it must be one.
    if (size < 0) return PTZ_ERROR_BAD_ARGUMENT;
    auto* c = static_cast<StreamChunk*>(ptz::allocate(sizeof(StreamChunk)));
    if (!c) return PTZ_ERROR_MEM_FAILURE;
    c->id = id;
    c->size = size;
    c->data = data;
    c->next = nullptr;
    if (key) {
        std::memcpy(c->key, key, sizeof c->key);
    } else {
        std::memset(c->key, 0, sizeof c->key);
    }
    GlobRODataEntry* entry = nullptr;
    if (__ptzFindGlobRODataTableEntry(&entry, c->key) == PTZ_OK) {
        if (ptz::claim_shared_size(c->key, size)) {
            __ptzRegisterGlobRODataReference(c, c->key);
        } else {
            // The entry's block has another size (an inconsistent image):
            // the chunk keeps its own data, privately.
            std::memset(c->key, 0, sizeof c->key);
        }
    } else if (ptz::shared_entries_in_use() >= ptz::kSharedEntriesForChunks) {
        // No room to share: the chunk keeps its data to itself.
        std::memset(c->key, 0, sizeof c->key);
    } else if (!ptz::key_is_zero(c->key)) {
        if (__ptzCreateGlobRODataTableEntry(&entry, c->key, data) == PTZ_OK) {
            ptz::claim_shared_size(c->key, size);
        } else {
            std::memset(c->key, 0, sizeof c->key);  // no slot left: private
        }
    }
    c->next = stream->chunks;
    stream->chunks = c;
    return PTZ_OK;
}

ORVU_API void* __ptzSearchChunk(const RngStream* stream, int32_t id) {
    for (const StreamChunk* c = stream->chunks; c; c = c->next)
        if (c->id == id) return c->data;
    return nullptr;
}

ORVU_API int32_t __ptzGetNumChunks(const RngStream* stream) {
    int32_t count = 0;
    for (const StreamChunk* c = stream->chunks; c; c = c->next) ++count;
    return count;
}

ORVU_API void __ptzDeleteChunks(RngStream* stream) {
    StreamChunk* c = stream->chunks;
    while (c) {
        StreamChunk* next = c->next;
        release_chunk(c);
        c = next;
    }
    stream->chunks = nullptr;
}

ORVU_API void __ptzDeleteChunksById(RngStream* stream, int32_t id) {
    StreamChunk** link = &stream->chunks;
    while (*link) {
        StreamChunk* c = *link;
        if (c->id == id) {
            *link = c->next;
            release_chunk(c);
        } else {
            link = &c->next;
        }
    }
}

ORVU_API int32_t __ptzCopyChunks(RngStream* dst, const RngStream* src) {
    for (const StreamChunk* c = src->chunks; c; c = c->next) {
        GlobRODataEntry* entry = nullptr;
        void* data = nullptr;
        if (__ptzFindGlobRODataTableEntry(&entry, c->key) == PTZ_OK) {
            data = c->data;  // shared: the add below takes a new reference
        } else if (c->size > 0) {
            uint32_t bytes = 0;
            if (ptz::checked_size(c->size, 1, 0, &bytes)) data = ptz::allocate(bytes);
            if (!data) {
                __ptzDeleteChunks(dst);
                return PTZ_ERROR_MEM_FAILURE;
            }
            std::memcpy(data, c->data, size_t(c->size));
        }
        const int32_t status = __ptzAddChunk(dst, c->id, c->key, data, c->size);
        if (status != PTZ_OK) {
            if (!entry && data) ptz::deallocate(data);
            __ptzDeleteChunks(dst);
            return status;
        }
    }
    return PTZ_OK;
}

}  // extern "C"
