// The one kernel skeleton. Every vector kernel is a policy handed to
// run_kernel: blocks of `unroll` vectors, a lane mask of special lanes, the
// special-value path in increasing lane order with reporting and reload, the
// tail one element at a time through the same code, and the environment
// set-up and restore around it all.
//
// At the wide levels a block holds unroll wide vectors, but the block of the
// 128-bit types (unroll * Narrow<T>::lanes elements) stays the unit of every
// decision about special lanes: a wide block is settled as the 128-bit blocks
// it is made of, and the elements after the last wide block run as 128-bit
// blocks, then one at a time. A wide kernel thus gives the results, statuses
// and reports of its 128-bit counterpart, in the same order, and a reporter
// sees the same contents of the result arrays.
//
// A policy Op provides:
//   using T = element type; static constexpr int kArgs, kResults (1 or 2);
//   static constexpr int unroll;  static constexpr Env kEnv;  uint32_t kRounding;
//   template <class V> typename V::mask fast(const V (&x)[kArgs], V (&y)[kResults]) const
//       -- results of every lane, and the mask of lanes that need the slow path
//          (return an all-false mask when there is none: kHasSpecial = false);
//   int rare(const T* x, T* y) const  -- IEEE result of one special element
//       (x[k] argument k, y[k] result k) and its status, 0 for "no report";
//   kWholeBlock -- when true, a block with any special lane goes through
//       rare() lane by lane (rare() then serves ordinary lanes as well);
//   kBlockRoutine -- with kWholeBlock, for a function that never reports:
//       such a block goes through rare_block(const T* x, T* y), which computes
//       kBlockRoutine consecutive elements at once (the tail still uses rare()).
//   kRecomputeSpecial (optional) -- a block with special lanes is loaded and
//       computed again out of line (settle_reloaded) rather than handed over.
// Shapes whose policy carries per-call values (LinearFrac's coefficients)
// pass a policy object; run_linearfrac shows the pattern.
//
// Complex arrays: T is the component type, and bit k of kComplexArgs
// (kComplexResults) marks argument (result) array k as complex. A complex array
// takes two consecutive slots of x[] (y[]): the vector of real parts and the
// vector of imaginary parts of V::lanes elements, so a complex policy is
// written lane-wise like a real one. rare() sees the slots of one element.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

#include "kex/kernels/fpenv.h"
#include "kex/simd/simd.h"

