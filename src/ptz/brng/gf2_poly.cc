// Polynomials over GF(2) as little-endian arrays of 64-bit words: carry-less
// products (Toom-3 above kToomWords, Karatsuba below, schoolbook at the base),
// Barrett reduction modulo a generator's characteristic polynomial, and
// x^e mod p by left-to-right square-and-multiply.
#include <cpuid.h>
#include <immintrin.h>

#include <cstring>

#include "ptz/brng/twister_polys.h"

namespace {

constexpr int32_t kBaseWords = 8;   // schoolbook at and below this size
constexpr int32_t kToomWords = 39;  // Toom-3 at and above this size

// Schoolbook products r (2n words) = a * b (n words each), n <= kBaseWords.

// 64 x 64 -> 128-bit carry-less products with shifts and exclusive-ors: a
// 16-entry table of a word's multiples by every 4-bit pattern (built once per
// word of a), then one lookup per nibble of the other word. The table keeps
// only the low 61 bits of the word so that no entry overflows 64 bits; its
// top three bits are added one by one at the end.
struct Portable {
    static void school(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r) {
        std::memset(r, 0, size_t(2 * n) * sizeof(uint64_t));
        for (int32_t i = 0; i < n; ++i) {
            const uint64_t a61 = a[i] & 0x1FFFFFFFFFFFFFFFull;
            uint64_t t[16];
            t[0] = 0;
            for (int q = 1; q < 16; ++q) t[q] = (t[q >> 1] << 1) ^ (q & 1 ? a61 : 0);
            for (int32_t j = 0; j < n; ++j) {
                const uint64_t w = b[j];
                uint64_t l = t[w & 15], h = 0;
                for (int q = 4; q < 64; q += 4) {
                    const uint64_t u = t[(w >> q) & 15];
                    l ^= u << q;
                    h ^= u >> (64 - q);
                }
                for (int p = 61; p < 64; ++p) {
                    const uint64_t m = uint64_t(0) - ((a[i] >> p) & 1);
                    l ^= (w << p) & m;
                    h ^= (w >> (64 - p)) & m;
                }
                r[i + j] ^= l;
                r[i + j + 1] ^= h;
            }
        }
    }
};

// The processor's carry-less multiply (not part of the SSE2..SSE4.1 levels, so
// it runs only after the processor has reported it). acc[k] gathers the
// 128-bit products of the word pairs i + j = k.
struct Clmul {
    __attribute__((target("pclmul,sse2"))) static void school(const uint64_t* a, const uint64_t* b, int32_t n,
                                                             uint64_t* r) {
        __m128i acc[2 * kBaseWords];
        for (int32_t k = 0; k < 2 * n; ++k) acc[k] = _mm_setzero_si128();
        for (int32_t i = 0; i < n; ++i) {
            const __m128i ai = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i));
            int32_t j = 0;
            for (; j + 2 <= n; j += 2) {  // two words of b per load
                const __m128i bj = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + j));
                acc[i + j] = _mm_xor_si128(acc[i + j], _mm_clmulepi64_si128(ai, bj, 0x00));
                acc[i + j + 1] = _mm_xor_si128(acc[i + j + 1], _mm_clmulepi64_si128(ai, bj, 0x10));
            }
            if (j < n) {
                const __m128i bj = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + j));
                acc[i + j] = _mm_xor_si128(acc[i + j], _mm_clmulepi64_si128(ai, bj, 0x00));
            }
        }
        alignas(16) uint64_t w[2];
        uint64_t carry = 0;
        for (int32_t k = 0; k < 2 * n; ++k) {
            _mm_store_si128(reinterpret_cast<__m128i*>(w), acc[k]);
            r[k] = w[0] ^ carry;
            carry = w[1];
        }
    }
};

bool has_clmul() {
    static const bool yes = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) && (c & (1u << 1));
    }();
    return yes;
}

inline void xor_into(uint64_t* r, const uint64_t* a, int32_t n) {
    for (int32_t i = 0; i < n; ++i) r[i] ^= a[i];
}

// r (n + 1 words) = a (n words) * x^s, 0 <= s < 64.
inline void shl_small(const uint64_t* a, int32_t n, int s, uint64_t* r) {
    uint64_t carry = 0;
    for (int32_t i = 0; i < n; ++i) {
        r[i] = (a[i] << s) | carry;
        carry = s ? a[i] >> (64 - s) : 0;
    }
    r[n] = carry;
}

