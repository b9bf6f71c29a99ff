#include "colour/finishing_passes.h"

#include <algorithm>
#include <cstddef>

#include "common/large_buffer.h"
#include "common/parallel.h"
#include "kernels/clarity_sharpen.h"
#include "kernels/gaussian_blur.h"
#include "kernels/packed_image.h"
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
    return (mode >= 4 && mode <= 7) || (mode >= 9 && mode <= 11);
}

void OrtonPass(std::uint8_t* image, int width, int height, int mode) {
    if (!isOrtonMode(mode) || image == nullptr) return;
    const std::size_t size = packedImageBytes(width, height, 3);
    if (size == 0) return;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;

    // Screen blend of the image with itself, then blurred: the glow.
    const LargeArray<std::uint8_t> glowBlock = makeLargeArray<std::uint8_t>(size);
    std::uint8_t* const glow = glowBlock.get();
    parallelRows(height, [&](int begin, int end) {
        const std::uint8_t* in = image;
        std::uint8_t* out = glow;
        const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
        for (std::size_t i = static_cast<std::size_t>(begin) * rowBytes; i < last; ++i) {
            const int inv = 255 - in[i];
            out[i] = static_cast<std::uint8_t>(255 - inv * inv / 255);
        }
    });
    const float radius = static_cast<float>(std::max(width, height) * 0.05);
    GaussianBlur(glow, width, height, radius, 3);

    // Multiply blend: the glow darkens mid tones and leaves white and black alone.
    parallelRows(height, [&](int begin, int end) {
        std::uint8_t* out = image;
        const std::uint8_t* soft = glow;
        const std::size_t last = static_cast<std::size_t>(end) * rowBytes;
        for (std::size_t i = static_cast<std::size_t>(begin) * rowBytes; i < last; ++i) {
            out[i] = static_cast<std::uint8_t>(soft[i] * out[i] / 255);
        }
    });
}

void runFinishingPasses(const RunContext& context, std::uint8_t* image, int width, int height,
                        int filterMode) {
    if (context.clarityOn) ClarityPass(image, width, height);
    if (context.dehazeOn) DehazePass(image, width, height);
    OrtonPass(image, width, height, filterMode);
}

}  // namespace qorva
