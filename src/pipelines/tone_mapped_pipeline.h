// Method 1, "Ultra-Contrast": a contrast-limited global equalisation in XYZ, mixed with the
// tone-mapping engine's result, then the local equalisation and the colour chain.
#pragma once

#include <cstdint>

#include "colour/color_pass.h"
#include "pipelines/local_contrast.h"
#include "pipelines/run_context.h"

namespace qorva {

struct ToneMappedParams {
    std::uint8_t* image = nullptr;  // packed RGB, overwritten with the result
    int width = 0;
    int height = 0;
    float naturalSaturated = 1;
    LocalContrastParams local;
    ColorChoices colour;
};

// Returns false when memory ran out (see runContrastPipeline).
bool runToneMappedPipeline(const RunContext& context, const ToneMappedParams& params);

}  // namespace qorva
