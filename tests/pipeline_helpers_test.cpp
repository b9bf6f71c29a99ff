#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "pipelines/binned_histogram.h"
#include "pipelines/color_matrix.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"

namespace qorva {
namespace {

BinnedHistogram histogramOf(std::vector<float> values, float lo, float hi) {
    BinnedHistogram h;
    h.reset(static_cast<int>(values.size()), lo, hi);
    for (int i = 0; i < h.binCount; ++i) h.bins[i] = values[static_cast<size_t>(i)];
    return h;
}

std::vector<float> binsOf(const BinnedHistogram& h) {
    return {&h.bins[0], &h.bins[0] + h.binCount};
}

TEST(FloatPlane, RefusesSizesThatCannotBeAllocated) {
    FloatPlane plane;
    plane.create(7, 3);
    EXPECT_EQ(plane.row(2) - plane.row(0), 14);
    EXPECT_THROW(plane.create(-1, 3), std::bad_alloc);
    EXPECT_EQ(plane.samples, nullptr);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_THROW(plane.create(INT_MAX, INT_MAX), std::bad_alloc);
#endif
}

TEST(BinnedHistogram, AddFindsTheBinAndIgnoresValuesOutsideTheRange) {
    struct Case {
        float v;
        int bin;
    } cases[] = {{255, 499}, {254.9f, 498}, {0, 0}, {127.5f, 249}};
    for (const auto& c : cases) {
        BinnedHistogram h;
        h.reset(500, 0, 255);
        h.fill(0);
        for (float outside : {-0.01f, 255.01f, std::nanf("")}) h.add(outside, 1);
        h.add(c.v, 2);
        EXPECT_EQ(h.bins[c.bin], 2) << c.v;
        EXPECT_EQ(h.sum(), 2) << c.v;
        EXPECT_EQ(h.lowestUsedBin, c.bin);
        EXPECT_EQ(h.highestUsedBin, c.bin);
    }
}

TEST(BinnedHistogram, ClipCapsBinsAndRedistributesTheExcess) {
    struct Case {
        std::vector<float> in;
        float factor;
        std::vector<float> out;
    } cases[] = {
        {{10, 0, 0, 2}, 1, {3, 3, 3, 3}},
        // A bin between upper and limit is charged bin - upper, not what it receives.
        {{3, 0, 6}, 1, {3, 2, 3}},
        // Excess still left after the last start is dropped.
        {{9, 0}, 1, {4, 4}},
    };
    for (const auto& c : cases) {
        BinnedHistogram h = histogramOf(c.in, 0, 255);
        h.clip(c.factor);
        EXPECT_EQ(binsOf(h), c.out);
    }
    // 100 samples in 500 bins at factor 1.5: the limit 0 is raised to 1 and the 99 excess
    // counts land on every fifth bin.
    BinnedHistogram h;
    h.reset(500, 0, 255);
    h.fill(0);
    for (int i = 0; i < 100; ++i) h.add(3.7f, 1);
    h.clip(1.5f);
    for (int k = 0; k < 500; ++k) EXPECT_EQ(h.bins[k], (k % 5 == 0 && k <= 490) || k == 7) << k;
}

TEST(BinnedHistogram, AccumulateNormalizeAndBlendBuildAMapping) {
    BinnedHistogram counts = histogramOf({1, 2, 3, 4}, 0, 255);
    counts.lowestUsedBin = 1;
    BinnedHistogram running;
    EXPECT_EQ(running.accumulateFrom(counts), 10);
    EXPECT_EQ(binsOf(running), (std::vector<float>{0, 1, 3, 6, 10}));
    EXPECT_EQ(running.lowestUsedBin, 1);
    EXPECT_EQ(running.accumulateFrom(running), 20);  // into itself: reads intact bins

    BinnedHistogram mapping;
    EXPECT_EQ(mapping.normalizeFrom(counts, 0, 1), 10);
    EXPECT_EQ(binsOf(mapping), (std::vector<float>{0, 0.1f, 0.3f, 0.6f, 1}));
    EXPECT_EQ(mapping.hi, 1);
    EXPECT_EQ(mapping.normalizeFrom(histogramOf({0, 0}, 0, 255), 0, 1), 0);
    EXPECT_EQ(binsOf(mapping), (std::vector<float>{0, 0, 0}));

    BinnedHistogram tile;
    tile.reset(500, 0, 255);
    tile.fill(0);
    tile.add(100, 1);
    for (float w : {0.0f, 0.5f, 1.0f}) {
        mapping.normalizeFrom(tile, 0, 1);
        std::vector<float> pure = binsOf(mapping);
        mapping.blendWithIdentity(w);
        ASSERT_EQ(mapping.binCount, 501);
        for (int i = 0; i < 501; i += 50) {
            EXPECT_NEAR(mapping.bins[i], (1 - w) * i / 501.0 + w * pure[static_cast<size_t>(i)],
                        1e-6);
        }
    }
}

TEST(BinnedHistogram, ValueAtInterpolatesOverAllButTheLastEntry) {
    BinnedHistogram ramp;
    ramp.reset(501, 0, 1);
    for (int i = 0; i < 501; ++i) ramp.bins[i] = static_cast<float>(i);
    struct Case {
        float v, expected;
    } cases[] = {{1, 499}, {0.5f, 249.5f}, {2, 499}, {-1, 0}, {std::nanf(""), 0}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(ramp.valueAt(c.v), c.expected) << c.v;
    EXPECT_EQ(histogramOf({7}, 0, 1).valueAt(0.3f), 7);
    EXPECT_EQ(BinnedHistogram{}.valueAt(0.3f), 0);
}

TEST(ColorMatrix, ConvertsAndClampsNegativeResults) {
    auto red = applyColorMatrix(1, 0, 0, kXyzToRgb);
    EXPECT_FLOAT_EQ(red[0], 3.240708f);
    EXPECT_EQ(red[1], 0);  // -0.969257 clamped
    EXPECT_FLOAT_EQ(red[2], 0.055636f);
    auto xyz = applyColorMatrix(0.2f, 0.5f, 0.9f, kRgbToXyz);
    auto back = applyColorMatrix(xyz[0], xyz[1], xyz[2], kXyzToRgb);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(back[i], (std::array<float, 3>{0.2f, 0.5f, 0.9f})[i], 1e-5);
}

// Source with a gradient and a bright block, so the tiles get different mappings.
FloatPlane testPlane(int w, int h) {
    FloatPlane p;
    p.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.row(y)[x] = 20 + (x * 7 + y * 3) % 90 + (x > w / 2 ? 100 : 0);
    return p;
}

// The mapping of one tile, built from the stretched source as the equaliser does.
BinnedHistogram tileMapping(const FloatPlane& s, int x0, int y0, int tw, int th, float strength,
                            float smoothness) {
    BinnedHistogram h, m;
    h.reset(500, 0, 255);
    h.fill(0);
    for (int y = y0; y < y0 + th; ++y)
        for (int x = x0; x < x0 + tw; ++x) h.add(s.row(y)[x], 1);
    h.clip((1 - smoothness) * 7 + 1.5f);
    m.normalizeFrom(h, 0, 1);
    m.blendWithIdentity(strength);
    return m;
}

float mapped(const BinnedHistogram& m, float s) {
    return 255 * m.valueAt(static_cast<float>(s * 0.00392156862745098));
}

TEST(EqualizeLocalContrast, WritesEverySampleAndCarriesEdgeTilesToTheBorder) {
    struct Case {
        int w, h, divisions;
        int tileW, tileH;
    } cases[] = {
        {100, 80, 1, 100, 80},   // one tile everywhere
        {1000, 30, 3, 333, 10},  // columns 998 and 999 lie beyond the last whole tile
        {6, 40, 50, 6, 40},      // more divisions than pixels: one tile of the whole image
    };
    for (const auto& c : cases) {
        FloatPlane s = testPlane(c.w, c.h), d;
        d.create(c.w, c.h);
        std::fill(d.samples.get(), d.samples.get() + d.size(), std::nanf(""));
        equalizeLocalContrast(s, d, c.divisions, 0.7f, 0.2f, RunContext{});
        for (size_t i = 0; i < d.size(); ++i)
            ASSERT_TRUE(d.samples[i] >= 0 && d.samples[i] <= 255) << i;
        // The bottom-right corner region reads the last tile's mapping alone.
        int nx = c.w / c.tileW, ny = c.h / c.tileH;
        BinnedHistogram m =
            tileMapping(s, (nx - 1) * c.tileW, (ny - 1) * c.tileH, c.tileW, c.tileH, 0.7f, 0.2f);
        for (int y = c.h - 3; y < c.h; ++y)
            for (int x = c.w - 3; x < c.w; ++x)
                EXPECT_FLOAT_EQ(d.row(y)[x], mapped(m, s.row(y)[x])) << c.w << " " << x << "," << y;
    }
}

TEST(EqualizeLocalContrast, StretchesTheSourceAndStrengthZeroKeepsTheLuminance) {
    FloatPlane s = testPlane(90, 70), d;
    d.create(90, 70);
    equalizeLocalContrast(s, d, 4, 0, 0.5f, RunContext{});
    EXPECT_EQ(*std::min_element(s.samples.get(), s.samples.get() + s.size()), 0);
    EXPECT_FLOAT_EQ(*std::max_element(s.samples.get(), s.samples.get() + s.size()), 255);
    for (size_t i = 0; i < s.size(); ++i) EXPECT_NEAR(d.samples[i], s.samples[i] * 499 / 501, 2e-4);

    for (float level : {0.0f, 42.0f}) {  // a flat plane has no range and stretches to 0
        std::fill(s.samples.get(), s.samples.get() + s.size(), level);
        equalizeLocalContrast(s, d, 4, 1, 0, RunContext{});
        for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s.samples[i], 0);
    }
}

}  // namespace
}  // namespace qorva
