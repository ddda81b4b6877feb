// Every float argument of a single-precision unary (or Sin-and-Cos) kernel. The function's
// double reference decides almost every element: a double result within a
// few hundred double ulps of the exact one rounds to the same float unless it
// lies within 2^-16 float ulps of a rounding boundary, and gives the float
// error to far better than the digits reported. MPFR takes the rest: zero and
// infinite arguments, results near a midpoint or the overflow boundary, and
// infinite or zero double results the kernel does not agree with.
#include <thread>

#include "measure.h"

namespace kex_acc {
namespace {

using L = std::numeric_limits<float>;
constexpr uint32_t kBlock = 4096;
constexpr double kOverflowEdge = 0x1.ffffffp127;  // the largest float plus half its ulp

bool agrees(const Expect<float>& e, float got, int code) { return same(got, e.want[0]) && code <= 7 && (e.ok_status >> code & 1); }

// Scores one element from the double reference; false when MPFR must decide.
bool fast_score(const FnInfo& f, uint8_t listed, float x, float got, int code, Stats& st) {
    Expect<float> e{{NAN, NAN}, true, kOnly0};  // NaN in: NaN out, no report
    if (!std::isnan(x) && (x == 0 || std::isinf(x))) return false;
    const double v = std::isnan(x) ? x : f.fast(x), av = std::fabs(v);
    if (std::isnan(v)) {
        e.ok_status = allow(listed, std::isnan(x) ? 0 : 1);
    } else if (std::isinf(v) || (av > kOverflowEdge && !std::isfinite(got))) {  // MPFR checks a pole at x != 0
        if (std::fabs(av - kOverflowEdge) < 0x1p88) return false;
        e.want[0] = static_cast<float>(std::copysign(INFINITY, v)), e.ok_status = allow(listed, 3);
        if (std::isinf(v) && !agrees(e, got, code)) return false;
    } else if (v == 0) {  // an exact zero, or a result below the double range: MPFR when the kernel disagrees
        e.want[0] = static_cast<float>(v), e.ok_status = allow(listed, 4);
        if (!agrees(e, got, code)) return false;
        ++st.measured, ++st.rounded;
        return true;
    } else {
        if (std::fabs(av - kOverflowEdge) < 0x1p88) return false;  // beyond it a finite result is measured
        const int ex = std::max(std::ilogb(v), L::min_exponent - 1);
        const double ulp = std::ldexp(1.0, ex - (L::digits - 1));  // float spacing at v
        const float r = av > kOverflowEdge ? static_cast<float>(std::copysign(INFINITY, v)) : static_cast<float>(v);
        if (av < kOverflowEdge && std::fabs(std::fabs((v - r) / ulp) - 0.5) < 0x1p-16) return false;  // near a midpoint
        const uint64_t m = bits(v) & 0xFFFFFFFFFFFFFull;
        if ((m == 0 || m == 0xFFFFFFFFFFFFFull) && !same(got, r)) return false;  // the binade of the exact value
        e.want[0] = r, e.special = false;
        e.ok_status = allow(listed, av < L::min() ? 4 : 0);  // beyond the edge: a finite result, no report
        if (av < L::min() && std::fabs(r) == L::min()) e.ok_status |= kOnly0;
        const double d = std::fabs(static_cast<double>(got) - v);
        if (!std::isfinite(got)) ++st.bad_special, st.bad("non-finite value", x, 0, got, code);
        else ++st.measured, st.rounded += same(got, r), st.error(d / ulp, d / std::max(av, double(L::min())), x, 0);
        if (code > 7 || !(e.ok_status >> code & 1)) ++st.bad_status, st.bad("status", x, 0, got, code);
        return true;
    }
    ++st.specials;
    if (!same(got, e.want[0])) ++st.bad_special, st.bad("special value", x, 0, got, code);
    if (code > 7 || !(e.ok_status >> code & 1)) ++st.bad_status, st.bad("status", x, 0, got, code);
    return true;
}

// The kernel's results r[0] (and r[1] for two-result rows), each scored as
// the unary function part[k]: SinCos is measured as its Sin and its Cos.
void work(const FnInfo* const part[2], uint8_t listed, void* kernel, uint32_t first, uint32_t step, Stats& st) {
    begin_capture();
    std::vector<float> a(kBlock), r[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    std::vector<uint8_t> codes(kBlock);
    Big y(Num<float>::prec), xa(Num<float>::prec), xb(Num<float>::prec), tmp(Num<float>::prec);
    mpfr_ptr yy[2] = {y, y};
    const int outs = part[1] ? 2 : 1;
    for (uint64_t block = first; block < (uint64_t(1) << 32) / kBlock; block += step) {
        for (uint32_t i = 0; i < kBlock; ++i) a[i] = from_bits<float>(static_cast<uint32_t>(block * kBlock + i));
        std::fill(codes.begin(), codes.end(), 0);
        set_capture(codes.data(), kBlock);
        if (outs == 1)
            reinterpret_cast<void (*)(int32_t, const float*, float*)>(kernel)(int32_t(kBlock), a.data(), r[0].data());
        else
            reinterpret_cast<void (*)(int32_t, const float*, float*, float*)>(kernel)(int32_t(kBlock), a.data(),
                                                                                     r[0].data(), r[1].data());
        for (int k = 0; k < outs; ++k)
            for (uint32_t i = 0; i < kBlock; ++i)
                if (!fast_score(*part[k], listed, a[i], r[k][i], codes[i], st))
                    score(st, expect<float>(*part[k], listed, a[i], 1.0f, yy, xa, xb), yy, 1, &r[k][i], codes[i], true,
                          a[i], 1.0f, tmp);
    }
    st.bad_status += stray_reports();
}

}  // namespace

Stats exhaustive_float(const FnInfo& f, uint8_t listed, void* kernel, int threads) {
    const FnInfo* fns[2] = {&f, nullptr};
    if (f.parts[0]) fns[0] = find_function(f.parts[0]), fns[1] = find_function(f.parts[1]);
    std::vector<Stats> part(static_cast<size_t>(std::max(threads, 1)));
    std::vector<std::thread> pool;
    for (size_t t = 0; t < part.size(); ++t)
        pool.emplace_back(work, fns, listed, kernel, static_cast<uint32_t>(t), static_cast<uint32_t>(part.size()),
                          std::ref(part[t]));
    for (auto& t : pool) t.join();
    for (size_t t = 1; t < part.size(); ++t) part[0].merge(part[t]);
    return part[0];
}

}  // namespace kex_acc
