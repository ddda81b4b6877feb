// Pack and unpack: gathers and scatters by increment, index list and mask,
// through the entry points (32-bit integers) and the kernels' 64-bit form;
// elements outside the selection are never written, and a signalling NaN
// double arrives quiet while floats and complex values move bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "orvu_kex.h"

namespace {

std::vector<double> iota(int n, double base) {
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i) v[i] = base + i;
    return v;
}

TEST(Pack, GatherAndScatterThroughTheEntryPoints) {
    using V = std::vector<double>;
    const V a = iota(12, 10);
    V y;
    // y as a call leaves it when it starts as six -1s.
    auto after = [&](auto call) { y.assign(6, -1), call(); return y; };
    const int32_t idx[3] = {5, 0, 11}, mask[4] = {0, 1, 0, 1}, where[2] = {4, 1};
    EXPECT_EQ(after([&] { _kexdPackI(4, a.data(), 3, y.data()); }), (V{10, 13, 16, 19, -1, -1}));  // y[i] = a[3i]
    EXPECT_EQ(after([&] { _kexdPackV(3, a.data(), idx, y.data()); }), (V{15, 10, 21, -1, -1, -1}));
    EXPECT_EQ(after([&] { _kexdPackM(4, a.data(), mask, y.data()); }), (V{11, 13, -1, -1, -1, -1}));
    // y[1] = a[0], y[3] = a[1]
    EXPECT_EQ(after([&] { _kexdUnpackM(4, a.data(), y.data(), mask); }), (V{-1, 10, -1, 11, -1, -1}));
    EXPECT_EQ(after([&] { _kexdUnpackI(3, a.data(), y.data(), 2); }), (V{10, -1, 11, -1, 12, -1}));
    EXPECT_EQ(after([&] { _kexdUnpackV(2, a.data(), y.data(), where); }), (V{-1, 11, -1, -1, 10, -1}));
    EXPECT_EQ(after([&] { _kexdPackI(0, a.data(), 1, y.data()), _kexdUnpackI(-4, a.data(), y.data(), 1); }), V(6, -1));
}

// Flag 1 reads the low halves only; any other flag reads 64-bit counts and
// increments, index entries by their low 32 bits, masks by either half.
TEST(Pack, IntegerWidthFlag) {
    const std::vector<double> a = iota(12, 0);
    std::vector<double> y(4, -1);
    const int64_t high = int64_t(1) << 32;
    orvu_kex_kernel_dPackI_A0HAynn(high + 2, a.data(), high + 3, y.data(), 1);
    EXPECT_EQ(y, (std::vector<double>{0, 3, -1, -1}));
    y.assign(4, -1);
    orvu_kex_kernel_dPackI_A0HAynn(3, a.data(), 2, y.data(), 0);
    EXPECT_EQ(y, (std::vector<double>{0, 2, 4, -1}));

    const int64_t idx64[2] = {high + 7, 1};
    y.assign(4, -1);
    orvu_kex_kernel_dPackV_A0HAynn(2, a.data(), idx64, y.data(), 2);
    EXPECT_EQ(y, (std::vector<double>{7, 1, -1, -1}));

    const int64_t mask64[3] = {high, 0, 1};  // only the high half set still selects
    y.assign(4, -1);
    orvu_kex_kernel_dPackM_A0HAynn(3, a.data(), mask64, y.data(), 0);
    EXPECT_EQ(y, (std::vector<double>{0, 2, -1, -1}));
    y.assign(4, -1);
    orvu_kex_kernel_dUnpackM_A0HAynn(3, a.data(), y.data(), mask64, 0);
    EXPECT_EQ(y, (std::vector<double>{0, -1, 1, -1}));
}

TEST(Pack, ElementsKeepTheirBits) {
    const uint64_t snan = 0x7FF0000000000001ull, qnan = 0x7FF8000000000001ull;
    double d[3], dy[3];
    std::memcpy(&d[0], &snan, 8);
    d[1] = -0.0, d[2] = 4.9e-324;
    _kexdPackI(3, d, 1, dy);
    uint64_t got;
    std::memcpy(&got, &dy[0], 8);
    EXPECT_EQ(got, qnan);  // quieted
    EXPECT_TRUE(std::signbit(dy[1]));
    EXPECT_EQ(dy[2], 4.9e-324);

    const uint32_t fsnan = 0x7F800001u;
    float f[1], fy[1];
    std::memcpy(f, &fsnan, 4);
    _kexsUnpackI(1, f, fy, 1);
    EXPECT_EQ(std::memcmp(f, fy, 4), 0);  // bit for bit

    OrvuComplex16 z[2] = {{1, 2}, {3, 4}}, zy[2] = {};
    std::memcpy(&z[1].im, &snan, 8);
    const int32_t idx[2] = {1, 0};
    _kexzPackV(2, z, idx, zy);
    EXPECT_EQ(std::memcmp(&zy[0], &z[1], sizeof z[1]), 0);
    EXPECT_EQ(zy[1].re, 1.0);
    OrvuComplex8 c[3] = {{1, 2}, {3, 4}, {5, 6}}, cy[3] = {};
    const int32_t m[3] = {1, 0, 1};
    _kexcPackM(3, c, m, cy);
    EXPECT_EQ(cy[1].im, 6.0f);
    _kexcUnpackV(1, c, cy, idx);  // cy[1] = c[0]
    EXPECT_EQ(cy[1].re, 1.0f);
}

}  // namespace
