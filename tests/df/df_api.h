// Precision-generic access to the data-fitting entry points for the tests.
#ifndef ORVU_TESTS_DF_API_H
#define ORVU_TESTS_DF_API_H

#include <gtest/gtest.h>
#include <cstdint>
#include <vector>

#include "orvu_df.h"
#include "orvu_serv.h"

template <class T>
struct Df;
#define DF_API_TRAITS(t, T)                                                                                  \
    template <>                                                                                              \
    struct Df<T> {                                                                                           \
        using InterpCb = orvu_df_##t##interp_cb;                                                             \
        using IntegrCb = orvu_df_##t##integr_cb;                                                             \
        using SearchCb = orvu_df_##t##search_cb;                                                             \
        static constexpr auto NewTask = orvu_df_kernel_##t##NewTask1D;                                        \
        static constexpr auto EditPtr = orvu_df_kernel_##t##EditPtr;                                          \
        static constexpr auto EditIdxPtr = orvu_df_kernel_##t##EditIdxPtr;                                    \
        static constexpr auto EditPP = orvu_df_kernel_##t##EditPPSpline1D;                                    \
        static constexpr auto QueryPtr = orvu_df_kernel_##t##QueryPtr;                                        \
        static constexpr auto QueryIdxPtr = orvu_df_kernel_##t##QueryIdxPtr;                                  \
        static constexpr auto Linear = orvu_df_kernel_##t##DFLinearSpline1D;                                  \
        static constexpr auto Quadratic = orvu_df_kernel_##t##DFQuadraticSpline1D;                            \
        static constexpr auto Natural = orvu_df_kernel_##t##DFNaturalCubicSpline1D;                           \
        static constexpr auto Default = orvu_df_kernel_##t##DFDefaultCubicSpline1D;                           \
        static constexpr auto Akima = orvu_df_kernel_##t##DFAkimaCubicSpline1D;                               \
        static constexpr auto Bessel = orvu_df_kernel_##t##DFBesselCubicSpline1D;                             \
        static constexpr auto Hermite = orvu_df_kernel_##t##DFHermiteCubicSpline1D;                           \
        static constexpr auto Search = orvu_df_kernel_##t##DFSearch1D;                                        \
        static constexpr auto Interp = orvu_df_kernel_##t##DFInterpolate1D;                                   \
        static constexpr auto Integr = orvu_df_kernel_##t##DFIntegrate1D;                                     \
    };
DF_API_TRAITS(s, float)
DF_API_TRAITS(d, double)
#undef DF_API_TRAITS
using DfTypes = ::testing::Types<float, double>;

// Interpolation of sites given one by one, without data hint or search
// callback; evaluation callbacks for the left and right groups as given.
template <class T>
int32_t interp(OrvuDFTaskPtr task, int64_t type, int64_t n, const T* s, int64_t nd, const void* dorder, T* r,
               int64_t rhint, void* cell = nullptr, const OrvuThreadingTable* thr = nullptr,
               typename Df<T>::InterpCb le = nullptr, void* lp = nullptr, typename Df<T>::InterpCb re = nullptr) {
    return Df<T>::Interp(task, type, 0, n, s, 0, nd, dorder, nullptr, r, rhint, cell, le, lp, re, nullptr, nullptr,
                         nullptr, nullptr, nullptr, thr);
}

// Integration over limits given one by one, without search callback; a left
// callback and a right data hint as given.
template <class T>
int32_t integr(OrvuDFTaskPtr task, int64_t n, const T* a, const T* b, T* r, int64_t rhint = 0,
               const OrvuThreadingTable* thr = nullptr, typename Df<T>::IntegrCb le = nullptr,
               const T* rdh = nullptr) {
    return Df<T>::Integr(task, 0, n, a, 0, b, 0, nullptr, rdh, r, rhint, le, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, thr);
}

// Number of nodes not greater than t: the cell of t, written the plain way.
template <class T>
int32_t reference_cell(const std::vector<T>& x, T t) {
    int32_t c = 0;
    for (T v : x) c += v <= t;
    return c;
}

// A table that claims four threads whatever the machine has; entry 0 runs on
// the platform's pool and counts its calls.
struct FourThreads {
    static inline int calls = 0;
    static void parallel_for(int32_t count, int32_t threads, void* ctx, orvu_thr_loop_body body) {
        __atomic_add_fetch(&calls, 1, __ATOMIC_RELAXED);
        orvu_serv_threading_table()->parallel_for(count, threads, ctx, body);
    }
    static int32_t max_threads() { return 4; }
    static const OrvuThreadingTable* table() {
        static const OrvuThreadingTable t = {parallel_for, nullptr, nullptr, nullptr, max_threads};
        return &t;
    }
};

#endif
