// The native host runs the plug-in frame built for Linux, linked in. Its entry points are
// declared here from their C signatures alone, as a host sees them.
#include <cstdint>

#include "common/plugin_under_test.h"

extern "C" void PluginMain(std::int16_t selector, void* record, std::intptr_t* data,
                           std::int16_t* result);
extern "C" void QorvaInstallTestHooks(const QorvaTestHooks* hooks);

namespace host {

const PluginUnderTest& scriptedPlugin() {
    static const PluginUnderTest plugin{&PluginMain, &QorvaInstallTestHooks};
    return plugin;
}

}  // namespace host