// Exact division by (x + 1) in place: q_i = u_i ^ q_{i-1}, a prefix xor over
// the bits, done word-wise with the carry of the previous word's top bit.
inline void div_x_plus_1(uint64_t* u, int32_t n) {
    uint64_t carry = 0;
    for (int32_t i = 0; i < n; ++i) {
        uint64_t v = u[i];
        v ^= v << 1, v ^= v << 2, v ^= v << 4, v ^= v << 8, v ^= v << 16, v ^= v << 32;
        v ^= carry;
        u[i] = v;
        carry = uint64_t(0) - (v >> 63);
    }
}

// Exact division by x in place (shift right one bit).
inline void div_x(uint64_t* u, int32_t n) {
    for (int32_t i = 0; i < n; ++i) u[i] = (u[i] >> 1) | (i + 1 < n ? u[i + 1] << 63 : 0);
}

template <class C>
struct Mul {
    // a = a0 + y a1 with y = x^(64 h): r = P0 + y (P0 + P2 + P1) + y^2 P2,
    // P1 = (a0 + a1)(b0 + b1).
    static void karatsuba(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws) {
        const int32_t h = (n + 1) / 2, l = n - h;
        uint64_t* sa = ws;
        uint64_t* sb = ws + h;
        uint64_t* p1 = ws + 2 * h;
        uint64_t* rest = ws + 4 * h;
        for (int32_t i = 0; i < h; ++i) {
            sa[i] = a[i] ^ (i < l ? a[h + i] : 0);
            sb[i] = b[i] ^ (i < l ? b[h + i] : 0);
        }
        run(sa, sb, h, p1, rest);
        run(a, b, h, r, rest);                  // P0 in r[0 .. 2h)
        std::memset(r + 2 * h, 0, size_t(2 * n - 2 * h) * sizeof(uint64_t));
        if (l > 0) run(a + h, b + h, l, r + 2 * h, rest);  // P2 in r[2h .. 2n)
        xor_into(p1, r, 2 * h);
        xor_into(p1, r + 2 * h, 2 * l);
        xor_into(r + h, p1, 2 * h < 2 * n - h ? 2 * h : 2 * n - h);
    }

