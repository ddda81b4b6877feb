// Median and mean absolute deviation, one component per loop iteration.
#include "ptz/stats/order/order_common.h"

namespace orvu::ss::order {
namespace {

template <class T>
struct Job {
    const T* x;
    Dims d;
    const int64_t* comp;
    T* buf;          // n values per thread; null when no median deviation is wanted
    T* median_dev;   // null: not requested
    T* mean_dev;     // null: not requested
    const T* means;  // given means, or null to compute them
};

template <class T>
double median_abs_dev(T* v, int64_t n) {
    const double m = RankReader<T>(v, n).quantile(0.5);
    // the buffer is only reordered, so it still holds the component's values
    for (int64_t i = 0; i < n; ++i) v[i] = T(std::fabs(double(v[i]) - m));
    return RankReader<T>(v, n).quantile(0.5);
}

template <class T>
double mean_abs_dev(const T* x, const Dims& d, int64_t j, const T* means) {
    const int64_t step = d.columns ? d.p : 1;
    const T* v = d.columns ? x + j : x + j * d.n;
    double m;
    if (means) {
        m = double(means[j]);
    } else {
        double s = 0;
        for (int64_t i = 0; i < d.n; ++i) s += double(v[i * step]);
        m = s / double(d.n);
    }
    double s = 0;
    for (int64_t i = 0; i < d.n; ++i) s += std::fabs(double(v[i * step]) - m);
    return s / double(d.n);
}

template <class T>
void mad_threader(int32_t c, int32_t thread, int32_t, void* ctx) {
    const Job<T>& job = *static_cast<const Job<T>*>(ctx);
    const int64_t j = job.comp[c];
    if (job.median_dev) {
        T* v = job.buf + int64_t(thread) * job.d.n;
        gather(job.x, job.d, j, v, 1);
        job.median_dev[j] = T(median_abs_dev(v, job.d.n));
    }
    if (job.mean_dev) job.mean_dev[j] = T(mean_abs_dev(job.x, job.d, j, job.means));
}

template <class T>
int32_t mad(SSTask* t, uint32_t mlo, uint32_t mhi, int32_t method, const OrvuThreadingTable* thr) {
    if (!t) return kNullTask;
    Dims d;
    if (const int32_t s = common_checks(t, true, &d)) return s;
    const uint64_t mask = join_mask(mlo, mhi);
    const bool want_md = mask & ORVU_SS_MDAD, want_mn = mask & ORVU_SS_MNAD;
    if (want_md) {
        if (!t->medianAbsDev) return kNoMedianAbsDev;
        if (!(method & ORVU_SS_METHOD_FAST)) return kBadMethod;
    }
    const bool given_means = method & ORVU_SS_METHOD_2PASS;
    if (want_mn) {
        if (!t->meanAbsDev) return kNoMeanAbsDev;
        if (!(method & (ORVU_SS_METHOD_FAST | ORVU_SS_METHOD_2PASS))) return kBadMethod;
        if (given_means && !t->mean) return kNoMean;
    }
    if (!want_md && !want_mn) return kOk;

    auto* comp = static_cast<int64_t*>(BlockSize().add(d.p, sizeof(int64_t)).allocate());
    if (!comp) return kNoMemory;
    const int64_t q = processed_components(t, d.p, comp);
    int64_t threads = table_threads(thr);
    if (threads > q) threads = q > 0 ? q : 1;
    T* buf = nullptr;
    if (want_md) {
        buf = static_cast<T*>(BlockSize().add(threads, d.n, sizeof(T)).allocate());
        if (!buf) {
            orvu_serv_deallocate(comp);
            return kNoMemory;
        }
    }
    Job<T> job{static_cast<const T*>(t->x), d, comp, buf,
               want_md ? static_cast<T*>(t->medianAbsDev) : nullptr,
               want_mn ? static_cast<T*>(t->meanAbsDev) : nullptr,
               want_mn && given_means ? static_cast<const T*>(t->mean) : nullptr};
    run_loop(thr, q, threads, &job, mad_threader<T>);
    if (buf) orvu_serv_deallocate(buf);
    orvu_serv_deallocate(comp);
    return kOk;
}

}  // namespace
}  // namespace orvu::ss::order

using namespace orvu::ss::order;

extern "C" {

ORVU_API int32_t _ptzdSSMAD(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method, int32_t,
                            const OrvuThreadingTable* threading) {
    return mad<double>(task, maskLo, maskHi, method, threading);
}
ORVU_API int32_t _ptzsSSMAD(SSTask* task, uint32_t maskLo, uint32_t maskHi, int32_t method, int32_t,
                            const OrvuThreadingTable* threading) {
    return mad<float>(task, maskLo, maskHi, method, threading);
}

}  // extern "C"
