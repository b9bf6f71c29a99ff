#include "pipelines/contrast_pipeline.h"

#include <array>
#include <cstddef>
#include <vector>

#include "colour/color_pass.h"
#include "common/parallel.h"
#include "pipelines/colour_back.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"
#include "pipelines/method_run.h"
#include "pipelines/row_runs.h"

namespace qorva {
namespace {

constexpr double kInverse255 = 0.00392156862745098;

// Per-byte terms of the luminance and of the colour scaling, built once per run: a table entry
// is the very double the formula computes for that byte.
struct ByteTables {
    std::array<double, 256> red;    // 0.299 x byte
    std::array<double, 256> green;  // 0.587 x byte
    std::array<double, 256> blue;   // 0.114 x byte
    std::array<double, 256> unit;   // byte / 255

    ByteTables() {
        for (int i = 0; i < 256; ++i) {
            red[static_cast<std::size_t>(i)] = 0.299 * i;
            green[static_cast<std::size_t>(i)] = 0.587 * i;
            blue[static_cast<std::size_t>(i)] = 0.114 * i;
            unit[static_cast<std::size_t>(i)] = i * kInverse255;
        }
    }
};

// Method 0 up to and with the colour chain; its planes are freed when it returns.
void equaliseAndColour(const RunContext& context, const ContrastParams& params, std::uint8_t* image,
                       int w, int h) {
    // Ls: the luminance, stretched to 0..255 by the equaliser. The equalised luminance Le is
    // never stored whole: each row of it goes straight into the colour chain.
    FloatPlane stretched;
    stretched.create(w, h);
    reportProgress(context, 20);

    const ByteTables tables;
    parallelRows(h, [&](int begin, int end) {
        const double* red = tables.red.data();
        const double* green = tables.green.data();
        const double* blue = tables.blue.data();
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* px = image + static_cast<std::size_t>(y) * w * 3;
            float* ls = stretched.row(y);
            for (int x = 0; x < w; ++x, px += 3) {
                ls[x] = static_cast<float>(red[px[0]] + green[px[1]] + blue[px[2]]);
            }
        }
    });

    ColorChainParams chainParams = colorChainParams(params.colour, &context.curves, true);
    chainParams.brightnessBlend = params.brightnessBlend;
    chainParams.saturationFactor = params.saturationFactor;
    const ColorChain chain(chainParams);

    reportProgress(context, 50);
    equalizeLocalContrastBands(
        stretched, params.local, context,
        [&](int begin, int end, const EqualisedRowFn& equalisedRow) {
            std::vector<float> le(static_cast<std::size_t>(w));
            const double* unit = tables.unit.data();
            for (int y = begin; y < end; ++y) {
                equalisedRow(y, le.data());
                forEachRun(w, [&](int first, int count) {
                    std::uint8_t* px = image + (static_cast<std::size_t>(y) * w + first) * 3;
                    // Only the change from stretched to equalised luminance reaches the
                    // colour of the input bytes.
                    putColourBack(stretched.row(y) + first, le.data() + first, count, chain, px,
                                  [&](int x, float q, float& r, float& g, float& b) {
                                      const std::uint8_t* p = px + 3 * static_cast<std::size_t>(x);
                                      r = static_cast<float>(q * unit[p[0]]);
                                      g = static_cast<float>(q * unit[p[1]]);
                                      b = static_cast<float>(q * unit[p[2]]);
                                  });
                });
            }
        });
}

}  // namespace

bool runContrastPipeline(const RunContext& context, const ContrastParams& params) {
    return runMethodFrame(context, params.image, params.width, params.height,
                          params.colour.filterMode, [&](std::uint8_t* image, int w, int h) {
                              equaliseAndColour(context, params, image, w, h);
                          });
}

}  // namespace qorva
