// The error path: the context record's layout, what each error mode does,
// the callback's say over the write-back, the standard handler's errno values
// and message sequences, and the index correction through the input pointer.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "kex_test_util.h"
#include "orvu_kex.h"
#include "orvu_serv.h"

namespace {

// Each test body runs on a fresh thread (mode 0x1A02 with the environment
// unset).
using kex_test::on_fresh_thread;

// The service layer's messages, captured instead of printed.
struct Line {
    int32_t msg;
    std::string name;
    int32_t index;
    double value;
};
std::vector<Line> g_lines;
void sink(const OrvuPrintRecord* r, void*) { g_lines.push_back({r->msg, r->name, r->index, r->value}); }
struct Capture {
    Capture() { g_lines.clear(), orvu_serv_test_capture_print(sink, nullptr); }
    ~Capture() { orvu_serv_test_capture_print(nullptr, nullptr); }
};
std::vector<int32_t> numbers() {
    std::vector<int32_t> v;
    for (const Line& l : g_lines) v.push_back(l.msg);
    return v;
}

// What the callback saw, and what it does.
KexErrorContext g_seen;
int g_calls;
int32_t g_return;
double g_replace = NAN;  // NaN: leave res1 alone
int32_t record_cb(KexErrorContext* c) {
    g_seen = *c;
    ++g_calls;
    if (!std::isnan(g_replace)) c->res1 = g_replace;
    return g_return;
}
void reset_cb(int32_t ret, double replace = NAN) { g_calls = 0, g_return = ret, g_replace = replace; }

TEST(ErrorContext, LayoutIsTheSameOnEveryTarget) {
    EXPECT_EQ(offsetof(KexErrorContext, code), 0u);
    EXPECT_EQ(offsetof(KexErrorContext, index), 4u);
    EXPECT_EQ(offsetof(KexErrorContext, arg1), 8u);
    EXPECT_EQ(offsetof(KexErrorContext, arg2), 16u);
    EXPECT_EQ(offsetof(KexErrorContext, res1), 24u);
    EXPECT_EQ(offsetof(KexErrorContext, res2), 32u);
    EXPECT_EQ(offsetof(KexErrorContext, funcName), 40u);
    EXPECT_EQ(offsetof(KexErrorContext, funcNameLen), 104u);
    EXPECT_EQ(offsetof(KexErrorContext, arg1Im), 108u);  // 4-byte boundary
    EXPECT_EQ(offsetof(KexErrorContext, arg2Im), 116u);
    EXPECT_EQ(offsetof(KexErrorContext, res1Im), 124u);
    EXPECT_EQ(offsetof(KexErrorContext, res2Im), 132u);
    EXPECT_EQ(sizeof(KexErrorContext), 140u);
}

TEST(ErrorReporter, IgnoreModeAloneOnlyStoresTheStatus) {
    on_fresh_thread([] {
        Capture cap;
        orvu_kex_kernel_SetErrorCallBack(record_cb);  // sets 0x1000 ...
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_IGNORE);  // ... which the group replacement drops
        ASSERT_EQ(orvu_kex_kernel_GetMode() & 0xFF00u, 0x100u);
        reset_cb(0, 9.0);
        errno = 0;
        double a[1] = {1}, b[1] = {0}, r[1] = {INFINITY};
        orvu_kex_kernel_dError(2, 0, a, b, r, r, "vdDiv");
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 2);
        EXPECT_EQ(g_calls, 0);
        EXPECT_EQ(errno, 0);
        EXPECT_TRUE(g_lines.empty());
        EXPECT_EQ(r[0], INFINITY);
    });
}

TEST(ErrorReporter, CallbackRunsWhenAnyCallbackBitIsSet) {
    on_fresh_thread([] {
        Capture cap;
        orvu_kex_kernel_SetErrorCallBack(record_cb);
        orvu_kex_kernel_SetMode(0x1100);  // ignore + callback: handler runs, does nothing
        reset_cb(0);
        errno = 0;
        float a[2] = {5, -1}, r[2] = {0, NAN};
        orvu_kex_kernel_sError(1, 1, a, a, r, r, "vsLn");
        EXPECT_EQ(g_calls, 1);
        EXPECT_EQ(g_seen.code, 1);
        EXPECT_EQ(g_seen.index, 1);
        // Unary + copies the packed double fields: the macros bind references.
        EXPECT_EQ(+g_seen.arg1, -1.0);
        EXPECT_EQ(+g_seen.arg2, -1.0);
        EXPECT_TRUE(std::isnan(+g_seen.res1));
        EXPECT_STREQ(g_seen.funcName, "vsLn");
        EXPECT_EQ(g_seen.funcNameLen, 4);
        EXPECT_EQ(errno, 0);
        EXPECT_TRUE(g_lines.empty());
    });
}

