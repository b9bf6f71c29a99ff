// Hue, lightness and saturation on a 0..360 scale from RGB on a 0..255 scale, and back. The
// rounding terms are part of the product's look: a round trip lifts each channel by about half
// a unit, which the truncating output step turns into rounding.
#pragma once

#include <algorithm>

#include "common/wide_vectors.h"

namespace qorva {

// A grey pixel (max = min) gets saturation 0 and hue 240.
void RgbToHls(float r, float g, float b, float& h, float& l, float& s);
void HlsToRgb(float h, float l, float s, float& r, float& g, float& b);
float HueToValue(float m1, float m2, float h);

// RgbToHls without branches, for the row loops that vectorise: both sides of every choice are
// worked out and the one RgbToHls takes is kept, which changes no value.
QORVA_ALWAYS_INLINE void RgbToHlsBranchFree(float r, float g, float b, float& h, float& l,
                                            float& s) {
    constexpr float kInv510 = static_cast<float>(1.0 / 510.0);
    const float mx = std::max(std::max(r, g), b);
    const float mn = std::min(std::min(r, g), b);
    l = ((mx + mn) * 360 + 255) * kInv510;
    const float d = mx - mn;
    const float sDark = (d * 360 + (mx + mn) / 2) / (mx + mn);
    const float sLight = (d * 360 + (510 - mx - mn) / 2) / (510 - mx - mn);
    const float rd = ((mx - r) * 60 + d / 2) / d;
    const float gd = ((mx - g) * 60 + d / 2) / d;
    const float bd = ((mx - b) * 60 + d / 2) / d;
    const int redTop = static_cast<int>(r == mx);
    const int greenTop = static_cast<int>(g == mx);
    float hue = redTop ? bd - gd : greenTop ? 120 + rd - bd : 240 + gd - rd;
    hue = hue < 0 ? hue + 360 : hue;
    hue = hue > 360 ? hue - 360 : hue;
    const int grey = static_cast<int>(mx == mn);
    s = grey ? 0.0f : l <= 180 ? sDark : sLight;
    h = grey ? 240.0f : hue;
}

}  // namespace qorva
