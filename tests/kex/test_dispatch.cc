// The function table as built: every row that is switched on exports its
// dispatch table, cost table, entry points and kernels under the published
// names, its slots point at the kernels the table names, and the entry points
// jump through their fixed slots whatever the thread's mode.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "orvu_kex.h"

namespace {

struct Cell {
    const char* isa;
    const char* acc;
    float cost;
};
struct Row {
    bool on;
    char t;
    const char* fn;
    Cell slot[3];
};

#define KEX_CELL_(isa, acc, cost) Cell{#isa, #acc, cost}
#define KEX_CELL(c) KEX_CELL_ c
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) \
    Row{on == 1, #t[0], #fn, {KEX_CELL(la), KEX_CELL(ha), KEX_CELL(ep)}},
const Row kRows[] = {
#include "orvu_kex_functions.def"
};
#undef KEX_FN

void* lib() {
    static void* h = [] {
        Dl_info info;
        dladdr(reinterpret_cast<void*>(&orvu_kex_kernel_GetMode), &info);
        return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    }();
    return h;
}
void* sym(const std::string& name) { return dlsym(lib(), name.c_str()); }

std::string base(const Row& r) { return std::string(1, r.t) + r.fn; }
std::string kernel_name(const Row& r, const Cell& c) {
    return "orvu_kex_kernel_" + base(r) + "_" + c.isa + c.acc + (std::string(c.acc) == "EP" ? "nnn" : "ynn");
}
bool single(const Row& r) { return r.t == 's' || r.t == 'c'; }

TEST(Dispatch, TableHasAllRows) {
    int count[4] = {};
    for (const Row& r : kRows) ++count[std::string("sdcz").find(r.t)];
    EXPECT_EQ(count[0], 58);
    EXPECT_EQ(count[1], 58);
    EXPECT_EQ(count[2], 33);
    EXPECT_EQ(count[3], 33);
}

TEST(Dispatch, ActiveRowsExportTablesEntriesAndKernels) {
    ASSERT_NE(lib(), nullptr);
    int active = 0;
    for (const Row& r : kRows) {
        const std::string b = base(r);
        void* ttab = sym("orvu_kex_kernel_" + b + "_ttab");
        if (!r.on) {
            EXPECT_EQ(ttab, nullptr) << b << " is off but exported";
            EXPECT_EQ(sym("_kex" + b), nullptr) << b;
            continue;
        }
        ++active;
        ASSERT_NE(ttab, nullptr) << b;
        auto* slots = static_cast<void**>(ttab);
        auto* costs = static_cast<const float*>(sym("orvu_kex_kernel_" + b + "_ctab"));
        ASSERT_NE(costs, nullptr) << b;
        for (int s = 0; s < 3; ++s) {
            void* k = sym(kernel_name(r, r.slot[s]));
            EXPECT_NE(k, nullptr) << kernel_name(r, r.slot[s]);
            EXPECT_EQ(slots[s], k) << b << " slot " << s;
            EXPECT_EQ(costs[s], r.slot[s].cost) << b << " cost " << s;
        }
        const char* la = single(r) ? "_21" : "_50";
        const char* ep = single(r) ? "_11" : "_26";
        for (const std::string& e : {"_kex" + b, "_kex" + b + "_HA", "_kex" + b + la, "_kex" + b + ep})
            EXPECT_NE(sym(e), nullptr) << e;
        // The other type's suffixes do not exist.
        EXPECT_EQ(sym("_kex" + b + (single(r) ? "_50" : "_21")), nullptr) << b;
    }
    std::printf("[ rows    ] %d of %zu function rows are active\n", active, std::size(kRows));
    EXPECT_GE(active, 8);
}

// Kernels that record which slot was entered.
int g_hit = -1;
void slot0(int32_t, const float*, const float*, float*) { g_hit = 0; }
void slot1(int32_t, const float*, const float*, float*) { g_hit = 1; }
void slot2(int32_t, const float*, const float*, float*) { g_hit = 2; }
void dslot0(int32_t, const double*, double*) { g_hit = 10; }
void dslot2(int32_t, const double*, double*) { g_hit = 12; }

TEST(Dispatch, EntryPointsUseFixedSlotsWhateverTheMode) {
    KexKernel_sbinary saved[3];
    std::copy(orvu_kex_kernel_sAdd_ttab, orvu_kex_kernel_sAdd_ttab + 3, saved);
    orvu_kex_kernel_sAdd_ttab[0] = slot0;
    orvu_kex_kernel_sAdd_ttab[1] = slot1;
    orvu_kex_kernel_sAdd_ttab[2] = slot2;
    KexKernel_dunary dsaved[3];
    std::copy(orvu_kex_kernel_dSqr_ttab, orvu_kex_kernel_dSqr_ttab + 3, dsaved);
    orvu_kex_kernel_dSqr_ttab[0] = dslot0;
    orvu_kex_kernel_dSqr_ttab[2] = dslot2;
    const uint32_t prev = orvu_kex_kernel_SetMode(KEX_MODE_LA);
    for (uint32_t mode : {KEX_MODE_LA, KEX_MODE_HA, KEX_MODE_EP}) {
        orvu_kex_kernel_SetMode(mode);
        float f = 0;
        _kexsAdd(1, &f, &f, &f);
        EXPECT_EQ(g_hit, 1);
        _kexsAdd_21(1, &f, &f, &f);
        EXPECT_EQ(g_hit, 0);
        _kexsAdd_HA(1, &f, &f, &f);
        EXPECT_EQ(g_hit, 1);
        _kexsAdd_11(1, &f, &f, &f);
        EXPECT_EQ(g_hit, 2);
        double d = 0;
        _kexdSqr_50(1, &d, &d);
        EXPECT_EQ(g_hit, 10);
        _kexdSqr_26(1, &d, &d);
        EXPECT_EQ(g_hit, 12);
    }
    orvu_kex_kernel_SetMode(prev);
    std::copy(saved, saved + 3, orvu_kex_kernel_sAdd_ttab);
    std::copy(dsaved, dsaved + 3, orvu_kex_kernel_dSqr_ttab);
}

}  // namespace
