/* Service layer, threading layer and linear algebra of the platform object
 * (liborvu_serv_c5h1.so). The numerical library calls only what is declared
 * here; any implementation with these shapes serves it. */
#ifndef ORVU_SERV_H
#define ORVU_SERV_H

#include "orvu_base.h"

ORVU_EXTERN_C_BEGIN

/* ---- memory, environment, printing ------------------------------------ */

/* Block of at least `size` bytes aligned to `alignment` (a power of two);
 * null when memory is exhausted or a test asked this allocation to fail. */
ORVU_API void* orvu_serv_allocate(uint32_t size, int32_t alignment);
ORVU_API void orvu_serv_deallocate(void* p);

/* Copies the value of `name` (NUL-terminated) into buf and returns the number
 * of characters stored; a result below 1 means "not set". */
ORVU_API int32_t orvu_serv_getenv(const char* name, char* buf, int32_t buf_size);

/* Copies `count` bytes; returns 0, or a non-zero value when count > dst_size
 * or a pointer is null (nothing is copied then). */
ORVU_API int32_t orvu_serv_memcpy_s(void* dst, size_t dst_size, const void* src, size_t count);

/* Prints catalogued message `msg` (735..753) to stderr. Arguments by message:
 *   735: (const char* name, int index)      736..741: (const char* name)
 *   742..753: (int index, double value)
 * Returns the number of characters written, or a negative value for an
 * unknown message number. */
ORVU_API int32_t orvu_serv_print(int32_t flag, int32_t msg, int32_t argc, ...);

/* Address of a threading-layer function by name, null for an unknown name.
 * Known names: "orvu_ptz_serv_threader_get_num_threads_limit",
 *              "orvu_ptz_serv_threader_for". */
ORVU_API void* orvu_serv_load_thread_fun(const char* name);

/* ---- processor features --------------------------------------------------
 * Bits of CPUID leaf 1 ECX that the library must treat as absent even when
 * the processor reports them (0 unless a test withheld some). */
ORVU_API uint32_t orvu_serv_cpu_features_withheld(void);
/* 1 when the current attempt of the hardware random instruction is to be
 * taken as failed (it consumes one failure a test asked for), else 0. */
ORVU_API int32_t orvu_serv_hw_random_forced_failure(void);

/* ---- threading layer ---------------------------------------------------- */

/* Per-iteration function of orvu_ptz_serv_threader_for:
 * (index, two words the layer passes (thread index, thread count), context). */
typedef void (*orvu_thr_for_body)(int32_t index, int32_t w1, int32_t w2, void* ctx);
ORVU_API int32_t orvu_ptz_serv_threader_get_num_threads_limit(void);
ORVU_API void orvu_ptz_serv_threader_for(int32_t count, int32_t zero, void* ctx, orvu_thr_for_body fn);

/* The threading table that statistics and data-fitting compute routines take
 * as their last argument: five function-pointer entries, of which 0, 2 and 4
 * are used; entries 1 and 3 are reserved and may be null. */
typedef void (*orvu_thr_loop_body)(int32_t index, int32_t thread_index, int32_t thread_count, void* ctx);
typedef void (*orvu_thr_team_body)(int32_t thread_index, int32_t thread_count, void* ctx);
typedef struct OrvuThreadingTable {
    /* 0: run body(i, thread, nthreads, ctx) for i in [0, count) on up to `threads` threads */
    void (*parallel_for)(int32_t count, int32_t threads, void* ctx, orvu_thr_loop_body body);
    void (*reserved1)(void);
    /* 2: run body(thread, nthreads, ctx) once on each of `threads` threads */
    void (*parallel_team)(int32_t threads, void* ctx, orvu_thr_team_body body);
    void (*reserved3)(void);
    /* 4: largest number of threads that may be used, at least 1 */
    int32_t (*max_threads)(void);
} OrvuThreadingTable;

/* The default table, backed by the layer's own thread pool. Its thread count
 * is read once from the environment variable ORVU_NUM_THREADS (default: the
 * number of online processors; values below 1 count as 1). */
ORVU_API const OrvuThreadingTable* orvu_serv_threading_table(void);

/* ---- test support --------------------------------------------------------
 * Not used by the library itself. Lets tests reach every memory-failure
 * status and observe what the standard error handler prints. */

/* The n-th call of orvu_serv_allocate from now on (n >= 1, counted across all
 * threads) returns null; n = 0 cancels a pending failure. */
ORVU_API void orvu_serv_test_fail_allocation(int32_t n);
/* Number of successful allocations minus deallocations since load (leak check). */
ORVU_API int32_t orvu_serv_test_live_allocations(void);

/* The ECX bits given (CPUID leaf 1; bit 25 AES, bit 30 hardware random) count
 * as absent from now on; 0 restores the processor's own report. */
ORVU_API void orvu_serv_test_withhold_cpu_features(uint32_t ecx_bits);
/* The next n attempts of the hardware random instruction (across all threads)
 * count as failed; n = 0 cancels what is pending. */
ORVU_API void orvu_serv_test_fail_hw_random(int32_t n);

typedef struct OrvuPrintRecord {
    int32_t msg;       /* message number */
    int32_t argc;      /* argument count as passed */
    char name[64];     /* the name argument (735..741), NUL-terminated */
    int32_t index;     /* the index argument (735, 742..753) */
    double value;      /* the value argument (742..753) */
} OrvuPrintRecord;
typedef void (*orvu_print_sink)(const OrvuPrintRecord* rec, void* user);
/* While a sink is installed, orvu_serv_print hands each message to it instead
 * of writing to stderr. Null restores printing. Process-wide. */
ORVU_API void orvu_serv_test_capture_print(orvu_print_sink sink, void* user);

ORVU_EXTERN_C_END

#endif /* ORVU_SERV_H */
