// Quasi-random streams: binding a state, positioning (selection, skip-ahead),
// direction numbers from polynomials, user-data chunks, the parallel kernel.
#include "ptz/brng/quasi.h"

#include "orvu_serv.h"

namespace ptz::quasi {

namespace {

const StreamChunk* find_chunk(const RngStream* s, int32_t id) {
    for (const StreamChunk* c = s->chunks; c; c = c->next)
        if (c->id == id) return c;
    return nullptr;
}

bool holds_words(const StreamChunk* c, uint64_t words) {
    return c && c->data && uint64_t(uint32_t(c->size)) >= words * 4;
}

}  // namespace

int32_t bind(RngStream* s, const Layout& l, View* out) {
    Header* h = state_as<Header>(s);
    const uint32_t d = h->dim;
    if (d == 0) return PTZ_ERROR_BAD_ARGUMENT;
    out->v = builtin_dirs(s);
    out->x = builtin_point(s, l);
    if (const StreamChunk* dirs = find_chunk(s, l.dir_chunk)) {
        if (!holds_words(dirs, uint64_t(d) * kBits)) return PTZ_ERROR_BAD_ARGUMENT;
        out->v = static_cast<const uint32_t*>(dirs->data);
        if (l.point_chunk >= 0) {
            const StreamChunk* point = find_chunk(s, l.point_chunk);
            if (!holds_words(point, d)) return PTZ_ERROR_BAD_ARGUMENT;
            out->x = static_cast<uint32_t*>(point->data);
        } else if (d > l.max_dim) {
            return PTZ_ERROR_BAD_ARGUMENT;
        }
    } else if (d > l.max_dim) {
        return PTZ_ERROR_BAD_ARGUMENT;
    }
    if (h->select != kAll && (h->select >= d || h->pos != 0)) return PTZ_ERROR_BAD_ARGUMENT;
    if (h->pos >= d || (h->pos > 0 && h->count == kLastPoint)) return PTZ_ERROR_BAD_ARGUMENT;
    out->h = h;
    return PTZ_OK;
}

void recompute(const View& q) {
    const uint32_t d = q.h->dim, c = q.h->count;
    std::memset(q.x, 0, size_t(d) * 4);
    for (uint32_t g = c ^ (c >> 1); g; g &= g - 1) {
        const uint32_t* col = q.v + size_t(std::countr_zero(g)) * d;
        for (uint32_t j = 0; j < d; ++j) q.x[j] ^= col[j];
    }
    if (q.h->pos == 0) return;  // (point c + 1 need not exist)
    const uint32_t* next = q.v + size_t(std::countr_one(c)) * d;
    for (uint32_t j = 0; j < q.h->pos; ++j) q.x[j] ^= next[j];
}

void restart(const View& q, uint32_t d) {
    *q.h = Header{0, d, kAll, 0};
    std::memset(q.x, 0, size_t(d) * 4);
}

// Only the selection of one coordinate is a leapfrog a digital sequence can
// serve. The next output is coordinate k of the first point whose coordinate
// k has not been output yet.
int32_t select_coordinate(RngStream* s, const Layout& l, int32_t nstreams, const void* params) {
    View q;
    const int32_t status = bind(s, l, &q);
    if (status != PTZ_OK) return status;
    int32_t k;
    std::memcpy(&k, params, sizeof k);
    Header& h = *q.h;
    if (nstreams != 0x7FFFFFFF || k < 0 || uint32_t(k) >= h.dim) return PTZ_ERROR_LEAPFROG_UNSUPPORTED;
    if (h.select == kAll && h.pos > uint32_t(k)) ++h.count;
    h.select = uint32_t(k);
    h.pos = 0;
    recompute(q);
    return PTZ_OK;
}

// Skips outputs: coordinates while every coordinate is produced, points after
// a selection; the next output is the one the same number of draws would
// have reached.
int32_t skip_ahead(RngStream* s, const Layout& l, int32_t n, const void* params) {
    if (n <= 0) return PTZ_ERROR_SKIPAHEAD_UNSUPPORTED;
    View q;
    const int32_t status = bind(s, l, &q);
    if (status != PTZ_OK) return status;
    Header& h = *q.h;
    const uint64_t w = h.select == kAll ? h.dim : 1;
    const uint64_t done = h.count * w + h.pos, skip = read_u64(params);
    if (skip > kLastPoint * w - done) return PTZ_ERROR_QRNG_PERIOD_ELAPSED;
    h.count = uint32_t((done + skip) / w);
    h.pos = uint32_t((done + skip) % w);
    recompute(q);
    return PTZ_OK;
}

void sobol_directions(uint32_t poly, int deg, const uint32_t* m, uint32_t* v, uint32_t stride) {
    uint32_t mk[kBits];
    for (int k = 0; k < kBits; ++k) {
        if (deg == 0) {
            mk[k] = 1;
        } else if (k < deg) {
            mk[k] = m[k];
        } else {
            // m_k = 2 a_1 m_(k-1) ^ 4 a_2 m_(k-2) ^ ... ^ 2^deg m_(k-deg) ^ m_(k-deg),
            // a_i the coefficient of x^(deg-i).
            uint32_t t = mk[k - deg] ^ (mk[k - deg] << deg);
            for (int i = 1; i < deg; ++i)
                if ((poly >> (deg - i)) & 1) t ^= mk[k - i] << i;
            mk[k] = t;
        }
        v[size_t(k) * stride] = mk[k] << (kBits - 1 - k);  // m_k < 2^k: the binary point before bit k
    }
}

bool nonsingular(const uint32_t* v, size_t stride) {
    uint32_t basis[kBits] = {};  // basis[i]: the vector with leading bit i
    for (int b = 0; b < kBits; ++b) {
        uint32_t x = v[size_t(b) * stride];
        for (int bit = kBits - 1; bit >= 0 && x; --bit) {
            if (!((x >> bit) & 1)) continue;
            if (!basis[bit]) {
                basis[bit] = x;
                break;
            }
            x ^= basis[bit];
        }
        if (!x) return false;
    }
    return true;
}

int32_t add_chunk(RngStream* s, int32_t id, uint32_t bytes, bool shared, uint32_t** data) {
    auto* block = static_cast<uint32_t*>(allocate(bytes));
    if (!block) return PTZ_ERROR_MEM_FAILURE;
    std::memset(block, 0, bytes);
    uint8_t key[16] = {};
    if (shared) __ptzGenerateNewGlobalRODataTableEntryId(key, id);
    const int32_t status = __ptzAddChunk(s, id, shared ? key : nullptr, block, int32_t(bytes));
    if (status != PTZ_OK) {
        deallocate(block);
        return status;
    }
    *data = block;
    return PTZ_OK;
}

namespace {

struct ParallelContext {
    const ParallelJob* job;
    uint32_t blocks;
    uint32_t* scratch;  // one point per block
};

void parallel_body(int32_t i, int32_t, int32_t, void* ctx) {
    const auto& p = *static_cast<const ParallelContext*>(ctx);
    const ParallelJob& job = *p.job;
    const uint32_t first = uint32_t(uint64_t(job.m) * uint32_t(i) / p.blocks);
    const uint32_t last = uint32_t(uint64_t(job.m) * (uint32_t(i) + 1) / p.blocks);
    job.block(job, first, last, p.scratch + size_t(i) * job.d);
}

}  // namespace

// Worth threads only for long requests of wide points (and for the widths
// whose rows fill whole vectors); the threading layer may also decline.
bool run_parallel(const ParallelJob& job) {
    if (job.d < 16 || job.m <= 1000 || (job.d < 64 && job.d % 8 != 0)) return false;
    using LimitFn = int32_t (*)();
    using ForFn = void (*)(int32_t, int32_t, void*, orvu_thr_for_body);
    const auto limit =
        reinterpret_cast<LimitFn>(orvu_serv_load_thread_fun("orvu_ptz_serv_threader_get_num_threads_limit"));
    if (!limit) return false;
    int32_t threads = limit();
    if (threads <= 1) return false;
    if (threads > 256) threads = 256;
    const auto parallel_for = reinterpret_cast<ForFn>(orvu_serv_load_thread_fun("orvu_ptz_serv_threader_for"));
    if (!parallel_for) return false;
    ParallelContext ctx{&job, uint32_t(threads), nullptr};
    uint32_t bytes = 0;
    if (!checked_size(int64_t(threads) * job.d, 4, 0, &bytes)) return false;
    ctx.scratch = static_cast<uint32_t*>(allocate(bytes));
    if (!ctx.scratch) return false;  // the serial kernel gives the same numbers
    parallel_for(threads, 0, &ctx, &parallel_body);
    // The last block ends on the point the stream continues from.
    std::memcpy(job.x, ctx.scratch + size_t(threads - 1) * job.d, size_t(job.d) * 4);
    deallocate(ctx.scratch);
    return true;
}

}  // namespace ptz::quasi
