// What the accuracy tool knows about each function name of the vector-math
// table: its exact reference in MPFR, a double-precision reference for the
// exhaustive pre-filter, the peers' base name, where to sample, and which
// statuses its kernels report. Rows of the table are matched to these entries
// by name; a row whose name has no entry is listed as not measured.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kex_acc {

using Ref1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using Ref2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
using RefTwo = int (*)(mpfr_ptr, mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);  // two results of one argument
using Fast1 = double (*)(double);

// Values of the function where its result changes kind; the sampler finds
// the argument of each crossing by bisection and samples densely around it.
enum class Target : uint8_t {
    root,       // f(x) = 0
    overflow,   // f(x) = the largest finite value plus half an ulp
    min_normal, // f(x) = the smallest normal number: denormal results below
    to_zero,    // f(x) = half the smallest denormal: results round to zero below
};

struct Interval {
    double lo, hi;
    const char* types = "sd";  // element types the interval applies to
};
struct Crossing {
    double lo, hi;  // f is monotone on [lo, hi]
    Target target;
};

// How the expected status follows from the exact result.
enum class StatusRule : uint8_t {
    by_result,     // NaN from numbers: 1; infinity from finite numbers: 2 (exact) or 3 (rounded); tiny: 4
    zero_divisor,  // 2 for a zero second argument (the only one of Inv), whatever the result
};

constexpr uint8_t statuses(std::initializer_list<int> codes) {
    uint8_t m = 0;
    for (int c : codes) m = static_cast<uint8_t>(m | 1u << c);
    return m;
}

struct FnInfo {
    const char* name;
    Ref1 ref1 = nullptr;      // unary
    Ref2 ref2 = nullptr;      // binary and scalar-power shapes
    RefTwo ref_two = nullptr; // two-result shape
    Fast1 fast = nullptr;     // within a few hundred double ulps everywhere (float rows only)
    const char* parts[2] = {};  // two-result shape: the unary functions giving each result
    const char* peer = nullptr;  // C name of the double function in libm and SLEEF
    uint8_t status_s = 0, status_d = 0;  // bit k: the kernels report status k
    uint8_t quiet_slots = 0;  // bit k: the kernel of slot k (LA 0, HA 1, EP 2) reports nothing
    std::vector<Interval> a = {}, b = {};  // sampling intervals of each argument
    std::vector<Crossing> crossings = {};
    std::vector<double> points = {};  // further arguments worth their neighbourhood
    StatusRule rule = StatusRule::by_result;
};

const FnInfo* find_function(const char* name);

}  // namespace kex_acc
