// Writes rows [first, last] of the MT2203 parameter table (a, b, c per row)
// to <dir>/rows_<first>_<last>.inc, one "{a, b, c},  // row" line per row; the
// file appears only once complete (written under a temporary name, then
// renamed). Usage: make_mt2203_table first last dir [passes]
//
// Rows 0, 1, 2 and 6023 are the published sets, held here as constants.
// Every other row is found by dynamic creation, seeded by its row index (so
// every run gives the same rows, and a part can be regenerated alone given
// the parts before it):
//  1. Twist constant a: candidates from a splitmix64 stream seeded by the row,
//     top bit set. The characteristic polynomial p of the recurrence (N = 69,
//     M = 34, 5 lower bits, degree 2203) is affine in the bits of a and is
//     formed from 33 precomputed terms (CharPoly below). As 2^2203 - 1 is
//     prime, p is primitive exactly when irreducible: p is sieved by every
//     irreducible polynomial of degree at most 8 (residues of the terms,
//     combined per candidate), then accepted when x^(2^2203) = x mod p (2203
//     squarings, Barrett reduction over the carry-less products of
//     gf2_poly.cc); during the first 128 squarings the product of the
//     x^(2^k) - x is checked for a common factor with p, which rejects most
//     reducible p early.
//  2. Tempering masks b (low 7 bits clear) and c (low 15 bits clear), scored
//     by their k-distribution k(v) for v = 1..32 (the largest k such that the
//     top v bits of k successive outputs are equidistributed, i.e. those k v
//     output bits are independent linear functions of the 2203 state bits)
//     through the total gap sum_v (floor(2203 / v) - k(v)). All 32 k(v) come
//     from one incremental reduction of a polynomial lattice (Lattice below).
//     The search starts from the best of a pair drawn from the row's stream
//     and the four published pairs, and climbs by single-bit flips (c's 17
//     free bits from the top, then b's 25), keeping a flip that lowers the
//     gap, for up to `passes` passes (default 2) or until a pass changes
//     nothing. The published rows have gaps 699, 700, 700 and 713.
// A twist constant already taken by a fixed row or an earlier row (of this
// range, or of the earlier parts present in dir: parts are generated in
// order) is skipped. `--join dir` writes the table source from the parts
// (src/ptz/brng/mt2203_table.cc), checking that every row is there once and
// that all rows differ; `--check [dir]` re-tests the published rows and a
// sample of the generated ones (primitivity, the closed-form polynomial
// against Berlekamp-Massey on the output bits) and prints their gaps.
// Run time: about 0.22 s of processor time per row (a few hundred twist
// constants tried, 47 or 89 tempering scores of about 2 ms each); the 6020
// generated rows took 22 minutes of processor time on one core;
// tools/twister_tables/run_mt2203_parts.sh runs the whole range in parts of
// 10 rows and resumes where it stopped. The parts are not kept in the
// repository: the joined table src/ptz/brng/mt2203_table.cc is.
#include <immintrin.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "ptz/brng/twister_polys.h"

