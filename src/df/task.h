// The data-fitting task record and the helpers every df routine shares.
#ifndef ORVU_DF_TASK_H
#define ORVU_DF_TASK_H

#include <cstdint>
#include <initializer_list>

#include "orvu_df.h"
#include "orvu_serv.h"

// Fields in the order the record is documented; the record is zero-filled at
// creation, so every field a routine has not set reads as 0 / null.
struct OrvuDFTask {
    uint32_t int_flags;  // bit 0: caller integer arrays are 64-bit; bit 1: no direct 32-bit path
    uint8_t kind_tag;    // always 4
    int32_t precision;   // 1 double, 0 single
    int32_t dimension;   // always 1
    int64_t nx;
    const void* x;
    int64_t x_hint;
    int64_t ny;
    const void** y_ptrs;  // owned array of caller pointers
    int64_t y_hint;
    int64_t order;
    int64_t type;
    int64_t ic_type;
    const void* ic;
    int64_t bc_type;
    const void* bc;
    void** coeff_ptrs;  // owned array of caller pointers
    int64_t coeff_hint;
    int32_t aux_flag;
    int64_t bin_count;
    uint32_t* bin_table;  // 1024 pairs (lo, hi), owned
    union {
        float s;
        double d;
    } inv_bin_width;
    // Entries of the two owned pointer arrays. Later edits of ny or of the y
    // hint do not resize the arrays, so every reader checks against these.
    int64_t y_count;
    int64_t coeff_count;
};

namespace orvu::df {

// Hints and flag values of the task fields.
enum : int64_t {
    kXNone = 0, kXNonUniform = 1, kXQuasiUniform = 2, kXUniform = 4,
    kYRows0 = 0, kYRows = 16, kYCols = 32, kYSeparate = 128,
    kSitesUniform = 4, kSitesSorted = 64,
    kBcNotAKnot = 1, kBcFreeEnd = 2, kBc1stLeft = 4, kBc1stRight = 8, kBc2ndLeft = 16, kBc2ndRight = 32,
    kBcPeriodic = 64, kBcQuadMidpoints = 128,
    kIcSubbotinKnots = 256, kIcUniformSubgrid = 16,
};

constexpr int32_t kBinTableEntries = 1024;
constexpr uint32_t kUnset = 0xFFFFFFFFu;

// Values, coefficients and results share the layout hints 0, 16, 32, 128.
inline bool valid_layout_hint(int64_t h) { return h == 0 || h == 16 || h == 32 || h == 128; }

// A count or byte size computed from caller integers. Every step is checked:
// a negative input, an overflow, or any value the service layer cannot be
// asked for (its size argument is 32-bit) leaves the size invalid for good,
// and an invalid size never reaches the allocator, so the allocation fails as
// on an exhausted heap (-1001). Valid values stay below 2^32, so the product
// of two of them cannot overflow 64 bits.
class Size {
public:
    static constexpr uint64_t kMax = 0xFFFFFFFFu;
    constexpr Size(int64_t n) : v_(n >= 0 && static_cast<uint64_t>(n) <= kMax ? static_cast<uint64_t>(n) : kBad) {}
    constexpr bool ok() const { return v_ != kBad; }
    constexpr uint64_t value() const { return v_; }
    friend constexpr Size operator*(Size a, Size b) { return a.ok() && b.ok() ? of(a.v_ * b.v_) : Size(-1); }
    friend constexpr Size operator+(Size a, Size b) { return a.ok() && b.ok() ? of(a.v_ + b.v_) : Size(-1); }
    friend constexpr Size operator-(Size a, Size b) {
        return a.ok() && b.ok() && a.v_ >= b.v_ ? of(a.v_ - b.v_) : Size(-1);
    }

private:
    static constexpr uint64_t kBad = ~uint64_t(0);
    static constexpr Size of(uint64_t v) { return Size(v <= kMax ? static_cast<int64_t>(v) : -1); }
    uint64_t v_;
};

// Whether an area of count[0] * count[1] * ... elements of `elem` bytes that
// the caller holds can exist at all: its size must be a representable offset.
// A request whose result area or function blocks fail this cannot be valid,
// and computing its offsets would overflow.
inline bool addressable(std::initializer_list<int64_t> counts, int64_t elem) {
    int64_t n = elem;
    for (int64_t c : counts)
        if (c < 0 || __builtin_mul_overflow(n, c, &n)) return false;
    return n <= PTRDIFF_MAX;
}

// Allocation through the service layer, always 128-byte aligned; null for an
// invalid size.
inline void* df_alloc(Size bytes) {
    if (!bytes.ok()) return nullptr;
    return orvu_serv_allocate(static_cast<uint32_t>(bytes.value() == 0 ? 1 : bytes.value()), 128);
}
inline void df_free(void* p) {
    if (p) orvu_serv_deallocate(p);
}

// Scratch array of T: in place up to N elements, otherwise from the service
// layer. ok() is false when the allocation failed or n is invalid.
template <class T, int N>
class Scratch {
public:
    explicit Scratch(Size n)
        : p_(n.ok() && n.value() <= static_cast<uint64_t>(N) ? local_ : static_cast<T*>(df_alloc(n * sizeof(T)))) {}
    ~Scratch() {
        if (p_ != local_) df_free(p_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool ok() const { return p_ != nullptr; }
    T* get() { return p_; }
    T& operator[](uint64_t i) { return p_[i]; }

private:
    T local_[N];
    T* p_;
};

// Owned block of n elements from the service layer, released at scope exit.
template <class T>
class Block {
public:
    explicit Block(Size n) : p_(static_cast<T*>(df_alloc(n * sizeof(T)))) {}
    ~Block() { df_free(p_); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    bool ok() const { return p_ != nullptr; }
    T* get() { return p_; }
    T& operator[](uint64_t i) { return p_[i]; }

private:
    T* p_;
};

// Threading-table helpers; a null table means "calling thread only".
inline int32_t max_threads(const OrvuThreadingTable* thr) {
    if (!thr || !thr->max_threads || !thr->parallel_for) return 1;
    int32_t t = thr->max_threads();
    return t < 1 ? 1 : t;
}

// The function values and the coefficients of every function are there to
// be read (-1008, -1016 otherwise): arrays made, long enough for the current
// ny and y hint, and no entry null.
int32_t check_values(const OrvuDFTask* t);
int32_t check_coeffs(const OrvuDFTask* t);

// Builds the search bin table of `t` from its current x and nx (in T).
template <class T>
void build_bin_table(OrvuDFTask* t);

}  // namespace orvu::df

#endif
