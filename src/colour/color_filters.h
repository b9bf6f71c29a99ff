// The twelve colour filters: their names in the chooser and on the filter button, and the
// chooser's thumbnails. A filter combines a monochrome conversion and sepia toning (inside the
// colour pass) with the Orton glow (the finishing pass).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "colour/color_pass.h"

namespace qorva {

constexpr int kFilterCount = 12;

struct FilterInfo {
    int mode;
    const char* chooserName;  // "B/W Heavy Sky"
    const char* caption;      // "Filter: B/W Heavy Sky"
};

// Item k of the chooser is mode k.
const std::array<FilterInfo, kFilterCount>& filterTable();

// nullptr for a mode outside 0..11.
const FilterInfo* filterByMode(int mode);

// Mode of a chooser name, ignoring ASCII case ("orton sepia l" is 11), or -1.
int filterModeByName(std::string_view name);

// The filter button's caption. A mode outside 0..11 (from an old or damaged settings file) is
// reset to 0 first, so it is shown and treated as plain colour from then on.
const char* UpdateFilterCaption(int& filterMode);

struct ThumbnailSize {
    int width = 0;
    int height = 0;
};

// Size of the chooser's thumbnails for a preview: 120 wide when that keeps the height below
// 77, else 76 high. Never below 1 x 1 for a non-empty preview.
ThumbnailSize thumbnailSize(int previewWidth, int previewHeight);

// One chooser thumbnail: the colour pass with the given mode and the current curve switches
// of pass (its filterMode is ignored), then the mode's finishing pass. No gamma, vivid colours,
// clarity or de-haze. source and target are packed RGB of the same size and may be the same.
void FilterThumbnail(const std::uint8_t* source, std::uint8_t* target, int width, int height,
                     int mode, const ColorPassParams& pass);

}  // namespace qorva