namespace {

constexpr int kN = 69, kM = 34, kDeg = 2203;
constexpr uint32_t kLower = 0x1Fu, kUpper = ~kLower;
constexpr int kW = kDeg / 64 + 1;  // 35 words hold D + 1 bits
constexpr int kRows = 6024;

struct Row {
    uint32_t a, b, c;
};
const Row kFixed[4] = {{0xAF81055Fu, 0xDD7EEF80u, 0xEFD78000u},
                       {0x832604E1u, 0x66AD7F80u, 0xEBD58000u},
                       {0x92F70739u, 0x656D7780u, 0xEFC50000u},
                       {0xE8761D4Bu, 0x72967680u, 0xEFEB0000u}};
const int kFixedIndex[4] = {0, 1, 2, 6023};

struct SplitMix {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

using Poly = std::vector<uint64_t>;
bool get(const uint64_t* p, int i) { return (p[i / 64] >> (i % 64)) & 1; }
void flip(uint64_t* p, int i) { p[i / 64] ^= uint64_t(1) << (i % 64); }

// Minimal polynomial (as the characteristic, reciprocal form) of the top bit
// of successive raw words by Berlekamp-Massey; returns its degree. --check
// compares it with the closed form of CharPoly.
int min_poly_bm(uint32_t a, Poly& p) {
    uint32_t mt[kN];
    SplitMix sm{a};
    for (uint32_t& w : mt) w = uint32_t(sm.next());
    const int n = 2 * kDeg + 64;
    std::vector<uint8_t> s(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const int i = k % kN;
        const uint32_t x = (mt[i] & kUpper) | (mt[(i + 1) % kN] & kLower);
        mt[i] = mt[(i + kM) % kN] ^ (x >> 1) ^ (x & 1 ? a : 0);
        s[size_t(k)] = uint8_t(mt[i] >> 31);
    }
    // Berlekamp-Massey, word-parallel: the discrepancy at step k is the
    // parity of c AND (s[k], s[k-1], ...), read from the reversed sequence.
    const int words = n / 64 + 2;
    Poly rev(size_t(words), 0);
    for (int k = 0; k < n; ++k)
        if (s[size_t(k)]) flip(rev.data(), n - 1 - k);
    auto window = [&](int o) {
        const int w = o / 64, sh = o % 64;
        const uint64_t lo = w < words ? rev[size_t(w)] : 0, hi = w + 1 < words ? rev[size_t(w + 1)] : 0;
        return sh ? (lo >> sh) | (hi << (64 - sh)) : lo;
    };
    Poly c(size_t(words), 0), b(size_t(words), 0), t;
    flip(c.data(), 0), flip(b.data(), 0);
    int len = 0, m = 1;
    for (int k = 0; k < n; ++k) {
        uint64_t acc = 0;
        for (int i = 0; i <= len; i += 64) {
            uint64_t cw = c[size_t(i / 64)];
            if (len - i < 63) cw &= (uint64_t(2) << (len - i)) - 1;
            acc ^= cw & window(n - 1 - k + i);
        }
        if (!__builtin_parityll(acc)) {
            ++m;
            continue;
        }
        t = c;
        const int ws = m / 64, bs = m % 64;  // c += x^m b
        for (int i = words - 1; i >= ws; --i) {
            uint64_t v = b[size_t(i - ws)] << bs;
            if (bs && i - ws >= 1) v |= b[size_t(i - ws - 1)] >> (64 - bs);
            c[size_t(i)] ^= v;
        }
        if (2 * len <= k) len = k + 1 - len, b = t, m = 1;
        else ++m;
    }
    p.assign(kW, 0);
    for (int e = 0; e <= len && e < 64 * kW; ++e)
        if (get(c.data(), len - e)) flip(p.data(), e);
    return len;
}

// Irreducible polynomials of degree 1..8 as bit masks.
std::vector<uint32_t> small_irreducibles() {
    std::vector<uint32_t> out;
    for (uint32_t g = 2; g < 512; ++g) {
        bool irreducible = true;
        for (uint32_t h : out) {
            if (2 * (31 - __builtin_clz(h)) > 31 - __builtin_clz(g)) break;
            uint32_t r = g;  // g mod h
            const int dh = 31 - __builtin_clz(h);
            for (int i = 31 - __builtin_clz(r); i >= dh; --i)
                if ((r >> i) & 1) r ^= h << (i - dh);
            if (r == 0) {
                irreducible = false;
                break;
            }
        }
        if (irreducible) out.push_back(g);
    }
    return out;
}

// p mod g, bit by bit from the top (g of degree at most 16).
uint32_t residue(const Poly& p, uint32_t g) {
    const int dg = 31 - __builtin_clz(g);
    uint32_t r = 0;
    for (int i = kDeg; i >= 0; --i) {
        r = (r << 1) | uint32_t(get(p.data(), i));
        if ((r >> dg) & 1) r ^= g;
    }
    return r;
}

// The characteristic polynomial of the recurrence is affine in the bits a_j
// of a (Matsumoto and Nishimura 1998): with U = x^N + x^M and
// L = x^(N-1) + x^(M-1),
//   p = U^27 L^5 + sum_{j<5} a_j U^27 L^(4-j) + sum_{j>=5} a_j U^(31-j).
// The 33 terms and their residues modulo every irreducible polynomial of
// degree at most 8 are built once; a candidate's polynomial and its
// small-factor sieve then cost a few exclusive-ors per set bit of a. (--check
// compares this form with Berlekamp-Massey on the output bits.)
class CharPoly {
public:
    CharPoly() : small_(small_irreducibles()) {
        Poly pw(kW, 0), t(kW);
        pw[0] = 1;
        auto times = [&](int hi, int lo) {  // pw *= x^hi + x^lo (degrees stay <= D)
            std::fill(t.begin(), t.end(), 0);
            for (int e : {hi, lo})
                for (int i = kDeg - e; i >= 0; --i)
                    if (get(pw.data(), i)) flip(t.data(), i + e);
            pw.swap(t);
        };
        for (int j = 31; j >= 5; --j) term_[j] = pw, times(kN, kM);  // U^(31-j); ends at U^27
        for (int j = 4; j >= 0; --j) term_[j] = pw, times(kN - 1, kM - 1);
        term_[32] = pw;
        for (int j = 0; j < 33; ++j)
            for (uint32_t g : small_) res_[j].push_back(uint16_t(residue(term_[j], g)));
    }
    void poly(uint32_t a, Poly& p) const {
        p = term_[32];
        for (uint32_t bits = a; bits; bits &= bits - 1)
            for (int w = 0; w < kW; ++w) p[size_t(w)] ^= term_[__builtin_ctz(bits)][size_t(w)];
    }
    bool has_small_factor(uint32_t a) const {
        std::vector<uint16_t> r = res_[32];
        for (uint32_t bits = a; bits; bits &= bits - 1)
            for (size_t g = 0; g < r.size(); ++g) r[g] ^= res_[__builtin_ctz(bits)][g];
        return std::find(r.begin(), r.end(), 0) != r.end();
    }

private:
    std::vector<uint32_t> small_;
    Poly term_[33];
    std::vector<uint16_t> res_[33];
};

// Arithmetic modulo the characteristic polynomial p (degree D, kW words),
// with Barrett reduction over the carry-less products of gf2_poly.cc.
class Field {
public:
    explicit Field(const Poly& p) : p_(p), mu_(kW, 0), ws_(ptz::gf2::mul_workspace_words(kW)), t_(2 * kW), h_(kW) {
        Poly rem(2 * kW + 1, 0);  // mu = floor(x^(2D) / p), by long division
        flip(rem.data(), 2 * kDeg);
        for (int k = 2 * kDeg; k >= kDeg; --k)
            if (get(rem.data(), k)) flip(mu_.data(), k - kDeg), xor_shifted(rem.data(), 2 * kW + 1, p.data(), kDeg, k - kDeg);
    }
    const uint64_t* p() const { return p_.data(); }

