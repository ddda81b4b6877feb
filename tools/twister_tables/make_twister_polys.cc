// Writes the characteristic polynomials of the MT19937 and SFMT19937 state
// transitions, and the Barrett quotients floor(x^(2D) / p) that the skip-ahead
// reduction uses, as C++ source to stdout.
// Usage: make_twister_polys > src/ptz/brng/twister_polys.cc
//
// Nothing is typed in: each polynomial is the minimal polynomial of one output
// bit sequence of the generator, found by Berlekamp-Massey over GF(2) from
// 2 D bits. MT19937 steps one 32-bit word at a time; the sequence is bit 0 of
// the raw (untempered) words. SFMT19937 steps one 128-bit word at a time; the
// sequence is bit 0 of each new 128-bit word, and the state it starts from is
// left uncertified so that every factor of the degree-19968 transition
// polynomial shows in the sequence. Runs in well under a second.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Bits = std::vector<uint64_t>;

bool get(const Bits& b, size_t i) { return (b[i / 64] >> (i % 64)) & 1; }
void flip(Bits& b, size_t i) { b[i / 64] ^= uint64_t(1) << (i % 64); }

// 64 bits of b starting at bit o (bits past the end read as 0).
uint64_t window(const Bits& b, size_t o) {
    const size_t w = o / 64, s = o % 64;
    uint64_t lo = w < b.size() ? b[w] : 0;
    if (s == 0) return lo;
    const uint64_t hi = w + 1 < b.size() ? b[w + 1] : 0;
    return (lo >> s) | (hi << (64 - s));
}

// Connection polynomial C (C[0] = 1, degree L) of the shortest LFSR producing
// s[0..n-1]: s[k] = sum_{i=1..L} C[i] s[k-i]. The discrepancy at step k is the
// parity of C AND (s[k], s[k-1], ...), read word-wise from the reversed
// sequence so that both run in ascending bit order.
Bits berlekamp_massey(const std::vector<uint8_t>& s, int* degree) {
    const size_t n = s.size(), words = n / 64 + 2;
    Bits rev(words, 0);
    for (size_t k = 0; k < n; ++k)
        if (s[k]) flip(rev, n - 1 - k);
    Bits c(words, 0), b(words, 0), t;
    flip(c, 0), flip(b, 0);
    size_t len = 0, m = 1;
    for (size_t k = 0; k < n; ++k) {
        // s[k - i] is rev[n - 1 - k + i].
        uint64_t acc = 0;
        for (size_t i = 0; i <= len; i += 64) {
            uint64_t cw = c[i / 64];
            if (len - i < 63) cw &= (uint64_t(2) << (len - i)) - 1;
            acc ^= cw & window(rev, n - 1 - k + i);
        }
        if (!__builtin_parityll(acc)) {
            ++m;
            continue;
        }
        t = c;
        // c += x^m b
        const size_t ws = m / 64, bs = m % 64;
        for (size_t i = words; i-- > ws;) {
            uint64_t v = b[i - ws] << bs;
            if (bs && i - ws >= 1) v |= b[i - ws - 1] >> (64 - bs);
            c[i] ^= v;
        }
        if (2 * len <= k) {
            len = k + 1 - len;
            b = t;
            m = 1;
        } else {
            ++m;
        }
    }
    *degree = int(len);
    return c;
}

std::vector<uint8_t> mt19937_bits(size_t count) {
    uint32_t mt[624];
    mt[0] = 5489;
    for (uint32_t j = 1; j < 624; ++j) mt[j] = 1812433253u * (mt[j - 1] ^ (mt[j - 1] >> 30)) + j;
    std::vector<uint8_t> s(count);
    for (size_t k = 0; k < count; ++k) {
        const size_t i = k % 624;
        const uint32_t x = (mt[i] & 0x80000000u) | (mt[(i + 1) % 624] & 0x7FFFFFFFu);
        mt[i] = mt[(i + 397) % 624] ^ (x >> 1) ^ (x & 1 ? 0x9908B0DFu : 0);
        s[k] = mt[i] & 1;
    }
    return s;
}

