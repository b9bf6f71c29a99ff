// Unsharp mask weighted per pixel by hue and saturation, so grey areas stay untouched while
// saturated reds and blues get the full amount.
#pragma once

#include <cstdint>

namespace qorva {

// Weight per whole hue degree 0..360; entries 361 and 362 are never read.
extern const std::uint8_t ClarityHueTable[363];

void ClaritySharpen(std::uint8_t* pixels, int width, int height, double radius, double amount,
                    int threshold, int bytesPerPixel);

}  // namespace qorva
