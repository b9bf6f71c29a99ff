#include "kernels/clarity_sharpen.h"

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "colour/hls.h"
#include "common/parallel.h"
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
}  // namespace

void ClaritySharpen(std::uint8_t* pixels, int width, int height, double radius, double amount,
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
                float h, l, s;
                RgbToHls(pixels[i], pixels[i + 1], pixels[i + 2], h, l, s);
                // Hues of blurred bytes stay within 0..360; the guard keeps the table read
                // inside its bounds whatever the conversion returns.
                const int hue = h >= 0 && h <= 360 ? static_cast<int>(h) : 0;
                const float t = (ClarityHueTable[hue] * kInv255) * (s * kInv360);
                for (std::size_t ch = 0; ch < 3; ++ch) {
                    const int src = source[i + ch];
                    int d = src - pixels[i + ch];
                    if (std::abs(2 * d) < threshold) d = 0;
                    const double v = src + amount * (t * d);
                    pixels[i + ch] = !(v > 0) ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
                }
            }
        }
    });
}

}  // namespace qorva