    // r = a b mod p (a, b reduced; r may alias either).
    void mul(const uint64_t* a, const uint64_t* b, uint64_t* r) {
        ptz::gf2::mul(a, b, kW, t_.data(), ws_.data());
        reduce(r);
    }
    // r (2 kW words) = a b, unreduced.
    void mul_full(const uint64_t* a, const uint64_t* b, uint64_t* r) { ptz::gf2::mul(a, b, kW, r, ws_.data()); }
    // r = floor(a mu / x^D): a / p to D bits after the point, scaled by x^D.
    void series(const uint64_t* a, uint64_t* r) {
        ptz::gf2::mul(a, mu_.data(), kW, t_.data(), ws_.data());
        high(t_.data(), r);
    }
    // r = a^2 mod p: squaring spreads bit i to bit 2i.
    void square(const uint64_t* a, uint64_t* r) {
        for (int i = 0; i < kW; ++i) t_[size_t(2 * i)] = spread(uint32_t(a[i])), t_[size_t(2 * i + 1)] = spread(uint32_t(a[i] >> 32));
        reduce(r);
    }
    // r = a^-1 mod p (a nonzero, reduced) by the extended Euclidean algorithm
    // on bit vectors, keeping u = g1 a and v = g2 a (mod p); g1 and g2 stay
    // below degree D throughout.
    void inverse(const uint64_t* a, uint64_t* r) const {
        uint64_t buf[4][kW] = {};
        uint64_t *u = buf[0], *v = buf[1], *g1 = buf[2], *g2 = buf[3];
        std::memcpy(u, a, sizeof buf[0]), std::memcpy(v, p_.data(), sizeof buf[0]);
        g1[0] = 1;
        int du = degree(u, 64 * kW - 1), dv = kDeg, d1 = 0, d2 = -1;
        while (du > 0) {
            if (du < dv) std::swap(u, v), std::swap(g1, g2), std::swap(du, dv), std::swap(d1, d2);
            const int j = du - dv;
            xor_shifted(u, kW, v, dv, j);
            du = degree(u, du);
            if (d2 >= 0) {
                xor_shifted(g1, kW, g2, d2, j);
                d1 = degree(g1, std::max(d1, d2 + j));
            }
        }
        std::memcpy(r, g1, sizeof buf[0]);
    }