std::vector<uint8_t> sfmt19937_bits(size_t count) {
    uint32_t w[624];
    w[0] = 4321;  // a plain 32-bit fill, never period-certified
    for (uint32_t j = 1; j < 624; ++j) w[j] = 1812433253u * (w[j - 1] ^ (w[j - 1] >> 30)) + j;
    const uint32_t msk[4] = {0xDFFFFFEFu, 0xDDFECB7Fu, 0xBFFAFFFFu, 0xBFFFFFF6u};
    std::vector<uint8_t> s(count);
    for (size_t k = 0; k < count; ++k) {
        const size_t i = k % 156;
        const uint32_t* a = w + 4 * i;
        const uint32_t* b = w + 4 * ((i + 122) % 156);
        const uint32_t* c = w + 4 * ((i + 154) % 156);
        const uint32_t* d = w + 4 * ((i + 155) % 156);
        const uint64_t a_lo = a[0] | uint64_t(a[1]) << 32, a_hi = a[2] | uint64_t(a[3]) << 32;
        const uint64_t c_lo = c[0] | uint64_t(c[1]) << 32, c_hi = c[2] | uint64_t(c[3]) << 32;
        const uint64_t x_lo = a_lo << 8, x_hi = (a_hi << 8) | (a_lo >> 56);  // a << 8 bits
        const uint64_t y_lo = (c_lo >> 8) | (c_hi << 56), y_hi = c_hi >> 8;  // c >> 8 bits
        uint32_t r[4];
        for (int q = 0; q < 4; ++q) {
            const uint32_t xs = uint32_t(q < 2 ? x_lo >> (32 * q) : x_hi >> (32 * (q - 2)));
            const uint32_t ys = uint32_t(q < 2 ? y_lo >> (32 * q) : y_hi >> (32 * (q - 2)));
            r[q] = a[q] ^ xs ^ ((b[q] >> 11) & msk[q]) ^ ys ^ (d[q] << 18);
        }
        for (int q = 0; q < 4; ++q) w[4 * i + q] = r[q];
        s[k] = r[0] & 1;
    }
    return s;
}

// floor(x^(2D) / p) by long division, p of degree D.
Bits barrett_quotient(const Bits& p, int d) {
    const size_t words = size_t(2 * d) / 64 + 2;
    Bits rem(words, 0), q(words, 0);
    flip(rem, size_t(2 * d));
    for (int k = 2 * d; k >= d; --k) {
        if (!get(rem, size_t(k))) continue;
        flip(q, size_t(k - d));
        for (int e = 0; e <= d; ++e)
            if (get(p, size_t(e))) flip(rem, size_t(k - d + e));
    }
    q.resize(size_t(d) / 64 + 1);
    return q;
}

// Prints p as an exponent list and returns its Barrett quotient.
Bits emit_poly(const char* name, const std::vector<uint8_t>& seq, int expect_degree) {
    int len = 0;
    const Bits c = berlekamp_massey(seq, &len);
    if (len != expect_degree) {
        std::fprintf(stderr, "%s: degree %d, expected %d\n", name, len, expect_degree);
        std::exit(1);
    }
    // The characteristic polynomial is the reciprocal of the connection polynomial.
    Bits p(size_t(len) / 64 + 1, 0);
    std::vector<int> exps;
    for (int e = 0; e <= len; ++e)
        if (get(c, size_t(len - e))) {
            exps.push_back(e);
            flip(p, size_t(e));
        }
    std::printf("const int32_t %s[%zu] = {", name, exps.size());
    for (size_t i = 0; i < exps.size(); ++i)
        std::printf("%s%d", i == 0 ? "\n    " : i % 12 ? ", " : ",\n    ", exps[i]);
    std::printf("};\n\n");
    return barrett_quotient(p, len);
}

void emit_words(const char* name, const Bits& mu) {
    std::printf("const uint64_t %s[%zu] = {", name, mu.size());
    for (size_t i = 0; i < mu.size(); ++i)
        std::printf("%s0x%016" PRIX64 "u", i == 0 ? "\n    " : i % 4 ? ", " : ",\n    ", mu[i]);
    std::printf("};\n\n");
}

}  // namespace

int main() {
    std::printf(
        "// Generated by tools/twister_tables/make_twister_polys.cc; do not edit by hand.\n"
        "// Characteristic polynomials of the MT19937 and SFMT19937 transitions as\n"
        "// ascending exponent lists, and their Barrett quotients floor(x^(2D) / p)\n"
        "// as little-endian 64-bit words.\n"
        "#include \"ptz/brng/twister_polys.h\"\n\nextern \"C\" {\n\n");
    const Bits mt = emit_poly("_ptz_mt19937_poly", mt19937_bits(2 * 19937 + 64), 19937);
    const Bits sfmt = emit_poly("_ptz_sfmt19937_poly", sfmt19937_bits(2 * 19968 + 64), 19968);
    std::printf("}  // extern \"C\"\n\nnamespace ptz {\n\n");
    emit_words("kMt19937Barrett", mt);
    emit_words("kSfmt19937Barrett", sfmt);
    std::printf("}  // namespace ptz\n");
    return 0;
}
