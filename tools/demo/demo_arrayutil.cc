// Array utilities on small real inputs: fill, copy, an in-place sort in both
// directions (with signed zeros and a NaN) and an index sort over a stride.
#include <cmath>
#include <cstdio>

#include "orvu_arrayutil.h"

namespace {
void print_floats(const char* title, const float* v, int n) {
    std::printf("%-22s", title);
    for (int i = 0; i < n; ++i) std::printf(" %g", static_cast<double>(v[i]));
    std::printf("\n");
}
}  // namespace

extern "C" void orvu_demo_arrayutil() {
    float a[8], w[8];
    int32_t s = orvu_dft_c5h2_yobsSet_32f(2.5f, a, 8);
    print_floats("set 2.5:", a, 8);
    std::printf("zero with length 0 -> status %d, null destination -> %d\n",
                orvu_dft_c5h2_yobsZero_32f(a, 0), orvu_dft_c5h2_yobsZero_32f(nullptr, 0));

    const float input[8] = {3.0f, -0.0f, 0.0f, -7.5f, NAN, 1.0f, -INFINITY, 3.0f};
    s |= orvu_dft_c5h2_yobsCopy_32f(input, a, 8);
    print_floats("input:", a, 8);
    s |= orvu_dft_c5h2_yobsSortRadixAscend_32f_I(a, w, 8);
    print_floats("ascending:", a, 8);
    s |= orvu_dft_c5h2_yobsSortRadixDescend_32f_I(a, w, 8);
    print_floats("descending:", a, 8);

    // Records of (key, payload) pairs: sort the records by key via indices.
    struct Rec { int16_t key; int16_t payload; };
    const Rec recs[6] = {{40, 0}, {-3, 1}, {40, 2}, {7, 3}, {-3, 4}, {0, 5}};
    int32_t idx[6], widx[6];
    s |= orvu_dft_c5h2_yobsSortRadixIndexAscend_16s(&recs[0].key, sizeof(Rec), idx, widx, 6);
    std::printf("records by key:       ");
    for (int i = 0; i < 6; ++i) std::printf(" (%d,%d)", recs[idx[i]].key, recs[idx[i]].payload);
    std::printf("\nstride 1 for 16-bit keys -> status %d\n",
                orvu_dft_c5h2_yobsSortRadixIndexAscend_16s(&recs[0].key, 1, idx, widx, 6));
    std::printf("all calls above returned %d\n", s);
}
