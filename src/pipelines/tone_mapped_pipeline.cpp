#include "pipelines/tone_mapped_pipeline.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "colour/color_pass.h"
#include "common/large_buffer.h"
#include "common/parallel.h"
#include "common/wide_vectors.h"
#include "pipelines/color_matrix.h"
#include "pipelines/colour_back.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"
#include "pipelines/method_run.h"
#include "pipelines/row_runs.h"
#include "tonemap/tone_mapper.h"

namespace qorva {
namespace {

constexpr double kInverse255 = 0.00392156862745098;

// The global equalisation uses 127 bins; its cumulative table has one entry more.
constexpr int kGlobalBins = 127;

float toUnit(std::uint8_t byte) {
    return static_cast<float>(byte * kInverse255);
}

struct ToneMapperDeleter {
    void operator()(ToneMapper* state) const { tmDestroyState(state); }
};

// An engine code 1 is the engine's way of saying that memory ran out; the run ends like any
// other allocation failure.
void throwIfOutOfMemory(int code) {
    if (code == kTmOutOfMemory) throw std::bad_alloc();
}

// The linear value of every byte, built once per run: the engine reads its input through it
// and the mix with the engine's bytes reads those through it.
struct ByteTerms {
    float unit[256];

    ByteTerms() {
        for (int b = 0; b < 256; ++b) unit[b] = toUnit(static_cast<std::uint8_t>(b));
    }
};

// Runs the tone-mapping engine over the whole image and returns its display bytes (three per
// pixel). Returns no buffer when the engine cannot compute a mapping (fewer than 700 pixels
// with countable brightness, e.g. a tiny preview): there is then nothing to mix in.
LargeArray<std::uint8_t> runEngine(const std::uint8_t* image, int width, int height,
                                   const ByteTerms& terms) {
    const std::size_t count = static_cast<std::size_t>(width) * height;
    const auto n = static_cast<std::ptrdiff_t>(count);
    LargeArray<std::int16_t> codes = makeLargeArray<std::int16_t>(count);
    LargeArray<std::uint8_t> colourBytes = makeLargeArray<std::uint8_t>(3 * count);
    LargeArray<std::uint8_t> result = makeLargeArray<std::uint8_t>(3 * count);

    // The pipelines pass 2.2 in single precision, as the product always has.
    std::unique_ptr<ToneMapper, ToneMapperDeleter> state(tmCreateState(2.2f));
    if (!state) throw std::bad_alloc();
    throwIfOutOfMemory(
        tmCvBytes(state.get(), codes.get(), colourBytes.get(), image, n, terms.unit));
    throwIfOutOfMemory(tmAddHisto(state.get(), codes.get(), n, 1));
    const int mapping = tmComputeMapping(state.get(), 2.2f, 0, 0);
    throwIfOutOfMemory(mapping);
    if (mapping != kTmOk) return nullptr;
    const int mapped = tmMapPixels(state.get(), result.get(), codes.get(), colourBytes.get(), n);
    throwIfOutOfMemory(mapped);
    if (mapped != kTmOk) return nullptr;
    return result;
}

// The linear value of a channel byte, toUnit computed inline rather than looked up, so that the
// loops that use it vectorise.
QORVA_ALWAYS_INLINE float unitOf(int byte) {
    return static_cast<float>(byte * kInverse255);
}

// Component i of applyColorMatrix(u0, u1, u2, kRgbToXyz): products and sums in double, the
// result rounded to single precision and held at 0 from below.
QORVA_ALWAYS_INLINE float componentOf(std::size_t i, float u0, float u1, float u2) {
    const double a = kRgbToXyz[i][0];
    const double b = kRgbToXyz[i][1];
    const double c = kRgbToXyz[i][2];
    const float v = static_cast<float>(a * u0 + b * u1 + c * u2);
    return v < 0 ? 0.0f : v;
}

// Y of a run of pixels, straight from their bytes.
QORVA_WIDE_VECTORS void luminanceRow(const std::uint8_t* __restrict px, int w,
                                     float* __restrict ys) {
    for (int x = 0; x < w; ++x) {
        const float u0 = unitOf(px[3 * x]);
        const float u1 = unitOf(px[3 * x + 1]);
        const float u2 = unitOf(px[3 * x + 2]);
        ys[x] = componentOf(1, u0, u1, u2);
    }
}

// X, Y and Z of a run of pixels in one pass over their bytes.
QORVA_WIDE_VECTORS void xyzRow(const std::uint8_t* __restrict px, int w, float* __restrict xs,
                               float* __restrict ys, float* __restrict zs) {
    for (int x = 0; x < w; ++x) {
        const float u0 = unitOf(px[3 * x]);
        const float u1 = unitOf(px[3 * x + 1]);
        const float u2 = unitOf(px[3 * x + 2]);
        xs[x] = componentOf(0, u0, u1, u2);
        ys[x] = componentOf(1, u0, u1, u2);
        zs[x] = componentOf(2, u0, u1, u2);
    }
}

// Per-band reductions are combined under a lock; minimum, maximum and integer counts do not
// depend on the order of combination, so any thread count gives the serial result.
struct LuminanceRange {
    float lo = FLT_MAX;
    float hi = 0.0001f;
};

LuminanceRange findRange(const std::uint8_t* image, int width, int height) {
    LuminanceRange total;
    BandLock lock;
    parallelRows(height, [&](int begin, int end) {
        LuminanceRange band;
        float ys[kRun];
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* px = image + static_cast<std::size_t>(y) * width * 3;
            forEachRun(width, [&](int first, int n) {
                luminanceRow(px + 3 * static_cast<std::size_t>(first), n, ys);
                for (int x = 0; x < n; ++x) {
                    if (ys[x] < band.lo) band.lo = ys[x];
                    if (ys[x] > band.hi) band.hi = ys[x];
                }
            });
        }
        std::lock_guard<BandLock> guard(lock);
        total.lo = std::min(total.lo, band.lo);
        total.hi = std::max(total.hi, band.hi);
    });
    return total;
}

// Contrast-limited global equalisation of the luminance: a 127-bin histogram whose bins are
// held to the share of the pixels that their width is of the luminance range, returned as its
// 128-entry cumulative table from 0 to 1.
// The global histogram's bin of each luminance of a row.
QORVA_WIDE_VECTORS void binsRow(const float* __restrict ys, int w, float lo, float range,
                                int* __restrict bins) {
    for (int x = 0; x < w; ++x) {
        const int bin = static_cast<int>((ys[x] - lo) / range * kGlobalBins);
        const int low = bin < 0 ? 0 : bin;
        bins[x] = low > kGlobalBins - 1 ? kGlobalBins - 1 : low;
    }
}

std::vector<float> globalEqualisation(const RunContext& context, const std::uint8_t* image,
                                      int width, int height, float lo, float range) {
    std::vector<long long> counts(kGlobalBins, 0);
    BandLock lock;
    parallelRows(height, [&](int begin, int end) {
        long long band[kGlobalBins] = {};
        float ys[kRun];
        int bins[kRun];
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* px = image + static_cast<std::size_t>(y) * width * 3;
            forEachRun(width, [&](int first, int n) {
                luminanceRow(px + 3 * static_cast<std::size_t>(first), n, ys);
                binsRow(ys, n, lo, range, bins);
                for (int x = 0; x < n; ++x) ++band[bins[x]];
            });
        }
        std::lock_guard<BandLock> guard(lock);
        for (int k = 0; k < kGlobalBins; ++k) counts[static_cast<std::size_t>(k)] += band[k];
    });
    reportProgress(context, 40);

