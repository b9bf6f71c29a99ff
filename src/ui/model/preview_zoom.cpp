#include "ui/model/preview_zoom.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "plugin/working_image.h"

namespace qorva {
namespace {

// A start that keeps `length` pixels of a `total`-pixel line around `centre` inside the line.
int placeAround(double centre, int length, int total) {
    const double start = std::floor(centre - length / 2.0);
    return static_cast<int>(std::clamp(start, 0.0, static_cast<double>(total - length)));
}

}  // namespace

ImageRegion actualSizeRegion(ImageSize image, ImageSize area, double centreX, double centreY) {
    if (image.width < 1 || image.height < 1) return {};
    const int w = std::clamp(area.width, 1, image.width);
    const int h = std::clamp(area.height, 1, image.height);
    return {placeAround(centreX, w, image.width), placeAround(centreY, h, image.height), w, h};
}

ImageRegion pannedRegion(const ImageRegion& region, ImageSize image, int dx, int dy) {
    ImageRegion moved = region;
    moved.x = std::clamp(region.x + dx, 0, std::max(0, image.width - region.width));
    moved.y = std::clamp(region.y + dy, 0, std::max(0, image.height - region.height));
    return moved;
}

ImagePoint fullImagePoint(const ClientRect& client, ImageSize shown, ImageSize full, int px,
                          int py) {
    if (shown.width < 1 || shown.height < 1) return {full.width / 2.0, full.height / 2.0};
    // The preview centres its picture the same way, with integer halves.
    const int left = client.left + (client.right - client.left - shown.width) / 2;
    const int top = client.top + (client.bottom - client.top - shown.height) / 2;
    const double u = std::clamp((px - left + 0.5) / shown.width, 0.0, 1.0);
    const double v = std::clamp((py - top + 0.5) / shown.height, 0.0, 1.0);
    return {u * full.width, v * full.height};
}

bool copyRegion(const std::uint8_t* pixels, int width, int height, const ImageRegion& region,
                WorkingImage& out) {
    const bool inside = region.width >= 1 && region.height >= 1 && region.x >= 0 && region.y >= 0 &&
                        region.x <= width - region.width && region.y <= height - region.height;
    if (pixels == nullptr || !inside) {
        out.Release();
        return false;
    }
    if (out.width() != region.width || out.height() != region.height || !out.hasPixels() ||
        out.bitsPerPixel() != 24) {
        if (out.Create(region.width, region.height, 24) != kImageOk) return false;
    }
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    const std::size_t rowBytes = static_cast<std::size_t>(region.width) * 3;
    for (int y = 0; y < region.height; ++y) {
        const std::uint8_t* from = pixels + static_cast<std::size_t>(region.y + y) * stride +
                                   static_cast<std::size_t>(region.x) * 3;
        std::memcpy(out.pixels() + static_cast<std::size_t>(y) * rowBytes, from, rowBytes);
    }
    return true;
}

}  // namespace qorva
