// Array loops over the vector routines of SLEEF and glibc's libmvec for
// 256-bit vectors (8 floats, 4 doubles). A routine of that width takes and
// returns its vectors in ymm registers, so the loop that calls it must be
// compiled with AVX enabled: this unit is built with -mavx2. ref_W3_peers.cc
// includes it again for 512-bit vectors.
#include <cstdint>
#include <cstring>

#ifndef PEER_VECTOR_BYTES
#define PEER_VECTOR_BYTES 32
#define PEER_LOOP peer_loop_w2
#endif
#if (PEER_VECTOR_BYTES == 32 && !defined(__AVX2__)) || (PEER_VECTOR_BYTES == 64 && !defined(__AVX512F__))
#error "the peer loops must be built with the flags of their vector width"
#endif

// shape: 0 unary f(a), 1 binary f(a, b), 2 powx f(a, splat(s)). A partial
// last vector goes through a copy padded with ones.
template <class T, int shape> void PEER_LOOP(void* fn, int32_t n, const T* a, const T* b, T s, T* r) {
    typedef T V __attribute__((vector_size(PEER_VECTOR_BYTES)));
    constexpr int32_t lanes = PEER_VECTOR_BYTES / sizeof(T);
    const auto load = [](const T* p) { V v; std::memcpy(&v, p, sizeof v); return v; };
    V bs;
    for (int32_t k = 0; k < lanes; ++k) bs[k] = s;
    auto call = [&](const T* x, const T* y) {
        if constexpr (shape == 0) return reinterpret_cast<V (*)(V)>(fn)(load(x));
        else return reinterpret_cast<V (*)(V, V)>(fn)(load(x), shape == 1 ? load(y) : bs);
    };
    int32_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        const V v = call(a + i, shape == 1 ? b + i : nullptr);
        std::memcpy(r + i, &v, sizeof v);
    }
    if (i < n) {
        T pa[lanes], pb[lanes];
        for (int32_t k = 0; k < lanes; ++k) {
            pa[k] = i + k < n ? a[i + k] : T(1);
            pb[k] = shape == 1 && i + k < n ? b[i + k] : T(1);
        }
        const V v = call(pa, pb);
        std::memcpy(pa, &v, sizeof v);
        for (int32_t k = 0; i + k < n; ++k) r[i + k] = pa[k];
    }
}

#define PEER_INSTANCE(T, shape) template void PEER_LOOP<T, shape>(void*, int32_t, const T*, const T*, T, T*);
PEER_INSTANCE(float, 0)
PEER_INSTANCE(float, 1)
PEER_INSTANCE(float, 2)
PEER_INSTANCE(double, 0)
PEER_INSTANCE(double, 1)
PEER_INSTANCE(double, 2)
