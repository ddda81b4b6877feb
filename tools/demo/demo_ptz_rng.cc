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

}  // namespace

extern "C" void orvu_demo_ptz_rng() {
    for (const Named& g : kGenerators) demo_one(g);
    RngStream* s = nullptr;
    std::printf("abstract id given to the plain constructor: status %d\n", __ptzNewStreamEx(&s, PTZ_BRNG_IABSTRACT, 0, nullptr));
}
