// Saving streams to, and loading them from, files and memory images.
//
// Image: a 16-byte header (version 1, "RNG", header size, state size, chunk
// count, two reserved bytes, generator id; little-endian), the state bytes
// 16 .. stateSize-1 of the record, then per chunk its id, 16-byte key (version
// 1 only), size and data.
#include "ptz/brng/cpu_features.h"
#include "ptz/streams/byte_io.h"
#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace {

constexpr int32_t kImageHeader = 16;
constexpr uint32_t kMaxChunks = 0xFFFF;  // the count field has 16 bits

void put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void put32(uint8_t* p, uint32_t v) { put16(p, v), put16(p + 2, v >> 16); }
uint32_t get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

// Error codes that differ between the file and the memory forms.
struct LoadCodes {
    int32_t bad_format, bad_version;
};
constexpr LoadCodes kFileCodes{PTZ_ERROR_BAD_FILE_FORMAT, PTZ_ERROR_UNSUPPORTED_FILE_VER};
constexpr LoadCodes kMemoryCodes{PTZ_ERROR_BAD_MEM_FORMAT, PTZ_ERROR_BAD_MEM_FORMAT};

int32_t save(const RngStream* s, ptz::ByteSink out) {
    const int32_t state = ptz::record_bytes(ptz::row_of(s)) - ptz::kHeaderBytes;
    uint32_t chunks = uint32_t(__ptzGetNumChunks(s));
    if (chunks > kMaxChunks) chunks = kMaxChunks;
    uint8_t header[kImageHeader] = {1, 'R', 'N', 'G'};
    put16(header + 4, kImageHeader);
    put16(header + 6, uint32_t(state));
    put16(header + 8, chunks);
    put32(header + 12, uint32_t(s->brng));
    if (!out.write(out.ctx, header, kImageHeader)) return PTZ_ERROR_FILE_WRITE;
    if (!out.write(out.ctx, ptz::state_bytes(s), uint32_t(state))) return PTZ_ERROR_FILE_WRITE;
    const StreamChunk* c = s->chunks;
    for (uint32_t k = 0; k < chunks; ++k, c = c->next) {
        uint8_t fields[4];
        put32(fields, uint32_t(c->id));
        if (!out.write(out.ctx, fields, 4) || !out.write(out.ctx, c->key, 16)) return PTZ_ERROR_FILE_WRITE;
        put32(fields, uint32_t(c->size));
        if (!out.write(out.ctx, fields, 4)) return PTZ_ERROR_FILE_WRITE;
        if (c->size > 0 && !out.write(out.ctx, c->data, uint32_t(c->size))) return PTZ_ERROR_FILE_WRITE;
    }
    return PTZ_OK;
}

// Reads one chunk and attaches it to s.
int32_t load_chunk(RngStream* s, ptz::ByteSource& in, uint8_t version) {
    uint8_t fields[4];
    uint8_t key[16] = {};
    if (!in.read(in.ctx, fields, 4)) return PTZ_ERROR_FILE_READ;
    const int32_t id = int32_t(get32(fields));
    if (version == 1) {
        if (!in.read(in.ctx, key, 16)) return PTZ_ERROR_FILE_READ;
    } else if (version != 0) {
        return PTZ_ERROR_FILE_READ;
    }
    if (!in.read(in.ctx, fields, 4)) return PTZ_ERROR_FILE_READ;
    const int32_t size = int32_t(get32(fields));
    // A negative size, or one larger than what is left of the image, cannot be
    // read: refuse it before allocating.
    if (size < 0 || uint64_t(size) > in.remaining(in.ctx)) return PTZ_ERROR_FILE_READ;
    void* data = nullptr;
    uint32_t bytes = 0;
    if (size > 0) {
        if (ptz::checked_size(size, 1, 0, &bytes)) data = ptz::allocate(bytes);
        if (!data) return PTZ_ERROR_MEM_FAILURE;
        if (!in.read(in.ctx, data, bytes)) {
            ptz::deallocate(data);
            return PTZ_ERROR_FILE_READ;
        }
    }
    const int32_t status = __ptzAddChunk(s, id, key, data, size);
    if (status != PTZ_OK) {
        if (data) ptz::deallocate(data);
        return status;
    }
    // A key naming a live shared entry re-links the chunk to the entry's
    // data; the block just read is then not needed.
    if (s->chunks->data != data && data) ptz::deallocate(data);
    return PTZ_OK;
}

