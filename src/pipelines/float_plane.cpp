#include "pipelines/float_plane.h"

#include <cstdint>
#include <new>

namespace qorva {

void FloatPlane::create(int newWidth, int newHeight) {
    release();
    if (newWidth < 0 || newHeight < 0) throw std::bad_array_new_length();
    const std::size_t w = static_cast<std::size_t>(newWidth);
    const std::size_t h = static_cast<std::size_t>(newHeight);
    if (h != 0 && w > SIZE_MAX / sizeof(float) / h) throw std::bad_array_new_length();
    samples = makeLargeArray<float>(w * h);
    width = newWidth;
    height = newHeight;
}

void FloatPlane::release() {
    samples.reset();
    width = 0;
    height = 0;
}

}  // namespace qorva
