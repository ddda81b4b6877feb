// Continuous distributions: bits recomputed from the same uniforms with the
// library's EP kernels, calls continued across splits, copies and images, the
// finite ln 0 and erfinv(-1), chunk allocation failure, the failing draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "orvu_kex.h"
#include "orvu_linalg.h"
#include "orvu_ptz_rng.h"
#include "orvu_serv.h"

namespace {

// The entry points of one precision, so each check is written once.
template <class T> struct Api;
#define API_ROWS(t, ep)                                                                                              \
    static constexpr auto Uniform = _ptz##t##RngUniform, Gaussian = _ptz##t##RngGaussian;                            \
    static constexpr auto Exponential = _ptz##t##RngExponential, Laplace = _ptz##t##RngLaplace;                      \
    static constexpr auto Cauchy = _ptz##t##RngCauchy, Rayleigh = _ptz##t##RngRayleigh, Gumbel = _ptz##t##RngGumbel; \
    static constexpr auto Weibull = _ptz##t##RngWeibull, Gamma = _ptz##t##RngGamma;                                  \
    static constexpr auto GaussianMV = _ptz##t##RngGaussianMV;                                                       \
    static constexpr auto Lognormal = _ptz##t##RngLognormal;                                                         \
    static constexpr auto Ln = _kex##t##Ln##ep, Exp = _kex##t##Exp##ep, Sqrt = _kex##t##Sqrt##ep;                    \
    static constexpr auto Sin = _kex##t##Sin##ep, Tan = _kex##t##Tan##ep, ErfInv = _kex##t##ErfInv##ep;              \
    static constexpr auto SinCos = _kex##t##SinCos##ep;                                                              \
    static constexpr auto Powx = _kex##t##Powx##ep;                                                                  \
    static constexpr auto NewAbstract = __ptz##t##NewAbstractStream;                                                 \
    static constexpr auto trmm = orvu_blas_x##t##trmm_4kex;                                                          \
    static constexpr auto ptrmm = orvu_blas4kex_##t##ptrmm;
template <> struct Api<double> { API_ROWS(d, _26) };
template <> struct Api<float> { API_ROWS(s, _11) };
#undef API_ROWS

struct Stream {
    RngStream* s = nullptr;
    Stream(int32_t id, uint32_t seed) { EXPECT_EQ(__ptzNewStreamEx(&s, id, 1, &seed), 0); }
    explicit Stream(RngStream* p) : s(p) {}
    Stream(Stream&& o) noexcept : s(std::exchange(o.s, nullptr)) {}
    ~Stream() { if (s) __ptzDeleteStream(&s); }
    Stream copy() const { RngStream* c = nullptr; EXPECT_EQ(__ptzCopyStream(&c, s), 0); return Stream(c); }
};

template <class T>
using Vec = std::vector<T>;
template <class T>
using Call = std::function<int32_t(RngStream*, int32_t, T*)>;

template <class T>
Vec<T> uniforms(RngStream* s, int32_t n, T lo, T hi) {
    Vec<T> u(static_cast<size_t>(n));
    EXPECT_EQ(Api<T>::Uniform(0, s, n, u.data(), lo, hi), 0);
    return u;
}
// One kernel over the whole vector, then an element-wise formula.
template <class T>
Vec<T> kern(void (*k)(int32_t, const T*, T*), Vec<T> v) { return k(int32_t(v.size()), v.data(), v.data()), v; }
template <class T, class F>
Vec<T> map(Vec<T> v, F f) { return std::transform(v.begin(), v.end(), v.begin(), f), v; }

// Every step-th value from start; Box-Muller radii sqrt(-(ln u + ln u));
// angles u·2π. The references draw all uniforms at once: the library's
// blocks change where kernel calls start, not which uniforms pair up.
template <class T>
Vec<T> every(const Vec<T>& u, size_t start, size_t step) {
    Vec<T> r;
    for (size_t i = start; i < u.size(); i += step) r.push_back(u[i]);
    return r;
}
template <class T>
Vec<T> radii(Vec<T> u) { return kern(Api<T>::Sqrt, map(kern(Api<T>::Ln, u), [](T x) { return -(x + x); })); }
template <class T>
Vec<T> angles(Vec<T> u) { return map(u, [](T x) { return x * T(6.283185307179586); }); }

// Box-Muller2 (n even): R·sin, R·cos of each pair, then ·sigma + a.
template <class T>
Vec<T> ref_bm2(RngStream* s, int32_t n, T a, T sigma) {
    const Vec<T> u = uniforms<T>(s, n, 0, 1), rad = radii(every(u, 0, 2)), w = angles(every(u, 1, 2));
    Vec<T> sn(w.size()), cs(w.size()), r;
    Api<T>::SinCos(int32_t(w.size()), w.data(), sn.data(), cs.data());
    for (size_t j = 0; j < w.size(); ++j)
        r.push_back(rad[j] * sn[j] * sigma + a), r.push_back(rad[j] * cs[j] * sigma + a);
    return r;
}

// max(lo, x·beta + a) element by element.
template <class T>
Vec<T> affine(Vec<T> v, T beta, T a, T lo = -INFINITY) {
    return map(v, [=](T x) { return std::max(lo, x * beta + a); });
}
template <class T>
Vec<T> neg_ln(RngStream* s, int32_t n) {
    return map(kern(Api<T>::Ln, uniforms<T>(s, n, 0, 1)), [](T x) { return -x; });
}

template <class T>
Vec<T> ref_icdf(RngStream* s, int32_t n, T a, T sigma) {
    return affine(kern(Api<T>::ErfInv, uniforms<T>(s, n, -1, 1)), T(1.4142135623730951) * sigma, a);
}

template <class T>
Vec<T> ref_exponential(RngStream* s, int32_t n, T a, T beta) {
    return map(kern(Api<T>::Ln, uniforms<T>(s, n, 0, 1)), [=](T x) { return std::max(a, a - x * beta); });
}

// Normal-cube rejection: uniforms 4j and 4j+2 make the pair of candidates 2j
// (sine) and 2j+1 (cosine); uniform 2k+1 accepts candidate k.
template <class T>
Vec<T> ref_gamma_cube(RngStream* s, int32_t n, T alpha, T a, T beta) {
    const T d = alpha - T(0.3333333333333333), c = T(1) / std::sqrt(T(9) * alpha - T(3));
    const Vec<T> u = uniforms<T>(s, 4 * (n / 2 + n / 8 + 8), 0, 1);
    const Vec<T> rad = radii(every(u, 0, 4)), w = angles(every(u, 2, 4));
    Vec<T> sn(w.size()), cs(w.size()), r;
    Api<T>::SinCos(int32_t(w.size()), w.data(), sn.data(), cs.data());
    for (size_t k = 0; int32_t(r.size()) < n; ++k) {
        const T x = rad[k / 2] * (k % 2 ? cs[k / 2] : sn[k / 2]), ua = u[2 * k + 1];
        const T t = T(1) + c * x, v = t * t * t, x2 = x * x;
        if (v > 0 && (T(1) - T(0.0331) * x2 * x2 > ua || T(0.5) * x2 + (T(1) - v + std::log(v)) * d > std::log(ua)))
            r.push_back(std::max(a, v * d * beta + a));
    }
    return r;
}

// A generator call, the reference of its bits (none for the regimes whose
// candidate order is not fixed), and whether a stream of zeros lets it end.
template <class T>
struct Case {
    const char* name;
    Call<T> lib;
    std::function<Vec<T>(RngStream*, int32_t)> ref;
    bool ends_on_zeros = true;
};

// A library call and a reference over stream s, count n, results r.
#define LIB(call) [=](RngStream* s, int32_t n, T* r) { return call; }
#define REF(expr) [=](RngStream* s, int32_t n) -> Vec<T> { return expr; }

template <class T>
std::vector<Case<T>> cases() {
    using A = Api<T>;
    static const T mean[3] = {1, -2, 0.5}, diag[3] = {2, 0.7, 3};
    static const T full[9] = {2, 0, 0, 0.3, 1, 0, -1, 0.25, 3};  // upper triangle, column-major
    static const T packed[6] = {2, 0.3, -1, 1, 0.25, 3};         // lower triangle by columns
    auto mv = [](int32_t storage, const T* t) {
        return Case<T>{"GaussianMV", LIB(A::GaussianMV(1, s, n / 3, r, 3, storage, mean, t)),
                       [=](RngStream* s, int32_t n) {  // n / 3 vectors of 3
                           Vec<T> r = ref_bm2<T>(s, n / 3 * 3, 0, 1);
                           const int32_t m = 3, k = n / 3;
                           const T one = 1;
                           if (storage == 0) A::trmm("L", "U", "T", "N", &m, &k, &one, t, &m, r.data(), &m);
                           if (storage == 1) A::ptrmm("L", "L", "N", "N", &m, &k, &one, t, r.data(), &m);
                           for (int32_t i = 0; i < n; ++i)
                               r[i] = storage == 2 ? r[i] * t[i % 3] + mean[i % 3] : r[i] + mean[i % 3];
                           return r;
                       }};
    };
    return {
        {"BoxMuller", LIB(A::Gaussian(0, s, n, r, 1.5, 1.7)), [](RngStream* s, int32_t n) {
             const Vec<T> u = uniforms<T>(s, 2 * n, 0, 1), rad = radii(every(u, 0, 2));
             Vec<T> sn = kern(A::Sin, angles(every(u, 1, 2)));
             for (int32_t i = 0; i < n; ++i) sn[i] = rad[i] * T(1.7) * sn[i] + T(1.5);
             return sn;
         }},
        {"BoxMuller2", LIB(A::Gaussian(1, s, n, r, 1.5, 1.7)), REF(ref_bm2<T>(s, n, 1.5, 1.7))},
        {"GaussianICDF", LIB(A::Gaussian(2, s, n, r, 1.5, 1.7)), REF(ref_icdf<T>(s, n, 1.5, 1.7))},
        mv(0, full), mv(1, packed), mv(2, diag),
        {"Exponential", LIB(A::Exponential(0, s, n, r, -1, 3)), REF(ref_exponential<T>(s, n, -1, 3))},
        {"Laplace", LIB(A::Laplace(0, s, n, r, 2, 0.7)), [](RngStream* s, int32_t n) {
             const Vec<T> u = uniforms<T>(s, 2 * n, 0, 1);
             Vec<T> l = kern(A::Ln, every(u, 0, 2));
             for (int32_t i = 0; i < n; ++i) l[i] = l[i] * (u[2 * i + 1] <= T(0.5) ? -T(0.7) : T(0.7)) + T(2);
             return l;
         }},
        {"Weibull", LIB(A::Weibull(0, s, n, r, 2.5, 1, 3)), [](RngStream* s, int32_t n) {
             Vec<T> x = neg_ln<T>(s, n);
             A::Powx(n, x.data(), T(1) / T(2.5), x.data());
             return affine<T>(x, 3, 1, 1);
         }},
        {"Cauchy", LIB(A::Cauchy(0, s, n, r, -3, 0.3)),
         REF(affine<T>(kern(A::Tan, uniforms<T>(s, n, -M_PI_2, M_PI_2)), 0.3, -3))},
        {"Rayleigh", LIB(A::Rayleigh(0, s, n, r, 1, 2.3)), REF(affine<T>(kern(A::Sqrt, neg_ln<T>(s, n)), 2.3, 1, 1))},
        {"LognormalBM2", LIB(A::Lognormal(0, s, n, r, 0.5, 0.75, 2, 3)),
         REF(affine<T>(kern(A::Exp, ref_bm2<T>(s, n, 0.5, 0.75)), 3, 2, 2))},
        // Only the accurate bit set is not method 0: the inverse CDF.
        {"LognormalICDF", LIB(A::Lognormal(PTZ_RNG_METHOD_ACCURATE, s, n, r, 0.5, 0.75, 2, 3)),
         REF(affine<T>(kern(A::Exp, ref_icdf<T>(s, n, 0.5, 0.75)), 3, 2, 2))},
        {"Gumbel", LIB(A::Gumbel(0, s, n, r, 1, 2.3)),
         REF(affine<T>(kern(A::Ln, ref_exponential<T>(s, n, 0, 1)), 2.3, 1))},
        {"GammaShape1", LIB(A::Gamma(0, s, n, r, 1, 0.5, 2.3)), REF(ref_exponential<T>(s, n, 0.5, 2.3))},
        {"GammaCube", LIB(A::Gamma(0, s, n, r, 3.5, 0.5, 2.3)), REF(ref_gamma_cube<T>(s, n, 3.5, 0.5, 2.3))},
        {"GammaWeibull", LIB(A::Gamma(0, s, n, r, 0.8, 0, 1)), nullptr, false},
        {"GammaTwoPiece", LIB(A::Gamma(0, s, n, r, 0.3, 0, 1)), nullptr},
        {"UniformAccurate", LIB(A::Uniform(PTZ_RNG_METHOD_ACCURATE, s, n, r, 0, 1)), nullptr},
    };
}

template <class T>
void expect_same_bits(const Vec<T>& got, const Vec<T>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof(T)), 0) << "at " << i << ": " << got[i] << " vs " << want[i];
}

