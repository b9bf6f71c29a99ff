// Hue, lightness and saturation on a 0..360 scale from RGB on a 0..255 scale, and back. The
// rounding terms are part of the product's look: a round trip lifts each channel by about half
// a unit, which the truncating output step turns into rounding.
#pragma once

namespace qorva {

// A grey pixel (max = min) gets saturation 0 and hue 240.
void RgbToHls(float r, float g, float b, float& h, float& l, float& s);
void HlsToRgb(float h, float l, float s, float& r, float& g, float& b);
float HueToValue(float m1, float m2, float h);

}  // namespace qorva
