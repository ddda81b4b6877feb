// Correlation parametrization: the nearest usable correlation matrix of a
// matrix that is not positive definite, by raising its eigenvalues below
// 1e-14 to 1e-14 and rescaling to a unit diagonal.
#include <cmath>

#include "ptz/stats/block_size.h"
#include "ptz/stats/la.h"
#include "ptz/stats/mtx_storage.h"
#include "ptz/stats/task.h"

namespace orvu::ss {
namespace {

constexpr double kFloor = 1e-14;

// Storage codes this routine accepts: 0 full, 1 lower packed, 2 upper packed.
bool valid_code(int64_t c) { return c == kFull || c == kLowerPacked || c == kUpperPacked; }

// Writes the rebuilt matrix C' = V diag(lambda') V^T rescaled to unit
// diagonal, C''_ij = C'_ij / sqrt(C'_ii C'_jj), into the caller's storage
// (full, lower packed or upper packed: one writer, the layout chosen by code).
template <class T>
void finish(T* out, int layout, int64_t p, const int64_t* comp, int64_t q, const T* v, const T* lam, T* c) {
    for (int64_t i = 0; i < q; ++i)
        for (int64_t j = i; j < q; ++j) {
            double s = 0;
            for (int64_t e = 0; e < q; ++e) s += double(v[i + e * q]) * double(lam[e]) * double(v[j + e * q]);
            c[i + j * q] = T(s);
        }
    for (int64_t i = 0; i < q; ++i)
        for (int64_t j = i; j < q; ++j)
            put_sym(out, layout, p, comp[i], comp[j],
                    double(c[i + j * q]) / std::sqrt(double(c[i + i * q]) * double(c[j + j * q])));
}

template <class T>
int32_t cor_param(SSTask* t, int32_t method) {
    if (!t) return kNullTask;
    int64_t p;
    if (!t->p || (p = read_int(t, t->p)) < 1) return kBadDimension;
    if (!t->cor) return -4019;
    if (!t->corStorage) return kNoStorageOrCount;
    const int64_t in_code = read_int(t, t->corStorage);
    if (!valid_code(in_code)) return kBadStorage;
    if (!t->paramCor) return -4071;
    if (!t->paramCorStorage) return kNoStorageOrCount;
    const int64_t out_code = read_int(t, t->paramCorStorage);
    if (!valid_code(out_code)) return kBadStorage;
    // In place only with the same storage on both sides.
    if (t->paramCor == t->cor && in_code != out_code) return kBadStorage;
    if (!(method & ORVU_SS_METHOD_SD)) return kBadMethod;

    // Workspace: p eigenvalues, two p x p matrices, 50 p for the eigensolver,
    // and the component list.
    // (A block that fits also keeps 50 p within the solver's 32-bit lwork.)
    T* lam = static_cast<T*>(BlockSize()
                                 .add(p, sizeof(T))
                                 .add(2, p, p, sizeof(T))
                                 .add(50, p, sizeof(T))
                                 .add(p, sizeof(int64_t))
                                 .allocate());
    if (!lam) return kNoMemory;
    T* v = lam + p;
    T* c = v + p * p;
    T* work = c + p * p;
    int64_t* comp = reinterpret_cast<int64_t*>(work + 50 * p);
    const int64_t q = processed_components(t, p, comp);
    const T* in = static_cast<const T*>(t->cor);
    T* out = static_cast<T*>(t->paramCor);
    const int lin = mtx_layout(in_code), lout = mtx_layout(out_code);
    for (int64_t j = 0; j < q; ++j)
        for (int64_t i = 0; i < q; ++i) v[i + j * q] = T(get_sym(in, lin, p, comp[i], comp[j]));

    int32_t st = kOk;
    if (q > 0) {
        const int32_t n = int32_t(q), lwork = int32_t(50 * p);
        int32_t info = 0;
        la::syev("V", "U", &n, v, &n, lam, work, &lwork, &info);
        int64_t raised = 0;
        for (int64_t e = 0; e < q && info == 0; ++e)
            if (double(lam[e]) < kFloor) {
                lam[e] = T(kFloor);
                ++raised;
            }
        if (info != 0) st = kSyevFailed;
        else if (raised == q) st = kParamFailed;
        else if (raised == 0) {   // positive definite already: copied unchanged
            for (int64_t i = 0; i < q; ++i)
                for (int64_t j = i; j < q; ++j) put_sym(out, lout, p, comp[i], comp[j], get_sym(in, lin, p, comp[i], comp[j]));
        } else {
            finish(out, lout, p, comp, q, v, lam, c);
        }
    }
    orvu_serv_deallocate(lam);
    return st;
}

}  // namespace
}  // namespace orvu::ss

extern "C" {
ORVU_API int32_t _ptzdSSCorParametrization(SSTask* task, uint32_t, uint32_t, int32_t method) {
    return orvu::ss::cor_param<double>(task, method);
}
ORVU_API int32_t _ptzsSSCorParametrization(SSTask* task, uint32_t, uint32_t, int32_t method) {
    return orvu::ss::cor_param<float>(task, method);
}
}
