/* Random streams: the generator registry, stream objects, stream operations,
 * persistence and the congruential / lagged basic generators.
 *
 * A stream is a heap record (16-byte header, generator state from byte 16)
 * that the caller holds by pointer. Every function returns an int32 status:
 * 0 on success, one of the negative codes below on failure. */
#ifndef ORVU_PTZ_RNG_H
#define ORVU_PTZ_RNG_H

#include "orvu_base.h"

ORVU_EXTERN_C_BEGIN

/* ---- status codes of the random-stream family --------------------------- */
enum {
    PTZ_OK = 0,
    PTZ_ERROR_BAD_METHOD = -2,           /* initStream: method other than 0, 1, 2 */
    PTZ_ERROR_BAD_ARGUMENT = -3,         /* null buffer/callback, zero or negative size, empty
                                            interval, a count whose elements cannot fit in memory */
    PTZ_ERROR_MEM_FAILURE = -4,          /* allocation failed, or a size that cannot be represented
                                            (also: registry full) */
    PTZ_ERROR_NULL_PTR = -5,             /* required function pointer / buffer is null */
    PTZ_ERROR_INVALID_BRNG = -1000,
    PTZ_ERROR_LEAPFROG_UNSUPPORTED = -1002,
    PTZ_ERROR_SKIPAHEAD_UNSUPPORTED = -1003,
    PTZ_ERROR_BAD_STATE_SIZE = -1008,
    PTZ_ERROR_BAD_WORD_SIZE = -1009,
    PTZ_ERROR_BAD_NSEEDS = -1010,
    PTZ_ERROR_BAD_NBITS = -1011,
    PTZ_ERROR_QRNG_PERIOD_ELAPSED = -1012,
    PTZ_ERROR_LEAPFROG_NSTREAMS_NEGATIVE = -1013,
    PTZ_ERROR_BITS_UNSUPPORTED = -1014,
    PTZ_ERROR_FILE_CLOSE = -1100,
    PTZ_ERROR_FILE_OPEN = -1101,
    PTZ_ERROR_FILE_WRITE = -1102,
    PTZ_ERROR_FILE_READ = -1103,
    PTZ_ERROR_BAD_FILE_FORMAT = -1110,
    PTZ_ERROR_UNSUPPORTED_FILE_VER = -1111,
    PTZ_ERROR_ABSTRACT_BAD_COUNT = -1120,
    PTZ_ERROR_ABSTRACT_NO_NUMBERS = -1121,
    PTZ_ERROR_ABSTRACT_WRONG_TYPE = -1122,
    PTZ_ERROR_NONDETERM_NOT_SUPPORTED = -1130,
    PTZ_ERROR_NONDETERM_NRETRIES_EXCEEDED = -1131,
    PTZ_ERROR_ARS5_NOT_SUPPORTED = -1140,
    PTZ_ERROR_BAD_MEM_FORMAT = -1200,
    PTZ_ERROR_RO_ENTRY_NOT_FOUND = -3000,
    PTZ_ERROR_RO_TABLE_FULL = -3001
};

/* ---- generator identifiers ------------------------------------------------ */
enum {
    PTZ_BRNG_MCG31 = 0x100000,
    PTZ_BRNG_R250 = 0x200000,
    PTZ_BRNG_MRG32K3A = 0x300000,
    PTZ_BRNG_MCG59 = 0x400000,
    PTZ_BRNG_WH = 0x500000, /* + set number 0..272 */
    PTZ_BRNG_SOBOL = 0x600000,
    PTZ_BRNG_NIEDERR = 0x700000,
    PTZ_BRNG_MT19937 = 0x800000,
    PTZ_BRNG_MT2203 = 0x900000,
    PTZ_BRNG_IABSTRACT = 0xA00000,
    PTZ_BRNG_DABSTRACT = 0xB00000,
    PTZ_BRNG_SABSTRACT = 0xC00000,
    PTZ_BRNG_SFMT19937 = 0xD00000,
    PTZ_BRNG_NONDETERM = 0xE00000,
    PTZ_BRNG_ARS5 = 0xF00000,
    PTZ_BRNG_PHILOX4X32X10 = 0x1000000
};

