#include "render/render_driver.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>

#include "colour/color_refresh.h"
#include "kernels/packed_image.h"
#include "pipelines/contrast_pipeline.h"
#include "pipelines/run_context.h"
#include "pipelines/tone_mapped_pipeline.h"
#include "plugin/resample.h"

namespace qorva {
namespace {

// The preview control keeps a 2-pixel frame left and right and a 10-pixel band for its
// status text at the top and the bottom.
constexpr int kPreviewMarginX = 2;
constexpr int kPreviewMarginY = 10;

class WaitCursor {
public:
    WaitCursor(PreviewHost& host, bool on) : host_(host), on_(on) {
        if (on_) host_.setWaitCursor(true);
    }
    ~WaitCursor() {
        if (on_) host_.setWaitCursor(false);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    PreviewHost& host_;
    bool on_;
};

}  // namespace

RenderDriver::RenderDriver(PreviewHost& host, MethodSettings& method, ColorSettings& colour)
    : host_(host), method_(method), colour_(colour) {}

void RenderDriver::setHostInput(const std::uint8_t* inData, int width, int height) {
    input_ = inData;
    inputWidth_ = width;
    inputHeight_ = height;
}

ImageSize RenderDriver::previewArea() const {
    const ClientRect rect = host_.previewClientRect();
    const int areaW = (rect.right - kPreviewMarginX) - (rect.left + kPreviewMarginX);
    const int areaH = (rect.bottom - kPreviewMarginY) - (rect.top + kPreviewMarginY);
    return {areaW > 1 ? areaW : 1, areaH > 1 ? areaH : 1};
}

ImageSize RenderDriver::fit(int k) const {
    if (inputWidth_ <= 0 || inputHeight_ <= 0) return {};
    const ImageSize area = previewArea();
    const double aw = k * static_cast<double>(area.width);
    const double ah = k * static_cast<double>(area.height);
    const double r = static_cast<double>(inputHeight_) / inputWidth_;
    double h = std::trunc(aw * r);
    double w = aw;
    if (h > ah) {
        h = ah;
        w = std::trunc(ah / r);
    }
    // A very wide or very tall image still gets at least one pixel in each direction.
    return {w < 1 ? 1 : static_cast<int>(w), h < 1 ? 1 : static_cast<int>(h)};
}

bool RenderDriver::runMethod(bool colourNeutral) {
    if (!renderImage_.hasPixels()) return false;
    RunContext context;
    context.progress = [this](int percent) { host_.setProgress(percent); };
    context.curves = colour_.curveTables();
    context.clarityOn = colour_.clarityOn;
    context.dehazeOn = colour_.dehazeOn;
    if (method_.method == kMethodEyeCatching) {
        ContrastParams p = contrastParamsFor(method_, colour_, colourNeutral);
        p.image = renderImage_.pixels();
        p.width = renderImage_.width();
        p.height = renderImage_.height();
        return runContrastPipeline(context, p);
    }
    ToneMappedParams p = toneMappedParamsFor(method_, colour_, colourNeutral);
    p.image = renderImage_.pixels();
    p.width = renderImage_.width();
    p.height = renderImage_.height();
    return runToneMappedPipeline(context, p);
}

bool RenderDriver::showRenderImage() {
    const int rc = displayImage_.CopyFrom(renderImage_);
    host_.repaintPreview();
    return rc == kImageOk;
}

bool RenderDriver::loadHostImage(const ImageSize* size) {
    // Only for a host image that could be copied at all: one whose size is not even a valid
    // block fails as the copy would, before anything is read.
    const std::size_t hostBytes = packedImageBytes(inputWidth_, inputHeight_, 3);
    const bool copyable = hostBytes != 0 && hostBytes <= static_cast<std::size_t>(PTRDIFF_MAX);
    if (size != nullptr && input_ != nullptr && copyable) {
        // A preview-sized render image made straight from the host input: the same pixels as
        // copying the whole image and shrinking the copy, without the full-size copy that
        // would cost more than the preview itself.
        if (renderImage_.Create(size->width, size->height, 24) == kImageOk) {
            resamplePixels(input_, inputWidth_, inputHeight_, renderImage_.pixels(), size->width,
                           size->height, 3, kResizeBlockOrBilinear);
            return true;
        }
    }
    if (renderImage_.CopyFromHost(input_, inputWidth_, inputHeight_) != kImageOk) return false;
    // A failed Resize leaves the image at its previous size; the method then runs on that.
    if (size != nullptr) renderImage_.Resize(size->width, size->height, kResizeBlockOrBilinear);
    return true;
}

bool RenderDriver::renderQuality(RenderQuality quality) {
    switch (quality) {
        case RenderQuality::Final:
            if (!loadHostImage(nullptr) || !runMethod(false)) return false;
            previewStale_ = true;
            return true;
        case RenderQuality::All: {
            if (!loadHostImage(nullptr) || !runMethod(false)) return false;
            const ImageSize size = fit(1);
            // The full-size result stays aside for the 1:1 view: the preview is made from it
            // as Resize would, without holding more memory at once than Resize does.
            WorkingImage shown;
            if (shown.Create(size.width, size.height, 24) == kImageOk) {
                resamplePixels(renderImage_.pixels(), renderImage_.width(), renderImage_.height(),
                               shown.pixels(), size.width, size.height, 3, kResizeBlockOrBilinear);
                fullResult_.TakeOver(renderImage_);
                renderImage_.TakeOver(shown);
            }
            workingSize_ = {};
            previewStale_ = true;
            return showRenderImage();
        }
        case RenderQuality::Fine: {
            ImageSize size = fit(2);
            if (size.height > inputHeight_ || size.width > inputWidth_)
                size = {inputWidth_, inputHeight_};
            if (!loadHostImage(&size) || !runMethod(true)) return false;
            workingSize_ = size;
            const ImageSize shown = fit(1);
            renderImage_.Resize(shown.width, shown.height, kResizeBlockOrBilinear);
            const bool shownOk = showRenderImage();
            previewStale_ = false;
            return refreshDisplay() && shownOk;
        }
        case RenderQuality::Fast:
        default: {
            const ImageSize size = fit(1);
            if (!loadHostImage(&size) || !runMethod(true)) return false;
            workingSize_ = {};
            previewStale_ = false;
            return refreshDisplay();
        }
    }
}

bool RenderDriver::Render(RenderQuality quality) {
    // A kept full-size result is never held through another render: a final render needs no
    // more memory with the 1:1 view used than without.
    fullResult_.Release();
    host_.renderStarting();
    if (host_.chooserOpen()) {
        host_.closeChooserAndShowPreview();
        host_.dispatchPendingMessages();
    }
    host_.readControls();

    bool ok = true;
    if (method_.method == kMethodEyeCatching || method_.method == kMethodUltraContrast) {
        WaitCursor wait(host_, quality != RenderQuality::Fast);
        try {
            ok = renderQuality(quality);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (!ok) {
            // The render image may hold a half-processed picture: drop it, so that neither the
            // host nor a colour refresh can take it for a result, and let the next refresh
            // start a new render.
            renderImage_.Release();
            previewStale_ = true;
        }
    }
    host_.setProgress(0);
    return ok;
}

const WorkingImage& RenderDriver::finalResult() const {
    static const WorkingImage nothing;
    const bool rendered =
        method_.method == kMethodEyeCatching || method_.method == kMethodUltraContrast;
    return rendered ? renderImage_ : nothing;
}

bool RenderDriver::ColorRefresh() {
    // After All or Final the render image holds gamma and colours already; refreshing it would
    // apply them twice. The fast render clears the flag itself once it has produced a
    // colour-neutral preview, so a method that renders nothing leaves the preview alone.
    if (previewStale_) return Render(RenderQuality::Fast);
    return refreshDisplay();
}

bool RenderDriver::originalPreviewReady() const {
    return original_.hasPixels() && original_.width() == displayImage_.width() &&
           original_.height() == displayImage_.height() &&
           originalWorkingSize_.width == workingSize_.width &&
           originalWorkingSize_.height == workingSize_.height;
}

const WorkingImage* RenderDriver::originalPreview() {
    if (input_ == nullptr || !displayImage_.hasPixels()) return nullptr;
    if (originalPreviewReady()) return &original_;
    const int w = displayImage_.width();
    const int h = displayImage_.height();
    original_.Release();
    const std::uint8_t* source = input_;
    int sourceW = inputWidth_;
    int sourceH = inputHeight_;
    WorkingImage working;
    if (workingSize_.width > 0 && workingSize_.height > 0) {
        if (working.Create(workingSize_.width, workingSize_.height, 24) != kImageOk) return nullptr;
        resamplePixels(input_, inputWidth_, inputHeight_, working.pixels(), working.width(),
                       working.height(), 3, kResizeBlockOrBilinear);
        source = working.pixels();
        sourceW = working.width();
        sourceH = working.height();
    }
    if (original_.Create(w, h, 24) != kImageOk) return nullptr;
    resamplePixels(source, sourceW, sourceH, original_.pixels(), w, h, 3, kResizeBlockOrBilinear);
    originalWorkingSize_ = workingSize_;
    return &original_;
}

bool RenderDriver::refreshDisplay() {
    if (!renderImage_.hasPixels()) return false;
    if (displayImage_.width() != renderImage_.width() ||
        displayImage_.height() != renderImage_.height() || !displayImage_.hasPixels()) {
        if (displayImage_.Create(renderImage_.width(), renderImage_.height(), 24) != kImageOk)
            return false;
    }
    const CurveTables tables = colour_.curveTables();
    const ColorPassParams pass = colorPassParams(colour_.curvesOn, colour_.balanceOn,
                                                 colour_.hueShiftOn, colour_.filterMode, &tables);
    bool ok = true;
    try {
        qorva::ColorRefresh(renderImage_.pixels(), displayImage_.pixels(), renderImage_.width(),
                            renderImage_.height(), method_.gammaPosition, pass);
    } catch (const std::bad_alloc&) {
        // The glow pass could not get its buffer: show the refresh without it.
        ok = false;
    }
    host_.repaintPreview();
    return ok;
}

}  // namespace qorva