namespace kex {
namespace KEX_LVL {

// The policy of the kernel of a function and flavour for an element type:
// each family header specialises OpFor<fn_X, acc_Y, T> with `using type = ...`.
template <class Fn, class Acc, class T> struct OpFor;

// The accuracy flavour as a value, for policies written once for all three.
enum class Flavour { HA, LA, EP };

// Reporter of an element type.
inline void report_error(int32_t st, int32_t i, const float* a1, const float* a2, float* r1, float* r2,
                         const char* name) {
    orvu_kex_kernel_sError(st, i, a1, a2, r1, r2, name);
}
inline void report_error(int32_t st, int32_t i, const double* a1, const double* a2, double* r1, double* r2,
                         const char* name) {
    orvu_kex_kernel_dError(st, i, a1, a2, r1, r2, name);
}

template <class Op>
struct Arrays {
    using T = typename Op::T;
    const T* in[Op::kArgs];
    T* out[Op::kResults];
};

// Which arrays are complex, and the slots they take.
template <class Op> constexpr uint32_t complex_args() {
    if constexpr (requires { Op::kComplexArgs; }) return Op::kComplexArgs;
    else return 0;
}
template <class Op> constexpr uint32_t complex_results() {
    if constexpr (requires { Op::kComplexResults; }) return Op::kComplexResults;
    else return 0;
}
template <class Op> constexpr int kInSlots = Op::kArgs + std::popcount(complex_args<Op>());
template <class Op> constexpr int kOutSlots = Op::kResults + std::popcount(complex_results<Op>());

// The argument slots of elements i.. (V::lanes of them) and the result slots back.
template <class Op, class V>
[[gnu::always_inline]] inline void load_slots(const Arrays<Op>& io, int32_t i, V* x) {
    int s = 0;
    for (int k = 0; k < Op::kArgs; ++k) {
        if (complex_args<Op>() >> k & 1) {
            const auto* p = io.in[k] + 2 * i;
            deinterleave(V::load(p), V::load(p + V::lanes), x[s], x[s + 1]);
            s += 2;
        } else {
            x[s++] = V::load(io.in[k] + i);
        }
    }
}
template <class Op, class V>
[[gnu::always_inline]] inline void store_slots(const Arrays<Op>& io, int32_t i, const V* y) {
    int s = 0;
    for (int k = 0; k < Op::kResults; ++k) {
        if (complex_results<Op>() >> k & 1) {
            V lo, hi;
            interleave(y[s], y[s + 1], lo, hi);
            lo.store(io.out[k] + 2 * i), hi.store(io.out[k] + 2 * i + V::lanes);
            s += 2;
        } else {
            y[s++].store(io.out[k] + i);
        }
    }
}
// The results of element e from / into its result slots (ye[slot]).
template <class Op>
void put_element(const Arrays<Op>& io, int32_t e, const typename Op::T* ye) {
    for (int k = 0, s = 0; k < Op::kResults; ++k) {
        if (complex_results<Op>() >> k & 1) io.out[k][2 * e] = ye[s], io.out[k][2 * e + 1] = ye[s + 1], s += 2;
        else io.out[k][e] = ye[s++];
    }
}
template <class Op>
void get_element(const Arrays<Op>& io, int32_t e, typename Op::T* ye) {
    for (int k = 0, s = 0; k < Op::kResults; ++k) {
        if (complex_results<Op>() >> k & 1) ye[s] = io.out[k][2 * e], ye[s + 1] = io.out[k][2 * e + 1], s += 2;
        else ye[s++] = io.out[k][e];
    }
}

inline void report_complex(int32_t st, int32_t i, const float* a1, const float* a2, float* r1, float* r2,
                           const char* name) {
    orvu_kex_kernel_cError(st, i, reinterpret_cast<const OrvuComplex8*>(a1), reinterpret_cast<const OrvuComplex8*>(a2),
                           reinterpret_cast<OrvuComplex8*>(r1), reinterpret_cast<OrvuComplex8*>(r2), name);
}
inline void report_complex(int32_t st, int32_t i, const double* a1, const double* a2, double* r1, double* r2,
                           const char* name) {
    orvu_kex_kernel_zError(st, i, reinterpret_cast<const OrvuComplex16*>(a1), reinterpret_cast<const OrvuComplex16*>(a2),
                           reinterpret_cast<OrvuComplex16*>(r1), reinterpret_cast<OrvuComplex16*>(r2), name);
}
// Reporting of element e through the reporter of the arrays' type. The mixed
// shapes (complex in, real out and the reverse) have no reporter: their
// functions (Abs, Arg, CIS) make no reports.
template <class Op>
void report_element(int32_t st, int32_t e, const Arrays<Op>& io, const char* name) {
    constexpr uint32_t all_in = (1u << Op::kArgs) - 1, all_out = (1u << Op::kResults) - 1;
    if constexpr (complex_args<Op>() == 0 && complex_results<Op>() == 0)
        report_error(st, e, io.in[0], io.in[Op::kArgs - 1], io.out[0], io.out[Op::kResults - 1], name);
    else if constexpr (complex_args<Op>() == all_in && complex_results<Op>() == all_out)
        report_complex(st, e, io.in[0], io.in[Op::kArgs - 1], io.out[0], io.out[Op::kResults - 1], name);
    else
        (void)st, (void)e, (void)io, (void)name;
}

// The lane walk over lanes base .. base + B - 1 of lane buffers xa, ya whose
// lane 0 is element i (bit k of mask: lane base + k): each special lane in
// increasing order through rare(), a non-zero status stored, reported and the
// possibly replaced result read back; then the B results are stored. A
// 128-bit block is one such walk; a wide block is one per 128-bit group.
template <class Op, int B, int N>
[[gnu::always_inline]] inline void settle_lanes(const Op& op, const char* name, const Arrays<Op>& io, int32_t i,
                                                const typename Op::T (&xa)[kInSlots<Op>][N],
                                                typename Op::T (&ya)[kOutSlots<Op>][N], int base, uint32_t mask) {
    using T = typename Op::T;
    constexpr int SI = kInSlots<Op>, SO = kOutSlots<Op>;
    for (; mask != 0; mask &= mask - 1) {
        const int lane = base + __builtin_ctz(mask);
        T xe[SI], ye[SO];
        for (int k = 0; k < SI; ++k) xe[k] = xa[k][lane];
        for (int k = 0; k < SO; ++k) ye[k] = ya[k][lane];
        const int32_t st = op.rare(xe, ye);
        for (int k = 0; k < SO; ++k) ya[k][lane] = ye[k];
        if (st == 0) continue;
        const int32_t e = i + lane;
        put_element(io, e, ye);
        report_element(st, e, io, name);
        get_element(io, e, ye);
        for (int k = 0; k < SO; ++k) ya[k][lane] = ye[k];
    }
    for (int j = base; j < base + B; ++j) {
        T ye[SO];
        for (int k = 0; k < SO; ++k) ye[k] = ya[k][j];
        put_element(io, i + j, ye);
    }
}

// The slow path of one block that has special lanes: arguments and results go
// to a lane buffer, each special lane is recomputed by rare() in increasing
// lane order and reported; the reporter may replace the result in the caller's
// array, so it is read back before the block is stored.
template <class Op, class V, int U>
[[gnu::noinline]] void settle_block(const Op& op, const char* name, const Arrays<Op>& io, int32_t i,
                                    const V (&x)[U][kInSlots<Op>], const V (&y)[U][kOutSlots<Op>], uint32_t mask) {
    using T = typename Op::T;
    constexpr int B = U * V::lanes;
    constexpr int SI = kInSlots<Op>, SO = kOutSlots<Op>;
    if constexpr (Op::kBlockRoutine > 0 && B > 1) {
        static_assert(Op::kWholeBlock && SI == 1 && SO == 1 && B % Op::kBlockRoutine == 0);
        for (int j = 0; j < B; j += Op::kBlockRoutine) op.rare_block(io.in[0] + i + j, io.out[0] + i + j);
        (void)x, (void)y, (void)mask, (void)name;
        return;
    }
    T xa[SI][B], ya[SO][B];
    _Pragma("GCC unroll 16") for (int u = 0; u < U; ++u) {
        for (int k = 0; k < SI; ++k) x[u][k].store(&xa[k][u * V::lanes]);
        for (int k = 0; k < SO; ++k) y[u][k].store(&ya[k][u * V::lanes]);
    }
    settle_lanes<Op, B>(op, name, io, i, xa, ya, 0, mask);
}

// Wide blocks. V is wide when it has more lanes than the 128-bit type; the
// 128-bit block (kNarrowBlock elements) of a wide block is called a group, and
// the lane mask of a wide block of up to 64 elements takes a 64-bit word.
template <class Op, class V> constexpr bool kWide = V::lanes > Narrow<typename Op::T>::lanes;
template <class Op> constexpr int kNarrowBlock = Op::unroll * Narrow<typename Op::T>::lanes;
template <class Op, class V, int U> using MaskWord = std::conditional_t<(U * V::lanes > 32), uint64_t, uint32_t>;

// The slow path of a wide block with special lanes: results are spilled once,
// then the groups are settled in order, each exactly as settle_block settles
// the same elements at the 128-bit level (a whole-block policy widens the
// mask of a group that has a special lane to the whole group, never to the
// wide block). A group without special lanes is stored as it is, before the
// reports of the groups after it, as the 128-bit kernel would have stored it.
template <class Op, class V, int U>
[[gnu::noinline]] void settle_wide(const Op& op, const char* name, const Arrays<Op>& io, int32_t i,
                                   const V (&x)[U][kInSlots<Op>], const V (&y)[U][kOutSlots<Op>],
                                   MaskWord<Op, V, U> mask) {
    using T = typename Op::T;
    using N = Narrow<T>;
    constexpr int S = kNarrowBlock<Op>, W = U * V::lanes;
    constexpr int SI = kInSlots<Op>, SO = kOutSlots<Op>;
    constexpr bool kBlockRoutine = Op::kBlockRoutine > 0;
    static_assert(W % S == 0 && S < 32);
    T xa[SI][W], ya[SO][W];
    _Pragma("GCC unroll 16") for (int u = 0; u < U; ++u) {
        if constexpr (!kBlockRoutine)
            for (int k = 0; k < SI; ++k) x[u][k].store(&xa[k][u * V::lanes]);
        for (int k = 0; k < SO; ++k) y[u][k].store(&ya[k][u * V::lanes]);
    }
    for (int g = 0; g < W; g += S) {
        const int32_t ig = i + g;
        const uint32_t gm = static_cast<uint32_t>(mask >> g) & ((1u << S) - 1u);
        if (gm == 0) {
            for (int u = 0; u < U; ++u) {
                N r[SO];
                for (int k = 0; k < SO; ++k) r[k] = N::load(&ya[k][g + u * N::lanes]);
                store_slots<Op, N>(io, ig + u * N::lanes, r);
            }
        } else if constexpr (kBlockRoutine) {
            static_assert(Op::kWholeBlock && SI == 1 && SO == 1 && S % Op::kBlockRoutine == 0);
            for (int j = 0; j < S; j += Op::kBlockRoutine) op.rare_block(io.in[0] + ig + j, io.out[0] + ig + j);
        } else {
            settle_lanes<Op, S>(op, name, io, i, xa, ya, g, Op::kWholeBlock ? (1u << S) - 1u : gm);
        }
    }
    (void)x;
}

// A policy with kRecomputeSpecial = true has its special blocks loaded and
// computed again here, out of line, instead of handing over the fast path's
// vectors: those then never need a copy in memory (the x86-64 ABI keeps no
// vector register across the call), which for the short arithmetic kernels
// costs more stores than the results themselves. fast() must be pure.
template <class Op> constexpr bool recompute_special() {
    if constexpr (requires { Op::kRecomputeSpecial; }) return Op::kRecomputeSpecial;
    else return false;
}
template <class Op, class V, int U>
[[gnu::noinline]] void settle_reloaded(const Op& op, const char* name, const Arrays<Op>& io, int32_t i,
                                       MaskWord<Op, V, U> mask) {
    V x[U][kInSlots<Op>], y[U][kOutSlots<Op>];
    for (int u = 0; u < U; ++u) {
        load_slots<Op, V>(io, i + u * V::lanes, x[u]);
        (void)op.fast(x[u], y[u]);
    }
    if constexpr (kWide<Op, V>) settle_wide<Op, V, U>(op, name, io, i, x, y, mask);
    else settle_block<Op, V, U>(op, name, io, i, x, y, mask);
}

// One block of U vectors of type V starting at element i.
template <class Op, class V, int U>
inline void run_block(const Op& op, const char* name, const Arrays<Op>& io, int32_t i) {
    V x[U][kInSlots<Op>], y[U][kOutSlots<Op>];
    uint32_t mask = 0;
    _Pragma("GCC unroll 16") for (int u = 0; u < U; ++u) {
        load_slots<Op, V>(io, i + u * V::lanes, x[u]);
        const typename V::mask m = op.fast(x[u], y[u]);
        if constexpr (Op::kHasSpecial) mask |= static_cast<uint32_t>(m.bits()) << (u * V::lanes);
    }
    // A policy may send the whole block to its scalar routine once any lane
    // is special (rare() then handles ordinary lanes too, with status 0).
    if constexpr (Op::kWholeBlock) {
        if (mask != 0) mask = (U * V::lanes == 32) ? ~0u : (1u << (U * V::lanes)) - 1u;
    }
    if (Op::kHasSpecial && mask != 0) {
        if constexpr (recompute_special<Op>()) settle_reloaded<Op, V, U>(op, name, io, i, mask);
        else settle_block<Op, V, U>(op, name, io, i, x, y, mask);
        return;
    }
    _Pragma("GCC unroll 16") for (int u = 0; u < U; ++u) store_slots<Op, V>(io, i + u * V::lanes, y[u]);
}

// One wide block: as run_block, with the mask of up to 64 lanes in one word
// and the slow path settle_wide (which also widens the mask of a whole-block
// policy, group by group). Forced inline: the compiler tends to keep the
// larger wide blocks out of line, a call per block in the kernel's loop.
template <class Op, class V, int U>
[[gnu::always_inline]] inline void run_wide_block(const Op& op, const char* name, const Arrays<Op>& io, int32_t i) {
    using M = MaskWord<Op, V, U>;
    V x[U][kInSlots<Op>], y[U][kOutSlots<Op>];
    M mask = 0;
    _Pragma("GCC unroll 16") for (int u = 0; u < U; ++u) {
        load_slots<Op, V>(io, i + u * V::lanes, x[u]);
        const typename V::mask m = op.fast(x[u], y[u]);
        if constexpr (Op::kHasSpecial) mask |= static_cast<M>(m.bits()) << (u * V::lanes);
    }
    if constexpr (Op::kHasSpecial) {
        if (mask != 0) {
            if constexpr (recompute_special<Op>()) settle_reloaded<Op, V, U>(op, name, io, i, mask);
            else settle_wide<Op, V, U>(op, name, io, i, x, y, mask);
            return;
        }
    }
    _Pragma("GCC unroll 16") for (int u = 0; u < U; ++u) store_slots<Op, V>(io, i + u * V::lanes, y[u]);
}

template <class Op>
void run_kernel(const Op& op, const char* name, int32_t n, const Arrays<Op>& io) {
    if (n <= 0) return;
    using T = typename Op::T;
    using V = Vec<T>;
    constexpr int32_t kBlock = Op::unroll * V::lanes;
    auto body = [&] {
        const int32_t nb = n - n % kBlock;
        int32_t i = 0;
        if constexpr (kWide<Op, V>) {
            for (; i < nb; i += kBlock) run_wide_block<Op, V, Op::unroll>(op, name, io, i);
            // The 128-bit blocks after the last wide block: the elements left
            // for the tail are those of the 128-bit kernel.
            const int32_t ns = n - n % kNarrowBlock<Op>;
            for (; i < ns; i += kNarrowBlock<Op>) run_block<Op, Narrow<T>, Op::unroll>(op, name, io, i);
        } else {
            for (; i < nb; i += kBlock) run_block<Op, V, Op::unroll>(op, name, io, i);
        }
        for (; i < n; ++i) run_block<Op, Lane<T>, 1>(op, name, io, i);
    };
    if constexpr (Op::kEnv == Env::Managed) {
        MxcsrGuard env(Op::kRounding);
        body();
    } else if constexpr (Op::kEnv == Env::X87) {
        X87PrecisionGuard env;
        body();
    } else {
        body();
    }
}

// Entry of each argument shape (the kernel instances call these).
template <class Op>
void run_unary(const char* name, int32_t n, const typename Op::T* a, typename Op::T* r, const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{a}, {r}});
}
template <class Op>
void run_binary(const char* name, int32_t n, const typename Op::T* a, const typename Op::T* b,
                typename Op::T* r, const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{a, b}, {r}});
}
template <class Op>
void run_two(const char* name, int32_t n, const typename Op::T* a, typename Op::T* r1, typename Op::T* r2,
             const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{a}, {r1, r2}});
}