    // Counted as integers, so that a bin of a very large image does not stop growing at the
    // 2^24 where adding 1 to a float no longer changes it.
    std::vector<float> bins(counts.begin(), counts.end());
    auto total = [&bins] {
        double acc = 0;
        for (float b : bins) acc += b;
        return static_cast<float>(acc);
    };
    const float sum = total();
    const auto step = static_cast<float>(range * 0.007874016);
    const long threshold = std::lround(sum * 0.025f);
    for (;;) {
        const float remaining = total();
        if (remaining < threshold) break;
        // Never below one count: a small image (a Fast preview, a thumbnail) keeps one count
        // per occupied bin, so its equalisation stays close to the one a size up instead of
        // vanishing when the share of a bin rounds to nothing.
        const auto ceiling = static_cast<float>(std::max(1L, std::lround(step * remaining)));
        double trimmed = 0;
        for (float& b : bins) {
            if (b > ceiling) {
                trimmed += b - ceiling;
                b = ceiling;
            }
        }
        if (trimmed <= threshold) break;
    }

    std::vector<float> cumulative(kGlobalBins + 1);
    cumulative[0] = 0;
    for (int k = 0; k < kGlobalBins; ++k) {
        cumulative[static_cast<std::size_t>(k) + 1] =
            cumulative[static_cast<std::size_t>(k)] + bins[static_cast<std::size_t>(k)];
    }
    const float last = cumulative[kGlobalBins];
    if (last > 0) {
        for (float& f : cumulative) f /= last;
    } else {
        // Only a histogram that was empty from the start has nothing to equalise: keep the
        // luminance order as it is (the identity ramp) rather than divide by zero.
        for (int k = 0; k <= kGlobalBins; ++k) {
            cumulative[static_cast<std::size_t>(k)] = static_cast<float>(k) / kGlobalBins;
        }
    }
    return cumulative;
}

