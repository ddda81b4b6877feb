// The task record: creation checks, editors by id and grouped, deletion and
// its hook, the 64-bit integer variant and allocation failure.
#include <gtest/gtest.h>

#include <cstring>

#include "orvu_ptz_stats.h"
#include "ptz/stats/task.h"

namespace {

struct ParamRow { int id; bool is_int; int32_t code; size_t offset; };
constexpr ParamRow kParams[] = {
#define SS_PARAM(id, field, kind, code) {id, #kind[0] == 'I', code, offsetof(SSTask, field)},
#include "ptz/stats/task_params.def"
#undef SS_PARAM
};

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

TEST(TaskCreate, ChecksInOrder) {
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
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

TEST(TaskCreate, AllocationFailureLeavesNullHandle) {
    int32_t p = 2;
    SSTask* t = reinterpret_cast<SSTask*>(0x1);
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(-4000, __ptzdSSNewTask(&t, &p, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(nullptr, t);
    EXPECT_EQ(0, orvu_serv_test_live_allocations());
}

TEST(TaskCreate, SixtyFourBitIntegers) {
    int64_t p = 2, n = 3, rows = ORVU_SS_X_ROWS, big = (int64_t(1) << 32) | ORVU_SS_X_ROWS;
    double x[6] = {};
    int marker = 1;
    SSTask* t = nullptr;
    // A non-zero high word makes the storage code invalid.
    EXPECT_EQ(-4003, __ptzdSSNewTask(&t, &p, &n, &big, x, nullptr, nullptr, &marker));
    ASSERT_EQ(0, __ptzdSSNewTask(&t, &p, &n, &rows, x, nullptr, nullptr, &marker));
    orvu::ss::Dims d;
    EXPECT_EQ(0, orvu::ss::common_checks(t, true, &d));
    EXPECT_EQ(3, d.n);
    n = int64_t(1) << 33;   // read through the pointer at each call, all 64 bits
    EXPECT_EQ(0, orvu::ss::common_checks(t, true, &d));
    EXPECT_EQ(int64_t(1) << 33, d.n);
    __ptzSSDeleteTask(&t);
}

TEST_F(Fixture, EveryIdNullCodeAndKindRule) {
    double arr[4] = {};
    int32_t ival = 1;
    for (const ParamRow& r : kParams) {
        SCOPED_TRACE(r.id);
        const void* before = field_at(task, r.offset);
        if (r.is_int) {
            EXPECT_EQ(r.id <= 75 ? r.code : -3, __ptziSSEditTask(task, r.id, nullptr));
            EXPECT_EQ(-3, __ptzdSSEditTask(task, r.id, arr));
            EXPECT_EQ(-3, __ptzsSSEditTask(task, r.id, reinterpret_cast<float*>(arr)));
            EXPECT_EQ(before, field_at(task, r.offset));
            EXPECT_EQ(0, __ptziSSEditTask(task, r.id, &ival));
            EXPECT_EQ(&ival, field_at(task, r.offset));
        } else {
            EXPECT_EQ(r.code, __ptzdSSEditTask(task, r.id, nullptr));
            EXPECT_EQ(r.code, __ptzsSSEditTask(task, r.id, nullptr));
            EXPECT_EQ(before, field_at(task, r.offset));
            EXPECT_EQ(-3, __ptziSSEditTask(task, r.id, &ival));
            EXPECT_EQ(0, __ptzdSSEditTask(task, r.id, arr));
            EXPECT_EQ(arr, field_at(task, r.offset));
        }
    }
}

TEST_F(Fixture, IdsOutOfRange) {
    double a[1];
    int32_t i = 1;
    for (int64_t id : {int64_t(0), int64_t(1), int64_t(2), int64_t(78), int64_t(-1), int64_t(1) << 32})
        EXPECT_EQ(-3, __ptzdSSEditTask(task, id, a)) << id;
    for (int64_t id : {int64_t(0), int64_t(76), int64_t(77), int64_t(78)})
        EXPECT_EQ(-3, __ptziSSEditTask(task, id, &i)) << id;
    // id 3 with null keeps x; id 4 only through the integer editor.
    EXPECT_EQ(-4032, __ptzdSSEditTask(task, 3, nullptr));
    EXPECT_EQ(x, task->x);
    int32_t cols = ORVU_SS_X_COLUMNS;
    EXPECT_EQ(-3, __ptzdSSEditTask(task, 4, reinterpret_cast<double*>(&cols)));
    EXPECT_EQ(0, __ptziSSEditTask(task, 4, &cols));
    EXPECT_EQ(&cols, task->xStorage);
    EXPECT_EQ(-4031, __ptzdSSEditTask(nullptr, 7, a));
    EXPECT_EQ(-4031, __ptziSSEditTask(nullptr, 1, &i));
}

TEST_F(Fixture, GroupedEditorsStoreNonNullAndKeepNull) {
    double a[7][2] = {};
    int32_t s1 = 0, s2 = 1;
    EXPECT_EQ(0, __ptzdSSEditMoments(task, a[0], a[1], a[2], a[3], a[4], a[5], a[6]));
    EXPECT_EQ(a[0], task->mean);
    EXPECT_EQ(a[6], task->cenMom4);
    EXPECT_EQ(0, __ptzdSSEditMoments(task, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, a[0]));
    EXPECT_EQ(a[0], task->mean);
    EXPECT_EQ(a[0], task->cenMom4);
    EXPECT_EQ(0, __ptzdSSEditSums(task, a[0], a[1], a[2], a[3], a[4], a[5], a[6]));
    EXPECT_EQ(a[1], task->rawSum2);
    EXPECT_EQ(a[6], task->cenSum4);
    EXPECT_EQ(0, __ptzdSSEditCovCor(task, a[1], a[2], &s1, a[3], &s2));
    EXPECT_EQ(a[2], task->cov);
    EXPECT_EQ(&s2, task->corStorage);
    EXPECT_EQ(0, __ptzsSSEditCP(task, nullptr, nullptr, reinterpret_cast<float*>(a[4]), &s1));
    EXPECT_EQ(a[4], task->cp);
    EXPECT_EQ(0, __ptzdSSEditPartialCovCor(task, &s1, nullptr, nullptr, nullptr, nullptr, a[5], &s2, a[6], &s1));
    EXPECT_EQ(a[5], task->partialCov);
    EXPECT_EQ(&s1, task->partialCorStorage);
    EXPECT_EQ(0, __ptzdSSEditQuantiles(task, &s1, a[0], a[1], a[2], &s2));
    EXPECT_EQ(&s2, task->orderStatsStorage);
    EXPECT_EQ(0, __ptzdSSEditStreamQuantiles(task, &s1, a[0], a[1], &s2, a[2]));
    EXPECT_EQ(&s2, task->streamQuantParamsN);
    EXPECT_EQ(0, __ptzdSSEditPooledCovariance(task, &s1, a[0], a[1], &s2, a[2], a[3]));
    EXPECT_EQ(&s2, task->reqGroupIndices);
    EXPECT_EQ(a[3], task->groupCov);
    EXPECT_EQ(0, __ptzdSSEditRCov(task, &s1, &s2, a[0], a[1], a[2]));
    EXPECT_EQ(a[2], task->robustCov);
    EXPECT_EQ(0, __ptzdSSEditOutDetect(task, &s1, a[0], a[1]));
    EXPECT_EQ(a[1], task->outlierWeights);
    EXPECT_EQ(0, __ptzdSSEditMissingVals(task, &s1, a[0], &s2, a[1], &s1, a[2], &s2, a[3], &s1, a[4]));
    EXPECT_EQ(a[2], task->miArrayA);
    EXPECT_EQ(a[3], task->miArrayB);
    EXPECT_EQ(a[4], task->miArrayC);
    EXPECT_EQ(0, __ptzdSSEditMtxParametrz(task, a[5], &s1, a[6], &s2));
    EXPECT_EQ(a[6], task->paramCor);
    EXPECT_EQ(-4031, __ptzdSSEditMoments(nullptr, a[0], a[1], a[2], a[3], a[4], a[5], a[6]));
    EXPECT_EQ(-4031, __ptzsSSEditMtxParametrz(nullptr, nullptr, nullptr, nullptr, nullptr));
}

int hook_calls = 0;
void count_hook(SSTask*) { ++hook_calls; }
void other_hook(SSTask*) {}

TEST_F(Fixture, DeleteRunsHookAndRefusesNull) {
    EXPECT_EQ(0, orvu::ss::register_hook(task, count_hook));
    EXPECT_EQ(0, orvu::ss::register_hook(task, count_hook));   // same hook again: no-op
    EXPECT_EQ(-3, orvu::ss::register_hook(task, other_hook));
    EXPECT_EQ(1, task->hookCount);
    hook_calls = 0;
    EXPECT_EQ(0, __ptzSSDeleteTask(&task));
    EXPECT_EQ(1, hook_calls);
    EXPECT_EQ(nullptr, task);
    EXPECT_EQ(-4031, __ptzSSDeleteTask(&task));   // deleted twice
    EXPECT_EQ(-4031, __ptzSSDeleteTask(nullptr));
}

TEST_F(Fixture, CommonChecksReadCallerVariablesAtEachCall) {
    orvu::ss::Dims d;
    EXPECT_EQ(0, orvu::ss::common_checks(task, true, &d));
    EXPECT_EQ(10, d.n);
    n = 4;
    EXPECT_EQ(0, orvu::ss::common_checks(task, true, &d));
    EXPECT_EQ(4, d.n);
    struct Case { int32_t p, n, storage; bool null_x; int32_t status; };
    const Case cases[] = {{0, 4, ORVU_SS_X_ROWS, false, -4001}, {3, 0, ORVU_SS_X_ROWS, true, -4002},
                          {3, 4, ORVU_SS_X_ROWS, true, -4032}, {3, 4, 7, false, -4003},
                          {3, 4, ORVU_SS_X_COLUMNS, false, 0}};
    for (const Case& c : cases) {
        p = c.p; n = c.n; storage = c.storage;
        task->x = c.null_x ? nullptr : x;
        EXPECT_EQ(c.status, orvu::ss::common_checks(task, true, &d));
    }
    task->xStorage = nullptr;
    EXPECT_EQ(-4044, orvu::ss::common_checks(task, true, &d));
}

}  // namespace