    // Bit `deg` and below of a; -1 when zero.
    static int degree(const uint64_t* a, int deg) {
        for (int w = deg / 64; w >= 0; --w)
            if (a[w]) return 64 * w + 63 - __builtin_clzll(a[w]);
        return -1;
    }
    // r (cap words) ^= s * x^e, s of degree sdeg >= 0.
    static void xor_shifted(uint64_t* r, int cap, const uint64_t* s, int sdeg, int e) {
        const int ws = e / 64, bs = e % 64;
        for (int i = 0; i <= sdeg / 64; ++i) {
            r[i + ws] ^= s[i] << bs;
            if (bs && i + ws + 1 < cap) r[i + ws + 1] ^= s[i] >> (64 - bs);
        }
    }

private:
    static uint64_t spread(uint32_t v) {
        uint64_t x = v;
        x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
        x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
        x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;
        x = (x | (x << 2)) & 0x3333333333333333ull;
        return (x | (x << 1)) & 0x5555555555555555ull;
    }

public:
    // bits [D, D + 64 kW) of a (2 kW words).
    static void high(const uint64_t* a, uint64_t* out) {
        const int w = kDeg / 64, b = kDeg % 64;
        for (int i = 0; i < kW; ++i) {
            const uint64_t lo = w + i < 2 * kW ? a[w + i] : 0, hi = w + i + 1 < 2 * kW ? a[w + i + 1] : 0;
            out[i] = (lo >> b) | (b ? hi << (64 - b) : 0);
        }
    }

private:
    // r = t_ mod p for t_ below degree 2D: q = floor(floor(t / x^D) mu / x^D)
    // is the exact quotient, and t mod p is the low D bits of t + q p.
    void reduce(uint64_t* r) {
        Poly& t = t_;
        uint64_t low[kW];
        std::memcpy(low, t.data(), sizeof low);
        high(t.data(), h_.data());
        ptz::gf2::mul(h_.data(), mu_.data(), kW, t.data(), ws_.data());
        high(t.data(), h_.data());
        ptz::gf2::mul(h_.data(), p_.data(), kW, t.data(), ws_.data());
        for (int i = 0; i < kW; ++i) r[i] = low[i] ^ t[size_t(i)];
        r[kW - 1] &= (uint64_t(1) << (kDeg % 64)) - 1;
    }

    Poly p_, mu_, ws_, t_, h_;
};

// Whether a and p (reduced, a nonzero) have no common factor: Euclid's
// algorithm on bit vectors.
bool coprime(const uint64_t* a, const Field& f) {
    uint64_t buf[2][kW];
    uint64_t *u = buf[0], *v = buf[1];
    std::memcpy(u, a, sizeof buf[0]), std::memcpy(v, f.p(), sizeof buf[0]);
    int du = Field::degree(u, kDeg), dv = kDeg;
    while (du > 0) {
        if (du < dv) std::swap(u, v), std::swap(du, dv);
        Field::xor_shifted(u, kW, v, dv, du - dv);
        du = Field::degree(u, du);
    }
    return du == 0;
}

// x^(2^D) == x mod p, by D squarings. p (no factor of degree <= 8) is
// irreducible exactly when this holds; to reject most reducible p early, the
// product of x^(2^k) - x over k = 9..kSieveTo is tested for a common factor
// with p every 8 steps (any irreducible factor of degree k divides
// x^(2^k) - x).
constexpr int kSieveTo = 128;
bool x_to_2_to_d_is_x(Field& f) {
    uint64_t g[kW] = {2}, acc[kW] = {1};
    for (int k = 1; k <= kDeg; ++k) {
        f.square(g, g);
        if (k < 9 || k > kSieveTo) continue;
        g[0] ^= 2;
        f.mul(acc, g, acc);
        g[0] ^= 2;
        if (k % 8 == 0 && !coprime(acc, f)) return false;
    }
    for (int i = 0; i < kW; ++i)
        if (g[i] != (i == 0 ? 2u : 0u)) return false;
    return true;
}

// Output bits as elements of F = GF(2)[x]/p. From a fixed nonzero state, the
// sequence s(t) of one output bit has the generating function
// sum_t s(t) x^-(t+1) = h / p with deg h < D, and a step of the generator
// (s(t) -> s(t+1)) multiplies h by x modulo p. As p is irreducible, the map
// from linear functionals of the state to h is an isomorphism onto F, under
// which bit j of output t is x^t h_j. h = floor(p R / x^D), R the first D
// terms of the sequence reversed (R = sum_t s(t) x^(D-1-t)).
struct OutputBits {
    uint64_t h[32][kW];
};

void output_bits(uint32_t a, Field& f, OutputBits& out) {
    uint32_t mt[kN];
    SplitMix sm{~uint64_t(a)};
    for (uint32_t& w : mt) w = uint32_t(sm.next());
    std::vector<uint64_t> rev(size_t(32) * kW, 0), prod(2 * kW), ws(ptz::gf2::mul_workspace_words(kW));
    for (int t = 0; t < kDeg; ++t) {
        const int i = t % kN;
        const uint32_t x = (mt[i] & kUpper) | (mt[(i + 1) % kN] & kLower);
        mt[i] = mt[(i + kM) % kN] ^ (x >> 1) ^ (x & 1 ? a : 0);
        for (uint32_t bits = mt[i]; bits; bits &= bits - 1)
            flip(rev.data() + size_t(__builtin_ctz(bits)) * kW, kDeg - 1 - t);
    }
    for (int j = 0; j < 32; ++j) {
        ptz::gf2::mul(f.p(), rev.data() + size_t(j) * kW, kW, prod.data(), ws.data());
        for (int i = 0; i < kW; ++i) {
            const int w = kDeg / 64 + i, b = kDeg % 64;
            const uint64_t lo = w < 2 * kW ? prod[size_t(w)] : 0, hi = w + 1 < 2 * kW ? prod[size_t(w + 1)] : 0;
            out.h[j][i] = (lo >> b) | (hi << (64 - b));
        }
    }
}

// r (cap words) ^= a b (a of degree da, b of degree db, da + db < 64 cap),
// word by word through the 64 x 64 carry-less product: the processor's
// instruction when it has one, else shifts and exclusive-ors.
__attribute__((target("pclmul,sse2"))) void mul_acc_clmul(uint64_t* r, const uint64_t* a, int da, const uint64_t* b,
                                                          int db) {
    alignas(16) uint64_t w[2];
    for (int i = 0; i <= da / 64; ++i) {
        const __m128i ai = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i));
        for (int j = 0; j <= db / 64; ++j) {
            _mm_store_si128(reinterpret_cast<__m128i*>(w),
                            _mm_clmulepi64_si128(ai, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + j)), 0));
            r[i + j] ^= w[0];
            if (w[1]) r[i + j + 1] ^= w[1];
        }
    }
}
void mul_acc_portable(uint64_t* r, const uint64_t* a, int da, const uint64_t* b, int db) {
    for (int i = 0; i <= da / 64; ++i)
        for (int j = 0; j <= db / 64; ++j) {
            uint64_t lo = 0, hi = 0;
            for (int k = 0; k < 64; ++k)
                if ((b[j] >> k) & 1) lo ^= a[i] << k, hi ^= k ? a[i] >> (64 - k) : 0;
            r[i + j] ^= lo;
            if (hi) r[i + j + 1] ^= hi;
        }
}
void mul_acc(uint64_t* r, const uint64_t* a, int da, const uint64_t* b, int db) {
    static const bool clmul = __builtin_cpu_supports("pclmul");
    (clmul ? mul_acc_clmul : mul_acc_portable)(r, a, da, b, db);
}

