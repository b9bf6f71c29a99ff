#include "render/render_triggers.h"

#include "colour/color_filters.h"

namespace qorva {
namespace {

// A rule of its own, not a filter trait: from mode 4 on every filter is too slow to follow a
// drag, the glowing ones because the glow blurs the whole preview, and Sepia (8) by the same
// line drawn in the mode order, which the dialog has always followed.
constexpr int kFirstSlowFilterMode = 4;

}  // namespace

RenderTriggers::RenderTriggers(RenderDriver& driver, MethodSettings& method, ColorSettings& colour)
    : driver_(driver), method_(method), colour_(colour) {}

void RenderTriggers::startupTimerFired() {
    driver_.Render(RenderQuality::Fast);
}

void RenderTriggers::previewRequested(RenderQuality quality) {
    driver_.Render(quality);
}

bool RenderTriggers::confirmed() {
    return driver_.Render(RenderQuality::Final);
}

void RenderTriggers::fastIfAutoPreview() {
    if (colour_.autoPreview) driver_.Render(RenderQuality::Fast);
}

void RenderTriggers::methodSliderScrolled(int scrollCode) {
    if (scrollCode == kScrollEnd) fastIfAutoPreview();
}

void RenderTriggers::methodChanged() {
    fastIfAutoPreview();
}

void RenderTriggers::settingsRecalled() {
    fastIfAutoPreview();
}

void RenderTriggers::clarityOrDehazeSwitched() {
    fastIfAutoPreview();
}

void RenderTriggers::refreshUnlessDragging(int scrollCode, bool colourPassCounts) {
    if (scrollCode == kScrollThumbTrack) {
        // Live refresh during a drag only when it is cheap: no per-pixel colour pass, no glow,
        // and no stale preview that would need a method run first.
        const bool colourPassOn = colour_.curvesOn || colour_.balanceOn || colour_.hueShiftOn;
        if ((colourPassCounts && colourPassOn) || colour_.filterMode >= kFirstSlowFilterMode ||
            driver_.previewStale())
            return;
    }
    driver_.ColorRefresh();
}

void RenderTriggers::gammaSliderScrolled(int scrollCode, int position) {
    method_.setGamma(position / 100.0);
    refreshUnlessDragging(scrollCode, true);
}

void RenderTriggers::curveScrolled(int scrollCode) {
    // A curve can only be dragged while its switch is on, so the colour pass is always part of
    // a curve's refresh: only the glow and a stale preview keep the preview from following.
    refreshUnlessDragging(scrollCode, false);
}

void RenderTriggers::colourSwitchChanged() {
    driver_.ColorRefresh();
}

void RenderTriggers::gammaReset() {
    ResetGamma(method_);
    driver_.ColorRefresh();
}

void RenderTriggers::filterChosen(int mode) {
    colour_.filterMode = filterByMode(mode) != nullptr ? mode : 0;
    driver_.ColorRefresh();
}

void RenderTriggers::chooserOpening() {
    // Without a preview (the chooser opened before the first one, or after a render that ran
    // out of memory) the thumbnails would have no source.
    if (driver_.previewStale() || !driver_.renderImage().hasPixels())
        driver_.Render(RenderQuality::Fast);
}

}  // namespace qorva