int32_t load(RngStream** handle, ptz::ByteSource in, const LoadCodes& codes) {
    uint8_t h[kImageHeader];
    if (!in.read(in.ctx, h, kImageHeader)) return PTZ_ERROR_FILE_READ;
    const bool magic = (h[1] == 'R' && h[2] == 'N' && h[3] == 'G') || (h[0] == 'R' && h[1] == 'N' && h[2] == 'G');
    if (!magic) return codes.bad_format;
    if (h[0] > 1 && h[3] > 1) return codes.bad_version;
    const int32_t id = int32_t(get32(h + 12));
    const uint32_t header_size = get16(h + 4), state_field = get16(h + 6), chunks = get16(h + 8);
    int32_t row = 0, sub = 0;
    const BrngProperties* table = __ptzGetBrngBaseOffset(id, &row, &sub);
    if (__ptzIsBrngValid(table, row, sub) != PTZ_OK) return codes.bad_format;
    // The state of these kinds is a buffer address and a function address: a
    // loaded one would call wherever the image points.
    if (ptz::state_holds_pointers(id)) return codes.bad_format;
    const uint32_t state = uint32_t(ptz::record_bytes(table[row]) - ptz::kHeaderBytes);
    // The field keeps the low 16 bits of the size: a state area of 64 KiB or
    // more (NIEDERREITER's) is matched on those bits, and read in full.
    if (state_field != (state & 0xFFFFu) || header_size < kImageHeader) return codes.bad_format;
    // A longer header carries fields this version does not know: skipped.
    if (header_size > kImageHeader && !in.skip(in.ctx, header_size - kImageHeader)) return PTZ_ERROR_FILE_READ;

    int32_t status = __ptzAllocateStream(handle, table, id, row, sub);
    if (status != PTZ_OK) return status;
    if (!in.read(in.ctx, ptz::state_bytes(*handle), state)) status = PTZ_ERROR_FILE_READ;
    // A stream whose generator needs an instruction this processor lacks is
    // not handed out.
    if (status == PTZ_OK) status = ptz::instruction_status(id);
    for (uint32_t k = 0; k < chunks && status == PTZ_OK; ++k) status = load_chunk(*handle, in, h[0]);
    if (status != PTZ_OK) __ptzDeleteStream(handle);
    return status;
}

// The caller's file name as a zero-terminated string: a copy of `length`
// bytes, or the name itself for a negative length.
struct FileName {
    const char* text = nullptr;
    char* copy = nullptr;
    ~FileName() {
        if (copy) ptz::deallocate(copy);
    }
    int32_t prepare(const char* name, int32_t length) {
        if (length < 0) {
            text = name;
            return PTZ_OK;
        }
        uint32_t bytes = 0;
        if (ptz::checked_size(length, 1, 1, &bytes)) copy = static_cast<char*>(ptz::allocate(bytes));
        if (!copy) return PTZ_ERROR_MEM_FAILURE;
        if (length > 0) std::memcpy(copy, name, size_t(length));
        copy[length] = '\0';
        text = copy;
        return PTZ_OK;
    }
};

}  // namespace

extern "C" {

ORVU_API int32_t __ptzSaveStreamF(const RngStream* stream, const char* name, int32_t length) {
    FileName file;
    int32_t status = file.prepare(name, length);
    if (status != PTZ_OK) return status;
    std::FILE* f = std::fopen(file.text, "wb");
    if (!f) return PTZ_ERROR_FILE_OPEN;
    status = save(stream, ptz::file_sink(f));
    if (std::fclose(f) != 0 && status == PTZ_OK) status = PTZ_ERROR_FILE_CLOSE;
    return status;
}

ORVU_API int32_t __ptzSaveStreamM(const RngStream* stream, void* memory) {
    ptz::MemoryCursor cursor{static_cast<uint8_t*>(memory), UINT64_MAX};
    return save(stream, ptz::memory_sink(&cursor));
}

ORVU_API int32_t __ptzLoadStreamF(RngStream** stream, const char* name, int32_t length) {
    FileName file;
    int32_t status = file.prepare(name, length);
    *stream = nullptr;
    if (status != PTZ_OK) return status;
    std::FILE* f = std::fopen(file.text, "rb");
    if (!f) return PTZ_ERROR_FILE_OPEN;
    status = load(stream, ptz::file_source(f), kFileCodes);
    if (std::fclose(f) != 0 && status == PTZ_OK) {
        status = PTZ_ERROR_FILE_CLOSE;
        __ptzDeleteStream(stream);
    }
    return status;
}

ORVU_API int32_t __ptzLoadStreamMBounded(RngStream** stream, const void* memory, uint32_t size) {
    *stream = nullptr;
    ptz::MemoryCursor cursor{static_cast<uint8_t*>(const_cast<void*>(memory)), size};
    return load(stream, ptz::memory_source(&cursor), kMemoryCodes);
}

ORVU_API int32_t __ptzLoadStreamM(RngStream** stream, const void* memory) {
    // The caller vouches for the image: its declared sizes bound the reads.
    *stream = nullptr;
    ptz::MemoryCursor cursor{static_cast<uint8_t*>(const_cast<void*>(memory)), UINT64_MAX};
    return load(stream, ptz::memory_source(&cursor), kMemoryCodes);
}

}  // extern "C"
