// The pictures behind the colour-balance and hue-shift curves: each column shows the hue that
// the curve's x stands for, so the user sees which colours a point affects.
#pragma once

#include <cstdint>
#include <vector>

namespace qorva {

// A packed RGB picture of width x height pixels, rows from top to bottom. Column x shows hue
// x * 360 / width plus verticalShift x (y / height - 0.5) x 360, where y counts pixels above the
// bottom edge, at lightness 250 and saturation 360 of the 0..360 HLS scale. Empty when a size
// is not positive or the picture would not fit in memory's address range.
std::vector<std::uint8_t> makeHueBackground(int width, int height, float verticalShift);

// Colour balance: the same hue strip in every row.
inline std::vector<std::uint8_t> makeColourBalanceBackground(int width, int height) {
    return makeHueBackground(width, height, 0.0f);
}

// Hue shift: each height shows the hue the curve would produce if it passed there, from -180
// degrees at the bottom to +180 at the top.
inline std::vector<std::uint8_t> makeHueShiftBackground(int width, int height) {
    return makeHueBackground(width, height, 1.0f);
}

}  // namespace qorva
