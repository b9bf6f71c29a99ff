#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "colour/color_pass.h"
#include "colour/color_refresh.h"
#include "colour/hls.h"
#include "support/test_images.h"

namespace qorva {
namespace {

struct Rgb {
    float r, g, b;
};

Rgb pass(Rgb c, const ColorPassParams& params) {
    ColorPass(c.r, c.g, c.b, params);
    return c;
}

std::vector<std::uint8_t> chain(const ColorChainParams& params, float r, float g, float b) {
    std::vector<std::uint8_t> out(3);
    ColorChain(params).run(r, g, b, out.data());
    return out;
}

TEST(Hls, ConvertsWithTheProductRoundingTerms) {
    float h, l, s;
    RgbToHls(200, 100, 50, h, l, s);
    EXPECT_FLOAT_EQ(h, 20);
    EXPECT_NEAR(l, 176.9706, 1e-4);
    EXPECT_FLOAT_EQ(s, 216.5);

    RgbToHls(77, 77, 77, h, l, s);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(s, 0);

    // The rounding terms lift every channel on the way back; truncation turns the lift of a
    // grey into rounding, while a strong colour comes back up to two levels brighter.
    struct Case {
        Rgb in;
        Rgb out;
    };
    const Case cases[] = {
        {{0, 0, 0}, {0.3542, 0.3542, 0.3542}},
        {{128, 128, 128}, {128.3542, 128.3542, 128.3542}},
        {{255, 255, 255}, {255.3542, 255.3542, 255.3542}},
        {{200, 100, 50}, {201.5949, 100.9614, 50.1134}},
        {{255, 0, 0}, {255.3224, 1.7401, 1.3859}},
    };
    for (const Case& c : cases) {
        Rgb back;
        RgbToHls(c.in.r, c.in.g, c.in.b, h, l, s);
        HlsToRgb(h, l, s, back.r, back.g, back.b);
        EXPECT_NEAR(back.r, c.out.r, 1e-3) << c.in.r << "," << c.in.g << "," << c.in.b;
        EXPECT_NEAR(back.g, c.out.g, 1e-3) << c.in.r << "," << c.in.g << "," << c.in.b;
        EXPECT_NEAR(back.b, c.out.b, 1e-3) << c.in.r << "," << c.in.g << "," << c.in.b;
    }
}

TEST(LookupCurve, EndAndMidpointBetweenEntries) {
    CurveTable table = identityCurveTable();
    table[254] = 100;
    table[255] = 201;
    EXPECT_EQ(LookupCurve(table, 255, 0, 255), 201);
    EXPECT_EQ(LookupCurve(table, 300, 0, 255), 201);
    EXPECT_FLOAT_EQ(LookupCurve(table, 254.5f, 0, 255), 150.5f);
    EXPECT_EQ(LookupCurve(table, -5, 0, 255), 0);
}

TEST(ColorPass, NeutralCurvesAddNothing) {
    const CurveTables neutral;
    ColorPassParams tone;
    tone.curvesOn = true;
    tone.curves = &neutral;
    for (int v = 0; v < 256; ++v) {
        const Rgb out = pass({float(v), float(v), float(v)}, tone);
        ASSERT_EQ(toOutputByte(out.r), v);
    }
    // Flat balance and hue curves leave only the HLS round trip, done once for both.
    ColorPassParams both;
    both.balanceOn = both.hueShiftOn = true;
    const std::vector<std::uint8_t> img = test::makePhotoLikeImage(40, 30);
    for (std::size_t i = 0; i < img.size(); i += 3) {
        Rgb trip;
        float h, l, s;
        RgbToHls(img[i], img[i + 1], img[i + 2], h, l, s);
        HlsToRgb(h, l, s, trip.r, trip.g, trip.b);
        const Rgb out = pass({float(img[i]), float(img[i + 1]), float(img[i + 2])}, both);
        ASSERT_EQ(out.r, trip.r);
        ASSERT_EQ(out.g, trip.g);
        ASSERT_EQ(out.b, trip.b);
    }
}

TEST(ColorPass, BalanceAndHueShiftCurves) {
    CurveTables curves;
    ColorPassParams balance;
    balance.balanceOn = true;
    balance.curves = &curves;

    // Balance 0 lowers saturation by 180 of 360: a muted colour (S = 72.5) turns grey.
    curves.balance.fill(0);
    const Rgb grey = pass({150, 120, 100}, balance);
    EXPECT_EQ(grey.r, grey.g);
    EXPECT_EQ(grey.g, grey.b);

    // Grey pixels sit at hue 240 (blue), so a balance curve raised there tints them blue.
    curves.balance.fill(128);
    curves.balance[170] = 255;  // hue 170 * 360 / 255 = 240
    const Rgb tinted = pass({100, 100, 100}, balance);
    EXPECT_GT(tinted.b, tinted.r + 20);
    EXPECT_FLOAT_EQ(tinted.r, tinted.g);

    // Hue shift leaves grey grey and turns red by the curve's amount: 213 -> +119.5 degrees.
    ColorPassParams hue;
    hue.hueShiftOn = true;
    hue.curves = &curves;
    curves.hue.fill(213);
    const Rgb stillGrey = pass({100, 100, 100}, hue);
    EXPECT_EQ(stillGrey.r, stillGrey.b);
    const Rgb turned = pass({255, 0, 0}, hue);
    EXPECT_GT(turned.g, 200);
    EXPECT_LT(turned.r, 10);
}

TEST(ColorPass, MonochromeAndSepiaFilters) {
    ColorPassParams hardLight;
    hardLight.filterMode = 3;
    const Rgb yellow = pass({255, 255, 0}, hardLight);
    EXPECT_NEAR(yellow.r, 634.951, 1e-3);  // Y = 226.951, d = -408
    EXPECT_EQ(yellow.r, yellow.b);
    EXPECT_EQ(toOutputByte(yellow.r), 255);

    struct Case {
        int mode;
        Rgb in;
        std::uint8_t r, g, b;
    };
    const Case cases[] = {
        {8, {255, 255, 255}, 255, 255, 225},  // sepia on white
        {8, {0, 0, 0}, 30, 0, 0},             // sepia on black
        {1, {100, 150, 200}, 140, 140, 140},  // luminance 30 + 88.5 + 22 + 0.001
        {2, {100, 150, 200}, 65, 65, 65},     // heavy sky: 140.501 - 75
        {2, {0, 0, 255}, 0, 0, 0},            // heavy sky cannot go below black
        {3, {100, 150, 200}, 20, 20, 20},     // hard light: 140.501 - trunc(120.0)
        {4, {100, 150, 200}, 100, 150, 200},  // the Orton glow alone changes no pixel here
        {0, {100, 150, 200}, 100, 150, 200},
        {12, {100, 150, 200}, 100, 150, 200},
        {11, {100, 150, 200}, 50, 20, 0},  // hard light, then sepia
    };
    for (const Case& c : cases) {
        ColorPassParams params;
        params.filterMode = c.mode;
        const Rgb out = pass(c.in, params);
        EXPECT_EQ(toOutputByte(out.r), c.r) << "mode " << c.mode;
        EXPECT_EQ(toOutputByte(out.g), c.g) << "mode " << c.mode;
        EXPECT_EQ(toOutputByte(out.b), c.b) << "mode " << c.mode;
    }
}

TEST(ColorChain, NeutralSettingsGiveScaledInputTruncated) {
    for (bool method0 : {true, false}) {
        ColorChainParams params;
        params.contrastMethod = method0;
        for (float x : {0.0f, 0.2f, 0.5f, 0.9999f, 1.0f, 1.3f, -0.1f}) {
            const auto out = chain(params, x, x / 2, 1 - x);
            EXPECT_EQ(out[0], toOutputByte(255 * x)) << x;
            EXPECT_EQ(out[1], toOutputByte(255 * (x / 2))) << x;
            EXPECT_EQ(out[2], toOutputByte(255 * (1 - x))) << x;
        }
    }
    EXPECT_EQ(chain({}, 0.5f, 0.2f, 1)[0], 127);  // 127.5 truncated
}

TEST(ColorChain, GreyStaysGreyThroughEveryStep) {
    for (bool method0 : {true, false}) {
        ColorChainParams params;
        params.contrastMethod = method0;
        params.vivid = 0.7f;
        params.gamma = 1.6f;
        params.brightnessBlend = 0.5f;
        params.saturationFactor = 0.4f;
        params.pass.curvesOn = true;
        for (float x : {0.0f, 0.1f, 0.5f, 0.77f, 1.0f}) {
            const auto out = chain(params, x, x, x);
            EXPECT_EQ(out[0], out[1]) << x;
            EXPECT_EQ(out[1], out[2]) << x;
        }
    }
}

TEST(ColorChain, VividStepRulesOfEachMethod) {
    float r = 0, g = 1, b = 1;
    vividStep(r, g, b, 1, false);
    EXPECT_NEAR(r, -1.4286, 1e-4);
    EXPECT_NEAR(g, 1.7143, 1e-4);
    EXPECT_NEAR(b, 1.7143, 1e-4);

    r = 0, g = 1, b = 1;
    vividStep(r, g, b, 1, true);  // method 0 leaves a pixel with a zero channel alone
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 1);