// The global equalisation of a row and its return to RGB, mixed with the engine's bytes when
// there are any, with the row's luminance on the 0..255 scale for the local equalisation.
struct GlobalMapping {
    float lo;
    float range;
    const float* cumulative;  // kGlobalBins + 1 entries
    float q;                  // Natural/Saturated: the share of the equalised colour
};

// Three plain runs, so that each vectorises: the position of every pixel in the cumulative
// table (the table reads of the second run need indices already in memory), the equalised
// colour, and the mix with the engine's bytes with the luminance of the result.
// Without kLuminance, ls is not written: the local stage works the colour out again but divides
// by the luminance the first pass stored.
template <bool kLuminance>
QORVA_ALWAYS_INLINE void globalRun(const GlobalMapping& m, const ByteTerms& terms,
                                   const float* __restrict xs, const float* __restrict ys,
                                   const float* __restrict zs,
                                   const std::uint8_t* __restrict engine, int w,
                                   float* __restrict rs, float* __restrict gs, float* __restrict bs,
                                   float* __restrict ls, int* __restrict bin,
                                   float* __restrict position) {
    const float lo = m.lo;
    const float range = m.range;
    for (int x = 0; x < w; ++x) {
        // std::clamp to [0, 1], without branches.
        const float u = (ys[x] - lo) / range;
        const float capped = 1 < u ? 1.0f : u;
        const float t = u < 0 ? 0.0f : capped;
        const float p = kGlobalBins * t;
        const int whole = static_cast<int>(p);
        bin[x] = whole < kGlobalBins - 1 ? whole : kGlobalBins - 1;
        position[x] = p;
    }

    const float* cum = m.cumulative;
    // applyColorMatrix with kXyzToRgb, written out.
    const double m00 = kXyzToRgb[0][0], m01 = kXyzToRgb[0][1], m02 = kXyzToRgb[0][2];
    const double m10 = kXyzToRgb[1][0], m11 = kXyzToRgb[1][1], m12 = kXyzToRgb[1][2];
    const double m20 = kXyzToRgb[2][0], m21 = kXyzToRgb[2][1], m22 = kXyzToRgb[2][2];
    for (int x = 0; x < w; ++x) {
        const float y = ys[x];
        const int j = bin[x];
        const float p = position[x];
        const float equalised = cum[j] + (p - j) * (cum[j + 1] - cum[j]);
        const float ratio = equalised / y;
        const float k = y == 0 ? 0.0f : ratio;
        const float a = k * xs[x];
        const float b = k * y;
        const float c = k * zs[x];
        const float v0 = static_cast<float>(m00 * a + m01 * b + m02 * c);
        const float v1 = static_cast<float>(m10 * a + m11 * b + m12 * c);
        const float v2 = static_cast<float>(m20 * a + m21 * b + m22 * c);
        const float r = v0 < 0 ? 0.0f : v0;
        const float g = v1 < 0 ? 0.0f : v1;
        const float bl = v2 < 0 ? 0.0f : v2;
        rs[x] = r;
        gs[x] = g;
        bs[x] = bl;
        if (kLuminance) ls[x] = static_cast<float>(76.245 * r + 149.685 * g + 29.07 * bl);
    }
    if (engine == nullptr) return;

    const float q = m.q;
    const float* unit = terms.unit;
    for (int x = 0; x < w; ++x) {
        const std::uint8_t* e = engine + 3 * static_cast<std::size_t>(x);
        const float r = q * rs[x] + (1 - q) * unit[e[0]];
        const float g = q * gs[x] + (1 - q) * unit[e[1]];
        const float bl = q * bs[x] + (1 - q) * unit[e[2]];
        rs[x] = r;
        gs[x] = g;
        bs[x] = bl;
        if (kLuminance) ls[x] = static_cast<float>(76.245 * r + 149.685 * g + 29.07 * bl);
    }
}

QORVA_WIDE_VECTORS void globalRow(const GlobalMapping& m, const ByteTerms& terms, const float* xs,
                                  const float* ys, const float* zs, const std::uint8_t* engine,
                                  int w, float* rs, float* gs, float* bs, float* ls, int* bin,
                                  float* position) {
    if (ls != nullptr) {
        globalRun<true>(m, terms, xs, ys, zs, engine, w, rs, gs, bs, ls, bin, position);
    } else {
        globalRun<false>(m, terms, xs, ys, zs, engine, w, rs, gs, bs, nullptr, bin, position);
    }
}

// A band's scratch for the global equalisation of one run of a row: X, Y and Z, the table
// positions and bins, and the mapped R, G, B. Held by each band, so that a run costs no
// allocation.
struct GlobalRowScratch {
    float xs[kRun];
    float ys[kRun];
    float zs[kRun];
    float positions[kRun];
    float rs[kRun];
    float gs[kRun];
    float bs[kRun];
    int bins[kRun];
};

