// The deterministic start of the robust estimates: a location and scatter
// that a bounded share of far-away observations cannot move far, found
// without random subsets.
#pragma once

#include <cstdint>

#include "ptz/stats/robust_common.h"

namespace orvu::ss::robust {

// Working space of the start: y and yt are n x q each, tmp and u n doubles,
// small small_doubles(q).
struct StartSpace {
    double *y, *yt, *tmp, *u, *small;
    static int64_t small_doubles(int64_t q) { return 5 * q * q + 70 * q; }
};

// Coordinate-wise medians and MADs standardize the data; three shapes of the
// standardized data (the identity, the covariance of tanh(y) and of the
// spatial signs y / |y|) give three candidates, each made of the medians and
// MADs of the data projected on that shape's eigenvectors; each candidate is
// refined by concentration steps (the half of the observations closest to
// it, then their mean and covariance, repeated), and the one whose half has
// the smallest covariance determinant is returned in mu and cov (q x q,
// column-major). False when no candidate has a non-singular half.
bool robust_start(const WorkSet& w, const StartSpace& s, double* mu, double* cov);

// d2 of every observation under (mu, cov): false when cov is not positive
// definite. fac and linv are q x q scratch.
bool distances_under(const WorkSet& w, const double* mu, const double* cov, double* fac, double* linv, double* d2,
                     double* logdet);

}  // namespace orvu::ss::robust
