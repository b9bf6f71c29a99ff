#pragma once

#include <cstdint>

namespace qorva {

void UnsharpMask(std::uint8_t* pixels, int width, int height, double radius, double amount,
                 int threshold, int bytesPerPixel);

}  // namespace qorva
