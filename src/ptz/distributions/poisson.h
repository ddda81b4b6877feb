// Pieces shared by the Poisson generators (poisson.cc, poisson_ptpe.cc): the
// cumulative table searched by inversion below lambda 27, and PTPE from 27 on.
#pragma once

#include <algorithm>
#include <cstdint>

#include "orvu_ptz_rng.h"

namespace ptz::dist {

// Below this mean the table is used, from it on PTPE.
constexpr double kPoissonTableLimit = 27.0;

// p_k = e^-lambda·lambda^k/k! and their running sums cum_k for k = 0 .. last
// (e^-lambda from the high-accuracy kernel).
void build_poisson_table(double lambda, int32_t last, double* p, double* cum);

// Method 0's table, k = 0 .. floor(lambda) + 16 (at most 43 entries). Plain
// data keyed by lambda: it is the layout of the cache chunk (696 bytes),
// carried by copies and images of a stream.
struct PoissonTable {
    static constexpr int32_t kEntries = 43;
    double key;  // the lambda the table was built for; 0.0 when never built
    double cum[kEntries];
    double p[kEntries];
    int32_t last() const { return int32_t(key) + 16; }
    void build(double lambda) {
        key = lambda;
        build_poisson_table(lambda, last(), p, cum);
    }
};
static_assert(sizeof(PoissonTable) == 696, "the method-0 chunk is 696 bytes");

// Inversion against a table: the first k with u < cum[k]. A 128-cell guide
// (the first candidate of each u-interval of width 1/128) makes the walk one
// or two steps; past the last entry the recursion continues on the fly, so no
// probability is lost beyond the table. At most 255 entries.
class PoissonInversion {
public:
    PoissonInversion(double lambda, int32_t last, const double* p, const double* cum);
    int32_t operator()(double u) const {
        int32_t k = guide_[std::min(int32_t(u * kCells), kCells - 1)];
        while (k <= last_ && u >= cum_[k]) ++k;
        return k <= last_ ? k : tail(u);
    }
    // Fills r[0..n-1] from float uniforms drawn in blocks; the first negative
    // status of a draw.
    int32_t fill(RngStream* s, int32_t n, int32_t* r) const;

private:
    static constexpr int32_t kCells = 128;
    int32_t tail(double u) const;
    double lambda_;
    int32_t last_;
    const double* p_;
    const double* cum_;
    uint8_t guide_[kCells];
};

// PTPE (Schmeiser and Kachitvichyanukul): a triangle over the mode accepted at
// once, parallelograms beside it and exponential tails, the candidates outside
// the triangle tested against f(y)/f(M) by the product of ratios near the mode,
// the normal squeeze farther out, and Stirling's series where the squeeze
// leaves them undecided.
class Ptpe {
public:
    explicit Ptpe(double lambda);
    double lambda() const { return lambda_; }
    // The variate of one candidate (u, v), uniforms on [0, 1); -1 when rejected.
    int32_t candidate(float u, float v) const;
    // Fills r[0..n-1], drawing the candidates' float uniforms in blocks; the
    // first negative status of a draw. Tabulates f(y)/f(M) near the mode
    // first; the tails' logarithms come from the vector kernel.
    int32_t fill(RngStream* s, int32_t n, int32_t* r);

private:
    static constexpr int32_t kNear = 20;  // |y - M| tested by the ratio f(y)/f(M) itself
    bool accept(double y, double v) const;
    double ratio(double y) const;
    double lambda_, ln_lambda_, m_, xm_, p1_, inv_p1_, xl_, xr_, c_, inv_c_, ll_, lr_, p2_, p3_, p4_, f1_term_;
    bool tabulated_ = false;
    double near_[2 * kNear + 1];  // f(M + j)/f(M), j = -20..20, once tabulated
};

}  // namespace ptz::dist
