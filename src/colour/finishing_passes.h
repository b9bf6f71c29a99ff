// The whole-image passes that end every method run, in their fixed order: clarity (if on),
// de-haze (if on), then the filter's finishing pass (the Orton glow for the Orton modes).
#pragma once

#include <cstdint>

namespace qorva {

struct RunContext;

// 1 + 0.0002 x width, at most 1.9: a full-size render gets a stronger clarity than a preview.
double clarityAmount(int width);
// Whether the filter of this mode ends with the glow pass.
bool isOrtonMode(int mode);

void ClarityPass(std::uint8_t* image, int width, int height);
void DehazePass(std::uint8_t* image, int width, int height);
// Does nothing unless the filter of this mode glows.
void OrtonPass(std::uint8_t* image, int width, int height, int mode);

void runFinishingPasses(const RunContext& context, std::uint8_t* image, int width, int height,
                        int filterMode);

}  // namespace qorva
