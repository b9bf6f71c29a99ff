// The dialog base's geometry without a window: the caption band and its close box, where a
// press drags the window, and the layout shift that makes room for the caption and lines the
// last row up in the bottom bar. All lengths are pixels at 96 DPI times the dialog's scale.
#pragma once

#include <vector>

namespace qorva {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool intersects(const PixelRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    bool operator==(const PixelRect&) const = default;
};

// Lengths of the frame at 96 DPI.
constexpr int kCaptionHeight = 20;       // the caption band
constexpr int kCaptionShadeBottom = 27;  // the shaded strip under it
constexpr int kLayoutShift = 30;         // every control moves down by this
constexpr int kCaptionAreaHeight = 30;   // a press this high drags; the panel starts below it
constexpr int kBottomBandReach = 68;     // a control ending this close to the bottom...
constexpr int kBottomLineOffset = 19;    // ...is centred on the line this far above it
constexpr int kPanelInset = 8;
constexpr int kBottomBarPanelInset = 38;

// A 96-DPI length at the dialog's scale (dpi / 96), rounded to the nearest pixel.
int scaled(int length, double scale);

PixelRect closeBoxRect(int clientWidth, double scale);
// A left press here starts the platform's caption drag (the close box excluded).
bool inCaptionDragArea(int x, int y, int clientWidth, double scale);
// The content panel of a dialog with or without the bottom bar.
PixelRect contentPanelRect(int clientWidth, int clientHeight, bool bottomBar, double scale);

// The layout shift for the dialog's controls (client pixels, in and out). Every control moves
// down by the shift; with a bottom bar, a control whose bottom lies within the band reach of
// the client bottom is centred on the bottom line instead. Such a control that would then
// overlap a band control lying lower in the template (the Clarity and De-haze check boxes over
// Cancel and OK) stays a row of its own, just above the bottom bar; a control above that row
// which it would reach into ends where the row begins.
std::vector<PixelRect> shiftLayout(const std::vector<PixelRect>& controls, int clientHeight,
                                   bool bottomBar, double scale);

}  // namespace qorva
