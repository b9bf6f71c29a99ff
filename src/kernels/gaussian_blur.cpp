#include "kernels/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "common/parallel.h"
#include "common/wide_vectors.h"
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

// Truncation toward zero; the clamp only guards against a rounding overshoot wrapping a byte
// around (a white edge turning black), it never changes an in-range value. Branch-free, so the
// output loops vectorise.
inline std::uint8_t toByte(double y) {
    double v = y > 0 ? y : 0.0;
    v = v >= 255 ? 255.0 : v;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

// One step of the recursion for `lanes` independent lanes at once:
// out = c0 x in + c1 x p1 + c2 x p2 + c3 x p3, summed in that order. The arrays are disjoint
// rows of the scratch; in may be out itself.
inline void stepLanes(const Coefficients& c, const double* in, const double* __restrict p1,
                      const double* __restrict p2, const double* __restrict p3, double* out,
                      std::size_t lanes) {
    const double c0 = c.c0, c1 = c.c1, c2 = c.c2, c3 = c.c3;
    for (std::size_t j = 0; j < lanes; ++j)
        out[j] = c0 * in[j] + c1 * p1[j] + c2 * p2[j] + c3 * p3[j];
}

// Forward and backward recursion along `count` samples for several independent lanes at once
// (the channels of a group of rows, or of a group of neighbouring columns): w[k * lanes + j]
// holds sample k of lane j on entry and its blurred value on return. Every lane runs exactly the
// recursion it would run alone, so grouping lanes never changes a byte; it only gives the
// processor independent work for every step.
QORVA_WIDE_VECTORS void recurseLanes(double* w, std::size_t count, std::size_t lanes,
                                     const Coefficients& c) {
    const std::size_t n = count;
    const std::size_t l = lanes;
    const auto at = [&](std::size_t k) { return w + k * l; };

    // The first sample stands in for the samples before the start.
    for (std::size_t j = 0; j < l; ++j) {
        const double x0 = at(0)[j];
        const double w0 = c.c0 * x0 + c.c1 * x0 + c.c2 * x0 + c.c3 * x0;
        const double w1 = c.c0 * at(1)[j] + c.c1 * w0 + c.c2 * w0 + c.c3 * w0;
        const double w2 = c.c0 * at(2)[j] + c.c1 * w1 + c.c2 * w0 + c.c3 * w0;
        at(0)[j] = w0;
        at(1)[j] = w1;
        at(2)[j] = w2;
    }
    for (std::size_t k = 3; k < n; ++k)
        stepLanes(c, at(k), at(k - 1), at(k - 2), at(k - 3), at(k), l);

    // The last forward value stands in for the samples after the end.
    for (std::size_t j = 0; j < l; ++j) {
        const double wl = at(n - 1)[j];
        const double y1 = c.c0 * wl + c.c1 * wl + c.c2 * wl + c.c3 * wl;
        const double y2 = c.c0 * at(n - 2)[j] + c.c1 * y1 + c.c2 * y1 + c.c3 * y1;
        const double y3 = c.c0 * at(n - 3)[j] + c.c1 * y2 + c.c2 * y1 + c.c3 * y1;
        at(n - 1)[j] = y1;
        at(n - 2)[j] = y2;
        at(n - 3)[j] = y3;
    }
    for (std::size_t k = n - 3; k-- > 0;) {
        stepLanes(c, at(k), at(k + 1), at(k + 2), at(k + 3), at(k), l);
    }
}

// Rows recursed together in the horizontal pass and columns in the vertical pass: enough lanes
// (24 and 48) to keep the processor busy while each lane waits for its previous step, few
// enough that the scratch of a group stays near the cache.
constexpr int kRowGroup = 8;
constexpr int kColumnGroup = 16;

// The lane loads and stores below take everything as values and restrict pointers: a byte
// store may alias anything, and would otherwise make the compiler reload every bound.

// Sample k of channel ch of row r of a group of rows, at lane r * 3 + ch of scratch row k.
QORVA_WIDE_VECTORS void loadRows(const std::uint8_t* __restrict first, std::size_t rowBytes,
                                 std::size_t rows, std::size_t count, std::size_t bpp,
                                 double* __restrict w) {
    const std::size_t lanes = rows * 3;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint8_t* in = first + r * rowBytes;
        double* lane = w + r * 3;
        for (std::size_t k = 0; k < count; ++k) {
            lane[k * lanes] = in[k * bpp];
            lane[k * lanes + 1] = in[k * bpp + 1];
            lane[k * lanes + 2] = in[k * bpp + 2];
        }
    }
}

