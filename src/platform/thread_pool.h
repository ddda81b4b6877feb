// The persistent worker pool behind the threading layer.
#ifndef ORVU_PLATFORM_THREAD_POOL_H
#define ORVU_PLATFORM_THREAD_POOL_H

#include <cstdint>

namespace orvu::platform {

// A team member: called once for each member index in [0, members).
using MemberFn = void (*)(void* ctx, int32_t member, int32_t members);

// Number of threads work may use: the calling thread plus the workers.
// Read once from ORVU_NUM_THREADS (default: online processors), at least 1.
int32_t pool_threads();

// Calls fn(ctx, member, members) once for every member in [0, members) and
// returns when all calls have returned. Members run on up to pool_threads()
// threads, the calling thread included; with more members than threads some
// threads run several members one after another, so members must not wait
// for each other. Every member runs under the caller's floating-point
// control (SSE rounding, flush-to-zero and exception masks, x87 control
// word), so a parallel result has the bits of the serial one whatever thread
// started the pool. Called from inside pool work, or while another caller has
// the workers, the members run one after another on the calling thread; this
// keeps nested and concurrent calls free of deadlock.
void run_team(int32_t members, MemberFn fn, void* ctx);

}  // namespace orvu::platform

#endif
