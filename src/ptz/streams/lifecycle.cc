// Creating, deleting and sizing streams.
#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace {
constexpr int32_t kChunkImageOverhead = 24;  // id, key and size fields of a saved chunk
}

extern "C" {

ORVU_API int32_t __ptzAllocateStream(RngStream** stream, const BrngProperties* table, int32_t id, int32_t row,
                                     int32_t sub) {
    if (__ptzIsBrngValid(table, row, sub) != PTZ_OK) return PTZ_ERROR_INVALID_BRNG;
    *stream = nullptr;
    uint32_t bytes = 0;
    if (!ptz::checked_size(ptz::record_bytes(table[row]), 1, 0, &bytes)) return PTZ_ERROR_MEM_FAILURE;
    void* block = ptz::allocate(bytes);
    *stream = static_cast<RngStream*>(block);
    if (!block) return PTZ_ERROR_MEM_FAILURE;
    RngStream* s = *stream;
    s->brng = id;
    s->created = 1;
    s->chunks_slot = 0;
    return PTZ_OK;
}

ORVU_API int32_t __ptzNewStreamEx(RngStream** stream, int32_t id, int32_t n, const uint32_t* params) {
    // Abstract streams are built over a caller's buffer by their own
    // constructors; masking bit 0x100000 folds 0xB00000 onto 0xA00000.
    if ((id & ~0x100000) == PTZ_BRNG_IABSTRACT || id == PTZ_BRNG_SABSTRACT) return PTZ_ERROR_INVALID_BRNG;
    return ptz::new_stream(stream, id, n, params);
}

ORVU_API int32_t __ptzDeleteStream(RngStream** stream) {
    if (*stream) {
        __ptzDeleteChunks(*stream);
        ptz::deallocate(*stream);
    }
    *stream = nullptr;
    return PTZ_OK;
}

ORVU_API int32_t __ptzGetStreamSize(const RngStream* stream) {
    int32_t size = ptz::record_bytes(ptz::row_of(stream));
    for (const StreamChunk* c = stream->chunks; c; c = c->next)
        if (!ptz::checked_size(c->size, 1, int64_t(size) + kChunkImageOverhead, &size)) return PTZ_ERROR_MEM_FAILURE;
    return size;
}

}  // extern "C"

namespace ptz {

int32_t new_stream(RngStream** stream, int32_t id, int32_t n, const void* params) {
    int32_t row = 0, sub = 0;
    const BrngProperties* table = __ptzGetBrngBaseOffset(id, &row, &sub);
    const int32_t status = __ptzAllocateStream(stream, table, id, row, sub);
    if (status != PTZ_OK) return status;
    return table[row].initStream(0, *stream, n, params);
}

}  // namespace ptz
