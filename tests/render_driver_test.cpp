#include "render/render_driver.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "colour/color_refresh.h"
#include "support/recording_preview_host.h"

namespace qorva {
namespace {

using test::areaOf;
using test::Bytes;
using test::bytesOf;
using RecordingHost = test::RecordingPreviewHost;

// The method run as the pipelines' own callers make it, without the driver.
void runDirect(WorkingImage& img, const MethodSettings& m, const ColorSettings& c, bool neutral) {
    RunContext context;
    context.curves = c.curveTables();
    context.clarityOn = c.clarityOn;
    context.dehazeOn = c.dehazeOn;
    bool ok;
    if (m.method == 0) {
        ContrastParams p = contrastParamsFor(m, c, neutral);
        p.image = img.pixels();
        p.width = img.width();
        p.height = img.height();
        ok = runContrastPipeline(context, p);
    } else {
        ToneMappedParams p = toneMappedParamsFor(m, c, neutral);
        p.image = img.pixels();
        p.width = img.width();
        p.height = img.height();
        ok = runToneMappedPipeline(context, p);
    }
    ASSERT_TRUE(ok);
}

Bytes refreshOf(const WorkingImage& neutral, const MethodSettings& m, const ColorSettings& c) {
    Bytes out(neutral.byteSize());
    const CurveTables tables = c.curveTables();
    ColorPassParams pass;
    pass.curvesOn = c.curvesOn;
    pass.balanceOn = c.balanceOn;
    pass.hueShiftOn = c.hueShiftOn;
    pass.filterMode = c.filterMode;
    pass.curves = &tables;
    ColorRefresh(neutral.pixels(), out.data(), neutral.width(), neutral.height(), m.gammaPosition,
                 pass);
    return out;
}

struct Fixture : test::DriverRig {
    using DriverRig::DriverRig;

    // What each quality should show, built step by step from the host input.
    Bytes expectedPreview(RenderQuality q) {
        WorkingImage img;
        EXPECT_EQ(img.CopyFromHost(input.data(), W, H), kImageOk);
        const ImageSize shown = driver.fit(1);
        if (q == RenderQuality::All) {
            runDirect(img, method, colour, false);
            img.Resize(shown.width, shown.height, kResizeBlockOrBilinear);
            return bytesOf(img);
        }
        if (q == RenderQuality::Fine) {
            ImageSize work = driver.fit(2);
            if (work.width > W || work.height > H) work = {W, H};
            img.Resize(work.width, work.height, kResizeBlockOrBilinear);
        } else {
            img.Resize(shown.width, shown.height, kResizeBlockOrBilinear);
        }
        runDirect(img, method, colour, true);
        img.Resize(shown.width, shown.height, kResizeBlockOrBilinear);
        return refreshOf(img, method, colour);
    }

    Bytes expectedFinal() {
        WorkingImage img;
        EXPECT_EQ(img.CopyFromHost(input.data(), W, H), kImageOk);
        runDirect(img, method, colour, false);
        return bytesOf(img);
    }
};

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

TEST(RenderDriver, SmallImageIsEnlargedForFastAndAllAndWorkedAtOwnSizeForFine) {
    Fixture f(300, 200, areaOf(516, 372));
    for (RenderQuality q : {RenderQuality::Fast, RenderQuality::Fine, RenderQuality::All}) {
        ASSERT_TRUE(f.driver.Render(q));
        EXPECT_EQ(f.driver.displayImage().width(), 516);
        EXPECT_EQ(f.driver.displayImage().height(), 344);
        EXPECT_EQ(bytesOf(f.driver.displayImage()), f.expectedPreview(q)) << static_cast<int>(q);
    }
}

// Gamma and the colour operations reach every quality exactly once: Fast and Fine run the method
// colour-neutral and add them in the refresh, All and Final inside the method.
TEST(RenderDriver, GammaAndColoursAppliedOnceInEveryQuality) {
    for (int method : {0, 1}) {
        Fixture f(360, 270, areaOf(150, 100));  // Fine works at 266 x 200, below the image size
        f.method.method = method;
        SelectMethod(f.method);
        f.method.setGamma(1.6);
        ASSERT_EQ(f.method.gammaPosition, 160);
        f.colour.curvesOn = true;
        f.colour.toneCurve.setPoints({{0, 0.1}, {0.5, 0.6}, {1, 0.9}});
        f.colour.filterMode = 8;  // black and white with sepia

        for (RenderQuality q : {RenderQuality::Fast, RenderQuality::Fine, RenderQuality::All}) {
            ASSERT_TRUE(f.driver.Render(q));
            EXPECT_EQ(bytesOf(f.driver.displayImage()), f.expectedPreview(q))
                << "method " << method << " quality " << static_cast<int>(q);
        }
        // After Fast the render image is the colour-neutral preview the refresh starts from.
        ASSERT_TRUE(f.driver.Render(RenderQuality::Fast));
        EXPECT_NE(bytesOf(f.driver.renderImage()), bytesOf(f.driver.displayImage()));
        WorkingImage neutral;
        ASSERT_EQ(neutral.CopyFromHost(f.input.data(), f.W, f.H), kImageOk);
        neutral.Resize(f.driver.fit(1).width, f.driver.fit(1).height, kResizeBlockOrBilinear);
        runDirect(neutral, f.method, f.colour, true);
        EXPECT_EQ(bytesOf(f.driver.renderImage()), bytesOf(neutral));

        const Bytes shown = bytesOf(f.driver.displayImage());
        ASSERT_TRUE(f.driver.Render(RenderQuality::Final));
        EXPECT_EQ(bytesOf(f.driver.renderImage()), f.expectedFinal()) << method;
        EXPECT_EQ(f.driver.renderImage().width(), 360);
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
    EXPECT_EQ(bytesOf(f.driver.displayImage()), f.expectedPreview(RenderQuality::Fast));
    // Now the preview is neutral: further refreshes run no method.
    f.method.setGamma(0.8);
    ASSERT_TRUE(f.driver.ColorRefresh());
    EXPECT_EQ(f.host.renders, renders + 1);
    EXPECT_EQ(bytesOf(f.driver.displayImage()), f.expectedPreview(RenderQuality::Fast));
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
        EXPECT_EQ(bytesOf(f.driver.displayImage()), f.expectedPreview(RenderQuality::Fast));
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