    // Independent of the scale, and neutral on grey.
    float r1 = 0.2f, g1 = 0.4f, b1 = 0.6f, r2 = 2, g2 = 4, b2 = 6;
    vividStep(r1, g1, b1, 0.5f, true);
    vividStep(r2, g2, b2, 0.5f, true);
    EXPECT_NEAR(r1 * 10, r2, 1e-5);
    EXPECT_NEAR(b1 * 10, b2, 1e-5);
    float gr = 0.3f, gg = 0.3f, gb = 0.3f;
    vividStep(gr, gg, gb, 1, true);
    EXPECT_FLOAT_EQ(gr, 0.3f);

    // A channel pushed below zero becomes black at the gamma step instead of failing the power.
    ColorChainParams m1;
    m1.contrastMethod = false;
    m1.vivid = 1;
    m1.gamma = 2;
    const auto out = chain(m1, 0, 1, 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 255);
}

// Method 1's vivid step pushes a dark blue below black: (0.05, 0.05, 0.6) becomes
// (-66.140625, -66.140625, 310.78125), luminance -24.678. Only the heavy-sky and hard-light
// rows hold M at black; under Sepia the luminance rows add 30 to the negative M.
TEST(ColorChain, LuminanceBelowBlackIsNotHeldAtBlackBeforeSepia) {
    const struct {
        int mode;
        std::uint8_t r;
    } cases[] = {{1, 0}, {5, 0}, {8, 5}, {9, 5}, {10, 30}, {11, 30}};
    for (const auto& c : cases) {
        ColorChainParams params;
        params.contrastMethod = false;
        params.vivid = 0.9f;
        params.pass.filterMode = c.mode;
        const std::vector<std::uint8_t> expected{c.r, 0, 0};
        EXPECT_EQ(chain(params, 0.05f, 0.05f, 0.6f), expected) << "mode " << c.mode;
        float r[] = {0.05f}, g[] = {0.05f}, b[] = {0.6f};
        std::vector<std::uint8_t> row(3);
        ColorChain(params).runRow(r, g, b, 1, row.data());
        EXPECT_EQ(row, expected) << "row, mode " << c.mode;
    }
}

TEST(ColorChain, GammaBrightnessAndSaturation) {
    ColorChainParams gamma;
    gamma.gamma = 2;
    gamma.contrastMethod = false;
    EXPECT_EQ(chain(gamma, 0.25f, 0, 1)[0], 127);  // 255 * 0.5 = 127.5
    EXPECT_EQ(chain(gamma, 0.25f, 0, 1)[1], 0);

    ColorChainParams bright;
    bright.brightnessBlend = 1;
    EXPECT_EQ(chain(bright, 128 / 255.0f, 0, 1)[0], 191);  // 191.75
    EXPECT_EQ(chain(bright, 128 / 255.0f, 0, 1)[2], 255);
    bright.contrastMethod = false;  // method 1 has no brightness step
    EXPECT_EQ(chain(bright, 128 / 255.0f, 0, 1)[0], 128);

    ColorChainParams sat;
    sat.saturationFactor = 0;
    const auto grey = chain(sat, 0.2f, 0.4f, 0.6f);
    EXPECT_EQ(grey[0], 102);
    EXPECT_EQ(grey[2], 102);
    sat.saturationFactor = 1.5f;  // above 1 changes nothing
    EXPECT_EQ(chain(sat, 0.2f, 0.4f, 0.6f)[2], 153);
}

TEST(ColorRefresh, CopiesWhenNothingIsOn) {
    const int w = 30, h = 20;
    const auto neutral = test::makePhotoLikeImage(w, h);
    std::vector<std::uint8_t> display(neutral.size(), 7);
    ColorRefresh(neutral.data(), display.data(), w, h, 100, {});
    EXPECT_EQ(display, neutral);
}

TEST(ColorRefresh, AppliesGammaTableThenColorPass) {
    const int w = 4, h = 1;
    const std::vector<std::uint8_t> neutral = {0, 64, 128, 255, 255, 255, 10, 20, 30, 200, 100, 50};
    std::vector<std::uint8_t> display(neutral.size());

    // Gamma 2: 255 * (i/255)^0.5 + 0.5; 64 -> 128.25, 128 -> 181.17, 10 -> 50.99.
    ColorRefresh(neutral.data(), display.data(), w, h, 200, {});
    EXPECT_EQ(display,
              (std::vector<std::uint8_t>{0, 128, 181, 255, 255, 255, 50, 71, 87, 226, 160, 113}));
    // Gamma 0.5: 128 -> 64.25 + 0.5.
    ColorRefresh(neutral.data(), display.data(), w, h, 50, {});
    EXPECT_EQ(display[2], 64);

    // A filter above 0 runs the colour pass even at gamma 1: sepia.
    ColorPassParams sepia;
    sepia.filterMode = 8;
    ColorRefresh(neutral.data(), display.data(), w, h, 100, sepia);
    EXPECT_EQ(display[3], 255);
    EXPECT_EQ(display[4], 255);
    EXPECT_EQ(display[5], 225);
    EXPECT_EQ(display[0], 81);  // Y of (0, 64, 128) is 51.841

    // In place, and a position of 0 is read as no gamma rather than dividing by zero.
    std::vector<std::uint8_t> same = neutral;
    ColorRefresh(same.data(), same.data(), w, h, 0, {});
    EXPECT_EQ(same, neutral);
}

}  // namespace
}  // namespace qorva
