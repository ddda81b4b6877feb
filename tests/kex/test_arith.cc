// Div, Inv and LinearFrac: zero divisors and their reports in every flavour,
// the single-precision block fallback, the accuracy of each flavour against
// exact quotients, and LinearFrac's three paths and its fixed control register.
#include "accuracy.h"
#include "kex_test_util.h"

// The scalar routines of the single-precision LA and EP kernels.
extern "C" int32_t _kexsDiv_11_scalar(const float* a, const float* b, float* r);
extern "C" int32_t _kexsDiv_21_scalar(const float* a, const float* b, float* r);

namespace {

using namespace kex_test;

// Reports through the callback alone, and their (status, index) in order.
void collect_reports() { orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_CALLBACK), record_reports(); }
using Reports = std::vector<std::pair<int32_t, int32_t>>;
Reports reports() { Reports v; for (const auto& c : g_seen) v.push_back({c.code, c.index}); return v; }

template <class T> struct Flavour {
    const char* name;
    void (*div)(int32_t, const T*, const T*, T*);
    void (*inv)(int32_t, const T*, T*);  // when div is null: 1 / b
    double min_bits, max_ulp;            // what the flavour promises
    void run(int32_t n, const T* a, const T* b, T* r) const { div ? div(n, a, b, r) : inv(n, b, r); }
};
// HA is correctly rounded; LA and EP deliver the bits their entry-point
// suffixes name; single EP is the processor's estimate, within 1.5 * 2^-12.
constexpr double kAny = INFINITY;
const Flavour<float> kSingle[] = {
    {"sDiv HA", _kexsDiv, nullptr, 0, 0.5},      {"sInv HA", nullptr, _kexsInv, 0, 0.5},
    {"sDiv LA", _kexsDiv_21, nullptr, 21, kAny}, {"sInv LA", nullptr, _kexsInv_21, 21, kAny},
    {"sDiv EP", _kexsDiv_11, nullptr, 11, kAny}, {"sInv EP", nullptr, _kexsInv_11, 12 - std::log2(1.5), kAny},
};
const Flavour<double> kDouble[] = {
    {"dDiv HA", _kexdDiv, nullptr, 0, 0.5},      {"dInv HA", nullptr, _kexdInv, 0, 0.5},
    {"dDiv LA", _kexdDiv_50, nullptr, 50, kAny}, {"dInv LA", nullptr, _kexdInv_50, 50, kAny},
    {"dDiv EP", _kexdDiv_26, nullptr, 26, kAny}, {"dInv EP", nullptr, _kexdInv_26, 26, kAny},
};

// Zero divisors give IEEE results and one report each, in element order,
// inside a full block and in the tail.
template <class T> void check_zero_divisors(const Flavour<T>& f) {
    const T inf = std::numeric_limits<T>::infinity();
    //                 fast  /0  /-0    0/0 ...                tail: /0
    const T a[11] = {1, 1, 1, 0, 3, 5, 7, 9, 6, 1, -2};
    const T b[11] = {1, 0, T(-0.0), 0, 2, 4, 8, 16, 3, T(0.25), 0};
    on_fresh_thread([&] {
        collect_reports();
        T r[11];
        f.run(11, a, b, r);
        EXPECT_TRUE(r[1] == inf && r[2] == -inf && r[10] == (f.div ? -inf : inf)) << f.name;
        EXPECT_TRUE(std::isnan(r[3]) == (f.div != nullptr) && std::fabs(r[9] - 4) < 4e-3) << f.name;  // Inv: 1/0
        EXPECT_EQ(reports(), (Reports{{2, 1}, {2, 2}, {2, 3}, {2, 10}})) << f.name;
        EXPECT_TRUE(g_seen[0].funcName == std::string("v").append(f.name, 4) && orvu_kex_kernel_GetErrStatus() == 2);
    });
}

TEST(Division, ZeroDivisorsAreReportedInOrder) {
    for (const auto& f : kSingle) check_zero_divisors(f);
    for (const auto& f : kDouble) check_zero_divisors(f);
}

// Single LA/EP: a denormal or huge divisor takes the exact quotient, and only
// a zero divisor under a number is reported; HA reports every zero divisor.
// A block of 8 with such a lane goes wholly through the scalar routine, which
// repeats the vector formula, so every lane equals the routine's result.
TEST(Division, SingleLowFlavoursAndTheirScalarRoutine) {
    on_fresh_thread([] {
        const float a[4] = {1, NAN, 1, 6e-39f}, b[4] = {1e-39f, 0, 0, 3e38f};
        for (auto k : {_kexsDiv_21, _kexsDiv_11, _kexsDiv}) {
            collect_reports();
            float r[4];
            k(4, a, b, r);
            EXPECT_TRUE(r[0] == 1.0f / 1e-39f && std::isnan(r[1]) && r[2] == INFINITY && r[3] == 6e-39f / 3e38f);
            EXPECT_EQ(reports(), (k == _kexsDiv ? Reports{{2, 1}, {2, 2}} : Reports{{2, 2}}));
        }
    });
    float a[20], b[20];
    for (int i = 0; i < 20; ++i) a[i] = 1 + i * 0.37f, b[i] = i == 11 ? 1e-40f : 3.1f - i * 0.11f;  // lane 3 of block 2
    for (auto [div, scalar] :
         {std::pair{&_kexsDiv_21, &_kexsDiv_21_scalar}, std::pair{&_kexsDiv_11, &_kexsDiv_11_scalar}}) {
        float r[20], want;
        std::copy(a, a + 20, r);
        div(20, r, b, r);  // in place
        for (int i = 0; i < 20; ++i) EXPECT_TRUE(scalar(&a[i], &b[i], &want) == 0 && same_bits(r[i], want)) << i;
    }
}