TEST(ErrorReporter, CallbackDecidesOverHandlerAndWriteBack) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetErrorCallBack(record_cb);  // mode 0x1A02: errno + except + callback
        double a[3] = {1, 2, 3}, r[3] = {0, INFINITY, 0};
        reset_cb(0, 0.0);  // replace, go on
        errno = 0;
        orvu_kex_kernel_dError(2, 1, a, a, r, r, "vdInv");
        EXPECT_EQ(r[1], 0.0);
        EXPECT_EQ(errno, ERANGE);

        r[1] = INFINITY;
        reset_cb(1, 0.0);  // replace, but stop: nothing written back, no errno
        errno = 0;
        orvu_kex_kernel_dError(2, 1, a, a, r, r, "vdInv");
        EXPECT_EQ(r[1], INFINITY);
        EXPECT_EQ(errno, 0);
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 2);
    });
}

// A callback that turns errno reporting off: the handler sees the new mode.
int32_t drop_errno_cb(KexErrorContext*) {
    orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_ERRMODE_STDERR);
    return 0;
}
TEST(ErrorReporter, HandlerReadsTheModeAfterTheCallback) {
    on_fresh_thread([] {
        Capture cap;
        orvu_kex_kernel_SetErrorCallBack(drop_errno_cb);
        errno = 0;
        float a[1] = {0}, r[1] = {INFINITY};
        orvu_kex_kernel_sError(2, 0, a, a, r, r, "vsInv");
        EXPECT_EQ(errno, 0);
        EXPECT_EQ(numbers(), (std::vector<int32_t>{738, 742, 743}));
    });
}

TEST(ErrorReporter, ErrnoFollowsTheCode) {
    const struct { int32_t code; int err; } cases[] = {
        {-2, EACCES}, {-1, EINVAL}, {0, 0}, {1, EDOM}, {2, ERANGE}, {3, ERANGE}, {4, ERANGE}, {5, EFAULT}, {-7, EFAULT},
    };
    on_fresh_thread([&] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_ERRNO);
        for (auto c : cases) {
            errno = 12345;
            double a[1] = {1}, r[1] = {2};
            orvu_kex_kernel_dError(c.code, 0, a, a, r, r, "vdX");
            EXPECT_EQ(errno, c.err) << c.code;
            EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), c.code);
        }
    });
}

// The stderr mode: message number, then value lines chosen by which second
// argument and second result count as present.
struct MsgCase {
    int32_t code;
    double a1, a2, r1, r2;
    std::vector<int32_t> msgs;
};
TEST(ErrorReporter, StderrMessageSequences) {
    const MsgCase cases[] = {
        {1, -1, -1, NAN, NAN, {737, 742, 743}},          // one argument, one result (the same NaN twice)
        {1, -1, -1, 1, NAN, {737, 744, 745, 746}},        // a NaN second result beside a number: present
        {2, 1, 0, INFINITY, INFINITY, {738, 742, 743}},  // second argument 0 counts as absent
        {3, 2, 5, INFINITY, INFINITY, {739, 747, 748, 749}},
        {4, 2, 2, 1e-300, 7, {740, 744, 745, 746}},
        {4, 2, 2, 1e-300, 0, {740, 742, 743}},          // second result 0: absent
        {9, 2, 3, 4, NAN, {741, 750, 751, 752, 753}},   // NaN second result: present
        {0, 2, 3, 4, 5, {}},
        {-1, 2, 3, 4, 5, {735}},
        {-2, 2, 3, 4, 5, {736}},
    };
    on_fresh_thread([&] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_STDERR);
        for (const MsgCase& c : cases) {
            Capture cap;
            double a1[4] = {}, a2[4] = {}, r1[4] = {}, r2[4] = {};
            a1[3] = c.a1, a2[3] = c.a2, r1[3] = c.r1, r2[3] = c.r2;
            orvu_kex_kernel_dError(c.code, 3, a1, a2, r1, r2, "vdTest");
            ASSERT_EQ(numbers(), c.msgs) << "code " << c.code;
            if (c.msgs.empty()) continue;
            EXPECT_EQ(g_lines[0].name, "vdTest");
            if (c.code == -1) {
                EXPECT_EQ(g_lines[0].index, 3);
            }
            for (size_t k = 1; k < g_lines.size(); ++k) EXPECT_EQ(g_lines[k].index, 3);
        }
    });
}

