#include "colour/finishing_passes.h"

#include <algorithm>
#include <cstddef>

#include "colour/color_filters.h"
#include "common/large_buffer.h"
#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "kernels/clarity_sharpen.h"
#include "kernels/gaussian_blur.h"
#include "kernels/packed_image.h"
#include "kernels/recursive_blur.h"
#include "kernels/unsharp_mask.h"
#include "pipelines/run_context.h"

namespace qorva {

double clarityAmount(int width) {
    return std::min(1 + 0.0002 * width, 1.9);
}

void ClarityPass(std::uint8_t* image, int width, int height) {
    ClaritySharpen(image, width, height, 1.7, clarityAmount(width), 0, 3);
}

void DehazePass(std::uint8_t* image, int width, int height) {
    // The radius is in pixels on purpose: a preview gets a relatively wider de-haze than the
    // full-size render.
    UnsharpMask(image, width, height, 150, 0.12, 0, 3);
}

bool isOrtonMode(int mode) {
    return filterTraits(mode).glow;
}

namespace {

// The screen blend of a channel value with itself, 255 - (255 - x)^2 / 255 in integers.
std::uint8_t screened(int x) {
    const int inv = 255 - x;
    return static_cast<std::uint8_t>(255 - inv * inv / 255);
}

// The multiply blend of a channel value with its glow: glow x value / 255 in integers.
QORVA_ALWAYS_INLINE std::uint8_t multiplied(int glow, int value) {
    return static_cast<std::uint8_t>(glow * value / 255);
}

// The vertical pass of the glow for a group of columns: the horizontally blurred glow is read
// from glowRows, and each blurred row run darkens the same run of the image at once.
QORVA_WIDE_VECTORS void glowColumnGroup(const std::uint8_t* glowRows, std::uint8_t* image,
                                        std::size_t rowBytes, std::size_t height,
                                        std::size_t firstColumn, std::size_t columns,
                                        const blur::Coefficients& c, const blur::ColumnScratch& s) {
    blur::packedColumnGroup(glowRows, image, rowBytes, height, firstColumn, columns, c, s,
                            [](int value, int glow) { return multiplied(glow, value); });
}

}  // namespace

void OrtonPass(std::uint8_t* image, int width, int height, int mode) {
    if (!isOrtonMode(mode) || image == nullptr) return;
    const std::size_t size = packedImageBytes(width, height, 3);
    if (size == 0) return;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const float radius = static_cast<float>(std::max(width, height) * 0.05);

    // The glow is the screen blend of the image with itself, blurred; the image is then
    // multiplied by it, which darkens mid tones and leaves white and black alone.
    std::uint8_t screen[256];
    for (int x = 0; x < 256; ++x) screen[x] = screened(x);
    if (!blur::blurs(radius, width, height)) {
        // Too small to blur: the glow is the screen blend itself.
        parallelRows(height, [&](int begin, int end) {
            const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
            for (std::size_t i = static_cast<std::size_t>(begin) * rowBytes; i < last; ++i)
                image[i] = multiplied(screen[image[i]], image[i]);
        });
        return;
    }
    // The horizontal pass reads the image through the screen table, so the unblurred glow is
    // never stored; the vertical pass applies the blend as each blurred run comes out.
    const blur::Coefficients c = blur::coefficientsFor(radius);
    const LargeArray<std::uint8_t> glow = makeLargeArray<std::uint8_t>(size);
    blur::blurRows(image, glow.get(), width, height, 3, c, screen);
    const std::uint8_t* glowRows = glow.get();
    const std::size_t h = static_cast<std::size_t>(height);
    blur::forEachColumnGroup(
        width, height,
        [&](std::size_t firstColumn, std::size_t columns, const blur::ColumnScratch& s) {
            glowColumnGroup(glowRows, image, rowBytes, h, firstColumn, columns, c, s);
        });
}

void runFinishingPasses(const RunContext& context, std::uint8_t* image, int width, int height,
                        int filterMode) {
    if (context.clarityOn) ClarityPass(image, width, height);
    if (context.dehazeOn) DehazePass(image, width, height);
    OrtonPass(image, width, height, filterMode);
}

}  // namespace qorva
