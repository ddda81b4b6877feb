/* Vector math: per-thread mode and error state, error reporting, and the
 * element-wise functions with their accuracy dispatch tables.
 *
 * Entry points: _kex<t><Fn> and _kex<t><Fn>_HA call the HA kernel (slot 1),
 * _kex<t><Fn>_21 / _50 the LA kernel (slot 0), _kex<t><Fn>_11 / _26 the EP
 * kernel (slot 2); 21/50 and 11/26 are the correct bits promised for single
 * and double element types. A count n <= 0 does nothing. Result arrays may be
 * the argument arrays (in-place operation).
 *
 * What the caller guarantees (nothing here checks it): every array holds the
 * n elements a call reads or writes; for Pack/Unpack, the increment and every
 * entry of an index list address elements inside the caller's arrays (they
 * are used as given, so a wrong one reads or writes out of bounds). */
#ifndef ORVU_KEX_H
#define ORVU_KEX_H

#include "orvu_kex_shapes.h"

ORVU_EXTERN_C_BEGIN

/* ---- mode word ----------------------------------------------------------- */
#define KEX_MODE_LA 0x1u
#define KEX_MODE_HA 0x2u
#define KEX_MODE_EP 0x3u
#define KEX_MODE_ACCURACY_MASK 0xFu
#define KEX_MODE_FLOAT_CONSISTENT 0x10u
#define KEX_MODE_DOUBLE_CONSISTENT 0x20u
#define KEX_MODE_RESTORE 0x30u
#define KEX_MODE_FPU_MASK 0xF0u
#define KEX_MODE_ERRMODE_IGNORE 0x100u
#define KEX_MODE_ERRMODE_ERRNO 0x200u
#define KEX_MODE_ERRMODE_STDERR 0x400u
#define KEX_MODE_ERRMODE_EXCEPT 0x800u
#define KEX_MODE_ERRMODE_CALLBACK 0x1000u
#define KEX_MODE_ERRMODE_DEFAULT 0x1A00u
#define KEX_MODE_ERRMODE_MASK 0xFF00u
#define KEX_MODE_FTZDAZ_ON 0x280000u
#define KEX_MODE_FTZDAZ_OFF 0x140000u
#define KEX_MODE_FTZDAZ_MASK 0x3C0000u
#define KEX_MODE_DEFAULT 0x1A02u

/* Name of the environment variable that holds the initial mode of each
 * thread: comma-separated tokens KEX_<keyword>, e.g. "KEX_LA,KEX_ERRMODE_ERRNO". */
#define KEX_MODE_ENV_NAME "ORVU_KEXMODE"

/* ---- vector-math status ---------------------------------------------------- */
#define KEX_STATUS_OK 0
#define KEX_STATUS_ERRDOM 1
#define KEX_STATUS_SING 2
#define KEX_STATUS_OVERFLOW 3
#define KEX_STATUS_UNDERFLOW 4

/* Error context offered to the callback. Doubles are packed on 4-byte
 * boundaries, so the record has the same layout on 32- and 64-bit x86. */
#pragma pack(push, 4)
typedef struct KexErrorContext {
    int32_t code;
    int32_t index;
    double arg1;
    double arg2;
    double res1;
    double res2;
    char funcName[64];
    int32_t funcNameLen;
    double arg1Im;
    double arg2Im;
    double res1Im;
    double res2Im;
} KexErrorContext;
#pragma pack(pop)

typedef int32_t (*KexErrorCallBack)(KexErrorContext* ctx);

/* One row of the mode keyword table. */
typedef struct KexModeKeyword {
    const char* text;
    int32_t length;
    uint32_t low;
    uint32_t high;
} KexModeKeyword;
ORVU_API extern const KexModeKeyword mapModeS_N[13];

ORVU_API uint32_t orvu_kex_kernel_GetMode(void);
ORVU_API uint32_t orvu_kex_kernel_SetMode(uint32_t mode);
ORVU_API int32_t orvu_kex_kernel_GetTTableIndex(void);
ORVU_API int32_t orvu_kex_kernel_GetTTableIndexM(int32_t unused, uint32_t mode);
ORVU_API uint64_t orvu_kex_kernel_ReadEnvVarMode(void);
ORVU_API int32_t orvu_kex_kernel_GetErrStatus(void);
ORVU_API int32_t orvu_kex_kernel_SetErrStatus(int32_t status);
ORVU_API int32_t orvu_kex_kernel_ClearErrStatus(void);
ORVU_API KexErrorCallBack orvu_kex_kernel_GetErrorCallBack(void);
ORVU_API KexErrorCallBack orvu_kex_kernel_SetErrorCallBack(KexErrorCallBack cb);
ORVU_API KexErrorCallBack orvu_kex_kernel_ClearErrorCallBack(void);
ORVU_API const void* orvu_kex_kernel_SetInterfInputVectorPointer(const void* p);