// The dependencies among the functionals x^t u_j (t < k, j < v) are the
// polynomial vectors c with sum_j c_j u_j = 0 mod p, a GF(2)[x]-lattice of
// rank v whose determinant has degree D; k(v) is the length (largest
// component degree) of its shortest nonzero vector. With u_0 scaled to 1 a
// basis is p e_0 and u_j e_0 + e_j (j >= 1). The basis is kept in weak Popov
// form (Mulders and Storjohann): the leading positions of the rows (the last
// component of largest degree) all differ, which makes the shortest row a
// shortest vector. Adding the next output bit adds one row, which is reduced
// against the others; k(v) for v = 1..32 thus costs one reduction in all.
//
// The new row u e_0 + e_v has degree near D, against about D / v for the
// others; reducing it step by step would take some v D / 2 row operations.
// Instead it is first rounded against the basis (Babai): with the
// coordinates y of p e_0 in the basis (sum_r y_r B_r = p e_0, kept up to date
// through every row operation), u e_0 = sum_r (u y_r / p) B_r, and
// subtracting the polynomial parts floor(u y_r / p) B_r leaves a row no
// longer than the longest basis row. floor(u y_r / p) is the top of
// floor(u mu / x^D) y_r, since that series is u / p to D bits and deg y_r < D.
class Lattice {
public:
    static constexpr int kCap = kW + 1, kYCap = 3 * kW;
    Lattice() : c_(size_t(32 * 32 * kCap)), y_(size_t(32 * kYCap)) {}