// The globally equalised R, G, B of a run of n pixels of row y starting at pixel first (mixed
// with the engine's bytes when there are any) into the scratch, and their luminance into ls
// unless it is null.
// Both passes over the image go through here, so the colour the local stage works out again
// from the untouched bytes is bit for bit the colour whose luminance the first pass stored.
void globalRunFromBytes(const GlobalMapping& m, const ByteTerms& terms, const std::uint8_t* image,
                        const std::uint8_t* engine, int w, int y, int first, int n,
                        GlobalRowScratch& s, float* ls) {
    const std::size_t start = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(first);
    xyzRow(image + start * 3, n, s.xs, s.ys, s.zs);
    const std::uint8_t* e = engine != nullptr ? engine + start * 3 : nullptr;
    globalRow(m, terms, s.xs, s.ys, s.zs, e, n, s.rs, s.gs, s.bs, ls, s.bins, s.positions);
}

// Method 1 up to and with the colour chain; its planes and the engine's bytes are freed when it
// returns.
void mapEqualiseAndColour(const RunContext& context, const ToneMappedParams& params,
                          std::uint8_t* image, int w, int h) {
    const float q = params.naturalSaturated;
    const ByteTerms terms;

    // Everything below is owned by this scope, so every exit frees it.
    LargeArray<std::uint8_t> engine;
    if (q < 1) engine = runEngine(image, w, h, terms);
    const bool mixEngine = engine != nullptr;

    reportProgress(context, 10);
    // X, Y and Z, and the equalised R, G and B, are worked out from the bytes wherever they
    // are needed instead of being kept: that costs less than a plane of memory each. Only
    // the luminance, which the local equalisation needs whole before its first row, is
    // kept.
    FloatPlane stretched;  // Ls, stretched to 0..255 by the local equalisation
    stretched.create(w, h);
    reportProgress(context, 15);
    reportProgress(context, 20);

    LuminanceRange lum = findRange(image, w, h);
    reportProgress(context, 30);
    if (lum.lo == lum.hi) lum.hi = lum.lo + 1;
    const float lo = lum.lo;
    const float range = lum.hi - lum.lo;
    const std::vector<float> cumulative = globalEqualisation(context, image, w, h, lo, range);
    reportProgress(context, 45);

    GlobalMapping mapping;
    mapping.lo = lo;
    mapping.range = range;
    mapping.cumulative = cumulative.data();
    mapping.q = q;
    const std::uint8_t* engineBytes = mixEngine ? engine.get() : nullptr;
    parallelRows(h, [&](int begin, int end) {
        GlobalRowScratch scratch;
        for (int y = begin; y < end; ++y) {
            float* ls = stretched.row(y);
            forEachRun(w, [&](int first, int n) {
                globalRunFromBytes(mapping, terms, image, engineBytes, w, y, first, n, scratch,
                                   ls + first);
            });
        }
    });

    reportProgress(context, 50);
    // Method 1 has no brightness or saturation step and runs the vivid step on every pixel.
    const ColorChain chain(colorChainParams(params.colour, &context.curves, false));
    // Le is never stored whole: each equalised row goes straight into the colour chain.
    // The row's colour is worked out again from its bytes, which are still the input's:
    // only this row's own chain call below overwrites them, after they are read.
    equalizeLocalContrastBands(
        stretched, params.local, context,
        [&](int begin, int end, const EqualisedRowFn& equalisedRow) {
            GlobalRowScratch scratch;
            std::vector<float> le(static_cast<std::size_t>(w));
            for (int y = begin; y < end; ++y) {
                equalisedRow(y, le.data());
                forEachRun(w, [&](int first, int n) {
                    std::uint8_t* px = image + (static_cast<std::size_t>(y) * w + first) * 3;
                    // No luminance this time: the ratio divides by the stored one, which the
                    // local equalisation has stretched.
                    globalRunFromBytes(mapping, terms, image, engineBytes, w, y, first, n, scratch,
                                       nullptr);
                    putColourBack(stretched.row(y) + first, le.data() + first, n, chain, px,
                                  [&](int x, float ratio, float& r, float& g, float& b) {
                                      r = ratio * scratch.rs[x];
                                      g = ratio * scratch.gs[x];
                                      b = ratio * scratch.bs[x];
                                  });
                });
            }
        });
    // The engine's bytes were needed until the last row's colour was worked out again.
    engine.reset();
}

}  // namespace

bool runToneMappedPipeline(const RunContext& context, const ToneMappedParams& params) {
    return runMethodFrame(context, params.image, params.width, params.height,
                          params.colour.filterMode, [&](std::uint8_t* image, int w, int h) {
                              mapEqualiseAndColour(context, params, image, w, h);
                          });
}

}  // namespace qorva
