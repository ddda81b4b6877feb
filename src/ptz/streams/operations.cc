// Copying streams, leapfrog and skip-ahead.
#include "ptz/streams/stream.h"

extern "C" {

ORVU_API int32_t __ptzCopyStream(RngStream** dst, const RngStream* src) {
    int32_t row = 0, sub = 0;
    const BrngProperties* table = __ptzGetBrngBaseOffset(src->brng, &row, &sub);
    const int32_t status = __ptzAllocateStream(dst, table, src->brng, row, sub);
    if (status != PTZ_OK) return status;
    std::memcpy(*dst, src, size_t(ptz::record_bytes(table[row])));
    (*dst)->chunks_slot = 0;
    // A copy that could not be completed is not handed out: the handle ends
    // null, as after a failed creation.
    const int32_t chunks = __ptzCopyChunks(*dst, src);
    if (chunks != PTZ_OK) __ptzDeleteStream(dst);
    return chunks;
}

ORVU_API int32_t __ptzCopyStreamState(RngStream* dst, const RngStream* src) {
    if (dst == src) return PTZ_OK;
    // seedWords x wordSize bytes, but never past the end of either state area:
    // for WH that product (64) is twice its 32-byte state, so the copy is the
    // whole state (components and multipliers).
    const BrngProperties& from = ptz::row_of(src);
    int64_t bytes = int64_t(from.seedWords) * from.wordSize;
    const int64_t src_area = ptz::record_bytes(from) - ptz::kHeaderBytes;
    const int64_t dst_area = ptz::record_bytes(ptz::row_of(dst)) - ptz::kHeaderBytes;
    if (bytes > src_area) bytes = src_area;
    if (bytes > dst_area) bytes = dst_area;
    if (bytes > 0) std::memmove(ptz::state_bytes(dst), ptz::state_bytes(src), size_t(bytes));
    __ptzDeleteChunks(dst);
    return __ptzCopyChunks(dst, src);
}

ORVU_API int32_t __ptzLeapfrogStream(RngStream* stream, int32_t k, int32_t nstreams) {
    if (nstreams < 0) return PTZ_ERROR_LEAPFROG_NSTREAMS_NEGATIVE;
    return ptz::row_of(stream).initStream(1, stream, nstreams, &k);
}

ORVU_API int32_t __ptzSkipAheadStream(RngStream* stream, int64_t nskip) {
    const uint32_t words[2] = {uint32_t(uint64_t(nskip)), uint32_t(uint64_t(nskip) >> 32)};
    return ptz::row_of(stream).initStream(2, stream, 2, words);
}

}  // extern "C"
