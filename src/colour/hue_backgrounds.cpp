#include "colour/hue_backgrounds.h"

#include <algorithm>
#include <cstddef>

#include "colour/hls.h"
#include "kernels/packed_image.h"

namespace qorva {
namespace {

constexpr float kLightness = 250;
constexpr float kSaturation = 360;

std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

}  // namespace

std::vector<std::uint8_t> makeHueBackground(int width, int height, float verticalShift) {
    const std::size_t size = packedImageBytes(width, height, 3);
    if (size == 0) return {};
    std::vector<std::uint8_t> picture(size);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;  // pixels above the bottom edge
        const float shift = verticalShift * (static_cast<float>(y) / height - 0.5f) * 360;
        std::uint8_t* out = picture.data() + static_cast<std::size_t>(row) * width * 3;
        for (int x = 0; x < width; ++x) {
            const float hue = static_cast<float>(x) * 360 / width + shift;
            float r, g, b;
            HlsToRgb(hue, kLightness, kSaturation, r, g, b);
            *out++ = toByte(r);
            *out++ = toByte(g);
            *out++ = toByte(b);
        }
    }
    return picture;
}

}  // namespace qorva