constexpr int32_t kRows[] = {PTZ_BRNG_MCG31, PTZ_BRNG_MT19937, PTZ_BRNG_PHILOX4X32X10};

template <class T>
void check_bits() {
    // 1500 results cross the 1024-result and 512-candidate blocks.
    for (int32_t row : kRows)
        for (const Case<T>& c : cases<T>()) {
            if (!c.ref) continue;
            SCOPED_TRACE(testing::Message() << c.name << " on 0x" << std::hex << row);
            Stream s(row, 77), ref = s.copy();
            Vec<T> got(1500);
            ASSERT_EQ(c.lib(s.s, 1500, got.data()), 0);
            expect_same_bits(got, c.ref(ref.s, 1500));
        }
}
TEST(DistributionBits, RecomputedFromTheSameUniforms) { check_bits<double>(); check_bits<float>(); }

// n = 3 then n = 1 gives what n = 4 gives, also from a copy or an image of
// the stream taken between the two calls (Box-Muller2 and Gamma above 1 keep
// a half-used pair or candidate in the stream; the others waste nothing).
template <class T>
void check_continuation() {
    for (int32_t row : kRows)
        for (const Case<T>& c : cases<T>()) {
            if (std::strcmp(c.name, "GaussianMV") == 0) continue;  // n counts vectors there
            SCOPED_TRACE(testing::Message() << c.name << " on 0x" << std::hex << row);
            Stream whole(row, 5), split(row, 5);
            Vec<T> all(4), part(6);
            ASSERT_EQ(c.lib(whole.s, 4, all.data()), 0);
            ASSERT_EQ(c.lib(split.s, 3, part.data()), 0);
            Vec<unsigned char> image(static_cast<size_t>(__ptzGetStreamSize(split.s)));
            ASSERT_EQ(__ptzSaveStreamM(split.s, image.data()), 0);
            Stream copied = split.copy(), loaded(nullptr);
            ASSERT_EQ(__ptzLoadStreamM(&loaded.s, image.data()), 0);
            RngStream* next[] = {split.s, copied.s, loaded.s};
            for (int i = 0; i < 3; ++i) ASSERT_EQ(c.lib(next[i], 1, &part[3 + i]), 0);
            expect_same_bits(part, {all[0], all[1], all[2], all[3], all[3], all[3]});
        }
}
TEST(DistributionState, CallsContinueAcrossSplitsCopiesAndImages) {
    check_continuation<double>();
    check_continuation<float>();
}

