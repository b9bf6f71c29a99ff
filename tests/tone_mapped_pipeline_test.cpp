#include "pipelines/tone_mapped_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "common/parallel.h"
#include "support/test_images.h"
#include "support/thread_count_guard.h"
#include "tonemap/tone_mapper.h"

namespace qorva {
namespace {

using test::ThreadCountGuard;

ToneMappedParams paramsFor(std::vector<std::uint8_t>& image, int width, int height, float q) {
    ToneMappedParams p;
    p.image = image.data();
    p.width = width;
    p.height = height;
    p.naturalSaturated = q;
    p.local.divisions = 4;
    p.local.strength = 0.7f;
    p.local.smoothness = 0.3f;
    p.colour.vivid = 0.3f;
    return p;
}

// Runs the pipeline, keeping the engine's standard-error lines out of the test log.
bool run(const RunContext& context, const ToneMappedParams& params, std::string* err = nullptr) {
    testing::internal::CaptureStderr();
    const bool ok = runToneMappedPipeline(context, params);
    const std::string text = testing::internal::GetCapturedStderr();
    if (err) *err = text;
    return ok;
}

TEST(ToneMappedPipeline, ReportsItsStepsAndUsesTheEngineOnlyBelowFullNaturalSaturated) {
    for (float q : {1.0f, 0.5f, 0.0f}) {
        std::vector<std::uint8_t> image = test::makePhotoLikeImage(64, 48);
        std::vector<int> reports;
        RunContext context;
        context.progress = [&](int percent) { reports.push_back(percent); };
        const long created = tmStatesCreated(), alive = tmStatesAlive();
        ASSERT_TRUE(run(context, paramsFor(image, 64, 48, q)));
        EXPECT_EQ(reports, (std::vector<int>{0, 10, 15, 20, 30, 40, 45, 50, 60, 90, 100})) << q;
        EXPECT_EQ(tmStatesCreated() - created, q < 1 ? 1 : 0) << q;
        EXPECT_EQ(tmStatesAlive(), alive) << q;
    }
}

TEST(ToneMappedPipeline, NoImageIsNoWork) {
    RunContext context;
    ToneMappedParams p;
    EXPECT_TRUE(runToneMappedPipeline(context, p));
    std::vector<std::uint8_t> image = test::makeUniformImage(4, 4, 9, 9, 9);
    p = paramsFor(image, 0, 4, 0.5f);
    EXPECT_TRUE(runToneMappedPipeline(context, p));
    EXPECT_EQ(image, test::makeUniformImage(4, 4, 9, 9, 9));
}

TEST(ToneMappedPipeline, ImagesWithoutLuminanceDifferencesComeOutBlack) {
    struct Case {
        const char* name;
        std::uint8_t r, g, b;
        int width, height;
        float q;
    };
    const Case cases[] = {
        {"black", 0, 0, 0, 40, 30, 1.0f},
        {"black through the engine", 0, 0, 0, 40, 30, 0.0f},
        {"one colour", 120, 80, 40, 40, 30, 1.0f},
        {"one colour mixed", 120, 80, 40, 40, 30, 0.5f},
        {"one pixel", 200, 100, 50, 1, 1, 0.5f},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> image = test::makeUniformImage(c.width, c.height, c.r, c.g, c.b);
        ASSERT_TRUE(run(RunContext{}, paramsFor(image, c.width, c.height, c.q))) << c.name;
        EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t v) { return v == 0; }))
            << c.name;
    }
}

TEST(ToneMappedPipeline, TinyImagesSkipTheEngineMix) {
    // 24 x 20 = 480 pixels: too few for a tone mapping, so the run must look exactly as if the
    // slider were at "Natural" and never read the engine's unwritten result.
    std::vector<std::uint8_t> withEngine = test::makePhotoLikeImage(24, 20, 5);
    std::vector<std::uint8_t> without = withEngine;
    std::string err;
    ASSERT_TRUE(run(RunContext{}, paramsFor(withEngine, 24, 20, 0.0f), &err));
    EXPECT_EQ(err, "tmComputeMapping: cannot compute tone mapping!\n");
    ASSERT_TRUE(run(RunContext{}, paramsFor(without, 24, 20, 1.0f)));
    EXPECT_EQ(withEngine, without);
}

