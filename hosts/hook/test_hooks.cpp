// Linked only into test builds of the plug-in: lets a test host replace the dialog by a script
// and catch the message boxes, through the plain-C interface of test_hooks_abi.h.
#include <cstring>
#include <memory>
#include <string>

#include "common/scripted_settings.h"
#include "common/test_hooks_abi.h"
#include "plugin/platform_services.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_main.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "settings/method_settings.h"

namespace qorva {
namespace {

QorvaTestHooks installed{};

class ScriptedDialog : public HdrDialog {
public:
    DialogResult runModal(DialogHostContext& context) override {
        MethodSettings method;
        ColorSettings colour;
        PlatformServices& platform = *context.platform;
        colour.clarityOn = platform.profileInt(kProfileSection, kProfileClarity, 0) != 0;
        colour.dehazeOn = platform.profileInt(kProfileSection, kProfileHaze, 0) != 0;

        QorvaDialogScript script{};
        script.width = context.width;
        script.height = context.height;
        script.ownerWindow = context.ownerWindow;
        const std::string folder = platform.hostExecutableFolder();
        std::strncpy(script.hostFolder, folder.c_str(), sizeof(script.hostFolder) - 1);
        script.settings = host::scriptedSettingsOf(method, colour);
        script.methodAfterPreviews = QORVA_KEEP_METHOD;

        installed.dialog(installed.user, &script);

        host::applyScriptedSettings(script.settings, method, colour);

        // A preview area of a typical dialog, so that scripted previews resample as the dialog
        // would.
        FixedPreviewHost preview(520, 392);
        RenderDriver driver(preview, method, colour);
        driver.setHostInput(context.input, context.width, context.height);
        for (int i = 0; i < script.previews; ++i) driver.Render(RenderQuality::Fast);
        if (script.methodAfterPreviews != QORVA_KEEP_METHOD) {
            method.method = script.methodAfterPreviews;
        }
        if (!script.confirm) return DialogResult::Cancelled;
        renderFinalToHost(driver, *context.output);
        return DialogResult::Confirmed;
    }
};

// The platform's services, but message boxes go to the test host.
class MessageSink : public PlatformServices {
public:
    explicit MessageSink(PlatformServices& base) : base_(base) {}
    void setRegistryKey(const std::string& key) override { base_.setRegistryKey(key); }
    int profileInt(const std::string& section, const std::string& entry,
                   int defaultValue) override {
        return base_.profileInt(section, entry, defaultValue);
    }
    void writeProfileInt(const std::string& section, const std::string& entry, int value) override {
        base_.writeProfileInt(section, entry, value);
    }
    void messageBox(const std::string& text) override {
        installed.message(installed.user, text.c_str());
    }
    void debugOutput(const std::string& text) override { base_.debugOutput(text); }
    std::string hostExecutableFolder() override { return base_.hostExecutableFolder(); }

private:
    PlatformServices& base_;
};

}  // namespace
}  // namespace qorva

QORVA_PLUGIN_EXPORT void QORVA_PLUGIN_CALL QorvaInstallTestHooks(const QorvaTestHooks* hooks) {
    using namespace qorva;
    static MessageSink sink(defaultPlatformServices());
    installed = hooks ? *hooks : QorvaTestHooks{};
    CMFCPlugInApp& app = theApp();
    if (installed.message) {
        app.setPlatform(sink);
    } else {
        app.setPlatform(defaultPlatformServices());
    }
    if (installed.dialog) {
        app.setDialogFactory([] { return std::make_unique<ScriptedDialog>(); });
    } else {
        app.setDialogFactory(createHdrDialog);
    }
}
