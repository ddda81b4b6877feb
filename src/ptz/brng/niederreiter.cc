// NIEDERREITER: the base-2 Niederreiter sequence in Gray-code order,
// dimensions 1 to 318, generator matrices by the construction of Bratley, Fox
// and Niederreiter (1992) from the irreducible polynomials of the built-in
// table. As for SOBOL the origin is not output.
//
// User data (seed words s[1] = 1, s[2] = form, s[0] = d <= 318):
//   form 1: s[3 .. d+2]  an irreducible polynomial for each dimension 1..d
//   form 4: s[3 + 32 j + b] direction number b of dimension j + 1
// A block too short for its form is ignored (built-in tables, dimension 1
// when d > 318); polynomials of degree outside 1..31 give -3. A table is
// taken as it is: unlike Sobol's, these generator matrices need not be
// invertible (a coordinate of degree e is only a (e - 1, 1)-sequence), so
// there is no property to hold it to. User direction numbers live
// in chunk 10, shared read-only between copies.
#include "ptz/brng/quasi.h"
#include "ptz/brng/quasi_tables.h"

namespace {

using namespace ptz::quasi;

constexpr uint32_t kMaxDim = 318;
constexpr int32_t kDirChunk = 10;
constexpr Layout kLayout{kMaxDim, kDirChunk, -1};

int degree(uint64_t p) { return p ? 63 - std::countl_zero(p) : -1; }

uint64_t clmul(uint64_t a, uint64_t b) {
    uint64_t r = 0;
    for (; b; b >>= 1, a <<= 1)
        if (b & 1) r ^= a;
    return r;
}

// The 32 columns of one dimension's generator matrix. Row j = Q e + u (e the
// degree of p) is the sequence v shifted by u, where v is the linear
// recurring sequence with characteristic polynomial p^(Q+1) whose first
// terms are 0 below deg p^Q and 1 from there up to deg p^(Q+1) - 1 (the
// published choice of the free terms). Bit j of a column, counted from the
// top, is the row-j digit.
void niederreiter_directions(uint32_t poly, uint32_t* v, uint32_t stride) {
    const int e = degree(poly);  // 1..31: every power used stays below x^63
    uint64_t power = 1, seq = 0;
    uint32_t col[kBits] = {};
    for (int j = 0, u = 0; j < kBits; ++j) {
        if (u == 0) {
            const int low = degree(power);
            power = clmul(power, poly);
            const int m = degree(power);
            const uint64_t taps = power & ((uint64_t(1) << m) - 1);
            seq = ((uint64_t(1) << m) - 1) & ~((uint64_t(1) << low) - 1);
            for (int t = m; t < 64; ++t)
                seq |= uint64_t(std::popcount((seq >> (t - m)) & taps) & 1) << t;
        }
        for (int r = 0; r < kBits; ++r) col[r] |= uint32_t((seq >> (r + u)) & 1) << (kBits - 1 - j);
        if (++u == e) u = 0;
    }
    for (int r = 0; r < kBits; ++r) v[size_t(r) * stride] = col[r];
}

int32_t seed_user(RngStream* s, uint32_t d, const uint32_t* polys, const uint32_t* table) {
    for (uint32_t j = 0; polys && j < d; ++j)
        if (degree(polys[j]) < 1 || degree(polys[j]) > 31) return PTZ_ERROR_BAD_ARGUMENT;
    uint32_t* v = nullptr;
    const int32_t status = add_chunk(s, kDirChunk, d * kBits * 4, true, &v);
    if (status != PTZ_OK) return status;
    for (uint32_t j = 0; j < d; ++j) {
        if (polys) {
            niederreiter_directions(polys[j], v + j, d);
        } else {
            for (int b = 0; b < kBits; ++b) v[size_t(b) * d + j] = table[size_t(kBits) * j + size_t(b)];
        }
    }
    restart(View{ptz::state_as<Header>(s), nullptr, builtin_point(s, kLayout)}, d);
    return PTZ_OK;
}

int32_t seed(RngStream* s, int32_t n, const void* params) {
    const auto* w = static_cast<const uint32_t*>(params);
    std::memset(ptz::state_bytes(s), 0, size_t(ptz::record_bytes(ptz::row_of(s)) - ptz::kHeaderBytes));
    __ptzDeleteChunksById(s, kDirChunk);
    const uint64_t words = n > 0 ? uint64_t(n) : 0;
    if (words >= 4 && w[1] == 1 && w[0] >= 1 && w[0] <= kMaxDim) {
        if (w[2] == 1 && words >= w[0] + 3) return seed_user(s, w[0], w + 3, nullptr);
        if (w[2] == 4 && words >= uint64_t(kBits) * w[0] + 3) return seed_user(s, w[0], nullptr, w + 3);
    }
    const uint32_t d = words >= 1 && w[0] >= 1 && w[0] <= kMaxDim ? w[0] : 1;
    for (uint32_t j = 0; j < d; ++j) niederreiter_directions(uNiederrIrredPoly[j], builtin_dirs(s) + j, d);
    restart(View{ptz::state_as<Header>(s), nullptr, builtin_point(s, kLayout)}, d);
    return PTZ_OK;
}

}  // namespace

PTZ_DEFINE_QUASI_OUTPUT(Niederr, kLayout, seed)
