// The single-threaded products built for AVX2 with FMA (this unit alone is
// compiled with -mavx2 -mfma); own_products.cc calls them only when the
// processor and the system support both.
#define ORVU_PRODUCTS_NS wide
#define ORVU_EIGEN_NS orvu_eigen_wide
#include "platform/eigen_products.h"

namespace orvu::platform {
const Products* wide_products() { return &wide::kProducts; }
}  // namespace orvu::platform
