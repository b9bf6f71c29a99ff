#include "colour/hls.h"

#include <algorithm>

namespace qorva {
namespace {
constexpr float kInv510 = static_cast<float>(1.0 / 510.0);
constexpr float kInv360 = static_cast<float>(1.0 / 360.0);
}  // namespace

void RgbToHls(float r, float g, float b, float& h, float& l, float& s) {
    const float mx = std::max(std::max(r, g), b);
    const float mn = std::min(std::min(r, g), b);
    l = ((mx + mn) * 360 + 255) * kInv510;
    if (mx == mn) {
        s = 0;
        h = 240;
        return;
    }
    const float d = mx - mn;
    if (l <= 180) {
        s = (d * 360 + (mx + mn) / 2) / (mx + mn);
    } else {
        s = (d * 360 + (510 - mx - mn) / 2) / (510 - mx - mn);
    }
    const float rd = ((mx - r) * 60 + d / 2) / d;
    const float gd = ((mx - g) * 60 + d / 2) / d;
    const float bd = ((mx - b) * 60 + d / 2) / d;
    if (r == mx) {
        h = bd - gd;
    } else if (g == mx) {
        h = 120 + rd - bd;
    } else {
        h = 240 + gd - rd;
    }
    if (h < 0) h += 360;
    if (h > 360) h -= 360;
}

float HueToValue(float m1, float m2, float h) {
    if (h < 0) h += 360;
    if (h > 360) h -= 360;
    if (h < 60) return m1 + ((m2 - m1) * h + 30) / 60;
    if (h < 180) return m2;
    if (h < 240) return m1 + ((m2 - m1) * (240 - h) + 30) / 60;
    return m1;
}

void HlsToRgb(float h, float l, float s, float& r, float& g, float& b) {
    if (s == 0) {
        r = g = b = l * 255 * kInv360;
        return;
    }
    float m2;
    if (l <= 180) {
        m2 = (l * (360 + s) + 180) / 360;
    } else {
        m2 = l + s - (l * s + 180) / 360;
    }
    const float m1 = 2 * l - m2;
    r = (HueToValue(m1, m2, h + 120) * 255 + 180) / 360;
    g = (HueToValue(m1, m2, h) * 255 + 180) / 360;
    b = (HueToValue(m1, m2, h - 120) * 255 + 180) / 360;
}

}  // namespace qorva
