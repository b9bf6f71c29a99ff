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
#include "colour/finishing_passes.h"
#include "common/parallel.h"
#include "pipelines/color_matrix.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"
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

// Runs the tone-mapping engine over the whole image and returns its display bytes (three per
// pixel). Returns an empty buffer when the engine cannot compute a mapping (fewer than 700
// pixels with countable brightness, e.g. a tiny preview): there is then nothing to mix in.
std::vector<std::uint8_t> runEngine(const std::uint8_t* image, int width, int height) {
    const std::size_t count = static_cast<std::size_t>(width) * height;
    const auto n = static_cast<std::ptrdiff_t>(count);
    std::vector<float> triples(3 * count);
    parallelRows(height, [&](int begin, int end) {
        const std::size_t from = static_cast<std::size_t>(begin) * width * 3;
        const std::size_t to = static_cast<std::size_t>(end) * width * 3;
        for (std::size_t i = from; i < to; ++i) triples[i] = toUnit(image[i]);
    });
    std::vector<std::int16_t> codes(count);
    std::vector<std::uint8_t> colourBytes(3 * count);
    std::vector<std::uint8_t> result(3 * count);

    // The pipelines pass 2.2 in single precision, as the product always has.
    std::unique_ptr<ToneMapper, ToneMapperDeleter> state(tmCreateState(2.2f));
    if (!state) throw std::bad_alloc();
    throwIfOutOfMemory(
        tmCvColors(state.get(), codes.data(), colourBytes.data(), triples.data(), n));
    throwIfOutOfMemory(tmAddHisto(state.get(), codes.data(), n, 1));
    const int mapping = tmComputeMapping(state.get(), 2.2f, 0, 0);
    throwIfOutOfMemory(mapping);
    if (mapping != kTmOk) return {};
    const int mapped = tmMapPixels(state.get(), result.data(), codes.data(), colourBytes.data(), n);
    throwIfOutOfMemory(mapped);
    if (mapped != kTmOk) return {};
    return result;
}

// Per-band reductions are combined under a lock; minimum, maximum and integer counts do not
// depend on the order of combination, so any thread count gives the serial result.
struct LuminanceRange {
    float lo = FLT_MAX;
    float hi = 0.0001f;
};

LuminanceRange findRange(const FloatPlane& y, int width, int height) {
    LuminanceRange total;
    std::mutex lock;
    parallelRows(height, [&](int begin, int end) {
        LuminanceRange band;
        for (int row = begin; row < end; ++row) {
            const float* v = y.row(row);
            for (int x = 0; x < width; ++x) {
                if (v[x] < band.lo) band.lo = v[x];
                if (v[x] > band.hi) band.hi = v[x];
            }
        }
        std::lock_guard<std::mutex> guard(lock);
        total.lo = std::min(total.lo, band.lo);
        total.hi = std::max(total.hi, band.hi);
    });
    return total;
}

// Contrast-limited global equalisation of the luminance: a 127-bin histogram whose bins are
// held to the share of the pixels that their width is of the luminance range, returned as its
// 128-entry cumulative table from 0 to 1.
std::vector<float> globalEqualisation(const RunContext& context, const FloatPlane& y, int width,
                                      int height, float lo, float range) {
    std::vector<long long> counts(kGlobalBins, 0);
    std::mutex lock;
    parallelRows(height, [&](int begin, int end) {
        long long band[kGlobalBins] = {};
        for (int row = begin; row < end; ++row) {
            const float* v = y.row(row);
            for (int x = 0; x < width; ++x) {
                int bin = static_cast<int>((v[x] - lo) / range * kGlobalBins);
                bin = std::clamp(bin, 0, kGlobalBins - 1);
                ++band[bin];
            }
        }
        std::lock_guard<std::mutex> guard(lock);
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
        const auto ceiling = static_cast<float>(std::lround(step * remaining));
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
        // A small image over a narrow luminance range can have every bin trimmed to a
        // ceiling of 0. With nothing left to equalise, keep the luminance order as it is
        // (the identity ramp) rather than divide by zero.
        for (int k = 0; k <= kGlobalBins; ++k) {
            cumulative[static_cast<std::size_t>(k)] = static_cast<float>(k) / kGlobalBins;
        }
    }
    return cumulative;
}

ColorChainParams chainParams(const RunContext& context, const ToneMappedParams& params) {
    ColorChainParams chain;
    chain.vivid = params.vivid;
    chain.gamma = params.gamma;
    // Method 1 has no brightness or saturation step and runs the vivid step on every pixel.
    chain.contrastMethod = false;
    chain.pass.curvesOn = params.curvesOn;
    chain.pass.balanceOn = params.balanceOn;
    chain.pass.hueShiftOn = params.hueShiftOn;
    chain.pass.filterMode = params.filterMode;
    chain.pass.curves = &context.curves;
    return chain;
}

}  // namespace

