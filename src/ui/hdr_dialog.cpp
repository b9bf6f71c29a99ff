#include "ui/hdr_dialog.h"

#include <new>

#include "render/render_driver.h"

namespace qorva {

void renderFinalToHost(RenderDriver& driver, HostOutput& output) {
    // Out of memory: the host's document must stay exactly as it was, so nothing is written
    // and the host is told why.
    if (!driver.Render(RenderQuality::Final)) throw std::bad_alloc();
    // A method that renders nothing gives an image without pixels: the output then writes
    // the input back unchanged rather than the preview the render image still holds.
    output.writeResult(driver.finalResult());
}

}  // namespace qorva