// Divisors over the whole fast range, its edges, mantissas of all zeros and all
// ones, both signs; dividends random in [1, 2).
template <class T> void check_accuracy(const Flavour<T>& f, int min_exp, int max_exp) {
    std::mt19937_64 g(min_exp);
    std::uniform_real_distribution<T> mant(1, 2);
    std::uniform_int_distribution<int> ex(min_exp, max_exp);
    std::vector<T> b;
    for (int e : {min_exp, min_exp + 1, max_exp - 1, max_exp, 0, -1, 1})
        for (T m : {T(1), T(2) - std::numeric_limits<T>::epsilon(), T(1.5)})
            b.push_back(std::ldexp(m, e)), b.push_back(-b.back());
    while (b.size() < 20000) b.push_back((g() & 1 ? 1 : -1) * std::ldexp(mant(g), ex(g)));
    std::vector<T> a(b.size()), r(b.size());
    for (T& x : a) x = f.div ? mant(g) : T(1);
    f.run(static_cast<int32_t>(b.size()), a.data(), b.data(), r.data());
    const Accuracy acc = accuracy(r.data(), r.size(), [&](mpfr_ptr x, size_t i) {
        Exact d(b[i]);
        mpfr_set_d(x, a[i], MPFR_RNDN);
        mpfr_div(x, x, d, MPFR_RNDN);
    });
    std::printf("[ accuracy] %s: %.2f correct bits, %.3g ulp\n", f.name, acc.bits(), acc.max_ulp);
    EXPECT_TRUE(acc.bits() >= f.min_bits && acc.max_ulp <= f.max_ulp) << f.name;
}

TEST(Division, EachFlavourKeepsItsAccuracy) {
    for (const auto& f : kSingle) check_accuracy(f, -126, 125);
    for (const auto& f : kDouble) check_accuracy(f, -1022, 1020);
}

// LinearFrac against the exact value. Operands and coefficients are positive,
// so no cancellation magnifies the roundings of numerator and denominator.
template <class T> void check_linear_frac(T sa, T oa, T sb, T ob, double max_ulp) {
    std::mt19937 g(11);
    std::uniform_real_distribution<T> u(T(0.01), 100);
    std::vector<T> a(1001), b(1001), r(1001);
    for (size_t i = 0; i < a.size(); ++i) a[i] = u(g), b[i] = u(g);
    if constexpr (sizeof(T) == 4) _kexsLinearFrac(1001, a.data(), b.data(), sa, oa, sb, ob, r.data());
    else _kexdLinearFrac(1001, a.data(), b.data(), sa, oa, sb, ob, r.data());
    const Accuracy acc = accuracy(r.data(), r.size(), [&](mpfr_ptr x, size_t i) {
        Exact num(sa), den(sb);
        mpfr_mul_d(num, num, a[i], MPFR_RNDN);
        mpfr_add_d(num, num, oa, MPFR_RNDN);
        mpfr_mul_d(den, den, b[i], MPFR_RNDN);
        mpfr_add_d(den, den, ob, MPFR_RNDN);
        mpfr_div(x, num, den, MPFR_RNDN);
    });
    EXPECT_LE(acc.max_ulp, max_ulp) << sizeof(T) << ": " << sa << " " << oa << " " << sb << " " << ob;
}

TEST(LinearFrac, ThreePathsAgreeWithTheFormula) {
    // sb = 0: c1 = sa / ob and c0 = oa / ob, then c1 a + c0: four roundings.
    check_linear_frac<double>(1, 2, 0, 3, 2), check_linear_frac<float>(1, 2, 0, 3, 2);
    // Quotients: numerator and denominator rounded twice each, then a double
    // reciprocal good to 50 bits (double) or a quotient refined in double and
    // rounded once (float).
    check_linear_frac<double>(0, 5, 2, 1, 4), check_linear_frac<double>(1.5, 2, 0.25, 3, 4);
    check_linear_frac<float>(0, 5, 2, 1, 2.5), check_linear_frac<float>(1.5f, 2, 0.25f, 3, 2.5);
}

// Zero denominators give IEEE results without reports; with sa = 0, a is
// never read. The control register is cleared for the call whatever the
// caller or the mode say, and restored afterwards.
TEST(LinearFrac, SpecialDenominatorsAndControlRegister) {
    on_fresh_thread([] {
        collect_reports();
        const double a[3] = {INFINITY, NAN, 1}, b[3] = {-1, 2, -0.5};
        double r[3];
        _kexdLinearFrac(3, a, b, 0, 4, 2, 2, r);
        EXPECT_TRUE(r[0] == INFINITY && r[1] == 4.0 / 6 && r[2] == 4.0);
        float fa[2] = {1, 2}, fb[2] = {0, 1}, fr[2];
        _kexsLinearFrac(2, fa, fb, 1, 0, 1, 0, fr);
        EXPECT_TRUE(fr[0] == INFINITY && fr[1] == 2.0f && g_seen.empty());
        orvu_kex_kernel_SetMode(KEX_MODE_FTZDAZ_ON);  // not read by LinearFrac
        const double c[2] = {1e-310, 1}, d[2] = {1, 3};
        with_mxcsr(0xC040, [&] { _kexdLinearFrac(2, c, d, 1, 0, 1, 0, r); });  // up, FTZ, DAZ
        EXPECT_TRUE(r[0] == 1e-310 && r[1] == 1.0 / 3);
    });
}

}  // namespace
