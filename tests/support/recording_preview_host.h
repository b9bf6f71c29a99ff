// A preview window for the render driver's tests that counts what the driver asks of it, and a
// driver on a generated photograph with its own settings.
#pragma once

#include <cstdint>
#include <vector>

#include "render/render_driver.h"
#include "support/test_images.h"

namespace qorva::test {

// A preview area whose shrunk rectangle (2 pixels off left and right, 10 off top and bottom)
// is areaW x areaH.
inline ClientRect areaOf(int areaW, int areaH) {
    return {0, 0, areaW + 4, areaH + 20};
}

class RecordingPreviewHost : public PreviewHost {
public:
    ClientRect rect = areaOf(516, 372);
    bool chooser = false;
    int renders = 0, controlReads = 0, waits = 0, repaints = 0, chooserCloses = 0;
    int maxProgress = 0, lastProgress = -1;

    ClientRect previewClientRect() const override { return rect; }
    bool chooserOpen() const override { return chooser; }
    void closeChooserAndShowPreview() override {
        chooser = false;
        ++chooserCloses;
    }
    void readControls() override { ++controlReads; }
    void setWaitCursor(bool on) override { waits += on ? 1 : 0; }
    void repaintPreview() override { ++repaints; }
    void setProgress(int percent) override {
        lastProgress = percent;
        if (percent > maxProgress) maxProgress = percent;
    }
    void renderStarting() override { ++renders; }
};

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const WorkingImage& img) {
    return img.hasPixels() ? Bytes(img.pixels(), img.pixels() + img.byteSize()) : Bytes{};
}

// A driver with the dialog's start-up settings on a w x h photograph, previewing into rect.
struct DriverRig {
    RecordingPreviewHost host;
    MethodSettings method;
    ColorSettings colour;
    RenderDriver driver{host, method, colour};
    Bytes input;
    int W, H;

    DriverRig(int w, int h, ClientRect rect) : input(makePhotoLikeImage(w, h, 5)), W(w), H(h) {
        host.rect = rect;
        driver.setHostInput(input.data(), W, H);
    }
};

}  // namespace qorva::test
