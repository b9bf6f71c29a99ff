#include "colour/curve_drawing.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "colour/hue_backgrounds.h"

namespace qorva {
namespace {

constexpr int kW = 160;
constexpr int kH = 80;

std::vector<std::uint32_t> draw(const CurveModel& model, const CurveLook& look = {},
                                bool pointerInside = false) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kW) * kH, 0x123456);
    drawCurve(model, look, pointerInside, pixels.data());
    return pixels;
}

// y counts from the top; the buffer's rows run from the bottom.
std::uint32_t at(const std::vector<std::uint32_t>& pixels, int x, int y) {
    return pixels[static_cast<std::size_t>(kH - 1 - y) * kW + x];
}

int red(std::uint32_t c) {
    return static_cast<int>(c >> 16 & 0xFF);
}
int green(std::uint32_t c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
int blue(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}

CurveModel toneCurve() {
    CurveModel m(false);
    m.setClientSize(kW, kH);
    return m;
}

TEST(CurveDrawing, CheckerboardTurnsBluishWhileAPointIsHeld) {
    CurveModel m = toneCurve();
    // The identity curve leaves the top left corner to the checkerboard.
    const auto corner = [](const std::vector<std::uint32_t>& pixels) {
        std::set<std::uint32_t> seen;
        for (int y = 2; y < kH / 4; ++y)
            for (int x = 2; x < kW / 4; ++x) seen.insert(at(pixels, x, y));
        return seen;
    };
    const std::set<std::uint32_t> greys = {0x6A6A6A, 0x727272};
    EXPECT_EQ(corner(draw(m)), greys);
    m.leftButtonDown(kW / 2, kH / 2);
    // Bytes blue, green, red (111, 110, 97) and (119, 118, 105).
    EXPECT_EQ(corner(draw(m)), (std::set<std::uint32_t>{0x616E6F, 0x697677}));
    m.leftButtonUp();
    EXPECT_EQ(corner(draw(m)), greys);
}

TEST(CurveDrawing, ThePointUnderThePointerIsLightGrey) {
    CurveModel m = toneCurve();
    m.leftButtonDown(kW / 2, kH / 2);  // adds a point in the middle
    m.leftButtonUp();
    m.mouseMove(kW / 2, 5);  // over it, no button held
    const auto inside = draw(m, {}, true);
    const auto outside = draw(m, {}, false);
    int grey = 0;
    for (std::size_t i = 0; i < inside.size(); ++i) {
        if (inside[i] != 0xC0C0C0) continue;
        ++grey;
        EXPECT_EQ(outside[i], 0x000000u) << "the same point, black when the pointer has left";
    }
    EXPECT_GT(grey, 0);
    for (std::uint32_t c : outside) ASSERT_NE(c, 0xC0C0C0u);
}

TEST(CurveDrawing, AnInactivePanelIsDesaturated) {
    CurveModel m = toneCurve();
    const auto active = draw(m);
    m.SetActive(false);
    const auto inactive = draw(m);
    int reds = 0;
    for (std::size_t i = 0; i < active.size(); ++i) {
        if (active[i] != 0xFF0000) continue;
        ++reds;
        ASSERT_EQ(inactive[i], 0x7C4040u) << "pure red becomes (124, 64, 64)";
    }
    EXPECT_GT(reds, 0) << "the curve is drawn in pure red";
}

TEST(CurveDrawing, ShadingSwitchesTintTheAreaUnderTheCurve) {
    CurveModel m(true);  // flat at the middle
    m.setClientSize(kW, kH);
    const int x = kW / 3;
    const auto redness = [&](const std::vector<std::uint32_t>& p, int y) {
        return red(at(p, x, y)) - green(at(p, x, y));
    };
    CurveLook fill;
    fill.showFill = true;
    CurveLook glow = fill;
    glow.showFill2 = true;
    const auto plain = draw(m), filled = draw(m, fill), glowing = draw(m, glow);
    const int justBelow = kH / 2 + 3, deep = kH - 4;
    EXPECT_EQ(redness(plain, deep), 0);
    EXPECT_GT(redness(filled, deep), 20);
    EXPECT_EQ(redness(filled, justBelow) / 10, redness(filled, deep) / 10) << "even";
    EXPECT_GT(redness(glowing, justBelow), redness(glowing, deep) + 20) << "glow under the curve";
    EXPECT_EQ(redness(filled, 4), 0) << "nothing above the curve";
}

TEST(CurveDrawing, HuePictureShowsThroughBehindAHuePanel) {
    CurveModel m(true);
    m.setClientSize(kW, kH);
    CurveLook look;
    look.background = makeColourBalanceBackground(kW, kH);
    const auto p = draw(m, look);
    const std::uint32_t left = at(p, 2, 5), middle = at(p, kW / 2, 5);
    EXPECT_GT(red(left), green(left) + 40) << "hue 0 is red";
    EXPECT_GT(red(left), blue(left) + 40);
    EXPECT_GT(green(middle), red(middle) + 40) << "hue 180 is cyan";
    EXPECT_GT(blue(middle), red(middle) + 40);
}

}  // namespace
}  // namespace qorva
