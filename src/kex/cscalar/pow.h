// The complex power of finite values, for exponents of any size.
#pragma once

#include "kex/cscalar/common.h"

namespace kex::cscalar {

// z^w = e^(w log z) for finite z != 0 and finite w, given the extended
// log|z| = l and arg z = t. Where |w log z| is too large for l and t, log z is
// recomputed as pairs of extended values. Components beyond the extended
// range come out infinite or zero.
CLD pow_finite(double x, double y, double a, double b, LD l, LD t);

}  // namespace kex::cscalar
