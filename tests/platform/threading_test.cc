// The threading table, the named threader and the pool behind them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "orvu_serv.h"

namespace {

const OrvuThreadingTable& table() { return *orvu_serv_threading_table(); }

// What a parallel loop saw: how often each index ran, and whether any call
// came with an impossible thread index or count.
struct LoopRecord {
    LoopRecord(int32_t count, int32_t threads) : hits(size_t(count)), threads(threads) {}
    std::vector<std::atomic<int32_t>> hits;
    int32_t threads;
    std::atomic<int32_t> bad{0};
    std::atomic<int32_t> seen_count{-1};

    bool each_index_once() const {
        for (const auto& h : hits)
            if (h.load() != 1) return false;
        return bad.load() == 0;
    }
};

void loop_body(int32_t i, int32_t t, int32_t n, void* ctx) {
    auto* rec = static_cast<LoopRecord*>(ctx);
    rec->hits[size_t(i)].fetch_add(1);
    int32_t first = -1;
    if (t < 0 || t >= n || n > rec->threads || (!rec->seen_count.compare_exchange_strong(first, n) && first != n))
        rec->bad.fetch_add(1);
}

// The pool's workers are created once per process, by its first parallel
// call. That call is made here, before any test, from a thread running under
// round-down and flush-to-zero (SSE) and round-down (x87); every test below
// then runs on workers born with those settings.
void skew_fp_control() {
    _mm_setcsr(_mm_getcsr() | 0x2000 | 0x8040);
    uint16_t cw;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    cw = uint16_t(cw | 0x0400);
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
}
const bool g_pool_born_skewed = [] {
    std::thread([] {
        skew_fp_control();
        LoopRecord warm(64, 4);
        table().parallel_for(64, 4, &warm, loop_body);
    }).join();
    return true;
}();

// Quotients that round differently downwards, subnormal products (zero
// under flush-to-zero) and x87 quotients; each iteration takes a moment so
// that the workers get a share, and notes its thread.
struct FpWork {
    double q[64], sub[64];
    long double lq[64];
    std::mutex m;
    std::set<std::thread::id> ids;
};
void fp_body(int32_t i, int32_t, int32_t, void* ctx) {
    auto* f = static_cast<FpWork*>(ctx);
    volatile double a = 3.0 + i, tiny = 3e-308 * (i + 1);
    volatile long double la = 3.0L + i;
    f->q[i] = 1.0 / a;
    f->sub[i] = tiny * 0.25;
    f->lq[i] = 1.0L / la;
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    std::lock_guard<std::mutex> lk(f->m);
    f->ids.insert(std::this_thread::get_id());
}
bool same_bits(const FpWork& a, const FpWork& b) {
    for (int i = 0; i < 64; ++i)
        if (std::memcmp(&a.lq[i], &b.lq[i], 10) != 0) return false;
    return std::memcmp(a.q, b.q, sizeof a.q) == 0 && std::memcmp(a.sub, b.sub, sizeof a.sub) == 0;
}

TEST(ThreadingTable, WorkRunsUnderTheCallersFloatingPointControl) {
    ASSERT_TRUE(g_pool_born_skewed);
    FpWork serial{}, loop{}, team{};
    for (int32_t i = 0; i < 64; ++i) fp_body(i, 0, 1, &serial);   // this thread: default settings
    ASSERT_NE(serial.sub[0], 0.0);
    table().parallel_for(64, 4, &loop, fp_body);
    table().parallel_team(4, &team, [](int32_t t, int32_t n, void* ctx) {
        for (int32_t i = t; i < 64; i += n) fp_body(i, 0, 1, ctx);
    });
    EXPECT_TRUE(same_bits(serial, loop));
    EXPECT_TRUE(same_bits(serial, team));
    EXPECT_EQ(loop.ids.size() > 1, table().max_threads() > 1);   // the workers took part
    EXPECT_EQ(_mm_getcsr() & 0xE040, 0u);   // the caller's own settings are untouched

    // A caller under round-down gets round-down on every worker.
    std::thread([] {
        skew_fp_control();
        FpWork s{}, p{};
        for (int32_t i = 0; i < 64; ++i) fp_body(i, 0, 1, &s);
        table().parallel_for(64, 4, &p, fp_body);
        EXPECT_TRUE(same_bits(s, p));
    }).join();
}

// The team gets exactly the asked number of members, also beyond the pool.
TEST(ThreadingTable, LoopAndTeamRunEveryIndexOnceWithValidThreadIndices) {
    for (int32_t count : {0, 1, 7, 1000, 100003})
        for (int32_t threads : {-1, 1, 3, 64}) {
            LoopRecord rec(count, threads < 1 ? 1 : threads);
            table().parallel_for(count, threads, &rec, loop_body);
            EXPECT_TRUE(rec.each_index_once()) << count << " iterations, " << threads << " threads";
        }
    for (int32_t threads : {1, 4, 17}) {
        LoopRecord rec(threads, threads);
        table().parallel_team(threads, &rec, [](int32_t t, int32_t n, void* ctx) { loop_body(t, t, n, ctx); });
        EXPECT_TRUE(rec.each_index_once() && rec.seen_count.load() == threads) << threads;
    }
}

TEST(ThreadingTable, ConcurrentAndNestedCallsComplete) {
    std::atomic<int32_t> failures{0};
    auto caller = [&] {
        for (int rep = 0; rep < 50; ++rep) {
            LoopRecord rec(5000, 4);
            table().parallel_for(5000, 4, &rec, loop_body);
            if (!rec.each_index_once()) failures.fetch_add(1);
        }
    };
    std::thread a(caller), b(caller);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);

    // Each outer iteration runs an inner parallel loop over its own row.
    static std::atomic<int32_t> cells[8 * 100];
    for (auto& c : cells) c.store(0);
    table().parallel_for(8, 4, nullptr, [](int32_t r, int32_t, int32_t, void*) {
        orvu_serv_threading_table()->parallel_for(100, 4, &cells[r * 100], [](int32_t c, int32_t, int32_t, void* p) {
            static_cast<std::atomic<int32_t>*>(p)[c].fetch_add(1);
        });
    });
    for (auto& c : cells) EXPECT_EQ(c.load(), 1);
}

TEST(ThreadingTable, ForkedChildStillCompletesParallelWork) {
    LoopRecord warm(100, 4);
    table().parallel_for(100, 4, &warm, loop_body);   // the pool exists before the fork
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(20);   // a child stuck waiting for the parent's workers dies instead of hanging
        LoopRecord rec(1000, 4);
        table().parallel_for(1000, 4, &rec, loop_body);
        _exit(rec.each_index_once() ? 0 : 1);
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
    ASSERT_TRUE(limit && run);
    EXPECT_EQ(limit(), table().max_threads());
    EXPECT_GE(limit(), 1);
    EXPECT_EQ(orvu_serv_load_thread_fun("orvu_ptz_serv_threader"), nullptr);
    EXPECT_EQ(orvu_serv_load_thread_fun(nullptr), nullptr);
    LoopRecord rec(777, limit());
    run(777, 0, &rec, loop_body);
    EXPECT_TRUE(rec.each_index_once());
}

}  // namespace
