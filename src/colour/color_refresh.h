// The colour-only refresh: gamma and the colour operations re-applied to the cached
// colour-neutral preview, so a curve edit or a filter change redraws the preview without
// running the method again.
#pragma once

#include <cstdint>

#include "colour/color_pass.h"

namespace qorva {

// neutral: the preview rendered with gamma 1, every colour switch off and filter 0; display
// receives the result (it may be the same buffer). Both are packed RGB, 3 bytes per pixel.
// gammaPosition is the gamma slider's position (gamma = position / 100); a position that is
// not positive has no gamma and is treated as 100.
void ColorRefresh(const std::uint8_t* neutral, std::uint8_t* display, int width, int height,
                  int gammaPosition, const ColorPassParams& pass);

}  // namespace qorva