ORVU_API uint32_t _kexGetMode(void);
ORVU_API uint32_t _kexSetMode(uint32_t mode);
ORVU_API int32_t _kexGetErrStatus(void);
ORVU_API int32_t _kexSetErrStatus(int32_t status);
ORVU_API int32_t _kexClearErrStatus(void);
ORVU_API KexErrorCallBack _kexGetErrorCallBack(void);
ORVU_API KexErrorCallBack _kexSetErrorCallBack(KexErrorCallBack cb);
ORVU_API KexErrorCallBack _kexClearErrorCallBack(void);
ORVU_API const void* _kexSetInterfInputVectorPointer(const void* p);
ORVU_API int32_t dll_cpu_version(void);

/* Error reporters, called by the kernels for each special element (and open
 * to callers that report on their own). A one-argument function passes its
 * argument array twice, a one-result function its result array twice. */
ORVU_API void orvu_kex_kernel_sError(int32_t code, int32_t i, const float* a1, const float* a2,
                                     float* r1, float* r2, const char* name);
ORVU_API void orvu_kex_kernel_dError(int32_t code, int32_t i, const double* a1, const double* a2,
                                     double* r1, double* r2, const char* name);
ORVU_API void orvu_kex_kernel_cError(int32_t code, int32_t i, const OrvuComplex8* a1,
                                     const OrvuComplex8* a2, OrvuComplex8* r1, OrvuComplex8* r2,
                                     const char* name);
ORVU_API void orvu_kex_kernel_zError(int32_t code, int32_t i, const OrvuComplex16* a1,
                                     const OrvuComplex16* a2, OrvuComplex16* r1, OrvuComplex16* r2,
                                     const char* name);

/* ---- functions: tables, entry points and kernels of every built row -------- */
#define KEX_KERNEL_TYPEDEF(t, shape) typedef void(*KEX_KFN(t, shape)) KEX_KSIG_##shape(t);
#define KEX_TYPEDEFS_FOR(shape) \
    KEX_KERNEL_TYPEDEF(s, shape) KEX_KERNEL_TYPEDEF(d, shape) \
    KEX_KERNEL_TYPEDEF(c, shape) KEX_KERNEL_TYPEDEF(z, shape)
KEX_TYPEDEFS_FOR(unary) KEX_TYPEDEFS_FOR(binary) KEX_TYPEDEFS_FOR(powx)
KEX_TYPEDEFS_FOR(linearfrac) KEX_TYPEDEFS_FOR(two) KEX_TYPEDEFS_FOR(c2r) KEX_TYPEDEFS_FOR(r2c)
KEX_TYPEDEFS_FOR(packI) KEX_TYPEDEFS_FOR(packV) KEX_TYPEDEFS_FOR(packM)
KEX_TYPEDEFS_FOR(unpackI) KEX_TYPEDEFS_FOR(unpackV) KEX_TYPEDEFS_FOR(unpackM)
#undef KEX_TYPEDEFS_FOR
#undef KEX_KERNEL_TYPEDEF

#define KEX_DECLARE_KERNEL(t, fn, shape, isa, acc) \
    ORVU_API void KEX_KERNEL_NAME(t, fn, isa, acc) KEX_KSIG_##shape(t);
