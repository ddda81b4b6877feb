// What the robust covariance, outlier detection and Mahalanobis distance
// routines share: the working copy of the processed components (in double
// for both precisions), the two data passes they are built from (distances
// under a Cholesky factor, weighted first and second moments), split over
// the caller's threading table, and the chi-square distribution they take
// their cut-offs from.
#pragma once

#include <cstdint>

#include "ptz/stats/block_size.h"
#include "ptz/stats/task.h"

namespace orvu::ss::robust {

// Null-field and failure codes of these routines.
enum RobustStatus : int32_t {
    kNoMean = -4006,
    kNoCov = -4018,
    kNoRobustCov = -4027,
    kNoRobustMean = -4028,
    kBadOutlierParams = -4039,
    kBadOutlierParamsN = -4040,
    kNoOutlierWeights = -4041,
    kBadRobustParams = -4042,
    kBadRobustParamsN = -4043,
};

// Observations per block of a pass: one block's centred copy (kBlock x q
// doubles) stays in the first-level cache for q up to about 16.
constexpr int64_t kBlock = 128;

// The data of one call: z holds component a of observation i at z[a*n + i]
// (the processed components only, in their order), v the case weights (null:
// all 1). The passes run over `chunks` contiguous observation ranges, one
// per thread, each with its own scratch, and add the chunks' results in
// chunk order, so a result depends on the chunk count only.
struct WorkSet {
    double* z = nullptr;
    const double* v = nullptr;
    int64_t n = 0, q = 0;
    int32_t chunks = 1;
    double* scratch = nullptr;   // chunks x chunk_doubles(q)
    const OrvuThreadingTable* thr = nullptr;

    static int64_t chunk_doubles(int64_t q) { return kBlock * q + q * q + q + 8; }
};

// Allocates the one block of a call: p component indices (*comp), the
// working copy z (n x p doubles), the caller's `extra` bytes (*rest, laid out
// by the caller), then the chunks' scratch. Fills every field of w except v.
// Returns the block to free, or null when it cannot be had.
void* open_work(WorkSet& w, const SSTask* t, int64_t n, int64_t p, const OrvuThreadingTable* thr,
                const BlockSize& extra, int64_t** comp, double** rest);

// Reads the processed components of the task's observations (and its
// weights) into w.z (and `weights`, n doubles, when the task has weights).
template <class T>
void gather(const SSTask* t, const Dims& d, const int64_t* comp, WorkSet& w, double* weights);

// d2[i] = |Linv (z_i - mu)|^2 for every observation: linv is the inverse of
// a lower Cholesky factor (q x q, column-major, upper part zero).
void distances(const WorkSet& w, const double* mu, const double* linv, double* d2);

// Weighted moments about the centre c, with observation weights u (null: 1)
// times the case weights: s0 = sum of weights, mean = c + s1 / s0 and
// cov = S2 / s0 - (s1 / s0)(s1 / s0)^T, written as q means and a full q x q
// column-major matrix (mean may be c itself). Returns s0.
double moments(const WorkSet& w, const double* c, const double* u, double* mean, double* cov);

// Lower Cholesky factor of the q x q matrix a (in place) and its inverse in
// linv; false when a is not positive definite. logdet receives log det a.
bool factor_inverse(double* a, int64_t q, double* linv, double* logdet);

// Chi-square distribution with k degrees of freedom: the upper tail
// P(X > x), and the x with P(X > x) = tail.
double chi2_upper(double k, double x);
double chi2_upper_quantile(double k, double tail);

// The median of the n values v (reordered; NaN counts as +infinity).
double median_of(double* v, int64_t n);

// The caller's method parameters: count (null: 0) and values as doubles;
// a count outside [0, max] gives count_code, a null array with a positive
// count array_code.
template <class T>
int32_t read_params(const SSTask* t, const void* count_ptr, const void* array, int64_t max, int32_t count_code,
                    int32_t array_code, double* out, int64_t* count);

}  // namespace orvu::ss::robust
