#include "pipelines/local_contrast.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "common/parallel.h"
#include "pipelines/binned_histogram.h"

namespace qorva {
namespace {

// The range search starts from the extremes of the float type, so an all-black plane gives a
// tiny positive range instead of zero.
constexpr float kSmallestNormalFloat = 1.17549435e-38f;
constexpr float kLargestFloat = 3.40282347e38f;
// Finer than the 256 byte levels, so that the stretched luminance keeps its half steps.
constexpr int kTileBins = 500;
constexpr double kInverse255 = 0.00392156862745098;

// Where one position along an axis sits in the blend: the two tiles whose mappings it mixes
// (left/right or upper/lower) and its offset within a sub-region of the given length.
struct BlendCell {
    int nearTile;
    int farTile;
    int offset;
    int length;
};

// Sub-regions along one axis: half a tile at the start, whole tiles between two tile centres,
// and the rest of the image at the end, so the outermost tiles' mappings reach the border and
// every position gets a value.
std::vector<BlendCell> layoutBlendAxis(int size, int tileSize, int tiles) {
    std::vector<BlendCell> cells(static_cast<std::size_t>(size));
    int pos = 0;
    for (int i = 0; i <= tiles && pos < size; ++i) {
        int length = tileSize;
        int nearTile = i - 1;
        int farTile = i;
        if (i == 0) {
            length = tileSize / 2;
            nearTile = farTile = 0;
        } else if (i == tiles) {
            length = size - pos;
            nearTile = farTile = tiles - 1;
        }
        for (int o = 0; o < length && pos + o < size; ++o) {
            cells[static_cast<std::size_t>(pos + o)] = {nearTile, farTile, o, length};
        }
        pos += length;
    }
    return cells;
}

// Stretches the plane to 0..255 in place. A flat plane has no range; its samples become 0
// (the division yields NaN there, which the lower clamp catches).
void stretchToByteRange(FloatPlane& plane) {
    const int w = plane.width;
    const int h = plane.height;
    std::vector<float> rowMin(static_cast<std::size_t>(h));
    std::vector<float> rowMax(static_cast<std::size_t>(h));
    parallelRows(h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            float mn = kLargestFloat;
            float mx = kSmallestNormalFloat;
            const float* row = plane.row(y);
            for (int x = 0; x < w; ++x) {
                if (row[x] < mn) mn = row[x];
                if (row[x] > mx) mx = row[x];
            }
            rowMin[static_cast<std::size_t>(y)] = mn;
            rowMax[static_cast<std::size_t>(y)] = mx;
        }
    });
    // Combined in row order, which is what a single pass over the plane finds.
    float mn = kLargestFloat;
    float mx = kSmallestNormalFloat;
    for (std::size_t y = 0; y < rowMin.size(); ++y) {
        if (rowMin[y] < mn) mn = rowMin[y];
        if (rowMax[y] > mx) mx = rowMax[y];
    }
    const float range = mx - mn;
    const float inverse = 1 / range;
    parallelRows(h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            float* row = plane.row(y);
            for (int x = 0; x < w; ++x) {
                float s = (row[x] - mn) * inverse * 255;
                if (!(s > 0)) s = 0;
                row[x] = s;
            }
        }
    });
}

}  // namespace

void equalizeLocalContrast(FloatPlane& source, FloatPlane& destination, int divisions,
                           float strength, float smoothness, const RunContext& context) {
    if (source.width != destination.width || source.height != destination.height) {
        throw std::invalid_argument("equalizeLocalContrast: planes differ in size");
    }
    const int w = source.width;
    const int h = source.height;
    if (w <= 0 || h <= 0) {
        reportProgress(context, 60);
        return;
    }

    stretchToByteRange(source);

    const int n = divisions < 1 ? 1 : divisions;
    int tileH = h / n;
    if (tileH == 0) tileH = h;
    int tileW = w / n;
    if (tileW == 0) tileW = w;
    const int nx = w / tileW > 0 ? w / tileW : 1;
    const int ny = h / tileH > 0 ? h / tileH : 1;
    const std::size_t tileCount = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);

    std::vector<BinnedHistogram> histograms(tileCount);
    std::vector<BinnedHistogram> mappings(tileCount);
    for (auto& histogram : histograms) {
        histogram.reset(kTileBins, 0, 255);
        histogram.fill(0);
    }

    // Each band of tile rows owns its tiles' histograms outright.
    parallelRows(
        ny,
        [&](int begin, int end) {
            for (int ty = begin; ty < end; ++ty) {
                BinnedHistogram* tileRow = &histograms[static_cast<std::size_t>(ty) * nx];
                for (int y = ty * tileH; y < (ty + 1) * tileH; ++y) {
                    const float* row = source.row(y);
                    for (int tx = 0; tx < nx; ++tx) {
                        for (int x = tx * tileW; x < (tx + 1) * tileW; ++x) {
                            tileRow[tx].add(row[x], 1);
                        }
                    }
                }
            }
        },
        1);

    reportProgress(context, 60);

    const float limitFactor = (1 - smoothness) * 7 + 1.5f;
    parallelRows(
        static_cast<int>(tileCount),
        [&](int begin, int end) {
            for (int t = begin; t < end; ++t) {
                BinnedHistogram& histogram = histograms[static_cast<std::size_t>(t)];
                BinnedHistogram& mapping = mappings[static_cast<std::size_t>(t)];
                histogram.clip(limitFactor);
                mapping.normalizeFrom(histogram, 0, 1);
                mapping.blendWithIdentity(strength);
            }
        },
        1);
    histograms.clear();

    const std::vector<BlendCell> columns = layoutBlendAxis(w, tileW, nx);
    const std::vector<BlendCell> rows = layoutBlendAxis(h, tileH, ny);
    parallelRows(h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const BlendCell& r = rows[static_cast<std::size_t>(y)];
            const BinnedHistogram* upper = &mappings[static_cast<std::size_t>(r.nearTile) * nx];
            const BinnedHistogram* lower = &mappings[static_cast<std::size_t>(r.farTile) * nx];
            const int sh = r.length;
            const int yy = r.offset;
            const float* in = source.row(y);
            float* out = destination.row(y);
            for (int x = 0; x < w; ++x) {
                const BlendCell& c = columns[static_cast<std::size_t>(x)];
                const float v = static_cast<float>(in[x] * kInverse255);
                const float tl = 255 * upper[c.nearTile].valueAt(v);
                const float tr = 255 * upper[c.farTile].valueAt(v);
                const float bl = 255 * lower[c.nearTile].valueAt(v);
                const float br = 255 * lower[c.farTile].valueAt(v);
                const int sw = c.length;
                const int xx = c.offset;
                // Integer distances as weights: the first pixel of a sub-region takes the left
                // or upper mapping alone.
                const float area = static_cast<float>(static_cast<std::int64_t>(sw) *
                                                      static_cast<std::int64_t>(sh));
                out[x] =
                    ((sh - yy) * ((sw - xx) * tl + xx * tr) + yy * ((sw - xx) * bl + xx * br)) /
                    area;
            }
        }
    });
}

}  // namespace qorva
