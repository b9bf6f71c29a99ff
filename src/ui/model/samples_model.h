// Samples without their windows: the numbering, the settings each sample keeps, the flag that
// refuses a second sample of an unchanged preview, and the arithmetic of a sample window's
// thumbnail and placement.
#pragma once

#include <string>
#include <vector>

#include "persistence/settings_file.h"
#include "render/render_driver.h"

namespace qorva {

constexpr const char* kSameDataMessage = "Same data as the Last Sample !";

// The sample window's template (dialog units): a small captioned popup whose only control is
// the frame over which its view is made.
constexpr int kSampleTemplateWidth = 164;
constexpr int kSampleTemplateHeight = 119;
constexpr int kSampleViewFrame = 1029;
constexpr int kSampleViewX = 4, kSampleViewY = 0, kSampleViewWidth = 160, kSampleViewHeight = 111;
constexpr const char* kSampleTemplateTitle = "Test";

// "Sample #3".
std::string sampleTitle(int number);

// The thumbnail for an image of W x H shown in a view whose client area is viewWidth x
// viewHeight: as wide as the view less 4 pixels, or, when that is too high for the view, as
// high as the view less 4 pixels. Never 0 pixels either way, however wide or tall the image.
ImageSize sampleThumbnailSize(int imageWidth, int imageHeight, int viewWidth, int viewHeight);

// Where a new sample window goes so that the point (pressX, pressY) of its client area, which
// lies in its caption band, is under the pointer: the window then hangs on the pointer by the
// caption drag that a press there starts.
struct SamplePlacement {
    int left = 0, top = 0;       // screen position of the window
    int pressX = 0, pressY = 0;  // client point of the press that starts the drag
};
SamplePlacement samplePlacement(int cursorX, int cursorY, int viewWidth);

class SamplesModel {
public:
    // A press in the preview with nothing changed since the last sample takes none.
    bool sameData() const { return sameData_; }
    // The preview shows a new picture (a render, or a colour-only refresh after gamma, a curve
    // or the filter changed): it may be sampled again.
    void previewChanged() { sameData_ = false; }

    // Keeps the settings of a new sample and gives it the next number. Numbers are never
    // reused while the dialog is open: closing #2 and taking another gives #3.
    int add(MemoryByteStream settings);
    // The sample's window is on screen: the preview has been sampled.
    void sampled() { sameData_ = true; }
    // A closed sample's settings go with it.
    void remove(int number);
    // The settings of an open sample, or nullptr.
    MemoryByteStream* settingsOf(int number);

    std::vector<int> openNumbers() const;

private:
    struct Sample {
        int number;
        MemoryByteStream settings;
    };
    std::vector<Sample> samples_;
    int taken_ = 0;
    bool sameData_ = false;
};

}  // namespace qorva
