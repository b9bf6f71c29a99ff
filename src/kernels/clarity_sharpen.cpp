#include "kernels/clarity_sharpen.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "colour/hls.h"
#include "common/large_buffer.h"
#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "kernels/gaussian_blur.h"
#include "kernels/packed_image.h"

namespace qorva {

// Full strength at red and blue, about half at green and magenta. Ten hues per line, the
// first hue of each line in the comment.
const std::uint8_t ClarityHueTable[363] = {
    // clang-format off
    /*   0 */ 255, 255, 254, 252, 252, 250, 248, 248, 246, 245,
    /*  10 */ 243, 243, 241, 239, 239, 238, 235, 233, 233, 232,
    /*  20 */ 230, 230, 227, 226, 224, 224, 222, 221, 221, 219,
    /*  30 */ 217, 217, 216, 214, 212, 212, 210, 209, 209, 205,
    /*  40 */ 204, 203, 203, 201, 200, 200, 198, 196, 194, 194,
    /*  50 */ 192, 190, 190, 189, 187, 187, 185, 183, 181, 181,
    /*  60 */ 180, 178, 178, 176, 174, 172, 172, 172, 171, 171,
    /*  70 */ 169, 167, 166, 166, 164, 162, 162, 161, 159, 159,
    /*  80 */ 157, 156, 154, 154, 153, 151, 151, 150, 148, 147,
    /*  90 */ 147, 146, 144, 144, 143, 142, 141, 141, 140, 139,
    /* 100 */ 139, 137, 136, 136, 135, 135, 133, 133, 132, 131,
    /* 110 */ 131, 131, 130, 129, 129, 129, 128, 128, 128, 128,
    /* 120 */ 128, 128, 128, 128, 128, 128, 129, 129, 130, 130,
    /* 130 */ 131, 131, 132, 134, 134, 134, 135, 136, 136, 139,
    /* 140 */ 140, 140, 141, 142, 144, 144, 145, 146, 146, 148,
    /* 150 */ 149, 149, 151, 152, 154, 154, 156, 157, 157, 161,
    /* 160 */ 162, 164, 164, 165, 166, 166, 168, 170, 171, 171,
    /* 170 */ 173, 175, 175, 177, 179, 179, 181, 183, 185, 185,
    /* 180 */ 187, 189, 189, 191, 192, 194, 194, 196, 198, 198,
    /* 190 */ 200, 202, 204, 204, 206, 208, 208, 210, 212, 212,
    /* 200 */ 213, 215, 217, 217, 219, 221, 221, 222, 224, 226,
    /* 210 */ 226, 227, 229, 229, 232, 234, 235, 235, 237, 238,
    /* 220 */ 238, 239, 242, 242, 243, 244, 245, 245, 248, 249,
    /* 230 */ 249, 249, 251, 252, 252, 253, 254, 254, 255, 255,
    /* 240 */ 255, 255, 255, 255, 255, 254, 253, 253, 252, 250,
    /* 250 */ 249, 249, 247, 244, 244, 241, 238, 235, 235, 232,
    /* 260 */ 229, 229, 226, 222, 219, 219, 215, 210, 210, 206,
    /* 270 */ 202, 202, 198, 194, 191, 191, 187, 181, 181, 177,
    /* 280 */ 173, 170, 170, 164, 161, 161, 157, 152, 149, 149,
    /* 290 */ 145, 142, 142, 139, 135, 135, 134, 131, 129, 129,
    /* 300 */ 128, 128, 128, 128, 129, 130, 130, 131, 133, 133,
    /* 310 */ 135, 137, 140, 140, 142, 144, 144, 147, 150, 150,
    /* 320 */ 153, 156, 159, 159, 162, 166, 166, 169, 172, 174,
    /* 330 */ 174, 178, 181, 181, 185, 189, 192, 192, 196, 200,
    /* 340 */ 200, 203, 205, 205, 210, 214, 217, 217, 221, 224,
    /* 350 */ 224, 227, 232, 235, 235, 239, 243, 243, 246, 249,
    /* 360 */ 253, 255, 255,
    // clang-format on
};

namespace {

constexpr float kInv255 = static_cast<float>(1.0 / 255.0);
constexpr float kInv360 = static_cast<float>(1.0 / 360.0);

// The sharpening weight of a blurred pixel from RgbToHls's hue and saturation, without
// branches so that the row loop vectorises. hueWeight[k] is the table's weight of whole hue k on
// the 0..1 scale.
inline float clarityWeight(float r, float g, float b, const float* hueWeight) {
    float h, l, s;
    RgbToHlsBranchFree(r, g, b, h, l, s);
    // Hues of blurred bytes stay within 0..360; the guard keeps the table read inside its
    // bounds whatever the conversion returns.
    const int inRange = static_cast<int>(h >= 0) & static_cast<int>(h <= 360);
    const int hue = static_cast<int>(inRange ? h : 0.0f);
    return hueWeight[hue] * (s * kInv360);
}

// One row: the weights of its pixels first (vectorised), then the sharpening of every byte.
QORVA_WIDE_VECTORS void sharpenRow(std::uint8_t* __restrict row,
                                   const std::uint8_t* __restrict soft, int width, double amount,
                                   int threshold, const float* __restrict hueWeight,
                                   float* __restrict weight) {
    // The channels apart first (weight holds 4 x width floats: the three channels, then the
    // weights), so that the weights are worked out on plain runs of floats.
    float* r = weight + width;
    float* g = r + width;
    float* b = g + width;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = soft + 3 * static_cast<std::size_t>(x);
        r[x] = p[0];
        g[x] = p[1];
        b[x] = p[2];
    }
    for (int x = 0; x < width; ++x) weight[x] = clarityWeight(r[x], g[x], b[x], hueWeight);
    for (int x = 0; x < width; ++x) {
        const float t = weight[x];
        for (std::size_t ch = 0; ch < 3; ++ch) {
            const std::size_t i = 3 * static_cast<std::size_t>(x) + ch;
            const int src = row[i];
            const int d = src - soft[i];
            const int m = std::abs(2 * d) < threshold ? 0 : d;
            const double v = src + amount * (t * m);
            double c = v > 0 ? v : 0.0;
            c = c >= 255 ? 255.0 : c;
            row[i] = static_cast<std::uint8_t>(static_cast<int>(c));
        }
    }
}

}  // namespace

