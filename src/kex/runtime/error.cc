// Error reporters of the four element types and the standard handler
// (errno and catalogued messages through the service layer).
#include <cerrno>
#include <cstring>

#include "kex/runtime/thread_state.h"
#include "orvu_serv.h"

namespace kex {
namespace {

constexpr int32_t kMaxName = 64;

// Message numbers of the service layer's catalogue.
enum Msg : int32_t {
    kMsgBadArgIndex = 735,  // code -1: name, index
    kMsgAccess = 736,       // code -2: name
    kMsgDomain = 737,       // codes 1..4, then any other code
    kMsgOther = 741,
    kMsgOneOne = 742,       // one argument, one result: 742 arg1, 743 res1
    kMsgOneTwo = 744,       // one argument, two results: 744..746
    kMsgTwoOne = 747,       // two arguments, one result: 747..749
    kMsgTwoTwo = 750,       // two arguments, two results: 750..753
};

// Copies at most 64 characters of the name, stopping at its NUL, and writes a
// NUL behind the last one copied (inside the 64-byte field).
int32_t create_func_name_str(KexErrorContext* ctx, const char* name) {
    int32_t n = 0;
    if (name)
        while (n < kMaxName && name[n] != '\0') {
            ctx->funcName[n] = name[n];
            ++n;
        }
    ctx->funcName[n < kMaxName ? n : kMaxName - 1] = '\0';
    return n;
}

int errno_for(int32_t code) {
    switch (code) {
        case -2: return EACCES;
        case -1: return EINVAL;
        case 0: return 0;
        case 1: return EDOM;
        case 2: case 3: case 4: return ERANGE;
        default: return EFAULT;
    }
}

void print_values(const KexErrorContext* c) {
    // A second argument equal to the first or to zero counts as absent, and
    // likewise a second result. A NaN compares unequal, so it counts as
    // present, except where it is the very same value as the first: a
    // one-result function passes its result array twice, and its NaN result
    // (Ln(-1)) must still print as one result.
    auto same = [](double x, double y) { return x == y || std::memcmp(&x, &y, sizeof x) == 0; };
    const bool two_args = !(same(c->arg2, c->arg1) || c->arg2 == 0.0);
    const bool two_res = !(same(c->res2, c->res1) || c->res2 == 0.0);
    const double one_one[] = {c->arg1, c->res1};
    const double one_two[] = {c->arg1, c->res1, c->res2};
    const double two_one[] = {c->arg1, c->arg2, c->res1};
    const double two_two[] = {c->arg1, c->arg2, c->res1, c->res2};
    const double* vals;
    int count;
    int32_t first;
    if (!two_args && !two_res) vals = one_one, count = 2, first = kMsgOneOne;
    else if (!two_args) vals = one_two, count = 3, first = kMsgOneTwo;
    else if (!two_res) vals = two_one, count = 3, first = kMsgTwoOne;
    else vals = two_two, count = 4, first = kMsgTwoTwo;
    for (int k = 0; k < count; ++k) orvu_serv_print(1, first + k, 2, c->index, vals[k]);
}

void std_error_handler(const KexErrorContext* c) {
    const uint32_t mode = current_mode();
    if (mode & KEX_MODE_ERRMODE_ERRNO) errno = errno_for(c->code);
    if (!(mode & KEX_MODE_ERRMODE_STDERR)) return;
    switch (c->code) {
        case -2: orvu_serv_print(1, kMsgAccess, 1, c->funcName); return;
        case -1: orvu_serv_print(1, kMsgBadArgIndex, 2, c->funcName, c->index); return;
        case 0: return;
        default: break;
    }
    const int32_t msg = (c->code >= 1 && c->code <= 4) ? kMsgDomain + c->code - 1 : kMsgOther;
    orvu_serv_print(1, msg, 1, c->funcName);
    print_values(c);
}

// How one element type is widened into the record and narrowed back.
template <class T> struct ElemIO;
template <> struct ElemIO<float> {
    static constexpr int kShift = 2;
    static void get(const float& v, double& re, double&) { re = v; }
    static void put(float& v, double re, double) { v = static_cast<float>(re); }
};
template <> struct ElemIO<double> {
    static constexpr int kShift = 3;
    static void get(const double& v, double& re, double&) { re = v; }
    static void put(double& v, double re, double) { v = re; }
};
template <> struct ElemIO<OrvuComplex8> {
    static constexpr int kShift = 3;
    static void get(const OrvuComplex8& v, double& re, double& im) { re = v.re, im = v.im; }
    static void put(OrvuComplex8& v, double re, double im) {
        v.re = static_cast<float>(re), v.im = static_cast<float>(im);
    }
};
template <> struct ElemIO<OrvuComplex16> {
    static constexpr int kShift = 4;
    static void get(const OrvuComplex16& v, double& re, double& im) { re = v.re, im = v.im; }
    static void put(OrvuComplex16& v, double re, double im) { v.re = re, v.im = im; }
};

template <class T>
void report(int32_t code, int32_t i, const T* a1, const T* a2, T* r1, T* r2, const char* name) {
    using IO = ElemIO<T>;
    kexErrStatus = code;
    if ((current_mode() & KEX_MODE_ERRMODE_MASK) == KEX_MODE_ERRMODE_IGNORE) return;

    KexErrorContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    ctx.code = code;
    ctx.index = i;
    if (const void* base = kexInterfInputVecorPointer) {
        // Element distance from the whole vector's start to this chunk.
        const intptr_t bytes = reinterpret_cast<intptr_t>(a1) - reinterpret_cast<intptr_t>(base);
        ctx.index = i + static_cast<int32_t>(bytes >> IO::kShift);
    }
    ctx.funcNameLen = create_func_name_str(&ctx, name);
    const bool values = code != -1 && code != -2;
    if (values) {
        // The record's doubles sit on 4-byte boundaries: go through locals
        // rather than binding references to its fields.
        double v[8] = {};
        IO::get(a1[i], v[0], v[1]);
        IO::get(a2[i], v[2], v[3]);
        IO::get(r1[i], v[4], v[5]);
        IO::get(r2[i], v[6], v[7]);
        ctx.arg1 = v[0], ctx.arg1Im = v[1], ctx.arg2 = v[2], ctx.arg2Im = v[3];
        ctx.res1 = v[4], ctx.res1Im = v[5], ctx.res2 = v[6], ctx.res2Im = v[7];
    }
    // The mode is read afresh at each step: a callback may change it.
    if ((current_mode() & 0xF000u) && kexErrorCallBack) {
        if (kexErrorCallBack(&ctx) != 0) return;
    }
    if (current_mode() & 0x0F00u) std_error_handler(&ctx);
    if (values) {
        IO::put(r2[i], ctx.res2, ctx.res2Im);
        IO::put(r1[i], ctx.res1, ctx.res1Im);
    }
}

}  // namespace
}  // namespace kex

extern "C" {
ORVU_API void orvu_kex_kernel_sError(int32_t code, int32_t i, const float* a1, const float* a2, float* r1,
                                     float* r2, const char* name) {
    kex::report(code, i, a1, a2, r1, r2, name);
}
ORVU_API void orvu_kex_kernel_dError(int32_t code, int32_t i, const double* a1, const double* a2, double* r1,
                                     double* r2, const char* name) {
    kex::report(code, i, a1, a2, r1, r2, name);
}
ORVU_API void orvu_kex_kernel_cError(int32_t code, int32_t i, const OrvuComplex8* a1, const OrvuComplex8* a2,
                                     OrvuComplex8* r1, OrvuComplex8* r2, const char* name) {
    kex::report(code, i, a1, a2, r1, r2, name);
}
ORVU_API void orvu_kex_kernel_zError(int32_t code, int32_t i, const OrvuComplex16* a1, const OrvuComplex16* a2,
                                     OrvuComplex16* r1, OrvuComplex16* r2, const char* name) {
    kex::report(code, i, a1, a2, r1, r2, name);
}
}
