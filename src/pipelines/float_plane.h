// One channel of single-precision samples, owned by the pipeline run that creates it: the
// luminance before and after the local equalisation, and the luminance plane of method 1.
#pragma once

#include <cstddef>

#include "common/large_buffer.h"

namespace qorva {

struct FloatPlane {
    int width = 0;
    int height = 0;
    // width x height samples, row-major; sample (x, y) at index y * width + x. Not initialised
    // by create: every user writes a sample before reading it.
    LargeArray<float> samples;

    // Throws std::bad_alloc (std::bad_array_new_length for a negative size or one whose byte
    // count does not fit in size_t) so that the pipeline ends its run with a failure result.
    void create(int width, int height);
    void release();

    std::size_t size() const { return static_cast<std::size_t>(width) * height; }
    float* row(int y) { return samples.get() + static_cast<std::size_t>(y) * width; }
    const float* row(int y) const { return samples.get() + static_cast<std::size_t>(y) * width; }
};

}  // namespace qorva
