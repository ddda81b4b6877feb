// SOBOL: the Sobol sequence in Gray-code order, dimensions 1 to 40 from the
// built-in tables, or any dimension from user data. The origin (point 0) is
// not output: the first output is point 1, so no coordinate is ever 0.
//
// User data (seed words s[1] = 1, s[2] = form, s[0] = d):
//   form 1: s[3 .. d+1]   polynomials of dimensions 2..d (initial integers
//                         built in; d <= 40)
//   form 2: s[3] = w, s[4 ..] w initial integers m_1..m_w for each of the
//                         dimensions 2..d (polynomials built in; d <= 40)
//   form 3: s[3] = w, s[4 ..] the d - 1 polynomials, then the initial
//                         integers as in form 2
//   form 4: s[3 + 32 j + b] direction number b of dimension j + 1, as a
//                         32-bit binary fraction (the complete table)
// Dimension 1 of forms 1 to 3 is the built-in one. A block too short for its
// form is ignored and the built-in tables serve (dimension 1 when d > 40);
// a block of the right size holding an unusable polynomial, initial integer
// or a singular generator matrix gives -3. User direction numbers live in chunk 9, shared read-only
// between copies; the point of such a stream in chunk 13.
#include "ptz/brng/quasi.h"
#include "ptz/brng/quasi_tables.h"

namespace {

using namespace ptz::quasi;

constexpr uint32_t kMaxDim = 40, kBuiltinInit = 8;
constexpr int32_t kDirChunk = 9, kPointChunk = 13;
constexpr Layout kLayout{kMaxDim, kDirChunk, kPointChunk};

struct UserForm {
    uint32_t d = 0;
    const uint32_t* polys = nullptr;  // dimensions 2..d; null: built in
    const uint32_t* init = nullptr;   // width words per dimension 2..d; null: built in
    uint32_t width = kBuiltinInit;
    const uint32_t* table = nullptr;  // form 4
};

// The size tests of the four forms; false sends the caller to the built-in tables.
bool parse_user(int32_t n, const uint32_t* s, UserForm* f) {
    const uint64_t words = uint64_t(n), d = s[0];
    if (d < 1) return false;
    f->d = uint32_t(d);
    switch (s[2]) {
    case 1:
        f->polys = s + 3;
        return d <= kMaxDim && words >= d + 2;
    case 2:
    case 3: {
        const uint64_t w = s[3];
        if (w < 1 || w >= kBits || (s[2] == 2 && d > kMaxDim)) return false;
        const uint64_t polys = s[2] == 3 ? d - 1 : 0;
        if (words < 4 + polys + (d - 1) * w) return false;
        if (polys) f->polys = s + 4;
        f->init = s + 4 + polys;
        f->width = uint32_t(w);
        return true;
    }
    case 4:
        f->table = s + 3;
        return words >= kBits * d + 3;
    default:
        return false;
    }
}

int degree(uint32_t p) { return p ? 31 - std::countl_zero(p) : -1; }

// A usable polynomial has a constant term and degree 1..width; each initial
// integer m_k is odd and below 2^k, which keeps the generator matrix
// triangular with a unit diagonal.
bool usable(uint32_t poly, const uint32_t* m, uint32_t width) {
    const int deg = degree(poly);
    if (deg < 1 || uint32_t(deg) > width || (poly & 1) == 0) return false;
    for (int k = 0; k < deg; ++k)
        if ((m[k] & 1) == 0 || m[k] >> (k + 1) != 0) return false;
    return true;
}

uint32_t builtin_poly(uint32_t j) { return uSobolIrredPoly[j - 1]; }

// Direction numbers of dimensions 1..d (index 0..d-1), stride d.
void fill_directions(const UserForm& f, uint32_t* v) {
    const uint32_t d = f.d;
    if (f.table) {
        for (uint32_t j = 0; j < d; ++j)
            for (int b = 0; b < kBits; ++b) v[size_t(b) * d + j] = f.table[size_t(kBits) * j + size_t(b)];
        return;
    }
    sobol_directions(0, 0, nullptr, v, d);
    for (uint32_t j = 1; j < d; ++j) {
        const uint32_t poly = f.polys ? f.polys[j - 1] : builtin_poly(j);
        const uint32_t* m = f.init ? f.init + size_t(j - 1) * f.width : uSobolMInit[j - 1];
        sobol_directions(poly, degree(poly), m, v + j, d);
    }
}

int32_t seed_user(RngStream* s, const UserForm& f) {
    const uint32_t d = f.d;
    if (f.table) {
        for (uint32_t j = 0; j < d; ++j)
            if (!nonsingular(f.table + size_t(kBits) * j, 1)) return PTZ_ERROR_BAD_ARGUMENT;
    } else {
        for (uint32_t j = 1; j < d; ++j) {
            const uint32_t poly = f.polys ? f.polys[j - 1] : builtin_poly(j);
            const uint32_t* m = f.init ? f.init + size_t(j - 1) * f.width : uSobolMInit[j - 1];
            if (!usable(poly, m, f.width)) return PTZ_ERROR_BAD_ARGUMENT;
        }
    }
    uint32_t dir_bytes = 0;
    if (!ptz::checked_size(int64_t(d) * kBits, 4, 0, &dir_bytes) || dir_bytes > uint32_t(INT32_MAX))
        return PTZ_ERROR_MEM_FAILURE;
    uint32_t *v = nullptr, *x = nullptr;
    int32_t status = add_chunk(s, kDirChunk, dir_bytes, true, &v);
    if (status == PTZ_OK) status = add_chunk(s, kPointChunk, d * 4, false, &x);
    if (status != PTZ_OK) return status;
    fill_directions(f, v);
    *ptz::state_as<Header>(s) = Header{0, d, kAll, 0};
    return PTZ_OK;
}

int32_t seed(RngStream* s, int32_t n, const void* params) {
    const auto* w = static_cast<const uint32_t*>(params);
    std::memset(ptz::state_bytes(s), 0, size_t(ptz::record_bytes(ptz::row_of(s)) - ptz::kHeaderBytes));
    __ptzDeleteChunksById(s, kDirChunk);
    __ptzDeleteChunksById(s, kPointChunk);
    UserForm f;
    if (n >= 4 && w[1] == 1 && parse_user(n, w, &f)) return seed_user(s, f);
    f = UserForm{};
    f.d = n >= 1 && w[0] >= 1 && w[0] <= kMaxDim ? w[0] : 1;
    fill_directions(f, builtin_dirs(s));
    restart(View{ptz::state_as<Header>(s), nullptr, builtin_point(s, kLayout)}, f.d);
    return PTZ_OK;
}

}  // namespace

PTZ_DEFINE_QUASI_OUTPUT(Sobol, kLayout, seed)
