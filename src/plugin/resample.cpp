#include "plugin/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "common/parallel.h"

namespace qorva {
namespace {

// Source step per target pixel along one axis. When enlarging, the step is shortened a little
// so that the last target pixel lands just inside the last source pixel instead of on the
// clamped edge.
double bilinearStep(int sourceSize, int targetSize) {
    const double S = sourceSize;
    if (sourceSize >= targetSize) return S / targetSize;
    return (S - S / targetSize) / targetSize;
}

struct Tap {
    int lo;
    int hi;
    double frac;
};

std::vector<Tap> bilinearTaps(int sourceSize, int targetSize) {
    const double s = bilinearStep(sourceSize, targetSize);
    std::vector<Tap> taps(static_cast<std::size_t>(targetSize));
    for (int i = 0; i < targetSize; ++i) {
        const double pos = i * s;
        const double whole = std::floor(pos);
        Tap& t = taps[static_cast<std::size_t>(i)];
        t.lo = std::min(static_cast<int>(whole), sourceSize - 1);
        t.hi = std::min(t.lo + 1, sourceSize - 1);
        t.frac = pos - whole;
    }
    return taps;
}

void bilinear(const std::uint8_t* src, int W, int H, std::uint8_t* dst, int w, int h, int ch) {
    const std::vector<Tap> cols = bilinearTaps(W, w);
    const std::vector<Tap> rows = bilinearTaps(H, h);
    const std::size_t srcRow = static_cast<std::size_t>(W) * static_cast<std::size_t>(ch);
    const std::size_t dstRow = static_cast<std::size_t>(w) * static_cast<std::size_t>(ch);
    parallelRows(h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const Tap& ty = rows[static_cast<std::size_t>(y)];
            const std::uint8_t* top = src + static_cast<std::size_t>(ty.lo) * srcRow;
            const std::uint8_t* bottom = src + static_cast<std::size_t>(ty.hi) * srcRow;
            std::uint8_t* out = dst + static_cast<std::size_t>(y) * dstRow;
            for (int x = 0; x < w; ++x) {
                const Tap& tx = cols[static_cast<std::size_t>(x)];
                const std::size_t l =
                    static_cast<std::size_t>(tx.lo) * static_cast<std::size_t>(ch);
                const std::size_t r =
                    static_cast<std::size_t>(tx.hi) * static_cast<std::size_t>(ch);
                for (int c = 0; c < ch; ++c) {
                    // The weighted sum of the four neighbours, written as two linear steps so
                    // that equal neighbours give back exactly their value before truncation.
                    const double a = top[l + c];
                    const double b = top[r + c];
                    const double d = bottom[l + c];
                    const double e = bottom[r + c];
                    const double upper = a + tx.frac * (b - a);
                    const double lower = d + tx.frac * (e - d);
                    const double v = upper + ty.frac * (lower - upper);
                    *out++ = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
                }
            }
        }
    });
}

// Start of each block along one axis: the position advances by the exact ratio per target
// pixel, summed in double. The start is kept far enough from the edge for a whole block.
std::vector<int> blockStarts(int sourceSize, int targetSize, int block) {
    const double step = static_cast<double>(sourceSize) / targetSize;
    std::vector<int> starts(static_cast<std::size_t>(targetSize));
    double pos = 0;
    for (int i = 0; i < targetSize; ++i) {
        starts[static_cast<std::size_t>(i)] = std::min(static_cast<int>(pos), sourceSize - block);
        pos += step;
    }
    return starts;
}

