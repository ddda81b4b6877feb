// The wide kernels the library stores in the dispatch slots at load time
// against the exported SSE kernels of the same slots: every result bit, the
// status, errno and each callback report in order must agree, for arrays
// mixing random bit patterns, ordinary magnitudes and special values at every
// lane, over lengths around the block sizes, with flush-to-zero on and off, a
// callback that replaces results, caller rounding toward zero, and in place.
// The level under test is the widest the machine has, or the one
// ORVU_KEXLEVEL caps it to.
#include <dlfcn.h>

#include <cerrno>

#include "kex_test_util.h"

namespace {

enum Shape { unary, binary, powx, linearfrac, two, c2r, r2c, other };
struct Row { bool on; char t; const char* fn; Shape shape; const char* kernel[3]; };
#define KEX_CELL_(isa, acc, cost) #isa #acc
#define KEX_CELL(c) KEX_CELL_ c
#define KEX_SHAPE(s) (std::string_view(#s) == "unary" ? unary : std::string_view(#s) == "binary" ? binary \
    : std::string_view(#s) == "powx" ? powx : std::string_view(#s) == "linearfrac" ? linearfrac           \
    : std::string_view(#s) == "two" ? two : std::string_view(#s) == "c2r" ? c2r                           \
    : std::string_view(#s) == "r2c" ? r2c : other)
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) \
    Row{on == 1, #t[0], #fn, KEX_SHAPE(shape), {KEX_CELL(la), KEX_CELL(ha), KEX_CELL(ep)}},
constexpr Row kRows[] = {
#include "orvu_kex_functions.def"
};
#undef KEX_FN

// Through the global scope: a table the test program refers to directly is
// the program's copy, which is the one the library's code uses.
void* sym(const std::string& name) { return dlsym(RTLD_DEFAULT, name.c_str()); }

// Inputs of one component type: about a quarter random bit patterns (NaN
// payloads, denormals, infinities), an eighth special values, the rest
// random magnitudes 2^-40..2^40 of both signs.
template <class R> std::vector<R> mixed(size_t n, uint32_t seed) {
    using U = std::conditional_t<sizeof(R) == 4, uint32_t, uint64_t>;
    using L = std::numeric_limits<R>;
    const R special[] = {0, -0.0, L::denorm_min(), -L::denorm_min(), L::min(), -L::min(), 1, -1, 0.5, 2,
                         L::max(), -L::max(), L::infinity(), -L::infinity(), L::quiet_NaN(),
                         L::signaling_NaN(), R(87.34), R(-103.9), R(708.4), R(-745.2), R(3072), R(131072),
                         R(1e-20), R(-1e-20), std::nextafter(R(1), R(0)), R(3.14159265358979)};
    std::mt19937_64 g(seed);
    std::vector<R> v(n);
    for (R& x : v) {
        const uint64_t k = g() % 8, w = g();
        if (k < 2) {
            U u = static_cast<U>(w);
            std::memcpy(&x, &u, sizeof x);
        } else if (k == 2) {
            x = special[w % std::size(special)];
        } else {
            x = std::ldexp(R(1) + R(w % 4096) / 4096, static_cast<int>(w >> 32) % 81 - 40) * (w & 1 ? -1 : 1);
        }
    }
    return v;
}

struct Report { int32_t code, index; double v[8]; std::string name; };
std::vector<Report> g_reports;
bool g_replace = false;
int32_t note(KexErrorContext* c) {
    g_reports.push_back({c->code, c->index, {c->arg1, c->arg2, c->res1, c->res2, c->arg1Im, c->arg2Im, c->res1Im,
                         c->res2Im}, std::string(c->funcName, strnlen(c->funcName, sizeof c->funcName))});
    if (g_replace) c->res1 = 42, c->res1Im = -42;
    return 0;
}

// What one call leaves behind.
template <class R> struct Outcome {
    std::vector<R> r1, r2;
    int32_t status;
    int err;
    std::vector<Report> reports;
};

bool operator==(const Report& x, const Report& y) {
    return x.code == y.code && x.index == y.index && x.name == y.name &&
           std::equal(std::begin(x.v), std::end(x.v), std::begin(y.v), [](double u, double v) {
               return kex_test::same(u, v);
           });
}

// Calls kernel k of the given shape with components of type R; element size
// is 2 components for complex rows. The results start as a fixed pattern so
// that writes past n show.
template <class R> struct Caller {
    Shape shape;
    bool complex;
    std::vector<R> a, b;
    R scalar[4];
    bool in_place = false;

    // Results compare bit for bit, except that a NaN matches any NaN where the
    // element has two NaN inputs: the processor keeps the payload of the first
    // operand, and the compiler may order commutative operands differently at
    // each level.
    bool alike(const std::vector<R>& x, const std::vector<R>& y) const {
        const bool cin = complex && shape != r2c, cout = complex && shape != c2r;
        for (size_t e = 0; e < x.size(); ++e) {
            if (kex_test::same_bits(x[e], y[e])) continue;
            const size_t el = cout ? e / 2 : e, w = cin ? 2 : 1;
            int nans = 0;
            for (size_t j = el * w; j < el * w + w && j < a.size(); ++j)
                nans += std::isnan(a[j]) + (shape == binary || shape == linearfrac ? std::isnan(b[j]) : 0);
            if (!(nans >= 2 && std::isnan(x[e]) && std::isnan(y[e]))) return false;
        }
        return true;
    }

    Outcome<R> operator()(void* k, int32_t n) const {
        std::vector<R> r1(a.size(), R(-7)), r2(a.size(), R(-7));
        if (in_place) r1 = a;
        const R* x = in_place ? r1.data() : a.data();
        g_reports.clear();
        orvu_kex_kernel_ClearErrStatus();
        errno = 0;
        switch (shape) {
            case unary: case c2r: case r2c:
                reinterpret_cast<void (*)(int32_t, const R*, R*)>(k)(n, x, r1.data());
                break;
            case binary:
                reinterpret_cast<void (*)(int32_t, const R*, const R*, R*)>(k)(n, x, b.data(), r1.data());
                break;
            case two:
                reinterpret_cast<void (*)(int32_t, const R*, R*, R*)>(k)(n, x, r1.data(), r2.data());
                break;
            case powx:
                if (complex) {  // the complex exponent is passed by value as two components
                    struct C { R re, im; };
                    reinterpret_cast<void (*)(int32_t, const R*, C, R*)>(k)(n, x, C{scalar[0], scalar[1]},
                                                                            r1.data());
                } else {
                    reinterpret_cast<void (*)(int32_t, const R*, R, R*)>(k)(n, x, scalar[0], r1.data());
                }
                break;
            case linearfrac:
                reinterpret_cast<void (*)(int32_t, const R*, const R*, R, R, R, R, R*)>(k)(
                    n, x, b.data(), scalar[0], scalar[1], scalar[2], scalar[3], r1.data());
                break;
            case other:
                break;
        }
        return {r1, r2, orvu_kex_kernel_GetErrStatus(), errno, g_reports};
    }
};

// Runs the reference and the slot's kernel on the same calls and reports the
// first difference.
template <class R> void compare(const Row& row, int slot, void* ref, void* now, uint32_t seed) {
    const bool complex = row.t == 'c' || row.t == 'z';
    const size_t per = complex ? 2 : 1, max_n = 4099;
    Caller<R> c{row.shape, complex, mixed<R>(max_n * per, seed), mixed<R>(max_n * per, seed + 1), {}, false};
    // Exponents and coefficients: each form of the scalar paths, then random.
    const std::vector<std::array<R, 4>> scalars =
        row.shape == powx ? std::vector<std::array<R, 4>>{{2, 0}, {-1, 0}, {0.5, 0}, {-0.5, 1.5}, {1.5, -2}, {R(3.7), 0}}
        : row.shape == linearfrac ? std::vector<std::array<R, 4>>{{1, 0, 0, 1}, {2, 1, 0, 1}, {1, 0.5, 3, -1},
                                                                  {R(0.3), R(-2.5), R(1.7), R(4)}}
                                  : std::vector<std::array<R, 4>>{{0, 0, 0, 0}};
    const std::string what = std::string(1, row.t) + row.fn + " slot " + std::to_string(slot);
    const uint32_t base = orvu_kex_kernel_GetMode();
    for (const auto& s : scalars) {
        std::copy(s.begin(), s.end(), c.scalar);
        for (int variant = 0; variant < 3; ++variant) {
            // 0: plain; 1: flush-to-zero, replacing callback, caller rounds toward zero; 2: in place.
            orvu_kex_kernel_SetMode(KEX_MODE_ERRMODE_ERRNO | KEX_MODE_ERRMODE_CALLBACK |
                                    (variant == 1 ? KEX_MODE_FTZDAZ_ON : KEX_MODE_FTZDAZ_OFF));
            g_replace = variant == 1;
            c.in_place = variant == 2 && row.shape != c2r && row.shape != r2c;
            const uint32_t csr = _mm_getcsr();
            if (variant == 1) _mm_setcsr((csr & ~0x6000u) | 0x6000u);
            for (int32_t n : {1, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 100, 257, 4099}) {
                if (variant == 2 && n != 4099) continue;
                const Outcome<R> x = c(ref, n), y = c(now, n);
                const bool same = c.alike(x.r1, y.r1) && c.alike(x.r2, y.r2) && x.status == y.status && x.err == y.err &&
                                  x.reports == y.reports;
                if (!same) {
                    size_t e = 0;
                    while (e + 1 < x.r1.size() && kex_test::same_bits(x.r1[e], y.r1[e])) ++e;
                    ADD_FAILURE() << what << " variant " << variant << " n=" << n << ": status " << x.status << "/"
                                  << y.status << " reports " << x.reports.size() << "/" << y.reports.size()
                                  << " first differing component " << e << " a=" << c.a[e] << " b=" << c.b[e]
                                  << ": " << x.r1[e] << " vs " << y.r1[e];
                    _mm_setcsr(csr);
                    orvu_kex_kernel_SetMode(base);
                    return;
                }
            }
            _mm_setcsr(csr);
        }
    }
    orvu_kex_kernel_SetMode(base);
}

TEST(WideLevels, SlotKernelsMatchTheirSseKernelsBitForBit) {
    if (!kex_test::wide_level_expected()) GTEST_SKIP() << "no wide level on this machine or capped to SSE";
    orvu_kex_kernel_SetErrorCallBack(note);
    int wide = 0;
    uint32_t seed = 1;
    for (const Row& row : kRows) {
        if (!row.on || row.shape == other) continue;
        const std::string b = std::string(1, row.t) + row.fn, pre = "orvu_kex_kernel_" + b;
        auto* slots = static_cast<void**>(sym(pre + "_ttab"));
        ASSERT_NE(slots, nullptr) << b;
        for (int s = 0; s < 3; ++s) {
            const std::string k = row.kernel[s];
            void* ref = sym(pre + "_" + k + (k.ends_with("EP") ? "nnn" : "ynn"));
            ASSERT_NE(ref, nullptr) << b << " " << k;
            if (k.starts_with("A0")) {  // element-by-element kernels have no wide copy
                EXPECT_EQ(slots[s], ref) << b;
                continue;
            }
            EXPECT_NE(slots[s], ref) << b << " slot " << s << " holds its SSE kernel";
            if (k == row.kernel[0] && s > 0) continue;  // a slot sharing another's kernel
            if (s == 2 && k == row.kernel[1]) continue;
            ++wide;
            if (row.t == 's' || row.t == 'c') compare<float>(row, s, ref, slots[s], seed++);
            else compare<double>(row, s, ref, slots[s], seed++);
        }
    }
    orvu_kex_kernel_ClearErrorCallBack();
    EXPECT_GT(wide, 200);
}

}  // namespace
