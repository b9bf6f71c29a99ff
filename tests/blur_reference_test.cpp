// The blur and the three kernels built on it (de-haze's unsharp mask, clarity, the Orton glow)
// give, byte for byte, what the plain recursion gives: one row or one column at a time, each
// channel in its own double array, a separate pass over a blurred copy for the sharpening and
// the blends. The fast forms interleave rows and columns, read and write bytes inside the
// recursion and finish each blurred run while it is in the cache; none of that may change a
// byte, on any image shape or thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "colour/finishing_passes.h"
#include "colour/hls.h"
#include "common/parallel.h"
#include "kernels/clarity_sharpen.h"
#include "kernels/gaussian_blur.h"
#include "kernels/unsharp_mask.h"
#include "support/test_images.h"
#include "support/thread_count_guard.h"

namespace qorva {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::ThreadCountGuard;

// Truncation toward zero, held to the byte range (an overshoot at a hard edge never wraps).
std::uint8_t plainByte(double y) {
    const int v = static_cast<int>(y);
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// One line of samples, forward then backward, in double precision.
void plainRecursion(std::vector<double>& x, double radius) {
    const double sigma = radius / 2;
    const double q = sigma < 2.5 ? 3.97156 - 4.14554 * std::sqrt(1 - 0.26891 * sigma)
                                 : 0.98711 * sigma - 0.96330;
    const double b0 = 1.57825 + 2.44413 * q + 1.4281 * (q * q) + 0.422205 * (q * q * q);
    const double b1 = 2.44413 * q + 2.85619 * (q * q) + 1.26661 * (q * q * q);
    const double b2 = -(1.4281 * (q * q) + 1.26661 * (q * q * q));
    const double b3 = 0.422205 * (q * q * q);
    const double c0 = 1 - (b1 + b2 + b3) / b0, c1 = b1 / b0, c2 = b2 / b0, c3 = b3 / b0;
    auto F = [&](double s, double p1, double p2, double p3) {
        return c0 * s + c1 * p1 + c2 * p2 + c3 * p3;
    };
    const std::size_t n = x.size();
    std::vector<double> w(n), y(n);
    w[0] = F(x[0], x[0], x[0], x[0]);
    w[1] = F(x[1], w[0], w[0], w[0]);
    w[2] = F(x[2], w[1], w[0], w[0]);
    for (std::size_t k = 3; k < n; ++k) w[k] = F(x[k], w[k - 1], w[k - 2], w[k - 3]);
    y[n - 1] = F(w[n - 1], w[n - 1], w[n - 1], w[n - 1]);
    y[n - 2] = F(w[n - 2], y[n - 1], y[n - 1], y[n - 1]);
    y[n - 3] = F(w[n - 3], y[n - 2], y[n - 1], y[n - 1]);
    for (std::size_t k = n - 3; k-- > 0;) y[k] = F(w[k], y[k + 1], y[k + 2], y[k + 3]);
    x = y;
}

Bytes plainBlur(Bytes image, int w, int h, double radius, int bpp) {
    if (radius < 0.62 || w < 3 || h < 3) return image;
    const auto at = [&](int x, int y, int ch) -> std::uint8_t& {
        return image[(static_cast<std::size_t>(y) * w + x) * bpp + ch];
    };
    for (int y = 0; y < h; ++y) {
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<double> line(static_cast<std::size_t>(w));
            for (int x = 0; x < w; ++x) line[x] = at(x, y, ch);
            plainRecursion(line, radius);
            for (int x = 0; x < w; ++x) at(x, y, ch) = plainByte(line[x]);
        }
    }
    for (int x = 0; x < w; ++x) {
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<double> line(static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y) line[y] = at(x, y, ch);
            plainRecursion(line, radius);
            for (int y = 0; y < h; ++y) at(x, y, ch) = plainByte(line[y]);
        }
    }
    return image;
}

std::uint8_t sharpened(int s, int b, double amount, double t, int threshold) {
    int d = s - b;
    if (std::abs(2 * d) < threshold) d = 0;
    const double v = s + amount * (t * d);
    return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
}

Bytes plainUnsharp(const Bytes& image, int w, int h, double radius, double amount, int threshold,
                   int bpp) {
    const Bytes soft = plainBlur(image, w, h, radius, bpp);
    Bytes out = image;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (static_cast<int>(i % bpp) < 3) {
            int d = image[i] - soft[i];
            if (std::abs(2 * d) < threshold) d = 0;
            const double v = image[i] + amount * d;
            out[i] = v <= 0 ? 0 : v >= 255 ? 255 : static_cast<std::uint8_t>(v);
        }
    }
    return out;
}

Bytes plainClarity(const Bytes& image, int w, int h, double radius, double amount, int threshold,
                   int bpp) {
    const Bytes soft = plainBlur(image, w, h, radius, bpp);
    Bytes out = image;
    for (std::size_t i = 0; i < out.size(); i += bpp) {
        float hue, lightness, saturation;
        RgbToHls(soft[i], soft[i + 1], soft[i + 2], hue, lightness, saturation);
        const float t = (ClarityHueTable[static_cast<int>(hue)] * static_cast<float>(1.0 / 255)) *
                        (saturation * static_cast<float>(1.0 / 360));
        for (int ch = 0; ch < 3; ++ch)
            out[i + ch] = sharpened(image[i + ch], soft[i + ch], amount, t, threshold);
    }
    return out;
}

