#include "plugin/plugin_app.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "plugin/host_image_transfer.h"
#include "plugin/platform_services.h"
#include "ui/auto_confirm_dialog.h"
#ifdef _WIN32
#include "ui/win32/hdr_dialog_window.h"
#endif

namespace qorva {
namespace {

constexpr Rect kEmptyRect{0, 0, 0, 0};

}  // namespace

std::unique_ptr<HdrDialog> createHdrDialog() {
#ifdef _WIN32
    return win32::createWin32HdrDialog();
#else
    // No window system to open the dialog on: the start-up settings are confirmed at once.
    return std::make_unique<AutoConfirmDialog>();
#endif
}

CMFCPlugInApp::CMFCPlugInApp(PlatformServices& platform, DialogFactory dialogFactory)
    : platform_(&platform), dialogFactory_(std::move(dialogFactory)) {}

void CMFCPlugInApp::Dispatch(std::int16_t selector, void* record, std::intptr_t* data,
                             std::int16_t* result) noexcept {
    // Success is said, not assumed: a host that does not clear the result must not read
    // whatever its slot held as an error.
    if (result) *result = noErr;
    OSErr error = noErr;
    try {
        Entry(static_cast<FilterRecord*>(record), data);
        switch (selector) {
            case filterSelectorAbout:
                About();
                break;
            case filterSelectorParameters:
                Parameters();
                break;
            case filterSelectorPrepare:
                Prepare();
                break;
            case filterSelectorStart:
                Start();
                break;
            case filterSelectorContinue:
                Continue();
                break;
            default:  // Finish and selectors of later hosts: nothing to do
                break;
        }
    } catch (const PluginMessageError& message) {
        reportMessage(message.text);
        error = errReportString;
    } catch (const PluginCodeError& code) {
        error = code.code;
    } catch (const std::bad_alloc&) {
        error = memFullErr;  // the host says its memory is full instead of a generic failure
    } catch (...) {
        error = -1;
    }
    if (error != noErr && result) *result = error;
}

void CMFCPlugInApp::reportMessage(const std::string& text) noexcept {
    try {
        platform_->debugOutput(text);
    } catch (...) {
    }
    if (!filterRecord_ || !filterRecord_->errorString) return;
    std::uint8_t* target = *filterRecord_->errorString;
    const std::size_t length = std::min<std::size_t>(text.size(), 255);
    target[0] = static_cast<std::uint8_t>(length);
    std::memcpy(target + 1, text.data(), length);
    if (length + 1 < sizeof(Str255)) target[length + 1] = 0;
}

void CMFCPlugInApp::Entry(FilterRecord* record, std::intptr_t* data) {
    filterRecord_ = record;
    hostData_ = data;
    if (!record) throw PluginMessageError{"pFilterRecord == NULL in CMFCPlugInApp::Entry"};
}

void CMFCPlugInApp::About() {
    platform_->messageBox("About!");
}

// The dialog runs in Start on every run, so there is nothing to ask here.
void CMFCPlugInApp::Parameters() {}

void CMFCPlugInApp::Prepare() {
    filterRecord_->bufferSpace = 0;
    filterRecord_->maxSpace = 0;
}

void CMFCPlugInApp::Start() {
    platform_->setRegistryKey(kRegistryKey);
    FilterRecord& record = *filterRecord_;
    if (record.imageMode != plugInModeRGBColor) {
        platform_->messageBox("This plugin supports only RGB mode");
        return;
    }

    // The whole area in one piece, the three colour planes interleaved: a transparency plane
    // is neither requested nor written back.
    const Rect area = record.filterRect;
    record.outRect = area;
    record.inRect = area;
    record.maskRect = area;
    record.outLoPlane = 0;
    record.inLoPlane = 0;
    record.outHiPlane = 2;
    record.inHiPlane = 2;
    record.inputRate = kFixedOne;
    record.maskRate = kFixedOne;
    record.inputPadding = plugInDoesNotWantPadding;
    record.outputPadding = plugInDoesNotWantPadding;
    record.maskPadding = plugInDoesNotWantPadding;
    record.maxSpace = wholeImageSpace(area, record.planes);

    HostImageTransfer transfer;
    if (!record.advanceState || record.advanceState() != noErr || !transfer.attach(record)) {
        platform_->messageBox("Error");
        return;
    }

    DialogHostContext context;
    context.input = transfer.input();
    context.width = transfer.width();
    context.height = transfer.height();
    context.hostData = hostData_;
    context.ownerWindow = record.platformData ? record.platformData->hwnd : 0;
    context.output = &transfer;
    context.platform = platform_;

    std::unique_ptr<HdrDialog> dialog = dialogFactory_();
    const DialogResult outcome = dialog->runModal(context);
    dialog.reset();
    if (outcome != DialogResult::Confirmed) throw PluginCodeError{userCanceledErr};
}

void CMFCPlugInApp::Continue() {
    // All zeros, not merely empty: some hosts test only the right edge to end their loop.
    filterRecord_->inRect = kEmptyRect;
    filterRecord_->outRect = kEmptyRect;
    filterRecord_->maskRect = kEmptyRect;
}

}  // namespace qorva