/* ---- stream record and generator properties ------------------------------- */
typedef struct RngStream RngStream;   /* layout: see the stream operations' docs */
typedef struct StreamChunk StreamChunk;

/* initStream(method, stream, n, params): method 0 seeds from n uint32 words at
 * params, 1 leapfrogs (n = stream count, params -> int32 index), 2 skips ahead
 * (n = 2, params -> 64-bit count, low word first).
 * The output functions of the built-in generators return 0, or -3 when n
 * results of their type could not fit in the address space (possible on
 * 32-bit targets only); nothing is written then. */
typedef int32_t (*PtzInitStreamFn)(int32_t method, RngStream* stream, int32_t n, const void* params);
typedef int32_t (*PtzSBRngFn)(RngStream* stream, int32_t n, float* r, float a, float b);
typedef int32_t (*PtzDBRngFn)(RngStream* stream, int32_t n, double* r, double a, double b);
typedef int32_t (*PtzIBRngFn)(RngStream* stream, int32_t n, void* r);

typedef struct BrngProperties {
    int32_t stateSize;    /* bytes of the whole stream record, header included */
    int32_t seedWords;    /* wordSize-byte words of copyable state */
    int32_t includesZero; /* 1 when an output may equal the lower bound */
    int32_t wordSize;     /* bytes of one iBRng output word: 4, 8 or 16 */
    int32_t nBits;        /* significant bits of one output word */
    PtzInitStreamFn initStream;
    PtzSBRngFn sBRng;
    PtzDBRngFn dBRng;
    PtzIBRngFn iBRng;
} BrngProperties;

/* ---- registry -------------------------------------------------------------- */
ORVU_API extern BrngProperties __RegBrngsNew[512];
ORVU_API extern BrngProperties __RegBrngs[512];   /* legacy numbering, ids 0..278 */
ORVU_API extern int32_t NumOffsets[512];
ORVU_API extern int32_t NRegBrngsNew;

ORVU_API BrngProperties* __ptzGetBrngBaseOffset(int32_t id, int32_t* row, int32_t* sub);
ORVU_API int32_t __ptzIsBrngValid(const BrngProperties* table, int32_t row, int32_t sub);
ORVU_API int32_t __ptzGetBrngProperties(int32_t id, BrngProperties* out);
ORVU_API int32_t __ptzRegisterBrng(const BrngProperties* props);
ORVU_API int32_t __ptzGetNumRegBrngs(void);
ORVU_API int32_t __ptzGetStreamStateBrng(const RngStream* stream);

/* ---- stream life cycle ----------------------------------------------------- */
ORVU_API int32_t __ptzNewStreamEx(RngStream** stream, int32_t id, int32_t n, const uint32_t* params);
ORVU_API int32_t __ptzAllocateStream(RngStream** stream, const BrngProperties* table, int32_t id,
                                     int32_t row, int32_t sub);
ORVU_API int32_t __ptzDeleteStream(RngStream** stream);
/* Bytes of the stream's image; -4 when that exceeds INT32_MAX. */
ORVU_API int32_t __ptzGetStreamSize(const RngStream* stream);

/* ---- uniform bits ---------------------------------------------------------- */
ORVU_API int32_t _ptziRngUniformBits(int32_t method, RngStream* stream, int32_t n, void* r);
ORVU_API int32_t _ptziRngUniformBits32(int32_t method, RngStream* stream, int32_t n, uint32_t* r);
ORVU_API int32_t _ptziRngUniformBits64(int32_t method, RngStream* stream, int32_t n, uint64_t* r);

/* ---- stream operations -----------------------------------------------------
 * Every operation that creates a stream (creation, copy, abstract creation,
 * loading) leaves the caller's handle null when it fails for lack of memory. */
ORVU_API int32_t __ptzCopyStream(RngStream** dst, const RngStream* src);
ORVU_API int32_t __ptzCopyStreamState(RngStream* dst, const RngStream* src);
ORVU_API int32_t __ptzLeapfrogStream(RngStream* stream, int32_t k, int32_t nstreams);
ORVU_API int32_t __ptzSkipAheadStream(RngStream* stream, int64_t nskip);

