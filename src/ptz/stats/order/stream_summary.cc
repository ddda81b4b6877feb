// Merge, compression and lookup of the streaming quantile summary.
#include "ptz/stats/order/stream_summary.h"

#include <cmath>
#include <cstring>

#include "ptz/stats/order/order_common.h"

namespace orvu::ss::order {

template <class T>
bool reserve(StreamRecord& rec, int64_t more) {
    auto* s = static_cast<Summary<T>*>(rec.summary);
    const int64_t size = s ? s->size : 0, cap = s ? s->cap : 0;
    if (size + more <= cap) return true;
    // Header and tuples in one block; doubling falls back to the exact need
    // when the doubled block would not fit.
    const int64_t need = size + more;
    int64_t grown = 2 * cap > need ? 2 * cap : need;
    if (!BlockSize().add(sizeof(Summary<T>)).add(grown, sizeof(Tuple<T>)).fits()) grown = need;
    auto* fresh = static_cast<Summary<T>*>(BlockSize().add(sizeof(Summary<T>)).add(grown, sizeof(Tuple<T>)).allocate());
    if (!fresh) return false;
    fresh->size = size;
    fresh->cap = grown;
    if (s) {
        std::memcpy(static_cast<void*>(fresh->tuples()), s->tuples(), size_t(size) * sizeof(Tuple<T>));
        orvu_serv_deallocate(s);
    }
    rec.summary = fresh;
    return true;
}

template <class T>
void merge_sorted(StreamRecord& rec, const T* v, int64_t m, double eps, bool fold) {
    auto* s = static_cast<Summary<T>*>(rec.summary);
    Tuple<T>* t = s->tuples();
    // Merge from the back, in place: the tuple to the right of each new value
    // is known when the value is placed.
    int64_t i = s->size - 1, k = m - 1, w = s->size + m - 1;
    bool right_exists = false;
    int64_t right_gd = 0;   // g + d of the nearest original tuple to the right
    while (k >= 0) {
        if (i >= 0 && t[i].v > v[k]) {
            right_gd = t[i].g + t[i].d;
            right_exists = true;
            t[w--] = t[i--];
        } else {
            // d = 0 when the value is a new maximum or lies below every old tuple
            const int64_t d = (right_exists && i >= 0) ? right_gd - 1 : 0;
            t[w--] = Tuple<T>{v[k--], 1, d};
        }
    }
    s->size += m;
    rec.count += m;
    if (fold) compress<T>(rec, eps);
}

template <class T>
void compress(StreamRecord& rec, double eps) {
    auto* s = static_cast<Summary<T>*>(rec.summary);
    if (!s || s->size < 3) return;
    const int64_t limit = int64_t(std::floor(2 * eps * double(rec.count)));
    Tuple<T>* t = s->tuples();
    int64_t w = 0;   // t[0..w] is the folded prefix; t[0] is never folded
    for (int64_t r = 1; r < s->size; ++r) {
        Tuple<T> cur = t[r];
        while (w >= 1 && t[w].g + cur.g + cur.d <= limit) {
            cur.g += t[w].g;
            --w;
        }
        t[++w] = cur;
    }
    s->size = w + 1;
}

template <class T>
double query(const StreamRecord& rec, double q) {
    const auto* s = static_cast<const Summary<T>*>(rec.summary);
    if (!s || s->size == 0) return NAN;
    const Tuple<T>* t = const_cast<Summary<T>*>(s)->tuples();
    const double r = 1 + q * double(rec.count - 1);
    double best = INFINITY, rmin = 0;
    int64_t pick = 0;
    for (int64_t i = 0; i < s->size; ++i) {
        rmin += double(t[i].g);
        const double err = std::fmax(r - rmin, rmin + double(t[i].d) - r);
        if (err < best) {
            best = err;
            pick = i;
        }
        if (rmin - r > best) break;   // later tuples only move further away
    }
    return double(t[pick].v);
}

int64_t level_room(int64_t count, double eps) {
    // Boundaries floor((2^(k+1) - 1)/eps); past 2^62 the level never ends.
    constexpr double kCap = 4.6e18;
    for (int k = 0; k < 62; ++k) {
        const double end = std::floor((std::ldexp(1.0, k + 1) - 1) / eps);
        if (end >= kCap) return int64_t(kCap) - count;
        if (int64_t(end) > count) return int64_t(end) - count;
    }
    return int64_t(kCap) - count;
}

template bool reserve<double>(StreamRecord&, int64_t);
template bool reserve<float>(StreamRecord&, int64_t);
template void merge_sorted<double>(StreamRecord&, const double*, int64_t, double, bool);
template void merge_sorted<float>(StreamRecord&, const float*, int64_t, double, bool);
template void compress<double>(StreamRecord&, double);
template void compress<float>(StreamRecord&, double);
template double query<double>(const StreamRecord&, double);
template double query<float>(const StreamRecord&, double);

}  // namespace orvu::ss::order
