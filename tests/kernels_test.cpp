#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "colour/finishing_passes.h"
#include "common/parallel.h"
#include "kernels/clarity_sharpen.h"
#include "kernels/gaussian_blur.h"
#include "kernels/unsharp_mask.h"
#include "support/test_images.h"
#include "support/thread_count_guard.h"

namespace qorva {
namespace {

using Image = std::vector<std::uint8_t>;
using Kernel = std::function<void(std::uint8_t*, int, int)>;

using test::ThreadCountGuard;

std::uint8_t at(const Image& img, int width, int x, int y, int ch = 0) {
    return img[(static_cast<std::size_t>(y) * width + x) * 3 + ch];
}

struct NamedKernel {
    const char* name;
    Kernel run;
};

const std::vector<NamedKernel>& allKernels() {
    static const std::vector<NamedKernel> kernels = {
        {"blur", [](std::uint8_t* p, int w, int h) { GaussianBlur(p, w, h, 10, 3); }},
        {"unsharp", [](std::uint8_t* p, int w, int h) { UnsharpMask(p, w, h, 150, 0.12, 0, 3); }},
        {"clarity", [](std::uint8_t* p, int w, int h) { ClaritySharpen(p, w, h, 1.7, 1.9, 0, 3); }},
    };
    return kernels;
}

TEST(Kernels, ImagesThinnerThanThreePixelsAreUnchanged) {
    for (const auto& kernel : allKernels()) {
        for (auto [w, h] : {std::pair{2, 100}, std::pair{100, 2}}) {
            const Image original = test::makePhotoLikeImage(w, h);
            Image img = original;
            kernel.run(img.data(), w, h);
            EXPECT_EQ(img, original) << kernel.name << " " << w << "x" << h;
        }
    }
}

TEST(GaussianBlur, RadiusBelowThresholdIsUnchangedAndJustAboveBarelyBlurs) {
    const Image original = test::makePhotoLikeImage(64, 48);
    Image img = original;
    GaussianBlur(img.data(), 64, 48, 0.6, 3);
    EXPECT_EQ(img, original);

    GaussianBlur(img.data(), 64, 48, 0.62, 3);
    int maxChange = 0;
    for (std::size_t i = 0; i < img.size(); ++i) {
        maxChange = std::max(maxChange, std::abs(img[i] - original[i]));
    }
    EXPECT_LE(maxChange, 3);
}

// A bright dot, a vertical line and a horizontal line on black: the blur spreads each into a
// profile that is symmetric about it and falls off away from it, in both directions.
TEST(GaussianBlur, BrightFeatureBecomesSymmetricBump) {
    constexpr int kSize = 61;
    constexpr int kC = kSize / 2;
    struct Case {
        const char* name;
        std::function<bool(int, int)> lit;
    };
    const Case cases[] = {
        {"dot", [](int x, int y) { return x == kC && y == kC; }},
        {"vertical line", [](int x, int) { return x == kC; }},
        {"horizontal line", [](int, int y) { return y == kC; }},
    };
    for (const Case& c : cases) {
        Image img(kSize * kSize * 3, 0);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (c.lit(x, y)) {
                    for (int ch = 0; ch < 3; ++ch) img[(y * kSize + x) * 3 + ch] = 255;
                }
            }
        }
        GaussianBlur(img.data(), kSize, kSize, 10, 3);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                const int v = at(img, kSize, x, y);
                ASSERT_EQ(v, at(img, kSize, kSize - 1 - x, y)) << c.name << " " << x << "," << y;
                ASSERT_EQ(v, at(img, kSize, x, kSize - 1 - y)) << c.name << " " << x << "," << y;
                ASSERT_EQ(v, at(img, kSize, x, y, 1));
                ASSERT_EQ(v, at(img, kSize, x, y, 2));
                if (x < kC) {
                    ASSERT_LE(v, at(img, kSize, x + 1, y)) << c.name;
                }
                if (y < kC) {
                    ASSERT_LE(v, at(img, kSize, x, y + 1)) << c.name;
                }
            }
        }
        EXPECT_GT(at(img, kSize, kC, kC), 0) << c.name;
        EXPECT_LT(at(img, kSize, kC, kC), 255) << c.name;
    }
    // sigma = 5: a line of 255 peaks near 255 / (sqrt(2 pi) 5) = 20.3 and is still visible
    // two sigma out.
    Image line(kSize * kSize * 3, 0);
    for (int y = 0; y < kSize; ++y) {
        for (int ch = 0; ch < 3; ++ch) line[(y * kSize + kC) * 3 + ch] = 255;
    }
    GaussianBlur(line.data(), kSize, kSize, 10, 3);
    EXPECT_NEAR(at(line, kSize, kC, kC), 20, 1);
    EXPECT_NEAR(at(line, kSize, kC + 10, kC), 20.3 * 0.135, 1);
}

// With a glow radius of a few hundred pixels (the Orton pass on a 6000-pixel photo) the
// recursion overshoots a hard edge by more than a level; the bytes must saturate, not wrap.
TEST(GaussianBlur, LargeRadiusOvershootSaturates) {
    for (double radius : {300.0, 450.0}) {
        const int w = 1000, h = 3;
        Image img(static_cast<std::size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                for (int ch = 0; ch < 3; ++ch) img[(y * w + x) * 3 + ch] = x < w / 2 ? 0 : 255;
            }
        }
        GaussianBlur(img.data(), w, h, radius, 3);
        for (int x = 0; x < w; ++x) {
            const int v = at(img, w, x, 1);
            if (x < w / 4) {
                ASSERT_LE(v, 100) << radius << " at " << x;
            }
            if (x >= w * 3 / 4) {
                ASSERT_GE(v, 155) << radius << " at " << x;
            }
        }
    }
}

