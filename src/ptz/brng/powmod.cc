// Modular powers for leapfrog and skip-ahead: right-to-left square and multiply.
#include "orvu_ptz_rng.h"
#include "ptz/brng/modular.h"

namespace {

template <class T, class Mul>
T power(T base, uint64_t e, T one, Mul mul) {
    T result = one;
    while (e) {
        if (e & 1) result = mul(result, base);
        base = mul(base, base);
        e >>= 1;
    }
    return result;
}

// 3 x 3 matrices mod m, row-major.
struct Mat3 {
    uint32_t v[9];
};
Mat3 mat_mul(const Mat3& x, const Mat3& y, uint32_t m) {
    Mat3 z{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            uint64_t acc = 0;
            for (int k = 0; k < 3; ++k) acc = (acc + ptz::mulmod(x.v[3 * i + k], y.v[3 * k + j], m)) % m;
            z.v[3 * i + j] = uint32_t(acc);
        }
    return z;
}

}  // namespace

extern "C" {

ORVU_API uint32_t __ptziPowMod(uint32_t base, uint64_t exponent, uint32_t modulus) {
    if (modulus == 1) return 0;
    return power<uint32_t>(base % modulus, exponent, 1u,
                           [modulus](uint32_t a, uint32_t b) { return ptz::mulmod(a, b, modulus); });
}

ORVU_API uint32_t __ptziPowMod2P31M1(uint32_t base, uint64_t exponent) {
    return power<uint32_t>(ptz::reduce_m31(base), exponent, 1u, ptz::mulmod_m31);
}

ORVU_API uint64_t __ptziPowMod2P59(uint64_t base, uint64_t exponent) {
    return power<uint64_t>(base & ptz::kMask59, exponent, 1u, ptz::mulmod_2p59);
}

// v holds three consecutive values oldest first; row holds the recurrence
// coefficients newest first: next = row[0]*v[2] + row[1]*v[1] + row[2]*v[0].
// The companion matrix shifts v by one place and appends next.
ORVU_API void __ptziVect3PowMod(uint32_t* v, const uint32_t* row, uint32_t modulus, uint64_t exponent) {
    const Mat3 step{{0, 1, 0, 0, 0, 1, row[2] % modulus, row[1] % modulus, row[0] % modulus}};
    const Mat3 identity{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    const Mat3 p = power<Mat3>(step, exponent, identity,
                               [modulus](const Mat3& a, const Mat3& b) { return mat_mul(a, b, modulus); });
    uint32_t out[3];
    for (int i = 0; i < 3; ++i) {
        uint64_t acc = 0;
        for (int k = 0; k < 3; ++k) acc = (acc + ptz::mulmod(p.v[3 * i + k], v[k], modulus)) % modulus;
        out[i] = uint32_t(acc);
    }
    for (int i = 0; i < 3; ++i) v[i] = out[i];
}

}  // extern "C"