/* Abstract streams: callback(stream, &N, buffer, &nmin, &nmax, &idx) writes new
 * numbers into buffer from position idx (wrapping after N - 1) and returns how
 * many it wrote. */
typedef int32_t (*PtziAbstractCallback)(RngStream* stream, int32_t* n, uint32_t* buffer, int32_t* nmin,
                                        int32_t* nmax, int32_t* idx);
typedef int32_t (*PtzdAbstractCallback)(RngStream* stream, int32_t* n, double* buffer, int32_t* nmin,
                                        int32_t* nmax, int32_t* idx);
typedef int32_t (*PtzsAbstractCallback)(RngStream* stream, int32_t* n, float* buffer, int32_t* nmin,
                                        int32_t* nmax, int32_t* idx);
ORVU_API int32_t __ptziNewAbstractStream(RngStream** stream, int32_t n, uint32_t* buffer,
                                         PtziAbstractCallback callback);
ORVU_API int32_t __ptzdNewAbstractStream(RngStream** stream, int32_t n, double* buffer, double a, double b,
                                         PtzdAbstractCallback callback);
ORVU_API int32_t __ptzsNewAbstractStream(RngStream** stream, int32_t n, float* buffer, float a, float b,
                                         PtzsAbstractCallback callback);

/* ---- per-stream chunks and the shared read-only table ------------------------
 * __ptzAddChunk refuses a negative size with -3. */
typedef struct GlobRODataEntry GlobRODataEntry;
ORVU_API int32_t __ptzAddChunk(RngStream* stream, int32_t id, const void* key, void* data, int32_t size);
ORVU_API void* __ptzSearchChunk(const RngStream* stream, int32_t id);
ORVU_API int32_t __ptzGetNumChunks(const RngStream* stream);
ORVU_API void __ptzDeleteChunks(RngStream* stream);
ORVU_API void __ptzDeleteChunksById(RngStream* stream, int32_t id);
ORVU_API int32_t __ptzCopyChunks(RngStream* dst, const RngStream* src);
ORVU_API int32_t __ptzGenerateNewGlobalRODataTableEntryId(void* key, int32_t discriminator);
ORVU_API int32_t __ptzFindGlobRODataTableEntry(GlobRODataEntry** entry, const void* key);
ORVU_API int32_t __ptzCreateGlobRODataTableEntry(GlobRODataEntry** entry, const void* key, void* data);
ORVU_API void __ptzRegisterGlobRODataReference(StreamChunk* chunk, const void* key);
ORVU_API void __ptzUnregisterGlobRODataReference(const void* key);

/* ---- persistence -------------------------------------------------------------
 * A name length of 0 or more uses that many bytes of name; a negative length
 * takes name as a zero-terminated string. The memory loader reads as many bytes
 * as the image declares; __ptzLoadStreamMBounded never reads past `size` bytes
 * and is the form to use for images from untrusted sources.
 * No loader accepts an image of an abstract stream (0xA00000, 0xB00000,
 * 0xC00000): their state is the saving process's buffer and callback
 * addresses, which an image could point anywhere. Such images are refused as
 * not being stream images (-1110 from a file, -1200 from memory); saving them
 * still works. Images of registered generators are loaded as written: their
 * functions must accept any state bytes. */
ORVU_API int32_t __ptzSaveStreamF(const RngStream* stream, const char* name, int32_t name_length);
ORVU_API int32_t __ptzLoadStreamF(RngStream** stream, const char* name, int32_t name_length);
ORVU_API int32_t __ptzSaveStreamM(const RngStream* stream, void* memory);
ORVU_API int32_t __ptzLoadStreamM(RngStream** stream, const void* memory);
ORVU_API int32_t __ptzLoadStreamMBounded(RngStream** stream, const void* memory, uint32_t size);