    // Toom-3 over GF(2)[x] with the evaluation points 0, 1, x, x + 1 and
    // infinity; parts of k words, evaluations of k + 1 words (two extra bits).
    // With S1 = W1 + c0 + c4, Sx = (Wx + c0 + x^4 c4) / x and
    // Sx1 = Wx1 + c0 + (x^4 + 1) c4:
    //   T = (Sx1 + S1) / x = c1 + x c2 + (x^2 + x + 1) c3,
    //   c3 = (T + Sx) / (x + 1), c2 = (Sx + x^2 c3 + S1 + c3) / (x + 1),
    //   c1 = S1 + c2 + c3.
    static void toom3(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws) {
        const int32_t k = (n + 2) / 3, k2 = n - 2 * k;  // part sizes k, k, k2 (k2 <= k)
        const int32_t e = k + 1, w = 2 * e;              // evaluation and product sizes
        uint64_t* ea = ws;                               // evaluations, e words each
        uint64_t* eb = ws + e;
        uint64_t* w1 = ws + 2 * e;                       // products, w words each
        uint64_t* wx = w1 + w;
        uint64_t* wx1 = wx + w;
        uint64_t* tmp = wx1 + w;                         // 2 e words
        uint64_t* rest = tmp + 2 * e;
        const uint64_t *a0 = a, *a1 = a + k, *a2 = a + 2 * k;
        const uint64_t *b0 = b, *b1 = b + k, *b2 = b + 2 * k;

        // Each evaluation: a0 + a1 v + a2 v^2 for v = 1, x, x + 1.
        auto eval = [&](const uint64_t* p0, const uint64_t* p1, const uint64_t* p2, int pt, uint64_t* out) {
            std::memset(out, 0, size_t(e) * sizeof(uint64_t));
            std::memcpy(out, p0, size_t(k) * sizeof(uint64_t));
            uint64_t* sh = tmp;  // k + 1 words
            if (pt != 1) {       // x a1 (+ a1 for x + 1)
                shl_small(p1, k, 1, sh);
                xor_into(out, sh, k + 1);
            }
            if (pt != 2) xor_into(out, p1, k);
            std::memset(sh, 0, size_t(k + 1) * sizeof(uint64_t));
            if (k2 > 0) {
                if (pt != 1) {  // x^2 a2 (+ a2 for x + 1: (x + 1)^2 = x^2 + 1)
                    shl_small(p2, k2, 2, sh);
                    xor_into(out, sh, k2 + 1);
                }
                if (pt != 2) xor_into(out, p2, k2);
            }
        };
        eval(a0, a1, a2, 1, ea), eval(b0, b1, b2, 1, eb), run(ea, eb, e, w1, rest);
        eval(a0, a1, a2, 2, ea), eval(b0, b1, b2, 2, eb), run(ea, eb, e, wx, rest);
        eval(a0, a1, a2, 3, ea), eval(b0, b1, b2, 3, eb), run(ea, eb, e, wx1, rest);

        // c0 = a0 b0 into r[0 .. 2k), c4 = a2 b2 into r[4k .. 2n).
        std::memset(r, 0, size_t(2 * n) * sizeof(uint64_t));
        run(a0, b0, k, r, rest);
        uint64_t* c4 = r + 4 * k;
        if (k2 > 0) run(a2, b2, k2, c4, rest);
        const int32_t n0 = 2 * k, n4 = 2 * k2;

        // S1 in w1, Sx in wx, Sx1 in wx1.
        xor_into(w1, r, n0), xor_into(w1, c4, n4);
        xor_into(wx1, r, n0), xor_into(wx1, c4, n4);
        xor_into(wx, r, n0);
        if (n4 > 0) {
            shl_small(c4, n4, 4, tmp);  // x^4 c4: n4 + 1 <= w words
            xor_into(wx, tmp, n4 + 1);
            xor_into(wx1, tmp, n4 + 1);
        }
        div_x(wx, w);
        // T = (Sx1 + S1) / x into wx1; c3 = (T + Sx) / (x + 1) into wx1.
        xor_into(wx1, w1, w);
        div_x(wx1, w);
        xor_into(wx1, wx, w);
        div_x_plus_1(wx1, w);
        // c2 = (Sx + x^2 c3 + S1 + c3) / (x + 1) into wx.
        xor_into(wx, w1, w);
        xor_into(wx, wx1, w);
        shl_small(wx1, w - 1, 2, tmp);  // c3 has fewer than 64 (w - 1) bits
        xor_into(wx, tmp, w);
        div_x_plus_1(wx, w);
        // c1 = S1 + c2 + c3 into w1.
        xor_into(w1, wx, w);
        xor_into(w1, wx1, w);
        // Place c1, c2, c3 at k, 2k, 3k words (bounded by the product's 2n words).
        auto add_at = [&](int32_t at, const uint64_t* c) { xor_into(r + at, c, w < 2 * n - at ? w : 2 * n - at); };
        add_at(k, w1), add_at(2 * k, wx), add_at(3 * k, wx1);
    }

    static void run(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws) {
        if (n <= kBaseWords) {
            C::school(a, b, n, r);
        } else if (n >= kToomWords) {
            toom3(a, b, n, r, ws);
        } else {
            karatsuba(a, b, n, r, ws);
        }
    }
};

// r (2n words) = a (n words) squared: over GF(2) the square only spreads the
// bits (bit i goes to bit 2i).
void square(const uint64_t* a, int32_t n, uint64_t* r) {
    auto spread = [](uint32_t v) {
        uint64_t x = v;
        x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
        x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
        x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;
        x = (x | (x << 2)) & 0x3333333333333333ull;
        x = (x | (x << 1)) & 0x5555555555555555ull;
        return x;
    };
    for (int32_t i = 0; i < n; ++i) {
        r[2 * i] = spread(uint32_t(a[i]));
        r[2 * i + 1] = spread(uint32_t(a[i] >> 32));
    }
}

