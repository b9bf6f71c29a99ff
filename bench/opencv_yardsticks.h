// The yardsticks the issue measures the engine against, timed in the same run on the same
// pixels: OpenCV's CLAHE on the 8-bit luminance and its Gaussian blur at the de-haze sigma.
#pragma once

#include <cstdint>

namespace qorva::bench {

// One call each, with OpenCV limited to `threads` threads; the caller times them.
void runOpenCvClahe(const std::uint8_t* luminance, int width, int height, int threads);
void runOpenCvGaussianBlur(const std::uint8_t* rgb, int width, int height, double sigma,
                           int threads);
const char* openCvVersion();

}  // namespace qorva::bench