// Each block row is added once into column sums (a plain, vectorised run over the row), and
// the blocks then sum their b columns: the same integer sums, read once. Sum must hold b x 255.
template <class Sum>
void blockAverageByColumns(const std::uint8_t* src, int W, std::uint8_t* dst, int w, int h, int ch,
                           int b, const std::vector<int>& xs, const std::vector<int>& ys) {
    const std::size_t srcRow = static_cast<std::size_t>(W) * static_cast<std::size_t>(ch);
    const std::size_t dstRow = static_cast<std::size_t>(w) * static_cast<std::size_t>(ch);
    const std::uint64_t area = static_cast<std::uint64_t>(b) * static_cast<std::uint64_t>(b);
    parallelRows(h, [&](int begin, int end) {
        std::vector<Sum> columnSums(srcRow);
        Sum* sums = columnSums.data();
        const std::size_t n = srcRow;
        const std::size_t step = static_cast<std::size_t>(ch);
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* blockTop =
                src + static_cast<std::size_t>(ys[static_cast<std::size_t>(y)]) * srcRow;
            std::fill(columnSums.begin(), columnSums.end(), Sum{0});
            for (int j = 0; j < b; ++j) {
                const std::uint8_t* row = blockTop + static_cast<std::size_t>(j) * srcRow;
                for (std::size_t i = 0; i < n; ++i) sums[i] = static_cast<Sum>(sums[i] + row[i]);
            }
            std::uint8_t* out = dst + static_cast<std::size_t>(y) * dstRow;
            for (int x = 0; x < w; ++x) {
                const std::size_t x0 =
                    static_cast<std::size_t>(xs[static_cast<std::size_t>(x)]) * step;
                for (std::size_t c = 0; c < step; ++c) {
                    std::uint64_t sum = 0;
                    for (int i = 0; i < b; ++i)
                        sum += sums[x0 + c + static_cast<std::size_t>(i) * step];
                    *out++ = static_cast<std::uint8_t>(sum / area);
                }
            }
        }
    });
}

void blockAverage(const std::uint8_t* src, int W, int H, std::uint8_t* dst, int w, int h, int ch) {
    const double ex = static_cast<double>(W) / w;
    const double ey = static_cast<double>(H) / h;
    const int b = std::max(1, static_cast<int>(std::min(std::floor(ex), std::floor(ey))));
    const std::vector<int> xs = blockStarts(W, w, b);
    const std::vector<int> ys = blockStarts(H, h, b);
    const std::size_t srcRow = static_cast<std::size_t>(W) * static_cast<std::size_t>(ch);
    const std::size_t dstRow = static_cast<std::size_t>(w) * static_cast<std::size_t>(ch);
    // 64-bit sums: a block can be thousands of pixels wide when a huge image is shrunk a lot.
    const std::uint64_t area = static_cast<std::uint64_t>(b) * static_cast<std::uint64_t>(b);
    if (b <= 257) {
        // A column of up to 257 bytes sums to at most 65535: 16-bit column sums, half the
        // memory traffic and twice the lanes per instruction of 32-bit ones.
        blockAverageByColumns<std::uint16_t>(src, W, dst, w, h, ch, b, xs, ys);
        return;
    }
    if (b < (1 << 24)) {
        blockAverageByColumns<std::uint32_t>(src, W, dst, w, h, ch, b, xs, ys);
        return;
    }
    parallelRows(h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* blockTop =
                src + static_cast<std::size_t>(ys[static_cast<std::size_t>(y)]) * srcRow;
            std::uint8_t* out = dst + static_cast<std::size_t>(y) * dstRow;
            for (int x = 0; x < w; ++x) {
                const std::size_t x0 = static_cast<std::size_t>(xs[static_cast<std::size_t>(x)]) *
                                       static_cast<std::size_t>(ch);
                for (int c = 0; c < ch; ++c) {
                    std::uint64_t sum = 0;
                    for (int j = 0; j < b; ++j) {
                        const std::uint8_t* p = blockTop + static_cast<std::size_t>(j) * srcRow +
                                                x0 + static_cast<std::size_t>(c);
                        for (int i = 0; i < b; ++i)
                            sum += p[static_cast<std::size_t>(i) * static_cast<std::size_t>(ch)];
                    }
                    *out++ = static_cast<std::uint8_t>(sum / area);
                }
            }
        }
    });
}

}  // namespace

void resamplePixels(const std::uint8_t* src, int W, int H, std::uint8_t* dst, int w, int h,
                    int channels, int method) {
    if (method != 0 && w == W && h == H) {
        std::memcpy(dst, src,
                    static_cast<std::size_t>(W) * static_cast<std::size_t>(H) *
                        static_cast<std::size_t>(channels));
    } else if (method == 0 || w > W || h > H) {
        bilinear(src, W, H, dst, w, h, channels);
    } else {
        blockAverage(src, W, H, dst, w, h, channels);
    }
}

}  // namespace qorva
