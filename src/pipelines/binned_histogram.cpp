#include "pipelines/binned_histogram.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace qorva {

void BinnedHistogram::reset(int count, float rangeLo, float rangeHi) {
    if (count < 1) count = 1;
    bins.reset();
    bins.reset(new float[static_cast<std::size_t>(count)]);
    lo = rangeLo;
    hi = rangeHi;
    binCount = count;
    highestUsedBin = 0;
    lowestUsedBin = count;
}

void BinnedHistogram::fill(float value) {
    for (int i = 0; i < binCount; ++i) bins[i] = value;
}

float BinnedHistogram::fraction(float v) const {
    const float span = hi - lo;
    if (span == 0) return 0;
    return (v - lo) / span;
}

float BinnedHistogram::clampedFraction(float v) const {
    const float t = fraction(v);
    if (!(t > 0)) return 0;
    if (t > 1) return 1;
    return t;
}

void BinnedHistogram::add(float v, float weight) {
    if (!(lo <= v && v <= hi)) return;
    const float t = fraction(v);
    int k = static_cast<int>(static_cast<float>(binCount - 1) * t);
    if (k >= binCount) k = binCount - 1;
    bins[k] += weight;
    lowestUsedBin = std::min(lowestUsedBin, k);
    highestUsedBin = std::max(highestUsedBin, k);
}

double BinnedHistogram::sum() const {
    double total = 0;
    for (int i = 0; i < binCount; ++i) total += bins[i];
    return total;
}

void BinnedHistogram::clip(float limitFactor) {
    const int n = binCount;
    if (n < 1) return;

    // The limit is a whole count; the conversion is kept inside the unsigned 32-bit range so
    // that an odd factor cannot make it undefined.
    const double rawLimit = sum() * limitFactor / n;
    std::uint32_t wholeLimit = 0;
    if (rawLimit >= 4294967295.0) {
        wholeLimit = 4294967295u;
    } else if (rawLimit > 0) {
        wholeLimit = static_cast<std::uint32_t>(rawLimit);
    }
    float limit = static_cast<float>(wholeLimit);
    if (limit < 1) limit = 1;

    double excess = 0;
    for (int i = 0; i < n; ++i) {
        if (bins[i] > limit) excess += bins[i] - limit;
    }

    const float increment = static_cast<float>(std::trunc(excess / n));
    const float upper = std::trunc(limit - increment);
    for (int i = 0; i < n; ++i) {
        float& bin = bins[i];
        if (bin > limit) {
            bin = limit;
        } else if (bin > upper) {
            excess -= bin - upper;
            bin = limit;
        } else {
            excess -= increment;
            bin += increment;
        }
    }

    // Whatever is left goes out one count at a time, spread evenly over the bins still below
    // the limit. Counts are whole numbers, so the excess reaches exactly 0; testing for a
    // positive excess keeps the loop from chasing a fractional remainder below 0.
    for (int start = 0; start < n && excess > 0; ++start) {
        int step = static_cast<int>(std::min(static_cast<double>(n), n / excess));
        if (step < 1) step = 1;
        for (int k = start; k < n && excess > 0; k += step) {
            if (bins[k] < limit) {
                bins[k] += 1;
                excess -= 1;
            }
        }
    }
}

double BinnedHistogram::accumulateFrom(const BinnedHistogram& source) {
    // Built aside and moved in, so that accumulating a histogram into itself reads intact bins.
    BinnedHistogram result;
    result.reset(source.binCount + 1, source.lo, source.hi);
    result.highestUsedBin = source.highestUsedBin;
    result.lowestUsedBin = source.lowestUsedBin;
    double acc = 0;
    for (int i = 0; i < source.binCount; ++i) {
        result.bins[i] = static_cast<float>(acc);
        acc += source.bins[i];
    }
    result.bins[source.binCount] = static_cast<float>(acc);
    *this = std::move(result);
    return acc;
}

float BinnedHistogram::normalizeFrom(const BinnedHistogram& source, float a, float b) {
    const float total = static_cast<float>(accumulateFrom(source));
    if (binCount <= 1 || total <= 0) {
        fill(a);
        return total;
    }
    const float scale = (b - a) / total;
    for (int i = 0; i < binCount; ++i) bins[i] = (bins[i] - lo) * scale;
    lo = a;
    hi = b;
    return total;
}

void BinnedHistogram::blendWithIdentity(float w) {
    if (binCount <= 0) return;
    const float c = 1 - w;
    const float step = (hi - lo) / binCount;
    for (int i = 0; i < binCount; ++i) bins[i] = (i * step + lo) * c + w * bins[i];
}

float BinnedHistogram::valueAt(float v) const {
    if (binCount < 2) return binCount == 1 ? bins[0] : 0;
    const float t = clampedFraction(v);
    const float p = t * (binCount - 2);
    int k = static_cast<int>(p);
    if (k > binCount - 2) k = binCount - 2;
    const float f = p - k;
    return bins[k] + f * (bins[k + 1] - bins[k]);
}

}  // namespace qorva
