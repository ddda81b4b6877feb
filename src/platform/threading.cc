// The exported threading layer: the threader the quasi-random generators
// look up by name, and the threading table that statistics and data-fitting
// compute routines receive. Everything runs on the pool of thread_pool.cc.
#include <atomic>
#include <cstring>

#include "orvu_serv.h"
#include "platform/thread_pool.h"

namespace {

using orvu::platform::pool_threads;
using orvu::platform::run_team;

// A loop over [0, count) shared by `members` team members, each of which
// takes chunks of iterations from a common counter. Chunks of about an
// eighth of a member's fair share balance uneven iterations without much
// counter traffic.
template <class Body>
struct Loop {
    int32_t count;
    int32_t chunk;
    std::atomic<int32_t> next{0};
    Body body;

    static void member(void* ctx, int32_t m, int32_t members) {
        auto* self = static_cast<Loop*>(ctx);
        for (;;) {
            int32_t begin = self->next.fetch_add(self->chunk, std::memory_order_relaxed);
            if (begin >= self->count) return;
            int32_t end = self->count - begin < self->chunk ? self->count : begin + self->chunk;
            for (int32_t i = begin; i < end; ++i) self->body(i, m, members);
        }
    }
};

template <class Body>
void parallel_loop(int32_t count, int32_t threads, Body body) {
    if (count <= 0) return;
    // The body learns its thread index and the number of threads taking
    // part; both stay below what the caller asked for, so per-thread arrays
    // sized by the caller's count are never overrun.
    int32_t members = threads < 1 ? 1 : threads;
    if (members > pool_threads()) members = pool_threads();
    if (members > count) members = count;
    int32_t chunk = count / (members * 8);
    Loop<Body> loop{count, chunk < 1 ? 1 : chunk, {}, body};
    loop.next.store(0, std::memory_order_relaxed);
    run_team(members, &Loop<Body>::member, &loop);
}

void table_parallel_for(int32_t count, int32_t threads, void* ctx, orvu_thr_loop_body body) {
    if (body == nullptr) return;
    parallel_loop(count, threads, [=](int32_t i, int32_t t, int32_t n) { body(i, t, n, ctx); });
}

struct Team {
    orvu_thr_team_body body;
    void* ctx;
    static void member(void* p, int32_t m, int32_t members) {
        auto* self = static_cast<Team*>(p);
        self->body(m, members, self->ctx);
    }
};

// Exactly `threads` members, each called once with its index, even when the
// pool has fewer threads: the caller splits its data by that count.
void table_parallel_team(int32_t threads, void* ctx, orvu_thr_team_body body) {
    if (body == nullptr || threads < 1) return;
    Team team{body, ctx};
    run_team(threads, &Team::member, &team);
}

int32_t table_max_threads() { return pool_threads(); }

constexpr OrvuThreadingTable kTable = {
    table_parallel_for, nullptr, table_parallel_team, nullptr, table_max_threads,
};

struct NamedFunction {
    const char* name;
    void* address;
};

}  // namespace

extern "C" {

int32_t orvu_ptz_serv_threader_get_num_threads_limit(void) { return pool_threads(); }

void orvu_ptz_serv_threader_for(int32_t count, int32_t zero, void* ctx, orvu_thr_for_body fn) {
    (void)zero;  // always 0 from the library
    if (fn == nullptr) return;
    parallel_loop(count, pool_threads(), [=](int32_t i, int32_t t, int32_t n) { fn(i, t, n, ctx); });
}

const OrvuThreadingTable* orvu_serv_threading_table(void) { return &kTable; }

void* orvu_serv_load_thread_fun(const char* name) {
    static const NamedFunction kFunctions[] = {
        {"orvu_ptz_serv_threader_get_num_threads_limit",
         reinterpret_cast<void*>(&orvu_ptz_serv_threader_get_num_threads_limit)},
        {"orvu_ptz_serv_threader_for", reinterpret_cast<void*>(&orvu_ptz_serv_threader_for)},
    };
    if (name == nullptr) return nullptr;
    for (const NamedFunction& f : kFunctions)
        if (std::strcmp(f.name, name) == 0) return f.address;
    return nullptr;
}

}  // extern "C"