/* ---- modular powers used by leapfrog and skip-ahead ------------------------- */
ORVU_API uint32_t __ptziPowMod(uint32_t base, uint64_t exponent, uint32_t modulus);
ORVU_API uint32_t __ptziPowMod2P31M1(uint32_t base, uint64_t exponent);
ORVU_API uint64_t __ptziPowMod2P59(uint64_t base, uint64_t exponent);
ORVU_API void __ptziVect3PowMod(uint32_t* v, const uint32_t* row, uint32_t modulus, uint64_t exponent);

/* ---- basic generators (rows 0 to 4 and the abstract rows 9 to 11) ------------ */
#define PTZ_DECLARE_BRNG(NAME)                                                                       \
    ORVU_API int32_t __ptzBRng##NAME##InitStream(int32_t method, RngStream* stream, int32_t n,        \
                                                 const void* params);                                \
    ORVU_API int32_t __ptzsBRng##NAME(RngStream* stream, int32_t n, float* r, float a, float b);     \
    ORVU_API int32_t __ptzdBRng##NAME(RngStream* stream, int32_t n, double* r, double a, double b);  \
    ORVU_API int32_t __ptziBRng##NAME(RngStream* stream, int32_t n, void* r);
PTZ_DECLARE_BRNG(MCG31M1)
PTZ_DECLARE_BRNG(R250)
PTZ_DECLARE_BRNG(MRG32K3A)
PTZ_DECLARE_BRNG(MCG59)
PTZ_DECLARE_BRNG(WH)
PTZ_DECLARE_BRNG(iAbstract)
PTZ_DECLARE_BRNG(dAbstract)
PTZ_DECLARE_BRNG(sAbstract)

/* ---- counter-based and hardware generators (rows 13 to 15) -----------------
 * ARS5 needs the processor's AES rounds (-1140 from its outputs and
 * skip-ahead otherwise), NONDETERM (functions TRNG) the hardware random
 * instruction (-1130 otherwise; -1131 when it keeps failing past the retry
 * limit). The feature tests read CPUID leaf 1; the __ptz forms also treat a
 * feature that the platform object withholds as absent. */
PTZ_DECLARE_BRNG(TRNG)
PTZ_DECLARE_BRNG(ARS5)
PTZ_DECLARE_BRNG(PHILOX4X32X10)
ORVU_API int32_t __ptzCPUisAES(void);
ORVU_API int32_t __ptzCPUisRDRAND(void);
ORVU_API int32_t __CPUisAES(void);
ORVU_API int32_t __CPUisSSE2(void);

/* WH parameter sets: multipliers, moduli and reciprocals of the moduli. */
ORVU_API extern const uint8_t _ptz_WH_A[273][4];
ORVU_API extern const uint32_t _ptz_WH_M[273][4];
ORVU_API extern const double _ptzdWH_IM_Tab[273][4];

/* ---- twister generators (rows 7, 8, 12) ------------------------------------
 * Characteristic polynomials of the MT19937 and SFMT19937 transitions used by
 * their skip-ahead, as ascending lists of the exponents of their terms. */
PTZ_DECLARE_BRNG(MT19937)
PTZ_DECLARE_BRNG(SFMT19937)
ORVU_API extern const int32_t _ptz_mt19937_poly[135];
ORVU_API extern const int32_t _ptz_sfmt19937_poly[6711];


/* ---- continuous distributions ----------------------------------------------
 * _ptz[sd]Rng<Dist>(method, stream, n, r, parameters...) fills r[0..n-1] with
 * variates drawn from the stream and returns 0, or the first negative status
 * of a uniform draw or an allocation (-4). The generators check nothing: the
 * caller validates n, the parameters (positive scales and shapes, a < b,
 * a usable factor matrix) and the method before calling. The calling
 * thread's vector-math mode and error callback are set back before return
 * (through the mode setter, so a denormal field that was unset ends up as
 * 0x140000, "denormals kept", which is what unset means).
 * Box-Muller2 and Gamma with shape above 1 keep a half-used pair or candidate
 * in a chunk of the stream (ids 1, 2, 7, 8), which copies and images carry. */
