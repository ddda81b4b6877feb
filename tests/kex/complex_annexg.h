// Special-value tables of the complex kernels. Every pair of components from
// {+0, -0, ±small, ±large, +inf, -inf, NaN} goes through the LA, HA and EP
// entry points of a row and is compared by class with the C library's function
// of the same precision (cexpf for c rows, cexp for z rows, ...):
//   - NaN against NaN (any sign and payload), never a number against NaN;
//   - infinities by sign; beside a NaN component the sign is free (C99 leaves
//     it unspecified in every such case);
//   - zeros by sign, with the same freedom beside a NaN, and where the row's
//     `free_signs` says C99 leaves both signs open (cexp(-inf + i inf), ...);
//   - finite values within a loose tolerance of the larger component.
// Each element is also computed alone (the one-lane tail path), which must
// give the same bits as the block.
// Entry points are looked up by name, so a row whose function is not built is
// skipped rather than failing to link.
#pragma once

#include <dlfcn.h>

#include <complex>
#include <string>

#include "kex_test_util.h"

namespace annexg {

using Cf = std::complex<float>;
using Cd = std::complex<double>;

enum class Kind { unary, binary, powx };

struct Row {
    const char* fn;  // entry points _kexc<fn>..., _kexz<fn>...
    Kind kind;
    Cf (*oracle_c)(Cf a, Cf b);  // b is the row's exponent for Pow/Powx, unused otherwise
    Cd (*oracle_z)(Cd a, Cd b);
    double b_re = 0, b_im = 0;   // the fixed exponent of a Pow/Powx row
    // Arguments (classified in double) whose results C99 gives as ±0 ± i0 or
    // ±inf ± i... with both signs open; null: none.
    bool (*free_signs)(Cd a) = nullptr;
};

// Oracle lambdas over the C library's complex functions: ANNEXG_LIBM(exp)
// calls cexpf / cexp, ANNEXG_LIBM2(pow) cpowf / cpow with the exponent.
#define ANNEXG_LIBM(fn)                                                       \
    [](annexg::Cf a, annexg::Cf) { return annexg::Cf(__builtin_c##fn##f(a.__rep())); }, \
        [](annexg::Cd a, annexg::Cd) { return annexg::Cd(__builtin_c##fn(a.__rep())); }
#define ANNEXG_LIBM2(fn)                                                                      \
    [](annexg::Cf a, annexg::Cf b) { return annexg::Cf(__builtin_c##fn##f(a.__rep(), b.__rep())); }, \
        [](annexg::Cd a, annexg::Cd b) { return annexg::Cd(__builtin_c##fn(a.__rep(), b.__rep())); }

template <class T> using Cx = std::conditional_t<sizeof(T) == 4, OrvuComplex8, OrvuComplex16>;

template <class T> std::vector<T> grid_values() {
    const T large = sizeof(T) == 4 ? T(1e30) : T(1e300);
    return {T(0), -T(0), T(0.75), T(-0.75), large, -large, T(INFINITY), -T(INFINITY), T(NAN)};
}

// got matches want by class; free_sign: the sign of a zero or infinity is open.
template <class T> bool alike(T got, T want, T scale, bool free_sign) {
    if (std::isnan(want) || std::isnan(got)) return std::isnan(want) && std::isnan(got);
    if (std::isinf(want) || want == 0) {
        if (free_sign) return std::isinf(want) ? std::isinf(got) : got == 0;
        return kex_test::same_bits(got, want);
    }
    const T tol = sizeof(T) == 4 ? T(0x1p-9) : T(0x1p-20);
    return std::isfinite(got) && std::fabs(got - want) <= tol * scale;
}

// Runs one flavour's entry point over the grid; returns the number of
// mismatching elements (the first few are reported).
template <class T> int check_entry(const Row& row, void* fn, const std::string& what) {
    using C = Cx<T>;
    using S = std::complex<T>;
    const auto v = grid_values<T>();
    std::vector<C> a;
    for (T re : v)
        for (T im : v) a.push_back({re, im});
    const int32_t n = static_cast<int32_t>(a.size());
    const C b{T(row.b_re), T(row.b_im)};
    const std::vector<C> bs(a.size(), b);
    const auto call = [&](int32_t m, const C* x, C* r) {
        switch (row.kind) {
        case Kind::unary: reinterpret_cast<void (*)(int32_t, const C*, C*)>(fn)(m, x, r); break;
        case Kind::binary: reinterpret_cast<void (*)(int32_t, const C*, const C*, C*)>(fn)(m, x, bs.data(), r); break;
        case Kind::powx: reinterpret_cast<void (*)(int32_t, const C*, C, C*)>(fn)(m, x, b, r); break;
        }
    };
    std::vector<C> r(a.size());
    call(n, a.data(), r.data());
    int bad = 0;
    for (int32_t i = 0; i < n; ++i) {
        C one;
        call(1, &a[i], &one);
        S w;
        if constexpr (sizeof(T) == 4) w = row.oracle_c(S(a[i].re, a[i].im), S(b.re, b.im));
        else w = row.oracle_z(S(a[i].re, a[i].im), S(b.re, b.im));
        const bool open = row.free_signs && row.free_signs(Cd(a[i].re, a[i].im));
        const T scale = std::fmax(std::fabs(w.real()), std::fabs(w.imag()));
        const bool ok = alike(r[i].re, w.real(), scale, open || std::isnan(w.imag())) &&
                        alike(r[i].im, w.imag(), scale, open || std::isnan(w.real()));
        const bool same_alone = kex_test::same(one.re, r[i].re) && kex_test::same(one.im, r[i].im);
        if (ok && same_alone) continue;
        if (++bad <= 4)
            ADD_FAILURE() << what << "(" << a[i].re << ", " << a[i].im << ") = (" << r[i].re << ", " << r[i].im
                          << ")" << (same_alone ? "" : " [alone: differs]") << ", C library gives " << w;
    }
    return bad;
}

// Checks every built flavour of the row for c and z; returns how many entry
// points were found.
inline int check_row(const Row& row) {
    int found = 0;
    for (char t : {'c', 'z'}) {
        const char* suffix[3] = {t == 'c' ? "_21" : "_50", "_HA", t == 'c' ? "_11" : "_26"};
        for (const char* s : suffix) {
            const std::string name = std::string("_kex") + t + row.fn + s;
            void* fn = dlsym(RTLD_DEFAULT, name.c_str());
            if (!fn) continue;
            ++found;
            const std::string what = name + (row.kind == Kind::unary ? "" : " b=" + std::to_string(row.b_re) + " ");
            const int bad = t == 'c' ? check_entry<float>(row, fn, what) : check_entry<double>(row, fn, what);
            EXPECT_EQ(bad, 0) << what;
        }
    }
    return found;
}

}  // namespace annexg
