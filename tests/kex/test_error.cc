// The error path: the record's layout, the error modes, the callback's say over
// the write-back, the handler's errno and messages, the index correction.
#include <cerrno>
#include <cstddef>

#include "kex_test_util.h"
#include "orvu_serv.h"

namespace {

using namespace kex_test;

// The service layer's messages and their numbers, captured instead of printed.
std::vector<OrvuPrintRecord> g_lines;
std::vector<int32_t> g_msgs;
struct Capture {
    Capture() {
        g_lines.clear(), g_msgs.clear();
        orvu_serv_test_capture_print(
            [](const OrvuPrintRecord* r, void*) { g_lines.push_back(*r), g_msgs.push_back(r->msg); }, nullptr);
    }
    ~Capture() { orvu_serv_test_capture_print(nullptr, nullptr); }
};


TEST(ErrorContext, LayoutIsTheSameOnEveryTarget) {
#define AT(field) offsetof(KexErrorContext, field)
    const size_t got[] = {AT(code), AT(index), AT(arg1), AT(arg2), AT(res1), AT(res2), AT(funcName),
                          AT(funcNameLen), AT(arg1Im), AT(arg2Im), AT(res1Im), AT(res2Im), sizeof(KexErrorContext)};
#undef AT
    const size_t want[] = {0, 4, 8, 16, 24, 32, 40, 104, 108, 116, 124, 132, 140};  // doubles on 4 bytes
    EXPECT_TRUE(std::equal(got, got + 13, want));
}

// The ignore bit alone stores the status and nothing else. With a callback
// bit the callback sees the record; returning 0 lets the handler run (with
// the mode as the callback left it) and the replaced result be written back,
// returning non-zero stops both.
TEST(ErrorReporter, ModeAndCallbackDecideWhatFollows) {
    on_fresh_thread([] {
        Capture cap;
        record_reports(0, 9.0);
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_IGNORE);
        double a[3] = {1, -1, 3}, r[3] = {0, INFINITY, 0};
        errno = 0, orvu_kex_kernel_dError(2, 1, a, a, r, r, "vdDiv");
        EXPECT_TRUE(orvu_kex_kernel_GetErrStatus() == 2 && g_seen.empty() && r[1] == INFINITY && errno == 0);
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_IGNORE | KEX_MODE_ERRMODE_CALLBACK);  // handler has nothing to do
        float fa[2] = {5, -1}, fr[2] = {0, NAN};
        orvu_kex_kernel_sError(1, 1, fa, fa, fr, fr, "vsLn");
        ASSERT_EQ(g_seen.size(), 1u);
        const KexErrorContext& c = g_seen[0];
        EXPECT_TRUE(c.code == 1 && c.index == 1 && c.arg1 == -1 && c.arg2 == -1 && std::isnan(c.res1) && fr[1] == 9);
        EXPECT_TRUE(c.funcName == std::string("vsLn") && c.funcNameLen == 4 && errno == 0 && g_msgs.empty());
        orvu_kex_kernel_SetMode(KEX_MODE_DEFAULT);  // errno + except + callback
        for (int32_t ret : {0, 1}) {
            record_reports(ret, 0.0);
            r[1] = INFINITY, errno = 0, orvu_kex_kernel_dError(2, 1, a, a, r, r, "vdInv");
            EXPECT_TRUE(r[1] == (ret ? INFINITY : 0.0) && errno == (ret ? 0 : ERANGE)) << ret;
        }
        orvu_kex_kernel_SetErrorCallBack([](KexErrorContext*) {
            orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_ERRMODE_STDERR);  // errno off
            return 0;
        });
        errno = 0, orvu_kex_kernel_dError(2, 1, a, a, r, r, "vdInv");
        EXPECT_TRUE(errno == 0 && g_msgs == (std::vector<int32_t>{738, 742, 743}));
    });
}

