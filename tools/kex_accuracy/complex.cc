// Accuracy of the complex arithmetic rows against MPC: each component's error
// in ulps of that component, and the error of the complex result relative to
// its larger component. A component that is the result of cancellation may
// miss its own ulp bound; it is then measured by the complex error (in ulps
// of the larger component), which is what the bounds of HA and LA hold it to.
// EP is measured by the complex relative error. Statuses: the HA kernels of
// Add, Sub, Mul, MulByConj and Div report 3 exactly where finite arguments
// give an infinite component; nothing else reports.
#include "measure.h"

#if defined(ORVU_ACC_HAVE_MPC)
#include <dlfcn.h>
#include <mpc.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "orvu_kex.h"

namespace kex_acc {
namespace {

enum class Kind { add, sub, mul, mulbyconj, div, conj, abs, arg, cis, exp, ln, sqrt,
                  acos, acosh, asin, asinh, atan, atanh, cos, cosh, log10, sin, sinh, tan, tanh, pow, powx };
struct CxFn {
    const char* name;
    Kind kind;
};
constexpr CxFn kCxFns[] = {{"Add", Kind::add}, {"Sub", Kind::sub}, {"Mul", Kind::mul}, {"MulByConj", Kind::mulbyconj},
                           {"Div", Kind::div}, {"Conj", Kind::conj}, {"Abs", Kind::abs}, {"Arg", Kind::arg},
                           {"CIS", Kind::cis}, {"Exp", Kind::exp}, {"Ln", Kind::ln}, {"Sqrt", Kind::sqrt},
                           {"Acos", Kind::acos}, {"Acosh", Kind::acosh}, {"Asin", Kind::asin}, {"Asinh", Kind::asinh},
                           {"Atan", Kind::atan}, {"Atanh", Kind::atanh}, {"Cos", Kind::cos}, {"Cosh", Kind::cosh},
                           {"Log10", Kind::log10}, {"Sin", Kind::sin}, {"Sinh", Kind::sinh}, {"Tan", Kind::tan},
                           {"Tanh", Kind::tanh}, {"Pow", Kind::pow}, {"Powx", Kind::powx}};
const CxFn* find_cx(const char* name) {
    for (const CxFn& f : kCxFns)
        if (!std::strcmp(f.name, name)) return &f;
    return nullptr;
}

constexpr mpfr_prec_t kPrec = 200;  // every sum, product and quotient of two doubles to far below an ulp

// A component: mostly log-uniform over the whole finite range with a random
// sign, some of ordinary size, some zeros. limit caps the exponent (the EP
// estimate form of single Abs has no protection against overflow of squares).
template <class T> T component(std::mt19937_64& g, int limit) {
    using L = std::numeric_limits<T>;
    const int lo = L::min_exponent - L::digits, hi = std::min(L::max_exponent, limit);
    std::uniform_real_distribution<double> u(0, 1);
    const double pick = u(g);
    T v;
    if (pick < 0.02) v = 0;
    else if (pick < 0.35) v = static_cast<T>(std::ldexp(1 + u(g), static_cast<int>(u(g) * 8) - 4));
    else v = static_cast<T>(std::ldexp(1 + u(g), std::max(lo, -limit) + static_cast<int>(u(g) * (hi - std::max(lo, -limit)))));
    return u(g) < 0.5 ? -v : v;
}

template <class T> struct Cplx { T re, im; };

// Half the arguments of Exp, Ln and Sqrt come from their hard regions (the
// other half samples the whole plane). Exp: real parts across the range where
// the result is neither zero nor infinite and next to overflow and underflow,
// imaginary parts small, large and huge. Ln: |z| within 2^-20 of 1 (the real
// part's cancellation) and next to the negative real axis; Sqrt: next to the
// negative real axis, where the imaginary part is y / (2 t).
template <class T, class C> C hard_argument(Kind kind, std::mt19937_64& g) {
    using L = std::numeric_limits<T>;
    std::uniform_real_distribution<double> u(0, 1);
    const double emax = std::log(static_cast<double>(L::max())), emin = std::log(static_cast<double>(L::denorm_min()));
    const auto sign = [&](double v) { return static_cast<T>(u(g) < 0.5 ? -v : v); };
    const auto any_size = [&] { return std::ldexp(1 + u(g), static_cast<int>(u(g) * (L::max_exponent - 2 - L::min_exponent)) + L::min_exponent); };
    switch (kind) {
    case Kind::exp: {
        const double pick = u(g);
        const double x = pick < 0.5 ? emin + u(g) * (emax - emin) : pick < 0.75 ? emax + (u(g) - 0.5) * 8 : emin + (u(g) - 0.5) * 8;
        const double y = u(g) < 0.5 ? std::ldexp(u(g), static_cast<int>(u(g) * 8) - 2) : any_size();
        return {static_cast<T>(x), sign(y)};
    }
    case Kind::ln: {
        if (u(g) < 0.5) {
            const double t = u(g) * 6.283185307179586, r = 1 + std::ldexp(u(g) - 0.5, -static_cast<int>(u(g) * 20));
            return {static_cast<T>(r * std::cos(t)), static_cast<T>(r * std::sin(t))};
        }
        return {static_cast<T>(-any_size()), sign(std::ldexp(1 + u(g), -static_cast<int>(u(g) * 60)) * (u(g) < 0.5 ? 1 : 0))};
    }
    default: {
        const double x = any_size();
        return {static_cast<T>(-x), sign(x * std::ldexp(1 + u(g), -static_cast<int>(u(g) * 60)))};
    }
    }
}

// Hard regions of the functions over the scalar routines. Trigonometric and
// hyperbolic: the growing component across the whole range of finite results
// (and past it), the other one of any size. Inverse functions and Log10:
// next to the branch points +-1 and +-i (distances 2^-1 .. 2^-60, tiny other
// component), on and next to the cuts, and |z| near 1. Pow: bases of moderate
// size and exponents whose product with log z stays in range, some integral.
template <class T, class C> C generic_argument(Kind kind, std::mt19937_64& g) {
    using L = std::numeric_limits<T>;
    std::uniform_real_distribution<double> u(0, 1);
    const auto sign = [&](double v) { return static_cast<T>(u(g) < 0.5 ? -v : v); };
    const auto any_size = [&] { return std::ldexp(1 + u(g), static_cast<int>(u(g) * (L::max_exponent - 2 - L::min_exponent)) + L::min_exponent); };
    const auto tiny = [&] { return std::ldexp(1 + u(g), -static_cast<int>(u(g) * -L::min_exponent)); };
    const double emax = std::log(static_cast<double>(L::max())) + 1;
    switch (kind) {
    case Kind::cos: case Kind::sin: case Kind::tan: case Kind::cosh: case Kind::sinh: case Kind::tanh: {
        const T grow = sign(u(g) * emax), other = sign(u(g) < 0.3 ? u(g) * 8 : any_size());
        const bool hyp = kind == Kind::cosh || kind == Kind::sinh || kind == Kind::tanh;
        return hyp ? C{grow, other} : C{other, grow};
    }
    case Kind::pow: case Kind::powx:
        return {sign(std::ldexp(1 + u(g), static_cast<int>(u(g) * 40) - 20)), sign(u(g) < 0.1 ? 0 : std::ldexp(1 + u(g), static_cast<int>(u(g) * 40) - 20))};
    default: {
        const double pick = u(g);
        if (pick < 0.4) {  // near a branch point
            const T near = static_cast<T>(1 + sign(std::ldexp(1 + u(g), -1 - static_cast<int>(u(g) * (L::digits + 7)))));
            const T off = u(g) < 0.2 ? T(0) : sign(u(g) < 0.5 ? tiny() : std::ldexp(1 + u(g), -static_cast<int>(u(g) * 60)));
            const T s = static_cast<T>(u(g) < 0.5 ? -1 : 1);
            return u(g) < 0.5 ? C{s * near, off} : C{off, s * near};
        }
        if (pick < 0.7) {  // |z| near 1
            const double t = u(g) * 6.283185307179586, r = 1 + std::ldexp(u(g) - 0.5, -static_cast<int>(u(g) * 40));
            return {static_cast<T>(r * std::cos(t)), static_cast<T>(r * std::sin(t))};
        }
        const T big = sign(any_size()), cut = sign(u(g) < 0.3 ? 0 : tiny());  // along the axes
        return u(g) < 0.5 ? C{big, cut} : C{cut, big};
    }
    }
}

// Pow: |z| within 2^-11 .. 2^-41 of 1 (when base) and real exponents up to
// 2^20, so the result stays finite while Im(w log z) needs far more than 64
// bits; Powx chunks starting at such an exponent mix these with ordinary
// bases, whose results then overflow or vanish.
template <class C> void near_one_power(std::mt19937_64& g, C& z, C& w, bool base) {
    using T = decltype(z.re);
    std::uniform_real_distribution<double> u(0, 1);
    if (base) {
        const double t = (u(g) - 0.5) * 6.283185307179586, r = 1 + std::ldexp(u(g) - 0.5, -11 - static_cast<int>(u(g) * 30));
        z = {static_cast<T>(r * std::cos(t)), static_cast<T>(r * std::sin(t))};
    }
    const double e = std::ldexp(1 + u(g), static_cast<int>(u(g) * 20));
    w = {static_cast<T>(u(g) < 0.5 ? -e : e), static_cast<T>(u(g) * 4 - 2)};
}

// The error of got against the exact y: each component's in ulps of itself,
// and the complex error max|got_k - y_k| in ulps of (and relative to) the
// larger exact component.
template <class T> void score_cx(Stats& st, int slot, const T* got, mpfr_ptr const* y, int outs, Big& tmp, Big& worst_err,
                                 double a, double b) {
    using L = std::numeric_limits<T>;
    double ulp[2] = {0, 0}, rel[2] = {0, 0};
    bool rounded = true;
    mpfr_set_zero(worst_err, 1);
    // Special values are the tests' business; an overflowing component also
    // leaves the other one (lost to cancellation next to it) unmeasured.
    for (int k = 0; k < outs; ++k)
        if (mpfr_inf_p(y[k]) || mpfr_nan_p(y[k]) || std::isinf(Num<T>::get(y[k]))) return;
    for (int k = 0; k < outs; ++k) {
        if (!std::isfinite(got[k])) {
            ++st.bad_special, st.bad("non-finite value", a, b, got[k], 0);
            return;
        }
        error_of(got[k], y[k], tmp, ulp[k], rel[k]);
        rounded &= same(got[k], Num<T>::get(y[k]));
        Num<T>::set(tmp, got[k]);
        mpfr_sub(tmp, tmp, y[k], MPFR_RNDN);
        if (mpfr_cmpabs(tmp, worst_err) > 0) mpfr_abs(worst_err, tmp, MPFR_RNDN);
    }
    ++st.measured, st.rounded += rounded;
    if (outs == 1) return st.error(ulp[0], rel[0], a, b);
    const mpfr_ptr big = mpfr_cmpabs(y[0], y[1]) >= 0 ? y[0] : y[1];
    const mpfr_exp_t e = mpfr_zero_p(big) ? L::min_exponent : std::max<mpfr_exp_t>(mpfr_get_exp(big), L::min_exponent);
    mpfr_mul_2si(worst_err, worst_err, L::digits - e, MPFR_RNDN);
    const double cx_ulp = mpfr_get_d(worst_err, MPFR_RNDN);
    long ex = 0;  // |big| = m 2^ex, m in [1/2, 1): its ulp is 2^-digits / m of |big|
    const double m = mpfr_zero_p(big) ? 0 : std::fabs(mpfr_get_d_2exp(&ex, big, MPFR_RNDN));
    const double cx_rel = std::ldexp(cx_ulp, -L::digits) * (m == 0 || ex < L::min_exponent ? 2 : 1 / m);
    double worst = 0;
    for (int k = 0; k < 2; ++k) worst = std::max(worst, slot != kEP && ulp[k] >= 1 ? cx_ulp : ulp[k]);
    st.error(worst, cx_rel, a, b);
}

template <class T> void measure_cx(const Row& row, const CxFn& f, const Options& opt, std::vector<Result>& out) {
    using C = std::conditional_t<sizeof(T) == 4, OrvuComplex8, OrvuComplex16>;
    const std::string base = std::string("_kex") + row.type + row.name;
    const bool single = row.type == 'c';
    const char* suffix[3] = {single ? "_21" : "_50", "_HA", single ? "_11" : "_26"};
    const bool binary = f.kind <= Kind::div || f.kind == Kind::pow, real_in = f.kind == Kind::cis;
    const bool generic = f.kind >= Kind::acos;
    // The generic kernels of these report overflow (status 3) in every slot.
    const bool reports = f.kind == Kind::cos || f.kind == Kind::cosh || f.kind == Kind::sin || f.kind == Kind::sinh ||
                         f.kind == Kind::pow || f.kind == Kind::powx;
    const int outs = f.kind == Kind::abs || f.kind == Kind::arg ? 1 : 2;
    // One generic kernel serves all three slots: they share the row's
    // arguments (each slot a third, from its own seed), since MPC's
    // references of these functions cost a thousand times the kernel.
    // --costly sets that share directly (emulated builds take fewer).
    const size_t n = !generic ? opt.samples : opt.costly ? opt.costly : std::max<size_t>(64, opt.samples / 3);
    for (int slot = 0; slot < 3; ++slot) {
        void* entry = dlsym(RTLD_DEFAULT, (base + suffix[slot]).c_str());
        if (!entry) continue;
        std::mt19937_64 g(17 + slot);
        const int limit = single && slot == kEP && f.kind == Kind::abs ? 60 : 1 << 14;
        std::vector<C> a(n), b(n), r(n);
        std::vector<T> ra(n), rr(n);
        for (size_t i = 0; i < n; ++i) {
            a[i] = {component<T>(g, limit), component<T>(g, limit)}, b[i] = {component<T>(g, limit), component<T>(g, limit)};
            ra[i] = i % 2 ? component<T>(g, 8) : a[i].re;
            if (generic) {
                // MPC needs thousands of bits for tan and tanh far beyond their
                // saturation, so those take all their arguments from the range.
                if (i % 2 || f.kind == Kind::tan || f.kind == Kind::tanh) a[i] = generic_argument<T, C>(f.kind, g);
                if (f.kind == Kind::pow || f.kind == Kind::powx) {
                    b[i] = generic_argument<T, C>(f.kind, g);
                    b[i] = {static_cast<T>(b[i].re / 64), static_cast<T>(b[i].im / 64)};
                    if (i % 8 == 0) b[i] = {std::round(b[i].re), 0};
                    if (i % 8 == 3 || i % 128 == 64) near_one_power(g, a[i], b[i], i % 8 == 3);
                }
            } else if (f.kind >= Kind::exp && i % 2) {
                a[i] = hard_argument<T, C>(f.kind, g);
            }
        }
        // Powx: one exponent per chunk of 64 elements.
        constexpr size_t kChunk = 64;
        if (f.kind == Kind::powx)
            for (size_t i = 0; i < n; ++i) b[i] = b[i - i % kChunk];
        std::vector<uint8_t> codes(n, 0);
        set_capture(codes.data(), n);
        if (binary) reinterpret_cast<void (*)(int32_t, const C*, const C*, C*)>(entry)(static_cast<int32_t>(n), a.data(), b.data(), r.data());
        else if (f.kind == Kind::powx)
            for (size_t i = 0; i < n; i += kChunk) {
                const size_t m = std::min(kChunk, n - i);
                set_capture(codes.data() + i, m);  // reports index the chunk
                reinterpret_cast<void (*)(int32_t, const C*, C, C*)>(entry)(static_cast<int32_t>(m), &a[i], b[i], &r[i]);
            }
        else if (real_in) reinterpret_cast<void (*)(int32_t, const T*, C*)>(entry)(static_cast<int32_t>(n), ra.data(), r.data());
        else if (outs == 1) reinterpret_cast<void (*)(int32_t, const C*, T*)>(entry)(static_cast<int32_t>(n), a.data(), rr.data());
        else reinterpret_cast<void (*)(int32_t, const C*, C*)>(entry)(static_cast<int32_t>(n), a.data(), r.data());
        set_capture(nullptr, 0);

        Result res;
        res.row = &row, res.slot = slot, res.arguments = n;
        mpc_t x, y, z;
        mpc_init2(x, kPrec), mpc_init2(y, kPrec), mpc_init2(z, kPrec);
        Big tmp(kPrec), worst_err(kPrec);
        for (size_t i = 0; i < n; ++i) {
            if (f.kind == Kind::cis) {
                mpfr_set_d(mpc_imagref(x), ra[i], MPFR_RNDN);
                mpfr_sin_cos(mpc_imagref(z), mpc_realref(z), mpc_imagref(x), MPFR_RNDN);
            } else {
                mpc_set_d_d(x, a[i].re, a[i].im, MPC_RNDNN), mpc_set_d_d(y, b[i].re, b[i].im, MPC_RNDNN);
                switch (f.kind) {
                case Kind::add: mpc_add(z, x, y, MPC_RNDNN); break;
                case Kind::sub: mpc_sub(z, x, y, MPC_RNDNN); break;
                case Kind::mul: mpc_mul(z, x, y, MPC_RNDNN); break;
                case Kind::mulbyconj: mpc_conj(y, y, MPC_RNDNN), mpc_mul(z, x, y, MPC_RNDNN); break;
                case Kind::div: mpc_div(z, x, y, MPC_RNDNN); break;
                case Kind::conj: mpc_conj(z, x, MPC_RNDNN); break;
                case Kind::abs: mpc_abs(mpc_realref(z), x, MPFR_RNDN); break;
                case Kind::arg: mpc_arg(mpc_realref(z), x, MPFR_RNDN); break;
                case Kind::cis: break;
                case Kind::exp: mpc_exp(z, x, MPC_RNDNN); break;
                case Kind::ln: mpc_log(z, x, MPC_RNDNN); break;
                case Kind::sqrt: mpc_sqrt(z, x, MPC_RNDNN); break;
                case Kind::acos: mpc_acos(z, x, MPC_RNDNN); break;
                case Kind::acosh: mpc_acosh(z, x, MPC_RNDNN); break;
                case Kind::asin: mpc_asin(z, x, MPC_RNDNN); break;
                case Kind::asinh: mpc_asinh(z, x, MPC_RNDNN); break;
                case Kind::atan: mpc_atan(z, x, MPC_RNDNN); break;
                case Kind::atanh: mpc_atanh(z, x, MPC_RNDNN); break;
                case Kind::cos: mpc_cos(z, x, MPC_RNDNN); break;
                case Kind::cosh: mpc_cosh(z, x, MPC_RNDNN); break;
                case Kind::log10: mpc_log10(z, x, MPC_RNDNN); break;
                case Kind::sin: mpc_sin(z, x, MPC_RNDNN); break;
                case Kind::sinh: mpc_sinh(z, x, MPC_RNDNN); break;
                case Kind::tan: mpc_tan(z, x, MPC_RNDNN); break;
                case Kind::tanh: mpc_tanh(z, x, MPC_RNDNN); break;
                case Kind::pow: case Kind::powx: mpc_pow(z, x, y, MPC_RNDNN); break;
                }
            }
            mpfr_ptr ys[2] = {mpc_realref(z), mpc_imagref(z)};
            const T got[2] = {outs == 1 ? rr[i] : r[i].re, r[i].im};
            score_cx<T>(res.st, slot, got, ys, outs, tmp, worst_err, real_in ? ra[i] : a[i].re, real_in ? 0 : a[i].im);
            // Overflow reports: HA of the binary functions, finite arguments, an infinite component.
            bool over = false;
            const bool zero_divisor = f.kind == Kind::div && b[i].re == 0 && b[i].im == 0;
            if ((binary && slot != kEP && !zero_divisor && !generic) || reports)
                for (int k = 0; k < 2; ++k) over |= std::isinf(got[k]);
            if (codes[i] != (over ? 3 : 0)) ++res.st.bad_status, res.st.bad("status", a[i].re, a[i].im, got[0], codes[i]);
        }
        mpc_clear(x), mpc_clear(y), mpc_clear(z);
        res.st.bad_status += stray_reports();
        out.push_back(std::move(res));
    }
}

}  // namespace

bool complex_row_known(const char* name) { return find_cx(name) != nullptr; }

void measure_complex_row(const Row& row, const Options& opt, std::vector<Result>& out) {
    const CxFn* f = find_cx(row.name);
    if (!f) return;
    if (row.type == 'c') measure_cx<float>(row, *f, opt, out);
    if (row.type == 'z') measure_cx<double>(row, *f, opt, out);
}

}  // namespace kex_acc
#else
namespace kex_acc {
bool complex_row_known(const char*) { return false; }
void measure_complex_row(const Row&, const Options&, std::vector<Result>&) {}
}  // namespace kex_acc
#endif