// Abstract streams over a ring: refilled with zeros, or never refilled (every
// draw fails with -1121).
template <class T>
int32_t refill_zeros(RngStream*, int32_t* n, T* buf, int32_t*, int32_t*, int32_t*) {
    return std::fill(buf, buf + *n, T(0)), *n;
}
template <class T>
int32_t refill_none(RngStream*, int32_t*, T*, int32_t*, int32_t*, int32_t*) { return 0; }

template <class T>
Stream abstract_stream(Vec<T>& ring, int32_t (*cb)(RngStream*, int32_t*, T*, int32_t*, int32_t*, int32_t*)) {
    RngStream* s = nullptr;
    EXPECT_EQ(Api<T>::NewAbstract(&s, int32_t(ring.size()), ring.data(), 0, 1, cb), 0);
    return Stream(s);
}

int32_t user_callback(KexErrorContext*) { return 0; }

// u = 0 reaching ln or erfinv gives the callbacks' finite values. On a
// failing stream every generator returns the draw's status at once; the
// thread's mode and callback stay as they were in both cases.
template <class T>
void check_abstract(T ln_tiny, T erfinv_edge) {
    const uint32_t saved_mode = _kexSetMode(KEX_MODE_LA | KEX_MODE_ERRMODE_ERRNO | KEX_MODE_FTZDAZ_ON);
    const KexErrorCallBack saved_cb = _kexSetErrorCallBack(user_callback);
    const uint32_t mode = _kexGetMode();
    Vec<T> zeros(64, T(1)), ring(4, T(0.5));
    Stream z = abstract_stream<T>(zeros, refill_zeros<T>);
    T r[8];
    ASSERT_EQ(Api<T>::Exponential(0, z.s, 8, r, 1, 2.5), 0);
    EXPECT_EQ(r[7], T(1) - ln_tiny * T(2.5));
    ASSERT_EQ(Api<T>::Gaussian(2, z.s, 8, r, 0.5, 1.5), 0);
    EXPECT_EQ(r[7], -erfinv_edge * (T(1.4142135623730951) * T(1.5)) + T(0.5));
    for (const Case<T>& c : cases<T>()) {
        if (c.ends_on_zeros) {  // else it would reject for ever
            ASSERT_EQ(c.lib(z.s, 6, r), 0) << c.name;
            for (int32_t i = 0; i < 6; ++i) EXPECT_TRUE(std::isfinite(r[i])) << c.name;
        }
        Stream failing = abstract_stream<T>(ring, refill_none<T>);
        EXPECT_EQ(c.lib(failing.s, 8, r), PTZ_ERROR_ABSTRACT_NO_NUMBERS) << c.name;
        EXPECT_EQ(_kexGetMode(), mode) << c.name;
        EXPECT_EQ(_kexGetErrorCallBack(), user_callback) << c.name;
    }
    _kexSetErrorCallBack(saved_cb);
    _kexSetMode(saved_mode);
}
TEST(DistributionCallbacks, ZeroUniformIsFiniteAndFailingDrawEndsTheCall) {
    check_abstract<double>(-744.4400719213812, 5.8635847487551676);
    check_abstract<float>(-103.27893f, 3.832507f);
}