    void start(const uint64_t* p) {
        std::fill(c_.begin(), c_.end(), 0);
        std::fill(y_.begin(), y_.end(), 0);
        for (auto& r : deg_) std::fill(std::begin(r), std::end(r), -1);
        std::fill(std::begin(owner_), std::end(owner_), -1);
        std::memcpy(at(0, 0), p, kW * sizeof(uint64_t));
        deg_[0][0] = kDeg, v_ = 1;
        y(0)[0] = 1, ydeg_[0] = 0;
        update(0);
        owner_[0] = 0;
    }
    // Adds the row (u, 0, .., 0, 1) for the next bit (u = its functional
    // over that of bit 0); returns the new k(v).
    int add(const uint64_t* u, Field& f) {
        int m = v_++;
        std::memcpy(at(m, 0), u, kW * sizeof(uint64_t));
        at(m, m)[0] = 1, ydeg_[m] = -1;
        bool round = true;
        for (int r = 0; r < m; ++r) round = round && ydeg_[r] < kDeg;
        if (round) {
            uint64_t s[kW], t[2 * kW], q[kW];
            f.series(u, s);
            for (int r = 0; r < m; ++r) {
                f.mul_full(s, y(r), t);
                Field::high(t, q);
                const int dq = Field::degree(q, 64 * kW - 1);
                if (dq < 0) continue;
                for (int j = 0; j < m; ++j)
                    if (deg_[r][j] >= 0) mul_acc(at(m, j), q, dq, at(r, j), deg_[r][j]);
            }
        }
        for (int j = 0; j <= m; ++j) deg_[m][j] = Field::degree(at(m, j), 64 * kCap - 1);
        for (;;) {
            update(m);
            int& own = owner_[piv_[m]];
            if (own < 0) {
                own = m;
                break;
            }
            int s = own;
            if (rdeg_[m] < rdeg_[s]) own = m, std::swap(m, s);
            combine(m, s, rdeg_[m] - rdeg_[s]);
        }
        int k = kDeg;
        for (int r = 0; r < v_; ++r) k = std::min(k, rdeg_[r]);
        return k;
    }

private:
    uint64_t* at(int r, int j) { return c_.data() + (size_t(r) * 32 + size_t(j)) * kCap; }
    uint64_t* y(int r) { return y_.data() + size_t(r) * kYCap; }
    void update(int r) {
        rdeg_[r] = -1;
        for (int j = 0; j < v_; ++j)
            if (deg_[r][j] >= rdeg_[r]) rdeg_[r] = deg_[r][j], piv_[r] = j;
    }
    // row m += x^e row s, which cancels the leading term of m at its leading
    // position; the coordinates follow: y_s += x^e y_m.
    void combine(int m, int s, int e) {
        for (int j = 0; j < v_; ++j) {
            const int ds = deg_[s][j];
            if (ds < 0) continue;
            Field::xor_shifted(at(m, j), kCap, at(s, j), ds, e);
            int& dm = deg_[m][j];
            if (ds + e > dm) dm = ds + e;
            else if (ds + e == dm) dm = Field::degree(at(m, j), dm);
        }
        if (ydeg_[m] >= 0) {
            if (ydeg_[m] + e >= 64 * kYCap) std::abort();  // beyond any cofactor's degree
            Field::xor_shifted(y(s), kYCap, y(m), ydeg_[m], e);
            ydeg_[s] = Field::degree(y(s), std::max(ydeg_[s], ydeg_[m] + e));
        }
    }

    std::vector<uint64_t> c_;  // [row][component][kCap]
    std::vector<uint64_t> y_;  // [row][kYCap]
    int deg_[32][32], rdeg_[32], piv_[32], owner_[32], ydeg_[32], v_ = 0;
};

// Sum over v of floor(D / v) - k(v) for tempering (b, c), where k(v) is the
// largest k such that the top v bits of k successive outputs are
// equidistributed; stops early (returning more than limit) once the sum
// exceeds limit. Tempering is linear, so tempered bit j is the sum of the
// raw bits i whose unit vector it maps onto bit j.
int tempering_gap(Field& f, const OutputBits& raw, uint32_t b, uint32_t c, int limit = 1 << 30) {
    uint32_t col[32];
    for (int i = 0; i < 32; ++i) {
        uint32_t y = 1u << i;
        y ^= y >> 12, y ^= (y << 7) & b, y ^= (y << 15) & c;
        col[i] = y ^ (y >> 18);
    }
    auto tempered = [&](int j, uint64_t* u) {
        std::memset(u, 0, kW * sizeof(uint64_t));
        for (int i = 0; i < 32; ++i)
            if ((col[i] >> j) & 1)
                for (int w = 0; w < kW; ++w) u[w] ^= raw.h[i][w];
    };
    static Lattice lattice;
    uint64_t u[kW], top_inv[kW];
    tempered(31, u);
    f.inverse(u, top_inv);
    lattice.start(f.p());
    int gap = 0;
    for (int v = 2; v <= 32 && gap <= limit; ++v) {
        tempered(32 - v, u);
        f.mul(u, top_inv, u);
        gap += kDeg / v - lattice.add(u, f);
    }
    return gap;
}

}  // namespace

