#include "kernels/unsharp_mask.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/parallel.h"
#include "kernels/gaussian_blur.h"
#include "kernels/packed_image.h"

namespace qorva {

void UnsharpMask(std::uint8_t* pixels, int width, int height, double radius, double amount,
                 int threshold, int bytesPerPixel) {
    if (pixels == nullptr || bytesPerPixel < 3) return;
    const std::size_t size = packedImageBytes(width, height, bytesPerPixel);
    if (size == 0) return;
    const std::vector<std::uint8_t> source(pixels, pixels + size);
    GaussianBlur(pixels, width, height, radius, bytesPerPixel);

    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bpp;
    parallelRows(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::size_t rowStart = static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t i = rowStart; i < rowStart + rowBytes; i += bpp) {
                for (std::size_t ch = 0; ch < 3; ++ch) {
                    const int s = source[i + ch];
                    int d = s - pixels[i + ch];
                    if (std::abs(2 * d) < threshold) d = 0;
                    const double v = s + amount * d;
                    pixels[i + ch] = !(v > 0) ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
                }
            }
        }
    });
}

}  // namespace qorva
