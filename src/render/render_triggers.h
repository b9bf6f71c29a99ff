// Which dialog events start a render and which only refresh the colours of the cached
// preview. The Win32 dialog translates its notifications into these calls after moving the
// control values into the settings; everything that decides lives here, where it is tested.
#pragma once

#include "render/render_driver.h"
#include "settings/method_settings.h"

namespace qorva {

// Scroll codes of the horizontal-scroll notifications the dialog passes on.
constexpr int kScrollThumbTrack = 5;
constexpr int kScrollEnd = 8;

class RenderTriggers {
public:
    RenderTriggers(RenderDriver& driver, MethodSettings& method, ColorSettings& colour);

    // The dialog's one-shot start-up timer: the first preview.
    void startupTimerFired();
    // The Fast, Fine and All buttons.
    void previewRequested(RenderQuality quality);
    // OK: the full-size render. False when it failed and nothing may be handed to the host.
    bool confirmed();

    // A method slider notification; a fast preview follows the end of a drag with autoPreview.
    void methodSliderScrolled(int scrollCode);
    // After SelectMethod or ResetMethod.
    void methodChanged();
    // A memory recalled, a settings file loaded or a sample restored.
    void settingsRecalled();
    // After the clarity or de-haze switch has been stored.
    void clarityOrDehazeSwitched();

    // The gamma slider moved to position (40..260).
    void gammaSliderScrolled(int scrollCode, int position);
    // A curve control's notification (a drag step, the end of a drag, a deleted point). A drag
    // step refreshes live unless a glow filter is chosen or the preview is stale.
    void curveScrolled(int scrollCode);
    // A curve check box toggled or a curve reset button pressed.
    void colourSwitchChanged();
    void gammaReset();
    // A filter chosen in the chooser; modes outside 0..11 become 0.
    void filterChosen(int mode);
    // Before the chooser makes its thumbnails from the cached preview: a fast render when the
    // preview is stale or there is none yet.
    void chooserOpening();

private:
    // colourPassCounts: a colour switch that is on stops the live refresh.
    void refreshUnlessDragging(int scrollCode, bool colourPassCounts);
    void fastIfAutoPreview();

    RenderDriver& driver_;
    MethodSettings& method_;
    ColorSettings& colour_;
};

}  // namespace qorva
