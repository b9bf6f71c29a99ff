#include "plugin/plugin_main.h"

#include "plugin/platform_services.h"
#include "plugin/plugin_app.h"

namespace qorva {
namespace {

// Built when the plug-in file is loaded and destroyed when it is unloaded.
CMFCPlugInApp application(defaultPlatformServices(), createHdrDialog);

}  // namespace

CMFCPlugInApp& theApp() {
    return application;
}

}  // namespace qorva

void QORVA_PLUGIN_CALL PluginMain(std::int16_t selector, void* record, std::intptr_t* data,
                                  std::int16_t* result) {
    qorva::theApp().Dispatch(selector, record, data, result);
}
