// The threading table, the named threader and the pool behind them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "orvu_serv.h"

namespace {

// What a parallel loop saw: how often each index ran, and whether any call
// came with an impossible thread index or count.
struct LoopRecord {
    explicit LoopRecord(int32_t count, int32_t threads) : hits(count), threads(threads) {
        for (auto& h : hits) h.store(0);
    }
    std::vector<std::atomic<int32_t>> hits;
    int32_t threads;
    std::atomic<int32_t> bad_thread{0};
    std::atomic<int32_t> seen_count{-1};

    void check(int32_t i, int32_t t, int32_t n) {
        hits[static_cast<size_t>(i)].fetch_add(1);
        if (t < 0 || t >= n || n < 1 || n > threads) bad_thread.fetch_add(1);
        int32_t expected = -1;
        if (!seen_count.compare_exchange_strong(expected, n) && expected != n) bad_thread.fetch_add(1);
    }
    bool each_index_once() const {
        for (const auto& h : hits)
            if (h.load() != 1) return false;
        return true;
    }
};

void loop_body(int32_t i, int32_t t, int32_t n, void* ctx) { static_cast<LoopRecord*>(ctx)->check(i, t, n); }

const OrvuThreadingTable& table() { return *orvu_serv_threading_table(); }

TEST(ThreadingTable, MaxThreadsIsAtLeastOneAndMatchesTheThreader) {
    EXPECT_GE(table().max_threads(), 1);
    EXPECT_EQ(table().max_threads(), orvu_ptz_serv_threader_get_num_threads_limit());
}

TEST(ThreadingTable, ParallelForRunsEveryIndexOnceWithValidThreadIndices) {
    for (int32_t count : {0, 1, 7, 1000, 100003}) {
        for (int32_t threads : {-1, 1, 2, 3, 64}) {
            LoopRecord rec(count, threads < 1 ? 1 : threads);
            table().parallel_for(count, threads, &rec, loop_body);
            EXPECT_TRUE(rec.each_index_once()) << count << " iterations, " << threads << " threads";
            EXPECT_EQ(rec.bad_thread.load(), 0) << count << " iterations, " << threads << " threads";
        }
    }
}

struct TeamRecord {
    std::mutex m;
    std::vector<int32_t> members;
    std::atomic<int32_t> bad{0};
    int32_t threads = 0;
};

void team_body(int32_t t, int32_t n, void* ctx) {
    auto* rec = static_cast<TeamRecord*>(ctx);
    if (n != rec->threads) rec->bad.fetch_add(1);
    std::lock_guard<std::mutex> lk(rec->m);
    rec->members.push_back(t);
}

TEST(ThreadingTable, TeamCallsEachMemberOnceEvenBeyondThePoolSize) {
    for (int32_t threads : {1, 2, 4, 17}) {
        TeamRecord rec;
        rec.threads = threads;
        table().parallel_team(threads, &rec, team_body);
        std::multiset<int32_t> got(rec.members.begin(), rec.members.end());
        ASSERT_EQ(got.size(), static_cast<size_t>(threads));
        for (int32_t t = 0; t < threads; ++t) EXPECT_EQ(got.count(t), 1u) << t << " of " << threads;
        EXPECT_EQ(rec.bad.load(), 0);
    }
}

struct ThreadIds {
    std::mutex m;
    std::set<std::thread::id> ids;
};

TEST(ThreadingTable, WorkReallyRunsOnSeveralThreads) {
    if (table().max_threads() < 2) GTEST_SKIP() << "pool of one thread";
    ThreadIds seen;
    table().parallel_for(64, table().max_threads(), &seen, [](int32_t, int32_t, int32_t, void* ctx) {
        auto* s = static_cast<ThreadIds*>(ctx);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard<std::mutex> lk(s->m);
        s->ids.insert(std::this_thread::get_id());
    });
    EXPECT_GE(seen.ids.size(), 2u);
}

TEST(ThreadingTable, ConcurrentCallersBothComplete) {
    constexpr int32_t kCount = 5000;
    std::atomic<int32_t> failures{0};
    auto caller = [&] {
        for (int rep = 0; rep < 50; ++rep) {
            LoopRecord rec(kCount, 4);
            table().parallel_for(kCount, 4, &rec, loop_body);
            if (!rec.each_index_once() || rec.bad_thread.load() != 0) failures.fetch_add(1);
        }
    };
    std::thread a(caller), b(caller);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
}

// Each outer iteration runs an inner parallel loop over its own row.
struct Nested {
    static constexpr int32_t kRows = 8, kCols = 100;
    std::atomic<int32_t> cells[kRows * kCols];
    struct Row {
        Nested* self;
        int32_t row;
    };
};

TEST(ThreadingTable, NestedCallsFromABodyDoNotDeadlock) {
    Nested n;
    for (auto& c : n.cells) c.store(0);
    table().parallel_for(Nested::kRows, 4, &n, [](int32_t r, int32_t, int32_t, void* ctx) {
        Nested::Row row{static_cast<Nested*>(ctx), r};
        orvu_serv_threading_table()->parallel_for(Nested::kCols, 4, &row, [](int32_t c, int32_t, int32_t, void* p) {
            auto* rw = static_cast<Nested::Row*>(p);
            rw->self->cells[rw->row * Nested::kCols + c].fetch_add(1);
        });
    });
    for (auto& c : n.cells) EXPECT_EQ(c.load(), 1);
}

TEST(ThreadingTable, ForkedChildStillCompletesParallelWork) {
    LoopRecord warm(100, 4);
    table().parallel_for(100, 4, &warm, loop_body);  // the pool exists before the fork
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(20);  // a child stuck waiting for the parent's workers dies instead of hanging
        LoopRecord rec(1000, 4);
        table().parallel_for(1000, 4, &rec, loop_body);
        _exit(rec.each_index_once() && rec.bad_thread.load() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST(ThreadLoader, ResolvesTheTwoNamesAndNothingElse) {
    using Limit = int32_t (*)();
    using For = void (*)(int32_t, int32_t, void*, orvu_thr_for_body);
    auto limit = reinterpret_cast<Limit>(orvu_serv_load_thread_fun("orvu_ptz_serv_threader_get_num_threads_limit"));
    auto run = reinterpret_cast<For>(orvu_serv_load_thread_fun("orvu_ptz_serv_threader_for"));
    ASSERT_NE(limit, nullptr);
    ASSERT_NE(run, nullptr);
    EXPECT_GE(limit(), 1);
    EXPECT_EQ(orvu_serv_load_thread_fun("orvu_ptz_serv_threader"), nullptr);
    EXPECT_EQ(orvu_serv_load_thread_fun(nullptr), nullptr);

    LoopRecord rec(777, limit());
    run(777, 0, &rec, loop_body);
    EXPECT_TRUE(rec.each_index_once());
    EXPECT_EQ(rec.bad_thread.load(), 0);
}

}  // namespace
