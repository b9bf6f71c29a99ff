// The picture of a curve panel, drawn from the curve model alone into a pixel buffer, so that
// what the user sees is checked without a window; the Win32 control only copies it to the
// screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "colour/curve_model.h"

namespace qorva {

// Colours are 0x00RRGGBB, the layout of a 32-bit device-independent bitmap's pixels.
constexpr std::uint32_t kCurveRed = 0xFF0000;
constexpr int kCurveFillAlpha = 160;

struct CurveLook {
    bool showFill = false;   // the area under the curve shaded in the curve's colour
    bool showFill2 = false;  // and a glow just under the curve, fading downwards
    std::uint32_t curveColour = kCurveRed;
    int fillAlpha = kCurveFillAlpha;  // weight of the curve's colour, of 256
    // The hue picture of a hue-domain panel: packed RGB, rows from the top, the panel's size.
    // Empty (or of another size) draws none.
    std::vector<std::uint8_t> background;
};

// Draws the panel at the model's client size into pixels (width x height, row 0 at the bottom,
// as a bottom-up bitmap): the checkerboard (bluish while a point is dragged), the hue picture,
// the curve and its shading, the points (the dragged one red at the curve's value, the one
// under the pointer light grey when pointerInside), desaturated when the model is inactive,
// and a sunken border.
void drawCurve(const CurveModel& model, const CurveLook& look, bool pointerInside,
               std::uint32_t* pixels);

// How an inactive panel shows its pixels: each channel pulled most of the way to the pixel's
// grey.
void desaturatePixels(std::uint32_t* pixels, std::size_t count);

}  // namespace qorva
