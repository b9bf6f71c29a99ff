// Decides, for every request of the dialog, which image the selected method processes (a
// preview-sized copy or the full image), with which parameters, and where the result goes.
// Window services are reached through PreviewHost, which the dialog's controller implements;
// everything that renders without a dialog uses FixedPreviewHost (render/fixed_preview_host.h).
#pragma once

#include <cstdint>

#include "plugin/working_image.h"
#include "settings/method_settings.h"

namespace qorva {

enum class RenderQuality : int { Fast = 0, All = 1, Fine = 2, Final = 3 };

struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct ImageSize {
    int width = 0;
    int height = 0;
};

class PreviewHost {
public:
    virtual ~PreviewHost() = default;
    virtual ClientRect previewClientRect() const = 0;
    virtual void setProgress(int /*percent*/) {}

    // Dialog only: the hooks below serve the dialog's windows and do nothing elsewhere.
    // The colour-filter chooser, when open, is closed before any render.
    virtual bool chooserOpen() const { return false; }
    virtual void closeChooserAndShowPreview() {}
    virtual void dispatchPendingMessages() {}
    // Dialog data exchange, controls to settings.
    virtual void readControls() {}
    virtual void setWaitCursor(bool /*on*/) {}
    virtual void repaintPreview() {}
    // Called first thing in every Render, whatever the method: the samples forget that the
    // preview was just sampled.
    virtual void renderStarting() {}
};

class RenderDriver {
public:
    RenderDriver(PreviewHost& host, MethodSettings& method, ColorSettings& colour);

    // The host's packed RGB input; never written. Stored when the dialog opens.
    void setHostInput(const std::uint8_t* inData, int width, int height);

    // Returns false when the render could not allocate what it needed; the render image is then
    // left without pixels (nothing to hand to the host) and the preview is marked stale. A
    // method other than 0 and 1 renders nothing and returns true.
    bool Render(RenderQuality quality);
    // Gamma and colour operations on the cached colour-neutral preview; a stale preview
    // turns this into Render(Fast). Reads the gamma slider position (gammaPosition).
    bool ColorRefresh();

    // Preview size for k = 1 (shown) or 2 (Fine's working size), at least 1 x 1 once the host
    // input is set, {0, 0} before.
    ImageSize fit(int k) const;
    // The area of the preview's client rectangle that fit(1) fills in one direction: the
    // client less its frame and text bands, at least 1 x 1.
    ImageSize previewArea() const;
    bool previewStale() const { return previewStale_; }
    WorkingImage& renderImage() { return renderImage_; }
    const WorkingImage& renderImage() const { return renderImage_; }
    const WorkingImage& displayImage() const { return displayImage_; }
    // What goes to the host after Render(Final): the render image, or an image without pixels
    // when the method renders nothing, so that the document keeps its own pixels instead of
    // taking a preview left in the render image for the result.
    const WorkingImage& finalResult() const;

    // The full-size result of the last All render, kept for the preview's 1:1 view until the
    // next render starts or releaseFullResult(); without pixels otherwise.
    const WorkingImage& fullResult() const { return fullResult_; }
    void releaseFullResult() { fullResult_.Release(); }
    // The host input shrunk to the display image's size the way the current preview was made
    // (straight, or through Fine's working size), made once per preview size; null when there
    // is no preview yet or it cannot be had.
    const WorkingImage* originalPreview();
    // The original for the current preview has been made already.
    bool originalPreviewReady() const;

private:
    bool renderQuality(RenderQuality quality);
    // The host input into the render image, at full size or shrunk (or enlarged) to *size.
    bool loadHostImage(const ImageSize* size);
    bool runMethod(bool colourNeutral);
    bool showRenderImage();
    bool refreshDisplay();

    PreviewHost& host_;
    MethodSettings& method_;
    ColorSettings& colour_;
    const std::uint8_t* input_ = nullptr;
    int inputWidth_ = 0;
    int inputHeight_ = 0;
    WorkingImage renderImage_;
    WorkingImage displayImage_;
    WorkingImage fullResult_;
    // The size Fine shrank the host input to before the method ran; {0, 0} after the other
    // qualities, which shrink it once.
    ImageSize workingSize_;
    WorkingImage original_;
    ImageSize originalWorkingSize_;
    bool previewStale_ = false;
};

}  // namespace qorva
