#include "pipelines/contrast_pipeline.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <vector>

#include "common/parallel.h"
#include "support/test_images.h"
#include "support/thread_count_guard.h"

namespace qorva {
namespace {

using test::ThreadCountGuard;

// The dialog's start-up values: Brightness 10, Color Saturation 1, Vivid Colors 0.1, Dramatic
// Light Radius 6, Strength 0.6, Surface Smoothness 0.3, gamma 1.
ContrastParams defaultParams(std::vector<std::uint8_t>& image, int w, int h) {
    ContrastParams p;
    p.image = image.data();
    p.width = w;
    p.height = h;
    p.brightnessBlend = (10.0f - 6) / 24;
    p.saturationFactor = (1.0f + 1) / 2;
    p.colour.vivid = 0.1f;
    p.local.divisions = 6;
    p.local.strength = 0.6f;
    p.local.smoothness = 0.3f;
    return p;
}

using Adjust = std::function<void(ContrastParams&, RunContext&)>;

std::string render(int w, int h, const Adjust& adjust) {
    std::vector<std::uint8_t> image = test::makePhotoLikeImage(w, h);
    ContrastParams p = defaultParams(image, w, h);
    RunContext context;
    adjust(p, context);
    EXPECT_TRUE(runContrastPipeline(context, p));
    return test::checksum(image);
}

TEST(ContrastPipeline, GoldenResultsAreTheSameForEveryThreadCount) {
    ThreadCountGuard guard;
    struct Case {
        const char* name;
        Adjust adjust;
        const char* golden;
    } cases[] = {
        {"defaults", [](ContrastParams&, RunContext&) {}, "539ec31d4c3bd7d2"},
        {"clarity and de-haze",
         [](ContrastParams&, RunContext& c) { c.clarityOn = c.dehazeOn = true; },
         "f6aa4c80da096655"},
        {"Orton Effect", [](ContrastParams& p, RunContext&) { p.colour.filterMode = 4; },
         "1ceb64a53a490542"},
        {"gamma 1.6 with a tone curve",
         [](ContrastParams& p, RunContext& c) {
             p.colour.gamma = 1.6f;
             p.colour.curvesOn = true;
             for (int k = 0; k < 256; ++k)
                 c.curves.tone[k] = static_cast<std::uint8_t>(
                     k < 128 ? k * k / 128 : 255 - (255 - k) * (255 - k) / 128);
         },
         "17a6a482f108a431"},
        {"all the way, sepia",
         [](ContrastParams& p, RunContext& c) {
             p.local.divisions = 15, p.local.strength = 1, p.local.smoothness = 0,
             p.colour.vivid = 1;
             p.brightnessBlend = 1, p.saturationFactor = 0.5f, p.colour.filterMode = 8;
             p.colour.balanceOn = p.colour.hueShiftOn = true;
             c.clarityOn = true;
         },
         "ffca2d834baf152c"},
    };
    for (const auto& c : cases) {
        setThreadCount(1);
        const std::string serial = render(301, 203, c.adjust);
        const std::string tall = render(97, 700, c.adjust);  // enough rows for seven bands
        EXPECT_EQ(serial, c.golden) << c.name;
        for (int threads : {2, 7}) {
            setThreadCount(threads);
            EXPECT_EQ(render(301, 203, c.adjust), serial) << c.name << ", threads " << threads;
            EXPECT_EQ(render(97, 700, c.adjust), tall) << c.name << ", threads " << threads;
        }
    }
}

TEST(ContrastPipeline, StrengthZeroScalesEveryByteBy499Over501) {
    const int w = 256, h = 3;
    std::vector<std::uint8_t> image(static_cast<size_t>(w) * h * 3);
    for (size_t i = 3; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 / 3);
    image.back() = 255;
    const std::vector<std::uint8_t> input = image;
    ContrastParams p = defaultParams(image, w, h);
    p.brightnessBlend = 0, p.colour.vivid = 0, p.local.strength = 0;
    std::vector<int> progress;
    RunContext context;
    context.progress = [&](int percent) { progress.push_back(percent); };
    ASSERT_TRUE(runContrastPipeline(context, p));
    EXPECT_EQ(progress, (std::vector<int>{0, 20, 50, 60, 90, 100}));
    for (size_t i = 3; i < image.size(); ++i) ASSERT_EQ(image[i], input[i] * 499 / 501) << i;
    EXPECT_EQ(image.back(), 253);
}

TEST(ContrastPipeline, ImagesWithoutLuminanceRangeComeOutBlack) {
    struct Case {
        int w, h;
        std::uint8_t r, g, b;
    } cases[] = {{7, 5, 120, 60, 30}, {1, 1, 200, 100, 50}, {16, 16, 255, 255, 255}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> image = test::makeUniformImage(c.w, c.h, c.r, c.g, c.b);
        ContrastParams p = defaultParams(image, c.w, c.h);
        p.colour.filterMode = 8;  // sepia would tint black if the chain ran
        ASSERT_TRUE(runContrastPipeline(RunContext{}, p));
        EXPECT_EQ(image, std::vector<std::uint8_t>(image.size(), 0)) << c.w << "x" << c.h;
    }
}

#ifndef __SANITIZE_ADDRESS__
TEST(ContrastPipeline, ReportsFailureWhenThePlanesCannotBeAllocated) {
    std::vector<std::uint8_t> image(3, 9);
    ContrastParams p = defaultParams(image, INT_MAX, INT_MAX);
    EXPECT_FALSE(runContrastPipeline(RunContext{}, p));
}
#endif

}  // namespace
}  // namespace qorva