bool runToneMappedPipeline(const RunContext& context, const ToneMappedParams& params) {
    try {
        reportProgress(context, 0);
        const int w = params.width;
        const int h = params.height;
        std::uint8_t* image = params.image;
        if (image == nullptr || w <= 0 || h <= 0) {
            reportProgress(context, 100);
            return true;
        }
        const float q = params.naturalSaturated;

        // Everything below is owned by this scope, so every exit frees it.
        std::vector<std::uint8_t> engine;
        if (q < 1) engine = runEngine(image, w, h);
        const bool mixEngine = !engine.empty();

        reportProgress(context, 10);
        FloatPlane planeX;  // X, then the red of the globally equalised image
        FloatPlane planeY;  // Y, then the locally equalised luminance Le
        FloatPlane planeZ;  // Z, then blue
        FloatPlane green;
        FloatPlane stretched;  // Ls, stretched to 0..255 by the local equalisation
        planeX.create(w, h);
        planeY.create(w, h);
        planeZ.create(w, h);
        green.create(w, h);
        stretched.create(w, h);
        reportProgress(context, 15);

        parallelRows(h, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const std::uint8_t* px = image + static_cast<std::size_t>(y) * w * 3;
                float* xs = planeX.row(y);
                float* ys = planeY.row(y);
                float* zs = planeZ.row(y);
                for (int x = 0; x < w; ++x, px += 3) {
                    const auto xyz =
                        applyColorMatrix(toUnit(px[0]), toUnit(px[1]), toUnit(px[2]), kRgbToXyz);
                    xs[x] = xyz[0];
                    ys[x] = xyz[1];
                    zs[x] = xyz[2];
                }
            }
        });
        reportProgress(context, 20);

        LuminanceRange lum = findRange(planeY, w, h);
        reportProgress(context, 30);
        if (lum.lo == lum.hi) lum.hi = lum.lo + 1;
        const float lo = lum.lo;
        const float range = lum.hi - lum.lo;
        std::vector<float> cumulative = globalEqualisation(context, planeY, w, h, lo, range);
        reportProgress(context, 45);

        parallelRows(h, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const std::size_t rowStart = static_cast<std::size_t>(y) * w;
                float* xs = planeX.row(y);
                const float* ys = planeY.row(y);
                float* zs = planeZ.row(y);
                float* gs = green.row(y);
                float* ls = stretched.row(y);
                for (int x = 0; x < w; ++x) {
                    const float t = std::clamp((ys[x] - lo) / range, 0.0f, 1.0f);
                    const float p = kGlobalBins * t;
                    const int j = std::min(static_cast<int>(p), kGlobalBins - 1);
                    const float equalised = cumulative[static_cast<std::size_t>(j)] +
                                            (p - j) * (cumulative[static_cast<std::size_t>(j) + 1] -
                                                       cumulative[static_cast<std::size_t>(j)]);
                    const float k = ys[x] == 0 ? 0.0f : equalised / ys[x];
                    auto rgb = applyColorMatrix(k * xs[x], k * ys[x], k * zs[x], kXyzToRgb);
                    if (mixEngine) {
                        const std::uint8_t* e = engine.data() + (rowStart + x) * 3;
                        for (int c = 0; c < 3; ++c) {
                            rgb[static_cast<std::size_t>(c)] =
                                q * rgb[static_cast<std::size_t>(c)] + (1 - q) * toUnit(e[c]);
                        }
                    }
                    xs[x] = rgb[0];
                    gs[x] = rgb[1];
                    zs[x] = rgb[2];
                    ls[x] = static_cast<float>(76.245 * rgb[0] + 149.685 * rgb[1] + 29.07 * rgb[2]);
                }
            }
        });

        engine = std::vector<std::uint8_t>();
        cumulative = std::vector<float>();
        const int n = params.divisions < 1 ? 1 : params.divisions;
        reportProgress(context, 50);
        equalizeLocalContrast(stretched, planeY, n, params.strength, params.smoothness, context);
        reportProgress(context, 90);

        const ColorChain chain(chainParams(context, params));
        parallelRows(h, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                std::uint8_t* px = image + static_cast<std::size_t>(y) * w * 3;
                const float* rs = planeX.row(y);
                const float* gs = green.row(y);
                const float* bs = planeZ.row(y);
                const float* le = planeY.row(y);
                const float* ls = stretched.row(y);
                for (int x = 0; x < w; ++x, px += 3) {
                    // The darkest pixels have no luminance ratio: they stay black.
                    if (ls[x] == 0) {
                        px[0] = px[1] = px[2] = 0;
                        continue;
                    }
                    const float ratio = le[x] / ls[x];
                    chain.run(ratio * rs[x], ratio * gs[x], ratio * bs[x], px);
                }
            }
        });

        reportProgress(context, 100);
        stretched.release();
        green.release();
        planeZ.release();
        planeY.release();
        planeX.release();

        runFinishingPasses(context, image, w, h, params.filterMode);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace qorva