// Complex shapes: the element arrays are read as arrays of components.
template <class T> struct ComplexOf;
template <> struct ComplexOf<float> { using type = OrvuComplex8; };
template <> struct ComplexOf<double> { using type = OrvuComplex16; };
template <class Op> using Cx = typename ComplexOf<typename Op::T>::type;
template <class Op> const typename Op::T* parts(const Cx<Op>* p) { return reinterpret_cast<const typename Op::T*>(p); }
template <class Op> typename Op::T* parts(Cx<Op>* p) { return reinterpret_cast<typename Op::T*>(p); }

template <class Op>
    requires(complex_args<Op>() != 0)
void run_unary(const char* name, int32_t n, const Cx<Op>* a, Cx<Op>* r, const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{parts<Op>(a)}, {parts<Op>(r)}});
}
template <class Op>
    requires(complex_args<Op>() != 0)
void run_binary(const char* name, int32_t n, const Cx<Op>* a, const Cx<Op>* b, Cx<Op>* r, const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{parts<Op>(a), parts<Op>(b)}, {parts<Op>(r)}});
}
template <class Op>
void run_c2r(const char* name, int32_t n, const Cx<Op>* a, typename Op::T* r, const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{parts<Op>(a)}, {r}});
}
template <class Op>
void run_r2c(const char* name, int32_t n, const typename Op::T* a, Cx<Op>* r, const Op& op = Op{}) {
    run_kernel(op, name, n, Arrays<Op>{{a}, {parts<Op>(r)}});
}
// Complex scalar-exponent power: the policy object holds the exponent.
template <class Op>
    requires(complex_args<Op>() != 0)
