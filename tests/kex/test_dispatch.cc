// Dispatch as a caller sees it: the slot behind every entry-point suffix in any
// mode, every built row's exports, published kernels and costs of a few rows.
#include <dlfcn.h>

#include "kex_test_util.h"

namespace {

void* sym(const std::string& name) {
    static void* lib = [] {
        Dl_info info;
        dladdr(reinterpret_cast<void*>(&orvu_kex_kernel_GetMode), &info);
        return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    }();
    return dlsym(lib, name.c_str());
}
// The exported kernel of a function at a level and accuracy ("A2LA").
void* kernel(const std::string& fn, const std::string& k) {
    return sym("orvu_kex_kernel_" + fn + "_" + k + (k.ends_with("EP") ? "nnn" : "ynn"));
}

// Kernels (level and accuracy) and costs of slots LA, HA, EP as published.
struct Published { const char* fn; const char* kernel[3]; float cost[3]; };
constexpr Published kPublished[] = {
    {"sDiv", {"A2LA", "A4HA", "A2EP"}, {2.41f, 2.86f, 1.9f}},
    {"dDiv", {"A2LA", "A2HA", "A2EP"}, {7.9f, 9.6f, 7.89f}},
    {"dInv", {"A2LA", "A2HA", "A2EP"}, {6.05f, 9.62f, 6.04f}},
    {"sAbs", {"A2HA", "A2HA", "A2HA"}, {1.7f, 1.7f, 1.7f}},
    {"dLinearFrac", {"A5HA", "A5HA", "A5HA"}, {10.26f, 10.26f, 10.26f}},
    {"sRound", {"A5HA", "A5HA", "A5HA"}, {2.64f, 2.64f, 2.64f}},
    {"dModf", {"A2HA", "A2HA", "A2HA"}, {5.27f, 5.27f, 5.27f}},
    {"zPackV", {"A0HA", "A0HA", "A0HA"}, {1111.0f, 1111.0f, 1111.0f}},
    {"dAcosh", {"A2LA", "A2HA", "A2LA"}, {29.37f, 47.0f, 29.37f}},  // EP shares LA's kernel; checked once built
};

// Kernels that record which slot was entered, and the pack width flag.
int g_hit = -1;
int32_t g_flag = -1;
template <int S, class T> void hit(int32_t, const T*, const T*, T*) { g_hit = S; }
template <int S> void hit_pack(int64_t, const double*, int64_t, double*, int32_t flag) { g_hit = S, g_flag = flag; }

TEST(Dispatch, EntryPointsUseFixedSlotsWhateverTheMode) {
    KexKernel_sbinary sk[3] = {hit<0, float>, hit<1, float>, hit<2, float>};
    KexKernel_dbinary dk[3] = {hit<0, double>, hit<1, double>, hit<2, double>};
    KexKernel_dpackI pk[3] = {hit_pack<0>, hit_pack<1>, hit_pack<2>};
    auto swap_tables = [&] {  // in, then back out
        std::swap(orvu_kex_kernel_sAdd_ttab, sk), std::swap(orvu_kex_kernel_dAdd_ttab, dk);
        std::swap(orvu_kex_kernel_dPackI_ttab, pk);
    };
    swap_tables();
    const int slot[4] = {1, 1, 0, 2};  // no suffix, _HA, the LA suffix, the EP suffix
    const KexKernel_sbinary se[] = {_kexsAdd, _kexsAdd_HA, _kexsAdd_21, _kexsAdd_11};
    const KexKernel_dbinary de[] = {_kexdAdd, _kexdAdd_HA, _kexdAdd_50, _kexdAdd_26};
    const decltype(&_kexdPackI) pe[] = {_kexdPackI, _kexdPackI_HA, _kexdPackI_50, _kexdPackI_26};
    const uint32_t prev = orvu_kex_kernel_GetMode();
    for (uint32_t mode : {KEX_MODE_LA, KEX_MODE_HA, KEX_MODE_EP}) {
        orvu_kex_kernel_SetMode(mode);
        for (int i = 0; i < 4; ++i) {
            int h[2];
            se[i](1, nullptr, nullptr, nullptr), h[0] = g_hit, de[i](1, nullptr, nullptr, nullptr), h[1] = g_hit;
            g_flag = -1, pe[i](1, nullptr, 1, nullptr);  // pack entries pass the caller's words and add the flag 1
            EXPECT_TRUE(h[0] == slot[i] && h[1] == slot[i] && g_hit == slot[i] && g_flag == 1) << mode << " " << i;
        }
    }
    orvu_kex_kernel_SetMode(prev);
    swap_tables();
}

// Every row switched on in the table exports its tables, entry points and the
// kernels its slots name, the published ones for the rows above; a row that is
// off exports nothing.
struct Row { bool on; char t; const char* fn; const char* kernel[3]; };
#define KEX_CELL_(isa, acc, cost) #isa #acc
#define KEX_CELL(c) KEX_CELL_ c
#define KEX_FN(on, family, t, fn, shape, la, ha, ep) \
    Row{on == 1, #t[0], #fn, {KEX_CELL(la), KEX_CELL(ha), KEX_CELL(ep)}},
constexpr Row kRows[] = {
#include "orvu_kex_functions.def"
};
#undef KEX_FN

TEST(Dispatch, EveryBuiltRowIsExportedAsPublished) {
    const bool wide = kex_test::wide_level_expected();
    int count[4] = {}, published = 0;
    for (const Row& r : kRows) {
        ++count[std::string("sdcz").find(r.t)];
        const std::string b = std::string(1, r.t) + r.fn, pre = "orvu_kex_kernel_" + b;
        auto* slots = static_cast<void**>(sym(pre + "_ttab"));
        EXPECT_EQ(slots != nullptr, r.on) << b;
        if (!r.on || !slots) continue;
        const bool single = r.t == 's' || r.t == 'c';
        for (const char* e : {"", "_HA", single ? "_21" : "_50", single ? "_11" : "_26"})
            EXPECT_NE(sym("_kex" + b + e), nullptr) << b << e;
        auto* costs = static_cast<const float*>(sym(pre + "_ctab"));
        ASSERT_NE(costs, nullptr) << b;
        // At a wide level the slots of vector kernels hold their wide copies
        // (compared bit for bit in test_wide_levels.cc).
        auto holds = [&](int s, const char* k) {
            return kernel(b, k) && (wide && k[1] != '0' ? slots[s] != nullptr : slots[s] == kernel(b, k));
        };
        for (int s = 0; s < 3; ++s) EXPECT_TRUE(holds(s, r.kernel[s])) << b << " slot " << s;
        auto p = std::find_if(std::begin(kPublished), std::end(kPublished), [&](auto& p) { return b == p.fn; });
        if (p == std::end(kPublished)) continue;
        ++published;
        for (int s = 0; s < 3; ++s)
            EXPECT_TRUE(holds(s, p->kernel[s]) && costs[s] == p->cost[s]) << b << " published slot " << s;
    }
    EXPECT_TRUE(count[0] == 58 && count[1] == 58 && count[2] == 33 && count[3] == 33 && published >= 8);
}

}  // namespace
