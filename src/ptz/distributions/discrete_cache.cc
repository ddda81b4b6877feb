// Creation of the discrete generators' set-up chunks.
#include "ptz/distributions/discrete_cache.h"

#include "orvu_serv.h"

namespace ptz::dist {

int32_t setup_chunk(RngStream* s, int32_t id, int32_t bytes, void** data) {
    if (void* found = __ptzSearchChunk(s, id)) {
        *data = found;
        return PTZ_OK;
    }
    void* p = orvu_serv_allocate(uint32_t(bytes), 128);
    if (!p) return PTZ_ERROR_MEM_FAILURE;
    std::memset(p, 0, size_t(bytes));  // a zero key: no parameters built yet
    const int32_t st = __ptzAddChunk(s, id, nullptr, p, bytes);
    if (st < 0) {
        orvu_serv_deallocate(p);
        return st;
    }
    *data = p;
    return PTZ_OK;
}

}  // namespace ptz::dist
