// A histogram with float bins over a value range. The bins are floats so that counts, clipped
// counts and their running sums share one type: the same structure holds a tile's luminance
// counts and, after accumulation, the tile's mapping read back by valueAt.
#pragma once

#include <memory>

namespace qorva {

struct BinnedHistogram {
    std::unique_ptr<float[]> bins;  // binCount entries
    float lo = 0;                   // value range the bins cover
    float hi = 0;
    int binCount = 0;        // at least 1 once reset
    int highestUsedBin = 0;  // highest bin add has touched; 0 after reset
    int lowestUsedBin = 0;   // lowest bin add has touched; binCount after reset

    // Bin contents are undefined until fill. A count below 1 uses 1.
    void reset(int count, float rangeLo, float rangeHi);
    void fill(float value);

    // Position of v in [lo, hi] as 0..1 (unclamped); 0 for an empty range.
    float fraction(float v) const;
    // fraction limited to [0, 1]; a value with no position (NaN) reads as 0.
    float clampedFraction(float v) const;

    // Counts v with the given weight when lo <= v <= hi.
    void add(float v, float weight);
    double sum() const;

    // Contrast limiting: caps every bin at sum * limitFactor / binCount and hands the excess
    // back out evenly, so that no brightness gets more than its share of the output range.
    void clip(float limitFactor);

    // Makes this the running sum of source (source.binCount + 1 entries, entry 0 is 0 and the
    // last is the total). Returns the total.
    double accumulateFrom(const BinnedHistogram& source);
    // The running sum of source scaled into [a, b]; an empty source fills with a. Returns the
    // total, rounded to single precision.
    float normalizeFrom(const BinnedHistogram& source, float a, float b);
    // Mixes the bins with a straight ramp over [lo, hi): w = 1 keeps the bins, w = 0 gives the
    // ramp. The ramp divides by binCount, so 501 entries over [0, 1] give i / 501.
    void blendWithIdentity(float w);
    // Reads the bins as a piecewise-linear function over [lo, hi]; positions span entries
    // 0 .. binCount - 2, the last entry only serves as the right-hand neighbour.
    float valueAt(float v) const;
};

}  // namespace qorva
