#include "ui/auto_confirm_dialog.h"

#include "plugin/platform_services.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "settings/method_settings.h"

namespace qorva {

DialogResult AutoConfirmDialog::runModal(DialogHostContext& context) {
    MethodSettings method;
    ColorSettings colour;
    if (context.platform) {
        colour.clarityOn = context.platform->profileInt(kProfileSection, kProfileClarity, 0) != 0;
        colour.dehazeOn = context.platform->profileInt(kProfileSection, kProfileHaze, 0) != 0;
    }
    FixedPreviewHost preview;  // no preview area: only the final render runs
    RenderDriver driver(preview, method, colour);
    driver.setHostInput(context.input, context.width, context.height);
    if (context.output) renderFinalToHost(driver, *context.output);
    return DialogResult::Confirmed;
}

}  // namespace qorva
