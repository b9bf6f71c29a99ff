#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "colour/color_filters.h"
#include "colour/finishing_passes.h"
#include "pipelines/run_context.h"
#include "support/test_images.h"

namespace qorva {
namespace {

using Image = std::vector<std::uint8_t>;

TEST(FilterTable, NamesAndCaptionsByMode) {
    const char* names[kFilterCount] = {
        "Color",        "B/W",         "B/W Heavy Sky",       "B/W Hard Light",
        "Orton Effect", "Orton B/W",   "Orton B/W Heavy Sky", "Orton B/W Hard Light",
        "Sepia",        "Orton Sepia", "Orton Sepia S",       "Orton Sepia L"};
    for (int mode = 0; mode < kFilterCount; ++mode) {
        const FilterInfo* f = filterByMode(mode);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->mode, mode);
        EXPECT_STREQ(f->chooserName, names[mode]);
        EXPECT_EQ(std::string(f->caption), std::string("Filter: ") + names[mode]);
        EXPECT_EQ(filterModeByName(names[mode]), mode);
    }
    EXPECT_EQ(filterByMode(-1), nullptr);
    EXPECT_EQ(filterByMode(12), nullptr);
    EXPECT_EQ(filterModeByName("orton sepia l"), 11);
    EXPECT_EQ(filterModeByName("B/W HEAVY SKY"), 2);
    EXPECT_EQ(filterModeByName("Orton Sepia X"), -1);
    EXPECT_EQ(filterModeByName(""), -1);
}

TEST(FilterTable, CaptionResetsModesOutsideTheTable) {
    struct Case {
        int mode;
        int after;
        const char* caption;
    };
    const Case cases[] = {
        {12, 0, "Filter: Color"},   {-3, 0, "Filter: Color"},
        {1000, 0, "Filter: Color"}, {7, 7, "Filter: Orton B/W Hard Light"},
        {0, 0, "Filter: Color"},
    };
    for (const Case& c : cases) {
        int mode = c.mode;
        EXPECT_STREQ(UpdateFilterCaption(mode), c.caption) << c.mode;
        EXPECT_EQ(mode, c.after);
    }
}

TEST(FilterThumbnail, SizeFitsTheChooserCell) {
    struct Case {
        int w, h, tw, th;
    };
    const Case cases[] = {
        {400, 300, 101, 76},                       // e = 90 is not below 77: 76 / 0.75
        {400, 200, 120, 60}, {400, 256, 120, 76},  // e = 76.8 truncated
        {300, 400, 57, 76},  {600, 1, 120, 1},     // a panorama keeps a visible thumbnail
        {1, 600, 1, 76},     {0, 300, 0, 0},
    };
    for (const Case& c : cases) {
        const ThumbnailSize size = thumbnailSize(c.w, c.h);
        EXPECT_EQ(size.width, c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(size.height, c.th) << c.w << "x" << c.h;
    }
}

TEST(OrtonPass, WhiteBlackAndMidGrey) {
    // A thumbnail-sized image: glow radius 120 * 0.05 = 6.
    const int w = 120, h = 76;
    for (int mode : {4, 5, 6, 7, 9, 10, 11}) {
        Image white = test::makeUniformImage(w, h, 255, 255, 255);
        OrtonPass(white.data(), w, h, mode);
        EXPECT_EQ(white, test::makeUniformImage(w, h, 255, 255, 255)) << mode;

        Image black = test::makeUniformImage(w, h, 0, 0, 0);
        OrtonPass(black.data(), w, h, mode);
        EXPECT_EQ(black, test::makeUniformImage(w, h, 0, 0, 0)) << mode;

        // Glow 255 - 127 * 127 / 255 = 192; the blur keeps it or loses one level, then
        // 192 * 128 / 255 = 96: the glow darkens flat mid tones.
        Image grey = test::makeUniformImage(w, h, 128, 128, 128);
        OrtonPass(grey.data(), w, h, mode);
        for (std::uint8_t v : grey) ASSERT_TRUE(v == 96 || v == 95) << mode << ": " << int(v);
    }
}

TEST(OrtonPass, OnlyOrtonModesGlow) {
    const int w = 90, h = 60;
    const Image source = test::makePhotoLikeImage(w, h);
    for (int mode = -1; mode <= 12; ++mode) {
        Image img = source;
        OrtonPass(img.data(), w, h, mode);
        EXPECT_EQ(img != source, isOrtonMode(mode)) << mode;
        // The glow only ever darkens (multiply blend).
        for (std::size_t i = 0; i < img.size(); ++i) ASSERT_LE(img[i], source[i]);
    }
}

TEST(FilterThumbnail, ColourPassThenGlow) {
    const int w = 120, h = 76;
    const Image source = test::makePhotoLikeImage(w, h);
    Image target(source.size());

    FilterThumbnail(source.data(), target.data(), w, h, 0, {});
    EXPECT_EQ(target, source);

    const Image white = test::makeUniformImage(w, h, 255, 255, 255);
    FilterThumbnail(white.data(), target.data(), w, h, 8, {});
    EXPECT_EQ(target, test::makeUniformImage(w, h, 255, 255, 225));

    // Mode 5 = luminance conversion, then the glow on the grey result.
    FilterThumbnail(source.data(), target.data(), w, h, 5, {});
    Image expected(source.size());
    FilterThumbnail(source.data(), expected.data(), w, h, 1, {});
    OrtonPass(expected.data(), w, h, 5);
    EXPECT_EQ(target, expected);
    for (std::size_t i = 0; i < target.size(); i += 3) {
        ASSERT_EQ(target[i], target[i + 2]);
    }

    // The curve switches of the current settings apply; the mode argument wins over theirs.
    CurveTables curves;
    curves.tone.fill(40);
    ColorPassParams toneOn;
    toneOn.curvesOn = true;
    toneOn.curves = &curves;
    toneOn.filterMode = 3;
    FilterThumbnail(source.data(), target.data(), w, h, 0, toneOn);
    EXPECT_EQ(target, test::makeUniformImage(w, h, 40, 40, 40));
}

TEST(FinishingPasses, ClarityThenDehazeThenGlow) {
    const int w = 160, h = 100;
    const Image source = test::makePhotoLikeImage(w, h, 3);

    RunContext off;
    Image img = source;
    runFinishingPasses(off, img.data(), w, h, 0);
    EXPECT_EQ(img, source);

    RunContext both;
    both.clarityOn = both.dehazeOn = true;
    img = source;
    runFinishingPasses(both, img.data(), w, h, 10);
    Image expected = source;
    ClarityPass(expected.data(), w, h);
    DehazePass(expected.data(), w, h);
    OrtonPass(expected.data(), w, h, 10);
    EXPECT_EQ(img, expected);

    Image reordered = source;
    DehazePass(reordered.data(), w, h);
    ClarityPass(reordered.data(), w, h);
    OrtonPass(reordered.data(), w, h, 10);
    EXPECT_NE(img, reordered);
}

}  // namespace
}  // namespace qorva