// The index the callback sees for element 3 of the block at vec + 100.
template <class T>
int32_t index_seen(void (*err)(int32_t, int32_t, const T*, const T*, T*, T*, const char*), int32_t code, T* vec,
                   const void* input) {
    orvu_kex_kernel_SetInterfInputVectorPointer(input);
    T* const at = vec + 100;
    err(code, 3, at, at, at, at, "vX");
    return g_seen.index;
}
TEST(ErrorReporter, IndexCountsFromTheWholeInputVector) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetErrorCallBack(record_cb);
        reset_cb(1);
        float fs[120] = {};
        double ds[120] = {};
        OrvuComplex8 cs[120] = {};
        OrvuComplex16 zs[120] = {};
        EXPECT_EQ(index_seen(orvu_kex_kernel_sError, 2, fs, fs), 103);
        EXPECT_EQ(index_seen(orvu_kex_kernel_dError, 2, ds, ds), 103);
        EXPECT_EQ(index_seen(orvu_kex_kernel_cError, 3, cs, cs), 103);
        EXPECT_EQ(index_seen(orvu_kex_kernel_zError, 3, zs, zs), 103);
        EXPECT_EQ(index_seen(orvu_kex_kernel_zError, 3, zs, nullptr), 3);
    });
}

// Complex reporters carry both parts each way; the second result is written
// first, so with one result array the first result wins.
int32_t complex_cb(KexErrorContext* c) {
    g_seen = *c;
    c->res1 = 10, c->res1Im = 11, c->res2 = 20, c->res2Im = 21;
    return 0;
}
TEST(ErrorReporter, ComplexPartsTravelBothWays) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetErrorCallBack(complex_cb);
        OrvuComplex8 a[2] = {{1, 2}, {3, 4}}, b[2] = {{5, 6}, {7, 8}}, r[2] = {{0, 0}, {9, -9}};
        orvu_kex_kernel_cError(3, 1, a, b, r, r, "vcAdd");
        EXPECT_EQ(+g_seen.arg1, 3); EXPECT_EQ(+g_seen.arg1Im, 4);
        EXPECT_EQ(+g_seen.arg2, 7); EXPECT_EQ(+g_seen.arg2Im, 8);
        EXPECT_EQ(+g_seen.res1, 9); EXPECT_EQ(+g_seen.res1Im, -9);
        EXPECT_EQ(r[1].re, 10.0f); EXPECT_EQ(r[1].im, 11.0f);
        OrvuComplex16 za[1] = {{1, 2}}, zr1[1] = {{0, 0}}, zr2[1] = {{0, 0}};
        orvu_kex_kernel_zError(3, 0, za, za, zr1, zr2, "vzX");
        EXPECT_EQ(zr1[0].re, 10.0); EXPECT_EQ(zr1[0].im, 11.0);
        EXPECT_EQ(zr2[0].re, 20.0); EXPECT_EQ(zr2[0].im, 21.0);
        double d[1] = {1}, dr[1] = {0};
        orvu_kex_kernel_dError(3, 0, d, d, dr, dr, "vdX");
        EXPECT_EQ(dr[0], 10.0);  // r2 = 20 first, then r1 = 10
    });
}

TEST(ErrorReporter, LongNamesAreCutAt64Characters) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetErrorCallBack(record_cb);
        reset_cb(1);
        const std::string name(80, 'x');
        float a[1] = {0};
        orvu_kex_kernel_sError(1, 0, a, a, a, a, name.c_str());
        EXPECT_EQ(g_seen.funcNameLen, 64);
        EXPECT_EQ(std::string(g_seen.funcName, 63), std::string(63, 'x'));
    });
}

// The whole road from a kernel: dDiv by zero under errno mode.
TEST(ErrorReporter, DivisionByZeroFromAKernel) {
    on_fresh_thread([] {
        Capture cap;
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_ERRNO | KEX_MODE_ERRMODE_STDERR);
        double a[8] = {1, 1, 1, 1, 1, 1, 1, 1}, b[8] = {1, 2, 4, 8, 16, 0, 32, 64}, r[8];
        errno = 0;
        _kexdDiv(8, a, b, r);
        EXPECT_EQ(r[5], INFINITY);
        EXPECT_EQ(r[6], 1.0 / 32);
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 2);
        EXPECT_EQ(errno, ERANGE);
        ASSERT_EQ(numbers(), (std::vector<int32_t>{738, 742, 743}));  // b = 0 counts as absent
        EXPECT_EQ(g_lines[0].name, "vdDiv");
        EXPECT_EQ(g_lines[1].index, 5);
        EXPECT_EQ(g_lines[2].value, INFINITY);
    });
}

}  // namespace