enum {
    PTZ_RNG_METHOD_ACCURATE = 0x40000000,       /* Uniform: results clamped into [a, b] */
    PTZ_RNG_METHOD_UNIFORM_STD = 0,
    PTZ_RNG_METHOD_UNIFORM_STD_ACCURATE = 0x40000000,
    PTZ_RNG_METHOD_GAUSSIAN_BOXMULLER = 0,      /* one variate per uniform pair */
    PTZ_RNG_METHOD_GAUSSIAN_BOXMULLER2 = 1,     /* both variates of each pair */
    PTZ_RNG_METHOD_GAUSSIAN_ICDF = 2,
    PTZ_RNG_METHOD_EXPONENTIAL_ICDF = 0,
    PTZ_RNG_METHOD_LAPLACE_ICDF = 0,
    PTZ_RNG_METHOD_WEIBULL_ICDF = 0,
    PTZ_RNG_METHOD_CAUCHY_ICDF = 0,
    PTZ_RNG_METHOD_RAYLEIGH_ICDF = 0,
    PTZ_RNG_METHOD_LOGNORMAL_BOXMULLER2 = 0,    /* any other value: inverse CDF */
    PTZ_RNG_METHOD_LOGNORMAL_ICDF = 1,
    PTZ_RNG_METHOD_GUMBEL_ICDF = 0,
    PTZ_RNG_METHOD_GAMMA_GNORM = 0,
    /* GaussianMV, storage of the factor T (vectors r = mean + T'z resp. T z) */
    PTZ_MATRIX_STORAGE_FULL = 0,                /* dimen x dimen column-major, upper triangle read */
    PTZ_MATRIX_STORAGE_PACKED = 1,              /* lower triangle packed column by column */
    PTZ_MATRIX_STORAGE_DIAGONAL = 2             /* the dimen diagonal values */
};

ORVU_API int32_t _ptzdRngUniform(int32_t method, RngStream* stream, int32_t n, double* r, double a, double b);
ORVU_API int32_t _ptzsRngUniform(int32_t method, RngStream* stream, int32_t n, float* r, float a, float b);
/* A Gaussian method outside 0..2 selects nothing and returns -2. */
ORVU_API int32_t _ptzdRngGaussian(int32_t method, RngStream* stream, int32_t n, double* r, double a,
                                  double sigma);
ORVU_API int32_t _ptzsRngGaussian(int32_t method, RngStream* stream, int32_t n, float* r, float a, float sigma);
/* n vectors of dimen values, vector k at r[k*dimen]; the method is a Gaussian
 * method; -3 when n*dimen exceeds INT32_MAX. */
ORVU_API int32_t _ptzdRngGaussianMV(int32_t method, RngStream* stream, int32_t n, double* r, int32_t dimen,
                                    int32_t mstorage, const double* mean, const double* t);
ORVU_API int32_t _ptzsRngGaussianMV(int32_t method, RngStream* stream, int32_t n, float* r, int32_t dimen,
                                    int32_t mstorage, const float* mean, const float* t);
ORVU_API int32_t _ptzdRngExponential(int32_t method, RngStream* stream, int32_t n, double* r, double a,
                                     double beta);
ORVU_API int32_t _ptzsRngExponential(int32_t method, RngStream* stream, int32_t n, float* r, float a,
                                     float beta);
ORVU_API int32_t _ptzdRngLaplace(int32_t method, RngStream* stream, int32_t n, double* r, double a, double beta);
ORVU_API int32_t _ptzsRngLaplace(int32_t method, RngStream* stream, int32_t n, float* r, float a, float beta);
ORVU_API int32_t _ptzdRngWeibull(int32_t method, RngStream* stream, int32_t n, double* r, double alpha,
                                 double a, double beta);
ORVU_API int32_t _ptzsRngWeibull(int32_t method, RngStream* stream, int32_t n, float* r, float alpha, float a,
                                 float beta);
ORVU_API int32_t _ptzdRngCauchy(int32_t method, RngStream* stream, int32_t n, double* r, double a, double beta);
ORVU_API int32_t _ptzsRngCauchy(int32_t method, RngStream* stream, int32_t n, float* r, float a, float beta);
ORVU_API int32_t _ptzdRngRayleigh(int32_t method, RngStream* stream, int32_t n, double* r, double a,
                                  double beta);
