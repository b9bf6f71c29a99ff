#include "ui/hdr_dialog.h"

#include <new>

#include "render/render_driver.h"

namespace qorva {

void renderFinalToHost(RenderDriver& driver, HostOutput& output) {
    // Out of memory: the host's document must stay exactly as it was, so nothing is written
    // and the host is told why.
    if (!driver.Render(RenderQuality::Final)) throw std::bad_alloc();
    // A render that produced nothing (a stored-only method) is handled by the output, which
    // then writes the input back unchanged rather than a preview-sized image.
    output.writeResult(driver.renderImage());
}

}  // namespace qorva