TEST(ToneMappedPipeline, VerySmallImagesKeepTheirLuminanceOrder) {
    // 8 x 4 pixels: the global ceiling rounds to 0 and is held at one count per bin. The pixels
    // must still come out as a rising ramp, not as black from a division of nothing by nothing.
    const int w = 8, h = 4;
    std::vector<std::uint8_t> image(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(30 + 25 * ((i / 3) % w));
    }
    ToneMappedParams p = paramsFor(image, w, h, 1.0f);
    p.local.divisions = 1;
    p.local.strength = 0;
    p.colour.vivid = 0;
    ASSERT_TRUE(run(RunContext{}, p));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = &image[static_cast<size_t>(y) * w * 3];
        EXPECT_EQ(row[0], 0) << y;  // the darkest column has no luminance ratio
        for (int x = 1; x < w; ++x) EXPECT_GT(row[3 * x], row[3 * (x - 1)]) << x << "," << y;
        EXPECT_GT(row[3 * (w - 1)], 200) << y;
    }
}

TEST(ToneMappedPipeline, VividStepRunsOnPixelsWithAnEmptyChannel) {
    // Left half a grey ramp, right half a dark cyan whose red is exactly 0 once the colours
    // come from the engine (Q = 0). Method 1 runs the vivid step there anyway, so green and
    // blue grow by (510 - 150) / 210 while red, pushed negative, ends at 0.
    const int w = 40, h = 40;
    std::vector<std::uint8_t> base(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = &base[(static_cast<size_t>(y) * w + x) * 3];
            if (x < w / 2) {
                px[0] = px[1] = px[2] = static_cast<std::uint8_t>(20 + 10 * x);
            } else {
                px[0] = 0, px[1] = 60, px[2] = 60;
            }
        }
    }
    std::vector<std::uint8_t> plain = base, vivid = base;
    ToneMappedParams p = paramsFor(plain, w, h, 0.0f);
    p.colour.vivid = 0;
    p.local.strength = 0;
    p.local.divisions = 1;
    ASSERT_TRUE(run(RunContext{}, p));
    p.image = vivid.data();
    p.colour.vivid = 1;
    ASSERT_TRUE(run(RunContext{}, p));
    const size_t at = (static_cast<size_t>(h / 2) * w + 3 * w / 4) * 3;
    EXPECT_EQ(plain[at], 0);
    EXPECT_EQ(vivid[at], 0);
    ASSERT_GT(plain[at + 1], 20);
    ASSERT_LT(plain[at + 1], 140);
    EXPECT_NEAR(vivid[at + 1], plain[at + 1] * 360.0 / 210, 2.0);
    EXPECT_NEAR(vivid[at + 2], plain[at + 2] * 360.0 / 210, 2.0);
}

// A window filling most of a small picture beside a dark room. At 68 x 45 pixels the global
// ceiling loop trims on until the ceiling rounds to nothing; held at one count, the equalised
// result stays as close to the one at 69 x 46 as neighbouring sizes are to each other,
// instead of switching to the plain luminance order (25 levels apart on average).
TEST(ToneMappedPipeline, SmallImagesKeepTheGlobalEqualisationOfTheSizeAbove) {
    auto render = [](int w, int h) {
        std::vector<std::uint8_t> image(static_cast<size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double u = (x + 0.5) / w;
                const double level = u < 0.3 ? 20 + 100 * u / 0.3 : 200 + 15 * (u - 0.3) / 0.7;
                std::uint8_t* px = &image[(static_cast<size_t>(y) * w + x) * 3];
                px[0] = static_cast<std::uint8_t>(level);
                px[1] = static_cast<std::uint8_t>(level * 0.9);
                px[2] = static_cast<std::uint8_t>(level * 0.8);
            }
        }
        ToneMappedParams p = paramsFor(image, w, h, 1.0f);
        p.local.strength = 0;
        p.colour.vivid = 0;
        p.local.divisions = 1;
        EXPECT_TRUE(run(RunContext{}, p));
        return image;
    };
    const int w = 68, h = 45, upW = 69, upH = 46;
    const std::vector<std::uint8_t> small = render(w, h);
    const std::vector<std::uint8_t> up = render(upW, upH);
    double difference = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t at = (static_cast<size_t>(y) * w + x) * 3;
            const size_t near = (static_cast<size_t>(y * upH / h) * upW + x * upW / w) * 3;
            for (int c = 0; c < 3; ++c) difference += std::abs(small[at + c] - up[near + c]);
        }
    }
    EXPECT_LT(difference / small.size(), 4.0);
}

