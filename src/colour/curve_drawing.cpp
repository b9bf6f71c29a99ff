#include "colour/curve_drawing.h"

#include <algorithm>
#include <cmath>

namespace qorva {
namespace {

// The checkerboard's two squares at rest, and the bluish pair that shows a point is held.
constexpr std::uint32_t kCheckerDark = 0x6A6A6A;   // grey 106
constexpr std::uint32_t kCheckerLight = 0x727272;  // grey 114
constexpr std::uint32_t kDragDark = 0x616E6F;      // R 97, G 110, B 111
constexpr std::uint32_t kDragLight = 0x697677;     // R 105, G 118, B 119
constexpr std::uint32_t kPointColour = 0x000000;
constexpr std::uint32_t kHoveredPointColour = 0xC0C0C0;
constexpr std::uint32_t kBorderDark = 0x5C6169;
constexpr std::uint32_t kBorderLight = 0xB0B5BE;
// Weight of the hue picture over the checkerboard, of 256: the hues stay clear to read.
constexpr int kBackgroundWeight = 192;

int red(std::uint32_t c) {
    return static_cast<int>((c >> 16) & 0xFF);
}
int green(std::uint32_t c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
int blue(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}
std::uint32_t rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b);
}

std::uint32_t blend(std::uint32_t under, std::uint32_t over, int weight) {
    const auto mix = [weight](int a, int b) { return (a * (256 - weight) + b * weight) >> 8; };
    return rgb(mix(red(under), red(over)), mix(green(under), green(over)),
               mix(blue(under), blue(over)));
}

class Canvas {
public:
    Canvas(std::uint32_t* pixels, int width, int height)
        : pixels_(pixels), width_(width), height_(height) {}
    // y counts rows from the top; the buffer's rows run from the bottom.
    std::uint32_t& at(int x, int y) {
        return pixels_[static_cast<std::size_t>(height_ - 1 - y) *
                           static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(x)];
    }
    void square(int cx, int cy, int r, std::uint32_t colour) {
        for (int y = std::max(0, cy - r); y <= std::min(height_ - 1, cy + r); ++y)
            for (int x = std::max(0, cx - r); x <= std::min(width_ - 1, cx + r); ++x)
                at(x, y) = colour;
    }

private:
    std::uint32_t* pixels_;
    int width_;
    int height_;
};

}  // namespace

void desaturatePixels(std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t c = pixels[i];
        const int m = (red(c) + green(c) + blue(c)) / 3;
        const auto pull = [m](int channel) { return (m * 195 + channel * 60) / 256; };
        pixels[i] = rgb(pull(red(c)), pull(green(c)), pull(blue(c)));
    }
}

void drawCurve(const CurveModel& model, const CurveLook& look, bool pointerInside,
               std::uint32_t* pixels) {
    const int w = model.clientWidth();
    const int h = model.clientHeight();
    if (pixels == nullptr || w < 1 || h < 1) return;
    Canvas canvas(pixels, w, h);
    const CurveTable& table = model.table();
    const bool held = model.dragging() && model.dragIndex() >= 0;

    // Checkerboard, with the hue picture over it.
    const int square = std::max(1, w / 8);
    const std::uint32_t dark = held ? kDragDark : kCheckerDark;
    const std::uint32_t light = held ? kDragLight : kCheckerLight;
    const bool hues = look.background.size() == static_cast<std::size_t>(w) * h * 3;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t c = ((x / square + y / square) % 2 == 0) ? dark : light;
            if (hues) {
                const std::uint8_t* p = &look.background[(static_cast<std::size_t>(y) * w + x) * 3];
                c = blend(c, rgb(p[0], p[1], p[2]), kBackgroundWeight);
            }
            canvas.at(x, y) = c;
        }
    }

    // The curve: its area shaded, then the line two pixels thick, joined column to column.
    const int fullWeight = std::clamp(look.fillAlpha, 0, 256);
    const int fillWeight = fullWeight / 2;
    const int glowBand = std::max(2, h / 5);
    int previous = -1;
    for (int x = 0; x < w; ++x) {
        const int k = w > 1 ? x * 255 / (w - 1) : 0;
        const int top = (255 - table[static_cast<std::size_t>(k)]) * (h - 1) / 255;
        if (look.showFill) {
            for (int y = top + 1; y < h; ++y) {
                int weight = fillWeight;
                if (look.showFill2 && y - top <= glowBand)
                    weight = fullWeight - (fullWeight - fillWeight) * (y - top) / glowBand;
                canvas.at(x, y) = blend(canvas.at(x, y), look.curveColour, weight);
            }
        }
        const int from = previous < 0 ? top : std::min(previous, top);
        const int to = std::min(h - 1, (previous < 0 ? top : std::max(previous, top)) + 1);
        for (int y = from; y <= to; ++y) canvas.at(x, y) = look.curveColour;
        previous = top;
    }

    // The points; the one held is drawn last, on the curve where the table puts it.
    const std::vector<CurvePoint>& points = model.points();
    const int radius = std::max(2, w / 60);
    const int hovered = pointerInside && !model.dragging() ? model.hitTest(model.lastMouseX()) : -1;
    const auto column = [w](double x) {
        return std::clamp(static_cast<int>(std::lround(x * (w - 1))), 0, w - 1);
    };
    for (int i = 0; i < static_cast<int>(points.size()); ++i) {
        if (held && i == model.dragIndex()) continue;
        const CurvePoint& p = points[static_cast<std::size_t>(i)];
        const int y = std::clamp(static_cast<int>(std::lround((1 - p.y) * (h - 1))), 0, h - 1);
        canvas.square(column(p.x), y, radius, i == hovered ? kHoveredPointColour : kPointColour);
    }
    if (held && model.dragIndex() < static_cast<int>(points.size())) {
        const CurvePoint& p = points[static_cast<std::size_t>(model.dragIndex())];
        const int k = std::clamp(static_cast<int>(std::lround(p.x * 255)), 0, 255);
        const int y = (255 - table[static_cast<std::size_t>(k)]) * (h - 1) / 255;
        canvas.square(column(p.x), y, radius, look.curveColour);
    }

    if (!model.active()) desaturatePixels(pixels, static_cast<std::size_t>(w) * h);

    // A sunken border: dark along the top and the left, light along the bottom and the right.
    for (int x = 0; x < w; ++x) {
        canvas.at(x, 0) = kBorderDark;
        if (h > 1) canvas.at(x, h - 1) = kBorderLight;
    }
    for (int y = 0; y < h; ++y) {
        canvas.at(0, y) = kBorderDark;
        if (w > 1) canvas.at(w - 1, y) = kBorderLight;
    }
}

}  // namespace qorva
