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

// Sites k0 .. k0+n-1 of `total` uniform sites given by their two ends.
template <class T>
void expand_uniform_sites(const T* ends, int64_t total, int64_t k0, int64_t n, T* out) {
    const T step = total > 1 ? (ends[1] - ends[0]) / static_cast<T>(total - 1) : T(0);
    for (int64_t i = 0; i < n; ++i) out[i] = ends[0] + static_cast<T>(k0 + i) * step;
}

// The sites of a request: as given, or all of them expanded when the hint
// says they are given by their two ends. ok() is false when the expansion
// found no memory.
template <class T>
class RequestSites {
public:
    RequestSites(const T* site, int64_t nsite, int64_t hint)
        : buf_(hint == kSitesUniform ? Size(nsite) : Size(0)), p_(site) {
        if (hint == kSitesUniform && buf_.ok()) {
            expand_uniform_sites(site, nsite, 0, nsite, buf_.get());
            p_ = buf_.get();
        }
    }
    bool ok() const { return buf_.ok(); }
    const T* get() const { return p_; }

private:
    Scratch<T, 4096> buf_;
    const T* p_;
};

// Cells of nsite sites (expanded, not the two-end form). Threads per the
// method's rule when nsite >= 32 and a table is given.
template <class T, class CB>
int32_t run_search(const OrvuDFTask* t, const SearchPlan& plan, int64_t nsite, const T* site, int32_t* cell, CB cb,
                   void* params, const OrvuThreadingTable* thr);

}  // namespace orvu::df

#endif