// Rows of the part file for [first, last] of dir (empty when absent).
std::vector<Row> read_part(const std::string& dir, int first, int last) {
    std::vector<Row> rows;
    const std::string name = dir + "/rows_" + std::to_string(first) + "_" + std::to_string(last) + ".inc";
    std::FILE* in = std::fopen(name.c_str(), "r");
    if (!in) return rows;
    Row r{};
    int index = 0;
    while (std::fscanf(in, " {0x%" SCNx32 "u, 0x%" SCNx32 "u, 0x%" SCNx32 "u}, // %d", &r.a, &r.b, &r.c, &index) == 4)
        rows.push_back(r);
    std::fclose(in);
    return rows;
}

// The table's checksum, as written into the table source and tested there.
uint64_t checksum(const std::vector<Row>& rows) {
    uint64_t sum = 0;
    for (const Row& r : rows) sum = sum * 0x100000001B3ull ^ r.a ^ (uint64_t(r.b) << 21) ^ (uint64_t(r.c) << 42);
    return sum;
}

// Whether the rows are pairwise distinct.
bool distinct(std::vector<Row> rows) {
    std::sort(rows.begin(), rows.end(),
              [](const Row& x, const Row& y) { return std::tie(x.a, x.b, x.c) < std::tie(y.a, y.b, y.c); });
    for (size_t i = 1; i < rows.size(); ++i)
        if (rows[i].a == rows[i - 1].a && rows[i].b == rows[i - 1].b && rows[i].c == rows[i - 1].c) return false;
    return true;
}

// The rows of a table source written by --join; false unless all 6024 are
// there and the checksum in its header matches them.
bool read_table(const std::string& path, std::vector<Row>& rows) {
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (!in) return false;
    char line[256];
    uint64_t stated = 0;
    Row r{};
    while (std::fgets(line, sizeof line, in)) {
        const char* at = std::strstr(line, "checksum 0x");
        if (at) stated = std::strtoull(at + 9, nullptr, 16);
        if (std::sscanf(line, " {0x%" SCNx32 "u, 0x%" SCNx32 "u, 0x%" SCNx32 "u},", &r.a, &r.b, &r.c) == 3)
            rows.push_back(r);
    }
    std::fclose(in);
    return rows.size() == size_t(kRows) && checksum(rows) == stated;
}

// --check [path]: the published rows, and a sample of the generated ones,
// have primitive characteristic polynomials; prints their tempering gaps.
// path is either the parts directory (the first row of every 50th part) or
// the table source (every 500th row; the fixed rows, the checksum and the
// rows' distinctness are checked as well).
int check(const std::string& path) {
    const CharPoly cp;
    std::vector<Row> sample(kFixed, kFixed + 4), table;
    int bad = 0;
    if (path.size() > 3 && path.compare(path.size() - 3, 3, ".cc") == 0) {
        if (!read_table(path, table) || !distinct(table)) return std::fprintf(stderr, "%s: bad table\n", path.c_str()), 1;
        for (int q = 0; q < 4; ++q) {
            const Row& r = table[size_t(kFixedIndex[q])];
            bad += r.a != kFixed[q].a || r.b != kFixed[q].b || r.c != kFixed[q].c;
        }
        for (int i = 3; i < kRows - 1; i += 500) sample.push_back(table[size_t(i)]);
    } else {
        for (int first = 3; !path.empty() && first < kRows - 1; first += 500) {
            const std::vector<Row> part = read_part(path, first, first + 9);
            if (!part.empty()) sample.push_back(part.front());
        }
    }
    for (const Row& row : sample) {
        Poly p, bm;
        cp.poly(row.a, p);
        // A primitive p is also the minimal polynomial of the top output bit.
        const bool full = min_poly_bm(row.a, bm) == kDeg, agree = !full || p == bm;
        Field f(p);
        const bool primitive = full && agree && !cp.has_small_factor(row.a) && x_to_2_to_d_is_x(f);
        OutputBits raw;
        output_bits(row.a, f, raw);
        std::printf("a 0x%08" PRIX32 ": %s%s, gap %d\n", row.a, primitive ? "primitive" : "NOT primitive",
                    agree ? "" : " (closed form and Berlekamp-Massey differ)",
                    primitive ? tempering_gap(f, raw, row.b, row.c) : -1);
        bad += !primitive;
    }
    return bad ? 1 : 0;
}

