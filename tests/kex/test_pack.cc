// Pack and unpack by increment, index list and mask, through the entry points
// (32-bit integers) and the kernels' 64-bit form.
#include <functional>

#include "kex_test_util.h"

namespace {

using V = std::vector<double>;
const V kA = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21};

// y as a call leaves it when it starts as six -1s.
V after(const std::function<void(double*)>& call) {
    V y(6, -1);
    call(y.data());
    return y;
}

TEST(Pack, GatherAndScatterThroughTheEntryPoints) {
    const double* a = kA.data();
    const int32_t idx[3] = {5, 0, 11}, mask[4] = {0, 1, 0, 1}, where[2] = {4, 1};
    EXPECT_EQ(after([&](double* y) { _kexdPackI(4, a, 3, y); }), (V{10, 13, 16, 19, -1, -1}));  // y[i] = a[3i]
    EXPECT_EQ(after([&](double* y) { _kexdPackV(3, a, idx, y); }), (V{15, 10, 21, -1, -1, -1}));
    EXPECT_EQ(after([&](double* y) { _kexdPackM(4, a, mask, y); }), (V{11, 13, -1, -1, -1, -1}));
    EXPECT_EQ(after([&](double* y) { _kexdUnpackM(4, a, y, mask); }), (V{-1, 10, -1, 11, -1, -1}));
    EXPECT_EQ(after([&](double* y) { _kexdUnpackI(3, a, y, 2); }), (V{10, -1, 11, -1, 12, -1}));
    EXPECT_EQ(after([&](double* y) { _kexdUnpackV(2, a, y, where); }), (V{-1, 11, -1, -1, 10, -1}));
    EXPECT_EQ(after([&](double* y) { _kexdPackI(0, a, 1, y), _kexdUnpackI(-4, a, y, 1); }), V(6, -1));
}

// Flag 1 reads the low halves only; any other flag reads 64-bit counts and
// increments, index entries by their low 32 bits, masks by either half.
TEST(Pack, IntegerWidthFlag) {
    const double* a = kA.data();
    const int64_t high = int64_t(1) << 32, idx64[2] = {high + 7, 1}, mask64[3] = {high, 0, 1};
    EXPECT_EQ(after([&](double* y) { orvu_kex_kernel_dPackI_A0HAynn(high + 2, a, high + 3, y, 1); }),
              (V{10, 13, -1, -1, -1, -1}));
    EXPECT_EQ(after([&](double* y) { orvu_kex_kernel_dPackI_A0HAynn(3, a, 2, y, 0); }), (V{10, 12, 14, -1, -1, -1}));
    EXPECT_EQ(after([&](double* y) { orvu_kex_kernel_dPackV_A0HAynn(2, a, idx64, y, 2); }),
              (V{17, 11, -1, -1, -1, -1}));
    EXPECT_EQ(after([&](double* y) { orvu_kex_kernel_dPackM_A0HAynn(3, a, mask64, y, 0); }),
              (V{10, 12, -1, -1, -1, -1}));  // only the high half set still selects
    EXPECT_EQ(after([&](double* y) { orvu_kex_kernel_dUnpackM_A0HAynn(3, a, y, mask64, 0); }),
              (V{10, -1, 11, -1, -1, -1}));
}

// A signalling NaN double arrives quiet; floats and complex values move bit for bit.
TEST(Pack, ElementsKeepTheirBits) {
    const uint64_t snan = 0x7FF0000000000001ull, qnan = 0x7FF8000000000001ull;
    const uint32_t fsnan = 0x7F800001u;
    double d[3] = {0, -0.0, 4.9e-324}, dy[3];
    float f[1], fy[1];
    std::memcpy(&d[0], &snan, 8), std::memcpy(f, &fsnan, 4);
    _kexdPackI(3, d, 1, dy), _kexsUnpackI(1, f, fy, 1);
    EXPECT_TRUE(!std::memcmp(&dy[0], &qnan, 8) && !std::memcmp(&dy[1], &d[1], 16) && !std::memcmp(f, fy, 4));
    OrvuComplex16 z[2] = {{1, 2}, {3, 4}}, zy[2] = {};
    std::memcpy(&z[1].im, &snan, 8);
    const int32_t idx[2] = {1, 0}, m[3] = {1, 0, 1};
    _kexzPackV(2, z, idx, zy);
    EXPECT_TRUE(std::memcmp(&zy[0], &z[1], sizeof z[1]) == 0 && zy[1].re == 1.0);
    OrvuComplex8 c[3] = {{1, 2}, {3, 4}, {5, 6}}, cy[3] = {};
    _kexcPackM(3, c, m, cy);
    EXPECT_TRUE(cy[0].im == 2.0f && cy[1].im == 6.0f && cy[2].re == 0.0f);
    _kexcUnpackV(1, c, cy, idx);  // cy[1] = c[0]
    EXPECT_TRUE(cy[1].re == 1.0f && cy[1].im == 2.0f);
}

}  // namespace
