#include "kernels/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "kernels/packed_image.h"
#include "kernels/recursive_blur.h"

namespace qorva {
namespace blur {

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

namespace {

// Rows recursed together in the horizontal pass: 36 lanes keep the processor busy while each
// lane waits for its previous step (measured best among 4, 8, 12 and 16 rows), and a group's
// forward values (1.7 MB for a 6000-pixel row) stay near the cache.
constexpr std::size_t kRowGroup = 12;

// One group of rows: lane r * 3 + ch is channel ch of row r. Bytes are read straight from the
// rows in the forward recursion and written straight back in the backward one; in place is
// fine, since a group's last read comes before its first write.
template <bool kThroughTable, std::size_t kRows, std::size_t kBpp>
QORVA_ALWAYS_INLINE void rowGroup(const std::uint8_t* source, std::uint8_t* target,
                                  std::size_t rowBytes, std::size_t partialRows, std::size_t width,
                                  std::size_t pixelBytes, const Coefficients& c,
                                  const std::uint8_t* table, double* forward, double* ring) {
    // A full group of packed rows, the usual case, has its shape fixed at compile time, so that
    // its loops are laid out whole.
    const std::size_t rows = kRows != 0 ? kRows : partialRows;
    const std::size_t bpp = kBpp != 0 ? kBpp : pixelBytes;
    const std::size_t lanes = rows * 3;
    recurse(
        width, lanes, c, forward, ring,
        [&](std::size_t k, double* __restrict x) {
            const std::uint8_t* in = source + k * bpp;
            for (std::size_t r = 0; r < rows; ++r, in += rowBytes) {
                for (std::size_t ch = 0; ch < 3; ++ch)
                    x[r * 3 + ch] = kThroughTable ? table[in[ch]] : in[ch];
            }
        },
        [&](std::size_t k, const double* __restrict y) {
            std::uint8_t* out = target + k * bpp;
            for (std::size_t r = 0; r < rows; ++r, out += rowBytes) {
                for (std::size_t ch = 0; ch < 3; ++ch) out[ch] = toByte(y[r * 3 + ch]);
            }
        });
}

QORVA_WIDE_VECTORS void blurRowGroup(const std::uint8_t* source, std::uint8_t* target,
                                     std::size_t rowBytes, std::size_t rows, std::size_t width,
                                     std::size_t bpp, const Coefficients& c,
                                     const std::uint8_t* table, double* forward, double* ring) {
    if (rows == kRowGroup && bpp == 3) {
        if (table != nullptr) {
            rowGroup<true, kRowGroup, 3>(source, target, rowBytes, rows, width, bpp, c, table,
                                         forward, ring);
        } else {
            rowGroup<false, kRowGroup, 3>(source, target, rowBytes, rows, width, bpp, c, nullptr,
                                          forward, ring);
        }
    } else if (table != nullptr) {
        rowGroup<true, 0, 0>(source, target, rowBytes, rows, width, bpp, c, table, forward, ring);
    } else {
        rowGroup<false, 0, 0>(source, target, rowBytes, rows, width, bpp, c, nullptr, forward,
                              ring);
    }
}

// The vertical pass of the plain blur, in place: a group of columns read from image and its
// blurred bytes written back. Bytes beyond the third of a pixel are not touched.
QORVA_WIDE_VECTORS void blurColumnGroupInPlace(std::uint8_t* image, std::size_t rowBytes,
                                               std::size_t height, std::size_t bpp,
                                               std::size_t firstColumn, std::size_t columns,
                                               const Coefficients& c, const ColumnScratch& s) {
    if (bpp == 3) {
        packedColumnGroup(image, image, rowBytes, height, firstColumn, columns, c, s,
                          [](int, int blurred) { return static_cast<std::uint8_t>(blurred); });
        return;
    }
    std::uint8_t* first = image + firstColumn * bpp;
    const std::size_t lanes = columns * 3;
    recurse(
        height, lanes, c, s.forward, s.ring,
        [&](std::size_t k, double* __restrict x) {
            const std::uint8_t* in = first + k * rowBytes;
            for (std::size_t col = 0; col < columns; ++col) {
                for (std::size_t ch = 0; ch < 3; ++ch) x[col * 3 + ch] = in[col * bpp + ch];
            }
        },
        [&](std::size_t k, const double* __restrict y) {
            std::uint8_t* out = first + k * rowBytes;
            for (std::size_t col = 0; col < columns; ++col) {
                for (std::size_t ch = 0; ch < 3; ++ch)
                    out[col * bpp + ch] = toByte(y[col * 3 + ch]);
            }
        });
}

}  // namespace

void blurRows(const std::uint8_t* source, std::uint8_t* target, int width, int height,
              int bytesPerPixel, const Coefficients& c, const std::uint8_t* table) {
    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t rowBytes = w * bpp;
    parallelRows(height, [&](int begin, int end) {
        const std::size_t lanes = kRowGroup * 3;
        const std::unique_ptr<double[]> forward(new double[w * lanes]);
        const std::unique_ptr<double[]> ring(new double[4 * lanes]);
        for (int y0 = begin; y0 < end; y0 += static_cast<int>(kRowGroup)) {
            const std::size_t rows = std::min(kRowGroup, static_cast<std::size_t>(end - y0));
            const std::size_t offset = static_cast<std::size_t>(y0) * rowBytes;
            blurRowGroup(source + offset, target + offset, rowBytes, rows, w, bpp, c, table,
                         forward.get(), ring.get());
        }
    });
}

void forEachColumnGroup(
    int width, int height,
    const std::function<void(std::size_t, std::size_t, const ColumnScratch&)>& group) {
    const std::size_t h = static_cast<std::size_t>(height);
    parallelRows(
        width,
        [&](int begin, int end) {
            const std::size_t lanes = kColumnGroup * 3;
            const std::unique_ptr<double[]> forward(new double[h * lanes]);
            const std::unique_ptr<double[]> ring(new double[4 * lanes]);
            const ColumnScratch scratch{forward.get(), ring.get()};
            for (int x0 = begin; x0 < end; x0 += kColumnGroup) {
                group(static_cast<std::size_t>(x0),
                      static_cast<std::size_t>(std::min(kColumnGroup, end - x0)), scratch);
            }
        },
        kColumnGroup * 2);
}

}  // namespace blur

void GaussianBlurCopy(const std::uint8_t* source, std::uint8_t* target, int width, int height,
                      double radius, int bytesPerPixel) {
    if (source == nullptr || target == nullptr || bytesPerPixel < 3) return;
    const std::size_t size = packedImageBytes(width, height, bytesPerPixel);
    if (size == 0) return;
    if (!blur::blurs(radius, width, height)) {
        if (target != source) std::memmove(target, source, size);
        return;
    }
    const std::size_t bpp = static_cast<std::size_t>(bytesPerPixel);
    const std::size_t rowBytes = packedImageBytes(width, 1, bytesPerPixel);
    const std::size_t h = static_cast<std::size_t>(height);
    const blur::Coefficients c = blur::coefficientsFor(radius);

    // Horizontal: source rows into target rows. Bytes beyond the third of a pixel are carried
    // over unchanged.
    if (bpp > 3 && target != source) std::memcpy(target, source, size);
    blur::blurRows(source, target, width, height, bytesPerPixel, c);
    // Vertical, in place in target.
    blur::forEachColumnGroup(
        width, height,
        [&](std::size_t firstColumn, std::size_t columns, const blur::ColumnScratch& scratch) {
            blur::blurColumnGroupInPlace(target, rowBytes, h, bpp, firstColumn, columns, c,
                                         scratch);
        });
}

void GaussianBlur(std::uint8_t* pixels, int width, int height, double radius, int bytesPerPixel) {
    GaussianBlurCopy(pixels, pixels, width, height, radius, bytesPerPixel);
}

}  // namespace qorva