// --join dir: the table source from the part files of dir (rows 3 .. 6023),
// to stdout; fails unless every row is present once and all rows differ.
int join(const std::string& dir) {
    std::vector<Row> rows(kFixed, kFixed + 3);
    for (int first = 3; first < kRows;) {
        const int last = first + 9 >= kRows - 2 ? kRows - 1 : first + 9;
        const std::vector<Row> part = read_part(dir, first, last);
        if (int(part.size()) != last - first + 1) {
            std::fprintf(stderr, "part %d..%d missing or short\n", first, last);
            return 1;
        }
        rows.insert(rows.end(), part.begin(), part.end());
        first = last + 1;
    }
    if (!distinct(rows)) return std::fprintf(stderr, "two rows are equal\n"), 1;
    std::printf("// Generated by tools/twister_tables/make_mt2203_table.cc --join; do not edit by hand.\n"
                "// MT2203 parameter sets a, b, c; checksum 0x%016" PRIX64 " (see the tool).\n"
                "#include \"ptz/brng/mt2203.h\"\n\nextern \"C\" {\n\nconst uint32_t _ptz_mt2203_table[6024][3] = {\n",
                checksum(rows));
    for (const Row& r : rows)
        std::printf("    {0x%08" PRIX32 "u, 0x%08" PRIX32 "u, 0x%08" PRIX32 "u},\n", r.a, r.b, r.c);
    std::printf("};\n\n}  // extern \"C\"\n\nconst uint32_t* ptz::mt2203_parameters(int32_t s) { return _ptz_mt2203_table[s]; }\n");
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--check") == 0) return check(argc > 2 ? argv[2] : "");
    if (argc == 3 && std::strcmp(argv[1], "--join") == 0) return join(argv[2]);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s first last dir [passes]\n", argv[0]);
        return 2;
    }
    const int first = std::atoi(argv[1]), last = std::atoi(argv[2]);
    const int passes = argc > 4 ? std::atoi(argv[4]) : 2;
    const std::string dir = argv[3];
    const std::string name = dir + "/rows_" + std::to_string(first) + "_" + std::to_string(last) + ".inc";
    const std::string tmp = name + ".tmp";
    std::FILE* out = std::fopen(tmp.c_str(), "w");
    if (!out) return 1;
    const CharPoly cp;
    // Rows of the earlier parts (generated before this one) take part in the
    // check that no twist constant is used twice.
    std::vector<Row> made;
    for (int f = 3; f < first; f += 10) {
        const std::vector<Row> part = read_part(dir, f, f + 9);
        made.insert(made.end(), part.begin(), part.end());
    }
    for (int r = first; r <= last; ++r) {
        Row row{};
        bool fixed = false;
        for (int q = 0; q < 4; ++q)
            if (kFixedIndex[q] == r) row = kFixed[q], fixed = true;
        SplitMix rnd{0x6D74323230330000ull + uint64_t(r)};
        int tried = 0;
        while (!fixed) {
            const uint32_t a = uint32_t(rnd.next()) | 0x80000000u;
            ++tried;
            bool seen = false;
            for (const Row& m : made) seen = seen || m.a == a;
            for (const Row& m : kFixed) seen = seen || m.a == a;
            Poly p;
            if (seen || cp.has_small_factor(a)) continue;
            cp.poly(a, p);
            Field field(p);
            if (!x_to_2_to_d_is_x(field)) continue;
            OutputBits raw;
            output_bits(a, field, raw);
            // Start from the best of the published rows' mask pairs and one
            // pair drawn from the row's stream.
            row = {a, uint32_t(rnd.next()) & 0xFFFFFF80u, uint32_t(rnd.next()) & 0xFFFF8000u};
            int best = tempering_gap(field, raw, row.b, row.c);
            for (const Row& f : kFixed) {
                const int gap = tempering_gap(field, raw, f.b, f.c, best - 1);
                if (gap < best) best = gap, row = {a, f.b, f.c};
            }
            // Hill climbing by single-bit flips, the free bits of c from the
            // top, then those of b; a flip stays when it lowers the gap.
            for (int pass = 0; pass < passes; ++pass) {
                bool improved = false;
                for (int q = 0; q < 17 + 25; ++q) {
                    Row t = row;
                    if (q < 17) t.c ^= 1u << (31 - q);
                    else t.b ^= 1u << (31 - (q - 17));
                    const int gap = tempering_gap(field, raw, t.b, t.c, best - 1);
                    if (gap < best) best = gap, row = t, improved = true;
                }
                if (!improved) break;
            }
            std::fprintf(stderr, "row %d: a tried %d, gap %d\n", r, tried, best);
            break;
        }
        made.push_back(row);
        std::fprintf(out, "{0x%08" PRIX32 "u, 0x%08" PRIX32 "u, 0x%08" PRIX32 "u},  // %d\n", row.a, row.b, row.c, r);
        std::fflush(out);
    }
    if (std::fclose(out) != 0 || std::rename(tmp.c_str(), name.c_str()) != 0) return 1;
    return 0;
}
