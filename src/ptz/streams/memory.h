// Every block of the random family comes from the service layer, 128-aligned.
#pragma once

#include <cstdint>

#include "orvu_serv.h"

namespace ptz {
inline void* allocate(uint32_t bytes) { return orvu_serv_allocate(bytes, 128); }
inline void deallocate(void* p) { orvu_serv_deallocate(p); }
}  // namespace ptz
