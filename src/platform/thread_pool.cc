// A fixed set of worker threads that wait for team jobs on a condition
// variable. The pool is created on first use and deliberately never torn
// down: the workers are detached, so they neither keep the process from
// exiting nor can be destroyed while a late caller still uses them.
#include "platform/thread_pool.h"

#include <pthread.h>
#include <unistd.h>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "orvu_serv.h"

namespace orvu::platform {
namespace {

// Upper bound on ORVU_NUM_THREADS, so a typo cannot start thousands of threads.
constexpr int32_t kMaxThreads = 256;

// A child created by fork() has none of the parent's workers; from then on
// every team runs on the calling thread.
std::atomic<bool> g_forked_child{false};
void mark_forked_child() { g_forked_child.store(true, std::memory_order_relaxed); }

// Set on worker threads for good, and on a calling thread while it takes
// part in a job: a parallel call made there runs serially.
thread_local bool t_inside_job = false;

int32_t threads_from_environment() {
    char buf[256];
    if (orvu_serv_getenv("ORVU_NUM_THREADS", buf, sizeof buf) >= 1) {
        char* end = nullptr;
        long v = std::strtol(buf, &end, 10);
        if (end != buf && *end == '\0') {
            if (v < 1) return 1;
            return v > kMaxThreads ? kMaxThreads : static_cast<int32_t>(v);
        }
    }
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    if (cpus < 1) return 1;
    return cpus > kMaxThreads ? kMaxThreads : static_cast<int32_t>(cpus);
}

// The floating-point control state a job runs under: the SSE control and
// status register and, on x86, the x87 control word. Workers are created
// with the settings of whichever thread first started the pool; a job must
// instead compute under its caller's rounding and flush-to-zero settings, or
// its results would depend on the pool's history.
struct FpControl {
    uint32_t mxcsr = 0;
    uint16_t x87 = 0;

    static FpControl current() {
        FpControl c;
#if defined(__SSE__)
        c.mxcsr = _mm_getcsr();
#endif
#if defined(__i386__) || defined(__x86_64__)
        __asm__ __volatile__("fnstcw %0" : "=m"(c.x87));
#endif
        return c;
    }
    void load() const {
#if defined(__SSE__)
        _mm_setcsr(mxcsr);
#endif
#if defined(__i386__) || defined(__x86_64__)
        __asm__ __volatile__("fldcw %0" : : "m"(x87));
#endif
    }
};

// The SSE exception flags (bits 0-5) are sticky status, not control: a job
// starts with them clear, so the caller's flags do not leak into a worker.
constexpr uint32_t kMxcsrFlags = 0x3F;

class Pool {
public:
    explicit Pool(int32_t wanted) {
        pthread_atfork(nullptr, nullptr, mark_forked_child);
        // Thread 0 is whoever calls; workers are 1..wanted-1. If the system
        // refuses a thread the pool simply stays smaller.
        for (int32_t id = 1; id < wanted; ++id) {
            auto* arg = new WorkerArg{this, id};
            pthread_attr_t attr;
            pthread_attr_init(&attr);
            pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
            pthread_t t;
            bool ok = pthread_create(&t, &attr, &Pool::worker_entry, arg) == 0;
            pthread_attr_destroy(&attr);
            if (!ok) {
                delete arg;
                break;
            }
            ++workers_;
        }
    }

    int32_t threads() const { return workers_ + 1; }

    void run(int32_t members, MemberFn fn, void* ctx) {
        if (members <= 0) return;
        if (members == 1 || workers_ == 0 || t_inside_job || g_forked_child.load(std::memory_order_relaxed) ||
            !busy_.try_lock()) {
            run_serially(members, fn, ctx);
            return;
        }
        int32_t helpers = (members < threads() ? members : threads()) - 1;
        {
            std::lock_guard<std::mutex> lk(m_);
            fn_ = fn;
            ctx_ = ctx;
            members_ = members;
            helpers_ = helpers;
            env_ = FpControl::current();
            env_.mxcsr &= ~kMxcsrFlags;
            finished_ = 0;
            next_member_.store(0, std::memory_order_relaxed);
            ++generation_;
        }
        wake_.notify_all();

        t_inside_job = true;
        claim_members();
        t_inside_job = false;

        // The job's fields live in the pool and stay valid until every helper
        // has reported back; only then may the next caller overwrite them.
        {
            std::unique_lock<std::mutex> lk(m_);
            done_.wait(lk, [&] { return finished_ == helpers_; });
        }
        busy_.unlock();
    }

private:
    struct WorkerArg {
        Pool* pool;
        int32_t id;
    };

    static void* worker_entry(void* p) {
        auto* arg = static_cast<WorkerArg*>(p);
        Pool* pool = arg->pool;
        int32_t id = arg->id;
        delete arg;
        t_inside_job = true;
        pool->worker_loop(id);
        return nullptr;
    }

    static void run_serially(int32_t members, MemberFn fn, void* ctx) {
        bool was_inside = t_inside_job;
        t_inside_job = true;
        for (int32_t i = 0; i < members; ++i) fn(ctx, i, members);
        t_inside_job = was_inside;
    }

    // Members are handed out one at a time, so a slow member does not hold
    // back the others.
    void claim_members() {
        for (;;) {
            int32_t i = next_member_.fetch_add(1, std::memory_order_relaxed);
            if (i >= members_) return;
            fn_(ctx_, i, members_);
        }
    }

    [[noreturn]] void worker_loop(int32_t id) {
        uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lk(m_);
                wake_.wait(lk, [&] { return generation_ != seen; });
                seen = generation_;
                // A worker that is not needed for this job skips it; the
                // caller waits only for the helpers it counted.
                if (id > helpers_) continue;
            }
            // The members run under the caller's settings; the worker's own
            // come back afterwards.
            const FpControl own = FpControl::current();
            env_.load();
            claim_members();
            own.load();
            {
                std::lock_guard<std::mutex> lk(m_);
                ++finished_;
                if (finished_ == helpers_) done_.notify_one();
            }
        }
    }

    int32_t workers_ = 0;
    std::mutex busy_;  // held by the one caller that owns the workers
    std::mutex m_;     // guards the job fields below
    std::condition_variable wake_;
    std::condition_variable done_;
    uint64_t generation_ = 0;
    MemberFn fn_ = nullptr;
    void* ctx_ = nullptr;
    int32_t members_ = 0;
    int32_t helpers_ = 0;
    int32_t finished_ = 0;
    FpControl env_;    // the caller's floating-point control for this job
    std::atomic<int32_t> next_member_{0};
};

Pool& pool() {
    // Leaked on purpose (see the top of the file).
    static Pool* p = new Pool(threads_from_environment());
    return *p;
}

}  // namespace

int32_t pool_threads() { return pool().threads(); }

void run_team(int32_t members, MemberFn fn, void* ctx) { pool().run(members, fn, ctx); }

}  // namespace orvu::platform
