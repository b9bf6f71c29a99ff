#include "colour/color_pass.h"

#include <algorithm>
#include <cmath>

#include "colour/color_filters.h"
#include "colour/hls.h"
#include "common/wide_vectors.h"

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

// LookupCurve without branches, for the row loops: every step computed, the same one kept.
// LookupCurve in two steps without branches, for the row loops: where x reads the table (entry,
// fraction, and whether x is at the top, which reads the last entry alone), then the value. The
// table is read as floats: every entry is a small whole number, so the values are the same.
inline void curvePosition(float x, float lo, float hi, int& bin, float& frac, float& top) {
    float t = (x - lo) / (hi - lo);
    const int defined = static_cast<int>(t >= 0);  // also false for NaN
    t = defined ? t : 0.0f;
    t = t > 1 ? 1.0f : t;
    const float p = 255 * t;
    const int whole = static_cast<int>(p);
    bin = whole > 254 ? 254 : whole;
    frac = p - static_cast<float>(bin);
    top = t == 1 ? 1.0f : 0.0f;
}

inline float curveValue(const float* table, int bin, float frac, float top) {
    const float v = table[bin] + frac * (table[bin + 1] - table[bin]);
    const float last = table[255];
    return top != 0 ? last : v;
}

// HlsToRgb without branches (RgbToHlsBranchFree is its way there).
constexpr float kInv360 = static_cast<float>(1.0 / 360.0);

inline float hueToValue(float m1, float m2, float h) {
    h = h < 0 ? h + 360 : h;
    h = h > 360 ? h - 360 : h;
    const float rising = m1 + ((m2 - m1) * h + 30) / 60;
    const float falling = m1 + ((m2 - m1) * (240 - h) + 30) / 60;
    return h < 60 ? rising : h < 180 ? m2 : h < 240 ? falling : m1;
}

inline void hlsToRgb(float h, float l, float s, float& r, float& g, float& b) {
    const float grey = l * 255 * kInv360;
    const float m2Dark = (l * (360 + s) + 180) / 360;
    const float m2Light = l + s - (l * s + 180) / 360;
    const float m2 = l <= 180 ? m2Dark : m2Light;
    const float m1 = 2 * l - m2;
    const float cr = (hueToValue(m1, m2, h + 120) * 255 + 180) / 360;
    const float cg = (hueToValue(m1, m2, h) * 255 + 180) / 360;
    const float cb = (hueToValue(m1, m2, h - 120) * 255 + 180) / 360;
    const int flat = static_cast<int>(s == 0);
    r = flat ? grey : cr;
    g = flat ? grey : cg;
    b = flat ? grey : cb;
}

}  // namespace

ColorPassParams colorPassParams(bool curvesOn, bool balanceOn, bool hueShiftOn, int filterMode,
                                const CurveTables* curves) {
    ColorPassParams pass;
    pass.curvesOn = curvesOn;
    pass.balanceOn = balanceOn;
    pass.hueShiftOn = hueShiftOn;
    pass.filterMode = filterMode;
    pass.curves = curves;
    return pass;
}

ColorChainParams colorChainParams(const ColorChoices& choices, const CurveTables* curves,
                                  bool contrastMethod) {
    ColorChainParams chain;
    chain.vivid = choices.vivid;
    chain.gamma = choices.gamma;
    chain.contrastMethod = contrastMethod;
    chain.pass = colorPassParams(choices.curvesOn, choices.balanceOn, choices.hueShiftOn,
                                 choices.filterMode, curves);
    return chain;
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

    const FilterTraits filter = filterTraits(params.filterMode);
    if (filter.monochrome == Monochrome::None) return;
    const double y = 0.30 * r + 0.59 * g + 0.11 * b + 0.001;
    float m;
    switch (filter.monochrome) {
        case Monochrome::HeavySky:  // blue darkens
            m = static_cast<float>(y - ((b - r) + (b - g)) / 2);
            if (m < 0) m = 0;
            break;
        case Monochrome::HardLight: {  // blue darkens, yellow brightens beyond white
            // std::trunc keeps the integer truncation defined for any float the chain holds.
            const double d = std::trunc((b - (g + r) / 2) * 1.6);
            m = static_cast<float>(y - d);
            if (m < 0) m = 0;
            break;
        }
        default:  // luminance: a value below black stays below, so sepia adds less red to it
            m = static_cast<float>(y);
            break;
    }
    r = g = b = m;
    if (filter.sepia) {
        r = r + 30 > 255 ? 255 : r + 30;
        b = b - 30 < 0 ? 0 : b - 30;
    }
}

