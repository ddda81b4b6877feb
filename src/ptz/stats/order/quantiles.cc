// Exact quantiles and order statistics, one component per loop iteration.
#include "ptz/stats/order/order_common.h"

namespace orvu::ss::order {
namespace {

inline void sort_strided(double* v, int64_t n, int64_t s) { __ptzdQSortStep(n, v, s); }
inline void sort_strided(float* v, int64_t n, int64_t s) { __ptzsQSortStep(n, v, s); }

template <class T>
struct Job {
    const T* x;
    Dims d;
    const int64_t* comp;
    T* buf;               // n values per thread
    const T* orders;      // null: no quantiles requested
    int64_t k;
    T* quantiles;
    T* stats;             // null: no order statistics requested
    bool stats_rows;
};

template <class T>
void quantiles_threader(int32_t c, int32_t thread, int32_t, void* ctx) {
    const Job<T>& job = *static_cast<const Job<T>*>(ctx);
    const int64_t n = job.d.n, j = job.comp[c];
    T* work = job.buf + int64_t(thread) * n;
    T* out = job.orders ? job.quantiles + int64_t(c) * job.k : nullptr;
    if (job.stats) {
        // the component's values are sorted where the caller wants them
        const int64_t stride = job.stats_rows ? 1 : job.d.p;
        T* dst = job.stats + (job.stats_rows ? j * n : j);
        gather(job.x, job.d, j, dst, stride);
        if (stride == 1) sort_contiguous(dst, work, n);
        else sort_strided(dst, n, stride);
        for (int64_t k = 0; out && k < job.k; ++k) out[k] = T(sorted_quantile(dst, n, stride, double(job.orders[k])));
        return;
    }
    gather(job.x, job.d, j, work, 1);
    RankReader<T> reader(work, n);
    for (int64_t k = 0; k < job.k; ++k) out[k] = T(reader.quantile(double(job.orders[k])));
}

template <class T>
int32_t quantiles(SSTask* t, uint32_t mlo, uint32_t mhi, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    Dims d;
    if (const int32_t s = common_checks(t, true, &d)) return s;
    const uint64_t mask = join_mask(mlo, mhi);
    const bool want_q = mask & ORVU_SS_QUANTS, want_os = mask & ORVU_SS_ORDER_STATS;
    int64_t k = 0;
    if (want_q) {
        if (!t->quantiles) return kNoQuantiles;
        if (!t->quantOrders) return kNoQuantOrders;
        if (!t->quantOrderN || (k = read_int(t, t->quantOrderN)) < 0) return kBadQuantOrderN;
        if (!orders_valid(static_cast<const T*>(t->quantOrders), k)) return kBadQuantOrderN;
    }
    bool rows = false;
    if (want_os) {
        if (!t->orderStats) return kNoOrderStats;
        if (!t->orderStatsStorage) return kNoStorageOrCount;
        const int64_t s = read_int(t, t->orderStatsStorage);
        if (s != ORVU_SS_X_ROWS && s != ORVU_SS_X_COLUMNS) return kBadStorage;
        rows = s == ORVU_SS_X_ROWS;
    }
    if (!(method & ORVU_SS_METHOD_FAST)) return kBadMethod;
    if (!want_os && (!want_q || k == 0)) return kOk;

    auto* comp = static_cast<int64_t*>(BlockSize().add(d.p, sizeof(int64_t)).allocate());
    if (!comp) return kNoMemory;
    const int64_t q = processed_components(t, d.p, comp);
    // Working copies are capped at 10 MiB in all: fewer threads for long columns.
    constexpr int64_t kCopyBudget = 0xA00000 / int64_t(sizeof(T));   // values
    int64_t threads = d.n < kCopyBudget ? kCopyBudget / d.n : 1;
    if (threads > table_threads(thr)) threads = table_threads(thr);
    if (threads > q) threads = q > 0 ? q : 1;
    T* buf = static_cast<T*>(BlockSize().add(threads, d.n, sizeof(T)).allocate());
    if (!buf) {
        orvu_serv_deallocate(comp);
        return kNoMemory;
    }
    Job<T> job{static_cast<const T*>(t->x), d, comp, buf,
               want_q ? static_cast<const T*>(t->quantOrders) : nullptr, k,
               static_cast<T*>(t->quantiles), want_os ? static_cast<T*>(t->orderStats) : nullptr, rows};
    run_loop(thr, q, threads, &job, quantiles_threader<T>);
    orvu_serv_deallocate(buf);
    orvu_serv_deallocate(comp);
    return kOk;
}

}  // namespace
}  // namespace orvu::ss::order

using namespace orvu::ss::order;

extern "C" {

ORVU_API int32_t _ptzdSSQuantiles(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method, int32_t,
                                  const OrvuThreadingTable* threading) {
    return quantiles<double>(task, maskLo, maskHi, method, threading);
}
ORVU_API int32_t _ptzsSSQuantiles(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method, int32_t,
                                  const OrvuThreadingTable* threading) {
    return quantiles<float>(task, maskLo, maskHi, method, threading);
}

}  // extern "C"