// out (n words) = bits [s, s + 64 n) of a (a has at least as many words as read).
void shr_bits(const uint64_t* a, int32_t avail, int32_t s, int32_t n, uint64_t* out) {
    const int32_t w = s / 64, b = s % 64;
    for (int32_t i = 0; i < n; ++i) {
        const uint64_t lo = w + i < avail ? a[w + i] : 0;
        const uint64_t hi = w + i + 1 < avail ? a[w + i + 1] : 0;
        out[i] = b ? (lo >> b) | (hi << (64 - b)) : lo;
    }
}

// Keeps bits below `bits` of a (n words).
void truncate(uint64_t* a, int32_t n, int32_t bits) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t lo = 64 * i;
        if (lo >= bits) a[i] = 0;
        else if (bits - lo < 64) a[i] &= (uint64_t(1) << (bits - lo)) - 1;
    }
}

template <class C>
void x_pow_mod_with(uint64_t e, const ptz::gf2::Modulus& m, uint64_t* g, uint64_t* ws) {
    const int32_t n = m.words(), D = m.degree;
    uint64_t* p = ws;          // n words
    uint64_t* mu = p + n;      // n words
    uint64_t* sq = mu + n;     // 2n words
    uint64_t* h = sq + 2 * n;  // n words
    uint64_t* prod = h + n;    // 2n words
    uint64_t* rest = prod + 2 * n;
    std::memset(p, 0, size_t(2 * n) * sizeof(uint64_t));
    for (int32_t i = 0; i < m.terms; ++i) p[m.exponents[i] / 64] |= uint64_t(1) << (m.exponents[i] % 64);
    std::memcpy(mu, m.barrett, size_t(m.barrett_words) * sizeof(uint64_t));

    // Leading bits of e form an exponent below D: g = x^that, no reduction.
    int top = 63 - __builtin_clzll(e);
    uint64_t lead = 0;
    while (top >= 0 && ((lead << 1) | ((e >> top) & 1)) < uint64_t(D)) lead = (lead << 1) | ((e >> top--) & 1);
    std::memset(g, 0, size_t(n) * sizeof(uint64_t));
    g[lead / 64] = uint64_t(1) << (lead % 64);

    for (; top >= 0; --top) {
        // g = g^2 mod p by Barrett: q = floor(floor(g^2 / x^D) mu / x^D),
        // g^2 mod p = low D bits of g^2 + q p (exact over GF(2)).
        square(g, n, sq);
        shr_bits(sq, 2 * n, D, n, h);
        Mul<C>::run(h, mu, n, prod, rest);
        shr_bits(prod, 2 * n, D, n, h);
        Mul<C>::run(h, p, n, prod, rest);
        for (int32_t i = 0; i < n; ++i) g[i] = sq[i] ^ prod[i];
        truncate(g, n, D);
        if ((e >> top) & 1) {  // g = x g mod p: a shift, then p once if bit D is set
            uint64_t carry = 0;
            for (int32_t i = 0; i < n; ++i) {
                const uint64_t v = g[i];
                g[i] = (v << 1) | carry;
                carry = v >> 63;
            }
            if ((g[D / 64] >> (D % 64)) & 1) xor_into(g, p, n);
        }
    }
}

}  // namespace

namespace ptz::gf2 {

uint32_t mul_workspace_words(int32_t n) {
    // Each level takes at most 5 (k + 1) + 3 (2k + 2) words (Toom-3) or 4h
    // (Karatsuba) of a size n/3 or n/2 + 1 level below: 12 n + 64 covers all.
    return uint32_t(12 * n + 64);
}

uint32_t pow_workspace_words(const Modulus& m) {
    const int32_t n = m.words();
    return uint32_t(7 * n) + mul_workspace_words(n);
}

void mul(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws) {
    if (has_clmul()) Mul<Clmul>::run(a, b, n, r, ws);
    else Mul<Portable>::run(a, b, n, r, ws);
}

void mul_portable(const uint64_t* a, const uint64_t* b, int32_t n, uint64_t* r, uint64_t* ws) {
    Mul<Portable>::run(a, b, n, r, ws);
}

void x_pow_mod(uint64_t e, const Modulus& m, uint64_t* g, uint64_t* ws) {
    if (has_clmul()) x_pow_mod_with<Clmul>(e, m, g, ws);
    else x_pow_mod_with<Portable>(e, m, g, ws);
}

}  // namespace ptz::gf2
