#include "ui/model/filter_chooser_model.h"

#include <algorithm>

#include "kernels/packed_image.h"
#include "plugin/resample.h"
#include "plugin/working_image.h"

namespace qorva {

bool FilterChooserModel::build(const std::uint8_t* preview, int width, int height,
                               const ColorPassParams& pass, int currentMode) {
    items_.clear();
    base_.clear();
    size_ = {};
    if (preview == nullptr || packedImageBytes(width, height, 3) == 0) return false;
    size_ = thumbnailSize(width, height);
    base_.resize(packedImageBytes(size_.width, size_.height, 3));
    resamplePixels(preview, width, height, base_.data(), size_.width, size_.height, 3,
                   kResizeBlockOrBilinear);
    items_.reserve(kFilterCount);
    for (const FilterInfo& filter : filterTable()) {
        ChooserItem item{filter.mode, filter.chooserName, base_};
        FilterThumbnail(item.pixels.data(), item.pixels.data(), size_.width, size_.height,
                        filter.mode, pass);
        items_.push_back(std::move(item));
    }
    selected_ = currentMode >= 0 && currentMode < kFilterCount ? currentMode : 0;
    return true;
}

void FilterChooserModel::layOut(int areaWidth, int areaHeight, int labelHeight, int gap) {
    labelHeight_ = std::max(0, labelHeight);
    gap_ = std::max(0, gap);
    const int cellWidth = size_.width + gap_;
    const int fit = cellWidth > 0 ? (areaWidth - gap_) / cellWidth : 1;
    columns_ = 1;
    for (int divisor : {2, 3, 4, 6, 12})
        if (divisor <= fit) columns_ = divisor;
    // Spare width goes between the columns (up to three gaps), so that long names have room.
    columnGap_ = std::clamp((areaWidth - columns_ * size_.width) / (columns_ + 1), gap_, 3 * gap_);
    const int rows = (kFilterCount + columns_ - 1) / columns_;
    const int gridWidth = columns_ * size_.width + (columns_ - 1) * columnGap_;
    const int gridHeight = rows * (size_.height + labelHeight_) + (rows - 1) * gap_;
    left_ = std::max(0, (areaWidth - gridWidth) / 2);
    top_ = std::max(0, (areaHeight - gridHeight) / 2);
}

ClientRect FilterChooserModel::thumbnailRect(int index) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return {};
    const int x = left_ + (index % columns_) * (size_.width + columnGap_);
    const int y = top_ + (index / columns_) * (size_.height + labelHeight_ + gap_);
    return {x, y, x + size_.width, y + size_.height};
}

ClientRect FilterChooserModel::labelRect(int index) const {
    const ClientRect t = thumbnailRect(index);
    if (t.right == t.left) return {};
    return {t.left - columnGap_ / 2, t.bottom, t.right + columnGap_ / 2, t.bottom + labelHeight_};
}

int FilterChooserModel::itemAt(int x, int y) const {
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        const ClientRect t = thumbnailRect(i);
        if (x >= t.left && x < t.right && y >= t.top && y < t.bottom + labelHeight_) return i;
    }
    return -1;
}

void FilterChooserModel::select(int index) {
    if (index >= 0 && index < static_cast<int>(items_.size())) selected_ = index;
}

ChooserAction FilterChooserModel::key(ChooserKey key) {
    if (items_.empty())
        return key == ChooserKey::Escape ? ChooserAction::Close : ChooserAction::None;
    int next = selected_;
    switch (key) {
        case ChooserKey::Enter:
            return ChooserAction::Choose;
        case ChooserKey::Escape:
            return ChooserAction::Close;
        case ChooserKey::Right:
            ++next;
            break;
        case ChooserKey::Left:
            --next;
            break;
        case ChooserKey::Down:
            next += columns_;
            break;
        case ChooserKey::Up:
            next -= columns_;
            break;
    }
    if (next < 0 || next >= static_cast<int>(items_.size())) return ChooserAction::None;
    selected_ = next;
    return ChooserAction::Moved;
}

}  // namespace qorva
