// Lane-by-lane comparison of the wide vector types with the 128-bit ones on
// random bit patterns: every operation a kernel may use must give, in lane k
// of the wide result, the bits the 128-bit operation gives for that element.
// Built once per wide level with that level's flags; exits 77 (skipped) on a
// machine without the level.
#include <cstdio>
#include <random>
#include <vector>

#include "kex/simd/simd.h"

using namespace kex::KEX_LVL;

static std::mt19937_64 rng(1234);
static int failures = 0;

template <class T> T random_elem() {
    using L = std::numeric_limits<T>;
    static const T special[] = {T(0), -T(0), T(1), T(-1.5), T(0.5), T(2.5), T(-3.5), L::infinity(), -L::infinity(),
                                L::quiet_NaN(), L::denorm_min(), L::min(), L::max(), T(1e7), T(-3e15)};
    switch (rng() % 3) {
        case 0: return special[rng() % std::size(special)];
        case 1: return from_bits<T>(static_cast<UintOf<T>>(rng()));
        default: return std::ldexp(T(std::uniform_real_distribution<double>(-1, 1)(rng)), int(rng() % 80) - 40);
    }
}

// Results as bytes: vectors are stored, masks give their bit words.
template <class V> auto out(V v) -> decltype(v.store(nullptr), std::vector<typename V::elem>()) {
    std::vector<typename V::elem> r(V::lanes);
    v.store(r.data());
    return r;
}
template <class M> auto out(M m) -> decltype(m.bits(), std::vector<uint64_t>()) { return {uint64_t(m.bits())}; }

// Runs f on W lanes loaded from x and on the Narrow chunks of the same data;
// the narrow outputs are concatenated (mask words shifted to their lanes).
template <class W, class F> void check(const char* name, F f) {
    using T = typename W::elem;
    using N = Narrow<T>;
    for (int trial = 0; trial < 20000; ++trial) {
        T x[3][W::lanes];
        for (auto& row : x)
            for (T& e : row) e = random_elem<T>();
        auto load = [&](auto tag, int off, int k) { return decltype(tag)::load(x[k] + off); };
        auto wide = out(f(load(W{}, 0, 0), load(W{}, 0, 1), load(W{}, 0, 2)));
        decltype(wide) narrow;
        for (int j = 0; j < W::lanes; j += N::lanes) {
            auto part = out(f(load(N{}, j, 0), load(N{}, j, 1), load(N{}, j, 2)));
            if constexpr (std::is_same_v<decltype(wide), std::vector<uint64_t>>) narrow.resize(1), narrow[0] |= part[0] << j;
            else narrow.insert(narrow.end(), part.begin(), part.end());
        }
        if (std::memcmp(wide.data(), narrow.data(), wide.size() * sizeof(wide[0])) != 0) {
            std::printf("FAIL %s lanes=%d trial %d\n", name, W::lanes, trial);
            ++failures;
            return;
        }
    }
}

// Complex order: wide (de)interleave of 2W consecutive components against the
// narrow one applied to each run of 2N components.
template <class W> void check_complex() {
    using T = typename W::elem;
    using N = Narrow<T>;
    for (int trial = 0; trial < 20000; ++trial) {
        T x[2 * W::lanes], wide[2 * W::lanes], narrow[2 * W::lanes], back[2 * W::lanes];
        for (T& e : x) e = random_elem<T>();
        W re, im, lo, hi;
        deinterleave(W::load(x), W::load(x + W::lanes), re, im);
        re.store(wide), im.store(wide + W::lanes);
        interleave(re, im, lo, hi);
        lo.store(back), hi.store(back + W::lanes);
        for (int j = 0; j < W::lanes; j += N::lanes) {
            N r, i;
            deinterleave(N::load(x + 2 * j), N::load(x + 2 * j + N::lanes), r, i);
            r.store(narrow + j), i.store(narrow + W::lanes + j);
        }
        if (std::memcmp(wide, narrow, sizeof wide) != 0 || std::memcmp(back, x, sizeof x) != 0) {
            std::printf("FAIL complex order lanes=%d\n", W::lanes);
            ++failures;
            return;
        }
    }
}