Bytes plainOrton(const Bytes& image, int w, int h) {
    Bytes glow = image;
    for (auto& x : glow) x = static_cast<std::uint8_t>(255 - (255 - x) * (255 - x) / 255);
    glow = plainBlur(glow, w, h, static_cast<float>(std::max(w, h) * 0.05), 3);
    Bytes out = image;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(glow[i] * out[i] / 255);
    return out;
}

// Photo-like content with hard white and black edges, where a wide blur overshoots.
Bytes testImage(int w, int h, int bpp, unsigned seed) {
    const Bytes rgb = test::makePhotoLikeImage(w, h, seed);
    Bytes image(static_cast<std::size_t>(w) * h * bpp);
    for (std::size_t p = 0; p < static_cast<std::size_t>(w) * h; ++p) {
        for (int ch = 0; ch < bpp; ++ch)
            image[p * bpp + ch] = ch < 3 ? rgb[p * 3 + ch] : static_cast<std::uint8_t>(p * 7 + 1);
    }
    for (int y = h / 3; y < h / 2; ++y) {
        for (int x = 0; x < w / 4; ++x) {
            for (int ch = 0; ch < 3; ++ch)
                image[(static_cast<std::size_t>(y) * w + x) * bpp + ch] = (x / 3) % 2 ? 255 : 0;
        }
    }
    return image;
}

struct Shape {
    int w, h;
};

// Sizes around the row and column groups and the thread bands: thin, odd, prime, wider than
// tall and taller than wide.
const Shape kShapes[] = {{3, 3}, {4, 7}, {17, 5}, {31, 33}, {97, 61}, {203, 149}};

TEST(BlurReference, GaussianBlurMatchesThePlainRecursion) {
    ThreadCountGuard guard;
    for (int threads : {1, 3}) {
        setThreadCount(threads);
        for (const Shape& s : kShapes) {
            for (int bpp : {3, 4}) {
                const Bytes image = testImage(s.w, s.h, bpp, 11);
                for (double radius : {0.7, 1.7, 9.0, 150.0, 700.0}) {
                    const Bytes expected = plainBlur(image, s.w, s.h, radius, bpp);
                    Bytes inPlace = image;
                    GaussianBlur(inPlace.data(), s.w, s.h, radius, bpp);
                    EXPECT_EQ(inPlace, expected) << s.w << "x" << s.h << " bpp " << bpp << " r "
                                                 << radius << " threads " << threads;
                    Bytes target(image.size(), 9);
                    GaussianBlurCopy(image.data(), target.data(), s.w, s.h, radius, bpp);
                    if (bpp == 4) {
                        // Bytes beyond the third are the source's.
                        for (std::size_t i = 3; i < target.size(); i += 4) target[i] = image[i];
                    }
                    EXPECT_EQ(target, expected) << s.w << "x" << s.h << " copy";
                }
            }
        }
    }
}

TEST(BlurReference, SharpeningAndGlowMatchTheirPlainForms) {
    ThreadCountGuard guard;
    for (int threads : {1, 2}) {
        setThreadCount(threads);
        for (const Shape& s : kShapes) {
            for (int bpp : {3, 4}) {
                const Bytes image = testImage(s.w, s.h, bpp, 5);
                const std::string where = std::to_string(s.w) + "x" + std::to_string(s.h) +
                                          " bpp " + std::to_string(bpp) + " threads " +
                                          std::to_string(threads);
                for (double radius : {1.7, 150.0}) {
                    for (int threshold : {0, 9}) {
                        Bytes unsharp = image;
                        UnsharpMask(unsharp.data(), s.w, s.h, radius, 0.12 + radius / 100,
                                    threshold, bpp);
                        EXPECT_EQ(unsharp, plainUnsharp(image, s.w, s.h, radius,
                                                        0.12 + radius / 100, threshold, bpp))
                            << "unsharp " << where << " r " << radius;
                        Bytes clarity = image;
                        ClaritySharpen(clarity.data(), s.w, s.h, radius, 1.9, threshold, bpp);
                        EXPECT_EQ(clarity,
                                  plainClarity(image, s.w, s.h, radius, 1.9, threshold, bpp))
                            << "clarity " << where << " r " << radius;
                    }
                }
                if (bpp == 3) {
                    Bytes orton = image;
                    OrtonPass(orton.data(), s.w, s.h, 4);
                    EXPECT_EQ(orton, plainOrton(image, s.w, s.h)) << "orton " << where;
                }
            }
        }
    }
}

TEST(BlurReference, FullSizePassesMatchOnAWidePhoto) {
    // Wide enough for several column groups per thread band and for the glow radius to
    // overshoot the hard edges.
    ThreadCountGuard guard;
    setThreadCount(2);
    const int w = 1201, h = 203;
    const Bytes image = testImage(w, h, 3, 21);
    Bytes dehazed = image;
    DehazePass(dehazed.data(), w, h);
    EXPECT_EQ(dehazed, plainUnsharp(image, w, h, 150, 0.12, 0, 3));
    Bytes clear = image;
    ClarityPass(clear.data(), w, h);
    EXPECT_EQ(clear, plainClarity(image, w, h, 1.7, clarityAmount(w), 0, 3));
    Bytes orton = image;
    OrtonPass(orton.data(), w, h, 9);
    EXPECT_EQ(orton, plainOrton(image, w, h));
}

}  // namespace
}  // namespace qorva
