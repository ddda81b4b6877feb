// Inversion of a discrete law over a table of its cumulative probabilities,
// for the generators whose laws are narrow (a mean or mode within a few dozen
// of the start). The probabilities are walked from the first value upward by
// the law's ratio f(x+1)/f(x) and summed in double; a guide table then points
// each uniform at the first entry it can stop at, so a variate costs a couple
// of comparisons and its value is the same as that of the walk from the start.
#pragma once

#include <algorithm>
#include <cstdint>

namespace ptz::dist {

constexpr int32_t kGuide = 256;

// Bucket of the guide table for a uniform; values outside [0, 1) (an abstract
// stream may deliver 1 or anything) are clamped into the table.
inline int32_t guide_index(float u) {
    const float c = 0.0f < u ? u : 0.0f;  // NaN -> 0
    return int32_t((c < 0.99999994f ? c : 0.99999994f) * float(kGuide));
}

class CdfTable {
public:
    // The law of x0, x0 + 1, ..., x_max with f(x0) = f0 and f(x+1) = f(x)·ratio(x).
    // The table ends at x_max, or where the probabilities fall and no longer
    // change the running sum (the rest of the law weighs less than a rounding
    // of it), or after kMax entries.
    template <class Ratio>
    void build(int32_t x0, int32_t x_max, double f0, Ratio ratio) {
        x0_ = x0;
        double f = f0, sum = f0;
        int32_t i = 0;
        cdf_[0] = sum;
        while (i + 1 < kMax && x0 + i < x_max) {
            const double next = f * ratio(x0 + i);
            if (next < f && sum + next == sum) break;
            f = next;
            sum += f;
            cdf_[++i] = sum;
        }
        count_ = i + 1;
        cdf_[count_] = 2.0;  // sentinel above every uniform
        int32_t k = 0;
        for (int32_t j = 0; j < kGuide; ++j) {
            while (cdf_[k] <= double(j) / kGuide) ++k;
            guide_[j] = int16_t(k);
        }
    }

    // The first x whose cumulative probability exceeds u (u in [0, 1)); the
    // last entry when rounding left the total below u.
    int32_t operator()(float u) const {
        const double ud = u;
        int32_t i = guide_[guide_index(u)];
        while (ud >= cdf_[i]) ++i;
        return x0_ + std::min(i, count_ - 1);
    }

private:
    static constexpr int32_t kMax = 1024;
    double cdf_[kMax + 1];
    int16_t guide_[kGuide];
    int32_t x0_ = 0, count_ = 0;
};

}  // namespace ptz::dist
