// Random streams: each basic generator drawn, split by leapfrog, moved by
// skip-ahead, saved to memory and reloaded.
#include <cstdio>
#include <vector>

#include "orvu_ptz_rng.h"

namespace {

struct Named {
    const char* name;
    int32_t id;
};
constexpr Named kGenerators[] = {
    {"MCG31M1", PTZ_BRNG_MCG31}, {"R250", PTZ_BRNG_R250}, {"MRG32K3A", PTZ_BRNG_MRG32K3A},
    {"MCG59", PTZ_BRNG_MCG59},   {"WH set 7", PTZ_BRNG_WH + 7},
};

void print_draws(const char* label, RngStream* s, const BrngProperties& p) {
    double r[4];
    const int32_t st = p.dBRng(s, 4, r, 0.0, 1.0);
    std::printf("  %-22s status %d: %.9f %.9f %.9f %.9f\n", label, st, r[0], r[1], r[2], r[3]);
}

void demo_one(const Named& g) {
    const uint32_t seed = 20240607;
    RngStream* s = nullptr;
    BrngProperties p{};
    __ptzGetBrngProperties(g.id, &p);
    std::printf("%s (id 0x%X): new stream status %d\n", g.name, unsigned(g.id), __ptzNewStreamEx(&s, g.id, 1, &seed));
    if (!s) return;
    print_draws("first four", s, p);

    RngStream* copy = nullptr;
    __ptzCopyStream(&copy, s);
    int32_t st = __ptzSkipAheadStream(copy, 1000000);
    std::printf("  skip-ahead 10^6       status %d\n", st);
    if (st == 0) print_draws("after the skip", copy, p);
    __ptzDeleteStream(&copy);

    __ptzCopyStream(&copy, s);
    st = __ptzLeapfrogStream(copy, 1, 3);
    std::printf("  leapfrog stream 1 of 3 status %d\n", st);
    if (st == 0) print_draws("its outputs", copy, p);
    __ptzDeleteStream(&copy);

    std::vector<unsigned char> image(size_t(__ptzGetStreamSize(s)));
    st = __ptzSaveStreamM(s, image.data());
    RngStream* back = nullptr;
    const int32_t lt = __ptzLoadStreamM(&back, image.data());
    std::printf("  saved %zu bytes (status %d), reloaded (status %d)\n", image.size(), st, lt);
    if (back) {
        print_draws("original continues", s, p);
        print_draws("reloaded continues", back, p);
    }
    __ptzDeleteStream(&back);
    __ptzDeleteStream(&s);
}

// The distribution generators are built only with the vector-math family;
// without it these references stay null and the block is skipped.
#pragma weak _ptzdRngGaussian
#pragma weak _ptzdRngGamma

// Sample mean and variance of Gaussian and Gamma variates beside the true ones.
void demo_distributions() {
    if (!_ptzdRngGaussian || !_ptzdRngGamma) return;
    const uint32_t seed = 7;
    RngStream* s = nullptr;
    if (__ptzNewStreamEx(&s, PTZ_BRNG_MCG59, 1, &seed) != 0) return;
    std::vector<double> r(200000);
    auto report = [&](const char* what, int32_t st, double mean, double var) {
        double m = 0, v = 0;
        for (double x : r) m += x;
        m /= double(r.size());
        for (double x : r) v += (x - m) * (x - m);
        v /= double(r.size() - 1);
        std::printf("  %-34s status %d: mean %9.5f (true %9.5f), variance %9.5f (true %9.5f)\n", what, st, m,
                    mean, v, var);
    };
    const int32_t n = int32_t(r.size());
    std::printf("distributions on MCG59, %d variates each\n", n);
    const char* methods[] = {"Box-Muller", "Box-Muller2", "inverse CDF"};
    for (int32_t m = 0; m < 3; ++m) {
        char what[64];
        std::snprintf(what, sizeof what, "Gaussian(2, 3), %s", methods[m]);
        report(what, _ptzdRngGaussian(m, s, n, r.data(), 2.0, 3.0), 2.0, 9.0);
    }
    for (double alpha : {0.3, 0.8, 1.0, 4.5}) {
        char what[64];
        std::snprintf(what, sizeof what, "Gamma(alpha %.1f, a 1, beta 2)", alpha);
        report(what, _ptzdRngGamma(0, s, n, r.data(), alpha, 1.0, 2.0), 1.0 + 2.0 * alpha, 4.0 * alpha);
    }
    __ptzDeleteStream(&s);
}

}  // namespace

extern "C" void orvu_demo_ptz_rng() {
    for (const Named& g : kGenerators) demo_one(g);
    demo_distributions();
    RngStream* s = nullptr;
    std::printf("abstract id given to the plain constructor: status %d\n", __ptzNewStreamEx(&s, PTZ_BRNG_IABSTRACT, 0, nullptr));
}