// The planes are the caller's row buffers and never overlap.
QORVA_WIDE_VECTORS void ColorPassRow(float* __restrict r, float* __restrict g, float* __restrict b,
                                     int count, const ColorPassParams& params) {
    const CurveTables& curves = params.curves != nullptr ? *params.curves : neutralCurves();
    float tone[256], balance[256], hueCurve[256];
    for (std::size_t k = 0; k < 256; ++k) {
        tone[k] = curves.tone[k];
        balance[k] = curves.balance[k];
        hueCurve[k] = curves.hue[k];
    }
    // In chunks, so that the positions in the curve tables are in memory before the tables are
    // read (the form whose reads the compiler vectorises) without allocating anything.
    constexpr int kChunk = 256;
    int bin[kChunk];
    float frac[kChunk];
    float top[kChunk];
    if (params.curvesOn) {
        for (float* plane : {r, g, b}) {
            for (int x0 = 0; x0 < count; x0 += kChunk) {
                const int n = std::min(kChunk, count - x0);
                float* v = plane + x0;
                for (int i = 0; i < n; ++i) curvePosition(v[i], 0, 255, bin[i], frac[i], top[i]);
                for (int i = 0; i < n; ++i) v[i] = curveValue(tone, bin[i], frac[i], top[i]);
            }
        }
    }
    const bool balanceOn = params.balanceOn;
    const bool hueShiftOn = params.hueShiftOn;
    // Integer flags: the form the compiler turns into vector selects.
    const int balanceFlag = static_cast<int>(balanceOn);
    const int hueShiftFlag = static_cast<int>(hueShiftOn);
    if (balanceOn || hueShiftOn) {
        // One HLS round trip serves both curves, as in ColorPass; both read the unchanged hue.
        float h[kChunk], l[kChunk], sat[kChunk];
        for (int x0 = 0; x0 < count; x0 += kChunk) {
            const int n = std::min(kChunk, count - x0);
            float* cr = r + x0;
            float* cg = g + x0;
            float* cb = b + x0;
            for (int i = 0; i < n; ++i) {
                RgbToHlsBranchFree(cr[i], cg[i], cb[i], h[i], l[i], sat[i]);
                curvePosition(h[i], 0, 360, bin[i], frac[i], top[i]);
            }
            // Plain runs, each of which the compiler vectorises: the curve reads, the shifted
            // saturation and hue, the way back to RGB.
            float s2[kChunk], h2[kChunk];
            for (int i = 0; i < n; ++i) {
                s2[i] = curveValue(balance, bin[i], frac[i], top[i]);
                h2[i] = curveValue(hueCurve, bin[i], frac[i], top[i]);
            }
            for (int i = 0; i < n; ++i) {
                const double balanceShift = (s2[i] / 256 - 0.5) * 360;
                const double hueShift = (h2[i] / 256 - 0.5) * 360;
                float balanced = static_cast<float>(sat[i] + balanceShift);
                balanced = balanced < 0 ? 0.0f : balanced;
                balanced = balanced > 360 ? 360.0f : balanced;
                const float shifted = static_cast<float>(h[i] + hueShift);
                s2[i] = balanceFlag ? balanced : sat[i];
                h2[i] = hueShiftFlag ? shifted : h[i];
            }
            for (int i = 0; i < n; ++i) hlsToRgb(h2[i], l[i], s2[i], cr[i], cg[i], cb[i]);
        }
    }
    if (filterTraits(params.filterMode).monochrome == Monochrome::None) return;
    const ColorPassParams filterOnly =
        colorPassParams(false, false, false, params.filterMode, nullptr);
    for (int x = 0; x < count; ++x) ColorPass(r[x], g[x], b[x], filterOnly);
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
                  filterTraits(params.pass.filterMode).active()) {}

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

