// What the preview shows besides the fitted result: the unprocessed original in its place while
// the user holds it (right button or backslash), and a 1:1 part of the full-size result after
// an All render, panned by the user. Here is their arithmetic, without windows.
#pragma once

#include <cstdint>

#include "render/render_driver.h"

namespace qorva {

class WorkingImage;

// The texts the preview's label band shows for each view (none for the fitted result).
constexpr const char* kOriginalLabel = "Original";
constexpr const char* kActualSizeLabel = "Result at 100 %";
constexpr const char* kOriginalActualSizeLabel = "Original at 100 %";

// A rectangle of image pixels.
struct ImageRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ImageRegion&) const = default;
};

struct ImagePoint {
    double x = 0;
    double y = 0;
};

// The part of an image that a 1:1 view of `area` shows with the image point (centreX, centreY)
// in its middle: as large as the area, or the image where that is smaller, and always inside
// the image, so that a point near an edge or a corner brings that edge to the view's edge.
ImageRegion actualSizeRegion(ImageSize image, ImageSize area, double centreX, double centreY);

// The same part moved by (dx, dy) image pixels, stopping at the image's edges.
ImageRegion pannedRegion(const ImageRegion& region, ImageSize image, int dx, int dy);

// The point of the full-size image under the client point (px, py) of a preview that shows a
// picture of `shown` size centred in `client`. Points beside the picture fall on its nearest
// edge.
ImagePoint fullImagePoint(const ClientRect& client, ImageSize shown, ImageSize full, int px,
                          int py);

// The region of a packed RGB image of width x height as an image of its own. False (and out
// without pixels) when it cannot be had or the region is not inside the image.
bool copyRegion(const std::uint8_t* pixels, int width, int height, const ImageRegion& region,
                WorkingImage& out);

}  // namespace qorva
