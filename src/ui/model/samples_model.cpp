#include "ui/model/samples_model.h"

#include <algorithm>

namespace qorva {
namespace {

// The thumbnail keeps this margin to the view's edges.
constexpr int kThumbnailMargin = 4;
// The press that starts the drag lies this far below the window's top, in its caption band.
constexpr int kPressDepth = 5;

}  // namespace

std::string sampleTitle(int number) {
    return "Sample #" + std::to_string(number);
}

ImageSize sampleThumbnailSize(int imageWidth, int imageHeight, int viewWidth, int viewHeight) {
    if (imageWidth <= 0 || imageHeight <= 0) return {1, 1};
    const double ratio = static_cast<double>(imageWidth) / imageHeight;
    double width = viewWidth - kThumbnailMargin;
    double height = width / ratio;
    if (viewHeight < static_cast<int>(height)) {
        height = viewHeight - kThumbnailMargin;
        width = ratio * height;
    }
    // A sliver of an image would truncate to nothing: keep at least a pixel each way.
    return {std::max(1, static_cast<int>(width)), std::max(1, static_cast<int>(height))};
}

SamplePlacement samplePlacement(int cursorX, int cursorY, int viewWidth) {
    SamplePlacement p;
    p.pressX = viewWidth / 2;
    p.pressY = kPressDepth;
    p.left = cursorX - p.pressX;
    p.top = cursorY - p.pressY;
    return p;
}

int SamplesModel::add(MemoryByteStream settings) {
    samples_.push_back({++taken_, std::move(settings)});
    return taken_;
}

void SamplesModel::remove(int number) {
    std::erase_if(samples_, [number](const Sample& s) { return s.number == number; });
}

MemoryByteStream* SamplesModel::settingsOf(int number) {
    for (Sample& s : samples_)
        if (s.number == number) return &s.settings;
    return nullptr;
}

std::vector<int> SamplesModel::openNumbers() const {
    std::vector<int> numbers;
    for (const Sample& s : samples_) numbers.push_back(s.number);
    return numbers;
}

}  // namespace qorva
