#include "plugin/working_image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "common/parallel.h"
#include "support/test_images.h"

namespace qorva {
namespace {

struct ImageSizeForTest {
    int w, h;
};

std::uint8_t at(const WorkingImage& img, int x, int y, int c) {
    return img.pixels()[(static_cast<std::size_t>(y) * img.width() + x) * 3 + c];
}

// R holds the source column, G the source row (both below 256 in these tests), B is noise.
std::vector<std::uint8_t> coordinateImage(int w, int h) {
    std::vector<std::uint8_t> px = test::makePhotoLikeImage(w, h, 7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            px[(static_cast<std::size_t>(y) * w + x) * 3 + 0] = static_cast<std::uint8_t>(x % 256);
            px[(static_cast<std::size_t>(y) * w + x) * 3 + 1] = static_cast<std::uint8_t>(y % 256);
        }
    return px;
}

TEST(WorkingImageResize, HalvingAveragesEachTwoByTwoBlockTruncated) {
    const auto src = test::makePhotoLikeImage(1000, 600);
    WorkingImage img;
    ASSERT_EQ(img.CopyFromHost(src.data(), 1000, 600), kImageOk);
    ASSERT_EQ(img.Resize(500, 300, kResizeBlockOrBilinear), kImageOk);
    ASSERT_EQ(img.width(), 500);
    ASSERT_EQ(img.height(), 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 500; ++x)
            for (int c = 0; c < 3; ++c) {
                auto s = [&](int dx, int dy) {
                    return src[(static_cast<std::size_t>(2 * y + dy) * 1000 + 2 * x + dx) * 3 + c];
                };
                const int mean = (s(0, 0) + s(1, 0) + s(0, 1) + s(1, 1)) / 4;
                ASSERT_EQ(at(img, x, y, c), mean) << x << "," << y << "," << c;
            }
}

TEST(WorkingImageResize, FractionalRatioAdvancesBlockStartsByTheExactRatio) {
    // 1000 x 600 to 400 x 300: ex = 2.5, ey = 2, blocks of 2 x 2.
    const auto src = coordinateImage(1000, 600);
    WorkingImage img;
    ASSERT_EQ(img.CopyFromHost(src.data(), 1000, 600), kImageOk);
    ASSERT_EQ(img.Resize(400, 300, kResizeBlockOrBilinear), kImageOk);
    // Column means of (start, start + 1) truncated give the block start: 0, 2, 5, 7, 10 ...
    const int starts[] = {0, 2, 5, 7, 10, 12, 15};
    for (int x = 0; x < 7; ++x) EXPECT_EQ(at(img, x, 0, 0), starts[x]) << x;
    // Rows: starts 0, 2, 4 ... so the mean of rows 2y and 2y + 1 is 2y.
    for (int y = 0; y < 100; ++y) EXPECT_EQ(at(img, 0, y, 1), 2 * y) << y;
}

TEST(WorkingImageResize, EnlargingInterpolatesBilinearlyWithTheShortenedStep) {
    // 2 x 1 to 4 x 2: columns step (2 - 2/4) / 4 = 0.375, rows 1 source row.
    const std::vector<std::uint8_t> src = {0, 100, 200, 100, 255, 0};
    WorkingImage img;
    ASSERT_EQ(img.CopyFromHost(src.data(), 2, 1), kImageOk);
    ASSERT_EQ(img.Resize(4, 2, kResizeBlockOrBilinear), kImageOk);
    const int red[] = {0, 37, 75, 100};  // positions 0, 0.375, 0.75, 1.125 (clamped)
    const int green[] = {100, 158, 216, 255};
    const int blue[] = {200, 125, 50, 0};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(at(img, x, y, 0), red[x]) << x;
            EXPECT_EQ(at(img, x, y, 1), green[x]) << x;
            EXPECT_EQ(at(img, x, y, 2), blue[x]) << x;
        }
}

TEST(WorkingImageResize, EnlargingOneWayShrinksTheOtherByPlainSteps) {
    // 1 x 4 to 2 x 2: wider, so bilinear; rows step 4 / 2 = 2 and sample rows 0 and 2 exactly.
    const std::vector<std::uint8_t> src = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
    WorkingImage img;
    ASSERT_EQ(img.CopyFromHost(src.data(), 1, 4), kImageOk);
    ASSERT_EQ(img.Resize(2, 2, kResizeBlockOrBilinear), kImageOk);
    EXPECT_EQ(at(img, 0, 0, 0), 10);
    EXPECT_EQ(at(img, 1, 0, 0), 10);
    EXPECT_EQ(at(img, 0, 1, 0), 30);
    EXPECT_EQ(at(img, 1, 1, 0), 30);
}

TEST(WorkingImageResize, UniformImageStaysUniformWhenEnlargedOrShrunk) {
    const auto src = test::makeUniformImage(300, 200, 255, 1, 77);
    struct Case {
        int w, h, method;
    };
    for (Case c : {Case{496, 331, 2}, Case{600, 100, 2}, Case{123, 45, 2}, Case{97, 13, 0},
                   Case{777, 555, 0}}) {
        WorkingImage img;
        ASSERT_EQ(img.CopyFromHost(src.data(), 300, 200), kImageOk);
        ASSERT_EQ(img.Resize(c.w, c.h, c.method), kImageOk);
        for (std::size_t i = 0; i < img.byteSize(); i += 3) {
            ASSERT_EQ(img.pixels()[i], 255) << c.w;
            ASSERT_EQ(img.pixels()[i + 1], 1) << c.w;
            ASSERT_EQ(img.pixels()[i + 2], 77) << c.w;
        }
    }
}

TEST(WorkingImageResize, MethodZeroSamplesInsteadOfAveragingWhenShrinking) {
    const std::vector<std::uint8_t> src = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0,
                                           10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
    WorkingImage a, b;
    ASSERT_EQ(a.CopyFromHost(src.data(), 4, 2), kImageOk);
    ASSERT_EQ(b.CopyFromHost(src.data(), 4, 2), kImageOk);
    ASSERT_EQ(a.Resize(2, 1, kResizeBilinear), kImageOk);
    ASSERT_EQ(b.Resize(2, 1, kResizeBlockOrBilinear), kImageOk);
    EXPECT_EQ(at(a, 0, 0, 0), 10);  // source positions 0 and 2
    EXPECT_EQ(at(a, 1, 0, 0), 30);
    EXPECT_EQ(at(b, 0, 0, 0), 15);  // means of (10, 20) and (30, 40)
    EXPECT_EQ(at(b, 1, 0, 0), 35);
}

TEST(WorkingImageResize, SameBytesForAnyThreadCount) {
    const auto src = test::makePhotoLikeImage(640, 480, 3);
    std::vector<std::vector<std::uint8_t>> results;
    for (int threads : {1, 3}) {
        setThreadCount(threads);
        for (auto size : {ImageSizeForTest{320, 211}, ImageSizeForTest{1000, 700}}) {
            WorkingImage img;
            ASSERT_EQ(img.CopyFromHost(src.data(), 640, 480), kImageOk);
            ASSERT_EQ(img.Resize(size.w, size.h, kResizeBlockOrBilinear), kImageOk);
            results.emplace_back(img.pixels(), img.pixels() + img.byteSize());
        }
    }
    setThreadCount(0);
    EXPECT_EQ(results[0], results[2]);
    EXPECT_EQ(results[1], results[3]);
}

TEST(WorkingImageResize, SizesBelowOneBecomeOne) {
    const auto src = test::makeUniformImage(5, 4, 9, 8, 7);
    WorkingImage img;
    ASSERT_EQ(img.CopyFromHost(src.data(), 5, 4), kImageOk);
    ASSERT_EQ(img.Resize(0, -3, kResizeBlockOrBilinear), kImageOk);
    EXPECT_EQ(img.width(), 1);
    EXPECT_EQ(img.height(), 1);
    EXPECT_EQ(at(img, 0, 0, 0), 9);
}

TEST(WorkingImage, ResultCodesAndOwnership) {
    const auto src = test::makePhotoLikeImage(8, 6);
    WorkingImage empty, img, other;
    EXPECT_EQ(empty.Resize(4, 4, kResizeBlockOrBilinear), kImageNoPixels);
    EXPECT_EQ(img.CopyFrom(empty), kImageNoPixels);
    EXPECT_EQ(img.TakeOver(empty), kImageNoPixels);
    EXPECT_EQ(img.CopyFromHost(nullptr, 8, 6), kImageNoPixels);
    EXPECT_FALSE(img.hasPixels());

    ASSERT_EQ(img.CopyFromHost(src.data(), 8, 6), kImageOk);
    EXPECT_EQ(img.RowBytes(), 24u);
    EXPECT_EQ(img.byteSize(), src.size());
    EXPECT_EQ(std::memcmp(img.pixels(), src.data(), src.size()), 0);

    // Copying from an empty image leaves the target as it was.
    EXPECT_EQ(img.CopyFrom(empty), kImageNoPixels);
    EXPECT_EQ(img.width(), 8);
    EXPECT_EQ(img.CopyFrom(img), kImageOk);  // copying onto itself keeps the pixels
    EXPECT_EQ(std::memcmp(img.pixels(), src.data(), src.size()), 0);

    ASSERT_EQ(other.CopyFrom(img), kImageOk);
    EXPECT_NE(other.pixels(), img.pixels());
    const std::uint8_t* block = other.pixels();
    WorkingImage taker;
    ASSERT_EQ(taker.TakeOver(other), kImageOk);
    EXPECT_EQ(taker.pixels(), block);
    EXPECT_FALSE(other.hasPixels());
    EXPECT_EQ(other.width(), 0);
    EXPECT_EQ(taker.width(), 8);

    taker.Release();
    EXPECT_FALSE(taker.hasPixels());
    EXPECT_EQ(taker.width() + taker.height() + taker.bitsPerPixel() + taker.paletteCount(), 0);

    EXPECT_EQ(packedRowBytes(9, 1), 2u);
    EXPECT_EQ(packedRowBytes(9, 8), 9u);
    EXPECT_EQ(packedRowBytes(9, 24), 27u);
}

TEST(WorkingImage, SizesThatDoNotFitAreRefusedAsOutOfMemory) {
    WorkingImage img;
    EXPECT_EQ(img.Create(INT_MAX, INT_MAX, 24), kImageOutOfMemory);
    EXPECT_FALSE(img.hasPixels());
    EXPECT_EQ(img.width(), 0);
    EXPECT_EQ(img.Create(0, 10, 24), kImageNoPixels);

    // A failed enlargement leaves the image as it was.
    const auto src = test::makePhotoLikeImage(8, 6);
    ASSERT_EQ(img.CopyFromHost(src.data(), 8, 6), kImageOk);
    EXPECT_EQ(img.Resize(INT_MAX, INT_MAX, kResizeBlockOrBilinear), kImageOutOfMemory);
    EXPECT_EQ(img.width(), 8);
    EXPECT_EQ(std::memcmp(img.pixels(), src.data(), src.size()), 0);
}

// The sizes of the host's buffers and of their packed copy, as the 32-bit plug-in computes
// them: the largest filter area a host can send (65535 x 65535, rows 3 x 65535 bytes) does
// not fit in 32 bits and must be refused, not wrapped into a small buffer.
TEST(WorkingImage, StridedSizesThatDoNotFitAreRefused) {
    const struct {
        std::uint64_t stride, rows, rowBytes, bytes;  // bytes in 64 bits
        std::uint32_t bytes32;                        // 0: refused in 32 bits
    } cases[] = {
        {196605, 65535, 196605, 12884508675ull, 0},
        {200000, 21846, 196605, 4369196605ull, 0},
        {196605, 21845, 196605, 4294836225ull, 4294836225u},
        {3 * 640 + 4, 480, 3 * 640, 923516, 923516},
        {27, 1, 27, 27, 27},
        {27, 0, 27, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stridedBytes(c.stride, c.rows, c.rowBytes), c.bytes) << c.rows;
        EXPECT_EQ(stridedBytes<std::uint32_t>(static_cast<std::uint32_t>(c.stride),
                                              static_cast<std::uint32_t>(c.rows),
                                              static_cast<std::uint32_t>(c.rowBytes)),
                  c.bytes32)
            << c.rows;
    }
}

}  // namespace
}  // namespace qorva
