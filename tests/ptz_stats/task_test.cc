// The task record: creation checks, editors by id and grouped, deletion and
// its hook, the 64-bit integer variant and allocation failure.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <iterator>
#include <utility>

#include "orvu_ptz_stats.h"

namespace {

const void* field_at(const SSTask* t, size_t off) {
    const void* v;
    std::memcpy(&v, reinterpret_cast<const char*>(t) + off, sizeof v);
    return v;
}

struct Fixture : ::testing::Test {
    int32_t p = 3, n = 10, storage = ORVU_SS_X_ROWS;
    double x[30] = {};
    SSTask* task = nullptr;
    void SetUp() override { ASSERT_EQ(0, __ptzdSSNewTask(&task, &p, &n, &storage, x, nullptr, nullptr, nullptr)); }
    void TearDown() override {
        if (task) {
            EXPECT_EQ(0, __ptzSSDeleteTask(&task));
        }
        EXPECT_EQ(0, orvu_serv_test_live_allocations());
    }
};

TEST(TaskCreate, ChecksInOrderAndAllocationFailure) {
    int32_t good = 4, zero = 0, neg = -2, rows = ORVU_SS_X_ROWS, bad = 0x30000;
    double x[4] = {};
    struct Case { const int32_t *p, *n, *stor; const double* x; int32_t status; };
    const Case cases[] = {
        {nullptr, &good, &rows, x, -4001}, {&zero, &good, &rows, x, -4001}, {&neg, nullptr, nullptr, x, -4001},
        {&good, &good, nullptr, x, -4044}, {&good, &good, &bad, x, -4003},  {&good, nullptr, &rows, x, -4002},
        {&good, &neg, &rows, x, -4002},
        // Without x neither n nor the storage code is looked at.
        {&good, nullptr, nullptr, nullptr, 0}, {&good, &neg, &bad, nullptr, 0},
    };
    for (const Case& c : cases) {
        SSTask* t = reinterpret_cast<SSTask*>(0x1);
        EXPECT_EQ(c.status, __ptzdSSNewTask(&t, c.p, c.n, c.stor, c.x, nullptr, nullptr, nullptr));
        if (c.status == 0) {
            EXPECT_EQ(2, t->kind);
            EXPECT_EQ(1, t->isDouble);
            EXPECT_EQ(0, __ptzSSDeleteTask(&t));
            EXPECT_EQ(nullptr, t);
        }
    }
    float xf[4] = {};
    SSTask* t = nullptr;
    ASSERT_EQ(0, __ptzsSSNewTask(&t, &good, &good, &rows, xf, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, t->isDouble);
    __ptzSSDeleteTask(&t);
    orvu_serv_test_fail_allocation(1);
    t = reinterpret_cast<SSTask*>(0x1);
    EXPECT_EQ(-4000, __ptzdSSNewTask(&t, &good, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(nullptr, t);
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

// Through a compute routine: p, n and the storage code are read through the
// caller's pointers at every call, all 64 bits of them with the marker.
TEST(TaskCreate, SixtyFourBitIntegersAreReadWhole) {
    int64_t p = 1, n = 4, rows = ORVU_SS_X_ROWS, high = (int64_t(1) << 32) | ORVU_SS_X_ROWS, groups[4] = {};
    double x[4] = {1, 2, 3, 10}, mean = 0;
    int marker = 1;
    SSTask* t = nullptr;
    EXPECT_EQ(-4003, __ptzdSSNewTask(&t, &p, &n, &high, x, nullptr, nullptr, &marker));
    ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, &n, &rows, x, nullptr, nullptr, &marker));
    __ptzdSSEditPooledCovariance(t, groups, &mean, nullptr, nullptr, nullptr, nullptr);
    auto run = [&] { return _ptzdSSPooledCovariance(t, 0, uint32_t(ORVU_SS_POOLED_MEAN >> 32), 2, 0, nullptr); };
    EXPECT_EQ(0, run());
    EXPECT_EQ(4.0, mean);
    n = 3;   // no edit: the next call reads the new value
    EXPECT_EQ(0, run());
    EXPECT_EQ(2.0, mean);
    n = int64_t(0xFFFFFFFF00000003u);   // the low word alone would read as 3
    EXPECT_EQ(-4002, run());
    n = 3;
    rows = high;
    EXPECT_EQ(-4003, run());
    __ptzSSDeleteTask(&t);
}

// A handful of rows of the parameter table, written out: id, the field it
// sets, whether it is an integer parameter, and the status of a null value.
struct ParamRow { int id; size_t offset; bool is_int; int32_t code; };
#define ROW(id, field, is_int, code) {id, offsetof(SSTask, field), is_int, code}
const ParamRow kParams[] = {
    ROW(1, p, true, -4001),            ROW(2, n, true, -4002),           ROW(3, x, false, -4032),
    ROW(4, xStorage, true, -4044),     ROW(5, indices, true, -4004),     ROW(6, weights, false, -4005),
    ROW(7, mean, false, -4006),        ROW(18, variation, false, -4017), ROW(19, cov, false, -4018),
    ROW(23, accumWeight, false, -4020), ROW(24, quantOrderN, true, -4022), ROW(25, quantOrders, false, -4021),
    ROW(28, groupIndices, true, -4038), ROW(37, robustParamsN, true, -4043), ROW(39, robustMean, false, -4028),
    ROW(54, miCountB, true, -4055),    ROW(55, miArrayB, false, -4054),  ROW(58, miCountA, true, -4061),
    ROW(60, paramCor, false, -4071),   ROW(62, streamQuantParamsN, true, -4066), ROW(74, cp, false, -4081),
    ROW(75, cpStorage, true, -4044),   ROW(76, medianAbsDev, false, -4082), ROW(77, meanAbsDev, false, -4083),
};
#undef ROW

TEST_F(Fixture, NullCodesKindRuleAndTargetField) {
    double arr[4] = {};
    int32_t ival = 1;
    for (const ParamRow& r : kParams) {
        SCOPED_TRACE(r.id);
        const void* before = field_at(task, r.offset);
        if (r.is_int) {
            EXPECT_EQ(r.code, __ptziSSEditTask(task, r.id, nullptr));
            EXPECT_EQ(-3, __ptzdSSEditTask(task, r.id, arr));
            EXPECT_EQ(before, field_at(task, r.offset));
            EXPECT_EQ(0, __ptziSSEditTask(task, r.id, &ival));
            EXPECT_EQ(&ival, field_at(task, r.offset));
        } else {
            EXPECT_EQ(r.code, __ptzdSSEditTask(task, r.id, nullptr));
            EXPECT_EQ(r.code, __ptzsSSEditTask(task, r.id, nullptr));
            EXPECT_EQ(-3, __ptziSSEditTask(task, r.id, &ival));
            EXPECT_EQ(before, field_at(task, r.offset));
            EXPECT_EQ(0, __ptzdSSEditTask(task, r.id, arr));
            EXPECT_EQ(arr, field_at(task, r.offset));
        }
    }
    for (int64_t id : {int64_t(0), int64_t(1), int64_t(2), int64_t(78), int64_t(-1), int64_t(1) << 32})
        EXPECT_EQ(-3, __ptzdSSEditTask(task, id, arr)) << id;
    for (int64_t id : {int64_t(0), int64_t(76), int64_t(78)}) EXPECT_EQ(-3, __ptziSSEditTask(task, id, &ival)) << id;
    EXPECT_EQ(-4031, __ptzdSSEditTask(nullptr, 7, arr));
    EXPECT_EQ(-4031, __ptziSSEditTask(nullptr, 1, &ival));
}

// The argument order of the grouped editors that do not follow the id order.
TEST_F(Fixture, GroupedEditorsStoreNonNullAndKeepNull) {
    double a[7][2] = {};
    int32_t s[3] = {};
    EXPECT_EQ(0, __ptzdSSEditMoments(task, a[0], a[1], a[2], a[3], a[4], a[5], a[6]));
    EXPECT_EQ(0, __ptzdSSEditMoments(task, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, a[0]));
    __ptzdSSEditSums(task, a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    __ptzsSSEditCP(task, nullptr, nullptr, reinterpret_cast<float*>(a[4]), &s[0]);
    __ptzdSSEditStreamQuantiles(task, &s[0], a[0], a[1], &s[1], a[2]);
    __ptzdSSEditPooledCovariance(task, &s[0], a[0], a[1], &s[1], a[2], a[3]);
    __ptzdSSEditMissingVals(task, &s[0], a[0], &s[1], a[1], &s[2], a[2], &s[1], a[3], &s[0], a[4]);
    __ptzdSSEditRCov(task, &s[2], &s[1], a[0], a[5], a[6]);
    __ptzdSSEditOutDetect(task, &s[2], a[5], a[6]);
    const std::pair<const void*, const void*> fields[] = {
        {task->mean, a[0]},    {task->cenMom4, a[0]},         {task->rawSum2, a[1]},
        {task->cp, a[4]},      {task->cpStorage, &s[0]},      {task->streamQuantParamsN, &s[1]},
        {task->streamQuantParams, a[2]}, {task->reqGroupIndices, &s[1]}, {task->groupCov, a[3]},
        {task->miCountA, &s[2]}, {task->miArrayA, a[2]},      {task->miCountB, &s[1]},
        {task->miArrayB, a[3]},  {task->miArrayC, a[4]},      {task->robustCovStorage, &s[2]},
        {task->robustMean, a[5]}, {task->outlierParams, a[5]}, {task->outlierWeights, a[6]},
    };
    for (size_t f = 0; f < std::size(fields); ++f) EXPECT_EQ(fields[f].first, fields[f].second) << f;
    EXPECT_EQ(-4031, __ptzdSSEditMoments(nullptr, a[0], a[1], a[2], a[3], a[4], a[5], a[6]));
    EXPECT_EQ(-4031, __ptzsSSEditMtxParametrz(nullptr, nullptr, nullptr, nullptr, nullptr));
}

int hook_calls = 0;

TEST_F(Fixture, DeleteRunsTheHookOnceAndRefusesNull) {
    task->hooks = [](SSTask*) { ++hook_calls; };
    task->hookCount = 1;
    hook_calls = 0;
    EXPECT_EQ(0, __ptzSSDeleteTask(&task));
    EXPECT_EQ(1, hook_calls);
    EXPECT_EQ(nullptr, task);
    EXPECT_EQ(-4031, __ptzSSDeleteTask(&task));   // deleted twice
    EXPECT_EQ(-4031, __ptzSSDeleteTask(nullptr));
}

}  // namespace
