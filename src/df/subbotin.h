// Subbotin quadratic splines: entry dispatch and the knot subgrid.
#ifndef ORVU_DF_SUBBOTIN_H
#define ORVU_DF_SUBBOTIN_H

#include "df/task.h"

namespace orvu::df {

// Checks of the Subbotin construction (ic and bc) and kernel dispatch.
template <class T>
int32_t subbotin_entry(OrvuDFTask* t, const OrvuThreadingTable* thr);

// Knot k (0 .. nx) of the task's subgrid.
template <class T, bool UniformSubgrid>
inline T subbotin_knot(const OrvuDFTask* t, int64_t k) {
    const T* ic = static_cast<const T*>(t->ic);
    if (UniformSubgrid)
        return k == t->nx ? ic[1] : ic[0] + static_cast<T>(k) * ((ic[1] - ic[0]) / static_cast<T>(t->nx));
    return ic[k];
}

}  // namespace orvu::df

#endif