TEST(GaussianBlur, LeavesBytesBeyondTheThirdAlone) {
    const int w = 40, h = 30;
    std::vector<std::uint8_t> img(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(i * 37);
    const std::vector<std::uint8_t> original = img;
    GaussianBlur(img.data(), w, h, 5, 4);
    bool colourChanged = false;
    for (std::size_t i = 0; i < img.size(); ++i) {
        if (i % 4 == 3) {
            ASSERT_EQ(img[i], original[i]);
        } else {
            colourChanged |= img[i] != original[i];
        }
    }
    EXPECT_TRUE(colourChanged);
}

TEST(UnsharpMask, FlatAreaKeepsItsValueAndEdgesGainContrast) {
    const int w = 400, h = 40;
    Image flat = test::makeUniformImage(w, h, 90, 140, 200);
    const Image original = flat;
    DehazePass(flat.data(), w, h);
    EXPECT_EQ(flat, original);

    Image edge(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int ch = 0; ch < 3; ++ch) edge[(y * w + x) * 3 + ch] = x < w / 2 ? 60 : 180;
        }
    }
    DehazePass(edge.data(), w, h);
    // Next to the edge the blurred value is near the middle (about 120), so each side moves
    // away from it by 12 % of a difference of about 60.
    EXPECT_NEAR(at(edge, w, w / 2 - 1, h / 2), 60 - 7, 1);
    EXPECT_NEAR(at(edge, w, w / 2, h / 2), 180 + 7, 1);
    // Far from the edge the blurred value is nearer the pixel's own: a smaller change.
    EXPECT_GE(at(edge, w, 0, h / 2), at(edge, w, w / 2 - 1, h / 2));
    EXPECT_LE(at(edge, w, w - 1, h / 2), at(edge, w, w / 2, h / 2));
}

TEST(ClaritySharpen, GreyImageIsUnchanged) {
    Image img = test::makePhotoLikeImage(120, 90);
    for (std::size_t i = 0; i < img.size(); i += 3) img[i + 1] = img[i + 2] = img[i];
    const Image original = img;
    ClarityPass(img.data(), 120, 90);
    EXPECT_EQ(img, original);
}

// A saturated red edge is sharpened with the full weight, the same edge in green with about
// half of it.
TEST(ClaritySharpen, HueWeightsTheOvershoot) {
    const int w = 40, h = 20;
    auto overshoot = [&](int channel) {
        Image img(static_cast<std::size_t>(w) * h * 3, 40);
        for (int y = 0; y < h; ++y) {
            for (int x = w / 2; x < w; ++x) img[(y * w + x) * 3 + channel] = 200;
        }
        ClaritySharpen(img.data(), w, h, 1.7, 1.9, 0, 3);
        return at(img, w, w / 2, h / 2, channel) - 200;
    };
    const int red = overshoot(0);
    const int green = overshoot(1);
    EXPECT_GT(red, 0);
    EXPECT_GT(green, 0);
    EXPECT_GT(red, green + green / 2);
}

TEST(ClarityHueTable, HoldsTheProductWeights) {
    EXPECT_EQ(ClarityHueTable[0], 255);
    EXPECT_EQ(ClarityHueTable[39], 205);
    EXPECT_EQ(ClarityHueTable[116], 128);
    EXPECT_EQ(ClarityHueTable[139], 139);
    EXPECT_EQ(ClarityHueTable[244], 255);
    EXPECT_EQ(ClarityHueTable[300], 128);
    EXPECT_EQ(ClarityHueTable[359], 249);
    EXPECT_EQ(ClarityHueTable[360], 253);
    EXPECT_EQ(ClarityHueTable[362], 255);
    // Sums of hues 0-19, 20-39, ... 340-359 and 360-362: one wrong entry changes its group.
    const int sums[] = {4881, 4365, 3858, 3379, 2948, 2638, 2628, 2976, 3459, 3994,
                        4517, 4959, 4951, 4089, 2967, 2727, 3504, 4489, 763};
    for (int group = 0; group < 19; ++group) {
        int sum = 0;
        for (int i = group * 20; i < std::min(group * 20 + 20, 363); ++i) sum += ClarityHueTable[i];
        EXPECT_EQ(sum, sums[group]) << "hues from " << group * 20;
    }
}

TEST(ClarityPass, AmountGrowsWithWidthUpToLimit) {
    EXPECT_DOUBLE_EQ(clarityAmount(100), 1.02);
    EXPECT_DOUBLE_EQ(clarityAmount(1000), 1.2);
    EXPECT_DOUBLE_EQ(clarityAmount(4500), 1.9);
    EXPECT_DOUBLE_EQ(clarityAmount(5000), 1.9);
}

TEST(Kernels, SameBytesForAnyThreadCount) {
    ThreadCountGuard guard;
    // Tall and wide enough that both blur passes split into several bands.
    const int w = 333, h = 301;
    const Image source = test::makePhotoLikeImage(w, h, 7);
    std::vector<NamedKernel> kernels = allKernels();
    kernels.push_back({"orton", [](std::uint8_t* p, int w, int h) { OrtonPass(p, w, h, 9); }});
    for (const auto& kernel : kernels) {
        std::string expected;
        for (int threads : {1, 2, 7}) {
            setThreadCount(threads);
            Image img = source;
            kernel.run(img.data(), w, h);
            const std::string sum = test::checksum(img);
            if (threads == 1) {
                expected = sum;
                EXPECT_NE(img, source) << kernel.name;
            }
            EXPECT_EQ(sum, expected) << kernel.name << " at " << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace qorva