struct GoldenCase {
    const char* name;
    float q, gamma, vivid;
    int divisions;
    float strength, smoothness;
    bool curves, balance, hue, clarity, dehaze;
    int filter;
    const char* checksum;
};

RunContext contextFor(const GoldenCase& c) {
    RunContext context;
    context.clarityOn = c.clarity;
    context.dehazeOn = c.dehaze;
    // Non-neutral tables so that the colour pass visibly acts when its switches are on.
    for (int k = 0; k < 256; ++k) {
        context.curves.tone[static_cast<size_t>(k)] = static_cast<std::uint8_t>(k * k / 255);
        context.curves.balance[static_cast<size_t>(k)] = static_cast<std::uint8_t>(100 + k / 4);
        context.curves.hue[static_cast<size_t>(k)] = static_cast<std::uint8_t>(140 - k / 8);
    }
    return context;
}

std::vector<std::uint8_t> runGolden(const GoldenCase& c, int w, int h) {
    std::vector<std::uint8_t> image = test::makePhotoLikeImage(w, h);
    ToneMappedParams p = paramsFor(image, w, h, c.q);
    p.colour.gamma = c.gamma;
    p.colour.vivid = c.vivid;
    p.local.divisions = c.divisions;
    p.local.strength = c.strength;
    p.local.smoothness = c.smoothness;
    p.colour.curvesOn = c.curves;
    p.colour.balanceOn = c.balance;
    p.colour.hueShiftOn = c.hue;
    p.colour.filterMode = c.filter;
    EXPECT_TRUE(run(contextFor(c), p)) << c.name;
    return image;
}

// Pinned results of the whole method on the generated scene: any change to the arithmetic of
// the engine, the equalisations or the chain shows here.
const GoldenCase kGolden[] = {
    {"engine only", 0.0f, 1.0f, 0.3f, 4, 0.7f, 0.3f, false, false, false, false, false, 0,
     "5f061bff8567fc33"},
    {"mixed", 0.5f, 1.2f, 0.5f, 6, 1.0f, 0.0f, false, false, false, false, false, 0,
     "6581c58fd9f60f8c"},
    {"natural", 1.0f, 1.0f, 0.0f, 1, 0.5f, 1.0f, false, false, false, false, false, 0,
     "81d82593f43fd1b2"},
    {"colour and passes", 0.5f, 0.8f, 0.8f, 9, 0.6f, 0.5f, true, true, true, true, true, 9,
     "157e30821fefa1d8"},
};

TEST(ToneMappedPipeline, GoldenChecksums) {
    for (const GoldenCase& c : kGolden) {
        EXPECT_EQ(test::checksum(runGolden(c, 301, 203)), c.checksum) << c.name;
    }
}

TEST(ToneMappedPipeline, SameBytesForAnyThreadCount) {
    ThreadCountGuard guard;
    for (const GoldenCase& c : kGolden) {
        setThreadCount(1);
        const std::vector<std::uint8_t> serial = runGolden(c, 640, 400);
        for (int threads : {2, 7}) {
            setThreadCount(threads);
            EXPECT_EQ(runGolden(c, 640, 400), serial) << c.name << " at " << threads;
        }
    }
}

}  // namespace
}  // namespace qorva
