// CIS: cos a + i sin a of real a, through the real family's SinCos kernel of
// the same flavour; lanes beyond its range (and infinities and NaN, which give
// NaN in both components) go through the exported scalar paths
// orvu_kex_kernel_cCIS_SC_* / zCIS_SC_*, which reduce any finite argument
// exactly. No reports.
#pragma once

#include "kex/kernels/complex/carith/common.h"
#include "kex/kernels/real/trig/sincos_double.h"
#include "kex/kernels/real/trig/sincos_single.h"

namespace kex {
namespace KEX_LVL {
namespace carith {

template <class T, class Acc>
struct CisOp : CxPolicy<T, 1, 0, 1> {
    using SinCos = typename OpFor<fn_SinCos, Acc, T>::type;
    static constexpr bool kHasSpecial = SinCos::kHasSpecial;
    template <class V> typename V::mask fast(const V (&x)[1], V (&y)[2]) const {
        V sc[2];
        const auto m = SinCos{}.fast(x, sc);
        y[0] = sc[1], y[1] = sc[0];
        return m;
    }
    int rare(const T* x, T* y) const {
        if constexpr (sizeof(T) == 4) orvu_kex_kernel_cCIS_SC_HA(0, x, reinterpret_cast<OrvuComplex8*>(y));
        else orvu_kex_kernel_zCIS_SC(0, x, reinterpret_cast<OrvuComplex16*>(y));
        return KEX_STATUS_OK;
    }
};

template <class T> using CisHA = CisOp<T, acc_HA>;
template <class T> using CisLA = CisOp<T, acc_LA>;
template <class T> using CisEP = CisOp<T, acc_EP>;

}  // namespace carith

KEX_CARITH_OPS(CIS, HA, CisHA)
KEX_CARITH_OPS(CIS, LA, CisLA)
KEX_CARITH_OPS(CIS, EP, CisEP)

}  // namespace KEX_LVL
}  // namespace kex

#if defined(ORVU_LEVEL_A2) && defined(KEX_THIS_FAMILY_carith)
namespace kex::KEX_LVL::carith {
// Element i: the double evaluator (correctly reduced for every finite
// argument), rounded; NaN in both components for an infinity or NaN.
template <class T, class C> void cis_element(int32_t i, const T* a, C* r) {
    const T x = a[i];
    if (!finite(x)) {
        r[i].re = r[i].im = x - x;
        return;
    }
    double s, c;
    _kexdSinCosScalar(x, &s, &c);
    r[i].re = static_cast<T>(c), r[i].im = static_cast<T>(s);
}
}  // namespace kex::KEX_LVL::carith

extern "C" {
void orvu_kex_kernel_cCIS_SC_HA(int32_t i, const float* a, OrvuComplex8* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
void orvu_kex_kernel_cCIS_SC_LA(int32_t i, const float* a, OrvuComplex8* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
void orvu_kex_kernel_cCIS_SC_A11(int32_t i, const float* a, OrvuComplex8* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
void orvu_kex_kernel_zCIS_SC(int32_t i, const double* a, OrvuComplex16* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
void orvu_kex_kernel_zCIS_SC_HA(int32_t i, const double* a, OrvuComplex16* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
void orvu_kex_kernel_zCIS_SC_LA(int32_t i, const double* a, OrvuComplex16* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
void orvu_kex_kernel_zCIS_SC_A11(int32_t i, const double* a, OrvuComplex16* r) { kex::KEX_LVL::carith::cis_element(i, a, r); }
}
#endif
