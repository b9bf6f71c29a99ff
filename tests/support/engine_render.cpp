#include "support/engine_render.h"

#include "render/fixed_preview_host.h"
#include "render/render_driver.h"

namespace qorva::test {

std::vector<std::uint8_t> finalRender(const std::vector<std::uint8_t>& packed, int width,
                                      int height, MethodSettings& method, ColorSettings& colour) {
    FixedPreviewHost preview;
    RenderDriver driver(preview, method, colour);
    driver.setHostInput(packed.data(), width, height);
    driver.Render(RenderQuality::Final);
    const WorkingImage& image = driver.renderImage();
    if (!image.hasPixels() || image.width() != width || image.height() != height) return packed;
    return std::vector<std::uint8_t>(image.pixels(), image.pixels() + image.byteSize());
}

}  // namespace qorva::test