ORVU_API int32_t _ptzsRngRayleigh(int32_t method, RngStream* stream, int32_t n, float* r, float a, float beta);
/* sigma is that of the underlying normal, b the displacement, beta the scale. */
ORVU_API int32_t _ptzdRngLognormal(int32_t method, RngStream* stream, int32_t n, double* r, double a,
                                   double sigma, double b, double beta);
ORVU_API int32_t _ptzsRngLognormal(int32_t method, RngStream* stream, int32_t n, float* r, float a, float sigma,
                                   float b, float beta);
ORVU_API int32_t _ptzdRngGumbel(int32_t method, RngStream* stream, int32_t n, double* r, double a, double beta);
ORVU_API int32_t _ptzsRngGumbel(int32_t method, RngStream* stream, int32_t n, float* r, float a, float beta);
ORVU_API int32_t _ptzdRngGamma(int32_t method, RngStream* stream, int32_t n, double* r, double alpha, double a,
                               double beta);
ORVU_API int32_t _ptzsRngGamma(int32_t method, RngStream* stream, int32_t n, float* r, float alpha, float a,
                               float beta);
/* Shapes p, q; results in [a, a + beta]. One method (pass 0): the shapes pick the algorithm. */
ORVU_API int32_t _ptzdRngBeta(int32_t method, RngStream* stream, int32_t n, double* r, double p, double q,
                              double a, double beta);
ORVU_API int32_t _ptzsRngBeta(int32_t method, RngStream* stream, int32_t n, float* r, float p, float q, float a,
                              float beta);

/* ---- discrete distributions ------------------------------------------------
 * _ptziRng<Dist>(method, stream, n, r, parameters...) fills the int32 array
 * r[0..n-1] with variates drawn from the stream and returns 0, or the first
 * negative status of a uniform draw, -4 when a set-up cache cannot be
 * allocated, or the negative status of attaching it. The generators check
 * nothing: the caller validates n, the method and the parameters
 * (a < b; 0 <= p <= 1; ntrial >= 0; 0 <= s, m <= l; lambda > 0; a > 0 and
 * 0 < p <= 1 for Negbinomial). Binomial, Hypergeometric, Poisson (method 0)
 * and Negbinomial cache their set-up in a chunk of the stream (ids 5, 6, 3
 * and 4), keyed by the parameters and rebuilt when they change; results never
 * depend on whether the cache was hit. */
enum {
    PTZ_RNG_METHOD_POISSON_PTPE = 0,            /* table below lambda 27, PTPE from 27 on */
    PTZ_RNG_METHOD_POISSON_POISNORM = 1         /* normal approximation from lambda 100 on */
};
ORVU_API int32_t _ptziRngUniform(int32_t method, RngStream* stream, int32_t n, int32_t* r, int32_t a, int32_t b);
ORVU_API int32_t _ptziRngBernoulli(int32_t method, RngStream* stream, int32_t n, int32_t* r, double p);
ORVU_API int32_t _ptziRngGeometric(int32_t method, RngStream* stream, int32_t n, int32_t* r, double p);
ORVU_API int32_t _ptziRngBinomial(int32_t method, RngStream* stream, int32_t n, int32_t* r, int32_t ntrial,
                                  double p);
/* l population, s sample size, m marked elements: r counts marked elements in the sample. */
ORVU_API int32_t _ptziRngHypergeometric(int32_t method, RngStream* stream, int32_t n, int32_t* r, int32_t l,
                                        int32_t s, int32_t m);
ORVU_API int32_t _ptziRngPoisson(int32_t method, RngStream* stream, int32_t n, int32_t* r, double lambda);
/* One mean per result: lambda[0..n-1]. */
ORVU_API int32_t _ptziRngPoissonV(int32_t method, RngStream* stream, int32_t n, int32_t* r, const double* lambda);
ORVU_API int32_t _ptziRngNegbinomial(int32_t method, RngStream* stream, int32_t n, int32_t* r, double a, double p);

ORVU_EXTERN_C_END

#endif /* ORVU_PTZ_RNG_H */