#define KEX_DECLARE_ROW(t, fn, shape, la, ha, ep)                                  \
    ORVU_API extern KEX_KFN(t, shape) KEX_TTAB(t, fn)[3];                          \
    ORVU_API extern const float KEX_CTAB(t, fn)[3];                                \
    ORVU_API void _kex##t##fn KEX_ESIG_##shape(t);                                 \
    ORVU_API void _kex##t##fn##_HA KEX_ESIG_##shape(t);                            \
    ORVU_API void KEX_CAT(_kex##t##fn, KEX_LA_SUFFIX_##t) KEX_ESIG_##shape(t);     \
    ORVU_API void KEX_CAT(_kex##t##fn, KEX_EP_SUFFIX_##t) KEX_ESIG_##shape(t);     \
    KEX_FOR_OWN_KERNELS(KEX_DECLARE_KERNEL, t, fn, shape, la, ha, ep)
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) KEX_IF_##on(KEX_DECLARE_ROW(t, fn, shape, la, ha, ep))
#include "orvu_kex_functions.def"
#undef KEX_FN
#undef KEX_DECLARE_ROW
#undef KEX_DECLARE_KERNEL

/* ---- trigonometric scalar paths -----------------------------------------------
 * Element i of a Sin, Cos, SinCos or Tan call computed alone (exact reduction of
 * any finite argument) and reported like a kernel's element. The flavour
 * forms compute the same value. The reduction x = q pi/2 + rec[0] + rec[1]
 * for finite |x| >= 2^17 returns q mod 4. */
ORVU_API void orvu_kex_kernel_dSin_SC(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dSin_SC_HA(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dSin_SC_LA(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dSin_SC_A11(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dCos_SC(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dCos_SC_HA(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dCos_SC_LA(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dCos_SC_A11(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dSinCos_SC(int32_t i, const double* a, double* r1, double* r2);
ORVU_API void orvu_kex_kernel_dSinCos_SC_HA(int32_t i, const double* a, double* r1, double* r2);
ORVU_API void orvu_kex_kernel_dSinCos_SC_LA(int32_t i, const double* a, double* r1, double* r2);
ORVU_API void orvu_kex_kernel_dSinCos_SC_A11(int32_t i, const double* a, double* r1, double* r2);
ORVU_API void orvu_kex_kernel_dTan_SC(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dTan_SC_HA(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dTan_SC_LA(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_dTan_SC_A11(int32_t i, const double* a, double* r);
ORVU_API void orvu_kex_kernel_sSin_SC_HA(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sSin_SC_LA(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sSin_SC_A11(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sCos_SC_HA(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sCos_SC_LA(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sCos_SC_A11(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sSinCos_SC_HA(int32_t i, const float* a, float* r1, float* r2);
ORVU_API void orvu_kex_kernel_sSinCos_SC_LA(int32_t i, const float* a, float* r1, float* r2);
ORVU_API void orvu_kex_kernel_sSinCos_SC_A11(int32_t i, const float* a, float* r1, float* r2);
ORVU_API void orvu_kex_kernel_sTan_SC_HA(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sTan_SC_LA(int32_t i, const float* a, float* r);
ORVU_API void orvu_kex_kernel_sTan_SC_A11(int32_t i, const float* a, float* r);
ORVU_API int32_t orvu_kex_kernel_reduce_pio2d(double x, double* rec);

/* ---- CIS scalar paths ----------------------------------------------------------
 * Element i of a CIS call computed alone: (cos a[i], sin a[i]) for any finite
 * argument, NaN in both components for an infinity or NaN; no reports. The
 * flavour forms compute the same value. */
ORVU_API void orvu_kex_kernel_cCIS_SC_HA(int32_t i, const float* a, OrvuComplex8* r);
ORVU_API void orvu_kex_kernel_cCIS_SC_LA(int32_t i, const float* a, OrvuComplex8* r);
ORVU_API void orvu_kex_kernel_cCIS_SC_A11(int32_t i, const float* a, OrvuComplex8* r);
ORVU_API void orvu_kex_kernel_zCIS_SC(int32_t i, const double* a, OrvuComplex16* r);
ORVU_API void orvu_kex_kernel_zCIS_SC_HA(int32_t i, const double* a, OrvuComplex16* r);
ORVU_API void orvu_kex_kernel_zCIS_SC_LA(int32_t i, const double* a, OrvuComplex16* r);
ORVU_API void orvu_kex_kernel_zCIS_SC_A11(int32_t i, const double* a, OrvuComplex16* r);

/* ---- extended-precision real routines ----------------------------------------
 * Scalar routines in x87 extended precision (64-bit significand) under which
 * the complex scalar routines compute. They expect precision control 0x300
 * (the generic complex kernels set it) and return results to within a few
 * units of the last extended place; no reports, no errno. */
ORVU_API long double orvu_kex_kernel_expl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_logl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_log1pl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_sinl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_cosl_scalar(long double x);
ORVU_API void orvu_kex_kernel_sincosl_scalar(long double x, long double* s, long double* c);
ORVU_API long double orvu_kex_kernel_tanl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_sinhl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_coshl_scalar(long double x);
ORVU_API void orvu_kex_kernel_sinhcoshl_scalar(long double x, long double* sh, long double* ch);
ORVU_API long double orvu_kex_kernel_tanhl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_atanl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_atan2l_scalar(long double y, long double x);
ORVU_API long double orvu_kex_kernel_atanhl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_asinl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_acosl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_asinhl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_acoshl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_sqrtl_scalar(long double x);
ORVU_API long double orvu_kex_kernel_fabsl_scalar(long double x);
/* x = k*pi/4 + (*hi + *lo) with |*hi + *lo| <= pi/4; returns k mod 8. */
ORVU_API int32_t orvu_kex_kernel_reduce_pi04l(long double x, long double* hi, long double* lo);

/* ---- complex scalar routines -------------------------------------------------
 * One complex double argument (two for cpow), the complex double result with
 * the special values of C99 Annex G; computed in extended precision, no
 * reports. The generic complex kernels call them element by element. */
ORVU_API OrvuComplex16 orvu_kex_kernel_cacos_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_cacosh_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_casin_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_casinh_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_catan_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_catanh_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_ccos_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_ccosh_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_csin_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_csinh_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_ctan_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_ctanh_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_cexp_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_clog_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_clog10_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_csqrt_scalar(OrvuComplex16 z);
ORVU_API OrvuComplex16 orvu_kex_kernel_cpow_scalar(OrvuComplex16 z, OrvuComplex16 w);

ORVU_EXTERN_C_END

#endif /* ORVU_KEX_H */
