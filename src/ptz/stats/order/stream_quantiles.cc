// Streaming quantiles: the task keeps one summary per component (see
// stream_summary.h); each call merges the task's current observations into
// them and reads the requested orders back.
#include <atomic>

#include "ptz/stats/order/order_common.h"
#include "ptz/stats/order/stream_summary.h"

namespace orvu::ss::order {
namespace {

template <class T>
struct Job {
    const T* x;
    Dims d;
    const int64_t* comp;
    StreamRecord* rec;
    T* buf;              // 2 * chunk values per thread: a chunk and radix scratch
    int64_t chunk;
    double eps;
    const T* orders;
    int64_t k;
    T* out;
    std::atomic<int32_t> status{kOk};
};

// Merges the new observations of one component, portion by portion (a
// portion never crosses a level boundary, and is cut into chunks of at most
// `chunk` values, each compressed after its merge), then reads the orders.
template <class T>
void add_data_threader(int32_t c, int32_t thread, int32_t, void* ctx) {
    Job<T>& job = *static_cast<Job<T>*>(ctx);
    const int64_t j = job.comp[c], n = job.d.n, step = job.d.columns ? job.d.p : 1;
    const T* src = job.d.columns ? job.x + j : job.x + j * n;
    StreamRecord& rec = job.rec[j];
    T* a = job.buf + int64_t(thread) * 2 * job.chunk;
    int64_t i = 0;
    while (i < n) {
        int64_t len = level_room(rec.count, job.eps);
        if (len > n - i) len = n - i;
        if (len > job.chunk) len = job.chunk;
        int64_t m = 0;
        for (int64_t e = i + len; i < e; ++i) {
            const T v = src[i * step];
            if (!std::isnan(v)) a[m++] = v;
        }
        if (m == 0) continue;
        sort_contiguous(a, a + job.chunk, m);
        if (!reserve<T>(rec, m)) {   // this component keeps what it merged so far
            job.status.store(kNoMemory);
            return;
        }
        merge_sorted<T>(rec, a, m, job.eps, true);
    }
    T* out = job.out + int64_t(c) * job.k;
    for (int64_t k = 0; k < job.k; ++k) out[k] = T(query<T>(rec, double(job.orders[k])));
}

// Validation in the documented order; fills d (n may be 0 here).
template <class T>
int32_t check(const SSTask* t, int32_t method, Dims* d, int64_t* k, double* eps) {
    if (!t->p || (d->p = read_int(t, t->p)) < 1) return kBadDimension;
    if (!t->n || (d->n = read_int(t, t->n)) < 0) return kBadObsCount;
    if (d->n > 0) {
        if (!t->x) return kNoX;
        if (!t->xStorage) return kNoStorageOrCount;
        const int64_t s = read_int(t, t->xStorage);
        if (s != ORVU_SS_X_ROWS && s != ORVU_SS_X_COLUMNS) return kBadStorage;
        d->columns = s == ORVU_SS_X_COLUMNS;
        d->ld = d->columns ? d->p : d->n;
    }
    if (!t->streamQuantiles) return kNoSQuantiles;
    if (!t->streamQuantOrders) return kNoSQuantOrders;
    if (!t->streamQuantOrderN || (*k = read_int(t, t->streamQuantOrderN)) < 0) return kBadSQuantOrderN;
    if (!t->streamQuantParamsN) return kNoSQuantParamsN;
    if (read_int(t, t->streamQuantParamsN) != 1) return kBadSQuantParamsN;
    if (!orders_valid(static_cast<const T*>(t->streamQuantOrders), *k)) return kBadSQuantOrderN;
    if (!t->streamQuantParams) return kNoSQuantParams;
    if (!(method & (ORVU_SS_METHOD_SQUANTS_LEVEL | ORVU_SS_METHOD_SQUANTS_CHUNK))) return kBadMethod;
    *eps = double(static_cast<const T*>(t->streamQuantParams)[0]);
    if (!(*eps > 0 && *eps <= 1)) return kBadEpsilon;
    return kOk;
}

// The state of the listed components: created (with the hook) on the first
// call; afterwards every listed component must already have one.
int32_t attach_state(SSTask* t, const int64_t* comp, int64_t q, int64_t p) {
    auto* st = static_cast<StreamState*>(t->streamQuantState);
    if (!st) {
        st = static_cast<StreamState*>(BlockSize().add(sizeof(StreamState)).add(p, sizeof(StreamRecord)).allocate());
        if (!st) return kNoMemory;
        st->records = p;
        st->reserved = 0;
        for (int64_t j = 0; j < p; ++j) {
            st->record()[j].raw = 0;
            st->record()[j].summary = nullptr;
            st->record()[j].count = -1;
        }
        if (const int32_t s = register_hook(t, __ptzSQuantilesFreeBuffers)) {
            orvu_serv_deallocate(st);
            return s;
        }
        t->streamQuantState = st;
        for (int64_t c = 0; c < q; ++c) st->record()[comp[c]].count = 0;
    }
    if (q == 0) return kNoIndicesState;
    for (int64_t c = 0; c < q; ++c)
        if (comp[c] >= st->records || st->record()[comp[c]].count < 0) return kNoIndicesState;
    return kOk;
}

template <class T>
int32_t stream_quantiles(SSTask* t, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    Dims d;
    int64_t k = 0;
    double eps = 0;
    if (const int32_t s = check<T>(t, method, &d, &k, &eps)) return s;

    auto* comp = static_cast<int64_t*>(BlockSize().add(d.p, sizeof(int64_t)).allocate());
    if (!comp) return kNoMemory;
    const int64_t q = processed_components(t, d.p, comp);
    if (const int32_t s = attach_state(t, comp, q, d.p)) {
        orvu_serv_deallocate(comp);
        return s;
    }
    int64_t threads = table_threads(thr);
    if (threads > q) threads = q;
    // Chunks: a whole level portion with method 0x40 (bounded by this call's
    // data), about 1/(2 eps) values otherwise - the compression period that
    // keeps the summary at its smallest.
    int64_t chunk = d.n;
    if (!(method & ORVU_SS_METHOD_SQUANTS_LEVEL)) {
        const double c = std::ceil(0.5 / eps);
        if (c < double(chunk)) chunk = int64_t(c);
    }
    if (chunk < 1) chunk = 1;
    T* buf = nullptr;
    if (d.n > 0) {
        buf = static_cast<T*>(BlockSize().add(2, threads, chunk, sizeof(T)).allocate());
        if (!buf) {
            orvu_serv_deallocate(comp);
            return kNoMemory;
        }
    }
    Job<T> job;
    job.x = static_cast<const T*>(t->x);
    job.d = d;
    job.comp = comp;
    job.rec = static_cast<StreamState*>(t->streamQuantState)->record();
    job.buf = buf;
    job.chunk = chunk;
    job.eps = eps;
    job.orders = static_cast<const T*>(t->streamQuantOrders);
    job.k = k;
    job.out = static_cast<T*>(t->streamQuantiles);
    run_loop(thr, q, threads, &job, add_data_threader<T>);
    if (buf) orvu_serv_deallocate(buf);
    orvu_serv_deallocate(comp);
    return job.status.load();
}

}  // namespace
}  // namespace orvu::ss::order

using namespace orvu::ss::order;

extern "C" {

ORVU_API void __ptzSQuantilesFreeBuffers(SSTask* task) {
    if (!task || !task->streamQuantState) return;
    auto* st = static_cast<StreamState*>(task->streamQuantState);
    for (int64_t j = 0; j < st->records; ++j)
        if (st->record()[j].summary) orvu_serv_deallocate(st->record()[j].summary);
    orvu_serv_deallocate(st);
    task->streamQuantState = nullptr;
}

ORVU_API int32_t _ptzdSSStreamQuantiles(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                        const OrvuThreadingTable* threading) {
    return stream_quantiles<double>(task, method, threading);
}
ORVU_API int32_t _ptzsSSStreamQuantiles(SSTask* task, uint32_t, uint32_t, int32_t method, int32_t,
                                        const OrvuThreadingTable* threading) {
    return stream_quantiles<float>(task, method, threading);
}

}  // extern "C"
