#include "colour/hue_backgrounds.h"

#include <gtest/gtest.h>

#include <vector>

namespace qorva {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes pixel(const Bytes& picture, int width, int x, int row) {
    const auto at = picture.begin() + (static_cast<std::ptrdiff_t>(row) * width + x) * 3;
    return Bytes(at, at + 3);
}

TEST(HueBackgrounds, ColourBalanceShowsTheHueStripInEveryRow) {
    const int w = 90, h = 40;
    const Bytes picture = makeColourBalanceBackground(w, h);
    ASSERT_EQ(picture.size(), static_cast<std::size_t>(w * h * 3));
    EXPECT_EQ(pixel(picture, w, 0, 0), (Bytes{255, 100, 100}));   // hue 0: light red
    EXPECT_EQ(pixel(picture, w, 30, 0), (Bytes{100, 255, 100}));  // hue 120: light green
    EXPECT_EQ(pixel(picture, w, 60, 0), (Bytes{100, 100, 255}));  // hue 240: light blue
    for (int row = 1; row < h; ++row)
        ASSERT_EQ(Bytes(picture.begin() + row * w * 3, picture.begin() + (row + 1) * w * 3),
                  Bytes(picture.begin(), picture.begin() + w * 3))
            << row;
}

TEST(HueBackgrounds, HueShiftTurnsFromMinusToPlusHalfACircleUpwards) {
    const int w = 90, h = 40;
    const Bytes shift = makeHueShiftBackground(w, h);
    const Bytes balance = makeColourBalanceBackground(w, h);
    // Bottom row: hue - 180, so red's column shows cyan.
    EXPECT_EQ(pixel(shift, w, 0, h - 1), (Bytes{100, 255, 255}));
    // Half-way up (y = 20 of 40, row 19 from the top) is no shift at all.
    EXPECT_EQ(Bytes(shift.begin() + 19 * w * 3, shift.begin() + 20 * w * 3),
              Bytes(balance.begin(), balance.begin() + w * 3));
    EXPECT_NE(pixel(shift, w, 0, 0), pixel(shift, w, 0, h - 1));
}

TEST(HueBackgrounds, EmptySizesGiveNoPicture) {
    EXPECT_TRUE(makeHueShiftBackground(0, 10).empty());
    EXPECT_TRUE(makeColourBalanceBackground(10, -1).empty());
}

}  // namespace
}  // namespace qorva
