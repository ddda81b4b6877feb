// State areas of the abstract streams (after the 16-byte stream header).
// n: buffer length; p: position of the next unread number; u: n minus the
// count of unread numbers; [a, b]: interval the buffered numbers lie in.
#pragma once

#include <cstdint>

#include "orvu_ptz_rng.h"

namespace ptz {

struct IAbstractState {
    int32_t n, p, u;
    uint32_t* buffer;
    PtziAbstractCallback callback;
};
struct DAbstractState {
    int32_t n, p, u;
    double a, b;
    double* buffer;
    PtzdAbstractCallback callback;
};
struct SAbstractState {
    int32_t n, p, u;
    float a, b;
    float* buffer;
    PtzsAbstractCallback callback;
};

// initStream method-0 parameter blocks.
struct IAbstractInit {
    const int32_t* n;
    uint32_t* buffer;
    PtziAbstractCallback callback;
};
template <class T, class Callback>
struct RealAbstractInit {
    const int32_t* n;
    T* buffer;
    const T* a;
    const T* b;
    Callback callback;
};
using DAbstractInit = RealAbstractInit<double, PtzdAbstractCallback>;
using SAbstractInit = RealAbstractInit<float, PtzsAbstractCallback>;

}  // namespace ptz
