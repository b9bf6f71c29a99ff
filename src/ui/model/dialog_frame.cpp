#include "ui/model/dialog_frame.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qorva {

int scaled(int length, double scale) {
    return static_cast<int>(std::lround(length * scale));
}

PixelRect closeBoxRect(int clientWidth, double scale) {
    return {clientWidth - scaled(20, scale), scaled(4, scale), clientWidth - scaled(5, scale),
            scaled(16, scale)};
}

bool inCaptionDragArea(int x, int y, int clientWidth, double scale) {
    const PixelRect caption{0, 0, clientWidth, scaled(kCaptionAreaHeight, scale)};
    return caption.contains(x, y) && !closeBoxRect(clientWidth, scale).contains(x, y);
}

PixelRect contentPanelRect(int clientWidth, int clientHeight, bool bottomBar, double scale) {
    const int inset = scaled(kPanelInset, scale);
    const int bottom = scaled(bottomBar ? kBottomBarPanelInset : kPanelInset, scale);
    return {inset, scaled(kCaptionAreaHeight, scale), clientWidth - inset, clientHeight - bottom};
}

std::vector<PixelRect> shiftLayout(const std::vector<PixelRect>& controls, int clientHeight,
                                   bool bottomBar, double scale) {
    const int shift = scaled(kLayoutShift, scale);
    const int reach = scaled(kBottomBandReach, scale);
    const int line = scaled(kBottomLineOffset, scale);
    std::vector<PixelRect> out(controls.size());
    std::vector<bool> inBand(controls.size(), false);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const PixelRect& c = controls[i];
        out[i] = {c.left, c.top + shift, c.right, c.bottom + shift};
        if (bottomBar && clientHeight - c.bottom <= reach) {
            // Centred on the bottom bar's line, whatever its height.
            const int top = clientHeight - c.height() / 2 - line;
            out[i] = {c.left, top, c.right, top + c.height()};
            inBand[i] = true;
        }
    }
    if (!bottomBar) return out;

    // The band gathers everything from the last two template rows onto one line. A control
    // that would then sit on one lying lower in the template (the Clarity and De-haze check
    // boxes over Cancel and OK) keeps a row of its own just above the bottom bar instead.
    const int barTop = clientHeight - scaled(kBottomBarPanelInset, scale);
    const int gap = scaled(2, scale);
    std::vector<PixelRect> result = out;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (!inBand[i]) continue;
        bool collides = false;
        for (std::size_t j = 0; j < controls.size() && !collides; ++j)
            collides = j != i && inBand[j] && controls[j].bottom > controls[i].bottom &&
                       out[i].intersects(out[j]);
        if (!collides) continue;
        const PixelRect& c = controls[i];
        const int top = std::min(barTop - c.height() - gap, c.top + shift);
        result[i] = {c.left, top, c.right, top + c.height()};
    }
    // A row raised above the bar may reach into a control above it (at some scales the hue-shift
    // panel's place): that control gives up the rows rather than cover the check boxes.
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (!inBand[i] || result[i] == out[i]) continue;
        for (std::size_t j = 0; j < controls.size(); ++j) {
            if (inBand[j] || !result[j].intersects(result[i]) || result[j].top >= result[i].top)
                continue;
            result[j].bottom = result[i].top;
        }
    }
    return result;
}

}  // namespace qorva
