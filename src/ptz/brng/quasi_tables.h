// The quasi-random generators' exported functions and built-in tables.
#pragma once

#include "orvu_ptz_rng.h"

ORVU_EXTERN_C_BEGIN

PTZ_DECLARE_BRNG(Sobol)
PTZ_DECLARE_BRNG(Niederr)

// Sobol dimensions 2..40: primitive polynomials (bit k = coefficient of x^k),
// their degrees and the initial direction integers m_1..m_8 (as many used as
// the degree).
ORVU_API extern const uint32_t uSobolIrredPoly[39];
ORVU_API extern const int32_t iSobolIrredPolyDeg[39];
ORVU_API extern const uint32_t uSobolMInit[39][8];
// Niederreiter dimensions 1..318: irreducible polynomials over GF(2),
// ascending, and their degrees (1 to 11).
ORVU_API extern const uint32_t uNiederrIrredPoly[318];
ORVU_API extern const int32_t iNiederrIrredPolyDeg[318];

ORVU_EXTERN_C_END