void ClaritySharpen(std::uint8_t* pixels, int width, int height, double radius, double amount,
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
    float hueWeight[363];
    for (int k = 0; k < 363; ++k) hueWeight[k] = ClarityHueTable[k] * kInv255;
    if (bpp == 3) {
        parallelRows(height, [&](int begin, int end) {
            std::vector<float> weight(4 * static_cast<std::size_t>(width));
            for (int y = begin; y < end; ++y) {
                const std::size_t rowStart = static_cast<std::size_t>(y) * rowBytes;
                sharpenRow(pixels + rowStart, soft + rowStart, width, amount, threshold, hueWeight,
                           weight.data());
            }
        });
        return;
    }
    parallelRows(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::size_t rowStart = static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t i = rowStart; i < rowStart + rowBytes; i += bpp) {
                float h, l, s;
                RgbToHls(soft[i], soft[i + 1], soft[i + 2], h, l, s);
                const int hue = h >= 0 && h <= 360 ? static_cast<int>(h) : 0;
                const float t = (ClarityHueTable[hue] * kInv255) * (s * kInv360);
                for (std::size_t ch = 0; ch < 3; ++ch) {
                    const int src = pixels[i + ch];
                    int d = src - soft[i + ch];
                    if (std::abs(2 * d) < threshold) d = 0;
                    const double v = src + amount * (t * d);
                    pixels[i + ch] = !(v > 0) ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
                }
            }
        }
    });
}

}  // namespace qorva
