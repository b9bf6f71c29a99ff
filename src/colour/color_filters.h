// The twelve colour filters: their names in the chooser and on the filter button, and the
// chooser's thumbnails. A filter combines a monochrome conversion and sepia toning (inside the
// colour pass) with the Orton glow (the finishing pass).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "colour/color_pass.h"

namespace qorva {

constexpr int kFilterCount = 12;

// How a filter turns the picture grey inside the colour pass, if it does.
enum class Monochrome {
    None,
    Luminance,  // plain weighted grey
    HeavySky,   // blue darkens
    HardLight,  // blue darkens, yellow brightens beyond white
};

// What a filter does: everything else (the colour pass, the live refresh, the finishing pass,
// the chooser) reads these instead of testing mode numbers.
struct FilterTraits {
    Monochrome monochrome = Monochrome::None;
    bool sepia = false;  // toned after the grey conversion
    bool glow = false;   // ends with the Orton glow

    // Whether the filter changes the picture at all.
    constexpr bool active() const { return monochrome != Monochrome::None || glow; }
};

struct FilterInfo {
    int mode;
    const char* chooserName;  // "B/W Heavy Sky"
    const char* caption;      // "Filter: B/W Heavy Sky"
    FilterTraits traits;
};

// Item k of the chooser is mode k.
inline constexpr std::array<FilterInfo, kFilterCount> kFilters = {{
    {0, "Color", "Filter: Color", {}},
    {1, "B/W", "Filter: B/W", {Monochrome::Luminance, false, false}},
    {2, "B/W Heavy Sky", "Filter: B/W Heavy Sky", {Monochrome::HeavySky, false, false}},
    {3, "B/W Hard Light", "Filter: B/W Hard Light", {Monochrome::HardLight, false, false}},
    {4, "Orton Effect", "Filter: Orton Effect", {Monochrome::None, false, true}},
    {5, "Orton B/W", "Filter: Orton B/W", {Monochrome::Luminance, false, true}},
    {6, "Orton B/W Heavy Sky", "Filter: Orton B/W Heavy Sky", {Monochrome::HeavySky, false, true}},
    {7,
     "Orton B/W Hard Light",
     "Filter: Orton B/W Hard Light",
     {Monochrome::HardLight, false, true}},
    {8, "Sepia", "Filter: Sepia", {Monochrome::Luminance, true, false}},
    {9, "Orton Sepia", "Filter: Orton Sepia", {Monochrome::Luminance, true, true}},
    {10, "Orton Sepia S", "Filter: Orton Sepia S", {Monochrome::HeavySky, true, true}},
    {11, "Orton Sepia L", "Filter: Orton Sepia L", {Monochrome::HardLight, true, true}},
}};

const std::array<FilterInfo, kFilterCount>& filterTable();

// nullptr for a mode outside 0..11.
constexpr const FilterInfo* filterByMode(int mode) {
    if (mode < 0 || mode >= kFilterCount) return nullptr;
    return &kFilters[static_cast<std::size_t>(mode)];
}

// The traits of a mode; a mode outside 0..11 (an old or damaged settings file) has none, so it
// leaves the picture as plain colour.
constexpr FilterTraits filterTraits(int mode) {
    const FilterInfo* info = filterByMode(mode);
    return info != nullptr ? info->traits : FilterTraits{};
}

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
