#include "support/test_images.h"

#include <algorithm>
#include <cstdio>

namespace qorva::test {
namespace {

std::uint32_t nextRandom(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

std::vector<std::uint8_t> makePhotoLikeImage(int width, int height, std::uint32_t seed) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height * 3);
    std::uint32_t state = seed * 2654435761u + 12345u;
    if (state == 0) state = 1;
    const int horizon = height * 3 / 5;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int r, g, b;
            if (y < horizon) {
                // Sky: deep blue at the top to a pale, warm horizon.
                int t = horizon > 1 ? y * 255 / (horizon - 1) : 0;
                r = 40 + t * 180 / 255;
                g = 90 + t * 130 / 255;
                b = 200 + t * 30 / 255;
                // A bright sun disc with a soft rim.
                int dx = x - width * 3 / 4, dy = y - horizon / 3;
                int d2 = dx * dx + dy * dy, rad = std::max(2, width / 16);
                if (d2 < rad * rad) r = g = b = 250;
            } else {
                // Foreground: dark ground with a horizontal gradient and a striped fence.
                int t = width > 1 ? x * 255 / (width - 1) : 0;
                r = 30 + t / 6;
                g = 45 + t / 5;
                b = 20 + t / 10;
                if ((x / std::max(1, width / 24)) % 3 == 0 && y > horizon + (height - horizon) / 4)
                    r += 90, g += 70, b += 50;
            }
            // Saturated patches around the hue circle along the horizon.
            int patch = std::max(2, width / 14);
            int px = x / patch, py = (y - horizon + patch) / patch;
            if (py == 0 && px < 12) {
                static const int hues[12][3] = {{230, 20, 20},  {230, 130, 10}, {230, 230, 20},
                                                {120, 230, 20}, {20, 200, 40},  {20, 220, 170},
                                                {20, 200, 230}, {20, 90, 230},  {60, 20, 220},
                                                {150, 20, 220}, {220, 20, 200}, {230, 20, 110}};
                r = hues[px][0], g = hues[px][1], b = hues[px][2];
            }
            int noise = static_cast<int>(nextRandom(state) % 13) - 6;
            std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            image[i] = clampByte(r + noise);
            image[i + 1] = clampByte(g + noise);
            image[i + 2] = clampByte(b + noise);
        }
    }
    return image;
}

std::vector<std::uint8_t> makeUniformImage(int width, int height, std::uint8_t r, std::uint8_t g,
                                           std::uint8_t b) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < image.size(); i += 3) {
        image[i] = r;
        image[i + 1] = g;
        image[i + 2] = b;
    }
    return image;
}

std::string checksum(const std::uint8_t* data, std::size_t size) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace qorva::test
