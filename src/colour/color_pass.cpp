#include "colour/color_pass.h"

#include <cmath>

#include "colour/hls.h"

namespace qorva {
namespace {

const CurveTables& neutralCurves() {
    static const CurveTables tables;
    return tables;
}

// A curve value v moves a hue or saturation by (v/256 - 0.5) x 360: 128 is no change.
inline double hueCurveShift(const CurveTable& table, float hue) {
    return (LookupCurve(table, hue, 0, 360) / 256 - 0.5) * 360;
}

// 1/255 as the brightness curve has always stored it.
constexpr float kInv255 = static_cast<float>(1.0 / 255.0);

}  // namespace

std::uint8_t toOutputByte(float x) {
    if (!(x > 0)) return 0;
    if (x >= 255) return 255;
    return static_cast<std::uint8_t>(x);
}

void ColorPass(float& r, float& g, float& b, const ColorPassParams& params) {
    const CurveTables& curves = params.curves != nullptr ? *params.curves : neutralCurves();

    if (params.curvesOn) {
        r = LookupCurve(curves.tone, r, 0, 255);
        g = LookupCurve(curves.tone, g, 0, 255);
        b = LookupCurve(curves.tone, b, 0, 255);
    }

    // One HLS round trip serves both curves, so turning both on rounds only once.
    if (params.balanceOn || params.hueShiftOn) {
        float h, l, s;
        RgbToHls(r, g, b, h, l, s);
        const float unchangedHue = h;
        if (params.balanceOn) {
            s = static_cast<float>(s + hueCurveShift(curves.balance, unchangedHue));
            if (s < 0) s = 0;
            if (s > 360) s = 360;
        }
        if (params.hueShiftOn) {
            h = static_cast<float>(h + hueCurveShift(curves.hue, unchangedHue));
        }
        HlsToRgb(h, l, s, r, g, b);
    }

    const int mode = params.filterMode;
    if (mode <= 0 || mode == 4 || mode > 11) return;
    const double y = 0.30 * r + 0.59 * g + 0.11 * b + 0.001;
    float m;
    switch (mode) {
        case 2:
        case 6:
        case 10:  // heavy sky: blue darkens
            m = static_cast<float>(y - ((b - r) + (b - g)) / 2);
            break;
        case 3:
        case 7:
        case 11: {  // hard light: blue darkens, yellow brightens beyond white
            // std::trunc keeps the integer truncation defined for any float the chain holds.
            const double d = std::trunc((b - (g + r) / 2) * 1.6);
            m = static_cast<float>(y - d);
            break;
        }
        default:  // luminance
            m = static_cast<float>(y);
            break;
    }
    if (m < 0) m = 0;
    r = g = b = m;
    if (mode >= 8) {
        r = r + 30 > 255 ? 255 : r + 30;
        b = b - 30 < 0 ? 0 : b - 30;
    }
}

void vividStep(float& r, float& g, float& b, float vivid, bool requirePositive) {
    if (!(vivid > 0)) return;
    const float a = 150 * vivid;
    const float d = 2 * (255 - a);
    if (!(d > 0)) return;
    if (requirePositive && !(r > 0 && g > 0 && b > 0)) return;
    const float nr = (510 * r - a * (g + b)) / d;
    const float ng = (510 * g - a * (r + b)) / d;
    const float nb = (510 * b - a * (r + g)) / d;
    r = nr;
    g = ng;
    b = nb;
}

ColorChain::ColorChain(const ColorChainParams& params)
    : p_(params),
      invGamma_(1 / params.gamma),
      passActive_(params.pass.curvesOn || params.pass.balanceOn || params.pass.hueShiftOn ||
                  params.pass.filterMode > 0) {}

void ColorChain::run(float r, float g, float b, std::uint8_t* out) const {
    float c[3] = {r, g, b};
    vividStep(c[0], c[1], c[2], p_.vivid, p_.contrastMethod);

    if (p_.gamma != 1) {
        for (float& x : c) {
            // A channel the vivid step pushed below zero has no power: it becomes black.
            x = x < 0 ? 0 : static_cast<float>(std::pow(static_cast<double>(x), invGamma_));
        }
    }

    for (float& x : c) x = 255 * x;

    if (p_.contrastMethod) {
        const float bb = p_.brightnessBlend;
        for (float& x : c) x = bb * (255 - (255 - x) * (255 - x) * kInv255) + (1 - bb) * x;

        const float s = p_.saturationFactor;
        if (s < 1) {
            const float m = (c[0] + c[1] + c[2]) / 3 * (1 - s);
            for (float& x : c) x = m + s * x;
        }
    }

    if (passActive_) ColorPass(c[0], c[1], c[2], p_.pass);

    out[0] = toOutputByte(c[0]);
    out[1] = toOutputByte(c[1]);
    out[2] = toOutputByte(c[2]);
}

}  // namespace qorva
