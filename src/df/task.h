// The data-fitting task record and the helpers every df routine shares.
#ifndef ORVU_DF_TASK_H
#define ORVU_DF_TASK_H

#include <cstdint>

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

// Allocation through the service layer, always 128-byte aligned.
inline void* df_alloc(uint64_t bytes) {
    if (bytes > 0xFFFFFFFFull) return nullptr;
    return orvu_serv_allocate(static_cast<uint32_t>(bytes == 0 ? 1 : bytes), 128);
}
inline void df_free(void* p) {
    if (p) orvu_serv_deallocate(p);
}

// Scratch array of T: in place up to N elements, otherwise from the service
// layer. ok() is false when the allocation failed.
template <class T, int N>
class Scratch {
public:
    explicit Scratch(uint64_t n) : p_(n <= N ? local_ : static_cast<T*>(df_alloc(n * sizeof(T)))) {}
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

// Owned block from the service layer released at scope exit.
template <class T>
class Block {
public:
    explicit Block(uint64_t n) : p_(static_cast<T*>(df_alloc(n * sizeof(T)))) {}
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

// Builds the search bin table of `t` from its current x and nx (in T).
template <class T>
void build_bin_table(OrvuDFTask* t);

}  // namespace orvu::df

#endif
