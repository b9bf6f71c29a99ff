#include "kernels/unsharp_mask.h"

#include <cstddef>
#include <cstdlib>

#include "common/large_buffer.h"
#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "kernels/gaussian_blur.h"
#include "kernels/packed_image.h"
#include "kernels/recursive_blur.h"

namespace qorva {
namespace {

// s + amount x (s - b), with differences below the threshold left out, truncated and held to
// the byte range. Branch-free, so the loops that use it vectorise.
QORVA_ALWAYS_INLINE std::uint8_t sharpenedByte(int s, int b, double amount, int threshold) {
    const int d = s - b;
    const int m = std::abs(2 * d) < threshold ? 0 : d;
    const double v = s + amount * m;
    double c = v > 0 ? v : 0.0;
    c = c >= 255 ? 255.0 : c;
    return static_cast<std::uint8_t>(static_cast<int>(c));
}

// The vertical pass of a group of columns of packed RGB: the horizontally blurred bytes are
// read from soft, and each blurred row run sharpens the same run of the image at once.
QORVA_WIDE_VECTORS void sharpenColumnGroup(const std::uint8_t* soft, std::uint8_t* pixels,
                                           std::size_t rowBytes, std::size_t height,
                                           std::size_t firstColumn, std::size_t columns,
                                           const blur::Coefficients& c,
                                           const blur::ColumnScratch& s, double amount,
                                           int threshold) {
    blur::packedColumnGroup(soft, pixels, rowBytes, height, firstColumn, columns, c, s,
                            [amount, threshold](int image, int blurred) {
                                return sharpenedByte(image, blurred, amount, threshold);
                            });
}

}  // namespace

void UnsharpMask(std::uint8_t* pixels, int width, int height, double radius, double amount,
                 int threshold, int bytesPerPixel) {
    if (pixels == nullptr || bytesPerPixel < 3) return;
    const std::size_t size = packedImageBytes(width, height, bytesPerPixel);
    // Without a blur every difference is 0 and the image stays as it is.
    if (size == 0 || !blur::blurs(radius, width, height)) return;
    // The blur goes into its own buffer, so the image itself is the unblurred source.
    const LargeArray<std::uint8_t> blurred = makeLargeArray<std::uint8_t>(size);
    std::uint8_t* const soft = blurred.get();
    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bpp;

    if (bpp == 3) {
        // Packed RGB, the product's layout: the vertical pass sharpens as it goes.
        const blur::Coefficients c = blur::coefficientsFor(radius);
        blur::blurRows(pixels, soft, width, height, 3, c);
        const std::size_t h = static_cast<std::size_t>(height);
        blur::forEachColumnGroup(
            width, height,
            [&](std::size_t firstColumn, std::size_t columns, const blur::ColumnScratch& s) {
                sharpenColumnGroup(soft, pixels, rowBytes, h, firstColumn, columns, c, s, amount,
                                   threshold);
            });
        return;
    }
    GaussianBlurCopy(pixels, soft, width, height, radius, bytesPerPixel);
    parallelRows(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::size_t rowStart = static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t i = rowStart; i < rowStart + rowBytes; i += bpp) {
                for (std::size_t ch = 0; ch < 3; ++ch)
                    pixels[i + ch] = sharpenedByte(pixels[i + ch], soft[i + ch], amount, threshold);
            }
        }
    });
}

}  // namespace qorva
