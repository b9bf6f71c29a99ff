// Recursive Gaussian blur whose cost does not depend on the radius, which is what lets
// de-haze use a radius of 150 pixels on a full-size photo.
#pragma once

#include <cstdint>

namespace qorva {

// In place on packed rows of width x bytesPerPixel bytes; only the first three bytes of each
// pixel are touched. sigma = radius / 2. Throws std::bad_alloc when scratch memory runs out.
void GaussianBlur(std::uint8_t* pixels, int width, int height, double radius, int bytesPerPixel);

// The same blur from source into target (which may be source itself), leaving source as it is:
// what the sharpening kernels need instead of a copy of the image plus an in-place blur. Bytes
// beyond the third of each pixel are copied unchanged; a radius too small to blur copies the
// image.
void GaussianBlurCopy(const std::uint8_t* source, std::uint8_t* target, int width, int height,
                      double radius, int bytesPerPixel);

}  // namespace qorva
