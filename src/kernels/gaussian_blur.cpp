#include "kernels/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "common/parallel.h"
#include "kernels/packed_image.h"

namespace qorva {
namespace {

struct Coefficients {
    double c0, c1, c2, c3;
};

Coefficients coefficientsFor(double radius) {
    const double sigma = radius / 2;
    double q;
    if (sigma < 2.5) {
        q = 3.97156 - 4.14554 * std::sqrt(1 - 0.26891 * sigma);
    } else {
        q = 0.98711 * sigma - 0.96330;
    }
    const double q2 = q * q;
    const double q3 = q * q * q;
    const double b0 = 1.57825 + 2.44413 * q + 1.4281 * q2 + 0.422205 * q3;
    const double b1 = 2.44413 * q + 2.85619 * q2 + 1.26661 * q3;
    const double b2 = -(1.4281 * q2 + 1.26661 * q3);
    const double b3 = 0.422205 * q3;
    return {1 - (b1 + b2 + b3) / b0, b1 / b0, b2 / b0, b3 / b0};
}

inline double step(const Coefficients& c, double x, double p1, double p2, double p3) {
    return c.c0 * x + c.c1 * p1 + c.c2 * p2 + c.c3 * p3;
}

// Truncation toward zero; the clamp only guards against a rounding overshoot wrapping a byte
// around (a white edge turning black), it never changes an in-range value.
inline std::uint8_t toByte(double y) {
    if (!(y > 0)) return 0;
    if (y >= 255) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(y));
}

// Forward and backward recursion along `count` samples for several independent lanes at once
// (the three channels of a row, or the channels of a group of neighbouring columns). Sample k
// of lane j is line[k * stride + offsets[j]]. `w` holds count * lanes doubles: the forward
// values, overwritten by the backward values once they are no longer needed.
void blurLanes(std::uint8_t* line, std::size_t stride, int count, const std::size_t* offsets,
               int lanes, const Coefficients& c, double* w) {
    const std::size_t n = static_cast<std::size_t>(count);
    const std::size_t l = static_cast<std::size_t>(lanes);
    auto x = [&](std::size_t k, std::size_t j) -> double { return line[k * stride + offsets[j]]; };

    // The first sample stands in for the samples before the start.
    for (std::size_t j = 0; j < l; ++j) {
        const double x0 = x(0, j);
        const double w0 = step(c, x0, x0, x0, x0);
        const double w1 = step(c, x(1, j), w0, w0, w0);
        w[j] = w0;
        w[l + j] = w1;
        w[2 * l + j] = step(c, x(2, j), w1, w0, w0);
    }
    for (std::size_t k = 3; k < n; ++k) {
        double* wk = w + k * l;
        for (std::size_t j = 0; j < l; ++j) {
            wk[j] = step(c, x(k, j), wk[j - l], wk[j - 2 * l], wk[j - 3 * l]);
        }
    }

    // The last forward value stands in for the samples after the end.
    for (std::size_t j = 0; j < l; ++j) {
        double* last = w + (n - 1) * l + j;
        const double wl = *last;
        const double y1 = step(c, wl, wl, wl, wl);
        const double y2 = step(c, last[-static_cast<std::ptrdiff_t>(l)], y1, y1, y1);
        const double y3 = step(c, last[-2 * static_cast<std::ptrdiff_t>(l)], y2, y1, y1);
        *last = y1;
        last[-static_cast<std::ptrdiff_t>(l)] = y2;
        last[-2 * static_cast<std::ptrdiff_t>(l)] = y3;
    }
    for (std::size_t k = n - 3; k-- > 0;) {
        double* wk = w + k * l;
        for (std::size_t j = 0; j < l; ++j) {
            wk[j] = step(c, wk[j], wk[j + l], wk[j + 2 * l], wk[j + 3 * l]);
        }
    }

    for (std::size_t k = 0; k < n; ++k) {
        const double* yk = w + k * l;
        std::uint8_t* out = line + k * stride;
        for (std::size_t j = 0; j < l; ++j) out[offsets[j]] = toByte(yk[j]);
    }
}

// Columns recursed together in the vertical pass, so each row access reads a run of
// neighbouring bytes instead of one byte per cache line.
constexpr int kColumnGroup = 16;

}  // namespace

void GaussianBlur(std::uint8_t* pixels, int width, int height, double radius, int bytesPerPixel) {
    if (!(radius >= 0.62) || width < 3 || height < 3) return;
    if (pixels == nullptr || bytesPerPixel < 3) return;
    const std::size_t rowBytes = packedImageBytes(width, 1, bytesPerPixel);
    if (rowBytes == 0 || packedImageBytes(width, height, bytesPerPixel) == 0) return;
    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const Coefficients c = coefficientsFor(radius);

    parallelRows(height, [&](int begin, int end) {
        std::vector<double> scratch(static_cast<std::size_t>(width) * 3);
        const std::size_t offsets[3] = {0, 1, 2};
        for (int y = begin; y < end; ++y) {
            std::uint8_t* row = pixels + static_cast<std::size_t>(y) * rowBytes;
            blurLanes(row, bpp, width, offsets, 3, c, scratch.data());
        }
    });

    // Bands of columns: each column keeps its own recursion, so grouping never changes bytes.
    parallelRows(
        width,
        [&](int begin, int end) {
            const int group = std::min(kColumnGroup, end - begin);
            std::vector<double> scratch(static_cast<std::size_t>(height) *
                                        static_cast<std::size_t>(group) * 3);
            std::size_t offsets[kColumnGroup * 3];
            for (int x0 = begin; x0 < end; x0 += group) {
                const int columns = std::min(group, end - x0);
                for (int col = 0; col < columns; ++col) {
                    for (int ch = 0; ch < 3; ++ch) {
                        offsets[col * 3 + ch] =
                            static_cast<std::size_t>(col) * bpp + static_cast<std::size_t>(ch);
                    }
                }
                blurLanes(pixels + static_cast<std::size_t>(x0) * bpp, rowBytes, height, offsets,
                          columns * 3, c, scratch.data());
            }
        },
        kColumnGroup * 4);
}

}  // namespace qorva
