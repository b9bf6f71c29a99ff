// What the engine itself makes of an image with given settings: the reference that dialog runs
// are compared with.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/method_settings.h"

namespace qorva::test {

// The final render of a packed RGB image, as the dialog's OK makes it; the image itself when
// the method renders nothing.
std::vector<std::uint8_t> finalRender(const std::vector<std::uint8_t>& packed, int width,
                                      int height, MethodSettings& method, ColorSettings& colour);

}  // namespace qorva::test
