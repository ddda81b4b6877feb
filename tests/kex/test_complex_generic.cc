// Generic-level complex kernels: which functions report overflow, the
// underflow signal of complex single denormals, the caller's x87 control word,
// and hard arguments of the scalar routines (branch points, cancellation,
// intermediate overflow) against correctly rounded values from MPC.
#include <cfloat>

#include "kex_test_util.h"

namespace {

using namespace kex_test;
using C8 = OrvuComplex8;
using Z16 = OrvuComplex16;

using Reports = std::vector<std::pair<int32_t, std::string>>;
Reports reports() {
    Reports v;
    for (const auto& c : g_seen) v.push_back({c.index, c.funcName});
    return v;
}

// Overflow from a finite argument is reported (status 3, in element order) by
// Cos, Cosh, Sin, Sinh, Pow and Powx alone; an infinite argument is no
// overflow, and the other functions' infinite results are not reported.
TEST(ComplexGeneric, OverflowReports) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK);
        record_reports();
        const std::vector<C8> a = {{1, 2}, {100, 100}, {INFINITY, 1}, {-100, 3}, {0.5f, 0}};
        std::vector<C8> r(a.size());
        _kexcCos(5, a.data(), r.data());
        EXPECT_TRUE(std::isinf(r[1].re) && std::isinf(r[1].im));
        EXPECT_EQ(reports(), (Reports{{1, "vcCos"}}));
        EXPECT_EQ(g_seen[0].code, KEX_STATUS_OVERFLOW);
        record_reports();
        _kexcSinh(5, a.data(), r.data());
        _kexcCosh_11(5, a.data(), r.data());
        EXPECT_EQ(reports(), (Reports{{1, "vcSinh"}, {3, "vcSinh"}, {1, "vcCosh"}, {3, "vcCosh"}}));

        const std::vector<Z16> z = {{2, 0}, {0, 800}, {800, 1}, {1e300, 0}};
        std::vector<Z16> w(z.size());
        record_reports();
        _kexzSin(4, z.data(), w.data());      // sin(800i) overflows
        _kexzLog10(4, z.data(), w.data());
        _kexzTan_26(4, z.data(), w.data());
        _kexzTanh_50(4, z.data(), w.data());
        _kexzSinh(4, z.data(), w.data());     // sinh 800, sinh 1e300
        EXPECT_EQ(reports(), (Reports{{1, "vzSin"}, {2, "vzSinh"}, {3, "vzSinh"}}));

        const std::vector<C8> c = {{2, 0}, {0, 0}, {80, 1}, {1e30f, 0}};
        const C8 e{50, 0};
        std::vector<C8> cr(c.size()), ce(c.size(), e);
        record_reports();
        _kexcLog10(4, c.data(), cr.data());     // log 0 = -inf: not reported
        _kexcPowx(4, c.data(), e, cr.data());   // 80^50, 1e30^50
        _kexcPow(4, c.data(), ce.data(), cr.data());
        EXPECT_EQ(reports(), (Reports{{2, "vcPowx"}, {3, "vcPowx"}, {2, "vcPow"}, {3, "vcPow"}}));

        // asin(2 + 0i) = pi/2 + i acosh 2 on the upper side of the cut, silently.
        const C8 two{2, 0};
        C8 s;
        record_reports();
        _kexcAsin(1, &two, &s);
        EXPECT_FLOAT_EQ(s.re, 1.57079637f);
        EXPECT_FLOAT_EQ(s.im, 1.31695790f);
        EXPECT_TRUE(g_seen.empty());
        orvu_kex_kernel_SetErrorCallBack(nullptr);
    });
}

// A complex single result that is denormal keeps its bits and raises the
// underflow flag; a normal result raises none.
TEST(ComplexGeneric, DenormalSingleResultsSignalUnderflow) {
    const C8 a[2] = {{1e-40f, 0}, {0.5f, 0.25f}};
    C8 r[2];
    const uint32_t flags = with_mxcsr(0, [&] { _kexcSin(1, a, r); });
    EXPECT_TRUE(same_bits(r[0].re, 1e-40f) && same_bits(r[0].im, 0.0f));
    EXPECT_TRUE(flags & 0x10);  // underflow
    EXPECT_FALSE(with_mxcsr(0, [&] { _kexcSin(1, a + 1, r + 1); }) & 0x10);
}

