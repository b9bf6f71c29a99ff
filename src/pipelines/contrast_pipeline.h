// Method 0, "Eye-Catching": local contrast equalisation of the luminance, colour put back by
// the luminance ratio, then the colour chain and the whole-image passes.
#pragma once

#include <cstdint>

#include "colour/color_pass.h"
#include "pipelines/local_contrast.h"
#include "pipelines/run_context.h"

namespace qorva {

struct ContrastParams {
    std::uint8_t* image = nullptr;  // packed RGB, overwritten with the result
    int width = 0;
    int height = 0;
    float brightnessBlend = 0;
    float saturationFactor = 1;
    LocalContrastParams local;
    ColorChoices colour;
};

// Returns false when memory ran out; the image is then left in an unspecified state and the
// caller starts again from the host's input.
bool runContrastPipeline(const RunContext& context, const ContrastParams& params);

}  // namespace qorva
