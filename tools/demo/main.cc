// The library's main demo: each family that is built contributes one
// function, orvu_demo_<family>(), that runs its routines on real inputs and
// prints what they return. Families not built are skipped.
#include <cstdio>

extern "C" {
__attribute__((weak)) void orvu_demo_kex();
__attribute__((weak)) void orvu_demo_ptz_rng();
__attribute__((weak)) void orvu_demo_ptz_stats();
__attribute__((weak)) void orvu_demo_ptz_stats_order();
__attribute__((weak)) void orvu_demo_ptz_stats_missing();
__attribute__((weak)) void orvu_demo_df();
__attribute__((weak)) void orvu_demo_arrayutil();
}

int main() {
    struct Part { const char* title; void (*run)(); };
    const Part parts[] = {
        {"vector math", orvu_demo_kex},
        {"random numbers", orvu_demo_ptz_rng},
        {"summary statistics", orvu_demo_ptz_stats},
        {"order statistics", orvu_demo_ptz_stats_order},
        {"missing values", orvu_demo_ptz_stats_missing},
        {"data fitting", orvu_demo_df},
        {"array utilities", orvu_demo_arrayutil},
    };
    for (const Part& p : parts) {
        if (!p.run) continue;
        std::printf("==== %s ====\n", p.title);
        p.run();
        std::printf("\n");
    }
    return 0;
}
