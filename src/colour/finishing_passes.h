// The whole-image passes that end every method run, in their fixed order: clarity (if on),
// de-haze (if on), then the filter's finishing pass (the Orton glow for the Orton modes).
#pragma once

#include <cstdint>

namespace qorva {

struct RunContext;

// 1 + 0.0002 x width, at most 1.9: a full-size render gets a stronger clarity than a preview.
double clarityAmount(int width);
// The filter modes that end with the glow pass: 4, 5, 6, 7, 9, 10 and 11.
bool isOrtonMode(int mode);

void ClarityPass(std::uint8_t* image, int width, int height);
void DehazePass(std::uint8_t* image, int width, int height);
// Does nothing unless mode is 4, 5, 6, 7, 9, 10 or 11.
void OrtonPass(std::uint8_t* image, int width, int height, int mode);

void runFinishingPasses(const RunContext& context, std::uint8_t* image, int width, int height,
                        int filterMode);

}  // namespace qorva
