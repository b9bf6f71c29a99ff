#include "pipelines/contrast_pipeline.h"

#include <cstddef>
#include <new>

#include "colour/color_pass.h"
#include "colour/finishing_passes.h"
#include "common/parallel.h"
#include "pipelines/float_plane.h"
#include "pipelines/local_contrast.h"

namespace qorva {
namespace {

constexpr double kInverse255 = 0.00392156862745098;

}  // namespace

bool runContrastPipeline(const RunContext& context, const ContrastParams& params) {
    try {
        reportProgress(context, 0);
        const int w = params.width;
        const int h = params.height;
        std::uint8_t* image = params.image;
        if (image == nullptr || w <= 0 || h <= 0) {
            reportProgress(context, 100);
            return true;
        }

        FloatPlane stretched;  // Ls: the luminance, stretched to 0..255 by the equaliser
        FloatPlane equalized;  // Le
        stretched.create(w, h);
        equalized.create(w, h);
        reportProgress(context, 20);

        parallelRows(h, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const std::uint8_t* px = image + static_cast<std::size_t>(y) * w * 3;
                float* ls = stretched.row(y);
                for (int x = 0; x < w; ++x, px += 3) {
                    ls[x] = static_cast<float>(0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2]);
                }
            }
        });

        const int n = params.divisions < 1 ? 1 : params.divisions;
        reportProgress(context, 50);
        equalizeLocalContrast(stretched, equalized, n, params.strength, params.smoothness, context);
        reportProgress(context, 90);

        ColorChainParams chainParams;
        chainParams.vivid = params.vivid;
        chainParams.gamma = params.gamma;
        chainParams.brightnessBlend = params.brightnessBlend;
        chainParams.saturationFactor = params.saturationFactor;
        chainParams.contrastMethod = true;
        chainParams.pass.curvesOn = params.curvesOn;
        chainParams.pass.balanceOn = params.balanceOn;
        chainParams.pass.hueShiftOn = params.hueShiftOn;
        chainParams.pass.filterMode = params.filterMode;
        chainParams.pass.curves = &context.curves;
        const ColorChain chain(chainParams);

        parallelRows(h, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                std::uint8_t* px = image + static_cast<std::size_t>(y) * w * 3;
                const float* ls = stretched.row(y);
                const float* le = equalized.row(y);
                for (int x = 0; x < w; ++x, px += 3) {
                    // The darkest pixels have no luminance ratio: they stay black.
                    if (ls[x] == 0) {
                        px[0] = px[1] = px[2] = 0;
                        continue;
                    }
                    // Only the change from stretched to equalised luminance reaches the colour.
                    const float q = le[x] / ls[x];
                    const float r = static_cast<float>(q * (px[0] * kInverse255));
                    const float g = static_cast<float>(q * (px[1] * kInverse255));
                    const float b = static_cast<float>(q * (px[2] * kInverse255));
                    chain.run(r, g, b, px);
                }
            }
        });

        reportProgress(context, 100);
        equalized.release();
        stretched.release();

        runFinishingPasses(context, image, w, h, params.filterMode);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace qorva
