#include "ui/hdr_dialog.h"

#include "render/render_driver.h"

namespace qorva {

void renderFinalToHost(RenderDriver& driver, HostOutput& output) {
    driver.Render(RenderQuality::Final);
    // A failed or skipped render is handled by the output, which then writes the input back
    // unchanged rather than a partial or preview-sized image.
    output.writeResult(driver.renderImage());
}

}  // namespace qorva