void run_powx(const char* name, int32_t n, const Cx<Op>* a, Cx<Op> b, Cx<Op>* r) {
    run_kernel(Op(b), name, n, Arrays<Op>{{parts<Op>(a)}, {parts<Op>(r)}});
}

// Scalar-exponent power: the policy object is built from the exponent; a
// policy with whole_call(name, n, a, b, r) may take over the whole call for
// particular exponents (it returns true when it did).
template <class Op>
void run_powx(const char* name, int32_t n, const typename Op::T* a, typename Op::T b, typename Op::T* r) {
    if (n <= 0) return;
    if constexpr (requires { Op::whole_call(name, n, a, b, r); }) {
        if (Op::whole_call(name, n, a, b, r)) return;
    }
    run_kernel(Op(b), name, n, Arrays<Op>{{a}, {r}});
}

// Linear fraction: the policy chooses its path from the four coefficients
// once per call, Op::with_path(sa, oa, sb, ob, run) calling run(policy,
// inputs) with the path's policy object and the arrays it reads. The control
// register is fixed for the call (round to nearest, no flush-to-zero) without
// reading the mode; the path policies run under it (Env::Caller).
template <class Op>
void run_linearfrac(const char* name, int32_t n, const typename Op::T* a, const typename Op::T* b,
                    typename Op::T sa, typename Op::T oa, typename Op::T sb, typename Op::T ob,
                    typename Op::T* r) {
    if (n <= 0) return;
    MxcsrGuard env(MxcsrGuard::Exact{}, kRoundNearest);
    Op::with_path(sa, oa, sb, ob, a, b, [&](const auto& path, const auto* x0, const auto* x1) {
        using P = std::decay_t<decltype(path)>;
        static_assert(P::kEnv == Env::Caller, "the shape runner owns the environment");
        if constexpr (P::kArgs == 1) run_kernel(path, name, n, Arrays<P>{{x0}, {r}});
        else run_kernel(path, name, n, Arrays<P>{{x0, x1}, {r}});
    });
}

// Common defaults of a policy: round to nearest under the managed
// environment, two vectors per block, no special lanes.
template <class Elem, int Args, int Results>
struct PolicyBase {
    using T = Elem;
    static constexpr int kArgs = Args;
    static constexpr int kResults = Results;
    static constexpr int unroll = 2;
    static constexpr Env kEnv = Env::Managed;
    static constexpr uint32_t kRounding = kRoundNearest;
    static constexpr bool kHasSpecial = false;
    static constexpr bool kWholeBlock = false;
    static constexpr int kBlockRoutine = 0;
    int rare(const T*, T*) const { return 0; }
    void rare_block(const T*, T*) const {}
};

}  // namespace KEX_LVL
}  // namespace kex
