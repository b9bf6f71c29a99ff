// Size arithmetic shared by the kernels, which all work on packed rows without padding.
#pragma once

#include <cstddef>
#include <limits>

namespace qorva {

// Bytes of a packed image, or 0 when a dimension is not positive or the size would not fit in
// size_t (so a caller never allocates or indexes through a wrapped size).
inline std::size_t packedImageBytes(int width, int height, int bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return 0;
    const std::size_t max = std::numeric_limits<std::size_t>::max();
    std::size_t size = static_cast<std::size_t>(width);
    if (size > max / static_cast<std::size_t>(height)) return 0;
    size *= static_cast<std::size_t>(height);
    if (size > max / static_cast<std::size_t>(bytesPerPixel)) return 0;
    return size * static_cast<std::size_t>(bytesPerPixel);
}

}  // namespace qorva
