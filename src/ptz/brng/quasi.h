// The machinery shared by the two quasi-random generators (SOBOL,
// NIEDERREITER): state layout, Gray-code stepping, output kernels, coordinate
// selection and skip-ahead. A generator differs only in how it builds its 32
// direction numbers per dimension; both are linear digital sequences in base
// 2, so point i is the XOR of the direction numbers v_b over the set bits b of
// the Gray code of i.
//
// State area (32-bit words): 0 points completed (c), 1 dimension d,
// 2 selected coordinate (kAll: every coordinate), 3 coordinates of point c + 1
// already output (p), then the built-in direction numbers V[b * d + j]
// (column b of dimension j) for up to max_dim dimensions, then the current
// point x[max_dim]. A stream built on user data keeps its direction numbers in
// a chunk instead, shared read-only between copies, and may keep its point in
// another chunk.
//
// Invariant of a partly output point: x[j] holds point c + 1 for j < p and
// point c for j >= p, so that output resumes exactly where it stopped.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "ptz/streams/memory.h"
#include "ptz/streams/stream.h"

namespace ptz::quasi {

constexpr uint32_t kAll = 0xFFFFFFFFu;
constexpr int kBits = 32;
constexpr uint64_t kLastPoint = 0xFFFFFFFFu;  // the last point index of the period

struct Header {
    uint32_t count, dim, select, pos;
};
constexpr int32_t kHeaderWords = 4;

// Where a generator keeps its data.
struct Layout {
    uint32_t max_dim;     // dimensions of the built-in tables
    int32_t dir_chunk;    // chunk id of user direction numbers
    int32_t point_chunk;  // chunk id of the point of a user-data stream, or -1 (in the state)
};

// A stream bound to its direction numbers and current point.
struct View {
    Header* h;
    const uint32_t* v;
    uint32_t* x;
};

inline uint32_t* builtin_dirs(RngStream* s) { return state_as<uint32_t>(s) + kHeaderWords; }
inline uint32_t* builtin_point(RngStream* s, const Layout& l) { return builtin_dirs(s) + size_t(kBits) * l.max_dim; }

// Binds the stream; -3 when its state is not one these functions wrote (an
// image from elsewhere): a dimension, selection or position out of range, or
// user chunks too small for the dimension.
int32_t bind(RngStream* s, const Layout& l, View* out);

// x = point c (and point c + 1 for the first p coordinates).
void recompute(const View& q);

// initStream methods 1 (coordinate selection) and 2 (skip-ahead by outputs).
int32_t select_coordinate(RngStream* s, const Layout& l, int32_t nstreams, const void* params);
int32_t skip_ahead(RngStream* s, const Layout& l, int32_t n, const void* params);

// Starts a stream of dimension d at the origin, all coordinates selected.
void restart(const View& q, uint32_t d);

// Direction numbers of one dimension from a polynomial and its initial
// integers m_1..m_deg (the Sobol recurrence); deg 0 gives v_k = 2^(32-k).
void sobol_directions(uint32_t poly, int deg, const uint32_t* m, uint32_t* v, uint32_t stride);

// Whether the 32 direction numbers of one coordinate are independent, so
// that the coordinate takes 2^32 distinct values over the period (the test
// user tables must pass).
bool nonsingular(const uint32_t* v, size_t stride);

// Adds a chunk over a new block of `bytes` (zeroed), shared through the
// read-only table when `shared`; the block in *data. -4 when out of memory.
int32_t add_chunk(RngStream* s, int32_t id, uint32_t bytes, bool shared, uint32_t** data);

// ---- output kernels ---------------------------------------------------------

// Output sinks: raw words (the caller's buffer need not be aligned) and
// a + (b - a) * x 2^-32 in float or double.
struct WordSink {
    uint8_t* r;
    void put(size_t i, uint32_t x) const { std::memcpy(r + 4 * i, &x, 4); }
};
template <class T>
struct RealSink {
    T* r;
    double lo, scale;  // scale = (b - a) 2^-32: exact, so lo + scale x rounds once as a + (b - a) u
    void put(size_t i, uint32_t x) const {
        // Through a signed conversion, which vectorises: x - 2^31 + 2^31 is exact.
        const double u = double(int32_t(x ^ 0x80000000u)) + 2147483648.0;
        r[i] = T(lo + scale * u);
    }
};

// m whole points after point c, written from out[at]; x advanced.
template <class Sink>
void step_points(const uint32_t* v, uint32_t* x, uint32_t d, uint32_t c, uint32_t m, const Sink& sink, size_t at) {
    const Sink out = sink;  // a local copy: stores through it cannot change its fields
    for (uint32_t i = 0; i < m; ++i, ++c, at += d) {
        const uint32_t* col = v + size_t(std::countr_one(c)) * d;
        for (uint32_t j = 0; j < d; ++j) {
            x[j] ^= col[j];
            out.put(at + j, x[j]);
        }
    }
}

// The same for a known dimension D (1..15), in blocks of P (16 or 32) points
// whose first index is a multiple of P: point e + r of such a block is point e XOR T[r],
// T[r] the direction numbers over the Gray code of r, so a block is P * D
// independent XORs that vectorise, and one Gray step leads to the next block.
template <uint32_t D, class Sink>
void whole_points(const uint32_t* v, uint32_t* x, uint32_t, uint32_t c, uint32_t m, const Sink& sink, size_t at) {
    const Sink out = sink;
    constexpr uint32_t P = D <= 2 ? 32 : 16;
    const uint32_t head = (P - 1 - c % P) % P;  // steps until point c + 1 starts a block
    if (m < head + 2 * P) return step_points(v, x, D, c, m, out, at);
    step_points(v, x, D, c, head, out, at);
    c += head, m -= head, at += size_t(head) * D;
    uint32_t t[P][D];
    for (uint32_t j = 0; j < D; ++j) t[0][j] = 0;
    for (uint32_t r = 1; r < P; ++r)
        for (uint32_t j = 0; j < D; ++j) t[r][j] = t[r - 1][j] ^ v[size_t(std::countr_one(r - 1)) * D + j];
    uint32_t xs[D];
    for (; m >= P; m -= P, c += P, at += size_t(P) * D) {
        for (uint32_t j = 0; j < D; ++j) xs[j] = x[j] ^ v[size_t(std::countr_one(c)) * D + j];
        for (uint32_t r = 0; r < P; ++r)
            for (uint32_t j = 0; j < D; ++j) out.put(at + r * D + j, xs[j] ^ t[r][j]);
        for (uint32_t j = 0; j < D; ++j) x[j] = xs[j] ^ t[P - 1][j];
    }
    step_points(v, x, D, c, m, out, at);
}

template <class Sink>
using PointsFn = void (*)(const uint32_t*, uint32_t*, uint32_t, uint32_t, uint32_t, const Sink&, size_t);

template <class Sink, uint32_t... D>
constexpr PointsFn<Sink> points_kernel(uint32_t d, std::integer_sequence<uint32_t, 0, D...>) {
    constexpr PointsFn<Sink> fixed[] = {&step_points<Sink>, &whole_points<D, Sink>...};
    return d <= sizeof...(D) ? fixed[d] : &step_points<Sink>;
}
template <class Sink>
PointsFn<Sink> points_kernel(uint32_t d) {
    // One kernel per dimension 1..15, one for the others.
    return points_kernel<Sink>(d, std::make_integer_sequence<uint32_t, 16>{});
}

// Parallel split of m whole points (see quasi.cc): returns false when the
// work stays serial, true when done (x and nothing else updated).
struct ParallelJob {
    const uint32_t* v;
    uint32_t* x;
    uint32_t d, c, m;
    size_t at;  // output index of the first point
    const void* sink;
    void (*block)(const ParallelJob&, uint32_t first, uint32_t last, uint32_t* scratch);
};
bool run_parallel(const ParallelJob& job);

template <class Sink>
void parallel_block(const ParallelJob& job, uint32_t first, uint32_t last, uint32_t* xb) {
    // Start from point c + first, computed directly, then step.
    View q{nullptr, job.v, xb};
    Header h{job.c + first, job.d, kAll, 0};
    q.h = &h;
    recompute(q);
    points_kernel<Sink>(job.d)(job.v, xb, job.d, job.c + first, last - first, *static_cast<const Sink*>(job.sink),
                               job.at + size_t(first) * job.d);
}

// n outputs of the stream into out[0..n-1]: -1012 when they would run past the
// last point of the period, -3 for a foreign state.
template <class Sink>
int32_t draw(RngStream* s, const Layout& l, int32_t n, const Sink& out) {
    View q;
    const int32_t status = bind(s, l, &q);
    if (status != PTZ_OK || n <= 0) return status;
    Header& h = *q.h;
    const uint32_t d = h.dim;
    if (h.select != kAll) {
        if (h.count + uint64_t(n) > kLastPoint) return PTZ_ERROR_QRNG_PERIOD_ELAPSED;
        const uint32_t k = h.select;
        uint32_t xk = q.x[k], c = h.count;
        for (int32_t i = 0; i < n; ++i, ++c) {
            xk ^= q.v[size_t(std::countr_one(c)) * d + k];
            out.put(size_t(i), xk);
        }
        q.x[k] = xk, h.count = c;
        return PTZ_OK;
    }
    if (h.count + (uint64_t(h.pos) + uint64_t(n) + d - 1) / d > kLastPoint) return PTZ_ERROR_QRNG_PERIOD_ELAPSED;
    size_t at = 0;
    uint32_t left = uint32_t(n);
    if (h.pos > 0) {  // finish the point a previous call began
        const uint32_t* col = q.v + size_t(std::countr_one(h.count)) * d;
        const uint32_t end = left < d - h.pos ? h.pos + left : d;
        for (uint32_t j = h.pos; j < end; ++j) q.x[j] ^= col[j], out.put(at++, q.x[j]);
        left -= end - h.pos;
        h.pos = end == d ? 0 : end;
        if (h.pos != 0) return PTZ_OK;
        ++h.count;
    }
    const uint32_t m = left / d;
    const ParallelJob job{q.v, q.x, d, h.count, m, at, &out, &parallel_block<Sink>};
    if (!run_parallel(job)) points_kernel<Sink>(d)(q.v, q.x, d, h.count, m, out, at);
    h.count += m;
    at += size_t(m) * d;
    left -= m * d;
    if (left > 0) {  // the first coordinates of the next point
        const uint32_t* col = q.v + size_t(std::countr_one(h.count)) * d;
        for (uint32_t j = 0; j < left; ++j) q.x[j] ^= col[j], out.put(at++, q.x[j]);
        h.pos = left;
    }
    return PTZ_OK;
}

template <class T>
int32_t real_draw(RngStream* s, const Layout& l, int32_t n, T* r, T a, T b) {
    if (n > 0 && !extent_fits<T>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    return draw(s, l, n, RealSink<T>{r, double(a), (double(b) - double(a)) * 0x1p-32});
}
inline int32_t word_draw(RngStream* s, const Layout& l, int32_t n, void* r) {
    if (n > 0 && !extent_fits<uint32_t>(n)) return PTZ_ERROR_BAD_ARGUMENT;
    return draw(s, l, n, WordSink{static_cast<uint8_t*>(r)});
}

}  // namespace ptz::quasi

// The four functions of quasi-random generator NAME over layout L: SEED
// builds the state (method 0); coordinate selection and skip-ahead are shared.
#define PTZ_DEFINE_QUASI_OUTPUT(NAME, L, SEED)                                                         \
    extern "C" {                                                                                       \
    ORVU_API int32_t __ptzBRng##NAME##InitStream(int32_t method, RngStream* s, int32_t n, const void* params) { \
        switch (method) {                                                                              \
        case 0: return SEED(s, n, params);                                                             \
        case 1: return ptz::quasi::select_coordinate(s, L, n, params);                                 \
        case 2: return ptz::quasi::skip_ahead(s, L, n, params);                                        \
        default: return PTZ_ERROR_BAD_METHOD;                                                          \
        }                                                                                              \
    }                                                                                                  \
    ORVU_API int32_t __ptzsBRng##NAME(RngStream* s, int32_t n, float* r, float a, float b) {          \
        return ptz::quasi::real_draw<float>(s, L, n, r, a, b);                                         \
    }                                                                                                  \
    ORVU_API int32_t __ptzdBRng##NAME(RngStream* s, int32_t n, double* r, double a, double b) {       \
        return ptz::quasi::real_draw<double>(s, L, n, r, a, b);                                        \
    }                                                                                                  \
    ORVU_API int32_t __ptziBRng##NAME(RngStream* s, int32_t n, void* r) {                             \
        return ptz::quasi::word_draw(s, L, n, r);                                                      \
    }                                                                                                  \
    }
