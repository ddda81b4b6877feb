// Copy, zero and fill entries against memcpy and memset, from cache-resident
// blocks to blocks large enough for the cache-bypassing path.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "orvu_arrayutil.h"

namespace {

struct Buffers {
    std::vector<uint8_t> src, dst;
    explicit Buffers(size_t n) : src(n + 64, 1), dst(n + 64, 0) {}
};

// Times op(buffers, n) on blocks of n = range(0) bytes.
template <class Op>
void time_bytes(benchmark::State& st, Op op) {
    const size_t n = static_cast<size_t>(st.range(0));
    Buffers b(n);
    for (auto _ : st) {
        op(b, n);
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(n));
}

void BM_CopyLib(benchmark::State& st) {
    time_bytes(st, [](Buffers& b, size_t n) {
        orvu_dft_c5h2_yobsCopy_8u(b.src.data(), b.dst.data(), static_cast<int32_t>(n));
    });
}
void BM_CopyMemcpy(benchmark::State& st) {
    time_bytes(st, [](Buffers& b, size_t n) { std::memcpy(b.dst.data(), b.src.data(), n); });
}
void BM_ZeroLib(benchmark::State& st) {
    time_bytes(st, [](Buffers& b, size_t n) { orvu_dft_c5h2_yobsZero_8u(b.dst.data(), static_cast<int32_t>(n)); });
}
void BM_ZeroMemset(benchmark::State& st) {
    time_bytes(st, [](Buffers& b, size_t n) { std::memset(b.dst.data(), 0, n); });
}
// 32-bit fill against the closest libc primitive, a memset of a byte value.
void BM_Set32fLib(benchmark::State& st) {
    time_bytes(st, [](Buffers& b, size_t n) {
        orvu_dft_c5h2_yobsSet_32f(1.5f, reinterpret_cast<float*>(b.dst.data()), static_cast<int32_t>(n / 4));
    });
}
void BM_Set8uMemset(benchmark::State& st) {
    time_bytes(st, [](Buffers& b, size_t n) { std::memset(b.dst.data(), 0x3F, n); });
}

// 40 bytes (short path), 4 KiB and 256 KiB (cache-resident), 4 MiB (above the
// large-block thresholds), 64 MiB (at least half of common last-level caches).
#define AU_FILL_SIZES ->Arg(40)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20)->Arg(64 << 20)
BENCHMARK(BM_CopyLib) AU_FILL_SIZES;
BENCHMARK(BM_CopyMemcpy) AU_FILL_SIZES;
BENCHMARK(BM_ZeroLib) AU_FILL_SIZES;
BENCHMARK(BM_ZeroMemset) AU_FILL_SIZES;
BENCHMARK(BM_Set32fLib) AU_FILL_SIZES;
BENCHMARK(BM_Set8uMemset) AU_FILL_SIZES;

}  // namespace