// The saved-pair chunk's buffer (allocation 1) or stream record (2) failing:
// -4, nothing leaked or attached; the next call creates the chunk.
template <class T>
void check_chunk_failure(Call<T> f) {
    Stream s(PTZ_BRNG_MCG59, 3);
    T r[4];
    const int32_t live = orvu_serv_test_live_allocations();
    for (int32_t nth : {1, 2}) {
        orvu_serv_test_fail_allocation(nth);
        EXPECT_EQ(f(s.s, 4, r), PTZ_ERROR_MEM_FAILURE) << "allocation " << nth;
        orvu_serv_test_fail_allocation(0);
        EXPECT_EQ(orvu_serv_test_live_allocations(), live);
        EXPECT_EQ(__ptzGetNumChunks(s.s), 0);
    }
    EXPECT_EQ(f(s.s, 4, r), 0);
    EXPECT_EQ(__ptzGetNumChunks(s.s), 1);
}
TEST(DistributionFailures, ChunkAllocationFailureIsMemFailure) {
    check_chunk_failure<double>([](RngStream* s, int32_t n, double* r) { return _ptzdRngGaussian(1, s, n, r, 0, 1); });
    check_chunk_failure<float>([](RngStream* s, int32_t n, float* r) { return _ptzsRngGamma(0, s, n, r, 2, 0, 1); });
}

}  // namespace