template <class W> void check_type() {
    using T = typename W::elem;
    // Two NaNs meeting in + or * keep the payload of whichever operand the
    // compiler puts first (Clang swaps freely): one side stays finite there.
    check<W>("add", [](auto a, auto b, auto) { return a + bits_shr<2>(b); });
    check<W>("mul", [](auto a, auto b, auto) { return a * bits_shr<2>(b); });
    check<W>("sub", [](auto a, auto b, auto) { return a - b; }), check<W>("div", [](auto a, auto b, auto) { return a / b; });
    check<W>("eq", [](auto a, auto b, auto) { return a == b; }), check<W>("lt", [](auto a, auto b, auto) { return a < b; });
    check<W>("le", [](auto a, auto b, auto) { return a <= b; }), check<W>("gt", [](auto a, auto b, auto) { return a > b; });
    check<W>("ge", [](auto a, auto b, auto) { return a >= b; });
    check<W>("unordered, mask | &", [](auto a, auto b, auto c) { return (unordered(a, b) | (b < c)) & (a <= c); });
    check<W>("bitops", [](auto a, auto b, auto c) { return bit_xor(bit_or(bit_and(a, b), c), bit_andnot(c, a)); });
    check<W>("sqrt/abs", [](auto a, auto b, auto) { return sqrt(a) - abs(b); });
    check<W>("select", [](auto a, auto b, auto c) { return select(a < c, a, b); });
    check<W>("bits_add/sub", [](auto a, auto b, auto c) { return bits_sub(bits_add(a, b), c); });
    check<W>("shifts", [](auto a, auto b, auto) { return bit_or(bits_shl<7>(a), bits_shr<11>(b)); });
    check<W>("int_to_float", [](auto a, auto, auto) { return int_to_float(a); });
    check<W>("splat_bits", [](auto a, auto, auto) { return a + splat_bits<decltype(a)>(UintOf<T>(0x40490fdb)); });
    check<W>("row_value", [](auto a, auto, auto) {
        static constexpr SplatRow<T> row = splat_row(T(0.375));
        return a * row_value<decltype(a)>(*opaque(&row));
    });
    check<W>("rcp", [](auto a, auto, auto) { return rcp_estimate(a); });
    check<W>("rsqrt", [](auto a, auto, auto) { return rsqrt_estimate(a); });
    check<W>("floor/ceil", [](auto a, auto, auto) { return round_int<Rnd::Floor>(a) - round_int<Rnd::Ceil>(a); });
    check<W>("trunc/nearest", [](auto a, auto, auto) { return round_int<Rnd::Trunc>(a) - round_int<Rnd::Nearest>(a); });
    check<W>("current", [](auto a, auto, auto) { return round_int<Rnd::Current>(a) + round_int<Rnd::CurrentQuiet>(a); });
    check_complex<W>();
    static T table[4099];
    for (T& e : table) e = random_elem<T>();
    // Indices below the table size in the low 32 bits; double lanes keep
    // random upper halves, which the lookups must ignore.
    auto idx = [](auto a) { return bit_and(a, splat_bits<decltype(a)>(UintOf<T>(sizeof(T) == 4 ? 4095 : 0xffffffff00000fffull))); };
    check<W>("gather", [&](auto a, auto, auto) { return gather(table, idx(a)); });
    check<W>("gather_pairs", [&](auto a, auto, auto) {
        decltype(a) p, q;
        gather_pairs(table, idx(a), p, q);
        return p - q;
    });
    if constexpr (sizeof(T) == 4) {
        check<W>("bits_gt", [](auto a, auto b, auto) { return bits_gt(a, b); });
        check<W>("sra", [](auto a, auto, auto) { return bits_sra<9>(a); });
        static double dtable[4099];
        for (double& e : dtable) e = std::ldexp(double(rng() % 1000) - 500, -7);  // no NaN: operand order of * is free
        check<W>("widened", [&](auto a, auto b, auto) {
            using D = Widened<decltype(a)>;
            typename D::type p[D::parts], pa[D::parts], pb[D::parts];
            gather_pairs(dtable, idx(b), pa, pb);
            for (int k = 0; k < D::parts; ++k) p[k] = D::part(a, k) * pa[k] - pb[k];
            return D::join(p);
        });
    }
}

int main() {
#if defined(ORVU_LEVEL_W3)
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512dq") ||
        !__builtin_cpu_supports("avx512bw") || !__builtin_cpu_supports("avx512vl"))
        return 77;
#else
    if (!__builtin_cpu_supports("avx2")) return 77;
#endif
#if defined(ORVU_LEVEL_W3)
    check_type<F32x16>();
    check_type<F64x8>();
#endif
    check_type<F32x8>();
    check_type<F64x4>();
    std::printf("%s\n", failures ? "FAILURES" : "all lanes identical");
    return failures != 0;
}
