// The peer loops of ref_W2_peers.cc for 512-bit vectors (16 floats, 8 doubles,
// passed in zmm registers); this unit is built with the AVX-512 flags.
#define PEER_VECTOR_BYTES 64
#define PEER_LOOP peer_loop_w3
#include "ref_W2_peers.cc"
