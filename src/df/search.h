// Choice and execution of a cell-search method for a task.
#ifndef ORVU_DF_SEARCH_H
#define ORVU_DF_SEARCH_H

#include "df/task.h"

namespace orvu::df {

enum class SearchMethod { Uniform, QuasiUniform, Sorted, Peak, Hybrid, UserDef, UniUserDef };

struct SearchPlan {
    SearchMethod method;
    double peak;  // peak cell of the peak search
};

// Method choice from the task, the site hint, the data hint and whether a
// search callback is given; -1026 for an unusable data hint.
template <class T>
int32_t plan_search(const OrvuDFTask* t, int64_t site_hint, const T* data_hint, bool has_callback, SearchPlan* plan);

// Cells of nsite sites (expanded, not the two-end form). Threads per the
// method's rule when nsite >= 32 and a table is given.
template <class T, class CB>
int32_t run_search(const OrvuDFTask* t, const SearchPlan& plan, int64_t nsite, const T* site, int32_t* cell, CB cb,
                   void* params, const OrvuThreadingTable* thr);

}  // namespace orvu::df

#endif
