// Method 1, "Ultra-Contrast": a contrast-limited global equalisation in XYZ, mixed with the
// tone-mapping engine's result, then the local equalisation and the colour chain.
#pragma once

#include <cstdint>

#include "pipelines/run_context.h"

namespace qorva {

struct ToneMappedParams {
    std::uint8_t* image = nullptr;  // packed RGB, overwritten with the result
    int width = 0;
    int height = 0;
    float gamma = 1;
    float vivid = 0;
    float naturalSaturated = 1;
    int divisions = 1;
    float strength = 0;
    float smoothness = 0;
    bool curvesOn = false;
    bool balanceOn = false;
    bool hueShiftOn = false;
    int filterMode = 0;
};

// Returns false when memory ran out (see runContrastPipeline).
bool runToneMappedPipeline(const RunContext& context, const ToneMappedParams& params);

}  // namespace qorva
