// Images of every shape a host can hand over: a single pixel, a single row or column, tiny
// squares, sizes that the tile count does not divide or that have fewer pixels than tiles,
// with both methods and every colour operation and whole-image pass switched on. Each must
// render without a fault, to the same bytes every time and for any thread count, at the size
// it came in.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/parallel.h"
#include "pipelines/contrast_pipeline.h"
#include "pipelines/tone_mapped_pipeline.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "settings/method_settings.h"
#include "support/test_images.h"
#include "support/thread_count_guard.h"

namespace qorva {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::ThreadCountGuard;

struct Shape {
    int width;
    int height;
    int divisions;  // Dramatic Light Radius: tiles per side
};

// 1 x N and N x 1 long enough to be split between threads; 3 x 3 with more tiles than pixels;
// 17 x 11 and 257 x 3 not divisible by their tile counts.
constexpr Shape kShapes[] = {{1, 1, 6},   {1, 200, 5}, {200, 1, 5},  {2, 2, 6},    {3, 3, 15},
                             {17, 11, 4}, {257, 3, 7}, {67, 131, 6}, {5, 130, 15}, {130, 5, 1}};

// Every colour operation on, with curves that are not the identity, and both whole-image
// passes; the filter varies with the case.
ColorSettings everythingOn(int filterMode) {
    ColorSettings colour;
    colour.curvesOn = colour.balanceOn = colour.hueShiftOn = true;
    colour.toneCurve.setPoints({{0, 0.1}, {0.4, 0.7}, {1, 0.9}});
    colour.balanceCurve.setPoints({{0, 0.3}, {0.5, 0.8}, {1, 0.3}});
    colour.hueCurve.setPoints({{0, 0.6}, {0.3, 0.2}, {1, 0.6}});
    colour.clarityOn = colour.dehazeOn = true;
    colour.filterMode = filterMode;
    return colour;
}

MethodSettings methodWith(int id, int divisions) {
    MethodSettings method;
    method.method = id;
    SelectMethod(method);
    method.valueC = divisions;
    method.setGamma(1.7);
    return method;
}

Bytes renderOnce(const Shape& s, const MethodSettings& method, const ColorSettings& colour) {
    Bytes image = test::makePhotoLikeImage(s.width, s.height, 3);
    RunContext context;
    context.curves = colour.curveTables();
    context.clarityOn = colour.clarityOn;
    context.dehazeOn = colour.dehazeOn;
    bool ok;
    if (method.method == kMethodEyeCatching) {
        ContrastParams p = contrastParamsFor(method, colour, false);
        p.image = image.data();
        p.width = s.width;
        p.height = s.height;
        ok = runContrastPipeline(context, p);
    } else {
        ToneMappedParams p = toneMappedParamsFor(method, colour, false);
        p.image = image.data();
        p.width = s.width;
        p.height = s.height;
        ok = runToneMappedPipeline(context, p);
    }
    EXPECT_TRUE(ok);
    return image;
}

TEST(OddImages, EveryShapeRendersTheSameBytesForAnyThreadCount) {
    ThreadCountGuard guard;
    int filter = 0;
    for (const Shape& s : kShapes) {
        for (int id : {kMethodEyeCatching, kMethodUltraContrast}) {
            const MethodSettings method = methodWith(id, s.divisions);
            const ColorSettings colour = everythingOn(filter++ % 12);
            setThreadCount(1);
            const Bytes serial = renderOnce(s, method, colour);
            setThreadCount(2);
            const Bytes parallel = renderOnce(s, method, colour);
            const Bytes again = renderOnce(s, method, colour);
            ASSERT_EQ(serial.size(), static_cast<std::size_t>(s.width) * s.height * 3);
            EXPECT_EQ(test::checksum(parallel), test::checksum(serial))
                << s.width << "x" << s.height << " method " << id;
            EXPECT_EQ(test::checksum(again), test::checksum(parallel))
                << s.width << "x" << s.height << " method " << id;
        }
    }
}

// The ends of every slider, where divisions, clip limits and blends are at their extremes.
TEST(OddImages, SliderExtremesOnTinyImages) {
    for (const Shape& s : {Shape{1, 1, 1}, Shape{2, 3, 15}, Shape{3, 2, 1}, Shape{9, 4, 15}}) {
        for (int id : {kMethodEyeCatching, kMethodUltraContrast}) {
            for (bool low : {true, false}) {
                MethodSettings method = methodWith(id, s.divisions);
                for (const SliderRow& row : methodTable(id)->rows)
                    method.value(row.row) =
                        static_cast<double>(low ? row.minPosition : row.maxPosition) / row.divisor;
                method.setGamma(low ? 0.4 : 2.6);
                const ColorSettings colour = everythingOn(low ? 4 : 11);  // both Orton glows
                EXPECT_EQ(renderOnce(s, method, colour), renderOnce(s, method, colour))
                    << s.width << "x" << s.height << " method " << id << (low ? " low" : " high");
            }
        }
    }
}

// Through the render driver: every quality, a normal preview area and degenerate ones (no
// room at all, an inverted rectangle).
TEST(OddImages, RenderDriverHandlesEveryShapeInEveryQuality) {
    const ClientRect areas[] = {{0, 0, 520, 392}, {0, 0, 3, 3}, {10, 50, 0, 0}};
    for (const Shape& s : kShapes) {
        const Bytes input = test::makePhotoLikeImage(s.width, s.height, 9);
        for (const ClientRect& area : areas) {
            for (int id : {kMethodEyeCatching, kMethodUltraContrast}) {
                FixedPreviewHost host(area);
                MethodSettings method = methodWith(id, s.divisions);
                ColorSettings colour = everythingOn(4);
                RenderDriver driver(host, method, colour);
                driver.setHostInput(input.data(), s.width, s.height);
                const std::string where = std::to_string(s.width) + "x" + std::to_string(s.height) +
                                          " area " + std::to_string(area.right) + " method " +
                                          std::to_string(id);
                for (RenderQuality q :
                     {RenderQuality::Fast, RenderQuality::Fine, RenderQuality::All}) {
                    ASSERT_TRUE(driver.Render(q)) << where;
                    const ImageSize shown = driver.fit(1);
                    EXPECT_GE(shown.width, 1) << where;
                    EXPECT_GE(shown.height, 1) << where;
                    EXPECT_EQ(driver.displayImage().width(), shown.width) << where;
                    EXPECT_EQ(driver.displayImage().height(), shown.height) << where;
                }
                ASSERT_TRUE(driver.Render(RenderQuality::Final)) << where;
                EXPECT_EQ(driver.renderImage().width(), s.width) << where;
                EXPECT_EQ(driver.renderImage().height(), s.height) << where;
                EXPECT_TRUE(driver.ColorRefresh()) << where;
            }
        }
    }
}

// Nothing to render: no pixels at all, or no input. Defined results, nothing touched.
TEST(OddImages, EmptyImagesAreNoWork) {
    for (const Shape& s : {Shape{0, 5, 6}, Shape{5, 0, 6}, Shape{-3, 4, 6}, Shape{0, 0, 6}}) {
        Bytes image(16, 7);
        ContrastParams cp;
        cp.image = image.data();
        cp.width = s.width;
        cp.height = s.height;
        EXPECT_TRUE(runContrastPipeline(RunContext{}, cp)) << s.width << "x" << s.height;
        ToneMappedParams tp;
        tp.image = image.data();
        tp.width = s.width;
        tp.height = s.height;
        EXPECT_TRUE(runToneMappedPipeline(RunContext{}, tp)) << s.width << "x" << s.height;
        EXPECT_EQ(image, Bytes(16, 7));

        FixedPreviewHost host(520, 392);
        MethodSettings method;
        ColorSettings colour;
        RenderDriver driver(host, method, colour);
        driver.setHostInput(image.data(), s.width, s.height);
        EXPECT_FALSE(driver.Render(RenderQuality::Final));
        EXPECT_FALSE(driver.renderImage().hasPixels());
    }
    FixedPreviewHost host(520, 392);
    MethodSettings method;
    ColorSettings colour;
    RenderDriver driver(host, method, colour);
    EXPECT_FALSE(driver.Render(RenderQuality::Fast));  // no input was ever set
    EXPECT_FALSE(driver.ColorRefresh());
}

}  // namespace
}  // namespace qorva
