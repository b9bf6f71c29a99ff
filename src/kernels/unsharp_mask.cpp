#include "kernels/unsharp_mask.h"

#include <cstddef>
#include <cstdlib>

#include "common/large_buffer.h"
#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "kernels/gaussian_blur.h"
#include "kernels/packed_image.h"

namespace qorva {
namespace {

QORVA_WIDE_VECTORS void sharpenBytes(std::uint8_t* __restrict out,
                                     const std::uint8_t* __restrict blur, std::size_t count,
                                     double amount, int threshold) {
    for (std::size_t i = 0; i < count; ++i) {
        const int s = out[i];
        const int d = s - blur[i];
        const int m = std::abs(2 * d) < threshold ? 0 : d;
        const double v = s + amount * m;
        double c = v > 0 ? v : 0.0;
        c = c >= 255 ? 255.0 : c;
        out[i] = static_cast<std::uint8_t>(static_cast<int>(c));
    }
}

}  // namespace

void UnsharpMask(std::uint8_t* pixels, int width, int height, double radius, double amount,
                 int threshold, int bytesPerPixel) {
    if (pixels == nullptr || bytesPerPixel < 3) return;
    const std::size_t size = packedImageBytes(width, height, bytesPerPixel);
    if (size == 0) return;
    // The blur goes into its own buffer, so the image itself is the unblurred source.
    const LargeArray<std::uint8_t> blurred = makeLargeArray<std::uint8_t>(size);
    const std::uint8_t* soft = blurred.get();
    GaussianBlurCopy(pixels, blurred.get(), width, height, radius, bytesPerPixel);

    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bpp;
    if (bpp == 3) {
        // Packed RGB: every byte is a channel, so the rows are one flat, vectorisable run.
        parallelRows(height, [&](int begin, int end) {
            const std::size_t first = static_cast<std::size_t>(begin) * rowBytes;
            const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
            sharpenBytes(pixels + first, soft + first, last - first, amount, threshold);
        });
        return;
    }
    parallelRows(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::size_t rowStart = static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t i = rowStart; i < rowStart + rowBytes; i += bpp) {
                for (std::size_t ch = 0; ch < 3; ++ch) {
                    const int s = pixels[i + ch];
                    int d = s - soft[i + ch];
                    if (std::abs(2 * d) < threshold) d = 0;
                    const double v = s + amount * d;
                    pixels[i + ch] = !(v > 0) ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
                }
            }
        }
    });
}

}  // namespace qorva
