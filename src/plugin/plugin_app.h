// The application object: one per loaded plug-in file. It holds the host's pointers for the
// duration of one call and performs the action of each selector. All work of a filter run,
// the dialog included, happens in Start.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "plugin/host_record.h"
#include "ui/hdr_dialog.h"

namespace qorva {

class PlatformServices;

// Thrown by the selector actions and turned into the host's result code by Dispatch: a text
// is shown by the host (errReportString), a code is returned as it is.
struct PluginMessageError {
    std::string text;
};
struct PluginCodeError {
    OSErr code;
};

class CMFCPlugInApp {
public:
    using DialogFactory = std::function<std::unique_ptr<HdrDialog>()>;

    CMFCPlugInApp(PlatformServices& platform, DialogFactory dialogFactory);

    // One host call: Entry, the selector's action, and every error turned into *result.
    // Never throws. On success *result keeps the value the host put there.
    void Dispatch(std::int16_t selector, void* record, std::intptr_t* data,
                  std::int16_t* result) noexcept;

    void Entry(FilterRecord* record, std::intptr_t* data);
    void About();
    void Parameters();
    void Prepare();
    void Start();
    void Continue();

    // Replaced only by test hosts, between host calls.
    void setPlatform(PlatformServices& platform) { platform_ = &platform; }
    void setDialogFactory(DialogFactory factory) { dialogFactory_ = std::move(factory); }
    PlatformServices& platform() { return *platform_; }

private:
    void reportMessage(const std::string& text) noexcept;

    PlatformServices* platform_;
    DialogFactory dialogFactory_;
    FilterRecord* filterRecord_ = nullptr;  // for selector 0 the host's about record: not read
    std::intptr_t* hostData_ = nullptr;
};

// The plug-in's one application object.
CMFCPlugInApp& theApp();
// The dialog the shipped plug-in runs.
std::unique_ptr<HdrDialog> createHdrDialog();

}  // namespace qorva
