// The keyed set-up cache of the discrete generators: a chunk of the stream,
// found by its id or created on first use, holding a layout whose first member
// is the key of the parameters it was built for.
//
//   struct BinomialSetup { BinomialKey key; float p1, ...; };
//   BinomialSetup* c;
//   bool stale;
//   if (int32_t st = keyed_setup<544>(stream, 5, key, &c, &stale); st < 0) return st;
//   if (stale) build(c);   // the key is already stored; build before returning
//
// The layout is plain data without pointers: copies and saved images of the
// stream carry it byte for byte. A new chunk is cleared, so its key is all
// zeros, which is never the key of parameters that use the cache. Whether a
// call hits or rebuilds never changes its results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "orvu_ptz_rng.h"

namespace ptz::dist {

// The stream's chunk `id` of `bytes` bytes; created cleared (buffer aligned to
// 128) when the stream has none. Returns 0 with *data set, -4 when the buffer
// cannot be allocated, or the negative status of attaching it.
int32_t setup_chunk(RngStream* s, int32_t id, int32_t bytes, void** data);

// The layout in chunk `id` of kBytes bytes; *stale tells whether its key
// differed from `key` (then the key has been replaced and the caller must
// rebuild the rest before it returns).
template <int32_t kBytes, class Layout, class Key>
int32_t keyed_setup(RngStream* s, int32_t id, const Key& key, Layout** out, bool* stale) {
    static_assert(std::is_trivially_copyable_v<Layout> && std::is_standard_layout_v<Layout>);
    static_assert(sizeof(Layout) <= size_t(kBytes), "the layout fits its chunk");
    static_assert(std::is_same_v<decltype(Layout::key), Key>, "the key is the layout's first member");
    static_assert(offsetof(Layout, key) == 0, "the key is the layout's first member");
    void* data = nullptr;
    if (const int32_t st = setup_chunk(s, id, kBytes, &data); st < 0) return st;
    Layout* c = static_cast<Layout*>(data);
    *stale = !(c->key == key);
    if (*stale) c->key = key;
    *out = c;
    return PTZ_OK;
}

}  // namespace ptz::dist