QORVA_WIDE_VECTORS void storeRows(const double* __restrict w, std::size_t rowBytes,
                                  std::size_t rows, std::size_t count, std::size_t bpp,
                                  std::uint8_t* __restrict first) {
    const std::size_t lanes = rows * 3;
    for (std::size_t r = 0; r < rows; ++r) {
        std::uint8_t* out = first + r * rowBytes;
        const double* lane = w + r * 3;
        for (std::size_t k = 0; k < count; ++k) {
            out[k * bpp] = toByte(lane[k * lanes]);
            out[k * bpp + 1] = toByte(lane[k * lanes + 1]);
            out[k * bpp + 2] = toByte(lane[k * lanes + 2]);
        }
    }
}

// Row k of a group of columns, channel by channel, at scratch row k.
QORVA_WIDE_VECTORS void loadColumns(const std::uint8_t* __restrict first, std::size_t rowBytes,
                                    std::size_t columns, std::size_t count, std::size_t bpp,
                                    double* __restrict w) {
    const std::size_t lanes = columns * 3;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t* in = first + k * rowBytes;
        double* lane = w + k * lanes;
        if (bpp == 3) {
            for (std::size_t j = 0; j < lanes; ++j) lane[j] = in[j];
        } else {
            for (std::size_t col = 0; col < columns; ++col) {
                for (std::size_t ch = 0; ch < 3; ++ch) lane[col * 3 + ch] = in[col * bpp + ch];
            }
        }
    }
}

QORVA_WIDE_VECTORS void storeColumns(const double* __restrict w, std::size_t rowBytes,
                                     std::size_t columns, std::size_t count, std::size_t bpp,
                                     std::uint8_t* __restrict first) {
    const std::size_t lanes = columns * 3;
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t* out = first + k * rowBytes;
        const double* lane = w + k * lanes;
        if (bpp == 3) {
            for (std::size_t j = 0; j < lanes; ++j) out[j] = toByte(lane[j]);
        } else {
            for (std::size_t col = 0; col < columns; ++col) {
                for (std::size_t ch = 0; ch < 3; ++ch)
                    out[col * bpp + ch] = toByte(lane[col * 3 + ch]);
            }
        }
    }
}

}  // namespace

void GaussianBlurCopy(const std::uint8_t* source, std::uint8_t* target, int width, int height,
                      double radius, int bytesPerPixel) {
    if (source == nullptr || target == nullptr || bytesPerPixel < 3) return;
    const std::size_t size = packedImageBytes(width, height, bytesPerPixel);
    if (size == 0) return;
    if (!(radius >= 0.62) || width < 3 || height < 3) {
        if (target != source) std::memmove(target, source, size);
        return;
    }
    const std::size_t rowBytes = packedImageBytes(width, 1, bytesPerPixel);
    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const Coefficients c = coefficientsFor(radius);

    // Horizontal: source rows into target rows, a group of rows at a time. Bytes beyond the
    // third of a pixel are carried over unchanged.
    if (bpp > 3 && target != source) std::memcpy(target, source, size);
    parallelRows(height, [&](int begin, int end) {
        std::vector<double> scratch(w * kRowGroup * 3);
        for (int y0 = begin; y0 < end; y0 += kRowGroup) {
            const std::size_t rows = static_cast<std::size_t>(std::min(kRowGroup, end - y0));
            const std::size_t offset = static_cast<std::size_t>(y0) * rowBytes;
            loadRows(source + offset, rowBytes, rows, w, bpp, scratch.data());
            recurseLanes(scratch.data(), w, rows * 3, c);
            storeRows(scratch.data(), rowBytes, rows, w, bpp, target + offset);
        }
    });

    // Vertical, in place in target: bands of columns, a group of neighbouring columns at a time
    // so that each row access reads a run of neighbouring bytes.
    parallelRows(
        width,
        [&](int begin, int end) {
            std::vector<double> scratch(h * kColumnGroup * 3);
            for (int x0 = begin; x0 < end; x0 += kColumnGroup) {
                const std::size_t columns =
                    static_cast<std::size_t>(std::min(kColumnGroup, end - x0));
                std::uint8_t* first = target + static_cast<std::size_t>(x0) * bpp;
                loadColumns(first, rowBytes, columns, h, bpp, scratch.data());
                recurseLanes(scratch.data(), h, columns * 3, c);
                storeColumns(scratch.data(), rowBytes, columns, h, bpp, first);
            }
        },
        kColumnGroup * 2);
}

void GaussianBlur(std::uint8_t* pixels, int width, int height, double radius, int bytesPerPixel) {
    GaussianBlurCopy(pixels, pixels, width, height, radius, bytesPerPixel);
}

}  // namespace qorva