// The standard handler: errno from the code; in stderr mode the message
// number, then value lines chosen by which second argument and second result
// count as present.
TEST(ErrorReporter, HandlerSetsErrnoAndPrintsMessages) {
    const struct { int32_t code; double a1, a2, r1, r2; int err; std::vector<int32_t> msgs; } cases[] = {
        {1, -1, -1, NAN, NAN, EDOM, {737, 742, 743}},           // one argument, one result (the same NaN twice)
        {1, -1, -1, 1, NAN, EDOM, {737, 744, 745, 746}},        // a NaN second result beside a number: present
        {2, 1, 0, INFINITY, INFINITY, ERANGE, {738, 742, 743}},  // second argument 0 counts as absent
        {3, 2, 5, INFINITY, INFINITY, ERANGE, {739, 747, 748, 749}},
        {4, 2, 2, 1e-300, 7, ERANGE, {740, 744, 745, 746}},
        {4, 2, 2, 1e-300, 0, ERANGE, {740, 742, 743}},           // second result 0: absent
        {9, 2, 3, 4, NAN, EFAULT, {741, 750, 751, 752, 753}},
        {-7, 2, 3, 4, 5, EFAULT, {741, 750, 751, 752, 753}}, {0, 2, 3, 4, 5, 0, {}},
        {-1, 2, 3, 4, 5, EINVAL, {735}}, {-2, 2, 3, 4, 5, EACCES, {736}},
    };
    on_fresh_thread([&] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_STDERR | KEX_MODE_ERRMODE_ERRNO);
        for (const auto& c : cases) {
            Capture cap;
            double a1[4] = {}, a2[4] = {}, r1[4] = {}, r2[4] = {};
            a1[3] = c.a1, a2[3] = c.a2, r1[3] = c.r1, r2[3] = c.r2, errno = 12345;
            orvu_kex_kernel_dError(c.code, 3, a1, a2, r1, r2, "vdTest");
            EXPECT_EQ(errno, c.err) << c.code;
            ASSERT_EQ(g_msgs, c.msgs) << "code " << c.code;
            if (c.msgs.empty()) continue;
            EXPECT_STREQ(g_lines[0].name, "vdTest");
            for (size_t k = c.code == -1 ? 0 : 1; k < g_lines.size(); ++k) EXPECT_EQ(g_lines[k].index, 3);
        }
    });
}

// The index the callback sees for element 3 of the block at vec + 100.
template <class T>
int32_t index_seen(void (*err)(int32_t, int32_t, const T*, const T*, T*, T*, const char*), bool set_input) {
    T vec[120] = {};
    orvu_kex_kernel_SetInterfInputVectorPointer(set_input ? vec : nullptr);
    err(2, 3, vec + 100, vec + 100, vec + 100, vec + 100, "vX");
    return g_seen.back().index;
}
TEST(ErrorReporter, IndexCountsFromTheWholeInputVector) {
    on_fresh_thread([] {
        record_reports(1);
        EXPECT_EQ((std::vector{index_seen(orvu_kex_kernel_sError, true), index_seen(orvu_kex_kernel_dError, true),
                               index_seen(orvu_kex_kernel_cError, true), index_seen(orvu_kex_kernel_zError, true),
                               index_seen(orvu_kex_kernel_zError, false)}),
                  (std::vector{103, 103, 103, 103, 3}));
    });
}

// Complex reporters carry both parts each way; the second result is written
// first, so with one result array the first result wins. Names are cut at 64.
TEST(ErrorReporter, ComplexPartsAndLongNames) {
    on_fresh_thread([] {
        static KexErrorContext ctx;
        orvu_kex_kernel_SetErrorCallBack([](KexErrorContext* c) {
            ctx = *c;
            c->res1 = 10, c->res1Im = 11, c->res2 = 20, c->res2Im = 21;
            return 0;
        });
        OrvuComplex8 a[2] = {{1, 2}, {3, 4}}, b[2] = {{5, 6}, {7, 8}}, r[2] = {{0, 0}, {9, -9}};
        orvu_kex_kernel_cError(3, 1, a, b, r, r, "vcAdd");
        const double seen[] = {ctx.arg1, ctx.arg1Im, ctx.arg2, ctx.arg2Im, ctx.res1, ctx.res1Im};
        EXPECT_TRUE(std::equal(seen, seen + 6, std::vector<double>{3, 4, 7, 8, 9, -9}.begin()));
        EXPECT_TRUE(r[1].re == 10.0f && r[1].im == 11.0f);
        OrvuComplex16 za[1] = {{1, 2}}, zr1[1] = {{0, 0}}, zr2[1] = {{0, 0}};
        orvu_kex_kernel_zError(3, 0, za, za, zr1, zr2, "vzX");
        EXPECT_TRUE(zr1[0].re == 10.0 && zr1[0].im == 11.0 && zr2[0].re == 20.0 && zr2[0].im == 21.0);
        double d[1] = {1}, dr[1] = {0};
        const std::string name(80, 'x');
        orvu_kex_kernel_dError(3, 0, d, d, dr, dr, name.c_str());
        EXPECT_TRUE(dr[0] == 10.0 && ctx.funcNameLen == 64 && std::string(ctx.funcName, 63) == name.substr(17));
    });
}

}  // namespace
