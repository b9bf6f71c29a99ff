#include "pipelines/local_contrast.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "pipelines/binned_histogram.h"

namespace qorva {
namespace {

// The range search starts from the extremes of the float type, so an all-black plane gives a
// tiny positive range instead of zero.
constexpr float kSmallestNormalFloat = 1.17549435e-38f;
constexpr float kLargestFloat = 3.40282347e38f;
// Finer than the 256 byte levels, so that the stretched luminance keeps its half steps.
constexpr int kTileBins = 500;
constexpr float kTileLo = 0;
constexpr float kTileHi = 255;
constexpr double kInverse255 = 0.00392156862745098;
// Adding 1 to a float count stops changing it at 2^24. The tiles are counted in integers and
// read back with that ceiling, which is what counting in the float bins themselves gives.
constexpr std::uint32_t kFloatCountCeiling = 16777216;
// Neighbouring pixels often fall into the same bin; counting them into alternating copies of
// the histogram keeps one increment from waiting for the previous one.
constexpr int kCountCopies = 4;

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

// A run of columns that blends the same pair of tiles.
struct ColumnRun {
    int begin;
    int end;
    BlendCell cell;  // offset of the first column
};

std::vector<ColumnRun> columnRuns(const std::vector<BlendCell>& columns) {
    std::vector<ColumnRun> runs;
    for (int x = 0; x < static_cast<int>(columns.size()); ++x) {
        const BlendCell& c = columns[static_cast<std::size_t>(x)];
        if (runs.empty() || c.offset == 0 || runs.back().cell.nearTile != c.nearTile ||
            runs.back().cell.farTile != c.farTile) {
            runs.push_back({x, x + 1, c});
        } else {
            runs.back().end = x + 1;
        }
    }
    return runs;
}

// Smallest and largest sample of a row, NaN ignored. Kept in separate lanes so the compiler can
// use vector compares; the lanes give the same extremes as one pass from left to right (a
// signed zero found as the minimum may come out with the other sign, which the stretch below
// turns into the same 0 either way).
// The extremes of a row whose samples are all zero or positive and none NaN, as every luminance
// is: such floats order exactly like their bit patterns read as integers, and integer minimum
// and maximum vectorise. False, with nothing computed, for any other row.
QORVA_WIDE_VECTORS bool nonNegativeExtremes(const float* __restrict row, int w, float& mn,
                                            float& mx) {
    std::int32_t lo = INT32_MAX;
    std::int32_t hi = INT32_MIN;
    std::uint32_t other = 0;  // a sign bit, or a NaN's pattern above infinity's
    for (int x = 0; x < w; ++x) {
        std::int32_t bits;
        std::memcpy(&bits, row + x, sizeof bits);
        lo = bits < lo ? bits : lo;
        hi = bits > hi ? bits : hi;
        other |= static_cast<std::uint32_t>(bits) >> 31;
        other |= static_cast<std::uint32_t>(bits > 0x7f800000);
    }
    if (other != 0 || w <= 0) return false;
    float rowMin, rowMax;
    std::memcpy(&rowMin, &lo, sizeof rowMin);
    std::memcpy(&rowMax, &hi, sizeof rowMax);
    if (rowMin < mn) mn = rowMin;
    if (rowMax > mx) mx = rowMax;
    return true;
}

void rowExtremes(const float* row, int w, float& mn, float& mx) {
    if (nonNegativeExtremes(row, w, mn, mx)) return;
    constexpr int kLanes = 8;
    float lo[kLanes];
    float hi[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        lo[j] = mn;
        hi[j] = mx;
    }
    int x = 0;
    for (; x + kLanes <= w; x += kLanes) {
        for (int j = 0; j < kLanes; ++j) {
            const float v = row[x + j];
            lo[j] = v < lo[j] ? v : lo[j];
            hi[j] = v > hi[j] ? v : hi[j];
        }
    }
    for (; x < w; ++x) {
        if (row[x] < lo[0]) lo[0] = row[x];
        if (row[x] > hi[0]) hi[0] = row[x];
    }
    for (int j = 0; j < kLanes; ++j) {
        if (lo[j] < mn) mn = lo[j];
        if (hi[j] > mx) mx = hi[j];
    }
}

struct TileGrid {
    int tileW;
    int tileH;
    int nx;
    int ny;
};

TileGrid tileGrid(int w, int h, int divisions) {
    const int n = divisions < 1 ? 1 : divisions;
    TileGrid g;
    g.tileH = h / n;
    if (g.tileH == 0) g.tileH = h;
    g.tileW = w / n;
    if (g.tileW == 0) g.tileW = w;
    g.nx = w / g.tileW > 0 ? w / g.tileW : 1;
    g.ny = h / g.tileH > 0 ? h / g.tileH : 1;
    return g;
}

// The bin BinnedHistogram::add picks for a stretched sample s (never NaN or negative) in a
// histogram of kTileBins bins over [kTileLo, kTileHi], or kTileBins for a sample above the range,
// which add does not count. Branch-free, so that the row loop vectorises; a sample above the
// range is capped before the conversion so that the conversion stays defined.
inline int tileBinOf(float s) {
    const bool above = s > kTileHi;
    const float v = above ? kTileHi : s;
    const float t = (v - kTileLo) / (kTileHi - kTileLo);
    int k = static_cast<int>(static_cast<float>(kTileBins - 1) * t);
    k = k >= kTileBins ? kTileBins - 1 : k;
    return above ? kTileBins : k;
}

// Stretches the plane to 0..255 in place and counts the tile histograms from the stretched
// values in the same pass. A flat plane has no range; its samples become 0 (the division
// yields NaN there, which the lower clamp catches).
void stretchAndCount(FloatPlane& plane, const TileGrid& g, std::vector<BinnedHistogram>& tiles) {
    const int w = plane.width;
    const int h = plane.height;
    std::vector<float> rowMin(static_cast<std::size_t>(h), kLargestFloat);
    std::vector<float> rowMax(static_cast<std::size_t>(h), kSmallestNormalFloat);
    parallelRows(h, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            rowExtremes(plane.row(y), w, rowMin[static_cast<std::size_t>(y)],
                        rowMax[static_cast<std::size_t>(y)]);
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

    // Integer counts are the same whichever band adds them, so bands need not follow tile rows:
    // each band counts what it sees and the bands' counts are summed afterwards.
    const std::size_t binStride = kTileBins + 1;  // one spare bin for values not counted
    const std::size_t tileCount = tiles.size();
    std::vector<std::uint64_t> totals(tileCount * kTileBins, 0);
    BandLock totalsLock;
    const int countedRows = g.ny * g.tileH;
    const int countedCols = g.nx * g.tileW;

    // A band's 32-bit counts go into the totals before they could wrap (only a tile of more
    // than 2^32 pixels gets that far).
    const int rowsBeforeFlush = static_cast<int>(std::min<std::uint64_t>(
        UINT32_MAX / static_cast<std::uint64_t>(g.tileW), static_cast<std::uint64_t>(h)));

    parallelRows(h, [&](int begin, int end) {
        const int tyFirst = std::min(begin / g.tileH, g.ny - 1);
        const int tyLast = std::min((end - 1) / g.tileH, g.ny - 1);
        const std::size_t bandTiles = static_cast<std::size_t>(tyLast - tyFirst + 1) * g.nx;
        std::vector<std::uint32_t> counts(bandTiles * kCountCopies * binStride, 0);
        std::vector<int> bins(static_cast<std::size_t>(w));
        auto flush = [&] {
            std::lock_guard<BandLock> guard(totalsLock);
            for (std::size_t t = 0; t < bandTiles; ++t) {
                std::uint64_t* total =
                    &totals[(static_cast<std::size_t>(tyFirst) * g.nx + t) * kTileBins];
                std::uint32_t* c = &counts[t * kCountCopies * binStride];
                for (int j = 0; j < kCountCopies; ++j) {
                    for (int k = 0; k < kTileBins; ++k) total[k] += c[j * binStride + k];
                }
            }
            std::fill(counts.begin(), counts.end(), 0);
        };
        // Locals, so the compiler knows the stores below cannot change the loop bounds.
        const int cols = countedCols;
        const int width = w;
        int rowsCounted = 0;
        for (int y = begin; y < end; ++y) {
            float* row = plane.row(y);
            for (int x = 0; x < width; ++x) {
                const float s = (row[x] - mn) * inverse * 255;
                row[x] = s > 0 ? s : 0.0f;
            }
            if (y >= countedRows) continue;
            int* binOfColumn = bins.data();
            for (int x = 0; x < cols; ++x) binOfColumn[x] = tileBinOf(row[x]);
            const std::size_t tileRow = static_cast<std::size_t>(y / g.tileH - tyFirst) * g.nx;
            for (int tx = 0; tx < g.nx; ++tx) {
                std::uint32_t* c = &counts[(tileRow + tx) * kCountCopies * binStride];
                const int* b = &bins[static_cast<std::size_t>(tx) * g.tileW];
                int x = 0;
                for (; x + kCountCopies <= g.tileW; x += kCountCopies) {
                    for (int j = 0; j < kCountCopies; ++j) ++c[j * binStride + b[x + j]];
                }
                for (; x < g.tileW; ++x) ++c[b[x]];
            }
            if (++rowsCounted == rowsBeforeFlush) {
                flush();
                rowsCounted = 0;
            }
        }
        flush();
    });

    for (std::size_t t = 0; t < tileCount; ++t) {
        BinnedHistogram& histogram = tiles[t];
        histogram.reset(kTileBins, kTileLo, kTileHi);
        const std::uint64_t* total = &totals[t * kTileBins];
        for (int k = 0; k < kTileBins; ++k) {
            histogram.bins[k] =
                static_cast<float>(std::min<std::uint64_t>(total[k], kFloatCountCeiling));
            if (total[k] != 0) {
                histogram.lowestUsedBin = std::min(histogram.lowestUsedBin, k);
                histogram.highestUsedBin = std::max(histogram.highestUsedBin, k);
            }
        }
    }
}

// The tile mappings laid out for the blend: per tile its bins and the steps to the next bin.
// Usable when every mapping reads its argument the same way (same bin count and range), which
// is the case unless a tile had nothing to count.
struct MappingTables {
    bool uniform = false;
    int binCount = 0;
    float lo = 0;
    float hi = 0;
    std::size_t stride = 0;
    std::vector<float> bins;   // per tile: bins 0 .. binCount - 2
    std::vector<float> steps;  // per tile: bins[k + 1] - bins[k]

    const float* binsOf(std::size_t t) const { return &bins[t * stride]; }
    const float* stepsOf(std::size_t t) const { return &steps[t * stride]; }
};

MappingTables layoutMappings(const std::vector<BinnedHistogram>& mappings) {
    MappingTables tables;
    if (mappings.empty()) return tables;
    const BinnedHistogram& first = mappings.front();
    if (first.binCount < 2) return tables;
    for (const BinnedHistogram& m : mappings) {
        if (m.binCount != first.binCount || !(m.lo == first.lo) || !(m.hi == first.hi)) {
            return tables;
        }
    }
    tables.uniform = true;
    tables.binCount = first.binCount;
    tables.lo = first.lo;
    tables.hi = first.hi;
    tables.stride = static_cast<std::size_t>(first.binCount - 1);
    tables.bins.resize(tables.stride * mappings.size());
    tables.steps.resize(tables.stride * mappings.size());
    for (std::size_t t = 0; t < mappings.size(); ++t) {
        float* b = &tables.bins[t * tables.stride];
        float* d = &tables.steps[t * tables.stride];
        const float* source = mappings[t].bins.get();
        for (int k = 0; k + 1 < first.binCount; ++k) {
            b[k] = source[k];
            d[k] = source[k + 1] - source[k];
        }
    }
    return tables;
}

// The four mappings around a run of pixels that blends the same tiles.
struct Corners {
    const float* tlBins;
    const float* tlSteps;
    const float* trBins;
    const float* trSteps;
    const float* blBins;
    const float* blSteps;
    const float* brBins;
    const float* brSteps;
};

// One run of a row: valueAt of each corner mapping at the pixel's position, weighted by the
// pixel's integer distances within its sub-region. The table reads are the only gathers; the
// rest vectorises.
QORVA_WIDE_VECTORS void blendRun(const Corners& c, const int* bin, const float* frac,
                                 float* __restrict out, int count, int firstOffset, int sw, int sh,
                                 int yy) {
    const float weightUpper = static_cast<float>(sh - yy);
    const float weightLower = static_cast<float>(yy);
    const float area =
        static_cast<float>(static_cast<std::int64_t>(sw) * static_cast<std::int64_t>(sh));
    // Locals, so the compiler knows the stores to out cannot move the tables.
    const float* tlBins = c.tlBins;
    const float* tlSteps = c.tlSteps;
    const float* trBins = c.trBins;
    const float* trSteps = c.trSteps;
    const float* blBins = c.blBins;
    const float* blSteps = c.blSteps;
    const float* brBins = c.brBins;
    const float* brSteps = c.brSteps;
    for (int i = 0; i < count; ++i) {
        const int k = bin[i];
        const float f = frac[i];
        const float tl = 255 * (tlBins[k] + f * tlSteps[k]);
        const float tr = 255 * (trBins[k] + f * trSteps[k]);
        const float bl = 255 * (blBins[k] + f * blSteps[k]);
        const float br = 255 * (brBins[k] + f * brSteps[k]);
        const int xx = firstOffset + i;
        const float left = static_cast<float>(sw - xx);
        const float right = static_cast<float>(xx);
        out[i] = (weightUpper * (left * tl + right * tr) + weightLower * (left * bl + right * br)) /
                 area;
    }
}

// Where each sample of a row reads the mappings, as valueAt finds it: the bin and the fraction
// towards the next one.
QORVA_WIDE_VECTORS void readPositions(const float* __restrict in, int w, float lo, float span,
                                      int binCount, int* __restrict bin, float* __restrict frac) {
    const int lastBin = binCount - 2;
    const float positions = static_cast<float>(binCount - 2);
    // An empty range puts every value at position 0.
    const float scale = span == 0 ? 0.0f : 1.0f;
    const float divisor = span == 0 ? 1.0f : span;
    for (int x = 0; x < w; ++x) {
        const float v = static_cast<float>(in[x] * kInverse255);
        float t = scale * ((v - lo) / divisor);
        const bool positive = t > 0;
        const bool above = t > 1;
        t = above ? 1.0f : t;
        t = positive ? t : 0.0f;
        const float p = t * positions;
        int k = static_cast<int>(p);
        k = k > lastBin ? lastBin : k;
        bin[x] = k;
        frac[x] = p - static_cast<float>(k);
    }
}

// Everything the blend of one row needs, shared by all bands.
struct Blend {
    const FloatPlane* source;
    const std::vector<BinnedHistogram>* mappings;
    MappingTables tables;
    std::vector<BlendCell> columns;
    std::vector<BlendCell> rows;
    std::vector<ColumnRun> runs;
    int nx;
};

// Per-band scratch of the blend: where each sample of a row reads the mappings.
struct BlendScratch {
    std::vector<int> bin;
    std::vector<float> frac;
};

// The blend of one row, as BinnedHistogram::valueAt reads the four tile mappings around each
// pixel, with the position in the mappings worked out once per pixel instead of four times.
void blendRow(const Blend& blend, int y, float* out, BlendScratch& scratch) {
    const float* in = blend.source->row(y);
    const int w = blend.source->width;
    const BlendCell& r = blend.rows[static_cast<std::size_t>(y)];
    const int sh = r.length;
    const int yy = r.offset;
    const std::size_t nx = static_cast<std::size_t>(blend.nx);

    if (!blend.tables.uniform) {
        const BinnedHistogram* upper =
            &(*blend.mappings)[static_cast<std::size_t>(r.nearTile) * nx];
        const BinnedHistogram* lower = &(*blend.mappings)[static_cast<std::size_t>(r.farTile) * nx];
        for (int x = 0; x < w; ++x) {
            const BlendCell& c = blend.columns[static_cast<std::size_t>(x)];
            const float v = static_cast<float>(in[x] * kInverse255);
            const float tl = 255 * upper[c.nearTile].valueAt(v);
            const float tr = 255 * upper[c.farTile].valueAt(v);
            const float bl = 255 * lower[c.nearTile].valueAt(v);
            const float br = 255 * lower[c.farTile].valueAt(v);
            const int sw = c.length;
            const int xx = c.offset;
            // Integer distances as weights: the first pixel of a sub-region takes the left or
            // upper mapping alone.
            const float area =
                static_cast<float>(static_cast<std::int64_t>(sw) * static_cast<std::int64_t>(sh));
            out[x] =
                ((sh - yy) * ((sw - xx) * tl + xx * tr) + yy * ((sw - xx) * bl + xx * br)) / area;
        }
        return;
    }

    const MappingTables& tables = blend.tables;
    readPositions(in, w, tables.lo, tables.hi - tables.lo, tables.binCount, scratch.bin.data(),
                  scratch.frac.data());
    const int* bin = scratch.bin.data();
    const float* frac = scratch.frac.data();

    const std::size_t upperRow = static_cast<std::size_t>(r.nearTile) * nx;
    const std::size_t lowerRow = static_cast<std::size_t>(r.farTile) * nx;
    for (const ColumnRun& run : blend.runs) {
        const std::size_t tl = upperRow + static_cast<std::size_t>(run.cell.nearTile);
        const std::size_t tr = upperRow + static_cast<std::size_t>(run.cell.farTile);
        const std::size_t bl = lowerRow + static_cast<std::size_t>(run.cell.nearTile);
        const std::size_t br = lowerRow + static_cast<std::size_t>(run.cell.farTile);
        const Corners corners{tables.binsOf(tl),  tables.stepsOf(tl), tables.binsOf(tr),
                              tables.stepsOf(tr), tables.binsOf(bl),  tables.stepsOf(bl),
                              tables.binsOf(br),  tables.stepsOf(br)};
        blendRun(corners, bin + run.begin, frac + run.begin, out + run.begin, run.end - run.begin,
                 run.cell.offset, run.cell.length, sh, yy);
    }
}

}  // namespace

void equalizeLocalContrastBands(FloatPlane& source, int divisions, float strength, float smoothness,
                                const RunContext& context, const EqualisedBandFn& band) {
    const int w = source.width;
    const int h = source.height;
    if (w <= 0 || h <= 0) {
        reportProgress(context, 60);
        return;
    }

    const TileGrid g = tileGrid(w, h, divisions);
    const std::size_t tileCount = static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny);
    std::vector<BinnedHistogram> histograms(tileCount);
    std::vector<BinnedHistogram> mappings(tileCount);
    stretchAndCount(source, g, histograms);

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

    Blend blend;
    blend.source = &source;
    blend.mappings = &mappings;
    blend.tables = layoutMappings(mappings);
    blend.columns = layoutBlendAxis(w, g.tileW, g.nx);
    blend.rows = layoutBlendAxis(h, g.tileH, g.ny);
    blend.runs = columnRuns(blend.columns);
    blend.nx = g.nx;
    parallelRows(h, [&](int begin, int end) {
        BlendScratch scratch;
        scratch.bin.resize(static_cast<std::size_t>(w));
        scratch.frac.resize(static_cast<std::size_t>(w));
        const EqualisedRowFn row = [&](int y, float* out) { blendRow(blend, y, out, scratch); };
        band(begin, end, row);
    });
}

void equalizeLocalContrast(FloatPlane& source, FloatPlane& destination, int divisions,
                           float strength, float smoothness, const RunContext& context) {
    if (source.width != destination.width || source.height != destination.height) {
        throw std::invalid_argument("equalizeLocalContrast: planes differ in size");
    }
    equalizeLocalContrastBands(source, divisions, strength, smoothness, context,
                               [&](int begin, int end, const EqualisedRowFn& row) {
                                   for (int y = begin; y < end; ++y) row(y, destination.row(y));
                               });
}

}  // namespace qorva
