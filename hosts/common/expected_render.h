// What the engine itself makes of an image: the reference the hosts compare outData with.
#pragma once

#include <cstdint>
#include <vector>

#include "colour/curve_model.h"
#include "common/test_hooks_abi.h"

namespace host {

// The settings the dialog opens with (method 0 and its defaults, switches off).
QorvaScriptedSettings defaultSettings();
// The defaults of the given method's sliders, other settings as in defaultSettings().
QorvaScriptedSettings methodDefaults(int method);

// The final render of a packed RGB image with these settings, as the dialog's OK makes it;
// the image itself when the method renders nothing.
std::vector<std::uint8_t> engineFinal(const std::vector<std::uint8_t>& packed, int width,
                                      int height, const QorvaScriptedSettings& settings);

// The points of the three curves as edited; an empty list is the curve at rest.
struct CurvePoints {
    std::vector<qorva::CurvePoint> tone, balance, hue;
};
std::vector<std::uint8_t> engineFinal(const std::vector<std::uint8_t>& packed, int width,
                                      int height, const QorvaScriptedSettings& settings,
                                      const CurvePoints& curves);

}  // namespace host