// The planes never overlap each other or the output: they are the caller's row buffers.
void ColorChain::runRow(float* __restrict r, float* __restrict g, float* __restrict b, int count,
                        std::uint8_t* __restrict out) const {
    // Locals throughout, so the compiler knows the stores cannot change them.
    const float vivid = p_.vivid;
    if (vivid > 0) {
        const float a = 150 * vivid;
        const float d = 2 * (255 - a);
        if (d > 0 && p_.contrastMethod) {
            for (int x = 0; x < count; ++x) {
                const float cr = r[x], cg = g[x], cb = b[x];
                const float nr = (510 * cr - a * (cg + cb)) / d;
                const float ng = (510 * cg - a * (cr + cb)) / d;
                const float nb = (510 * cb - a * (cr + cg)) / d;
                // Integer flags: the form the compiler turns into vector selects.
                const int positive =
                    static_cast<int>(cr > 0) & static_cast<int>(cg > 0) & static_cast<int>(cb > 0);
                r[x] = positive ? nr : cr;
                g[x] = positive ? ng : cg;
                b[x] = positive ? nb : cb;
            }
        } else if (d > 0) {
            for (int x = 0; x < count; ++x) {
                const float cr = r[x], cg = g[x], cb = b[x];
                r[x] = (510 * cr - a * (cg + cb)) / d;
                g[x] = (510 * cg - a * (cr + cb)) / d;
                b[x] = (510 * cb - a * (cr + cg)) / d;
            }
        }
    }

    if (p_.gamma != 1) {
        const double invGamma = invGamma_;
        for (float* plane : {r, g, b}) {
            for (int x = 0; x < count; ++x) {
                const float v = plane[x];
                plane[x] =
                    v < 0 ? 0 : static_cast<float>(std::pow(static_cast<double>(v), invGamma));
            }
        }
    }

    const float bb = p_.brightnessBlend;
    const float s = p_.saturationFactor;
    if (p_.contrastMethod) {
        for (int x = 0; x < count; ++x) {
            const float c0 = 255 * r[x];
            const float c1 = 255 * g[x];
            const float c2 = 255 * b[x];
            r[x] = bb * (255 - (255 - c0) * (255 - c0) * kInv255) + (1 - bb) * c0;
            g[x] = bb * (255 - (255 - c1) * (255 - c1) * kInv255) + (1 - bb) * c1;
            b[x] = bb * (255 - (255 - c2) * (255 - c2) * kInv255) + (1 - bb) * c2;
        }
        if (s < 1) {
            for (int x = 0; x < count; ++x) {
                const float m = (r[x] + g[x] + b[x]) / 3 * (1 - s);
                r[x] = m + s * r[x];
                g[x] = m + s * g[x];
                b[x] = m + s * b[x];
            }
        }
    } else {
        for (int x = 0; x < count; ++x) {
            r[x] = 255 * r[x];
            g[x] = 255 * g[x];
            b[x] = 255 * b[x];
        }
    }

    // A filter without a grey conversion (plain glow, unknown modes) leaves the colour pass
    // nothing to do by itself.
    const bool monochrome = filterTraits(p_.pass.filterMode).monochrome != Monochrome::None;
    if (passActive_ &&
        (p_.pass.curvesOn || p_.pass.balanceOn || p_.pass.hueShiftOn || monochrome)) {
        ColorPassRow(r, g, b, count, p_.pass);
    }

    for (int x = 0; x < count; ++x) {
        out[3 * x] = toOutputByte(r[x]);
        out[3 * x + 1] = toOutputByte(g[x]);
        out[3 * x + 2] = toOutputByte(b[x]);
    }
}

void ColorChain::runRow(float* r, float* g, float* b, const unsigned char* black, int count,
                        std::uint8_t* out) const {
    runRow(r, g, b, count, out);
    for (int x = 0; x < count; ++x) {
        if (black[x]) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = 0;
    }
}

}  // namespace qorva
