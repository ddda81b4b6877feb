// The kernel-selection data: names of the table entries and the levels the
// requirement sets lead to.
#include <gtest/gtest.h>

#include <string>

#include "ptz/stats/basic_plan.h"

namespace {
using namespace orvu::ss;

TEST(KernelTables, EntryNames) {
    struct Case { Pass pass; int index; const char* name; };
    const Case cases[] = {
        {kPass1p, 0, "_vSSBasic1pR_R1___C____"},  {kPass1p, 7, "_vSSBasic1pR_R1234C234C"},
        {kPass1p, 31, "_vSSBasic1pCWR1234C234C"}, {kPass1p, 10, "_vSSBasic1pRWR1___C2___"},
        {kPassFast, 0, "_vSSBasicFastR_R1___"},   {kPassFast, 15, "_vSSBasicFastCWR1234"},
        {kPass2p, 0, "_vSSBasic2pR_R____C2__"},   {kPass2p, 15, "_vSSBasic2pCWR_234C234"},
    };
    char buf[40];
    for (const Case& c : cases) {
        kernel_name(c.pass, c.index, buf);
        EXPECT_STREQ(c.name, buf);
    }
    for (int i = 0; i < 32; ++i) EXPECT_NE(nullptr, kKernelsD.one_pass[i]);
    for (int i = 0; i < 16; ++i) EXPECT_NE(kKernelsS.fast[i], nullptr);
}

TEST(KernelTables, LowestCoveringLevel) {
    double a[4];
    int32_t p = 1;
    SSTask* t = nullptr;
    __ptzdSSNewTask(&t, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (int id : {7, 8, 9, 10, 11, 12, 13, 14, 15, 18, 19, 21, 67, 68, 69, 70, 71, 72, 73, 74}) __ptzdSSEditTask(t, id, a);
    struct Case { uint64_t mask; int method; int level; bool cp; };
    const Case cases[] = {
        {ORVU_SS_MEAN, 2, 0, false},        {ORVU_SS_CEN_SUM2, 2, 1, false},   {ORVU_SS_CEN2, 2, 2, false},
        {ORVU_SS_SKEWNESS, 2, 3, false},    {ORVU_SS_COV, 2, 0, true},         {ORVU_SS_RAW2, 1, 1, false},
        {ORVU_SS_CEN3, 1, 2, false},        {ORVU_SS_KURTOSIS, 1, 3, false},   {ORVU_SS_CEN2, 0x100, 3, false},
        {ORVU_SS_CEN_SUM2, 0x100, 0, false}, {ORVU_SS_CEN_SUM3, 0x100, 1, false}, {ORVU_SS_CEN_SUM4, 0x100, 2, false},
    };
    for (const Case& c : cases) {
        BasicPlan pl;
        ASSERT_EQ(0, make_basic_plan(t, c.mask, c.method, &pl));
        EXPECT_EQ(c.level, pl.level) << c.mask << " " << c.method;
        EXPECT_EQ(c.cp, pl.cp);
    }
    __ptzSSDeleteTask(&t);
}

}  // namespace