// The kernels compute under 64-bit x87 precision whatever the caller runs,
// and give the caller's control word back.
TEST(ComplexGeneric, CallerX87ControlWordRestored) {
    const Z16 a{0.6, 0.8};
    Z16 want, got;
    _kexzLog10(1, &a, &want);
    uint16_t cw, low, after;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    low = static_cast<uint16_t>((cw & ~0x300) | 0x200);
    __asm__ __volatile__("fldcw %0" : : "m"(low));
    _kexzLog10(1, &a, &got);
    __asm__ __volatile__("fnstcw %0" : "=m"(after));
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
    EXPECT_EQ(after, low);
    EXPECT_TRUE(same_bits(got.re, want.re) && same_bits(got.im, want.im));
}

// Within one ulp of MPC's correctly rounded components.
bool near(double got, double want) { return got == want || std::nextafter(want, got) == got; }

TEST(ComplexGeneric, HardArguments) {
    using K = void (*)(int32_t, const Z16*, Z16*);
    struct Case {
        K k;
        Z16 a, want;
    };
    const Case cases[] = {
        {_kexzAsin, {0x1p+0, 0x1p-60}, {0x1.921fb54042d18p+0, 0x1p-30}},  // at the branch point
        {_kexzAcos, {-0x1p+0, 0x1.56e1fc2f8f359p-997}, {0x1.921fb54442d18p+1, -0x1.a2fe76a3f9475p-499}},
        {_kexzAtanh, {0x1p+0, 0x1.56e1fc2f8f359p-997}, {0x1.59bbfd8b83e44p+8, 0x1.921fb54442d18p-1}},
        {_kexzAsinh, {0x1p-1074, 0x1.0000000000001p+0}, {0x1.6a09e667f3bccp-26, 0x1.921fb54442d18p+0}},
        {_kexzAtan, {0x1.56e1fc2f8f359p-997, -0x1p+0}, {0x1.921fb54442d18p-1, -0x1.59bbfd8b83e44p+8}},
        {_kexzLog10, {0x1.3333333333333p-1, 0x1.999999999999ap-1}, {0x1.63c62775250d8p-57, 0x1.9c626bc5dcb74p-2}},
        {_kexzSinh, {0x1.634p+9, 0x1p+0}, {0x1.1b64dbcb4d43dp+1023, 0x1.b95c271ad56bap+1023}},  // e^x overflows
        {_kexzCos, {0x1.8p+1, -0x1.5ep+9}, {-0x1.d489626dda044p+1008, 0x1.0b27331d54f53p+1006}},
        {_kexzTanh, {0x1p-1, 0x1.921fb54442d18p+0}, {0x1.14fc6ceb099bfp+1, 0x1.03fbd9d1e8ed1p-52}},
        // sinh^2 x and cos^2 y of the same size near the pole at i pi/2
        {_kexzTanh, {0x1p-54, 0x1.921fb54442d18p+0}, {0x1.cdf005a2e5798p+52, 0x1.fd8bef14541fbp+52}},
        {_kexzTan, {0x1.7e43c8800759cp+996, 0x1.ep+4}, {0x1.467ba9a0a7d3bp-86, 0x1p+0}},
    };
    for (const Case& c : cases) {
        Z16 r;
        c.k(1, &c.a, &r);
        EXPECT_TRUE(near(r.re, c.want.re) && near(r.im, c.want.im)) << c.a.re << "," << c.a.im << ": " << r.re << "," << r.im;
    }
    // z^0 = 1 for every z.
    const C8 zero{0, 0}, nan{NAN, NAN};
    C8 p;
    _kexcPowx(1, &nan, zero, &p);
    EXPECT_TRUE(p.re == 1 && same_bits(p.im, 0.0f));
}

// Products w log z far beyond 64 bits' worth: a large exponent on the unit
// circle, next to and on the cut, and a large imaginary exponent.
TEST(ComplexGeneric, PowLargeProducts) {
    const Z16 z[] = {{0.6, 0.8}, {-0x1.fffffffffffffp-1, 0x1p-40}, {-0x1.fffffffffffffp-1, -0.0}, {3, 0.001}};
    const Z16 w[] = {{0x1p20 + 0.25, 0}, {12345.5, 0.25}, {12345.5, 0.25}, {1.5, 2e5}};
    const Z16 want[] = {{-0x1.c9169a879bfb2p-2, -0x1.ca293c590d76ep-1},
                        {-0x1.5fcc8bf618b52p-28, -0x1.d2e171cf023cap-2},
                        {0x1.18bd669470239p-54, 0x1.18bd669470239p+1},
                        {0x1.fd5c55e70b85p-95, -0x1.2436bf3ea49b3p-95}};
    Z16 r[4], x;
    _kexzPow(4, z, w, r);
    _kexzPowx_50(1, z, w[0], &x);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(near(r[i].re, want[i].re) && near(r[i].im, want[i].im)) << i;
    EXPECT_TRUE(near(x.re, want[0].re) && near(x.im, want[0].im));
}

}  // namespace
