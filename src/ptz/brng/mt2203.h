// The MT2203 parameter table: row s holds a, b, c of sub-generator s.
#pragma once

#include <cstdint>

#include "orvu_ptz_rng.h"

extern "C" {
ORVU_API extern const uint32_t _ptz_mt2203_table[6024][3];
PTZ_DECLARE_BRNG(MT2203)
}

namespace ptz {
// a, b, c of sub-generator s (0 <= s < 6024); defined beside the table.
const uint32_t* mt2203_parameters(int32_t s);
}  // namespace ptz
