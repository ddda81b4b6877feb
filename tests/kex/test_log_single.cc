// Single-precision Ln, Log10 and Log1p in their three flavours: special
// values and their reports from any lane of a block or the tail, and the
// accuracy of each flavour over the whole domain against MPFR.
#include <bit>

#include "accuracy.h"
#include "kex_test_util.h"

namespace {

using namespace kex_test;
using Kernel = void (*)(int32_t, const float*, float*);
using MpfrFn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

struct Flavour {
    const char* name;
    Kernel run;
    int fn;  // 0 Ln, 1 Log10, 2 Log1p
    double max_ulp, max_rel;
};
constexpr double kNoBound = 1e30;
const Flavour kFlavours[] = {
    {"sLn HA", _kexsLn, 0, 0.51, kNoBound},           {"sLn LA", _kexsLn_21, 0, 4, kNoBound},
    {"sLn EP", _kexsLn_11, 0, kNoBound, 0x1p-11},     {"sLog10 HA", _kexsLog10_HA, 1, 0.51, kNoBound},
    {"sLog10 LA", _kexsLog10_21, 1, 4, kNoBound},     {"sLog10 EP", _kexsLog10_11, 1, kNoBound, 0x1p-11},
    {"sLog1p HA", _kexsLog1p, 2, 0.51, kNoBound},     {"sLog1p LA", _kexsLog1p_21, 2, 4, kNoBound},
    {"sLog1p EP", _kexsLog1p_11, 2, kNoBound, 0x1p-11},
};
const MpfrFn kExact[] = {mpfr_log, mpfr_log10, mpfr_log1p};

struct Special {
    int fn;  // -1: Ln and Log10
    float x, want;
    int32_t status;
};
const float kInf = INFINITY, kNan = NAN, kDenorm = 0x1p-149f;
const Special kSpecials[] = {
    {-1, 0.0f, -kInf, 2},  {-1, -0.0f, -kInf, 2},  {-1, -1.0f, kNan, 1}, {-1, -kDenorm, kNan, 1},
    {-1, -kInf, kNan, 1},  {-1, kInf, kInf, 0},    {-1, kNan, kNan, 0},  {-1, 1.0f, 0.0f, 0},
    {2, -1.0f, -kInf, 2},  {2, -1.5f, kNan, 1},    {2, -kInf, kNan, 1},  {2, kInf, kInf, 0},
    {2, kNan, kNan, 0},    {2, -0.0f, -0.0f, 0},   {2, kDenorm, kDenorm, 0}, {2, -kDenorm, -kDenorm, 0},
    {2, 0x1.fffffep127f, 0x1.62e430p+6f, 0},  // beyond the float reduction of LA and EP
};

// Each special value at one lane of a block (5) and in the tail (37) of 38
// elements: its result and report are exact, every other lane keeps its
// ordinary result, and exactly one report names that element.
TEST(SingleLogarithms, SpecialLanesAnywhereInABlock) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK | KEX_MODE_HA);
        for (const Flavour& f : kFlavours)
            for (const Special& s : kSpecials) {
                if (s.fn != f.fn && !(s.fn == -1 && f.fn < 2)) continue;
                std::vector<float> a(38), plain(38), r(38);
                for (int i = 0; i < 38; ++i) a[i] = 0.25f + 0.75f * float(i);
                f.run(38, a.data(), plain.data());
                for (int at : {5, 37}) {
                    std::vector<float> b = a;
                    b[at] = s.x;
                    record_reports();
                    _kexSetErrStatus(0);
                    f.run(38, b.data(), r.data());
                    for (int i = 0; i < 38; ++i)
                        EXPECT_TRUE(same(r[i], i == at ? s.want : plain[i])) << f.name << " x=" << s.x << " i=" << i;
                    const size_t reports = s.status != 0;
                    ASSERT_EQ(g_seen.size(), reports) << f.name << " x=" << s.x;
                    if (reports) {
                        EXPECT_TRUE(g_seen[0].code == s.status && g_seen[0].index == at);
                    }
                    EXPECT_EQ(_kexGetErrStatus(), s.status);
                }
            }
    });
}

// Random bit patterns over the domain (denormals included; Log1p also
// (-1, 0)), the neighbourhood of 1 and the near-one edge 1 + 2^-7.
std::vector<float> domain(int fn) {
    std::mt19937 g(fn);
    std::uniform_int_distribution<uint32_t> pos(1, 0x7F7FFFFF), neg(0x80000001u, 0xBF7FFFFFu);
    std::uniform_real_distribution<float> near1(0.98f, 1.02f);
    std::vector<float> v = {1.0078125f, 0.9921875f, 0x1p-149f, 0x1p-126f, 0x1.fffffep127f};
    while (v.size() < 6000) {
        v.push_back(std::bit_cast<float>(pos(g)));
        v.push_back(fn == 2 ? std::bit_cast<float>(neg(g)) : near1(g));
    }
    std::erase_if(v, [&](float x) { return fn < 2 && x == 1; });
    return v;
}

TEST(SingleLogarithms, EachFlavourKeepsItsAccuracy) {
    for (const Flavour& f : kFlavours) {
        const std::vector<float> a = domain(f.fn);
        std::vector<float> r(a.size());
        f.run(static_cast<int32_t>(a.size()), a.data(), r.data());
        const Accuracy acc = accuracy(r.data(), r.size(), [&](mpfr_ptr x, size_t i) {
            Exact d(a[i]);
            kExact[f.fn](x, d, MPFR_RNDN);
        });
        std::printf("[ accuracy] %s: %.2f correct bits, %.3g ulp\n", f.name, acc.bits(), acc.max_ulp);
        EXPECT_TRUE(acc.max_ulp <= f.max_ulp && acc.max_rel <= f.max_rel) << f.name;
    }
}

}  // namespace
