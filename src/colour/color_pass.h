// The per-pixel colour operations shared by both methods, the colour-only refresh and the
// filter chooser's thumbnails: tone curve, colour balance, hue shift and the monochrome and
// sepia conversions of the colour filter.
#pragma once

#include <cstdint>

#include "colour/curve_table.h"

namespace qorva {

struct ColorPassParams {
    bool curvesOn = false;
    bool balanceOn = false;
    bool hueShiftOn = false;
    int filterMode = 0;
    const CurveTables* curves = nullptr;  // null reads the neutral tables
};

// The pass for a set of colour switches; the dialog's refresh, the chooser's thumbnails and
// both pipelines all make theirs here.
ColorPassParams colorPassParams(bool curvesOn, bool balanceOn, bool hueShiftOn, int filterMode,
                                const CurveTables* curves);

// r, g, b in/out on the 0..255 scale (values may leave it until the output clamp).
void ColorPass(float& r, float& g, float& b, const ColorPassParams& params);

// ColorPass over a row held as three planes of count values (overwritten), each step over the
// whole row so that the compiler vectorises it: exactly what ColorPass gives pixel by pixel.
void ColorPassRow(float* r, float* g, float* b, int count, const ColorPassParams& params);

// A colour value stored as an output byte: clamped to 0..255 and truncated toward zero.
// Branch-free (NaN reads 0), so that the loops that store bytes vectorise.
inline std::uint8_t toOutputByte(float x) {
    float v = x > 0 ? x : 0.0f;
    v = v >= 255 ? 255.0f : v;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

// The vivid-colours step of the chain on its own: each channel is pushed away from the other
// two by 150 x vivid. requirePositive is method 0's rule, which leaves a pixel with a zero
// channel alone; method 1 can push a channel below zero here.
void vividStep(float& r, float& g, float& b, float vivid, bool requirePositive);

// Inputs of the per-pixel chain that runs after a pipeline has scaled a pixel by its luminance
// ratio. Method 0 runs brightness and saturation and tests that all channels are positive
// before the vivid step; method 1 does neither.
struct ColorChainParams {
    float vivid = 0;             // V, 0..1
    float gamma = 1;             // gamma; 1 skips the power
    float brightnessBlend = 0;   // b, method 0 only
    float saturationFactor = 1;  // s, method 0 only
    bool contrastMethod = true;  // true: method 0 rules; false: method 1 rules
    ColorPassParams pass;
};

// What both methods' chains take from the settings: gamma, vivid and the colour switches. A
// colour-neutral run keeps these defaults for all but vivid, which belongs to the method.
struct ColorChoices {
    float gamma = 1;
    float vivid = 0;
    bool curvesOn = false;
    bool balanceOn = false;
    bool hueShiftOn = false;
    int filterMode = 0;
};

// The chain for a pipeline's colour choices. brightnessBlend and saturationFactor keep their
// neutral defaults: only method 0 has those steps, and it sets them itself.
ColorChainParams colorChainParams(const ColorChoices& choices, const CurveTables* curves,
                                  bool contrastMethod);

// Per-run constants of the chain, computed once (1/gamma and friends) so the pixel loop
// allocates and recomputes nothing.
class ColorChain {
public:
    explicit ColorChain(const ColorChainParams& params);
    // r, g, b on the 0..1 scale; writes three clamped, truncated bytes.
    void run(float r, float g, float b, std::uint8_t* out) const;
    // The same chain over a row held as three planes of count values (overwritten): each step
    // runs over the whole row before the next, so that the compiler vectorises the arithmetic
    // steps. out receives 3 x count interleaved bytes, exactly what run gives pixel by pixel.
    void runRow(float* r, float* g, float* b, int count, std::uint8_t* out) const;
    // The same, with the pixels marked in black (those without a luminance ratio, whose chain
    // input was a stand-in 0) set to black afterwards.
    void runRow(float* r, float* g, float* b, const unsigned char* black, int count,
                std::uint8_t* out) const;

private:
    ColorChainParams p_;
    float invGamma_;
    bool passActive_;
};

}  // namespace qorva
