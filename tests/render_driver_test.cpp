#include "render/render_driver.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "support/recording_preview_host.h"

namespace qorva {
namespace {

using test::areaOf;
using test::Bytes;
using test::bytesOf;
using RecordingHost = test::RecordingPreviewHost;

using Fixture = test::DriverRig;
using test::checksum;

// What a Fast render shows from scratch with f's settings.
Bytes freshFastPreview(const Fixture& f) {
    Fixture fresh(f.W, f.H, f.host.rect);
    fresh.method = f.method;
    fresh.colour = f.colour;
    EXPECT_TRUE(fresh.driver.Render(RenderQuality::Fast));
    return bytesOf(fresh.driver.displayImage());
}

// The full-size result shrunk to the preview, as All shows it.
Bytes shrunkToPreview(const Fixture& f, const WorkingImage& full) {
    WorkingImage shown;
    EXPECT_EQ(shown.CopyFrom(full), kImageOk);
    shown.Resize(f.driver.fit(1).width, f.driver.fit(1).height, kResizeBlockOrBilinear);
    return bytesOf(shown);
}

TEST(RenderDriverFit, KeepsTheAspectRatioAndFillsOneDirection) {
    struct Case {
        int W, H, k, w, h;
    };
    const Case cases[] = {
        {4000, 3000, 1, 496, 372},                           // 516 x 0.75 = 387 > 372: height-bound
        {4000, 3000, 2, 992, 744}, {300, 200, 1, 516, 344},  // width-bound
        {300, 200, 2, 1032, 688},  {100000, 1, 1, 516, 1},   // never below one pixel
    };
    for (const Case& c : cases) {
        RecordingHost host;
        MethodSettings m;
        ColorSettings col;
        RenderDriver driver(host, m, col);
        driver.setHostInput(nullptr, c.W, c.H);
        const ImageSize s = driver.fit(c.k);
        EXPECT_EQ(s.width, c.w) << c.W << "x" << c.H << " k" << c.k;
        EXPECT_EQ(s.height, c.h) << c.W << "x" << c.H << " k" << c.k;
    }
}

// Fast enlarges the image to the preview before the method runs; Fine and All run it on the
// image at its own size (Fine's double-size work area is larger), so with colours at rest they
// show the same.
TEST(RenderDriver, SmallImageIsEnlargedForFastAndAllAndWorkedAtOwnSizeForFine) {
    Fixture f(300, 200, areaOf(516, 372));
    const std::pair<RenderQuality, const char*> golden[] = {
        {RenderQuality::Fast, "842a0a5b8380769d"},
        {RenderQuality::Fine, "3e187779c2983b49"},
        {RenderQuality::All, "3e187779c2983b49"}};
    Bytes shown[3];
    for (int i = 0; i < 3; ++i) {
        const auto [q, checksumOfQ] = golden[i];
        ASSERT_TRUE(f.driver.Render(q));
        EXPECT_EQ(f.driver.displayImage().width(), 516);
        EXPECT_EQ(f.driver.displayImage().height(), 344);
        shown[i] = bytesOf(f.driver.displayImage());
        EXPECT_EQ(checksum(shown[i]), checksumOfQ) << static_cast<int>(q);
    }
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_EQ(shown[1], shown[2]);
}

// Gamma and the colour operations reach every quality exactly once: Fast and Fine run the method
// colour-neutral and add them in the refresh, All and Final inside the method. Pinned results of
// each quality, and the relations between them that hold whatever the method makes.
TEST(RenderDriver, GammaAndColoursAppliedOnceInEveryQuality) {
    struct Case {
        int method;
        const char *fast, *fine, *all, *neutral, *final;
    } cases[] = {
        {0, "093ccfecebce3408", "78fcd8b6036c24c9", "875c5fe5b615f069", "9bd98541e729be17",
         "e0866170c5702b9b"},
        {1, "3de6ac0b493e0aa5", "50969f1dc4686d71", "6fc8e348d667f66e", "cc59e33d7d3744a8",
         "be7b407214d1909c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("method " + std::to_string(c.method));
        Fixture f(360, 270, areaOf(150, 100));  // Fine works at 266 x 200, below the image size
        f.method.method = c.method;
        SelectMethod(f.method);
        f.method.setGamma(1.6);
        ASSERT_EQ(f.method.gammaPosition, 160);
        f.colour.curvesOn = true;
        f.colour.toneCurve.setPoints({{0, 0.1}, {0.5, 0.6}, {1, 0.9}});
        f.colour.filterMode = 8;  // black and white with sepia

        for (auto [q, golden] :
             {std::pair{RenderQuality::Fast, c.fast}, std::pair{RenderQuality::Fine, c.fine},
              std::pair{RenderQuality::All, c.all}}) {
            ASSERT_TRUE(f.driver.Render(q));
            EXPECT_EQ(checksum(bytesOf(f.driver.displayImage())), golden)
                << "quality " << static_cast<int>(q);
        }
        const Bytes all = bytesOf(f.driver.displayImage());

        // After Fast the render image is the colour-neutral preview the refresh starts from:
        // what a Fast render with every colour setting at rest makes and shows.
        ASSERT_TRUE(f.driver.Render(RenderQuality::Fast));
        const Bytes neutral = bytesOf(f.driver.renderImage());
        EXPECT_NE(neutral, bytesOf(f.driver.displayImage()));
        EXPECT_EQ(checksum(neutral), c.neutral);
        Fixture atRest(f.W, f.H, f.host.rect);
        atRest.method = f.method;
        atRest.method.setGamma(1.0);
        ASSERT_TRUE(atRest.driver.Render(RenderQuality::Fast));
        EXPECT_EQ(bytesOf(atRest.driver.renderImage()), neutral);
        EXPECT_EQ(bytesOf(atRest.driver.displayImage()), neutral);

        const Bytes shown = bytesOf(f.driver.displayImage());
        ASSERT_TRUE(f.driver.Render(RenderQuality::Final));
        EXPECT_EQ(checksum(bytesOf(f.driver.renderImage())), c.final);
        EXPECT_EQ(f.driver.renderImage().width(), 360);
        EXPECT_EQ(shrunkToPreview(f, f.driver.renderImage()), all);  // All is Final, shrunk
        EXPECT_EQ(bytesOf(f.driver.displayImage()), shown);  // Final leaves the preview alone
        EXPECT_TRUE(f.driver.previewStale());
    }
}

TEST(RenderDriver, StaleFlagFollowsTheQualities) {
    Fixture f(120, 90, areaOf(60, 40));
    const std::pair<RenderQuality, bool> steps[] = {
        {RenderQuality::Fast, false}, {RenderQuality::All, true},   {RenderQuality::Fine, false},
        {RenderQuality::Final, true}, {RenderQuality::Fast, false},
    };
    EXPECT_FALSE(f.driver.previewStale());
    for (auto [quality, stale] : steps) {
        ASSERT_TRUE(f.driver.Render(quality));
        EXPECT_EQ(f.driver.previewStale(), stale) << static_cast<int>(quality);
    }
}

TEST(RenderDriver, RefreshAfterAllRendersFastFirst) {
    Fixture f(200, 150, areaOf(100, 80));
    ASSERT_TRUE(f.driver.Render(RenderQuality::All));
    f.method.setGamma(1.6);
    const int renders = f.host.renders;
    ASSERT_TRUE(f.driver.ColorRefresh());
    EXPECT_EQ(f.host.renders, renders + 1);
    EXPECT_FALSE(f.driver.previewStale());
    EXPECT_EQ(bytesOf(f.driver.displayImage()), freshFastPreview(f));
    // Now the preview is neutral: further refreshes run no method.
    f.method.setGamma(0.8);
    ASSERT_TRUE(f.driver.ColorRefresh());
    EXPECT_EQ(f.host.renders, renders + 1);
    EXPECT_EQ(bytesOf(f.driver.displayImage()), freshFastPreview(f));
}

TEST(RenderDriver, RendersInARowNeverAccumulate) {
    Fixture f(160, 120, areaOf(100, 70));
    const Bytes input = f.input;
    ASSERT_TRUE(f.driver.Render(RenderQuality::Fast));
    const Bytes first = bytesOf(f.driver.displayImage());
    for (RenderQuality q : {RenderQuality::Fast, RenderQuality::All, RenderQuality::Final,
                            RenderQuality::Fine, RenderQuality::Fast})
        ASSERT_TRUE(f.driver.Render(q));
    EXPECT_EQ(bytesOf(f.driver.displayImage()), first);
    EXPECT_EQ(f.input, input);
}

TEST(RenderDriver, MethodsOtherThanZeroAndOneRenderNothing) {
    for (int method : {-1, 2, 7}) {
        Fixture f(100, 80, areaOf(60, 40));
        ASSERT_TRUE(f.driver.Render(RenderQuality::All));
        const Bytes shown = bytesOf(f.driver.displayImage());
        const Bytes held = bytesOf(f.driver.renderImage());
        f.method.method = method;
        for (RenderQuality q :
             {RenderQuality::Fast, RenderQuality::Fine, RenderQuality::All, RenderQuality::Final}) {
            EXPECT_TRUE(f.driver.Render(q));
            EXPECT_EQ(f.host.lastProgress, 0);
        }
        EXPECT_EQ(bytesOf(f.driver.displayImage()), shown);
        EXPECT_EQ(bytesOf(f.driver.renderImage()), held);
        // The preview the render image still holds is no result: the host keeps its pixels.
        EXPECT_FALSE(f.driver.finalResult().hasPixels());

        // A refresh of the stale preview cannot render either, so the preview stays stale and
        // untouched instead of getting gamma a second time on top of the All result.
        f.method.setGamma(1.6);
        f.driver.ColorRefresh();
        EXPECT_TRUE(f.driver.previewStale());
        EXPECT_EQ(bytesOf(f.driver.displayImage()), shown);
        f.method.method = 0;
        ASSERT_TRUE(f.driver.ColorRefresh());
        EXPECT_EQ(bytesOf(f.driver.displayImage()), freshFastPreview(f));
    }
}

TEST(RenderDriver, HostServicesAroundARender) {
    Fixture f(120, 90, areaOf(60, 40));
    f.host.chooser = true;
    ASSERT_TRUE(f.driver.Render(RenderQuality::Fast));
    EXPECT_EQ(f.host.chooserCloses, 1);
    EXPECT_EQ(f.host.controlReads, 1);
    EXPECT_EQ(f.host.waits, 0);  // Fast runs without the wait cursor
    EXPECT_GT(f.host.maxProgress, 0);
    EXPECT_EQ(f.host.lastProgress, 0);
    for (RenderQuality q : {RenderQuality::Fine, RenderQuality::All, RenderQuality::Final})
        ASSERT_TRUE(f.driver.Render(q));
    EXPECT_EQ(f.host.waits, 3);
    EXPECT_EQ(f.host.chooserCloses, 1);
}

TEST(RenderDriver, FailedRenderLeavesNothingToHandOver) {
    Fixture f(120, 90, areaOf(60, 40));
    ASSERT_TRUE(f.driver.Render(RenderQuality::Fast));
    const Bytes shown = bytesOf(f.driver.displayImage());
    // An input that cannot be copied: the allocation is refused before anything is read.
    f.driver.setHostInput(f.input.data(), INT_MAX, INT_MAX);
    EXPECT_FALSE(f.driver.Render(RenderQuality::Final));
    EXPECT_FALSE(f.driver.renderImage().hasPixels());
    EXPECT_TRUE(f.driver.previewStale());
    EXPECT_EQ(f.host.lastProgress, 0);
    EXPECT_EQ(bytesOf(f.driver.displayImage()), shown);
    EXPECT_FALSE(f.driver.ColorRefresh());  // tries a new render, which fails the same way
}

}  // namespace
}  // namespace qorva
